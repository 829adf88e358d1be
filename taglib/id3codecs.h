// Byte-level transforms of ID3v2 frames and tags: whole-buffer deflate/inflate over zlib,
// unsynchronisation (the $00 inserted after $FF when the next byte is $00 or >= $E0) and the
// table step of the reflected CRC-32.
//
// Buffers from ZCompressBuffer / ZDecompressBuffer are allocated with std::malloc; the caller
// releases them with std::free. Both raise EZCompressionError / EZDecompressionError.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

class EZLibError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
class EZCompressionError : public EZLibError {
public:
    using EZLibError::EZLibError;
};
class EZDecompressionError : public EZLibError {
public:
    using EZLibError::EZLibError;
};

// The message for a negative zlib code ("data error" for -3, ...).
std::string ZErrorMessage(int Code);

// Raise the matching exception when Code is negative; otherwise return it.
int ZCheckCompress(int Code);
int ZCheckDecompress(int Code);

// LevelIndex 0..3: none, fastest, zlib's default, best.
void ZCompressBuffer(const void* In, int InSize, void*& Out, int LevelIndex, int& OutSize);

// Inflation never produces more than OutLimit bytes: a stream that would inflate past it raises
// EZDecompressionError ("buffer error") instead of eating memory. Callers pass the frame's stated
// data length, or the ceiling below when none is stated.
constexpr std::size_t kZInflateCeiling = 16u << 20;
constexpr std::size_t kZInflateMaximum = 256u << 20;  // more than any tag can hold
void ZDecompressBuffer(const void* In, int InSize, void*& Out, int OutEstimate, int& OutSize,
                       std::size_t OutLimit = kZInflateCeiling);

// One table step per byte; the start value and any final inversion belong to the caller.
void UpdateCRC32(const void* Data, int Count, std::uint32_t& CRC);

// Number of $00 that unsynchronisation inserts between the first Count bytes (a $FF at the end
// is not counted: its follower is outside).
int UnsyncCountBuffer(const std::uint8_t* Buffer, int Count);
// The same over the four bytes of Value written big-endian.
int UnsyncCount(std::uint32_t Value);
// Unsynchronises bytes 0..Last in place and returns the number inserted; the buffer must have
// room for them after Last.
int UnsyncBuffer(std::uint8_t* Buffer, int Last);
// Removes the inserted $00 in place from Count bytes; returns the new length.
std::size_t ResyncBuffer(std::uint8_t* Buffer, std::size_t Count);
