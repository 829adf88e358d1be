#include "mp3gen.h"

#include <lame/lame.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <numbers>
#include <unistd.h>

namespace sonoverne::mp3gen {

namespace {

void PutBigEndian32(std::string& out, std::uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>((v >> shift) & 0xFF));
}

void PutSyncSafe32(std::string& out, std::uint32_t v)
{
    if (v >= (1u << 28)) throw Error("ID3v2 tag larger than 256 MB");
    for (int shift = 21; shift >= 0; shift -= 7) out.push_back(static_cast<char>((v >> shift) & 0x7F));
}

void PutFrame(std::string& out, int version, std::string_view id, std::string_view data)
{
    if (id.size() != 4) throw Error("ID3v2 frame id must have four characters: " + std::string(id));
    out.append(id);
    if (version == 4) PutSyncSafe32(out, static_cast<std::uint32_t>(data.size()));
    else PutBigEndian32(out, static_cast<std::uint32_t>(data.size()));
    out.append(2, '\0');  // no status or format flags
    out.append(data);
}

// One string in the tag's encoding, with its terminator when `terminated`.
void PutString(std::string& out, TextEncoding encoding, std::string_view latin1, bool terminated)
{
    switch (encoding) {
    case TextEncoding::Latin1:
        out.append(latin1);
        if (terminated) out.push_back('\0');
        break;
    case TextEncoding::Utf16:
        out.append("\xFF\xFE");
        for (char c : latin1) {
            out.push_back(c);  // ISO-8859-1 is the first 256 code points
            out.push_back('\0');
        }
        if (terminated) out.append(2, '\0');
        break;
    case TextEncoding::Utf8:
        out.append(Latin1ToUtf8(latin1));
        if (terminated) out.push_back('\0');
        break;
    }
}

void PutTextFrame(std::string& out, const Id3v2Spec& spec, std::string_view id, const std::string& text)
{
    if (text.empty()) return;
    PutFrame(out, spec.version, id, TextFrameData(spec, text));
}

// Fixed-width ID3v1 field: cut or padded with zero bytes.
void PutField(std::string& out, const std::string& text, std::size_t width)
{
    out.append(text.substr(0, width));
    out.append(width - std::min(width, text.size()), '\0');
}

int BitrateIndex(int kbps)
{
    static constexpr int kRates[] = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    for (int i = 0; i < 14; ++i)
        if (kRates[i] == kbps) return i + 1;
    throw Error("not an MPEG-1 Layer III bit rate: " + std::to_string(kbps));
}

int SampleRateIndex(int hz)
{
    switch (hz) {
    case 44100: return 0;
    case 48000: return 1;
    case 32000: return 2;
    default: throw Error("not an MPEG-1 sample rate: " + std::to_string(hz));
    }
}

struct LameDeleter {
    void operator()(lame_global_flags* gf) const { lame_close(gf); }
};

}  // namespace

std::string TextFrameData(const Id3v2Spec& spec, std::string_view latin1)
{
    std::string data(1, static_cast<char>(spec.encoding));
    PutString(data, spec.encoding, latin1, spec.terminated);
    return data;
}

std::string Id3v2Tag(const Id3v2Spec& spec)
{
    if (spec.version != 3 && spec.version != 4) throw Error("ID3v2 version must be 3 or 4");
    if (spec.encoding == TextEncoding::Utf8 && spec.version != 4) throw Error("UTF-8 texts need ID3v2.4");
    std::string frames;
    const TagTexts& t = spec.texts;
    PutTextFrame(frames, spec, "TIT2", t.title);
    PutTextFrame(frames, spec, "TPE1", t.artist);
    PutTextFrame(frames, spec, "TALB", t.album);
    PutTextFrame(frames, spec, spec.version == 4 ? "TDRC" : "TYER", t.year);
    PutTextFrame(frames, spec, "TCON", t.genre);
    PutTextFrame(frames, spec, "TRCK", t.track);
    if (!t.comment.empty()) {
        // Encoding, language, empty description with its terminator, then the text.
        std::string data(1, static_cast<char>(spec.encoding));
        data.append("eng");
        PutString(data, spec.encoding, "", true);
        PutString(data, spec.encoding, t.comment, spec.terminated);
        PutFrame(frames, spec.version, "COMM", data);
    }
    for (const RawFrame& f : spec.extraFrames) PutFrame(frames, spec.version, f.id, f.data);

    std::string tag = "ID3";
    tag.push_back(static_cast<char>(spec.version));  // 2.3.0 or 2.4.0
    tag.push_back('\0');
    tag.push_back('\0');  // no unsynchronisation, extended header or experimental flag
    PutSyncSafe32(tag, static_cast<std::uint32_t>(frames.size() + spec.padding));
    tag += frames;
    tag.append(spec.padding, '\0');
    return tag;
}

std::string Id3v1Block(const Id3v1Spec& spec)
{
    if (spec.track < 0 || spec.track > 255) throw Error("ID3v1 track out of range");
    if (spec.genre < 0 || spec.genre > 255) throw Error("ID3v1 genre out of range");
    std::string out = "TAG";
    PutField(out, spec.title, 30);
    PutField(out, spec.artist, 30);
    PutField(out, spec.album, 30);
    PutField(out, spec.year, 4);
    if (spec.track > 0) {
        PutField(out, spec.comment, 28);
        out.push_back('\0');
        out.push_back(static_cast<char>(spec.track));
    } else {
        PutField(out, spec.comment, 30);
    }
    out.push_back(static_cast<char>(spec.genre));
    return out;
}

