# Sourced by the scripts that run Wine. qm_wine_setup exports WINEPREFIX and
# DISPLAY, starting the virtual display and booting the prefix when needed.
# The display comes first: a prefix booted without one keeps windows hidden.

qm_wine_root() {
  local here
  here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
  local root=${QM_WINE_DIR:-$here/../build/wine}
  mkdir -p "$root" && (cd "$root" && pwd)
}

qm_display_alive() { xdpyinfo -display ":$1" >/dev/null 2>&1; }

qm_start_display() {
  local root=$1 n
  if [ -f "$root/display" ] && qm_display_alive "$(cat "$root/display")"; then
    return 0
  fi
  for n in $(seq 91 199); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    # 9>&- : the display outlives this call and must not hold the setup lock.
    setsid nohup Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >"$root/xvfb.log" 2>&1 </dev/null 9>&- &
    local i
    for i in $(seq 1 100); do
      if qm_display_alive "$n"; then
        echo "$n" >"$root/display"
        return 0
      fi
      sleep 0.1
    done
  done
  echo "wine-env: cannot start Xvfb" >&2
  return 1
}

qm_wine_setup() {
  local root
  root=$(qm_wine_root) || return 1
  export WINEPREFIX=$root/prefix
  export WINEARCH=win32
  export WINEDEBUG=${WINEDEBUG:--all}
  export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree=;mshtml=}
  (
    flock 9
    if [ "${QM_USE_DISPLAY:-0}" != 1 ] || [ -z "${DISPLAY:-}" ]; then
      qm_start_display "$root" || exit 1
    fi
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      [ "${QM_USE_DISPLAY:-0}" = 1 ] && [ -n "${DISPLAY:-}" ] || export DISPLAY=":$(cat "$root/display")"
      wineboot -i >/dev/null 2>&1
      wineserver -w
    fi
  ) 9>"$root/setup.lock" || return 1
  if [ "${QM_USE_DISPLAY:-0}" != 1 ] || [ -z "${DISPLAY:-}" ]; then
    export DISPLAY=":$(cat "$root/display")"
  fi
  export QM_WINE_ROOT=$root
}

# Ends the prefix's server and the virtual display of this build.
qm_wine_stop() {
  local root
  root=$(qm_wine_root) || return 0
  WINEPREFIX=$root/prefix wineserver -k 2>/dev/null || true
  if [ -f "$root/display" ]; then
    pkill -f "Xvfb :$(cat "$root/display") " 2>/dev/null || true
    rm -f "$root/display"
  fi
}
