#!/usr/bin/env python3
"""End-to-end checks of the tarnlight program under Xvfb.

Usage: tarnlight_e2e.py PATH_TO_TARNLIGHT CASE

Every case runs in its own temporary folder with its own X server, settings
folder and clip folder, and bounds each wait so that it ends on its own.
"""

import functools
import contextlib
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

SCREEN_W, SCREEN_H = 1024, 768
DEFAULTS = {"timeFrom": "09:00", "timeUntil": "18:00", "vidFolder": "c:\\",
            "intervalTime": "30"}


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


# ---------------------------------------------------------------- settings

def ini_escape(value):
    return value.replace("\\", "\\\\")


def write_ini(path, values, raw=None):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        if raw is not None:
            f.write(raw)
            return
        f.write(b"[settings]\n")
        for key, value in values.items():
            f.write(f"{key}={ini_escape(value)}\n".encode())


def read_ini(path):
    """The [settings] values as QSettings stores plain strings."""
    values = {}
    if not os.path.exists(path):
        return values
    section = None
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if line.startswith("["):
                section = line.strip("[]")
            elif "=" in line and section == "settings":
                key, value = line.split("=", 1)
                if len(value) >= 2 and value[0] == '"' and value[-1] == '"':
                    value = value[1:-1]
                values[key] = value.replace("\\\\", "\\")
    return values


# ---------------------------------------------------------------- display

def start_xvfb():
    """An X server on a free display; returns it and its display name."""
    read_fd, write_fd = os.pipe()
    # -noreset: by default the server starts over when its last client
    # leaves, and a program started at that moment cannot connect.
    xvfb = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_fd), "-screen", "0",
         f"{SCREEN_W}x{SCREEN_H}x24", "-nolisten", "tcp", "-noreset"],
        pass_fds=[write_fd], stdout=subprocess.DEVNULL,
        stderr=subprocess.DEVNULL)
    os.close(write_fd)
    number = b""
    deadline = time.time() + 10
    while not number.endswith(b"\n") and time.time() < deadline:
        chunk = os.read(read_fd, 16)
        if not chunk:
            break
        number += chunk
    os.close(read_fd)
    check(number.strip(), "Xvfb did not start")
    return xvfb, ":" + number.decode().strip()


class Session:
    """A temporary home, an X server and the program's environment."""

    def __init__(self, binary, config_home=None):
        self.binary = binary
        self.tmp = tempfile.mkdtemp(prefix="tarnlight-e2e-")
        self.config = config_home or os.path.join(self.tmp, "config")
        self.ini = os.path.join(self.config, "Tarnlight", "Tarnlight.ini")
        self.clips = os.path.join(self.tmp, "clips")
        os.makedirs(self.clips)
        runtime = os.path.join(self.tmp, "run")
        os.makedirs(runtime, mode=0o700)
        self.xvfb, display = start_xvfb()
        self.env = dict(os.environ, DISPLAY=display,
                        XDG_CONFIG_HOME=self.config, HOME=self.tmp,
                        XDG_RUNTIME_DIR=runtime, QT_QPA_PLATFORM="xcb")
        # As under startx with an idle daemon: no session bus.
        for name in ("WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS"):
            self.env.pop(name, None)
        self.proc = None
        # Windows, window managers and hosts a case starts besides the
        # program, each in a process group of its own.
        self.helpers = []

    def close(self):
        if self.proc and self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        for helper in self.helpers:
            stop_group(helper)
        self.xvfb.terminate()
        try:
            self.xvfb.wait(5)
        except subprocess.TimeoutExpired:
            self.xvfb.kill()
        shutil.rmtree(self.tmp, ignore_errors=True)

    def start(self, *args, program=None):
        # What every start said goes to one log, shown when a case fails.
        self.log = open(os.path.join(self.tmp, "program.log"), "ab")
        self.log.write(f"--- start {args}\n".encode())
        self.log.flush()
        self.proc = subprocess.Popen([program or self.binary, *args],
                                     env=self.env, stdout=self.log,
                                     stderr=self.log)
        return self.proc

    def helper_log(self):
        """Where window managers and hosts write, shown when a case fails
        after what the program said."""
        return open(os.path.join(self.tmp, "helpers.log"), "ab")

    def program_log(self):
        said = ""
        for name in ("program.log", "helpers.log"):
            try:
                with open(os.path.join(self.tmp, name), "rb") as f:
                    said += f.read().decode(errors="replace")[-3000:]
            except OSError:
                pass
        return said

    def wait_exit(self, seconds):
        try:
            return self.proc.wait(seconds)
        except subprocess.TimeoutExpired:
            raise Failure(f"the program did not end within {seconds} s")

    def alive(self):
        return self.proc.poll() is None

    def x(self, *args, timeout=10):
        return subprocess.run(args, env=self.env, capture_output=True,
                              text=True, timeout=timeout)

    def xdotool(self, *args):
        return self.x("xdotool", *args)

    def find_window(self, name, seconds=30):
        deadline = time.time() + seconds
        while time.time() < deadline:
            found = self.xdotool("search", "--onlyvisible", "--name", name)
            ids = found.stdout.split()
            if ids:
                return ids[0]
            time.sleep(0.1)
        raise Failure(f"no window named {name!r} appeared")

    def wait_focus(self, window, seconds=20):
        """Waits until `window` has the keyboard focus, so typing reaches it
        on a loaded machine too."""
        deadline = time.time() + seconds
        while time.time() < deadline:
            if self.xdotool("getwindowfocus").stdout.strip() == window:
                time.sleep(0.2)
                return
            time.sleep(0.1)
        raise Failure("the window never took the keyboard focus")

    def client_size(self, window):
        info = self.x("xwininfo", "-id", window).stdout
        fields = dict(line.strip().split(":", 1) for line in info.splitlines()
                      if ":" in line)
        return int(fields["Width"]), int(fields["Height"])

    def screenshot_bytes(self):
        shot = subprocess.run(
            "import -window root -depth 8 ppm:-", shell=True, env=self.env,
            capture_output=True, timeout=20)
        return parse_ppm(shot.stdout)


