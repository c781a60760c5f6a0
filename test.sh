#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test with CTest under a virtual X server;
# then the window-less tests again under AddressSanitizer/UBSan, and each fuzz target for a
# minute (FUZZ_SECONDS). Set THERMAVA_QUICK=1 to run only the first stage.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
./scripts/build.sh
(
  cd build
  xvfb-run -a -s "-screen 0 1920x1080x24" ctest --output-on-failure -j "$(nproc)" "$@"
)
if [ "${THERMAVA_QUICK:-0}" != "1" ]; then
  ./scripts/sanitize.sh
  ./scripts/fuzz.sh
fi
