#!/usr/bin/env bash
# Measures the removal of an installation (/UNINSTALL /VERYSILENT /DIR=..., as a deployment
# tool runs the entry's quiet string) against Wine's own `cmd /c rd /s /q` of the same
# tree, under the same Wine prefix. Each round installs once (not timed), copies the
# installed tree with cp -a for rd, then times both, taking turns at going first. Times are
# around the Windows process (its start, the removal's copy of itself and its exit
# included), medians of ROUNDS. Not a test.
#   BUILD_DIR   build folder (default: build)
#   ROUNDS      timed rounds (default: 5)
#   DATA        bench (default: ~500 MB laid out like the database, scripts/bench-data.py)
#               or demo (the demo database)
#   BENCH_DIR   where the data goes (default: a new folder under /tmp; removed at the end)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=$(realpath -m "${BUILD_DIR:-build}")
ROUNDS=${ROUNDS:-5}
DATA=${DATA:-bench}
export BUILD_DIR
. scripts/host-arch.sh
vormel_choose_arch
vormel_build OFF VORMELSetup >/dev/null
RUN_DIR=$(vormel_run_dir)
BENCH_DIR=${BENCH_DIR:-$(mktemp -d /tmp/vormel-bench.XXXXXX)}
trap 'rm -rf "$BENCH_DIR"' EXIT

echo "Creating the data ($DATA) under $BENCH_DIR ..."
mkdir -p "$BENCH_DIR/media"
printf '1\r\nDB\r\n\r\n2027.1\r\n' >"$BENCH_DIR/media/InstallList.txt"
cp "$RUN_DIR/VORMELSetup.exe" "$BENCH_DIR/media/"
if [ "$DATA" = demo ]; then
  for n in landuse terrain 1kmav_dem; do cp -r "demo/database/$n" "$BENCH_DIR/media/"; done
else
  python3 scripts/bench-data.py "$BENCH_DIR/media"
fi

export WINEPREFIX="$RUN_DIR/wineprefix-bench" LANG=ja_JP.UTF-8 BENCH_DIR ROUNDS
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  set -euo pipefail
  . scripts/wine-prefix.sh
  wine_prefix_start >/dev/null 2>&1
  trap wine_prefix_stop EXIT
  now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
  win() { echo "Z:${1//\//\\}"; }
  exe=$(win "$BENCH_DIR/media/VORMELSetup.exe")
  install() {
    rm -rf "$BENCH_DIR/out" "$BENCH_DIR/out-rd"
    wine "$exe" /VERYSILENT "/DIR=$(win "$BENCH_DIR/out")" "/LOG=$(win "$BENCH_DIR/install.log")" \
      || { echo "the installation failed" >&2; exit 1; }
    cp -a "$BENCH_DIR/out" "$BENCH_DIR/out-rd"
    sync
  }
  remove() {
    local t0; t0=$(now_ms)
    wine "$exe" /UNINSTALL /VERYSILENT "/DIR=$(win "$BENCH_DIR/out")" "/LOG=$(win "$BENCH_DIR/remove.log")" \
      || { echo "the removal failed" >&2; exit 1; }
    echo "remove $(( $(now_ms) - t0 ))" >>"$BENCH_DIR/times"
    [ ! -e "$BENCH_DIR/out" ] || { echo "the removal left $(find "$BENCH_DIR/out" | head -3)" >&2; exit 1; }
  }
  rd() {
    local t0; t0=$(now_ms)
    wine cmd /c rd /s /q "$(win "$BENCH_DIR/out-rd")"
    echo "rd $(( $(now_ms) - t0 ))" >>"$BENCH_DIR/times"
    [ ! -e "$BENCH_DIR/out-rd" ] || { echo "rd left files" >&2; exit 1; }
  }
  : >"$BENCH_DIR/times"
  for r in $(seq "$ROUNDS"); do
    install
    if [ $((r % 2)) = 1 ]; then remove; rd; else rd; remove; fi
    echo "  round $r: $(tail -2 "$BENCH_DIR/times" | tr "\n" " ")"
  done
  med() { awk -v k="$1" "\$1 == k { print \$2 }" "$BENCH_DIR/times" | sort -n \
    | awk "{a[NR]=\$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}"; }
  r=$(med remove); d=$(med rd)
  echo "Log of the last removal:"; cat "$BENCH_DIR/remove.log"
  echo "Medians of $ROUNDS rounds (ms): removal $r, rd /s /q $d, ratio $(awk -v r="$r" -v d="$d" "BEGIN { printf \"%.2f\", r / d }")"
'
