#!/usr/bin/env python3
"""Usage: tarnlight_e2e.py PATH_TO_TARNLIGHT CASE. End-to-end checks under
Xvfb of what the unit tests cannot reach: real keys, windows, window
managers, hosts, heads, libmpv and stalled shares."""

import ctypes
import os
import select
import socket
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from e2e_harness import (X11Session, bright_box, check,  # noqa: E402
                         clip_box, make_clip, read_line, run_cases,
                         stalled_share, start_x, waited)


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


class Session(X11Session):
    def __init__(self, binary):
        super().__init__("tarnlight-e2e-")
        self.binary = binary
        # Where the settings are also when a host drops XDG_CONFIG_HOME.
        config = os.path.join(self.tmp, ".config")
        self.ini = os.path.join(config, "Tarnlight", "Tarnlight.ini")
        self.clips = os.path.join(self.tmp, "clips")
        os.makedirs(self.clips)
        # As under startx with an idle daemon: no session bus.
        self.env.update(XDG_CONFIG_HOME=config, HOME=self.tmp,
                        XDG_RUNTIME_DIR=self.tmp, QT_QPA_PLATFORM="xcb")

    # Each run leads a process group, so that what it leaves behind shows.
    def start(self, *args):
        self.log.write(f"--- start {args}\n".encode())
        self.proc = subprocess.Popen([self.binary, *args], env=self.env,
                                     stdout=self.log, stderr=self.log,
                                     start_new_session=True)

    def settings(self, folder=None):
        write(self.ini, b"[settings]\ntimeFrom=00:00\ntimeUntil=23:59\n"
              b"intervalTime=1\nvidFolder=" + os.fsencode(folder or self.clips)
              + b"/\n")


# ---------------------------------------------------------------- cases

# With no display, through a program path holding "/s" and "/c": no argument
# and a preview end at once with 0; the saver and the dialog say there is no
# display and end with 1.
def other_command_lines_end_at_once(s):
    del s.env["DISPLAY"]
    link = os.path.join(s.tmp, "s", "c", "tarnlight")
    os.makedirs(os.path.dirname(link))
    os.symlink(os.path.abspath(s.binary), link)
    for args, status in (((), 0), (("/p", "123"), 0), (("/s",), 1), (("/c",), 1)):
        done = s.run(link, *args, timeout=5)
        said = "tarnlight: no display to show a window on" in done.stderr
        check(done.returncode == status and said == bool(status), f"{done}")


def open_setup(s):
    s.start("/c")
    window = s.find_window("Tarnlight Setup")
    size = s.xdotool("getwindowgeometry", window).stdout
    check("Geometry: 413x194" in size, f"client area: {size}")
    s.wait_focus(window)


# Enter stores what was typed (an interval, three tabs on) and, left as it is
# shown, a folder named in Latin-1, which the text box can show only with
# replacement characters, byte for byte. Settings on a share that stops
# answering: OK says at once that they could not be saved, and the dialog
# stays, its keys alive.
def setup_stores_a_folder_or_says_why_not(s):
    folder = b"/v/caf\xe9/\\\\"
    write(s.ini, b"[settings]\nvidFolder=" + folder + b"\n")
    open_setup(s)
    s.xdotool("key", "Tab", "Tab", "Tab", "7", "Return")
    check(s.wait_exit(5) == 0, "non-zero exit")
    with open(s.ini, "rb") as f:
        stored = f.read()
    check(stored.startswith(b"[settings]\nvidFolder=" + folder + b"\n") and
          b"\nintervalTime=7\n" in stored, f"stored {stored}")
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


