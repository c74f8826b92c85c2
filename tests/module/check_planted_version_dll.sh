#!/usr/bin/env bash
# A "version.dll" planted beside the setup host must not answer the DLL's
# queries: the DLL takes the system's own. Wine is told to prefer a native
# version.dll, so a load by bare name picks the planted one (checked first,
# so the test shows it could catch the fault). Under Wine, USER32 itself
# loads version.dll by name, so the planted file is in the process anyway;
# what matters is that the answers come from the system's.
#   check_planted_version_dll.sh EMULATOR QVHOST QVSETUP_DLL PLANTED_DLL FIXTURE
set -u
emulator=$1 qvhost=$2 module=$3 planted=$4 fixture=$5
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cp "$qvhost" "$module" "$dir/"
cp "$planted" "$dir/version.dll"
cd "$dir"
export WINEDLLOVERRIDES="version=n,b;mscoree,mshtml=;winedbg.exe=d"
host=$(basename "$qvhost")

"$emulator" "./$host" --dll version.dll CompareVersions '1, 2' >/dev/null 2>&1
[ -e planted-version-dll-was-loaded ] ||
  { echo "FAIL: the planted version.dll is not picked up even by a bare-name load; the test proves nothing"; exit 1; }
rm -f planted-version-dll-was-loaded

out=$("$emulator" "./$host" GetFileVersion "Z:$fixture, CompanyName")
[ "$out" = $'return=0\nFileVersion=Fixture Company Ltd.' ] ||
  { echo "FAIL: unexpected answer:"; echo "$out"; exit 1; }
echo "planted version.dll ignored"
