#!/bin/sh
# Rewrites the light pre-pass renderer's reference pictures (tests/data/render/lpp_*.png) from
# the current build. Look at every picture before committing it.
#   tests/render/regenerate_lpp_references.sh [build folder]
set -e
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
KOLM_LPP_WRITE_REFERENCES="$root/tests/data/render" "$build/tests/test_lpp_pictures_gl"
echo "written: $root/tests/data/render/lpp_*.png"