def stop_group(process):
    """Ends a helper and, when it leads a process group, all of it."""
    try:
        if os.getpgid(process.pid) == process.pid:
            os.killpg(process.pid, signal.SIGTERM)
        else:
            process.terminate()
    except ProcessLookupError:
        pass
    try:
        process.wait(5)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


def parse_ppm(data):
    check(data.startswith(b"P6"), "screenshot is not a PPM")
    fields, pos = [], 2
    while len(fields) < 3:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos)
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(int(data[pos:end]))
        pos = end
    width, height, maxval = fields
    check(maxval == 255, "screenshot is not 8 bits deep")
    pixels = data[pos + 1:pos + 1 + width * height * 3]
    return width, height, pixels


def bright_box(shot, threshold=40):
    """Bounding box (x0, y0, x1, y1) of every non-black pixel, or None."""
    width, height, pixels = shot
    x0, y0, x1, y1 = width, height, -1, -1
    row_bytes = width * 3
    for y in range(height):
        row = pixels[y * row_bytes:(y + 1) * row_bytes]
        if max(row) < threshold:
            continue
        for x in range(width):
            if max(row[x * 3:x * 3 + 3]) >= threshold:
                x0, x1 = min(x0, x), max(x1, x)
                y0, y1 = min(y0, y), max(y1, y)
    return None if x1 < 0 else (x0, y0, x1 + 1, y1 + 1)


# ---------------------------------------------------------------- clips

def make_clip(path, source, size, seconds, codec="mpeg4"):
    subprocess.run(
        ["ffmpeg", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
         f"{source}=size={size}:rate=25", "-t", str(seconds), "-c:v", codec,
         "-pix_fmt", "yuv420p", path], check=True, timeout=60)


def saver_settings(session, interval="1"):
    write_ini(session.ini, {"timeFrom": "00:00", "timeUntil": "23:59",
                            "vidFolder": session.clips + "/",
                            "intervalTime": interval})


# ---------------------------------------------------------------- cases

def other_command_lines_end_at_once(s):
    # No argument: the defaults are written and the program ends, with no
    # display to connect to as well; so does a preview request.
    display = s.env.pop("DISPLAY")
    for args in ((), ("/p", "123")):
        began = time.time()
        s.start(*args)
        check(s.wait_exit(5) == 0, f"{args}: non-zero exit without a display")
        check(time.time() - began < 1.5, f"{args}: took over a second to end")
        check(read_ini(s.ini) == DEFAULTS, f"settings are {read_ini(s.ini)}")
    # The saver and the dialog say there is no display, with no core dump,
    # after writing the defaults as every start does.
    for mode in ("/s", "/c"):
        os.remove(s.ini)
        s.start(mode)
        check(s.wait_exit(5) == 1, f"{mode} without a display: not exit 1")
        check(read_ini(s.ini) == DEFAULTS, f"settings are {read_ini(s.ini)}")
    check(s.program_log().count("no display to show a window on") == 2,
          "no word of the missing display")
    s.env["DISPLAY"] = display
    # A program path holding "/s" and "/c" is not an argument.
    folder = os.path.join(s.tmp, "s", "c")
    os.makedirs(folder)
    link = os.path.join(folder, "tarnlight")
    os.symlink(os.path.abspath(s.binary), link)
    s.start(program=link)
    check(s.wait_exit(5) == 0, "non-zero exit")


def open_setup(s):
    s.start("/c")
    window = s.find_window("Tarnlight Setup")
    check(s.client_size(window) == (413, 194),
          f"client area is {s.client_size(window)}")
    s.wait_focus(window)
    return window


def setup_enter_stores_folder(s):
    # xdotool types a character that the keymap lacks by remapping a spare
    # key for a moment; on a loaded machine the program can read the key
    # after the map is back, and the character is lost. So the non-ASCII
    # part comes from the store and only ASCII is typed after it.
    write_ini(s.ini, {"vidFolder": "d:\\clips ü"})
    open_setup(s)
    s.xdotool("key", "End")
    s.xdotool("type", "--delay", "20", " /x")
    s.xdotool("key", "Return")
    check(s.wait_exit(5) == 0, "non-zero exit")
    stored = read_ini(s.ini)
    check(stored.get("vidFolder") == "d:\\clips ü /x\\", f"stored {stored}")
    check(stored.get("intervalTime") == "30", f"stored {stored}")
    check(stored.get("timeFrom") == "09:00", f"stored {stored}")
    # A folder named in Latin-1, with a comment, as an editor in such a
    # locale saves it: OK keeps both byte for byte.
    latin1 = b"; caf\xe9 clips\n[settings]\nvidFolder=/v/caf\xe9/\\\\\n"
    write_ini(s.ini, None, raw=latin1)
    open_setup(s)
    s.xdotool("key", "Return")
    check(s.wait_exit(5) == 0, "non-zero exit")
    with open(s.ini, "rb") as f:
        stored = f.read()
    check(stored.startswith(latin1), f"stored {stored!r}")


