#!/usr/bin/env python3
"""Prints what the saver costs, from one run each, on this machine:

- CPU seconds and peak memory of `tarnlight /s` playing a 10 s 1080p clip,
  beside `mpv --no-config --vo=x11` playing the same clip in the same Xvfb;
- CPU seconds over 30 s of pause;
- time from start to the black window being mapped.

Usage: bench/saver_bench.py [build/tarnlight]   (needs mpv and /usr/bin/time)
"""

import os
import shutil
import subprocess
import sys
import tempfile
import time

W, H = 1920, 1080


def start_xvfb():
    read_fd, write_fd = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_fd), "-screen",
                             "0", f"{W}x{H}x24", "-nolisten", "tcp"],
                            pass_fds=[write_fd], stderr=subprocess.DEVNULL)
    os.close(write_fd)
    number = b""
    while not number.endswith(b"\n"):
        chunk = os.read(read_fd, 16)
        if not chunk:
            break
        number += chunk
    os.close(read_fd)
    return xvfb, ":" + number.decode().strip()


def measured(command, env, seconds, key=None):
    """Runs `command` under /usr/bin/time for `seconds`, then ends it (with a
    key press when given) and returns (cpu seconds, peak kB)."""
    report = tempfile.mktemp()
    proc = subprocess.Popen(["/usr/bin/time", "-f", "%U %S %M", "-o", report,
                             *command], env=env, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    time.sleep(seconds)
    if key and proc.poll() is None:
        subprocess.run(["xdotool", "key", key], env=env)
    try:
        proc.wait(5)
    except subprocess.TimeoutExpired:
        proc.terminate()
        proc.wait()
    user, system, peak = open(report).read().split()[-3:]
    os.unlink(report)
    return float(user) + float(system), int(peak)


def settings(config, folder, interval):
    os.makedirs(os.path.join(config, "Tarnlight"), exist_ok=True)
    with open(os.path.join(config, "Tarnlight", "Tarnlight.ini"), "w") as f:
        f.write("[settings]\ntimeFrom=00:00\ntimeUntil=23:59\n"
                f"vidFolder={folder}/\nintervalTime={interval}\n")


def time_to_map(binary, env):
    began = time.monotonic()
    proc = subprocess.Popen([binary, "/s"], env=env,
                            stderr=subprocess.DEVNULL)
    mapped = None
    while time.monotonic() - began < 10:
        tree = subprocess.run(["xwininfo", "-root", "-tree"], env=env,
                              capture_output=True, text=True).stdout
        if f"{W}x{H}+0+0" in tree and '"tarnlight"' in tree:
            mapped = time.monotonic() - began
            break
        time.sleep(0.005)
    subprocess.run(["xdotool", "key", "q"], env=env)
    proc.wait(5)
    return mapped


def main():
    binary = os.path.abspath(sys.argv[1] if len(sys.argv) > 1
                             else "build/tarnlight")
    for tool in ("mpv", "/usr/bin/time", "Xvfb", "xdotool", "ffmpeg"):
        if not shutil.which(tool):
            sys.exit(f"needs {tool} (apt-get install mpv time xvfb xdotool ffmpeg)")
    work = tempfile.mkdtemp(prefix="tarnlight-bench-")
    xvfb, display = start_xvfb()
    try:
        clips = os.path.join(work, "clips")
        os.makedirs(clips)
        clip = os.path.join(clips, "hd.mp4")
        subprocess.run(["ffmpeg", "-loglevel", "error", "-f", "lavfi", "-i",
                        f"testsrc2=size={W}x{H}:rate=30", "-t", "10",
                        "-c:v", "libx264", "-preset", "veryfast",
                        "-pix_fmt", "yuv420p", clip], check=True)
        config = os.path.join(work, "config")
        env = dict(os.environ, DISPLAY=display, XDG_CONFIG_HOME=config,
                   QT_QPA_PLATFORM="xcb")

        settings(config, clips, 1)
        cpu, peak = measured([binary, "/s"], env, 12.5, key="q")
        print(f"tarnlight /s, 10 s 1080p clip: {cpu:.2f} CPU s, "
              f"{peak / 1024:.0f} MiB peak")
        cpu, peak = measured(["mpv", "--no-config", "--vo=x11", "--ao=null",
                              clip], env, 12.5)
        print(f"mpv --no-config --vo=x11, same clip: {cpu:.2f} CPU s, "
              f"{peak / 1024:.0f} MiB peak")

        settings(config, clips, 10000)
        cpu, peak = measured([binary, "/s"], env, 30, key="q")
        print(f"tarnlight /s, 30 s of pause: {cpu:.2f} CPU s, "
              f"{peak / 1024:.0f} MiB peak")

        mapped = time_to_map(binary, env)
        print("start to black window mapped: "
              + (f"{mapped * 1000:.0f} ms" if mapped else "not seen in 10 s"))
    finally:
        xvfb.terminate()
        xvfb.wait()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
