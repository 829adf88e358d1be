#include "CoderSettings.h"

TCoderSettings::~TCoderSettings()
{
    if (stream_) beCloseStream(stream_);
}

void TCoderSettings::SetInputFiles(const std::vector<std::string>& names)
{
    inputFiles_ = names;
    outputFiles_.clear();
    for (const std::string& name : names) {
        size_t slash = name.rfind('/');
        size_t dot = name.rfind('.');
        bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash);
        outputFiles_.push_back((hasExt ? name.substr(0, dot) : name) + DefaultExt);
    }
}

void TCoderSettings::assignSettings(const TCoderSettings& from)
{
    SampleRate = from.SampleRate;
    mode_ = from.mode_;
    Bitrate = from.Bitrate;
    MaxBitrate = from.MaxBitrate;
    Quality = from.Quality;
    Private = from.Private;
    CRC = from.CRC;
    Copyright = from.Copyright;
    Original = from.Original;
    WriteVBRHeader = from.WriteVBRHeader;
    enableVBR_ = from.enableVBR_;
    VBRQuality = from.VBRQuality;
}

BE_ERR TCoderSettings::InitStream() { return InitStream(0, 0); }

BE_ERR TCoderSettings::InitStream(uint32_t inChannels, uint32_t inRate)
{
    auto boolean = [](bool b) { return b ? 0xFFFFFFFFu : 0u; };
    config_.put(BE_CONFIG::Kind, BE_CONFIG_LAME);
    config_.put(BE_CONFIG::StructVersion, 1);
    config_.put(BE_CONFIG::StructSize, sizeof(BE_CONFIG));
    config_.put(BE_CONFIG::SampleRate, SampleRate);
    config_.put(BE_CONFIG::ReSampleRate, 0);
    config_.put(BE_CONFIG::Mode, uint32_t(mode_));
    config_.put(BE_CONFIG::Bitrate, Bitrate);
    config_.put(BE_CONFIG::MaxBitrate, MaxBitrate);
    config_.put(BE_CONFIG::Preset, uint32_t(Quality));
    config_.put(BE_CONFIG::MpegVersion, 1);
    config_.put(BE_CONFIG::PsyModel, 0);
    config_.put(BE_CONFIG::Emphasis, 0);
    config_.put(BE_CONFIG::Private, boolean(Private));
    config_.put(BE_CONFIG::CRC, boolean(CRC));
    config_.put(BE_CONFIG::Copyright, boolean(Copyright));
    config_.put(BE_CONFIG::Original, boolean(Original));
    config_.put(BE_CONFIG::WriteVBRHeader, boolean(WriteVBRHeader));
    config_.put(BE_CONFIG::EnableVBR, boolean(enableVBR_));
    config_.put(BE_CONFIG::VBRQuality, uint32_t(VBRQuality));
    if (stream_) CloseStream();
    BE_ERR code = beInitStreamInput(&config_, inChannels, inRate, &samples_, &bufferSize_, &stream_);
    if (code == BE_ERR_SUCCESSFUL) output_.assign(bufferSize_, 0);
    else stream_ = 0;
    return code;
}

BE_ERR TCoderSettings::DeinitStream(uint8_t* output, uint32_t& count)
{
    count = 0;
    return beDeinitStream(stream_, output, &count);
}

BE_ERR TCoderSettings::CloseStream()
{
    output_.clear();
    output_.shrink_to_fit();
    BE_ERR code = beCloseStream(stream_);
    stream_ = 0;
    return code;
}
