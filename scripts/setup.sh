#!/usr/bin/env bash
# Installs what the build needs on a fresh Debian 12 machine (as root) and
# cross-builds the static dependency libraries for both Windows targets into a
# cache keyed by this script's hash, so a second run takes seconds.
#
# Prints the dependency prefix root on its last line.
set -euo pipefail

HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
CACHE="${MAVRO_CACHE:-/var/cache/mavro}"
TRIPLES="${MAVRO_TRIPLES:-x86_64-w64-mingw32 i686-w64-mingw32}"
JOBS="$(nproc)"

PACKAGES=(
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix
  mingw-w64-tools libwine-dev wine wine64 xvfb x11-apps xauth imagemagick
  fonts-wqy-microhei libgl1-mesa-dri libasound2-plugins
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good
  cmake ninja-build nasm tcl dpkg-dev googletest make clang-format locales ccache
)

log() { printf '[setup] %s\n' "$*" >&2; }
# Inside build_for stderr goes to a log; progress lines still reach the console.
logc() { printf '[setup] %s\n' "$*" >&3; }

install_packages() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if [ ${#missing[@]} -eq 0 ]; then
    log "packages present"
    return
  fi
  log "installing: ${missing[*]}"
  # The i386 index of the archive can be out of step: update may exit 100.
  apt-get update >/dev/null 2>&1 || true
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}" >/dev/null
}

# Wine takes the character set of command lines and file names from the Unix
# locale: without zh_CN.UTF-8 a Chinese path reaches the player mangled.
generate_locales() {
  if locale -a 2>/dev/null | grep -qix 'zh_CN\.utf8'; then
    return
  fi
  log "generating locale zh_CN.UTF-8"
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null ||
    echo 'zh_CN.UTF-8 UTF-8' >>/etc/locale.gen
  localedef -i zh_CN -f UTF-8 zh_CN.UTF-8
}

add_deb_src() {
  local f=/etc/apt/sources.list.d/mavro-deb-src.sources
  [ -f "$f" ] && return
  cat >"$f" <<'EOF'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
  apt-get update >/dev/null 2>&1 || true
}

# Unpacks a Debian source package (with Debian's patches) under $SRC.
fetch_source() {
  local pkg="$1" dir
  dir=$(find "$SRC" -maxdepth 1 -mindepth 1 -type d -name "${2:-$pkg}-*" | head -n1)
  if [ -n "$dir" ]; then echo "$dir"; return; fi
  (cd "$SRC" && apt-get source --download-only "$pkg" >/dev/null 2>&1) || true
  local dsc
  dsc=$(ls "$SRC"/${pkg}_*.dsc 2>/dev/null | head -n1 || true)
  if [ -n "$dsc" ] && (cd "$SRC" && dpkg-source -x "$dsc" >/dev/null 2>&1); then
    :
  else
    # Some packages ship only their orig tarball usefully (pixman).
    local orig
    orig=$(ls "$SRC"/${pkg}_*.orig.tar.* 2>/dev/null | head -n1 || true)
    [ -n "$orig" ] || { log "cannot fetch source of $pkg"; return 1; }
    (cd "$SRC" && tar xf "$orig")
  fi
  find "$SRC" -maxdepth 1 -mindepth 1 -type d -name "${2:-$pkg}-*" | head -n1
}

toolchain_args() {
  local t="$1" p="$2"
  echo "-DCMAKE_SYSTEM_NAME=Windows -DCMAKE_C_COMPILER=$t-gcc-posix -DCMAKE_CXX_COMPILER=$t-g++-posix \
-DCMAKE_RC_COMPILER=$t-windres -DCMAKE_FIND_ROOT_PATH=/usr/$t;$p \
-DCMAKE_FIND_ROOT_PATH_MODE_PROGRAM=NEVER -DCMAKE_FIND_ROOT_PATH_MODE_LIBRARY=ONLY \
-DCMAKE_FIND_ROOT_PATH_MODE_INCLUDE=ONLY -DCMAKE_FIND_ROOT_PATH_MODE_PACKAGE=ONLY \
-DCMAKE_INSTALL_PREFIX=$p -DCMAKE_BUILD_TYPE=Release -DCMAKE_POSITION_INDEPENDENT_CODE=OFF"
}

