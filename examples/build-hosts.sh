#!/usr/bin/env bash
# Builds the three example hosts (CMake package, pkg-config, and the C
# host through pkg-config) against an installed library alone and runs
# their checks; the programs are left in <out>/cmake/host,
# <out>/pkg-config/host and <out>/c/host. The C host runs against two
# simulators (zcvsim, from the same installation) on loopback.
#   examples/build-hosts.sh <out> [<staging root>]
# With a staging root (a DESTDIR install), only that tree is searched;
# without one, the library installed on this machine.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
out=$(mkdir -p "$1" && cd "$1" && pwd)
stage=${2:-}
rm -rf "$out/cmake" "$out/pkg-config" "$out/c" "$out/sims"

cmake_args=()
sim=$(command -v zcvsim || true)
if [ -n "$stage" ]; then
  sim=$(find "$stage" -name zcvsim -type f -print -quit)
  stage=$(cd "$stage" && pwd)
  pc=$(find "$stage" -name zephyrcoilvault.pc -print -quit)
  [ -n "$pc" ] || { echo "build-hosts: no zephyrcoilvault.pc under $stage" >&2; exit 1; }
  prefix=$(cd "$(dirname "$(find "$stage" -name zephyrcoilvaultConfig.cmake -print -quit)")/../../.." && pwd)
  export PKG_CONFIG_LIBDIR=$(dirname "$pc") PKG_CONFIG_SYSROOT_DIR=$stage PKG_CONFIG_PATH=
  export LD_LIBRARY_PATH=$(dirname "$(find "$stage" -name 'libzephyrcoilvault.so.*' -print -quit)")
  # Only the staged tree: no system or user package registries.
  cmake_args=(-DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_FIND_USE_CMAKE_SYSTEM_PATH=OFF
    -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF)
fi

cmake -S "$here/cmake" -B "$out/cmake" "${cmake_args[@]}" >"$out/cmake.log" ||
  { cat "$out/cmake.log" >&2; exit 1; }
grep 'zephyrcoilvault [0-9]' "$out/cmake.log"
cmake --build "$out/cmake" >>"$out/cmake.log" || { cat "$out/cmake.log" >&2; exit 1; }
make --no-print-directory -C "$here/pkg-config" BUILD="$out/pkg-config"
make --no-print-directory -C "$here/c" BUILD="$out/c"

for host in "$out/cmake/host" "$out/pkg-config/host"; do
  printf '%s --check: ' "$host"
  "$host" --check
done

# The C host: two simulators, each with a card the other does not know,
# and a configuration file for each.
[ -n "$sim" ] || { echo "build-hosts: no zcvsim installed" >&2; exit 1; }
sims="$out/sims"
mkdir -p "$sims"
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done' EXIT
for name in a b; do
  card=$([ "$name" = a ] && echo 1001 || echo 2002)
  "$sim" add-card --db "$sims/$name.db" --card "$card" --service-no "SN$card" >/dev/null
  "$sim" serve --db "$sims/$name.db" --port 0 --port-file "$sims/$name.port" --max-seconds 60 \
    >"$sims/$name.out" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do [ -s "$sims/$name.port" ] && break; sleep 0.05; done
  [ -s "$sims/$name.port" ] || { echo "build-hosts: simulator $name did not start" >&2; exit 1; }
  printf '[ServerSet]\nServerNumber=1\nServerIP0=127.0.0.1\nServerPort0=%s\n' \
    "$(cat "$sims/$name.port")" >"$sims/$name.ini"
done
echo "$out/c/host:"
"$out/c/host" "$sims/a.ini" "$sims/b.ini" 1001 2002
