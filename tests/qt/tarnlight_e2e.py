#!/usr/bin/env python3
"""End-to-end checks of the tarnlight program under Xvfb, where the real
toolkit adds something to the unit tests: real keys, files, windows, window
managers, hosts and stalled shares.

Usage: tarnlight_e2e.py PATH_TO_TARNLIGHT CASE

Every case runs in its own temporary folder with its own X server, settings
folder and clip folder, and bounds each wait so that it ends on its own.
"""

import contextlib
import os
import shutil
import signal
import socket
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from e2e_harness import (DEFAULTS, SCREEN_H, SCREEN_W, Failure,  # noqa: E402
                         X11Session, bright_box, check, clip_box, group_alive,
                         make_clip, only, read_ini, read_line, region, start_x,
                         run_cases, stalled_share, waited, write_ini)


class Session(X11Session):
    """The program's settings and clip folders and its environment."""

    def __init__(self, binary):
        super().__init__("tarnlight-e2e-")
        self.binary = binary
        self.config = os.path.join(self.tmp, "config")
        self.ini = os.path.join(self.config, "Tarnlight", "Tarnlight.ini")
        self.clips = os.path.join(self.tmp, "clips")
        os.makedirs(self.clips)
        runtime = os.path.join(self.tmp, "run")
        os.makedirs(runtime, mode=0o700)
        # As under startx with an idle daemon: no session bus.
        self.env.update(XDG_CONFIG_HOME=self.config, HOME=self.tmp,
                        XDG_RUNTIME_DIR=runtime, QT_QPA_PLATFORM="xcb")

    def start(self, *args, program=None, alone=False):
        """With `alone`, setsid execs the program as the leader of a new
        process group, so that anything left of it can be found."""
        self.log.write(f"--- start {args}\n".encode())
        argv = [program or self.binary, *args]
        self.proc = subprocess.Popen(["setsid", *argv] if alone else argv,
                                     env=self.env, stdout=self.log,
                                     stderr=self.log)

    def settings(self, folder=None):
        write_ini(self.ini, dict(timeFrom="00:00", timeUntil="23:59",
                                 vidFolder=(folder or self.clips) + "/",
                                 intervalTime="1"))

    def nothing_left(self):
        """After a start alone: nothing it started (a bus that D-Bus starts
        on demand where the session has none) lives on."""
        waited("nothing of the run left", lambda: not group_alive(
            self.proc.pid), 5)


# ---------------------------------------------------------------- cases

# No argument and a preview end at once with status 0, and the saver and the
# dialog say there is no display and end with 1, with no display to connect to;
# each writes the defaults as every start does.
def other_command_lines_end_at_once(s):
    display = s.env.pop("DISPLAY")
    for args, status in (((), 0), (("/p", "123"), 0), (("/s",), 1), (("/c",), 1)):
        if os.path.exists(s.ini):
            os.remove(s.ini)
        s.start(*args)
        check(s.wait_exit(5) == status, f"{args}: not exit {status}")
        check(read_ini(s.ini) == DEFAULTS, f"settings are {read_ini(s.ini)}")
    check(s.said().count("no display to show a window on") == 2,
          "no word of the missing display")
    s.env["DISPLAY"] = display
    # A program path holding "/s" and "/c" is not an argument.
    folder = os.path.join(s.tmp, "s", "c")
    os.makedirs(folder)
    os.symlink(os.path.abspath(s.binary), os.path.join(folder, "tarnlight"))
    s.start(program=os.path.join(folder, "tarnlight"))
    check(s.wait_exit(5) == 0, "non-zero exit")


def open_setup(s):
    s.start("/c")
    window = s.find_window("Tarnlight Setup")
    check(s.size_of(window) == (413, 194),
          f"client area is {s.size_of(window)}")
    s.wait_focus(window)


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
    check(read_ini(s.ini) == dict(DEFAULTS, vidFolder="d:\\clips ü /x\\"),
          f"stored {read_ini(s.ini)}")
    # A folder named in Latin-1, which the text box can show only with
    # replacement characters, is stored back byte for byte when left as it
    # is shown.
    latin1 = b"[settings]\nvidFolder=/v/caf\xe9/\\\\\n"
    write_ini(s.ini, raw=latin1)
    open_setup(s)
    s.xdotool("key", "Return")
    check(s.wait_exit(5) == 0, "non-zero exit")
    with open(s.ini, "rb") as f:
        check(f.read().startswith(latin1), "the Latin-1 folder changed")


