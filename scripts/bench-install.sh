#!/usr/bin/env bash
# Measures the silent installation of the launcher (/VERYSILENT /DIR=...) as a deployment
# tool runs it, against BASELINE (an earlier VORMELSetup.exe for the architecture this host
# runs), on ~500 MB of mixed files laid out like the database (the same data as
# scripts/bench-copy.sh): a new installation into a fresh folder, then a reinstall over it.
# The two launchers take turns at going first. Times are around the Windows process (its
# start and exit included), medians of ROUNDS; beside them, from each run's log, the time
# from "Destination:" to "Copied the database" (the checks, the record's scan of the media
# and the copy) and from there to the last line (the record, the registry). Not a test.
#   BUILD_DIR   build folder (default: build)
#   ROUNDS      timed rounds per launcher (default: 5)
#   BASELINE    required: the earlier launcher exe
#   BENCH_DIR   where the data goes (default: a new folder under /tmp; removed at the end)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=$(realpath -m "${BUILD_DIR:-build}")
ROUNDS=${ROUNDS:-5}
[ -f "${BASELINE:-}" ] || { echo "bench-install.sh: BASELINE must name an earlier VORMELSetup.exe" >&2; exit 2; }
export BUILD_DIR
. scripts/host-arch.sh
vormel_choose_arch
vormel_build OFF VORMELSetup >/dev/null
RUN_DIR=$(vormel_run_dir)
BENCH_DIR=${BENCH_DIR:-$(mktemp -d /tmp/vormel-bench.XXXXXX)}
trap 'rm -rf "$BENCH_DIR"' EXIT

echo "Creating the data under $BENCH_DIR ..."
for who in new base; do mkdir -p "$BENCH_DIR/$who"; done
printf '1\r\nDB\r\n\r\n2027.1\r\n' >"$BENCH_DIR/new/InstallList.txt"
cp "$RUN_DIR/VORMELSetup.exe" "$BENCH_DIR/new/"
cp "$BASELINE" "$BENCH_DIR/base/VORMELSetup.exe"
cp "$BENCH_DIR/new/InstallList.txt" "$BENCH_DIR/base/"
python3 scripts/bench-data.py "$BENCH_DIR/new"
# The same data beside the baseline, as hard links: the same bytes from the same cache.
for n in landuse terrain 1kmav_dem; do cp -al "$BENCH_DIR/new/$n" "$BENCH_DIR/base/$n"; done

export WINEPREFIX="$RUN_DIR/wineprefix-bench" LANG=ja_JP.UTF-8 BENCH_DIR ROUNDS
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  set -euo pipefail
  . scripts/wine-prefix.sh
  wine_prefix_start >/dev/null 2>&1
  trap wine_prefix_stop EXIT
  now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
  run() {   # $1: new or base; $2: "over" keeps the last installation
    local dest=$BENCH_DIR/out-$1
    [ "${2:-}" = over ] || { rm -rf "$dest"; sync; }
    local t0; t0=$(now_ms)
    wine "Z:${BENCH_DIR//\//\\}\\$1\\VORMELSetup.exe" /VERYSILENT "/DIR=Z:${dest//\//\\}" "/LOG=Z:${BENCH_DIR//\//\\}\\$1.log" \
      || { echo "the $1 launcher failed" >&2; exit 1; }
    local total=$(( $(now_ms) - t0 ))
    # The log: UTF-8, a time stamp "YYYY-MM-DD hh:mm:ss.mmm" before each line.
    awk -v total="$total" "
      { split(\$2, t, \":\"); ms = ((t[1] * 60 + t[2]) * 60 + t[3]) * 1000 }
      /Destination:/ { d = ms } /Copied the database/ { c = ms } { last = ms }
      END { printf \"%d %d %d\\n\", total, c - d, last - c }" "$BENCH_DIR/$1.log"
  }
  run new >/dev/null; run base >/dev/null
  : >"$BENCH_DIR/times"
  one() { for how in "" over; do echo "$1${how:+-$how} $(run "$1" $how)" >>"$BENCH_DIR/times"; done; }
  for r in $(seq "$ROUNDS"); do
    if [ $((r % 2)) = 1 ]; then one new; one base; else one base; one new; fi
    echo "  round $r: $(tail -4 "$BENCH_DIR/times" | tr "\n" " ")"
  done
  echo "Medians of $ROUNDS rounds (ms): whole run, Destination to copied, copied to the end"
  for k in new base new-over base-over; do
    m=""
    for f in 2 3 4; do
      m="$m $(awk -v k="$k" -v f="$f" "\$1 == k { print \$f }" "$BENCH_DIR/times" | sort -n | awk "{a[NR]=\$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}")"
    done
    echo "  $k:$m"
  done
'
