// ID3v2.3 / ID3v2.4 tags.
//
//   Tid3v2tag tag;                                 // reuse one object file after file
//   if (tagOk(tag.LoadFromFile(path, 0))) {        // any status below 0x0100 is success
//     std::string title;
//     if (tag.GetTextFrame("TIT2", title) == 0) ...  // texts are ISO-8859-1 bytes
//     TCommentFrame c;
//     tag.GetComment(c, "", "None");               // "None": any language
//   }
//   tag.SetTextFrame("TALB", "Album");             // an empty text removes the frame
//   tag.SaveToFile("=", 255, 255, -1);             // the file just loaded, same place/version
//
// A load always names its file as the target of "=", and starts from a new object's header
// state: a load that finds no tag leaves no frames, no failure and the offset it looked at, so a
// save after a tag-less load gives that file a tag there with exactly the frames set since.
// Status words: high byte = error class (TTagStatus constants below), low byte = warning bits.
// Frame indexes are 1-based; an index outside 1..Count() raises ERangeError.
// Loads and saves of all objects share nothing but the file: each call keeps its own buffers.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "id3io.h"

using TTagStatus = std::uint16_t;
using TFrameResult = std::uint8_t;
using TBytes = std::vector<std::uint8_t>;

namespace tagstatus {
constexpr TTagStatus StatusOk = 0x0000;
constexpr TTagStatus FileNotFound = 0x0100;
constexpr TTagStatus FileProtected = 0x0200;
constexpr TTagStatus ReadError = 0x0300;
constexpr TTagStatus WriteError = 0x0400;
constexpr TTagStatus IoError = 0x0500;
constexpr TTagStatus OffsetOutsideFile = 0x0800;
constexpr TTagStatus NoTag = 0x1000;
constexpr TTagStatus UnsupportedVersion = 0x1100;
constexpr TTagStatus RevisionNotWritable = 0x1200;
constexpr TTagStatus TagPastEndOfFile = 0x2000;
constexpr TTagStatus InvalidFrameIdentifier = 0x2100;
constexpr TTagStatus TagTooLarge = 0x2200;
constexpr TTagStatus EncryptionConflict = 0xC000;
constexpr TTagStatus GroupingConflict = 0xC100;
constexpr TTagStatus DataLengthOnEncrypted = 0xC200;
constexpr TTagStatus NoFrames = 0xFD00;
constexpr TTagStatus CorruptTag = 0xFE00;
// Warning bits.
constexpr TTagStatus WarnPaddingDiffers = 0x04;
constexpr TTagStatus WarnFlagsAdjusted = 0x08;
constexpr TTagStatus WarnRevisionAccepted = 0x10;
constexpr TTagStatus WarnExtendedFlags = 0x40;
constexpr TTagStatus WarnHeaderFlags = 0x80;
}  // namespace tagstatus

// Whether a load, save or ID3v1 read succeeded: only the warning bits may be set.
constexpr bool tagOk(TTagStatus status) { return status < 0x0100; }
// Whether a load found no tag at all (nothing was left unread).
constexpr bool noTag(TTagStatus status) { return (status & 0xFF00) == tagstatus::NoTag; }

namespace frameresult {
constexpr TFrameResult Success = 0;
constexpr TFrameResult NotFound = 1;
constexpr TFrameResult Empty = 2;
constexpr TFrameResult InvalidFrameID = 3;
constexpr TFrameResult CharAboveFF = 4;
constexpr TFrameResult UnknownEncoding = 5;
constexpr TFrameResult InvalidEncoding = 6;
constexpr TFrameResult InvalidLanguage = 7;
constexpr TFrameResult InvalidCharacter = 8;
constexpr TFrameResult Encrypted = 9;
constexpr TFrameResult Deleted = 255;
}  // namespace frameresult

class ERangeError : public std::out_of_range {
public:
    ERangeError() : std::out_of_range("Array range out of bounds.") {}
};

// Flag bits, ID3v2.4 positions whatever the tag version. The format byte of ReadFlags is also
// the state of Data (compressed, encrypted, unsynchronised, grouped).
namespace frameflag {
constexpr std::uint8_t TagAlterPreservation = 0x40;
constexpr std::uint8_t FileAlterPreservation = 0x20;
constexpr std::uint8_t ReadOnly = 0x10;
constexpr std::uint8_t Grouping = 0x40;
constexpr std::uint8_t Compression = 0x08;
constexpr std::uint8_t Encryption = 0x04;
constexpr std::uint8_t Unsynchronisation = 0x02;
constexpr std::uint8_t DataLengthIndicator = 0x01;
}  // namespace frameflag

