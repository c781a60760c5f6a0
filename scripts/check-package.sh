#!/usr/bin/env bash
# Checks a built Thermava package: the files it must hold, lintian without errors, the desktop
# entry and the AppStream file, and one version number everywhere.
set -euo pipefail
cd "$(dirname "$0")/.."
deb=$1
fail=0
files=$(dpkg-deb -c "$deb" | awk '{print $6}')
for want in ./usr/bin/thermava ./usr/bin/thermava-cli ./usr/share/thermava/model.onnx \
    ./usr/share/applications/org.thermava.Thermava.desktop \
    ./usr/share/metainfo/org.thermava.Thermava.metainfo.xml \
    ./usr/share/man/man1/thermava-cli.1.gz ./usr/share/man/man1/thermava.1.gz \
    ./usr/share/doc/thermava/copyright ./usr/lib/udev/rules.d/70-thermava.rules; do
  grep -qxF "$want" <<<"$files" || { echo "missing from the package: $want" >&2; fail=1; }
done
for size in 16 32 48 64 128 256; do
  grep -qxF "./usr/share/icons/hicolor/${size}x${size}/apps/thermava.png" <<<"$files" ||
    { echo "missing icon ${size}x${size}" >&2; fail=1; }
done
if grep -q 'thermava-fwgen' <<<"$files"; then echo "thermava-fwgen is a developer tool, not packaged" >&2; fail=1; fi

version=$(sed -n 's/^project(Thermava VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || { echo "package version differs from $version" >&2; fail=1; }
grep -q "<release version=\"$version\"" resources/linux/org.thermava.Thermava.metainfo.xml ||
  { echo "metainfo has no release $version" >&2; fail=1; }
head -1 resources/linux/changelog | grep -qF "($version)" || { echo "changelog does not start at $version" >&2; fail=1; }
depends=$(dpkg-deb -f "$deb" Depends)
grep -q 'libqt5widgets5' <<<"$depends" || { echo "Depends not computed from the binaries: $depends" >&2; fail=1; }

desktop-file-validate resources/linux/org.thermava.Thermava.desktop || fail=1
appstreamcli validate --no-net resources/linux/org.thermava.Thermava.metainfo.xml >/dev/null || fail=1
# lintian: E: lines fail the check; warnings are shown for the reader.
lint=$(lintian --tag-display-limit 0 "$deb" 2>&1 || true)
[ -n "$lint" ] && echo "$lint"
if grep -q '^E:' <<<"$lint"; then echo "lintian reports errors" >&2; fail=1; fi
[ $fail -eq 0 ] && echo "package check: PASS ($deb)"
exit $fail
