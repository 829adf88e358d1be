// Writing an ID3v2 tag into a file.
#include "id3v2.h"

#include "id3codecs.h"
#include "id3io.h"
#include "id3v2_detail.h"

#include <algorithm>
#include <cstring>
#include <memory>

using namespace tagstatus;
using namespace id3v2detail;

// Choices where the format leaves room:
// - CRC-32: the published CRC (register from all ones, final inversion), as readers that check
//   it compute it; for ID3v2.3 over the frames before unsynchronisation, as that version
//   defines it; for ID3v2.4 over the frames as written. Padding is not included.
// - The footer flag is not written: no footer is written, and a reader told there is one would
//   look for it. The footer of the tag replaced is replaced with it.
// - A save that grows the file gives it its final length before any audio moves, and refuses
//   (write error) when that length is beyond the process's file-size limit, so a full disk or
//   a limit leaves the file as it was.
// - With FixFlagConflicts, encryption and grouping wishes are made to match the data as it is,
//   so data is never written under a flag that misdescribes it. A compression or
//   unsynchronisation that cannot be applied or undone is handled the same way (warning 0x08).
// - An unsynchronised ID3v2.3 tag whose last byte would be $FF gets one byte of padding, so
//   that the byte after the tag cannot form a false synchronisation with it.

struct TagWriter {
    static constexpr std::size_t kBlock = 16384;
    tagio::File file;
    // On the stack with the writer: a save within the padding then allocates nothing large (a
    // large allocation also makes malloc sweep its small free chunks, on every save).
    std::uint8_t out[kBlock];
    std::size_t outUsed = 0;
    Tid3v2tag* tag = nullptr;
    TTagStatus status = 0;
    std::uint64_t progressTotal = 1, progressDone = 0;

    // Appends n bytes to the output block, writing it out each time it is full; n = 0 flushes.
    void BufferedWrite(const std::uint8_t* src, std::size_t n)
    {
        if (n == 0) {
            if (outUsed) file.WriteAll(out, outUsed);
            outUsed = 0;
            return;
        }
        while (n) {
            const std::size_t piece = std::min(n, kBlock - outUsed);
            std::memcpy(out + outUsed, src, piece);
            outUsed += piece;
            src += piece;
            n -= piece;
            if (outUsed == kBlock) BufferedWrite(nullptr, 0);
        }
    }
    void BufferedWrite(const TBytes& b)
    {
        if (!b.empty()) BufferedWrite(b.data(), b.size());
    }

    void Advance(std::uint64_t n)
    {
        progressDone += n;
        tag->Progress = std::uint8_t(10 + std::min<std::uint64_t>(90, progressDone * 90 / progressTotal));
    }

    // Moves n bytes of the file from `from` to `to` (the ranges may overlap): from the last piece
    // to the first when they move towards the end, from the first otherwise, so that no byte is
    // overwritten before it has been copied. Large pieces: a growing save of a long file spends
    // its time here. Pieces that do not overlap their destination are copied by the kernel.
    static constexpr std::uint64_t kMoveBlock = 1 << 20;
    std::unique_ptr<std::uint8_t[]> moveBlock;
    void MoveAudio(std::uint64_t from, std::uint64_t to, std::uint64_t n)
    {
        const bool towardsEnd = to > from;
        const std::uint64_t shift = towardsEnd ? to - from : from - to;
        const std::uint64_t block = shift >= kKernelCopyMin ? std::min(shift, kMoveBlock) : kMoveBlock;
        for (std::uint64_t done = 0; done < n;) {
            const std::uint64_t piece = std::min(n - done, block);
            const std::uint64_t at = towardsEnd ? n - done - piece : done;
            if (piece > shift || !file.CopyWithin(from + at, to + at, piece)) {
                if (!moveBlock) moveBlock.reset(new std::uint8_t[kMoveBlock]);
                file.Seek(from + at);
                file.ReadExact(moveBlock.get(), std::size_t(piece));
                file.Seek(to + at);
                file.WriteAll(moveBlock.get(), std::size_t(piece));
            }
            done += piece;
            Advance(piece);
        }
    }
    // Below this shift, kernel copies would come in pieces too small to pay.
    static constexpr std::uint64_t kKernelCopyMin = 64 << 10;
};

