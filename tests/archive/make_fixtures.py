#!/usr/bin/env python3
"""Makes the zip archives the archive tests unpack, with the tools that write such archives.

    make_fixtures.py CORPUS-FOLDER OUT-FOLDER

Python's zipfile gives exact control over names, flags, host system, attributes and extra
fields; Info-ZIP zip writes extended timestamps, traditional encryption and bzip2. Hostile
archives are valid ones with a few bytes changed afterwards. The shared corpus is copied into
OUT-FOLDER/corpus with its manifest flattened into expect.txt, one fact per line, so that the
tests need no JSON reader.
"""
import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zipfile
import zlib

HOST_DOS, HOST_UNIX = 0, 3
# Fixed times, so that the tests can expect exact values.
UT_WRITE = 1234567890          # 2009-02-13 23:31:30 UTC
UT_ACCESS = 1300000000         # later than the write time, so reading does not move it
DOS_STAMP = (2001, 2, 3, 4, 5, 6)


class RawNameInfo(zipfile.ZipInfo):
    """An entry whose name is written as the given bytes, with the UTF-8 flag only if asked."""

    def __init__(self, raw, utf8=False, date_time=DOS_STAMP):
        super().__init__(raw.decode("latin-1"), date_time)
        self.raw_name, self.utf8 = raw, utf8

    def _encodeFilenameFlags(self):
        return self.raw_name, self.flag_bits | (0x800 if self.utf8 else 0)


def entry(name, host=HOST_DOS, attributes=0, date_time=DOS_STAMP, extra=b""):
    info = zipfile.ZipInfo(name, date_time)
    info.create_system, info.external_attr, info.extra = host, attributes, extra
    return info


def write_zip(path, entries, method=zipfile.ZIP_DEFLATED):
    """entries: (ZipInfo or name, data[, method]) in order; method is the default method."""
    with zipfile.ZipFile(path, "w", method) as archive:
        for info, data, *own_method in entries:
            if isinstance(info, str):
                info = entry(info)
            archive.writestr(info, data, compress_type=own_method[0] if own_method else method)
    with zipfile.ZipFile(path) as archive:
        return archive.infolist()


def data_offset(path, info):
    with open(path, "rb") as f:
        f.seek(info.header_offset + 26)
        name_length = int.from_bytes(f.read(2), "little")
        extra_length = int.from_bytes(f.read(2), "little")
    return info.header_offset + 30 + name_length + extra_length


def patch(path, offset, replacement):
    with open(path, "r+b") as f:
        f.seek(offset)
        f.write(replacement)


def flip(path, offset):
    with open(path, "r+b") as f:
        f.seek(offset)
        byte = f.read(1)[0]
        f.seek(offset)
        f.write(bytes([byte ^ 0xFF]))


def find_all(path, signature):
    data = open(path, "rb").read()
    found, at = [], data.find(signature)
    while at >= 0:
        found.append(at)
        at = data.find(signature, at + 1)
    return found


def text_block(size, seed):
    words = [b"valdmark", b"launcher", b"patch", b"quib", b"%d" % seed, b"\r\n"]
    out, i = bytearray(), seed
    while len(out) < size:
        i = (i * 1103515245 + 12345) & 0x7FFFFFFF
        out += words[i % len(words)] + b" "
    return bytes(out[:size])


def noise(size, seed):
    out, i = bytearray(size), seed or 1
    for k in range(size):
        i ^= (i << 13) & 0xFFFFFFFF
        i ^= i >> 17
        i ^= (i << 5) & 0xFFFFFFFF
        out[k] = i & 0xFF
    return bytes(out)


def info_zip(out, folder, names, *options):
    """Runs Info-ZIP zip in folder on the given names (files made beforehand)."""
    subprocess.run(["zip", "-q", *options, os.path.abspath(out), *names], cwd=folder, check=True)


