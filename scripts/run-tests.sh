#!/usr/bin/env bash
# Builds the launcher and its tests and runs every test under Xvfb and a fresh Wine prefix.
# Extra arguments go to ctest (for example -R Copy).
#   BUILD_DIR   build folder (default: build; a relative one lies in the checkout)
# Wine's drive R: is a CD-ROM drive for the whole run; its folder, <build>/cdrom, is
# exported as VORMEL_CDROM_DIR (the media fixture lays the distribution image out there).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup-debian.sh

BUILD_DIR=$(realpath -m "${BUILD_DIR:-build}")
cmake -S . -B "$BUILD_DIR" -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-mingw.cmake -DVORMEL_TESTS=ON >/dev/null
cmake --build "$BUILD_DIR" -j "$(nproc)"

# A fresh prefix for every run, so no registry value or file of an earlier run remains.
export WINEPREFIX="$BUILD_DIR/wineprefix"
export VORMEL_CDROM_DIR="$BUILD_DIR/cdrom"
# What is extracted from a disc is read-only: make it removable first.
if [ -d "$VORMEL_CDROM_DIR" ]; then chmod -R u+w "$VORMEL_CDROM_DIR"; fi
rm -rf "$WINEPREFIX" "$VORMEL_CDROM_DIR"
# The product is Japanese: the tests run in code page 932, as its users do.
export LANG=ja_JP.UTF-8
export BUILD_DIR

xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  set -eu
  . scripts/wine-prefix.sh
  wine_prefix_start
  trap wine_prefix_stop EXIT
  ctest --test-dir "$BUILD_DIR" --output-on-failure --timeout 180 "$@"
' run-tests "$@"
