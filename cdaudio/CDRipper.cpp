#include "CDRipper.h"

#include "CdDrives.h"
#include "Input.h"
#include "MP3Coder.h"
#include "Messages.h"
#include "WavHeader.h"

#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <unistd.h>

ECDRIPFileError::ECDRIPFileError(const std::string& file, int error)
    : std::runtime_error(platform::fileFailureText(platform::FileAction::Create, file, error)), File(file), Error(error)
{
}

namespace {

// A new file to write, never an open that waits on what stands at the name; null (errno set)
// when it cannot be had.
FILE* createFile(const std::string& name)
{
    const int fd = platform::openForWriting(name);
    FILE* file = fd < 0 ? nullptr : fdopen(fd, "wb");
    if (fd >= 0 && !file) {
        const int error = errno;
        close(fd);
        errno = error;
    }
    return file;
}

// The selected drive's parameters, shared by every ripper of the program, and the record used
// while the drives are scanned.
TCDROMParams Params;
TCDROMParams ScanParams;

struct Format {
    int channels;
    int rate;
    TMP3CoderMode mode;
};

Format formatOf(TOutputFormat f)
{
    switch (f) {
    case STEREO44100: return {2, 44100, TMP3CoderMode::STEREO};
    case MONO44100: return {1, 44100, TMP3CoderMode::MONO};
    case STEREO22050: return {2, 22050, TMP3CoderMode::STEREO};
    case MONO22050: return {1, 22050, TMP3CoderMode::MONO};
    case STEREO11025: return {2, 11025, TMP3CoderMode::STEREO};
    case MONO11025: return {1, 11025, TMP3CoderMode::MONO};
    }
    return {2, 44100, TMP3CoderMode::STEREO};
}

std::string withExtension(const std::string& name, const std::string& ext)
{
    size_t slash = name.rfind('/');
    size_t dot = name.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) return name.substr(0, dot) + ext;
    return name + ext;
}

std::string nameOf(const char (&name)[256]) { return std::string(name, strnlen(name, sizeof name)); }

}  // namespace

std::string ZeroPad2(uint16_t n)
{
    std::string s = std::to_string(n);
    while (s.size() < 2) s = "0" + s;
    return s;
}

TCDRipper::TCDRipper()
{
    try {
        fersion_ = std::to_string(CR_GetCDRipVersion());
        if (CR_Init() != CDEX_ERROR && CR_GetCDROMParameters(&Params) != CDEX_ERROR) {
            std::memcpy(cdRomName_, Params.lpszCDROMID, sizeof cdRomName_);
            activeCdRomNum_ = CR_GetActiveCDROM();
            driveTable_ = std::make_unique<TDriveTableClass>();
            const TDriveTable& t = Params.DriveTable;
            *driveTable_ = {t.DriveType, t.ReadMethod, t.SetSpeed, t.Endian, t.EnableMode, t.Density, t.Atapi != 0};
            outputFormat_ = Params.OutputFormat;
            speed = Params.nSpeed;
            jitterCorrect_ = true;
            Params.bJitterCorrection = -1;
            ScanDrives();
            SelectDrive(activeCdRomNum_);
            ReadToc();
        }
        JitterErrors = 0;
    } catch (...) {
        throw ECDRIPError("Initialization failure");
    }
}

TCDRipper::~TCDRipper()
{
    ClearTracks();
    ClearDrives();
    coder_ = nullptr;
}

std::string TCDRipper::CdRomName() const { return nameOf(cdRomName_); }

void TCDRipper::ScanDrives()
{
    ClearDrives();
    int32_t j = 0;
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        if (cdaudio::driveType(letter) != cdaudio::DriveCdRom) continue;
        if (CR_SetActiveCDROM(j) == CDEX_ERROR || CR_GetCDROMParameters(&ScanParams) == CDEX_ERROR) continue;
        auto info = std::make_unique<TDriveInfo>();
        info->Name = nameOf(ScanParams.lpszCDROMID);
        info->Letter = letter;
        info->LibraryIndex = j;
        std::string name = info->Name;
        Drives.Add(name, std::move(info));
        ++j;
    }
}

void TCDRipper::SelectDrive(int32_t n)
{
    if (CR_SetActiveCDROM(n) == CDEX_ERROR || CR_GetCDROMParameters(&Params) == CDEX_ERROR) return;
    std::memcpy(cdRomName_, Params.lpszCDROMID, sizeof cdRomName_);
    if (!driveTable_) driveTable_ = std::make_unique<TDriveTableClass>();
    const TDriveTable& t = Params.DriveTable;
    *driveTable_ = {t.DriveType, t.ReadMethod, t.SetSpeed, t.Endian, t.EnableMode, t.Density, t.Atapi != 0};
    speed = Params.nSpeed;
    // A drive of another format changes the format as SetOutputFormat does; one of the same
    // format leaves the coder's settings, the MP3's own, as the window set them.
    if (Params.OutputFormat != outputFormat_) {
        outputFormat_ = Params.OutputFormat;
        UpdateCoderFormat();
    }
}