# The folder is named in Latin-1, and so is its line in the settings, below a
# comment, as an editor in such a locale saves them. First it holds files that
# are no clip, name the network or block: the saver lives through them without
# connecting anywhere. Then a clip whose picture changes every 8 s over sound
# shows and, being no stall, stays for all of its 16 s; after the black pause
# another clip shows inside the screen. Only a character key ends the saver.
def saver_plays_clips_from_a_hostile_folder(s):
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(64)
    listener.setblocking(False)
    url = f"http://127.0.0.1:{listener.getsockname()[1]}"
    folder = os.path.join(os.fsencode(s.clips), b"caf\xe9")
    os.mkdir(folder)
    valid = os.path.join(folder, b"a clip with spaces \xc3\xb1.mp4")
    make_clip(valid, "testsrc", "160x120", 1)
    with open(valid, "rb") as f:
        head = f.read(1500)
    for name, text in (
            ("notes.txt", "not a clip at all\n"), ("zero.mp4", ""),
            ("truncated.mp4", head.decode("latin-1")),
            ("list.m3u", f"#EXTM3U\n#EXTINF:1,x\n{url}/clip.mp4\n"),
            ("live.m3u8", f"#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXTINF:1,\n"
             f"{url}/seg.ts\n#EXT-X-ENDLIST\n"),
            ("ref.edl", f"# mpv EDL v0\n{url}/e.mp4\n"),
            ("ref.pls", f"[playlist]\nFile1={url}/p.mp4\nNumberOfEntries=1\n")):
        with open(os.path.join(folder, name.encode()), "w", newline="",
                  encoding="latin-1") as f:
            f.write(text)
    os.mkfifo(os.path.join(folder, b"pipe.avi"))
    make_clip(os.path.join(folder, b"picture.jpg"), "testsrc", "64x48", 0.04,
              "mjpeg")
    # Made beside the folder and moved in whole, so no listing sees half.
    still, other = os.path.join(s.tmp, "still.mp4"), os.path.join(s.tmp, "b.avi")
    make_clip(still, "testsrc", "320x240", 16, "libx264", rate="1/8", extra=(
        "-f", "lavfi", "-i", "sine=frequency=440:duration=16", "-c:a", "aac"))
    make_clip(other, "smptebars", "200x150", 2)
    write_ini(s.ini, raw=b"; clips in caf\xe9\n[settings]\ntimeFrom=00:00\n"
              b"timeUntil=23:59\nvidFolder=" + folder + b"/\nintervalTime=1\n")
    s.start("/s")
    time.sleep(20)
    check(s.alive(), "the saver died on a hostile file")
    with contextlib.suppress(BlockingIOError):
        listener.accept()
        raise Failure("a connection to the listener")
    shutil.rmtree(folder)
    os.mkdir(folder)
    still_in = os.path.join(folder, "clip ü é.mp4".encode())
    os.rename(still, still_in)
    s.wait_clip("the clip", (320, 240), seconds=10)
    shown = time.time()
    while time.time() - shown < 13:
        check(clip_box(s.screenshot(), (320, 240)),
              f"the clip went after {time.time() - shown:.1f} s of 16")
        time.sleep(0.5)
    os.remove(still_in)
    os.rename(other, os.path.join(folder, b"b.avi"))
    s.wait_for("the pause", lambda: bright_box(s.screenshot()) is None)
    box = s.wait_clip("another clip", (200, 150), seconds=8)
    check(box[2] <= SCREEN_W and box[3] <= SCREEN_H, f"clip at {box}")
    for action in (["key", "Left"], ["key", "F5"], ["key", "shift"],
                   ["key", "alt+x"], ["mousemove", "600", "400"],
                   ["click", "1"]):
        s.xdotool(*action)
    time.sleep(1.0)
    check(s.alive(), "an arrow, function key, modifier, Alt with a letter or "
          "the mouse ended it")
    s.xdotool("key", "x")
    check(s.wait_exit(1.5) == 0, "non-zero exit after a character key")

    # The OpenGL view, forced on Mesa's llvmpipe: the clip shows and a key
    # ends it the same way.
    s.env["TARNLIGHT_RENDER"] = "opengl"
    s.start("/s")
    s.wait_clip("a clip drawn with OpenGL", (200, 150), seconds=14)
    check("drawing with OpenGL (OpenGL renderer: llvmpipe" in s.said(),
          "the OpenGL view was not chosen")
    s.xdotool("key", "x")
    check(s.wait_exit(1.5) == 0, "non-zero exit after a key, OpenGL view")


