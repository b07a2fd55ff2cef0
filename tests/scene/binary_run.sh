#!/usr/bin/env bash
# "kolm -binary SCENE": the example scene loads and checks in both forms (exit 0); a scene the
# time rules refuse exits 1 naming the field.
# Usage: binary_run.sh KOLM SOURCE_DIR
set -u
kolm="$1"
src="$2"
fail=0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for f in cube_on_ground.kscn cube_on_ground.lws.ini.bin; do
    env CI=true "$kolm" -binary "$src/examples/scenes/$f" >"$work/out" 2>&1 </dev/null
    code=$?
    [ "$code" = 0 ] || { echo "FAIL $f: exit $code"; cat "$work/out"; fail=1; }
done

printf '{ Scene\n  { SceneInfo\n    frameEnd I4 10\n    frameStep I4 1\n    framesPerSecond FP 0\n  }\n}\n' >"$work/zero.kscn"
env CI=true "$kolm" -binary "$work/zero.kscn" >"$work/out" 2>/dev/null </dev/null
code=$?
[ "$code" = 1 ] || { echo "FAIL zero fps: exit $code"; fail=1; }
grep -qxF "ERROR : The scene '$work/zero.kscn' cannot be loaded: framesPerSecond 0 is below 1" "$work/out" ||
    { echo "FAIL zero fps: message"; cat "$work/out"; fail=1; }
grep -qxF "ERROR : Failed to load scene" "$work/out" || { echo "FAIL zero fps: no failure line"; fail=1; }

if [ "$fail" = 0 ]; then echo "binary run: all passed"; fi
exit $fail
