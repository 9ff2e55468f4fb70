#!/usr/bin/env bash
# Sets up and builds Tarnlight, makes a small sample clip folder, points a
# throw-away settings file at it with a short pause, and starts the saver.
# Without a display it runs under Xvfb for a few seconds and saves a
# screenshot instead. Any arguments replace "/s" (for example /c).
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
install_missing "${BUILD_PACKAGES[@]}" "${RUN_PACKAGES[@]}"
cmake --preset default
cmake --build --preset default -j"$(nproc)" --target tarnlight

demo=build/demo
mkdir -p "$demo/clips" "$demo/config/Tarnlight"
make_clip() {
  [ -f "$demo/clips/$1" ] || ffmpeg -loglevel error -y -f lavfi -i "$2" -t 4 \
    -c:v mpeg4 -q:v 4 -pix_fmt yuv420p "$demo/clips/$1"
}
make_clip "test pattern.mp4" "testsrc=size=480x360:rate=25"
make_clip "bars.avi" "smptebars=size=400x300:rate=25"
make_clip "mandelbrot.mkv" "mandelbrot=size=360x270:rate=25"
folder=$(realpath "$demo/clips")
cat > "$demo/config/Tarnlight/Tarnlight.ini" <<INI
[settings]
timeFrom=00:00
timeUntil=23:59
vidFolder=${folder//\\/\\\\}/
intervalTime=2
INI
export XDG_CONFIG_HOME=$(realpath "$demo/config")
args=("$@")
[ ${#args[@]} -gt 0 ] || args=(/s)

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "Starting the saver; press any character key to end it."
  exec build/tarnlight "${args[@]}"
fi
# The dialog takes a character key as typing, so Escape (Cancel) ends it;
# the saver ends on any character key.
key=q
[[ "${args[*]}" == */c* ]] && key=Escape
echo "No display: running under Xvfb for 5 seconds."
xvfb-run -a -s "-screen 0 1280x720x24" bash -c '
  build/tarnlight "${@:2}" & pid=$!
  sleep 4
  import -window root build/demo/screenshot.png
  xdotool key "$1"
  for _ in $(seq 50); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
  if kill -0 $pid 2>/dev/null; then
    echo "tarnlight did not end on $1; stopping it" >&2
    kill $pid
  fi
  wait $pid' _ "$key" "${args[@]}"
echo "Screenshot: build/demo/screenshot.png"
