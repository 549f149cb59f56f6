#!/usr/bin/env bash
# Tells whether this machine runs Windows programs of one width under Wine:
# wine-probe.sh <32|64> <prefix>. Cross-builds a trivial program and runs it
# in <prefix> (made if new: the stage's tests then reuse it), bounded in
# time. Exit 0 when it ran; otherwise prints why not on one line, exit 1.
set -uo pipefail

readonly run_seconds=180 # a new prefix is set up on the first run
bits=${1:-} prefix=${2:-}
case "$bits" in
  32) compiler=i686-w64-mingw32-gcc-posix loader=$(command -v wine) package=wine32:i386 ;;
  64) compiler=x86_64-w64-mingw32-gcc-posix package=wine64
      loader=$(command -v wine64 || { [ -x /usr/lib/wine/wine64 ] && echo /usr/lib/wine/wine64; }) ;;
  *) echo "usage: wine-probe.sh <32|64> <prefix>"; exit 1 ;;
esac
[ -n "$prefix" ] || { echo "usage: wine-probe.sh <32|64> <prefix>"; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/zcv-wine-probe.XXXXXX")
mkdir -p "$(dirname "$prefix")"
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  command -v wineserver >/dev/null && timeout 10 wineserver -k >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT

# Debian's wine runs the 64-bit loader when the 32-bit one is missing.
if [ "$bits" = 32 ] && [ -e /usr/lib/wine/wine64 ] && [ ! -e /usr/lib/wine/wine ]; then
  loader=""
fi
[ -n "$loader" ] || { echo "Wine for $bits-bit programs is not installed (package $package)"; exit 1; }
[ "$bits" = 32 ] || export WINELOADER=$loader
if ! "$compiler" -o "$work/probe.exe" "$(dirname "$0")/wine_probe.c" 2>"$work/cc.err"; then
  echo "the $bits-bit probe did not cross-build: $(tail -n 1 "$work/cc.err")"
  exit 1
fi
out=$(timeout "$run_seconds" "$loader" "$work/probe.exe" 2>"$work/wine.err")
status=$?
# A Windows console program ends its lines with CR LF.
[ "${out%$'\r'}" = "zcv-wine-probe-ok" ] && exit 0
if [ "$status" -eq 124 ]; then
  echo "a $bits-bit probe did not finish under Wine within ${run_seconds} s"
else
  reason=$(grep -v '^[[:space:]]*$' "$work/wine.err" | tail -n 1)
  echo "a $bits-bit probe does not run under Wine (exit $status${reason:+: $reason}; package $package)"
fi
exit 1