build_for() {
  local t="$1" p="$2" b="$3"
  local proc=x86_64; [ "$t" = i686-w64-mingw32 ] && proc=x86
  mkdir -p "$p" "$b"
  # Compiler chatter of third-party code goes to a log, not the console.
  exec 3>&2 2>>"$b/../build-$(basename "$b").log"

  logc "$t: zlib"
  local z; z=$(fetch_source zlib)
  rm -rf "$b/zlib" && cp -a "$z" "$b/zlib"
  (cd "$b/zlib" && CHOST=$t CC=$t-gcc-posix AR=$t-ar RANLIB=$t-ranlib CFLAGS="-O2" \
     ./configure --static --prefix="$p" >/dev/null && make -j"$JOBS" libz.a >/dev/null &&
   make install >/dev/null 2>&1 || { cp libz.a "$p/lib/" 2>/dev/null; true; })
  mkdir -p "$p/lib" "$p/include"
  [ -f "$p/lib/libz.a" ] || cp "$b/zlib/libz.a" "$p/lib/"
  cp "$b/zlib/zlib.h" "$b/zlib/zconf.h" "$p/include/"

  logc "$t: libpng"
  local png; png=$(fetch_source libpng1.6 libpng1.6)
  # shellcheck disable=SC2046
  cmake -S "$png" -B "$b/png" -G Ninja $(toolchain_args "$t" "$p") -DPNG_SHARED=OFF -DPNG_STATIC=ON \
    -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF -Dld-version-script=OFF -DZLIB_ROOT="$p" \
    -DZLIB_LIBRARY="$p/lib/libz.a" -DZLIB_INCLUDE_DIR="$p/include" >/dev/null
  cmake --build "$b/png" -j"$JOBS" >/dev/null && cmake --install "$b/png" >/dev/null

  logc "$t: libjpeg-turbo"
  local jpg; jpg=$(fetch_source libjpeg-turbo)
  # shellcheck disable=SC2046
  cmake -S "$jpg" -B "$b/jpeg" -G Ninja $(toolchain_args "$t" "$p") -DCMAKE_SYSTEM_PROCESSOR=$proc \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF >/dev/null
  cmake --build "$b/jpeg" -j"$JOBS" >/dev/null && cmake --install "$b/jpeg" >/dev/null

  logc "$t: tiff"
  local tif; tif=$(fetch_source tiff)
  # shellcheck disable=SC2046
  cmake -S "$tif" -B "$b/tiff" -G Ninja $(toolchain_args "$t" "$p") -DBUILD_SHARED_LIBS=OFF \
    -Dtiff-tools=OFF -Dtiff-tests=OFF -Dtiff-contrib=OFF -Dtiff-docs=OFF -Dcxx=OFF \
    -Dzlib=ON -Djpeg=ON -Dold-jpeg=OFF -Djbig=OFF -Dlerc=OFF -Dlzma=OFF -Dzstd=OFF -Dwebp=OFF \
    -Dlibdeflate=OFF -Dpixarlog=OFF -Djpeg12=OFF \
    -DZLIB_LIBRARY="$p/lib/libz.a" -DZLIB_INCLUDE_DIR="$p/include" \
    -DJPEG_LIBRARY="$p/lib/libjpeg.a" -DJPEG_INCLUDE_DIR="$p/include" >/dev/null
  cmake --build "$b/tiff" -j"$JOBS" >/dev/null && cmake --install "$b/tiff" >/dev/null

  logc "$t: googletest"
  # shellcheck disable=SC2046
  cmake -S /usr/src/googletest -B "$b/gtest" -G Ninja $(toolchain_args "$t" "$p") \
    -Dgtest_disable_pthreads=ON -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON >/dev/null
  cmake --build "$b/gtest" -j"$JOBS" >/dev/null && cmake --install "$b/gtest" >/dev/null

  logc "$t: pixman (benchmarks only)"
  local pix; pix=$(fetch_source pixman)
  rm -rf "$b/pixman" && cp -a "$pix" "$b/pixman"
  (cd "$b/pixman" && ./configure --host=$t CC=$t-gcc-posix --enable-static --disable-shared \
     --disable-gtk --disable-libpng --disable-openmp --prefix="$p" >/dev/null &&
   make -j"$JOBS" -C pixman >/dev/null && make -C pixman install >/dev/null)

  logc "$t: sqlite amalgamation"
  local sq; sq=$(fetch_source sqlite3)
  rm -rf "$b/sqlite" && cp -a "$sq" "$b/sqlite"
  (cd "$b/sqlite" && ./configure --disable-tcl >/dev/null && make sqlite3.c >/dev/null &&
   $t-gcc-posix -O2 -c sqlite3.c -o sqlite3.o -DSQLITE_THREADSAFE=1 -DSQLITE_OMIT_LOAD_EXTENSION \
     -DSQLITE_ENABLE_COLUMN_METADATA -DSQLITE_DQS=0 -DSQLITE_MAX_ATTACHED=125 &&
   $t-ar rcs "$p/lib/libsqlite3.a" sqlite3.o && cp sqlite3.h "$p/include/")
  exec 2>&3 3>&-
}

main() {
  mkdir -p "$CACHE"
  # One setup at a time: parallel builds (several checkouts) share the cache.
  exec 9>"$CACHE/.lock"
  if ! flock -n 9; then
    log "waiting for another setup to finish"
    flock 9
  fi
  install_packages
  generate_locales
  add_deb_src
  local key
  # Keyed by the build steps only, so edits elsewhere keep the cache.
  key=$( { declare -f build_for fetch_source toolchain_args; echo "$TRIPLES"; } | sha256sum | cut -c1-16)
  local root="$CACHE/deps-$key"
  if [ -f "$root/.complete" ]; then
    log "dependencies cached in $root"
    echo "$root"
    return
  fi
  SRC="$CACHE/src"
  mkdir -p "$SRC"
  for t in $TRIPLES; do
    build_for "$t" "$root/$t" "$CACHE/build-$key/$t"
  done
  rm -rf "$CACHE/build-$key"
  touch "$root/.complete"
  log "dependencies built in $root"
  echo "$root"
}

main "$@"
