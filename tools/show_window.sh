#!/usr/bin/env bash
# Builds the Windows program and opens it under Wine, on your
# display. Without a display it runs on a private Xvfb display instead,
# saves a screenshot (its path is printed) and closes the program again.
#   bash tools/show_window.sh [SWITCHES...]
# It runs without the right to set this machine's clock.
set -euo pipefail
cd "$(dirname "$0")/.."
# Everything below, the program included, goes without the right to set the
# clock (the rest of root's rights stay: the setup may install packages).
if [ -z "${CHRONOBEL_CLOCK_GUARDED:-}" ]; then
  CHRONOBEL_CLOCK_GUARDED=1 exec setpriv --bounding-set=-sys_time -- bash "$0" "$@"
fi

bash tools/setup.sh
bash tools/i386-emulation.sh
cmake --preset win32 >/dev/null
cmake --build build/win32 -j "${JOBS:-2}" --target Chronobel window_probe
build=$PWD/build/win32

if [ -n "${DISPLAY:-}" ]; then
  # shellcheck source=wine-env.sh
  source tools/wine-env.sh "$build"
  cd "$build"
  exec wine Chronobel.exe "$@"
fi

source tests/e2e/lib.sh
e2e_prepare "$build"
e2e_start_display
e2e_start_program "$@"
e2e_await_window shown 900 >/dev/null || e2e_fail "the window did not appear"
sleep 1  # let it finish drawing
mkdir -p "$build/screenshots"
shot=$build/screenshots/run.png
import -window root "$shot"
echo "Chronobel ran on a private display; screenshot: $shot"
e2e_probe_run close
e2e_wait_for_exit 120
exit "$e2e_exit_code"