def saver_plays_clips_and_ends_on_character_key(s):
    # The folder is named in Latin-1, and so is its line in the settings,
    # below a comment, as an editor in such a locale saves them.
    folder = os.path.join(os.fsencode(s.clips), b"caf\xe9")
    os.mkdir(folder)
    make_clip(os.path.join(folder, "clip ü é.mp4".encode()), "testsrc",
              "320x240", 2)
    make_clip(os.path.join(folder, b"b.avi"), "smptebars", "200x150", 2)
    write_ini(s.ini, None, raw=b"; clips in caf\xe9\n[settings]\n"
              b"timeFrom=00:00\ntimeUntil=23:59\nvidFolder=" + folder +
              b"/\nintervalTime=1\n")
    s.start("/s")
    sizes = {(320, 240), (200, 150)}
    appearances, shown = [], None
    deadline = time.time() + 14
    while time.time() < deadline and len(appearances) < 2:
        check(s.alive(), "the saver ended by itself")
        shot = s.screenshot_bytes()
        check(shot[:2] == (SCREEN_W, SCREEN_H), "screenshot size")
        box = bright_box(shot)
        if box is None:
            shown = None
            continue
        w, h = box[2] - box[0], box[3] - box[1]
        if shown is None and any(abs(w - a) <= 2 and abs(h - b) <= 2
                                 for a, b in sizes):
            appearances.append(box)
            shown = box
    check(len(appearances) >= 2,
          f"expected two clips with a pause between, saw {appearances}")
    for box in appearances:
        check(0 <= box[0] and box[2] <= SCREEN_W and 0 <= box[1]
              and box[3] <= SCREEN_H, f"clip outside the screen: {box}")

    for action in (["key", "Left"], ["key", "F5"], ["key", "shift"],
                   ["key", "alt+x"],
                   ["mousemove", "100", "100"], ["mousemove", "600", "400"],
                   ["click", "1"]):
        s.xdotool(*action)
    time.sleep(1.0)
    check(s.alive(), "an arrow, function key, modifier, Alt with a letter or "
          "the mouse ended it")
    s.xdotool("key", "x")
    check(s.wait_exit(1.5) == 0, "non-zero exit after a character key")

    # The OpenGL view, forced on Mesa's llvmpipe: the clips show and a key
    # ends it the same way.
    s.env["TARNLIGHT_RENDER"] = "opengl"
    s.start("/s")
    wait_for(s, "a clip drawn with OpenGL", lambda: any(
        one_clip(s.screenshot_bytes(), size) for size in sizes), seconds=14)
    check("drawing with OpenGL (OpenGL renderer: llvmpipe" in
          s.program_log(), "the OpenGL view was not chosen")
    s.xdotool("key", "x")
    check(s.wait_exit(1.5) == 0, "non-zero exit after a key, OpenGL view")


def connections(listener):
    """How many connections waited on the listening socket; each is taken
    and closed."""
    count = 0
    try:
        while True:
            listener.accept()[0].close()
            count += 1
    except BlockingIOError:
        return count


def saver_survives_hostile_folder(s):
    """Files that are no clip, name the network, block, or open and never
    give a frame: the saver lives through them without connecting anywhere,
    and once they are gone a good clip shows within one pause and one
    give-up."""
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(64)
    listener.setblocking(False)
    url = f"http://127.0.0.1:{listener.getsockname()[1]}"
    try:
        c = s.clips
        valid = os.path.join(c, "a clip with spaces ñ ü.mp4")
        make_clip(valid, "testsrc", "160x120", 1)
        with open(os.path.join(c, "notes.txt"), "w") as f:
            f.write("not a clip at all\n")
        open(os.path.join(c, "zero.mp4"), "wb").close()
        with open(valid, "rb") as f:
            head = f.read(1500)
        with open(os.path.join(c, "truncated.mp4"), "wb") as f:
            f.write(head)
        with open(os.path.join(c, "list.m3u"), "w") as f:
            f.write(f"#EXTM3U\n#EXTINF:1,x\n{url}/clip.mp4\n")
        with open(os.path.join(c, "live.m3u8"), "w") as f:
            f.write("#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXTINF:1,\n"
                    f"{url}/seg.ts\n#EXT-X-ENDLIST\n")
        with open(os.path.join(c, "ref.edl"), "w") as f:
            f.write(f"# mpv EDL v0\n{url}/e.mp4\n")
        with open(os.path.join(c, "ref.pls"), "w") as f:
            f.write(f"[playlist]\nFile1={url}/p.mp4\nNumberOfEntries=1\n")
        os.mkfifo(os.path.join(c, "pipe.avi"))
        subprocess.run(["ffmpeg", "-loglevel", "error", "-y", "-f", "lavfi",
                        "-i", "testsrc=size=64x48", "-frames:v", "1",
                        os.path.join(c, "picture.jpg")], check=True,
                       timeout=60)
        good = os.path.join(s.tmp, "good.mp4")
        make_clip(good, "testsrc", "320x240", 4, codec="libx264")
        write_undecodable_clips(c, good)
        saver_settings(s)
        s.start("/s")
        deadline = time.time() + 20
        while time.time() < deadline:
            check(s.alive(), "the saver died on a hostile file")
            time.sleep(0.5)
        count = connections(listener)
        check(count == 0, f"{count} connection(s) to the listener")
        for name in os.listdir(c):
            os.remove(os.path.join(c, name))
        shutil.copy(good, os.path.join(c, "good.mp4"))
        deadline = time.time() + 10
        seen = False
        while time.time() < deadline and not seen:
            box = bright_box(s.screenshot_bytes())
            seen = box is not None and abs(box[2] - box[0] - 320) <= 2
        check(seen, "no clip showed after the hostile ones")
        s.xdotool("key", "Tab")
        check(s.wait_exit(1.5) == 0, "Tab during playback did not end it")
    finally:
        listener.close()


