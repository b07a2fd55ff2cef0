#!/usr/bin/env bash
# The scene viewer end to end under a display, on the example scene: two "-framestart" frames
# differ where the camera moved; "kolm-sync" moves a paused viewer to the frame it names; an
# exporter's in-place rewrite with a pause half-way reloads once, when complete, and an atomic
# save (temporary file renamed over the scene) once more. Every run ends by itself.
# Usage: viewer_run.sh KOLM KOLM_SYNC SOURCE_DIR
set -u
kolm="$1"
sync="$2"
src="$3"
if [ -z "${DISPLAY:-}" ]; then echo "no display: skipped"; exit 77; fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/scenes" "$work/scripts"
# Particles run on the engine clock, not on the scene time: the scene here leaves the fx
# emitters out, so that two renders of one frame are alike.
awk '/^  \{ FxEmitters/ { skip = 1 } !skip { print } skip && /^  \}/ { skip = 0 }' \
    "$src/examples/scenes/cube_on_ground.kscn" >"$work/scenes/cube_on_ground.kscn"
cp "$src/examples/scripts/cube.x" "$work/scripts/"
scene="$work/scenes/cube_on_ground.kscn"
export CI=true SDL_AUDIODRIVER=dummy ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"
fail=0

view() {  # view SCREENSHOT FRAMES MS ARGS...: runs the viewer, its output in $work/out
    local shot="$1" frames="$2" ms="$3"
    shift 3
    KOLM_VIEWER_SCREENSHOT="$shot" KOLM_VIEWER_FRAMES="$frames" KOLM_VIEWER_MS="$ms" \
        "$kolm" -windowed 1 -display 320x240 "$@" </dev/null >"$work/out" 2>&1
}

# Waits until the viewer in the background has started and had time to load its scene and
# start its watch (the log line comes before the loading; sanitizer builds load slowly).
started() {
    for _ in $(seq 200); do
        grep -qxF "Kolm Engine scene viewer started" "$work/out" 2>/dev/null && break
        sleep 0.1
    done
    sleep "${1:-3}"
}

# Differing pixels (in thousandths) of two 24-bit BMPs below the read-outs (the top 30 rows).
differ() {
    python3 - "$1" "$2" <<'EOF'
import struct, sys
def load(p):
    d = open(p, 'rb').read()
    off = struct.unpack_from('<I', d, 10)[0]
    w, h = struct.unpack_from('<ii', d, 18)
    row = (w * 3 + 3) & ~3
    return w, abs(h), h > 0, d[off:], row
wa, ha, upa, a, row = load(sys.argv[1])
wb, hb, upb, b, _ = load(sys.argv[2])
if (wa, ha) != (wb, hb): print(1000); sys.exit()
n = diff = 0
for y in range(30, ha):
    ya = ha - 1 - y if upa else y
    for x in range(wa):
        i = ya * row + x * 3
        n += 1
        if max(abs(a[i + k] - b[i + k]) for k in range(3)) > 8: diff += 1
print(diff * 1000 // n)
EOF
}

view "$work/f0.bmp" 5 0 "$scene" -framestart 0 -paused -nomusic
code=$?
[ "$code" = 0 ] || { echo "FAIL: frame 0 run exit $code"; cat "$work/out"; fail=1; }
grep -qxF "Kolm Engine scene viewer ended" "$work/out" || { echo "FAIL: no end line"; cat "$work/out"; fail=1; }
view "$work/f90.bmp" 5 0 "$scene" -framestart 90 -paused -nomusic
[ -f "$work/f0.bmp" ] && [ -f "$work/f90.bmp" ] || { echo "FAIL: no screenshots"; exit 1; }
d=$(differ "$work/f0.bmp" "$work/f90.bmp")
[ "$d" -ge 50 ] || { echo "FAIL: frames 0 and 90 differ in only $d/1000 of their pixels"; fail=1; }

# Playing (not paused) from beyond the end starts at the end and ends by its frame limit.
view "$work/end.bmp" 10 0 "$scene" -framestart 5000 -nomusic
[ $? = 0 ] || { echo "FAIL: playing run"; cat "$work/out"; fail=1; }

# The sync message: a paused viewer at frame 0 follows frame 90.
rm -f "$work/out"
view "$work/sync.bmp" 0 4000 "$scene" -framestart 0 -paused -nomusic -syncupdate &
pid=$!
started 1
sent=1
for _ in $(seq 40); do
    sleep 0.1
    if "$sync" 90 2>/dev/null; then sent=0; break; fi
done
wait $pid
[ "$sent" = 0 ] || { echo "FAIL: kolm-sync found no window"; fail=1; }
d=$(differ "$work/sync.bmp" "$work/f90.bmp")
[ "$d" -le 5 ] || { echo "FAIL: the synced frame differs from frame 90 in $d/1000 of its pixels"; fail=1; }

# Live reload: an in-place rewrite that stops half-way for a while reloads once, complete; an
# atomic save reloads once more.
rm -f "$work/out"
view "$work/reload.bmp" 0 6000 "$scene" -framestart 30 -paused -nomusic -syncupdate &
pid=$!
started 3
size=$(stat -c %s "$scene")
sed 's/zoomFactor FP 3.2/zoomFactor FP 1.6/' "$scene" >"$work/new.kscn"
head -c $((size / 2)) "$work/new.kscn" >"$scene"
sleep 0.1
tail -c +$((size / 2 + 1)) "$work/new.kscn" >>"$scene"
sleep 1.5
sed 's/zoomFactor FP 1.6/zoomFactor FP 2.4/' "$work/new.kscn" >"$work/scenes/.tmp.kscn"
mv "$work/scenes/.tmp.kscn" "$scene"
wait $pid
updates=$(grep -c "^Update Scene\.\.\.$" "$work/out")
[ "$updates" = 2 ] || { echo "FAIL: $updates reloads, expected 2"; cat "$work/out"; fail=1; }
if grep -q "UPDATE SCENE FAILED" "$work/out"; then echo "FAIL: a reload failed"; cat "$work/out"; fail=1; fi

[ "$fail" = 0 ] && echo "viewer run: all passed"
exit $fail
