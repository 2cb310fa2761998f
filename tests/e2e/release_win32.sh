#!/usr/bin/env bash
# Whole program: the release as a Windows user meets it. The portable zip
# holds exactly the stripped program, its help and the licence. The silent
# setup, in a fresh 32-bit Wine prefix, puts the program with its version
# resource into "Program Files\Chronobel", adds the Start-menu shortcut, the
# entry of "Apps and features" and the start at log-on (and the running
# service, when chosen); the program starts from the shortcut, from its path
# with blanks, and shows its window. The silent uninstaller takes all that
# away again and keeps the user's settings and log.
#   release_win32.sh WIN32_BUILD SCREENSHOT_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
source "$(dirname "$0")/release_lib.sh"
release_prepare "$build" win32 win32

# The zip.
unzipped=$e2e_work/zip
mkdir -p "$unzipped"
(cd "$unzipped" && cmake -E tar xf "$release_zip")
release_expect_files "$unzipped" Chronobel.exe ReadMe.htm LICENSE.txt policies
release_expect_policies "$unzipped"
i686-w64-mingw32-nm "$unzipped/Chronobel.exe" 2>&1 | grep -q "no symbols" || e2e_fail "the program in the zip is not stripped"
for part in Microsoft.Windows.Common-Controls '"asInvoker"' '>true</dpiAware>'; do
  grep -qF "$part" "$unzipped/Chronobel.exe" || e2e_fail "the program's manifest lacks $part"
done
grep -q "^Copyright (C) [0-9]* Orvane" "$unzipped/LICENSE.txt" || e2e_fail "the licence has no copyright line"
e2e_note "the zip holds: $(cmake -E tar tf "$release_zip" | tr '\n' ' ')"

# The setup, with start at log-on (and the service).
install_dir="$release_drive/Program Files/Chronobel"
# The program and the service keep their server lists with their other data,
# never beside the program.
release_install /AUTOSTART=1 /SERVICE=1
release_expect_files "$install_dir" Chronobel.exe ReadMe.htm LICENSE.txt DefSet.txt uninstall.exe policies
release_expect_policies "$install_dir"
cmp -s "$install_dir/Chronobel.exe" "$unzipped/Chronobel.exe" || e2e_fail "the installed program is not the zip's"
release_expect_version "$install_dir/Chronobel.exe"

shortcut="$release_drive/ProgramData/Microsoft/Windows/Start Menu/Programs/Chronobel.lnk"
[ -f "$shortcut" ] || e2e_fail "no Start-menu shortcut"
program='C:\Program Files\Chronobel\Chronobel.exe'
e2e_program_windows_path=$program
[ "$(release_reg "$release_uninstall_key" DisplayName)" = Chronobel ] || e2e_fail "no uninstall entry"
[ "$(release_reg "$release_uninstall_key" DisplayVersion)" = "$release_version" ] || e2e_fail "uninstall entry: wrong version"
[ "$(release_reg "$release_uninstall_key" Publisher)" = Orvane ] || e2e_fail "uninstall entry: wrong publisher"
[ "$(release_reg "$release_uninstall_key" UninstallString)" = '"C:\Program Files\Chronobel\uninstall.exe"' ] ||
  e2e_fail "uninstall entry: wrong uninstall command"
[ "$(release_reg "$release_uninstall_key" DisplayIcon)" = "$program,0" ] || e2e_fail "uninstall entry: wrong icon"
size=$(release_reg "$release_uninstall_key" EstimatedSize)
[ $((size)) -ge 100 ] || e2e_fail "uninstall entry: size $size KiB"
[ "$(release_reg "$release_run_key" Chronobel.exe)" = "\"$program\"" ] || e2e_fail "no start at log-on"

wine sc query Chronobel | tr -d '\r' | grep -q "STATE *: 4 *RUNNING" || e2e_fail "the service does not run"
[ "$(release_reg 'HKLM\System\CurrentControlSet\Services\Chronobel' ImagePath)" = "\"$program\" /x" ] ||
  e2e_fail "the service does not run the installed program"
release_expect_event_source "$program"
e2e_note "the service runs"

# The program, started as a user would, from its shortcut.
wine start "$release_shortcut" || e2e_fail "the shortcut does not start"
title=$(e2e_probe_run shown 120 | tr -d '\r') || e2e_fail "no window after the shortcut"
[ "$title" = Chronobel ] || e2e_fail "window title '$title'"
mkdir -p "$2"
sleep 1  # the worker fills the texts half a second after the window shows
import -window root "$2/installed_program.png"
release_expect_window_closes
[ "$(release_reg "$release_run_key" Chronobel.exe)" = "\"$program\"" ] ||
  e2e_fail "the start at log-on chosen at install went when the program closed"
# Beside DefSet.txt the program keeps its data in the user's folder.
[ -f "$release_data/Strings.txt" ] && [ -f "$release_data/ServFile.txt" ] || e2e_fail "no data files in $release_data"
e2e_note "the installed program showed its window; screenshot: $2/installed_program.png"

# The user's settings and log outlive the program.
printf 'SYNC2000 settings of the user' >"$release_data/dSync.dat"
printf 'the log of the user\r\n' >"$release_data/dLog.txt"
cp "$release_data/dSync.dat" "$e2e_work/"
release_uninstall "$install_dir"
for file in Chronobel.exe uninstall.exe ReadMe.htm LICENSE.txt DefSet.txt; do
  [ ! -e "$install_dir/$file" ] || e2e_fail "$file is still installed"
done
[ ! -e "$shortcut" ] || e2e_fail "the shortcut is still there"
! release_reg "$release_uninstall_key" DisplayName >/dev/null || e2e_fail "the uninstall entry is still there"
! release_reg "$release_run_key" Chronobel.exe >/dev/null || e2e_fail "the start at log-on is still there"
cmp -s "$release_data/dSync.dat" "$e2e_work/dSync.dat" || e2e_fail "the settings went with the program"
grep -q "the log of the user" "$release_data/dLog.txt" || e2e_fail "the log went with the program"
! wine sc query Chronobel >/dev/null 2>&1 || e2e_fail "the service is still installed"
release_expect_event_source
e2e_note "uninstalled; the settings and the log stayed"

# A folder of one's own that everybody may change (as folders under C:\ are):
# the setup gives it the rights of Program Files, so the service may run from it.
tools_dir="$release_drive/Tools/Chronobel"
mkdir -p "$tools_dir"
chmod 777 "$tools_dir"
release_install /AUTOSTART=0 /SERVICE=1 '/D=C:\Tools\Chronobel'
wine sc query Chronobel | tr -d '\r' | grep -q "STATE *: 4 *RUNNING" || e2e_fail "the service does not run from C:\Tools"
[ "$(stat -c %a "$tools_dir")" != 777 ] || e2e_fail "the chosen folder is still open to everybody"
release_uninstall "$tools_dir"
! wine sc query Chronobel >/dev/null 2>&1 || e2e_fail "the service is still installed"
e2e_note "installed into an open folder of its own, tightened, with the service"
