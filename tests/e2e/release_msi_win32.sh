#!/usr/bin/env bash
# Whole program: the Windows Installer package of the release, in a fresh
# 32-bit Wine prefix. `msiexec /i ... /qn SERVICE=1` puts the program into
# "Program Files\Chronobel" with the Start-menu shortcut, the entry of "Apps
# and features", the start at log-on, the event log source and the running
# service; a newer
# package, given no choices, replaces it in place and keeps them, the service
# running the new copy; `msiexec /x ... /qn` takes it all away and keeps the
# user's data and the service's; a service in a folder that everybody
# may change is refused and the installation rolled back.
#   release_msi_win32.sh WIN32_BUILD SCREENSHOT_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
source "$(dirname "$0")/release_lib.sh"
release_prepare "$build" msi win32

# msiexec ARGS...: must end with code 0.
msiexec_ok() {
  local code=0
  wine msiexec "$@" || code=$?
  [ "$code" -eq 0 ] || e2e_fail "msiexec $* ended with code $code"
  e2e_note "msiexec $*"
}

# product_code MSI: the package's ProductCode, the name of its entry in
# "Apps and features".
product_code() {
  msiinfo export "$1" Property | tr -d '\r' | awk '$1 == "ProductCode" { print $2 }'
}

expect_service_runs() {
  wine sc query Chronobel | tr -d '\r' | grep -q "STATE *: 4 *RUNNING" || e2e_fail "the service does not run ($1)"
  [ "$(release_reg 'HKLM\System\CurrentControlSet\Services\Chronobel' ImagePath)" = "\"$program\" /x" ] ||
    e2e_fail "the service does not run the installed program ($1)"
}

# expect_entry MSI VERSION: the package's entry in "Apps and features".
expect_entry() {
  local key="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$(product_code "$1")"
  [ "$(release_reg "$key" DisplayName)" = Chronobel ] || e2e_fail "no uninstall entry for $2"
  [ "$(release_reg "$key" DisplayVersion)" = "$2" ] || e2e_fail "uninstall entry: wrong version for $2"
  [ "$(release_reg "$key" Publisher)" = Orvane ] || e2e_fail "uninstall entry: wrong publisher for $2"
}

install_dir="$release_drive/Program Files/Chronobel"
# Windows puts the shortcut of a per-machine package into the Start menu of
# all users; Wine's msi, into that of the installing user.
shortcuts=("$release_drive/ProgramData/Microsoft/Windows/Start Menu/Programs/Chronobel.lnk"
           "$release_data/../../Microsoft/Windows/Start Menu/Programs/Chronobel.lnk")
shortcut_count() { local s n=0; for s in "${shortcuts[@]}"; do [ ! -f "$s" ] || n=$((n + 1)); done; echo "$n"; }
program='C:\Program Files\Chronobel\Chronobel.exe'
unzipped=$e2e_work/zip
mkdir -p "$unzipped"
(cd "$unzipped" && cmake -E tar xf "$release_zip")

# The package with the service (start at log-on by default).
msiexec_ok /i "$(winepath -w "$release_msi")" /qn SERVICE=1
release_expect_files "$install_dir" Chronobel.exe ReadMe.htm LICENSE.txt DefSet.txt policies
release_expect_policies "$install_dir"
cmp -s "$install_dir/Chronobel.exe" "$unzipped/Chronobel.exe" || e2e_fail "the installed program is not the zip's"
release_expect_version "$install_dir/Chronobel.exe"
[ "$(shortcut_count)" = 1 ] || e2e_fail "no Start-menu shortcut"
expect_entry "$release_msi" "$release_version"
[ "$(release_reg "$release_run_key" Chronobel.exe)" = "\"$program\"" ] || e2e_fail "no start at log-on"
expect_service_runs "first install"
release_expect_event_source "$program"
e2e_note "installed $release_version with the service"

