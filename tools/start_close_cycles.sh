#!/usr/bin/env bash
# Starts and closes Chronobel.exe under Wine again and again, each time with
# a check in flight (against a server on 127.0.0.1 that never answers), and
# measures how long the program takes to end after WM_CLOSE. Fails when any
# close takes longer than the limit.
#   bash tools/start_close_cycles.sh [CYCLES [LIMIT_SECONDS]]   (default 50, 5)
# It runs without the right to set this machine's clock.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${CHRONOBEL_CLOCK_GUARDED:-}" ]; then
  CHRONOBEL_CLOCK_GUARDED=1 exec setpriv --bounding-set=-sys_time -- bash "$0" "$@"
fi
cycles=${1:-50}
limit_s=${2:-5}

bash tools/setup.sh
cmake --preset win32 >/dev/null
cmake --build build/win32 -j "${JOBS:-2}" --target Chronobel window_probe >/dev/null
build=$PWD/build/win32
source tests/e2e/lib.sh
e2e_prepare "$build"
e2e_start_display

# A silent SNTP server: it takes the requests and never answers, so that a
# check stays in flight until its time-out.
silent=127.0.0.$((100 + RANDOM % 100))
python3 -c '
import socket, sys, time
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind((sys.argv[1], 123))
s.settimeout(1)
end = time.monotonic() + 3600
while time.monotonic() < end:
    try: s.recv(512)
    except socket.timeout: pass
' "$silent" &
e2e_pids+=("$!")
printf '#a server that never answers\r\n%s\r\n' "$silent" >"$e2e_work/ServFile.txt"

worst_ms=0
total_ms=0
for cycle in $(seq 1 "$cycles"); do
  e2e_start_program
  e2e_await_window shown 300 >/dev/null || e2e_fail "cycle $cycle: no window"
  # Check, and wait until the button has turned into Abort.
  for _ in $(seq 50); do
    e2e_probe_run command 1
    e2e_probe_run list | tr -d '\r' | awk -F'\t' '$1 == 1 && $4 == "Abort" { found = 1 } END { exit !found }' && break
    sleep 0.2
  done
  started=$(date +%s%N)
  e2e_probe_run close
  while kill -0 "$e2e_program" 2>/dev/null; do
    [ $(( ($(date +%s%N) - started) / 1000000 )) -gt $((limit_s * 1000 + 5000)) ] && break
    sleep 0.02
  done
  took_ms=$(( ($(date +%s%N) - started) / 1000000 ))
  e2e_wait_for_exit 30
  [ "$e2e_exit_code" -eq 0 ] || e2e_fail "cycle $cycle: exit code $e2e_exit_code"
  total_ms=$((total_ms + took_ms))
  [ "$took_ms" -gt "$worst_ms" ] && worst_ms=$took_ms
  echo "cycle $cycle: ended ${took_ms} ms after WM_CLOSE"
  [ "$took_ms" -le $((limit_s * 1000)) ] || e2e_fail "cycle $cycle took ${took_ms} ms (limit ${limit_s} s)"
done
echo "start/close cycles: $cycles, mean $((total_ms / cycles)) ms, worst $worst_ms ms (limit ${limit_s} s)"
