#include "CollectionLists.h"

#include <algorithm>

DistinctValues::DistinctValues(std::string_view first)
{
    values_.push_back(first);
    seen_.insert(first);
    previous_ = first;
}

void DistinctValues::add(std::string_view value)
{
    // Files of one album lie side by side: a value like the row before's is no news.
    if (value == previous_) return;
    previous_ = value;
    if (seen_.insert(value).second) values_.push_back(value);
}

TreeChildren::TreeChildren(const std::vector<std::string_view>& names) : children_(names.size()), seen_(names.size())
{
    childOf_.reserve(names.size());
    for (size_t i = 0; i < names.size(); ++i) {
        children_[i].text = names[i];
        childOf_.emplace(names[i], i);
    }
}

void TreeChildren::add(std::string_view match, std::string_view value)
{
    // A child's few values are searched in its list; a set takes over past a handful.
    constexpr size_t FewValues = 16;
    // Files of one album lie side by side: a row like the one before adds nothing.
    if (previousCounted_ && match == previousMatch_ && value == previousValue_) return;
    auto child = childOf_.find(match);
    previousCounted_ = child != childOf_.end();
    previousMatch_ = match;
    previousValue_ = value;
    if (!previousCounted_) return;
    std::vector<std::string_view>& values = children_[child->second].grandchildren;
    std::unordered_set<std::string_view>& set = seen_[child->second];
    if (values.size() < FewValues) {
        if (std::find(values.begin(), values.end(), value) == values.end()) values.push_back(value);
    } else {
        if (set.empty()) set.insert(values.begin(), values.end());
        if (set.insert(value).second) values.push_back(value);
    }
}