void TCDRipper::SetActiveCdRomNum(int32_t v)
{
    if (Drives.Count() == 0) throw ECDRIPError("Aucun lecteur CD Rom trouvé sur ce système");
    if (v < 0 || v > Drives.Count() - 1)
        throw ECDRIPError("Le N° de lecteur de CD Rom doit être compris entre 0 et " +
                          std::to_string(Drives.Count() - 1));
    if (v != activeCdRomNum_) {
        SelectDrive(v);
        activeCdRomNum_ = v;
        ReadToc();
    }
}

void TCDRipper::ReadToc()
{
    ClearTracks();
    try {
        if (CR_ReadToc() != CDEX_ERROR) {
            int32_t n = CR_GetNumTocEntries();
            TocEntryCount = n;
            for (int32_t i = 0; i < n; ++i) {
                TTocEntry a = CR_TocEntryOf(CR_GetTocEntry(i));
                TTocEntry b = CR_TocEntryOf(CR_GetTocEntry(i + 1));
                auto t = std::make_unique<TTrack>();
                t->Number = i + 1;
                t->StartSector = int32_t(a.dwStartSector);
                t->EndSector = int32_t(b.dwStartSector) - 1;
                t->Kind = a.btFlag == 0x10 ? "Audio" : "Data";
                Tracks.Add("Track " + ZeroPad2(uint16_t(i + 1)), std::move(t));
            }
        }
    } catch (...) {
        throw ECDRIPError("Initialization failure");
    }
}

std::vector<std::pair<int32_t, int32_t>> TCDRipper::TrackSectors() const
{
    std::vector<std::pair<int32_t, int32_t>> sectors;
    for (int32_t i = 0; i < Tracks.Count(); ++i)
        sectors.emplace_back(Tracks.Objects(i)->StartSector, Tracks.Objects(i)->EndSector);
    return sectors;
}

void TCDRipper::SetOutputFormat(TOutputFormat v)
{
    if (v == outputFormat_) return;
    Params.OutputFormat = v;
    outputFormat_ = v;
    UpdateCoderFormat();
}

void TCDRipper::SetJitterCorrect(bool v)
{
    if (v == jitterCorrect_) return;
    jitterCorrect_ = v;
    Params.bJitterCorrection = v ? -1 : 0;
}

void TCDRipper::SetCoder(TMP3Coder* c)
{
    coder_ = c;
    UpdateCoderFormat();
}

void TCDRipper::UpdateCoderFormat()
{
    if (!coder_ || outputFormat_ > MONO11025) return;
    Format f = formatOf(outputFormat_);
    coder_->SetMode(f.mode);
    coder_->SampleRate = uint32_t(f.rate);
}

bool TCDRipper::ApplyParameters()
{
    try {
        return CR_SetCDROMParameters(&Params) != CDEX_ERROR;
    } catch (...) {
        throw ECDRIPError("Error setting parameters");
    }
}

void TCDRipper::RipTrack(int32_t n, const std::string& fileName)
{
    if (OnBeginTrack) OnBeginTrack(this, uint16_t(n));
    const TTrack* t = Tracks.Objects(n - 1);
    RipSectors(t->StartSector, t->EndSector, fileName);
    if (OnEndTrack) OnEndTrack(this, uint16_t(n));
}

