#!/usr/bin/env bash
# Runs a cross-built Windows program under 32-bit Wine (the emulator of the
# Windows build's tests). The prefix is $WINEPREFIX; one that has not been
# set up yet is set up first, once, however many tests start together.
set -euo pipefail

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
  [ -f "$WINEPREFIX/system.reg" ] || wineboot -i >/dev/null 2>&1
) 9>"$WINEPREFIX.lock"

exec wine "$@"