def settings_file_replaced_while_saver_runs(s):
    """A settings path that holds no file neither hangs nor keeps the saver:
    swapped in while it runs, the key ends it as ever; there at the start,
    the saver runs on its defaults and a signal ends it."""
    for make in (os.mkdir, os.mkfifo):
        saver_settings(s)
        start_alone(s, "/s")
        time.sleep(1.5)
        os.remove(s.ini)
        make(s.ini)
        s.xdotool("key", "x")
        check(s.wait_exit(1.5) == 0, f"non-zero exit after {make.__name__}")
        if make is os.mkdir:
            os.rmdir(s.ini)
    start_alone(s, "/s")
    time.sleep(2)
    check(s.alive(), "the saver did not run with a FIFO as its settings")
    end_by_signal(s, signal.SIGTERM)


def saver_without_its_player_library(s):
    """A player library that cannot load is said once on stderr; the saver
    stays black and a key still ends it."""
    make_clip(os.path.join(s.clips, "a.mp4"), "testsrc", "320x240", 3)
    saver_settings(s)
    broken = os.path.join(s.tmp, "lib")
    os.makedirs(broken)
    open(os.path.join(broken, "libmpv.so.2"), "wb").close()
    s.env["LD_LIBRARY_PATH"] = broken
    s.proc = subprocess.Popen([s.binary, "/s"], env=s.env,
                              stdout=subprocess.DEVNULL,
                              stderr=subprocess.PIPE)
    time.sleep(3.5)
    check(s.alive(), "the saver ended without its player library")
    check(bright_box(s.screenshot_bytes()) is None,
          "something was drawn without a player library")
    s.xdotool("key", "k")
    check(s.wait_exit(2) == 0, "non-zero exit without a player library")
    errors = s.proc.stderr.read().decode()
    check(errors.count("tarnlight:") == 1 and "could not be loaded" in errors,
          f"stderr said {errors!r}")


def write_undecodable_clips(folder, good):
    """Files that open but never give a frame, as seen in the wild."""
    import random
    import struct
    import zlib
    rnd = random.Random(7)
    fast = os.path.join(folder, "..", "fast.mp4")
    subprocess.run(["ffmpeg", "-loglevel", "error", "-y", "-i", good,
                    "-c", "copy", "-movflags", "+faststart", fast],
                   check=True, timeout=60)
    data = bytearray(open(fast, "rb").read())
    mdat = data.find(b"mdat")
    for k in range(mdat + 4 + 16, len(data)):
        data[k] = rnd.randrange(256)
    open(os.path.join(folder, "noise.mp4"), "wb").write(data)
    y4m = b"YUV4MPEG2 W64 H48 F25:1 Ip A1:1 C420jpeg\nFRAME\n"
    open(os.path.join(folder, "grey.y4m"), "wb").write(
        y4m + b"\x80" * (1000 - len(y4m)))

    def png(width, height, idat):
        def chunk(kind, body):
            return (struct.pack(">I", len(body)) + kind + body +
                    struct.pack(">I", zlib.crc32(kind + body)))
        head = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
        return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", head) +
                chunk(b"IDAT", idat) + chunk(b"IEND", b""))
    open(os.path.join(folder, "bad.png"), "wb").write(
        png(64, 48, bytes(rnd.randrange(256) for _ in range(300))))
    open(os.path.join(folder, "huge.png"), "wb").write(
        png(20000, 20000, zlib.compress(b"\0" * 1000)))


# ---------------------------------------------------------------- screens

DESKTOP = b"\0\xff\0"  # xsetroot green, for the saver to hide


def region(shot, x, y, w, h):
    width, _, pixels = shot
    return w, h, b"".join(pixels[(row * width + x) * 3:(row * width + x + w) * 3]
                          for row in range(y, y + h))


def only(shot, rgb):
    return shot[2] == rgb * (shot[0] * shot[1])


def one_clip(shot, size):
    box = bright_box(shot)
    return box is not None and abs(box[2] - box[0] - size[0]) <= 2 and \
        abs(box[3] - box[1] - size[1]) <= 2


def wait_for(s, what, predicate, seconds=8, alive=None):
    deadline = time.time() + seconds
    while time.time() < deadline:
        check((alive or s.alive)(),
              f"the saver ended while waiting for {what}")
        if predicate():
            return
    raise Failure(f"never saw {what}")


def start_alone(s, *args):
    """setsid execs the program as the leader of a new process group, so
    that anything left of it can be found."""
    s.start(s.binary, *args, program="setsid")


