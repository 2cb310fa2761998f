#!/usr/bin/env bash
# Whole program: the command-line switches of Chronobel.exe. The quick sync,
# the service entry outside the service manager and the service removal end
# the program with code 0 without a window, also behind a silent start; the
# silent start alone does not show the window (minimised, or hidden without
# a tray icon).
#   switches_win32.sh WIN32_BUILD SCREENSHOT_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
source "$(dirname "$0")/lib.sh"

e2e_prepare "$build"
e2e_start_display

for switches in "/q" "-X" "/z" "/s /Q"; do
  # shellcheck disable=SC2086  # the switches are separate arguments
  e2e_start_program $switches
  e2e_wait_for_exit 300
  [ "$e2e_exit_code" -eq 0 ] || e2e_fail "'$switches' ended with code $e2e_exit_code"
  e2e_probe_run wait 0 >/dev/null && e2e_fail "'$switches' left a window"
  e2e_note "'$switches' ended with code 0 and no window"
done

e2e_start_program /s
e2e_probe_run wait 900 >/dev/null || e2e_fail "no window after /s"
state=$(e2e_probe_run state | tr -d '\r')
case "$state" in minimised | hidden) ;; *) e2e_fail "after /s the window is $state" ;; esac
e2e_probe_run close
e2e_wait_for_exit 120
[ "$e2e_exit_code" -eq 0 ] || e2e_fail "the silent start ended with code $e2e_exit_code"
e2e_note "'/s' started $state and ended cleanly"
