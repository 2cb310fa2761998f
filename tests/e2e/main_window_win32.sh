#!/usr/bin/env bash
# Whole program: Chronobel.exe starts under Wine on a private X display, its
# window "Chronobel" shows the five buttons and the texts of its dialog, a
# screenshot is saved, and closing the window ends the program with code 0.
#   main_window_win32.sh WIN32_BUILD SCREENSHOT_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
shots=$2
source "$(dirname "$0")/lib.sh"

e2e_prepare "$build"
e2e_start_display
e2e_start_program

# Wine under emulation can take minutes to start a program.
title=$(e2e_await_window shown 900 | tr -d '\r') || e2e_fail "no window of class Chronobel appeared"
[ "$title" = "Chronobel" ] || e2e_fail "window title is '$title'"

controls=$(e2e_probe_run list | tr -d '\r')
e2e_note "controls:"$'\n'"$controls"
expect_control() {
  local id=$1 text=$2
  printf '%s\n' "$controls" | awk -F'\t' -v id="$id" -v text="$text" \
    '$1 == id && $4 == text { found = 1 } END { exit !found }' || e2e_fail "no control $id \"$text\""
}
expect_control 1 "Check"
expect_control 3 "Correct"
expect_control 101 "Options"
expect_control 1001 "Time Zone"
expect_control 5 "About"
expect_control 1032 "Server"
expect_control 1030 "Not Checked Yet"

# Without "DefSet.txt" the data files live beside the program: the built-in
# defaults were written there, byte for byte.
resources=$(dirname "$0")/../../resources
for file in ServFile.txt Strings.txt; do
  cmp -s "$e2e_work/$file" "$resources/$file" || e2e_fail "$file beside the program is not the built-in default"
done

mkdir -p "$shots"
import -window root "$shots/main_window.png"
e2e_note "screenshot: $shots/main_window.png"

e2e_probe_run close || e2e_fail "could not post WM_CLOSE"
e2e_wait_for_exit 5
[ "$e2e_exit_code" -eq 0 ] || e2e_fail "the program ended with code $e2e_exit_code"
[ "$(stat -c %s "$e2e_work/dSync.dat")" = 340 ] || e2e_fail "no settings saved at the end"
e2e_note "the program ended cleanly and saved its settings"

# The buttons and labels take their texts from Strings.txt, an edited one
# too, and the computer name is shown.
python3 - "$e2e_work/Strings.txt" <<'PY'
import sys
lines = open(sys.argv[1], "rb").read().split(b"\r\n")
lines[2] = b"Settings"
lines[8] = b"Time server"
open(sys.argv[1], "wb").write(b"\r\n".join(lines))
PY
e2e_start_program
e2e_await_window shown 300 >/dev/null || e2e_fail "no window the second time"
for _ in $(seq 50); do
  controls=$(e2e_probe_run list | tr -d '\r')
  printf '%s\n' "$controls" | awk -F'\t' '$1 == 1031 && $4 != "" { found = 1 } END { exit !found }' && break
  sleep 0.2
done
expect_control 101 "Settings"
expect_control 1032 "Time server"
printf '%s\n' "$controls" | awk -F'\t' '$1 == 1031 && $4 != "" { found = 1 } END { exit !found }' || e2e_fail "no computer name"
e2e_probe_run command 2
e2e_wait_for_exit 5
[ "$e2e_exit_code" -eq 0 ] || e2e_fail "Exit ended the program with code $e2e_exit_code"
e2e_note "captions follow Strings.txt; Exit ends the program"
