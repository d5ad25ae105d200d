#!/usr/bin/env bash
# Builds and runs the benchmarks (64-bit build, under Wine). Each prints its
# measurements as ratios against a reference measured in the same run.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${MAVRO_BUILD:-$ROOT/build}"
# shellcheck source=winenv.sh
source "$ROOT/scripts/winenv.sh"
mavro_build_and_start "$ROOT" "$BUILD"
for b in "$BUILD"/x86_64/bench/bench_*.exe; do
  [ -e "$b" ] || continue
  name=$(basename "$b" .exe)
  if [ $# -gt 0 ] && ! printf '%s\n' "$@" | grep -qx "$name"; then continue; fi
  echo "== $name"
  "$ROOT/cmake/wine-run.sh" "$b"
done