# A newer package, with other help to tell its files, upgrades in place.
newer_version=${release_version%.*}.$((${release_version##*.} + 1))
newer_dist=$e2e_work/newer
printf '<html><body>Chronobel %s</body></html>\r\n' "$newer_version" >"$e2e_work/newer.htm"
bash "$(dirname "$0")/../../tools/release.sh" --build "$build" --out "$newer_dist" --readme "$e2e_work/newer.htm" \
  --msi-version "$newer_version" >/dev/null || e2e_fail "tools/release.sh --msi-version failed"
newer_msi=$newer_dist/Chronobel-$newer_version.msi
[ "$(product_code "$newer_msi")" != "$(product_code "$release_msi")" ] || e2e_fail "both packages have one product code"
msiexec_ok /i "$(winepath -w "$newer_msi")" /qn
release_expect_files "$install_dir" Chronobel.exe ReadMe.htm LICENSE.txt DefSet.txt policies
cmp -s "$install_dir/ReadMe.htm" "$e2e_work/newer.htm" || e2e_fail "the upgrade left the older files"
expect_entry "$newer_msi" "$newer_version"
! release_reg "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$(product_code "$release_msi")" DisplayName \
  >/dev/null || e2e_fail "the older version is still listed"
[ "$(release_reg "$release_run_key" Chronobel.exe)" = "\"$program\"" ] || e2e_fail "the upgrade lost the start at log-on"
expect_service_runs "after the upgrade"
release_expect_event_source "$program"
e2e_note "upgraded in place to $newer_version; the service runs again"

# The older package refuses to replace the newer one.
code=0
wine msiexec /i "$(winepath -w "$release_msi")" /qn || code=$?
[ "$code" -ne 0 ] || e2e_fail "the older package installed over the newer one"
expect_entry "$newer_msi" "$newer_version"
! release_reg "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$(product_code "$release_msi")" DisplayName \
  >/dev/null || e2e_fail "the older version is listed again"
expect_service_runs "after the refused downgrade"
e2e_note "the older package ended with code $code and left the newer one"

# The user's data, and the service's, outlive the program.
mkdir -p "$release_data"
printf 'SYNC2000 settings of the user' >"$release_data/dSync.dat"
printf 'the log of the user\r\n' >"$release_data/dLog.txt"
cp "$release_data/dSync.dat" "$e2e_work/"
user_files=$(ls -A "$release_data" | tr '\n' ' ')
service_appdata=$(release_reg 'HKU\.DEFAULT\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders' AppData) ||
  e2e_fail "no application-data folder for the service"
service_data=$(winepath -u "$service_appdata\\Orvane\\Chronobel")
[ -f "$service_data/dLog.txt" ] || e2e_fail "the service keeps no log in $service_data"
cp "$service_data/dLog.txt" "$e2e_work/service.log"
msiexec_ok /x "$(winepath -w "$newer_msi")" /qn
timeout 180 wineserver -w || e2e_fail "something the uninstall left is still running"
[ ! -e "$install_dir" ] || e2e_fail "the program folder stays, holding: $(ls -A "$install_dir" | tr '\n' ' ')"
[ "$(shortcut_count)" = 0 ] || e2e_fail "the shortcut is still there"
! release_reg "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$(product_code "$newer_msi")" DisplayName \
  >/dev/null || e2e_fail "the uninstall entry is still there"
! release_reg "$release_run_key" Chronobel.exe >/dev/null || e2e_fail "the start at log-on is still there"
! wine sc query Chronobel >/dev/null 2>&1 || e2e_fail "the service is still installed"
cmp -s "$release_data/dSync.dat" "$e2e_work/dSync.dat" || e2e_fail "the settings went with the program"
grep -q "the log of the user" "$release_data/dLog.txt" || e2e_fail "the log went with the program"
[ "$(ls -A "$release_data" | tr '\n' ' ')" = "$user_files" ] ||
  e2e_fail "the user's data folder held $user_files and now: $(ls -A "$release_data" | tr '\n' ' ')"
! wine reg query 'HKLM\Software\Orvane\Chronobel\Setup' >/dev/null 2>&1 || e2e_fail "the remembered choices stay"
release_expect_event_source
cmp -s <(head -c "$(stat -c %s "$e2e_work/service.log")" "$service_data/dLog.txt") "$e2e_work/service.log" ||
  e2e_fail "the service's log went with the program"
e2e_note "uninstalled; the user's data and the service's stayed"

# A folder that everybody may change: the program's /i refuses to run a
# service from it, and the whole installation rolls back.
tools_dir="$release_drive/Tools/Chronobel"
mkdir -p "$tools_dir"
chmod 777 "$tools_dir"
code=0
wine msiexec /i "$(winepath -w "$release_msi")" /qn SERVICE=1 'INSTALLDIR=C:\Tools\Chronobel\' || code=$?
[ "$code" -ne 0 ] || e2e_fail "the package installed a service that runs from a folder everybody may change"
timeout 180 wineserver -w || e2e_fail "something the refused install left is still running"
! wine sc query Chronobel >/dev/null 2>&1 || e2e_fail "the refused install left the service"
release_expect_event_source
[ ! -e "$tools_dir" ] || [ -z "$(ls -A "$tools_dir")" ] || e2e_fail "the refused install left: $(ls -A "$tools_dir" | tr '\n' ' ')"
! release_reg "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$(product_code "$release_msi")" DisplayName \
  >/dev/null || e2e_fail "the refused install is listed"
e2e_note "the service in an open folder was refused (code $code) and everything rolled back"
