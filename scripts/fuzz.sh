#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (build-fuzz/) and runs each for a while.
# Usage: scripts/fuzz.sh [seconds per target, default 10]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-10}"

bash scripts/deps.sh
launcher=()
# Paths relative to the checkout in the cache keys: a fresh clone elsewhere reuses the cache.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}" CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-1}"
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DKOLM_FUZZ=ON -DKOLM_WERROR=ON -DKOLM_TESTS=OFF -DKOLM_BENCH=OFF \
  "${launcher[@]}" >/dev/null
cmake --build build-fuzz -j "$(nproc)"

export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$PWD/scripts/lsan.supp:print_suppressions=0}"
status=0
for target in build-fuzz/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  corpus="$PWD/build-fuzz/corpus/$name"
  mkdir -p "$corpus"
  if "$target" -max_total_time="$seconds" -close_fd_mask=3 "$corpus" >"build-fuzz/$name.log" 2>&1; then
    echo "$name: $(grep -E '^Done' "build-fuzz/$name.log" || echo done)"
  else
    echo "$name: FAILED (see build-fuzz/$name.log)"
    tail -30 "build-fuzz/$name.log"
    status=1
  fi
done
exit $status
