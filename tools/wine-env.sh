# Sourced: sets up Wine for the Windows build tree given as the first
# argument (default build/win32): its own 32-bit prefix inside that tree,
# quiet, without the Mono and Gecko add-ons. The prefix is made on first use.
#   source tools/wine-env.sh build/win32
chronobel_win32_build=$(cd "${1:-$(dirname "${BASH_SOURCE[0]}")/../build/win32}" && pwd)
export WINEPREFIX="$chronobel_win32_build/wine-prefix"
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

# 32-bit Wine needs the kernel to run 32-bit programs; where that is switched
# off, they run under qemu's user-mode emulator (tools/i386-emulation.sh).
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  bash "$(dirname "${BASH_SOURCE[0]}")/i386-emulation.sh" register >&2 || true
fi

# Wine programs of a test session without a display of their own use the
# session's (tests/win32/wine_session.sh).
if [ -z "${DISPLAY:-}" ] && [ -f "$chronobel_win32_build/wine-session.display" ]; then
  export DISPLAY=$(cat "$chronobel_win32_build/wine-session.display")
fi

# The prefix is made once, under a lock, so that tests started together
# share it instead of racing to make it.
if [ ! -f "$WINEPREFIX/.chronobel-ready" ]; then
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.chronobel-ready" ]; then
      # Without a window manager (Xvfb) Wine draws the window frames itself.
      wineboot -i >/dev/null 2>&1 &&
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1 &&
        wineserver -w && touch "$WINEPREFIX/.chronobel-ready"
    fi
  ) 9>"$chronobel_win32_build/wine-prefix.lock"
fi
# Wine draws the caption buttons with the Marlett font, which Debian's
# fonts-wine ships where this Wine does not look: the prefix gets a copy.
if [ -f /usr/share/wine/fonts/marlett.ttf ] && [ -d "$WINEPREFIX/drive_c/windows/Fonts" ] &&
  [ ! -f "$WINEPREFIX/drive_c/windows/Fonts/marlett.ttf" ]; then
  cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
fi
unset chronobel_win32_build
