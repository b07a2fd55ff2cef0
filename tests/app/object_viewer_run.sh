#!/usr/bin/env bash
# "kolm windmill.x" opens the object viewer on the shipped object and ends by itself after a few
# frames, leaving the last frame as a screenshot that is not the bare backdrop.
# Usage: object_viewer_run.sh KOLM OBJECT
set -u
if [ -z "${DISPLAY:-}" ]; then echo "no display: skipped"; exit 77; fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export CI=true SDL_AUDIODRIVER=dummy ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"
KOLM_VIEWER_FRAMES=10 KOLM_VIEWER_SCREENSHOT="$work/shot.bmp" \
    "$1" -windowed 1 -display 160x120 "$2" </dev/null >"$work/out" 2>&1
status=$?
if [ "$status" -ne 0 ]; then cat "$work/out"; echo "kolm ended with $status"; exit 1; fi
python3 - "$work/shot.bmp" <<'PY'
import struct, sys
d = open(sys.argv[1], 'rb').read()
off = struct.unpack_from('<I', d, 10)[0]
w, h = struct.unpack_from('<ii', d, 18)
px = [d[off + i:off + i + 3] for i in range(0, w * abs(h) * 3, 3)]
backdrop = bytes((0x66, 0x33, 0x11))  # 0x113366 as BMP stores it
other = sum(p != backdrop for p in px)
print("pixels other than the backdrop: %d of %d" % (other, len(px)))
sys.exit(0 if len(px) * 0.05 < other < len(px) * 0.95 else 1)
PY
