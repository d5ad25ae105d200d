#!/usr/bin/env bash
# Sets up and builds both targets: build/i686 (the shipped 32-bit programs)
# and build/x86_64 (the same code, with the tests run under Wine).
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
DEPS=$(bash "$ROOT/scripts/setup.sh" | tail -n1)
BUILD="${MAVRO_BUILD:-$ROOT/build}"
# Compiled objects are cached beside the dependencies, shared by every checkout
# (paths below the checkout are hashed relative to it), so a second build of
# the same sources compiles little.
LAUNCHER=()
export CCACHE_DIR="${CCACHE_DIR:-${MAVRO_CACHE:-/var/cache/mavro}/ccache}"
# A CI machine builds once: a cache it starts would only double the disk used.
if command -v ccache >/dev/null && { [ "${CI:-}" != true ] || [ -d "$CCACHE_DIR" ]; }; then
  export CCACHE_BASEDIR="$ROOT" CCACHE_NOHASHDIR=1 CCACHE_MAXSIZE="${CCACHE_MAXSIZE:-8G}"
  LAUNCHER=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
# MAVRO_TARGETS narrows a developer's build to one target.
for t in ${MAVRO_TARGETS:-x86_64-w64-mingw32 i686-w64-mingw32}; do
  arch=${t%%-*}
  tests=ON
  [ "$arch" = i686 ] && tests=OFF
  echo "[build] $t in $BUILD/$arch"
  cmake -S "$ROOT" -B "$BUILD/$arch" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain.cmake" \
    -DMAVRO_TRIPLE=$t -DMAVRO_DEPS="$DEPS/$t" -DMAVRO_TESTS=$tests -DMAVRO_BENCH=$tests "${LAUNCHER[@]}" >/dev/null
  cmake --build "$BUILD/$arch" -j"${MAVRO_JOBS:-$(nproc)}"
done
