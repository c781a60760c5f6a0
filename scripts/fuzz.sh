#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz/ and runs each from its committed seed
# corpus for FUZZ_SECONDS (60 by default). A crash fails the run and leaves its input in
# build-fuzz/crashes/<target>/.
set -euo pipefail
cd "$(dirname "$0")/.."
# Paths relative to the checkout let ccache reuse objects between clones (CI builds a fresh one).
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
SECONDS_PER_TARGET=${FUZZ_SECONDS:-60}
cmake -S fuzz -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build-fuzz -j "$(nproc)"
status=0
for target in reply firmware language trailer; do
  work=build-fuzz/corpus/$target
  crashes=build-fuzz/crashes/$target
  mkdir -p "$work" "$crashes"
  echo "fuzz_$target: ${SECONDS_PER_TARGET}s"
  if ! QT_QPA_PLATFORM=offscreen ./build-fuzz/fuzz_$target -max_total_time="$SECONDS_PER_TARGET" \
      -print_final_stats=1 -artifact_prefix="$crashes/" "$work" "fuzz/corpus/$target" >"build-fuzz/$target.log" 2>&1; then
    echo "fuzz_$target FAILED:"; tail -40 "build-fuzz/$target.log"; status=1
  else
    grep -E "^Done|stat::number_of_executed_units" "build-fuzz/$target.log" | head -2
  fi
done
exit $status
