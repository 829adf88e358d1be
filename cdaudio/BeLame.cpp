// The LAME encoder interface over libmp3lame.
#include "MP3Coder_Dll.h"

#include <lame/lame.h>

#include <cstring>
#include <fcntl.h>
#include <map>
#include <unistd.h>
#include <vector>

namespace {

struct Stream {
    lame_t lame = nullptr;
    int channels = 2;
    uint32_t bufferSize = 0;
};

std::map<HBE_STREAM, Stream>& streams()
{
    static std::map<HBE_STREAM, Stream> open;
    return open;
}

HBE_STREAM nextHandle = 1;

// Samples handed over per call: four MPEG frames of every channel.
constexpr uint32_t FramesPerChunk = 4 * 1152;

}  // namespace

void beVersion(BE_VERSION* version)
{
    if (!version) return;
    std::memset(version, 0, sizeof *version);
    lame_version_t v;
    get_lame_version_numerical(&v);
    version->DLLMajorVersion = 1;
    version->DLLMinorVersion = 32;
    version->MajorVersion = uint8_t(v.major);
    version->MinorVersion = uint8_t(v.minor);
    version->AlphaLevel = uint8_t(v.alpha);
    version->BetaLevel = uint8_t(v.beta);
    std::strncpy(version->Homepage, get_lame_url(), sizeof version->Homepage - 1);
}

BE_ERR beInitStream(const BE_CONFIG* config, uint32_t* samples, uint32_t* bufferSize, HBE_STREAM* stream)
{
    if (!config) return BE_ERR_INVALID_FORMAT_PARAMETERS;
    return beInitStreamInput(config, 0, 0, samples, bufferSize, stream);
}

BE_ERR beInitStreamInput(const BE_CONFIG* config, uint32_t inChannels, uint32_t inRate, uint32_t* samples,
                         uint32_t* bufferSize, HBE_STREAM* stream)
{
    if (!config || !samples || !bufferSize || !stream) return BE_ERR_INVALID_FORMAT_PARAMETERS;
    if (config->get(BE_CONFIG::Kind) != BE_CONFIG_LAME) return BE_ERR_INVALID_FORMAT;
    uint32_t mode = config->get(BE_CONFIG::Mode);
    uint32_t rate = config->get(BE_CONFIG::SampleRate);
    if (mode > 3 || rate == 0 || inChannels > 2) return BE_ERR_INVALID_FORMAT_PARAMETERS;
    static const MPEG_mode modes[] = {STEREO, JOINT_STEREO, DUAL_CHANNEL, MONO};
    Stream s;
    s.channels = inChannels ? int(inChannels) : mode == 3 ? 1 : 2;
    s.lame = lame_init();
    if (!s.lame) return BE_ERR_NO_MORE_HANDLES;
    lame_t l = s.lame;
    uint32_t out = config->get(BE_CONFIG::ReSampleRate);
    if (inRate) {
        // The input's own rate; the record's becomes the rate of the MP3 (the library resamples).
        if (!out) out = rate;
        rate = inRate;
    }
    lame_set_in_samplerate(l, int(rate));
    if (out) lame_set_out_samplerate(l, int(out));
    lame_set_num_channels(l, s.channels);
    lame_set_mode(l, modes[mode]);
    switch (int32_t(config->get(BE_CONFIG::Preset))) {
    case LOW_QUALITY: lame_set_quality(l, 7); break;
    case HIGH_QUALITY: lame_set_quality(l, 2); break;
    case VOICE_QUALITY: lame_set_quality(l, 5); break;
    default: break;  // the library's own default, as the lame command line
    }
    lame_set_extension(l, config->get(BE_CONFIG::Private) != 0);
    lame_set_error_protection(l, config->get(BE_CONFIG::CRC) != 0);
    lame_set_copyright(l, config->get(BE_CONFIG::Copyright) != 0);
    lame_set_original(l, config->get(BE_CONFIG::Original) != 0);
    lame_set_emphasis(l, int(config->get(BE_CONFIG::Emphasis)));
    lame_set_bWriteVbrTag(l, config->get(BE_CONFIG::WriteVBRHeader) != 0);
    if (config->get(BE_CONFIG::EnableVBR)) {
        lame_set_VBR(l, vbr_default);
        lame_set_VBR_q(l, int(config->get(BE_CONFIG::VBRQuality)));
        lame_set_VBR_min_bitrate_kbps(l, int(config->get(BE_CONFIG::Bitrate)));
        lame_set_VBR_max_bitrate_kbps(l, int(config->get(BE_CONFIG::MaxBitrate)));
    } else {
        lame_set_VBR(l, vbr_off);
        lame_set_brate(l, int(config->get(BE_CONFIG::Bitrate)));
    }
    if (lame_init_params(l) < 0) {
        lame_close(l);
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    }
    *samples = FramesPerChunk * uint32_t(s.channels);
    // What one call may produce: a file encoder hands over up to twice the samples of a chunk,
    // more of them once resampled to a higher rate.
    uint64_t frames = 2 * FramesPerChunk;
    uint32_t outRate = uint32_t(lame_get_out_samplerate(l));
    if (outRate > rate) frames = (frames * outRate + rate - 1) / rate;
    s.bufferSize = uint32_t(5 * frames / 4 + 7200);
    *bufferSize = s.bufferSize;
    *stream = nextHandle++;
    streams()[*stream] = s;
    return BE_ERR_SUCCESSFUL;
}

