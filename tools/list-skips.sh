#!/usr/bin/env bash
# Lists the tests of the last ctest run in <build dir> that were skipped,
# each with the reason it printed: the "SKIPPED: ..." line of a placeholder
# for a missing tool, or the message of a GoogleTest skip. CTest's own
# summary names skipped tests without saying why; this puts the why in the
# log beside it.
#   list-skips.sh <build dir>
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: $0 <build dir>" >&2; exit 2; }
log=$1/Testing/Temporary/LastTest.log
[ -f "$log" ] || { echo "list-skips: no $log (ctest has not run there)" >&2; exit 2; }

awk '
  /^[0-9]+\/[0-9]+ Test: / { name = $0; sub(/^[0-9]+\/[0-9]+ Test: /, "", name); next }
  /^Output:$/ { inside = 1; gtest = 0; next }
  /^<end of output>$/ { inside = 0; next }
  !inside { next }
  gtest && /^\[  SKIPPED \] / {
    case = $0
    sub(/^\[  SKIPPED \] /, "", case)
    sub(/ \([0-9]+ ms\)$/, "", case)
    found[++count] = name (case == name ? "" : " (" case ")") ": " reason
    gtest = 0
    next
  }
  gtest { reason = reason (reason == "" ? "" : " ") $0; next }
  / Skipped$/ { gtest = 1; reason = ""; next }
  /^SKIPPED: / { found[++count] = name ": " substr($0, 10); next }
  END {
    if (count == 0) exit
    print "skipped, and why (" count "):"
    for (i = 1; i <= count; i++) print "  " found[i]
  }
' "$log"
