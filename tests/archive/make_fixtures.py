#!/usr/bin/env python3
"""make_fixtures.py CORPUS-FOLDER OUT-FOLDER: makes the zip archives the archive tests unpack.

Python's zipfile gives exact control over names, flags, host system, attributes and extra
fields; Info-ZIP zip writes extended timestamps and traditional encryption. Hostile
archives are valid ones with a few bytes changed afterwards. The shared corpus is copied into
OUT-FOLDER/corpus with its manifest flattened into expect.txt, so that the tests need no JSON.
"""
import json, os, pathlib, shutil, struct, subprocess, sys, tempfile, zipfile, zlib

HOST_DOS, HOST_UNIX = 0, 3
UT_WRITE, UT_ACCESS = 1234567890, 1300000000  # the access time is later: reading keeps it
DOS_STAMP = (2001, 2, 3, 4, 5, 6)


class RawNameInfo(zipfile.ZipInfo):
    """An entry whose name is written as the given bytes, with the UTF-8 flag only if asked."""

    def __init__(self, raw, utf8=False):
        super().__init__(raw.decode("latin-1"), DOS_STAMP)
        self.raw_name, self.utf8 = raw, utf8

    def _encodeFilenameFlags(self):
        return self.raw_name, self.flag_bits | (0x800 if self.utf8 else 0)


def entry(name, attributes=0, host=HOST_DOS, date_time=DOS_STAMP, extra=b""):
    info = zipfile.ZipInfo(name, date_time)
    info.create_system, info.external_attr, info.extra = host, attributes, extra
    return info


def write_zip(path, entries, method=zipfile.ZIP_DEFLATED):
    """entries: (ZipInfo or name, data[, method]) in order; the infos as written."""
    with zipfile.ZipFile(path, "w", method) as archive:
        for info, data, *own in entries:
            archive.writestr(entry(info) if isinstance(info, str) else info, data,
                             compress_type=own[0] if own else method)
    with zipfile.ZipFile(path) as archive:
        return archive.infolist()


def data_offset(info):
    """Where an entry's data starts: zipfile writes the same extra field in both headers."""
    return info.header_offset + 30 + len(info.orig_filename.encode()) + len(info.extra)


def patch(path, offset, replacement):
    with open(path, "r+b") as f:
        f.seek(offset), f.write(replacement)


def find_all(path, signature):
    data = open(path, "rb").read()
    return [at for at in range(len(data)) if data.startswith(signature, at)]


