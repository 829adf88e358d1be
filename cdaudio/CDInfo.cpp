#include "CDInfo.h"

#include "Messages.h"

#include <cctype>
#include <cstdio>

uint32_t MsfToFrames(const TMsfTime& t) { return uint32_t(t.Minutes * 4500 + t.Seconds * 75 + t.Frames); }

void FramesToMsf(uint32_t n, TMsfTime& t)
{
    t.Frames = int32_t(n % 75);
    t.Seconds = int32_t((n / 75) % 60);
    t.Minutes = int32_t(n / 4500);
}

void UnpackMsf(uint32_t packed, TMsfTime& t)
{
    t.Minutes = int32_t(packed & 0xFF);
    t.Seconds = int32_t((packed >> 8) & 0xFF);
    t.Frames = int32_t((packed >> 16) & 0xFF);
}

TCDInfo::TCDInfo() = default;

TCDInfo::~TCDInfo()
{
    if (!destroyed_ && openParams_.DeviceId)
        cdaudio::sendDeviceCommand(openParams_.DeviceId, cdaudio::CmdClose, 0, nullptr);
}

void TCDInfo::SendCommand(uint32_t message, uint32_t flags, void* params)
{
    const platform::BusyCursor busy;
    uint32_t code = cdaudio::sendDeviceCommand(openParams_.DeviceId, message, flags, params);
    if (code) {
        char text[250];
        if (!cdaudio::deviceErrorText(code, text, sizeof text))
            std::snprintf(text, sizeof text, "Erreur %u du périphérique CD audio.", code);
        throw std::runtime_error(text);
    }
}

void TCDInfo::Open(char drive)
{
    const platform::BusyCursor busy;
    openParams_ = {};
    openParams_.DeviceType = cdaudio::DeviceTypeCdAudio;
    elementName_ = std::string(1, char(std::tolower(static_cast<unsigned char>(drive)))) + ":\\0@";
    openParams_.ElementName = elementName_.c_str();
    openParams_.DeviceId = 0;
    SendCommand(cdaudio::CmdOpen,
                cdaudio::OpenType | cdaudio::OpenTypeId | cdaudio::OpenElement | cdaudio::OpenShareable, &openParams_);
    cdaudio::SetParams set;
    set.TimeFormat = cdaudio::FormatMsf;
    SendCommand(cdaudio::CmdSet, cdaudio::SetTimeFormat, &set);
}

uint32_t TCDInfo::GetStatus(uint32_t item)
{
    statusParams_.Item = item;
    SendCommand(cdaudio::CmdStatus, cdaudio::StatusItem, &statusParams_);
    return statusParams_.Return;
}

uint32_t TCDInfo::GetTrackCount() { return GetStatus(cdaudio::ItemNumberOfTracks); }

void TCDInfo::GetTrackPosition(uint32_t track, TMsfTime& t)
{
    statusParams_.Item = cdaudio::ItemPosition;
    statusParams_.Track = track;
    SendCommand(cdaudio::CmdStatus, cdaudio::StatusItem | cdaudio::StatusTrack, &statusParams_);
    UnpackMsf(statusParams_.Return, t);
}

void TCDInfo::GetTrackLength(uint32_t track, TMsfTime& t)
{
    statusParams_.Item = cdaudio::ItemLength;
    statusParams_.Track = track;
    SendCommand(cdaudio::CmdStatus, cdaudio::StatusItem | cdaudio::StatusTrack, &statusParams_);
    UnpackMsf(statusParams_.Return, t);
}

int32_t TCDInfo::GetDiscLength()
{
    uint32_t n = GetTrackCount();
    TMsfTime length, position, first, leadOut;
    GetTrackLength(n, length);
    length.Frames += 1;  // may reach 75: the conversion below is linear
    GetTrackPosition(n, position);
    FramesToMsf(MsfToFrames(position) + MsfToFrames(length), leadOut);
    GetTrackPosition(1, first);
    return (leadOut.Minutes * 60 + leadOut.Seconds) - (first.Minutes * 60 + first.Seconds);
}

uint32_t TCDInfo::GetDiscId()
{
    uint32_t n = GetTrackCount();
    TMsfTime positions[100];
    if (n > 100) throw std::runtime_error("Plus de 100 pistes sur le disque.");
    for (uint32_t i = 1; i <= n; ++i) GetTrackPosition(i, positions[i - 1]);
    uint32_t sum = 0;
    for (uint32_t i = 0; i < n; ++i) {
        uint32_t s = uint32_t(positions[i].Minutes * 60 + positions[i].Seconds);
        for (; s; s /= 10) sum += s % 10;
    }
    uint32_t t = uint32_t(GetDiscLength());
    return ((sum % 255) << 24) | (t << 8) | GetTrackCount();
}

std::string TCDInfo::GetDiscIdText()
{
    char text[16];
    std::snprintf(text, sizeof text, "%8.8x", GetDiscId());
    return text;
}

void TCDInfo::Destroy()
{
    destroyed_ = true;
    SendCommand(cdaudio::CmdClose, 0, nullptr);
}
