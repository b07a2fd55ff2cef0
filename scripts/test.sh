#!/usr/bin/env bash
# Builds Kolm and runs its tests. Usage: scripts/test.sh [--sanitize] [ctest args...]
#   --sanitize   AddressSanitizer + UndefinedBehaviorSanitizer build (in build-asan/)
# Installs missing Debian packages first, starts Xvfb for the GL tests when no display is set.
set -euo pipefail
cd "$(dirname "$0")/.."

# The plain run builds and tests the Release build, the one users run; warnings are errors here
# (a user's own build only warns). The compiler cache lives outside the checkout (~/.cache/ccache).
build=build
cmake_args=(-DCMAKE_BUILD_TYPE=Release -DKOLM_WERROR=ON)
if [ "${1:-}" = "--sanitize" ]; then
  shift
  build=build-asan
  cmake_args=(-DCMAKE_BUILD_TYPE=Debug -DKOLM_WERROR=ON -DKOLM_SANITIZE=ON -DKOLM_BENCH=OFF)
fi
# Paths relative to the checkout in the cache keys: a fresh clone elsewhere reuses the cache.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}" CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-1}"
if command -v ccache >/dev/null; then
  cmake_args+=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

bash scripts/deps.sh
cmake -S . -B "$build" "${cmake_args[@]}" >/dev/null
cmake --build "$build" -j "$(nproc)"

source scripts/xvfb.sh
kolm_ensure_display

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$PWD/scripts/lsan.supp:print_suppressions=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
# Tests never wait on a box or a sound card.
export CI="${CI:-true}"
export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"
cd "$build"
ctest --output-on-failure -j "$(nproc)" "$@"
