#!/usr/bin/env bash
# Builds the two example hosts (CMake package, pkg-config) against an
# installed library alone and runs their check; the programs are left in
# <out>/cmake/host and <out>/pkg-config/host.
#   examples/build-hosts.sh <out> [<staging root>]
# With a staging root (a DESTDIR install), only that tree is searched;
# without one, the library installed on this machine.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
out=$(mkdir -p "$1" && cd "$1" && pwd)
stage=${2:-}
rm -rf "$out/cmake" "$out/pkg-config"

cmake_args=()
if [ -n "$stage" ]; then
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

for host in "$out/cmake/host" "$out/pkg-config/host"; do
  printf '%s --check: ' "$host"
  "$host" --check
done