# The folder is named in Latin-1. First it holds a playlist naming the
# network: the saver, in the OpenGL view forced on Mesa's llvmpipe, lives
# through it without connecting anywhere. Then a clip shows and a character
# key ends the saver. Then the folder on a share whose listings stall.
def saver_plays_clips_from_a_hostile_or_stalled_folder(s):
    listener = socket.create_server(("127.0.0.1", 0))
    folder = os.path.join(os.fsencode(s.clips), b"caf\xe9")
    write(os.path.join(folder, b"list.m3u"),
          b"http://127.0.0.1:%d/a.mp4\n" % listener.getsockname()[1])
    # Made beside the folder and moved in whole, so no listing sees half.
    still = os.path.join(s.tmp, "s.mp4")
    make_clip(still, "testsrc", "320x240", 16, "libx264", rate="1/8", extra=(
        "-f", "lavfi", "-i", "sine=frequency=440:duration=16", "-c:a", "aac"))
    s.settings(folder)
    s.env["TARNLIGHT_RENDER"] = "opengl"
    s.start("/s")
    time.sleep(10)
    check(s.alive() and not select.select([listener], [], [], 0)[0],
          "the saver died on the playlist, or connected to the listener")
    os.remove(os.path.join(folder, b"list.m3u"))
    # A picture every 8 s over sound is no stall: libmpv's clock moves.
    os.rename(still, os.path.join(folder, b"s.mp4"))
    s.wait_clip("the still clip", (320, 240), seconds=10)
    shown = time.time()
    while time.time() - shown < 13:
        check(clip_box(s.screenshot(), (320, 240)),
              f"the clip went after {time.time() - shown:.1f} s of 16")
        time.sleep(0.5)
    s.xdotool("key", "x")
    check(s.wait_exit(1.5) == 0, "non-zero exit after a key")
    check("drawing with OpenGL (OpenGL renderer: llvmpipe" in s.said(),
          "the OpenGL view was not chosen")
    # The listing runs off the GUI thread: SIGTERM during a listing that
    # takes 20 s ends the saver within a second.
    share = os.path.join(s.tmp, "share")
    with stalled_share(share, 20):
        s.settings(share)
        s.start("/s")
        s.wait_for("the listing", lambda: os.path.exists(share + ".list"))
        s.proc.terminate()
        check(s.wait_exit(1) == 0, "non-zero exit after SIGTERM")
    # A player library that cannot load: said once, black, a key ends it.
    del s.env["TARNLIGHT_RENDER"]
    s.settings(folder)
    s.env["LD_LIBRARY_PATH"] = os.path.join(s.tmp, "lib")
    write(os.path.join(s.env["LD_LIBRARY_PATH"], "libmpv.so.2"), b"")
    s.start("/s")
    time.sleep(3.5)
    check(s.alive() and bright_box(s.screenshot()) is None,
          "the saver ended, or drew, without its player library")
    s.xdotool("key", "k")
    check(s.wait_exit(2) == 0, "non-zero exit without a player library")
    said = s.said().split("---")[-1]
    check(said.count("tarnlight:") == 1 and "could not be loaded" in said,
          f"stderr said {said!r}")


# Started on its own, the saver hides an always-on-top window and a window that
# opens while it runs, and a key still ends it: the window manager focuses the
# new window, but the saver holds the keyboard, taken as soon as another client
# that held it as it started let go.
def saver_stays_on_top(s, manager):
    if manager:
        # The window is there before the manager, which takes it over as it
        # starts, as on a desktop: a window mapped while openbox is still
        # starting is never managed, nor shown.
        s.helper("xmessage", "-name", "above", "-geometry", "300x200+0+0",
                 "above")
        above = s.find_window("^above$")
        # In a session of its own, with the bus its desktop would give it.
        s.helper("dbus-run-session", "--", manager)
        waited(f"{manager} managing the window", lambda: "above" in s.run(
            "wmctrl", "-l").stdout, 30)
        s.run("wmctrl", "-i", "-r", above, "-b", "add,above")
    # The keyboard held by another client, as an open menu holds it.
    x11 = ctypes.CDLL("libX11.so.6")
    x11.XOpenDisplay.restype = x11.XDefaultRootWindow.restype = ctypes.c_void_p
    menu = ctypes.c_void_p(x11.XOpenDisplay(s.env["DISPLAY"].encode()))
    root = ctypes.c_void_p(x11.XDefaultRootWindow(menu))
    check(x11.XGrabKeyboard(menu, root, 0, 1, 1, ctypes.c_ulong(0)) == 0,
          "no grab to wait out")
    s.start("/s")
    # Let go well inside the saver's few seconds of trying.
    s.wait_for("the saver's window", lambda: s.xdotool(
        "search", "--onlyvisible", "--classname", "tarnlight").stdout, 20)
    x11.XCloseDisplay(menu)
    s.helper("xmessage", "-name", "new", "-geometry", "400x300+300+200", "new")
    s.find_window("^new$")
    s.wait_for("the other windows hidden",
               lambda: bright_box(s.screenshot()) is None, 20)
    s.xdotool("key", "a")
    check(s.wait_exit(5) == 0, "a key did not end the saver")
    waited("nothing of the run (an on-demand bus) left", lambda: s.run(
        "pgrep", "-g", str(s.proc.pid)).returncode == 1, 5)


