#!/usr/bin/env bash
# Builds the DLL and its import library, qvhost.exe and the NSIS plug-ins
# (bin/nsis/FLAVOUR/qvnsis.dll) again from scratch in another folder and
# requires the same bytes: no time stamps, no build paths.
#   check_reproducible.sh SOURCE_DIR TOOLCHAIN_FILE BUILD_TYPE DLL IMPORT_LIBRARY
# (the import library at the top of the build folder)
set -eu
source=$1 toolchain=$2 build_type=$3 dll=$4 implib=$5
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
bin=$(dirname "$dll")
# Unity or not, as the build compared (qvhost.exe's code depends on it).
unity=$(sed -n 's/^CMAKE_UNITY_BUILD:[A-Z]*=//p' "$bin/../CMakeCache.txt")
cmake -S "$source" -B "$tmp/elsewhere" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE="$build_type" -DCMAKE_UNITY_BUILD="${unity:-OFF}" -DQV_BUILD_TESTS=OFF >/dev/null
plugins=() targets=()
for plugin in "$bin"/nsis/*/qvnsis.dll; do
  [ -f "$plugin" ] || continue
  flavour=$(basename "$(dirname "$plugin")")
  plugins+=("nsis/$flavour/qvnsis.dll")
  targets+=("qvnsis_$flavour")
done
cmake --build "$tmp/elsewhere" --target qvsetup_dll "$(basename "$implib")" qvhost "${targets[@]}" \
  >/dev/null
cmp "$dll" "$tmp/elsewhere/bin/QVSETUP.dll" && cmp "$implib" "$tmp/elsewhere/$(basename "$implib")" ||
  { echo "FAIL: a second build gives a different DLL or import library"; exit 1; }
for file in qvhost.exe "${plugins[@]}"; do
  cmp "$bin/$file" "$tmp/elsewhere/bin/$file" ||
    { echo "FAIL: a second build gives a different $file"; exit 1; }
done
echo "reproducible: $(wc -c <"$dll") bytes, identical; qvhost.exe and ${#plugins[@]} NSIS plug-ins too"
