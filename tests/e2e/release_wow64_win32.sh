#!/usr/bin/env bash
# Whole program: the release on 64-bit Windows, in a fresh 64-bit Wine
# prefix. Installed and removed once as the only thing that happens, it
# leaves nothing behind. Installed again without start at log-on, the 32-bit
# program lands in "Program Files (x86)" and its uninstall entry in the
# 32-bit view of the registry; it starts from its path and shows its window;
# the uninstaller asked to purge takes the user's settings too.
#   release_wow64_win32.sh WIN32_BUILD SCREENSHOT_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
source "$(dirname "$0")/release_lib.sh"
release_prepare "$build" wow64 win64

install_dir="$release_drive/Program Files (x86)/Chronobel"
wow64_uninstall_key='HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall\Chronobel'

# What the uninstaller's own run of the program writes goes again.
release_install
release_uninstall "$install_dir"
[ ! -e "$install_dir" ] || e2e_fail "left behind: $(ls -A "$install_dir")"
[ ! -e "$release_data/.." ] || e2e_fail "left behind: $(cd "$release_data/.." && find .)"

release_install /AUTOSTART=0
release_expect_files "$install_dir" Chronobel.exe ReadMe.htm LICENSE.txt DefSet.txt uninstall.exe policies
[ ! -e "$release_drive/Program Files/Chronobel" ] || e2e_fail "installed into the 64-bit Program Files"
[ "$(release_reg /reg:64 "$wow64_uninstall_key" DisplayVersion)" = "$release_version" ] ||
  e2e_fail "no uninstall entry in the 32-bit view"
! release_reg /reg:64 "$release_uninstall_key" DisplayName >/dev/null || e2e_fail "an uninstall entry in the 64-bit view"
! release_reg "$release_run_key" Chronobel.exe >/dev/null || e2e_fail "start at log-on without being asked"

program_dir='C:\Program Files (x86)\Chronobel'
# The event source is not redirected: the 64-bit Event Log finds it.
release_expect_event_source "$program_dir\Chronobel.exe"
e2e_program_windows_path="$program_dir\Chronobel.exe"
(cd "$e2e_work" && exec wine "$program_dir\\Chronobel.exe") >"$e2e_work/program.log" 2>&1 &
e2e_program=$!
e2e_pids+=("$e2e_program")
title=$(e2e_await_window shown 120 | tr -d '\r') || e2e_fail "no window"
[ "$title" = Chronobel ] || e2e_fail "window title '$title'"
e2e_probe_run close || e2e_fail "could not close the window"
e2e_wait_for_exit 60
[ "$e2e_exit_code" -eq 0 ] || e2e_fail "the program ended with code $e2e_exit_code"
e2e_note "the program in Program Files (x86) showed its window and ended cleanly"

printf 'SYNC2000 settings of the user' >"$release_data/dSync.dat"
release_uninstall "$install_dir" /PURGE=1
[ ! -e "$install_dir" ] || e2e_fail "left behind after purging: $(ls -A "$install_dir")"
[ ! -e "$release_data/.." ] || e2e_fail "the data folder outlived the purge"
! release_reg /reg:64 "$wow64_uninstall_key" DisplayName >/dev/null || e2e_fail "the uninstall entry is still there"
release_expect_event_source
e2e_note "uninstalled with the settings"
