#!/usr/bin/env python3
"""The whole job on one machine: the portal has the tool fetch, unpack and start the game.

    demo.py [--folder DIR] [--files N] [--megabytes M] [--seconds S] [--timeout T] [--seed N]

Run by tools/demo after the build, with the Wine settings of tools/wine-env. It makes a sample
game (make_game.py) and serves its archive from a local server (game_server.py), lays out a fresh
application folder (the tool's program and a config.ini naming the server), and runs
demo/portal.js against the tool's real bridge with pagescript. The progress line is redrawn in
place on a terminal. At the end it shows what the server was asked for, checks the unpacked game
against the one that was packed, and prints the folders to look at. Exits with 0 when every step
worked, 1 otherwise.
"""
import argparse
import filecmp
import json
import os
import select
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import make_game  # noqa: E402

PACKAGE = "Valdmark.zip"
GAME_FOLDER = "Valdmark"   # the portal's choice under the application folder
MARKER = "launched.txt"
OWN_MARK = ".quib-demo"    # marks a folder the demo made, which the next run may empty
VERSION = "1.0.0"
SERVER_START_SECONDS = 15
WINE_START_SECONDS = 120
# Lines Wine prints on a 64-bit-only installation, which say nothing about the demo.
WINE_NOISE = ("it looks like wine32 is missing", "multiarch", "dpkg --add-architecture",
              "apt-get install wine32", "apt install wine32")


def say(text):
    print("demo: " + text, flush=True)


class Failure(Exception):
    pass


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class Screen:
    """The page's lines, with its progress line redrawn in place on a terminal."""

    def __init__(self, stream):
        self.stream = stream
        self.tty = stream.isatty()
        self.progress_open = False

    def page_line(self, text):
        if text.startswith("\r"):
            return self.progress(text.lstrip("\r"))
        self.end_progress()
        self.stream.write("portal: " + text + "\n")
        self.stream.flush()

    def progress(self, text):
        if self.tty:
            # Cut to the terminal's width: a line that wraps cannot be redrawn in place.
            width = shutil.get_terminal_size().columns - 1
            self.stream.write(("\rportal: " + text)[:width + 1] + "\x1b[K")
            self.progress_open = True
        else:
            self.stream.write("portal: " + text + "\n")
        self.stream.flush()

    def end_progress(self):
        if self.progress_open:
            self.stream.write("\n")
            self.progress_open = False


class GameServer:
    def __init__(self, folder, rate):
        self.folder = folder
        self.ready = os.path.join(folder, "address.txt")
        self.log = os.path.join(folder, "requests.log")
        with open(os.path.join(folder, "server-errors.log"), "w") as errors:
            self.process = subprocess.Popen(
                [sys.executable, os.path.join(HERE, "game_server.py"),
                 os.path.join(folder, "www"), self.ready, self.log, "--rate", str(rate)],
                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=errors,
                start_new_session=True)

    def address(self):
        deadline = time.monotonic() + SERVER_START_SECONDS
        while not os.path.exists(self.ready):
            if self.process.poll() is not None:
                raise Failure("the game server ended at once; see "
                              + os.path.join(self.folder, "server-errors.log"))
            if time.monotonic() > deadline:
                raise Failure("the game server did not start within %d s" % SERVER_START_SECONDS)
            time.sleep(0.05)
        with open(self.ready) as f:
            return f.read().strip()

    def requests(self):
        """One dict per request: what came in, merged with how it ended."""
        merged = {}
        if os.path.exists(self.log):
            with open(self.log, encoding="utf-8") as f:
                for line in f:
                    record = json.loads(line)
                    merged.setdefault(record["request"], {}).update(record)
        return [merged[number] for number in sorted(merged)]

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


def write_config(app, address, size):
    # CR LF, as the profile functions write it themselves.
    lines = ["[quibver]", "version=" + VERSION, "[portal]", "server=" + address,
             "package=" + PACKAGE, "size=%d" % size]
    with open(os.path.join(app, "config.ini"), "w", newline="\r\n") as f:
        f.write("\n".join(lines) + "\n")


def start_wine():
    """Starts a wineserver with Wine's services when none runs for the prefix.

    Started here, with no handle on our pipes, the services cannot keep the page's output open;
    the server ends by itself half a minute after its last program. A server that runs already
    (tools/test starts one for the tests) is used as it is.
    """
    quiet = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    if subprocess.run(["wineserver", "-p30"], **quiet).returncode != 0:
        return
    try:
        subprocess.run(["wine", "wineboot"], **quiet, timeout=WINE_START_SECONDS)
    except subprocess.TimeoutExpired:
        raise Failure("Wine did not start within %d s" % WINE_START_SECONDS)


def run_portal(app, timeout, screen):
    """Runs the portal page through pagescript in the application folder; its exit code."""
    command = ["wine", os.path.join(app, "pagescript.exe"),
               windows_path(os.path.join(HERE, "portal.js")), str(timeout)]
    # pagescript ends itself at its timeout; the margin covers Wine's own start and end.
    deadline = time.monotonic() + timeout + 30
    with subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT, cwd=app) as process:
        for text in page_lines(process, deadline):
            if not any(noise in text for noise in WINE_NOISE):
                screen.page_line(text)
        screen.end_progress()
        return process.wait()


