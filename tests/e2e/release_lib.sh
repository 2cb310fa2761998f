# Sourced by the release tests: the release made from a Windows build tree
# by tools/release.sh, installed into a fresh Wine prefix of the test's own
# under that tree (never the prefix the other tests share), in a network of
# its own that reaches nothing beyond this machine's loopback.

source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
# The prefix is the test's own: its Wine server ends with the test.
unset CHRONOBEL_KEEP_WINESERVER

release_cleanup() {
  local status=$?
  e2e_cleanup
  # A failed run leaves its prefix for a look; the next run starts afresh.
  if [ "$status" -eq 0 ] && [ -n "${release_root:-}" ]; then rm -rf "$release_root"; fi
}
trap release_cleanup EXIT

# release_prepare WIN32_BUILD NAME win32|win64: the release in
# $release_dist ($release_setup, $release_zip, $release_msi,
# $release_version), a fresh
# prefix, a private display, and the probes.
release_prepare() {
  local build=$1 name=$2 arch=$3
  local source_dir
  source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
  e2e_work=$(mktemp -d "${TMPDIR:-/tmp}/chronobel-release-XXXXXX")
  release_dist=$e2e_work/dist

  # The help file comes from its own change; until it is there, a stand-in
  # made here lets the rest be tested.
  local readme=()
  if [ ! -f "$source_dir/resources/ReadMe.htm" ]; then
    printf '<html><body>Chronobel</body></html>\r\n' >"$e2e_work/ReadMe.htm"
    readme=(--readme "$e2e_work/ReadMe.htm")
  fi
  bash "$source_dir/tools/release.sh" --build "$build" --out "$release_dist" "${readme[@]}" >/dev/null ||
    e2e_fail "tools/release.sh failed"
  release_version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
  release_setup=$release_dist/Chronobel-$release_version-setup.exe
  release_zip=$release_dist/Chronobel-$release_version-portable.zip
  release_msi=$release_dist/Chronobel-$release_version.msi
  [ -f "$release_setup" ] && [ -f "$release_zip" ] && [ -f "$release_msi" ] || e2e_fail "the release files are not named after version $release_version"

  e2e_probe=$build/tests/win32/window_probe.exe
  release_version_probe=$build/tests/win32/version_probe.exe
  [ -f "$e2e_probe" ] && [ -f "$release_version_probe" ] || e2e_fail "the probes are not built in $build"

  # Wine's desktop process, started with the prefix, draws only on a display
  # it had from the start.
  e2e_start_display
  release_root=$build/e2e-release/$name
  rm -rf "$release_root"
  mkdir -p "$release_root"
  export WINEPREFIX=$release_root/prefix WINEARCH=$arch WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  release_wine64=/usr/lib/wine/wine64
  if [ "$arch" = win64 ]; then
    [ -x "$release_wine64" ] || e2e_fail "no 64-bit Wine (Debian's wine64)"
    "$release_wine64" wineboot -i >/dev/null 2>&1 || e2e_fail "wineboot failed"
  else
    wineboot -i >/dev/null 2>&1 || e2e_fail "wineboot failed"
  fi
  # Services that the first boot starts may still be starting; the service
  # manager would let a new service wait behind them.
  timeout 120 wineserver -w || e2e_fail "the new prefix does not settle"
  release_drive=$WINEPREFIX/drive_c
  release_data=$release_drive/users/$(id -un)/AppData/Roaming/Orvane/Chronobel
  release_shortcut='C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Chronobel.lnk'
}

# release_reg [/reg:64] KEY VALUE: prints the value's data, or fails.
release_reg() {
  local view=()
  if [ "$1" = /reg:64 ]; then view=(/reg:64); shift; fi
  wine reg query "$1" /v "$2" "${view[@]}" 2>/dev/null | tr -d '\r' |
    awk -v name="$2" '$1 == name { sub(/^ *[^ ]+ +[^ ]+ +/, ""); print; found = 1 } END { exit !found }'
}

