// The WAV header, in one place: the 44-byte header the ripper writes in front of 16-bit PCM, its
// sizes fitted to what a file holds, and where the audio of any WAV file lies.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace cdaudio {

constexpr std::size_t WavHeaderBytes = 44;

// The header of dataBytes of 16-bit PCM in `channels` channels at `rate` Hz.
std::array<std::uint8_t, WavHeaderBytes> WavHeader(std::uint16_t channels, std::uint32_t rate, std::uint32_t dataBytes);

// Sets the RIFF and data sizes of the file's 44-byte header to what the file holds, so that a
// file cut short, or whose header was written before its audio, reads as what it is. A file
// without such a header is left as it is. 0, or the error number.
int FitWavHeader(const std::string& name);

struct TWavAudio {
    std::uint64_t offset = 0;  // where the audio starts
    std::uint64_t length = 0;  // its bytes
    std::uint16_t blockAlign = 0;
    std::uint16_t channels = 0;  // 0: raw PCM, laid out as the encoder's mode says
    std::uint32_t rate = 0;      // 0: raw PCM, at the encoder's sample rate
    bool wave = false;
    // The sizes the header states, whatever the file holds.
    std::uint32_t riffSize = 0, dataSize = 0;
};

// Reads f, just opened and fileSize bytes long. False for a WAV file that is no 16-bit PCM
// at a rate the encoder takes in.
bool ReadWavHeader(FILE* f, std::uint64_t fileSize, TWavAudio& audio);

// Whether audio, read by ReadWavHeader from a file of fileSize bytes, is one whole WAV: its RIFF
// size and its data chunk, the last one, end where the file ends. A writer that put its header
// before the audio and did not see a write the disk refused leaves a file that says more.
bool WavIsWhole(const TWavAudio& audio, std::uint64_t fileSize);

}  // namespace cdaudio
