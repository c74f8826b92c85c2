#!/usr/bin/env bash
# The release archive: packed twice (the second time with another umask) it
# has the same bytes, sorted entries with one time stamp and rw-r--r--;
# unpacked, SHA256SUMS covers and matches every other file, LICENSE carries
# the DLL's copyright line, and tests/consumer builds against the unpacked
# package for x86 and x64 and runs (under EMULATOR when one is given).
#   check_release.sh SOURCE_DIR WIN32_BUILD WIN64_BUILD COPYRIGHT EMULATOR_OR_EMPTY
set -euo pipefail
source=$1 build32=$2 build64=$3 copyright=$4 emulator=$5
if [ ! -f "$build64/bin/QVSETUP.dll" ] || [ ! -f "$build32/bin/QVSETUP.dll" ]; then
  echo "needs both Windows builds ($build32, $build64): skipped"
  exit 77
fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export SOURCE_DATE_EPOCH=1780000000
stamp=$(date -u -d @$SOURCE_DATE_EPOCH +%Y%m%d.%H%M%S)

archive=$("$source/tools/release/make_release.sh" "$tmp/a" "$source" "$build32" "$build64")
again=$(umask 077 && "$source/tools/release/make_release.sh" "$tmp/b" "$source" "$build32" "$build64")
cmp "$archive" "$again"
odd=$(TZ=UTC zipinfo -T "$archive" | grep '^[-d]' | grep -v "^-rw-r--r-- .* $stamp " || true)
[ -z "$odd" ] || { echo "FAIL: entries with another time or mode:"; echo "$odd"; exit 1; }
zipinfo -1 "$archive" | LC_ALL=C sort -c || { echo "FAIL: entries not sorted"; exit 1; }

unzip -q "$archive" -d "$tmp/unpacked"
package=$(echo "$tmp"/unpacked/qvsetup-*)
(
  cd "$package"
  sha256sum --quiet -c SHA256SUMS
  find . -type f ! -name SHA256SUMS | sed 's|^\./||' | LC_ALL=C sort >"$tmp/files"
  if ! awk '{print $2}' SHA256SUMS | LC_ALL=C sort | diff - "$tmp/files"; then
    echo "FAIL: SHA256SUMS does not list exactly the other files"; exit 1
  fi
  for file in x86/QVSETUP.dll x86/libqvsetup.dll.a x64/QVSETUP.dll x64/libqvsetup.dll.a \
    QVSETUP.def include/qvsetup.h cmake/qvsetupConfig.cmake cmake/qvsetupConfigVersion.cmake \
    README.md LICENSE CHANGELOG.md; do
    [ -f "$file" ] || { echo "FAIL: the archive lacks $file"; exit 1; }
  done
  grep -qxF "$copyright" LICENSE || { echo "FAIL: LICENSE lacks '$copyright'"; exit 1; }
)

for triple in i686 x86_64; do
  cmake -S "$source/tests/consumer" -B "$tmp/consumer-$triple" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$source/cmake/toolchain-mingw-$triple.cmake" \
    -Dqvsetup_DIR="$package/cmake" >/dev/null
  cmake --build "$tmp/consumer-$triple" >/dev/null
  program=$tmp/consumer-$triple/consumer.exe
  printf '%s: ' "$triple"
  if [ -n "$emulator" ]; then "$emulator" "$program"; else "$program"; fi
done
echo "release ok: $(basename "$archive"), $(wc -c <"$archive") bytes"
