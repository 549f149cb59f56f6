#!/usr/bin/env bash
# The Wine side of one end-to-end stage, set up once for all its cases (a
# CTest fixture) and taken down after them:
#   wine-stage.sh setup <32|64> <cross build> <prefix> <stage>
#   wine-stage.sh cleanup <32|64> <prefix> <stage>
# <stage> gets programs/ (the DLL and the host programs), logs/ (drive d:),
# prefix (a link to the Wine prefix) and loader (the Wine loader's path).
# The prefix is the one the stage's unit tests ran in, or a new one.
set -euo pipefail

action=$1 bits=$2
case "$bits" in
  32) loader=$(command -v wine) ;;
  64) loader=$(command -v wine64 || echo /usr/lib/wine/wine64) ;;
  *) echo "wine-stage: bits must be 32 or 64" >&2; exit 2 ;;
esac
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# The 64-bit loader run by itself is also the loader Wine starts again.
[ "$bits" = 32 ] || export WINELOADER=$loader

case "$action" in
  setup)
    build=$3 prefix=$4 stage=$5
    export WINEPREFIX=$prefix
    rm -rf "$stage"
    mkdir -p "$stage/programs" "$stage/logs" "$prefix"
    cp "$build/zephyrcoilvault.dll" "$build"/zcv_*_host_*.exe \
      "$build/tests/windows/zcv_win_host.exe" "$stage/programs/"
    ln -s "$prefix" "$stage/prefix"
    echo "$loader" >"$stage/loader"
    # One server for the whole stage, started here in this network
    # namespace: Wine makes its sockets there, whichever namespace a
    # program runs in.
    wineserver -p </dev/null >/dev/null 2>&1
    timeout 240 "$loader" wineboot -i </dev/null >/dev/null 2>&1
    ln -sfn "$stage/logs" "$prefix/dosdevices/d:"
    ;;
  cleanup)
    prefix=$3 stage=$4
    WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
    rm -f "$prefix/dosdevices/d:" "$prefix/drive_c/cfgfile.ini" "$prefix/drive_c/ca.pem"
    rm -rf "$stage"
    ;;
  *) echo "wine-stage: unknown action $action" >&2; exit 2 ;;
esac
