#!/usr/bin/env bash
# The release archives. The Windows one: packed twice (the second time with
# another umask) it has the same bytes, sorted entries with one time stamp
# and rw-r--r--; unpacked, SHA256SUMS covers and matches every other file,
# LICENSE carries the DLL's copyright line, and tests/consumer builds against
# the unpacked package for x86 and x64 and runs (under EMULATOR when one is
# given). The Linux one, from NATIVE_BUILD: packed twice it has the same
# bytes, sorted entries owned by 0 with one time stamp; unpacked alone, its
# SHA256SUMS holds, its qvhost and module need nothing but the C library,
# and its qvhost, run with an empty environment, answers on the 32-bit DLL
# as the native build's own qvhost does.
#   check_release.sh SOURCE_DIR WIN32_BUILD WIN64_BUILD COPYRIGHT EMULATOR_OR_EMPTY NATIVE_BUILD
set -euo pipefail
source=$1 build32=$2 build64=$3 copyright=$4 emulator=$5 native=$6
for file in "$build32/bin/QVSETUP.dll" "$build64/bin/QVSETUP.dll" "$native/bin/qvhost"; do
  [ -f "$file" ] || { echo "FAIL: no $file: build the win64 and native presets first"; exit 1; }
done
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

# check_package DIR FILE...: SHA256SUMS in DIR matches and lists exactly
# the other files, which include each FILE, and LICENSE has the copyright.
check_package() (
  cd "$1"
  shift
  sha256sum --quiet -c SHA256SUMS
  find . -type f ! -name SHA256SUMS | sed 's|^\./||' | LC_ALL=C sort >"$tmp/files"
  awk '{print $2}' SHA256SUMS | LC_ALL=C sort | diff - "$tmp/files" ||
    { echo "FAIL: SHA256SUMS does not list exactly the other files"; exit 1; }
  for file in "$@" include/qvsetup.h README.md LICENSE CHANGELOG.md; do
    [ -f "$file" ] || { echo "FAIL: the archive lacks $file"; exit 1; }
  done
  grep -qxF "$copyright" LICENSE || { echo "FAIL: LICENSE lacks '$copyright'"; exit 1; }
)

unzip -q "$archive" -d "$tmp/unpacked"
package=$(echo "$tmp"/unpacked/qvsetup-*)
check_package "$package" x86/QVSETUP.dll x86/libqvsetup.dll.a x86/qvhost.exe x64/QVSETUP.dll \
  x64/libqvsetup.dll.a x64/qvhost.exe nsis/x86-unicode/qvnsis.dll nsis/x86-ansi/qvnsis.dll \
  nsis/amd64-unicode/qvnsis.dll QVSETUP.def cmake/qvsetupConfig.cmake cmake/qvsetupConfigVersion.cmake

for triple in i686 x86_64; do
  cmake -S "$source/tests/consumer" -B "$tmp/consumer-$triple" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$source/cmake/toolchain-mingw-$triple.cmake" \
    -Dqvsetup_DIR="$package/cmake" >/dev/null
  cmake --build "$tmp/consumer-$triple" >/dev/null
  printf '%s: ' "$triple"
  ${emulator:+"$emulator"} "$tmp/consumer-$triple/consumer.exe"
done
echo "release ok: $(basename "$archive"), $(wc -c <"$archive") bytes"

linux=$("$source/tools/release/make_linux_release.sh" "$tmp/a" "$source" "$native")
again=$(umask 077 && "$source/tools/release/make_linux_release.sh" "$tmp/b" "$source" "$native")
cmp "$linux" "$again"
day=$(date -u -d @$SOURCE_DATE_EPOCH '+%Y-%m-%d %H:%M')
odd=$(TZ=UTC tar -tvzf "$linux" | grep -vE "^([-d]rw[-x]r-[-x]r-[-x]|lrwxrwxrwx) 0/0 .* $day " || true)
[ -z "$odd" ] || { echo "FAIL: entries with another owner or time:"; echo "$odd"; exit 1; }
tar -tzf "$linux" | LC_ALL=C sort -c || { echo "FAIL: entries not sorted"; exit 1; }

mkdir "$tmp/linux"
tar -xzf "$linux" -C "$tmp/linux"
package=$(basename "$linux" .tar.gz)
check_package "$tmp/linux/$package" qvhost libqvsetup.so
needed=$(readelf -d "$tmp/linux/$package"/{qvhost,libqvsetup.so} |
  sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | grep -vxE 'lib(c|m)\.so\.6|ld-linux-x86-64\.so\.2' || true)
[ -z "$needed" ] || { echo "FAIL: needs more than the C library:" $needed; exit 1; }
cp "$build32/bin/QVSETUP.dll" "$tmp/linux/"
cd "$tmp/linux"
for query in GetFileVersion:QVSETUP.dll "GetFileVersionEx:QVSETUP.dll, ProductVersion" \
  "GetFileVersionEx:QVSETUP.dll, LegalCopyright" "GetFileVersionEx:QVSETUP.dll, FileVersionNumber"; do
  expected=$("$native/bin/qvhost" "${query%%:*}" "${query#*:}")
  actual=$(env -i "./$package/qvhost" "${query%%:*}" "${query#*:}") || true
  [[ "$expected" == *FileVersion=[0-9A-Z]* ]] || { echo "FAIL: no answer: $expected"; exit 1; }
  [ "$actual" = "$expected" ] || { echo "FAIL: $query: '$actual', not '$expected'"; exit 1; }
done
echo "release ok: $package.tar.gz, $(wc -c <"$linux") bytes"
