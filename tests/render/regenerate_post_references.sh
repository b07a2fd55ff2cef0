#!/bin/sh
# Rewrites the post effects' reference pictures (tests/data/render/post_*.png) from the current
# build. Look at every picture before committing it.
#   tests/render/regenerate_post_references.sh [build folder]
set -e
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
KOLM_POST_WRITE_REFERENCES="$root/tests/data/render" "$build/tests/test_post_pictures_gl" --gtest_filter='*Glow*Streaks*:*DepthOfField*'
echo "written: $root/tests/data/render/post_*.png"
