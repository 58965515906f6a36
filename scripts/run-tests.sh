#!/usr/bin/env bash
# Builds the launcher and its tests and runs every test under Xvfb and a fresh Wine prefix.
# Extra arguments go to ctest (for example -R Copy).
#   BUILD_DIR         build folder (default: build; a relative one lies in the checkout)
#   VORMEL_TEST_ARCH  i686 or x86_64 (default: i686 where the host runs 32-bit programs)
# The product is the i686 VORMELSetup.exe. On a host that cannot run 32-bit programs, the
# tests run on an x86-64 build of the same sources in <build>/x86_64, under 64-bit Wine;
# the shipped exe is then checked by its file (imports, header, signature on the media).
# Wine's drive R: is a CD-ROM drive for the whole run; its folder, <run build>/cdrom, is
# exported as VORMEL_CDROM_DIR (the media fixture lays the distribution image out there).
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_DIR=$(realpath -m "${BUILD_DIR:-build}")
export BUILD_DIR
. scripts/host-arch.sh
vormel_choose_arch
bash scripts/setup-debian.sh
# Faults the compiler does not see fail the run before any Wine test starts.
bash scripts/lint.sh
vormel_build ON
RUN_DIR=$(vormel_run_dir)
if [ "$VORMEL_TEST_ARCH" = x86_64 ]; then
  if vormel_host_runs_32bit; then why="VORMEL_TEST_ARCH=x86_64"; else why="This host cannot run 32-bit programs"; fi
  echo "$why: the tests run on an x86-64 build of the same sources; the shipped 32-bit VORMELSetup.exe is checked by its file."
fi

# A fresh prefix for every run, so no registry value or file of an earlier run remains.
export WINEPREFIX="$RUN_DIR/wineprefix"
export VORMEL_CDROM_DIR="$RUN_DIR/cdrom"
# What is extracted from a disc is read-only: make it removable first.
if [ -d "$VORMEL_CDROM_DIR" ]; then chmod -R u+w "$VORMEL_CDROM_DIR"; fi
rm -rf "$WINEPREFIX" "$VORMEL_CDROM_DIR"
# The product is Japanese: the tests run in code page 932, as its users do.
export LANG=ja_JP.UTF-8
export RUN_DIR

xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  set -eu
  . scripts/wine-prefix.sh
  wine_prefix_start
  trap wine_prefix_stop EXIT
  ctest --test-dir "$RUN_DIR" --output-on-failure --timeout 180 "$@"
' run-tests "$@"
