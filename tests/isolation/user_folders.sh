#!/bin/sh
# Usage: user_folders.sh before|after STATE_FILE
# "before" lists what is in grainwheel's folders of the user who runs the tests (the data
# folder with its recovery banks, the configuration folder with the recent-bank list);
# "after" lists them again and fails if anything was added, removed or changed.
# The tests themselves run with folders of their own (cmake/test_isolation.cmake); these
# two see the caller's environment.
set -eu
mode=$1
state=$2
account_home=$(getent passwd "$(id -u)" 2>/dev/null | cut -d: -f6 || true)

folders() {
  for h in "${HOME:-}" "$account_home"; do
    [ -n "$h" ] || continue
    echo "$h/.local/share/grainwheel"
    echo "$h/.config/grainwheel"
  done
  [ -n "${XDG_DATA_HOME:-}" ] && echo "$XDG_DATA_HOME/grainwheel"
  [ -n "${XDG_CONFIG_HOME:-}" ] && echo "$XDG_CONFIG_HOME/grainwheel"
  return 0
}

listing() {
  folders | sort -u | while read -r d; do
    if [ -d "$d" ]; then
      echo "folder $d"
      find "$d" -mindepth 1 -printf '  %P %y %s %T@\n' | sort
    else
      echo "absent $d"
    fi
  done
}

case $mode in
  before)
    listing > "$state"
    echo "listed $(grep -c '^  ' "$state" || true) entries in the user's grainwheel folders"
    ;;
  after)
    now=$(mktemp)
    listing > "$now"
    if ! diff -u "$state" "$now"; then
      rm -f "$now"
      echo "the test run changed the user's own grainwheel folders (see above)"
      exit 1
    fi
    rm -f "$now"
    echo "the user's grainwheel folders are as they were before the run"
    ;;
  *) echo "usage: $0 before|after STATE_FILE" >&2; exit 2 ;;
esac
