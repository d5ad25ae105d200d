#!/usr/bin/env bash
# Wine environment for unattended runs, sourced by the other scripts:
#   mavro_wine_prefix DIR   makes (once) a private prefix with the project's settings
#   mavro_wine_start        starts Xvfb and a kept-alive wineserver; stopped on exit
mavro_wine_prefix() {
  local prefix="$1"
  export MAVRO_WINEPREFIX="$prefix" WINEPREFIX="$prefix" WINEARCH=win64 WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  [ -f "$prefix/.mavro-ready" ] && return 0
  # Every prefix of a build is a copy of one untouched template: Wine's own
  # libraries (most of a prefix's size) are shared as hard links, the rest
  # (registry, user folders) is copied, so each prefix still stands alone.
  local template
  template="$(dirname "$prefix")/winetemplate"
  (
    flock 8
    [ -f "$template/.mavro-ready" ] || mavro_wine_template "$template"
  ) 8>"$template.lock"
  echo "[wine] making the Wine prefix $prefix"
  rm -rf "$prefix"
  mkdir -p "$prefix"
  local sys="drive_c/windows/system32"
  tar -C "$template" --exclude="./$sys" --exclude=./.mavro-ready -cf - . | tar -C "$prefix" -xf -
  cp -al "$template/$sys" "$prefix/$sys"
  touch "$prefix/.mavro-ready"
}

# The prefix every other is copied from; never run in.
mavro_wine_template() {
  local prefix="$1"
  echo "[wine] making the Wine template $prefix (first run only, about a minute)"
  rm -rf "$prefix"
  mkdir -p "$(dirname "$prefix")"
  WINEPREFIX="$prefix" wine wineboot -i >/dev/null 2>&1 || true
  WINEPREFIX="$prefix" wineserver -w
  local reg="$prefix/mavro.reg"
  cat >"$reg" <<'REG'
REGEDIT4

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\AeDebug]
"Debugger"=""
"Auto"="1"

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"Tahoma"="WenQuanYi Micro Hei"
"SimSun"="WenQuanYi Micro Hei"
"宋体"="WenQuanYi Micro Hei"
REG
  WINEPREFIX="$prefix" wine regedit /S "$reg" >/dev/null 2>&1 || true
  WINEPREFIX="$prefix" wineserver -w
  mkdir -p "$prefix/drive_c/windows/Fonts"
  cp /usr/share/wine/fonts/* "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true
  touch "$prefix/.mavro-ready"
}

mavro_wine_start() {
  local fifo dispfile
  dispfile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$dispfile" >/dev/null 2>&1 &
  MAVRO_XVFB_PID=$!
  for _ in $(seq 1 100); do
    [ -s "$dispfile" ] && break
    sleep 0.1
  done
  export DISPLAY=":$(head -n1 "$dispfile")"
  rm -f "$dispfile"
  # A sound device that swallows everything, so media play to completion.
  MAVRO_ALSA_CONF=$(mktemp)
  printf 'pcm.!default { type null }\nctl.!default { type hw card 0 }\n' >"$MAVRO_ALSA_CONF"
  export ALSA_CONFIG_PATH="/usr/share/alsa/alsa.conf:$MAVRO_ALSA_CONF"
  wineserver -p
  # Start Wine's own services now, detached from any caller's pipes: started
  # by a test they would hold its output open and the test would never end.
  wine wineboot -u </dev/null >/dev/null 2>&1 || true
  trap mavro_wine_stop EXIT
}

mavro_wine_stop() {
  wineserver -k >/dev/null 2>&1 || true
  # The setup tests' own prefix beside it has a server of its own.
  local setup
  setup="$(dirname "${MAVRO_WINEPREFIX:-/nonexistent/x}")/setupprefix"
  if [ -d "$setup" ]; then WINEPREFIX="$setup" wineserver -k >/dev/null 2>&1 || true; fi
  [ -n "${MAVRO_XVFB_PID:-}" ] && kill "$MAVRO_XVFB_PID" >/dev/null 2>&1 || true
  [ -n "${MAVRO_ALSA_CONF:-}" ] && rm -f "$MAVRO_ALSA_CONF"
  return 0
}

# Builds both targets, makes the prefix of the 64-bit build and starts Wine.
mavro_build_and_start() {
  local root="$1" build="$2"
  bash "$root/scripts/build.sh"
  mavro_wine_prefix "$build/x86_64/wineprefix"
  echo "[wine] starting a virtual display and Wine"
  mavro_wine_start
}
