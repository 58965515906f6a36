#!/usr/bin/env bash
# Runs clang-tidy with the checks named in .clang-tidy over the program's sources as the
# MinGW build compiles them: the compile commands CMake exports for the cross build (only
# configured, nothing is built), with the MinGW-w64 headers and the build's target. Prints
# each finding once, then one summary line; exits non-zero when there is any finding or a
# file does not compile. First, scripts/check-rooms.sh: no include circle.
#   BUILD_DIR               build folder (default: build); the lint configures its own
#                           folder inside it
#   VORMEL_LINT_TOOLCHAIN   toolchain file (default: cmake/toolchain-i686-mingw.cmake)
# Linted: the launcher and its framework, the demo installer stand-in and the benchmark
# programs. Not linted: tests/ and the screenshot helper; they run only on the development
# machine, and googletest's macros would need a set of their own.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD

bash scripts/setup-debian.sh
# No include circle between folders or between the copy engine's units.
bash scripts/check-rooms.sh

started=$(date +%s.%N)
BUILD_DIR=$(realpath -m "${BUILD_DIR:-build}")
toolchain=$(realpath "${VORMEL_LINT_TOOLCHAIN:-cmake/toolchain-i686-mingw.cmake}")
lint_dir="$BUILD_DIR/lint-$(basename "$toolchain" .cmake)"
cmake -S . -B "$lint_dir" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_EXPORT_COMPILE_COMMANDS=ON \
      -DVORMEL_TESTS=OFF >/dev/null

# The compiler of the build, then each source file once (a file built for two programs
# is listed twice), the largest first so that the last to finish are short.
mapfile -t files < <(python3 -c '
import json, os, shlex, sys
seen = []
for entry in json.load(open(sys.argv[1])):
    if entry["file"] not in seen:
        seen.append(entry["file"])
print(shlex.split(entry["command"])[0])
print("\n".join(sorted(seen, key=os.path.getsize, reverse=True)))' "$lint_dir/compile_commands.json")
cxx=${files[0]}
files=("${files[@]:1}")
out="$lint_dir/findings"
rm -rf "$out"
mkdir -p "$out"
# clang finds the MinGW-w64 C headers for the target by itself, but not GCC's C++ headers:
# they are taken from the cross compiler the build uses.
{
  echo "--extra-arg=--target=$("$cxx" -dumpmachine)"
  "$cxx" -E -x c++ -v - </dev/null 2>&1 | sed -n 's/^ \(.*\/include\/c++.*\)$/--extra-arg=-isystem\1/p'
  # Findings in the program's own headers count; those in the system's do not.
  echo "--header-filter=^$(printf '%s' "$top" | sed 's/[].[*^$()+?{|\\]/\\&/g')/(app|platform|launcher|dbinstall|demo|bench|res)/"
} >"$out/args"
# One clang-tidy per file, as many at once as there are cores; each writes its own log, so
# that the findings are not interleaved. A file that does not compile shows as an error;
# a run that fails otherwise gets an error line of its own.
lint_one() {
  local log args
  log="$out/$(printf '%s' "${1#"$top"/}" | tr '/' '_').log"
  mapfile -t args <"$out/args"
  if ! clang-tidy --quiet -p "$lint_dir" "${args[@]}" "$1" >"$log" 2>&1 && ! grep -q ': error: ' "$log"; then
    echo "$1:1:1: error: clang-tidy failed" >>"$log"
  fi
}
export -f lint_one
export out top lint_dir
printf '%s\0' "${files[@]}" | xargs -0 -n 1 -P "$(nproc)" bash -c 'lint_one "$1"' lint

# A header's finding comes once for every file that includes it: each is shown once.
findings=$(cat "$out"/*.log | awk '
  /^[^ ].*:[0-9]+:[0-9]+: (warning|error): / { show = !seen[$0]++; if (show) n++ }
  /^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$/ { next }
  show { print }
  END { print n + 0 > "/dev/stderr" }' 2>"$out/count")
count=$(cat "$out/count")
[ -z "$findings" ] || printf '%s\n' "$findings"
elapsed=$(awk -v a="$started" -v b="$(date +%s.%N)" 'BEGIN { printf "%.0f", b - a }')
echo "lint: $count findings in ${#files[@]} files (${elapsed}s)"
[ "$count" -eq 0 ]
