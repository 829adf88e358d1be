#include "LameCoder.h"

#include "Input.h"
#include "Messages.h"
#include "WavHeader.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct FileCloser {
    void operator()(FILE* f) const
    {
        if (f) std::fclose(f);
    }
};
using File = std::unique_ptr<FILE, FileCloser>;

// The stream over a descriptor just opened for `action` on `name`, or the failure with its reason.
File stream(int fd, const char* mode, platform::FileAction action, const std::string& name)
{
    File file(fd < 0 ? nullptr : fdopen(fd, mode));
    if (!file) {
        const int error = errno;
        if (fd >= 0) close(fd);
        throw std::runtime_error(platform::fileFailureText(action, name, error));
    }
    return file;
}

const char* const NotPcm16 = "Format WAV non pris en charge (seul le PCM 16 bits est encodé) : ";

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

    // A FIFO named ".wav" would hold the open for ever, nor would one named ".mp3" let it end.
    File in = stream(platform::openForReading(input), "rb", platform::FileAction::Open, input);
    File out = stream(platform::openForWriting(output), "wb", platform::FileAction::Create, output);
    // One write per encoded chunk, so that a short one is seen where it happens.
    std::setvbuf(out.get(), nullptr, _IONBF, 0);
    struct stat st;
    uint64_t fileSize = fstat(fileno(in.get()), &st) == 0 ? uint64_t(st.st_size) : 0;

    cdaudio::TWavAudio audio;
    if (!cdaudio::ReadWavHeader(in.get(), fileSize, audio)) throw ELameError(NotPcm16 + platform::printableName(input));
    if (std::fseek(in.get(), long(audio.offset), SEEK_SET) != 0) throw ELameError("Read Error");
    // A WAV file is encoded as its header says: its channels mixed to the mode, its rate
    // resampled to SampleRate. The stream started with the settings alone is started again.
    if (audio.wave) started = InitStream(audio.channels, audio.rate);
    if (started != BE_ERR_SUCCESSFUL) throw ELameError("beInitStream failed " + std::to_string(started));

    const uint32_t samples = SamplesPerChunk();
    uint16_t chunk = audio.wave                  ? uint16_t(samples * audio.blockAlign)
                     : Mode() == TLameMode::MONO ? uint16_t(samples)
                                                 : uint16_t(2 * samples);
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
