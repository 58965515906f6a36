#!/usr/bin/env bash
# Measures the launcher against a minimal dialog program built alongside (the floor):
# start-up time to the visible window, peak working set, and the size of the stripped exe.
# Several rounds, medians and ratios, printed as a table. With --copy it also runs
# scripts/bench-copy.sh for the copy engine.
#   ROUNDS (default 9), BUILD_DIR (default build)
set -euo pipefail
cd "$(dirname "$0")/.."
ROUNDS=${ROUNDS:-9}
BUILD_DIR=$(realpath -m "${BUILD_DIR:-build}")
export BUILD_DIR
. scripts/host-arch.sh
vormel_choose_arch

bash scripts/setup-debian.sh
vormel_build OFF VORMELSetup demo floor_dialog dressed_floor_dialog startup_probe >/dev/null
# Timed as the host runs it: the x86-64 build where it cannot run 32-bit programs.
RUN_DIR=$(vormel_run_dir)

export WINEPREFIX="$RUN_DIR/bench-wineprefix" LANG=ja_JP.UTF-8
export RUN_DIR ROUNDS
results=$(mktemp)
export results

xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  set -eu
  . scripts/wine-prefix.sh
  wine_prefix_start
  trap wine_prefix_stop EXIT
  probe="$RUN_DIR/bench/startup_probe.exe"
  winpath() { echo "Z:$(realpath "$1")" | sed "s|/|\\\\|g"; }
  launcher=$(winpath "$RUN_DIR/demo/program/VORMELSetup.exe")
  floor=$(winpath "$RUN_DIR/bench/floor_dialog.exe")
  dressed=$(winpath "$RUN_DIR/bench/dressed_floor_dialog.exe")
  # One warm-up each, then the measured rounds, interleaved so that both see the same machine.
  wine "$probe" "$launcher" "VORMEL setup luncher" 1 >/dev/null
  wine "$probe" "$floor" "Floor dialog" 1 >/dev/null
  wine "$probe" "$dressed" "Floor dialog" 1 >/dev/null
  for i in $(seq 1 "$ROUNDS"); do
    wine "$probe" "$launcher" "VORMEL setup luncher" 1 | sed "s/^/launcher /" >> "$results"
    wine "$probe" "$floor" "Floor dialog" 1 | sed "s/^/floor /" >> "$results"
    wine "$probe" "$dressed" "Floor dialog" 1 | sed "s/^/dressed /" >> "$results"
  done
'

median() { sort -n | awk '{a[NR]=$1} END {if (NR%2) print a[(NR+1)/2]; else printf "%.1f\n", (a[NR/2]+a[NR/2+1])/2}'; }
l_ms=$(awk '$1=="launcher"{print $2}' "$results" | median)
f_ms=$(awk '$1=="floor"{print $2}' "$results" | median)
l_kb=$(awk '$1=="launcher"{print $3}' "$results" | median)
f_kb=$(awk '$1=="floor"{print $3}' "$results" | median)
d_ms=$(awk '$1=="dressed"{print $2}' "$results" | median)
d_kb=$(awk '$1=="dressed"{print $3}' "$results" | median)
rm -f "$results"

stripped=$(mktemp)
i686-w64-mingw32-strip -o "$stripped" "$BUILD_DIR/VORMELSetup.exe"
size=$(stat -c %s "$stripped")
rm -f "$stripped"
# The resources hold the pictures without their file headers.
bitmaps=0
for bmp in res/launcher*.bmp; do bitmaps=$(( bitmaps + $(stat -c %s "$bmp") - 14 )); done
rest=$(( size - bitmaps ))

ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }
echo
echo "Launcher benchmark, $(date -u +%Y-%m-%d), $(nproc) cores, $VORMEL_TEST_ARCH build, median of $ROUNDS rounds (the exe's size: the shipped i686 one)"
echo
echo "| measure | launcher | floor / limit | ratio | target | dressed floor | ratio to it |"
echo "|---|---|---|---|---|---|---|"
echo "| start-up to visible window | ${l_ms} ms | ${f_ms} ms | $(ratio "$l_ms" "$f_ms") | ≤ 1.15 | ${d_ms} ms | $(ratio "$l_ms" "$d_ms") |"
echo "| peak working set | ${l_kb} KiB | ${f_kb} KiB | $(ratio "$l_kb" "$f_kb") | ≤ 1.2 | ${d_kb} KiB | $(ratio "$l_kb" "$d_kb") |"
echo "| stripped exe | $(( size / 1024 )) KiB | 1.2 MB | $(ratio "$size" 1200000) | ≤ 1.0 | | |"
echo "| exe without its pictures | $(( rest / 1024 )) KiB | 150 KiB | $(ratio "$rest" 153600) | ≤ 1.0 | | |"
echo
echo "The dressed floor is the floor with the launcher's manifest (Common Controls 6, DPI awareness) and its 100 % picture."

if [ "${1:-}" = "--copy" ] && [ -f scripts/bench-copy.sh ]; then
  echo
  bash scripts/bench-copy.sh
fi