def end_by_signal(s, number):
    began = time.time()
    s.proc.send_signal(number)
    status = s.wait_exit(3)
    check(time.time() - began < 1.0, f"signal {number} took over a second")
    check(status == 0, f"exit {status} after signal {number}")
    check_nothing_left(s)


def check_nothing_left(s):
    """After a start_alone: nothing it started (a bus that D-Bus starts on
    demand where the session has none) lives on."""
    try:
        os.killpg(s.proc.pid, 0)
        raise Failure("a process of the run lives on after it")
    except ProcessLookupError:
        pass


# A blue window, as an application opens one; the helper prints its id and
# keeps it until its input closes.
HOST_WINDOW = r"""
import ctypes as c, sys
x = c.CDLL("libX11.so.6")
x.XOpenDisplay.restype = c.c_void_p
x.XDefaultRootWindow.restype = x.XCreateSimpleWindow.restype = c.c_ulong
x.XDefaultRootWindow.argtypes = [c.c_void_p]
x.XMapWindow.argtypes = x.XSync.argtypes = [c.c_void_p, c.c_ulong]
x.XCreateSimpleWindow.argtypes = [c.c_void_p, c.c_ulong] + [c.c_int] * 2 + \
    [c.c_uint] * 3 + [c.c_ulong] * 2
d = x.XOpenDisplay(None)
w = x.XCreateSimpleWindow(d, x.XDefaultRootWindow(d), *map(int, sys.argv[1:]),
                          0, 0, 0xff)
x.XMapWindow(d, w)
x.XSync(d, 0)
print(w, flush=True)
sys.stdin.read()
"""


def open_window(s, *rect):
    """A blue window as an application opens it; it stays until its
    helper's input is closed."""
    helper = subprocess.Popen([sys.executable, "-c", HOST_WINDOW,
                               *map(str, rect)], env=s.env,
                              stdin=subprocess.PIPE, stdout=subprocess.PIPE)
    s.helpers.append(helper)
    window = helper.stdout.readline().decode().strip()
    check(window, "the helper window did not open")
    deadline = time.time() + 20
    while "IsViewable" not in s.x("xwininfo", "-id", window).stdout:
        check(time.time() < deadline, "the helper window was never shown")
        time.sleep(0.1)
    return window


# A client that grabs the keyboard, as an open menu does, and holds it
# until its input closes; it prints the grab's status (0: held, 1: another
# client holds it).
GRAB_KEYBOARD = r"""
import ctypes as c, sys
x = c.CDLL("libX11.so.6")
x.XOpenDisplay.restype = c.c_void_p
x.XDefaultRootWindow.restype = c.c_ulong
x.XDefaultRootWindow.argtypes = [c.c_void_p]
x.XGrabKeyboard.argtypes = [c.c_void_p, c.c_ulong] + [c.c_int] * 3 + \
    [c.c_ulong]
x.XSync.argtypes = [c.c_void_p, c.c_int]
d = x.XOpenDisplay(None)
print(x.XGrabKeyboard(d, x.XDefaultRootWindow(d), 0, 1, 1, 0), flush=True)
x.XSync(d, 0)
sys.stdin.read()
"""


def grab_keyboard(s, hold):
    """A client that grabs the keyboard, holding it when `hold`."""
    return subprocess.Popen([sys.executable, "-c", GRAB_KEYBOARD],
                            env=s.env, stdout=subprocess.PIPE,
                            stdin=subprocess.PIPE if hold else
                            subprocess.DEVNULL)


def saver_stays_on_top(s, manager):
    """Started on its own, the saver hides an always-on-top window and a
    window that opens while it runs, and a key still ends it: the window
    manager focuses the new window, but the saver holds the keyboard,
    taken as soon as another client that held it as it started let go."""
    if manager:
        # In a session of its own, with the bus its desktop would give it.
        s.helpers.append(subprocess.Popen(
            ["dbus-run-session", "--", *manager], env=s.env,
            start_new_session=True, stdout=subprocess.DEVNULL,
            stderr=s.helper_log()))
        deadline = time.time() + 30
        while s.x("wmctrl", "-m").returncode != 0:
            check(time.time() < deadline, f"{manager[0]} did not start")
            time.sleep(0.2)
        above = open_window(s, 0, 0, 300, 200)
        s.x("wmctrl", "-i", "-r", above, "-b", "add,above")
    saver_settings(s)
    menu = grab_keyboard(s, hold=True)
    s.helpers.append(menu)
    check(menu.stdout.readline().strip() == b"0", "no grab to wait out")
    start_alone(s, "/s")
    # Let go well inside the saver's few seconds of trying.
    wait_for(s, "the saver's window", lambda: s.xdotool(
        "search", "--onlyvisible", "--classname", "tarnlight").stdout,
        seconds=20)
    menu.stdin.close()
    wait_for(s, "the saver holding the keyboard", lambda: grab_keyboard(
        s, hold=False).communicate(timeout=10)[0].strip() == b"1")
    wait_for(s, "the screen black", lambda: bright_box(
        s.screenshot_bytes()) is None, seconds=20)
    open_window(s, 300, 200, 400, 300)
    wait_for(s, "the new window hidden", lambda: bright_box(
        s.screenshot_bytes()) is None, seconds=20)
    s.xdotool("key", "a")
    check(s.wait_exit(5) == 0, "a key did not end the saver")
    check_nothing_left(s)


