// Loading an ID3v2 tag from a file.
#include "id3v2.h"

#include "id3io.h"
#include "id3v2_detail.h"

#include <algorithm>
#include <cstring>
#include <memory>

using namespace tagstatus;
using namespace id3v2detail;

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