def make_tree(folder, files):
    for name, data in files.items():
        path = os.path.join(folder, name)
        if name.endswith("/"):
            os.makedirs(path, exist_ok=True)
            continue
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
        os.utime(path, (UT_ACCESS, UT_WRITE))
    for name in files:
        if name.endswith("/"):
            os.utime(os.path.join(folder, name), (UT_ACCESS, UT_WRITE))


def make_info_zip_archives(out):
    with tempfile.TemporaryDirectory() as work:
        make_tree(work, {"docs/": None, "docs/readme.txt": b"read me\r\n",
                         "secret.txt": b"only with a password\r\n",
                         "big.txt": text_block(50000, 7)})
        info_zip(os.path.join(out, "docs.zip"), work, ["docs", "docs/readme.txt"])
        info_zip(os.path.join(out, "encrypted.zip"), work, ["secret.txt"], "-P", "secret")
        info_zip(os.path.join(out, "bzip2.zip"), work, ["docs/readme.txt", "big.txt"],
                 "-Z", "bzip2")


def make_python_archives(out):
    def path(name):
        return os.path.join(out, name)

    write_zip(path("names.zip"), [
        ("C:\\games\\x.txt", b"drive"), ("\\\\server\\share\\y.dat", b"unc"),
        ("data/../etc/z", b"dot-dot"), ("a\\..\\b.txt", b"back"), ("/abs/x.txt", b"abs")])
    write_zip(path("attributes.zip"), [
        (entry("dos-readonly.txt", HOST_DOS, 0x21), b"r"),
        (entry("dos-hidden.txt", HOST_DOS, 0x22), b"h"),
        (entry("dos-system.txt", HOST_DOS, 0x24), b"s"),
        (entry("dos-plain.txt", HOST_DOS, 0x00), b"p"),
        (entry("unix-readonly.txt", HOST_UNIX, 0o100444 << 16), b"ur"),
        (entry("unix-writable.txt", HOST_UNIX, 0o100644 << 16), b"uw"),
        (entry("unix-folder", HOST_UNIX, 0o40755 << 16), b""),
        (entry("dos-folder", HOST_DOS, 0x10), b"")])
    write_zip(path("dostime.zip"), [("dos.txt", b"dos time")])
    write_zip(path("zero.zip"), [("empty.txt", b""), ("after.txt", b"after")])
    write_zip(path("empty.zip"), [])
    with open(path("notzip.zip"), "wb") as f:
        f.write(b"This is a text file, not an archive.\r\n" * 20)
    # Folders marked by their trailing separator alone: no attributes at all, as some tools write.
    write_zip(path("bare-folders.zip"), [
        (entry("folder/", HOST_DOS, 0), b""), (entry("folder/inner\\", HOST_DOS, 0), b""),
        (entry("folder/file.txt", HOST_DOS, 0), b"in folder")])
    write_zip(path("readonly.zip"), [(entry("locked.txt", HOST_DOS, 0x21), b"version 1")])
    write_zip(path("readonly-v2.zip"), [(entry("locked.txt", HOST_DOS, 0x21), b"version 2")])
    write_zip(path("gbk.zip"), [
        (RawNameInfo("中文目录/".encode("gbk")), b""),
        (RawNameInfo("中文目录/说明.txt".encode("gbk")), b"gbk name"),
        (RawNameInfo("游戏.exe".encode("gbk")), b"game")])
    write_zip(path("utf8.zip"), [
        (RawNameInfo("世界/ÄÖÜ.txt".encode("utf-8"), utf8=True), b"utf-8 flagged"),
        (RawNameInfo("世界.txt".encode("utf-8"), utf8=False), b"unflagged utf-8")])
    write_zip(path("lzma.zip"), [("first.txt", b"deflated first"),
                                 ("packed.txt", b"lzma " * 100, zipfile.ZIP_LZMA)])
    # Extended timestamps written by hand: write time only, and a block that flags all three
    # times but holds one, followed by another block whose bytes must not be taken as times.
    ut_write_only = b"UT" + (5).to_bytes(2, "little") + b"\x01" + UT_WRITE.to_bytes(4, "little")
    ut_short = (b"UT" + (5).to_bytes(2, "little") + b"\x07" + UT_WRITE.to_bytes(4, "little")
                + b"\x99\x99" + (8).to_bytes(2, "little") + UT_ACCESS.to_bytes(4, "little") * 2)
    write_zip(path("ut-blocks.zip"), [(entry("write-only.txt", extra=ut_write_only), b"w"),
                                      (entry("short-block.txt", extra=ut_short), b"s")])
    write_zip(path("bad-dates.zip"), [
        (entry("month0.txt", date_time=(1980, 0, 0, 0, 0, 0)), b"m"),
        (entry("hour31.txt", date_time=(1999, 4, 31, 31, 63, 0)), b"h")])
    make_hostile_archives(path)


