// The CD ripping interface over libcdio-paranoia.
#include "CdRip_dll.h"

#include "CdDrives.h"
#ifdef SONOVERNE_READ_FAULTS
#include "CdRipTesting.h"
#endif

#include <cdio/cdio.h>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr int32_t SectorsPerChunk = 26;
constexpr int32_t SectorBytes = CDIO_CD_FRAMESIZE_RAW;

struct Drive {
    std::string source;
    TCDROMParams params;
};

struct Rip {
    cdrom_drive_t* drive = nullptr;
    cdrom_paranoia_t* paranoia = nullptr;
    int32_t first = 0, last = 0, next = 0;
    TOutputFormat format = STEREO44100;
    bool verify = true;            // through paranoia, or straight reads
    std::vector<int16_t> scratch;  // straight reads for another format
    // Paranoia's repair events, counted over the rip and located within the chunk under way.
    int32_t jitterErrors = 0;
    bool chunkJitter = false;
    uint32_t jitterFirst = 0, jitterLast = 0;
};

std::vector<Drive> drives;
int32_t active = 0;
std::vector<TTocEntry> toc;  // the tracks, then the lead-out
Rip rip;

#ifdef SONOVERNE_READ_FAULTS
// Only the ripper's own test is built with imitated drive faults.
CR_ReadFault readFault;
long (*driveRead)(cdrom_drive_t*, void*, lsn_t, long) = nullptr;

long faultyRead(cdrom_drive_t* d, void* p, lsn_t begin, long sectors)
{
    long n = driveRead(d, p, begin, sectors);
    if (n > 0 && readFault) readFault(begin, n, static_cast<int16_t*>(p));
    return n;
}

bool imitatesFaults(cdrom_drive_t* drive)
{
    if (!readFault) return false;
    driveRead = drive->read_audio;
    drive->read_audio = faultyRead;
    return true;
}
#else
bool imitatesFaults(cdrom_drive_t*) { return false; }
#endif

TCDROMParams defaults(const std::string& source)
{
    TCDROMParams p;
    std::memset(&p, 0, sizeof p);
    std::string name = source;
    if (cdaudio::isImageSource(source)) name = source.substr(source.rfind('/') + 1);
    std::strncpy(p.lpszCDROMID, name.c_str(), sizeof p.lpszCDROMID - 1);
    p.bJitterCorrection = -1;
    p.DriveTable = TDriveTable{GENERIC, READMMC, SPEEDMMC, LITTLEENDIAN, ENABLENONE, 0, -1};
    p.OutputFormat = STEREO44100;
    return p;
}

bool validDrive() { return active >= 0 && size_t(active) < drives.size(); }

// Paranoia tells its repairs through a plain function.
void repairEvent(long position, paranoia_cb_mode_t event)
{
    switch (event) {
    case PARANOIA_CB_FIXUP_EDGE:
    case PARANOIA_CB_FIXUP_ATOM:
    case PARANOIA_CB_FIXUP_DROPPED:
    case PARANOIA_CB_FIXUP_DUPED:
    case PARANOIA_CB_SCRATCH:
    case PARANOIA_CB_SKIP:
    case PARANOIA_CB_DRIFT:
    case PARANOIA_CB_READERR: {
        uint32_t sector = position > 0 ? uint32_t(position / CD_FRAMEWORDS) : 0;
        if (!rip.chunkJitter) rip.jitterFirst = sector;
        rip.jitterLast = sector;
        rip.chunkJitter = true;
        ++rip.jitterErrors;
        break;
    }
    default: break;
    }
}

// One sector of stereo 44100 Hz samples into the output format; returns the bytes written.
size_t convert(const int16_t* in, uint8_t* out, TOutputFormat format)
{
    if (format == STEREO44100 || format > MONO11025) {
        std::memcpy(out, in, SectorBytes);
        return SectorBytes;
    }
    const bool mono = format == MONO44100 || format == MONO22050 || format == MONO11025;
    const int step = format <= MONO44100 ? 1 : format <= MONO22050 ? 2 : 4;
    int16_t* o = reinterpret_cast<int16_t*>(out);
    size_t n = 0;
    for (int f = 0; f < CD_FRAMEWORDS / 2; f += step) {
        int32_t l = 0, r = 0;
        for (int k = 0; k < step; ++k) {
            l += in[2 * (f + k)];
            r += in[2 * (f + k) + 1];
        }
        l /= step;
        r /= step;
        if (mono) {
            o[n++] = int16_t((l + r) / 2);
        } else {
            o[n++] = int16_t(l);
            o[n++] = int16_t(r);
        }
    }
    return n * 2;
}

}  // namespace

