#!/usr/bin/env python3
"""Makes the demo's sample game: a folder tree as the game's maker has it, and its zip archive.

    make_game.py LAUNCHER TREE ARCHIVE [--files N] [--megabytes M] [--seed S]

The tree holds the launcher (copied as Launch.exe), a readme and a folder with Chinese names, and
nested folders of game data: many small text files (settings, quests) and binary files of mixed
sizes (maps, models, sounds) whose random bytes make up about M megabytes, so that the archive is
about that big whatever the compression. The archive is written with Python's zipfile (deflated,
names flagged UTF-8, an entry for every folder), the same bytes for the same arguments.
"""
import argparse
import os
import random
import shutil
import sys
import zipfile

MEGABYTE = 1 << 20
# A quarter of the files are text: small, and they compress to little.
TEXT_SHARE = 4
# The smallest binary file; the sizes of the others follow a long tail, as game data does.
MIN_BINARY = 512

CHINESE_FILES = {
    "说明.txt": "瓦尔德马克 —— 示例游戏\r\n运行 Launch.exe 开始游戏。\r\n",
    "资料/角色介绍.txt": "战士：近战，生命值高。\r\n法师：远程，法力值高。\r\n",
}

BINARY_KINDS = [
    ("data/maps", ["north", "south", "coast", "mountains"], "zone_{:03d}.map"),
    ("data/models", ["characters", "creatures", "props"], "model_{:03d}.mdl"),
    ("data/textures", ["ui", "terrain", "characters/armour"], "tex_{:03d}.dds"),
    ("data/sound", ["music", "effects/combat", "effects/world"], "clip_{:03d}.ogg"),
]
TEXT_KINDS = [
    ("data/config", ["", "graphics", "input"], "settings_{:03d}.ini"),
    ("scripts/quests", ["act1", "act2", "act3/side"], "quest_{:03d}.lua"),
]


def text_body(rng, index):
    lines = ["-- generated for the demo, file %d" % index]
    for n in range(rng.randint(40, 600)):
        lines.append("entry_%04d = { level = %d, reward = %d, region = \"%s\" }"
                     % (n, rng.randint(1, 60), rng.randint(10, 5000),
                        rng.choice(["north", "south", "coast", "mountains"])))
    return ("\r\n".join(lines) + "\r\n").encode()


def binary_sizes(rng, count, total):
    weights = [rng.paretovariate(1.2) for _ in range(count)]
    scale = max(total - count * MIN_BINARY, 0) / sum(weights)
    return [MIN_BINARY + int(w * scale) for w in weights]


def layout(rng, kinds, count):
    """count relative paths spread over the kinds' nested folders."""
    paths = []
    for index in range(count):
        top, subfolders, pattern = kinds[index % len(kinds)]
        sub = rng.choice(subfolders)
        folder = top + ("/" + sub if sub else "")
        paths.append(folder + "/" + pattern.format(index))
    return paths


def write_file(tree, relative, data):
    path = os.path.join(tree, *relative.split("/"))
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def make_tree(launcher, tree, files, megabytes, seed):
    rng = random.Random(seed)
    os.makedirs(tree)
    shutil.copyfile(launcher, os.path.join(tree, "Launch.exe"))
    for relative, text in CHINESE_FILES.items():
        write_file(tree, relative, text.encode("utf-8"))
    rest = max(files - 1 - len(CHINESE_FILES), 2)
    texts = max(rest // TEXT_SHARE, 1)
    binaries = rest - texts
    for index, relative in enumerate(layout(rng, TEXT_KINDS, texts)):
        write_file(tree, relative, text_body(rng, index))
    sizes = binary_sizes(rng, binaries, int(megabytes * MEGABYTE))
    for relative, size in zip(layout(rng, BINARY_KINDS, binaries), sizes):
        write_file(tree, relative, rng.randbytes(size))


def make_archive(tree, archive):
    os.makedirs(os.path.dirname(os.path.abspath(archive)), exist_ok=True)
    partial = archive + ".partial"
    with zipfile.ZipFile(partial, "w", zipfile.ZIP_DEFLATED) as zf:
        for folder, subfolders, names in os.walk(tree):
            subfolders.sort()
            relative = os.path.relpath(folder, tree)
            if relative != ".":
                zf.write(folder, relative.replace(os.sep, "/") + "/")
            for name in sorted(names):
                path = os.path.join(folder, name)
                zf.write(path, os.path.relpath(path, tree).replace(os.sep, "/"))
    os.replace(partial, archive)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("launcher")
    parser.add_argument("tree")
    parser.add_argument("archive")
    parser.add_argument("--files", type=int, default=300)
    parser.add_argument("--megabytes", type=float, default=30)
    parser.add_argument("--seed", type=int, default=2024)
    args = parser.parse_args(argv)
    if os.path.exists(args.tree):
        parser.error("the tree folder exists already: " + args.tree)
    make_tree(args.launcher, args.tree, args.files, args.megabytes, args.seed)
    make_archive(args.tree, args.archive)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
