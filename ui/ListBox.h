// A list box of byte strings (paths in the local 8-bit encoding): the items keep their bytes,
// the box shows them decoded. Sorted boxes insert in the order of ui::PathKey.
#pragma once

#include <QListWidget>
#include <string>

namespace ui {

class ListBox : public QListWidget {
public:
    explicit ListBox(QWidget* parent = nullptr);

    int Count() const { return count(); }
    int Add(const std::string& text);
    std::string Item(int i) const;
    void Delete(int i);
    void Clear() { clear(); }
    int IndexOf(const std::string& text) const;
    bool Selected(int i) const;
    bool Sorted = false;
};

}  // namespace ui
