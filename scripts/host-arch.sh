# Sourced by the set-up, run and test scripts: which build of the launcher this host can
# run under Wine.
#
# The product is the i686 VORMELSetup.exe, and it is always built. Wine runs it only where
# the host runs 32-bit x86 programs: kernels without IA-32 emulation and some virtual
# machines cannot, and there the same sources are also built for x86-64 and run under
# 64-bit Wine instead.
#   VORMEL_TEST_ARCH   i686 or x86_64; by default what the host can run

# A 93-byte static 32-bit Linux program that only exits: it starts where the host runs
# 32-bit code and fails with "Exec format error" where it does not.
vormel_host_runs_32bit() {
  local dir probe rc
  dir=${BUILD_DIR:-${TMPDIR:-/tmp}}
  mkdir -p "$dir" && probe=$(mktemp "$dir/.probe32.XXXXXX") || return 1
  printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00'`
        `'\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00'`
        `'\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08'`
        `'\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00'`
        `'\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80' >"$probe"   # mov eax, 1; xor ebx, ebx; int 0x80
  chmod +x "$probe"
  "$probe" 2>/dev/null
  rc=$?
  rm -f "$probe"
  return $rc
}

# Sets and exports VORMEL_TEST_ARCH; stops with a clear line when it names something else.
vormel_choose_arch() {
  if [ -z "${VORMEL_TEST_ARCH:-}" ]; then
    if vormel_host_runs_32bit; then VORMEL_TEST_ARCH=i686; else VORMEL_TEST_ARCH=x86_64; fi
  fi
  case "$VORMEL_TEST_ARCH" in
    i686|x86_64) export VORMEL_TEST_ARCH ;;
    *) echo "VORMEL_TEST_ARCH must be i686 or x86_64, not '$VORMEL_TEST_ARCH'." >&2; exit 2 ;;
  esac
}

# The folder of the build that Wine runs here: the product's own, or one for x86-64 inside it.
vormel_run_dir() {
  if [ "$VORMEL_TEST_ARCH" = x86_64 ]; then echo "$BUILD_DIR/x86_64"; else echo "$BUILD_DIR"; fi
}

# Configures and builds the product in BUILD_DIR and, where the host needs it, the x86-64
# build of the same sources in its own folder. $1: ON to build the tests; the rest: targets
# of the build that runs here (the product is built whole).
vormel_build() {
  local tests=$1; shift
  local targets=()
  [ $# -gt 0 ] && targets=(--target "$@")
  if [ "$VORMEL_TEST_ARCH" = x86_64 ]; then
    cmake -S . -B "$BUILD_DIR" -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-mingw.cmake -DVORMEL_TESTS=OFF >/dev/null
    cmake --build "$BUILD_DIR" -j "$(nproc)"
    cmake -S . -B "$BUILD_DIR/x86_64" -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64-mingw.cmake \
      -DVORMEL_TESTS="$tests" -DVORMEL_PRODUCT_DIR="$BUILD_DIR" >/dev/null
    cmake --build "$BUILD_DIR/x86_64" -j "$(nproc)" "${targets[@]}"
  else
    cmake -S . -B "$BUILD_DIR" -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-mingw.cmake -DVORMEL_TESTS="$tests" >/dev/null
    cmake --build "$BUILD_DIR" -j "$(nproc)" "${targets[@]}"
  fi
}