BE_ERR beEncodeChunk(HBE_STREAM stream, uint32_t samples, const int16_t* pcm, uint8_t* output, uint32_t* outputBytes)
{
    auto it = streams().find(stream);
    if (it == streams().end()) return BE_ERR_INVALID_HANDLE;
    Stream& s = it->second;
    int frames = int(samples / uint32_t(s.channels));
    int n = frames == 0 ? 0
            : s.channels == 2
                ? lame_encode_buffer_interleaved(s.lame, const_cast<short*>(pcm), frames, output, int(s.bufferSize))
                : lame_encode_buffer(s.lame, pcm, pcm, frames, output, int(s.bufferSize));
    if (n < 0) {
        *outputBytes = 0;
        return n == -1 ? BE_ERR_BUFFER_TOO_SMALL : BE_ERR_INVALID_FORMAT_PARAMETERS;
    }
    *outputBytes = uint32_t(n);
    return BE_ERR_SUCCESSFUL;
}

BE_ERR beDeinitStream(HBE_STREAM stream, uint8_t* output, uint32_t* outputBytes)
{
    auto it = streams().find(stream);
    if (it == streams().end()) return BE_ERR_INVALID_HANDLE;
    int n = lame_encode_flush(it->second.lame, output, int(it->second.bufferSize));
    *outputBytes = n > 0 ? uint32_t(n) : 0;
    return n < 0 ? BE_ERR_BUFFER_TOO_SMALL : BE_ERR_SUCCESSFUL;
}

BE_ERR beWriteVBRHeader(HBE_STREAM stream, const char* fileName)
{
    auto it = streams().find(stream);
    if (it == streams().end()) return BE_ERR_INVALID_HANDLE;
    lame_t l = it->second.lame;
    if (!lame_get_bWriteVbrTag(l)) return BE_ERR_SUCCESSFUL;
    std::vector<uint8_t> tag(lame_get_lametag_frame(l, nullptr, 0));
    if (tag.size() < 4 || lame_get_lametag_frame(l, tag.data(), tag.size()) != tag.size())
        return BE_ERR_SUCCESSFUL;  // the library wrote no header frame
    int fd = fileName ? ::open(fileName, O_RDWR) : -1;
    if (fd < 0) return BE_ERR_INVALID_FORMAT;
    // The reserved frame comes first in the stream's bytes, behind an ID3v2 tag if one precedes.
    uint8_t head[10] = {};
    off_t at = 0;
    if (::pread(fd, head, sizeof head, 0) == ssize_t(sizeof head) && !std::memcmp(head, "ID3", 3) && head[3] != 0xFF &&
        head[4] != 0xFF && !((head[6] | head[7] | head[8] | head[9]) & 0x80))
        at = 10 + (off_t(head[6]) << 21 | off_t(head[7]) << 14 | off_t(head[8]) << 7 | off_t(head[9])) +
             ((head[5] & 0x10) ? 10 : 0);
    // Only a frame the library left blank is filled: its header, then nothing but zeros.
    std::vector<uint8_t> reserved(tag.size());
    bool blank = ::pread(fd, reserved.data(), reserved.size(), at) == ssize_t(reserved.size()) && reserved[0] == 0xFF &&
                 (reserved[1] & 0xE0) == 0xE0 && reserved[1] == tag[1] && (reserved[2] & 0xFC) == (tag[2] & 0xFC);
    for (size_t i = 4; blank && i < reserved.size(); ++i) blank = reserved[i] == 0;
    bool written = blank && ::pwrite(fd, tag.data(), tag.size(), at) == ssize_t(tag.size());
    written = ::close(fd) == 0 && written;
    return !blank ? BE_ERR_INVALID_FORMAT : written ? BE_ERR_SUCCESSFUL : BE_ERR_BUFFER_TOO_SMALL;
}

BE_ERR beCloseStream(HBE_STREAM stream)
{
    auto it = streams().find(stream);
    if (it == streams().end()) return BE_ERR_INVALID_HANDLE;
    lame_close(it->second.lame);
    streams().erase(it);
    return BE_ERR_SUCCESSFUL;
}
