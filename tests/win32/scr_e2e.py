#!/usr/bin/env python3
"""End-to-end checks of Tarnlight.scr under Wine and Xvfb: the command
lines of the Windows shell, real keys, windows, clips and stalled shares.

Usage: scr_e2e.py PATH_TO_TARNLIGHT_SCR PATH_TO_WINDOW_PROBE [CASE...]

Runs every case (or the named ones) in one throw-away Wine prefix, bounds
each wait, and ends its own wineserver (by prefix) on the way out.
"""

import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from e2e_harness import (DEFAULTS, X11Session, bright_box,  # noqa: E402
                         check, make_clip, read_line, run_cases,
                         stalled_share, stop_group)

class Wine(X11Session):
    def __init__(self, scr, probe):
        super().__init__("tarnlight-wine-e2e-")
        self.scr, self.probe_exe = scr, probe
        self.clips = os.path.join(self.tmp, "clips")
        os.makedirs(self.clips)
        self.env.update(WINEPREFIX=os.path.join(self.tmp, "prefix"),
                        WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=",
                        WINEARCH="win64",
                        ALSA_CONFIG_PATH=os.path.join(self.tmp, "alsa.conf"))
        with open(self.env["ALSA_CONFIG_PATH"], "w") as f:
            f.write("pcm.!default { type null }\nctl.!default { type hw card 0 }\n")
        try:
            self.run("wineboot", "-i", timeout=180)
            # One server for every case, ended in close(): one that shuts
            # down after its idle seconds races the next start. Its system
            # processes start here, so that none of them holds a case's
            # output.
            self.run("wineserver", "-w", timeout=120)
            for args in (["wineserver", "-p"], ["wine", "cmd", "/c", "exit"]):
                subprocess.run(args, env=self.env, timeout=60,
                               stdin=subprocess.DEVNULL,
                               stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
            self.reg("add", r"HKCU\Software\Wine\X11 Driver", "/v",
                     "Managed", "/d", "N")
        except BaseException:
            self.close()
            raise

    def close(self):
        self.run("wineserver", "-k", timeout=30)
        super().close()

    def reg(self, *args):
        return self.run("wine", "reg", *args, "/f", timeout=30)

    def start(self, *args, env=None, stderr=subprocess.DEVNULL):
        self.proc = self.spawn(*args, env=env, stderr=stderr)

    def spawn(self, *args, env=None, stderr=subprocess.DEVNULL):
        """Another instance of the program, beside the one start() keeps."""
        return subprocess.Popen(["wine", self.scr, *args],
                                env=dict(self.env, **(env or {})),
                                stdout=subprocess.DEVNULL, stderr=stderr)

    def probe(self, *args):
        """What the probe reads of windows from inside the Wine session, as
        lines of words: handle, class, visible, topmost, tool window, owner,
        takes input, client width and height, left, top, right, bottom
        (window_probe.cpp says what each question answers)."""
        out = self.run("wine", self.probe_exe, *args, timeout=30).stdout
        return [line.split() for line in out.splitlines()]

    def settings(self):
        """The settings key, read through reg export (reg query mangles
        non-ASCII text)."""
        out = os.path.join(self.tmp, "export.reg")
        self.run("wine", "reg", "export", r"HKCU\Software\Tarnlight", out, "/y",
                 timeout=30)
        if not os.path.exists(out):
            return {}
        lines = open(out, "rb").read().decode("utf-16").splitlines()
        return {k: v.replace("\\\\", "\\") for k, v in (
            line[1:-1].split('"="', 1) for line in lines if '"="' in line)}

    def saver_settings(self, folder):
        for key, value in (("vidFolder", "Z:" + folder.replace("/", "\\") + "\\"),
                           ("intervalTime", "1"), ("timeFrom", "00:00"),
                           ("timeUntil", "23:59")):
            self.reg("add", r"HKCU\Software\Tarnlight\settings", "/v", key,
                     "/d", value)


def host(w, width, height):
    """A small black window of the probe's, as the shell's preview monitor and
    its settings dialog are: another program's window, titled "Preview host".
    Its process, which says "gone" when the window goes, handle and rect."""
    proc = w.helper("wine", w.probe_exe, "--host", str(width), str(height),
                    stdout=subprocess.PIPE)
    fields = read_line(proc.stdout).split()
    check(len(fields) == 13, f"the probe made no window: {fields}")
    return proc, int(fields[0]), tuple(map(int, fields[9:]))


def saver_shown(w):
    """The saver's and its covers' windows that show, topmost."""
    return [r for r in w.probe("--top") if r[1] in (
        "TarnlightSaver", "TarnlightCover") and r[2:4] == ["1", "1"]]


def h264_clip(w):
    """Points the settings at a folder of one H.264 clip named outside ASCII,
    made once a session; the media engine plays it."""
    clips = os.path.join(w.tmp, "h264")
    if not os.path.isdir(clips):
        os.makedirs(clips)
        make_clip(os.path.join(clips, "c ñ ü.mp4"), "testsrc", "320x240", 8,
                  "libx264")
    w.saver_settings(clips)


def without(w, dll):
    return {"WINEDLLOVERRIDES": w.env["WINEDLLOVERRIDES"] + f";{dll}="}


# The shell's Configure verb (no argument), laid out at the monitor's DPI:
# under Wine every monitor has the system's, read at each start. The defaults
# are written all the same, and what was typed is not.
def dialog_at_144_dpi_stores_nothing_on_escape(w):
    desktop = r"HKCU\Control Panel\Desktop"
    w.reg("add", desktop, "/v", "LogPixels", "/t", "REG_DWORD", "/d", "144")
    try:
        w.start()
        w.find_window("Tarnlight Setup")
        size = w.probe("Tarnlight Setup")[0][7:9]
        check(size == ["620", "291"], f"client area is {size}")
        w.xdotool("type", "zzz")
        time.sleep(0.5)
        w.xdotool("key", "Escape")
        check(w.wait_exit(15) == 0, "non-zero exit after Escape")
        check(w.settings() == DEFAULTS, f"registry holds {w.settings()}")
    finally:
        w.reg("delete", desktop, "/v", "LogPixels")


# The settings dialog's /c:HWND: a tool window owned by that window, which
# takes no input until Enter has stored what was typed.
def setup_enter_with_its_owner(w):
    proc, owner, _ = host(w, 200, 150)
    w.start(f"/c:{owner}")
    w.find_window("Tarnlight Setup")
    setup, host_window = w.probe("Tarnlight Setup")[0], w.probe("Preview host")[0]
    facts = [*setup[7:9], *setup[4:6], host_window[6]]
    check(facts == ["413", "194", "1", str(owner), "0"],
          f"size, tool window, owner, owner enabled: {facts}")
    time.sleep(0.5)
    # The edit box's caret starts at the beginning of the text.
    w.xdotool("key", "End", "BackSpace", "BackSpace", "BackSpace")
    w.xdotool("type", "e:\\clips ")
    # xdotool lends a character outside the keymap a key for a moment; typed
    # hard on the heels of others, Wine may still read the old keymap.
    time.sleep(0.3)
    w.xdotool("type", "--delay", "200", "ü")
    time.sleep(0.3)
    w.xdotool("key", "Return")
    check(w.wait_exit(15) == 0, "non-zero exit after Enter")
    check(w.settings().get("vidFolder") == "e:\\clips ü\\",
          f"registry holds {w.settings()}")
    check(w.probe("Preview host")[0][6] == "1",
          "the owner takes no input after the dialog")
    stop_group(proc)


# Each clip goes to Media Foundation first; the trace shows it was asked. The
# shell's previews and settings started meanwhile end without waiting for the
# saver.
def saver_plays_and_ends_on_character_key(w):
    make_clip(os.path.join(w.clips, "a.avi"), "testsrc", "320x240", 3)
    make_clip(os.path.join(w.clips, "b.wmv"), "smptebars", "200x150", 3, "wmv2")
    w.saver_settings(w.clips)
    trace_path = os.path.join(w.tmp, "mfplat.log")
    with open(trace_path, "wb") as trace:
        w.start("/s", env={"WINEDEBUG": "trace+mfplat"}, stderr=trace)
        w.wait_clip("a clip", (320, 240), (200, 150), seconds=25)
    w.xdotool("key", "Left")
    w.xdotool("mousemove", "200", "200")
    time.sleep(1)
    check(w.alive(), "an arrow key or the mouse ended the saver")
    for args in (["/p", "0"], ["/p", "123"], ["/c"]):
        other = w.spawn(*args)
        if args == ["/c"]:
            w.find_window("Tarnlight Setup")
            check(w.run("wine", w.probe_exe, "--close", "Tarnlight Setup",
                        timeout=30).returncode == 0, "no dialog to close")
        code = w.wait_exit(5, other, f"Tarnlight.scr {' '.join(args)}")
        check(code == 0, f"exit code {code} from {args}")
    check(w.alive(), "the saver ended with another instance")
    w.xdotool("key", "x")
    check(w.wait_exit(5) == 0, "non-zero exit after a character key")
    trace = open(trace_path, "rb").read()
    check(b"media_engine_factory_CreateInstance" in trace,
          "the media engine was not asked to open the clip")


# An H.264 clip named outside ASCII, seen on the screen in three runs of one
# session after the earlier cases' runs, a character key ending each: twice
# with DirectShow left out (quartz.dll), so that the picture is the media
# engine's, which draws its frames in the saver's own window; then, started by
# the shell's Test verb (/S), with no mfplat.dll, so that DirectShow alone
# shows it.
def each_engine_shows_the_clip(w):
    h264_clip(w)
    for run, switch, dll in ((1, "/s", "quartz"), (2, "/s", "quartz"),
                             (3, "/S", "mfplat")):
        w.start(switch, env=without(w, dll))
        w.wait_clip(f"a clip without {dll} (run {run})", (320, 240), seconds=25)
        w.xdotool("key", "q")
        check(w.wait_exit(5) == 0, f"non-zero exit after a character key (run {run})")


# The shell's small monitor. Wine draws nothing a program paints into another
# program's window, so the clip inside is seen as Windows places it; the screen
# outside the black host must stay black.
def preview_plays_inside_its_host(w):
    h264_clip(w)
    proc, handle, rect = host(w, 240, 180)
    w.start("/p", str(handle))

    def player():
        windows = {r[1]: (r[2] == "1", tuple(map(int, r[9:])))
                   for r in w.probe("--children", str(handle))}
        shown, box = windows.get("TarnlightSurface", (False, (0, 0, 0, 0)))
        size = (box[2] - box[0], box[3] - box[1])
        return shown and size == (240, 180) and windows
    windows = w.wait_for("a clip in the host", player, 25, pause=0.3)
    check(windows.get("TarnlightSaver") == (True, rect),
          f"the preview is {windows.get('TarnlightSaver')}, not {rect}")
    seen = bright_box(w.screenshot())
    check(seen is None, f"the preview drew outside its host: {seen}")
    w.probe("--close", "Preview host")
    check(read_line(proc.stdout, 10).strip() == b"gone",
          "the probe did not destroy its window")
    # The window went with its host; the process itself gives its media
    # threads up to 10 s under Wine to let go first, so that Wine's exit does
    # not crash (a loaded machine took 8 s).
    code = w.wait_exit(12, what="the preview")
    check(code == 0, f"exit code {code} after the host went")
    stop_group(proc)


# A clip folder on a share that stopped answering, in its listing or in
# DirectShow's reads of the clip (Media Foundation left out, so that the open
# is DirectShow's): each waits on a thread of its own, and a key takes the
# saver down at once. Wine's threads are the system's, so the process itself
# goes only when the share lets go of the one that waits.
def saver_ends_on_key_while_its_share_stalls(w):
    for stall in ("list", "read"):
        share = os.path.join(w.tmp, "share-" + stall)
        with stalled_share(share, 30, stall=stall):
            w.saver_settings(share)
            w.start("/s", env=without(w, "mfplat"))
            w.wait_for("the saver", lambda: saver_shown(w), 20)
            w.wait_for(f"the {stall} stalling", lambda: os.path.exists(
                share + "." + stall), 20, pause=0.1)
            time.sleep(0.5)
            w.xdotool("key", "x")
            time.sleep(1.0)
            check(not saver_shown(w),
                  f"the saver still showed a second after the key ({stall})")
        check(w.wait_exit(10) == 0, f"non-zero exit after a character key ({stall})")


CASES = [dialog_at_144_dpi_stores_nothing_on_escape, setup_enter_with_its_owner,
         saver_plays_and_ends_on_character_key, each_engine_shows_the_clip,
         preview_plays_inside_its_host, saver_ends_on_key_while_its_share_stalls]

if __name__ == "__main__":
    wine = Wine(os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]))
    sys.exit(run_cases(wine, [(c.__name__, c) for c in CASES
                              if c.__name__ in sys.argv[3:] or not sys.argv[3:]]))
