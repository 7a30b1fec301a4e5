#!/usr/bin/env python3
"""The demo end to end, and the portal page's failures.

DemoEndToEnd runs tools/demo with a small game, as a user would, and checks every step's trace:
what the server was asked for, the downloaded archive, the unpacked game, the launcher's marker
and config.ini. PortalPage runs demo/portal.js through pagescript against servers and archives
made here, for a game directory the player chose and for each step that can fail.

Run by CTest in the build (QUIB_BUILD, the Wine settings of tests/CMakeLists.txt), where the
tools/test wineserver already runs; each class works in a fresh folder of its own there.
"""
import configparser
import filecmp
import io
import json
import os
import re
import select
import shutil
import signal
import socket
import subprocess
import sys
import time
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "demo"))
import demo  # noqa: E402
import make_game  # noqa: E402

BUILD = os.environ.get("QUIB_BUILD") or os.path.join(ROOT, "build")
DEMO_BOUND_SECONDS = 180
PAGE_TIMEOUT_SECONDS = 60


def fresh_folder(name):
    folder = os.path.abspath(name)
    if os.path.exists(folder):
        shutil.rmtree(folder)
    os.makedirs(folder)
    return folder


def relative_files(top):
    found = set()
    for folder, _, names in os.walk(top):
        for name in names:
            found.add(os.path.relpath(os.path.join(folder, name), top))
    return found


def profile(path, encoding="ascii"):
    parser = configparser.ConfigParser(interpolation=None, strict=False)
    with open(path, encoding=encoding) as f:
        parser.read_file(f)
    return parser


def percentages(output):
    return [int(p) for p in re.findall(r"^portal: \[[#-]+\]\s+(\d+) %", output, re.M)]


class DemoEndToEnd(unittest.TestCase):
    """tools/demo with a small game: every step leaves its mark."""

    @classmethod
    def setUpClass(cls):
        cls.folder = fresh_folder("demo-end-to-end")
        command = [os.path.join(ROOT, "tools", "demo"), "--no-build", "--folder", cls.folder,
                   "--files", "60", "--megabytes", "2", "--seconds", "1",
                   "--timeout", str(PAGE_TIMEOUT_SECONDS)]
        run = subprocess.run(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                             stderr=subprocess.STDOUT, timeout=DEMO_BOUND_SECONDS)
        cls.code = run.returncode
        cls.output = run.stdout.decode("utf-8", "replace")
        cls.app = os.path.join(cls.folder, "app")
        cls.game = os.path.join(cls.app, "Valdmark")
        cls.served = os.path.join(cls.folder, "www", "Valdmark.zip")

    def requests(self):
        merged = {}
        with open(os.path.join(self.folder, "requests.log"), encoding="utf-8") as f:
            for line in f:
                record = json.loads(line)
                merged.setdefault(record["request"], {}).update(record)
        return [merged[n] for n in sorted(merged)]

    def test_succeeds_and_names_the_folders_to_look_at(self):
        self.assertEqual(self.code, 0, self.output)
        self.assertIn("demo: application folder: " + self.app + "\n", self.output)
        self.assertIn("demo: game directory:     " + self.game + "\n", self.output)

    def test_pauses_at_forty_percent_and_resumes_with_the_rest(self):
        size = os.path.getsize(self.served)
        requests = self.requests()
        self.assertEqual([(r["method"], r["path"]) for r in requests],
                         [("GET", "/Valdmark.zip")] * 2, self.output)
        self.assertIsNone(requests[0]["range"], "the first request was not for the whole file")
        match = re.fullmatch(r"bytes=(\d+)-", requests[1]["range"] or "")
        self.assertIsNotNone(match, "the resumed request asked for no range: %s" % requests[1])
        first = int(match.group(1))
        self.assertGreaterEqual(first * 100, size * 40, "paused before 40 %")
        self.assertLess(first, size, "paused only once the whole file was there")
        self.assertEqual((requests[1]["status"], requests[1]["sent"], requests[1]["complete"]),
                         (206, size - first, True))

        paused = re.search(r"^portal: paused at (\d+) %", self.output, re.M)
        self.assertIsNotNone(paused, self.output)
        self.assertGreaterEqual(int(paused.group(1)), 40)
        shown = percentages(self.output)
        self.assertEqual(shown, sorted(shown), "the progress went backwards")
        self.assertEqual(shown[-1], 100)
        self.assertLess(self.output.index("paused at"), self.output.index("] 100 %"))

    def test_the_archive_arrives_whole_in_the_downloads_folder(self):
        downloaded = os.path.join(self.app, "Downloads", "Valdmark.zip")
        self.assertTrue(os.path.isfile(downloaded), self.output)
        self.assertTrue(filecmp.cmp(downloaded, self.served, shallow=False),
                        "the downloaded archive differs from the served one")

    def test_the_game_is_unpacked_file_for_file(self):
        packed = os.path.join(self.folder, "game-as-packed")
        expected = relative_files(packed)
        self.assertIn("说明.txt", expected)
        self.assertIn(os.path.join("资料", "角色介绍.txt"), expected)
        self.assertGreaterEqual(len(expected), 60)
        # The launcher's marker is the one file that the game made itself.
        self.assertEqual(relative_files(self.game), expected | {"launched.txt"}, self.output)
        differing = [p for p in sorted(expected) if not filecmp.cmp(
            os.path.join(packed, p), os.path.join(self.game, p), shallow=False)]
        self.assertEqual(differing, [])

    def test_the_launcher_ran_in_the_game_directory(self):
        with open(os.path.join(self.game, "launched.txt"), encoding="utf-8") as f:
            lines = f.read().splitlines()
        windows_game = demo.windows_path(self.game)
        self.assertEqual(lines, ["Valdmark launcher started in %s; working folder %s"
                                 % (windows_game, windows_game)])

    def test_the_chosen_game_directory_is_kept_in_config_ini(self):
        settings = profile(os.path.join(self.app, "config.ini"))
        self.assertEqual(settings.get("Info", "PATH"), demo.windows_path(self.game))
        self.assertEqual(settings.get("quibver", "version"), demo.VERSION)

    def test_the_game_server_is_stopped_afterwards(self):
        with open(os.path.join(self.folder, "address.txt")) as f:
            port = int(f.read().strip().rsplit(":", 1)[1].strip("/"))
        with socket.socket() as probe:
            self.assertNotEqual(probe.connect_ex(("127.0.0.1", port)), 0,
                                "the demo left its server running")


