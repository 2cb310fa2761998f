#!/usr/bin/env bash
# Whole program: the Windows service "Chronobel" under Wine's service
# manager, twice round the same cycle. First through the program's own calls
# (install_service, remove_service); then through the switches /i and /z,
# which refuse a program folder that anybody may change and a service name
# that another program holds. The service reads only the copy of the
# settings and the server list in its own folder, never the files beside the
# program, and reads them again when told (the reload control). Each time: the configuration as installed, a
# start through the service manager, the built-in TIME and SNTP servers
# answering real clients on 127.0.0.1, an interrogation, a stop within 5 s
# with the process gone, a second start, and the removal of the running
# service. The program lives in a folder with blanks in its name. /i
# registers the event log source "Chronobel" with the program as its message
# file; /z removes it, refusals leave none. The running service corrects the
# clock for a desktop program without the right to, over its pipe, and
# answers a flood of requests busy.
#   service_win32.sh WIN32_BUILD SCREENSHOT_DIR   (CHRONOBEL_NATIVE: the native program)
set -euo pipefail
build=$(cd "$1" && pwd)
source "$(dirname "$0")/lib.sh"

native=${CHRONOBEL_NATIVE:?the native program, which writes the settings file}
e2e_prepare "$build"
e2e_start_display
# Wine starts the automatic services whenever its server starts: the server
# stays up until the end, and nothing installed here outlives the test.
wineserver -p 2>/dev/null || true
probe="$build/tests/win32/service_probe.exe"
[ -f "$probe" ] || e2e_fail "no $probe"
sp() { wine "$probe" "$@" | tr -d '\r'; }

program_dir="$e2e_work/Program Files/Chronobel"
mkdir -p "$program_dir"
mv "$e2e_work/Chronobel.exe" "$program_dir/"
program_win=$(winepath -w "$program_dir/Chronobel.exe" | tr -d '\r')
printf '#this machine\r\n127.0.0.1\r\n' >"$program_dir/ServFile.txt"

# The folder of the settings copy: the default account's application data.
appdata=$(wine reg query 'HKU\.DEFAULT\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders' /v AppData |
  tr -d '\r' | sed -n 's/^ *AppData *REG_SZ *//p')
[ -n "$appdata" ] || e2e_fail "no AppData folder for the default account"
service_folder=$(winepath -u "$appdata\\Orvane\\Chronobel" | tr -d '\r')
service_folder=${service_folder%/}
had_folder=
[ -d "$service_folder" ] && had_folder=1
[ -f "$service_folder/dSync.dat" ] && cp "$service_folder/dSync.dat" "$e2e_work/dSync.dat.before"

# Every process the service ran in, so that none outlives the test.
service_pids=()
event_source='HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\Chronobel'
service_cleanup() {
  wine "$probe" cleanup Chronobel >/dev/null 2>&1 || true
  wine reg delete "$event_source" /f >/dev/null 2>&1 || true
  local pid
  for pid in "${service_pids[@]}"; do wine "$probe" gone "$pid" 10 >/dev/null 2>&1 || wine "$probe" end "$pid" "$program_win" || true; done
  if [ -f "$e2e_work/dSync.dat.before" ]; then
    cp "$e2e_work/dSync.dat.before" "$service_folder/dSync.dat"
  elif [ -z "$had_folder" ]; then
    rm -rf "$service_folder"
    rmdir "$(dirname "$service_folder")" 2>/dev/null || true
  else
    rm -f "$service_folder/dSync.dat" "$service_folder/ServFile.txt" "$service_folder/dLog.txt"
  fi
}
policy_key='HKLM\SOFTWARE\Policies\Orvane\Chronobel'
drop_policy() { wine reg delete "$policy_key" /f >/dev/null 2>&1 || true; }
trap 'drop_policy; service_cleanup; e2e_cleanup' EXIT
# A service left behind by an earlier run that failed hard.
sp cleanup Chronobel

