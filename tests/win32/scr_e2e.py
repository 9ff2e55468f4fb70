#!/usr/bin/env python3
"""End-to-end checks of Tarnlight.scr under Wine and Xvfb.

Usage: scr_e2e.py PATH_TO_TARNLIGHT_SCR PATH_TO_WINDOW_PROBE [CASE...]

Runs every case (or the named ones, which may need the cases before them) in
one throw-away Wine prefix, bounds each wait, and ends its own wineserver
(by prefix) on the way out.
"""

import os
import select
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from e2e_harness import (DEFAULTS, SCREEN_H, SCREEN_W, Failure,  # noqa: E402
                         X11Session, bright_box, check, make_clip,
                         stalled_share)

KEY = r"HKCU\Software\Tarnlight\settings"


class Wine(X11Session):
    def __init__(self, scr, probe):
        super().__init__("tarnlight-wine-e2e-")
        self.scr = scr
        self.probe = probe
        self.env.update(WINEPREFIX=os.path.join(self.tmp, "prefix"),
                        WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=",
                        WINEARCH="win64",
                        ALSA_CONFIG_PATH=os.path.join(self.tmp, "alsa.conf"))
        with open(self.env["ALSA_CONFIG_PATH"], "w") as f:
            f.write("pcm.!default { type null }\nctl.!default { type hw card 0 }\n")
        self.run("wineboot", "-i", timeout=180)
        # One server for every case, ended in close(): one that shuts down
        # after its idle seconds races the next start. Its system processes
        # start here, so that none of them holds a case's output.
        self.run("wineserver", "-w", timeout=120)
        subprocess.run(["wineserver", "-p"], env=self.env, timeout=30,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run(["wine", "cmd", "/c", "exit"], env=self.env, timeout=60,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        self.run("wine", "reg", "add", r"HKCU\Software\Wine\X11 Driver",
                 "/v", "Managed", "/d", "N", "/f")

    def close(self):
        if self.proc and self.proc.poll() is None:
            self.proc.kill()
        subprocess.run(["wineserver", "-k"], env=self.env, timeout=30)
        super().close()

    def start(self, *args, env=None, stderr=subprocess.DEVNULL):
        self.proc = self.spawn(*args, env=env, stderr=stderr)

    def spawn(self, *args, env=None, stderr=subprocess.DEVNULL):
        """Another instance of the program, beside the one start() keeps."""
        return subprocess.Popen(["wine", self.scr, *args],
                                env=dict(self.env, **(env or {})),
                                stdout=subprocess.DEVNULL, stderr=stderr)

    def probe_out(self, *args):
        return self.run("wine", self.probe, *args, timeout=30).stdout

    def probe_window(self, title):
        """(width, height, is a tool window, owner handle or 0, owner takes
        input) of the window with this title, as Windows reports them."""
        out = self.probe_out(title).split()
        check(len(out) == 5, f"no window {title!r} for the probe")
        return int(out[0]), int(out[1]), out[2] == "1", int(out[3]), out[4] == "1"

    def enabled(self, handle):
        out = self.probe_out("--enabled", str(handle))
        check(out.strip() in ("0", "1"), f"no window {handle} for the probe")
        return out.strip() == "1"

    def children(self, handle):
        """(class, visible, (left, top, right, bottom)) of each window inside
        that one, as Windows reports them."""
        out = self.probe_out("--children", str(handle))
        rows = [line.split() for line in out.splitlines()]
        return [(r[0], r[1] == "1", tuple(map(int, r[2:6]))) for r in rows]

    def saver_rects(self):
        """The virtual screen, and the rectangles of the saver's visible
        topmost windows, as Windows reports them."""
        out = self.probe_out("--saver-rects")
        rects = [tuple(map(int, line.split())) for line in out.splitlines()]
        check(len(rects) >= 2, f"no saver window for the probe: {out!r}")
        return rects[0], rects[1:]

    def icon_size(self):
        """(width, height) of the program file's icon as Windows loads it."""
        out = self.probe_out("--icon", self.scr).split()
        check(len(out) == 2, "Windows cannot load the program's icon")
        return int(out[0]), int(out[1])

    def close_window(self, title):
        """Posts WM_CLOSE to the window, from inside the Wine session."""
        done = self.run("wine", self.probe, "--close", title, timeout=30)
        check(done.returncode == 0, f"no window {title!r} to close")

    def settings(self):
        """The settings key, read through reg export (reg query mangles
        non-ASCII text)."""
        out = os.path.join(self.tmp, "export.reg")
        self.run("wine", "reg", "export", r"HKCU\Software\Tarnlight", out, "/y", timeout=30)
        if not os.path.exists(out):
            return {}
        text = open(out, "rb").read().decode("utf-16")
        values = {}
        for line in text.splitlines():
            if line.startswith('"') and '"="' in line:
                key, value = line[1:-1].split('"="', 1)
                values[key] = value.replace("\\\\", "\\")
        return values

    def put(self, values):
        for key, value in values.items():
            self.run("wine", "reg", "add", KEY, "/v", key, "/d", value, "/f", timeout=30)


class Host:
    """A small black window of the probe's, as the shell's preview monitor
    and its settings dialog are: another program's window."""

    def __init__(self, w, width, height):
        self.proc = subprocess.Popen(
            ["wine", w.probe, "--host", str(width), str(height)], env=w.env,
            stdin=subprocess.PIPE, stdout=subprocess.PIPE,
            stderr=subprocess.DEVNULL)
        fields = self.line().split()
        check(len(fields) == 5, f"the probe made no window: {fields}")
        self.handle = int(fields[0])
        self.rect = tuple(map(int, fields[1:]))

    def line(self, seconds=30):
        fd, data = self.proc.stdout.fileno(), b""
        deadline = time.time() + seconds
        while not data.endswith(b"\n"):
            left = deadline - time.time()
            check(left > 0 and select.select([fd], [], [], left)[0],
                  "the probe did not answer")
            chunk = os.read(fd, 256)
            check(chunk, "the probe ended")
            data += chunk
        return data.decode().strip()

    def destroy(self):
        """Returns when the window is gone."""
        self.proc.stdin.write(b"x\n")
        self.proc.stdin.flush()
        check(self.line(10) == "gone", "the probe did not destroy its window")

    def close(self):
        self.proc.stdin.close()
        try:
            self.proc.wait(10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait(10)


def no_argument_opens_the_dialog(w):
    """The shell's Configure verb. The defaults are written all the same."""
    w.start()
    w.find_window("Tarnlight Setup")
    time.sleep(0.5)
    w.xdotool("key", "Escape")
    check(w.wait_exit(15) == 0, "non-zero exit after Escape")
    check(w.settings() == DEFAULTS, f"registry holds {w.settings()}")


def setup_enter_and_escape(w):
    owner = Host(w, 200, 150)
    try:
        w.start(f"/c:{owner.handle}")
        w.find_window("Tarnlight Setup")
        width, height, tool, owned_by, owner_enabled = w.probe_window("Tarnlight Setup")
        check((width, height) == (413, 194), f"client area is {width} x {height}")
        check(tool, "the dialog is not a tool window")
        check((owned_by, owner_enabled) == (owner.handle, False),
              f"owner {owned_by} (enabled {owner_enabled}), not {owner.handle}")
        check(w.icon_size() == (16, 16), f"the icon is {w.icon_size()}")
        time.sleep(0.5)
        setup_enter(w)
        check(w.enabled(owner.handle), "the owner takes no input after the dialog")
    finally:
        owner.close()
    setup_escape(w)


def setup_enter(w):
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


def setup_escape(w):
    before = w.settings()
    w.start("/c")
    w.find_window("Tarnlight Setup")
    time.sleep(0.5)
    w.xdotool("type", "zzz")
    w.xdotool("key", "Escape")
    check(w.wait_exit(15) == 0, "non-zero exit after Escape")
    check(w.settings() == before, f"Escape changed {before} to {w.settings()}")


def setup_at_144_dpi(w):
    """Laid out at the monitor's DPI: under Wine, every monitor has the
    system's, which is read at each start."""
    desktop = r"HKCU\Control Panel\Desktop"
    w.run("wine", "reg", "add", desktop, "/v", "LogPixels", "/t", "REG_DWORD",
          "/d", "144", "/f", timeout=30)
    try:
        w.start("/c")
        w.find_window("Tarnlight Setup")
        width, height, *_ = w.probe_window("Tarnlight Setup")
        check((width, height) == (620, 291), f"client area is {width} x {height}")
        w.xdotool("key", "Escape")
        check(w.wait_exit(15) == 0, "non-zero exit after Escape")
    finally:
        w.run("wine", "reg", "delete", desktop, "/v", "LogPixels", "/f", timeout=30)


def uncovered(screen, rects):
    """A point of the screen that none of the rectangles holds, or None."""
    xs = sorted({screen[0], screen[2], *(r[i] for r in rects for i in (0, 2))})
    ys = sorted({screen[1], screen[3], *(r[i] for r in rects for i in (1, 3))})
    for x in (x for x in xs if screen[0] <= x < screen[2]):
        for y in (y for y in ys if screen[1] <= y < screen[3]):
            if not any(r[0] <= x < r[2] and r[1] <= y < r[3] for r in rects):
                return x, y
    return None


def wait_for_clip(w, sizes, seconds=25):
    """The box of the first clip of one of these sizes seen on the screen."""
    deadline = time.time() + seconds
    while time.time() < deadline:
        check(w.proc.poll() is None, "the saver ended by itself")
        box = bright_box(w.screenshot())
        if box and (box[2] - box[0], box[3] - box[1]) in sizes:
            return box
        time.sleep(0.3)
    raise Failure("no clip appeared on the screen")


def saver_plays_and_ends_on_character_key(w, clips):
    make_clip(os.path.join(clips, "a.avi"), "testsrc", "320x240", 3)
    make_clip(os.path.join(clips, "b.wmv"), "smptebars", "200x150", 3, codec="wmv2")
    w.put({"vidFolder": "Z:" + clips.replace("/", "\\") + "\\",
           "intervalTime": "1", "timeFrom": "00:00", "timeUntil": "23:59"})
    # Wine's media engine cannot draw into a window, so each clip goes to
    # Media Foundation first and is then shown by DirectShow; the trace
    # shows the first step was taken.
    trace_path = os.path.join(w.tmp, "mfplat.log")
    with open(trace_path, "wb") as trace:
        w.start("/s", env={"WINEDEBUG": "trace+mfplat"}, stderr=trace)
        seen = wait_for_clip(w, {(320, 240), (200, 150)})
    check(seen[0] >= 0 and seen[1] >= 0 and seen[2] <= SCREEN_W and seen[3] <= SCREEN_H,
          f"clip outside the screen: {seen}")
    screen, rects = w.saver_rects()
    gap = uncovered(screen, rects)
    check(gap is None, f"{gap} of the screen {screen} is not under {rects}")
    w.xdotool("key", "Left")
    w.xdotool("mousemove", "200", "200")
    time.sleep(1)
    check(w.proc.poll() is None, "an arrow key or the mouse ended the saver")
    other_instances_end_while_the_saver_runs(w)
    w.xdotool("key", "x")
    code = w.wait_exit(5)
    check(code == 0, f"exit code {code} after a character key")
    trace = open(trace_path, "rb").read()
    check(b"MF_MEDIA_ENGINE_PLAYBACK_HWND" in trace and
          b"media_engine_factory_CreateInstance" in trace,
          "the media engine was not asked to open the clip")


def without_media_foundation(w):
    return {"WINEDLLOVERRIDES": w.env["WINEDLLOVERRIDES"] + ";mfplat="}


def other_instances_end_while_the_saver_runs(w):
    """The screen-saver host starts previews and settings while the saver
    shows; none of them may wait for the saver."""
    for args in (["/p", "0"], ["/p", "123"]):
        other = w.spawn(*args)
        code = w.wait_exit(5, other, f"Tarnlight.scr {' '.join(args)}")
        check(code == 0, f"exit code {code} from {args}")
    setup = w.spawn("/c")
    w.find_window("Tarnlight Setup")
    w.close_window("Tarnlight Setup")
    code = w.wait_exit(5, setup, "the setup dialog closed by WM_CLOSE")
    check(code == 0, f"exit code {code} from the closed dialog")
    check(w.proc.poll() is None, "the saver ended with another instance")


def saver_ends_on_key_while_its_share_stalls(w):
    """A clip folder on a share that stopped answering, in its listing or
    in DirectShow's reads of the clip (Media Foundation left out, so that
    the open is DirectShow's): each waits on a thread of its own, and a key
    takes the saver down at once. Wine's threads are the system's, so the
    process itself goes only when the share lets go of the one that waits."""
    saver_windows = lambda: len(  # noqa: E731
        w.probe_out("--saver-rects").splitlines()) - 1
    for stall in ("list", "read"):
        share = os.path.join(w.tmp, "share-" + stall)
        with stalled_share(share, 30, stall=stall):
            w.put({"vidFolder": "Z:" + share.replace("/", "\\") + "\\",
                   "intervalTime": "1", "timeFrom": "00:00",
                   "timeUntil": "23:59"})
            w.start("/s", env=without_media_foundation(w))
            deadline = time.time() + 20
            while not saver_windows():
                check(time.time() < deadline, "the saver never showed")
                time.sleep(0.2)
            while not os.path.exists(share + "." + stall):
                check(time.time() < deadline, f"nothing waited on the {stall}")
                time.sleep(0.1)
            time.sleep(0.5)
            check(w.proc.poll() is None, f"the saver ended ({stall})")
            w.xdotool("key", "x")
            time.sleep(1.0)
            check(saver_windows() == 0,
                  f"the saver still showed a second after the key ({stall})")
        code = w.wait_exit(10)
        check(code == 0, f"exit code {code} after a character key ({stall})")


def runs_without_media_foundation(w, clips):
    no_mf = without_media_foundation(w)
    w.start("/c", env=no_mf)
    w.find_window("Tarnlight Setup")
    time.sleep(0.5)
    w.xdotool("key", "Escape")
    check(w.wait_exit(15) == 0, "non-zero exit from the dialog without mfplat")
    trace_path = os.path.join(w.tmp, "no-mfplat.log")
    with open(trace_path, "wb") as trace:
        # The shell's Test verb.
        w.start("/S", env=dict(no_mf, WINEDEBUG="trace+mfplat"), stderr=trace)
        wait_for_clip(w, {(320, 240), (200, 150)})
    w.xdotool("key", "x")
    check(w.wait_exit(5) == 0, "non-zero exit from the saver without mfplat")
    check(b"media_engine_factory_CreateInstance" not in open(trace_path, "rb").read(),
          "a media engine was made although mfplat.dll was missing")


def preview_plays_inside_its_host(w):
    """The shell's small monitor. Wine draws nothing a program paints into
    another program's window, so the clip inside is seen as Windows places
    it; the screen outside the black host must stay black."""
    host = Host(w, 240, 180)
    try:
        w.start("/p", str(host.handle))
        deadline = time.time() + 25
        while True:
            check(time.time() < deadline, "no clip appeared in the host")
            check(w.proc.poll() is None, "the preview ended by itself")
            windows = {name: (shown, rect) for name, shown, rect
                       in w.children(host.handle)}
            shown, player = windows.get("TarnlightSurface", (False, None))
            size = player and (player[2] - player[0], player[3] - player[1])
            if shown and size in {(240, 180), (200, 150)}:
                break
            time.sleep(0.3)
        check(windows.get("TarnlightSaver") == (True, host.rect),
              f"the preview is {windows.get('TarnlightSaver')}, not {host.rect}")
        check(host.rect[0] <= player[0] and host.rect[1] <= player[1] and
              player[2] <= host.rect[2] and player[3] <= host.rect[3],
              f"the clip at {player} is not inside {host.rect}")
        seen = bright_box(w.screenshot())
        check(seen is None, f"the preview drew outside its host: {seen}")
        host.destroy()
        gone = time.time()
        code = w.wait_exit(5, what="the preview")
        check(code == 0, f"exit code {code} after the host went")
        check(time.time() - gone < 1, f"ended {time.time() - gone:.1f} s after its host")
    finally:
        host.close()


def saver_survives_hostile_folder(w, clips):
    for name in os.listdir(clips):
        os.unlink(os.path.join(clips, name))
    valid = os.path.join(clips, "a clip ñ ü.avi")
    make_clip(valid, "testsrc", "160x120", 1)
    open(os.path.join(clips, "zero.avi"), "wb").close()
    with open(os.path.join(clips, "notes.txt"), "w") as f:
        f.write("not a clip\n")
    with open(valid, "rb") as f, open(os.path.join(clips, "cut.wmv"), "wb") as g:
        g.write(f.read(1200))
    subprocess.run(["ffmpeg", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                    "testsrc=size=64x48", "-frames:v", "1",
                    os.path.join(clips, "picture.jpg")], check=True, timeout=60)
    # Wine's media engine never draws, and its GStreamer reader can hang for
    # good on a damaged file (about one open in thirteen); a process that
    # ends with such a thread stuck crashes in Wine's own teardown. The
    # saver gives up on that open at its deadline, but the crash at exit is
    # Wine's, so the files go to DirectShow, the engine that shows clips
    # under Wine.
    w.start("/s", env=without_media_foundation(w))
    deadline = time.time() + 15
    while time.time() < deadline:
        check(w.proc.poll() is None, "the saver died on a hostile file")
        time.sleep(0.5)
    w.xdotool("key", "q")
    code = w.wait_exit(5)
    # The key ended the saver in time either way. Wine's GStreamer reader
    # can hang for good on one of these files, in DirectShow too, and Wine's
    # own teardown then faults on that stuck thread after the program has
    # called TerminateProcess: that one code is Wine's, not the saver's.
    check(code in (0, -11), f"exit code {code} after a character key")
    if code == -11:
        print("note: Wine's teardown faulted on a stuck GStreamer thread")


def main():
    w = Wine(os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]))
    clips = os.path.join(w.tmp, "clips")
    os.makedirs(clips)
    cases = [("no argument", lambda: no_argument_opens_the_dialog(w)),
             ("setup", lambda: setup_enter_and_escape(w)),
             ("setup at 144 dpi", lambda: setup_at_144_dpi(w)),
             ("saver", lambda: saver_plays_and_ends_on_character_key(w, clips)),
             ("no Media Foundation", lambda: runs_without_media_foundation(w, clips)),
             ("preview", lambda: preview_plays_inside_its_host(w)),
             ("hostile folder", lambda: saver_survives_hostile_folder(w, clips)),
             ("stalled share", lambda: saver_ends_on_key_while_its_share_stalls(w))]
    only = sys.argv[3:]
    failed = 0
    try:
        for name, case in (c for c in cases if not only or c[0] in only):
            try:
                case()
                print(f"PASS {name}")
            except (Failure, subprocess.TimeoutExpired) as failure:
                failed += 1
                alive = "alive" if w.xvfb.poll() is None else "gone"
                print(f"FAIL {name}: {failure} (X server {alive})")
                if w.proc and w.proc.poll() is None:
                    w.proc.kill()
    finally:
        w.close()
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
