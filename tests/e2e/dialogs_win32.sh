#!/usr/bin/env bash
# Whole program: the time-zone and the About dialog as the program opens
# them, on a private X display and in the zone of Berlin. Each is saved as a
# screenshot; the Escape key leaves it open; Return ends it with its result
# (0 for the time-zone dialog's OK, 1 for the About dialog's Close). The
# About dialog again at 125 % and 150 %: its locations box spans the dialog
# above the buttons, its right edge on the Close button's, at every size.
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

# about_lines_up DPI: the places of the About dialog's controls: the box
# (1015) ends where Close (1) ends, begins left of Open Dirs (3), and stays
# above the buttons.
about_lines_up() {
  local places
  places=$(e2e_probe_run rects "About Chronobel" 60 | tr -d '\r') || e2e_fail "no About dialog at $1 DPI"
  awk -F'\t' '{ left[$1] = $2; top[$1] = $3; right[$1] = $4; bottom[$1] = $5 }
    END { exit !(right[1015] == right[1] && left[1015] < left[3] && bottom[1015] < top[1] && top[1015] > 0) }' \
    <<<"$places" || e2e_fail "the locations box does not line up with the buttons at $1 DPI:"$'\n'"$places"
  e2e_note "at $1 DPI the locations box lines up with Close"
}

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
  [ "$which" != about ] || about_lines_up "$dpi"

  xdotool key Escape
  sleep 2
  kill -0 "$e2e_program" 2>/dev/null || e2e_fail "Escape closed the $which dialog"
  [ -n "$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null)" ] || e2e_fail "Escape hid the $which dialog"
  xdotool key Return
  e2e_wait_for_exit 120
  [ "$e2e_exit_code" -eq "$result" ] || e2e_fail "the $which dialog ended with $e2e_exit_code, not $result"
  e2e_note "the $which dialog stayed open on Escape and ended with $result on Return"
}

dpi=96
check_dialog time-zone "Time Zone" 0 time_zone_dialog.png
check_dialog about "About Chronobel" 1 about_dialog.png

# Wine's programs read the screen's DPI when they start: a copy of the
# prefix has it changed, so that no other test's program sees it.
shared_prefix=$WINEPREFIX
export WINEPREFIX="$e2e_work/prefix-dpi"
cp -a "$shared_prefix" "$WINEPREFIX"
trap 'wineserver -k 2>/dev/null || true; e2e_cleanup' EXIT
for dpi in 120 144; do
  for key in 'HKCU\Control Panel\Desktop' 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts'; do
    wine reg add "$key" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1 || e2e_fail "cannot set $dpi DPI"
  done
  check_dialog about "About Chronobel" 1 "about_dialog_$((dpi * 100 / 96)).png"
done
