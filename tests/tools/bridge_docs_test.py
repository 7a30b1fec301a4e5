#!/usr/bin/env python3
"""The bridge's reference and typings against the code: `pagescript --methods` prints the method
table as the code holds it; docs/external.d.ts must declare the same methods in the same order
with the same types, docs/bridge.md must have one matching heading per method ("### 9.
`DownloadFile(url: string, ...): number`"), and demo/portal.js must compile against the typings.
"""
import os, pathlib, re, subprocess, unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
BUILD = os.environ.get("QUIB_BUILD") or os.path.join(ROOT, "build")
DOCS = os.path.join(ROOT, "docs")
# The table's type names as a page's TypeScript sees them.
TS_TYPES = {"long": "number", "string": "string", "object": "Document", "boolean": "boolean",
            "none": "void"}


def signature(position, name, parameters, result):
    """One method as a line, e.g. '9 DownloadFile(string, string, number, number): number'."""
    return f"{position} {name}({', '.join(parameters)}): {result}"


def declared(pattern, text):
    """The signatures of the methods pattern finds: (position or None, name, params, result)."""
    return [signature(m[1] or i + 1, m[2], [p.split(":")[1].strip() for p in m[3].split(",")
                                            if p.strip()], m[4])
            for i, m in enumerate(re.finditer(pattern, text, re.M))]


def read(name):
    return pathlib.Path(DOCS, name).read_text(encoding="utf-8")


class BridgeDocs(unittest.TestCase):
    maxDiff = None  # a failure lists every method that drifted

    @classmethod
    def setUpClass(cls):
        run = subprocess.run(["wine", os.path.join(BUILD, "bin", "pagescript.exe"), "--methods"],
                             stdin=subprocess.DEVNULL, capture_output=True, timeout=120)
        lines = run.stdout.decode("utf-8").splitlines()
        assert run.returncode == 0 and lines, run.stderr.decode(errors="replace")
        cls.table = [signature(int(position), name, [TS_TYPES[t] for t in parameters.split(",")
                                                     if t != "-"], TS_TYPES[result])
                     for position, name, parameters, result in map(str.split, lines[1:])]

    def test_typings_declare_the_table_in_order(self):
        interface = re.search(r"^interface External \{$(.*?)^\}$", read("external.d.ts"),
                              re.M | re.S)
        self.assertIsNotNone(interface, "docs/external.d.ts extends no External interface")
        self.assertEqual(declared(r"^    ()(\w+)\(([^)]*)\): (\w+);$", interface[1]), self.table)

    def test_reference_has_one_heading_per_method(self):
        headings = declared(r"^### (\d+)\. `(\w+)\(([^)]*)\): (\w+)`$", read("bridge.md"))
        self.assertEqual(sorted(headings, key=lambda h: int(h.split()[0])), self.table)

    def test_portal_page_compiles_against_the_typings(self):
        run = subprocess.run(["tsc", "--allowJs", "--checkJs", "--noEmit", "--lib", "es5,dom",
                              os.path.join(DOCS, "external.d.ts"),
                              os.path.join(DOCS, "pagescript.d.ts"),
                              os.path.join(ROOT, "demo", "portal.js")],
                             stdin=subprocess.DEVNULL, capture_output=True, timeout=120)
        self.assertEqual(run.returncode, 0, (run.stdout + run.stderr).decode(errors="replace"))


if __name__ == "__main__":
    unittest.main()
