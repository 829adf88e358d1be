#include "ListBox.h"

#include "Display.h"
#include "FileSystem.h"
#include "NameOrder.h"

#include <optional>

namespace ui {

namespace {

// An entry keeps its text's bytes as they are, beside the form shown: runs read them back at
// every entry, and a sorted list compares them at every insertion.
class Entry : public QListWidgetItem {
public:
    static constexpr int Kind = QListWidgetItem::UserType + 1;
    explicit Entry(const std::string& bytes) : QListWidgetItem(platform::toDisplay(bytes), nullptr, Kind), bytes_(bytes)
    {
    }
    QListWidgetItem* clone() const override { return new Entry(*this); }
    const PathKey& key() const
    {
        if (!key_) key_.emplace(bytes_);
        return *key_;
    }
    const std::string bytes_;

private:
    mutable std::optional<PathKey> key_;  // made for sorted lists only
};

const std::string& bytesOf(const QListWidgetItem* it)
{
    static const std::string none;
    return it && it->type() == Entry::Kind ? static_cast<const Entry*>(it)->bytes_ : none;
}

const PathKey& keyOf(const QListWidgetItem* it)
{
    static const PathKey none{std::string()};
    return it && it->type() == Entry::Kind ? static_cast<const Entry*>(it)->key() : none;
}

}  // namespace

// Rows of one line each: the view need not measure them one by one, which matters in lists
// of thousands of files whose current row moves at every entry of a run.
ListBox::ListBox(QWidget* parent) : QListWidget(parent) { setUniformItemSizes(true); }

int ListBox::Add(const std::string& text)
{
    auto* item = new Entry(text);
    int at = count();
    if (Sorted) {
        // Binary search for the first item that sorts after the new one: equal names keep the
        // order they were added in.
        int lo = 0, hi = count();
        while (lo < hi) {
            int mid = (lo + hi) / 2;
            if (keyOf(this->item(mid)).compare(item->key()) <= 0) lo = mid + 1;
            else hi = mid;
        }
        at = lo;
    }
    insertItem(at, item);
    return at;
}

std::string ListBox::Item(int i) const { return bytesOf(item(i)); }

void ListBox::Delete(int i) { delete takeItem(i); }

int ListBox::IndexOf(const std::string& text) const
{
    for (int i = 0; i < count(); ++i)
        if (bytesOf(item(i)) == text) return i;
    return -1;
}

bool ListBox::Selected(int i) const
{
    const QListWidgetItem* it = item(i);
    return it && it->isSelected();
}

}  // namespace ui
