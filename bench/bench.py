#!/usr/bin/env python3
"""What the saver costs on this machine, beside a reference for each figure.

Usage: bench/bench.py [build/tarnlight] [--scr build-win/Tarnlight.scr]
                      [--only 2,5] [--runs 5]

Run by hand, never in CI: it takes about twelve minutes, and its figures
mean something only on a quiet machine (it prints the load average). In one
Xvfb (1920x1080x24) it measures

1. start to the full-screen window's MapNotify (median of 7), tarnlight /s
   against a bare frameless full-screen Qt 6 QWidget;
2. CPU seconds (user+sys) and peak RSS of a 10 s 1080p and a 10 s 4K H.264
   clip (median of 5, the two programs taking turns), tarnlight (interval
   1, from its start to the clip's end plus exit) against mpv --no-config
   --vo=x11 --ao=null on the same file (with --autofit-larger=100%x100%,
   so that mpv too scales 4K onto the screen), and beside both the floor:
   decoding alone, mpv --no-config --vo=null --ao=null;
3. CPU per minute of pause (interval 3600, 30 s from 2 s after the map)
   against the bare Qt window idle as long;
4. clip start: from the tick that starts a clip to its first frame on the
   screen (median of 7), against mpv's exec to its first frame. The tick is
   dated by its first act, the listing of the clip folder (inotify);
5. key to exit: a key press at moments spread over a clip's open, during
   the pause and during playback, to the process's exit (waitpid);
7. key to exit during the listing of a folder of 100,000 files, pressed
   at moments from the tick (dated by the folder's opening) on, beside the
   time the listing itself takes here (names and a stat of each, warm);
8. the PSNR of one frame on the screen, tarnlight's against mpv's
   (--vo=x11, its own default conversion), at 1:1 and with 4K scaled onto
   the screen: each plays a clip of one still picture, and the screen is
   grabbed (ffmpeg x11grab) a second into the picture;
6. the size of Tarnlight.scr, stripped and not, and under Wine (its own
   prefix, the server kept up between runs) the start of `wine
   Tarnlight.scr /c` to a mapped window titled "Tarnlight Setup".

Maps, frames and keys go through a small Xlib client that the script builds:
MapNotify and title changes of the root's children, XDamage on the root
with XGetImage of three strips across each drawn box to tell a picture from
black, XTest for keys. Every moment is a CLOCK_MONOTONIC reading taken when
the X server reported it, not a poll.
"""

import argparse
import os
import platform
import queue
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time

W, H = 1920, 1080
# Without autofit-larger mpv opens a 4K clip in a window larger than the
# screen and scales to that; tarnlight fits the screen. For the 1080p clip
# the option changes nothing.
PLAYBACK_RUNS = 5
MPV = ["mpv", "--no-config", "--vo=x11", "--ao=null",
       "--autofit-larger=100%x100%"]
DECODE = ["mpv", "--no-config", "--vo=null", "--ao=null"]
REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(REPO, "tests"))
from e2e_harness import make_clip as make_test_clip, start_xvfb  # noqa: E402

