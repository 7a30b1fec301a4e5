#!/usr/bin/env python3
"""The bridge's reference and typings against the code.

`pagescript --methods` prints the method table as the code holds it. docs/external.d.ts must
declare the same methods in the same order with the same parameter and result types, and
docs/bridge.md must have one heading per method ("### 9. `DownloadFile(url: string, ...):
number`") that matches its row. demo/portal.js must compile with tsc against the typings, so
that they describe a real page.

Run by CTest in the build (QUIB_BUILD, the Wine settings of tests/CMakeLists.txt).
"""
import os
import re
import subprocess
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
BUILD = os.environ.get("QUIB_BUILD") or os.path.join(ROOT, "build")
DOCS = os.path.join(ROOT, "docs")

# The table's type names as a page's TypeScript sees them.
TS_TYPES = {"long": "number", "string": "string", "object": "Document", "boolean": "boolean",
            "none": "void"}
TYPINGS_METHOD = re.compile(r"^    (\w+)\(([^)]*)\): (\w+);$", re.M)
REFERENCE_HEADING = re.compile(r"^### (\d+)\. `(\w+)\(([^)]*)\): (\w+)`$", re.M)


def signature(position, name, parameters, result):
    """One method as a line, e.g. '9 DownloadFile(string, string, number, number): number'."""
    return f"{position} {name}({', '.join(parameters)}): {result}"


def declared_types(parameters):
    return [p.split(":")[1].strip() for p in parameters.split(",") if p.strip()]


def read(name):
    with open(os.path.join(DOCS, name), encoding="utf-8") as f:
        return f.read()


def code_table():
    run = subprocess.run(["wine", os.path.join(BUILD, "bin", "pagescript.exe"), "--methods"],
                         stdin=subprocess.DEVNULL, capture_output=True, timeout=120)
    lines = run.stdout.decode("utf-8").splitlines()
    assert run.returncode == 0 and lines, (
        f"pagescript --methods failed ({run.returncode}): {run.stderr.decode(errors='replace')}")
    table = []
    for line in lines[1:]:
        position, name, parameters, result = line.split()
        types = [TS_TYPES[t] for t in parameters.split(",") if t != "-"]
        table.append(signature(int(position), name, types, TS_TYPES[result]))
    return table


class BridgeDocs(unittest.TestCase):
    maxDiff = None  # a failure lists every method that drifted

    @classmethod
    def setUpClass(cls):
        cls.table = code_table()

    def test_typings_declare_the_table_in_order(self):
        interface = re.search(r"^interface External \{$(.*?)^\}$", read("external.d.ts"),
                              re.M | re.S)
        self.assertIsNotNone(interface, "docs/external.d.ts extends no External interface")
        declared = [signature(i + 1, m[1], declared_types(m[2]), m[3])
                    for i, m in enumerate(TYPINGS_METHOD.finditer(interface[1]))]
        self.assertEqual(declared, self.table, "docs/external.d.ts differs from the code's table")

    def test_reference_has_one_heading_per_method(self):
        headings = sorted((int(m[1]), signature(m[1], m[2], declared_types(m[3]), m[4]))
                          for m in REFERENCE_HEADING.finditer(read("bridge.md")))
        self.assertEqual([h for _, h in headings], self.table,
                         "the method headings of docs/bridge.md differ from the code's table")

    def test_portal_page_compiles_against_the_typings(self):
        run = subprocess.run(["tsc", "--allowJs", "--checkJs", "--noEmit", "--lib", "es5,dom",
                              os.path.join(DOCS, "external.d.ts"),
                              os.path.join(DOCS, "pagescript.d.ts"),
                              os.path.join(ROOT, "demo", "portal.js")],
                             stdin=subprocess.DEVNULL, capture_output=True, timeout=120)
        self.assertEqual(run.returncode, 0, "tsc found errors in demo/portal.js:\n"
                         + run.stdout.decode(errors="replace") + run.stderr.decode(errors="replace"))


if __name__ == "__main__":
    unittest.main()