release_uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Chronobel'
release_event_source='HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\Chronobel'

# release_expect_event_source [PROGRAM]: the event log source "Chronobel" is
# registered with PROGRAM as its message file (a REG_EXPAND_SZ) for all three
# kinds of entry; without PROGRAM: it is gone.
release_expect_event_source() {
  if [ $# -eq 0 ]; then
    ! wine reg query "$release_event_source" >/dev/null 2>&1 || e2e_fail "the event source is still registered"
    return 0
  fi
  [ "$(release_reg "$release_event_source" EventMessageFile)" = "$1" ] ||
    e2e_fail "the event source's message file is not $1: $(wine reg query "$release_event_source" 2>&1 | tr -d '\r')"
  wine reg query "$release_event_source" /v EventMessageFile | grep -q REG_EXPAND_SZ ||
    e2e_fail "the event source's message file is not a REG_EXPAND_SZ"
  [ "$(release_reg "$release_event_source" TypesSupported)" = 0x7 ] || e2e_fail "the event source's kinds of entry"
}
release_run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'

# release_install SWITCHES...: the silent setup, which must end with code 0.
release_install() {
  local code=0
  wine "$release_setup" /S "$@" || code=$?
  [ "$code" -eq 0 ] || e2e_fail "the setup ($*) ended with code $code"
  e2e_note "installed: $*"
}

# release_uninstall DIR SWITCHES...: the silent uninstaller of the copy in
# DIR (a Unix path). It goes on from a copy of itself, so the test waits for
# every process of the prefix to end.
release_uninstall() {
  local dir=$1
  shift
  [ -f "$dir/uninstall.exe" ] || e2e_fail "no uninstaller in $dir"
  wine "$(winepath -w "$dir/uninstall.exe")" /S "$@" || e2e_fail "the uninstaller did not start"
  timeout 180 wineserver -w || e2e_fail "the uninstaller, or something it left, is still running"
  e2e_note "uninstalled: $*"
}

# release_expect_files DIR NAME...: DIR holds exactly these files.
release_expect_files() {
  local dir=$1 found
  shift
  found=$(cd "$dir" && ls -A | sort | tr '\n' ' ')
  [ "$found" = "$(printf '%s\n' "$@" | sort | tr '\n' ' ')" ] || e2e_fail "$dir holds: $found; expected: $*"
}

# release_expect_policies DIR: DIR/policies holds the Group Policy templates
# of the source tree, and nothing else.
release_expect_policies() {
  local templates
  templates=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../installer/policies" && pwd)
  release_expect_files "$1/policies" Chronobel.admx en-US
  release_expect_files "$1/policies/en-US" Chronobel.adml
  cmp -s "$1/policies/Chronobel.admx" "$templates/Chronobel.admx" &&
    cmp -s "$1/policies/en-US/Chronobel.adml" "$templates/en-US/Chronobel.adml" ||
    e2e_fail "the templates in $1/policies are not the source tree's"
}

# release_expect_version EXE: the version resource reads the project's version.
release_expect_version() {
  local info
  info=$(wine "$release_version_probe" "$(winepath -w "$1")" | tr -d '\r') || e2e_fail "no version resource in $1"
  printf '%s\n' "$info" | grep -qx "fixed $release_version.0" || e2e_fail "file version: $info"
  printf '%s\n' "$info" | grep -qx "ProductVersion	$release_version" || e2e_fail "product version: $info"
  printf '%s\n' "$info" | grep -qx "ProductName	Chronobel" || e2e_fail "product name: $info"
  printf '%s\n' "$info" | grep -q "^LegalCopyright	Copyright (C) [0-9]* Orvane$" || e2e_fail "copyright: $info"
}

# release_expect_window_closes: closes the main window, which must go.
release_expect_window_closes() {
  e2e_probe_run close || e2e_fail "no main window to close"
  local tries
  for tries in $(seq 1 100); do
    e2e_probe_run wait 0 >/dev/null || return 0
    sleep 0.5
  done
  e2e_fail "the main window did not close"
}