int32_t CR_GetCDRipVersion() { return 200; }

int32_t CR_Init()
{
    std::vector<Drive> found;
    for (const std::string& source : cdaudio::cdSources()) {
        Drive d{source, defaults(source)};
        for (const Drive& old : drives)
            if (old.source == source) d.params = old.params;  // keep what was set
        found.push_back(d);
    }
    drives = found;
    if (!validDrive()) active = 0;
    toc.clear();
    return CDEX_OK;
}

int32_t CR_GetNumCDROM() { return int32_t(drives.size()); }

int32_t CR_GetActiveCDROM() { return active; }

int32_t CR_SetActiveCDROM(int32_t drive)
{
    if (drive < 0 || size_t(drive) >= drives.size()) return CDEX_ERROR;
    active = drive;
    return CDEX_OK;
}

int32_t CR_GetCDROMParameters(TCDROMParams* params)
{
    if (!params || !validDrive()) return CDEX_ERROR;
    *params = drives[size_t(active)].params;
    return CDEX_OK;
}

int32_t CR_SetCDROMParameters(const TCDROMParams* params)
{
    if (!params || !validDrive()) return CDEX_ERROR;
    if (params->OutputFormat > MONO11025) return CDEX_ERROR;
    drives[size_t(active)].params = *params;
    return CDEX_OK;
}

int32_t CR_ReadToc()
{
    toc.clear();
    if (!validDrive()) return CDEX_ERROR;
    CdIo_t* cd = cdaudio::openCdSource(drives[size_t(active)].source);
    if (!cd) return CDEX_ERROR;
    track_t first = cdio_get_first_track_num(cd);
    track_t count = cdio_get_num_tracks(cd);
    if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK) {
        cdio_destroy(cd);
        return CDEX_ERROR;
    }
    for (track_t t = first; t < first + count; ++t) {
        bool audio = cdio_get_track_format(cd, t) == TRACK_FORMAT_AUDIO;
        toc.push_back(TTocEntry{uint32_t(cdio_get_track_lsn(cd, t)), uint8_t(audio ? 0x10 : 0x14), uint8_t(t)});
    }
    toc.push_back(TTocEntry{uint32_t(cdio_get_track_lsn(cd, CDIO_CDROM_LEADOUT_TRACK)), 0x10, 0xAA});
    cdio_destroy(cd);
    return CDEX_OK;
}

int32_t CR_GetNumTocEntries() { return toc.empty() ? 0 : int32_t(toc.size() - 1); }

uint64_t CR_GetTocEntry(int32_t index)
{
    if (index < 0 || size_t(index) >= toc.size()) return 0;
    const TTocEntry& e = toc[size_t(index)];
    return uint64_t(e.dwStartSector) | uint64_t(e.btFlag) << 32 | uint64_t(e.btTrackNumber) << 40;
}

int32_t CR_OpenRipper(int32_t* bufferSize, int32_t firstSector, int32_t lastSector)
{
    CR_CloseRipper();
    if (!bufferSize || !validDrive() || firstSector < 0 || lastSector < firstSector) return CDEX_ERROR;
    const Drive& d = drives[size_t(active)];
    CdIo_t* cd = cdaudio::openCdSource(d.source);
    if (!cd) return CDEX_ERROR;
    rip.drive = cdio_cddap_identify_cdio(cd, CDDA_MESSAGE_FORGETIT, nullptr);
    if (!rip.drive) {
        cdio_destroy(cd);
        return CDEX_ERROR;
    }
    // An image holds its samples little-endian: the byte order is not guessed from the audio
    // (a guess that reads sectors of every track at each open).
    const bool image = cdaudio::isImageSource(d.source);
    if (image) rip.drive->bigendianp = 0;
    if (cdio_cddap_open(rip.drive) != 0) {
        cdio_cddap_close(rip.drive);
        rip.drive = nullptr;
        return CDEX_ERROR;
    }
    if (image) rip.drive->bigendianp = 0;
    else if (d.params.nSpeed > 0) cdio_cddap_speed_set(rip.drive, d.params.nSpeed);
    const bool faults = imitatesFaults(rip.drive);
    // A disc image reads the same at every pass: there is nothing to verify, and paranoia's
    // matching can lose its place on a steady tone and "repair" samples that were right. An
    // image with imitated drive faults is read as a drive is.
    rip.verify = d.params.bJitterCorrection && (!image || faults);
    if (rip.verify) {
        rip.paranoia = cdio_paranoia_init(rip.drive);
        cdio_paranoia_modeset(rip.paranoia, PARANOIA_MODE_FULL ^ PARANOIA_MODE_NEVERSKIP);
        cdio_paranoia_seek(rip.paranoia, firstSector, SEEK_SET);
    }
    rip.first = firstSector;
    rip.last = lastSector;
    rip.next = firstSector;
    rip.format = d.params.OutputFormat;
    rip.jitterErrors = 0;
    rip.chunkJitter = false;
    *bufferSize = SectorsPerChunk * SectorBytes;
    return CDEX_OK;
}

