#!/usr/bin/env python3
"""The bridge's reference against the code and the tool: `pagescript --methods` and `--sites`
print the method table and the own sites as the code holds them; docs/external.d.ts must declare
the same methods in the same order with the same types, docs/bridge.md must have one matching
heading per method ("### 9. `DownloadFile(url: string, ...): number`") and list the same sites,
and demo/portal.js must compile against the typings with --strict. Every `js` example of
docs/bridge.md runs through pagescript and must print what its `// → ` comments say; every
repository path that README.md and docs/ name must exist; and pagescript must keep its time
limit whatever the script does.
"""
import http.server, os, pathlib, re, shlex, shutil, subprocess, threading, time, unittest
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
BUILD = os.environ.get("QUIB_BUILD") or os.path.join(ROOT, "build")
DOCS = os.path.join(ROOT, "docs")
PAGESCRIPT = os.path.join(BUILD, "bin", "pagescript.exe")
# The table's type names as a page's TypeScript sees them.
TS_TYPES = {"long": "number", "string": "string", "object": "Document", "boolean": "boolean",
            "none": "void"}
# The folders and files of the repository that a document may name.
TOP = ("base/", "res/", "framework/", "settings/", "download/", "archive/", "web/", "app/",
       "dialogs/", "tests/", "tools/", "demo/", "docs/", "cmake/", "README.md", "CMakeLists.txt")
EXAMPLES_KEY = r"HKCU\Software\Valdmark"


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


def pagescript(*arguments, cwd=None, timeout=120):
    """Runs the build's pagescript, or the copy in cwd: the tool's folder is the program's."""
    program = os.path.join(cwd, "pagescript.exe") if cwd else PAGESCRIPT
    started = time.monotonic()
    run = subprocess.run(["wine", program, *arguments], stdin=subprocess.DEVNULL,
                         capture_output=True, timeout=timeout, cwd=cwd)
    return (run.returncode, run.stdout.decode("utf-8").replace("\r", ""),
            run.stderr.decode("utf-8", "replace"), time.monotonic() - started)


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def examples():
    """(heading above it, switches, script, expected lines) for each js block of bridge.md."""
    heading = ""
    for m in re.finditer(r"^(#+ [^\n]*)$|^```js\n(.*?)^```$", read("bridge.md"), re.M | re.S):
        if m[1]:
            heading = m[1]
            continue
        first = m[2].split("\n", 1)[0]
        switches = shlex.split(first[len("// pagescript "):]) if first.startswith(
            "// pagescript ") else []
        yield heading, switches, m[2], re.findall(r"// → (.*?)\s*$", m[2], re.M)


class Served(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *arguments):
        pass


