#!/usr/bin/python3
"""mutagen's view of the files the tag editor wrote, and fixtures the editor cannot read whole.

File names are given as "x" followed by the hex of their bytes, so that any name survives.

  dump FILE                 JSON: {"v2": {frame id: [encoding, text]}, "comments": [[encoding,
                            language, description, text]], "v1": {...} or null}
  utf16title FILE TITLE ARTIST
                            writes an ID3v2.3 tag: TIT2 in UTF-16 (TITLE), TPE1 in ISO-8859-1
  v24 FILE TITLE ARTIST COMMENT
                            writes an ID3v2.4 tag in UTF-8, as most Linux taggers do: every text
                            ends with its terminator
  write FILE VERSION FRAMES [v1|v1only]
                            writes an ID3v2.VERSION tag of the frames in the JSON list FRAMES:
                            [id, encoding, [texts]] for text frames (several texts: one frame of
                            several values), ["COMM", encoding, language, description, text];
                            v1: also the ID3v1.1 block mutagen makes of them; v1only: that block
                            alone
  serve                     runs the commands above one after the other, each a line of standard
                            input holding the JSON list of its arguments, and answers each with a
                            line {"ok": true or false, "out": what it printed}: one process, and one
                            start of Python and mutagen, for many files
"""
import contextlib
import io
import json
import sys

from mutagen.id3 import COMM, ID3, TIT2, TPE1, ID3NoHeaderError, Frames, ParseID3v1, delete


def dump(path):
    out = {"v2": {}, "comments": [], "v1": None}
    try:
        tags = ID3(path, translate=False, load_v1=False)
        for key, frame in tags.items():
            if frame.FrameID == "COMM":
                out["comments"].append([int(frame.encoding), frame.lang, frame.desc, str(frame.text[0])])
            elif frame.FrameID.startswith("T"):
                out["v2"][frame.FrameID] = [int(frame.encoding), "/".join(str(t) for t in frame.text)]
            else:
                out["v2"][frame.FrameID] = [-1, ""]
    except ID3NoHeaderError:
        pass
    with open(path, "rb") as f:
        data = f.read()
    if len(data) >= 128 and data[-128:-125] == b"TAG":
        v1 = ParseID3v1(data[-128:], v2_version=3)
        out["v1"] = {v.FrameID: "/".join(str(t) for t in v.text) for v in (v1 or {}).values()}
    print(json.dumps(out))


def utf16title(path, title, artist):
    tags = ID3()
    tags.add(TIT2(encoding=1, text=title))
    tags.add(TPE1(encoding=0, text=artist))
    tags.save(path, v2_version=3)


def v24(path, title, artist, comment):
    tags = ID3()
    tags.add(TIT2(encoding=3, text=title))
    tags.add(TPE1(encoding=3, text=artist))
    tags.add(COMM(encoding=3, lang="eng", desc="", text=comment))
    tags.save(path, v2_version=4)
def write(path, version, frames, v1=""):
    tags = ID3()
    for f in json.loads(frames):
        if f[0] == "COMM":
            tags.add(COMM(encoding=f[1], lang=f[2], desc=f[3], text=f[4]))
        else:
            tags.add(Frames[f[0]](encoding=f[1], text=f[2]))
    tags.save(path, v2_version=int(version), v1=2 if v1 else 0)
    if v1 == "v1only":
        delete(path, delete_v1=False, delete_v2=True)


def name(arg):
    return bytes.fromhex(arg[1:])


def run(args):
    if args[0] == "dump":
        dump(name(args[1]))
    elif args[0] == "utf16title":
        utf16title(name(args[1]), args[2], args[3])
    elif args[0] == "v24":
        v24(name(args[1]), args[2], args[3], args[4])
    elif args[0] == "write":
        write(name(args[1]), *args[2:5])
    else:
        raise ValueError("unknown command " + args[0])


def serve():
    for line in sys.stdin:
        out = io.StringIO()
        try:
            with contextlib.redirect_stdout(out):
                run(json.loads(line))
            ok = True
        except Exception as e:  # told to the caller, the next command still served
            print(repr(e), file=sys.stderr)
            ok = False
        sys.stdout.write(json.dumps({"ok": ok, "out": out.getvalue()}) + "\n")
        sys.stdout.flush()


if __name__ == "__main__":
    if sys.argv[1] == "serve":
        serve()
    else:
        try:
            run(sys.argv[1:])
        except ValueError:
            sys.exit(2)