void TCDRipper::RipSectors(int32_t first, int32_t last, const std::string& fileName)
{
    if (!ApplyParameters()) throw ECDRIPError("Invalid CD-ROM parameters");
    AbortRequested = false;
    // Each log tells of its own rip.
    JitterLog.clear();
    SectorsAsked = last - first + 1;
    SectorsRipped = 0;
    Stopped = false;
    OutputFile.clear();
    int32_t chunkSize = 0;
    trackOpened_ = CR_OpenRipper(&chunkSize, first, last) != CDEX_ERROR;
    if (!trackOpened_) return;
    const bool encode = Encode && coder_;
    const std::string name = encode ? withExtension(fileName, ".mp3") : fileName;
    FILE* file = createFile(name);
    if (!file) {
        const int error = errno;
        JitterErrors = CR_GetNumberOfJitterErrors();
        CR_CloseRipper();
        throw ECDRIPFileError(name, error);
    }
    OutputFile = name;
    // Every write goes straight to the file, so that a short one is seen where it happens.
    std::setvbuf(file, nullptr, _IONBF, 0);
    int writeError = 0;  // of the first write the file did not take
    auto failed = [&](bool ok) {
        if (!ok && !writeError) writeError = errno ? errno : EIO;
        return !ok;
    };
    auto write = [&](const void* p, size_t n) {
        errno = 0;
        if (failed(!n || std::fwrite(p, 1, n, file) == n)) throw ECDRIPWriteError(name, writeError);
    };

    const Format format = formatOf(outputFormat_);
    // What one sector gives in the output format.
    const int64_t sectorBytes = int64_t(format.rate) / 75 * format.channels * 2;
    int64_t delivered = 0;
    std::vector<uint8_t> rip;      // R: the chunk, behind the carry of the last one
    std::vector<int16_t> staging;  // one block for the coder
    uint8_t* mp3 = nullptr;
    size_t block = 0, carry = 0;
    bool streaming = false;
    std::exception_ptr failure;
    try {
        if (WriteWav && !encode) {
            const uint32_t c = uint32_t(format.channels), r = uint32_t(format.rate);
            const uint32_t d = uint32_t(std::llround(double(last - first) * c * r * 2 / 75.0));
            const std::array<uint8_t, cdaudio::WavHeaderBytes> h = cdaudio::WavHeader(uint16_t(c), r, d);
            write(h.data(), h.size());
        }
        if (encode) {
            // The coder is told what the ripper delivers; its Mode and SampleRate are the MP3's
            // (mixed down, resampled).
            streaming = coder_->InitStream(uint32_t(format.channels), uint32_t(format.rate)) == BE_ERR_SUCCESSFUL;
            if (!streaming) throw ECDRIPError("Le codeur MP3 n'a pas pu démarrer (réglages refusés)");
            block = 2 * size_t(coder_->SamplesPerChunk());
            rip.resize(size_t(chunkSize) + block);
            staging.resize(block / 2);
            mp3 = coder_->OutputBuffer();
        } else {
            rip.resize(size_t(chunkSize));
        }
        int32_t code;
        do {
            if (AbortRequested) break;
            int32_t n = 0;
            code = CR_RipChunk(rip.data() + carry, &n);
            if (code != CDEX_ERROR) {
                delivered += n;
                if (encode) {
                    size_t total = carry + size_t(n), k = 0;
                    for (; (k + 1) * block <= total; ++k) {
                        std::memcpy(staging.data(), rip.data() + k * block, block);
                        uint32_t length = 0;
                        coder_->EncodeChunk(staging.data(), mp3, length);
                        write(mp3, length);
                    }
                    carry = total - k * block;
                    std::memmove(rip.data(), rip.data() + k * block, carry);
                } else {
                    write(rip.data(), size_t(n));
                }
            }
            if (code == CDEX_JITTER_ERROR) {
                uint32_t a = 0, b = 0;
                CR_GetLastJitterErrorPosition(&a, &b);
                JitterLog.push_back(std::to_string(a) + " " + std::to_string(b));
            }
            if (OnProgress) OnProgress(this, uint16_t(CR_GetPercentCompleted()));
            platform::processMessages();
        } while (code != CDEX_RIPPING_DONE);
        Stopped = code != CDEX_RIPPING_DONE;
        // The last samples, less than a block, go to the coder too.
        if (encode && carry) {
            std::memcpy(staging.data(), rip.data(), carry);
            uint32_t length = 0;
            coder_->EncodeChunk(staging.data(), uint32_t(carry / 2), mp3, length);
            write(mp3, length);
        }
    } catch (...) {
        failure = std::current_exception();
    }
    SectorsRipped = int32_t(delivered / sectorBytes);
    // Always: the coder flushed and closed, the ripper closed, the file closed.
    if (streaming) {
        uint32_t length = 0;
        coder_->DeinitStream(mp3, length);
        errno = 0;
        if (!failure && length) failed(std::fwrite(mp3, 1, length, file) == length);
        // The file is unbuffered: its reserved first frame can be filled through the name.
        errno = 0;
        if (!failure && !writeError) failed(coder_->WriteVBRHeaderFrame(name) == BE_ERR_SUCCESSFUL);
        coder_->CloseStream();
    }
    JitterErrors = CR_GetNumberOfJitterErrors();
    CR_CloseRipper();
    errno = 0;
    failed(std::fclose(file) == 0);
    if (failure) std::rethrow_exception(failure);
    if (writeError) throw ECDRIPWriteError(name, writeError);
    if (!JitterLog.empty()) {
        const std::string logName = withExtension(name, ".jitt");
        FILE* log = createFile(logName);
        if (!log) throw ECDRIPFileError(logName, errno);
        bool ok = true;
        errno = 0;
        for (const std::string& line : JitterLog)
            ok = std::fputs(line.c_str(), log) >= 0 && std::fputs("\r\n", log) >= 0 && ok;
        const int error = errno ? errno : EIO;
        if (std::fclose(log) != 0 || !ok) throw ECDRIPWriteError(logName, ok ? errno : error);
    }
}
