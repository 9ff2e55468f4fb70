#!/usr/bin/env bash
# Builds and checks the packages with CPack. "deb" (the default) takes the
# Linux tree build/ that test.sh has just built: the .deb's files, its
# desktop entries, metainfo, manual page and icons, then installs it, runs
# the installed program and removes it again. "zip" takes the Windows tree
# build-win/ that test-windows.sh has just built and checks the zip.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh

tmp=$(mktemp -d /tmp/tarnlight-package.XXXXXX)
installed=""
cleanup() {
  if [ -n "$installed" ]; then
    DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq tarnlight \
      >/dev/null 2>&1 || true
  fi
  rm -rf "$tmp"
}
trap cleanup EXIT

fail() {
  echo "test-package: $*" >&2
  exit 1
}

project_version() {
  sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$1/CMakeCache.txt"
}

check_deb() {
  install_missing dpkg-dev appstream desktop-file-utils man-db python3 \
    xvfb xauth xdotool
  local version arch deb
  version=$(project_version build)
  arch=$(dpkg --print-architecture)
  deb=build/tarnlight_${version}_${arch}.deb
  rm -f build/tarnlight_*.deb
  (cd build && cpack -G DEB >cpack-deb.log 2>&1) || {
    cat build/cpack-deb.log
    fail "cpack -G DEB failed"
  }
  [ -f "$deb" ] || fail "no $deb"
  echo "Built $deb"

  local list want
  list=$(dpkg-deb -c "$deb" | awk '{print $6}')
  for want in usr/bin/tarnlight usr/share/man/man1/tarnlight.1.gz \
    usr/share/applications/org.example.tarnlight.desktop \
    usr/share/applications/screensavers/tarnlight.desktop \
    usr/libexec/xscreensaver/tarnlight \
    usr/share/metainfo/org.example.tarnlight.metainfo.xml \
    usr/share/icons/hicolor/16x16/apps/org.example.tarnlight.png \
    usr/share/icons/hicolor/scalable/apps/org.example.tarnlight.svg \
    usr/share/doc/tarnlight/copyright; do
    grep -qxF "./$want" <<<"$list" || fail "the package lacks /$want"
  done
  echo "dpkg-deb -c: program, manual page, both desktop entries, the link" \
    "in the hacks folder, metainfo, both icons, copyright"
  # Qt's X11 platform plugin is loaded at run time, and so may libmpv be.
  local depends
  depends=$(dpkg-deb -f "$deb" Depends)
  echo "Depends: $depends"
  for want in libqt6gui6 libmpv; do
    grep -qE "(^|, )$want" <<<"$depends" || fail "Depends lacks $want"
  done

  dpkg-deb -x "$deb" "$tmp/root"
  local share=$tmp/root/usr/share
  appstreamcli validate --no-net \
    "$share/metainfo/org.example.tarnlight.metainfo.xml"
  local entry out
  for entry in applications/org.example.tarnlight.desktop \
    applications/screensavers/tarnlight.desktop; do
    # Hints are fine: a screen-saver entry has no main menu category.
    out=$(desktop-file-validate "$share/$entry") || fail "$out"
    ! grep -qE "(error|warning):" <<<"$out" || fail "$out"
    echo "desktop-file-validate $entry: ok${out:+ (${out#"$share/"})}"
  done
  MANWIDTH=80 man --warnings -l "$share/man/man1/tarnlight.1.gz" \
    >"$tmp/man.txt" 2>"$tmp/man.err" || fail "man failed"
  [ ! -s "$tmp/man.err" ] || fail "man warnings: $(cat "$tmp/man.err")"
  for want in NAME SYNOPSIS DESCRIPTION KEYS EXAMPLES FILES "SEE ALSO"; do
    grep -qx "$want" "$tmp/man.txt" || fail "the manual page lacks $want"
  done
  echo "man --warnings: nothing on stderr, $(wc -l <"$tmp/man.txt") lines"
  # The 16 x 16 icon is checked pixel for pixel by the unit tests.
  python3 -c 'import sys, xml.etree.ElementTree as T
assert T.parse(sys.argv[1]).getroot().tag == "{http://www.w3.org/2000/svg}svg"' \
    "$share/icons/hicolor/scalable/apps/org.example.tarnlight.svg" ||
    fail "the scalable icon is no SVG document"

  # Without the recommended Wayland plugin: the test needs no download.
  installed=yes
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
    --no-install-recommends "./$deb" >"$tmp/apt.log" 2>&1 || {
    cat "$tmp/apt.log"
    fail "apt-get install ./$deb failed"
  }
  [ -x /usr/bin/tarnlight ] || fail "no /usr/bin/tarnlight after install"
  # Where MATE's and Xfce's screen savers look for their programs.
  [ "$(readlink -f /usr/libexec/xscreensaver/tarnlight)" = /usr/bin/tarnlight ] ||
    fail "/usr/libexec/xscreensaver/tarnlight does not lead to the program"
  run_installed
  DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq tarnlight \
    >"$tmp/apt.log" 2>&1 || {
    cat "$tmp/apt.log"
    fail "apt-get remove tarnlight failed"
  }
  installed=""
  [ ! -e /usr/bin/tarnlight ] || fail "/usr/bin/tarnlight left after removal"
  [ ! -L /usr/libexec/xscreensaver/tarnlight ] ||
    fail "/usr/libexec/xscreensaver/tarnlight left after removal"
  echo "apt-get install, run, apt-get remove: ok"
}

