#!/usr/bin/env bash
# Checks every C++ file under version control against the project's
# .clang-format without changing it: names each file that differs and fails
# when there is one. `clang-format -i <file>` makes a named file conform.
set -euo pipefail
cd "$(dirname "$0")/.."

format=${CLANG_FORMAT:-clang-format}
if ! command -v "$format" >/dev/null; then
  echo "lint: $format not found (tools/install-deps.sh installs it)" >&2
  exit 2
fi

# One clang-format run over all files; each difference is reported as
# "<file>:<line>:<column>: error: code should be clang-formatted".
status=0
report=$(git ls-files -z -- '*.cpp' '*.cc' '*.h' '*.hpp' |
  xargs -0 "$format" --dry-run --Werror 2>&1) || status=$?
differing=$(echo "$report" |
  sed -n 's/^\(.*\):[0-9]*:[0-9]*: error: code should be clang-formatted.*/\1/p' | sort -u)

if [ -n "$differing" ]; then
  echo "$differing"
  echo "lint: $(echo "$differing" | wc -l) file(s) differ from .clang-format" >&2
  exit 1
fi
if [ "$status" -ne 0 ]; then
  echo "$report" >&2
  echo "lint: $format failed" >&2
  exit 1
fi