WATCH_C = r"""
#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xdamage.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/inotify.h>
#include <time.h>
#include <unistd.h>

/* Prints, one line each with a CLOCK_MONOTONIC time:
     map T WINDOW WIDTH HEIGHT NAME    a child of the root was mapped
     name T WINDOW NAME                a mapped window was (re)named
     damage T X Y WIDTH HEIGHT LIT     something was drawn; LIT is 1 when the
                                       drawn box holds a picture, 0 when black
     key T                             the server has taken a key press
     open T                            the watched folder was opened
   and reads "key KEYSYM", "watch FOLDER" and "quit" on stdin. */

static double Now(void) {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

static int Ignore(Display* d, XErrorEvent* e) {
  (void)d;
  (void)e;
  return 0;
}

/* A picture when at least 1 pixel in 200 of three strips across the box is
   brighter than a dark grey: a video frame is, a black fill is not. */
static int Lit(Display* d, Window root, int x, int y, int w, int h) {
  long on = 0, all = 0;
  for (int i = 1; i <= 3; ++i) {
    int row = y + h * i / 4;
    XImage* img = XGetImage(d, root, x, row, (unsigned)w, 2, AllPlanes, ZPixmap);
    if (!img) continue;
    for (int r = 0; r < img->height; ++r)
      for (int c = 0; c < img->width; ++c) {
        unsigned long p = XGetPixel(img, c, r);
        ++all;
        if (((p >> 16) & 255) > 40 || ((p >> 8) & 255) > 40 || (p & 255) > 40) ++on;
      }
    XDestroyImage(img);
  }
  return all > 0 && on * 200 >= all;
}

static void Name(Display* d, Window w, char* out, size_t size) {
  out[0] = 0;
  Atom net = XInternAtom(d, "_NET_WM_NAME", False);
  Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
  Atom type;
  int format;
  unsigned long n, after;
  unsigned char* data = NULL;
  if (XGetWindowProperty(d, w, net, 0, 256, False, utf8, &type, &format, &n,
                         &after, &data) == Success && data && n) {
    snprintf(out, size, "%s", (char*)data);
  } else {
    char* name = NULL;
    if (XFetchName(d, w, &name) && name) {
      snprintf(out, size, "%s", name);
      XFree(name);
    }
  }
  if (data) XFree(data);
  for (char* p = out; *p; ++p)
    if (*p == '\n') *p = ' ';
}

int main(void) {
  Display* d = XOpenDisplay(NULL);
  if (!d) return 1;
  XSetErrorHandler(Ignore);
  setvbuf(stdout, NULL, _IOLBF, 0);
  Window root = DefaultRootWindow(d);
  int base, error;
  if (!XDamageQueryExtension(d, &base, &error)) return 2;
  XSelectInput(d, root, SubstructureNotifyMask);
  XDamageCreate(d, root, XDamageReportRawRectangles);
  XSync(d, False);
  printf("ready %.6f\n", Now());
  int folder = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  struct pollfd fds[3] = {{ConnectionNumber(d), POLLIN, 0}, {0, POLLIN, 0},
                          {folder, POLLIN, 0}};
  char line[4096];
  for (;;) {
    int have = 0, x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    double first = 0;
    while (XPending(d)) {
      XEvent ev;
      XNextEvent(d, &ev);
      double t = Now();
      if (ev.type == MapNotify && ev.xmap.event == root) {
        XWindowAttributes a;
        char name[512];
        /* Watched before it is read, so no later rename slips past. */
        XSelectInput(d, ev.xmap.window, PropertyChangeMask);
        if (!XGetWindowAttributes(d, ev.xmap.window, &a)) continue;
        Name(d, ev.xmap.window, name, sizeof name);
        printf("map %.6f 0x%lx %d %d %s\n", t, ev.xmap.window, a.width,
               a.height, name);
      } else if (ev.type == PropertyNotify &&
                 (ev.xproperty.atom == XA_WM_NAME ||
                  ev.xproperty.atom == XInternAtom(d, "_NET_WM_NAME", False))) {
        char name[512];
        Name(d, ev.xproperty.window, name, sizeof name);
        printf("name %.6f 0x%lx %s\n", t, ev.xproperty.window, name);
      } else if (ev.type == base + XDamageNotify) {
        XDamageNotifyEvent* e = (XDamageNotifyEvent*)&ev;
        int ax = e->area.x, ay = e->area.y;
        int bx = ax + e->area.width, by = ay + e->area.height;
        if (!have) {
          first = t;
          x0 = ax, y0 = ay, x1 = bx, y1 = by;
          have = 1;
        } else {
          x0 = ax < x0 ? ax : x0, y0 = ay < y0 ? ay : y0;
          x1 = bx > x1 ? bx : x1, y1 = by > y1 ? by : y1;
        }
      }
    }
    if (have) {
      /* Everything queued so far is one batch, dated by its first event. */
      x0 = x0 < 0 ? 0 : x0, y0 = y0 < 0 ? 0 : y0;
      x1 = x1 > DisplayWidth(d, 0) ? DisplayWidth(d, 0) : x1;
      y1 = y1 > DisplayHeight(d, 0) ? DisplayHeight(d, 0) : y1;
      if (x1 > x0 && y1 - y0 > 8)
        printf("damage %.6f %d %d %d %d %d\n", first, x0, y0, x1 - x0, y1 - y0,
               Lit(d, root, x0, y0, x1 - x0, y1 - y0 - 2));
      continue;
    }
    if (poll(fds, 3, -1) < 0) return 3;
    if (fds[2].revents & POLLIN) {
      double t = Now();
      char buf[4096] __attribute__((aligned(8)));
      ssize_t n;
      while ((n = read(folder, buf, sizeof buf)) > 0)
        for (char* p = buf; p < buf + n;) {
          struct inotify_event* e = (struct inotify_event*)p;
          if (e->mask & IN_OPEN) printf("open %.6f\n", t);
          p += sizeof *e + e->len;
        }
    }
    if (fds[1].revents & (POLLIN | POLLHUP)) {
      if (!fgets(line, sizeof line, stdin) || strncmp(line, "quit", 4) == 0)
        break;
      if (strncmp(line, "key ", 4) == 0) {
        line[strcspn(line, "\n")] = 0;
        KeyCode code = XKeysymToKeycode(d, XStringToKeysym(line + 4));
        XTestFakeKeyEvent(d, code, True, 0);
        XSync(d, False);
        printf("key %.6f\n", Now());
        XTestFakeKeyEvent(d, code, False, 0);
        XFlush(d);
      } else if (strncmp(line, "watch ", 6) == 0) {
        line[strcspn(line, "\n")] = 0;
        int ok = inotify_add_watch(folder, line + 6, IN_OPEN | IN_ONLYDIR) >= 0;
        printf("watching %.6f %d\n", Now(), ok);
      }
    }
  }
  XCloseDisplay(d);
  return 0;
}
"""

