#!/usr/bin/env bash
# Makes the release archive OUT_DIR/qvsetup-VERSION[SUFFIX].zip from a 32-bit
# and a 64-bit Windows build and prints its path. Inside the folder
# qvsetup-VERSION: x86/ and x64/ (QVSETUP.dll, its import library and
# qvhost.exe), nsis/x86-unicode/, nsis/x86-ansi/ and nsis/amd64-unicode/
# (qvnsis.dll, the NSIS plug-in, laid out as NSIS's Plugins folder), QVSETUP.def, include/qvsetup.h, cmake/ (the package for find_package),
# README.md, LICENSE, CHANGELOG.md and SHA256SUMS over all the others.
# The bytes depend only on the files and SOURCE_DATE_EPOCH.
#   make_release.sh OUT_DIR SOURCE_DIR WIN32_BUILD WIN64_BUILD [SUFFIX X86_DLL X64_DLL]
# With SUFFIX, the given DLLs (signed copies, say) replace the built ones.
set -euo pipefail
out=$1 source=$2 build32=$3 build64=$4 suffix=${5:-}
: "${SOURCE_DATE_EPOCH:?needs SOURCE_DATE_EPOCH, such as the last commit time}"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build32/CMakeCache.txt")
[ -n "$version" ] || { echo "make_release: no project version in $build32" >&2; exit 1; }
name=qvsetup-$version
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
top=$tmp/stage/$name

mkdir -p "$top/x86" "$top/x64" "$top/cmake" "$top/include"
for arch in x86 x64; do
  build=$build32
  [ $arch = x64 ] && build=$build64
  cmake --install "$build" --prefix "$tmp/$arch" >/dev/null
  cp "$tmp/$arch/bin/QVSETUP.dll" "$tmp/$arch/lib/libqvsetup.dll.a" "$tmp/$arch/bin/qvhost.exe" \
    "$top/$arch/"
done
for plugin in "$build32"/bin/nsis/x86-{unicode,ansi}/qvnsis.dll "$build64"/bin/nsis/amd64-unicode/qvnsis.dll; do
  flavour=$(basename "$(dirname "$plugin")")
  mkdir -p "$top/nsis/$flavour"
  cp "$plugin" "$top/nsis/$flavour/"
done
if [ -n "$suffix" ]; then
  cp "$6" "$top/x86/QVSETUP.dll"
  cp "$7" "$top/x64/QVSETUP.dll"
fi
cp "$tmp/x86/include/qvsetup.h" "$top/include/"
cp "$build32/release/qvsetupConfig.cmake" "$build32/release/qvsetupConfigVersion.cmake" "$top/cmake/"
cp "$source/module/qvsetup.def" "$top/QVSETUP.def"
cp "$source/README.md" "$source/LICENSE" "$source/CHANGELOG.md" "$top/"

(cd "$top" && find . -type f | sed 's|^\./||' | LC_ALL=C sort | xargs sha256sum) >"$tmp/sums"
mv "$tmp/sums" "$top/SHA256SUMS"

mkdir -p "$out"
archive=$out/$name$suffix.zip
rm -f "$archive"
python3 "$source/tools/release/zip_tree.py" "$tmp/stage" "$archive" "$SOURCE_DATE_EPOCH"
echo "$archive"