# ---------------------------------------------------------------- hosts

def install_program(s):
    """The build installed as `cmake --install` puts it, below a prefix of
    the case's own; returns the prefix."""
    prefix = os.path.join(s.tmp, "usr")
    build = os.path.dirname(os.path.abspath(s.binary))
    done = subprocess.run(["cmake", "--install", build, "--prefix", prefix],
                          capture_output=True, text=True, timeout=60)
    check(done.returncode == 0, f"cmake --install failed: {done.stderr}")
    s.env["PATH"] = os.path.join(prefix, "bin") + ":" + s.env["PATH"]
    return prefix


def as_user(s):
    """The command prefix that runs a host as a user, as it refuses root:
    root hands the case's folder to nobody and runs it as nobody."""
    if os.geteuid() != 0:
        return []
    subprocess.run(["chown", "-R", "nobody:nogroup", s.tmp], check=True)
    return ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"]


def saver_run_by(s, program):
    """The process of the installed program once a host has started it,
    with its environment."""
    target = os.path.realpath(program)
    deadline = time.time() + 30
    while time.time() < deadline:
        for pid in filter(str.isdigit, os.listdir("/proc")):
            try:
                if os.readlink(f"/proc/{pid}/exe") != target:
                    continue
                with open(f"/proc/{pid}/environ", "rb") as f:
                    pairs = f.read().split(b"\0")
            except OSError:
                continue
            return int(pid), dict(p.decode().split("=", 1) for p in pairs
                                  if b"=" in p)
        time.sleep(0.2)
    raise Failure("the host never started the saver")


def running(pid):
    try:
        with open(f"/proc/{pid}/stat") as f:
            return f.read().split(") ")[1][0] != "Z"
    except OSError:
        return False


def saver_plays_for_host(s, program):
    """The host has started the saver in its window, and the clip plays;
    returns the saver's process id."""
    pid, env = saver_run_by(s, program)
    window = env.get("XSCREENSAVER_WINDOW", "")
    check(window, "the host gave the saver no window")
    check(s.client_size(window) == (SCREEN_W, SCREEN_H),
          "the host's window does not cover the screen")
    wait_for(s, "a clip in the host's window", lambda: one_clip(
        s.screenshot_bytes(), (320, 240)), seconds=20,
        alive=lambda: running(pid))
    return pid


def wait_end(pid, what, seconds=10):
    deadline = time.time() + seconds
    while running(pid):
        check(time.time() < deadline, f"{what} did not end the saver")
        time.sleep(0.1)


XSCREENSAVER = """mode: one
selected: 0
lock: False
fade: False
unfade: False
splash: False
programs: tarnlight /s
"""


def saver_in_xscreensaver(s):
    """XScreenSaver runs `tarnlight /s` from the user's ~/.xscreensaver in
    its window; deactivating it ends the saver."""
    prefix = install_program(s)
    make_clip(os.path.join(s.clips, "a.mp4"), "testsrc", "320x240", 1)
    saver_settings(s)
    with open(os.path.join(s.tmp, ".xscreensaver"), "w") as f:
        f.write(XSCREENSAVER)
    user = as_user(s)
    s.helpers.append(subprocess.Popen(
        user + ["xscreensaver", "-no-splash"], env=s.env,
        start_new_session=True, stdout=subprocess.DEVNULL,
        stderr=s.helper_log()))
    deadline = time.time() + 30
    while s.x(*user, "xscreensaver-command", "-activate").returncode != 0:
        check(time.time() < deadline, "XScreenSaver did not start")
        time.sleep(0.2)
    pid = saver_plays_for_host(s, os.path.join(prefix, "bin", "tarnlight"))
    s.x(*user, "xscreensaver-command", "-deactivate")
    wait_end(pid, "deactivating XScreenSaver")


MATE_SETTINGS = """[org/mate/screensaver]
mode='single'
themes=['screensavers-tarnlight']
lock-enabled=false
"""