BARE_CPP = r"""
#include <QApplication>
#include <QScreen>
#include <QWidget>

// The least a Qt 6 program does to put a black frameless window over the
// screen, and to end on a key.
class Black : public QWidget {
 public:
  Black() : QWidget(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::black);
    setPalette(p);
    setAutoFillBackground(true);
  }

 protected:
  void keyPressEvent(QKeyEvent*) override { QApplication::quit(); }
};

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  Black w;
  w.setGeometry(QGuiApplication::primaryScreen()->geometry());
  w.showFullScreen();
  return app.exec();
}
"""


def log(text):
    print(text, file=sys.stderr, flush=True)


# ------------------------------------------------------------ preparation

def install_and_build(binary):
    deps = os.path.join(REPO, "scripts", "deps.sh")
    subprocess.run(["bash", "-c", f'. "{deps}" && install_missing '
                    '"${BUILD_PACKAGES[@]}" "${RUN_PACKAGES[@]}" '
                    '"${BENCH_PACKAGES[@]}"'], check=True)
    if not os.path.exists(binary):
        log("building tarnlight")
        subprocess.run(["cmake", "--preset", "default"], cwd=REPO,
                       check=True, stdout=subprocess.DEVNULL)
        subprocess.run(["cmake", "--build", "--preset", "default", "-j2",
                        "--target", "tarnlight"], cwd=REPO, check=True,
                       stdout=subprocess.DEVNULL)


def build_helpers(work):
    watch_c = os.path.join(work, "xwatch.c")
    with open(watch_c, "w") as f:
        f.write(WATCH_C)
    watch = os.path.join(work, "xwatch")
    subprocess.run(["cc", "-O2", "-std=c11", "-D_POSIX_C_SOURCE=200809L",
                    watch_c, "-o", watch, "-lXdamage", "-lXtst", "-lX11"],
                   check=True)
    bare_cpp = os.path.join(work, "bare.cpp")
    with open(bare_cpp, "w") as f:
        f.write(BARE_CPP)
    bare = os.path.join(work, "bare")
    flags = subprocess.run(["pkg-config", "--cflags", "--libs", "Qt6Widgets"],
                           check=True, capture_output=True,
                           text=True).stdout.split()
    subprocess.run(["g++", "-O2", "-std=c++17", "-fPIC", bare_cpp, "-o", bare,
                    *flags], check=True)
    return watch, bare


def make_clip(path, size):
    make_test_clip(path, "testsrc2", size, 10, codec="libx264", rate=30,
                   extra=("-preset", "veryfast"))


def make_still(path, size):
    """A 10 s clip of one unchanging picture, so that any moment of its
    playback shows the same frame."""
    subprocess.run(["ffmpeg", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                    f"testsrc2=size={size}:rate=30", "-vf", "select=eq(n\\,15)",
                    "-frames:v", "1", path + ".png"], check=True)
    subprocess.run(["ffmpeg", "-loglevel", "error", "-y", "-loop", "1",
                    "-framerate", "30", "-i", path + ".png", "-t", "10",
                    "-c:v", "libx264", "-preset", "veryfast", "-pix_fmt",
                    "yuv420p", path], check=True)


def grab(display, path):
    subprocess.run(["ffmpeg", "-loglevel", "error", "-y", "-f", "x11grab",
                    "-video_size", f"{W}x{H}", "-i", display + "+0,0",
                    "-frames:v", "1", path], check=True)


def psnr(a, b):
    """The PSNR in dB of two pictures of the same size, over R, G and B."""
    out = subprocess.run(["ffmpeg", "-hide_banner", "-i", a, "-i", b,
                          "-lavfi", "[0:v]format=gbrp[a];[1:v]format=gbrp[b];"
                          "[a][b]psnr", "-f", "null", "-"],
                         capture_output=True, text=True, check=True).stderr
    for word in out.split():
        if word.startswith("average:"):
            return float(word.split(":")[1])
    return None


# ------------------------------------------------------------ the watcher

