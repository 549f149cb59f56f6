#!/usr/bin/env bash
# Prints the user-space instructions of one call, counted by callgrind:
# (instructions of 2,000 calls - those of 1,000 calls) / 1,000, so that
# start-up and first-call costs cancel out. Only instructions executed
# inside the call itself are collected, not the loopback server's.
# Usage: count_instructions.sh DRIVER [raw|c|name]
set -euo pipefail

driver=$1
client=${2:-}
case "$client" in
  raw) function='zcv::bench::RawCall(*' label='raw client' ;;
  c) function='zcv_auth' label='zcv_auth (C interface)' ;;
  name) function='TokenAuth(*' label='TokenAuth to "localhost" (a lookup per call)' ;;
  *) function='TokenAuth(*' label='TokenAuth' ;;
esac

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

count() {
  valgrind --tool=callgrind --collect-atstart=no --toggle-collect="$function" \
    --callgrind-out-file="$out/calls-$1" "$driver" "$1" $client 2>"$out/log-$1" ||
    { cat "$out/log-$1" >&2; exit 1; }
  awk '/^totals:/ { print $2 }' "$out/calls-$1"
}

small=$(count 1000)
large=$(count 2000)
echo "$label: $(( (large - small) / 1000 )) instructions per call (callgrind, $large - $small over 1000 calls)"
