#!/usr/bin/env bash
# Prints each test that the last ctest run in <build dir> skipped, with the
# reason GoogleTest gave (the line after "Skipped"), one line each:
#   ctest-skips.sh <build dir> [<label for the lines>]
set -euo pipefail

log="$1/Testing/Temporary/LastTest.log"
label=${2:-ctest}
[ -f "$log" ] || exit 0
awk -v label="$label" '
  /^[0-9]+\/[0-9]+ Test: / { name = $0; sub(/^[0-9]+\/[0-9]+ Test: /, "", name); reason = ""; next }
  /^[^ ].*: Skipped$/ { getline reason; next }
  /^Skip regular expression found in output/ {
    printf "%s: SKIPPED %s: %s\n", label, name, reason == "" ? "(no reason given)" : reason
  }
' "$log"
