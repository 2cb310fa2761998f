#!/usr/bin/env bash
# How far a user can trust a check on a poor network: chronyd serves this
# machine's clock on 127.0.0.1, and the UDP relay (chronobel_relay) puts
# 20 ms ± 10 ms each way and a loss of 5 %, then 20 %, of the datagrams each
# way between it and the clients, on 127.0.0.2 to 127.0.0.5 port 123. Then
# COUNT interleaved checks each of
#   chronobel /c with Average off, and with Average on (its own folder),
#     both with SNTP and the list 127.0.0.2 .. 127.0.0.5, time-out TIMEOUT s;
#   ntpdate -q, sntp and chronyd -Q (-t TIMEOUT) against 127.0.0.2, each as
#     it comes (ntpdate -q waits 1 s and sntp 5 s for their one request);
# and for each: the checks answered within the time-out (%), the median and
# 90th percentile of |offset| in µs (every peer runs on this clock, so the
# true offset is 0), and the median and 90th percentile time to answer (the
# whole command, start-up included).
# First, on a quiet machine and without the relay: the built-in SNTP server's
# bias, the median offset chronyd -Q reads against it minus against chronyd.
#
# Builds the Release preset into $CHRONOBEL_BENCH_BUILD (default
# build/release). Needs UDP port 123 of 127.0.0.2-5 free, and of every
# address for the bias (skipped, with a note, when another program holds it).
# Nothing may set the clock: every process runs without the right to set it,
# the program in dry-run mode, chronyd with -x or -Q; every process started
# is stopped by its id, and every loop and run is bounded.
# Environment: TRUST_COUNT (200), TRUST_JOBS (checks at a time, 8),
# TRUST_TIMEOUT (s, 15, the program's default), TRUST_LOSSES ("0.05 0.2"),
# TRUST_DELAY and TRUST_JITTER (ms each way, 20 and 10: other paths than the
# usual one), TRUST_BIAS_COUNT (50), TRUST_SEED (1).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${CHRONOBEL_BENCH_BUILD:-$root/build/release}
count=${TRUST_COUNT:-200}
jobs=${TRUST_JOBS:-8}
timeout_s=${TRUST_TIMEOUT:-15}
losses=${TRUST_LOSSES:-0.05 0.2}
delay_ms=${TRUST_DELAY:-20}
jitter_ms=${TRUST_JITTER:-10}
bias_count=${TRUST_BIAS_COUNT:-50}
seed=${TRUST_SEED:-1}
guard=(setpriv --bounding-set=-sys_time --)
addresses=(127.0.0.2 127.0.0.3 127.0.0.4 127.0.0.5)

fail() { echo "trust: $*" >&2; exit 1; }
PATH=$PATH:/usr/sbin:/sbin
for tool in chronyd ntpdate sntp setpriv ss python3; do command -v "$tool" >/dev/null || fail "$tool is not installed"; done

# --- build ---
cmake --preset release -S "$root" -B "$build" >/dev/null
cmake --build "$build" -j2 --target chronobel chronobel_relay chronobel_bench_load >/dev/null
relay=$build/tests/bench/chronobel_relay
load=$build/tests/bench/chronobel_bench_load

work=$(mktemp -d)
pids=()
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do
    for _ in $(seq 30); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT
stop() {  # pid: stops one process started here
  kill -TERM "$1" 2>/dev/null || true
  for _ in $(seq 50); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
  kill -KILL "$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
  local kept=() pid
  for pid in "${pids[@]}"; do [ "$pid" = "$1" ] || kept+=("$pid"); done
  pids=("${kept[@]}")
}
free_port() {
  python3 -c "import socket; s=socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.bind(('127.0.0.1',0)); print(s.getsockname()[1])"
}
wait_serving() {  # port what: probes once the port is taken
  for _ in $(seq 100); do
    [ -n "$(ss -Hlun "sport = :$1")" ] && "$load" probe-sntp "$1" && return 0
    sleep 0.1
  done
  fail "$2 does not serve on port $1"
}

