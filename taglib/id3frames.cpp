// The frame list of an ID3v2 tag and the transforms of a frame's data (compression,
// unsynchronisation).
#include "id3v2.h"

#include "id3codecs.h"
#include "id3v2_detail.h"

#include <exception>

using namespace id3v2detail;

std::uint32_t TFrameIndex::AddFrame(const std::string& FrameID)
{
    if (FrameID.size() != 4) return 0;
    std::string id = FrameID;
    for (char& c : id)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    if (!ValidFrameID(id)) return 0;
    Records.emplace_back();
    Records.back().FrameID = id;
    return Count();
}

int TFrameIndex::DeleteFrame(std::uint32_t Index)
{
    if (Index == 0 || Index > Count()) return 0;
    Records.erase(Records.begin() + (Index - 1));
    return 1;
}

void TFrameIndex::Clear() { Records.clear(); }

TFrameRecord& TFrameIndex::Record(std::uint32_t Index)
{
    if (Index == 0 || Index > Count()) throw ERangeError();
    return Records[Index - 1];
}

const TFrameRecord& TFrameIndex::Record(std::uint32_t Index) const
{
    if (Index == 0 || Index > Count()) throw ERangeError();
    return Records[Index - 1];
}

void TFrameIndex::SetEncryptionMethod(std::uint32_t Index, std::uint8_t Value)
{
    TFrameRecord& r = Record(Index);
    if (r.EncryptionMethod != Value) r.Modified = 1;
    r.EncryptionMethod = Value;
}

void TFrameIndex::SetGroupID(std::uint32_t Index, std::uint8_t Value)
{
    TFrameRecord& r = Record(Index);
    if (r.GroupID != Value) r.Modified = 1;
    r.GroupID = Value;
}

namespace {

// One byte of a flag pair: Which 1 is the status byte, 2 the format byte.
template <typename Pair>
auto& FlagByte(Pair& flags, int Which)
{
    if (Which != 1 && Which != 2) throw ERangeError();
    return flags[std::size_t(Which - 1)];
}

}  // namespace

std::uint8_t TFrameIndex::GetReadFlags(std::uint32_t Index, int Which) const
{
    return FlagByte(Record(Index).ReadFlags, Which);
}

void TFrameIndex::SetReadFlags(std::uint32_t Index, int Which, std::uint8_t Value)
{
    FlagByte(Record(Index).ReadFlags, Which) = Value;
}

std::uint8_t TFrameIndex::GetWriteFlags(std::uint32_t Index, int Which) const
{
    return FlagByte(Record(Index).WriteFlags, Which);
}

void TFrameIndex::SetWriteFlags(std::uint32_t Index, int Which, std::uint8_t Value)
{
    TFrameRecord& r = Record(Index);
    FlagByte(r.WriteFlags, Which) = Value;
    r.Modified = 1;
}

// Frame transforms

int TFrameIndex::Compress(std::uint32_t Index, int LevelIndex)
{
    TFrameRecord& r = Record(Index);
    const std::uint8_t state = r.ReadFlags[1];
    if (state & frameflag::Unsynchronisation) return 2;
    if (state & frameflag::Encryption) return 1;
    if (state & frameflag::Compression) return -1;
    try {
        void* out = nullptr;
        int outSize = 0;
        ZCompressBuffer(r.Data.data(), int(r.Data.size()), out, LevelIndex, outSize);
        MallocPtr hold(out);
        TBytes packed(static_cast<std::uint8_t*>(out), static_cast<std::uint8_t*>(out) + outSize);
        r.DataLength = std::uint32_t(r.Data.size());
        r.Data.swap(packed);
        r.ReadFlags[1] |= frameflag::Compression;
        r.Modified = 1;
        return 0;
    } catch (const std::exception&) {
        return 4;
    }
}

int TFrameIndex::Decompress(std::uint32_t Index)
{
    TFrameRecord& r = Record(Index);
    const std::uint8_t state = r.ReadFlags[1];
    if (state & frameflag::Unsynchronisation) return 2;
    if (state & frameflag::Encryption) return 1;
    if (!(state & frameflag::Compression)) return -1;
    try {
        // Inflate no further than the stated length (a fixed ceiling when none is stated): what
        // would go beyond is not this frame's text, and a bomb must not take the memory.
        const std::size_t limit = r.DataLength ? r.DataLength : kZInflateCeiling;
        void* out = nullptr;
        int outSize = 0;
        ZDecompressBuffer(r.Data.data(), int(r.Data.size()), out, 0, outSize, limit);
        MallocPtr hold(out);
        TBytes plain(static_cast<std::uint8_t*>(out), static_cast<std::uint8_t*>(out) + outSize);
        const int result = std::uint32_t(outSize) == r.DataLength ? 0 : -2;
        if (result != 0) r.DataLength = 0;
        r.Data.swap(plain);
        r.ReadFlags[1] &= std::uint8_t(~frameflag::Compression);
        r.Modified = 1;
        return result;
    } catch (const std::exception&) {
        return 4;
    }
}

int TFrameIndex::Unsynchronise(std::uint32_t Index)
{
    TFrameRecord& r = Record(Index);
    if (r.ReadFlags[1] & frameflag::Unsynchronisation) return -1;
    try {
        const std::uint32_t size = std::uint32_t(r.Data.size());
        if (!(r.ReadFlags[1] & (frameflag::Compression | frameflag::Encryption))) r.DataLength = size;
        r.RawSize = size;
        const int n = UnsyncCountBuffer(r.Data.data(), int(size));
        if (n > 0) {
            r.Data.resize(size + std::size_t(n));
            UnsyncBuffer(r.Data.data(), int(size) - 1);
        }
        r.ReadFlags[1] |= frameflag::Unsynchronisation;
        r.Modified = 1;
        return 0;
    } catch (const std::exception&) {
        return 4;
    }
}

int TFrameIndex::Resynchronise(std::uint32_t Index)
{
    TFrameRecord& r = Record(Index);
    if (!(r.ReadFlags[1] & frameflag::Unsynchronisation)) return -1;
    r.Data.resize(ResyncBuffer(r.Data.data(), r.Data.size()));
    r.ReadFlags[1] &= std::uint8_t(~frameflag::Unsynchronisation);
    r.Modified = 1;
    return 0;
}