class PortalPage(unittest.TestCase):
    """demo/portal.js in an application folder of each test's own."""

    @classmethod
    def setUpClass(cls):
        cls.folder = fresh_folder("demo-portal-page")
        demo.start_wine()

    def setUp(self):
        self.work = fresh_folder(os.path.join(self.folder, self._testMethodName))
        self.app = os.path.join(self.work, "app")
        os.makedirs(self.app)
        os.makedirs(os.path.join(self.work, "www"))
        shutil.copyfile(os.path.join(BUILD, "bin", "pagescript.exe"),
                        os.path.join(self.app, "pagescript.exe"))
        self.server = None

    def tearDown(self):
        if self.server:
            self.server.stop()

    def make_game(self, with_launcher=True):
        tree = os.path.join(self.work, "game-as-packed")
        make_game.make_tree(os.path.join(BUILD, "demo", "Launch.exe"), tree, 30, 0.5, 7)
        if not with_launcher:
            os.remove(os.path.join(tree, "Launch.exe"))
        make_game.make_archive(tree, os.path.join(self.work, "www", "Valdmark.zip"))
        return tree

    def serve(self):
        self.server = demo.GameServer(self.work, 0)
        return self.server.address()

    def run_page(self, address, game_path=None):
        """Writes config.ini (in the players' code page) and runs the page; (code, output)."""
        lines = ["[quibver]", "version=2.5", "[portal]", "server=" + address,
                 "package=Valdmark.zip"]
        if game_path:
            lines += ["[Info]", "PATH=" + game_path]
        with open(os.path.join(self.app, "config.ini"), "w", encoding="gbk",
                  newline="\r\n") as f:
            f.write("\n".join(lines) + "\n")
        output = io.StringIO()
        code = demo.run_portal(self.app, PAGE_TIMEOUT_SECONDS, demo.Screen(output))
        return code, output.getvalue()

    def test_a_game_directory_the_player_chose_is_used_as_it_is(self):
        tree = self.make_game()
        chosen = os.path.join(self.work, "游戏", "瓦尔德马克")
        code, output = self.run_page(self.serve(), demo.windows_path(chosen))
        self.assertEqual(code, 0, output)
        self.assertIn("portal: QUIB 2.5 in ", output)
        self.assertEqual(relative_files(chosen), relative_files(tree) | {"launched.txt"})
        self.assertFalse(os.path.exists(os.path.join(self.app, "Valdmark")))
        settings = profile(os.path.join(self.app, "config.ini"), "gbk")
        self.assertEqual(settings.get("Info", "PATH"), demo.windows_path(chosen))

    def test_an_unreachable_server_fails_the_page_before_anything_is_unpacked(self):
        with socket.socket() as probe:
            probe.bind(("127.0.0.1", 0))
            closed = "http://127.0.0.1:%d/" % probe.getsockname()[1]
        code, output = self.run_page(closed)
        self.assertNotEqual(code, 0, output)
        self.assertIn("portal: failed: the download of %sValdmark.zip failed" % closed, output)
        self.assertFalse(os.path.exists(os.path.join(self.app, "Valdmark")))

    def test_a_missing_package_fails_the_page(self):
        code, output = self.run_page(self.serve())
        self.assertNotEqual(code, 0, output)
        self.assertIn("portal: failed: the download of", output)
        self.assertEqual([r["status"] for r in self.server.requests()], [404])

    def test_an_archive_that_is_no_zip_fails_unpacking_and_starts_nothing(self):
        with open(os.path.join(self.work, "www", "Valdmark.zip"), "wb") as f:
            f.write(os.urandom(300000))
        code, output = self.run_page(self.serve())
        self.assertNotEqual(code, 0, output)
        self.assertIn("portal: failed: unpacking ", output)
        self.assertNotIn("starting ", output)
        self.assertFalse(os.path.exists(os.path.join(self.app, "Valdmark", "launched.txt")))

    def test_a_game_without_its_launcher_fails_before_running_anything(self):
        self.make_game(with_launcher=False)
        code, output = self.run_page(self.serve())
        self.assertNotEqual(code, 0, output)
        self.assertIn("portal: failed: the game has no launcher: ", output)
        self.assertNotIn("starting ", output)
        self.assertTrue(os.path.isfile(os.path.join(self.app, "Valdmark", "说明.txt")),
                        "the game was not unpacked before the launcher was looked for")


