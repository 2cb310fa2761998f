#!/usr/bin/env bash
# Whole program: the options sheet of Chronobel.exe under Wine, driven from
# outside. What it saved is read back with the native `chronobel /o` from the
# same dSync.dat. Also: Options while the sheet is open, Reset to defaults
# answered from here, the server list opened in the shell, and the server
# scan against the native program's built-in server on 127.0.0.1. Screenshots
# of each page, the Reset question and the scan window.
#   options_win32.sh WIN32_BUILD SCREENSHOT_DIR
# The native program is taken from the tree that holds SCREENSHOT_DIR.
set -euo pipefail
build=$(cd "$1" && pwd)
shots=$2
native=$(cd "$(dirname "$shots")" && pwd)/chronobel
resources=$(cd "$(dirname "$0")/../../resources" && pwd)
source "$(dirname "$0")/lib.sh"
[ -x "$native" ] || e2e_fail "no native program at $native"
mkdir -p "$shots"

e2e_prepare "$build"
driver="$build/tests/win32/options_driver.exe"
# Runs the driver with the commands given as lines; its output on stdout.
drive() {
  local out
  out=$(printf '%s\n' "$@" | wine "$driver" | tr -d '\r') || e2e_fail "driver: $out"
  printf '%s\n' "$out"
}
shot() { sleep 1; import -window root "$shots/$1.png"; e2e_note "screenshot: $shots/$1.png"; }
# The settings as the native program reads them from the same directory.
cp "$native" "$e2e_program_dir/chronobel"
setting() { (cd "$e2e_program_dir" && ./chronobel /o) | sed -n "s/^$1 = //p"; }
# The sheet is gone a moment before the program has saved: asked again
# for up to 10 s.
expect_setting() {
  local got
  for _ in $(seq 50); do
    got=$(setting "$1")
    [ "$got" = "$2" ] && return 0
    sleep 0.2
  done
  e2e_fail "$1 is '$got', not '$2'"
}

# Only servers on this machine; the first text edited, so that the Reset
# is seen to rewrite the file.
printf '127.0.0.1\r\nlocalhost\r\n127.255.255.255\r\n' > "$e2e_program_dir/ServFile.txt"
sed '1s/^Check\r$/Look\r/' "$resources/Strings.txt" > "$e2e_program_dir/Strings.txt"

# No program for text files, as in a fresh prefix: Edit List falls back to
# Notepad.
for key in 'HKCU\Software\Classes\.txt' 'HKLM\Software\Classes\.txt'; do
  wine reg delete "$key" /f >/dev/null 2>&1 || true
done

e2e_start_display
e2e_start_program
e2e_await_window shown 900 >/dev/null || e2e_fail "no main window"

# Opened once; Options again while it is open does nothing.
out=$(drive "command 101" "wait-sheet 120" "command 101" "sleep 1000" "sheets" "show 1007" "show 1013")
e2e_note "$out"
grep -qx $'sheets\t1' <<<"$out" || e2e_fail "a second sheet opened: $out"
grep -q $'^1007\t0\t.*\t129.6.15.28$' <<<"$out" || e2e_fail "Manual A not shown: $out"
grep -q $'^1013\t1\t0\t2\tAuto$' <<<"$out" || e2e_fail "protocol not shown: $out"
shot options_servers

# Numbers out of range are kept within their limits when their page is
# left; "No Log" is written at once; a count typed and then cancelled on
# its own page is not kept.
drive "page 1" "click 1029" "type 1018 0" "type 1033 150" > /dev/null
shot options_auto
drive "page 2" "type 1102 3" "type 1003 150" > /dev/null
shot options_system
drive "page 3" "click 1001" > /dev/null
shot options_misc
drive "page 1" "type 1018 50" "cancel" "wait-no-sheet 60" > /dev/null
expect_setting autosync_count 1
expect_setting autocheck_count 99
expect_setting autocheck_enabled 1
expect_setting sync_timeout_s 5
expect_setting offset_amount 99
expect_setting log_disabled 1

# The other ends of the ranges, and no radio button checked: Manual B; OK.
drive "command 101" "wait-sheet 60" "page 1" "type 1018 150" "type 1033 0" "page 2" "type 1102 100" "page 0" \
  "set-check 1035 0" "set-check 1036 0" "set-check 1037 0" "page 3" "ok" "wait-no-sheet 60" > /dev/null
expect_setting autosync_count 99
expect_setting autocheck_count 1
expect_setting sync_timeout_s 99
expect_setting server_source 2
expect_setting manual_a 129.6.15.28

# Reset asks with Cancel as its default button and says what else it does;
# answered OK, then Cancel: the defaults are saved and the string file is the
# built-in one again.
out=$(drive "command 101" "wait-sheet 60" "page 3" "post-click 7" "message Reset 60")
shot options_reset_question
e2e_note "Reset asks:"$'\n'"$out"
grep -qx $'default\t2' <<<"$out" || e2e_fail "Cancel is not Reset's default button: $out"
grep -q 'Reset to default all settings?' <<<"$out" || e2e_fail "Reset's question lost UI text 120: $out"
grep -q 'Strings.txt' <<<"$out" && grep -q 'start at log-on' <<<"$out" ||
  e2e_fail "Reset's question does not say it rewrites Strings.txt and removes the start at log-on: $out"
out=$(drive "answer Reset ok 60" "show 1001" "cancel" "wait-no-sheet 60")
grep -q $'^1001\t1\t0\t' <<<"$out" || e2e_fail "No Log still checked after Reset: $out"
expect_setting sync_timeout_s 15
expect_setting autosync_count 4
expect_setting log_disabled 0
expect_setting server_source 0
cmp -s "$e2e_program_dir/Strings.txt" "$resources/Strings.txt" || e2e_fail "Strings.txt was not rewritten"