struct TFrameRecord {
    std::uint8_t Modified = 1;
    std::uint32_t FrameOffset = 0;
    std::uint32_t RawSize = 0;
    std::uint32_t HeaderLength = 0;
    std::string FrameID;
    std::array<std::uint8_t, 2> ReadFlags{};   // [0] status, [1] format (= state of Data)
    std::array<std::uint8_t, 2> WriteFlags{};  // [0] status, [1] format wanted on disk
    std::uint32_t DataLength = 0;
    std::uint8_t EncryptionMethod = 0;
    std::uint8_t GroupID = 0;
    TBytes Data;
};

class TFrameIndex {
public:
    std::uint32_t Count() const { return std::uint32_t(Records.size()); }

    // New index, or 0 when the identifier is not 4 characters A-Z / 0-9 (after upper-casing).
    std::uint32_t AddFrame(const std::string& FrameID);
    // 1 when deleted, 0 for an index outside the list.
    int DeleteFrame(std::uint32_t Index);
    void Clear();

    TFrameRecord& Record(std::uint32_t Index);
    const TFrameRecord& Record(std::uint32_t Index) const;
    TBytes& Data(std::uint32_t Index) { return Record(Index).Data; }

    std::string GetFrameID(std::uint32_t Index) const { return Record(Index).FrameID; }
    std::uint32_t GetDataSize(std::uint32_t Index) const { return std::uint32_t(Record(Index).Data.size()); }
    std::uint32_t GetDataLength(std::uint32_t Index) const { return Record(Index).DataLength; }
    void SetDataLength(std::uint32_t Index, std::uint32_t Value) { Record(Index).DataLength = Value; }
    std::uint8_t GetEncryptionMethod(std::uint32_t Index) const { return Record(Index).EncryptionMethod; }
    void SetEncryptionMethod(std::uint32_t Index, std::uint8_t Value);
    std::uint8_t GetGroupID(std::uint32_t Index) const { return Record(Index).GroupID; }
    void SetGroupID(std::uint32_t Index, std::uint8_t Value);
    std::uint32_t GetFrameOffset(std::uint32_t Index) const { return Record(Index).FrameOffset; }
    void SetFrameOffset(std::uint32_t Index, std::uint32_t Value) { Record(Index).FrameOffset = Value; }
    void SetHeaderLength(std::uint32_t Index, std::uint32_t Value) { Record(Index).HeaderLength = Value; }
    std::uint32_t GetRawSize(std::uint32_t Index) const { return Record(Index).RawSize; }
    // Which: 1 status, 2 format; anything else raises ERangeError.
    std::uint8_t GetReadFlags(std::uint32_t Index, int Which) const;
    void SetReadFlags(std::uint32_t Index, int Which, std::uint8_t Value);
    std::uint8_t GetWriteFlags(std::uint32_t Index, int Which) const;
    void SetWriteFlags(std::uint32_t Index, int Which, std::uint8_t Value);  // sets Modified

    bool GetTagAlterPreservation(std::uint32_t Index) const { return GetWriteFlags(Index, 1) & 0x40; }
    bool GetFileAlterPreservation(std::uint32_t Index) const { return GetWriteFlags(Index, 1) & 0x20; }
    bool GetReadOnly(std::uint32_t Index) const { return GetWriteFlags(Index, 1) & 0x10; }
    bool GetGrouping(std::uint32_t Index) const { return GetWriteFlags(Index, 2) & 0x40; }
    bool GetCompression(std::uint32_t Index) const { return GetWriteFlags(Index, 2) & 0x08; }
    bool GetEncryption(std::uint32_t Index) const { return GetWriteFlags(Index, 2) & 0x04; }
    bool GetUnsynchronisation(std::uint32_t Index) const { return GetWriteFlags(Index, 2) & 0x02; }
    bool GetDataLengthIndicator(std::uint32_t Index) const { return GetWriteFlags(Index, 2) & 0x01; }
    bool IsGrouped(std::uint32_t Index) const { return GetReadFlags(Index, 2) & 0x40; }
    bool IsCompressed(std::uint32_t Index) const { return GetReadFlags(Index, 2) & 0x08; }
    bool IsEncrypted(std::uint32_t Index) const { return GetReadFlags(Index, 2) & 0x04; }
    bool IsUnsynchronised(std::uint32_t Index) const { return GetReadFlags(Index, 2) & 0x02; }

