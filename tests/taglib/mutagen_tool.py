#!/usr/bin/python3
"""mutagen's side of the tag library's tests: writes fixtures and reports what it reads.

  dump FILE...        the ID3v2 tag as mutagen reads it (V, F, T and C lines, texts in hex);
                      with several files, each dump follows a line "= FILE"
  fixtures DIR        writes the read fixtures into DIR, one name per line on stdout
  dump1 FILE          the ID3v1 block as mutagen reads it
  write1 FILE TITLE ARTIST ALBUM YEAR COMMENT TRACK GENRE
                      writes an ID3v1 block with mutagen (texts in hex, "x" prefixed)
"""
import os
import struct
import sys
import zlib

from mutagen.id3 import (ID3, TIT2, TPE1, TALB, TYER, TDRC, TCON, TRCK, COMM, ID3NoHeaderError,
                         ParseID3v1, MakeID3v1)

AUDIO = bytes([0xFF, 0xFB, 0x90, 0x64]) + bytes((i * 37 + 11) & 0xFF for i in range(3000))


def hx(s):
    """Hex of the ISO-8859-1 bytes of s, or '!' when s holds a character above 0xFF."""
    try:
        return "x" + s.encode("latin-1").hex()
    except UnicodeEncodeError:
        return "!"


def u8(s):
    """Hex of the UTF-8 bytes of s, the whole text."""
    return "u" + s.encode("utf-8", "surrogatepass").hex()


def dump(path):
    try:
        tags = ID3(path, translate=False, load_v1=False)
    except ID3NoHeaderError:
        print("V 0")
        return
    except Exception as err:  # reported, so that one file does not end a batch
        print("E", type(err).__name__)
        return
    print("V", tags.version[1])
    for frame in tags.values():
        fid = frame.FrameID
        print("F", fid)
        if fid == "COMM":
            text = frame.text[0] if frame.text else ""
            print("C", hx(frame.lang), hx(frame.desc), hx(str(text)), u8(str(text)))
        elif fid.startswith("T") and fid != "TXXX" and hasattr(frame, "text"):
            # Years and timestamps come back as objects; their text is what the frame holds.
            text = str(frame.text[0]) if frame.text else ""
            print("T", fid, hx(text), u8(text))


# ---- raw tags, built here without mutagen's writer -------------------------------------------

def synchsafe(n):
    return bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])


def unsync(data):
    out = bytearray()
    for i, b in enumerate(data):
        out.append(b)
        if b == 0xFF and i + 1 < len(data) and (data[i + 1] == 0 or data[i + 1] >= 0xE0):
            out.append(0)
    return bytes(out)


def text_data(text, enc):
    if enc == 0:
        return b"\x00" + text.encode("latin-1")
    if enc == 1:
        return b"\x01\xff\xfe" + text.encode("utf-16-le")
    if enc == 11:  # UTF-16 with a big-endian byte-order mark
        return b"\x01\xfe\xff" + text.encode("utf-16-be")
    if enc == 2:
        return b"\x02" + text.encode("utf-16-be")
    return b"\x03" + text.encode("utf-8")


def comm_data(lang, desc, text, enc=0):
    codec = {0: "latin-1", 1: "utf-16", 2: "utf-16-be", 3: "utf-8"}[enc]
    term = b"\x00\x00" if enc in (1, 2) else b"\x00"
    return bytes([enc]) + lang.encode() + desc.encode(codec) + term + text.encode(codec)


def frame23(fid, data, status=0, fmt=0):
    return fid.encode() + struct.pack(">I", len(data)) + bytes([status, fmt]) + data


def frame24(fid, data, status=0, fmt=0):
    return fid.encode() + synchsafe(len(data)) + bytes([status, fmt]) + data


def tag(version, body, flags=0):
    return b"ID3" + bytes([version, 0, flags]) + synchsafe(len(body)) + body


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


SIX = [("TIT2", "Titre"), ("TPE1", "Artiste"), ("TALB", "Album"), ("TYER", "1999"),
       ("TCON", "(17)Rock"), ("TRCK", "7/12")]
ACCENTED = [("TIT2", "Été à Paris"), ("TPE1", "Zoë Müller"), ("TALB", "Ñandú ×÷"),
            ("TCON", "Chanson"), ("TRCK", "3")]


