// Loading an ID3v2 tag from a file.
#include "id3v2.h"

#include "id3io.h"
#include "id3ring.h"
#include "id3v2_detail.h"

#include <algorithm>
#include <cstring>
#include <memory>

using namespace tagstatus;
using namespace id3v2detail;

namespace {

bool IsPadding(const TBytes& candidate)
{
    if (candidate.size() >= 4 && std::memcmp(candidate.data(), "MP3e", 4) == 0) return true;
    return std::all_of(candidate.begin(), candidate.end(), [](std::uint8_t b) { return b == 0; });
}

// Extended header of an ID3v2.3 tag; false when the load must stop (status set).
bool ReadExtendedHeaderV23(TagReader& rd, Tid3v2tag& tag)
{
    tag.Restrictions = 0;
    if (!(tag.Flags & 0x40) || rd.remaining <= 10) {
        tag.ExtHeaderSize = 0;
        tag.ExtFlags &= std::uint8_t(~0x20);
        tag.PaddingSize = 0;
        tag.CRC = 0;
        return true;
    }
    if (!rd.Take(10)) {
        rd.status = Fail(rd.status, CorruptTag);
        return false;
    }
    const std::uint8_t* h = rd.work.data();
    tag.ExtHeaderSize = BigEndian32(h);
    const bool crc = h[4] & 0x80;
    tag.ExtFlags = std::uint8_t((tag.ExtFlags & ~0x20) | (crc ? 0x20 : 0));
    if ((h[4] & 0x7F) || h[5]) rd.status |= WarnExtendedFlags;
    tag.PaddingSize = BigEndian32(h + 6);
    tag.CRC = 0;
    if (crc && tag.ExtHeaderSize == 10) {
        if (!rd.Take(4)) {
            rd.status = Fail(rd.status, CorruptTag);
            return false;
        }
        tag.CRC = BigEndian32(rd.work.data());
    }
    return true;
}

bool ReadExtendedHeaderV24(TagReader& rd, Tid3v2tag& tag)
{
    tag.PaddingSize = 0;
    tag.CRC = 0;
    tag.Restrictions = 0;
    if (!(tag.Flags & 0x40) || rd.remaining <= 6) {
        tag.ExtHeaderSize = 0;
        tag.ExtFlags &= std::uint8_t(~0x70);
        return true;
    }
    const bool whole = rd.Take(4);
    tag.ExtHeaderSize = whole ? Synchsafe32(rd.work.data()) : 0;
    if (tag.ExtHeaderSize < 6 || tag.ExtHeaderSize - 4 > rd.remaining) {
        rd.status = Fail(rd.status, CorruptTag);
        return false;
    }
    // Only the flag bytes and their data matter, at most a few hundred bytes; the rest of an
    // oversized header is skipped, not held.
    const std::uint32_t body = tag.ExtHeaderSize - 4;
    const std::uint32_t kept = std::min<std::uint32_t>(body, 2048);
    rd.Take(kept);
    if (body > kept) rd.Read(nullptr, body - kept);
    const TBytes& w = rd.work;
    auto corrupt = [&] {
        rd.status = Fail(rd.status, CorruptTag);
        return false;
    };
    if (w.size() < 2 || w[0] == 0) return corrupt();
    if (w[0] > 1) rd.status |= WarnExtendedFlags;
    const std::uint8_t flags = w[1];
    if (flags & 0x8F) rd.status |= WarnExtendedFlags;
    tag.ExtFlags = std::uint8_t((tag.ExtFlags & ~0x70) | (flags & 0x70));
    std::size_t p = 1 + std::size_t(w[0]);
    // Each flag's data: a length byte and that many bytes; returns the data's start, 0 if short.
    auto item = [&](std::size_t& start, std::uint8_t& len) {
        if (p >= w.size()) return false;
        len = w[p];
        start = p + 1;
        p = start + len;
        return p <= w.size();
    };
    std::size_t start;
    std::uint8_t len;
    if ((flags & 0x80) && !item(start, len)) return corrupt();
    if ((flags & 0x40) && !item(start, len)) return corrupt();
    if (flags & 0x20) {
        if (!item(start, len) || len < 5) return corrupt();
        const std::uint8_t* c = &w[start];
        tag.CRC = std::uint32_t(c[0]) << 28 | std::uint32_t(c[1]) << 21 | std::uint32_t(c[2]) << 14 |
                  std::uint32_t(c[3]) << 7 | c[4];
    }
    if (flags & 0x10) {
        if (!item(start, len) || len < 1) return corrupt();
        tag.Restrictions = w[start];
    }
    return true;
}

}  // namespace

