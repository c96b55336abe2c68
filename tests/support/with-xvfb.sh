#!/usr/bin/env bash
# Runs a command on a private Xvfb server and stops the server afterwards; exits with the
# command's status. The server chooses a free display number itself (-displayfd) and
# claims it atomically, so any number of tests may start one at the same moment without
# two of them sharing a display.
# Usage: with-xvfb.sh COMMAND [ARGS...]
set -u
command -v Xvfb >/dev/null || { echo "Xvfb is not installed (Debian: xvfb)"; exit 1; }
dir=$(mktemp -d "${TMPDIR:-/tmp}/gw-xvfb.XXXXXX") || exit 1
mkfifo "$dir/displayfd" || { rm -rf "$dir"; exit 1; }
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$dir/displayfd" >/dev/null 2>&1 &
xvfb_pid=$!
stop() {
  kill "$xvfb_pid" 2>/dev/null
  wait "$xvfb_pid" 2>/dev/null
  rm -rf "$dir"
}
trap stop EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM
# The number arrives once the server accepts connections; end of file means it gave up.
number=
read -r -t 30 number <"$dir/displayfd"
case $number in
  '' | *[!0-9]*) echo "could not start Xvfb"; exit 1 ;;
esac
export DISPLAY=":$number"
unset WAYLAND_DISPLAY
"$@"
