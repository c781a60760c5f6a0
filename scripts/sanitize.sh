#!/usr/bin/env bash
# Builds the tests that need no window with AddressSanitizer and UndefinedBehaviorSanitizer into
# build-asan/ and runs them; any sanitizer report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
# Paths relative to the checkout let ccache reuse objects between clones (CI builds a fresh one).
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
JOBS=${JOBS:-$(nproc)}
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTHERMAVA_SANITIZE=ON \
  -DTHERMAVA_BUILD_BENCH=OFF >/dev/null
targets=$(cd build-asan && ctest -N -L nogui | sed -n 's/^ *Test *#[0-9]*: *//p')
# shellcheck disable=SC2086
cmake --build build-asan -j "$JOBS" --target $targets
export ASAN_OPTIONS="detect_leaks=1:fast_unwind_on_malloc=0:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export QT_QPA_PLATFORM=offscreen
cd build-asan
ctest --output-on-failure -L nogui -j "$JOBS"
