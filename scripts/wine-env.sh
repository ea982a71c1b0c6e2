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
  local root=$1 n pid i
  if [ -f "$root/display" ] && qm_display_alive "$(cat "$root/display")"; then
    qm_start_wm "$root" "$(cat "$root/display")"
    return
  fi
  for n in $(seq 91 199); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    # 9>&- : the display outlives this call and must not hold the setup lock.
    # -noreset: by default the server resets when its last client leaves, as
    # the look below does, and the window manager connecting in that moment
    # was refused ("can't open display").
    setsid nohup Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp -noreset >"$root/xvfb.log" 2>&1 </dev/null 9>&- &
    pid=$!
    for i in $(seq 1 100); do
      # Another build may have taken :n between the look and the start; then
      # our server is gone, or the lock names the other one.
      kill -0 "$pid" 2>/dev/null || break
      if qm_display_alive "$n" && [ "$(tr -d ' ' <"/tmp/.X$n-lock" 2>/dev/null)" = "$pid" ]; then
        echo "$n" >"$root/display"
        echo "$pid" >"$root/xvfb.pid"
        qm_start_wm "$root" "$n"
        return
      fi
      sleep 0.1
    done
  done
  echo "wine-env: cannot start Xvfb" >&2
  return 1
}

# A desktop has a window manager. Wine hands it none of its windows (see
# qm_wine_setup); without that, and without a window manager, Wine waited
# 2 s each time a top-level window was shown or hidden. QM_NO_WM=1 leaves
# the display bare (set it before the display is first started).
qm_start_wm() {
  local root=$1 n=$2 i
  [ "${QM_NO_WM:-0}" = 1 ] && return 0
  if [ -f "$root/wm.pid" ] && kill -0 "$(cat "$root/wm.pid")" 2>/dev/null; then
    return 0
  fi
  DISPLAY=":$n" setsid nohup evilwm -fn fixed >"$root/evilwm.log" 2>&1 </dev/null 9>&- &
  echo $! >"$root/wm.pid"
  # evilwm has taken the display once it owns the root window's redirect;
  # until then, windows mapped would not be managed.
  for i in $(seq 1 50); do
    kill -0 "$(cat "$root/wm.pid")" 2>/dev/null || break
    if DISPLAY=":$n" xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; then
      return 0
    fi
    sleep 0.1
  done
  kill -0 "$(cat "$root/wm.pid")" 2>/dev/null && return 0
  cat "$root/evilwm.log" >&2
  echo "wine-env: the window manager did not start" >&2
  return 1
}

# What every Wine run of the project has: the prefix of root, 32 bits, quiet.
qm_wine_exports() {
  export WINEPREFIX=$1/prefix
  export WINEARCH=win32
  export WINEDEBUG=${WINEDEBUG:--all}
  export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree=;mshtml=}
}

qm_wine_setup() {
  local root
  root=$(qm_wine_root) || return 1
  qm_wine_exports "$root"
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
    # On the virtual display Wine places, frames and captions its windows
    # itself, as Windows does, and never waits for a window manager to show
    # or hide one. Handed to evilwm, windows came without captions and where
    # the pointer was, not where the program put them. (On the user's own
    # display their window manager keeps them.)
    if { [ "${QM_USE_DISPLAY:-0}" != 1 ] || [ -z "${DISPLAY:-}" ]; } &&
      ! grep -q '^"Managed"="N"' "$WINEPREFIX/user.reg" 2>/dev/null; then
      export DISPLAY=":$(cat "$root/display")"
      wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
    fi
  ) 9>"$root/setup.lock" || return 1
  if [ "${QM_USE_DISPLAY:-0}" != 1 ] || [ -z "${DISPLAY:-}" ]; then
    export DISPLAY=":$(cat "$root/display")"
  fi
  export QM_WINE_ROOT=$root
}

# For programs that make no window (an unattended installation): exports
# what qm_wine_setup exports but no display, and boots the prefix without
# one (Wine needs a display only to make a window).
qm_wine_setup_headless() {
  local root
  root=$(qm_wine_root) || return 1
  qm_wine_exports "$root"
  unset DISPLAY
  (
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      wineboot -i >/dev/null 2>&1
      wineserver -w
    fi
  ) 9>"$root/setup.lock" || return 1
  export QM_WINE_ROOT=$root
}

# Starts the prefix's server anew. With QM_WINE_PERSIST=1 (make test) it
# then stays up between programs: left to itself it ends 3 s after the last
# one, and the next program waited 2.5 s for a new server and Wine's
# services, or did not start at all when it met the old one shutting down.
qm_restart_server() {
  wineserver -k 2>/dev/null
  wineserver -w
  [ "${QM_WINE_PERSIST:-0}" = 1 ] || return 0
  # Neither the server nor Wine's services, which the first program starts
  # and which live as long as it, may hold the caller's output: ctest would
  # wait for them to close it.
  wineserver -p >/dev/null 2>&1 </dev/null 9>&-
  wine cmd /c exit >/dev/null 2>&1 </dev/null 9>&-
}

# Ends the prefix's server and the virtual display of this build.
qm_wine_stop() {
  local root
  root=$(qm_wine_root) || return 0
  WINEPREFIX=$root/prefix wineserver -k 2>/dev/null || true
  if [ -f "$root/wm.pid" ]; then
    kill "$(cat "$root/wm.pid")" 2>/dev/null || true
    rm -f "$root/wm.pid"
  fi
  if [ -f "$root/display" ]; then
    # The server this build started, by its id, while the display's lock
    # still names it: once it is gone the number may serve another build.
    # (A display started before its id was kept: the server its lock names.)
    local pid lock
    lock=$(tr -d ' ' <"/tmp/.X$(cat "$root/display")-lock" 2>/dev/null || true)
    pid=$(cat "$root/xvfb.pid" 2>/dev/null || echo "$lock")
    if [ -n "$pid" ] && [ "$lock" = "$pid" ]; then
      kill "$pid" 2>/dev/null || true
    fi
    rm -f "$root/display" "$root/xvfb.pid"
  fi
}
