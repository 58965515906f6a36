# Sourced by the run and test scripts: prepares a 32-bit Wine prefix with a virtual
# desktop and keeps one wineserver for the whole run (stopped by wine_prefix_stop).
#   WINEPREFIX   where the prefix lives (created when missing)
#   WINE_DESKTOP "1" for Wine's virtual desktop (tests); anything else for plain windows
#   VORMEL_CDROM_DIR  when set, a folder that becomes Wine's CD-ROM drive R: (made when missing)

export WINEARCH=win32
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko installer dialogs when the prefix is made: the launcher needs neither.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

wine_prefix_start() {
  mkdir -p "$WINEPREFIX"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Creating Wine prefix $WINEPREFIX ..."
    wineboot -i >/dev/null 2>&1 || true
  fi
  # The dialogs ask for "ＭＳ Ｐゴシック", which Linux lacks. Ume P Gothic has its metrics
  # (dialog base units 7 x 12), so the dialog keeps the size its picture was drawn for;
  # IPA P Gothic, 7 x 13, would make it 29 pixels taller.
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ Ｐゴシック' /d 'Ume P Gothic' /f >/dev/null 2>&1
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
