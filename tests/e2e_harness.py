"""What the end-to-end suites (tests/qt, tests/win32) and the benchmark
share: X servers, processes, bounded waits, screenshots, clips, shares."""

import contextlib
import os
import re
import select
import shutil
import signal
import subprocess
import tempfile
import time

DEFAULTS = {"timeFrom": "09:00", "timeUntil": "18:00", "vidFolder": "c:\\",
            "intervalTime": "30"}


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def start_x(*argv, env=None):
    """An X server on a free display, and the display's name."""
    read_fd, write_fd = os.pipe()
    # -noreset: by default the server starts over when its last client
    # leaves, and a program started at that moment cannot connect.
    server = subprocess.Popen(
        [*argv, "-displayfd", str(write_fd), "-nolisten", "tcp", "-noreset"],
        env=env, pass_fds=[write_fd], stdout=subprocess.DEVNULL,
        stderr=subprocess.DEVNULL)
    os.close(write_fd)
    with os.fdopen(read_fd) as numbers:
        number = numbers.readline().strip()
    check(number, f"{argv[0]} did not start")
    return server, ":" + number


def start_xvfb(width=1024, height=768):
    return start_x("Xvfb", "-screen", "0", f"{width}x{height}x24")


def waited(what, predicate, seconds, pause=0.1, proc=None):
    """First truthy `predicate()`; fails after `seconds` or once `proc` ends."""
    deadline = time.time() + seconds
    while time.time() < deadline:
        check(not proc or proc.poll() is None,
              f"the process ended while waiting for {what}")
        result = predicate()
        if result:
            return result
        time.sleep(pause)
    raise Failure(f"never saw {what}")


def stop_group(process):
    """Ends a process and, when it leads a process group, all of it."""
    if process.poll() is None:  # once it is reaped, its id may be another's
        with contextlib.suppress(ProcessLookupError):
            if os.getpgid(process.pid) == process.pid:
                os.killpg(process.pid, signal.SIGTERM)
            else:
                process.terminate()
    try:
        process.wait(5)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


def read_line(stream, seconds=30):
    check(select.select([stream], [], [], seconds)[0], "a helper did not answer")
    return stream.readline()


# ---------------------------------------------------------------- screens

LIT = bytes(int(value >= 40) for value in range(256))  # brighter than black


