#!/usr/bin/env bash
# Installs what building and testing Chronobel needs on a Debian 12 machine.
# Quick when everything is there already: it only asks apt for what is missing.
set -euo pipefail

need=()
have_cmd() { command -v "$1" >/dev/null 2>&1; }
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

packages=(cmake g++ make googletest libgtest-dev clang libclang-rt-14-dev
          g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix mingw-w64-i686-dev
          wine wine64 fonts-wine xvfb xauth imagemagick xdotool util-linux nsis msitools wixl
          chrony ntpsec-ntpdate sntp rdate xinetd iproute2)
for p in "${packages[@]}"; do have_pkg "$p" || need+=("$p"); done
have_pkg wine32:i386 || need+=(wine32:i386)

if [ ${#need[@]} -eq 0 ]; then
  # This kernel may run 32-bit programs (32-bit Wine) only through qemu.
  exec bash "$(dirname "$0")/i386-emulation.sh"
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "setup: missing packages (${need[*]}); run this script as root" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi

retry() {
  local n
  for n in 1 2 3 4 5; do
    "$@" && return 0
    echo "setup: '$*' failed (attempt $n), retrying" >&2
    sleep $((n * 5))
  done
  return 1
}

retry apt-get update -q
# Debian starts services that packages bring; these peers are only run by hand in
# tests, never as services, so keep the packages from starting anything.
printf '#!/bin/sh\nexit 101\n' > /usr/sbin/policy-rc.d && chmod +x /usr/sbin/policy-rc.d
trap 'rm -f /usr/sbin/policy-rc.d' EXIT
retry apt-get install -y -q --no-install-recommends "${need[@]}"
retry bash "$(dirname "$0")/i386-emulation.sh"
