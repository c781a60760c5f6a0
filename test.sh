#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test with CTest under a virtual X server.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
./scripts/build.sh
cd build
xvfb-run -a -s "-screen 0 1920x1080x24" ctest --output-on-failure -j "$(nproc)" "$@"