class PageOutput(unittest.TestCase):
    def test_the_run_ends_with_the_page_though_a_program_it_started_holds_the_pipe(self):
        folder = fresh_folder("demo-page-output")
        holder = os.path.join(folder, "holder.pid")
        # The shell leaves a child behind with the pipe as its output, as a launcher may.
        script = "echo first; sleep 60 & echo $! > '%s'; printf 'last'" % holder
        with subprocess.Popen(["sh", "-c", script], stdin=subprocess.DEVNULL,
                              stdout=subprocess.PIPE) as shell:
            lines = list(demo.page_lines(shell, time.monotonic() + DEMO_BOUND_SECONDS))
            with open(holder) as f:
                pid = int(f.read())
            try:
                self.assertEqual(lines, ["first", "last"])
                # Neither more output nor its end: the child still holds the pipe open.
                self.assertEqual(select.select([shell.stdout], [], [], 0)[0], [],
                                 "the lines ended only with the pipe")
            finally:
                os.kill(pid, signal.SIGTERM)


class DemoFailure(unittest.TestCase):
    def test_a_folder_of_other_files_is_refused_and_left_as_it_was(self):
        folder = fresh_folder("demo-other-folder")
        with open(os.path.join(folder, "notes.txt"), "w") as f:
            f.write("mine")
        run = subprocess.run([os.path.join(ROOT, "tools", "demo"), "--no-build", "--folder",
                              folder], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                             stderr=subprocess.STDOUT, timeout=DEMO_BOUND_SECONDS)
        output = run.stdout.decode("utf-8", "replace")
        self.assertEqual(run.returncode, 1, output)
        self.assertIn("demo: failed: %s holds files of another kind" % folder, output)
        self.assertEqual(os.listdir(folder), ["notes.txt"])
        with open(os.path.join(folder, "notes.txt")) as f:
            self.assertEqual(f.read(), "mine")

    def test_a_page_that_runs_out_of_time_fails_the_demo_and_stops_its_server(self):
        folder = fresh_folder("demo-out-of-time")
        command = [os.path.join(ROOT, "tools", "demo"), "--no-build", "--folder", folder,
                   "--files", "20", "--megabytes", "1", "--seconds", "60", "--timeout", "3"]
        run = subprocess.run(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                             stderr=subprocess.STDOUT, timeout=DEMO_BOUND_SECONDS)
        output = run.stdout.decode("utf-8", "replace")
        self.assertEqual(run.returncode, 1, output)
        self.assertIn("demo: failed: the portal page failed (exit code 124)", output)
        self.assertNotIn("demo: application folder", output)
        with open(os.path.join(folder, "address.txt")) as f:
            port = int(f.read().strip().rsplit(":", 1)[1].strip("/"))
        with socket.socket() as probe:
            self.assertNotEqual(probe.connect_ex(("127.0.0.1", port)), 0)


if __name__ == "__main__":
    unittest.main()
