#!/usr/bin/env python3
"""The demo end to end, the portal page's failures and the demo's own.

Run by CTest in the build (QUIB_BUILD, the Wine settings of tests/CMakeLists.txt), one test per
run, each in fresh folders of its own there.
"""
import configparser, filecmp, io, os, pathlib, re, select, shutil, signal, socket, subprocess
import sys, time, types, unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "demo"))
import demo  # noqa: E402
import make_game  # noqa: E402

BUILD = os.environ.get("QUIB_BUILD") or os.path.join(ROOT, "build")


def fresh_folder(*names):
    folder = os.path.abspath(os.path.join(*names))
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    return folder


def run_demo(folder, *options):
    run = subprocess.run([os.path.join(ROOT, "tools", "demo"), "--no-build", "--folder", folder,
                          *options], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                         stderr=subprocess.STDOUT, timeout=180)
    return run.returncode, run.stdout.decode("utf-8", "replace")


def files_below(top):
    return {os.path.relpath(os.path.join(folder, name), top)
            for folder, _, names in os.walk(top) for name in names}


def unpacked_whole(packed, game):
    """The game holds every packed file, byte for byte, and the launcher's marker besides."""
    return files_below(game) == files_below(packed) | {"launched.txt"} and all(
        filecmp.cmp(os.path.join(packed, p), os.path.join(game, p), shallow=False)
        for p in files_below(packed))


def server_stopped(folder):
    with open(os.path.join(folder, "address.txt")) as f:
        port = int(f.read().strip().rsplit(":", 1)[1].strip("/"))
    with socket.socket() as probe:
        return probe.connect_ex(("127.0.0.1", port)) != 0


def setting(path, section, key, encoding="ascii"):
    parser = configparser.ConfigParser(interpolation=None, strict=False)
    parser.read(path, encoding=encoding)
    return parser.get(section, key)