# The settings: the built-in servers on, no automatic sync, nothing but this
# machine to ask.
mkdir -p "$e2e_work/native"
cp "$native" "$e2e_work/native/chronobel"
"$e2e_work/native/chronobel" /o time_server_enabled=1 autosync_enabled=0 autocheck_enabled=0 on_program_start=0 \
  manual_a=127.0.0.1 manual_b=127.0.0.1 || e2e_fail "the settings could not be written"
settings="$e2e_work/native/dSync.dat"
[ -f "$settings" ] || e2e_fail "no settings file"

run_program() { wine "$program_dir/Chronobel.exe" "$@" >"$e2e_work/program.log" 2>&1; }

note_service_pid() {
  pid=$(sp pid Chronobel)
  service_pids+=("$pid")
}

expect_installed() {
  local config
  config=$(sp config Chronobel) || e2e_fail "the service is not installed"
  local expected
  for expected in "path=\"$program_win\" /x" type=16 start=2 error=1 account=LocalSystem \
    "display=Chronobel Internet Time Synchronisation" group= dependencies= \
    "description=Corrects time and provides a TIME server"; do
    grep -qxF "$expected" <<<"$config" || e2e_fail "configuration lacks '$expected':"$'\n'"$config"
  done
  # Wine keeps no delayed automatic start; Windows does.
  grep -qxE 'delayed=(1|unsupported)' <<<"$config" || e2e_fail "delayed start: $config"
  e2e_note "installed as $(sed -n 's/^path=//p' <<<"$config")"
}

expect_event_source() {
  local values
  values=$(wine reg query "$event_source" 2>/dev/null | tr -d '\r') || e2e_fail "no event source after /i"
  [ "$(sed -n 's/^ *EventMessageFile *REG_EXPAND_SZ *//p' <<<"$values")" = "$program_win" ] ||
    e2e_fail "the event source's message file is not the program:"$'\n'"$values"
  grep -qE '^ *TypesSupported +REG_DWORD +0x7$' <<<"$values" || e2e_fail "the event source's types:"$'\n'"$values"
  e2e_note "event source registered"
}

expect_no_event_source() {
  ! wine reg query "$event_source" >/dev/null 2>&1 || e2e_fail "the event source is still registered $1"
}

expect_serving() {
  local tries=0
  until rdate -p 127.0.0.1 >"$e2e_work/rdate.out" 2>&1; do
    tries=$((tries + 1))
    [ "$tries" -lt 40 ] || e2e_fail "no TIME answer: $(cat "$e2e_work/rdate.out")"
    sleep 0.25
  done
  ntpdate -q 127.0.0.1 >"$e2e_work/ntpdate.out" 2>&1 || e2e_fail "no SNTP answer: $(cat "$e2e_work/ntpdate.out")"
  e2e_note "TIME and SNTP answered: $(head -1 "$e2e_work/rdate.out")"
}

# Nothing listens on the ports while the service is not running, so the
# answers come from the service. (Another test on this machine may hold them:
# then run this one again later.)
expect_ports_free() {
  local held tries
  for tries in $(seq 20); do
    held=$(ss -Htlnp 'sport = :37'; ss -Hulnp 'sport = :123')
    [ -z "$held" ] && return 0
    sleep 0.25
  done
  e2e_fail "the ports 37 and 123 are in use $1: $held"
}

expect_state() {
  local state=$1 seconds=$2
  sp wait Chronobel "$state" "$seconds" || e2e_fail "not in state $state within $seconds s (now $(sp state Chronobel))"
}

# Stops the running service through the service manager: stopped within 5 s,
# and its process has ended.
expect_stop() {
  note_service_pid
  [ "$(sp interrogate Chronobel)" = 4 ] || e2e_fail "an interrogation does not report running"
  sp stop Chronobel >/dev/null || e2e_fail "the stop control was refused"
  expect_state 1 5
  sp gone "$pid" 5 || e2e_fail "the service's process $pid is still there"
  expect_ports_free "after the stop"
  e2e_note "stopped, process $pid gone"
}

