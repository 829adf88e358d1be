#include "id3codecs.h"
#include "id3v2.h"
#include "tagtest.h"

#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <random>

using namespace tagtest;

namespace {

std::string Deflate(const std::string& in, int level = Z_DEFAULT_COMPRESSION)
{
    uLongf n = compressBound(uLong(in.size()));
    std::string out(n, '\0');
    compress2(reinterpret_cast<Bytef*>(out.data()), &n, reinterpret_cast<const Bytef*>(in.data()), uLong(in.size()),
              level);
    out.resize(n);
    return out;
}

// One frame holding the given data in the given state.
struct OneFrame {
    TFrameIndex frames;
    OneFrame(const std::string& data, std::uint8_t state = 0)
    {
        frames.AddFrame("TIT2");
        frames.Data(1) = ToBytes(data);
        frames.SetReadFlags(1, 2, state);
    }
    std::string Data() { return ToString(frames.Data(1)); }
};

}  // namespace

TEST(ZLib, CompressThenDecompressAtEveryLevel)
{
    const std::string text = "hello hello hello, the same words again and again and again";
    for (int level = 0; level <= 3; ++level) {
        void* packed = nullptr;
        int packedSize = 0;
        ZCompressBuffer(text.data(), int(text.size()), packed, level, packedSize);
        ASSERT_NE(packed, nullptr);
        void* plain = nullptr;
        int plainSize = 0;
        ZDecompressBuffer(packed, packedSize, plain, 0, plainSize);
        EXPECT_EQ(std::string(static_cast<char*>(plain), std::size_t(plainSize)), text) << level;
        if (level == 0) {
            EXPECT_GT(packedSize, int(text.size()));  // stored, not compressed
        } else {
            EXPECT_LT(packedSize, int(text.size()));
        }
        std::free(packed);
        std::free(plain);
    }
}

TEST(ZLib, OutputLargerThanTheFirstBufferGrows)
{
    // Highly compressible: the output needs many more bytes than the input's rounded size.
    const std::string big(300000, 'a');
    void* packed = nullptr;
    int packedSize = 0;
    ZCompressBuffer(big.data(), int(big.size()), packed, 2, packedSize);
    void* plain = nullptr;
    int plainSize = 0;
    ZDecompressBuffer(packed, packedSize, plain, 0, plainSize, big.size());
    EXPECT_EQ(plainSize, int(big.size()));
    EXPECT_EQ(std::memcmp(plain, big.data(), big.size()), 0);
    std::free(packed);
    std::free(plain);
    // Random data does not compress: deflate must grow its buffer past the first estimate.
    std::string noise = Audio(5000, 7);
    ZCompressBuffer(noise.data(), int(noise.size()), packed, 3, packedSize);
    ZDecompressBuffer(packed, packedSize, plain, 0, plainSize);
    EXPECT_EQ(std::string(static_cast<char*>(plain), std::size_t(plainSize)), noise);
    std::free(packed);
    std::free(plain);
}

TEST(ZLib, ErrorsRaiseTheirMessages)
{
    EXPECT_EQ(ZCheckCompress(5), 5);
    EXPECT_EQ(ZCheckDecompress(0), 0);
    const std::pair<int, const char*> codes[] = {{-1, "file error"},   {-2, "stream error"},
                                                 {-3, "data error"},   {-4, "insufficient memory"},
                                                 {-5, "buffer error"}, {-6, "incompatible version"}};
    for (auto [code, text] : codes) {
        try {
            ZCheckCompress(code);
            ADD_FAILURE() << code;
        } catch (const EZCompressionError& e) {
            EXPECT_STREQ(e.what(), text);
        }
        try {
            ZCheckDecompress(code);
            ADD_FAILURE() << code;
        } catch (const EZDecompressionError& e) {
            EXPECT_STREQ(e.what(), text);
        }
    }
    // A corrupt stream: the inflate reports a data error.
    std::string bad = Deflate("some text to spoil");
    bad[4] = char(0xFF);
    bad[5] = char(0xFF);
    void* out = nullptr;
    int outSize = 0;
    try {
        ZDecompressBuffer(bad.data(), int(bad.size()), out, 0, outSize);
        ADD_FAILURE() << "no error";
    } catch (const EZDecompressionError& e) {
        EXPECT_STREQ(e.what(), "data error");
    }
    EXPECT_EQ(out, nullptr);
    // Truncated: the stream ends early, a buffer error; the base class catches both kinds.
    const std::string cut = Deflate(std::string(1000, 'x') + Audio(100)).substr(0, 20);
    EXPECT_THROW(ZDecompressBuffer(cut.data(), int(cut.size()), out, 0, outSize), EZLibError);
}