# --- chronyd, serving this machine's clock, never controlling it ---
chrony_port=$(free_port)
mkdir -p "$work/chrony"
cat > "$work/chrony/chrony.conf" <<CONF
port $chrony_port
bindaddress 127.0.0.1
allow 127.0.0.0/8
local stratum 8
cmdport 0
bindcmdaddress /
pidfile $work/chrony/chronyd.pid
CONF
"${guard[@]}" chronyd -x -d -u root -f "$work/chrony/chrony.conf" > "$work/chrony/out" 2>&1 &
pids+=($!)
wait_serving "$chrony_port" chronyd
# chronyd -Q as a client: its own files stay here.
cat > "$work/query.conf" <<CONF
cmdport 0
bindcmdaddress /
pidfile $work/query.pid
CONF

# --- the program's two folders: Average off and on ---
for variant in off on; do
  mkdir -p "$work/$variant"
  cp "$build/chronobel" "$work/$variant/chronobel"
  printf '%s\r\n' "${addresses[@]}" > "$work/$variant/ServFile.txt"
  average=0; [ "$variant" = on ] && average=1
  (cd "$work/$variant" && "${guard[@]}" ./chronobel /o server_source=0 server_index=0 protocol=1 \
    sync_timeout_s="$timeout_s" average=$average default_server_only=0 on_program_start=0 \
    autosync_enabled=0 autocheck_enabled=0 time_server_enabled=0 date_range_enabled=0)
done

echo "chronyd $(chronyd -v | awk '{print $4}') on 127.0.0.1:$chrony_port; $count checks per client and loss," \
     "$jobs at a time, time-out ${timeout_s} s"
started=$(date +%s)

# --- the built-in server's bias, before any load ---
if [ -n "$(ss -Hlun 'sport = :123')" ]; then
  echo "bias: not measured, UDP port 123 is held by another program"
else
  mkdir -p "$work/server"
  cp "$build/chronobel" "$work/server/chronobel"
  (cd "$work/server" && "${guard[@]}" ./chronobel /o time_server_enabled=1 on_program_start=0 \
    autosync_enabled=0 autocheck_enabled=0 log_syncs=0 log_server=0)
  (cd "$work/server" && exec "${guard[@]}" ./chronobel /n /x > "$work/server/out" 2>&1) &
  server_pid=$!
  pids+=("$server_pid")
  wait_serving 123 "chronobel /x"
  echo "bias of the built-in SNTP server ($bias_count readings each, no relay):"
  python3 "$here/trust_checks.py" bias --count "$bias_count" --chrony-conf "$work/query.conf" \
    --ours 123 --peer "$chrony_port" | sed 's/^/  /'
  stop "$server_pid"
fi

# --- the checks, behind the relay ---
for loss in $losses; do
  for address in "${addresses[@]}"; do
    [ -z "$(ss -Hlun "src $address:123")" ] || fail "$address:123 is in use"
  done
  routes=()
  for address in "${addresses[@]}"; do routes+=("$address:123=127.0.0.1:$chrony_port"); done
  # The relay's own limit bounds the phase, should this script be stopped.
  "${guard[@]}" "$relay" --delay "$delay_ms" --jitter "$jitter_ms" --loss "$loss" --seed "$seed" \
    --seconds $((count * 5 * (timeout_s + 2) / jobs + 120)) "${routes[@]}" \
    > "$work/relay.out" 2> "$work/relay.err" &
  relay_pid=$!
  pids+=("$relay_pid")
  for _ in $(seq 50); do grep -q '^ready' "$work/relay.out" && break; sleep 0.1; done
  grep -q '^ready' "$work/relay.out" || fail "the relay did not start: $(cat "$work/relay.err")"
  echo
  echo "$delay_ms ms ± $jitter_ms ms each way, $(python3 -c "print(f'{float(\"$loss\")*100:g}')") % loss each way:"
  python3 "$here/trust_checks.py" checks --count "$count" --jobs "$jobs" --timeout "$timeout_s" \
    --server "${addresses[0]}" --off "$work/off" --on "$work/on" --chrony-conf "$work/query.conf" | sed 's/^/  /'
  stop "$relay_pid"
  sed 's/^/  /' "$work/relay.err"
done
echo
echo "done in $(( $(date +%s) - started )) s"