    // Data transforms. 0 done, -1 nothing to do, 1 refused (encrypted), 2 refused
    // (unsynchronised), -2 (Decompress) inflated size differs from DataLength, 4 failed
    // (frame unchanged).
    int Compress(std::uint32_t Index, int LevelIndex);
    int Decompress(std::uint32_t Index);
    int Unsynchronise(std::uint32_t Index);
    int Resynchronise(std::uint32_t Index);

private:
    std::vector<TFrameRecord> Records;
};

struct TCommentFrame {
    std::uint8_t Encoding = 0;
    std::string Language;
    std::string Description;
    std::string Text;
};

struct TagReader;
struct TagWriter;

class Tid3v2tag {
public:
    Tid3v2tag() = default;
    Tid3v2tag(const Tid3v2tag&) = delete;
    Tid3v2tag& operator=(const Tid3v2tag&) = delete;

    std::uint8_t MajorVersion = 3;
    std::uint8_t Revision = 0;
    std::uint32_t TagSize = 0;
    std::uint8_t Flags = 0;
    std::uint8_t ExtFlags = 0;
    std::uint32_t PaddingSize = 0;
    std::uint32_t ExtHeaderSize = 0;
    std::uint32_t CRC = 0;
    std::uint8_t Restrictions = 0;
    TTagStatus Status = 0;
    bool Modified = false;
    bool FileProtected = false;
    std::string FileName;
    // Size in bytes of FileName as the last load found it; -1 when it could not be opened.
    std::int64_t LoadedFileSize = -1;
    std::int32_t TagOffset = 0;
    bool Done = true;
    std::uint8_t Progress = 0;
    std::string ProgressText;
    TFrameIndex Frames;
    bool AcceptRevisions = true;
    bool FixFlagConflicts = false;
    bool TidyFrames = true;
    std::uint8_t CompressionLevel = 2;
    std::uint8_t PaddingMode = 1;
    std::uint32_t PaddingBlock = 4096;
    std::uint32_t PaddingLimit = 4096;
    // For tools that load a file and save it straight away: the load keeps its file open,
    // writable where it may be, until the next load or save, and a save of "=" that finds the
    // name still leading to that file, unchanged, writes through it without opening it again.
    bool HoldFileForSave = false;

    bool GetUnsynchronisation() const { return Flags & 0x80; }
    void SetUnsynchronisation(bool On) { SetBit(Flags, 0x80, On); }
    bool GetExtendedHeader() const { return Flags & 0x40; }
    void SetExtendedHeader(bool On) { SetBit(Flags, 0x40, On); }
    void SetExperimental(bool On) { SetBit(Flags, 0x20, On); }
    void SetFooter(bool On) { SetBit(Flags, 0x10, On); }
    bool GetTagIsUpdate() const { return ExtFlags & 0x40; }
    void SetTagIsUpdate(bool On) { SetBit(ExtFlags, 0x40, On); }
    bool GetCRCPresent() const { return ExtFlags & 0x20; }
    void SetCRCPresent(bool On) { SetBit(ExtFlags, 0x20, On); }
    bool GetRestrictions() const { return ExtFlags & 0x10; }
    void SetRestrictions(bool On) { SetBit(ExtFlags, 0x10, On); }

    // Reads the tag at Offset (callers pass 0).
    TTagStatus LoadFromFile(const std::string& FileName, std::int64_t Offset);
    // Writes the tag into FileName ("=": the file last loaded or saved). Version / Revision 255
    // keep the current ones; a negative Offset is TagOffset for "=", else 0.
    TTagStatus SaveToFile(const std::string& FileName, std::uint8_t Version, std::uint8_t Revision,
                          std::int64_t Offset);

