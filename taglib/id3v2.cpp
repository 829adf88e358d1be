#include "id3v2.h"

#include "id3codecs.h"
#include "id3io.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

using namespace tagstatus;

namespace {

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
using MallocPtr = std::unique_ptr<void, FreeDeleter>;

std::uint32_t BigEndian32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

std::uint32_t Synchsafe32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) << 21 | std::uint32_t(p[1]) << 14 | std::uint32_t(p[2]) << 7 | p[3];
}

bool ValidFrameID(const std::string& id) {
  if (id.size() != 4) return false;
  for (char c : id)
    if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Frame list

std::uint32_t TFrameIndex::AddFrame(const std::string& FrameID) {
  if (FrameID.size() != 4) return 0;
  std::string id = FrameID;
  for (char& c : id)
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  if (!ValidFrameID(id)) return 0;
  Records.emplace_back();
  Records.back().FrameID = id;
  return Count();
}

int TFrameIndex::DeleteFrame(std::uint32_t Index) {
  if (Index == 0 || Index > Count()) return 0;
  Records.erase(Records.begin() + (Index - 1));
  return 1;
}

void TFrameIndex::Clear() { Records.clear(); }

TFrameRecord& TFrameIndex::Record(std::uint32_t Index) {
  if (Index == 0 || Index > Count()) throw ERangeError();
  return Records[Index - 1];
}

const TFrameRecord& TFrameIndex::Record(std::uint32_t Index) const {
  if (Index == 0 || Index > Count()) throw ERangeError();
  return Records[Index - 1];
}

void TFrameIndex::SetEncryptionMethod(std::uint32_t Index, std::uint8_t Value) {
  TFrameRecord& r = Record(Index);
  if (r.EncryptionMethod != Value) r.Modified = 1;
  r.EncryptionMethod = Value;
}

void TFrameIndex::SetGroupID(std::uint32_t Index, std::uint8_t Value) {
  TFrameRecord& r = Record(Index);
  if (r.GroupID != Value) r.Modified = 1;
  r.GroupID = Value;
}

namespace {

// One byte of a flag pair: Which 1 is the status byte, 2 the format byte.
template <typename Pair>
auto& FlagByte(Pair& flags, int Which) {
  if (Which != 1 && Which != 2) throw ERangeError();
  return flags[std::size_t(Which - 1)];
}

}  // namespace

std::uint8_t TFrameIndex::GetReadFlags(std::uint32_t Index, int Which) const {
  return FlagByte(Record(Index).ReadFlags, Which);
}

void TFrameIndex::SetReadFlags(std::uint32_t Index, int Which, std::uint8_t Value) {
  FlagByte(Record(Index).ReadFlags, Which) = Value;
}

std::uint8_t TFrameIndex::GetWriteFlags(std::uint32_t Index, int Which) const {
  return FlagByte(Record(Index).WriteFlags, Which);
}

void TFrameIndex::SetWriteFlags(std::uint32_t Index, int Which, std::uint8_t Value) {
  TFrameRecord& r = Record(Index);
  FlagByte(r.WriteFlags, Which) = Value;
  r.Modified = 1;
}

// ---------------------------------------------------------------------------------------------
// Frame transforms

int TFrameIndex::Compress(std::uint32_t Index, int LevelIndex) {
  TFrameRecord& r = Record(Index);
  const std::uint8_t state = r.ReadFlags[1];
  if (state & frameflag::Unsynchronisation) return 2;
  if (state & frameflag::Encryption) return 1;
  if (state & frameflag::Compression) return -1;
  try {
    void* out = nullptr;
    int outSize = 0;
    ZCompressBuffer(r.Data.data(), int(r.Data.size()), out, LevelIndex, outSize);
    MallocPtr hold(out);
    TBytes packed(static_cast<std::uint8_t*>(out), static_cast<std::uint8_t*>(out) + outSize);
    r.DataLength = std::uint32_t(r.Data.size());
    r.Data.swap(packed);
    r.ReadFlags[1] |= frameflag::Compression;
    r.Modified = 1;
    return 0;
  } catch (const std::exception&) {
    return 4;
  }
}

int TFrameIndex::Decompress(std::uint32_t Index) {
  TFrameRecord& r = Record(Index);
  const std::uint8_t state = r.ReadFlags[1];
  if (state & frameflag::Unsynchronisation) return 2;
  if (state & frameflag::Encryption) return 1;
  if (!(state & frameflag::Compression)) return -1;
  try {
    // Inflate no further than the stated length (a fixed ceiling when none is stated): what
    // would go beyond is not this frame's text, and a bomb must not take the memory.
    const std::size_t limit = r.DataLength ? r.DataLength : kZInflateCeiling;
    void* out = nullptr;
    int outSize = 0;
    ZDecompressBuffer(r.Data.data(), int(r.Data.size()), out, 0, outSize, limit);
    MallocPtr hold(out);
    TBytes plain(static_cast<std::uint8_t*>(out), static_cast<std::uint8_t*>(out) + outSize);
    const int result = std::uint32_t(outSize) == r.DataLength ? 0 : -2;
    if (result != 0) r.DataLength = 0;
    r.Data.swap(plain);
    r.ReadFlags[1] &= std::uint8_t(~frameflag::Compression);
    r.Modified = 1;
    return result;
  } catch (const std::exception&) {
    return 4;
  }
}

int TFrameIndex::Unsynchronise(std::uint32_t Index) {
  TFrameRecord& r = Record(Index);
  if (r.ReadFlags[1] & frameflag::Unsynchronisation) return -1;
  try {
    const std::uint32_t size = std::uint32_t(r.Data.size());
    if (!(r.ReadFlags[1] & (frameflag::Compression | frameflag::Encryption))) r.DataLength = size;
    r.RawSize = size;
    const int n = UnsyncCountBuffer(r.Data.data(), int(size));
    if (n > 0) {
      r.Data.resize(size + std::size_t(n));
      UnsyncBuffer(r.Data.data(), int(size) - 1);
    }
    r.ReadFlags[1] |= frameflag::Unsynchronisation;
    r.Modified = 1;
    return 0;
  } catch (const std::exception&) {
    return 4;
  }
}

int TFrameIndex::Resynchronise(std::uint32_t Index) {
  TFrameRecord& r = Record(Index);
  if (!(r.ReadFlags[1] & frameflag::Unsynchronisation)) return -1;
  r.Data.resize(ResyncBuffer(r.Data.data(), r.Data.size()));
  r.ReadFlags[1] &= std::uint8_t(~frameflag::Unsynchronisation);
  r.Modified = 1;
  return 0;
}

// ---------------------------------------------------------------------------------------------
// Reading
//
// The tag streams from the file through a ring of four 16 KB blocks. For an ID3v2.3 tag with
// the unsynchronisation flag, the inserted $00 are removed inside the ring as it fills. The
// state lives for one load only (not shared between objects), so loads cannot step on each
// other.

struct TagReader {
  static constexpr std::uint32_t kBlock = 16384;
  static constexpr std::uint32_t kRing = 4 * kBlock;

  tagio::File file;
  Tid3v2tag* tag = nullptr;
  TTagStatus status = 0;  // being built; its warning bits survive a stop
  TBytes work;
  std::unique_ptr<std::uint8_t[]> blocks[4];
  std::uint32_t readPos = 0;    // next ring position to take
  std::uint32_t available = 0;  // bytes stored and not yet taken
  bool allLoaded = false;
  std::uint64_t tagEnd = 0;
  std::uint64_t remaining = 0;
  bool removeUnsync = false;
  bool ownsStatus = false;  // the header was accepted: a failure from here on is the load's
  // Removal state carried across refills: the last byte scanned is undecided until its
  // successor arrives, and the byte before it (as it was in the file) decides it.
  bool pending = false;
  std::uint8_t pendingPrev = 0;

  std::uint8_t& At(std::uint32_t p) { return blocks[p / kBlock][p % kBlock]; }

  // Borrows the tag's buffers for this load and gives them back when done.
  void Borrow(Tid3v2tag& owner) {
    tag = &owner;
    Tid3v2tag::ReadBuffers& kept = owner.readBuffers_;
    for (int b = 0; b < 4; ++b) blocks[b] = std::move(kept.blocks[b]);
    file.LendBuffer(std::move(kept.ahead), kept.aheadSize);
  }
  ~TagReader() {
    if (!tag) return;
    Tid3v2tag::ReadBuffers& kept = tag->readBuffers_;
    for (int b = 0; b < 4; ++b) kept.blocks[b] = std::move(blocks[b]);
    kept.ahead = file.TakeBuffer(kept.aheadSize);
  }
  std::uint32_t WritePos() const { return (readPos + available) % kRing; }

  void UpdateProgress() {
    const std::uint64_t done = file.Position() - std::uint64_t(tag->TagOffset);
    tag->Progress = std::uint8_t(std::min<std::uint64_t>(100, done * 100 / (std::uint64_t(tag->TagSize) + 10)));
  }
  void UpdateRemaining() { remaining = tagEnd - file.Position() + available; }

  // Copies n bytes of the tag from the file into the ring at the write position.
  void Fill(std::uint64_t n) {
    while (n) {
      const std::uint32_t w = WritePos();
      const std::uint32_t piece = std::uint32_t(std::min<std::uint64_t>(n, kBlock - w % kBlock));
      file.ReadExact(&At(w), piece);
      available += piece;
      n -= piece;
      UpdateProgress();
    }
    allLoaded = file.Position() >= tagEnd;
  }

  // Removes the inserted $00 among the `count` bytes that end the ring's data, compacting in
  // place. The last byte stays undecided unless the whole tag is loaded.
  void RemoveUnsync(std::uint32_t count) {
    std::uint32_t from = (readPos + available - count) % kRing;
    std::uint8_t prev = 0;
    if (pending) {  // re-open the byte left undecided by the previous scan
      from = (from + kRing - 1) % kRing;
      ++count;
      prev = pendingPrev;
    }
    if (count == 0) return;
    std::uint32_t dst = from;
    std::uint32_t removed = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
      const std::uint32_t src = (from + i) % kRing;
      const std::uint8_t b = At(src);
      const bool last = i + 1 == count;
      bool drop = false;
      if (!last && b == 0x00 && prev == 0xFF && (i > 0 || pending)) {
        const std::uint8_t next = At((src + 1) % kRing);
        drop = next == 0x00 || next >= 0xE0;
      }
      if (last) pendingPrev = prev;
      if (drop) {
        ++removed;
      } else {
        At(dst) = b;
        dst = (dst + 1) % kRing;
      }
      prev = b;
    }
    available -= removed;
    pending = !allLoaded;
  }

  void InitialFill() {
    // A small tag needs only the blocks it fills; a larger one cycles through all four.
    const std::uint64_t used = std::min<std::uint64_t>(tag->TagSize, kRing);
    for (std::uint32_t b = 0; b < 4; ++b)
      if (b * std::uint64_t(kBlock) < used && !blocks[b]) blocks[b].reset(new std::uint8_t[kBlock]);
    readPos = 0;
    available = 0;
    pending = false;
    Fill(std::min<std::uint64_t>(tag->TagSize, kRing));
    if (removeUnsync) RemoveUnsync(available);
    UpdateRemaining();
  }

  void Refill() {
    const std::uint64_t inFile = tagEnd - file.Position();
    const std::uint64_t n = std::min<std::uint64_t>(kRing - available, inFile);
    Fill(n);
    if (removeUnsync) RemoveUnsync(std::uint32_t(n));
  }

  // Appends up to n tag bytes to target; fewer only when the tag is exhausted.
  std::uint64_t Read(TBytes* target, std::uint64_t n) {
    std::uint64_t taken = 0;
    while (n) {
      const std::uint32_t chunk = std::uint32_t(std::min<std::uint64_t>(n, kBlock - readPos % kBlock));
      // Keep two bytes beyond the chunk, so that an unsynchronised pair is never split by the
      // reader's position.
      if (!allLoaded && available < chunk + 2) Refill();
      const std::uint32_t take = std::min(chunk, available);
      if (take == 0) break;
      if (target) target->insert(target->end(), &At(readPos), &At(readPos) + take);
      available -= take;
      readPos = (readPos + take) % kRing;
      n -= take;
      taken += take;
    }
    UpdateRemaining();
    return taken;
  }

  // Takes exactly n bytes into the work stream, or reports a tag that ends too soon.
  bool Take(std::uint32_t n) {
    work.clear();
    return Read(&work, n) == n;
  }
};