namespace {

void PutBE32(TBytes& b, std::uint32_t v)
{
    b.insert(b.end(), {std::uint8_t(v >> 24), std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v)});
}
void PutSynchsafe(TBytes& b, std::uint32_t v)
{
    b.insert(b.end(), {std::uint8_t(v >> 21 & 0x7F), std::uint8_t(v >> 14 & 0x7F), std::uint8_t(v >> 7 & 0x7F),
                       std::uint8_t(v & 0x7F)});
}

// Size of unsynchronised data before its unsynchronisation.
std::uint32_t PlainSize(const TBytes& data)
{
    TBytes copy = data;
    return std::uint32_t(ResyncBuffer(copy.data(), copy.size()));
}

// A frame's header and extra bytes as they will be written (ID3v2.3 not yet unsynchronised).
TBytes FrameHeader(const TFrameRecord& r, bool v24)
{
    TBytes h(r.FrameID.begin(), r.FrameID.end());
    const std::uint8_t want = r.WriteFlags[1];
    const bool unsynced = r.ReadFlags[1] & frameflag::Unsynchronisation;
    TBytes extra;
    if (v24) {
        if (want & frameflag::Grouping) extra.push_back(r.GroupID);
        if (want & frameflag::Encryption) extra.push_back(r.EncryptionMethod);
        if (want & frameflag::DataLengthIndicator) PutSynchsafe(extra, r.DataLength);
        PutSynchsafe(h, std::uint32_t(r.Data.size() + extra.size()));
        h.push_back(r.WriteFlags[0] & 0x70);
        h.push_back(want & 0x4F);
    } else {
        if (want & frameflag::Compression) PutBE32(extra, r.DataLength);
        if (want & frameflag::Encryption) extra.push_back(r.EncryptionMethod);
        if (want & frameflag::Grouping) extra.push_back(r.GroupID);
        // ID3v2.3 counts the data before unsynchronisation.
        const std::uint32_t size = unsynced ? PlainSize(r.Data) : std::uint32_t(r.Data.size());
        PutBE32(h, size + std::uint32_t(extra.size()));
        h.push_back(std::uint8_t((r.WriteFlags[0] & 0x70) << 1));
        std::uint8_t f = 0;
        if (want & frameflag::Compression) f |= 0x80;
        if (want & frameflag::Encryption) f |= 0x40;
        if (want & frameflag::Grouping) f |= 0x20;
        h.push_back(f);
    }
    h.insert(h.end(), extra.begin(), extra.end());
    return h;
}

// Unsynchronises a header together with the first byte of the data that follows it.
void UnsyncHeader(TBytes& h, const TBytes& data)
{
    const std::size_t n = h.size();
    h.push_back(data.empty() ? 0x41 : data[0]);  // a neutral follower when there is no data
    const int count = UnsyncCountBuffer(h.data(), int(h.size()));
    h.resize(h.size() + std::size_t(count));
    UnsyncBuffer(h.data(), int(n));
    h.resize(n + std::size_t(count));
}

}  // namespace

