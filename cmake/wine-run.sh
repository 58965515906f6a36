#!/usr/bin/env bash
# Runs a Windows program under Wine with the test run's prefix and settings.
#   wine-run.sh <i686|x86_64> program.exe [arguments]
# scripts/run-tests.sh exports WINEPREFIX; a default keeps ad-hoc runs out of ~/.wine.
export VORMEL_TEST_ARCH=$1
shift
export WINEPREFIX="${WINEPREFIX:-${TMPDIR:-/tmp}/vormel-wine-$VORMEL_TEST_ARCH}"
. "$(dirname "$(realpath "$0")")/../scripts/wine-prefix.sh"
exec "$VORMEL_WINE" "$@"