class Demo(unittest.TestCase):
    maxDiff = None

    def test_fetches_pauses_resumes_unpacks_and_starts_the_game(self):
        folder = fresh_folder("demo-end-to-end")
        code, output = run_demo(folder, "--files", "60", "--megabytes", "2", "--seconds", "1",
                                "--timeout", "60")
        app, served = os.path.join(folder, "app"), os.path.join(folder, "www", "Valdmark.zip")
        game = os.path.join(app, "Valdmark")
        self.assertEqual(code, 0, output)
        self.assertIn("demo: application folder: %s\n" % app, output)
        self.assertIn("demo: game directory:     %s\n" % game, output)
        self.assertTrue(server_stopped(folder), "the demo left its server running")
        # Paused at 40 % or later, the download resumed with the rest of the file, whole.
        log = types.SimpleNamespace(log=os.path.join(folder, "requests.log"))
        first, resumed = demo.GameServer.requests(log)
        size = os.path.getsize(served)
        start = int(re.fullmatch(r"bytes=(\d+)-", resumed["range"] or "bytes=-1-").group(1))
        self.assertEqual([(r["method"], r["path"]) for r in (first, resumed)],
                         [("GET", "/Valdmark.zip")] * 2)
        self.assertIsNone(first["range"], "the first request was not for the whole file")
        self.assertTrue(size * 40 <= start * 100 and start < size, resumed)
        self.assertEqual((resumed["status"], resumed["sent"], resumed["complete"]),
                         (206, size - start, True))
        shown = [int(p) for p in re.findall(r"^portal: \[[#-]+\]\s+(\d+) %", output, re.M)]
        paused = re.search(r"^portal: paused at (\d+) %", output, re.M)
        self.assertTrue(paused and int(paused.group(1)) >= 40, output)
        self.assertTrue(shown == sorted(shown) and shown[-1:] == [100], "progress %s" % shown)
        self.assertTrue(filecmp.cmp(os.path.join(app, "Downloads", "Valdmark.zip"), served,
                                    shallow=False), "the downloaded archive differs")
        # Unpacked file for file (Chinese names among them), started there, recorded.
        packed = os.path.join(folder, "game-as-packed")
        self.assertIn(os.path.join("资料", "角色介绍.txt"), files_below(packed))
        self.assertTrue(unpacked_whole(packed, game), output)
        where = demo.windows_path(game)
        with open(os.path.join(game, "launched.txt"), encoding="utf-8") as f:
            self.assertEqual(f.read().splitlines(), [
                "Valdmark launcher started in %s; working folder %s" % (where, where)])
        self.assertEqual(setting(os.path.join(app, "config.ini"), "Info", "PATH"), where)
        self.assertEqual(setting(os.path.join(app, "config.ini"), "quibver", "version"),
                         demo.VERSION)

    def run_page(self, name, package, launcher=True, chosen=None):
        """demo/portal.js with its server serving a small game or the bytes given; (code, output,
        work folder)."""
        work = fresh_folder("demo-portal-page", name)
        app = fresh_folder(work, "app")
        os.makedirs(os.path.join(work, "www"))
        shutil.copyfile(os.path.join(BUILD, "bin", "pagescript.exe"),
                        os.path.join(app, "pagescript.exe"))
        if package == "game":
            tree = os.path.join(work, "game-as-packed")
            make_game.make_tree(os.path.join(BUILD, "demo", "Launch.exe"), tree, 10, 0.3, 7)
            if not launcher:
                os.remove(os.path.join(tree, "Launch.exe"))
            make_game.make_archive(tree, os.path.join(work, "www", "Valdmark.zip"))
        elif package:
            pathlib.Path(work, "www", "Valdmark.zip").write_bytes(package)
        server = demo.GameServer(work, 0)
        try:
            lines = ["[quibver]", "version=2.5", "[portal]", "server=" + server.address(),
                     "package=Valdmark.zip"] + (["[Info]", "PATH=" + chosen] if chosen else [])
            # In the players' code page, as the tool's profile functions read it.
            with open(os.path.join(app, "config.ini"), "w", encoding="gbk", newline="\r\n") as f:
                f.write("\n".join(lines) + "\n")
            output = io.StringIO()
            return demo.run_portal(app, 60, demo.Screen(output)), output.getvalue(), work
        finally:
            server.stop()

    def test_the_page_uses_the_chosen_game_directory_and_stops_at_the_step_that_fails(self):
        demo.start_wine()
        chosen = fresh_folder("demo-portal-page", "游戏", "瓦尔德马克")
        code, output, work = self.run_page("chosen", "game", chosen=demo.windows_path(chosen))
        self.assertEqual(code, 0, output)
        self.assertTrue(unpacked_whole(os.path.join(work, "game-as-packed"), chosen), output)
        self.assertFalse(os.path.exists(os.path.join(work, "app", "Valdmark")))
        self.assertEqual(setting(os.path.join(work, "app", "config.ini"), "Info", "PATH", "gbk"),
                         demo.windows_path(chosen))
        for name, package, launcher, failure in [
                ("missing", None, True, "the download of http://"),
                ("no-zip", os.urandom(300000), True, "unpacking "),
                ("no-launcher", "game", False, "the game has no launcher: ")]:
            with self.subTest(name):
                code, output, work = self.run_page(name, package, launcher)
                self.assertNotEqual(code, 0, output)
                self.assertIn("portal: failed: " + failure, output)
                self.assertNotIn("starting ", output)
        self.assertTrue(os.path.isfile(os.path.join(work, "app", "Valdmark", "说明.txt")),
                        "the game was not unpacked before the launcher was looked for")

    def test_the_demo_refuses_a_folder_of_other_files_and_ends_with_its_page(self):
        folder = fresh_folder("demo-other-folder")
        with open(os.path.join(folder, "notes.txt"), "w") as f:
            f.write("mine")
        code, output = run_demo(folder)
        self.assertEqual(code, 1, output)
        self.assertIn("demo: failed: %s holds files of another kind" % folder, output)
        self.assertEqual(files_below(folder), {"notes.txt"})
        with open(os.path.join(folder, "notes.txt")) as f:
            self.assertEqual(f.read(), "mine")
        # A page out of time fails the demo, which stops its server.
        folder = fresh_folder("demo-out-of-time")
        code, output = run_demo(folder, "--files", "20", "--megabytes", "1", "--seconds", "60",
                                "--timeout", "3")
        self.assertEqual(code, 1, output)
        self.assertIn("demo: failed: the portal page failed (exit code 124)", output)
        self.assertTrue(server_stopped(folder), "the demo left its server running")
        # The page's end ends the run, though a program it started still holds the pipe.
        holder = os.path.join(folder, "holder.pid")
        with subprocess.Popen(["sh", "-c", "echo first; sleep 60 & echo $! > '%s'; printf last"
                               % holder], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE) as sh:
            lines = list(demo.page_lines(sh, time.monotonic() + 60))
            held = not select.select([sh.stdout], [], [], 0)[0]  # neither output nor its end
            os.kill(int(open(holder).read()), signal.SIGTERM)
        self.assertEqual((lines, held), (["first", "last"], True))


if __name__ == "__main__":
    unittest.main()