# The build installed by `cmake --install` below a prefix of the case's own.
# MATE's screen saver finds the installed program in XScreenSaver's folder of
# hacks, where it looks, and runs it in its window; a key ends it. That
# folder is the installed one only inside a mount namespace of the host's own
# (the package's check follows the installed link). MATE refuses root: as
# root, it runs as nobody. XScreenSaver hands a saver its window the same
# way, but a run under it passed even with that window or SIGTERM ignored.
def saver_in_mate(s):
    prefix = os.path.join(s.tmp, "usr")
    done = s.run("cmake", "--install", os.path.dirname(os.path.abspath(
        s.binary)), "--prefix", prefix, timeout=60)
    check(done.returncode == 0, f"cmake --install failed: {done.stderr}")
    make_clip(os.path.join(s.clips, "a.mp4"), "testsrc", "320x240", 1)
    s.settings()
    write(os.path.join(s.env["XDG_CONFIG_HOME"], "glib-2.0", "settings", "keyfile"),
          b"[org/mate/screensaver]\nmode='single'\n"
          b"themes=['screensavers-tarnlight']\nlock-enabled=false\n")
    # Absolute: a relative link would resolve from where it is mounted.
    hacks = os.path.join(s.tmp, "hacks")
    os.makedirs(hacks)
    os.symlink(os.path.join(prefix, "bin", "tarnlight"),
               os.path.join(hacks, "tarnlight"))
    user, ids = [], (os.getuid(), os.getgid())
    if os.geteuid() == 0:
        subprocess.run(["chown", "-R", "nobody:nogroup", s.tmp], check=True)
        user = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"]
        ids = (65534, 65534)
    s.env.update(GSETTINGS_BACKEND="keyfile", NO_AT_BRIDGE="1",
                 XDG_DATA_DIRS=os.path.join(prefix, "share") + ":/usr/share")
    host = s.helper(
        *user, "unshare", "--user", "--map-root-user", "--mount",
        "--propagation", "private", "sh", "-c",
        'mount --bind "$0" /usr/libexec/xscreensaver && exec "$@"', hacks,
        "unshare", "--user", f"--map-user={ids[0]}", f"--map-group={ids[1]}",
        "dbus-run-session", "--", "sh", "-c", 'echo "$DBUS_SESSION_BUS_ADDRESS"; '
        "exec mate-screensaver --no-daemon", stdout=subprocess.PIPE)
    s.env["DBUS_SESSION_BUS_ADDRESS"] = read_line(host.stdout).decode().strip()
    waited("the host", lambda: "is active" in s.run(
        *user, "mate-screensaver-command", "--activate", "--query").stdout, 30, 0.2)

    def running():
        return s.run("pgrep", "-s", str(host.pid), "-r", "R,S,D", "-x",
                     "tarnlight").returncode == 0
    waited("the saver's clip in the host's window", lambda: running() and
           clip_box(s.screenshot(), (320, 240)), 30, 0)
    s.xdotool("key", "a")
    waited("the host ending the saver", lambda: not running(), 10)


# Two monitors side by side, as Xephyr makes them inside the Xvfb. Qt reads
# monitors from RandR alone and Xephyr tells of its second head only through
# Xinerama, so the test describes that head to RandR, as a server with two
# outputs does; RandR also lets it take the head away and make it primary.
HEADS = ((0, 0, 640, 480), (640, 0, 512, 384))


def second_head(s, primary):
    x, y, w, h = HEADS[1]
    s.run("xrandr", "--noprimary")
    s.run("xrandr", "--setmonitor", "*head1" if primary else "head1",
          f"{w}/0x{h}/0+{x}+{y}", "none")
    if not primary:
        s.run("xrandr", "--output", "default", "--primary")


# Every monitor black, the clip on the primary; monitors that come, go and
# change roles are followed, and a removed one shows the desktop (xsetroot
# green) again; a key on the second head ends it.
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
        return lambda: (clip_box(s.screenshot(*HEADS[head]), (320, 240)) and
                        bright_box(s.screenshot(*HEADS[1 - head])) is None)
    s.wait_for("a clip on the first head, the second black", clip_on(0))
    s.run("xrandr", "--delmonitor", "head1")
    s.wait_for("the desktop on a removed head", lambda: s.screenshot(
        *HEADS[1])[2] == b"\0\xff\0" * (512 * 384))
    second_head(s, primary=True)
    s.wait_for("a clip on the head made primary", clip_on(1))
    s.run("xrandr", "--delmonitor", "head1")
    second_head(s, primary=False)
    s.wait_for("a clip back on the first head", clip_on(0))
    # As a focus-follows-mouse window manager would, the window under the
    # pointer in the middle of the second head gets the keyboard.
    x, y, w, h = HEADS[1]
    shell = s.xdotool("mousemove", str(x + w // 2), str(y + h // 2),
                      "getmouselocation", "--shell")
    cover = dict(line.split("=") for line in shell.stdout.split())["WINDOW"]
    check(cover != s.xdotool("getwindowfocus").stdout.strip(),
          "the second head shows the saver window itself")
    s.xdotool("windowfocus", cover)
    s.wait_focus(cover)
    s.xdotool("key", "Tab")
    check(s.wait_exit(1.5) == 0, "Tab on the second head did not end it")


CASES = {f"saver_on_top_{m or 'no_window_manager'}": (
    lambda s, m=m: saver_stays_on_top(s, m)) for m in ("openbox", "xfwm4", None)}
CASES |= {f.__name__: f for f in (
    other_command_lines_end_at_once, setup_stores_a_folder_or_says_why_not,
    saver_plays_clips_from_a_hostile_or_stalled_folder, saver_covers_every_head,
    saver_in_mate)}

if __name__ == "__main__":
    sys.exit(run_cases(Session(sys.argv[1]), [(sys.argv[2], CASES[sys.argv[2]])]))