namespace {

// Brings each frame's data to the state its wanted flags describe (compression,
// unsynchronisation, the data-length indicator), or, with FixFlagConflicts, the flags to the
// data where the library cannot (encryption, grouping). 0, or the error class that stops the
// save; the frames keep what was done up to there.
TTagStatus ReconcileFrames(Tid3v2tag& tag, bool v24, TTagStatus& status)
{
    TFrameIndex& Frames = tag.Frames;
    // Tag-wide unsynchronisation: one frame's wish makes it the tag's, and the tag's is every
    // frame's.
    for (std::uint32_t i = 1; i <= Frames.Count(); ++i)
        if (Frames.Record(i).WriteFlags[1] & frameflag::Unsynchronisation) tag.Flags |= 0x80;
    if (tag.Flags & 0x80)
        for (std::uint32_t i = 1; i <= Frames.Count(); ++i)
            Frames.Record(i).WriteFlags[1] |= frameflag::Unsynchronisation;

    if (tag.TidyFrames) {
        for (std::uint32_t i = Frames.Count(); i >= 1; --i) {
            TFrameRecord& r = Frames.Record(i);
            if ((r.WriteFlags[1] & frameflag::Compression) && !(r.WriteFlags[1] & frameflag::DataLengthIndicator))
                r.WriteFlags[1] |= frameflag::DataLengthIndicator;
            if (r.Data.empty()) Frames.DeleteFrame(i);
        }
        if (Frames.Count() == 0) return NoFrames;
    }
    const std::uint32_t n = Frames.Count();

    // A wish that the data cannot be brought to: the flag follows the data instead.
    auto follow = [&](TFrameRecord& r, std::uint8_t bit) {
        if ((r.ReadFlags[1] ^ r.WriteFlags[1]) & bit) {
            r.WriteFlags[1] = std::uint8_t((r.WriteFlags[1] & ~bit) | (r.ReadFlags[1] & bit));
            status |= WarnFlagsAdjusted;
        }
    };

    if (v24) {
        for (std::uint32_t i = 1; i <= n; ++i) {
            TFrameRecord& r = Frames.Record(i);
            if (!(r.WriteFlags[1] & frameflag::DataLengthIndicator) || r.DataLength != 0) continue;
            const std::uint8_t state = r.ReadFlags[1];
            if (!(state & (frameflag::Compression | frameflag::Encryption | frameflag::Unsynchronisation))) {
                r.DataLength = std::uint32_t(r.Data.size());
                continue;
            }
            if (state & frameflag::Unsynchronisation) {
                Frames.Resynchronise(i);
                r.DataLength = std::uint32_t(r.Data.size());
            }
            if (r.ReadFlags[1] & frameflag::Encryption) {
                if (!tag.FixFlagConflicts) return DataLengthOnEncrypted;
                r.WriteFlags[1] &= std::uint8_t(~frameflag::DataLengthIndicator);
                r.DataLength = 0;
                status |= WarnFlagsAdjusted;
            } else if (r.ReadFlags[1] & frameflag::Compression) {
                const int result = Frames.Decompress(i);
                r.DataLength = result == 4 ? 0 : std::uint32_t(r.Data.size());
            }
        }
    }

    for (std::uint32_t i = 1; i <= n; ++i) {
        tag.Progress = std::uint8_t(5 * i / n);
        TFrameRecord& r = Frames.Record(i);
        if (!((r.ReadFlags[1] ^ r.WriteFlags[1]) & frameflag::Compression)) continue;
        tag.ProgressText = "Applying compression";
        // Compression works on the plain data: undo an unsynchronisation first (redone below).
        Frames.Resynchronise(i);
        if (r.ReadFlags[1] & frameflag::Compression) {
            Frames.Decompress(i);
        } else {
            Frames.Compress(i, std::min<int>(tag.CompressionLevel, 3));
        }
        follow(r, frameflag::Compression);
    }

    for (std::uint32_t i = 1; i <= n; ++i) {
        TFrameRecord& r = Frames.Record(i);
        if (!((r.ReadFlags[1] ^ r.WriteFlags[1]) & frameflag::Encryption)) continue;
        if (!tag.FixFlagConflicts) return EncryptionConflict;
        follow(r, frameflag::Encryption);
    }

    for (std::uint32_t i = 1; i <= n; ++i) {
        tag.Progress = std::uint8_t(5 * i / n + 5);
        TFrameRecord& r = Frames.Record(i);
        if (!((r.ReadFlags[1] ^ r.WriteFlags[1]) & frameflag::Unsynchronisation)) continue;
        tag.ProgressText = "Applying unsync";
        if (r.ReadFlags[1] & frameflag::Unsynchronisation) {
            Frames.Resynchronise(i);
        } else {
            Frames.Unsynchronise(i);
        }
        follow(r, frameflag::Unsynchronisation);
    }

    for (std::uint32_t i = 1; i <= n; ++i) {
        TFrameRecord& r = Frames.Record(i);
        if (!((r.ReadFlags[1] ^ r.WriteFlags[1]) & frameflag::Grouping)) continue;
        if (!tag.FixFlagConflicts) return GroupingConflict;
        r.WriteFlags[1] ^= frameflag::Grouping;
        status |= WarnFlagsAdjusted;
    }
    return 0;
}

}  // namespace