def make_hostile_archives(path):
    for name, hostile in [("slip-up.zip", "x/../../escaped.txt"),
                          ("slip-back.zip", "..\\escaped.txt"),
                          ("slip-folder.zip", "../escaped/"),
                          ("slip-dots.zip", "sub/../../escaped.txt"),
                          ("stream.zip", "inside.txt:hidden"),
                          ("device.zip", "folder/aux.txt"),
                          ("trailing-dot.zip", "Launch.exe."),
                          ("trailing-space.zip", "folder /x.txt"),
                          ("long-name.zip", "n" * 300)]:
        write_zip(path(name),
                  [("inside.txt", b"inside"), (hostile, b"hostile"), ("after.txt", b"after")])
    write_zip(path("nul-name.zip"), [(RawNameInfo(b"evil\0.txt"), b"cut")])
    # Damaged data: a stored entry with a changed byte near its end (the CRC-32 no longer
    # matches), and a deflated one whose stream breaks after several chunks.
    data = noise(100000, 3)
    infos = write_zip(path("crc.zip"), [("good.txt", b"good"), ("data.bin", data)],
                      zipfile.ZIP_STORED)
    flip(path("crc.zip"), data_offset(path("crc.zip"), infos[1]) + 90000)
    write_zip(path("data-v1.zip"), [("data.bin", b"version 1")])
    infos = write_zip(path("inflate.zip"), [("text.txt", text_block(400000, 5))])
    start = data_offset(path("inflate.zip"), infos[0])
    patch(path("inflate.zip"), start + infos[0].compress_size // 2, b"\xff" * 64)
    infos = write_zip(path("crc-short-name.zip"), [("a", data)], zipfile.ZIP_STORED)
    flip(path("crc-short-name.zip"), data_offset(path("crc-short-name.zip"), infos[0]) + 50)
    write_zip(path("short-name.zip"), [("a", b"short")])
    # A central directory that cannot be walked to its end: a record with a broken signature,
    # and an end record that counts more entries than there are.
    broken = path("broken-record.zip")
    write_zip(broken, [("one.txt", b"1"), ("two.txt", b"2"), ("three.txt", b"3")])
    patch(broken, find_all(broken, b"PK\x01\x02")[1], b"PK\x01\x09")
    write_zip(path("overcount.zip"), [("one.txt", b"1"), ("two.txt", b"2")])
    end = find_all(path("overcount.zip"), b"PK\x05\x06")[-1]
    patch(path("overcount.zip"), end + 8, (9).to_bytes(2, "little") * 2)
    make_size_archives(path)
    make_order_archives(path)
    make_empty_password_archive(path)
    # A mix for the mutation test: folders, stored and deflated data, extra fields.
    write_zip(path("mixed.zip"), [
        (entry("dir/", HOST_DOS, 0x10), b""), ("dir/text.txt", text_block(30000, 9)),
        (entry("dir/raw.bin", extra=b"UT\x05\x00\x01" + UT_WRITE.to_bytes(4, "little")),
         noise(3000, 4)),
        (RawNameInfo("名字.txt".encode("gbk")), b"gbk"), ("last.txt", b"last")])


def declare(path, index, size, crc):
    """Gives entry index another uncompressed size and CRC-32, in both of its headers."""
    info = zipfile.ZipFile(path).infolist()[index]
    patch(path, info.header_offset + 14, struct.pack("<I", crc))
    patch(path, info.header_offset + 22, struct.pack("<I", size))
    central = find_all(path, b"PK\x01\x02")[index]
    patch(path, central + 16, struct.pack("<I", crc))
    patch(path, central + 24, struct.pack("<I", size))


def zip64_entry(path, name, data, declared):
    """One stored entry whose zip64 extra fields declare an uncompressed size of its own."""
    crc = zlib.crc32(data)
    extra = struct.pack("<HHQQ", 1, 16, declared, len(data))
    local = struct.pack("<IHHHHHIIIHH", 0x04034B50, 45, 0, 0, 0, 0x21, crc, 0xFFFFFFFF,
                        0xFFFFFFFF, len(name), len(extra)) + name + extra + data
    central = struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 45, 45, 0, 0, 0, 0x21, crc,
                          0xFFFFFFFF, 0xFFFFFFFF, len(name), len(extra), 0, 0, 0, 0,
                          0) + name + extra
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 1, 1, len(central), len(local), 0)
    with open(path, "wb") as f:
        f.write(local + central + end)


