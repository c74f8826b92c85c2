#!/usr/bin/env bash
# The README's NSIS script, compiled with the plug-in in the folder its
# !addplugindir names, and run silently.
#   check_readme_example.sh README PLUGIN EMULATOR
set -euo pipefail
rm -rf readme && mkdir readme && cd readme
sed -n '/^```nsis$/,/^```$/{//!p}' "$1" >example.nsi
dir=$(sed -n 's|^!addplugindir /x86-unicode ||p' example.nsi)
[ -n "$dir" ] || { echo "FAIL: no NSIS example with !addplugindir /x86-unicode in $1"; exit 1; }
mkdir -p "$dir" && cp "$2" "$dir/"
makensis -V2 example.nsi
"$3" example.exe /S
echo "the README's NSIS example builds and runs"