TTagStatus Tid3v2tag::WriteTag(TagWriter& w, std::uint8_t Version, std::uint8_t Revision)
{
    TTagStatus& status = w.status;
    auto stop = [&](TTagStatus errorClass) { return status = Fail(status, errorClass); };
    const std::uint8_t version = Version == 255 ? MajorVersion : Version;
    const std::uint8_t revision = Revision == 255 ? this->Revision : Revision;
    if (version != 3 && version != 4) return stop(UnsupportedVersion);
    if (revision != 0) return stop(RevisionNotWritable);
    if (Frames.Count() == 0) return stop(NoFrames);
    const bool v24 = version == 4;
    Progress = 0;
    ProgressText = "Preparing tag";

    const std::uint64_t offset = w.file.Position();
    const std::uint64_t L = w.file.Size();
    if (L < offset) return stop(OffsetOutsideFile);

    if (const TTagStatus errorClass = ReconcileFrames(*this, v24, status)) return stop(errorClass);
    const std::uint32_t n = Frames.Count();

    // Old tag length.
    std::uint32_t crc = 0xFFFFFFFF;
    std::uint64_t X = 0;
    if (L - offset >= 10) {
        std::uint8_t h[10];
        // The load's own bytes when the file is the one it read and has not changed since: what a
        // save after a load always finds. Otherwise (renamed, replaced, written meanwhile, another
        // file or offset) they are read under the lock.
        if (loadedHead_.valid && loadedHead_.offset == offset && loadedHead_.file == w.file.Id()) {
            std::memcpy(h, loadedHead_.bytes.data(), 10);
        } else {
            w.file.ReadExact(h, 10);
            w.file.Seek(offset);
        }
        if (std::memcmp(h, "ID3", 3) == 0 && h[3] < 0xFF && h[4] < 0xFF && !((h[6] | h[7] | h[8] | h[9]) & 0x80))
            X = std::min<std::uint64_t>(Synchsafe32(h + 6) + 10ull, L - offset);
        // An ID3v2.4 footer belongs to the tag it closes: the new tag replaces it too, or it would
        // be left between the new tag and the audio.
        if (X >= 10 && h[3] == 4 && (h[5] & 0x10) && L - offset - X >= 10) {
            std::uint8_t foot[10];
            w.file.Seek(offset + X);
            w.file.ReadExact(foot, 10);
            w.file.Seek(offset);
            if (std::memcmp(foot, "3DI", 3) == 0 && foot[3] == 4) X += 10;
        }
    }

    // New tag length, headers built once and kept for writing.
    const bool unsync = Flags & 0x80;
    const bool wantCRC = ExtFlags & 0x20;
    if (wantCRC) SetExtendedHeader(true);
    const bool ext = Flags & 0x40;
    std::uint64_t frameBytes = 0;
    for (std::uint32_t i = 1; i <= n; ++i) frameBytes += Frames.Record(i).Data.size();
    w.progressTotal = std::max<std::uint64_t>(1, frameBytes);
    std::vector<TBytes> headers(n);
    std::uint64_t T = 10;
    if (v24) {
        if (ext) T += 6 + (ExtFlags & 0x40 ? 1 : 0) + (wantCRC ? 6 : 0) + (ExtFlags & 0x10 ? 2 : 0);
    } else if (ext) {
        T += wantCRC ? 14 : 10;
    }
    for (std::uint32_t i = 1; i <= n; ++i) {
        const TFrameRecord& r = Frames.Record(i);
        TBytes& h = headers[i - 1];
        h = FrameHeader(r, v24);
        if (wantCRC) {
            if (!v24 && (r.ReadFlags[1] & frameflag::Unsynchronisation)) {
                TBytes plain = r.Data;
                plain.resize(ResyncBuffer(plain.data(), plain.size()));
                UpdateCRC32(h.data(), int(h.size()), crc);
                UpdateCRC32(plain.data(), int(plain.size()), crc);
            } else {
                UpdateCRC32(h.data(), int(h.size()), crc);
                UpdateCRC32(r.Data.data(), int(r.Data.size()), crc);
            }
            ProgressText = "Calculating CRC-32";
        }
        if (!v24 && unsync) UnsyncHeader(h, r.Data);
        T += h.size() + r.Data.size();
        w.Advance(r.Data.size());
    }
    if (wantCRC) crc = ~crc;

    // Padding.
    std::uint64_t P = PaddingSize;
    auto blockRule = [&] {
        const std::uint32_t B = std::max<std::uint32_t>(PaddingBlock, 1);
        std::uint32_t p =
            std::uint32_t((std::uint32_t(L) / B + 1) * B - (std::uint32_t(L) - std::uint32_t(X)) - std::uint32_t(T));
        if (p > B) p = (p - 1) % B + 1;  // the same as taking B away while above B
        return std::uint64_t(p);
    };
    if (PaddingMode != 0) {
        if (T > X || PaddingMode == 2) {
            P = blockRule();
        } else {
            P = X - T;
            if (PaddingLimit >= PaddingBlock) P = blockRule();
        }
    }
    // The last byte of the frames, to keep an unsynchronised ID3v2.3 tag from ending with $FF.
    if (!v24 && unsync && P == 0) {
        const TFrameRecord& last = Frames.Record(n);
        const TBytes& tail = last.Data.empty() ? headers[n - 1] : last.Data;
        if (!tail.empty() && tail.back() == 0xFF) P = 1;
    }

    // Extended header bytes.
    TBytes extBytes;
    if (ext && v24) {
        const std::uint32_t size = 6 + (ExtFlags & 0x40 ? 1 : 0) + (wantCRC ? 6 : 0) + (ExtFlags & 0x10 ? 2 : 0);
        PutSynchsafe(extBytes, size);
        extBytes.push_back(1);
        extBytes.push_back(ExtFlags & 0x70);
        if (ExtFlags & 0x40) extBytes.push_back(0);
        if (wantCRC)
            extBytes.insert(extBytes.end(),
                            {5, std::uint8_t(crc >> 28 & 0x0F), std::uint8_t(crc >> 21 & 0x7F),
                             std::uint8_t(crc >> 14 & 0x7F), std::uint8_t(crc >> 7 & 0x7F), std::uint8_t(crc & 0x7F)});
        if (ExtFlags & 0x10) extBytes.insert(extBytes.end(), {1, Restrictions});
    } else if (ext) {
        PutBE32(extBytes, wantCRC ? 10 : 6);
        extBytes.push_back(wantCRC ? 0x80 : 0);
        extBytes.push_back(0);
        TBytes tail;
        PutBE32(tail, std::uint32_t(P));
        if (wantCRC) PutBE32(tail, crc);
        if (unsync) {
            const std::size_t len = tail.size();
            tail.push_back(headers.empty() ? 0x41 : headers[0][0]);
            const int count = UnsyncCountBuffer(tail.data(), int(tail.size()));
            tail.resize(tail.size() + std::size_t(count));
            UnsyncBuffer(tail.data(), int(len));
            tail.resize(len + std::size_t(count));
            T += std::uint64_t(count);
        }
        extBytes.insert(extBytes.end(), tail.begin(), tail.end());
    }
    T += P;
    if (T - 10 > 0x0FFFFFFF) return stop(TagTooLarge);

    // Make room: the file reaches its final length before any audio moves, so that a full disk
    // or a size limit stops the save with the file as it was.
    const std::uint64_t A = L - offset - X;
    w.progressTotal = std::max<std::uint64_t>(1, (T != X ? A : 0) + T);
    w.progressDone = 0;
    tagio::File& f = w.file;
    const std::uint64_t from = offset + X, to = offset + T;
    if (T > X) {
        const std::uint64_t finalLength = L + (T - X);
        try {
            f.Reserve(finalLength);
        } catch (const tagio::TagIoError&) {
            try {
                f.Truncate(L);
            } catch (const tagio::TagIoError&) {
            }
            throw;
        }
        if (A > 0) ProgressText = "Re-positioning audio data";
        w.MoveAudio(from, to, A);
    } else if (T < X) {
        if (A > 0) ProgressText = "Re-positioning audio data";
        w.MoveAudio(from, to, A);
        f.Truncate(offset + T + A);
    }

    // The tag itself.
    f.Seek(offset);
    TBytes head = {'I', 'D', '3', version, 0, std::uint8_t(Flags & 0xE0)};
    PutSynchsafe(head, std::uint32_t(T - 10));
    w.BufferedWrite(head);
    w.BufferedWrite(extBytes);
    for (std::uint32_t i = 1; i <= n; ++i) {
        w.BufferedWrite(headers[i - 1]);
        w.BufferedWrite(Frames.Record(i).Data);
        ProgressText = "Writing new tag";
        w.Advance(headers[i - 1].size() + Frames.Record(i).Data.size());
    }
    static const std::uint8_t zeros[TagWriter::kBlock] = {};
    for (std::uint64_t left = P; left;) {
        const std::size_t piece = std::size_t(std::min<std::uint64_t>(left, TagWriter::kBlock));
        w.BufferedWrite(zeros, piece);
        left -= piece;
        ProgressText = "Writing new tag";
        w.Advance(piece);
    }
    w.BufferedWrite(nullptr, 0);

    MajorVersion = version;
    this->Revision = revision;
    TagSize = std::uint32_t(T);
    CRC = crc;
    PaddingSize = std::uint32_t(P);
    Status = status;
    Modified = false;
    TagOffset = std::int32_t(offset);
    Progress = 100;
    ProgressText = "Save Complete";
    return status;
}