def crc_step(crc, byte):
    return zlib.crc32(bytes([byte]), crc ^ 0xFFFFFFFF) ^ 0xFFFFFFFF


def encrypt_empty_password(data, check_byte):
    """Traditional zip encryption with the empty password: the 12-byte header, then the data."""
    keys = [305419896, 591751049, 878082192]
    out = bytearray()
    for plain in bytes(range(11, 22)) + bytes([check_byte]) + data:
        temp = (keys[2] & 0xFFFF) | 2
        out.append(plain ^ (((temp * (temp ^ 1)) >> 8) & 0xFF))
        keys[0] = crc_step(keys[0], plain)
        keys[1] = ((keys[1] + (keys[0] & 0xFF)) * 134775813 + 1) & 0xFFFFFFFF
        keys[2] = crc_step(keys[2], keys[1] >> 24)
    return bytes(out)


def make_empty_password_archive(path):
    """A stored and a deflated entry encrypted with the empty password, which opens them."""
    texts = [b"stored secret " * 50, b"deflated secret " * 3000]
    packed = [texts[0], zlib.compress(texts[1], 9)[2:-4]]
    name = path("empty-password.zip")
    write_zip(name, [("stored.txt", encrypt_empty_password(packed[0], zlib.crc32(texts[0]) >> 24)),
                     ("deflated.txt",
                      encrypt_empty_password(packed[1], zlib.crc32(texts[1]) >> 24))],
              zipfile.ZIP_STORED)
    for index, (text, method) in enumerate(zip(texts, [0, 8])):
        declare(name, index, len(text), zlib.crc32(text))
        info = zipfile.ZipFile(name).infolist()[index]
        central = find_all(name, b"PK\x01\x02")[index]
        for at in (info.header_offset + 6, central + 8):
            patch(name, at, struct.pack("<HH", 1, method))


def make_size_archives(path):
    # Data that runs past the declared size, with the CRC-32 of the declared part, so that only
    # the size can tell: deflated and stored.
    for name, method in [("beyond-size.zip", zipfile.ZIP_DEFLATED),
                         ("beyond-size-stored.zip", zipfile.ZIP_STORED)]:
        write_zip(path(name), [("first.txt", b"first"), ("grown.txt", b"hello world"),
                               ("after.txt", b"after")], method)
        declare(path(name), 1, 5, zlib.crc32(b"hello"))
    # 8 TiB and 1 MiB, so that the low 32 bits alone would claim only 1 MiB.
    zip64_entry(path("huge-declared.zip"), b"huge.bin", b"abc", (8 << 40) + (1 << 20))


