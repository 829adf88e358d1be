// The distinct artists, albums and genres of the collection, and the children of its trees.
// Values are views of the rows' texts (UTF-8, cut at their first 0), which must stay where
// they are while a list is made.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

// The values of one field over the rows in table order, each once, in first-seen order. The
// first value is the first row's, empty when there is no row: a list is never empty, so an empty
// collection still shows one node.
class DistinctValues {
public:
    explicit DistinctValues(std::string_view first);
    void add(std::string_view value);
    const std::vector<std::string_view>& values() const { return values_; }

private:
    // A hash of the values seen, in place of a search of the list.
    std::unordered_set<std::string_view> seen_;
    std::string_view previous_;
    std::vector<std::string_view> values_;
};

struct TreeChild {
    std::string_view text;
    std::vector<std::string_view> grandchildren;
};

// The children of a tree: one for each list entry, with the distinct values of the rows whose
// match value equals it, in first-seen order.
class TreeChildren {
public:
    explicit TreeChildren(const std::vector<std::string_view>& names);
    // A row's match and collected values, in table order.
    void add(std::string_view match, std::string_view value);
    std::vector<TreeChild> take() { return std::move(children_); }

private:
    std::vector<TreeChild> children_;
    std::unordered_map<std::string_view, size_t> childOf_;
    std::vector<std::unordered_set<std::string_view>> seen_;
    std::string_view previousMatch_, previousValue_;
    bool previousCounted_ = false;
};
