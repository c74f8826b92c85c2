#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's own prefix, quietly and
# with a pinned locale (code page 1252, U.S. English). No Gecko or Mono
# installers, and no debugger on a crash: a crashing program just ends
# (with a display, Wine's debugger would wait at a dialog).
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${QV_WINEPREFIX:-$root/build/wine}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=;winedbg.exe=d}
export LC_ALL=C.UTF-8
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  wineboot --init >/dev/null 2>&1
  wineserver -w
fi
# Wine's background services start with the first program and keep its
# output open; a test runner would wait for them. Start them detached.
if ! pgrep -x 'wineserver(64)?' >/dev/null; then
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
fi
exec wine "$@"
