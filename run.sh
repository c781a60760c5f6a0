#!/usr/bin/env bash
# Installs what is missing, builds, and starts the client on the built-in simulated camera.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
./scripts/build.sh
exec ./build/bin/Thermava "$@"
