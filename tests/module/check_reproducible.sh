#!/usr/bin/env bash
# Builds the DLL and its import library again from scratch in another folder
# and requires the same bytes: no time stamps, no build paths.
#   check_reproducible.sh SOURCE_DIR TOOLCHAIN_FILE BUILD_TYPE DLL IMPORT_LIBRARY
# (the import library at the top of the build folder)
set -eu
source=$1 toolchain=$2 build_type=$3 dll=$4 implib=$5
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cmake -S "$source" -B "$tmp/elsewhere" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE="$build_type" -DQV_BUILD_TESTS=OFF >/dev/null
cmake --build "$tmp/elsewhere" --target qvsetup_dll "$(basename "$implib")" >/dev/null
cmp "$dll" "$tmp/elsewhere/bin/QVSETUP.dll" && cmp "$implib" "$tmp/elsewhere/$(basename "$implib")" ||
  { echo "FAIL: a second build gives a different DLL or import library"; exit 1; }
echo "reproducible: $(wc -c <"$dll") bytes, identical"