expect_removed_while_running() {
  local pid=$1
  [ "$(sp state Chronobel)" = missing ] || e2e_fail "still installed after the removal"
  # Stopped first: a running service would only be marked for deletion.
  sp gone "$pid" 5 || e2e_fail "the removed service's process $pid is still there"
  expect_ports_free "after the removal"
  e2e_note "removed while running: stopped and deleted"
}

# Round 1: the program's own calls, and the settings copy in the service's folder.
expect_ports_free "before the start"
touch "$program_dir/DefSet.txt"
mkdir -p "$service_folder"
cp "$settings" "$service_folder/dSync.dat"
sp install "$program_win" || e2e_fail "install_service failed"
expect_installed
sp start Chronobel || e2e_fail "the service manager did not start the service"
expect_state 4 30
expect_serving
expect_stop
sp start Chronobel || e2e_fail "the service did not start again"
expect_state 4 30
note_service_pid
sp remove || e2e_fail "remove_service did not delete the running service"
expect_removed_while_running "$pid"
run_program /z || e2e_fail "/z without a service ended with code $?"
expect_no_event_source "after /z without a service"

# Round 2: the switches. Files beside the program, which its users may be
# able to write, say otherwise (no servers, another list): the service keeps
# to its folder.
rm "$program_dir/DefSet.txt"
"$e2e_work/native/chronobel" /o time_server_enabled=0 >/dev/null
cp "$settings" "$program_dir/dSync.dat"
printf '#planted\r\n127.0.0.5\r\n' >"$program_dir/ServFile.txt"
"$e2e_work/native/chronobel" /o time_server_enabled=1 >/dev/null
cp "$settings" "$service_folder/dSync.dat"
printf '#this machine\r\n127.0.0.1\r\n' >"$service_folder/ServFile.txt"

# Not from a folder that anybody may change, nor over another program's service.
chmod 777 "$program_dir"
code=0; run_program /i || code=$?
[ "$code" = 12 ] || e2e_fail "/i from an open folder ended with code $code"
grep -q "users without administrative rights can change" "$e2e_work/program.log" || e2e_fail "/i said: $(cat "$e2e_work/program.log")"
chmod 755 "$program_dir"
[ "$(sp state Chronobel)" = missing ] || e2e_fail "the open folder's program was registered"
sp install 'C:\Other\Chronobel.exe' || e2e_fail "install_service failed"
code=0; run_program /i || code=$?
[ "$code" = 13 ] || e2e_fail "/i over another program's service ended with code $code"
sp config Chronobel | grep -qxF 'path="C:\Other\Chronobel.exe" /x' || e2e_fail "the other program's service was changed"
sp remove || e2e_fail "remove_service failed"
expect_no_event_source "after the refusals"

run_program /i || e2e_fail "/i ended with code $?"
[ "$(sp state Chronobel)" = 4 ] || e2e_fail "/i succeeded but the service is not running"
expect_installed
expect_event_source
expect_serving

# The reload control: AutoSync on, and the service corrects at once from the
# list of its folder (its own server answers), never from the planted one.
"$e2e_work/native/chronobel" /o autosync_enabled=1 log_syncs=1 >/dev/null
cp "$settings" "$service_folder/dSync.dat"
[ "$(sp reload Chronobel)" = 4 ] || e2e_fail "the reload control was not answered with the running state"
tries=0
until grep -q "Server used was 127.0.0.1" "$service_folder/dLog.txt" 2>/dev/null; do
  tries=$((tries + 1))
  [ "$tries" -lt 120 ] || e2e_fail "no correction after the reload: $(cat "$service_folder/dLog.txt" 2>/dev/null)"
  sleep 0.25
done
grep -q "Settings read again by the service" "$service_folder/dLog.txt" || e2e_fail "the reload is not in the log"
! grep -q "127.0.0.5" "$service_folder/dLog.txt" || e2e_fail "the service used the planted list"
e2e_note "reloaded without a restart"

