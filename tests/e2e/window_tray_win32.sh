#!/usr/bin/env bash
# Whole program: the main window's keyboard, popup menu, tray icon, look, orderly end
# and saving, driven from outside. Chronobel.exe runs from a folder whose path
# holds blanks; screenshots of the window and of the open menu are saved.
#   window_tray_win32.sh WIN32_BUILD SCREENSHOT_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
shots=$2
source "$(dirname "$0")/lib.sh"

e2e_prepare "$build"
e2e_use_program_dir "$e2e_work/Program Files/Chronobel"
cp "$build/Chronobel.exe" "$e2e_program_dir/"
e2e_start_display
mkdir -p "$shots"
settings=$e2e_program_dir/dSync.dat
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
run_value() { wine reg query "$run_key" /v Chronobel.exe 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ[[:space:]]*//p'; }
wine reg delete "$run_key" /v Chronobel.exe /f >/dev/null 2>&1 || true

# set_settings OFFSET=BYTE...: patches the record of dSync.dat (after its
# 8-byte magic), as the options would.
set_settings() {
  python3 - "$settings" "$@" <<'PY'
import sys
path, edits = sys.argv[1], sys.argv[2:]
data = bytearray(open(path, "rb").read())
assert len(data) == 340, len(data)
for edit in edits:
    offset, value = (int(x) for x in edit.split("="))
    data[8 + offset] = value
open(path, "wb").write(bytes(data))
PY
}
setting() { python3 -c 'import sys; print(open(sys.argv[1], "rb").read()[8 + int(sys.argv[2])])' "$settings" "$1"; }
# Offsets in the record: on_windows_start 0, tray 57, on_top 59,
# autosync_enabled 60, autocheck_enabled 61, resident 63.

menu_of() { e2e_probe_run menu "$@" | tr -d '\r'; }
# expect VERB ANSWER: the probe's VERB answers ANSWER within 10 s (Wine's
# tray takes its time with a process's first icon).
expect() {
  for _ in $(seq 50); do
    [ "$(e2e_probe_run "$1" | tr -d '\r')" = "$2" ] && return 0
    sleep 0.2
  done
  e2e_fail "$1: $(e2e_probe_run "$1"), not $2"
}
expect_state() { expect state "$1"; }
expect_tray() { expect tray "$1"; }
# end_by HOW: ends the program by WM_CLOSE or the Exit command and expects
# it gone within 5 s with code 0.
end_by() {
  if [ "$1" = close ]; then e2e_probe_run close; else e2e_probe_run command 2; fi
  e2e_wait_for_exit 5
  [ "$e2e_exit_code" -eq 0 ] || e2e_fail "ended by $1 with code $e2e_exit_code"
}
await_started() {
  e2e_await_window "${1:-shown}" 300 >/dev/null || e2e_fail "no window"
  # The deferred start-up (texts, worker, timer) runs half a second later.
  for _ in $(seq 50); do
    e2e_probe_run list | tr -d '\r' | awk -F'\t' '$1 == 1031 && $4 != "" { found = 1 } END { exit !found }' && return 0
    sleep 0.2
  done
  e2e_fail "the deferred start-up did not run"
}

# 1. The defaults: the menu as a right click in the window and the
# context-menu key open it; AutoSync is armed, so "Reset Auto Timers" is there.
e2e_start_program
await_started
expected_menu=$'5\t-\tAbout\n6\t-\tHelp\n1009\t-\tReset Auto Timers\n3\t-\tSync Now\n0\tseparator\t\n2017\t-\tTransparent\n2018\t-\tOn Top\n0\tseparator\t\n2\t-\tExit'
e2e_probe_run menu click 2500 >"$e2e_work/menu.txt" &
menu_reader=$!
sleep 1.5
import -window root "$shots/popup_menu.png"
wait "$menu_reader" || e2e_fail "no menu after a right click"
[ "$(tr -d '\r' <"$e2e_work/menu.txt")" = "$expected_menu" ] || e2e_fail "menu: $(cat "$e2e_work/menu.txt")"
[ "$(menu_of key)" = "$expected_menu" ] || e2e_fail "no menu by the context-menu key"
e2e_note "the popup menu opens by right click and by the context-menu key; screenshot popup_menu.png"

# The keyboard: Tab and Shift+Tab move the focus along the buttons (from
# Check round to About), Return and Space press the focused one; the dialog
# each opens ends on its own Return.
vk_tab=9 vk_return=13 vk_shift=16 vk_escape=27 vk_space=32
close_dialog_by_return() {
  local title=$1 window=""
  for _ in $(seq 100); do
    window=$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -n 1) || true
    [ -n "$window" ] && break
    sleep 0.2
  done
  [ -n "$window" ] || e2e_fail "no dialog \"$title\" opened"
  sleep 1
  xdotool key Return
  for _ in $(seq 100); do
    [ -z "$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null)" ] && return 0
    sleep 0.2
  done
  e2e_fail "the dialog \"$title\" stayed open"
}
expect focus 1
e2e_probe_run key $vk_tab
expect focus 3
e2e_probe_run key $vk_shift+$vk_tab
expect focus 1
e2e_probe_run key $vk_shift+$vk_tab
expect focus 5
e2e_probe_run key $vk_return
close_dialog_by_return "About Chronobel"
e2e_probe_run key $vk_shift+$vk_tab
expect focus 1001
e2e_probe_run key $vk_space
close_dialog_by_return "Time Zone"
e2e_note "Tab and Shift+Tab move the focus; Return and Space press the focused button"