def make_order_archives(path):
    # Names equal but for case: the last of each spelling wins, folders keep their first one.
    write_zip(path("case-names.zip"), [
        (entry("Dir/", HOST_DOS, 0x10), b""), ("dir/a.txt", b"lower"), ("DIR/A.TXT", b"upper"),
        ("readme.TXT", b"one"), (entry("README.txt", HOST_DOS, 0x21), b"two"),
        ("Other/x.txt", b"x"), ("OTHER/y.txt", b"y")])
    # A failure in the middle of many small entries, with later ones ready to be written.
    files = [("f%03d/n%03d.txt" % (i % 7, i), text_block(500 + i * 37, i)) for i in range(120)]
    infos = write_zip(path("late-crc.zip"), files)
    flip(path("late-crc.zip"), data_offset(path("late-crc.zip"), infos[70]) + 10)
    write_zip(path("dir-over-file.zip"), [("x", b"file"), (entry("x/", HOST_DOS, 0x10), b""),
                                          ("after.txt", b"after")])
    write_zip(path("through-link.zip"), [("inside.txt", b"inside"), ("mods/evil.txt", b"evil"),
                                         ("after.txt", b"after")])
    write_zip(path("link-folder.zip"), [("inside.txt", b"inside"),
                                        (entry("mods/", HOST_DOS, 0x10), b""),
                                        ("after.txt", b"after")])
    write_zip(path("below-link.zip"), [("inside.txt", b"inside"), ("mods/sub/x.txt", b"x"),
                                       ("after.txt", b"after")])


def make_links(out):
    """A game folder reached through a link, as when a player moved it, holding a link to a
    folder outside it: linked/game -> real-game, linked/real-game/mods -> ../outside."""
    linked = os.path.join(out, "linked")
    os.makedirs(os.path.join(linked, "real-game"))
    os.makedirs(os.path.join(linked, "outside"))
    os.symlink("real-game", os.path.join(linked, "game"))
    os.symlink(os.path.join("..", "outside"), os.path.join(linked, "real-game", "mods"))


def flatten_manifest(corpus, out):
    """One fact per line: archive FILE RESULT, file PATH SHA256, dir PATH, data PATH SHA256.

    "file" and "dir" lines are what an "ok" archive leaves; "data" lines give the content of
    every entry that has a name and data, for checking whatever any archive leaves."""
    manifest = json.load(open(os.path.join(corpus, "manifest.json"), encoding="utf-8"))
    lines = []
    for archive in manifest["archives"]:
        expect = archive["expect"]
        lines.append("archive\t%s\t%s" % (archive["file"], expect["result"]))
        lines += ["file\t%s\t%s" % item for item in expect["files"].items()]
        lines += ["dir\t%s" % d for d in expect["dirs"]]
        # An entry whose name has no known spelling counts for any path ("*").
        lines += ["data\t%s\t%s" % ("*" if e["out_path"] == "undecodable" else e["out_path"],
                                     e["sha256"])
                  for e in archive["entries"] if "out_path" in e and "sha256" in e]
    with open(os.path.join(out, "expect.txt"), "w", encoding="utf-8", newline="\n") as f:
        f.write("\n".join(lines) + "\n")


def main():
    corpus, out = sys.argv[1], sys.argv[2]
    if os.path.isdir(out):
        shutil.rmtree(out)
    os.makedirs(os.path.join(out, "corpus"))
    for name in os.listdir(corpus):
        if name.endswith(".zip"):
            shutil.copy(os.path.join(corpus, name), os.path.join(out, "corpus", name))
    flatten_manifest(corpus, os.path.join(out, "corpus"))
    make_info_zip_archives(out)
    make_python_archives(out)
    make_links(out)


if __name__ == "__main__":
    main()
