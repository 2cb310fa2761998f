#!/usr/bin/env bash
# Benchmark of the built-in servers against the natural peers on this
# machine, in one run and under one bounded load generator:
#   SNTP: the native program's server (UDP 123) and chronyd -x (a free port);
#   TIME: the native program's server (TCP 37) and xinetd's internal service.
# Prints replies per second, the median and 99th percentile round trip and
# the lost requests of each, and our/peer ratios.
#
# Builds the Release preset into $CHRONOBEL_BENCH_BUILD (default
# build/release). Needs ports 123 and 37 of this machine free. Nothing here
# may set the clock: every process runs without the right to set it, the
# program in dry-run mode, chronyd with -x. Every process started is stopped
# by its id. Loads (all bounded in count and time) may be changed with
# SNTP_IN_FLIGHT, SNTP_COUNT, PACED_RATE, PACED_SECONDS, TIME_CLIENTS,
# TIME_COUNT and RUN_SECONDS.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${CHRONOBEL_BENCH_BUILD:-$root/build/release}
sntp_in_flight=${SNTP_IN_FLIGHT:-64}
sntp_count=${SNTP_COUNT:-2000000}
paced_rate=${PACED_RATE:-10000}
paced_seconds=${PACED_SECONDS:-3}
time_clients=${TIME_CLIENTS:-8}
time_count=${TIME_COUNT:-200000}
seconds=${RUN_SECONDS:-5}
guard=(setpriv --bounding-set=-sys_time --)

fail() { echo "bench: $*" >&2; exit 1; }
for tool in chronyd xinetd setpriv ss python3; do
  command -v "$tool" >/dev/null || [ -x "/usr/sbin/$tool" ] || fail "$tool is not installed"
done
PATH=$PATH:/usr/sbin

# --- build ---
cmake --preset release -S "$root" -B "$build" >/dev/null
cmake --build "$build" -j2 --target chronobel >/dev/null
if cmake --build "$build" -j2 --target chronobel_bench_load >/dev/null 2>&1; then
  load=$build/tests/bench/chronobel_bench_load
else  # the bench directory is not part of the tree: build it on its own
  cmake -S "$root/tests/bench" -B "$build/bench" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build/bench" -j2 >/dev/null
  load=$build/bench/chronobel_bench_load
fi

# --- start the servers ---
[ -z "$(ss -Hlun 'sport = :123')" ] || fail "UDP port 123 is in use"
[ -z "$(ss -Hltn 'sport = :37')" ] || fail "TCP port 37 is in use"
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do
    for _ in $(seq 30); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT
free_port() {  # a port of 127.0.0.1 that was free a moment ago
  python3 -c "import socket,sys; s=socket.socket(socket.AF_INET, socket.SOCK_DGRAM if sys.argv[1]=='udp' else socket.SOCK_STREAM); s.bind(('127.0.0.1',0)); print(s.getsockname()[1])" "$1"
}
wait_serving() {  # mode port what
  # Probes only once the port is taken: a probe sent to a free port could be
  # given that very port as its own and keep the server off it.
  local listing=-Hlun
  if [ "$1" = probe-time ]; then listing=-Hltn; fi
  for _ in $(seq 100); do
    [ -n "$(ss "$listing" "sport = :$2")" ] && "$load" "$1" "$2" && return 0
    sleep 0.1
  done
  fail "$3 does not serve on port $2"
}

mkdir -p "$work/prog" "$work/chrony" "$work/xinetd"
cp "$build/chronobel" "$work/prog/chronobel"
(cd "$work" && "${guard[@]}" "$work/prog/chronobel" /o time_server_enabled=1 on_program_start=0 autosync_enabled=0 autocheck_enabled=0)
(cd "$work" && exec "${guard[@]}" "$work/prog/chronobel" /n /x > "$work/ours.out" 2>&1) &
pids+=($!)

