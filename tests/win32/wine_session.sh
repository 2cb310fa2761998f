#!/usr/bin/env bash
# Starts or stops the Wine session that the tests of a Windows build tree
# share: its server stays up between tests, so that Wine boots once.
#   wine_session.sh start|stop WIN32_BUILD
# Its processes keep no test's output open, or CTest would wait for them.
set -euo pipefail
action=$1
# shellcheck source=../../tools/wine-env.sh
source "$(dirname "${BASH_SOURCE[0]}")/../../tools/wine-env.sh" "$2"
session_display="$WINEPREFIX/../wine-session.display"
session_xvfb="$WINEPREFIX/../wine-session.xvfb"
case "$action" in
  start)
    # Every process of the session gets a display, so that Wine's desktop
    # process, started by whichever test needs it first, can draw; started
    # without one it could not, and no later window would open.
    for n in $(seq 200 260); do
      [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
      setsid Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
      echo $! >"$session_xvfb"
      for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
      if [ -e "/tmp/.X11-unix/X$n" ]; then echo ":$n" >"$session_display"; break; fi
    done
    [ -f "$session_display" ] && export DISPLAY=$(cat "$session_display")
    wineserver -p </dev/null >/dev/null 2>&1
    wine wineboot </dev/null >/dev/null 2>&1
    # Wine starts the automatic services with its server: a service
    # "Chronobel" left behind by a test that was killed would run now, on
    # the real ports. It is stopped and deleted before any test starts.
    service_probe="$2/tests/win32/service_probe.exe"
    if [ -f "$service_probe" ]; then wine "$service_probe" cleanup Chronobel </dev/null >/dev/null 2>&1 || true; fi
    ;;
  stop)
    wineserver -k </dev/null >/dev/null 2>&1 || true
    [ -f "$session_xvfb" ] && kill "$(cat "$session_xvfb")" 2>/dev/null || true
    rm -f "$session_display" "$session_xvfb"
    ;;
  *) echo "usage: wine_session.sh start|stop WIN32_BUILD" >&2; exit 2 ;;
esac
