#include "id3codecs.h"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

const int kLevelTable[4] = {0, 1, Z_DEFAULT_COMPRESSION, 9};

struct FreeOnError {
    void* p;
    ~FreeOnError() { std::free(p); }
};

void* Grow(void* p, std::size_t size)
{
    void* q = std::realloc(p, size ? size : 1);
    if (!q) throw std::bad_alloc();
    return q;
}

}  // namespace

std::string ZErrorMessage(int Code)
{
    switch (Code) {
    case Z_ERRNO: return "file error";
    case Z_STREAM_ERROR: return "stream error";
    case Z_DATA_ERROR: return "data error";
    case Z_MEM_ERROR: return "insufficient memory";
    case Z_BUF_ERROR: return "buffer error";
    case Z_VERSION_ERROR: return "incompatible version";
    default: return "";
    }
}

int ZCheckCompress(int Code)
{
    if (Code < 0) throw EZCompressionError(ZErrorMessage(Code));
    return Code;
}

int ZCheckDecompress(int Code)
{
    if (Code < 0) throw EZDecompressionError(ZErrorMessage(Code));
    return Code;
}

void ZCompressBuffer(const void* In, int InSize, void*& Out, int LevelIndex, int& OutSize)
{
    Out = nullptr;
    OutSize = 0;
    if (InSize < 0 || LevelIndex < 0 || LevelIndex > 3) ZCheckCompress(Z_STREAM_ERROR);
    std::size_t size = (std::size_t(InSize) + InSize / 10 + 12 + 255) & ~std::size_t(255);
    FreeOnError guard{Grow(nullptr, size)};
    z_stream zs{};
    zs.next_in = static_cast<Bytef*>(const_cast<void*>(In));
    zs.avail_in = uInt(InSize);
    zs.next_out = static_cast<Bytef*>(guard.p);
    zs.avail_out = uInt(size);
    ZCheckCompress(deflateInit(&zs, kLevelTable[LevelIndex]));
    int code;
    while ((code = deflate(&zs, Z_FINISH)) != Z_STREAM_END) {
        if (code < 0) {
            deflateEnd(&zs);
            ZCheckCompress(code);
        }
        size += 256;
        guard.p = Grow(guard.p, size);
        zs.next_out = static_cast<Bytef*>(guard.p) + zs.total_out;
        zs.avail_out = 256;
    }
    std::size_t total = zs.total_out;
    ZCheckCompress(deflateEnd(&zs));
    Out = Grow(guard.p, total);
    guard.p = nullptr;
    OutSize = int(total);
}

void ZDecompressBuffer(const void* In, int InSize, void*& Out, int OutEstimate, int& OutSize, std::size_t OutLimit)
{
    Out = nullptr;
    OutSize = 0;
    if (InSize < 0 || OutEstimate < 0) ZCheckDecompress(Z_STREAM_ERROR);
    // One byte beyond the limit lets a stream of exactly OutLimit bytes reach its end.
    const std::size_t cap = std::min(OutLimit, kZInflateMaximum) + 1;
    const std::size_t step = std::max<std::size_t>((std::size_t(InSize) + 255) & ~std::size_t(255), 256);
    std::size_t size = std::min(OutEstimate ? std::size_t(OutEstimate) : step, cap);
    FreeOnError guard{Grow(nullptr, size)};
    z_stream zs{};
    zs.next_in = static_cast<Bytef*>(const_cast<void*>(In));
    zs.avail_in = uInt(InSize);
    zs.next_out = static_cast<Bytef*>(guard.p);
    zs.avail_out = uInt(size);
    ZCheckDecompress(inflateInit(&zs));
    int code;
    while ((code = inflate(&zs, Z_NO_FLUSH)) != Z_STREAM_END) {
        // Out of input before the end, or a full buffer at the limit: neither can end well.
        if (code >= 0 && (zs.avail_out != 0 || size >= cap)) code = Z_BUF_ERROR;
        if (code < 0) {
            inflateEnd(&zs);
            ZCheckDecompress(code);
        }
        // Grow by at least the rounded input size, doubling so that large ratios stay linear.
        size = std::min(size + std::max(step, size), cap);
        guard.p = Grow(guard.p, size);
        zs.next_out = static_cast<Bytef*>(guard.p) + zs.total_out;
        zs.avail_out = uInt(size - zs.total_out);
    }
    std::size_t total = zs.total_out;
    ZCheckDecompress(inflateEnd(&zs));
    if (total >= cap) ZCheckDecompress(Z_BUF_ERROR);
    Out = Grow(guard.p, total);
    guard.p = nullptr;
    OutSize = int(total);
}

void UpdateCRC32(const void* Data, int Count, std::uint32_t& CRC)
{
    if (Count <= 0) return;
    // zlib's crc32 inverts on entry and exit; undo both to get the bare table step.
    CRC = ~std::uint32_t(crc32(~CRC & 0xFFFFFFFFu, static_cast<const Bytef*>(Data), uInt(Count)));
}

int UnsyncCountBuffer(const std::uint8_t* Buffer, int Count)
{
    int n = 0;
    int i = 0;
    while (i + 1 < Count) {
        if (Buffer[i] != 0xFF) {
            ++i;
        } else if (Buffer[i + 1] == 0x00 || Buffer[i + 1] >= 0xE0) {
            ++n;
            ++i;  // the follower may itself be a $FF
        } else {
            i += 2;
        }
    }
    return n;
}

int UnsyncCount(std::uint32_t Value)
{
    const std::uint8_t b[4] = {std::uint8_t(Value >> 24), std::uint8_t(Value >> 16), std::uint8_t(Value >> 8),
                               std::uint8_t(Value)};
    return UnsyncCountBuffer(b, 4);
}

int UnsyncBuffer(std::uint8_t* Buffer, int Last)
{
    const int count = Last + 1;
    const int n = UnsyncCountBuffer(Buffer, count);
    if (n == 0) return 0;
    // Move from the end towards the start; dst runs ahead of src by the zeros still to place.
    int src = count - 1;
    int dst = src + n;
    while (src >= 0 && dst > src) {
        const std::uint8_t b = Buffer[src];
        Buffer[dst--] = b;
        if (src > 0 && Buffer[src - 1] == 0xFF && (b == 0x00 || b >= 0xE0)) Buffer[dst--] = 0x00;
        --src;
    }
    return n;
}

std::size_t ResyncBuffer(std::uint8_t* Buffer, std::size_t Count)
{
    if (Count < 3) return Count;
    std::size_t dst = 1;
    std::uint8_t prev = Buffer[0];  // the byte before, as it was in the unsynchronised data
    for (std::size_t src = 1; src < Count; ++src) {
        const std::uint8_t b = Buffer[src];
        const bool drop =
            b == 0x00 && prev == 0xFF && src + 1 < Count && (Buffer[src + 1] == 0x00 || Buffer[src + 1] >= 0xE0);
        if (!drop) Buffer[dst++] = b;
        prev = b;
    }
    return dst;
}
