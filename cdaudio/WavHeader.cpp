#include "WavHeader.h"

#include <cstring>

namespace cdaudio {

namespace {

uint16_t le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t le32(const uint8_t* p) { return uint32_t(p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24); }

constexpr uint32_t MinInputRate = 8000, MaxInputRate = 192000;

// A chunk header that a writer of WAV files would put there: four printable characters and a
// size that fits in the file.
bool plausibleChunk(const uint8_t* h, uint64_t at, uint64_t fileSize)
{
    for (int i = 0; i < 4; ++i)
        if (h[i] < 0x20 || h[i] > 0x7E) return false;
    return at + 8 + le32(h + 4) <= fileSize;
}

// The chunks are walked to "data", the format must be 16-bit PCM. A data chunk that claims more
// than the file holds, or that is followed by bytes that are no chunk, runs to the end of the
// file (files whose header was written before their audio, or never corrected after a stop).
bool locateWave(FILE* f, uint64_t fileSize, TWavAudio& in)
{
    in.wave = true;
    uint64_t at = 12;
    bool fmt = false;
    for (;;) {
        uint8_t h[8];
        if (std::fseek(f, long(at), SEEK_SET) != 0 || std::fread(h, 1, 8, f) != 8) return false;
        uint32_t size = le32(h + 4);
        if (!std::memcmp(h, "fmt ", 4)) {
            uint8_t b[16];
            if (size < 16 || std::fread(b, 1, 16, f) != 16) return false;
            uint16_t tag = le16(b), channels = le16(b + 2), bits = le16(b + 14);
            in.blockAlign = le16(b + 12);
            in.channels = channels;
            in.rate = le32(b + 4);
            bool pcm = tag == 1 || (tag == 0xFFFE && size >= 40);
            if (tag == 0xFFFE && pcm) {
                uint8_t ext[24];
                pcm = std::fread(ext, 1, 24, f) == 24 && le16(ext + 8) == 1;  // the sub-format
            }
            // The rates the encoder takes in: a header that says 1 Hz would make hours of MP3
            // out of a few kilobytes.
            if (!pcm || bits != 16 || channels < 1 || channels > 2 || in.blockAlign != channels * 2 ||
                in.rate < MinInputRate || in.rate > MaxInputRate)
                return false;
            fmt = true;
        } else if (!std::memcmp(h, "data", 4)) {
            if (!fmt) return false;
            in.offset = at + 8;
            uint64_t rest = fileSize - in.offset;
            in.length = size;
            uint64_t after = in.offset + size + (size & 1);
            uint8_t next[8];
            if (size > rest) in.length = rest;
            else if (after + 8 > fileSize || std::fseek(f, long(after), SEEK_SET) != 0 ||
                     std::fread(next, 1, 8, f) != 8 || !plausibleChunk(next, after, fileSize))
                in.length = rest;
            return true;
        }
        at += 8 + uint64_t(size) + (size & 1);
        if (at + 8 > fileSize) return false;
    }
}

}  // namespace

bool ReadWavHeader(FILE* f, uint64_t fileSize, TWavAudio& audio)
{
    audio = TWavAudio();
    uint8_t header[12] = {};
    const size_t got = std::fread(header, 1, sizeof header, f);
    if (got >= 12 && !std::memcmp(header + 8, "WAVE", 4)) return locateWave(f, fileSize, audio);
    audio.length = fileSize;
    return true;
}

}  // namespace cdaudio