# The installed program in a throw-away home: no argument writes the four
# defaults and ends, with no display at all; /c, under Xvfb, shows the
# dialog that Escape closes.
run_installed() {
  local home=$tmp/home
  mkdir -p "$home/run"
  chmod 700 "$home/run"
  export HOME=$home XDG_CONFIG_HOME=$home/config XDG_RUNTIME_DIR=$home/run
  export QT_QPA_PLATFORM=xcb
  local ini=$home/config/Tarnlight/Tarnlight.ini
  env -u DISPLAY -u WAYLAND_DISPLAY timeout 10 /usr/bin/tarnlight ||
    fail "no-argument run ended with $?"
  local line
  for line in 'timeFrom=09:00' 'timeUntil=18:00' 'vidFolder=c:\\' \
    'intervalTime=30'; do
    grep -qxF "$line" "$ini" || fail "$ini lacks $line"
  done
  echo "tarnlight (no argument): exit 0, four defaults written"
  timeout 60 xvfb-run -a -s "-screen 0 800x600x24" bash -c '
    timeout 20 /usr/bin/tarnlight /c & pid=$!
    window=$(timeout 15 xdotool search --sync --onlyvisible \
      --name "^Tarnlight Setup\$") || exit 90
    window=${window%%$'"'\n'"'*}
    for _ in $(seq 100); do
      [ "$(xdotool getwindowfocus)" = "$window" ] && break
      sleep 0.1
    done
    sleep 0.2
    xdotool key Escape
    wait $pid' || fail "/c ended with $? (90: no window, 124: still open)"
  echo "tarnlight /c: \"Tarnlight Setup\" shown, Escape, exit 0"
}

check_zip() {
  install_missing python3 python3-pefile
  local version zip
  version=$(project_version build-win)
  zip=build-win/Tarnlight-$version-win64.zip
  rm -f build-win/Tarnlight-*-win64.zip
  (cd build-win && cpack -G ZIP >cpack-zip.log 2>&1) || {
    cat build-win/cpack-zip.log
    fail "cpack -G ZIP failed"
  }
  [ -f "$zip" ] || fail "no $zip"
  echo "Built $zip"
  # The interpreter the build found, which has pefile.
  local python
  python=$(sed -n 's/^Python3_EXECUTABLE:[A-Z]*=//p' build-win/CMakeCache.txt)
  "$python" - "$zip" build-win/Tarnlight.scr <<'PY'
import os, sys, zipfile
import pefile

path, unstripped_path = sys.argv[1:3]
with zipfile.ZipFile(path) as archive:
    names = sorted(archive.namelist())
    assert names == ["INSTALL.txt", "LICENSE.txt", "Tarnlight.scr"], names
    scr = archive.read("Tarnlight.scr")
    licence = archive.read("LICENSE.txt").decode("utf-8")
    install = archive.read("INSTALL.txt").decode("utf-8")

pe = pefile.PE(data=scr)
unstripped = pefile.PE(unstripped_path)
assert len(scr) < os.path.getsize(unstripped_path), "no smaller than the build's"
assert pe.FILE_HEADER.PointerToSymbolTable == 0, "a symbol table is left"
assert pe.FILE_HEADER.NumberOfSymbols == 0, "symbols are left"
sections = {s.Name.rstrip(b"\0"): s.get_data() for s in pe.sections}
assert not [n for n in sections if n.startswith(b".debug")], list(sections)
# Stripping drops symbols only: the code and resources (the version record
# that the Windows tests read) are those built.
for section in unstripped.sections:
    name = section.Name.rstrip(b"\0")
    if not name.startswith(b".debug") and name in sections:
        assert sections[name] == section.get_data(), f"{name} changed"
assert pe.OPTIONAL_HEADER.AddressOfEntryPoint == unstripped.OPTIONAL_HEADER.AddressOfEntryPoint

for text, name in ((licence, "LICENSE.txt"), (install, "INSTALL.txt")):
    assert text.count("\n") == text.count("\r\n"), f"{name} is not CRLF"
for needle in ("MIT License", "The Tarnlight developers", "mingw-w64 project",
               "winpthreads"):
    assert needle in licence, f"LICENSE.txt lacks {needle!r}"
for needle in ("Install", "Windows folder", "Settings"):
    assert needle in install, f"INSTALL.txt lacks {needle!r}"
print(f"zip: {names}; Tarnlight.scr {len(scr)} bytes (built: "
      f"{os.path.getsize(unstripped_path)}), no symbols, resources kept")
PY
  # Inside test-windows.sh a Wine prefix is ready: the stripped program
  # from the zip must still start and write its defaults ("/a" opens no
  # window, so no display is needed).
  if [ -n "${WINEPREFIX:-}" ] && command -v wine >/dev/null; then
    local key='HKCU\Software\Tarnlight'
    mkdir -p "$tmp/zip"
    "$python" -m zipfile -e "$zip" "$tmp/zip"
    wine reg delete "$key" /f >/dev/null 2>&1 || true
    (cd "$tmp/zip" && env -u DISPLAY timeout 120 wine Tarnlight.scr /a) ||
      fail "the zip's Tarnlight.scr ended with $? under Wine"
    local values want
    values=$(wine reg query "$key\\settings" 2>/dev/null | tr -d '\r')
    for want in 'timeFrom +REG_SZ +09:00' 'timeUntil +REG_SZ +18:00' \
      'vidFolder +REG_SZ +c:\\$' 'intervalTime +REG_SZ +30'; do
      grep -qE "$want" <<<"$values" || fail "registry lacks $want: $values"
    done
    echo "zip's Tarnlight.scr under Wine: exit 0, four defaults written"
  fi
}

case "${1:-deb}" in
  deb) check_deb ;;
  zip) check_zip ;;
  *) fail "usage: test-package.sh [deb|zip]" ;;
esac
