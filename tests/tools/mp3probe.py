"""Reports what mutagen reads in MP3 files, one fact per tab-separated line.

Arguments: files, or folders searched recursively for files; paths are printed relative to the
folder given (or as given for files), sorted. Lines per file:
  file <path> <size in bytes>
  id3 <version> <tag size in bytes, ID3v2 only>     or  id3 none
  text <frame id> <encoding byte> <ends 0/1> <text>    one per text frame, as stored (no translation)
  comm <language> <description> <encoding byte> <ends 0/1> <text>
<ends> is 1 when the frame's bytes end with the encoding's terminator, which mutagen hides.
  mpeg <sample rate> <bit rate> <length> <channels> <sketchy 0/1>   or  mpeg none
"""
import os
import sys

import mutagen.id3
import mutagen.mp3


def raw_frames(path):
    """Frame id -> data, read from the bytes of an ID3v2.3/2.4 tag without mutagen."""
    with open(path, "rb") as f:
        head = f.read(10)
        if len(head) < 10 or head[:3] != b"ID3" or head[3] not in (3, 4):
            return {}
        size = (head[6] << 21) | (head[7] << 14) | (head[8] << 7) | head[9]
        body = f.read(size)
    frames, at = {}, 0
    while at + 10 <= len(body) and body[at] != 0:
        b = body[at + 4:at + 8]
        n = ((b[0] << 21) | (b[1] << 14) | (b[2] << 7) | b[3]) if head[3] == 4 else int.from_bytes(b, "big")
        frames[body[at:at + 4].decode("latin-1")] = body[at + 10:at + 10 + n]
        at += 10 + n
    return frames


def ends(data, head):
    """Whether the UTF-16 units or bytes after `head` bytes (encoding, language) end with 0."""
    if not data:
        return 0
    if data[0] in (1, 2):
        return int((len(data) - head) % 2 == 0 and data.endswith(b"\0\0"))
    return int(data.endswith(b"\0"))


def probe(path, shown):
    print("file", shown, os.path.getsize(path), sep="\t")
    try:
        tag = mutagen.id3.ID3(path, translate=False)
    except mutagen.id3.ID3NoHeaderError:
        tag = None
    if tag is None:
        print("id3", "none", sep="\t")
    else:
        raw = raw_frames(path)
        version = ".".join(str(v) for v in tag.version)
        print("id3", version, tag.size if tag.version[0] == 2 else 0, sep="\t")
        for frame in tag.values():
            if frame.FrameID == "COMM":
                print("comm", frame.lang, frame.desc, int(frame.encoding), ends(raw.get("COMM"), 4),
                      frame.text[0], sep="\t")
            elif isinstance(frame, mutagen.id3.TextFrame):
                print("text", frame.FrameID, int(frame.encoding), ends(raw.get(frame.FrameID), 1),
                      "/".join(map(str, frame.text)), sep="\t")
    try:
        info = mutagen.mp3.MP3(path).info
        print("mpeg", info.sample_rate, info.bitrate, "%.6f" % info.length, info.channels,
              int(info.sketchy), sep="\t")
    except mutagen.MutagenError:
        print("mpeg", "none", sep="\t")


def main():
    for arg in sys.argv[1:]:
        if os.path.isdir(arg):
            found = []
            for folder, _, names in os.walk(arg):
                found += [os.path.join(folder, n) for n in names]
            for path in sorted(found):
                probe(path, os.path.relpath(path, arg))
        else:
            probe(arg, arg)


main()
