#!/usr/bin/env bash
# Fails when a tracked C/C++ file differs from what clang-format makes of it.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"
bad=0
while IFS= read -r f; do
  if ! clang-format --dry-run --Werror "$f" >/dev/null 2>&1; then
    echo "not formatted: $f (clang-format -i $f)" >&2
    bad=1
  fi
done < <(git ls-files '*.cpp' '*.h' '*.c')
exit $bad
