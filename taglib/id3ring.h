// The reading ring of an ID3v2 load (internal to the tag library).
#pragma once

#include "id3io.h"
#include "id3v2.h"

#include <algorithm>
#include <cstdint>
#include <memory>

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
    void Borrow(Tid3v2tag& owner)
    {
        tag = &owner;
        Tid3v2tag::ReadBuffers& kept = owner.readBuffers_;
        for (int b = 0; b < 4; ++b) blocks[b] = std::move(kept.blocks[b]);
        file.LendBuffer(std::move(kept.ahead), kept.aheadSize);
    }
    ~TagReader()
    {
        if (!tag) return;
        Tid3v2tag::ReadBuffers& kept = tag->readBuffers_;
        for (int b = 0; b < 4; ++b) kept.blocks[b] = std::move(blocks[b]);
        kept.ahead = file.TakeBuffer(kept.aheadSize);
    }
    std::uint32_t WritePos() const { return (readPos + available) % kRing; }

    void UpdateProgress()
    {
        const std::uint64_t done = file.Position() - std::uint64_t(tag->TagOffset);
        tag->Progress = std::uint8_t(std::min<std::uint64_t>(100, done * 100 / (std::uint64_t(tag->TagSize) + 10)));
    }
    void UpdateRemaining() { remaining = tagEnd - file.Position() + available; }

    // Copies n bytes of the tag from the file into the ring at the write position.
    void Fill(std::uint64_t n)
    {
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
    void RemoveUnsync(std::uint32_t count)
    {
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

    void InitialFill()
    {
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

    void Refill()
    {
        const std::uint64_t inFile = tagEnd - file.Position();
        const std::uint64_t n = std::min<std::uint64_t>(kRing - available, inFile);
        Fill(n);
        if (removeUnsync) RemoveUnsync(std::uint32_t(n));
    }

    // Appends up to n tag bytes to target; fewer only when the tag is exhausted.
    std::uint64_t Read(TBytes* target, std::uint64_t n)
    {
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
    bool Take(std::uint32_t n)
    {
        work.clear();
        return Read(&work, n) == n;
    }
};
