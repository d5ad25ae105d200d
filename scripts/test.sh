#!/usr/bin/env bash
# Sets up, builds both targets and runs every test of the x86_64 build under
# Wine. Extra arguments go to ctest (for example -R Trace).
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${MAVRO_BUILD:-$ROOT/build}"
bash "$ROOT/scripts/build.sh"
bash "$ROOT/scripts/check-format.sh"
# shellcheck source=winenv.sh
source "$ROOT/scripts/winenv.sh"
mavro_wine_prefix "$BUILD/x86_64/wineprefix"
mavro_wine_start
cd "$BUILD/x86_64"
ctest --output-on-failure -j"${MAVRO_JOBS:-$(nproc)}" --timeout 300 "$@"