class Watcher:
    """The Xlib client's events as (kind, time, fields...) tuples."""

    def __init__(self, binary, env):
        self.proc = subprocess.Popen([binary], env=env, stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, text=True,
                                     bufsize=1)
        self.events = []
        self.acks = queue.Queue()
        self.cond = threading.Condition()
        threading.Thread(target=self._read, daemon=True).start()
        if not self.wait(lambda e: e[0] == "ready", 0, 10):
            sys.exit("the X watcher did not start (XDamage missing?)")

    def _read(self):
        for line in self.proc.stdout:
            line = line.rstrip("\n")
            kind = line.split(None, 1)[0]
            # A window's name, last on its line, may hold spaces.
            parts = line.split(None, {"map": 5, "name": 3}.get(kind, -1))
            t = float(parts[1])
            if kind == "map":
                event = ("map", t, parts[2], int(parts[3]), int(parts[4]),
                         parts[5] if len(parts) > 5 else "")
            elif kind == "name":
                event = ("name", t, parts[2], parts[3] if len(parts) > 3
                         else "")
            elif kind == "damage":
                event = ("damage", t, *map(int, parts[2:7]))
            else:
                event = (kind, t)
            if kind in ("key", "watching"):
                self.acks.put(t)
            with self.cond:
                self.events.append(event)
                self.cond.notify_all()

    def wait(self, match, after, seconds):
        """The first event after `after` that `match` accepts, or None."""
        deadline = time.monotonic() + seconds
        index = 0
        with self.cond:
            while True:
                while index < len(self.events):
                    event = self.events[index]
                    index += 1
                    if event[1] >= after and match(event):
                        return event
                left = deadline - time.monotonic()
                if left <= 0:
                    return None
                self.cond.wait(left)

    def between(self, match, since, until):
        with self.cond:
            return [e for e in self.events if since <= e[1] <= until
                    and match(e)]

    def key(self, keysym):
        """Presses a key; returns when the server took it."""
        self.proc.stdin.write(f"key {keysym}\n")
        self.proc.stdin.flush()
        return self.acks.get(timeout=10)

    def watch(self, folder):
        """Dates every opening of `folder` from now on."""
        self.proc.stdin.write(f"watch {folder}\n")
        self.proc.stdin.flush()
        self.acks.get(timeout=10)

    def close(self):
        try:
            self.proc.stdin.write("quit\n")
            self.proc.stdin.close()
            self.proc.wait(5)
        except (OSError, subprocess.TimeoutExpired):
            self.proc.kill()
            self.proc.wait()


def full_screen_map(event):
    return event[0] == "map" and event[3] >= W and event[4] >= H


def picture(event):
    return event[0] == "damage" and event[6] == 1


def black(event):
    return event[0] == "damage" and event[6] == 0


# ------------------------------------------------------------ processes

class Run:
    """A process spawned here and reaped by its own thread, which dates the
    exit and keeps the rusage of the whole run."""

    def __init__(self, argv, env, log_path=None):
        out = os.open(log_path or os.devnull,
                      os.O_WRONLY | os.O_CREAT | os.O_APPEND, 0o644)
        null = os.open(os.devnull, os.O_RDONLY)
        actions = [(os.POSIX_SPAWN_DUP2, null, 0),
                   (os.POSIX_SPAWN_DUP2, out, 1),
                   (os.POSIX_SPAWN_DUP2, out, 2)]
        self.began = time.monotonic()
        self.pid = os.posix_spawnp(argv[0], argv, env, file_actions=actions)
        os.close(out)
        os.close(null)
        self.ended = None
        self.status = None
        self.rusage = None
        self._done = threading.Event()
        threading.Thread(target=self._reap, daemon=True).start()

    def _reap(self):
        _, status, rusage = os.wait4(self.pid, 0)
        self.ended = time.monotonic()
        self.status, self.rusage = status, rusage
        self._done.set()

    def wait(self, seconds):
        """True when the process ended within `seconds`; otherwise it is
        killed and False comes back."""
        if self._done.wait(seconds):
            return True
        os.kill(self.pid, signal.SIGKILL)
        self._done.wait(10)
        return False

    def cpu(self):
        return self.rusage.ru_utime + self.rusage.ru_stime

    def peak_mib(self):
        return self.rusage.ru_maxrss / 1024

    def thread_cpu(self):
        """Nanoseconds on a CPU so far, by live thread: finer than the
        10 ms ticks of rusage, which an idle window never reaches."""
        used = {}
        task = f"/proc/{self.pid}/task"
        for tid in os.listdir(task):
            try:
                with open(f"{task}/{tid}/schedstat") as f:
                    used[tid] = int(f.read().split()[0])
            except OSError:
                pass  # the thread ended meanwhile
        return used


