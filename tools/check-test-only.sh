#!/usr/bin/env bash
# Fails when libzephyrcoilvault.so carries a function that nothing but the
# tests reaches. The library's sources, compiled without optimisation (no
# call vanishes into an inlined body) and with a section per function, are
# linked once more into a throw-away shared library with --gc-sections,
# rooted at the exported names of the version script and at every library
# function that the hosts linking the internal library call (zcvctl, the
# PAM module). A function that the linker drops as unreachable from those
# roots and that the shipped library defines (its symbol table, nm) is
# named, demangled; a name on the allow-list is reported but does not fail.
#
#   check-test-only.sh <arguments file> <allow-list> [--expect <name>]
#
# The arguments file (written by CMake) has one "<kind> <path>" a line:
# "linker", "version-script", "library" (the shipped shared library),
# "object" (the library's, as compiled for the check), "host" (objects or
# archives of the hosts) and "planted" (an object linked with the library's
# whose functions count as shipped). With --expect the run checks itself:
# it passes only when <name> is among the functions it would fail on.
set -euo pipefail
export LC_ALL=C

usage() {
  echo "usage: $0 <arguments file> <allow-list> [--expect <qualified name>]" >&2
  exit 2
}
[ $# -eq 2 ] || [ $# -eq 4 ] || usage
args_file=$1
allow_file=$2
expect=""
if [ $# -eq 4 ]; then
  [ "$3" = "--expect" ] || usage
  expect=$4
fi
for tool in nm c++filt readelf; do
  command -v "$tool" >/dev/null || { echo "check-test-only: $tool not found (binutils)" >&2; exit 2; }
done
[ -f "$args_file" ] || { echo "check-test-only: no arguments file $args_file" >&2; exit 2; }
[ -f "$allow_file" ] || { echo "check-test-only: no allow-list $allow_file" >&2; exit 2; }

linker=""
version_script=""
library=""
objects=()
hosts=()
planted=()
while IFS=' ' read -r kind path; do
  case "$kind" in
    linker) linker=$path ;;
    version-script) version_script=$path ;;
    library) library=$path ;;
    object) objects+=("$path") ;;
    host) hosts+=("$path") ;;
    planted) planted+=("$path") ;;
    "") ;;
    *) echo "check-test-only: $args_file: unknown line kind '$kind'" >&2; exit 2 ;;
  esac
