#!/usr/bin/env bash
# Builds the launcher and starts it on the bundled demo distribution folder.
#   scripts/run-demo.sh [program|database]     (default: program)
# With a display ($DISPLAY) the launcher opens there and the script waits for it to close.
# Without one it runs under Xvfb, saves a screenshot, says where, and closes the launcher.
set -euo pipefail
cd "$(dirname "$0")/.."
screen=${1:-program}
case "$screen" in
  program|database) ;;
  *) echo "usage: $0 [program|database]" >&2; exit 2 ;;
esac

BUILD_DIR=$(realpath -m "${BUILD_DIR:-build}")
export BUILD_DIR
. scripts/host-arch.sh
vormel_choose_arch
bash scripts/setup-debian.sh
vormel_build OFF VORMELSetup VORMELInstall demo
RUN_DIR=$(vormel_run_dir)
if [ "$VORMEL_TEST_ARCH" = x86_64 ]; then
  echo "The launcher shown is an x86-64 build of the same sources (VORMEL_TEST_ARCH=x86_64 or a host without 32-bit user mode); the shipped one is $BUILD_DIR/VORMELSetup.exe."
fi

export WINEPREFIX="${WINEPREFIX:-$HOME/.local/share/vormel-demo-wine-$VORMEL_TEST_ARCH}"
export LANG=ja_JP.UTF-8
dist="$RUN_DIR/demo/$screen"
shot="$BUILD_DIR/demo-$screen.png"
export dist shot

if [ -n "${DISPLAY:-}" ]; then
  # A real desktop has a window manager of its own.
  export WINE_DESKTOP=0
  . scripts/wine-prefix.sh
  wine_prefix_start
  trap wine_prefix_stop EXIT
  echo "Starting the launcher on $dist ($screen screen) ..."
  (cd "$dist" && wine VORMELSetup.exe)
  exit 0
fi

echo "No display: running under Xvfb and taking a screenshot."
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  set -eu
  . scripts/wine-prefix.sh
  wine_prefix_start
  trap wine_prefix_stop EXIT
  cd "$dist"
  rm -f "$shot"
  wine VORMELSetup.exe &
  for i in $(seq 1 150); do
    xwininfo -root -tree 2>/dev/null | grep -q "VORMEL setup luncher" && break
    [ "$i" = 150 ] && { echo "The launcher'"'"'s window did not appear within 30 s." >&2; exit 1; }
    sleep 0.2
  done
  sleep 1   # let the window finish painting
  import -window root "$shot"
  echo "Screenshot of the $(basename "$dist") screen: $shot"
  # Close the launcher as a user would, through its close command.
  wid=$(xdotool search --name "VORMEL setup luncher" | head -n 1 || true)
  [ -n "$wid" ] && xdotool windowclose "$wid" 2>/dev/null || true
  wineserver -k
'
