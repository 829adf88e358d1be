// TCDRipper: lists the CD drives, reads the table of contents of the selected one and copies a
// track, chunk by chunk, into a file: raw PCM, PCM behind a 44-byte WAV header, or MP3 through
// an attached TMP3Coder. Progress per chunk, pending window messages processed, a stop, and a
// jitter log beside the file when the drive needed repairs.
#pragma once

#include "CdRip_dll.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

class TMP3Coder;

class ECDRIPError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A file the ripper could not create (the track's, or its jitter log): "Impossible de créer le
// fichier <name> : <why>", with the name and the system's error number apart.
class ECDRIPFileError : public std::runtime_error {
public:
    ECDRIPFileError(const std::string& file, int error);
    std::string File;
    int Error;
};

// A write the file did not take whole ("Write error"): the file and the system's error number.
class ECDRIPWriteError : public ECDRIPError {
public:
    ECDRIPWriteError(const std::string& file, int error) : ECDRIPError("Write error"), File(file), Error(error) {}
    std::string File;
    int Error;
};

struct TTrack {
    int32_t Number = 0;  // 1-based
    int32_t StartSector = 0;
    int32_t EndSector = 0;  // last sector of the track
    std::string Kind;       // "Audio" or "Data"
};

struct TDriveInfo {
    std::string Name;
    char Letter = 0;
    int32_t LibraryIndex = 0;
};

// A copy of the selected drive's table; changing it does not reach the library.
struct TDriveTableClass {
    TDriveType DriveType = GENERIC;
    TReadMethod ReadMethod = READMMC;
    TSetSpeed SetSpeed = SPEEDNONE;
    TEndian Endian = LITTLEENDIAN;
    TEnableMode EnableMode = ENABLENONE;
    int32_t Density = 0;
    bool Atapi = false;
};

// A list of texts, each owning an object.
template <class T>
class TObjectList {
public:
    int32_t Count() const { return int32_t(strings_.size()); }
    const std::string& Strings(int32_t i) const { return strings_.at(size_t(i)); }
    T* Objects(int32_t i) const { return objects_.at(size_t(i)).get(); }
    void Add(const std::string& s, std::unique_ptr<T> o)
    {
        strings_.push_back(s);
        objects_.push_back(std::move(o));
    }
    void Clear()
    {
        strings_.clear();
        objects_.clear();
    }

private:
    std::vector<std::string> strings_;
    std::vector<std::unique_ptr<T>> objects_;
};

// At least two digits: 1 gives "01", 100 gives "100".
std::string ZeroPad2(uint16_t n);

class TCDRipper {
public:
    using TProcessTrackEvent = std::function<void(TCDRipper* Sender, uint16_t TrackNum)>;
    using TProgressEvent = std::function<void(TCDRipper* Sender, uint16_t PercentComplete)>;

    // Raises ECDRIPError "Initialization failure"; with no drive, the ripper is empty.
    TCDRipper();
    ~TCDRipper();
    TCDRipper(const TCDRipper&) = delete;
    TCDRipper& operator=(const TCDRipper&) = delete;

    const std::string& Fersion() const { return fersion_; }
    int32_t speed = 0;
    std::string CdRomName() const;
    TMP3Coder* Coder() const { return coder_; }
    void SetCoder(TMP3Coder* c);
    int32_t ActiveCdRomNum() const { return activeCdRomNum_; }
    void SetActiveCdRomNum(int32_t v);
    TDriveTableClass* DriveTable() const { return driveTable_.get(); }
    TOutputFormat OutputFormat() const { return outputFormat_; }
    void SetOutputFormat(TOutputFormat v);
    bool Encode = false;
    bool WriteWav = false;
    bool JitterCorrect() const { return jitterCorrect_; }
    void SetJitterCorrect(bool v);
    TProcessTrackEvent OnBeginTrack;
    TProcessTrackEvent OnEndTrack;
    TProgressEvent OnProgress;

    // Track n (1-based position in Tracks) into fileName (".mp3" when encoding). A track whose
    // sectors the drive cannot open is left without a file or an error: TrackOpened says so.
    void RipTrack(int32_t n, const std::string& fileName);
    bool TrackOpened() const { return trackOpened_; }
    // What the last rip made of its sectors: all it was asked for, those the drive delivered (a
    // chunk it cannot read is skipped), and whether Abort ended it before its end.
    int32_t SectorsAsked = 0;
    int32_t SectorsRipped = 0;
    bool Stopped = false;
    // The file the last rip created, when it got that far.
    std::string OutputFile;
    // Reads the selected drive's table of contents into Tracks again: the disc may have changed.
    void ReadToc();
    // The first and last sector of each of Tracks: the disc as the ripper read it last.
    std::vector<std::pair<int32_t, int32_t>> TrackSectors() const;
    // Stops the rip under way before its next chunk.
    void Abort() { AbortRequested = true; }

    TObjectList<TTrack> Tracks;
    TObjectList<TDriveInfo> Drives;
    std::vector<std::string> JitterLog;
    int32_t TocEntryCount = 0;
    int32_t JitterErrors = 0;
    bool AbortRequested = false;

private:
    bool trackOpened_ = false;
    void ScanDrives();
    void SelectDrive(int32_t n);
    void ClearTracks() { Tracks.Clear(); }
    void ClearDrives() { Drives.Clear(); }
    void UpdateCoderFormat();
    bool ApplyParameters();
    void RipSectors(int32_t first, int32_t last, const std::string& fileName);

    std::string fersion_;
    char cdRomName_[256] = {};
    TMP3Coder* coder_ = nullptr;
    int32_t activeCdRomNum_ = 0;
    std::unique_ptr<TDriveTableClass> driveTable_;
    TOutputFormat outputFormat_ = STEREO44100;
    bool jitterCorrect_ = true;
};
