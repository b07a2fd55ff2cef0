#!/usr/bin/env bash
# End to end: kolm packs a scene into a copy of itself and into a side file, reports on the
# package, and the packaged copy extracts its scene.
# Usage: package_cli.sh KOLM
set -u
kolm="$1"
fail=0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
export CI=true
check() {  # name, then a command that must succeed
    local name="$1"
    shift
    if ! "$@" >"$work/out" 2>&1; then echo "FAIL $name:"; cat "$work/out"; fail=1; fi
}

mkdir -p scene/scene_backup dist run
printf 'object' >scene/a.x
head -c 3001 /dev/urandom >scene/t.png
printf 'scene' >scene/my.kscn
printf 'lwo' >scene/scene_backup/o.lwo
printf 'lws' >scene/scene_backup/s.lws

check "-demoexe" "$kolm" -demoexe dist/one scene/my.kscn
check "executable bit kept" test -x dist/one
check "--package-info" "$kolm" --package-info dist/one
grep -qx "Package OK" "$work/out" || { echo "FAIL: no 'Package OK'"; cat "$work/out"; fail=1; }
grep -q "Resource 500: " "$work/out" || { echo "FAIL: resource 500 not listed"; fail=1; }

check "-demodat" "$kolm" -demodat dist/two scene/my.kscn
if command -v ziptool >/dev/null; then
    check "ziptool reads the side file" ziptool dist/two.dat cat 1
    cmp -s "$work/out" scene/t.png || { echo "FAIL: t.png differs in the side file"; fail=1; }
fi

# A demo: parts and extras name their folders ("\" separated, any case of the section name);
# an extra without a file name and a section that is no part add nothing.
mkdir -p demo/intro/deep demo/extra demo/unused demo/other demo/fx demo/music
printf 'i' >demo/intro/deep/i.x
printf 'e' >demo/extra/e.kscn
printf 'u' >demo/unused/u.x
printf 'o' >demo/other/o.x
printf 'f' >demo/fx/post.fx
printf 'm' >demo/music/song.mp3
cat >demo/show.demo.ini <<'INI'
[setup]
shadersdirectory = fx
musicdirectory = music
[Intro Part]
directory = intro\deep
filename = a.kscn
extra.3.directory = extra
extra.3.filename = e.kscn
extra.4.directory = unused
[notes]
directory = other
INI
check "-demoexe of a demo" "$kolm" -demoexe dist/show demo/show.demo.ini
check "--package-info of a demo" "$kolm" --package-info dist/show
entries=$(grep -oE '[^ ]+$' "$work/out" | grep -E '^(intro|extra|unused|other|fx|music|kolm)' | tr '\n' ' ')
[ "$entries" = "intro/deep/i.x extra/e.kscn fx/post.fx kolm.demo.ini music/song.mp3 " ] ||
    { echo "FAIL: demo entries: $entries"; fail=1; }
mkdir run/demo && cp dist/show run/demo/show
(cd run/demo && ./show -extract >/dev/null 2>&1)
[ -z "$(ls run/demo | grep -v '^show$')" ] || { echo "FAIL: extracting a packaged demo wrote files"; fail=1; }

cp dist/one run/one
(cd run && ./one -extract >/dev/null 2>&1) || { echo "FAIL: -extract"; fail=1; }
cmp -s run/ExeExtract/Images/t.png scene/t.png || { echo "FAIL: extracted t.png differs"; fail=1; }
cmp -s run/ExeExtract/Objects/o.lwo scene/scene_backup/o.lwo || { echo "FAIL: o.lwo"; fail=1; }
cmp -s run/ExeExtract/Scenes/s.lws scene/scene_backup/s.lws || { echo "FAIL: s.lws"; fail=1; }

# A stripped or truncated package is no package; a damaged trailer is reported, not crashed on.
head -c -3 dist/one >run/cut && chmod +x run/cut
"$kolm" --package-info run/cut >"$work/out" 2>&1
[ $? = 1 ] || { echo "FAIL: a cut package passes the report"; cat "$work/out"; fail=1; }

if [ "$fail" = 0 ]; then echo "package tools: all passed"; fi
exit $fail
