#!/usr/bin/env python3
"""check_layers.py ROOT: fails on an #include of the production code that runs against the order
of its libraries, naming the file and line. A library includes its own headers and those of the
layers below it; never one above, nor another library of its own layer (download/ and archive/
know nothing of each other, nor do app/ and pagescript). Tests stand outside the order.
"""
import pathlib, re, sys

# The libraries from the bottom up, one layer a line. A file belongs to the longest folder that
# holds it, so settings/dialogs/ is not the settings core.
LAYERS = [["base", "res"], ["framework"], ["settings"], ["download", "archive"], ["web"],
          ["settings/dialogs"], ["app", "tools/pagescript"]]
LEVEL = {library: level for level, layer in enumerate(LAYERS) for library in layer}
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')


def library_of(path):
    """The library a project path such as "web/bridge/X.h" belongs to, or None."""
    return max((lib for lib in LEVEL if path == lib or path.startswith(lib + "/")), key=len,
               default=None)


def offences(root):
    for source in sorted({path for library in LEVEL for path in (root / library).rglob("*")}):
        if source.suffix not in (".h", ".cpp"):
            continue
        relative = source.relative_to(root).as_posix()
        own = library_of(relative)
        for number, line in enumerate(source.read_text(encoding="utf-8").splitlines(), 1):
            match = INCLUDE.match(line)
            used = library_of(match.group(1)) if match else None
            if used is not None and used != own and LEVEL[used] >= LEVEL[own]:
                where = "above" if LEVEL[used] > LEVEL[own] else "beside"
                yield f"{relative}:{number}: includes {match.group(1)}, {where} {own}/"


def main():
    found = list(offences(pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()))
    print("\n".join(found + [f"{len(found)} include(s) against the order " + " <- ".join(
        ", ".join(f"{lib}/" for lib in layer) for layer in LAYERS)]))
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