class Bench:
    def __init__(self, tarnlight, bare, watch, work, display):
        self.tarnlight, self.bare = tarnlight, bare
        self.work = work
        self.clips = os.path.join(work, "clips")
        self.config = os.path.join(work, "config")
        runtime = os.path.join(work, "run")
        os.makedirs(runtime, mode=0o700)
        self.display = display
        self.env = dict(os.environ, DISPLAY=display, XDG_CONFIG_HOME=self.config,
                        HOME=work, XDG_RUNTIME_DIR=runtime,
                        QT_QPA_PLATFORM="xcb")
        self.env.pop("WAYLAND_DISPLAY", None)
        self.log = os.path.join(work, "programs.log")
        self.x = Watcher(watch, self.env)
        # The tick that starts a clip first lists this folder, and nothing
        # else opens it while a run goes on: its opening dates the tick.
        os.makedirs(self.clips)
        self.link = None
        self.x.watch(self.clips)
        self.hd = os.path.join(work, "hd.mp4")
        self.uhd = os.path.join(work, "uhd.mp4")

    def settings(self, interval, clip):
        """A folder holding only `clip`, so the saver plays that one. The
        folder itself is never opened here: that would pass for a tick."""
        if self.link:
            os.unlink(self.link)
        self.link = os.path.join(self.clips, os.path.basename(clip))
        os.symlink(clip, self.link)
        os.makedirs(os.path.join(self.config, "Tarnlight"), exist_ok=True)
        with open(os.path.join(self.config, "Tarnlight", "Tarnlight.ini"),
                  "w") as f:
            f.write("[settings]\ntimeFrom=00:00\ntimeUntil=23:59\n"
                    f"vidFolder={self.clips}/\nintervalTime={interval}\n")

    def spawn(self, argv):
        return Run(argv, self.env, self.log)

    def mapped(self, run, seconds=15):
        event = self.x.wait(full_screen_map, run.began, seconds)
        return event[1] if event else None

    def tick(self, run, seconds=0):
        shown = self.mapped(run, seconds)
        event = shown and self.x.wait(lambda e: e[0] == "open", shown, seconds)
        return event and event[1]

    def end(self, run, seconds=5):
        """Ends a run with a character key; returns (key time, exit time) or
        None when it did not end."""
        pressed = self.x.key("q")
        if not run.wait(seconds):
            return None
        return pressed, run.ended

    def settle(self):
        time.sleep(0.5)

    # -------------------------------------------------------- figures

    def start_to_map(self, argv, runs=7):
        times = []
        for _ in range(runs):
            run = self.spawn(argv)
            shown = self.mapped(run)
            if shown is None or not self.end(run):
                run.wait(0)
                return None
            times.append(shown - run.began)
            self.settle()
        return times

    def tarnlight_playback(self, clip):
        """CPU, peak and wall of one clip from start to its end plus exit,
        with the count of frames seen and the clip start."""
        self.settings(1, clip)
        run = self.spawn([self.tarnlight, "/s"])
        shown = self.mapped(run)
        first = shown and self.x.wait(picture, shown, 20)
        last = first and self.x.wait(black, first[1], 60)
        if not last or not self.end(run):
            run.wait(0)
            return None
        frames = len(self.x.between(picture, first[1], last[1]))
        self.settle()
        return dict(cpu=run.cpu(), peak=run.peak_mib(),
                    wall=run.ended - run.began, frames=frames)

    def mpv_playback(self, clip, argv=MPV):
        run = self.spawn([*argv, clip])
        first = self.x.wait(picture, run.began, 20)
        if not run.wait(60) or not first:
            return None
        frames = len(self.x.between(picture, first[1], run.ended))
        self.settle()
        return dict(cpu=run.cpu(), peak=run.peak_mib(),
                    wall=run.ended - run.began, frames=frames)

    def decode_only(self, clip):
        run = self.spawn([*DECODE, clip])
        if not run.wait(60):
            return None
        self.settle()
        return dict(cpu=run.cpu(), peak=run.peak_mib(),
                    wall=run.ended - run.began)

    def screen_of(self, argv, path):
        """Grabs the screen a second into the first picture of `argv`, then
        ends it; False when no picture came."""
        run = self.spawn(argv)
        first = self.x.wait(picture, run.began, 20)
        if first:
            time.sleep(max(0, first[1] + 1 - time.monotonic()))
            grab(self.display, path)
        self.end(run)
        run.wait(0)
        self.settle()
        return bool(first)

    def frame_psnr(self, still):
        self.settings(1, still)
        ours, theirs = still + ".tarnlight.png", still + ".mpv.png"
        if not (self.screen_of([self.tarnlight, "/s"], ours)
                and self.screen_of([*MPV, still], theirs)):
            return None
        return psnr(ours, theirs)

    def idle_cpu(self, argv, seconds=30):
        """CPU seconds per minute of a mapped window doing nothing, counted
        from 2 s after the map so that the start is left out (a thread that
        ends within the 30 s would be missed; neither program has one)."""
        run = self.spawn(argv)
        shown = self.mapped(run)
        if shown is None:
            run.wait(0)
            return None
        time.sleep(max(0, shown + 2 - time.monotonic()))
        before = run.thread_cpu()
        time.sleep(seconds)
        after = run.thread_cpu()
        used = sum(ns - before.get(tid, 0) for tid, ns in after.items()) / 1e9
        if not self.end(run):
            return None
        self.settle()
        return used * 60 / seconds

    def clip_starts(self, runs=7):
        ours, theirs = [], []
        for _ in range(runs):
            self.settings(1, self.hd)
            run = self.spawn([self.tarnlight, "/s"])
            shown = self.mapped(run)
            first = shown and self.x.wait(picture, shown, 20)
            self.end(run)
            tick = self.tick(run)
            if first and tick:
                ours.append(first[1] - tick)
            self.settle()
            run = self.spawn([*MPV, "--length=1", self.hd])
            first = self.x.wait(picture, run.began, 20)
            run.wait(30)
            if first:
                theirs.append(first[1] - run.began)
            self.settle()
        return ours, theirs

    def key_at_tick(self):
        """Latency of a key pressed as soon as the tick lists the folder:
        the open's worst moment, wherever the tick falls after the map."""
        self.settings(1, self.hd)
        run = self.spawn([self.tarnlight, "/s"])
        tick = self.tick(run, 15)
        if not tick:
            run.wait(0)
            return None, None
        ended = self.end(run, 3)
        self.settle()
        if not ended:
            return None, None
        return ended[1] - ended[0], ended[0] - tick

    def key_to_exit(self, interval, delay):
        """Latency from a key press `delay` s after the map to the exit, and
        the press's time from the tick (None when before it or without)."""
        self.settings(interval, self.hd)
        run = self.spawn([self.tarnlight, "/s"])
        shown = self.mapped(run)
        if shown is None:
            run.wait(0)
            return None
        time.sleep(max(0, shown + delay - time.monotonic()))
        ended = self.end(run, 3)
        self.settle()
        if not ended:
            return None, None
        tick = self.tick(run)
        return ended[1] - ended[0], tick and ended[0] - tick

    def key_during_listing(self, folder, after):
        """Latency from a key pressed `after` s past the tick that lists
        `folder` to the exit."""
        os.makedirs(os.path.join(self.config, "Tarnlight"), exist_ok=True)
        with open(os.path.join(self.config, "Tarnlight", "Tarnlight.ini"),
                  "w") as f:
            f.write("[settings]\ntimeFrom=00:00\ntimeUntil=23:59\n"
                    f"vidFolder={folder}/\nintervalTime=1\n")
        run = self.spawn([self.tarnlight, "/s"])
        tick = self.tick(run, 15)
        if not tick:
            run.wait(0)
            return None
        time.sleep(max(0, tick + after - time.monotonic()))
        ended = self.end(run, 3)
        self.settle()
        return ended and ended[1] - ended[0]


