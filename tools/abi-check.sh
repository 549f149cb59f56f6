#!/usr/bin/env bash
# Fails when the built library changes the recorded ABI of release 1.0.0
# (abi/libzephyrcoilvault-1.0.0.abi, written once by abidw from the 1.0.0
# library): a removed or changed function of the first version node, or a
# changed pTokenBindInfo. Functions added since are allowed.
# Usage: abi-check.sh LIBRARY
set -euo pipefail
cd "$(dirname "$0")/.."

library=$1
command -v abidiff >/dev/null || { echo "abi-check: abidiff missing; run tools/install-deps.sh" >&2; exit 2; }
status=0
abidiff --no-added-syms --headers-dir2 include --drop-private-types --exported-interfaces-only \
  abi/libzephyrcoilvault-1.0.0.abi "$library" || status=$?
if [ "$status" -ne 0 ]; then
  echo "abi-check: $library changes the ABI of 1.0.0 (abidiff status $status)" >&2
  exit 1
fi
echo "abi-check: the 1.0.0 ABI of $library is unchanged"
