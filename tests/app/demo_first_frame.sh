#!/usr/bin/env bash
# End to end under a display: a demo starts the engine and is captured to its end (24-bit BMP
# frames of the requested size, 30 a second), cleanly.
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
[ "$code" = 0 ] || { echo "FAIL: exit $code, expected 0"; echo "$out"; fail=1; }
if grep -q "^ERROR" <<<"$out"; then echo "FAIL: errors:"; grep "^ERROR" <<<"$out"; fail=1; fi
# The example's first part lasts 4 s: frames 0 to 119.
[ -f shot_000119.bmp ] && [ ! -f shot_000120.bmp ] || { echo "FAIL: frames:"; ls; fail=1; }
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
