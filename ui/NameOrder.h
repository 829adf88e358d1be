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

}  // namespace ui