def big_folder(work, files=100_000):
    """A folder of `files` empty clips; returns it and how long one listing
    of it with a stat of each name takes."""
    folder = os.path.join(work, "many")
    os.makedirs(folder)
    for i in range(files):
        open(os.path.join(folder, f"clip{i:06d}.avi"), "w").close()
    began = time.monotonic()
    for entry in os.scandir(folder):
        entry.stat()
    return folder, time.monotonic() - began


# ------------------------------------------------------------ Windows

def named(title):
    """A match for the moment a window is both mapped and titled `title`:
    the dialog is mapped first and gets its caption a little later."""
    mapped = set()

    def match(event):
        if event[0] == "map":
            mapped.add(event[2])
            return event[5] == title
        return event[0] == "name" and event[2] in mapped and event[3] == title
    return match


def windows_figures(scr, display, work):
    """(size, stripped size, [start-to-mapped]) or a note why not."""
    if not os.path.exists(scr):
        return f"skipped: no {os.path.relpath(scr, REPO)} (build build-win)"
    size = os.path.getsize(scr)
    stripped = os.path.join(work, "Tarnlight-stripped.scr")
    shutil.copy(scr, stripped)
    strip = shutil.which("x86_64-w64-mingw32-strip")
    stripped_size = None
    if strip:
        subprocess.run([strip, stripped], check=True)
        stripped_size = os.path.getsize(stripped)
    if not shutil.which("wine") or not shutil.which("wineserver"):
        return size, stripped_size, "skipped: wine missing"
    env = dict(os.environ, DISPLAY=display, WINEDEBUG="-all",
               WINEPREFIX=os.path.join(work, "wine"), WINEARCH="win64",
               WINEDLLOVERRIDES="mscoree,mshtml=")
    log("Wine: wineboot -i")
    subprocess.run(["wineboot", "-i"], env=env, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=300)
    subprocess.run(["wineserver", "-w"], env=env, timeout=120)
    # A server that stays up, as Windows' own would be: the figure is the
    # program's start, not the server's.
    subprocess.run(["wineserver", "-p"], env=env, timeout=60)
    watch = Watcher(os.path.join(work, "xwatch"), env)
    times = []
    try:
        for _ in range(3):
            run = Run(["wine", scr, "/c"], env)
            event = watch.wait(named("Tarnlight Setup"), run.began, 60)
            if event:
                times.append(event[1] - run.began)
            time.sleep(0.5)
            watch.key("Escape")
            if not run.wait(10):
                log("Wine: the dialog did not end on Escape; killed")
            time.sleep(0.5)
    finally:
        watch.close()
        subprocess.run(["wineserver", "-k"], env=env, timeout=60)
    return size, stripped_size, times


# ------------------------------------------------------------ report

def machine():
    model = "unknown CPU"
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    with open("/proc/meminfo") as f:
        memory = int(f.readline().split()[1]) / 1024 / 1024
    return (f"machine: {os.cpu_count()} cores, {model}, {memory:.0f} GiB, "
            f"Linux {platform.release()}; load average {load()} at the "
            "start")


