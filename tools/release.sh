#!/usr/bin/env bash
# Builds the release of the Windows program into dist/:
#   Chronobel-VERSION-setup.exe     the installer (NSIS)
#   Chronobel-VERSION-portable.zip  Chronobel.exe, ReadMe.htm, LICENSE.txt and policies/
#   Chronobel-VERSION.msi           the Windows Installer package (wixl)
# policies/ holds the Group Policy templates (Chronobel.admx, en-US/Chronobel.adml),
# which the installers put into the program's folder too.
# VERSION is the project's version (the top CMakeLists.txt). The program is
# stripped; it writes its data files itself on first start, so none ship.
#   bash tools/release.sh
# Packaging an existing Windows build tree instead (the tests do this):
#   bash tools/release.sh --build DIR [--out DIR] [--readme FILE] [--msi-version VERSION]
# --msi-version makes the package (and names it) as VERSION instead: a
# newer package of the same program, as the upgrade tests need.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/win32
out=$root/dist
readme=$root/resources/ReadMe.htm
make_build=1
msi_version=

while [ $# -gt 0 ]; do
  case "$1" in
    --build) build=$(cd "$2" && pwd); make_build=0; shift 2 ;;
    --out) out=$2; shift 2 ;;
    --readme) readme=$2; shift 2 ;;
    --msi-version) msi_version=$2; shift 2 ;;
    *) echo "usage: release.sh [--build DIR] [--out DIR] [--readme FILE] [--msi-version VERSION]" >&2; exit 2 ;;
  esac
done

fail() { echo "release: $*" >&2; exit 1; }
# The help that every Help button opens belongs beside the program.
[ -f "$readme" ] || fail "$readme is missing: the release ships the program's help, ReadMe.htm"

if [ "$make_build" = 1 ]; then
  bash "$root/tools/setup.sh"
  (cd "$root" && cmake --preset win32 >/dev/null && cmake --build build/win32 -j "${JOBS:-2}" --target Chronobel)
fi
[ -f "$build/Chronobel.exe" ] || fail "no $build/Chronobel.exe"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || fail "no project version in $build/CMakeCache.txt"
command -v makensis >/dev/null || fail "makensis is missing (Debian's nsis; tools/setup.sh installs it)"
command -v wixl >/dev/null && command -v msibuild >/dev/null ||
  fail "wixl or msibuild is missing (Debian's wixl and msitools; tools/setup.sh installs them)"
msi_version=${msi_version:-$version}

stage=$(mktemp -d "${TMPDIR:-/tmp}/chronobel-release-XXXXXX")
trap 'rm -rf "$stage"' EXIT
i686-w64-mingw32-strip -o "$stage/Chronobel.exe" "$build/Chronobel.exe"
cp "$readme" "$stage/ReadMe.htm"
# Windows line ends, so that any editor shows the licence as it is.
sed 's/\r*$/\r/' "$root/LICENSE" >"$stage/LICENSE.txt"
mkdir -p "$stage/policies/en-US"
cp "$root/installer/policies/Chronobel.admx" "$stage/policies/"
cp "$root/installer/policies/en-US/Chronobel.adml" "$stage/policies/en-US/"

mkdir -p "$out"
out=$(cd "$out" && pwd)
setup=$out/Chronobel-$version-setup.exe
zip=$out/Chronobel-$version-portable.zip
msi=$out/Chronobel-$msi_version.msi
rm -f "$setup" "$zip" "$msi"
(cd "$stage" && cmake -E tar cf "$zip" --format=zip Chronobel.exe ReadMe.htm LICENSE.txt \
  policies/Chronobel.admx policies/en-US/Chronobel.adml)
makensis -V2 -DSTAGE="$stage" -DVERSION_NSH="$build/generated/version.nsh" -DOUTFILE="$setup" \
  "$root/installer/chronobel.nsi" >"$stage/makensis.log" 2>&1 || { cat "$stage/makensis.log" >&2; fail "makensis failed"; }

# wixl finds the package's files beside its source only.
cp "$root/installer/chronobel.wxs" "$root/installer/DefSet.txt" "$root/resources/chronobel.ico" \
  "$stage/policies/Chronobel.admx" "$stage/policies/en-US/Chronobel.adml" "$stage/"
(cd "$stage" && wixl -a x86 -D Version="$msi_version" -o "$msi" chronobel.wxs) >"$stage/wixl.log" 2>&1 ||
  { cat "$stage/wixl.log" >&2; fail "wixl failed"; }
# What wixl cannot write: the condition of the start at log-on, the
# rollback of the service's installation (wixl makes it an immediate action),
# and the event source's message file as a REG_EXPAND_SZ ("#%" in front).
msi_rollback_type=3410  # an executable installed with the package, run as the installer's account, in rollback, result ignored
msibuild "$msi" \
  -q "UPDATE Component SET Condition = 'AUTOSTART=\"1\"' WHERE Component = 'autostart'" \
  -q "UPDATE CustomAction SET Type = $msi_rollback_type WHERE Action = 'service_install_undo'" \
  -q "UPDATE Registry SET Value = '#%[#Chronobel.exe]' WHERE Name = 'EventMessageFile'" ||
  fail "msibuild could not complete $msi"

echo "release: $setup"
echo "release: $zip"
echo "release: $msi"
