#!/bin/bash
# Takes the README's picture of the editor: the bundled example built into a
# cursor, opened with `kinetor.exe spinner.anim` (which imports it) under
# Wine on a private Xvfb display, and the editor's window cut out of the
# screen that Xvfb keeps in a file. Writes doc/editor.png.
#
# Usage: tools/editor_screenshot.sh [KINETOR.EXE]   (default build/win64/kinetor.exe)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
exe=$(realpath "${1:-$root/build/win64/kinetor.exe}")
[ -f "$exe" ] || { echo "no $exe: build the win64 preset first" >&2; exit 2; }
wine=/usr/lib/wine/wine64
file "$exe" | grep -q 'Intel 80386' && wine=/usr/lib/wine/wine

work=$(mktemp -d)
export WINEPREFIX="$root/build/wine-prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
n=90
while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
export DISPLAY=":$n"
mkdir "$work/screen"
Xvfb "$DISPLAY" -screen 0 800x600x24 -fbdir "$work/screen" -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
editor=""
cleanup() {
  [ -n "$editor" ] && kill "$editor" 2>/dev/null || true
  wineserver -k 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
[ -d "$WINEPREFIX" ] || "$wine" wineboot --init >/dev/null 2>&1 || true

# The example with its settings in the script, so no kinetor.ini is needed.
cp "$root"/examples/spinner/frame*.bmp "$work/"
{ cat "$root/examples/spinner/build.txt"; printf '[Trans]\r\n[TransColors]\r\nFF00FF\r\n'; } \
  >"$work/build.txt"
(cd "$work" && "$wine" "$exe" build.txt) || [ $? -eq 1 ]
[ -f "$work/spinner.anim" ] || { echo "the example was not built" >&2; exit 2; }

(cd "$work" && exec "$wine" "$exe" spinner.anim) &
editor=$!
title="build.txt - Kinetor for Velmar"
geometry=""
for _ in $(seq 300); do
  geometry=$(xwininfo -name "$title" 2>/dev/null | awk '
    /Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
    /Width:/ {w=$NF} /Height:/ {h=$NF} END {if (w) print x, y, w, h}') || true
  [ -n "$geometry" ] && break
  sleep 0.1
done
[ -n "$geometry" ] || { echo "the editor did not show up" >&2; exit 2; }
sleep 2  # let it paint the list and the preview

python3 - "$work/screen/Xvfb_screen0" "$root/doc/editor.png" $geometry <<'PY'
import struct, sys, zlib
path, out = sys.argv[1], sys.argv[2]
x, y, w, h = (int(v) for v in sys.argv[3:7])
data = open(path, "rb").read()
# XWD: a header of big-endian 32-bit fields, the window name, the colour map,
# then the pixels (here 32 bits each, blue first).
fields = struct.unpack(">25I", data[:100])
header_size, width, height, bpl, ncolors = fields[0], fields[4], fields[5], fields[12], fields[19]
pixels = header_size + ncolors * 12
# Without a window manager the window has no frame: its own rectangle is all.
w, h = min(width - x, w), min(height - y, h)
rows = b""
for r in range(y, y + h):
    start = pixels + r * bpl + 4 * x
    line = data[start:start + 4 * w]
    rows += b"\0" + bytes(c for i in range(0, len(line), 4) for c in (line[i + 2], line[i + 1], line[i]))
def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
png += chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b"")
open(out, "wb").write(png)
print(f"{out}: {w} x {h} pixels")
PY