TEST(ZLib, InflationStopsAtItsLimit)
{
    // 64 MiB of zeros in ~64 KiB: a frame that would eat the memory.
    const std::string bomb = Deflate(std::string(64u << 20, '\0'), 9);
    void* out = nullptr;
    int outSize = 0;
    EXPECT_THROW(ZDecompressBuffer(bomb.data(), int(bomb.size()), out, 0, outSize), EZDecompressionError);
    EXPECT_THROW(ZDecompressBuffer(bomb.data(), int(bomb.size()), out, 0, outSize, 1000), EZDecompressionError);
    // Exactly at the limit is fine; one byte less is not.
    const std::string five = Deflate("hello");
    ZDecompressBuffer(five.data(), int(five.size()), out, 0, outSize, 5);
    EXPECT_EQ(outSize, 5);
    std::free(out);
    EXPECT_THROW(ZDecompressBuffer(five.data(), int(five.size()), out, 0, outSize, 4), EZDecompressionError);
    // A lying estimate does not allocate past the limit either.
    ZDecompressBuffer(five.data(), int(five.size()), out, 0x7FFFFFFF, outSize, 5);
    EXPECT_EQ(outSize, 5);
    std::free(out);
}

TEST(CRC32, PublishedCheckValue)
{
    std::uint32_t crc = 0xFFFFFFFF;
    UpdateCRC32("123456789", 9, crc);
    EXPECT_EQ(crc, 0x340BC6D9u);
    EXPECT_EQ(~crc, 0xCBF43926u);
    // In pieces, the same; a count of 0 changes nothing.
    std::uint32_t split = 0xFFFFFFFF;
    UpdateCRC32("1234", 4, split);
    UpdateCRC32("", 0, split);
    UpdateCRC32("56789", 5, split);
    EXPECT_EQ(split, crc);
}

TEST(Unsync, CountsAndBuffers)
{
    EXPECT_EQ(UnsyncCount(0x00FFE000), 1);
    EXPECT_EQ(UnsyncCount(0xFF000000), 1);
    EXPECT_EQ(UnsyncCount(0x000000FF), 0);
    EXPECT_EQ(UnsyncCount(0xFFFFFFFF), 3);
    const std::uint8_t ends[] = {0x41, 0xFF};
    EXPECT_EQ(UnsyncCountBuffer(ends, 2), 0);
    std::uint8_t buf[16] = {0xFF, 0xFF, 0xFF, 0x41, 0xFF, 0xE0};
    EXPECT_EQ(UnsyncBuffer(buf, 5), 3);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), 9), Bytes({0xFF, 0, 0xFF, 0, 0xFF, 0x41, 0xFF, 0, 0xE0}));
}

TEST(Unsync, RandomBuffersRoundTrip)
{
    std::mt19937 rng(12345);
    const std::uint8_t alphabet[] = {0x00, 0xFF, 0xE0, 0xFE, 0x41, 0x00, 0xFF};
    for (int round = 0; round < 2000; ++round) {
        std::string plain(rng() % 40, '\0');
        for (char& c : plain) c = char(alphabet[rng() % sizeof alphabet]);
        const std::string expected = Unsync(plain);
        OneFrame f(plain);
        ASSERT_EQ(f.frames.Unsynchronise(1), 0);
        ASSERT_EQ(f.Data(), expected) << Hex(plain);
        EXPECT_EQ(f.frames.GetRawSize(1), plain.size());
        EXPECT_EQ(UnsyncCountBuffer(reinterpret_cast<const std::uint8_t*>(plain.data()), int(plain.size())),
                  int(expected.size() - plain.size()));
        ASSERT_EQ(f.frames.Resynchronise(1), 0);
        ASSERT_EQ(f.Data(), plain) << Hex(plain);
    }
}

TEST(FrameTransforms, UnsynchroniseAndResynchroniseCases)
{
    const std::pair<std::string, std::string> cases[] = {
        {Bytes({0xFF, 0xE0}), Bytes({0xFF, 0x00, 0xE0})},
        {Bytes({0xFF, 0x00}), Bytes({0xFF, 0x00, 0x00})},
        {Bytes({0xFF, 0x41}), Bytes({0xFF, 0x41})},
        {Bytes({0x41, 0xFF}), Bytes({0x41, 0xFF})},
        {Bytes({0xFF, 0xFF, 0xFF}), Bytes({0xFF, 0x00, 0xFF, 0x00, 0xFF})},
    };
    for (const auto& [plain, unsynced] : cases) {
        OneFrame f(plain);
        EXPECT_EQ(f.frames.Unsynchronise(1), 0);
        EXPECT_EQ(f.Data(), unsynced);
        EXPECT_TRUE(f.frames.IsUnsynchronised(1));
        EXPECT_EQ(f.frames.GetDataLength(1), plain.size());  // plain data: the length is recorded
        EXPECT_EQ(f.frames.Unsynchronise(1), -1);
        EXPECT_EQ(f.frames.Resynchronise(1), 0);
        EXPECT_EQ(f.Data(), plain);
        EXPECT_EQ(f.frames.Resynchronise(1), -1);
    }
    OneFrame stays(Bytes({0xFF, 0x00, 0x41}), 0x02);
    EXPECT_EQ(stays.frames.Resynchronise(1), 0);
    EXPECT_EQ(stays.Data(), Bytes({0xFF, 0x00, 0x41}));
    // Compressed data keeps its recorded length; only the raw size follows the data.
    OneFrame packed(Bytes({0xFF, 0xE0}), 0x08);
    packed.frames.SetDataLength(1, 77);
    EXPECT_EQ(packed.frames.Unsynchronise(1), 0);
    EXPECT_EQ(packed.frames.GetDataLength(1), 77u);
    EXPECT_EQ(packed.frames.GetRawSize(1), 2u);
}

