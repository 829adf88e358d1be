// TMP3Coder: encodes PCM to MP3 block by block for the CD ripper, which starts the stream, hands
// it blocks and writes the MP3 bytes itself.
#pragma once

#include "CoderSettings.h"
#include "MP3Coder_Dll.h"

#include <functional>

enum class TMP3CoderMode : int32_t { STEREO, JSTEREO, DUALCHANNEL, MONO };

class TCoderVersion : public TCoderVersionRecord {
public:
    void Assign(const TCoderVersion& from) { assignVersion(from); }
};

class TMP3Coder : public TCoderSettings {
public:
    using TNotifyEvent = std::function<void(TMP3Coder* Sender)>;
    using TProcessFileEvent = std::function<void(TMP3Coder* Sender, uint16_t Num, const std::string& FileName)>;
    using TProgressEvent = std::function<void(TMP3Coder* Sender, uint16_t PercentComplete)>;

    void Assign(const TMP3Coder& from) { assignSettings(from); }

    TMP3CoderMode Mode() const { return mode_ >= 0 && mode_ <= 2 ? TMP3CoderMode(mode_) : TMP3CoderMode::MONO; }
    void SetMode(TMP3CoderMode m)
    {
        if (int32_t(m) >= 0 && int32_t(m) <= 3) mode_ = int32_t(m);
    }

    const TCoderVersion& CoderVersion() const { return version_; }

    // One block of SamplesPerChunk 16-bit samples.
    BE_ERR EncodeChunk(const void* block, uint8_t* output, uint32_t& count);
    // A block of fewer samples: the end of a rip.
    BE_ERR EncodeChunk(const void* block, uint32_t samples, uint8_t* output, uint32_t& count);

    // Declared for the windows; never fired.
    TNotifyEvent OnBeginProcess;
    TProcessFileEvent OnBeginFile;
    TProcessFileEvent OnEndFile;
    TNotifyEvent OnEndProcess;
    TProgressEvent OnProgress;

private:
    TCoderVersion version_;
};
