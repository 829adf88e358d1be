// The main window's file list: a model over FileTable rows, so that the list holds one integer
// per row instead of one widget item with eleven strings. Columns show a caption (the artist)
// and ten sub-items, as the list's columns are laid out.
#pragma once

#include <QAbstractTableModel>
#include <string>
#include <vector>

class FileListModel : public QAbstractTableModel {
public:
    static constexpr int ColumnCount = 11;
    // FileTable field shown by each column: caption, then sub-items 0 to 9.
    static const int ColumnField[ColumnCount];

    explicit FileListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Replaces every row (FileTable row numbers, in list order).
    void setRows(std::vector<int> rows);
    void clear() { setRows({}); }
    const std::vector<int>& rows() const { return rows_; }
    // The text of a column of a list row, as bytes (tag texts UTF-8, paths local 8-bit).
    const std::string& cell(int listRow, int column) const;
    // Redraws one list row from its FileTable row.
    void refreshRow(int listRow);
    // Sorts ascending, stably, by one column: letters a-z without regard to case, every other
    // character by its code (UTF-8 bytes compare as their characters do). Selections follow their
    // rows.
    void sortByColumn(int column);

private:
    // List positions in the order of one field's texts, as sortByColumn puts them.
    std::vector<int> sortedOrder(int field) const;

    std::vector<int> rows_;
};
