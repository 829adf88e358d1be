#include "WavHeader.h"

#include "Input.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace cdaudio {

namespace {

uint16_t le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t le32(const uint8_t* p) { return uint32_t(p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24); }

void put16(uint8_t* p, uint32_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
void put32(uint8_t* p, uint32_t v)
{
    put16(p, v);
    put16(p + 2, v >> 16);
}

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
            in.dataSize = size;
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

std::array<uint8_t, WavHeaderBytes> WavHeader(uint16_t channels, uint32_t rate, uint32_t dataBytes)
{
    std::array<uint8_t, WavHeaderBytes> h;
    uint8_t* p = h.data();
    std::memcpy(p, "RIFF", 4);
    put32(p + 4, dataBytes + 36);
    std::memcpy(p + 8, "WAVEfmt ", 8);
    put32(p + 16, 16);
    put16(p + 20, 1);  // PCM
    put16(p + 22, channels);
    put32(p + 24, rate);
    put32(p + 28, rate * channels * 2);
    put16(p + 32, channels * 2u);
    put16(p + 34, 16);
    std::memcpy(p + 36, "data", 4);
    put32(p + 40, dataBytes);
    return h;
}

int FitWavHeader(const std::string& name)
{
    const int fd = platform::openForChanging(name);
    if (fd < 0) return errno;
    uint8_t h[WavHeaderBytes];
    int error = 0;
    const off_t size = ::lseek(fd, 0, SEEK_END);
    if (size < 0) error = errno;
    else if (::pread(fd, h, sizeof h, 0) != ssize_t(sizeof h)) {
        // Shorter than a header: nothing to fit.
    } else if (!std::memcmp(h, "RIFF", 4) && !std::memcmp(h + 8, "WAVEfmt ", 8) && !std::memcmp(h + 36, "data", 4)) {
        // A size past what 32 bits hold says as much as a WAV can.
        auto fit = [](uint64_t v) { return uint32_t(v > 0xFFFFFFFFu ? 0xFFFFFFFFu : v); };
        put32(h + 4, fit(uint64_t(size) - 8));
        put32(h + 40, fit(uint64_t(size) - WavHeaderBytes));
        for (const off_t at : {off_t(4), off_t(40)}) {
            const ssize_t n = ::pwrite(fd, h + at, 4, at);
            if (n != 4 && !error) error = n < 0 ? errno : EIO;
        }
    }
    if (::close(fd) != 0 && !error) error = errno;
    return error;
}

bool ReadWavHeader(FILE* f, uint64_t fileSize, TWavAudio& audio)
{
    audio = TWavAudio();
    uint8_t header[12] = {};
    const size_t got = std::fread(header, 1, sizeof header, f);
    if (got >= 12 && !std::memcmp(header + 8, "WAVE", 4)) {
        audio.riffSize = le32(header + 4);
        return locateWave(f, fileSize, audio);
    }
    audio.length = fileSize;
    return true;
}

bool WavIsWhole(const TWavAudio& audio, uint64_t fileSize)
{
    return audio.wave && uint64_t(audio.riffSize) + 8 == fileSize && audio.offset + audio.dataSize == fileSize;
}

}  // namespace cdaudio
