# Sourced by the run and test scripts (and cmake/wine-run.sh): Wine for the build that this
# host runs (VORMEL_TEST_ARCH, see host-arch.sh), a prefix with a virtual desktop, and one
# wineserver for the whole run (started by wine_prefix_start, stopped by wine_prefix_stop).
#   WINEPREFIX   where the prefix lives (created when missing)
#   WINE_DESKTOP "1" for Wine's virtual desktop (tests); anything else for plain windows
#   VORMEL_CDROM_DIR  when set, a folder that becomes Wine's CD-ROM drive R: (made when missing)

export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko installer dialogs when the prefix is made: the launcher needs neither.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

# Debian's `wine` picks the 32-bit loader whenever wine32 is installed, even on a host that
# cannot run it; an x86-64 build is run by the 64-bit loader itself. Debian 12 keeps the
# loaders in /usr/lib/wine, later releases in /usr/lib/<triplet>/wine; wineserver is not
# always on the PATH.
wine_first_of() {
  local f
  for f in "$@"; do [ -x "$f" ] && { echo "$f"; return 0; }; done
  return 1
}
wine_bin=$(realpath "$(dirname "${BASH_SOURCE[0]}")/wine-bin")
PATH=${PATH//"$wine_bin:"/}   # sourced twice: look past our own commands
if [ "${VORMEL_TEST_ARCH:-i686}" = x86_64 ]; then
  export WINEARCH=win64
  VORMEL_WINE=$(wine_first_of /usr/lib/wine/wine64 /usr/lib/x86_64-linux-gnu/wine/wine64 \
                              /usr/lib/x86_64-linux-gnu/wine/wine) || VORMEL_WINE=/usr/lib/wine/wine64
  export WINELOADER=$VORMEL_WINE
  VORMEL_WINESERVER=$(wine_first_of /usr/lib/wine/wineserver64 /usr/lib/x86_64-linux-gnu/wine/wineserver \
                                    "$(command -v wineserver)") || VORMEL_WINESERVER=wineserver64
else
  export WINEARCH=win32
  VORMEL_WINE=$(command -v wine) || VORMEL_WINE=/usr/bin/wine
  VORMEL_WINESERVER=$(wine_first_of "$(command -v wineserver)" /usr/lib/wine/wineserver \
                                    /usr/lib/x86_64-linux-gnu/wine/wineserver) || VORMEL_WINESERVER=wineserver
fi
# `wine` and `wineserver` are these for this script and every program it starts.
export VORMEL_WINE VORMEL_WINESERVER PATH="$wine_bin:$PATH"

# Stops the calling script with one line when Wine cannot start here at all.
wine_check() {
  local out
  if ! out=$(wine --version 2>&1); then
    echo "Wine cannot start on this host ($VORMEL_WINE: ${out##*: }); for a host without 32-bit user mode, set VORMEL_TEST_ARCH=x86_64 or leave it unset." >&2
    exit 1
  fi
}

wine_prefix_start() {
  wine_check
  mkdir -p "$WINEPREFIX"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Creating Wine prefix $WINEPREFIX ..."
    local log
    if ! log=$(wine wineboot -i 2>&1) || [ ! -f "$WINEPREFIX/system.reg" ]; then
      echo "Wine could not make its prefix $WINEPREFIX: $(echo "$log" | tail -n 1)" >&2
      exit 1
    fi
  fi
  # The dialogs ask for "ＭＳ Ｐゴシック", which Linux lacks. Ume P Gothic has its metrics
  # (dialog base units 7 x 12), so the dialog keeps the size its picture was drawn for;
  # IPA P Gothic, 7 x 13, would make it 29 pixels taller.
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ Ｐゴシック' /d 'Ume P Gothic' /f >/dev/null 2>&1
  # A program that crashes ends at once with its backtrace, instead of waiting behind Wine's
  # crash dialog for a click that nobody gives until the test's time is up.
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  # Distribution media are read from a CD-ROM drive. Wine reads the drive type at server start.
  if [ -n "${VORMEL_CDROM_DIR:-}" ]; then
    mkdir -p "$VORMEL_CDROM_DIR"
    ln -sfn "$(realpath "$VORMEL_CDROM_DIR")" "$WINEPREFIX/dosdevices/r:"
    wine reg add 'HKLM\Software\Wine\Drives' /v 'r:' /d cdrom /f >/dev/null 2>&1
  fi
  # Without a window manager every hidden window stalls for seconds; the virtual desktop
  # is a window manager of Wine's own. It must be set before the server's first window.
  if [ "${WINE_DESKTOP:-1}" = 1 ]; then
    wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
  else
    wine reg delete 'HKCU\Software\Wine\Explorer' /v Desktop /f >/dev/null 2>&1 || true
  fi
  # The settings above take effect with the next server: let this one end first.
  wineserver -w
  wineserver -p
  # Start Wine's background processes (services, the desktop) now, detached from our
  # output: started later by a test program, they would hold its output pipe open.
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
}

wine_prefix_stop() {
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
}
