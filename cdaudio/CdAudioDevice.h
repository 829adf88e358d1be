// The CD-audio device: opened on a drive letter, it answers the track count and the position and
// length of each track packed as minute:second:frame, and reports failures as a code with a text.
// Commands and parameter blocks keep the shape of the desktop's media command interface.
#pragma once

#include <cstdint>
#include <string>

namespace cdaudio {

constexpr uint32_t CmdOpen = 0x0803;
constexpr uint32_t CmdClose = 0x0804;
constexpr uint32_t CmdSet = 0x080D;
constexpr uint32_t CmdStatus = 0x0814;

constexpr uint32_t OpenShareable = 0x0100;
constexpr uint32_t OpenElement = 0x0200;
constexpr uint32_t OpenTypeId = 0x1000;
constexpr uint32_t OpenType = 0x2000;
constexpr uint32_t SetTimeFormat = 0x0400;
constexpr uint32_t StatusItem = 0x0100;
constexpr uint32_t StatusTrack = 0x0010;

constexpr uint32_t ItemLength = 1;
constexpr uint32_t ItemPosition = 2;
constexpr uint32_t ItemNumberOfTracks = 3;
constexpr uint32_t FormatMsf = 2;
constexpr uint32_t DeviceTypeCdAudio = 516;

// Error codes of the device.
constexpr uint32_t ErrInvalidDeviceId = 257;
constexpr uint32_t ErrUnrecognizedCommand = 261;
constexpr uint32_t ErrInvalidDeviceName = 263;
constexpr uint32_t ErrUnsupportedFunction = 274;
constexpr uint32_t ErrDeviceNotReady = 276;
constexpr uint32_t ErrOutOfRange = 282;
constexpr uint32_t ErrMissingParameter = 279;
constexpr uint32_t ErrFileRead = 348;  // a disc image's file: its text names the file

struct OpenParams {
    uint32_t Callback = 0;
    uint32_t DeviceId = 0;
    uint32_t DeviceType = 0;
    const char* ElementName = nullptr;
    const char* Alias = nullptr;
};

struct SetParams {
    uint32_t Callback = 0;
    uint32_t TimeFormat = 0;
    uint32_t Audio = 0;
};

struct StatusParams {
    uint32_t Callback = 0;
    uint32_t Return = 0;
    uint32_t Item = 0;
    uint32_t Track = 0;
};

// Sends one command to device id (0 for the open command); 0 or an error code.
uint32_t sendDeviceCommand(uint32_t deviceId, uint32_t message, uint32_t flags, void* params);
// The text of an error code, at most size - 1 characters and a terminating 0 into buffer.
bool deviceErrorText(uint32_t code, char* buffer, uint32_t size);

// Packs minute:second:frame the way the device reports times.
inline uint32_t packMsf(uint32_t frames)
{
    return (frames / 4500) | (((frames / 75) % 60) << 8) | ((frames % 75) << 16);
}

}  // namespace cdaudio
