#!/usr/bin/env bash
# Runs a command beside a private JACK server (jackd2's dummy driver: no sound card, 44.1 kHz,
# 256-frame blocks) and stops the server afterwards; exits with the command's status. The
# server has a name of its own, exported as JACK_DEFAULT_SERVER, so any number of tests may
# run one at the same moment; its log is in $JACKD_LOG while the command runs.
# Usage: with-jackd.sh COMMAND [ARGS...]
set -u
command -v jackd >/dev/null || { echo "jackd is not installed (Debian: jackd2)"; exit 1; }
command -v jack_wait >/dev/null || { echo "jack_wait is not installed (Debian: jackd2)"; exit 1; }
dir=$(mktemp -d "${TMPDIR:-/tmp}/gw-jackd.XXXXXX") || exit 1
name=gw-${dir##*.}
# Clients never start a server of their own with default settings.
export JACK_DEFAULT_SERVER=$name JACK_NO_START_SERVER=1 JACK_NO_AUDIO_RESERVATION=1 JACKD_LOG=$dir/jackd.log
# No real-time scheduling: a test machine need not grant it, and the dummy driver keeps time
# by the clock either way.
jackd --no-realtime -n "$name" -d dummy -r 44100 -p 256 >"$JACKD_LOG" 2>&1 &
jackd_pid=$!
stop() {
  kill "$jackd_pid" 2>/dev/null
  wait "$jackd_pid" 2>/dev/null
  rm -rf "$dir"
}
trap stop EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM
if ! jack_wait -s "$name" -w -t 10 >/dev/null 2>&1 || ! kill -0 "$jackd_pid" 2>/dev/null; then
  echo "could not start jackd:"
  sed 's/^/    /' "$JACKD_LOG"
  exit 1
fi
"$@"