# Transparent and On Top change the window and are checked in the menu.
[ "$(e2e_probe_run look | tr -d '\r')" = plain ] || e2e_fail "look at start: $(e2e_probe_run look)"
e2e_probe_run command 2017
e2e_probe_run command 2018
sleep 0.5
expect look "layered topmost"
menu_of click | grep -qx $'2017\tchecked\tTransparent' || e2e_fail "Transparent not checked"
e2e_probe_run command 2017
sleep 0.5
[ "$(e2e_probe_run look | tr -d '\r')" = topmost ] || e2e_fail "look after Transparent again: $(e2e_probe_run look)"

# Minimising with the tray set hides the window behind an icon; a click on
# the icon brings it back and takes the icon away.
e2e_probe_run minimise
expect_state hidden
expect_tray icon
e2e_probe_run post 1029 0 513
expect_state normal
expect_tray "no icon"
import -window root "$shots/window_restored.png"
# Escape hides it the same way and leaves the program running.
e2e_probe_run key $vk_escape
expect_state hidden
expect_tray icon
kill -0 "$e2e_program" 2>/dev/null || e2e_fail "Escape ended the program"
e2e_probe_run post 1029 0 513
expect_state normal
end_by command
[ "$(setting 59)" = 1 ] || e2e_fail "On Top was not saved"
[ "$(stat -c %s "$settings")" = 340 ] || e2e_fail "dSync.dat is not whole"
[ -z "$(run_value)" ] || e2e_fail "a Run value for 'Do Nothing': $(run_value)"
e2e_note "look, tray and Exit work; the settings were saved; screenshot window_restored.png"

# 2. Tray and Resident: closing hides the window instead; the tray icon's
# right click opens the menu, without "Reset Auto Timers" when nothing is
# armed. "Auto Start" writes the quoted path into the Run value.
set_settings 0=1 57=1 63=1 60=0 59=0
e2e_start_program
await_started
e2e_probe_run close
expect_state hidden
kill -0 "$e2e_program" 2>/dev/null || e2e_fail "closing ended the program although it is resident"
expect_state hidden
expect_tray icon
menu_of tray | grep -q '^1009' && e2e_fail "Reset Auto Timers without an armed timer"
menu_of tray | grep -qx $'2\t-\tExit' || e2e_fail "no menu on the tray icon"
end_by command
windows_path="$e2e_program_windows_path"
[ "$(run_value)" = "\"$windows_path\"" ] || e2e_fail "Run value for Auto Start: $(run_value)"

