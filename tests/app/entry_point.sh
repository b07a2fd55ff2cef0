#!/usr/bin/env bash
# End to end: the kolm executable's exits and messages in an automated run.
# Usage: entry_point.sh KOLM
set -u
kolm="$1"
fail=0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

expect() {  # name, expected rc, expected stdout line, command...
    local name="$1" rc="$2" line="$3"
    shift 3
    local out code
    out=$("$@" 2>"$work/err" </dev/null)
    code=$?
    if [ "$code" != "$rc" ]; then
        echo "FAIL $name: exit $code, expected $rc"; fail=1
    fi
    if [ -n "$line" ] && ! grep -qxF -- "$line" <<<"$out"; then
        echo "FAIL $name: stdout lacks '$line':"; echo "$out"; fail=1
    fi
}

expect "unsupported type" 255 "ERROR : File format of 'notes.txt' is not supported" env CI=true "$kolm" notes.txt
grep -qF "File format of 'notes.txt' is not supported" "$work/err" || { echo "FAIL: no box text on stderr"; fail=1; }
expect "no file, no display: cancelled" 255 "" env -u DISPLAY CI=true "$kolm"
expect "no file, not a terminal: cancelled" 255 "" env CI=true "$kolm" -paused
expect "userlog still logs errors" 255 "ERROR : File format of 'a.bmp' is not supported" env CI=true "$kolm" -userlog a.bmp

# An executable whose full path is longer than 260 characters starts like any other.
deep="$work/$(printf 'd%.0s' $(seq 120))/$(printf 'e%.0s' $(seq 120))/$(printf 'f%.0s' $(seq 40))"
mkdir -p "$deep"
ln "$kolm" "$deep/kolm" 2>/dev/null || cp "$kolm" "$deep/kolm"
expect "long executable path" 255 "ERROR : File format of 'notes.txt' is not supported" env CI=true "$deep/kolm" notes.txt

if [ "$fail" = 0 ]; then echo "entry point: all passed"; fi
exit $fail