    // Text of the first frame FrameID ("TIT2", ...) that holds one; texts are ISO-8859-1 bytes.
    TFrameResult GetTextFrame(const std::string& FrameID, std::string& Text);
    // Replaces the first FrameID frame (encoding 0) or adds one; an empty Text deletes it (255).
    TFrameResult SetTextFrame(const std::string& FrameID, const std::string& Text);
    // The same texts whole, as UTF-8: every character the frame holds, where GetTextFrame stops at
    // the first above 0xFF and reports CharAboveFF; a character that cannot be read (a lone
    // surrogate, a byte that is not UTF-8) is U+FFFD. Where a text ends, and what is not text,
    // is otherwise decided as GetTextFrame decides it. What shows a text or makes a name from it reads
    // these; what edits a tag's 8-bit text reads the others.
    TFrameResult GetTextFrameUtf8(const std::string& FrameID, std::string& Text);
    // Comment.Description and Comment.Text whole, as UTF-8; Description is matched as GetComment does.
    TFrameResult GetCommentUtf8(TCommentFrame& Comment, const std::string& Description, const std::string& Language);
    // Sets a text frame to Text (UTF-8) whole, as SetTextFrame does: ISO-8859-1 (encoding 0) when
    // every character fits, else UTF-16 after its byte-order mark (encoding 1). Text that is not
    // UTF-8, or holds a control character, is refused (InvalidCharacter) and nothing changes.
    TFrameResult SetTextFrameUtf8(const std::string& FrameID, const std::string& Text);
    // The year, as GetTextFrame gives texts. An ID3v2.3 tag keeps it in "TYER"; an ID3v2.4 tag in
    // the time stamp "TDRC" ("1999-05-12"), of which the year is the first four characters, and
    // only a tag without one in "TYER".
    TFrameResult GetYear(std::string& Year);
    // The frame GetYear reads: "TYER" or "TDRC".
    std::string YearFrameID();
    // Sets the year so that GetYear reads Year. ID3v2.3: SetTextFrame("TYER", Year). ID3v2.4: the
    // year GetYear read whole already changes nothing (a full date, a "TYER" beside it stay as
    // they are); another makes "TDRC" := Year and removes every "TYER"; an empty Year removes both.
    TFrameResult SetYear(const std::string& Year);
    // First "COMM" frame with this description and, when Language has 3 characters, language.
    TFrameResult GetComment(TCommentFrame& Comment, const std::string& Description, const std::string& Language);
    TFrameResult SetComment(const TCommentFrame& Comment, const std::string& Description, const std::string& Language);
    // Decodes the text at Position of Data; Length gets the bytes taken, terminator included.
    TFrameResult DecodeText(const TBytes& Data, std::uint32_t Position, bool AllowLineBreaks, std::string& Text,
                            std::uint8_t Encoding, std::uint32_t& Length);
    // DecodeText, whole: Text in UTF-8, as GetTextFrameUtf8 reads it.
    TFrameResult DecodeTextUtf8(const TBytes& Data, std::uint32_t Position, bool AllowLineBreaks, std::string& Text,
                                std::uint8_t Encoding, std::uint32_t& Length);

private:
    friend struct TagReader;
    friend struct TagWriter;
    void SetBit(std::uint8_t& field, std::uint8_t bit, bool on)
    {
        field = on ? std::uint8_t(field | bit) : std::uint8_t(field & ~bit);
        Modified = true;
    }
    TTagStatus ReadTag(TagReader& reader);
    // Buffers a load needs, kept from one load to the next: a scan loads thousands of tags.
    struct ReadBuffers {
        std::unique_ptr<std::uint8_t[]> blocks[4];
        std::unique_ptr<std::uint8_t[]> ahead;
        std::size_t aheadSize = 0;
    };
    ReadBuffers readBuffers_;
    // What the last load found at the tag's offset (its first 10 bytes) and which file it found
    // them in (tagio::File::Id). A save into that file, unchanged since, takes the old tag's
    // length from them instead of reading them again; any other save reads the file.
    struct LoadedHead {
        bool valid = false;
        std::uint64_t offset = 0;
        tagio::File::Identity file{};
        std::array<std::uint8_t, 10> bytes{};
    };
    LoadedHead loadedHead_;
    tagio::File held_;  // the last load's file, while HoldFileForSave keeps it
    TTagStatus WriteTag(TagWriter& writer, std::uint8_t Version, std::uint8_t Revision);
    TFrameResult PrepareFrame(std::uint32_t Index);
    // The frame GetTextFrame (Whole: GetTextFrameUtf8) reads its text from (Index 0: none).
    TFrameResult FindTextFrame(const std::string& FrameID, std::string& Text, std::uint32_t& Index, bool Whole);
    TFrameResult FindComment(const std::string& Description, const std::string& Language, TCommentFrame& Found,
                             std::uint32_t& Index, bool Whole);
    TFrameResult ReadComment(TCommentFrame& Comment, const std::string& Description, const std::string& Language,
                             bool Whole);
};
