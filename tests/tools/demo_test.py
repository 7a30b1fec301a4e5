#!/usr/bin/env python3
"""The demo end to end, and the portal page's failures.

DemoEndToEnd runs tools/demo with a small game, as a user would, and checks every step's trace.
PortalPage runs demo/portal.js through pagescript for a game directory the player chose and for
each step that can fail. DemoFailure covers the demo's own refusals and its page's time limit.
Run by CTest in the build (QUIB_BUILD, the Wine settings of tests/CMakeLists.txt), where the
tools/test wineserver already runs; each test works in a fresh folder of its own there.
"""
import configparser
import filecmp
import io
import os
import re
import select
import shutil
import signal
import socket
import subprocess
import sys
import time
import types
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "demo"))
import demo  # noqa: E402
import make_game  # noqa: E402

BUILD = os.environ.get("QUIB_BUILD") or os.path.join(ROOT, "build")
BOUND_SECONDS = 180


def fresh_folder(name):
    folder = os.path.abspath(name)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    return folder


def run_demo(folder, *options):
    run = subprocess.run([os.path.join(ROOT, "tools", "demo"), "--no-build", "--folder", folder,
                          *options], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                         stderr=subprocess.STDOUT, timeout=BOUND_SECONDS)
    return run.returncode, run.stdout.decode("utf-8", "replace")


def relative_files(top):
    return {os.path.relpath(os.path.join(folder, name), top)
            for folder, _, names in os.walk(top) for name in names}


def same_trees(packed, unpacked):
    return relative_files(unpacked) == relative_files(packed) | {"launched.txt"} and all(
        filecmp.cmp(os.path.join(packed, p), os.path.join(unpacked, p), shallow=False)
        for p in relative_files(packed))


def server_stopped(folder):
    with open(os.path.join(folder, "address.txt")) as f:
        port = int(f.read().strip().rsplit(":", 1)[1].strip("/"))
    with socket.socket() as probe:
        return probe.connect_ex(("127.0.0.1", port)) != 0


def profile(path, encoding="ascii"):
    parser = configparser.ConfigParser(interpolation=None, strict=False)
    with open(path, encoding=encoding) as f:
        parser.read_file(f)
    return parser


class DemoEndToEnd(unittest.TestCase):
    """tools/demo with a small game: every step leaves its mark."""

    @classmethod
    def setUpClass(cls):
        cls.folder = fresh_folder("demo-end-to-end")
        cls.code, cls.output = run_demo(cls.folder, "--files", "60", "--megabytes", "2",
                                        "--seconds", "1", "--timeout", "60")
        cls.app = os.path.join(cls.folder, "app")
        cls.game = os.path.join(cls.app, "Valdmark")

    def test_succeeds_and_names_the_folders_to_look_at(self):
        self.assertEqual(self.code, 0, self.output)
        self.assertIn("demo: application folder: %s\n" % self.app, self.output)
        self.assertIn("demo: game directory:     %s\n" % self.game, self.output)
        self.assertTrue(server_stopped(self.folder), "the demo left its server running")

    def test_pauses_at_forty_percent_and_resumes_with_the_rest(self):
        served = os.path.join(self.folder, "www", "Valdmark.zip")
        size = os.path.getsize(served)
        log = types.SimpleNamespace(log=os.path.join(self.folder, "requests.log"))
        requests = demo.GameServer.requests(log)  # what the demo's server was asked for
        self.assertEqual([(r["method"], r["path"]) for r in requests],
                         [("GET", "/Valdmark.zip")] * 2, self.output)
        self.assertIsNone(requests[0]["range"], "the first request was not for the whole file")
        first = int(re.fullmatch(r"bytes=(\d+)-", requests[1]["range"] or "bytes=-1-").group(1))
        self.assertTrue(size * 40 <= first * 100 and first < size, requests[1])
        self.assertEqual((requests[1]["status"], requests[1]["sent"], requests[1]["complete"]),
                         (206, size - first, True))
        shown = [int(p) for p in re.findall(r"^portal: \[[#-]+\]\s+(\d+) %", self.output, re.M)]
        self.assertEqual(shown, sorted(shown), "the progress went backwards")
        paused = re.search(r"^portal: paused at (\d+) %", self.output, re.M)
        self.assertTrue(paused and int(paused.group(1)) >= 40 and shown[-1] == 100, self.output)
        self.assertTrue(filecmp.cmp(os.path.join(self.app, "Downloads", "Valdmark.zip"), served,
                                    shallow=False), "the downloaded archive differs")

    def test_the_game_is_unpacked_file_for_file_and_its_launcher_ran_there(self):
        packed = os.path.join(self.folder, "game-as-packed")
        self.assertIn(os.path.join("资料", "角色介绍.txt"), relative_files(packed))
        self.assertTrue(same_trees(packed, self.game), self.output)
        with open(os.path.join(self.game, "launched.txt"), encoding="utf-8") as f:
            where = demo.windows_path(self.game)
            self.assertEqual(f.read().splitlines(), [
                "Valdmark launcher started in %s; working folder %s" % (where, where)])
        settings = profile(os.path.join(self.app, "config.ini"))
        self.assertEqual(settings.get("Info", "PATH"), demo.windows_path(self.game))
        self.assertEqual(settings.get("quibver", "version"), demo.VERSION)


