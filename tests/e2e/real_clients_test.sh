#!/usr/bin/env bash
# The native program's built-in servers against real clients from Debian's
# packages, on 127.0.0.1's real ports (UDP 123, TCP 37): chronyd -Q,
# ntpdate -q, sntp and rdate -n accept the SNTP server with an offset under
# 2 ms, and rdate reads the TIME server. No client may set the clock: each
# runs in its query-only mode, and the whole script runs without the right
# to set it (setpriv --bounding-set=-sys_time). The program runs in dry-run
# mode and is stopped by its process id. Over IPv6 (::1), ntpdate -q and
# rdate -6 read the same servers, and the program's /c checks a chronyd -x
# that serves on ::1 only.
#
# usage: real_clients_test.sh <native chronobel>
set -euo pipefail
program=$(realpath "$1")
export PATH=$PATH:/usr/sbin:/sbin
work=$(mktemp -d)
server_pid=
chronyd_pid=
cleanup() {
  if [ -n "$chronyd_pid" ]; then
    kill -TERM "$chronyd_pid" 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$chronyd_pid" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$chronyd_pid" 2>/dev/null || true
  fi
  if [ -n "$server_pid" ]; then
    kill -TERM "$server_pid" 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$server_pid" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$server_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
for tool in chronyd ntpdate sntp rdate ss; do command -v "$tool" >/dev/null || fail "$tool is not installed"; done
[ -z "$(ss -Hlun 'sport = :123')" ] || fail "UDP port 123 is held by another program: $(ss -Hlunp 'sport = :123')"
[ -z "$(ss -Hltn 'sport = :37')" ] || fail "TCP port 37 is held by another program: $(ss -Hltnp 'sport = :37')"

mkdir -p "$work/prog"
cp "$program" "$work/prog/chronobel"
cd "$work"
prog/chronobel /o time_server_enabled=1 on_program_start=0 autosync_enabled=0 autocheck_enabled=0 log_server=1
prog/chronobel /n /x > "$work/served.txt" 2>&1 &
server_pid=$!
for _ in $(seq 50); do
  [ -n "$(ss -Hlun 'sport = :123')" ] && [ -n "$(ss -Hltn 'sport = :37')" ] && break
  kill -0 "$server_pid" 2>/dev/null || fail "the program ended: $(cat "$work/served.txt")"
  sleep 0.1
done
[ -n "$(ss -Hltn 'sport = :37')" ] || fail "the program does not serve: $(cat "$work/served.txt")"

# chronyd -Q only prints the offset; its own files stay in the temporary directory.
cat > "$work/chrony.conf" <<CONF
cmdport 0
bindcmdaddress /
pidfile $work/chronyd.pid
CONF

# The offset in seconds that each client prints.
offset_chronyd() {
  chronyd -Q -t 5 -f "$work/chrony.conf" 'server 127.0.0.1 iburst maxsamples 1' 2>&1 |
    sed -n 's/.*System clock wrong by \([-+0-9.e]*\) seconds.*/\1/p'
}
offset_ntpdate() { ntpdate -q 127.0.0.1 2>&1 | awk '/127\.0\.0\.1/ && $4 ~ /^[-+][0-9.]+$/ { print $4 }'; }
offset_sntp() { sntp 127.0.0.1 2>&1 | awk '/127\.0\.0\.1/ && $4 ~ /^[-+][0-9.]+$/ { print $4 }'; }
offset_rdate() { rdate -n -p -v 127.0.0.1 2>&1 | sed -n 's/.*adjust local clock by \([-+0-9.e]*\) seconds.*/\1/p'; }

under_2ms() { python3 -c 'import sys; sys.exit(0 if abs(float(sys.argv[1])) < 0.002 else 1)' "$1"; }

# Each client must accept the server every time; the offset is measured up
# to five times, since a busy machine can delay one exchange by more than
# 2 ms on its way out and not on its way back (chronyd's own server shows
# the same then).
for client in chronyd ntpdate sntp rdate; do
  offsets=
  accepted=
  for _ in 1 2 3 4 5; do
    offset=$("offset_$client" || true)
    [ -n "$offset" ] || fail "$client did not accept the SNTP server"
    offsets="$offsets $offset"
    if under_2ms "$offset"; then accepted=1; break; fi
  done
  [ -n "$accepted" ] || fail "$client: offsets over 2 ms:$offsets"
  echo "$client accepts the SNTP server, offset$offsets s"
done

# rdate over TIME: the date it reads is the clock's, to the second.
before=$(date +%s)
shown=$(rdate -p 127.0.0.1 2>&1) || fail "rdate could not read the TIME server: $shown"
after=$(date +%s)
read_at=$(date -d "$(echo "$shown" | sed 's/^rdate: \[[^]]*\][[:space:]]*//')" +%s) || fail "rdate printed: $shown"
[ "$read_at" -ge $((before - 1)) ] && [ "$read_at" -le $((after + 1)) ] || fail "TIME server read as $shown"
echo "rdate reads the TIME server: $shown"

# The same servers over IPv6.
offset=$(ntpdate -q ::1 2>&1 | awk '/::1/ && $4 ~ /^[-+][0-9.]+$/ { print $4 }' || true)
[ -n "$offset" ] || fail "ntpdate did not accept the SNTP server on ::1: $(ntpdate -q ::1 2>&1)"
echo "ntpdate accepts the SNTP server on ::1, offset $offset s"
shown=$(rdate -6 -p ::1 2>&1) || fail "rdate could not read the TIME server on ::1: $shown"
echo "rdate reads the TIME server on ::1: $shown"

# The program showed its clients on the status line (standard output).
sleep 0.5
grep -q '^SNTP Server Chronobeled ' "$work/served.txt" || fail "no SNTP status line: $(cat "$work/served.txt")"
grep -q '^TIME Server Chronobeled ' "$work/served.txt" || fail "no TIME status line: $(cat "$work/served.txt")"

kill -TERM "$server_pid"
for _ in $(seq 100); do kill -0 "$server_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$server_pid" 2>/dev/null && fail "the program did not end on SIGTERM"
wait "$server_pid" || fail "the program ended with $?"
server_pid=

# The program as a client of chronyd over IPv6: chronyd -x never touches the
# clock, serves its own clock (local stratum) on ::1's port 123 only, and
# keeps its files in the temporary directory.
cat > "$work/chrony-server.conf" <<CONF
cmdport 0
bindcmdaddress /
pidfile $work/chronyd-server.pid
bindaddress ::1
allow ::1
local stratum 8
CONF
chronyd -x -d -u root -f "$work/chrony-server.conf" > "$work/chronyd.txt" 2>&1 &
chronyd_pid=$!
for _ in $(seq 50); do
  [ -n "$(ss -Hlun 'sport = :123')" ] && break
  kill -0 "$chronyd_pid" 2>/dev/null || fail "chronyd ended: $(cat "$work/chronyd.txt")"
  sleep 0.1
done
checked=$(prog/chronobel /c ::1 2>&1) || fail "/c ::1 against chronyd: $checked"
echo "$checked" | grep -q '^Time Checked, Difference found as ' || fail "/c ::1 printed: $checked"
echo "/c ::1 checks chronyd on ::1: $(echo "$checked" | tail -1)"
kill -TERM "$chronyd_pid"
for _ in $(seq 50); do kill -0 "$chronyd_pid" 2>/dev/null || break; sleep 0.1; done
chronyd_pid=
echo "real clients: all passed"
