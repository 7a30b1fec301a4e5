#!/usr/bin/env python3
"""check_layers.py ROOT: fails on an #include of the production code that the table of its
libraries does not allow, naming the file and line. A library includes its own headers and
those of the libraries its row names, nothing else: download/, archive/ and settings/ know
nothing of each other nor of any window (framework/, res/), nor do app/ and pagescript of each
other. Tests stand outside the table.
"""
import pathlib, re, sys

MODULES = ["settings", "download", "archive"]
# Which libraries each library may include besides itself. A file belongs to the longest folder
# that holds it, so tools/pagescript/ is not tools/.
ALLOWED = {
    "base": [],
    "res": [],
    "framework": ["base", "res"],
    **{module: ["base"] for module in MODULES},
    "web": ["base", "res", "framework", *MODULES],
    "dialogs": ["base", "res", "framework", *MODULES, "web"],
    "app": ["base", "res", "framework", *MODULES, "web", "dialogs"],
    "tools/pagescript": ["base", "res", "framework", *MODULES, "web", "dialogs"],
}
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')


def library_of(path):
    """The library a project path such as "web/bridge/X.h" belongs to, or None."""
    return max((lib for lib in ALLOWED if path == lib or path.startswith(lib + "/")), key=len,
               default=None)


def offences(root):
    for source in sorted({path for library in ALLOWED for path in (root / library).rglob("*")}):
        if source.suffix not in (".h", ".cpp"):
            continue
        relative = source.relative_to(root).as_posix()
        own = library_of(relative)
        for number, line in enumerate(source.read_text(encoding="utf-8").splitlines(), 1):
            match = INCLUDE.match(line)
            used = library_of(match.group(1)) if match else None
            if used is not None and used != own and used not in ALLOWED[own]:
                yield f"{relative}:{number}: includes {match.group(1)}, which {own}/ may not use"


def main():
    found = list(offences(pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()))
    table = "; ".join(f"{lib}/ uses {', '.join(f'{u}/' for u in used) or 'no other'}"
                      for lib, used in ALLOWED.items())
    print("\n".join(found + [f"{len(found)} include(s) outside the table: {table}"]))
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