def mutagen_file(path, frames, comments, version, enc):
    write(path, AUDIO)
    tags = ID3()
    classes = {"TIT2": TIT2, "TPE1": TPE1, "TALB": TALB, "TYER": TYER, "TCON": TCON, "TRCK": TRCK,
               "TDRC": TDRC}
    for fid, text in frames:
        tags.add(classes[fid](encoding=enc, text=[text]))
    for lang, desc, text in comments:
        tags.add(COMM(encoding=enc, lang=lang, desc=desc, text=[text]))
    tags.save(path, v2_version=version)


def fixtures(folder):
    names = []

    def out(name):
        names.append(name)
        return os.path.join(folder, name + ".mp3")

    comments = [("eng", "", "Un commentaire"), ("fra", "desc", "Autre texte")]
    mutagen_file(out("mutagen_v23_latin1"), SIX, comments, 3, 0)
    mutagen_file(out("mutagen_v23_utf16"), ACCENTED, comments, 3, 1)
    mutagen_file(out("mutagen_v24_latin1"), SIX[:3] + [("TDRC", "2001")], comments, 4, 0)
    mutagen_file(out("mutagen_v24_utf8"), ACCENTED, [("deu", "Größe", "Ça va ?")], 4, 3)
    mutagen_file(out("mutagen_v24_utf16"), ACCENTED, comments, 4, 1)
    mutagen_file(out("mutagen_v24_utf16be"), ACCENTED, comments, 4, 2)
    mutagen_file(out("mutagen_v24_wide"), [("TIT2", "Привет"), ("TPE1", "Nobody")], [], 4, 3)
    # Today's taggers: curly apostrophes, œ, dashes, letters past ISO-8859-1, one outside the BMP.
    wide = [("TIT2", "Don’t Stop Me Now"), ("TPE1", "Dvořák Quartet"), ("TALB", "l’été – live 𝄞"),
            ("TCON", "Cœur")]
    mutagen_file(out("mutagen_v23_utf16_wide"), wide, [("fra", "", "C’est la vie")], 3, 1)
    mutagen_file(out("mutagen_v24_utf8_wide"), wide, [("fra", "", "C’est la vie")], 4, 3)

    # UTF-16 with a big-endian mark; several frames of one identifier; comments that differ
    # only by language or description.
    body = (frame24("TIT2", text_data("Premier", 11)) + frame24("TIT2", text_data("Second", 0))
            + frame24("TPE1", text_data("Groupe", 2))
            + frame24("COMM", comm_data("eng", "", "anglais"))
            + frame24("COMM", comm_data("fra", "", "français"))
            + frame24("COMM", comm_data("fra", "note", "avec description", 1))
            + bytes(300))
    write(out("raw_v24_duplicates"), tag(4, body) + AUDIO)

    # ID3v2.3, the whole tag unsynchronised: texts whose bytes make $FF pairs.
    body = (frame23("TIT2", text_data("ÿàÿ\x00", 0)[:-1] + b"\xff\xe0x")
            + frame23("TPE1", text_data("ÿÿÿz", 0)) + frame23("TALB", text_data("aÿb", 0))
            + frame23("COMM", comm_data("eng", "ÿ", "ÿæÿ!")) + bytes(50))
    write(out("raw_v23_unsync"), tag(3, unsync(body), 0x80) + AUDIO)

    # ID3v2.4, frames unsynchronised one by one (with a data length indicator).
    data = text_data("ÿàÿÿz", 0)
    body = (frame24("TIT2", synchsafe(len(data)) + unsync(data), 0, 0x03)
            + frame24("TPE1", unsync(text_data("Plain", 0)), 0, 0x02) + bytes(20))
    write(out("raw_v24_frame_unsync"), tag(4, body) + AUDIO)

    # Extended headers: ID3v2.3 with a CRC and the padding it states, ID3v2.4 with update, CRC
    # and restrictions.
    frames = frame23("TIT2", text_data("Avec CRC", 0)) + frame23("TPE1", text_data("X", 0))
    crc = zlib.crc32(frames) & 0xFFFFFFFF
    ext = struct.pack(">IHI", 10, 0x8000, 100) + struct.pack(">I", crc)
    write(out("raw_v23_exthdr"), tag(3, ext + frames + bytes(100), 0x40) + AUDIO)
    frames = frame24("TIT2", text_data("Étendu", 3)) + frame24("TALB", text_data("Disque", 0))
    crc = zlib.crc32(frames) & 0xFFFFFFFF
    crc5 = bytes([(crc >> 28) & 0x0F, (crc >> 21) & 0x7F, (crc >> 14) & 0x7F, (crc >> 7) & 0x7F, crc & 0x7F])
    ext = synchsafe(15) + b"\x01\x70" + b"\x00" + b"\x05" + crc5 + b"\x01\x23"
    write(out("raw_v24_exthdr"), tag(4, ext + frames + bytes(64), 0x40) + AUDIO)

    # Compressed frames: ID3v2.3 with its decompressed size, ID3v2.4 with the indicator.
    plain = text_data("Compressé " * 20, 0)
    packed = zlib.compress(plain)
    body = (frame23("TIT2", struct.pack(">I", len(plain)) + packed, 0, 0x80)
            + frame23("COMM", struct.pack(">I", 14) + zlib.compress(comm_data("eng", "", "zipped")), 0, 0x80)
            + bytes(10))
    write(out("raw_v23_compressed"), tag(3, body) + AUDIO)
    body = frame24("TALB", synchsafe(len(plain)) + packed, 0, 0x09) + bytes(10)
    write(out("raw_v24_compressed"), tag(4, body) + AUDIO)

    # A tag far larger than the reader's ring, unsynchronised, with the texts after the bulk.
    bulk = bytes((0xFF, 0xE0, 0xFF, 0x00, 0x41, 0xFF, 0xFF, 0x00)[i % 8] for i in range(150000))
    body = (frame23("PRIV", b"owner\x00" + bulk) + frame23("TIT2", text_data("ÿ après le bloc", 0))
            + frame23("TPE1", text_data("ÿ" * 40 + "z", 0)) + bytes(4000))
    write(out("raw_v23_big_unsync"), tag(3, unsync(body), 0x80) + AUDIO)

    # As lame writes them: UTF-16 texts, the comment's empty description as its terminator
    # alone (no byte-order mark), and another such comment with an empty text too.
    body = (frame23("TIT2", text_data("x", 1))
            + frame23("COMM", b"\x01eng\x00\x00" + b"\xff\xfe" + "Encodé par lame".encode("utf-16-le"))
            + frame23("COMM", b"\x01fradesc".replace(b"desc", "d".encode("utf-16")) + b"\x00\x00\x00\x00")
            + bytes(30))
    write(out("raw_v23_lame"), tag(3, body) + AUDIO)

    # Much padding, and a tag that ends exactly with its last frame.
    body = frame23("TIT2", text_data("Rembourré", 0)) + bytes(20000)
    write(out("raw_v23_padding"), tag(3, body) + AUDIO)
    body = frame24("TIT2", text_data("Sans marge", 0)) + frame24("TRCK", text_data("12", 0))
    write(out("raw_v24_nopadding"), tag(4, body) + AUDIO)

    print("\n".join(names))


