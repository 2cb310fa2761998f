#!/usr/bin/env bash
# Starts or stops the Wine session that the tests of a Windows build tree
# share: its server stays up between tests, so that Wine boots once.
#   wine_session.sh start|stop WIN32_BUILD
# Its processes keep no test's output open, or CTest would wait for them.
set -euo pipefail
action=$1
# shellcheck source=../../tools/wine-env.sh
source "$(dirname "${BASH_SOURCE[0]}")/../../tools/wine-env.sh" "$2"
case "$action" in
  start)
    wineserver -p </dev/null >/dev/null 2>&1
    wine wineboot </dev/null >/dev/null 2>&1
    ;;
  stop)
    wineserver -k </dev/null >/dev/null 2>&1 || true
    ;;
  *) echo "usage: wine_session.sh start|stop WIN32_BUILD" >&2; exit 2 ;;
esac
