#include "FileListModel.h"

#include "Display.h"
#include "FileSystem.h"
#include "ListOrder.h"
#include "variable.h"

const int FileListModel::ColumnField[ColumnCount] = {fArtist,   fTitle,  fTrack, fAlbum,   fPath, fFolder,
                                                     fDuration, fSizeMo, fGenre, fComment, fYear};

namespace {

const char* const ColumnCaption[FileListModel::ColumnCount] = {"Artiste",        "Titre",        "Piste", "Album",
                                                               "Nom du fichier", "Répertoire",   "Durée", "Taille (Mo)",
                                                               "Genre",          "Commentaires", "Année"};

bool isPathField(int field) { return field == fPath || field == fFolder; }

}  // namespace

FileListModel::FileListModel(QObject* parent) : QAbstractTableModel(parent) {}

int FileListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(rows_.size()); }

int FileListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

const std::string& FileListModel::cell(int listRow, int column) const
{
    return FileTable.at(rows_[size_t(listRow)])[ColumnField[column]];
}

QVariant FileListModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || size_t(index.row()) >= rows_.size()) return {};
    const int field = ColumnField[index.column()];
    const std::string& text = cell(index.row(), index.column());
    if (isPathField(field)) return platform::toDisplay(text);
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount) return {};
    return QString::fromUtf8(ColumnCaption[section]);
}

void FileListModel::setRows(std::vector<int> rows)
{
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

void FileListModel::refreshRow(int listRow) { emit dataChanged(index(listRow, 0), index(listRow, ColumnCount - 1)); }

std::vector<int> FileListModel::sortedOrder(int field) const
{
    std::vector<const std::string*> texts(rows_.size());
    for (size_t i = 0; i < texts.size(); ++i) texts[i] = &FileTable.at(rows_[i])[field];
    return FoldedOrder(texts);
}

void FileListModel::sortByColumn(int column)
{
    if (column < 0 || column >= ColumnCount) return;
    const int field = ColumnField[column];
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const std::vector<int> order = sortedOrder(field);
    std::vector<int> sorted(rows_.size());
    std::vector<int> newPosition(rows_.size());
    for (size_t i = 0; i < order.size(); ++i) {
        sorted[i] = rows_[size_t(order[i])];
        newPosition[size_t(order[i])] = int(i);
    }
    rows_ = std::move(sorted);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& old : before) after.append(index(newPosition[size_t(old.row())], old.column()));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}
