#!/usr/bin/env bash
# Builds the release of the Windows program into dist/:
#   Chronobel-VERSION-setup.exe     the installer (NSIS)
#   Chronobel-VERSION-portable.zip  Chronobel.exe, ReadMe.htm, LICENSE.txt
# VERSION is the project's version (the top CMakeLists.txt). The program is
# stripped; it writes its data files itself on first start, so none ship.
#   bash tools/release.sh
# Packaging an existing Windows build tree instead (the tests do this):
#   bash tools/release.sh --build DIR [--out DIR] [--readme FILE]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/win32
out=$root/dist
readme=$root/resources/ReadMe.htm
make_build=1

while [ $# -gt 0 ]; do
  case "$1" in
    --build) build=$(cd "$2" && pwd); make_build=0; shift 2 ;;
    --out) out=$2; shift 2 ;;
    --readme) readme=$2; shift 2 ;;
    *) echo "usage: release.sh [--build DIR] [--out DIR] [--readme FILE]" >&2; exit 2 ;;
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

stage=$(mktemp -d "${TMPDIR:-/tmp}/chronobel-release-XXXXXX")
trap 'rm -rf "$stage"' EXIT
i686-w64-mingw32-strip -o "$stage/Chronobel.exe" "$build/Chronobel.exe"
cp "$readme" "$stage/ReadMe.htm"
# Windows line ends, so that any editor shows the licence as it is.
sed 's/\r*$/\r/' "$root/LICENSE" >"$stage/LICENSE.txt"

mkdir -p "$out"
out=$(cd "$out" && pwd)
setup=$out/Chronobel-$version-setup.exe
zip=$out/Chronobel-$version-portable.zip
rm -f "$setup" "$zip"
(cd "$stage" && cmake -E tar cf "$zip" --format=zip Chronobel.exe ReadMe.htm LICENSE.txt)
makensis -V2 -DSTAGE="$stage" -DVERSION_NSH="$build/generated/version.nsh" -DOUTFILE="$setup" \
  "$root/installer/chronobel.nsi" >"$stage/makensis.log" 2>&1 || { cat "$stage/makensis.log" >&2; fail "makensis failed"; }
echo "release: $setup"
echo "release: $zip"
