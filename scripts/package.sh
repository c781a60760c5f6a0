#!/usr/bin/env bash
# Builds the Debian package build-pkg/thermava_<version>_amd64.deb with CPack, then checks it:
# lintian (no errors allowed), the desktop entry, the AppStream metadata and the package's file
# list. Separate from ./test.sh because the release build takes several minutes.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh dpkg-dev lintian file
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
JOBS=${JOBS:-$(nproc)}
cmake -S . -B build-pkg -DCMAKE_BUILD_TYPE=Release -DTHERMAVA_BUILD_TESTS=OFF -DTHERMAVA_BUILD_BENCH=OFF >/dev/null
cmake --build build-pkg -j "$JOBS"
(cd build-pkg && cpack -G DEB >/dev/null)
version=$(sed -n 's/^project(Thermava VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
deb="build-pkg/thermava_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { echo "package.sh: $deb was not made" >&2; exit 1; }
./scripts/check-package.sh "$deb"
echo "$deb"