# A player library that cannot load is said once on stderr; the saver stays
# black and a key still ends it.
def saver_without_its_player_library(s):
    make_clip(os.path.join(s.clips, "a.mp4"), "testsrc", "320x240", 3)
    s.settings()
    broken = os.path.join(s.tmp, "lib")
    os.makedirs(broken)
    open(os.path.join(broken, "libmpv.so.2"), "wb").close()
    s.env["LD_LIBRARY_PATH"] = broken
    s.start("/s")
    time.sleep(3.5)
    check(s.alive(), "the saver ended without its player library")
    check(bright_box(s.screenshot()) is None,
          "something was drawn without a player library")
    s.xdotool("key", "k")
    check(s.wait_exit(2) == 0, "non-zero exit without a player library")
    said = s.said().split("---")[-1]
    check(said.count("tarnlight:") == 1 and "could not be loaded" in said,
          f"stderr said {said!r}")


# A client that grabs the keyboard, as an open menu does, and holds it
# until its input closes; it prints the grab's status (0: held, 1: another
# client holds it).
GRAB_KEYBOARD = r"""
import ctypes as c, sys
x = c.CDLL("libX11.so.6")
x.XOpenDisplay.restype = c.c_void_p
x.XDefaultRootWindow.restype = c.c_ulong
d = c.c_void_p(x.XOpenDisplay(None))
root = c.c_ulong(x.XDefaultRootWindow(d))
print(x.XGrabKeyboard(d, root, 0, 1, 1, c.c_ulong(0)), flush=True)
x.XSync(d, 0)
sys.stdin.read()
"""


def grab_keyboard(s, hold):
    """A client that grabs the keyboard, holding it when `hold`."""
    return subprocess.Popen([sys.executable, "-c", GRAB_KEYBOARD],
                            env=s.env, stdout=subprocess.PIPE,
                            stdin=subprocess.PIPE if hold else
                            subprocess.DEVNULL)


def open_window(s, name, geometry):
    """A window as an application opens it, shown and named `name`."""
    s.helper("xmessage", "-name", name, "-geometry", geometry, name)
    return s.find_window(f"^{name}$")


# Started on its own, the saver hides an always-on-top window and a window that
# opens while it runs, and a key still ends it: the window manager focuses the
# new window, but the saver holds the keyboard, taken as soon as another client
# that held it as it started let go.
def saver_stays_on_top(s, manager):
    if manager:
        # In a session of its own, with the bus its desktop would give it.
        s.helper("dbus-run-session", "--", manager)
        waited(f"{manager} running", lambda: s.run(
            "wmctrl", "-m").returncode == 0, 30)
        above = open_window(s, "above", "300x200+0+0")
        s.run("wmctrl", "-i", "-r", above, "-b", "add,above")
    s.settings()
    menu = grab_keyboard(s, hold=True)
    s.helpers.append(menu)
    check(read_line(menu.stdout).strip() == b"0", "no grab to wait out")
    s.start("/s", alone=True)
    # Let go well inside the saver's few seconds of trying.
    s.wait_for("the saver's window", lambda: s.xdotool(
        "search", "--onlyvisible", "--classname", "tarnlight").stdout, 20)
    menu.stdin.close()
    s.wait_for("the saver holding the keyboard", lambda: grab_keyboard(
        s, hold=False).communicate(timeout=10)[0].strip() == b"1")
    s.wait_for("the screen black", lambda: bright_box(s.screenshot()) is None, 20)
    open_window(s, "new", "400x300+300+200")
    s.wait_for("the new window hidden",
               lambda: bright_box(s.screenshot()) is None, 20)
    s.xdotool("key", "a")
    check(s.wait_exit(5) == 0, "a key did not end the saver")
    s.nothing_left()


# ---------------------------------------------------------------- hosts

def install_program(s):
    """The build installed as `cmake --install` puts it, below a prefix of
    the case's own, with a clip to play; returns the installed program."""
    prefix = os.path.join(s.tmp, "usr")
    done = s.run("cmake", "--install", os.path.dirname(os.path.abspath(
        s.binary)), "--prefix", prefix, timeout=60)
    check(done.returncode == 0, f"cmake --install failed: {done.stderr}")
    s.env["PATH"] = os.path.join(prefix, "bin") + ":" + s.env["PATH"]
    make_clip(os.path.join(s.clips, "a.mp4"), "testsrc", "320x240", 1)
    return os.path.join(prefix, "bin", "tarnlight")


def as_user(s):
    """The command prefix that runs a host as a user, as it refuses root:
    root hands the case's folder to nobody and runs it as nobody."""
    if os.geteuid() != 0:
        return []
    subprocess.run(["chown", "-R", "nobody:nogroup", s.tmp], check=True)
    return ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"]


