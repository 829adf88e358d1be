// The LAME encoder interface over libmp3lame.
#include "MP3Coder_Dll.h"

#include <lame/lame.h>

#include <cstring>
#include <map>

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
    if (!config || !samples || !bufferSize || !stream) return BE_ERR_INVALID_FORMAT_PARAMETERS;
    if (config->get(BE_CONFIG::Kind) != BE_CONFIG_LAME) return BE_ERR_INVALID_FORMAT;
    uint32_t mode = config->get(BE_CONFIG::Mode);
    uint32_t rate = config->get(BE_CONFIG::SampleRate);
    if (mode > 3 || rate == 0) return BE_ERR_INVALID_FORMAT_PARAMETERS;
    static const MPEG_mode modes[] = {STEREO, JOINT_STEREO, DUAL_CHANNEL, MONO};
    Stream s;
    s.channels = mode == 3 ? 1 : 2;
    s.lame = lame_init();
    if (!s.lame) return BE_ERR_NO_MORE_HANDLES;
    lame_t l = s.lame;
    lame_set_in_samplerate(l, int(rate));
    if (uint32_t out = config->get(BE_CONFIG::ReSampleRate)) lame_set_out_samplerate(l, int(out));
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
    // What one call may produce: a file encoder hands over up to twice the samples of a chunk.
    s.bufferSize = 5 * (2 * FramesPerChunk) / 4 + 7200;
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

BE_ERR beCloseStream(HBE_STREAM stream)
{
    auto it = streams().find(stream);
    if (it == streams().end()) return BE_ERR_INVALID_HANDLE;
    lame_close(it->second.lame);
    streams().erase(it);
    return BE_ERR_SUCCESSFUL;
}
