"""Reports what mutagen reads in MP3 files, one fact per tab-separated line.

Arguments: files, or folders searched recursively for files; paths are printed relative to the
folder given (or as given for files), sorted. Lines per file:
  file <path> <size in bytes>
  id3 <version> <tag size in bytes, ID3v2 only>     or  id3 none
  text <frame id> <encoding byte> <text>            one per text frame, as stored (no translation)
  comm <language> <description> <encoding byte> <text>
  mpeg <sample rate> <bit rate> <length> <channels> <sketchy 0/1>   or  mpeg none
"""
import os
import sys

import mutagen.id3
import mutagen.mp3


def probe(path, shown):
    print("file", shown, os.path.getsize(path), sep="\t")
    try:
        tag = mutagen.id3.ID3(path, translate=False)
    except mutagen.id3.ID3NoHeaderError:
        tag = None
    if tag is None:
        print("id3", "none", sep="\t")
    else:
        version = ".".join(str(v) for v in tag.version)
        print("id3", version, tag.size if tag.version[0] == 2 else 0, sep="\t")
        for frame in tag.values():
            if frame.FrameID == "COMM":
                print("comm", frame.lang, frame.desc, int(frame.encoding), frame.text[0], sep="\t")
            elif isinstance(frame, mutagen.id3.TextFrame):
                print("text", frame.FrameID, int(frame.encoding), "/".join(map(str, frame.text)),
                      sep="\t")
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