done <"$args_file"
if [ -z "$linker" ] || [ ! -f "$version_script" ] || [ -z "$library" ] || [ ${#objects[@]} -eq 0 ]; then
  echo "check-test-only: $args_file lacks the linker, version script, library or objects" >&2
  exit 2
fi
objects+=("${planted[@]}")
for file in "$library" "${objects[@]}" "${hosts[@]}"; do
  [ -f "$file" ] || { echo "check-test-only: $file is missing (build first)" >&2; exit 2; }
done

# Demangled, with compiler clones folded into their function.
demangle() {
  c++filt | sed -E 's/ \[clone [^]]*\]//g; s/\.(cold|part|isra|constprop|lto_priv)(\.[0-9]+)*$//' | sort -u
}

work=$(mktemp -d "${TMPDIR:-/tmp}/zcv-test-only-XXXXXX")
trap 'rm -rf "$work"' EXIT

# Without a section per function the linker can only keep or drop whole
# objects, and a test-only function beside a used one would pass unseen.
sectioned=0
for object in "${objects[@]}"; do
  if readelf -SW "$object" | grep -q ' \.text\.'; then sectioned=$((sectioned + 1)); fi
done
if [ "$sectioned" -eq 0 ]; then
  echo "check-test-only: the library's objects have no function sections (-ffunction-sections)" >&2
  exit 1
fi

# Roots beyond the exported names: what the hosts call that the library's
# objects define.
nm --defined-only --format=posix "${objects[@]}" 2>/dev/null | awk 'NF >= 2 && $2 ~ /^[TtWw]$/ { print $1 }' |
  sort -u >"$work/defined"
: >"$work/wanted"
if [ ${#hosts[@]} -gt 0 ]; then
  nm --undefined-only --format=posix "${hosts[@]}" 2>/dev/null | awk 'NF >= 2 && $2 == "U" { print $1 }' |
    sort -u >"$work/wanted"
fi
comm -12 "$work/defined" "$work/wanted" | sed 's/^/-Wl,--undefined=/' >"$work/roots"

# Unresolved references to other libraries (OpenSSL, pugixml, c-ares) are
# left open: only reachability inside the library's own objects matters.
# The shipped library's functions, from its symbol table: a stripped
# library cannot be judged.
nm --defined-only --format=posix "$library" 2>/dev/null | awk 'NF >= 2 && $2 ~ /^[TtWw]$/ { print $1 }' |
  demangle >"$work/shipped"
if [ ! -s "$work/shipped" ]; then
  echo "check-test-only: $library has no symbol table to read (stripped?)" >&2
  exit 1
fi
if [ ${#planted[@]} -gt 0 ]; then
  nm --defined-only --format=posix "${planted[@]}" | awk 'NF >= 2 && $2 ~ /^[TtWw]$/ { print $1 }' |
    demangle >>"$work/shipped"
  sort -u -o "$work/shipped" "$work/shipped"
fi

if ! "$linker" -shared -o "$work/reach.so" "${objects[@]}" "-Wl,--version-script=$version_script" \
  -Wl,--gc-sections -Wl,--print-gc-sections @"$work/roots" 2>"$work/gc"; then
  grep -v "removing unused section" "$work/gc" >&2 || true
  echo "check-test-only: the check link failed" >&2
  exit 1
fi

# "removing unused section '.text.<symbol>' in file '<object>'": dropped
# function sections. A function counts as unreachable only when no copy of
# it was kept (constructor and destructor variants share one name).
# A section of a COMDAT group (an inline function emitted by several
# objects) carries its group's name in brackets.
sed -n "s/.*removing unused section '\.text\.\([^']*\)' in file '.*/\1/p" "$work/gc" |
  sed -E 's/^(unlikely|hot|startup|exit)\.//; s/\[[^]]*\]$//' | demangle >"$work/removed"
nm --defined-only --format=posix "$work/reach.so" | awk 'NF >= 2 && $2 ~ /^[TtWw]$/ { print $1 }' |
  demangle >"$work/kept"

# Only functions that the shipped library defines count (an unused file-local
# function exists only in the unoptimised objects), and of those only the
# library's own (zcv::, zcv_, anonymous namespaces, file-local names), each
# as "<qualified name><TAB><signature>"; standard-library instantiations
# that only they used go with them.
comm -23 "$work/removed" "$work/kept" | comm -12 - "$work/shipped" | awk '{
    name = $0
    paren = index(name, "(")
    if (paren > 0) name = substr(name, 1, paren - 1)
    at = index(name, " zcv::")
    if (at > 0 && index(name, "zcv::") != 1) name = substr(name, at + 1)
    if (name ~ /^(zcv::|zcv_|\(anonymous namespace\)::)/ || name ~ /^[A-Za-z_][A-Za-z0-9_]*$/) {
      print name "\t" $0
    }
  }' | sort -u >"$work/unreachable_signatures"
cut -f1 "$work/unreachable_signatures" | sort -u >"$work/unreachable"

grep -v '^[[:space:]]*\(#\|$\)' "$allow_file" | sed 's/[[:space:]]*$//' | sort -u >"$work/allowed" || true

if [ -n "$expect" ]; then
  if grep -qxF "$expect" "$work/unreachable"; then
    echo "check-test-only: flags the planted $expect"
    exit 0
  fi
  echo "check-test-only: the planted $expect was not flagged; unreachable were:" >&2
  sed 's/^/  /' "$work/unreachable" >&2
  exit 1
fi

comm -23 "$work/unreachable" "$work/allowed" >"$work/failing"
comm -12 "$work/unreachable" "$work/allowed" >"$work/known"
comm -13 "$work/unreachable" "$work/allowed" >"$work/stale"
echo "check-test-only: $(wc -l <"$work/unreachable") unreachable from the exported names and the hosts"
if [ -s "$work/known" ]; then
  echo "on the allow-list ($allow_file), still to be removed:"
  sed 's/^/  /' "$work/known"
fi
if [ -s "$work/stale" ]; then
  echo "on the allow-list but no longer in the library (delete these lines):"
  sed 's/^/  /' "$work/stale"
fi
if [ -s "$work/failing" ]; then
  echo "FAILED: functions in the library that only tests reach (remove them, or move them into the tests):"
  awk -F '\t' 'NR == FNR { failing[$1] = 1; next } $1 in failing { print "  " $2 }' \
    "$work/failing" "$work/unreachable_signatures"
  exit 1
fi
if [ -s "$work/known" ]; then
  echo "passed: nothing for tests alone beyond the allow-list"
else
  echo "passed: nothing in the library exists for tests alone"
fi