def unhx(h):
    return bytes.fromhex(h[1:]).decode("latin-1")


def dump1(path):
    with open(path, "rb") as f:
        data = f.read()
    frames = ParseID3v1(data[-128:]) if len(data) >= 128 else None
    if not frames:
        print("none")
        return
    for key, fid in (("title", "TIT2"), ("artist", "TPE1"), ("album", "TALB"), ("year", "TDRC"),
                     ("comment", "COMM"), ("track", "TRCK"), ("genre", "TCON")):
        frame = frames.get(fid)
        print(key, hx(str(frame.text[0])) if frame else "x")


def write1(path, title, artist, album, year, comment, track, genre):
    frames = {"TIT2": TIT2(text=[unhx(title)]), "TPE1": TPE1(text=[unhx(artist)]),
              "TALB": TALB(text=[unhx(album)]), "TDRC": TDRC(text=[unhx(year)]),
              "COMM": COMM(lang="eng", desc="ID3v1 Comment", text=[unhx(comment)])}
    if int(track):
        frames["TRCK"] = TRCK(text=[track])
    if int(genre) != 255:
        frames["TCON"] = TCON(text=["(%d)" % int(genre)])
    block = MakeID3v1(frames)
    with open(path, "r+b") as f:
        f.seek(0, 2)
        size = f.tell()
        if size >= 128:
            f.seek(-128, 2)
            if f.read(3) == b"TAG":
                f.seek(-128, 2)
            else:
                f.seek(0, 2)
        f.write(block)


def main():
    cmd = sys.argv[1]
    if cmd == "dump":
        for path in sys.argv[2:]:
            if len(sys.argv) > 3:
                print("=", path)
            dump(path)
    elif cmd == "dump1":
        dump1(sys.argv[2])
    elif cmd == "write1":
        write1(*sys.argv[2:10])
    elif cmd == "fixtures":
        fixtures(sys.argv[2])
    else:
        sys.exit("unknown command " + cmd)


if __name__ == "__main__":
    main()