def text_block(size, seed):
    return b"".join(b"valdmark %d launcher %d\r\n" % (seed, i) for i in range(size // 10))[:size]


def make_info_zip_archives(out):
    with tempfile.TemporaryDirectory() as work:
        files = {"docs/readme.txt": b"read me\r\n", "secret.txt": b"only with a password\r\n"}
        os.makedirs(os.path.join(work, "docs"))
        for name, data in files.items():
            pathlib.Path(work, name).write_bytes(data)
        for name in [*files, "docs"]:
            os.utime(os.path.join(work, name), (UT_ACCESS, UT_WRITE))
        for archive, names, options in [("docs.zip", ["docs", "docs/readme.txt"], []),
                                        ("encrypted.zip", ["secret.txt"], ["-P", "secret"])]:
            subprocess.run(["zip", "-q", *options, os.path.join(out, archive), *names], cwd=work,
                           check=True)


def make_python_archives(path):
    # Names: drives, shares, separators and parent steps to drop; code page 936 without the
    # UTF-8 flag, UTF-8 with it (and without: then read as GBK); folders named by their trailing
    # separator alone, with no attributes; an empty file.
    write_zip(path("names.zip"), [
        ("C:\\games\\x.txt", b"drive"), ("\\\\server\\share\\y.dat", b"unc"),
        ("data/../etc/z", b"dot-dot"), ("a\\..\\b.txt", b"back"), ("/abs/x.txt", b"abs"),
        (RawNameInfo("中文目录/说明.txt".encode("gbk")), b"gbk name"),
        (RawNameInfo("游戏.exe".encode("gbk")), b"game"),
        (RawNameInfo("世界/ÄÖÜ.txt".encode("utf-8"), utf8=True), b"utf-8 flagged"),
        (RawNameInfo("世界.txt".encode("utf-8")), b"unflagged utf-8"), ("empty.txt", b""),
        (entry("folder/"), b""), (entry("folder/inner\\"), b""), ("folder/file.txt", b"in")])
    # Attributes by host, and times: extended timestamps written by hand (write time only, and a
    # block that flags three times but holds one, before a block whose bytes are no times), and
    # DOS dates that do not exist.
    ut_write_only = b"UT\x05\x00\x01" + struct.pack("<I", UT_WRITE)
    ut_short = (b"UT\x05\x00\x07" + struct.pack("<I", UT_WRITE) + b"\x99\x99\x08\x00"
                + struct.pack("<II", UT_ACCESS, UT_ACCESS))
    write_zip(path("meta.zip"), [
        (entry("dos-readonly.txt", 0x21), b"r"), (entry("dos-hidden.txt", 0x22), b"h"),
        (entry("dos-system.txt", 0x24), b"s"), (entry("dos-folder", 0x10), b""),
        (entry("unix-readonly.txt", 0o100444 << 16, HOST_UNIX), b"ur"),
        (entry("unix-writable.txt", 0o100644 << 16, HOST_UNIX), b"uw"),
        (entry("unix-folder", 0o40755 << 16, HOST_UNIX), b""),
        (entry("write-only.txt", extra=ut_write_only), b"w"),
        (entry("short-block.txt", extra=ut_short), b"s"),
        (entry("month0.txt", date_time=(1980, 0, 0, 0, 0, 0)), b"m")])
    write_zip(path("empty.zip"), [])
    pathlib.Path(path("notzip.zip")).write_bytes(b"This is a text file, not an archive.\r\n" * 20)
    for name, data in [("readonly.zip", b"version 1"), ("readonly-v2.zip", b"version 2")]:
        write_zip(path(name), [(entry("locked.txt", 0x21), data)])
    write_zip(path("data-v1.zip"), [("data.bin", b"version 1")])
    write_zip(path("short-name.zip"), [("a", b"short")])
    write_zip(path("lzma.zip"), [("first.txt", b"deflated first"),
                                 ("packed.txt", b"lzma " * 100, zipfile.ZIP_LZMA)])
    # Names equal but for case: the last of each spelling wins, folders keep their first one.
    write_zip(path("case-names.zip"), [
        (entry("Dir/", 0x10), b""), ("dir/a.txt", b"lower"), ("DIR/A.TXT", b"upper"),
        ("readme.TXT", b"one"), (entry("README.txt", 0x21), b"two"),
        ("Other/x.txt", b"x"), ("OTHER/y.txt", b"y")])
    write_zip(path("dir-over-file.zip"), [("x", b"file"), (entry("x/", 0x10), b""),
                                          ("after.txt", b"after")])
    # For the links of make_links: through one, below one, and a folder entry naming one.
    for name, inner in [("through-link.zip", "mods/evil.txt"), ("below-link.zip", "mods/sub/x"),
                        ("link-folder.zip", "mods/")]:
        write_zip(path(name), [("inside.txt", b"inside"), (inner, b""), ("after.txt", b"after")])
    # A folder and 200 files in it, for a folder swapped while it is filled; three entries of a
    # million bytes, for a volume with room for two.
    write_zip(path("held.zip"), [(entry("sub/", 0x10), b"")] +
              [("sub/f%03d.txt" % i, b"%d" % i) for i in range(200)])
    write_zip(path("three.zip"), [(name, name[0].encode() * 1000000) for name in ["1", "2", "3"]])
    # A mix for the mutations: folders, stored and deflated data, an extra field, a GBK name.
    write_zip(path("mixed.zip"), [
        (entry("dir/", 0x10), b""), ("dir/text.txt", text_block(30000, 9)),
        (entry("dir/raw.bin", extra=ut_write_only), text_block(3000, 4), zipfile.ZIP_STORED),
        (RawNameInfo("名字.txt".encode("gbk")), b"gbk"), ("last.txt", b"last")])


def make_hostile_archives(path):
    for name, hostile in [("slip-up.zip", "x/../../escaped.txt"),
                          ("slip-folder.zip", "../escaped/"), ("stream.zip", "inside.txt:hidden"),
                          ("trailing-dot.zip", "Launch.exe."), ("long-name.zip", "n" * 300),
                          ("device-folder.zip", "data/COM1/"), ("stream-folder.zip", "data:x/"),
                          ("dot-folder.zip", "data./"), ("space-folder.zip", "data /")]:
        write_zip(path(name),
                  [("inside.txt", b"inside"), (hostile, b"hostile"), ("after.txt", b"after")])
    write_zip(path("nul-name.zip"), [(RawNameInfo(b"evil\0.txt"), b"cut")])
    # A Unix symbolic link, and a file through it: the link is a file holding its target.
    write_zip(path("symlink.zip"), [(entry("link", 0o120777 << 16, HOST_UNIX), b"../outside"),
                                    ("link/evil.txt", b"evil")])
    # Damaged data: a stored entry whose CRC-32 no longer matches, a deflate stream broken midway,
    # and an entry in the middle of many small ones, with later ones ready to be written.
    infos = write_zip(path("crc.zip"), [("good.txt", b"good"), ("data.bin", text_block(99999, 3))],
                      zipfile.ZIP_STORED)
    patch(path("crc.zip"), data_offset(infos[1]) + 90000, b"\xff")  # text holds no 0xFF
    infos = write_zip(path("inflate.zip"), [("text.txt", text_block(400000, 5))])
    patch(path("inflate.zip"), data_offset(infos[0]) + infos[0].compress_size // 2, b"\xff" * 64)
    files = [("f%03d/n%03d.txt" % (i % 7, i), b"x" * (500 + i * 37)) for i in range(120)]
    infos = write_zip(path("late-crc.zip"), files)
    patch(path("late-crc.zip"), data_offset(infos[70]) + 5, b"\xff\xff")
    # A central directory that cannot be walked to its end: a record with a broken signature,
    # and an end record that counts more entries than there are; and end records that count
    # fewer (as a 16-bit count of 65537 entries does) or none.
    broken, over = path("broken-record.zip"), path("overcount.zip")
    write_zip(broken, [("one.txt", b"1"), ("two.txt", b"2"), ("3.txt", b"3")])
    patch(broken, find_all(broken, b"PK\x01\x02")[1], b"PK\x01\x09")
    for name, count in [(over, 9), (path("undercount.zip"), 1), (path("zerocount.zip"), 0)]:
        write_zip(name, [("one.txt", b"1"), ("two.txt", b"2")])
        patch(name, find_all(name, b"PK\x05\x06")[-1] + 8, struct.pack("<HH", count, count))
    # Data that runs past the declared size, with the CRC-32 of the declared part, so that only
    # the size can tell: deflated and stored.
    for name, method in [("beyond-size.zip", zipfile.ZIP_DEFLATED),
                         ("beyond-size-stored.zip", zipfile.ZIP_STORED)]:
        write_zip(path(name), [("first.txt", b"first"), ("grown.txt", b"hello world"),
                               ("after.txt", b"after")], method)
        declare(path(name), 1, 5, zlib.crc32(b"hello"))
    # 8 TiB and 1 MiB, so that the low 32 bits alone would claim only 1 MiB.
    zip64_entry(path("huge-declared.zip"), b"huge.bin", b"abc", (8 << 40) + (1 << 20))


def declare(path, index, size, crc):
    """Gives entry index another uncompressed size and CRC-32, in both of its headers."""
    local = zipfile.ZipFile(path).infolist()[index].header_offset
    central = find_all(path, b"PK\x01\x02")[index]
    for at in (local + 14, central + 16):
        patch(path, at, struct.pack("<I", crc))
        patch(path, at + 8, struct.pack("<I", size))


def zip64_entry(path, name, data, declared):
    """One stored entry whose zip64 extra fields declare an uncompressed size of its own."""
    crc, extra = zlib.crc32(data), struct.pack("<HHQQ", 1, 16, declared, len(data))
    local = struct.pack("<IHHHHHIIIHH", 0x04034B50, 45, 0, 0, 0, 0x21, crc, 0xFFFFFFFF,
                        0xFFFFFFFF, len(name), len(extra)) + name + extra + data
    central = struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 45, 45, 0, 0, 0, 0x21, crc,
                          0xFFFFFFFF, 0xFFFFFFFF, len(name), len(extra), 0, 0, 0, 0,
                          0) + name + extra
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 1, 1, len(central), len(local), 0)
    pathlib.Path(path).write_bytes(local + central + end)


def encrypt_empty_password(data, check_byte):
    """Traditional zip encryption with the empty password: the 12-byte header, then the data."""
    keys, out = [305419896, 591751049, 878082192], bytearray()
    crc_step = lambda crc, byte: zlib.crc32(bytes([byte]), crc ^ 0xFFFFFFFF) ^ 0xFFFFFFFF  # noqa
    for plain in bytes(range(11, 22)) + bytes([check_byte]) + data:
        temp = (keys[2] & 0xFFFF) | 2
        out.append(plain ^ (((temp * (temp ^ 1)) >> 8) & 0xFF))
        keys[0] = crc_step(keys[0], plain)
        keys[1] = ((keys[1] + (keys[0] & 0xFF)) * 134775813 + 1) & 0xFFFFFFFF
        keys[2] = crc_step(keys[2], keys[1] >> 24)
    return bytes(out)


def make_empty_password_archive(path):
    """A stored and a deflated entry encrypted with the empty password, which opens them."""
    texts = [b"s" * 700, b"d" * 48000]
    packed = [texts[0], zlib.compress(texts[1], 9)[2:-4]]
    name = path("empty-password.zip")
    write_zip(name, [(file, encrypt_empty_password(data, zlib.crc32(text) >> 24))
                     for file, data, text in zip(["stored.txt", "deflated.txt"], packed, texts)],
              zipfile.ZIP_STORED)
    for index, (text, method) in enumerate(zip(texts, [0, 8])):
        declare(name, index, len(text), zlib.crc32(text))
        local = zipfile.ZipFile(name).infolist()[index].header_offset
        for at in (local + 6, find_all(name, b"PK\x01\x02")[index] + 8):
            patch(name, at, struct.pack("<HH", 1, method))


def make_links(out):
    """A game folder reached through a link (a player moved it) with a link to a folder outside
    it: linked/game -> real-game, linked/real-game/mods -> ../outside."""
    linked = os.path.join(out, "linked")
    for folder in ("real-game", "outside"):
        os.makedirs(os.path.join(linked, folder))
    os.symlink("real-game", os.path.join(linked, "game"))
    os.symlink(os.path.join("..", "outside"), os.path.join(linked, "real-game", "mods"))


def flatten_manifest(corpus, out):
    """expect.txt, one fact a line: "archive FILE RESULT", what an ok archive leaves ("left
    PATH=SHA256" for a file, "left PATH/" for a folder), and the SHA-256 of each entry ("data")."""
    manifest = json.load(open(os.path.join(corpus, "manifest.json"), encoding="utf-8"))
    lines = []
    for archive in manifest["archives"]:
        expect = archive["expect"]
        lines.append("archive\t%s\t%s" % (archive["file"], expect["result"]))
        lines += ["left\t\t%s=%s" % item for item in expect["files"].items()]
        lines += ["left\t\t%s/" % folder for folder in expect["dirs"]]
        lines += ["data\t\t%s" % e["sha256"] for e in archive["entries"] if "sha256" in e]
    with open(os.path.join(out, "expect.txt"), "w", encoding="utf-8", newline="\n") as f:
        f.write("\n".join(lines) + "\n")


def main():
    corpus, out = sys.argv[1], os.path.abspath(sys.argv[2])
    shutil.rmtree(out, ignore_errors=True)
    shutil.copytree(corpus, os.path.join(out, "corpus"),
                    ignore=shutil.ignore_patterns("*.json", "*.md"))
    flatten_manifest(corpus, os.path.join(out, "corpus"))
    make_info_zip_archives(out)
    path = lambda name: os.path.join(out, name)  # noqa: E731
    make_python_archives(path)
    make_hostile_archives(path)
    make_empty_password_archive(path)
    make_links(out)


if __name__ == "__main__":
    main()
