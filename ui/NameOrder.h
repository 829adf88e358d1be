// The order in which sorted lists and the folder and file boxes show names (file names, paths:
// local 8-bit bytes, UTF-8 here): as the user's locale sorts them, without regard to case.
#pragma once

#include <QCollatorSortKey>
#include <optional>
#include <string>
#include <string_view>

namespace ui {

// A name's place in that order, made once and compared often. Names that are not valid UTF-8
// have no place in the locale's order: they come after the others, among themselves by their
// bytes with the letters a-z folded.
class NameKey {
public:
    explicit NameKey(std::string_view name);
    // Negative, 0 or positive. 0 for names the order does not tell apart ("Été" and "été"):
    // callers keep such names in their own order.
    int compare(const NameKey& other) const;

private:
    std::optional<QCollatorSortKey> key_;  // none when the name is not valid UTF-8
    std::string bytes_;                    // only for those names
};

// A full path's place in sorted lists: by its folder, then by its name in that folder, so that
// the files of one folder stand together even beside a folder whose name differs only by accent
// or case ("Celine", "Céline"); such folders keep apart by their bytes.
class PathKey {
public:
    explicit PathKey(const std::string& path);
    int compare(const PathKey& other) const;

private:
    std::string folder_;  // with its trailing "/"
    NameKey folderKey_, nameKey_;
};

}  // namespace ui