def page_lines(process, deadline):
    """The page's lines as they come, until pagescript has ended and its output is read.

    The end of pagescript, not the end of the pipe, ends the run: the launcher that the page
    starts inherits the page's standard handles, and Wine's server keeps the pipe open for
    seconds after both have ended.
    """
    pipe = process.stdout.fileno()
    os.set_blocking(pipe, False)
    pending = b""
    while True:
        ended = process.poll() is not None
        if not ended and time.monotonic() > deadline:
            process.kill()
        readable, _, _ = select.select([pipe], [], [], 0 if ended else 0.2)
        if readable:
            try:
                chunk = os.read(pipe, 65536)
            except BlockingIOError:
                continue
            if not chunk:
                break  # every writer has closed the pipe
            *lines, pending = (pending + chunk).split(b"\n")
            for line in lines:
                yield line.decode("utf-8", "replace").rstrip("\r")
        elif ended:
            break
    if pending:
        yield pending.decode("utf-8", "replace").rstrip("\r")


def describe(request):
    asked = request.get("range") or "the whole file"
    text = "%s %s (%s)" % (request.get("method"), request.get("path"), asked)
    if "status" not in request:
        return text + ": no answer recorded"
    text += " -> %d, %.1f MB sent" % (request["status"], request["sent"] / make_game.MEGABYTE)
    if request["sent"] and not request["complete"]:
        text += ", then the tool closed the connection"
    return text


def compare_trees(source, unpacked):
    """Relative paths that differ or are missing; and how many files were compared."""
    differing, count = [], 0
    for folder, _, names in os.walk(source):
        for name in names:
            relative = os.path.relpath(os.path.join(folder, name), source)
            count += 1
            copy = os.path.join(unpacked, relative)
            if not os.path.isfile(copy) or not filecmp.cmp(os.path.join(folder, name), copy,
                                                           shallow=False):
                differing.append(relative)
    return differing, count


def prepare(folder, build, args):
    """Makes the game, its archive and the application folder; returns the archive's size."""
    launcher = os.path.join(build, "demo", "Launch.exe")
    pagescript = os.path.join(build, "bin", "pagescript.exe")
    for program in (launcher, pagescript):
        if not os.path.isfile(program):
            raise Failure(program + " is missing: build the project first (tools/build)")
    if os.path.exists(folder):
        # Only what an earlier demo made goes: a folder given by mistake loses nothing.
        if os.listdir(folder) and not os.path.isfile(os.path.join(folder, OWN_MARK)):
            raise Failure(folder + " holds files of another kind: name an empty or new folder")
        shutil.rmtree(folder)
    os.makedirs(os.path.join(folder, "www"))
    open(os.path.join(folder, OWN_MARK), "w").close()
    app = os.path.join(folder, "app")
    os.makedirs(app)
    archive = os.path.join(folder, "www", PACKAGE)
    make_game.make_tree(launcher, os.path.join(folder, "game-as-packed"), args.files,
                        args.megabytes, args.seed)
    make_game.make_archive(os.path.join(folder, "game-as-packed"), archive)
    shutil.copyfile(pagescript, os.path.join(app, "pagescript.exe"))
    return os.path.getsize(archive)


def show_results(folder, server, status):
    app = os.path.join(folder, "app")
    game = os.path.join(app, GAME_FOLDER)
    say("the server was asked for:")
    for request in server.requests():
        print("        " + describe(request))
    if status != 0:
        raise Failure("the portal page failed (exit code %d)" % status)
    marker = os.path.join(game, MARKER)
    if not os.path.isfile(marker):
        raise Failure("the launcher left no " + marker)
    differing, count = compare_trees(os.path.join(folder, "game-as-packed"), game)
    if differing:
        raise Failure("%d of %d unpacked files differ from the packed game, e.g. %s"
                      % (len(differing), count, differing[0]))
    with open(marker, encoding="utf-8") as f:
        launched = f.read().strip()
    say("all %d unpacked files are those that were packed" % count)
    say("the launcher wrote: " + launched)
    say("application folder: " + app)
    say("  downloaded archive: " + os.path.join(app, "Downloads", PACKAGE))
    say("game directory:     " + game)


def main(argv):
    parser = argparse.ArgumentParser(prog="tools/demo", description=__doc__.splitlines()[0])
    parser.add_argument("--no-build", action="store_true",
                        help="do not build first (tools/demo reads this one)")
    parser.add_argument("--folder", help="where to make everything (default: build/demo-run)")
    parser.add_argument("--files", type=int, default=300, help="files in the game")
    parser.add_argument("--megabytes", type=float, default=30, help="about the archive's size")
    parser.add_argument("--seconds", type=float, default=6,
                        help="how long the server takes to send the archive (0: no limit)")
    parser.add_argument("--timeout", type=int, default=300, help="bound of the page's run")
    parser.add_argument("--seed", type=int, default=2024, help="another seed, another game")
    args = parser.parse_args(argv)
    build = os.environ.get("QUIB_BUILD") or os.path.join(os.path.dirname(HERE), "build")
    folder = os.path.abspath(args.folder or os.path.join(build, "demo-run"))
    server = None
    try:
        say("making a sample game of %d files, about %g MB packed" % (args.files, args.megabytes))
        size = prepare(folder, build, args)
        rate = size / args.seconds if args.seconds > 0 else 0
        server = GameServer(folder, rate)
        address = server.address()
        say("serving %s (%.1f MB) at %s%s" % (PACKAGE, size / make_game.MEGABYTE, address,
                                              ", about %g s to send" % args.seconds
                                              if rate else ""))
        write_config(os.path.join(folder, "app"), address, size)
        start_wine()
        say("running the portal page demo/portal.js through pagescript")
        status = run_portal(os.path.join(folder, "app"), args.timeout, Screen(sys.stdout))
        show_results(folder, server, status)
        return 0
    except Failure as failure:
        say("failed: %s" % failure)
        say("everything is left in " + folder)
        return 1
    finally:
        if server:
            server.stop()


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