# A Servers policy, read again on the reload control, takes the place of the
# service's list, which now names only a host that cannot be found.
printf '#nowhere\r\nnowhere.invalid\r\n' >"$service_folder/ServFile.txt"
wine reg add "$policy_key" /v Servers /t REG_MULTI_SZ /d 127.0.0.1 /f >/dev/null || e2e_fail "the policy could not be set"
used=$(grep -c "Server used was 127.0.0.1" "$service_folder/dLog.txt")
[ "$(sp reload Chronobel)" = 4 ] || e2e_fail "the reload control was not answered with the running state"
tries=0
until [ "$(grep -c "Server used was 127.0.0.1" "$service_folder/dLog.txt")" -gt "$used" ]; do
  tries=$((tries + 1))
  [ "$tries" -lt 120 ] || e2e_fail "no correction from the policy's server: $(cat "$service_folder/dLog.txt")"
  sleep 0.25
done
! grep -q "nowhere" "$service_folder/dLog.txt" || e2e_fail "the service used its own list"
drop_policy
e2e_note "the service took its server from the Servers policy"

# Correction for standard users. Four requests at once on the service's
# pipe: one is taken and answered with the operation's status text, the
# others are answered busy (one request every 5 s). A malformed request gets
# no answer, only a line in the service's log.
corrections() { grep -c "Server used was 127.0.0.1" "$service_folder/dLog.txt" || true; }
sleep 1  # the operation whose line was awaited has ended: a request now is not busy
before=$(corrections)
answers=$(wine "$probe" ask correct 4 2>&1 | tr -d "\r")
e2e_note "four requests at once:"$'\n'"$answers"
[ "$(grep -c $'^B\t' <<<"$answers")" = 3 ] || e2e_fail "not three busy answers"
grep -qE $'^S\t.+' <<<"$answers" || e2e_fail "no correction answered with its text"
[ "$(corrections)" = $((before + 1)) ] || e2e_fail "the service did not correct once: $(cat "$service_folder/dLog.txt")"
[ -z "$(sp send 'CB?x')" ] || e2e_fail "a malformed request was answered"
grep -q "Request on the service's pipe ignored: malformed" "$service_folder/dLog.txt" ||
  e2e_fail "the malformed request is not in the log"
# A user without the right to set the clock (the test seam says so): /q,
# as at log-on, corrects through the service.
sleep 5  # the service's spacing of requests
export CHRONOBEL_TEST_NO_TIME_PRIVILEGE=1
before=$(corrections)
run_program /q || e2e_fail "/q through the service ended with code $?"
[ "$(corrections)" = $((before + 1)) ] || e2e_fail "/q did not correct through the service"
e2e_note "/q corrected through the service"
# Its desktop program's Correct too: no elevation, and the service's answer
# on its status line. (Last: the program hands the service its settings as
# it ends.)
sleep 5
before=$(corrections)
e2e_use_program_dir "$program_dir"
e2e_start_program
e2e_await_window shown 300 >/dev/null || e2e_fail "the desktop program shows no window"
e2e_probe_run command 3 || e2e_fail "could not press Correct"
tries=0
until [ "$(corrections)" = $((before + 1)) ] && status=$(e2e_probe_run list | tr -d '\r' | awk -F'\t' '$1 == 1000 { print $4 }') &&
  [ -n "$status" ] && [[ "$status" != Asking* ]]; do
  tries=$((tries + 1))
  [ "$tries" -lt 120 ] || e2e_fail "no correction through the service: status '${status:-}'"$'\n'"$(cat "$service_folder/dLog.txt")"
  sleep 0.5
done
[[ "$status" == "Time Corrected by "* ]] || e2e_fail "the status line does not show the service's answer: $status"
e2e_note "the desktop program corrected through the service: $status"
e2e_probe_run close >/dev/null || e2e_fail "could not close the desktop program"
e2e_wait_for_exit 10
unset CHRONOBEL_TEST_NO_TIME_PRIVILEGE
expect_stop
sp start Chronobel || e2e_fail "the service did not start again"
expect_state 4 30
note_service_pid
run_program /z || e2e_fail "/z ended with code $?"
expect_removed_while_running "$pid"
expect_no_event_source "after /z"
run_program /Z || e2e_fail "/Z without a service ended with code $?"
e2e_note "the service went through both rounds"