namespace {

bool IsPadding(const TBytes& candidate) {
  if (candidate.size() >= 4 && std::memcmp(candidate.data(), "MP3e", 4) == 0) return true;
  return std::all_of(candidate.begin(), candidate.end(), [](std::uint8_t b) { return b == 0; });
}

TTagStatus Fail(TTagStatus status, TTagStatus errorClass) {
  return TTagStatus((status & 0x00FF) | errorClass);
}

// Extended header of an ID3v2.3 tag; false when the load must stop (status set).
bool ReadExtendedHeaderV23(TagReader& rd, Tid3v2tag& tag) {
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

bool ReadExtendedHeaderV24(TagReader& rd, Tid3v2tag& tag) {
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

TTagStatus Tid3v2tag::ReadTag(TagReader& r) {
  Done = false;
  Progress = 0;
  ProgressText = "Loading tag";
  const std::uint64_t size = r.file.Size();
  const std::uint64_t start = r.file.Position();
  if (size - start < 10) return NoTag;
  std::uint8_t h[10];
  r.file.ReadExact(h, 10);
  if (std::memcmp(h, "ID3", 3) != 0 || h[3] == 0xFF || h[4] == 0xFF ||
      ((h[6] | h[7] | h[8] | h[9]) & 0x80))
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

TTagStatus Tid3v2tag::LoadFromFile(const std::string& FileName, std::int64_t Offset) {
  this->FileName = FileName;
  LoadedFileSize = -1;
  Frames.Clear();
  TagReader reader;
  reader.Borrow(*this);
  try {
    // One open tells whether the file is there, what it is and how long: a scan of a whole
    // collection pays for every call made here.
    reader.file.Open(FileName, false);
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

// ---------------------------------------------------------------------------------------------
// Text and comment frames

using namespace frameresult;

namespace {

bool ValidTextFrameID(const std::string& id) {
  return id.size() == 4 && id[0] == 'T' && id != "TXXX";
}

// A text in an encoding a frame may carry, with its terminator when asked. Characters are
// 0x00..0xFF, so UTF-16 and UTF-8 never need more than one unit or two bytes.
void AppendEncoded(TBytes& out, const std::string& text, std::uint8_t encoding, bool terminate) {
  for (unsigned char c : text) {
    switch (encoding) {
      case 1:  // little-endian, after its byte-order mark
        out.push_back(c);
        out.push_back(0);
        break;
      case 2:
        out.push_back(0);
        out.push_back(c);
        break;
      case 3:
        if (c < 0x80) {
          out.push_back(c);
        } else {
          out.push_back(std::uint8_t(0xC0 | (c >> 6)));
          out.push_back(std::uint8_t(0x80 | (c & 0x3F)));
        }
        break;
      default:
        out.push_back(c);
    }
  }
  if (terminate) {
    out.push_back(0);
    if (encoding == 1 || encoding == 2) out.push_back(0);
  }
}

}  // namespace

TFrameResult Tid3v2tag::DecodeText(const TBytes& Data, std::uint32_t Position, bool AllowLineBreaks,
                                   std::string& Text, std::uint8_t Encoding, std::uint32_t& Length) {
  Text.clear();
  const std::size_t size = Data.size();
  if (Position >= size) return Empty;
  std::size_t i = Position;
  // The last byte or value taken decides: a control character other than 0, or 0xFF, is not text.
  auto badEnd = [](unsigned v) { return (v < 0x20 && v != 0) || v == 0xFF; };
  switch (Encoding) {
    case 0: {
      std::uint8_t b;
      do {
        b = Data[i++];
        Text.push_back(char(b));
      } while (!(b < 0x20 && !(AllowLineBreaks && (b == 0x0A || b == 0x0D))) && i < size);
      if (badEnd(b)) {
        Text.clear();
        return InvalidCharacter;
      }
      break;
    }
    case 1:
    case 2:
    case 9: {
      bool bigEndian = Encoding == 2;
      if (Encoding == 1) {
        if (size - i < 2) return InvalidCharacter;
        if (Data[i] == 0xFF && Data[i + 1] == 0xFE) {
          bigEndian = false;
        } else if (Data[i] == 0xFE && Data[i + 1] == 0xFF) {
          bigEndian = true;
        } else {
          return InvalidCharacter;
        }
        i += 2;
      }
      while (size - i >= 2) {
        const unsigned unit = bigEndian ? unsigned(Data[i]) << 8 | Data[i + 1]
                                        : unsigned(Data[i + 1]) << 8 | Data[i];
        i += 2;
        if (unit == 0) break;
        if (unit > 0xFF) return CharAboveFF;
        if (unit < 0x20) {
          Text.clear();
          return InvalidCharacter;
        }
        Text.push_back(char(unit));
      }
      break;
    }
    case 3: {
      unsigned v;
      do {
        const std::uint8_t b = Data[i++];
        if (b < 0x80) {
          v = b;
        } else if (b < 0xC0) {
          v = b & 0x3F;  // a stray continuation byte keeps its low bits
        } else if (b <= 0xC3) {
          if (i >= size) return InvalidCharacter;
          v = (b & 0x03u) << 6 | (Data[i++] & 0x3Fu);
        } else {
          return CharAboveFF;
        }
        Text.push_back(char(v));
      } while (v >= 0x20 && i < size);
      if (badEnd(v)) {
        Text.clear();
        return InvalidCharacter;
      }
      break;
    }
    default:
      return UnknownEncoding;
  }
  Length = std::uint32_t(i - Position);
  return Success;
}

// Brings a found frame to its plain form. The data's own state decides as much as the wanted
// flags: an encrypted or still compressed frame is never decoded as if it were text.
TFrameResult Tid3v2tag::PrepareFrame(std::uint32_t Index) {
  TFrameRecord& r = Frames.Record(Index);
  const std::uint8_t wanted = r.WriteFlags[1];
  if ((wanted | r.ReadFlags[1]) & frameflag::Unsynchronisation) Frames.Resynchronise(Index);
  if ((wanted | r.ReadFlags[1]) & frameflag::Encryption) return Encrypted;
  if ((wanted | r.ReadFlags[1]) & frameflag::Compression) Frames.Decompress(Index);
  if (r.ReadFlags[1] & frameflag::Compression) return InvalidCharacter;  // would not inflate
  if (r.Data.empty()) return frameresult::Empty;
  return Success;
}

TFrameResult Tid3v2tag::GetTextFrame(const std::string& FrameID, std::string& Text) {
  Text.clear();
  if (!ValidTextFrameID(FrameID)) return InvalidFrameID;
  for (std::uint32_t i = 1; i <= Frames.Count(); ++i) {
    if (Frames.Record(i).FrameID != FrameID) continue;
    if (TFrameResult r = PrepareFrame(i)) return r;
    const TBytes& data = Frames.Record(i).Data;
    std::uint32_t length = 0;
    if (TFrameResult r = DecodeText(data, 1, false, Text, data[0], length)) return r;
    if (!Text.empty()) return Success;
  }
  return NotFound;
}

TFrameResult Tid3v2tag::SetTextFrame(const std::string& FrameID, const std::string& Text) {
  if (!ValidTextFrameID(FrameID) || !ValidFrameID(FrameID)) return InvalidFrameID;
  std::uint32_t index = 0;
  for (std::uint32_t i = 1; i <= Frames.Count() && !index; ++i)
    if (Frames.Record(i).FrameID == FrameID) index = i;
  if (index && Text.empty()) {
    Frames.DeleteFrame(index);
    return Deleted;
  }
  if (Text.empty()) return Success;
  if (!index) index = Frames.AddFrame(FrameID);
  TFrameRecord& r = Frames.Record(index);
  r.ReadFlags[1] = 0;
  r.DataLength = 0;  // a length indicator of the old data would lie about the new
  r.Data.clear();
  r.Data.push_back(0);
  r.Data.insert(r.Data.end(), Text.begin(), Text.end());
  r.Modified = 1;
  return Success;
}

// Walks the "COMM" frames for the first whose description and language match; Found gets the
// description (and on a match the language and encoding); Index 0 when none matched.
TFrameResult Tid3v2tag::FindComment(const std::string& Description, const std::string& Language,
                                    TCommentFrame& Found, std::uint32_t& Index) {
  Index = 0;
  for (std::uint32_t i = 1; i <= Frames.Count(); ++i) {
    if (Frames.Record(i).FrameID != "COMM") continue;
    if (TFrameResult r = PrepareFrame(i)) return r;
    const TBytes& data = Frames.Record(i).Data;
    std::uint32_t length = 0;
    if (TFrameResult r = DecodeText(data, 4, false, Found.Description, data[0], length)) return r;
    if (!Found.Description.empty() && Found.Description.back() == '\0') Found.Description.pop_back();
    const std::string language(reinterpret_cast<const char*>(&data[1]), 3);
    if (Found.Description == Description && (Language.size() != 3 || language == Language)) {
      Found.Encoding = data[0];
      Found.Language = language;
      Index = i;
      return Success;
    }
  }
  return NotFound;
}

TFrameResult Tid3v2tag::GetComment(TCommentFrame& Comment, const std::string& Description,
                                   const std::string& Language) {
  Comment = TCommentFrame();
  std::uint32_t index;
  if (TFrameResult r = FindComment(Description, Language, Comment, index)) return r;
  const TBytes& data = Frames.Record(index).Data;
  std::uint32_t descLength = 0;
  std::string desc;
  DecodeText(data, 4, false, desc, data[0], descLength);
  std::uint32_t length = 0;
  return DecodeText(data, 4 + descLength, true, Comment.Text, data[0], length);
}

TFrameResult Tid3v2tag::SetComment(const TCommentFrame& Comment, const std::string& Description,
                                   const std::string& Language) {
  TCommentFrame found;
  std::uint32_t index;
  const TFrameResult r = FindComment(Description, Language, found, index);
  if (r != Success && r != NotFound) return r;
  if (index == 0 && Comment.Text.empty()) return Success;
  if (Comment.Encoding >= 4) return InvalidEncoding;
  if (Comment.Language.size() != 3 ||
      std::any_of(Comment.Language.begin(), Comment.Language.end(),
                  [](char c) { return std::uint8_t(c) < 0x20; }))
    return InvalidLanguage;
  if (index && Comment.Text.empty()) {
    Frames.DeleteFrame(index);
    return Deleted;
  }
  if (!index) index = Frames.AddFrame("COMM");
  TFrameRecord& fr = Frames.Record(index);
  fr.ReadFlags[1] = 0;
  fr.DataLength = 0;
  // The texts are written in the encoding the record names, so that the byte says the truth.
  TBytes& d = fr.Data;
  d.clear();
  d.push_back(Comment.Encoding);
  d.insert(d.end(), Comment.Language.begin(), Comment.Language.end());
  std::string desc = Comment.Description;
  if (!desc.empty() && desc.back() == '\0') desc.pop_back();
  if (Comment.Encoding == 1) d.insert(d.end(), {0xFF, 0xFE});
  AppendEncoded(d, desc, Comment.Encoding, true);
  if (Comment.Encoding == 1) d.insert(d.end(), {0xFF, 0xFE});
  AppendEncoded(d, Comment.Text, Comment.Encoding, false);
  fr.Modified = 1;
  return Success;
}

// ---------------------------------------------------------------------------------------------
// Writing
//
// Choices where the format leaves room:
// - CRC-32: the published CRC (register from all ones, final inversion), as readers that check
//   it compute it; for ID3v2.3 over the frames before unsynchronisation, as that version
//   defines it; for ID3v2.4 over the frames as written. Padding is not included.
// - The footer flag is not written: no footer is written, and a reader told there is one would
//   look for it.
// - With FixFlagConflicts, encryption and grouping wishes are made to match the data as it is,
//   so data is never written under a flag that misdescribes it. A compression or
//   unsynchronisation that cannot be applied or undone is handled the same way (warning 0x08).
// - An unsynchronised ID3v2.3 tag whose last byte would be $FF gets one byte of padding, so
//   that the byte after the tag cannot form a false synchronisation with it.

struct TagWriter {
  static constexpr std::size_t kBlock = 16384;
  tagio::File file;
  std::unique_ptr<std::uint8_t[]> out{new std::uint8_t[kBlock]};
  std::size_t outUsed = 0;
  Tid3v2tag* tag = nullptr;
  TTagStatus status = 0;
  std::uint64_t progressTotal = 1, progressDone = 0;

  // Appends n bytes to the output block, writing it out each time it is full; n = 0 flushes.
  void BufferedWrite(const std::uint8_t* src, std::size_t n) {
    if (n == 0) {
      if (outUsed) file.WriteAll(out.get(), outUsed);
      outUsed = 0;
      return;
    }
    while (n) {
      const std::size_t piece = std::min(n, kBlock - outUsed);
      std::memcpy(out.get() + outUsed, src, piece);
      outUsed += piece;
      src += piece;
      n -= piece;
      if (outUsed == kBlock) BufferedWrite(nullptr, 0);
    }
  }
  void BufferedWrite(const TBytes& b) {
    if (!b.empty()) BufferedWrite(b.data(), b.size());
  }

  void Advance(std::uint64_t n) {
    progressDone += n;
    tag->Progress = std::uint8_t(10 + std::min<std::uint64_t>(90, progressDone * 90 / progressTotal));
  }
};

namespace {

void PutBE32(TBytes& b, std::uint32_t v) {
  b.insert(b.end(), {std::uint8_t(v >> 24), std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v)});
}
void PutSynchsafe(TBytes& b, std::uint32_t v) {
  b.insert(b.end(), {std::uint8_t(v >> 21 & 0x7F), std::uint8_t(v >> 14 & 0x7F),
                     std::uint8_t(v >> 7 & 0x7F), std::uint8_t(v & 0x7F)});
}

// Size of unsynchronised data before its unsynchronisation.
std::uint32_t PlainSize(const TBytes& data) {
  TBytes copy = data;
  return std::uint32_t(ResyncBuffer(copy.data(), copy.size()));
}

// A frame's header and extra bytes as they will be written (ID3v2.3 not yet unsynchronised).
TBytes FrameHeader(const TFrameRecord& r, bool v24) {
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
void UnsyncHeader(TBytes& h, const TBytes& data) {
  const std::size_t n = h.size();
  h.push_back(data.empty() ? 0x41 : data[0]);  // a neutral follower when there is no data
  const int count = UnsyncCountBuffer(h.data(), int(h.size()));
  h.resize(h.size() + std::size_t(count));
  UnsyncBuffer(h.data(), int(n));
  h.resize(n + std::size_t(count));
}

}  // namespace

TTagStatus Tid3v2tag::WriteTag(TagWriter& w, std::uint8_t Version, std::uint8_t Revision) {
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

  // Tag-wide unsynchronisation: one frame's wish makes it the tag's, and the tag's is every
  // frame's.
  for (std::uint32_t i = 1; i <= Frames.Count(); ++i)
    if (Frames.Record(i).WriteFlags[1] & frameflag::Unsynchronisation) Flags |= 0x80;
  if (Flags & 0x80)
    for (std::uint32_t i = 1; i <= Frames.Count(); ++i)
      Frames.Record(i).WriteFlags[1] |= frameflag::Unsynchronisation;

  if (TidyFrames) {
    for (std::uint32_t i = Frames.Count(); i >= 1; --i) {
      TFrameRecord& r = Frames.Record(i);
      if ((r.WriteFlags[1] & frameflag::Compression) && !(r.WriteFlags[1] & frameflag::DataLengthIndicator))
        r.WriteFlags[1] |= frameflag::DataLengthIndicator;
      if (r.Data.empty()) Frames.DeleteFrame(i);
    }
    if (Frames.Count() == 0) return stop(NoFrames);
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
        if (!FixFlagConflicts) return stop(DataLengthOnEncrypted);
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
    Progress = std::uint8_t(5 * i / n);
    TFrameRecord& r = Frames.Record(i);
    if (!((r.ReadFlags[1] ^ r.WriteFlags[1]) & frameflag::Compression)) continue;
    ProgressText = "Applying compression";
    // Compression works on the plain data: undo an unsynchronisation first (redone below).
    Frames.Resynchronise(i);
    if (r.ReadFlags[1] & frameflag::Compression) {
      Frames.Decompress(i);
    } else {
      Frames.Compress(i, std::min<int>(CompressionLevel, 3));
    }
    follow(r, frameflag::Compression);
  }

  for (std::uint32_t i = 1; i <= n; ++i) {
    TFrameRecord& r = Frames.Record(i);
    if (!((r.ReadFlags[1] ^ r.WriteFlags[1]) & frameflag::Encryption)) continue;
    if (!FixFlagConflicts) return stop(EncryptionConflict);
    follow(r, frameflag::Encryption);
  }

  for (std::uint32_t i = 1; i <= n; ++i) {
    Progress = std::uint8_t(5 * i / n + 5);
    TFrameRecord& r = Frames.Record(i);
    if (!((r.ReadFlags[1] ^ r.WriteFlags[1]) & frameflag::Unsynchronisation)) continue;
    ProgressText = "Applying unsync";
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
    if (!FixFlagConflicts) return stop(GroupingConflict);
    r.WriteFlags[1] ^= frameflag::Grouping;
    status |= WarnFlagsAdjusted;
  }

  // Old tag length.
  std::uint32_t crc = 0xFFFFFFFF;
  std::uint64_t X = 0;
  if (L - offset >= 10) {
    std::uint8_t h[10];
    w.file.ReadExact(h, 10);
    w.file.Seek(offset);
    if (std::memcmp(h, "ID3", 3) == 0 && h[3] < 0xFF && h[4] < 0xFF && !((h[6] | h[7] | h[8] | h[9]) & 0x80))
      X = std::min<std::uint64_t>(Synchsafe32(h + 6) + 10ull, L - offset);
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
    std::uint32_t p = std::uint32_t((std::uint32_t(L) / B + 1) * B - (std::uint32_t(L) - std::uint32_t(X)) - std::uint32_t(T));
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
      extBytes.insert(extBytes.end(), {5, std::uint8_t(crc >> 28 & 0x0F), std::uint8_t(crc >> 21 & 0x7F),
                                       std::uint8_t(crc >> 14 & 0x7F), std::uint8_t(crc >> 7 & 0x7F),
                                       std::uint8_t(crc & 0x7F)});
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
  std::unique_ptr<std::uint8_t[]> block(new std::uint8_t[TagWriter::kBlock]);
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
    // From the last block to the first: the audio moves towards the end.
    std::uint64_t left = A;
    const std::uint64_t from = offset + X, to = offset + T;
    while (left) {
      const std::size_t piece = std::size_t(std::min<std::uint64_t>(left, TagWriter::kBlock));
      left -= piece;
      f.Seek(from + left);
      f.ReadExact(block.get(), piece);
      f.Seek(to + left);
      f.WriteAll(block.get(), piece);
      w.Advance(piece);
    }
  } else if (T < X) {
    if (A > 0) ProgressText = "Re-positioning audio data";
    std::uint64_t done = 0;
    const std::uint64_t from = offset + X, to = offset + T;
    while (done < A) {
      const std::size_t piece = std::size_t(std::min<std::uint64_t>(A - done, TagWriter::kBlock));
      f.Seek(from + done);
      f.ReadExact(block.get(), piece);
      f.Seek(to + done);
      f.WriteAll(block.get(), piece);
      done += piece;
      w.Advance(piece);
    }
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
  std::memset(block.get(), 0, TagWriter::kBlock);
  for (std::uint64_t left = P; left;) {
    const std::size_t piece = std::size_t(std::min<std::uint64_t>(left, TagWriter::kBlock));
    w.BufferedWrite(block.get(), piece);
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

TTagStatus Tid3v2tag::SaveToFile(const std::string& FileName, std::uint8_t Version,
                                 std::uint8_t Revision, std::int64_t Offset) {
  const bool same = FileName == "=";
  const std::string name = same ? this->FileName : FileName;
  const std::int64_t offset = Offset >= 0 ? Offset : (same ? TagOffset : 0);
  if (Status >= 0x0100) return CorruptTag;
  if (!tagio::FileExists(name)) return FileNotFound;
  if (tagio::FileProtected(name)) return tagstatus::FileProtected;
  TagWriter writer;
  writer.tag = this;
  try {
    writer.file.Open(name, true);
    if (offset > INT32_MAX) return OffsetOutsideFile;  // tag positions are 32-bit
    writer.file.Seek(std::uint64_t(offset));
    const TTagStatus result = WriteTag(writer, Version, Revision);
    if (result < 0x0100) this->FileName = name;
    return result;
  } catch (const tagio::TagIoError& e) {
    return Fail(writer.status, tagio::StatusClass(e.Kind));
  }
}
