#!/usr/bin/env bash
# Rebuilds the image set: builds thermava_skingen and lets it rewrite resources/Skin/ and the
# application icons in resources/linux/icons/.
# The stylesheet tpc.qss there is hand-written and left alone.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${SKINGEN_BUILD_DIR:-$root/build-skingen}"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTHERMAVA_BUILD_TESTS=OFF -DTHERMAVA_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target thermava_skingen -j2
# No display needed: the generator only paints into images.
QT_QPA_PLATFORM=offscreen "$build/tools/thermava_skingen" "$root/resources/Skin"
QT_QPA_PLATFORM=offscreen "$build/tools/thermava_skingen" --icons "$root/resources/linux/icons/hicolor"
