#include "ListBox.h"

#include "FileSystem.h"

#include <strings.h>

namespace ui {

// Rows of one line each: the view need not measure them one by one, which matters in lists
// of thousands of files whose current row moves at every entry of a run.
ListBox::ListBox(QWidget* parent) : QListWidget(parent) { setUniformItemSizes(true); }

int ListBox::Add(const std::string& text)
{
    auto* item = new QListWidgetItem(platform::toDisplay(text));
    item->setData(Qt::UserRole, QByteArray(text.data(), qsizetype(text.size())));
    int at = count();
    if (Sorted) {
        // Binary search for the first item that sorts after the new one.
        int lo = 0, hi = count();
        while (lo < hi) {
            int mid = (lo + hi) / 2;
            if (strcasecmp(Item(mid).c_str(), text.c_str()) <= 0) lo = mid + 1;
            else hi = mid;
        }
        at = lo;
    }
    insertItem(at, item);
    return at;
}

std::string ListBox::Item(int i) const
{
    const QListWidgetItem* it = item(i);
    if (!it) return std::string();
    const QByteArray bytes = it->data(Qt::UserRole).toByteArray();
    return std::string(bytes.constData(), size_t(bytes.size()));
}

void ListBox::Delete(int i)
{
    delete takeItem(i);
}

int ListBox::IndexOf(const std::string& text) const
{
    for (int i = 0; i < count(); ++i)
        if (Item(i) == text) return i;
    return -1;
}

bool ListBox::Selected(int i) const
{
    const QListWidgetItem* it = item(i);
    return it && it->isSelected();
}

}  // namespace ui
