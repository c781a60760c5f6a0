#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running Thermava need, and any
# further packages named as arguments.
# Idempotent: does nothing when everything is present; runs apt-get update only when something is missing.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config ccache
  qtbase5-dev qtbase5-dev-tools libqt5svg5-dev libqt5opengl5-dev
  libopencv-dev
  libavcodec-dev libavformat-dev libavutil-dev libswscale-dev ffmpeg
  libsdl2-dev
  libudev-dev
  libusb-1.0-0-dev
  xvfb xauth x11-utils dbus-daemon
  fonts-wqy-microhei
  clang libclang-rt-14-dev
  python3 desktop-file-utils appstream
  poppler-utils
)
# Callers may ask for more (scripts/package.sh adds the packaging tools).
PACKAGES+=("$@")

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
