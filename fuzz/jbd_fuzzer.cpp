// libFuzzer target: any bytes as a disc's entry in the local cache (a ".jbd" file), taken apart
// as the CD window takes it; an entry that reads is written again and must read back the same.
#include "CddbCache.h"

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <tuple>

namespace {

auto fields(const cdaudio::TCddbCacheEntry& entry)
{
    const cdaudio::TDiscIdentity& e = entry.Identity;
    return std::tie(e.DiscId, e.Artist, e.TitleCount, e.Titles, e.Category, e.Album);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    cdaudio::TCddbCacheEntry entry;
    try {
        cdaudio::ReadCddbCacheEntry(text, entry);
    } catch (const std::runtime_error&) {
        return 0;
    }
    // Past the lines of the file, titles are empty: no more of them than a disc or the file holds.
    const cdaudio::TDiscIdentity& read = entry.Identity;
    if (read.Titles.size() != size_t(std::max(read.TitleCount, 0)) || read.Titles.size() > std::max<size_t>(99, size))
        __builtin_trap();
    cdaudio::TCddbCacheEntry again;
    cdaudio::ReadCddbCacheEntry(cdaudio::CddbCacheEntryText(entry), again);
    if (fields(again) != fields(entry)) __builtin_trap();
    return 0;
}