std::string SilentFrames(int count, int bitrateKbps, int sampleRate)
{
    const int rateIndex = BitrateIndex(bitrateKbps);
    const int srIndex = SampleRateIndex(sampleRate);
    // Frame length is 144 * bitrate / sample rate bytes; the remainder is spread as padding bytes.
    const long numerator = 144L * bitrateKbps * 1000;
    const int baseLength = static_cast<int>(numerator / sampleRate);
    const long remainder = numerator % sampleRate;
    long carried = 0;
    std::string out;
    out.reserve(static_cast<std::size_t>(std::max(count, 0)) * (baseLength + 1));
    for (int i = 0; i < count; ++i) {
        carried += remainder;
        const bool pad = carried >= sampleRate;
        if (pad) carried -= sampleRate;
        out.push_back('\xFF');
        out.push_back('\xFB');  // MPEG-1, Layer III, no CRC
        out.push_back(static_cast<char>((rateIndex << 4) | (srIndex << 2) | (pad ? 2 : 0)));
        out.push_back('\0');  // stereo, no emphasis
        // Zero side information: no main data, no bits in any granule, so every sample is zero.
        out.append(baseLength + (pad ? 1 : 0) - 4, '\0');
    }
    return out;
}

std::string ToneFrames(const std::vector<Note>& melody, int bitrateKbps, int sampleRate)
{
    BitrateIndex(bitrateKbps);
    SampleRateIndex(sampleRate);
    std::vector<short> pcm;  // interleaved stereo
    for (const Note& note : melody) {
        const auto n = static_cast<std::size_t>(std::max(0.0, note.seconds) * sampleRate);
        const double fade = std::min(0.02 * sampleRate, n / 2.0);
        for (std::size_t i = 0; i < n; ++i) {
            double v = 0;
            if (note.hz > 0) {
                const double phase = 2 * std::numbers::pi * note.hz * static_cast<double>(i) / sampleRate;
                const double envelope = std::min({1.0, (i + 1) / fade, (n - i) / fade}) *
                                        std::exp(-1.5 * static_cast<double>(i) / sampleRate);
                v = envelope * (0.22 * std::sin(phase) + 0.06 * std::sin(2 * phase));
            }
            const auto s = static_cast<short>(std::lround(v * 32767));
            pcm.push_back(s);
            pcm.push_back(s);
        }
    }

    std::unique_ptr<lame_global_flags, LameDeleter> gf(lame_init());
    if (!gf) throw Error("lame_init failed");
    lame_set_in_samplerate(gf.get(), sampleRate);
    lame_set_out_samplerate(gf.get(), sampleRate);
    lame_set_num_channels(gf.get(), 2);
    lame_set_mode(gf.get(), JOINT_STEREO);
    lame_set_brate(gf.get(), bitrateKbps);
    lame_set_VBR(gf.get(), vbr_off);
    lame_set_bWriteVbrTag(gf.get(), 0);
    lame_set_write_id3tag_automatic(gf.get(), 0);
    lame_set_quality(gf.get(), 5);
    if (lame_init_params(gf.get()) < 0) throw Error("lame_init_params failed");

    const int frames = static_cast<int>(pcm.size() / 2);
    std::string out(static_cast<std::size_t>(frames) * 5 / 4 + 7200 * 2, '\0');
    auto* buf = reinterpret_cast<unsigned char*>(out.data());
    const int encoded = lame_encode_buffer_interleaved(gf.get(), pcm.data(), frames, buf, static_cast<int>(out.size()));
    if (encoded < 0) throw Error("lame_encode_buffer_interleaved failed: " + std::to_string(encoded));
    const int flushed = lame_encode_flush(gf.get(), buf + encoded, static_cast<int>(out.size()) - encoded);
    if (flushed < 0) throw Error("lame_encode_flush failed: " + std::to_string(flushed));
    out.resize(static_cast<std::size_t>(encoded + flushed));
    return out;
}

std::string Mp3Bytes(const Mp3Spec& spec)
{
    std::string out;
    if (spec.id3v2) out = Id3v2Tag(*spec.id3v2);
    out += spec.audio;
    if (spec.id3v1) out += Id3v1Block(*spec.id3v1);
    return out;
}

void WriteFile(const std::string& path, std::string_view bytes)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) throw Error("cannot create " + path + ": " + std::strerror(errno));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int err = errno;
            ::close(fd);
            throw Error("cannot write " + path + ": " + std::strerror(err));
        }
        done += static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0) throw Error("cannot close " + path + ": " + std::strerror(errno));
}

void WriteMp3(const std::string& path, const Mp3Spec& spec) { WriteFile(path, Mp3Bytes(spec)); }

std::string Utf8ToLatin1(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            ++i;
            continue;
        }
        int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        std::uint32_t code = c & (0x3F >> extra);
        std::size_t j = i + 1;
        for (; extra > 0 && j < utf8.size() && (static_cast<unsigned char>(utf8[j]) & 0xC0) == 0x80; ++j, --extra)
            code = (code << 6) | (static_cast<unsigned char>(utf8[j]) & 0x3F);
        const bool whole = extra == 0 && j > i + 1;
        out.push_back(whole && code >= 0x80 && code <= 0xFF ? static_cast<char>(code) : '?');
        i = j;
    }
    return out;
}

std::string Latin1ToUtf8(std::string_view latin1)
{
    std::string out;
    out.reserve(latin1.size() * 2);
    for (char ch : latin1) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out.push_back(ch);
        } else {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

}  // namespace sonoverne::mp3gen