TTagStatus Tid3v2tag::SaveToFile(const std::string& FileName, std::uint8_t Version, std::uint8_t Revision,
                                 std::int64_t Offset)
{
    const bool same = FileName == "=";
    const std::string name = same ? this->FileName : FileName;
    const std::int64_t offset = Offset >= 0 ? Offset : (same ? TagOffset : 0);
    if (!tagOk(Status)) return CorruptTag;
    TagWriter writer;
    writer.tag = this;
    try {
        // The file just loaded, found then to be a regular file that may be written, is opened
        // straight away; any other is checked by name first.
        const bool known = name == this->FileName && LoadedFileSize >= 0 && !this->FileProtected;
        // The load's own open, kept for this save, spares opening the file again.
        if (known && held_.IsOpen()) writer.file.TakeOver(held_);
        held_.Close();
        if (!writer.file.IsOpen() || !writer.file.ResumeToSave(name)) {
            if (const TTagStatus refused = writer.file.OpenToSave(name, !known)) return refused;
        }
        if (offset > INT32_MAX) return OffsetOutsideFile;  // tag positions are 32-bit
        writer.file.Seek(std::uint64_t(offset));
        const TTagStatus result = WriteTag(writer, Version, Revision);
        // What the load saw no longer describes the file once a save may have written it.
        loadedHead_.valid = false;
        if (tagOk(result)) this->FileName = name;
        return result;
    } catch (const tagio::TagIoError& e) {
        loadedHead_.valid = false;
        return Fail(writer.status, tagio::StatusClass(e.Kind));
    }
}