class BridgeDocs(unittest.TestCase):
    maxDiff = None  # a failure lists every method that drifted

    @classmethod
    def setUpClass(cls):
        code, out, err, _ = pagescript("--methods")
        lines = out.splitlines()
        assert code == 0 and lines, err
        cls.table = [signature(int(position), name, [TS_TYPES[t] for t in parameters.split(",")
                                                     if t != "-"], TS_TYPES[result])
                     for position, name, parameters, result in map(str.split, lines[1:])]

    def test_typings_declare_the_table_in_order(self):
        interface = re.search(r"^interface External \{$(.*?)^\}$", read("external.d.ts"),
                              re.M | re.S)
        self.assertIsNotNone(interface, "docs/external.d.ts extends no External interface")
        self.assertEqual(declared(r"^    ()(\w+)\(([^)]*)\): (\w+);$", interface[1]), self.table)

    def test_reference_has_one_heading_and_a_running_example_per_method(self):
        headings = declared(r"^### (\d+)\. `(\w+)\(([^)]*)\): (\w+)`$", read("bridge.md"))
        self.assertEqual(sorted(headings, key=lambda h: int(h.split()[0])), self.table)
        shown = {re.sub(r"^### \d+\. `(\w+).*", r"\1", h) for h, *_ in examples()}
        self.assertEqual([m for m in self.table if m.split()[1].split("(")[0] not in shown], [],
                         "methods without a js example")

    def test_own_sites_are_those_of_the_code(self):
        code, out, err, _ = pagescript("--sites")
        self.assertEqual(code, 0, err)
        listed = re.findall(r"^\| `(https?://[^`]+)` \| (the bridge|no bridge)", read("bridge.md"),
                            re.M)
        self.assertEqual(sorted((site, kind.replace(" ", "-").replace("the-", ""))
                                for site, kind in listed), sorted(map(tuple, map(str.split,
                                                                                 out.splitlines()))))

    def test_portal_page_compiles_strictly_against_the_typings(self):
        run = subprocess.run(["tsc", "--strict", "--allowJs", "--checkJs", "--noEmit", "--lib",
                              "es5,dom", os.path.join(DOCS, "external.d.ts"),
                              os.path.join(DOCS, "pagescript.d.ts"),
                              os.path.join(ROOT, "demo", "portal.js")],
                             stdin=subprocess.DEVNULL, capture_output=True, timeout=120)
        self.assertEqual(run.returncode, 0, (run.stdout + run.stderr).decode(errors="replace"))

    def test_every_path_the_documents_name_exists(self):
        for document in [pathlib.Path(ROOT, "README.md"), *pathlib.Path(DOCS).glob("*.md")]:
            text = document.read_text(encoding="utf-8")
            # Code spans name paths from the repository's root, links from the document's folder.
            named = [p for p in re.findall(r"`([^`\s]+)`", text) if p.startswith(TOP)] + [
                os.path.relpath(document.parent / p, ROOT)
                for p in re.findall(r"\]\(([^)#\s:]+)", text)]
            for path in named:
                self.assertTrue(os.path.exists(os.path.join(ROOT, path)),
                                f"{document.name} names {path}, which does not exist")

    def test_examples_print_what_the_reference_says(self):
        folder = os.path.join(BUILD, "docs-examples")
        shutil.rmtree(folder, ignore_errors=True)
        served = os.path.join(folder, "served")
        os.makedirs(served)
        for name, entries in {"Valdmark.zip": {"readme.txt": "Valdmark", "data/map.txt": "map"},
                              "climb.zip": {"../../x.txt": "x"}, "up.zip": {"../x.txt": "x"}
                              }.items():
            with zipfile.ZipFile(os.path.join(served, name), "w") as archive:
                for entry, text in entries.items():
                    archive.writestr(entry, text)
        server = http.server.ThreadingHTTPServer(
            ("127.0.0.1", 0), lambda *a: Served(*a, directory=served))
        threading.Thread(target=server.serve_forever, daemon=True).start()
        subprocess.run(["wine", "reg", "delete", EXAMPLES_KEY, "/f"], capture_output=True)
        subprocess.run(["wine", "reg", "add", EXAMPLES_KEY, "/f"], capture_output=True, check=True)
        try:
            for number, (heading, switches, script, expected) in enumerate(examples()):
                with self.subTest(f"example {number + 1} under {heading}"):
                    app = os.path.join(folder, str(number + 1))
                    os.makedirs(app)
                    shutil.copy(PAGESCRIPT, app)
                    with open(os.path.join(app, "config.ini"), "w") as config:
                        config.write("[quibver]\nversion=1.0.0\n[portal]\n"
                                     f"server=http://127.0.0.1:{server.server_port}/\n")
                    with open(os.path.join(app, "page.js"), "w", encoding="utf-8") as page:
                        page.write(script + ("" if "exit(" in script else "\nexit(0);\n"))
                    code, out, err, _ = pagescript(*switches, "page.js", "30", cwd=app)
                    self.assertEqual((code, out.splitlines()), (0, [
                        line.replace("%APP%", windows_path(app) + "\\") for line in expected]),
                        err)
        finally:
            server.shutdown()
            server.server_close()
            subprocess.run(["wine", "reg", "delete", EXAMPLES_KEY, "/f"], capture_output=True)


class PageScriptLimits(unittest.TestCase):
    """Every run ends by itself within its limit (seconds, with slack for a busy machine)."""

    def test_each_run_ends_within_its_limit_with_the_documented_code(self):
        # Called from a timer, so that the error comes while the run waits, as a progress call's
        # does.
        handler = ("function OnDownloadProgress(s) { throw new Error('boom inside handler'); }\n"
                   "external.SetCallBack(document);\n"
                   "setTimeout(function () { external.DownloadFile('no', 'x', 0, 1); }, 0);\n")
        cases = [  # name, script, limit, exit code, standard output, text on standard error
            ("a message box", "print(external.RunExe('')); exit(0);", 20, 0,
             "BOX QUIB | 游戏不能运行，请检查游戏文件是否完整 | OK\nfalse\n", ""),
            ("a long statement", "print('looping'); while (true) {}", 2, 124, "looping\n",
             "timed out after 2 s"),
            ("a handler that throws", handler + "setTimeout(function () { exit(7); }, 200);", 20,
             7, "", "boom inside handler"),
            ("an error in the top-level code", "print('a'); null.x; print('b');", 20, 1, "a\n",
             "script error on line 1"),
        ]
        folder = os.path.join(BUILD, "pagescript-limits")
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        shutil.copy(PAGESCRIPT, folder)
        for name, script, limit, code, out, err in cases:
            with self.subTest(name):
                path = os.path.join(folder, "page.js")
                pathlib.Path(path).write_text(script, encoding="utf-8")
                result = pagescript("page.js", str(limit), cwd=folder, timeout=limit + 60)
                self.assertEqual(result[:2], (code, out), result[2])
                self.assertIn(err, result[2])
                self.assertLess(result[3], limit + 8, "ended late")


if __name__ == "__main__":
    unittest.main()
