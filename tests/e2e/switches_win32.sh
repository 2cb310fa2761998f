#!/usr/bin/env bash
# Whole program: the command-line switches of Chronobel.exe. The service
# entry outside the service manager and the service removal end the program
# with code 0 without a window; the quick sync ends without a window too,
# with code 0 only when it set the clock (here: from a server on 127.0.0.1,
# whose time Wine accepts as a change of less than half a second), also
# behind a silent start; the silent start alone does not show the window
# (minimised, or hidden without a tray icon).
#   switches_win32.sh WIN32_BUILD SCREENSHOT_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
source "$(dirname "$0")/lib.sh"

e2e_prepare "$build"
e2e_start_display

# The list names only this machine, where nothing answers yet.
printf '#this machine\r\n127.0.0.1\r\n' >"$e2e_work/ServFile.txt"
expect_exit() {
  local code=$1
  shift
  # shellcheck disable=SC2086  # the switches are separate arguments
  e2e_start_program $1
  e2e_wait_for_exit 300
  [ "$e2e_exit_code" -eq "$code" ] || e2e_fail "'$1' ended with code $e2e_exit_code, not $code"
  e2e_probe_run wait 0 >/dev/null && e2e_fail "'$1' left a window"
  e2e_note "'$1' ended with code $code and no window"
}
expect_exit 1 "/q"
for switches in "-X" "/z"; do expect_exit 0 "$switches"; done

python3 "$(dirname "$0")/sntp_time_responder.py" --lifetime 600 --ready-file "$e2e_work/ready" &
e2e_pids+=("$!")
for _ in $(seq 100); do [ -f "$e2e_work/ready" ] && break; sleep 0.1; done
[ -f "$e2e_work/ready" ] || e2e_fail "the test server did not start"
expect_exit 0 "/q"
expect_exit 0 "/s /Q"

# A Servers policy takes the place of the user's list, which names only a
# host that cannot be found; a Protocol of the wrong type is ignored and logged.
policy_key='HKLM\SOFTWARE\Policies\Orvane\Chronobel'
drop_policy() { wine reg delete "$policy_key" /f >/dev/null 2>&1 || true; }
trap 'drop_policy; e2e_cleanup' EXIT
printf '#nowhere\r\nnowhere.invalid\r\n' >"$e2e_work/ServFile.txt"
rm -f "$e2e_work/dLog.txt"
wine reg add "$policy_key" /v Servers /t REG_MULTI_SZ /d 127.0.0.1 /f >/dev/null &&
  wine reg add "$policy_key" /v Protocol /t REG_SZ /d 1 /f >/dev/null || e2e_fail "the policy could not be set"
expect_exit 0 "/q"
grep -q "Server used was 127.0.0.1" "$e2e_work/dLog.txt" || e2e_fail "the policy's server was not used: $(cat "$e2e_work/dLog.txt")"
! grep -q "nowhere" "$e2e_work/dLog.txt" || e2e_fail "the user's list was used"
grep -q "Policy Protocol ignored" "$e2e_work/dLog.txt" || e2e_fail "the wrong Protocol is not in the log"
# The window's Check too: its list alone would find nothing.
e2e_start_program
e2e_await_window shown 300 >/dev/null || e2e_fail "no window under the policy"
status_line() { e2e_probe_run list | tr -d '\r' | awk -F'\t' '$1 == 1000 { print $4 }'; }
# A press before the deferred start-up (the worker) is not taken.
e2e_probe_run command 1 || e2e_fail "could not press Check"
tries=0
until [ -n "$(e2e_probe_run list | tr -d '\r' | awk -F'\t' '$1 == 1031 { print $4 }')" ]; do
  tries=$((tries + 1))
  [ "$tries" -lt 50 ] || e2e_fail "the deferred start-up did not run"
  sleep 0.2
done
e2e_probe_run command 1 || e2e_fail "could not press Check"
tries=0
until status=$(status_line) && [[ "$status" == "Time Checked, "* ]]; do
  tries=$((tries + 1))
  [ "$tries" -lt 120 ] || e2e_fail "the window's Check did not use the policy's server: '$status'"
  sleep 0.5
done
e2e_probe_run close >/dev/null || e2e_fail "could not close the window"
e2e_wait_for_exit 30
drop_policy
printf '#this machine\r\n127.0.0.1\r\n' >"$e2e_work/ServFile.txt"
e2e_note "'/q' and the window's Check used the server of the Servers policy"

e2e_start_program /s
e2e_await_window wait 900 >/dev/null || e2e_fail "no window after /s"
state=$(e2e_probe_run state | tr -d '\r')
case "$state" in minimised | hidden) ;; *) e2e_fail "after /s the window is $state" ;; esac
e2e_probe_run close
e2e_wait_for_exit 120
[ "$e2e_exit_code" -eq 0 ] || e2e_fail "the silent start ended with code $e2e_exit_code"
e2e_note "'/s' started $state and ended cleanly"