# Edit List opens the list in Notepad although the shell has no program for
# it; closed here by its process id.
drive "command 101" "wait-sheet 60" "click 1022" 'wait-window Notepad "" 120' "kill-window Notepad" \
  "wait-gone Notepad 60" > /dev/null

# The scan: two names for the native program's built-in server and one
# address that cannot be reached.
server_dir="$e2e_work/server"
mkdir -p "$server_dir"
cp "$native" "$server_dir/chronobel"
(cd "$server_dir" && ./chronobel /o time_server_enabled=1 autosync_enabled=0 >/dev/null)
(cd "$server_dir" && exec ./chronobel /n /x) > "$e2e_work/server.log" 2>&1 &
server_pid=$!
e2e_pids+=("$server_pid")
serving() { ss -ltnp | grep -q "pid=$server_pid," && ss -lunp | grep -q "pid=$server_pid,"; }
for _ in $(seq 100); do
  serving && break
  sleep 0.1
done
# Ports 37 and 123 may be taken by another program of this machine.
serving || e2e_fail "the built-in server did not take ports 37 and 123: $(cat "$e2e_work/server.log")"
out=$(drive "click 1028" 'wait-window ChronobelScan "Scan Servers - Finished" 120' "rows")
e2e_note "scan:"$'\n'"$out"
shot scan_window
[ "$(grep -c . <<<"$out")" = 3 ] || e2e_fail "the scan shows other than three rows"
grep -Eq $'^127\\.0\\.0\\.1\t127\\.0\\.0\\.1\t[0-9]+\t[0-9]+$' <<<"$out" || e2e_fail "no times for 127.0.0.1"
grep -Eq $'^localhost\t127\\.0\\.0\\.1\t[0-9]+\t[0-9]+$' <<<"$out" || e2e_fail "no times for localhost"
grep -Eq $'^127\\.255\\.255\\.255\t127\\.255\\.255\\.255\t(Error|Time out)\t(Error|Time out)$' <<<"$out" \
  || e2e_fail "the dead address is not marked"
drive "close-window ChronobelScan" "wait-gone ChronobelScan 60" "cancel" "wait-no-sheet 60" > /dev/null
kill "$server_pid"

# AutoSync every 2 minutes, armed at once; half a minute later its Reset
# starts the period again from the click: the countdown on the status line
# then shows more than 90 s left, where the old period has less than 70.
status_text() { e2e_probe_run list | tr -d '\r' | awk -F'\t' '$1 == 1000 { print $4 }'; }
seconds_left() {
  sed -nE 's/^([0-9]+) Mns, ([0-9]+) Scs until AutoSync.*/\1 \2/p; s/^([0-9]+) Scs until AutoSync.*/0 \1/p' <<<"$1" |
    awk '{ print $1 * 60 + $2 }'
}
drive "command 101" "wait-sheet 60" "page 1" "type 1018 2" "select 1017 0" "ok" "wait-no-sheet 60" > /dev/null
expect_setting autosync_count 2
sleep 35
before=$(status_text)
drive "command 101" "wait-sheet 60" "page 1" "click 1009" "cancel" "wait-no-sheet 60" > /dev/null
# The old period only counts down and has over 20 s left: more than 90 s
# left within 20 s is the Reset's doing, however late the line shows it.
after=$before left=""
deadline=$((SECONDS + 20))
while [ "$SECONDS" -lt "$deadline" ]; do
  after=$(status_text)
  left=$(seconds_left "$after")
  [ -n "$left" ] && [ "$left" -gt 90 ] && break
  sleep 0.5
done
e2e_note "countdown before the Reset: '$before', after: '$after'"
[ -n "$left" ] && [ "$left" -gt 90 ] || e2e_fail "the AutoSync period did not start again: '$after'"

e2e_probe_run close || e2e_fail "could not post WM_CLOSE"
e2e_wait_for_exit 120
[ "$e2e_exit_code" -eq 0 ] || e2e_fail "the program ended with code $e2e_exit_code"

# The administrator's LockSettings: every control of the four pages that
# changes something is disabled; Help, View Log and Scan only show something.
policy_key='HKLM\SOFTWARE\Policies\Orvane\Chronobel'
drop_policy() { wine reg delete "$policy_key" /f >/dev/null 2>&1 || true; }
trap 'drop_policy; e2e_cleanup' EXIT
wine reg add "$policy_key" /v LockSettings /t REG_DWORD /d 1 /f >/dev/null || e2e_fail "the policy could not be set"
e2e_start_program
e2e_await_window shown 900 >/dev/null || e2e_fail "no main window under LockSettings"
out=$(drive "command 101" "wait-sheet 60" "page 0" "controls" "page 1" "controls" "page 2" "controls" "page 3" \
  "controls")
shot options_locked
drive "cancel" "wait-no-sheet 60" > /dev/null
[ "$(grep -c . <<<"$out")" -ge 40 ] || e2e_fail "too few controls listed: $out"
usable=$(awk -F'\t' '$2 == 1 { print $1 }' <<<"$out" | sort -n | tr '\n' ' ')
[ "$usable" = "6 1012 1028 " ] || e2e_fail "under LockSettings these stay usable: $usable"
e2e_probe_run close || e2e_fail "could not post WM_CLOSE"
e2e_wait_for_exit 120
drop_policy
e2e_note "the options sheet did what was asked, and LockSettings disabled its controls"
