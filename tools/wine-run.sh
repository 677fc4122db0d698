#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's test prefix.
# The test script starts Xvfb and a persistent wineserver before calling this.
export WINEPREFIX="${QV_WINEPREFIX:-${WINEPREFIX:-$HOME/.wine-quorvale-tests}}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
exec wine "$@"
