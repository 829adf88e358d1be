#include "FileListModel.h"

#include "FileSystem.h"
#include "variable.h"

#include <algorithm>
#include <numeric>

const int FileListModel::ColumnField[ColumnCount] = {
    fArtist, fTitle, fTrack, fAlbum, fPath, fFolder, fDuration, fSizeMo, fGenre, fComment, fYear};

namespace {

const char* const ColumnCaption[FileListModel::ColumnCount] = {
    "Artiste", "Titre", "Piste", "Album", "Nom du fichier", "Répertoire",
    "Durée", "Taille (Mo)", "Genre", "Commentaires", "Année"};

bool isPathField(int field) { return field == fPath || field == fFolder; }

inline unsigned char fold(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; }

}  // namespace

FileListModel::FileListModel(QObject* parent) : QAbstractTableModel(parent) {}

int FileListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(rows_.size());
}

int FileListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

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
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
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

void FileListModel::refreshRow(int listRow)
{
    emit dataChanged(index(listRow, 0), index(listRow, ColumnCount - 1));
}

int FileListModel::compareTexts(const std::string& a, const std::string& b)
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const unsigned char x = fold((unsigned char)a[i]), y = fold((unsigned char)b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

void FileListModel::sortByColumn(int column)
{
    if (column < 0 || column >= ColumnCount) return;
    const int field = ColumnField[column];
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    // Each text folded once; the sort then compares plain bytes, as compareTexts does.
    std::vector<std::string> keys(rows_.size());
    for (size_t i = 0; i < rows_.size(); ++i) {
        const std::string& text = FileTable.at(rows_[i])[field];
        keys[i].resize(text.size());
        std::transform(text.begin(), text.end(), keys[i].begin(), [](char c) { return char(fold((unsigned char)c)); });
    }
    std::vector<int> order(rows_.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int x, int y) { return keys[size_t(x)] < keys[size_t(y)]; });
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
    for (const QModelIndex& old : before)
        after.append(index(newPosition[size_t(old.row())], old.column()));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}