class PortalPage(unittest.TestCase):
    """demo/portal.js in an application folder of each case's own."""

    @classmethod
    def setUpClass(cls):
        demo.start_wine()

    def run_page(self, name, package, launcher=True, game_path=None):
        """Serves the package (a game, or bytes) and runs the page; (code, output, work)."""
        work = fresh_folder(os.path.join("demo-portal-page", name))
        app = os.path.join(work, "app")
        os.makedirs(app)
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
            with open(os.path.join(work, "www", "Valdmark.zip"), "wb") as f:
                f.write(package)
        server = demo.GameServer(work, 0)
        try:
            lines = ["[quibver]", "version=2.5", "[portal]", "server=" + server.address(),
                     "package=Valdmark.zip"] + (["[Info]", "PATH=" + game_path] if game_path else [])
            # In the players' code page, as the tool's profile functions read it.
            with open(os.path.join(app, "config.ini"), "w", encoding="gbk", newline="\r\n") as f:
                f.write("\n".join(lines) + "\n")
            output = io.StringIO()
            code = demo.run_portal(app, 60, demo.Screen(output))
            return code, output.getvalue(), work
        finally:
            server.stop()

    def test_a_game_directory_the_player_chose_is_used_as_it_is(self):
        chosen = os.path.join(os.path.abspath("demo-portal-page"), "游戏", "瓦尔德马克")
        shutil.rmtree(chosen, ignore_errors=True)
        code, output, work = self.run_page("chosen", "game", game_path=demo.windows_path(chosen))
        self.assertEqual(code, 0, output)
        self.assertTrue(same_trees(os.path.join(work, "game-as-packed"), chosen), output)
        self.assertFalse(os.path.exists(os.path.join(work, "app", "Valdmark")))
        settings = profile(os.path.join(work, "app", "config.ini"), "gbk")
        self.assertEqual(settings.get("Info", "PATH"), demo.windows_path(chosen))

    def test_each_step_that_fails_stops_the_page_before_the_next(self):
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


class DemoFailure(unittest.TestCase):
    def test_a_folder_of_other_files_is_refused_and_left_as_it_was(self):
        folder = fresh_folder("demo-other-folder")
        with open(os.path.join(folder, "notes.txt"), "w") as f:
            f.write("mine")
        code, output = run_demo(folder)
        self.assertEqual(code, 1, output)
        self.assertIn("demo: failed: %s holds files of another kind" % folder, output)
        self.assertEqual(os.listdir(folder), ["notes.txt"])
        with open(os.path.join(folder, "notes.txt")) as f:
            self.assertEqual(f.read(), "mine")

    def test_a_page_that_runs_out_of_time_fails_the_demo_and_stops_its_server(self):
        folder = fresh_folder("demo-out-of-time")
        code, output = run_demo(folder, "--files", "20", "--megabytes", "1", "--seconds", "60",
                                "--timeout", "3")
        self.assertEqual(code, 1, output)
        self.assertIn("demo: failed: the portal page failed (exit code 124)", output)
        self.assertNotIn("demo: application folder", output)
        self.assertTrue(server_stopped(folder), "the demo left its server running")

    def test_the_page_ends_the_run_though_a_program_it_started_holds_the_pipe(self):
        holder = os.path.join(fresh_folder("demo-page-output"), "holder.pid")
        # The shell leaves a child behind with the pipe as its output, as a launcher may.
        script = "echo first; sleep 60 & echo $! > '%s'; printf 'last'" % holder
        with subprocess.Popen(["sh", "-c", script], stdin=subprocess.DEVNULL,
                              stdout=subprocess.PIPE) as shell:
            lines = list(demo.page_lines(shell, time.monotonic() + BOUND_SECONDS))
            with open(holder) as f:
                pid = int(f.read())
            try:
                self.assertEqual(lines, ["first", "last"])
                # Neither more output nor its end: the child still holds the pipe open.
                self.assertEqual(select.select([shell.stdout], [], [], 0)[0], [])
            finally:
                os.kill(pid, signal.SIGTERM)


if __name__ == "__main__":
    unittest.main()