chrony_port=$(free_port udp)
cat > "$work/chrony/chrony.conf" <<CONF
port $chrony_port
bindaddress 127.0.0.1
allow 127.0.0.1
local stratum 8
cmdport 0
bindcmdaddress /
pidfile $work/chrony/chronyd.pid
CONF
"${guard[@]}" chronyd -x -d -u root -f "$work/chrony/chrony.conf" > "$work/chrony/out" 2>&1 &
pids+=($!)

xinetd_port=$(free_port tcp)
cat > "$work/xinetd/xinetd.conf" <<CONF
service time
{
	type = INTERNAL UNLISTED
	id = time-stream
	socket_type = stream
	protocol = tcp
	user = root
	wait = no
	instances = UNLIMITED
	per_source = UNLIMITED
	cps = 1000000 1
	port = $xinetd_port
	bind = 127.0.0.1
}
CONF
"${guard[@]}" xinetd -dontfork -filelog "$work/xinetd/log" -pidfile "$work/xinetd/xinetd.pid" \
  -f "$work/xinetd/xinetd.conf" > "$work/xinetd/out" 2>&1 &
pids+=($!)

wait_serving probe-sntp 123 "chronobel (SNTP)"
wait_serving probe-time 37 "chronobel (TIME)"
wait_serving probe-sntp "$chrony_port" chronyd
wait_serving probe-time "$xinetd_port" xinetd

# --- load ---
results=()
run() {  # label server mode port args...
  local label=$1 server=$2; shift 2
  local line
  line=$("$load" "$@")
  results+=("$label|$server|$line")
  printf '  %-32s %-10s %s\n' "$label" "$server" "$line" >&2
}
echo "running (each load at most ${seconds}s):" >&2
started=$(date +%s.%N)
for pass in ours peer; do
  if [ $pass = ours ]; then
    run "SNTP, $sntp_in_flight in flight" chronobel sntp 123 "$sntp_in_flight" "$sntp_count" "$seconds"
    run "SNTP, $paced_rate/s" chronobel paced 123 "$paced_rate" "$paced_seconds"
    run "TIME, $time_clients clients" chronobel time 37 "$time_clients" "$time_count" "$seconds"
  else
    run "SNTP, $sntp_in_flight in flight" chronyd sntp "$chrony_port" "$sntp_in_flight" "$sntp_count" "$seconds"
    run "SNTP, $paced_rate/s" chronyd paced "$chrony_port" "$paced_rate" "$paced_seconds"
    run "TIME, $time_clients clients" xinetd time "$xinetd_port" "$time_clients" "$time_count" "$seconds"
  fi
done
elapsed=$(python3 -c "import sys; print(f'{float(sys.argv[2])-float(sys.argv[1]):.1f}')" "$started" "$(date +%s.%N)")
kill -0 "${pids[0]}" 2>/dev/null || fail "chronobel ended during the run: $(cat "$work/ours.out")"
status_lines=$(grep -c 'Server Chronobeled' "$work/ours.out" || true)
log_lines=$(grep -c 'Server Chronobeled' "$work/prog/dLog.txt" 2>/dev/null || true)

# --- table ---
printf '%s\n' "${results[@]}" | python3 -c '
import sys
rows, order = {}, []
for line in sys.stdin:
    label, server, fields = line.rstrip("\n").split("|")
    values = dict(f.split("=") for f in fields.split())
    if label not in rows:
        order.append(label)
        rows[label] = []
    rows[label].append((server, values))
row = "{:<28} {:<10} {:>10} {:>10} {:>8} {:>9} {:>7}"
print(row.format("load", "server", "replies/s", "median us", "p99 us", "replies", "lost"))
for label in order:
    (ours, o), (peer, p) = rows[label]
    for server, v in ((ours, o), (peer, p)):
        print(row.format(label, server, "%.0f" % float(v["rate"]), v["median_us"], v["p99_us"], v["replies"], v["lost"]))
    ratio = lambda k: "%.2f" % (float(o[k]) / float(p[k])) if float(p[k]) else "-"
    print(row.format(label, "ours/peer", ratio("rate"), ratio("median_us"), ratio("p99_us"), ratio("replies"), ""))
'
echo "chronobel wrote $status_lines status lines and $log_lines log lines in ${elapsed}s of load"