def running(pid):
    try:
        with open(f"/proc/{pid}/stat") as f:
            return f.read().split(") ")[1][0] != "Z"
    except OSError:
        return False


def saver_in_host(s, program, activate, end):
    """Once `activate` holds, the host has started the installed program in
    a window of its own over the screen, and the clip plays there; `end`
    ends it."""
    waited("the host", activate, 30, 0.2)

    def started():
        for pid in filter(str.isdigit, os.listdir("/proc")):
            try:
                if os.readlink(f"/proc/{pid}/exe") == os.path.realpath(program):
                    with open(f"/proc/{pid}/environ", "rb") as f:
                        return int(pid), f.read().split(b"\0")
            except OSError:
                continue
    pid, env = waited("the host starting the saver", started, 30, 0.2)
    window = next((p[20:].decode() for p in env
                   if p.startswith(b"XSCREENSAVER_WINDOW=")), "")
    check(window, "the host gave the saver no window")
    check(s.size_of(window) == (SCREEN_W, SCREEN_H),
          "the host's window does not cover the screen")
    waited("a clip in the host's window", lambda: check(
        running(pid), "the saver ended") or clip_box(s.screenshot(), (320, 240)),
        20, 0)
    end()
    waited("the host ending the saver", lambda: not running(pid), 10)


# XScreenSaver runs `tarnlight /s` from the user's ~/.xscreensaver in its
# window; deactivating it ends the saver.
def saver_in_xscreensaver(s):
    program = install_program(s)
    s.settings()
    with open(os.path.join(s.tmp, ".xscreensaver"), "w") as f:
        f.write("mode: one\nselected: 0\nlock: False\nfade: False\n"
                "unfade: False\nsplash: False\nprograms: tarnlight /s\n")
    user = as_user(s)
    s.helper(*user, "xscreensaver", "-no-splash")
    saver_in_host(s, program, lambda: s.run(
        *user, "xscreensaver-command", "-activate").returncode == 0,
        lambda: s.run(*user, "xscreensaver-command", "-deactivate"))


# MATE's screen saver finds the installed program in XScreenSaver's folder of
# hacks, where it looks, and runs it in its window; a key ends it. The folder
# is the installed one only inside a mount namespace of the host's own.
def saver_in_mate_screensaver(s):
    program = install_program(s)
    prefix = os.path.dirname(os.path.dirname(program))
    # MATE hands its programs a plain environment: the settings are where
    # they are without XDG_CONFIG_HOME.
    s.config = s.env["XDG_CONFIG_HOME"] = os.path.join(s.tmp, ".config")
    s.ini = os.path.join(s.config, "Tarnlight", "Tarnlight.ini")
    s.settings()
    write_ini(os.path.join(s.config, "glib-2.0", "settings", "keyfile"),
              raw=b"[org/mate/screensaver]\nmode='single'\n"
              b"themes=['screensavers-tarnlight']\nlock-enabled=false\n")
    s.env.update(GSETTINGS_BACKEND="keyfile", NO_AT_BRIDGE="1",
                 XDG_DATA_DIRS=os.path.join(prefix, "share") + ":/usr/share")
    # A link of the installed kind, made absolute: a relative one would
    # resolve from where the folder is mounted.
    installed = os.path.join(prefix, "libexec", "xscreensaver", "tarnlight")
    check(os.path.realpath(installed) == program,
          f"{installed} does not lead to {program}")
    hacks = os.path.join(s.tmp, "hacks")
    os.makedirs(hacks)
    os.symlink(program, os.path.join(hacks, "tarnlight"))
    user = as_user(s)
    ids = ("65534", "65534") if user else (os.getuid(), os.getgid())
    host = s.helper(
        *user, "unshare", "--user", "--map-root-user", "--mount",
        "--propagation", "private", "sh", "-c",
        'mount --bind "$0" /usr/libexec/xscreensaver && exec "$@"', hacks,
        "unshare", "--user", f"--map-user={ids[0]}", f"--map-group={ids[1]}",
        "dbus-run-session", "--", "sh", "-c", 'echo "$DBUS_SESSION_BUS_ADDRESS"; '
        "exec mate-screensaver --no-daemon", stdout=subprocess.PIPE)
    s.env["DBUS_SESSION_BUS_ADDRESS"] = read_line(host.stdout).decode().strip()
    check(s.env["DBUS_SESSION_BUS_ADDRESS"], "no session bus for MATE")
    saver_in_host(s, program, lambda: "is active" in s.run(
        *user, "mate-screensaver-command", "--activate", "--query").stdout,
        lambda: s.xdotool("key", "a"))