TEST(FrameTransforms, CompressAndDecompress)
{
    OneFrame f("hello");
    EXPECT_EQ(f.frames.Compress(1, 2), 0);
    EXPECT_EQ(f.frames.GetDataLength(1), 5u);
    EXPECT_TRUE(f.frames.IsCompressed(1));
    EXPECT_EQ(f.frames.Record(1).Modified, 1);
    EXPECT_EQ(f.frames.Compress(1, 2), -1);
    EXPECT_EQ(f.frames.Decompress(1), 0);
    EXPECT_EQ(f.Data(), "hello");
    EXPECT_EQ(f.frames.GetDataLength(1), 5u);
    EXPECT_FALSE(f.frames.IsCompressed(1));
    EXPECT_EQ(f.frames.Decompress(1), -1);

    OneFrame unsynced("abc", 0x02), encrypted("abc", 0x04), both("abc", 0x06);
    EXPECT_EQ(unsynced.frames.Compress(1, 2), 2);
    EXPECT_EQ(unsynced.Data(), "abc");
    EXPECT_EQ(encrypted.frames.Compress(1, 2), 1);
    EXPECT_EQ(both.frames.Compress(1, 2), 2);
    OneFrame unsyncedPacked("abc", 0x0A), encryptedPacked("abc", 0x0C);
    EXPECT_EQ(unsyncedPacked.frames.Decompress(1), 2);
    EXPECT_EQ(encryptedPacked.frames.Decompress(1), 1);
}

TEST(FrameTransforms, DecompressFailuresAndMismatches)
{
    OneFrame junk("not a zlib stream", 0x08);
    junk.frames.SetDataLength(1, 10);
    junk.frames.Record(1).Modified = 0;
    EXPECT_EQ(junk.frames.Decompress(1), 4);
    EXPECT_EQ(junk.Data(), "not a zlib stream");
    EXPECT_TRUE(junk.frames.IsCompressed(1));
    EXPECT_EQ(junk.frames.Record(1).Modified, 0);

    // No recorded length: inflated all the same, reported as a mismatch.
    OneFrame unknown(Deflate("hello"), 0x08);
    EXPECT_EQ(unknown.frames.Decompress(1), -2);
    EXPECT_EQ(unknown.Data(), "hello");
    EXPECT_EQ(unknown.frames.GetDataLength(1), 0u);
    EXPECT_FALSE(unknown.frames.IsCompressed(1));

    // A stated length above the real one: inflated, mismatch.
    OneFrame longer(Deflate("hello"), 0x08);
    longer.frames.SetDataLength(1, 50);
    EXPECT_EQ(longer.frames.Decompress(1), -2);
    EXPECT_EQ(longer.Data(), "hello");

    // Inflating past the stated length stops there, and the frame stays as it was.
    const std::string packed = Deflate(std::string(100000, 'z'));
    OneFrame bomb(packed, 0x08);
    bomb.frames.SetDataLength(1, 10);
    EXPECT_EQ(bomb.frames.Decompress(1), 4);
    EXPECT_EQ(bomb.Data(), packed);
    EXPECT_EQ(bomb.frames.GetDataLength(1), 10u);
}

TEST(FrameTransforms, OutOfRangeIndexesRaise)
{
    OneFrame f("x");
    for (std::uint32_t bad : {0u, 2u}) {
        try {
            f.frames.Compress(bad, 1);
            ADD_FAILURE();
        } catch (const ERangeError& e) {
            EXPECT_STREQ(e.what(), "Array range out of bounds.");
        }
        EXPECT_THROW(f.frames.Decompress(bad), ERangeError);
        EXPECT_THROW(f.frames.Unsynchronise(bad), ERangeError);
        EXPECT_THROW(f.frames.Resynchronise(bad), ERangeError);
    }
}
