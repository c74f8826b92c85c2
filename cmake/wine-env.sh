# The project's Wine environment, the one place it is written: sourced by
# cmake/wine-run.sh (CMake's cross-compiling emulator, which runs every
# Windows program of the builds and tests), by ./qv, and by hand before
# running a Windows preset's tests (docs/developing.md):
#
#   . cmake/wine-env.sh && wine_prefix
#
# The prefix is build/wine (or $QV_WINEPREFIX); Wine runs quietly, with a
# pinned locale (code page 1252, U.S. English), no Gecko or Mono installers,
# and no debugger on a crash: a crashing program just ends (with a display,
# Wine's debugger would wait at a dialog).
export QV_WINEPREFIX=${QV_WINEPREFIX:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/wine}
export WINEPREFIX=$QV_WINEPREFIX
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=;winedbg.exe=d}
export LC_ALL=C.UTF-8

wine_prefix_ready() {
  [ -f "$WINEPREFIX/system.reg" ]
}

# Creates the prefix when it is missing. When that fails, prints Wine's
# output and why on stderr and returns 1. (The output goes to a file, not a
# pipe: Wine's services, which outlive wineboot, would hold a pipe open.)
wine_prefix() {
  wine_prefix_ready && return 0
  local log status=0
  log=$(mktemp) || return 1
  { mkdir -p "$WINEPREFIX" && wineboot --init && wineserver -w; } >"$log" 2>&1 </dev/null ||
    status=$?
  if wine_prefix_ready; then
    status=0
  else
    cat "$log" >&2
    printf 'cannot prepare the Wine prefix %s (status %s)\n' "$WINEPREFIX" "$status" >&2
    status=1
  fi
  rm -f "$log"
  return $status
}
