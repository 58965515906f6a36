#!/usr/bin/env bash
# Runs a Windows program under Wine with the test run's prefix and settings.
# scripts/run-tests.sh exports WINEPREFIX; a default keeps ad-hoc runs out of ~/.wine.
export WINEPREFIX="${WINEPREFIX:-${TMPDIR:-/tmp}/vormel-wine}"
export WINEARCH=win32
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
exec wine "$@"