def load():
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])


class Table:
    def __init__(self):
        self.rows = []

    def add(self, figure, ours, reference="", ratio=None, target=""):
        ratio_text = "" if ratio is None else f"{ratio:.2f}x"
        self.rows.append((figure, ours, reference, ratio_text, target))

    def print(self):
        head = ("figure", "tarnlight", "reference", "ratio", "target")
        widths = [max(len(r[i]) for r in self.rows + [head])
                  for i in range(5)]
        line = " | ".join(h.ljust(w) for h, w in zip(head, widths))
        print(line)
        print("-+-".join("-" * w for w in widths))
        for row in self.rows:
            print(" | ".join(c.ljust(w) for c, w in zip(row, widths)))


def ms(seconds):
    return "n/a" if seconds is None else f"{seconds * 1000:.0f} ms"


def verdict(value, limit):
    return "met" if value <= limit else "MISSED"


def each_ms(times):
    return " ".join(f"{t * 1000:.0f}" for t in times) + " ms"


def add_median_ratio(table, label, ours, theirs, reference, limit):
    """A row of the medians of two lists of seconds, with their ratio
    against `limit`."""
    a, b = statistics.median(ours), statistics.median(theirs)
    table.add(f"{label} (median of {len(ours)})", ms(a),
              f"{ms(b)} {reference}", a / b,
              f"<= {limit}x: {verdict(a / b, limit)}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("tarnlight", nargs="?",
                        default=os.path.join(REPO, "build", "tarnlight"))
    parser.add_argument("--scr", default=os.path.join(REPO, "build-win",
                                                      "Tarnlight.scr"))
    parser.add_argument("--only", default="1,2,8,3,4,5,7,6",
                        help="the figures to take, by number: 2 or 1,4")
    parser.add_argument("--runs", type=int, default=PLAYBACK_RUNS,
                        help="playback runs of each program (median)")
    args = parser.parse_args()
    only = {int(n) for n in args.only.split(",")}
    tarnlight = os.path.abspath(args.tarnlight)
    install_and_build(tarnlight)
    started = machine()
    if float(load().split()[0]) > 0.5:
        log(f"the machine is busy (load {load()}): the figures will be high")

    work = tempfile.mkdtemp(prefix="tarnlight-bench-")
    xvfb, display = start_xvfb(W, H)
    table = Table()
    notes = []
    bench = None
    try:
        watch, bare = build_helpers(work)
        log("making the clips (about a minute for the 4K one)")
        make_clip(os.path.join(work, "hd.mp4"), f"{W}x{H}")
        make_clip(os.path.join(work, "uhd.mp4"), "3840x2160")
        bench = Bench(tarnlight, bare, watch, work, display)

        if 1 in only:
            log("1. start to mapped")
            bench.settings(3600, bench.hd)
            ours = bench.start_to_map([tarnlight, "/s"])
            theirs = bench.start_to_map([bare])
            if ours and theirs:
                add_median_ratio(table, "start to mapped", ours, theirs,
                                 "bare Qt window", 1.5)
                notes.append(f"start to mapped, each run: tarnlight "
                             f"{each_ms(ours)}; bare {each_ms(theirs)}")
            else:
                table.add("start to mapped", "no map seen")

        if 2 in only:
            log("2. playback")
            for name, clip in (("1080p", bench.hd), ("4K on 1080p", bench.uhd)):
                # Turn about, so that a busy moment of the machine weighs on
                # both; one run alone varies by some 5 %.
                ours, theirs, floor = [], [], []
                for _ in range(args.runs):
                    ours.append(bench.tarnlight_playback(clip))
                    theirs.append(bench.mpv_playback(clip))
                    floor.append(bench.decode_only(clip))
                if not all(ours) or not all(theirs) or not all(floor):
                    table.add(f"playback {name}", "failed")
                    continue
                for figure, unit, what, limit in (
                        ("cpu", "s", "CPU s", 0.8),
                        ("peak", "MiB", "peak RSS", 1.1)):
                    a = statistics.median(run[figure] for run in ours)
                    b = statistics.median(run[figure] for run in theirs)
                    shown = "{:.2f} {}" if unit == "s" else "{:.0f} {}"
                    table.add(f"playback {name}: {what} (median of "
                              f"{args.runs})", shown.format(a, unit),
                              shown.format(b, unit) + " mpv", a / b,
                              f"<= {limit:.2f}x: {verdict(a / b, limit)}")
                a = statistics.median(run["cpu"] for run in ours)
                b = statistics.median(run["cpu"] for run in floor)
                table.add(f"playback {name}: CPU s against decoding alone",
                          f"{a:.2f} s", f"{b:.2f} s mpv --vo=null", a / b,
                          f"<= 1.50x: {verdict(a / b, 1.5)}")
                notes.append(
                    f"playback {name}: tarnlight CPU "
                    + " ".join(f"{run['cpu']:.2f}" for run in ours)
                    + " s, " + " ".join(f"{run['wall']:.1f}" for run in ours)
                    + " s wall (start, 1 s pause, clip, exit), frames seen "
                    + " ".join(str(run["frames"]) for run in ours)
                    + "; mpv CPU " + " ".join(f"{run['cpu']:.2f}" for run in theirs)
                    + " s, " + " ".join(f"{run['wall']:.1f}" for run in theirs)
                    + " s wall, frames seen "
                    + " ".join(str(run["frames"]) for run in theirs)
                    + "; decoding alone CPU "
                    + " ".join(f"{run['cpu']:.2f}" for run in floor)
                    + " s, peak RSS "
                    + " ".join(f"{run['peak']:.0f}" for run in floor) + " MiB")

        if 8 in only:
            log("8. PSNR of one frame")
            for name, size, limit in (("1:1", f"{W}x{H}", 40),
                                      ("4K on 1080p", "3840x2160", 35)):
                still = os.path.join(work, f"still-{size}.mp4")
                make_still(still, size)
                db = bench.frame_psnr(still)
                table.add(f"frame PSNR against mpv, {name}",
                          "no picture" if db is None else f"{db:.1f} dB",
                          "mpv --vo=x11 on the screen",
                          target=f">= {limit} dB: " + (
                              "MISSED" if db is None or db < limit
                              else "met"))

        if 3 in only:
            log("3. pause")
            bench.settings(3600, bench.hd)
            ours = bench.idle_cpu([tarnlight, "/s"])
            theirs = bench.idle_cpu([bare])
            if ours is not None and theirs is not None:
                table.add("pause: CPU per minute", f"{ours * 1000:.1f} ms",
                          f"{theirs * 1000:.1f} ms bare Qt idle",
                          ours / theirs if theirs else None)

        if 4 in only:
            log("4. clip start")
            ours, theirs = bench.clip_starts()
            if ours and theirs:
                add_median_ratio(table, "clip start to first frame", ours, theirs,
                                 "mpv start", 1.1)
                notes.append(f"clip start, each run: tarnlight {each_ms(ours)} "
                             "from the tick (dated by the clip folder's listing); "
                             f"mpv from its exec {each_ms(theirs)}")

        if 5 in only:
            log("5. key to exit")
            moments = [0.95 + i * 0.05 for i in range(10)]
            cases = [(f"key to exit, open at {d:.2f} s", 1, d) for d in moments]
            cases += [("key to exit, at the tick", 1, None),
                      ("key to exit, pause at 3.00 s", 3600, 3.0),
                      ("key to exit, playback at 5.00 s", 1, 5.0)]
            for label, interval, delay in cases:
                latency, since_tick = (bench.key_at_tick() if delay is None
                                       else bench.key_to_exit(interval, delay))
                if since_tick is not None:
                    label += f" (tick {since_tick * 1000:+.0f} ms)"
                table.add(label, ms(latency) if latency else "did not exit",
                          target="<= 50 ms: " + (verdict(latency, 0.05)
                                                 if latency else "MISSED"))

        if 7 in only:
            log("7. key to exit during a large listing")
            folder, listing = big_folder(work)
            bench.x.watch(folder)
            for after in (0.0, 0.05, 0.1, 0.5):
                latency = bench.key_during_listing(folder, after)
                table.add(f"key to exit, listing 100,000 files, tick "
                          f"+{after * 1000:.0f} ms",
                          ms(latency) if latency else "did not exit",
                          f"{ms(listing)} one listing",
                          target="<= 50 ms: " + (verdict(latency, 0.05)
                                                 if latency else "MISSED"))

        if 6 in only:
            log("6. Windows")
            bench.x.close()
            bench.x = None
            win = windows_figures(os.path.abspath(args.scr), display, work)
            if isinstance(win, str):
                notes.append("Windows: " + win)
            else:
                size, stripped, times = win
                table.add("Tarnlight.scr size", f"{size / 1024:.0f} KiB",
                          f"{stripped / 1024:.0f} KiB stripped" if stripped
                          else "no strip tool",
                          size / stripped if stripped else None)
                if isinstance(times, str):
                    notes.append("Windows: " + times)
                elif times:
                    a = statistics.median(times)
                    table.add(f"Wine: /c to setup mapped (median of {len(times)})",
                              ms(a))
                    notes.append("Wine /c to mapped, each run (server kept up): "
                                 + each_ms(times))
                else:
                    notes.append("Windows: no \"Tarnlight Setup\" window seen")
    finally:
        if bench and bench.x:
            bench.x.close()
        xvfb.terminate()
        xvfb.wait()
        shutil.rmtree(work, ignore_errors=True)

    print(started + f", {load()} at the end")
    table.print()
    for note in notes:
        print("  " + note)


if __name__ == "__main__":
    main()