TTagStatus Tid3v2tag::ReadTag(TagReader& r)
{
    Done = false;
    Progress = 0;
    ProgressText = "Loading tag";
    const std::uint64_t size = r.file.Size();
    const std::uint64_t start = r.file.Position();
    if (size - start < 10) return NoTag;
    std::uint8_t h[10];
    r.file.ReadExact(h, 10);
    loadedHead_.valid = true;
    loadedHead_.offset = start;
    loadedHead_.file = r.file.Id();
    std::memcpy(loadedHead_.bytes.data(), h, 10);
    if (std::memcmp(h, "ID3", 3) != 0 || h[3] == 0xFF || h[4] == 0xFF || ((h[6] | h[7] | h[8] | h[9]) & 0x80))
        return NoTag;
    MajorVersion = h[3];
    Revision = h[4];
    TagOffset = std::int32_t(start);
    // A tag this library cannot read is remembered as the load's failure, so that no save can
    // replace it and lose what it holds.
    if (!((MajorVersion == 3 || MajorVersion == 4) && (Revision == 0 || AcceptRevisions)))
        return Status = UnsupportedVersion;

    // From here on the load owns Status, whatever stops it: a half-read tag must never pass for
    // a good one when it comes to saving.
    r.status = Revision != 0 ? WarnRevisionAccepted : 0;
    r.ownsStatus = true;
    const bool v24 = MajorVersion == 4;
    const std::uint8_t known = v24 ? 0xF0 : 0xE0;
    SetUnsynchronisation(h[5] & 0x80);
    SetExtendedHeader(h[5] & 0x40);
    SetExperimental(h[5] & 0x20);
    SetFooter(v24 && (h[5] & 0x10));
    if (h[5] & ~known) r.status |= WarnHeaderFlags;
    Status = r.status;

    TagSize = Synchsafe32(h + 6);
    r.tagEnd = start + 10 + std::uint64_t(TagSize);
    if (size < r.tagEnd) return Status = Fail(r.status, TagPastEndOfFile);

    r.removeUnsync = !v24 && (Flags & 0x80);
    r.InitialFill();
    r.UpdateProgress();

    const bool extOk = v24 ? ReadExtendedHeaderV24(r, *this) : ReadExtendedHeaderV23(r, *this);
    if (!extOk) return Status = r.status;
    Modified = false;
    Frames.Clear();

    while (r.remaining) {
        r.work.clear();
        r.Read(&r.work, std::min<std::uint64_t>(10, r.remaining));
        r.UpdateProgress();
        if (IsPadding(r.work)) {
            const std::uint32_t found = std::uint32_t(r.remaining + r.work.size());
            if (r.remaining == 0) {
                PaddingSize = std::uint32_t(r.work.size());
            } else if (!v24 && PaddingSize != 0 && PaddingSize != found) {
                r.status |= WarnPaddingDiffers;
            } else {
                PaddingSize = found;
            }
            r.remaining = 0;
            break;
        }
        if (r.remaining == 0 || r.work.size() < 10) {
            // The tag ends inside a frame header.
            if (PaddingSize == 0) r.status = Fail(r.status, CorruptTag);
            break;
        }
        const std::uint8_t* fh = r.work.data();
        const std::uint32_t index = Frames.AddFrame(std::string(reinterpret_cast<const char*>(fh), 4));
        if (index == 0) {
            r.status = Fail(r.status, InvalidFrameIdentifier);
            break;
        }
        std::uint32_t frameSize = v24 ? Synchsafe32(fh + 4) : BigEndian32(fh + 4);
        const std::uint64_t headerAt = r.file.Position() - r.available - start - 10;
        if (frameSize > r.remaining || (!v24 && headerAt + 10 + frameSize > (1u << 28))) {
            r.status = Fail(r.status, CorruptTag);
            break;
        }
        TFrameRecord& fr = Frames.Record(index);
        fr.FrameOffset = std::uint32_t(headerAt);
        std::uint8_t st = fh[8], fmt = fh[9];
        if (!v24) {
            st = std::uint8_t((st >> 1) & 0x70);
            std::uint8_t f = 0;
            if (fmt & 0x80) f |= frameflag::Compression | frameflag::DataLengthIndicator;
            if (fmt & 0x40) f |= frameflag::Encryption;
            if (fmt & 0x20) f |= frameflag::Grouping;
            fmt = f;
        }
        fr.ReadFlags = {st, fmt};
        fr.WriteFlags = fr.ReadFlags;

        // Extra header bytes, in the version's order; each must fit in the frame.
        bool fits = true;
        auto extra = [&](std::uint32_t n) {
            if (!fits || frameSize < n || !r.Take(n)) return fits = false;
            frameSize -= n;
            return true;
        };
        if (!v24) {
            if ((fmt & frameflag::Compression) && extra(4)) fr.DataLength = BigEndian32(r.work.data());
            if ((fmt & frameflag::Encryption) && extra(1)) fr.EncryptionMethod = r.work[0];
            if ((fmt & frameflag::Grouping) && extra(1)) fr.GroupID = r.work[0];
        } else {
            if ((fmt & frameflag::Grouping) && extra(1)) fr.GroupID = r.work[0];
            if ((fmt & frameflag::Encryption) && extra(1)) fr.EncryptionMethod = r.work[0];
            if ((fmt & frameflag::DataLengthIndicator) && extra(4)) fr.DataLength = Synchsafe32(r.work.data());
        }
        if (!fits) {
            r.status = Fail(r.status, CorruptTag);
            break;
        }
        fr.HeaderLength = std::uint32_t(r.file.Position() - r.available - start - fr.FrameOffset);
        fr.Data.reserve(frameSize);
        if (r.Read(&fr.Data, frameSize) != frameSize) {
            // Unsynchronised bytes still in the file made the tag shorter than its frames claim.
            r.status = Fail(r.status, CorruptTag);
            break;
        }
    }
    Status = r.status;
    Done = true;
    Progress = 100;
    ProgressText = "Load Complete";
    return Status;
}

