#include "ListOrder.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace {

constexpr unsigned char fold(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; }

constexpr auto FoldTable = [] {
    std::array<unsigned char, 256> table{};
    for (int c = 0; c < 256; ++c) table[size_t(c)] = fold((unsigned char)c);
    return table;
}();

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
// Runs still to sort wait on a list of their own, not on the call stack: keys may share
// megabytes, one digit for every sixteen bytes.
template <class KeyOf>
void sortByDigits(Entry* first, Entry* last, const KeyOf& keyOf)
{
    struct Run {
        Entry *begin, *end;
        size_t offset;
    };
    std::vector<Run> pending{{first, last, 0}};
    while (!pending.empty()) {
        const auto [begin, end, offset] = pending.back();
        pending.pop_back();
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
            if (run->left == 17 && next - run > 1) pending.push_back({run, next, offset + 16});
            run = next;
        }
    }
}

}  // namespace

int CompareFolded(const std::string& a, const std::string& b)
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const unsigned char x = fold((unsigned char)a[i]), y = fold((unsigned char)b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

std::vector<int> FoldedOrder(const std::vector<const std::string*>& texts)
{
    const size_t n = texts.size();
    // The bytes every key starts with (the collection's folder, in paths) decide nothing. The
    // texts lie all over the heap: each is asked for a few rows ahead of its turn.
    constexpr size_t Ahead = 8;
    size_t common = n > 0 ? texts[0]->size() : 0;
    for (size_t i = 0; i < n && common > 0; ++i) {
        if (i + Ahead < n) __builtin_prefetch(texts[i + Ahead]->data());
        const std::string& text = *texts[i];
        size_t same = 0;
        const size_t most = std::min(common, text.size());
        while (same < most && FoldTable[(unsigned char)text[same]] == FoldTable[(unsigned char)(*texts[0])[same]])
            ++same;
        common = same;
    }
    // Digits are read from the texts themselves, folded as they are read: the sort compares
    // plain bytes then, as CompareFolded does, and equal keys keep their list order.
    auto key = [&](uint32_t i) { return std::string_view(*texts[i]).substr(common); };
    std::vector<Entry> entries(n);
    for (size_t i = 0; i < n; ++i) entries[i].at = uint32_t(i);
    sortByDigits(entries.data(), entries.data() + n, key);
    std::vector<int> order(n);
    for (size_t i = 0; i < n; ++i) order[i] = int(entries[i].at);
    return order;
}
