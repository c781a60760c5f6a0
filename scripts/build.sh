#!/usr/bin/env bash
# Configures and builds into build/ (Release). Extra arguments go to cmake's configure step.
set -euo pipefail
cd "$(dirname "$0")/.."
# Paths relative to the checkout let ccache reuse objects between clones (CI builds a fresh one).
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
JOBS=${JOBS:-$(nproc)}
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
cmake --build build -j "$JOBS"