TTagStatus Tid3v2tag::LoadFromFile(const std::string& FileName, std::int64_t Offset)
{
    this->FileName = FileName;
    LoadedFileSize = -1;
    loadedHead_.valid = false;
    Frames.Clear();
    // Every load starts from a new object's header state: nothing of an earlier file (its tag's
    // offset, version, flags, padding or a failure) may steer a later save into this one.
    MajorVersion = 3;
    Revision = 0;
    TagSize = 0;
    Flags = 0;
    ExtFlags = 0;
    PaddingSize = 0;
    ExtHeaderSize = 0;
    CRC = 0;
    Restrictions = 0;
    Status = 0;
    Modified = false;
    FileProtected = false;
    // Where a tag is looked for is where a save of "=" puts one when none is found.
    TagOffset = Offset >= 0 && Offset <= INT32_MAX ? std::int32_t(Offset) : 0;
    held_.Close();
    TagReader reader;
    reader.Borrow(*this);
    // Gone before the reader, which then takes its buffer back from the file it lent it to. A
    // file no save may write is not kept open (it would keep a removable disc busy).
    struct Hold {
        Tid3v2tag& tag;
        tagio::File& file;
        ~Hold()
        {
            if (tag.HoldFileForSave && file.IsOpen() && tagOk(tag.Status)) tag.held_.TakeOver(file);
        }
    } hold{*this, reader.file};
    try {
        // One open tells whether the file is there, what it is and how long: a scan of a whole
        // collection pays for every call made here.
        if (HoldFileForSave) {
            reader.file.OpenForUpdate(FileName);
        } else {
            reader.file.Open(FileName, false);
        }
        FileProtected = reader.file.Protected(FileName);
        const std::uint64_t size = reader.file.Size();
        LoadedFileSize = std::int64_t(size);
        // Tag positions are 32-bit signed; one beyond that is as good as outside the file.
        if (Offset < 0 || std::uint64_t(Offset) >= size || Offset > INT32_MAX) return OffsetOutsideFile;
        reader.file.Seek(std::uint64_t(Offset));
        reader.file.ReadAhead(std::uint64_t(Offset), TagReader::kBlock);
        return ReadTag(reader);
    } catch (const tagio::TagIoError& e) {
        // A file that could be opened but not read may hold a tag: remember the failure, so that
        // no save writes over what was not read.
        const TTagStatus result = Fail(reader.status, tagio::StatusClass(e.Kind));
        if (reader.ownsStatus || e.Kind != tagio::IoError::Open) Status = result;
        return result;
    }
}