# 3. "Auto Start, Sync, then Exit": the path quoted, then /q. Without the
# tray Escape minimises the window; WM_CLOSE ends the program when it is
# not resident.
set_settings 0=2 63=0 57=0
e2e_start_program
await_started
e2e_probe_run key $vk_escape
expect_state minimised
kill -0 "$e2e_program" 2>/dev/null || e2e_fail "Escape ended the program"
end_by close
[ "$(run_value)" = "\"$windows_path\" /q" ] || e2e_fail "Run value for Auto Start, Sync, then Exit: $(run_value)"

# 4. At the end of the session (WM_ENDSESSION), a save that cannot make its
# new file leaves dSync.dat byte for byte; "Do Nothing" takes the Run value
# away.
set_settings 0=0
cp "$settings" "$e2e_work/before.dat"
mkdir "$e2e_program_dir/dSync.new"
e2e_start_program
await_started
e2e_probe_run command 2018
# The session ends: the same orderly end, within the time Windows gives.
e2e_probe_run post 22 1 0
e2e_wait_for_exit 5
[ "$e2e_exit_code" -eq 0 ] || e2e_fail "the end of the session ended the program with code $e2e_exit_code"
cmp -s "$settings" "$e2e_work/before.dat" || e2e_fail "an interrupted save changed dSync.dat"
grep -q 'Settings could not be saved in ' "$e2e_program_dir/dLog.txt" || e2e_fail "the failed save was not logged"
[ -z "$(run_value)" ] || e2e_fail "the Run value stayed: $(run_value)"
e2e_note "Run values, resident close and interrupted save: all as expected"

# 5. A check whose server never answers times out over SNTP, then over TIME
# (Auto), and ends as failed, the time-out's text held on the status line; the
# AutoSync timer stays armed: its countdown comes back to the status line and
# "Reset Auto Timers" to the menu.
rmdir "$e2e_program_dir/dSync.new"
printf '#test server\r\n127.0.0.1\r\n' >"$e2e_program_dir/ServFile.txt"
set_settings 20=5 60=1
python3 "$(dirname "$0")/sntp_time_responder.py" --silent --lifetime 300 --ready-file "$e2e_work/ready" &
silent_server=$!
e2e_pids+=("$silent_server")
for _ in $(seq 100); do [ -f "$e2e_work/ready" ] && break; sleep 0.1; done
[ -f "$e2e_work/ready" ] || e2e_fail "the silent test server did not start"
status_line() { e2e_probe_run list | tr -d '\r' | awk -F'\t' '$1 == 1000 { print $4 }'; }
# await_status PATTERN SECONDS: the status line matches the grep pattern in time.
await_status() {
  for _ in $(seq $(($2 * 5))); do
    status_line | grep -q -- "$1" && return 0
    sleep 0.2
  done
  e2e_fail "status line '$(status_line)', waited for '$1'"
}
e2e_start_program
await_started
e2e_probe_run command 1
await_status '^Waiting for reply from 127\.0\.0\.1$' 10
await_status '^Time out on127\.0\.0\.1$' 30
await_status ' until AutoSync - Never synced$' 40
menu_of click | grep -q $'^1009\t-\tReset Auto Timers$' || e2e_fail "no Reset Auto Timers after the time-out"
grep -c 'No response from 127.0.0.1' "$e2e_program_dir/dLog.txt" | grep -qx 2 || e2e_fail "log: $(cat "$e2e_program_dir/dLog.txt")"
end_by command
e2e_note "after a time-out over both protocols the check failed and the countdown came back: '$(tr -d '\r' <"$e2e_program_dir/dLog.txt" | tail -1)'"

# 6. A check against two addresses where nothing listens (AutoSync armed, so
# it fails over) goes once round the list, one attempt per server and
# protocol, and ends as failed; the failure is still readable 5 s later.
printf '#test servers\r\n127.0.0.2\r\n127.0.0.3\r\n' >"$e2e_program_dir/ServFile.txt"
refusals() { grep -c 'No response from 127\.0\.0\.[23]' "$e2e_program_dir/dLog.txt" || true; }
e2e_start_program
await_started
e2e_probe_run command 1
await_status '^Unable to sync from 127\.0\.0\.3$' 40
sleep 5
[ "$(status_line)" = "Unable to sync from 127.0.0.3" ] || e2e_fail "5 s after the failure the status line is '$(status_line)'"
[ "$(refusals)" = 4 ] || e2e_fail "log after one round: $(tr -d '\r' <"$e2e_program_dir/dLog.txt" | tail -20)"
end_by command
e2e_note "two refusing servers: one round of four attempts, the failure stayed on the status line"

