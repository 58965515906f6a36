#!/usr/bin/env bash
# Builds the launcher and its tests and runs every test under Xvfb and a fresh Wine prefix.
# Extra arguments go to ctest (for example -R Copy).
#   BUILD_DIR   build folder (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD

bash scripts/setup-debian.sh

BUILD_DIR=${BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-mingw.cmake -DVORMEL_TESTS=ON >/dev/null
cmake --build "$BUILD_DIR" -j "$(nproc)"

# A fresh prefix for every run, so no registry value or file of an earlier run remains.
export WINEPREFIX="$top/$BUILD_DIR/wineprefix"
rm -rf "$WINEPREFIX"
# The product is Japanese: the tests run in code page 932, as its users do.
export LANG=ja_JP.UTF-8
export BUILD_DIR top

xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  set -eu
  . scripts/wine-prefix.sh
  wine_prefix_start
  trap wine_prefix_stop EXIT
  ctest --test-dir "$BUILD_DIR" --output-on-failure --timeout 180 "$@"
' run-tests "$@"