# Two monitors side by side, as Xephyr makes them inside the Xvfb. Qt reads
# monitors from RandR alone and Xephyr tells of its second head only through
# Xinerama, so the test describes that head to RandR, as a server with two
# outputs does; RandR also lets it take the head away and make it primary.
HEADS = ((0, 0, 640, 480), (640, 0, 512, 384))
DESKTOP = b"\0\xff\0"  # xsetroot green, for the saver to hide


def second_head(s, primary):
    x, y, w, h = HEADS[1]
    s.run("xrandr", "--noprimary")
    s.run("xrandr", "--setmonitor", "*head1" if primary else "head1",
          f"{w}/0x{h}/0+{x}+{y}", "none")
    if not primary:
        s.run("xrandr", "--output", "default", "--primary")


# Every monitor black, the clip on the primary; monitors that come, go and
# change roles are followed; a key on the second head ends it.
def saver_covers_every_head(s):
    xephyr, s.env["DISPLAY"] = start_x("Xephyr", "+xinerama", "-ac", "-screen",
                                       "640x480", "-screen", "512x384", env=s.env)
    s.helpers.append(xephyr)
    second_head(s, primary=False)
    s.run("xsetroot", "-solid", "green")
    make_clip(os.path.join(s.clips, "a.mp4"), "testsrc", "320x240", 1)
    s.settings()
    s.start("/s")

    def clip_on(head):
        def seen():
            shot = s.screenshot()
            return (clip_box(region(shot, *HEADS[head]), (320, 240)) and
                    bright_box(region(shot, *HEADS[1 - head])) is None)
        return seen
    s.wait_for("a clip on the first head, the second black", clip_on(0))
    s.run("xrandr", "--delmonitor", "head1")
    s.wait_for("the desktop on a removed head", lambda: only(
        region(s.screenshot(), *HEADS[1]), DESKTOP))
    second_head(s, primary=True)
    s.wait_for("a clip on the head made primary", clip_on(1))
    s.run("xrandr", "--delmonitor", "head1")
    second_head(s, primary=False)
    s.wait_for("a clip back on the first head", clip_on(0))
    # As a focus-follows-mouse window manager would, the window under the
    # pointer on the second head gets the keyboard.
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


# The listing runs off the GUI thread: a key and SIGTERM during a listing that
# takes 20 s each end the saver within a second.
def saver_ends_while_its_folder_stalls(s):
    share = os.path.join(s.tmp, "share")
    with stalled_share(share, 20):
        s.settings(share)
        s.start("/s")
        s.wait_for("the listing", lambda: os.path.exists(share + ".list"))
        s.xdotool("key", "k")
        check(s.wait_exit(1) == 0, "non-zero exit after a key")
        # The first listing still holds the folder in the kernel, so this
        # one waits there, unseen by the share.
        s.start("/s", alone=True)
        time.sleep(2.5)
        s.proc.send_signal(signal.SIGTERM)
        check(s.wait_exit(1) == 0, "non-zero exit after SIGTERM")
    s.nothing_left()


# Settings on a share that stops answering: OK says at once that they could not
# be saved, and the dialog stays, its keys alive.
def setup_says_when_its_share_stalls(s):
    share, trigger = os.path.join(s.tmp, "share"), os.path.join(s.tmp, "stall")
    with stalled_share(share, 20, trigger):
        s.env["XDG_CONFIG_HOME"] = share
        open_setup(s)
        open(trigger, "w").close()
        s.xdotool("key", "Return")
        s.wait_focus(s.find_window("^Tarnlight$", seconds=2))
        s.xdotool("key", "Return")
        s.wait_focus(s.find_window("Tarnlight Setup"))
        s.xdotool("key", "Escape")
        waited("the dialog to go", lambda: not s.xdotool(
            "search", "--onlyvisible", "--name", "Tarnlight Setup").stdout, 8)
    check(s.wait_exit(10) == 0, "non-zero exit once the share let go")


CASES = {f"saver_on_top_{name}": (lambda s, m=manager: saver_stays_on_top(s, m))
         for name, manager in (("openbox", "openbox"), ("xfwm4", "xfwm4"),
                               ("no_window_manager", None))}
CASES |= {f.__name__: f for f in (
    other_command_lines_end_at_once, setup_enter_stores_folder,
    saver_plays_clips_from_a_hostile_folder, saver_without_its_player_library,
    saver_covers_every_head, saver_ends_while_its_folder_stalls,
    setup_says_when_its_share_stalls, saver_in_xscreensaver,
    saver_in_mate_screensaver)}

if __name__ == "__main__":
    sys.exit(run_cases(Session(sys.argv[1]), [(sys.argv[2], CASES[sys.argv[2]])]))
