// The LAME encoder interface: five functions over libmp3lame that take the stream configuration
// record at fixed offsets and keep the streams they start behind 32-bit handles.
#pragma once

#include <cstdint>

enum MPEG_QUALITY : int32_t { NORMAL_QUALITY, LOW_QUALITY, HIGH_QUALITY, VOICE_QUALITY };

using BE_ERR = uint32_t;
using HBE_STREAM = uint32_t;

constexpr BE_ERR BE_ERR_SUCCESSFUL = 0;
constexpr BE_ERR BE_ERR_INVALID_FORMAT = 1;
constexpr BE_ERR BE_ERR_INVALID_FORMAT_PARAMETERS = 2;
constexpr BE_ERR BE_ERR_NO_MORE_HANDLES = 3;
constexpr BE_ERR BE_ERR_INVALID_HANDLE = 4;
constexpr BE_ERR BE_ERR_BUFFER_TOO_SMALL = 5;

constexpr uint32_t BE_CONFIG_LAME = 256;

// The stream configuration record: 331 packed little-endian bytes, read at these offsets.
struct BE_CONFIG {
    enum Offset : uint32_t {
        Kind = 0,
        StructVersion = 4,
        StructSize = 8,
        SampleRate = 12,
        ReSampleRate = 16,
        Mode = 20,
        Bitrate = 24,
        MaxBitrate = 28,
        Preset = 32,
        MpegVersion = 36,
        PsyModel = 40,
        Emphasis = 44,
        Private = 48,
        CRC = 52,
        Copyright = 56,
        Original = 60,
        WriteVBRHeader = 64,
        EnableVBR = 68,
        VBRQuality = 72
    };
    uint8_t bytes[331] = {};

    void put(Offset at, uint32_t v)
    {
        for (int i = 0; i < 4; ++i) bytes[at + uint32_t(i)] = uint8_t(v >> (8 * i));
    }
    uint32_t get(Offset at) const
    {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= uint32_t(bytes[at + uint32_t(i)]) << (8 * i);
        return v;
    }
};
static_assert(sizeof(BE_CONFIG) == 331);

// The version record: the first four bytes are the ones the components publish.
#pragma pack(push, 1)
struct BE_VERSION {
    uint8_t DLLMajorVersion;
    uint8_t DLLMinorVersion;
    uint8_t MajorVersion;
    uint8_t MinorVersion;
    uint8_t Day;
    uint8_t Month;
    uint16_t Year;
    char Homepage[129];
    uint8_t AlphaLevel;
    uint8_t BetaLevel;
    uint8_t MMXEnabled;
    uint8_t Reserved[128];
};
#pragma pack(pop)
static_assert(sizeof(BE_VERSION) == 268);

void beVersion(BE_VERSION* version);
BE_ERR beInitStream(const BE_CONFIG* config, uint32_t* samples, uint32_t* bufferSize, HBE_STREAM* stream);
// The same for an input whose format is known (a WAV file's header): its channels (1 or 2) and
// its sample rate, which the library resamples to the record's. 0 for either: as beInitStream,
// channels from the mode and the record's rate taken as the input's.
BE_ERR beInitStreamInput(const BE_CONFIG* config, uint32_t inChannels, uint32_t inRate, uint32_t* samples,
                         uint32_t* bufferSize, HBE_STREAM* stream);
// samples: number of 16-bit values (both channels of a stereo stream, interleaved).
BE_ERR beEncodeChunk(HBE_STREAM stream, uint32_t samples, const int16_t* pcm, uint8_t* output, uint32_t* outputBytes);
BE_ERR beDeinitStream(HBE_STREAM stream, uint8_t* output, uint32_t* outputBytes);
// After beDeinitStream, with the MP3 file written and flushed: fills the frame the stream
// reserved at its start with the VBR (Xing/Info) header. Nothing to do when the header is off.
BE_ERR beWriteVBRHeader(HBE_STREAM stream, const char* fileName);
BE_ERR beCloseStream(HBE_STREAM stream);
