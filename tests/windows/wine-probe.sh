#!/usr/bin/env bash
# Tells whether this machine can run 32-bit Windows programs under Wine:
# cross-builds a trivial program and runs it in a throw-away prefix, bounded
# in time. Exit 0 when it ran; otherwise prints why not on one line, exit 1.
set -uo pipefail

readonly run_seconds=180 # a fresh prefix is set up on the first run
readonly compiler=i686-w64-mingw32-gcc-posix

work=$(mktemp -d "${TMPDIR:-/tmp}/zcv-wine-probe.XXXXXX")
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  command -v wineserver >/dev/null && timeout 10 wineserver -k >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT

command -v wine >/dev/null || { echo "wine is not installed"; exit 1; }
if ! "$compiler" -o "$work/probe.exe" "$(dirname "$0")/wine_probe.c" 2>"$work/cc.err"; then
  echo "the probe did not cross-build: $(tail -n 1 "$work/cc.err")"
  exit 1
fi
out=$(timeout "$run_seconds" wine "$work/probe.exe" 2>"$work/wine.err")
status=$?
# A Windows console program ends its lines with CR LF.
[ "${out%$'\r'}" = "zcv-wine-probe-ok" ] && exit 0
if [ "$status" -eq 124 ]; then
  echo "a 32-bit probe did not finish under wine within ${run_seconds} s"
else
  reason=$(grep -v '^[[:space:]]*$' "$work/wine.err" | tail -n 1)
  echo "a 32-bit probe does not run under wine (exit $status${reason:+: $reason})"
fi
exit 1
