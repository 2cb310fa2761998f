#!/usr/bin/env bash
# Whole program: the time-zone and the About dialog as the program opens
# them, on a private X display and in the zone of Berlin. Each is saved as a
# screenshot; the Escape key leaves it open; Return ends it with its result
# (0 for the time-zone dialog's OK, 1 for the About dialog's Close).
#   dialogs_win32.sh WIN32_BUILD SCREENSHOT_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
shots=$2
source "$(dirname "$0")/lib.sh"

e2e_prepare "$build"
e2e_start_display
# The program that opens one dialog stands in for Chronobel.exe, so that it
# finds and makes its files where the program would.
cp "$build/tests/win32/dialog_show.exe" "$e2e_program_dir/Chronobel.exe"
export TZ=Europe/Berlin
mkdir -p "$shots"

# check_dialog WHICH TITLE RESULT SCREENSHOT
check_dialog() {
  local which=$1 title=$2 result=$3 shot=$4 window="" waited
  e2e_start_program "$which"
  # Wine under emulation can take minutes to start a program.
  for waited in $(seq 900); do
    window=$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -n 1) || true
    [ -n "$window" ] && break
    kill -0 "$e2e_program" 2>/dev/null || e2e_fail "the $which dialog's program ended without a dialog"
    sleep 1
  done
  [ -n "$window" ] || e2e_fail "no dialog \"$title\" after $waited s"
  sleep 2  # drawn in full
  import -window "$window" "$shots/$shot"
  e2e_note "screenshot: $shots/$shot"

  xdotool key Escape
  sleep 2
  kill -0 "$e2e_program" 2>/dev/null || e2e_fail "Escape closed the $which dialog"
  [ -n "$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null)" ] || e2e_fail "Escape hid the $which dialog"
  xdotool key Return
  e2e_wait_for_exit 120
  [ "$e2e_exit_code" -eq "$result" ] || e2e_fail "the $which dialog ended with $e2e_exit_code, not $result"
  e2e_note "the $which dialog stayed open on Escape and ended with $result on Return"
}

check_dialog time-zone "Time Zone" 0 time_zone_dialog.png
check_dialog about "About Chronobel" 1 about_dialog.png