def saver_in_mate_screensaver(s):
    """MATE's screen saver finds the installed program in XScreenSaver's
    folder of hacks, where it looks, and runs it in its window; a key ends
    it. The folder is the installed one only inside a mount namespace of
    the host's own."""
    prefix = install_program(s)
    make_clip(os.path.join(s.clips, "a.mp4"), "testsrc", "320x240", 1)
    # MATE hands its programs a plain environment: the settings are where
    # they are without XDG_CONFIG_HOME.
    s.config = s.env["XDG_CONFIG_HOME"] = os.path.join(s.tmp, ".config")
    s.ini = os.path.join(s.config, "Tarnlight", "Tarnlight.ini")
    saver_settings(s)
    write_ini(os.path.join(s.config, "glib-2.0", "settings", "keyfile"),
              None, raw=MATE_SETTINGS.encode())
    s.env.update(GSETTINGS_BACKEND="keyfile", NO_AT_BRIDGE="1",
                 XDG_DATA_DIRS=os.path.join(prefix, "share") + ":/usr/share")
    # A link of the installed kind, made absolute: a relative one would
    # resolve from where the folder is mounted.
    program = os.path.join(prefix, "bin", "tarnlight")
    installed = os.path.join(prefix, "libexec", "xscreensaver", "tarnlight")
    check(os.path.realpath(installed) == program,
          f"{installed} does not lead to {program}")
    hacks = os.path.join(s.tmp, "hacks")
    os.makedirs(hacks)
    os.symlink(program, os.path.join(hacks, "tarnlight"))
    user = as_user(s)
    uid = "65534" if user else str(os.getuid())
    gid = "65534" if user else str(os.getgid())
    host = subprocess.Popen(
        user + ["unshare", "--user", "--map-root-user", "--mount",
                "--propagation", "private", "sh", "-c",
                'mount --bind "$0" /usr/libexec/xscreensaver && exec "$@"',
                hacks, "unshare", "--user", f"--map-user={uid}",
                f"--map-group={gid}", "dbus-run-session", "--", "sh", "-c",
                'echo "$DBUS_SESSION_BUS_ADDRESS"; '
                "exec mate-screensaver --no-daemon"],
        env=s.env, start_new_session=True, stdout=subprocess.PIPE,
        stderr=s.helper_log())
    s.helpers.append(host)
    s.env["DBUS_SESSION_BUS_ADDRESS"] = host.stdout.readline().decode().strip()
    check(s.env["DBUS_SESSION_BUS_ADDRESS"], "no session bus for MATE")
    deadline = time.time() + 30
    while "is active" not in s.x(*user, "mate-screensaver-command",
                                 "--activate", "--query").stdout:
        check(time.time() < deadline, "MATE's screen saver did not start")
        time.sleep(0.2)
    pid = saver_plays_for_host(s, program)
    s.xdotool("key", "a")
    wait_end(pid, "a key")


# Two monitors side by side, as Xephyr makes them inside the Xvfb. Qt reads
# monitors from RandR alone and Xephyr tells of its second head only through
# Xinerama, so the test describes that head to RandR, as a server with two
# outputs does; RandR also lets it take the head away and make it primary.
HEADS = ((0, 0, 640, 480), (640, 0, 512, 384))


def second_head(s, primary):
    x, y, w, h = HEADS[1]
    s.x("xrandr", "--noprimary")
    s.x("xrandr", "--setmonitor", "*head1" if primary else "head1",
        f"{w}/0x{h}/0+{x}+{y}", "none")
    if not primary:
        s.x("xrandr", "--output", "default", "--primary")


