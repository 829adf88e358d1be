// Where the audio of a file given to the encoder lies: a WAV file's chunks walked to its data,
// or raw PCM from the first byte.
#pragma once

#include <cstdint>
#include <cstdio>

namespace cdaudio {

struct TWavAudio {
    uint64_t offset = 0;  // where the audio starts
    uint64_t length = 0;  // its bytes
    uint16_t blockAlign = 0;
    uint16_t channels = 0;  // 0: raw PCM, laid out as the encoder's mode says
    uint32_t rate = 0;      // 0: raw PCM, at the encoder's sample rate
    bool wave = false;
};

// Reads f, just opened and fileSize bytes long. False for a WAV file that is no 16-bit PCM
// at a rate the encoder takes in.
bool ReadWavHeader(FILE* f, uint64_t fileSize, TWavAudio& audio);

}  // namespace cdaudio
