// Helpers shared by the parts of the ID3v2 tag class (frame list, reading, text frames,
// writing): byte orders, identifier check, and the status word of a stop.
#pragma once

#include "id3v2.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

namespace id3v2detail {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
using MallocPtr = std::unique_ptr<void, FreeDeleter>;

inline std::uint32_t BigEndian32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

inline std::uint32_t Synchsafe32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) << 21 | std::uint32_t(p[1]) << 14 | std::uint32_t(p[2]) << 7 | p[3];
}

inline bool ValidFrameID(const std::string& id)
{
    if (id.size() != 4) return false;
    for (char c : id)
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
    return true;
}

// A stop with an error class keeps the warning bits gathered so far.
inline TTagStatus Fail(TTagStatus status, TTagStatus errorClass) { return TTagStatus((status & 0x00FF) | errorClass); }

}  // namespace id3v2detail