# 7. Back from sleep (WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC): once things
# have settled the AutoSync runs by itself; it fails on the silent server, and
# the countdown then names the retry a minute later.
printf '#test server\r\n127.0.0.1\r\n' >"$e2e_program_dir/ServFile.txt"
e2e_start_program
await_started
e2e_probe_run post 536 18 0
await_status '^Waiting for reply from 127\.0\.0\.1$' 20
await_status '^AutoSync failed, retry in ' 60
end_by command
e2e_note "a resume started the AutoSync; after its failure the countdown shows the retry"

# 8. Loud failure. The balloons setting lives beside dSync.dat, which keeps
# its size. In the tray, an AutoCheck (started here by a resume) that finds
# the clock 5 s off turns the icon stale and says so in a balloon; with
# balloons off the icon alone changes. The probe records the program's tray
# calls from inside it.
[ "$(tr -d '\r' <"$e2e_program_dir/dExtra.txt")" = "balloons=1" ] || e2e_fail "dExtra.txt: $(cat "$e2e_program_dir/dExtra.txt")"
[ "$(stat -c %s "$settings")" = 340 ] || e2e_fail "dSync.dat is not whole"
kill "$silent_server" 2>/dev/null || true
wait "$silent_server" 2>/dev/null || true
rm -f "$e2e_work/ready"
python3 "$(dirname "$0")/sntp_time_responder.py" --shift 5 --lifetime 300 --ready-file "$e2e_work/ready" &
e2e_pids+=("$!")
for _ in $(seq 100); do [ -f "$e2e_work/ready" ] && break; sleep 0.1; done
[ -f "$e2e_work/ready" ] || e2e_fail "the shifted test server did not start"
set_settings 57=1 60=0 61=1
# check_off_in_tray UNTIL: minimises to the tray, records the tray calls
# while a resume starts the AutoCheck, until a line holds UNTIL.
check_off_in_tray() {
  e2e_start_program
  await_started
  e2e_probe_run minimise
  expect_tray icon
  rm -f "$e2e_work/tray.txt"
  e2e_probe_run traycalls 60 "$1" >"$e2e_work/tray.txt" &
  local reader=$!
  for _ in $(seq 100); do grep -q hooked "$e2e_work/tray.txt" 2>/dev/null && break; sleep 0.2; done
  e2e_probe_run post 536 18 0
  wait "$reader" || e2e_fail "tray calls: $(cat "$e2e_work/tray.txt")"
}
check_off_in_tray $'\tAutoCheck found the clock more than a second off'
import -window root "$shots/tray_stale.png"
tr -d '\r' <"$e2e_work/tray.txt" | grep -qx $'modify\tstale\tAutoCheck found the clock more than a second off' ||
  e2e_fail "no balloon over the stale icon: $(cat "$e2e_work/tray.txt")"
end_by command
e2e_note "a check 5 s off turned the tray icon stale with a balloon; screenshot tray_stale.png (the amber mark)"
printf 'from a later version=1\r\nballoons=0\r\n' >"$e2e_program_dir/dExtra.txt"
check_off_in_tray $'modify\tstale\t-'
grep -q 'AutoCheck found' "$e2e_work/tray.txt" && e2e_fail "a balloon with balloons off: $(cat "$e2e_work/tray.txt")"
end_by command
[ "$(tr -d '\r' <"$e2e_program_dir/dExtra.txt")" = $'from a later version=1\nballoons=0' ] ||
  e2e_fail "dExtra.txt after the save: $(cat "$e2e_program_dir/dExtra.txt")"
grep -c 'AutoCheck found the clock more than a second off' "$e2e_program_dir/dLog.txt" | grep -qx 2 ||
  e2e_fail "log: $(tail -5 "$e2e_program_dir/dLog.txt")"
e2e_note "with balloons off the icon alone turned stale; both findings are in the log"
