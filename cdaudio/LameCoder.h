// TLameCoder: encodes whole files, every name of InputFiles (a WAV file or raw 16-bit PCM) into
// the matching name of OutputFiles, with events and a stop.
#pragma once

#include "CoderSettings.h"
#include "Lame_dll.h"

#include <functional>
#include <stdexcept>

enum class TLameMode : int32_t { STEREO, JSTEREO, DUALCHANNEL, MONO };

class ELameError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TLameVersion : public TCoderVersionRecord {
public:
    void Assign(const TLameVersion& from) { assignVersion(from); }
};

class TLameCoder : public TCoderSettings {
public:
    using TNotifyEvent = std::function<void(TLameCoder* Sender)>;
    using TProcessFileEvent = std::function<void(TLameCoder* Sender, uint16_t Num, const std::string& FileName)>;
    using TProgressEvent = std::function<void(TLameCoder* Sender, uint16_t PercentComplete)>;

    void Assign(const TLameCoder& from) { assignSettings(from); }

    TLameMode Mode() const { return mode_ >= 0 && mode_ <= 2 ? TLameMode(mode_) : TLameMode::MONO; }
    void SetMode(TLameMode m)
    {
        if (int32_t(m) >= 0 && int32_t(m) <= 3) mode_ = int32_t(m);
    }

    const TLameVersion& LameVersion() const { return version_; }

    // Encodes every input; raises ELameError (and the file errors) and ends the run on failure.
    void Encode();
    // Stops after the chunk under way.
    void Abort() { AbortRequested = true; }

    TNotifyEvent OnBeginProcess;
    TProcessFileEvent OnBeginFile;
    TProcessFileEvent OnEndFile;
    TNotifyEvent OnEndProcess;
    TProgressEvent OnProgress;

    bool AbortRequested = false;

private:
    // False when stopped.
    bool encodeFile(size_t index);

    TLameVersion version_;
};
