#include "FileListModel.h"

#include "Display.h"
#include "FileSystem.h"
#include "variable.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>

const int FileListModel::ColumnField[ColumnCount] = {
    fArtist, fTitle, fTrack, fAlbum, fPath, fFolder, fDuration, fSizeMo, fGenre, fComment, fYear};

namespace {

const char* const ColumnCaption[FileListModel::ColumnCount] = {
    "Artiste", "Titre", "Piste", "Album", "Nom du fichier", "Répertoire",
    "Durée", "Taille (Mo)", "Genre", "Commentaires", "Année"};

bool isPathField(int field) { return field == fPath || field == fFolder; }

constexpr unsigned char fold(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; }

constexpr auto FoldTable = [] {
    std::array<unsigned char, 256> table{};
    for (int c = 0; c < 256; ++c) table[size_t(c)] = fold((unsigned char)c);
    return table;
}();

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

namespace {

// A key in a sort by sixteen-byte digits: the bytes of the digit, big-endian, zeros past the
// key's end, then how many bytes of the key are left from the digit on (17 for "more").
struct Entry {
    uint64_t high, low;
    uint32_t left;
    uint32_t at;
};

// Reads the digit at `offset` of a key, its letters folded.
void readDigit(Entry& entry, std::string_view key, size_t offset)
{
    const auto byte = [&](size_t i) -> uint64_t {
        return offset + i < key.size() ? FoldTable[(unsigned char)key[offset + i]] : 0;
    };
    entry.high = entry.low = 0;
    for (size_t i = 0; i < 8; ++i) entry.high = entry.high << 8 | byte(i);
    for (size_t i = 8; i < 16; ++i) entry.low = entry.low << 8 | byte(i);
    entry.left = uint32_t(std::min<size_t>(key.size() - std::min(offset, key.size()), 17));
}

// Sorts entries whose keys agree before `offset`: by the digit at `offset`, a key ending within
// it before a longer one, equal keys by list position; keys that agree on the whole digit and go
// on are sorted again by the next one. Each key is read once a digit, not once a comparison.
template <class KeyOf>
void sortByDigits(Entry* begin, Entry* end, size_t offset, const KeyOf& keyOf)
{
    for (Entry* e = begin; e != end; ++e) {
        if (end - e > 8) __builtin_prefetch(keyOf(e[8].at).data());
        readDigit(*e, keyOf(e->at), offset);
    }
    std::sort(begin, end, [](const Entry& x, const Entry& y) {
        if (x.high != y.high) return x.high < y.high;
        if (x.low != y.low) return x.low < y.low;
        if (x.left != y.left) return x.left < y.left;
        return x.at < y.at;
    });
    for (Entry* run = begin; run != end;) {
        Entry* next = run + 1;
        while (next != end && next->high == run->high && next->low == run->low && next->left == run->left) ++next;
        if (run->left == 17 && next - run > 1) sortByDigits(run, next, offset + 16, keyOf);
        run = next;
    }
}

}  // namespace

std::vector<int> FileListModel::sortedOrder(int field) const
{
    const size_t n = rows_.size();
    std::vector<const std::string*> texts(n);
    for (size_t i = 0; i < n; ++i) texts[i] = &FileTable.at(rows_[i])[field];
    // The bytes every key starts with (the collection's folder, in paths) decide nothing. The
    // texts lie all over the heap: each is asked for a few rows ahead of its turn.
    constexpr size_t Ahead = 8;
    size_t common = n > 0 ? texts[0]->size() : 0;
    for (size_t i = 0; i < n && common > 0; ++i) {
        if (i + Ahead < n) __builtin_prefetch(texts[i + Ahead]->data());
        const std::string& text = *texts[i];
        size_t same = 0;
        const size_t most = std::min(common, text.size());
        while (same < most && FoldTable[(unsigned char)text[same]] == FoldTable[(unsigned char)(*texts[0])[same]]) ++same;
        common = same;
    }
    // Digits are read from the texts themselves, folded as they are read: the sort compares
    // plain bytes then, as compareTexts does, and equal keys keep their list order.
    auto key = [&](uint32_t i) { return std::string_view(*texts[i]).substr(common); };
    std::vector<Entry> entries(n);
    for (size_t i = 0; i < n; ++i) entries[i].at = uint32_t(i);
    sortByDigits(entries.data(), entries.data() + n, 0, key);
    std::vector<int> order(n);
    for (size_t i = 0; i < n; ++i) order[i] = int(entries[i].at);
    return order;
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
    for (const QModelIndex& old : before)
        after.append(index(newPosition[size_t(old.row())], old.column()));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}
