# Installs the Debian packages named in "$@" that are missing (apt-get, as
# root or through sudo). Sourced by the other scripts.
install_missing() {
  local missing=()
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "ok installed" || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# To build the Linux program and its unit tests.
BUILD_PACKAGES=(cmake g++ make pkg-config libgtest-dev qt6-base-dev libmpv-dev libxcb-dpms0-dev clang-format)
# To run it without a desktop and to test it end to end (Mesa's GLX, whose
# llvmpipe draws the OpenGL view's case under Xvfb).
RUN_PACKAGES=(xvfb xauth xdotool libgl1-mesa-dri libglx-mesa0 x11-utils x11-xserver-utils xserver-xephyr ffmpeg imagemagick python3 fonts-dejavu-core fuse3 python3-fusepy)
# To test it end to end on desktops as people have them: window managers,
# screen-saver hosts, and the D-Bus launcher that starts a bus where a
# session has none.
DESKTOP_PACKAGES=(openbox xfwm4 wmctrl dbus-x11 xscreensaver mate-screensaver)
# To run bench/bench.py: the reference player, and the headers of the small
# X clients it builds to watch maps, frames and to press keys.
BENCH_PACKAGES=(mpv libx11-dev libxdamage-dev libxtst-dev)
