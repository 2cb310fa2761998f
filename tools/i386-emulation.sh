#!/usr/bin/env bash
# Lets this machine run 32-bit Linux programs (32-bit Wine among them) when
# its kernel has 32-bit support switched off: qemu's user-mode emulator is
# registered for them. Debian 12's qemu 7.2 starts each Wine process in about
# a minute; the backported qemu 10 in seconds, so that is the one installed.
#   bash tools/i386-emulation.sh            install (as root) and register
#   bash tools/i386-emulation.sh register   register only
set -euo pipefail

runs_i386() { /usr/lib/wine/wine --version >/dev/null 2>&1; }
if runs_i386; then exit 0; fi

emulator=/usr/bin/qemu-i386
if [ "${1:-install}" = install ] && ! "$emulator" --version 2>/dev/null | grep -qE 'version ([89]|[1-9][0-9])\.'; then
  [ "$(id -u)" -eq 0 ] || { echo "i386-emulation: run as root" >&2; exit 1; }
  list=/etc/apt/sources.list.d/bookworm-backports.sources
  if ! grep -rqs bookworm-backports /etc/apt/sources.list /etc/apt/sources.list.d/; then
    printf 'Types: deb\nURIs: http://deb.debian.org/debian\nSuites: bookworm-backports\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' >"$list"
  fi
  apt-get update -q >/dev/null
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends -t bookworm-backports qemu-user-static >/dev/null
fi
[ -x "$emulator" ] || emulator=/usr/bin/qemu-i386-static
[ -x "$emulator" ] || { echo "i386-emulation: no qemu-i386" >&2; exit 1; }

binfmt=/proc/sys/fs/binfmt_misc
[ -e "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt"
if [ -e "$binfmt/qemu-i386" ] && ! grep -qx "interpreter $emulator" "$binfmt/qemu-i386"; then
  echo -1 >"$binfmt/qemu-i386"
fi
if [ ! -e "$binfmt/qemu-i386" ]; then
  # 32-bit x86 ELF executables and shared objects; F: the emulator is opened now.
  printf '%s' ":qemu-i386:M::\\x7fELF\\x01\\x01\\x01\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x02\\x00\\x03\\x00:\\xff\\xff\\xff\\xff\\xff\\xfe\\xfe\\x00\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xfe\\xff\\xff\\xff:$emulator:F" \
    >"$binfmt/register"
fi
runs_i386 || { echo "i386-emulation: 32-bit programs still do not run" >&2; exit 1; }
