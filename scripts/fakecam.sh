#!/usr/bin/env bash
# Runs a command with an emulated USB thermal camera present, for tests and for anyone
# without the hardware:
#   scripts/fakecam.sh build/bin/thermava-cli info --json
#   scripts/fakecam.sh ./run.sh
# The camera is a preload library (tests/fakecam/, built with the tests) that answers at the
# kernel's and libusb's interfaces: a V4L2 node /dev/videoN, its sysfs entries (laid out in a
# temporary folder named by THERMAVA_SYSFS_ROOT) and the libusb-1.0 calls of the vendor bulk
# interface. Behind it sits the simulated camera, configured by THERMAVA_SIM as usual, so the
# picture, the temperatures, command replies and faults are the simulated camera's own. It is
# a camera of the command's own (tables and installed software end with it) unless THERMAVA_SIM
# names a state folder (statedir=) to share with other runs.
# Nothing is built here: the library is taken from build/ or from THERMAVA_BUILD_DIR.
# THERMAVA_CAMERA is set to the node unless it is set already.
#
# Switches, THERMAVA_FAKECAM, entries separated by ';':
#   transport=bulk|xu|none  command channel: vendor interface with two bulk endpoints (default),
#                           UVC extension unit 3 (selector 2), or none (stream only)
#   format=yuyv|uyvy        the one pixel format the node offers (default yuyv)
#   pad=<bytes>             padding after each row (bytesperline = width * 2 + pad)
#   errors=<n>              every n-th buffer comes back flagged V4L2_BUF_FLAG_ERROR, half lost
#   busy                    another program holds the camera: EBUSY from S_FMT, REQBUFS and
#                           STREAMON, LIBUSB_ERROR_BUSY from claiming the vendor interface
#   noperm                  no permission: EACCES on the node, LIBUSB_ERROR_ACCESS from libusb_open
#   unplugms=<ms>           the camera leaves the bus this long after the first STREAMON
#   xulen=<bytes>           UVC_GET_LEN of the extension unit's command control (default 512)
#   node=<N>                the node is /dev/videoN (default 90)
# The node offers the one stream size the simulated camera delivers. While the library is
# loaded, libusb lists only the emulated camera, and the sysfs tree holds only its entries.
set -euo pipefail

if [ $# -eq 0 ]; then
  echo "usage: scripts/fakecam.sh COMMAND [ARGUMENT...]" >&2
  exit 2
fi
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${THERMAVA_BUILD_DIR:-$here/build}"
lib="$(cd "$build" 2>/dev/null && pwd)/tests/libthermava-fakecam.so" || true
if [ ! -f "$lib" ]; then
  echo "fakecam.sh: no emulated camera library in $build/tests (build the target thermava-fakecam," \
       "or set THERMAVA_BUILD_DIR to the build folder)" >&2
  exit 2
fi

# The command takes this shell's process id (exec below), so each sysfs folder carries the id
# of the process that uses it; folders of processes that have ended are removed here.
tmp="${TMPDIR:-/tmp}"
for old in "$tmp"/thermava-fakecam.*; do
  [ -d "$old" ] || continue
  pid="${old##*.}"
  if [[ "$pid" =~ ^[0-9]+$ ]] && ! kill -0 "$pid" 2>/dev/null; then
    rm -rf "$old" 2>/dev/null || true   # another user's folder stays
  fi
done
root="$tmp/thermava-fakecam.$$"
rm -rf "$root"
mkdir -p "$root"

node=90
if [[ ";${THERMAVA_FAKECAM:-};" =~ \;node=([0-9]+)\; ]]; then
  node="${BASH_REMATCH[1]}"
fi
export THERMAVA_SYSFS_ROOT="$root"
export THERMAVA_CAMERA="${THERMAVA_CAMERA:-/dev/video$node}"
export LD_PRELOAD="$lib${LD_PRELOAD:+:$LD_PRELOAD}"
exec "$@"
