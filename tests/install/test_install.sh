#!/usr/bin/env bash
# Installs the build into a scratch DESTDIR and runs the installed copy as an unprivileged user
# with a home of its own: the installed program cannot write beside itself, so Config.ini,
# snapshots and recordings must land in that user's folders; the window must come up.
# Needs root to act as another user; exits 77 (skipped) otherwise.
set -euo pipefail
build=$1
[ "$(id -u)" -eq 0 ] || { echo "not root: cannot run the installed copy as another user"; exit 77; }

scratch=$(mktemp -d /tmp/thermava-install.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
chmod 755 "$scratch"
DESTDIR="$scratch/root" cmake --install "$build" --prefix /usr >/dev/null
bin="$scratch/root/usr/bin"
home="$scratch/home"
mkdir -p "$home"
chown nobody:nogroup "$home"

fail=0
check() { if eval "$2"; then echo "PASS: $1"; else echo "FAIL: $1"; fail=1; fi; }
as_user() {
  env -i HOME="$home" PATH=/usr/bin:/bin XDG_RUNTIME_DIR="$home/run" LANG=C.UTF-8 \
      THERMAVA_CAMERA=sim THERMAVA_SIM=private "$@"
}
mkdir -p "$home/run" && chown nobody:nogroup "$home/run" && chmod 700 "$home/run"
user=(setpriv --reuid=nobody --regid=nogroup --clear-groups --)

check "model installed in the data folder" "[ -f '$scratch/root/usr/share/thermava/model.onnx' ]"
check "thermava-fwgen is not installed" "[ ! -e '$bin/thermava-fwgen' ]"
version=$(as_user "${user[@]}" "$bin/thermava" --version 2>/dev/null || true)
check "thermava --version ($version)" "[[ '$version' == 'Thermava '[0-9]* ]]"

snap=$(as_user "${user[@]}" "$bin/thermava-cli" snapshot 2>/dev/null | tail -1)
check "snapshot lands in the user's pictures folder ($snap)" "[[ '$snap' == '$home/Pictures/Thermava/'*.jpg ]] && [ -s '$snap' ]"
rec=$(as_user "${user[@]}" "$bin/thermava-cli" record --seconds 2 2>/dev/null | tail -1)
check "recording lands in the user's videos folder ($rec)" "[[ '$rec' == '$home/Videos/Thermava/'*.mp4 ]] && [ -s '$rec' ]"
as_user "${user[@]}" "$bin/thermava-cli" config set Language 1
check "Config.ini is made in the user's configuration folder" "grep -q '^Language=1' '$home/.config/thermava/Config.ini'"
check "nothing was written beside the installed program" "[ -z \"\$(ls -A '$bin' | grep -v -x -e thermava -e thermava-cli)\" ]"

# The installed client under its own X server, as that user: its window appears.
if command -v xvfb-run >/dev/null && command -v xwininfo >/dev/null; then
  win=$(as_user "${user[@]}" xvfb-run -a -s "-screen 0 1920x1080x24" bash -c \
    "'$bin/thermava' & pid=\$!; for i in \$(seq 60); do sleep 0.5; xwininfo -root -tree | grep -q '\"Thermava\"' && break; done;
     xwininfo -root -tree | grep -c '\"Thermava\"'; kill \$pid; wait \$pid 2>/dev/null" 2>/dev/null | tail -1 || true)
  check "the installed client shows its window" "[ '${win:-0}' -ge 1 ]"
fi
echo "$([ $fail -eq 0 ] && echo ok || echo failed)"
exit $fail
