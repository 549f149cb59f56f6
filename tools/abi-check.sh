#!/usr/bin/env bash
# Fails when the built library changes a recorded ABI: that of release 1.0.0
# (the C++ functions and Java natives of ZEPHYRCOILVAULT_1.0) or of release
# 1.1.0 (the C interface of ZEPHYRCOILVAULT_1.1), each written once by abidw
# from that release's library (abi/libzephyrcoilvault-<version>.abi): a
# removed or changed function, or a changed type of the public headers.
# Functions added since are allowed.
# Usage: abi-check.sh LIBRARY
set -euo pipefail
cd "$(dirname "$0")/.."

library=$1
command -v abidiff >/dev/null || { echo "abi-check: abidiff missing; run tools/install-deps.sh" >&2; exit 2; }
for version in 1.0.0 1.1.0; do
  status=0
  abidiff --no-added-syms --headers-dir2 include --drop-private-types --exported-interfaces-only \
    "abi/libzephyrcoilvault-$version.abi" "$library" || status=$?
  if [ "$status" -ne 0 ]; then
    echo "abi-check: $library changes the ABI of $version (abidiff status $status)" >&2
    exit 1
  fi
  echo "abi-check: the $version ABI of $library is unchanged"
done
