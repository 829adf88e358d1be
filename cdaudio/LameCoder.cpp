#include "LameCoder.h"

#include "Input.h"
#include "Messages.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct FileCloser {
    void operator()(FILE* f) const { if (f) std::fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

uint16_t le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t le32(const uint8_t* p) { return uint32_t(p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24); }

constexpr uint32_t MinInputRate = 8000, MaxInputRate = 192000;

const char* const NotPcm16 = "Format WAV non pris en charge (seul le PCM 16 bits est encodé) : ";

struct Input {
    uint64_t offset = 0;  // where the audio starts
    uint64_t length = 0;  // its bytes
    uint16_t blockAlign = 0;
    uint16_t channels = 0;  // 0: raw PCM, laid out as the mode says
    uint32_t rate = 0;      // 0: raw PCM, at SampleRate
    bool wave = false;
};

// A chunk header that a writer of WAV files would put there: four printable characters and a
// size that fits in the file.
bool plausibleChunk(const uint8_t* h, uint64_t at, uint64_t fileSize)
{
    for (int i = 0; i < 4; ++i)
        if (h[i] < 0x20 || h[i] > 0x7E) return false;
    return at + 8 + le32(h + 4) <= fileSize;
}

// Where the audio of a WAV file lies: the chunks are walked to "data", the format must be
// 16-bit PCM. A data chunk that claims more than the file holds, or that is followed by bytes
// that are no chunk, runs to the end of the file (files whose header was written before their
// audio, or never corrected after a stop).
Input locateWave(FILE* f, const std::string& name, uint64_t fileSize)
{
    Input in;
    in.wave = true;
    uint64_t at = 12;
    bool fmt = false;
    for (;;) {
        uint8_t h[8];
        if (std::fseek(f, long(at), SEEK_SET) != 0 || std::fread(h, 1, 8, f) != 8)
            throw ELameError(std::string(NotPcm16) + name);
        uint32_t size = le32(h + 4);
        if (!std::memcmp(h, "fmt ", 4)) {
            uint8_t b[16];
            if (size < 16 || std::fread(b, 1, 16, f) != 16) throw ELameError(std::string(NotPcm16) + name);
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
                throw ELameError(std::string(NotPcm16) + name);
            fmt = true;
        } else if (!std::memcmp(h, "data", 4)) {
            if (!fmt) throw ELameError(std::string(NotPcm16) + name);
            in.offset = at + 8;
            uint64_t rest = fileSize - in.offset;
            in.length = size;
            uint64_t after = in.offset + size + (size & 1);
            uint8_t next[8];
            if (size > rest) in.length = rest;
            else if (after + 8 > fileSize || std::fseek(f, long(after), SEEK_SET) != 0 ||
                     std::fread(next, 1, 8, f) != 8 || !plausibleChunk(next, after, fileSize))
                in.length = rest;
            return in;
        }
        at += 8 + uint64_t(size) + (size & 1);
        if (at + 8 > fileSize) throw ELameError(std::string(NotPcm16) + name);
    }
}

}  // namespace

void TLameCoder::Encode()
{
    AbortRequested = false;
    if (OnBeginProcess) OnBeginProcess(this);
    for (size_t i = 0; i < InputFiles().size(); ++i)
        if (!encodeFile(i)) return;
    if (OnEndProcess) OnEndProcess(this);
}

bool TLameCoder::encodeFile(size_t index)
{
    BE_ERR started = InitStream();
    const std::string input = InputFiles()[index];
    const std::string output = index < OutputFiles().size() ? OutputFiles()[index] : std::string();
    if (OnBeginFile) OnBeginFile(this, uint16_t(index), input);

    // Whatever happens, the stream is closed and both files too (the output keeps what was
    // written).
    struct StreamCloser {
        TLameCoder* coder;
        ~StreamCloser() { coder->CloseStream(); }
    } closer{this};

    // A FIFO named ".wav" would hold the open for ever.
    const int fd = platform::openForReading(input);
    File in(fd < 0 ? nullptr : fdopen(fd, "rb"));
    if (!in) {
        const int error = errno;
        if (fd >= 0) close(fd);
        throw std::runtime_error("Impossible d'ouvrir le fichier " + input + " : " + platform::errorText(error));
    }
    File out(std::fopen(output.c_str(), "wb"));
    if (!out) throw std::runtime_error("Impossible de créer le fichier " + output);
    // One write per encoded chunk, so that a short one is seen where it happens.
    std::setvbuf(out.get(), nullptr, _IONBF, 0);
    struct stat st;
    uint64_t fileSize = fstat(fileno(in.get()), &st) == 0 ? uint64_t(st.st_size) : 0;

    uint8_t header[44] = {};
    size_t got = std::fread(header, 1, sizeof header, in.get());
    Input audio;
    if (got >= 12 && !std::memcmp(header + 8, "WAVE", 4)) {
        audio = locateWave(in.get(), input, fileSize);
    } else {
        audio.offset = 0;
        audio.length = fileSize;
    }
    if (std::fseek(in.get(), long(audio.offset), SEEK_SET) != 0) throw ELameError("Read Error");
    // A WAV file is encoded as its header says: its channels mixed to the mode, its rate
    // resampled to SampleRate. The stream started with the settings alone is started again.
    if (audio.wave) started = InitStream(audio.channels, audio.rate);
    if (started != BE_ERR_SUCCESSFUL) throw ELameError("beInitStream failed " + std::to_string(started));

    const uint32_t samples = SamplesPerChunk();
    uint16_t chunk = audio.wave ? uint16_t(samples * audio.blockAlign)
                   : Mode() == TLameMode::MONO ? uint16_t(samples) : uint16_t(2 * samples);
    std::vector<int16_t> pcm(chunk / 2 + 1);
    uint8_t* mp3 = OutputBuffer();
    uint64_t position = 0;
    while (position != audio.length) {
        size_t n = size_t(std::min<uint64_t>(chunk, audio.length - position));
        if (std::fread(pcm.data(), 1, n, in.get()) != n) throw ELameError("Read Error");
        uint32_t count = 0;
        BE_ERR code = beEncodeChunk(StreamHandle(), uint32_t(n / 2), pcm.data(), mp3, &count);
        if (code != BE_ERR_SUCCESSFUL) throw ELameError("beEncodeChunk failed " + std::to_string(code));
        if (count && std::fwrite(mp3, 1, count, out.get()) != count) throw ELameError("Write Error");
        position += n;
        if (OnProgress) OnProgress(this, uint16_t(position * 100 / audio.length));
        platform::processMessages();
        if (AbortRequested) return false;
    }
    uint32_t count = 0;
    DeinitStream(mp3, count);
    bool stored = !count || std::fwrite(mp3, 1, count, out.get()) == count;
    // A full disk may show only when the buffered bytes go out.
    stored = std::fflush(out.get()) == 0 && stored;
    stored = std::fclose(out.release()) == 0 && stored;
    if (!stored || WriteVBRHeaderFrame(output) != BE_ERR_SUCCESSFUL) throw ELameError("Write error");
    in.reset();
    CloseStream();
    if (OnEndFile) OnEndFile(this, uint16_t(index), output);
    return true;
}
