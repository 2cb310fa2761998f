#!/usr/bin/env bash
# The native program's command line, end to end: the usage, settings as text,
# the data directories, the quick check and the dry-run quick sync against a
# server on 127.0.0.1, also named on the command line. Runs without the right
# to set the clock.
set -euo pipefail
program=$1
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
responder_pid=
cleanup() {
  [ -n "$responder_pid" ] && kill "$responder_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

mkdir -p "$work/prog"
cp "$program" "$work/prog/chronobel"
run() { (cd "$work" && "$work/prog/chronobel" "$@"); }

# --help and any switch it does not know: the usage on standard error, exit 2,
# and nothing else runs (no service, no settings saved).
for unknown in --help /h /? /w -y - help; do
  code=0
  timeout 10 "$work/prog/chronobel" "$unknown" > "$work/out.txt" 2> "$work/err.txt" || code=$?
  [ "$code" = 2 ] || fail "$unknown exited $code"
  grep -q '^usage: chronobel ' "$work/err.txt" || fail "$unknown printed no usage: $(cat "$work/err.txt")"
  [ ! -s "$work/out.txt" ] || fail "$unknown wrote to standard output: $(cat "$work/out.txt")"
done
[ ! -e "$work/prog/dSync.dat" ] || fail "the usage saved settings"

# Settings: defaults listed by name; changes saved; bad input changes nothing.
run /o > "$work/settings.txt"
grep -qx 'sync_timeout_s = 15' "$work/settings.txt" || fail "default sync_timeout_s"
grep -qx 'protocol = 2' "$work/settings.txt" || fail "default protocol"
[ -f "$work/prog/ServFile.txt" ] || fail "default server list not written beside the program"
[ -f "$work/prog/Strings.txt" ] || fail "default strings not written to the data directory"
run /o sync_timeout_s=30 tray=0 manual_a=127.0.0.1 || fail "valid settings refused"
[ "$(stat -c %s "$work/prog/dSync.dat")" = 340 ] || fail "settings file size"
run /o | grep -qx 'sync_timeout_s = 30' || fail "sync_timeout_s not saved"
cp "$work/prog/dSync.dat" "$work/before.dat"
for bad in sync_timeout_s=4 sync_timeout_s=100 nonsense=1 manual_b=1.2.3 tray=2 date_after=2021-02-30; do
  if run /o tray=1 "$bad" 2> "$work/err.txt"; then fail "accepted $bad"; fi
  grep -q 'nothing was changed' "$work/err.txt" || fail "no clear message for $bad"
  cmp -s "$work/before.dat" "$work/prog/dSync.dat" || fail "settings file touched by $bad"
done
# A save that cannot be written (its temporary name is taken by a folder,
# which stops root too): said on standard error, exit 1, the old file kept.
mkdir "$work/prog/dSync.new"
code=0
run /o tray=0 2> "$work/err.txt" || code=$?
[ "$code" = 1 ] || fail "a failed save exited $code"
grep -q 'could not be saved' "$work/err.txt" || fail "no message for a failed save: $(cat "$work/err.txt")"
cmp -s "$work/before.dat" "$work/prog/dSync.dat" || fail "a failed save touched the settings file"
rmdir "$work/prog/dSync.new"
# The balloons live beside dSync.dat, whose bytes they never change.
run /o balloons=0 || fail "balloons=0 refused"
cmp -s "$work/before.dat" "$work/prog/dSync.dat" || fail "balloons=0 changed dSync.dat"
[ "$(tr -d '\r' <"$work/prog/dExtra.txt")" = "balloons=0" ] || fail "dExtra.txt: $(cat "$work/prog/dExtra.txt")"
run /o | grep -qx 'balloons = 0' || fail "balloons not read back"

# DefSet.txt beside the program moves the data to the user's config folder.
touch "$work/prog/DefSet.txt"
rm "$work/prog/Strings.txt"  # found beside the program, it would be used from there
XDG_CONFIG_HOME="$work/config" run /o offset_amount=7
[ -f "$work/config/Orvane/Chronobel/dSync.dat" ] || fail "data directory with DefSet.txt"
[ -f "$work/config/Orvane/Chronobel/Strings.txt" ] || fail "strings not in the data directory"
rm "$work/prog/DefSet.txt"

# A server two and a half seconds ahead on 127.0.0.1, on the real ports.
python3 "$here/sntp_time_responder.py" --shift 2.5 --lifetime 60 --ready-file "$work/ready" &
responder_pid=$!
for _ in $(seq 50); do [ -f "$work/ready" ] && break; sleep 0.1; done
[ -f "$work/ready" ] || fail "test server did not start"
run /o server_source=1 protocol=1 sync_timeout_s=5

run /c > "$work/check.txt" || fail "quick check failed: $(cat "$work/check.txt")"
grep -Eq '^Time Checked, Difference found as 2\.(4|5)[0-9]{4} Scs in [0-9]+ms$' "$work/check.txt" \
  || fail "check text: $(cat "$work/check.txt")"

before=$(date +%s)
run /n /q > "$work/sync.txt" || fail "dry-run quick sync failed: $(cat "$work/sync.txt")"
grep -q '^Dry run: the clock would be set to ' "$work/sync.txt" || fail "no dry-run report"
grep -Eq '^Time Corrected by 2\.(4|5)[0-9]{4} Scs in [0-9]+ms$' "$work/sync.txt" || fail "sync text: $(cat "$work/sync.txt")"
shown=$(sed -n 's/^Dry run: the clock would be set to \(.*\)\.[0-9]* UTC$/\1/p' "$work/sync.txt")
would=$(date -u -d "$shown" +%s)
[ $((would - before)) -ge 2 ] && [ $((would - before)) -le 4 ] || fail "dry run would set $shown"

run /o protocol=0
run /n /q > "$work/time.txt" || fail "TIME quick sync failed"
grep -Eq '^Time Corrected in [0-9]+ms$' "$work/time.txt" || fail "TIME text: $(cat "$work/time.txt")"

# A host on the command line is asked instead of the configured server, and
# not kept: here the configured one does not answer.
run /o protocol=2 manual_a=127.0.0.2
cp "$work/prog/dSync.dat" "$work/before-host.dat"
run /c localhost > "$work/host.txt" || fail "check of a named host failed: $(cat "$work/host.txt")"
grep -Eq '^Time Checked, Difference found as 2\.(4|5)[0-9]{4} Scs in [0-9]+ms$' "$work/host.txt" \
  || fail "named host check text: $(cat "$work/host.txt")"
run /n /q 127.0.0.1 > "$work/host.txt" || fail "sync from a named host failed: $(cat "$work/host.txt")"
grep -Eq '^Time Corrected by 2\.(4|5)[0-9]{4} Scs in [0-9]+ms$' "$work/host.txt" \
  || fail "named host sync text: $(cat "$work/host.txt")"
cmp -s "$work/before-host.dat" "$work/prog/dSync.dat" || fail "the named host changed the settings file"
if run /c 127.0.0.3 > "$work/host.txt"; then fail "a silent named host exited 0"; fi
grep -qx 'Unable to sync from 127.0.0.3' "$work/host.txt" || fail "named host failure: $(cat "$work/host.txt")"

# Nobody answers: exit 1 and the failure is printed.
kill "$responder_pid"; wait "$responder_pid" 2>/dev/null || true; responder_pid=
run /o protocol=1 manual_a=127.0.0.2
if run /n /q > "$work/none.txt"; then fail "a failed quick sync exited 0"; fi
grep -q '^Unable to sync from 127.0.0.2$' "$work/none.txt" || fail "failure text: $(cat "$work/none.txt")"
if run /c > /dev/null; then fail "a failed check exited 0"; fi
# /x runs the service in the foreground until SIGTERM, which stops it within 5 s.
run /o protocol=2 time_server_enabled=0 autosync_enabled=0
(cd "$work" && exec "$work/prog/chronobel" /n /x > "$work/service.txt" 2>&1) &
service_pid=$!
for _ in $(seq 50); do grep -q '^Started Service, ' "$work/service.txt" 2>/dev/null && break; sleep 0.1; done
grep -qx 'Started Service, 4 Hrs until AutoSync' "$work/service.txt" || fail "service start: $(cat "$work/service.txt")"
kill -TERM "$service_pid"
for _ in $(seq 50); do kill -0 "$service_pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$service_pid" 2>/dev/null; then kill -KILL "$service_pid"; fail "service still running 5 s after SIGTERM"; fi
wait "$service_pid" || fail "service exit code $?"
tail -n 1 "$work/service.txt" | grep -qx 'Service Stopped' || fail "no stop message: $(cat "$work/service.txt")"
echo "native command line: all passed"