def bright_box(shot):
    """(x0, y0, x1, y1) around every pixel that is not black, or None."""
    width, height, pixels = shot
    lit = pixels.translate(LIT)
    rows = [(y, lit[y * width * 3:(y + 1) * width * 3]) for y in range(height)]
    rows = [(y, row.find(1) // 3, row.rfind(1) // 3) for y, row in rows if 1 in row]
    return (min(r[1] for r in rows), rows[0][0], max(r[2] for r in rows) + 1,
            rows[-1][0] + 1) if rows else None


def clip_box(shot, *sizes):
    """The bright box if it fits one of `sizes` within 2 pixels, else None."""
    box = bright_box(shot)
    if box and any(abs(box[2] - box[0] - w) <= 2 and abs(box[3] - box[1] - h) <= 2
                   for w, h in sizes):
        return box


# ---------------------------------------------------------------- files

def make_clip(path, source, size, seconds, codec="mpeg4", rate=25, extra=()):
    """A clip of an ffmpeg test source; `extra` are options of the output."""
    subprocess.run(
        ["ffmpeg", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
         f"{source}=size={size}:rate={rate}", *extra, "-t", str(seconds),
         "-c:v", codec, "-pix_fmt", "yuv420p", path], check=True, timeout=300)


# A folder on a share that stops answering, as NFS or SMB does when the
# server has gone: with "list" every listing of it sleeps; with "read" it
# lists at once one clip, a.avi, whose every read sleeps. Every look at the
# program's own folder in it sleeps too once the trigger file exists. The
# first stalled listing or read leaves a mark beside the folder, FOLDER.list
# or FOLDER.read.
STALLED_SHARE = r"""
import errno, os, stat, sys, time
from fusepy import FUSE, FuseOSError, Operations
folder, seconds, trigger, stall = sys.argv[1:5]

class Share(Operations):
    def getattr(self, path, fh=None):
        if path == "/":
            return dict(st_mode=stat.S_IFDIR | 0o755, st_nlink=2)
        if path == "/a.avi" and stall == "read":
            return dict(st_mode=stat.S_IFREG | 0o644, st_nlink=1,
                        st_size=1 << 20)
        if path.startswith("/Tarnlight") and os.path.exists(trigger):
            time.sleep(float(seconds))
        raise FuseOSError(errno.ENOENT)

    def readdir(self, path, fh):
        if stall == "list":
            open(folder + ".list", "w").close()
            time.sleep(float(seconds))
        return [".", "..", "a.avi"]

    def read(self, path, size, offset, fh):
        open(folder + ".read", "w").close()
        time.sleep(float(seconds))
        return b""

FUSE(Share(), folder, foreground=True)
"""


@contextlib.contextmanager
def stalled_share(folder, seconds, trigger="/nonexistent", stall="list"):
    """`folder` mounted as STALLED_SHARE; leaving frees what waits on it."""
    os.makedirs(folder)
    # Debian's python3-fusepy lives in the system's Python, whichever runs
    # this.
    fuse = subprocess.Popen(["/usr/bin/python3", "-c", STALLED_SHARE, folder,
                             str(seconds), trigger, stall])
    try:
        waited("the share mounted", lambda: os.path.ismount(folder), 10,
               proc=fuse)
        yield
    finally:
        fuse.kill()
        fuse.wait()
        subprocess.run(["fusermount", "-u", "-z", folder],
                       stderr=subprocess.DEVNULL)


# ---------------------------------------------------------------- session

class X11Session:
    """A temporary folder and an X server; the one program a case watches
    (`proc`) and the helpers beside it, ended on close(), and their log."""

    def __init__(self, prefix):
        self.tmp = tempfile.mkdtemp(prefix=prefix)
        self.xvfb, display = start_xvfb()
        self.env = dict(os.environ, DISPLAY=display)
        for name in ("WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS"):
            self.env.pop(name, None)
        self.proc, self.helpers = None, []
        self.log = open(os.path.join(self.tmp, "run.log"), "ab", buffering=0)

    def close(self):
        for process in filter(None, [self.proc, *self.helpers]):
            stop_group(process)
        stop_group(self.xvfb)
        shutil.rmtree(self.tmp, ignore_errors=True)

    def said(self):
        with open(self.log.name, "rb") as f:
            return f.read().decode(errors="replace")[-6000:]

    def helper(self, *argv, stdin=None, stdout=subprocess.DEVNULL):
        """A process beside the program, in a process group of its own."""
        process = subprocess.Popen(argv, env=self.env, start_new_session=True,
                                   stdin=stdin, stdout=stdout, stderr=self.log)
        self.helpers.append(process)
        return process

    def run(self, *args, timeout=10):
        return subprocess.run(args, env=self.env, capture_output=True,
                              text=True, errors="replace", timeout=timeout)

    def xdotool(self, *args):
        return self.run("xdotool", *args)

    def alive(self):
        return self.proc.poll() is None

    def wait_exit(self, seconds, proc=None, what="the program"):
        """The exit status; after `seconds` the program is killed, failing."""
        proc = proc or self.proc
        try:
            return proc.wait(seconds)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
            raise Failure(f"{what} did not end within {seconds} s")

    def wait_for(self, what, predicate, seconds=8, pause=0.0):
        return waited(what, predicate, seconds, pause, self.proc)

    def wait_clip(self, what, *sizes, seconds=8):
        return self.wait_for(what, lambda: clip_box(self.screenshot(), *sizes),
                             seconds)

    def find_window(self, name, seconds=30):
        return waited(f"a window named {name!r}", lambda: self.xdotool(
            "search", "--onlyvisible", "--name", name).stdout.split(),
            seconds)[0]

    def wait_focus(self, window, seconds=20):
        """So that typing reaches `window` on a loaded machine too."""
        waited("the window taking the keyboard focus", lambda: self.xdotool(
            "getwindowfocus").stdout.strip() == window, seconds)
        time.sleep(0.2)

    def screenshot(self, *part):
        """(width, height, RGB) of the screen or its `part` (x, y, w, h)."""
        crop = ["-crop", "{2}x{3}+{0}+{1}".format(*part)] if part else []
        data = subprocess.run(["import", "-window", "root", *crop, "-depth",
                               "8", "ppm:-"], env=self.env,
                              capture_output=True, timeout=20).stdout
        head = re.match(rb"P6\s+(\d+)\s+(\d+)\s+255\s", data)
        check(head, "the screenshot is no 8-bit PPM")
        return int(head[1]), int(head[2]), data[head.end():]


def run_cases(session, cases):
    """Runs each (name, case), then closes the session; 1 if any failed."""
    failed = 0
    try:
        for name, case in cases:
            try:
                case(session)
                print(f"PASS {name}")
            except Exception as failure:  # a case's fault ends that case
                failed += 1
                print(f"FAIL {name}: {failure!r}\n{session.said()}")
                if session.proc:
                    session.proc.kill()
    finally:
        session.close()
    return 1 if failed else 0
