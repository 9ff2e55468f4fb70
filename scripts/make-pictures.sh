#!/usr/bin/env bash
# Renders the README's pictures into docs/: the saver playing a clip
# (saver.png) and the setup dialog (setup-linux.png) of build/tarnlight
# under Xvfb, and the setup dialog of build-win/Tarnlight.scr under Wine
# (setup-windows.png). Rerun it whenever the look of either program changes.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
install_missing "${BUILD_PACKAGES[@]}" "${RUN_PACKAGES[@]}" \
  g++-mingw-w64-x86-64-posix wine wine64
cmake --preset default >/dev/null
cmake --build --preset default -j"$(nproc)" --target tarnlight
cmake --preset windows >/dev/null
cmake --build --preset windows -j"$(nproc)" --target tarnlight_scr
mkdir -p docs

tmp=$(mktemp -d /tmp/tarnlight-pictures.XXXXXX)
xvfb=""
cleanup() {
  [ -z "${WINEPREFIX:-}" ] || wineserver -k >/dev/null 2>&1 || true
  [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT

# One X server for all three pictures, the size of a small laptop screen
# scaled down so that the saver picture stays legible in the README.
Xvfb -displayfd 3 -screen 0 960x540x24 -nolisten tcp 3>"$tmp/display" \
  >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do
  [ -s "$tmp/display" ] && break
  sleep 0.1
done
display=$(head -n1 "$tmp/display")
export DISPLAY=:$display
export HOME=$tmp XDG_CONFIG_HOME=$tmp/config XDG_RUNTIME_DIR=$tmp/run
export QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY
mkdir -p "$tmp/clips" "$tmp/config/Tarnlight" "$tmp/run"
chmod 700 "$tmp/run"

# Waits until `xdotool search` finds a visible window named $1; prints it.
find_window() {
  local ids
  ids=$(timeout 30 xdotool search --sync --onlyvisible --name "$1") || {
    echo "make-pictures: no window named '$1' appeared" >&2
    return 1
  }
  echo "${ids%%$'\n'*}"
}

# Ends the program `pid` with the key $2, or stops it after 5 s.
end_with_key() {
  xdotool key "$2"
  for _ in $(seq 50); do
    kill -0 "$1" 2>/dev/null || break
    sleep 0.1
  done
  kill "$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
}

# The saver, one test-pattern clip, a one-second pause.
ffmpeg -loglevel error -y -f lavfi -i "testsrc=size=320x240:rate=25" -t 20 \
  -c:v mpeg4 -q:v 4 -pix_fmt yuv420p "$tmp/clips/test pattern.mp4"
ini=$tmp/config/Tarnlight/Tarnlight.ini
cat >"$ini" <<INI
[settings]
timeFrom=00:00
timeUntil=23:59
vidFolder=${tmp//\\/\\\\}/clips/
intervalTime=1
INI
build/tarnlight /s &
saver=$!
# A clip is on the screen once a good part of its 320 x 240 pixels is lit.
shown=""
for _ in $(seq 100); do
  if import -window root -depth 8 ppm:- 2>/dev/null | python3 -c '
import sys
data = sys.stdin.buffer.read()
head = data.split(b"\n", 3)
pixels = head[3]
lit = sum(1 for i in range(0, len(pixels) - 2, 3 * 7)
          if max(pixels[i:i + 3]) > 60)
sys.exit(0 if lit * 7 > 320 * 240 * 0.6 else 1)'; then
    shown=yes
    break
  fi
  sleep 0.2
done
[ -n "$shown" ] || {
  echo "make-pictures: the saver never showed the clip" >&2
  exit 1
}
sleep 0.5
import -window root docs/saver.png
end_with_key "$saver" q
echo "docs/saver.png"

# The dialogs show the same settings; the folder is the one the dialog's
# tooltip gives as its example.
cat >"$ini" <<'INI'
[settings]
timeFrom=09:00
timeUntil=18:00
vidFolder=c:\\vid_clips\\
intervalTime=30
INI
build/tarnlight /c &
setup=$!
window=$(find_window "^Tarnlight Setup\$")
sleep 1
import -window "$window" docs/setup-linux.png
end_with_key "$setup" Escape
echo "docs/setup-linux.png"

export WINEPREFIX=$tmp/wine WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
timeout 180 wineboot -i >/dev/null 2>&1 || true
key='HKCU\Software\Tarnlight\settings'
for value in 'timeFrom=09:00' 'timeUntil=18:00' 'vidFolder=c:\vid_clips\' \
  'intervalTime=30'; do
  wine reg add "$key" /v "${value%%=*}" /t REG_SZ /d "${value#*=}" /f \
    >/dev/null 2>&1
done
wine build-win/Tarnlight.scr /c >/dev/null 2>&1 &
setup=$!
window=$(find_window "^Tarnlight Setup\$")
sleep 2
import -window "$window" docs/setup-windows.png
end_with_key "$setup" Escape
echo "docs/setup-windows.png"
