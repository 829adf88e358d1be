// TCDInfo: opens the audio CD of one drive letter, reads its track count and the position and
// length of each track, its playing time and the disc id that CDDB servers and the local cache
// use to identify it. Short-lived: create, Open, ask, Destroy (closes the device).
#pragma once

#include "CdAudioDevice.h"

#include <cstdint>
#include <stdexcept>
#include <string>

struct TMsfTime {
    int32_t Minutes = 0;
    int32_t Seconds = 0;
    int32_t Frames = 0;
};

uint32_t MsfToFrames(const TMsfTime& t);
void FramesToMsf(uint32_t n, TMsfTime& t);
void UnpackMsf(uint32_t packed, TMsfTime& t);

class TCDInfo {
public:
    TCDInfo();
    // Closes the device quietly when Destroy did not run.
    ~TCDInfo();
    TCDInfo(const TCDInfo&) = delete;
    TCDInfo& operator=(const TCDInfo&) = delete;

    void Open(char drive);
    uint32_t GetTrackCount();
    void GetTrackPosition(uint32_t track, TMsfTime& t);
    void GetTrackLength(uint32_t track, TMsfTime& t);
    int32_t GetDiscLength();
    uint32_t GetDiscId();
    std::string GetDiscIdText();
    uint32_t GetStatus(uint32_t item);
    // Raises std::runtime_error with the device's text on failure.
    void SendCommand(uint32_t message, uint32_t flags, void* params);
    // Closes the device (raising the device's error), after which the destructor does nothing.
    void Destroy();

private:
    cdaudio::OpenParams openParams_;
    cdaudio::StatusParams statusParams_;
    std::string elementName_;
    bool destroyed_ = false;
};