def saver_covers_every_head(s):
    """Every monitor black, the clip on the primary; monitors that come, go
    and change roles are followed; a key on the second head ends it."""
    read_fd, write_fd = os.pipe()
    xephyr = subprocess.Popen(
        ["Xephyr", "-displayfd", str(write_fd), "+xinerama", "-ac",
         "-noreset", "-nolisten", "tcp", "-screen", "640x480",
         "-screen", "512x384"], env=s.env, pass_fds=[write_fd],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_fd)
    try:
        with os.fdopen(read_fd) as numbers:
            s.env["DISPLAY"] = ":" + numbers.readline().strip()
        second_head(s, primary=False)
        s.x("xsetroot", "-solid", "green")
        make_clip(os.path.join(s.clips, "a.mp4"), "testsrc", "320x240", 1)
        saver_settings(s)
        s.start("/s")

        def clip_on(head):
            def seen():
                shot = s.screenshot_bytes()
                return (one_clip(region(shot, *HEADS[head]), (320, 240)) and
                        bright_box(region(shot, *HEADS[1 - head])) is None)
            return seen
        wait_for(s, "a clip on the first head, the second black", clip_on(0))
        s.x("xrandr", "--delmonitor", "head1")
        wait_for(s, "the desktop on a removed head", lambda: only(
            region(s.screenshot_bytes(), *HEADS[1]), DESKTOP))
        second_head(s, primary=True)
        wait_for(s, "a clip on the head made primary", clip_on(1))
        s.x("xrandr", "--delmonitor", "head1")
        second_head(s, primary=False)
        wait_for(s, "a clip back on the first head", clip_on(0))

        # As a focus-follows-mouse window manager would, the window under
        # the pointer on the second head gets the keyboard.
        x, y, w, h = HEADS[1]
        s.xdotool("mousemove", str(x + w // 2), str(y + h // 2))
        under = s.xdotool("getmouselocation", "--shell").stdout.split()
        cover = dict(field.split("=", 1) for field in under)["WINDOW"]
        check(cover != s.xdotool("getwindowfocus").stdout.strip(),
              "the second head shows the saver window itself")
        s.xdotool("windowfocus", cover)
        s.wait_focus(cover)
        s.xdotool("key", "Tab")
        check(s.wait_exit(1.5) == 0, "Tab on the second head did not end it")
    finally:
        xephyr.terminate()
        xephyr.wait(5)

# A folder on a share that stops answering, as NFS or SMB does when the
# server has gone: with "list" every listing of it sleeps; with "read" it
# lists at once one clip, a.avi, whose every read sleeps. Every look at the
# program's own folder in it sleeps too once the trigger file exists. The
# first stalled listing or read leaves a mark beside the folder, FOLDER.list
# or FOLDER.read.
# Debian's python3-fusepy lives in the system's Python, whichever Python
# runs this script.
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
    """`folder` mounted as a share that stalls as STALLED_SHARE says; on the
    way out the share goes, and with it whatever waited on it."""
    os.makedirs(folder)
    fuse = subprocess.Popen(["/usr/bin/python3", "-c", STALLED_SHARE, folder,
                             str(seconds), trigger, stall],
                            stderr=subprocess.PIPE)
    try:
        deadline = time.time() + 10
        while not os.path.ismount(folder):
            check(fuse.poll() is None, "the share never mounted: "
                  f"{fuse.stderr.read()!r}" if fuse.poll() is not None else "")
            check(time.time() < deadline, "the share never mounted")
            time.sleep(0.1)
        yield
    finally:
        fuse.kill()
        fuse.wait()
        subprocess.run(["fusermount", "-u", "-z", folder],
                       stderr=subprocess.DEVNULL)


def saver_ends_while_its_folder_stalls(s):
    """The listing runs off the GUI thread: a key and SIGTERM during a
    listing that takes 20 s each end the saver within a second."""
    share = os.path.join(s.tmp, "share")
    with stalled_share(share, 20):
        write_ini(s.ini, {"timeFrom": "00:00", "timeUntil": "23:59",
                          "vidFolder": share + "/", "intervalTime": "1"})
        s.start("/s")
        wait_for(s, "the listing", lambda: os.path.exists(share + ".list"))
        began = time.time()
        s.xdotool("key", "k")
        check(s.wait_exit(3) == 0, "non-zero exit after a key")
        check(time.time() - began < 1.0,
              f"the key took {time.time() - began:.2f} s")
        # The first listing still holds the folder in the kernel, so this
        # one waits there, unseen by the share.
        start_alone(s, "/s")
        time.sleep(2.5)
        began = time.time()
        s.proc.send_signal(signal.SIGTERM)
        check(s.wait_exit(3) == 0, "non-zero exit after SIGTERM")
        check(time.time() - began < 1.0,
              f"SIGTERM took {time.time() - began:.2f} s")
    deadline = time.time() + 5
    while time.time() < deadline:
        try:
            os.killpg(s.proc.pid, 0)
        except ProcessLookupError:
            return
        time.sleep(0.1)
    raise Failure("a process of the saver outlived the stalled share")


def setup_says_when_its_share_stalls(s):
    """Settings on a share that stops answering: OK says at once that they
    could not be saved, and the dialog stays, its keys alive."""
    share, trigger = os.path.join(s.tmp, "share"), os.path.join(s.tmp, "stall")
    with stalled_share(share, 20, trigger):
        s.env["XDG_CONFIG_HOME"] = share
        open_setup(s)
        open(trigger, "w").close()
        began = time.time()
        s.xdotool("key", "Return")
        s.wait_focus(s.find_window("^Tarnlight$"))
        check(time.time() - began < 2.0,
              f"the message took {time.time() - began:.2f} s")
        s.xdotool("key", "Return")
        s.wait_focus(s.find_window("Tarnlight Setup"))
        s.xdotool("key", "Escape")
        wait_for(s, "the dialog to go", lambda: not s.xdotool(
            "search", "--onlyvisible", "--name", "Tarnlight Setup").stdout,
            alive=lambda: True)
    check(s.wait_exit(10) == 0, "non-zero exit once the share let go")


def saver_plays_a_still_clip_with_sound_to_its_end(s):
    """A picture that changes every 8 s over sound is no stall: the clip
    stays on the screen for all of its 16 s."""
    subprocess.run(
        ["ffmpeg", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
         "testsrc=size=320x240:rate=1/8", "-f", "lavfi", "-i",
         "sine=frequency=440:duration=16", "-t", "16", "-c:v", "libx264",
         "-pix_fmt", "yuv420p", "-c:a", "aac",
         os.path.join(s.clips, "still.mp4")], check=True, timeout=60)
    saver_settings(s, interval="1")
    s.start("/s")
    wait_for(s, "the clip", lambda: one_clip(s.screenshot_bytes(), (320, 240)))
    shown = time.time()
    while time.time() - shown < 13:
        check(one_clip(s.screenshot_bytes(), (320, 240)),
              f"the clip went after {time.time() - shown:.1f} s of 16")
        time.sleep(0.5)
    s.xdotool("key", "q")
    check(s.wait_exit(2) == 0, "non-zero exit after a key")


WINDOW_MANAGERS = {"openbox": ["openbox"], "xfwm4": ["xfwm4"],
                   "no_window_manager": None}

CASES = {f"saver_on_top_{name}": functools.partial(saver_stays_on_top,
                                                   manager=manager)
         for name, manager in WINDOW_MANAGERS.items()}
CASES |= {f.__name__: f for f in (
    other_command_lines_end_at_once, setup_enter_stores_folder,
    saver_plays_clips_and_ends_on_character_key,
    saver_survives_hostile_folder, settings_file_replaced_while_saver_runs,
    saver_without_its_player_library,
    saver_covers_every_head,
    saver_ends_while_its_folder_stalls,
    saver_plays_a_still_clip_with_sound_to_its_end,
    setup_says_when_its_share_stalls, saver_in_xscreensaver,
    saver_in_mate_screensaver)}


def main():
    binary, case = sys.argv[1], sys.argv[2]
    session = Session(binary)
    try:
        CASES[case](session)
    except Failure as failure:
        alive = session.proc is not None and session.proc.poll() is None
        print(f"FAIL {case}: {failure} (program "
              f"{'still running' if alive else 'ended'}; X server "
              f"{'alive' if session.xvfb.poll() is None else 'gone'})")
        print(session.program_log())
        return 1
    finally:
        session.close()
    print(f"PASS {case}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
