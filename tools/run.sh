#!/usr/bin/env bash
# Chronobel at work on this machine, without touching its clock: the native
# program serves TIME and SNTP on this machine's ports 37 and 123, and a
# second copy checks against it over SNTP and over TIME (a check never sets
# the clock). Given a host name, the checks ask that server instead.
#
#   bash tools/run.sh [host]
# (tools/show_window.sh opens the Windows program under Wine.)
set -euo pipefail
cd "$(dirname "$0")/.."
host=${1:-}
bash tools/setup.sh
program=build/release/chronobel

cmake --preset release >/dev/null
cmake --build build/release -j "${JOBS:-2}" --target chronobel >/dev/null

work=$(mktemp -d)
server_pid=
cleanup() {
  [ -n "$server_pid" ] && kill -TERM "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Nothing here may set the clock: every run goes without the right to.
guarded() { setpriv --bounding-set=-sys_time -- "$@"; }
mkdir -p "$work/server" "$work/client"
cp "$program" "$work/server/chronobel"
cp "$program" "$work/client/chronobel"

if [ -z "$host" ]; then
  host=127.0.0.1
  (cd "$work/server" && guarded ./chronobel /o time_server_enabled=1 autosync_enabled=0 on_program_start=0)
  (cd "$work/server" && exec setpriv --bounding-set=-sys_time -- ./chronobel /n /x > "$work/server.log" 2>&1) &
  server_pid=$!
  for _ in $(seq 50); do grep -q '^Started Service' "$work/server.log" 2>/dev/null && break; sleep 0.1; done
  sleep 0.5
  echo "Built-in server: $(head -n 1 "$work/server.log")"
fi

# The checks ask the one server named in the list.
printf '#The server to check\r\n%s\r\n' "$host" > "$work/client/ServFile.txt"
status=0
for protocol in 1 0; do
  name=$([ $protocol = 1 ] && echo SNTP || echo TIME)
  (cd "$work/client" && guarded ./chronobel /o server_source=0 server_index=0 protocol=$protocol sync_timeout_s=5)
  printf '%-5s check of %s: ' "$name" "$host"
  (cd "$work/client" && guarded ./chronobel /c) | tail -n 1 || status=1
done

if [ -n "$server_pid" ]; then
  kill -TERM "$server_pid"; wait "$server_pid" || true; server_pid=
  echo "What the built-in server showed:"
  sed 's/^/  /' "$work/server.log"
fi
exit $status
