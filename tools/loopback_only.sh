#!/usr/bin/env bash
# Runs a command where the network is this machine's loopback and nothing
# else, so that no test can reach (or even look up) the public time servers
# of the default list, whatever it presses:
#   loopback_only.sh COMMAND [ARGS...]
# Already in such a namespace (tools/test.sh runs every test in one), the
# command runs as it is; elsewhere it gets a namespace of its own; where
# none can be made, it does not run at all.
set -euo pipefail
only_loopback() { [ -z "$(ip -o link show 2>/dev/null | awk -F': ' '$2 != "lo"')" ]; }
if only_loopback; then
  exec "$@"
fi
if unshare --net true 2>/dev/null; then
  exec unshare --net -- bash -c 'ip link set lo up && exec "$@"' bash "$@"
fi
echo "loopback_only: no network namespace can be made here; not running $*" >&2
exit 1
