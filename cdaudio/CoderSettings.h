// What the ripper's coder and the file encoder share: the encoder settings, the configuration
// record they fill before each stream start, the stream and its output buffer, the file lists.
#pragma once

#include "MP3Coder_Dll.h"

#include <cstdint>
#include <string>
#include <vector>

class TCoderSettings {
public:
    TCoderSettings() = default;
    virtual ~TCoderSettings();
    TCoderSettings(const TCoderSettings&) = delete;
    TCoderSettings& operator=(const TCoderSettings&) = delete;

    uint32_t SampleRate = 44100;
    uint32_t Bitrate = 128;
    uint32_t MaxBitrate = 320;
    MPEG_QUALITY Quality = NORMAL_QUALITY;
    bool Private = false;
    bool CRC = true;
    bool Copyright = false;
    bool Original = false;
    bool WriteVBRHeader = false;
    int32_t VBRQuality = 4;
    std::string DefaultExt = ".mp3";
    std::string Mp3FileName;

    bool EnableVBR() const { return enableVBR_; }
    // Turns the VBR header on or off with it.
    void SetEnableVBR(bool v)
    {
        enableVBR_ = v;
        WriteVBRHeader = v;
    }

    const std::vector<std::string>& InputFiles() const { return inputFiles_; }
    // Also names the outputs: each input with its extension replaced by DefaultExt.
    void SetInputFiles(const std::vector<std::string>& names);
    const std::vector<std::string>& OutputFiles() const { return outputFiles_; }
    void SetOutputFiles(const std::vector<std::string>& names) { outputFiles_ = names; }

    // The stream: started with the settings, then flushed, then closed.
    BE_ERR InitStream();
    // For an input of known format (a WAV file, the ripper's samples): its channels and sample
    // rate; Mode and SampleRate are then those of the MP3.
    BE_ERR InitStream(uint32_t inChannels, uint32_t inRate);
    // After DeinitStream, the MP3 file written: its VBR header frame filled (when wanted).
    BE_ERR WriteVBRHeaderFrame(const std::string& fileName) { return beWriteVBRHeader(stream_, fileName.c_str()); }
    BE_ERR DeinitStream(uint8_t* output, uint32_t& count);
    BE_ERR CloseStream();

    // What the last stream start returned, and its output buffer (allocated on success).
    uint32_t SamplesPerChunk() const { return samples_; }
    uint8_t* OutputBuffer() { return output_.empty() ? nullptr : output_.data(); }
    HBE_STREAM StreamHandle() const { return stream_; }
    const BE_CONFIG& Config() const { return config_; }

protected:
    void assignSettings(const TCoderSettings& from);
    // The channel-mode value given to the library: 0 stereo, 1 joint, 2 dual, 3 mono.
    int32_t mode_ = 0;

private:
    bool enableVBR_ = false;
    std::vector<std::string> inputFiles_, outputFiles_;
    BE_CONFIG config_;
    HBE_STREAM stream_ = 0;
    uint32_t samples_ = 0;
    uint32_t bufferSize_ = 0;
    std::vector<uint8_t> output_;
};

// The library's version record, read once when the object is made.
class TCoderVersionRecord {
public:
    TCoderVersionRecord() { beVersion(&record_); }
    uint8_t DLLMajorVersion() const { return record_.DLLMajorVersion; }
    uint8_t DLLMinorVersion() const { return record_.DLLMinorVersion; }
    uint8_t MajorVersion() const { return record_.MajorVersion; }
    uint8_t MinorVersion() const { return record_.MinorVersion; }

protected:
    void assignVersion(const TCoderVersionRecord& from)
    {
        record_.DLLMajorVersion = from.record_.DLLMajorVersion;
        record_.DLLMinorVersion = from.record_.DLLMinorVersion;
        record_.MajorVersion = from.record_.MajorVersion;
        record_.MinorVersion = from.record_.MinorVersion;
    }

private:
    BE_VERSION record_;
};
