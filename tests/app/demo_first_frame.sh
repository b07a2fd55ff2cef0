#!/usr/bin/env bash
# End to end under a display: a demo starts the engine and captures its first loading frame
# (black, 24-bit BMP of the requested size); playback itself reports that it is missing.
# Usage: demo_first_frame.sh KOLM DEMO_INI
set -u
kolm="$1"
demo="$2"
if [ -z "${DISPLAY:-}" ]; then echo "no display: skipped"; exit 77; fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
# Leaks are the unit tests' business; Mesa unloads its driver before a sanitizer build exits.
out=$(CI=true ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" "$kolm" -windowed 1 -display 320x200 -cap shot "$demo" </dev/null 2>/dev/null)
code=$?
fail=0
[ "$code" = 1 ] || { echo "FAIL: exit $code, expected 1"; fail=1; }
grep -qxF "ERROR : Demo capture is not available in this build" <<<"$out" || { echo "FAIL: stdout:"; echo "$out"; fail=1; }
# A clean run warns about nothing (vertical sync is on by default, and Xvfb rejects the
# server-side swap-control request with an X error).
if grep -q "^WARN" <<<"$out"; then echo "FAIL: warnings:"; grep "^WARN" <<<"$out"; fail=1; fi
if [ -f shot_000000.bmp ]; then
  header=$(od -An -tu4 -j18 -N8 shot_000000.bmp | tr -s ' ')
  [ "$header" = " 320 200" ] || { echo "FAIL: frame size$header"; fail=1; }
else
  echo "FAIL: no shot_000000.bmp"; fail=1
fi
[ "$fail" = 0 ] && echo "demo first frame: passed"
exit $fail
