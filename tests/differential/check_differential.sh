#!/usr/bin/env bash
# GetFileVersion of the real DLL under Wine against the portable build, byte
# for byte, for every field on every file: the fixtures, the generated
# damaged files (those Wine's own functions crash on or overrun included:
# the DLL must refuse them as the portable build does), and every PE file of
# Wine's own Windows libraries. Files named in SKIP_LIST (base names; "-"
# for none) are left out: on the 64-bit build, files that ask for memory a
# 32-bit process cannot get, where the portable reader answers as the 32-bit
# DLL does.
#   check_differential.sh EMULATOR WINDOWS_DUMPER NATIVE_DUMPER SKIP_LIST FILE_OR_DIR...
set -u
emulator=$1 windows_dumper=$2 native_dumper=$3 skip_list=$4
shift 4
skipped=
[ "$skip_list" != - ] && skipped=$(grep -v '^#' "$skip_list")
if [ ! -x "$native_dumper" ]; then
  echo "FAIL: the portable build's $native_dumper is missing (build the native preset first)"
  exit 1
fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

is_pe() { # MZ header whose e_lfanew points at "PE\0\0"
  [ "$(head -c 2 "$1" 2>/dev/null)" = MZ ] || return 1
  local offset
  offset=$(od -An -t u4 -j 60 -N 4 "$1" 2>/dev/null | tr -d ' ')
  [ -n "$offset" ] && [ "$(od -An -c -j "$offset" -N 4 "$1" 2>/dev/null | tr -d ' ')" = 'PE\0\0' ]
}

wine_files=0
for source in "$@"; do
  if [ -d "$source" ]; then
    for f in "$source"/*; do
      [ -f "$f" ] || continue
      grep -qxF "$(basename "$f")" <<<"$skipped" && continue
      case "$source" in
        */wine/*) is_pe "$f" || continue; wine_files=$((wine_files + 1)) ;;
      esac
      echo "$f"
    done
  elif [ -f "$source" ]; then
    echo "$source"
  fi
done >"$tmp/list"
files=$(wc -l <"$tmp/list")
if [ "$wine_files" -lt 150 ]; then
  echo "FAIL: only $wine_files PE files of Wine's libraries found"
  exit 1
fi

"$native_dumper" "$tmp/list" >"$tmp/native" || { echo "FAIL: portable dumper failed"; exit 1; }
"$emulator" "$windows_dumper" "$tmp/list" >"$tmp/windows" || { echo "FAIL: Windows dumper failed"; exit 1; }
calls=$(wc -l <"$tmp/windows")
if [ "$calls" = 0 ]; then
  echo "FAIL: no results"
  exit 1
fi
if ! cmp -s "$tmp/native" "$tmp/windows"; then
  differing=$(diff "$tmp/windows" "$tmp/native" | grep -c '^<')
  echo "FAIL: $differing of $calls calls differ (< Windows under Wine, > portable):"
  diff "$tmp/windows" "$tmp/native" | head -40
  exit 1
fi
echo "differential ok: $files files ($wine_files from Wine), $calls calls, all equal"
