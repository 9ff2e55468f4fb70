#!/usr/bin/env bash
# Builds and checks the packages with CPack. "deb" (the default) takes the
# Linux tree build/ that test.sh has just built: the .deb's files, its
# desktop entries, metainfo, manual page and icons, then installs it, runs
# the installed program and removes it again. "zip" takes the Windows tree
# build-win/ that test-windows.sh has just built and checks the zip.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh

# Debian's interpreter: python3-pefile is installed for it alone.
PYTHON=/usr/bin/python3
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

# The 16 x 16 PNG must hold the setup layout's icon pixel for pixel, and
# the scalable one must at least be an SVG document.
check_icons() {
  "$PYTHON" - setup/frm_setup_layout.cpp "$1" <<'PY'
import re, struct, sys, zlib
import xml.etree.ElementTree as ET

layout, hicolor = sys.argv[1], sys.argv[2]
src = open(layout, encoding="utf-8").read()
keys = re.search(r'kIcon\{"([^"]+)"', src).group(1)
palette = [tuple(map(int, m)) for m in re.findall(
    r"\{(\d+), *(\d+), *(\d+)\}",
    re.search(r"kPalette\{\{(.*?)\}\};", src, re.S).group(1))]
block = src[src.index("kIcon{"):]
rows = re.findall(r'^\s*"(.{16})",?\s*$', block[:block.index("}};")], re.M)
assert len(rows) == 16, f"{len(rows)} icon rows in the layout"

png = open(f"{hicolor}/16x16/apps/org.example.tarnlight.png", "rb").read()
assert png[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
pos, header, data = 8, None, b""
while pos < len(png):
    size, kind = struct.unpack(">I4s", png[pos:pos + 8])
    body = png[pos + 8:pos + 8 + size]
    (crc,) = struct.unpack(">I", png[pos + 8 + size:pos + 12 + size])
    assert zlib.crc32(kind + body) == crc, f"bad CRC in {kind}"
    if kind == b"IHDR":
        header = struct.unpack(">IIBBBBB", body)
    elif kind == b"IDAT":
        data += body
    pos += 12 + size
assert header == (16, 16, 8, 6, 0, 0, 0), f"header {header}"
raw = zlib.decompress(data)
assert len(raw) == 16 * 65, "image data is not 16 rows of 16 RGBA pixels"
wrong = []
for y, row in enumerate(rows):
    line = raw[y * 65:(y + 1) * 65]
    assert line[0] == 0, "a filtered row"
    for x, key in enumerate(row):
        got = tuple(line[1 + 4 * x:5 + 4 * x])
        want = (0, 0, 0, 0) if key == " " else palette[keys.index(key)] + (255,)
        if got[3] != want[3] or (want[3] and got != want):
            wrong.append((x, y, got, want))
assert not wrong, f"pixels differ from the layout: {wrong[:4]}"

svg = ET.parse(f"{hicolor}/scalable/apps/org.example.tarnlight.svg").getroot()
assert svg.tag == "{http://www.w3.org/2000/svg}svg", svg.tag
assert svg.get("viewBox"), "the SVG has no viewBox"
print("icons: 16x16 PNG matches the setup layout, SVG parses")
PY
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
  check_icons "$share/icons/hicolor"

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
  "$PYTHON" - "$zip" build-win/Tarnlight.scr "$version" <<'PY'
import os, sys, zipfile
import pefile

path, unstripped_path, version = sys.argv[1:4]
with zipfile.ZipFile(path) as archive:
    names = sorted(archive.namelist())
    assert names == ["INSTALL.txt", "LICENSE.txt", "Tarnlight.scr"], names
    scr = archive.read("Tarnlight.scr")
    licence = archive.read("LICENSE.txt").decode("utf-8")
    install = archive.read("INSTALL.txt").decode("utf-8")

pe = pefile.PE(data=scr)
strings = {}
for info in pe.FileInfo[0]:
    if info.Key == b"StringFileInfo":
        for table in info.StringTable:
            strings.update((k.decode(), v.decode()) for k, v in table.entries.items())
assert strings.get("ProductName") == "Tarnlight", strings
assert strings.get("FileVersion") == version, strings

unstripped = pefile.PE(unstripped_path)
assert len(scr) < os.path.getsize(unstripped_path), "no smaller than the build's"
assert pe.FILE_HEADER.PointerToSymbolTable == 0, "a symbol table is left"
assert pe.FILE_HEADER.NumberOfSymbols == 0, "symbols are left"
sections = {s.Name.rstrip(b"\0"): s.get_data() for s in pe.sections}
assert not [n for n in sections if n.startswith(b".debug")], list(sections)
# Stripping drops symbols only: the code and resources are those built.
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
      f"{os.path.getsize(unstripped_path)}), no symbols, ProductName "
      f"{strings['ProductName']}, FileVersion {strings['FileVersion']}")
PY
  # Inside test-windows.sh a Wine prefix is ready: the stripped program
  # from the zip must still start and write its defaults ("/a" opens no
  # window, so no display is needed).
  if [ -n "${WINEPREFIX:-}" ] && command -v wine >/dev/null; then
    local key='HKCU\Software\Tarnlight'
    mkdir -p "$tmp/zip"
    "$PYTHON" -m zipfile -e "$zip" "$tmp/zip"
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
