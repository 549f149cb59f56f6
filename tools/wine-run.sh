#!/usr/bin/env bash
# Runs a cross-built Windows program under Wine (the emulator of the Windows
# builds' tests): wine-run.sh <32|64> <program> [arguments...]. 64 runs the
# 64-bit loader itself, which needs no 32-bit part of Wine. The prefix is
# $WINEPREFIX; one that has not been set up yet is set up first, once,
# however many tests start together.
set -euo pipefail

bits=${1:-}
shift || true
case "$bits" in
  32) loader=wine ;;
  64) loader=$(command -v wine64 || echo /usr/lib/wine/wine64) ;;
  *) echo "wine-run: usage: wine-run.sh <32|64> <program> [arguments...]" >&2; exit 2 ;;
esac
if [ -z "${WINEPREFIX:-}" ]; then
  echo "wine-run: set WINEPREFIX to the Wine prefix to run in (make test-windows does)" >&2
  exit 2
fi
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"  # no Mono or Gecko prompts

mkdir -p "$(dirname "$WINEPREFIX")"
(
  flock 9
  [ -f "$WINEPREFIX/system.reg" ] || WINELOADER=$loader "$loader" wineboot -i >/dev/null 2>&1
) 9>"$WINEPREFIX.lock"

exec "$loader" "$@"
