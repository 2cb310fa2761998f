#!/usr/bin/env bash
# The native program's time-zone lock: it never writes this machine's zone.
# The zone is "changed" for the program alone, through its TZ; with the lock
# on, the change is reported on the status line and in the log.
set -euo pipefail
program=$1
work=$(mktemp -d)
service_pid=
cleanup() {
  [ -n "$service_pid" ] && kill -KILL "$service_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cp "$program" "$work/chronobel"
run() { (cd "$work" && "$work/chronobel" "$@"); }
localtime_before=$(sha256sum /etc/localtime 2>/dev/null || true)

# The first run locks the zone it finds: India, bias -330.
TZ=Asia/Kolkata run /o time_zone_locked=1 autosync_enabled=0 time_server_enabled=0 on_program_start=0
(cd "$work" && TZ=America/Bogota exec "$work/chronobel" /x > "$work/out.txt" 2>&1) &
service_pid=$!
expected='Time Zone changed from IST (bias -330) to -05 (bias 300), not restored here'
for _ in $(seq 50); do grep -qF "$expected" "$work/out.txt" && break; sleep 0.1; done
kill -TERM "$service_pid"
wait "$service_pid" || fail "service exit code $?"
service_pid=
grep -qxF "$expected" "$work/out.txt" || fail "no report: $(cat "$work/out.txt")"
grep -qF "  $expected" "$work/dLog.txt" || fail "not logged: $(cat "$work/dLog.txt" 2>/dev/null)"
[ "$(sha256sum /etc/localtime 2>/dev/null || true)" = "$localtime_before" ] || fail "/etc/localtime changed"
TZ=Asia/Kolkata run /o | grep -qx 'time_zone_locked = 1' || fail "lock switched off"
echo "native time-zone lock: all passed"
