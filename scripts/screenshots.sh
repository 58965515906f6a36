#!/usr/bin/env bash
# Redraws the README's pictures in docs/ from the real launcher under Xvfb and Wine, with
# the same fonts and settings as the tests: the program screen (at 100 % and 150 %), its
# About box, the database screen, the progress window during a copy, the result message,
# and the question that a file which cannot be read brings. A helper of its own
# (scripts/screenshots/ShotDriver.cpp, built here) presses the buttons and chooses the
# folder, as a user would, and tells where each window is; each picture is that window cut
# from the screen. The helper works windows with the tests' own support library
# (tests/support).
#   BUILD_DIR   build folder (default: build)
set -euo pipefail
self=$(realpath "$0")
cd "$(dirname "$self")/.."

# The part under Xvfb: this script again, with the build done and the data laid out.
take_screenshots() {
  . scripts/wine-prefix.sh
  wine_prefix_start >/dev/null
  trap wine_prefix_stop EXIT
  # When a window does not come, the whole screen tells why.
  trap 'import -window root "$RUN_DIR/screenshots-failed.png"; echo "screen saved: $RUN_DIR/screenshots-failed.png" >&2' ERR
  mkdir -p "$WINEPREFIX/drive_c/VORMEL"
  drv() { wine "$RUN_DIR/shotdriver.exe" "$@" </dev/null; }
  # Cuts a window out of the screen; its place ("x y width height") comes on standard
  # input. The virtual desktop fills the screen from its top left corner.
  crop() {
    local out=docs/$1 x y w h
    read -r x y w h
    h=${h%$'\r'}
    import -window root -crop "${w}x${h}+${x}+${y}" +repage "$out"
    echo "$out: $w x $h"
  }
  shot() { local out=$1; shift; crop "$out" < <(drv rect "$@"); }
  local main="VORMEL setup luncher" pid

  (cd "$RUN_DIR/demo/program" && exec wine VORMELSetup.exe) &
  pid=$!
  shot launcher-program.png main "$main"
  drv syscmd "$main" 0x10
  shot launcher-about.png any "About VORMELSetup"
  drv click any "About VORMELSetup" 1
  drv click main "$main" 1004
  wait "$pid"

  # The program screen at 150 %: Wine reads the screen's DPI when a program starts.
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
  (cd "$RUN_DIR/demo/program" && exec wine VORMELSetup.exe) &
  pid=$!
  shot launcher-program-150.png main "$main"
  drv click main "$main" 1004
  wait "$pid"
  wine reg delete 'HKCU\Control Panel\Desktop' /v LogPixels /f >/dev/null 2>&1

  (cd "$work/dist" && exec wine VORMELSetup.exe) &
  pid=$!
  shot launcher-database.png main "$main"
  drv click main "$main" 1002
  drv click box "*" 6                      # the disk space question: Yes
  drv choose 'C:\VORMEL'
  # Watch for the progress window before the copy starts: it is cut out as soon as it
  # tells the time left, while the helper tells where it is.
  exec 3< <(drv shows "Copying..." "left")
  drv click box "*" 6                      # the installation is started: Yes
  crop copy-progress.png <&3
  shot install-completed.png box "*" "Installation completed."
  drv click box "*" 1
  drv click main "$main" 1004
  wait "$pid"

  # A data file that cannot be read, as from a scratched disc (a link to memory that is
  # never there): the question over the progress window; Retry once the disc is clean.
  ln -s /proc/self/mem "$work/small/terrain/mesh09.bin"
  (cd "$work/small" && exec wine VORMELSetup.exe) &
  pid=$!
  drv click main "$main" 1002
  drv click box "*" 6
  drv choose 'C:\VORMEL'
  drv click box "*" 6
  shot copy-retry.png box "Copying..." "clean the disc"
  ln -sf /dev/null "$work/small/terrain/mesh09.bin"
  drv click box "Copying..." 4             # Retry
  drv rect box "*" "Installation completed." >/dev/null
  drv click box "*" 1
  drv click main "$main" 1004
  wait "$pid"
}
if [ "${1:-}" = --in-xvfb ]; then
  take_screenshots
  exit
fi

BUILD_DIR=$(realpath -m "${BUILD_DIR:-build}")
export BUILD_DIR
. scripts/host-arch.sh
vormel_choose_arch
bash scripts/setup-debian.sh
vormel_build ON VORMELSetup VORMELInstall demo shotdriver >/dev/null
# The windows are drawn by the build the host runs: the x86-64 one where it cannot run 32-bit programs.
RUN_DIR=$(vormel_run_dir)

work=$RUN_DIR/screenshots
rm -rf "$work"
mkdir -p "$work" docs
# The demo database with enough data beside it that the copy lasts a few seconds and its
# progress window can be seen.
cp -r "$RUN_DIR/demo/database" "$work/dist"
cp -r "$RUN_DIR/demo/database" "$work/small"
for sheet in 5339 5340 5439 5440; do
  mkdir -p "$work/dist/landuse/$sheet" "$work/dist/1kmav_dem/$sheet"
  for i in $(seq -w 1 300); do head -c 40000 /dev/urandom > "$work/dist/landuse/$sheet/L03-b-$sheet-$i.csv"; done
  truncate -s 400M "$work/dist/1kmav_dem/$sheet/G04-a-$sheet-mesh.dem"
done

export WINEPREFIX="$work/wineprefix" LANG=ja_JP.UTF-8 RUN_DIR work
xvfb-run -a -s "-screen 0 1024x768x24" bash "$self" --in-xvfb
rm -rf "$work"
