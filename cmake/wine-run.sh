#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's environment and prefix
# (wine-env.sh), preparing the prefix first when it is missing.
. "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
wine_prefix || exit 1
# Wine's background services start with the first program and keep its
# output open; a test runner would wait for them. Start them detached.
if ! pgrep -x 'wineserver(64)?' >/dev/null; then
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
fi
exec wine "$@"