int32_t CR_RipChunk(uint8_t* buffer, int32_t* bytes)
{
    if (!bytes) return CDEX_ERROR;
    *bytes = 0;
    if (!rip.drive || !buffer) return CDEX_ERROR;
    if (rip.next > rip.last) return CDEX_RIPPING_DONE;
    rip.chunkJitter = false;
    if (!rip.verify) {
        // Without verification the chunk is read whole, straight from the drive.
        const int32_t count = std::min(SectorsPerChunk, rip.last - rip.next + 1);
        const bool direct = rip.format == STEREO44100;
        if (!direct) rip.scratch.resize(size_t(SectorsPerChunk) * CD_FRAMEWORDS);
        uint8_t* into = direct ? buffer : reinterpret_cast<uint8_t*>(rip.scratch.data());
        // The drive may give fewer sectors than asked at a time.
        int32_t done = 0;
        while (done < count) {
            long got = cdio_cddap_read(rip.drive, into + size_t(done) * SectorBytes, rip.next + done, count - done);
            if (got <= 0) break;
            done += int32_t(got);
        }
        rip.next += count;
        if (done != count) return CDEX_ERROR;  // the chunk is lost, the rip goes on
        size_t n = size_t(count) * SectorBytes;
        if (!direct) {
            n = 0;
            for (int32_t k = 0; k < count; ++k)
                n += convert(rip.scratch.data() + size_t(k) * CD_FRAMEWORDS, buffer + n, rip.format);
        }
        *bytes = int32_t(n);
        return rip.next > rip.last ? CDEX_RIPPING_DONE : CDEX_OK;
    }
    size_t n = 0;
    bool failed = false;
    for (int32_t k = 0; k < SectorsPerChunk && rip.next <= rip.last; ++k, ++rip.next) {
        const int16_t* sector = cdio_paranoia_read(rip.paranoia, repairEvent);
        if (!sector) failed = true;
        else if (!failed) n += convert(sector, buffer + n, rip.format);
    }
    if (failed) return CDEX_ERROR;  // the chunk is lost, the rip goes on
    *bytes = int32_t(n);
    if (rip.chunkJitter) return CDEX_JITTER_ERROR;  // the end is told by the next call
    return rip.next > rip.last ? CDEX_RIPPING_DONE : CDEX_OK;
}

int32_t CR_GetPercentCompleted()
{
    if (!rip.drive) return 0;
    return int32_t(int64_t(rip.next - rip.first) * 100 / (int64_t(rip.last) - rip.first + 1));
}

void CR_GetLastJitterErrorPosition(uint32_t* first, uint32_t* second)
{
    if (first) *first = rip.jitterFirst;
    if (second) *second = rip.jitterLast;
}

int32_t CR_GetNumberOfJitterErrors() { return rip.jitterErrors; }

#ifdef SONOVERNE_READ_FAULTS
void CR_SetReadFault(CR_ReadFault fault) { readFault = std::move(fault); }
#endif

int32_t CR_CloseRipper()
{
    if (rip.paranoia) cdio_paranoia_free(rip.paranoia);
    if (rip.drive) cdio_cddap_close(rip.drive);
    rip.paranoia = nullptr;
    rip.drive = nullptr;
    return CDEX_OK;
}
