#!/usr/bin/env bash
# Makes the Linux release archive OUT_DIR/qvsetup-VERSION-linux-ARCH.tar.gz
# from a portable build and prints its path. Inside the folder of the same
# name: qvhost and libqvsetup.so side by side (qvhost loads the module
# beside it), stripped, and the link libqvsetup.so.1 (its SONAME, which
# programs linked with it look for); include/qvsetup.h; lib/pkgconfig/qvsetup.pc
# and the CMake package lib/cmake/qvsetup/, which find the library and the
# header from where they lie; README.md, LICENSE, CHANGELOG.md; and
# SHA256SUMS over all the other files. The bytes depend only on the files and
# SOURCE_DATE_EPOCH: names sorted, owner and group 0, one time stamp,
# rwxr-xr-x for qvhost and the folders, rw-r--r-- for the rest, and gzip
# without a name or time.
#   make_linux_release.sh OUT_DIR SOURCE_DIR BUILD
set -euo pipefail
out=$1 source=$2 build=$3
: "${SOURCE_DATE_EPOCH:?needs SOURCE_DATE_EPOCH, such as the last commit time}"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
libdir=$(sed -n 's/^CMAKE_INSTALL_LIBDIR:PATH=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || { echo "make_linux_release: no project version in $build" >&2; exit 1; }
name=qvsetup-$version-linux-$(uname -m)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
top=$tmp/stage/$name

cmake --install "$build" --prefix "$tmp/install" --strip >/dev/null
mkdir -p "$top/include"
cp "$tmp/install/bin/qvhost" "$tmp/install/${libdir:-lib}/libqvsetup.so" "$top/"
cp "$tmp/install/include/qvsetup.h" "$top/include/"
cp "$source/README.md" "$source/LICENSE" "$source/CHANGELOG.md" "$top/"
ln -s libqvsetup.so "$top/libqvsetup.so.1"
mkdir -p "$top/lib/pkgconfig" "$top/lib/cmake/qvsetup"
sed "s|@PREFIX@|\${pcfiledir}/../..|; s|@LIBDIR@|\${prefix}|; s|@VERSION@|$version|" \
  "$source/cmake/release/linux/qvsetup.pc.in" >"$top/lib/pkgconfig/qvsetup.pc"
sed "s|@PREFIX@|../../..|; s|@LIBRARY@|libqvsetup.so|" \
  "$source/cmake/release/linux/qvsetupConfig.cmake.in" >"$top/lib/cmake/qvsetup/qvsetupConfig.cmake"
cp "$tmp/install/${libdir:-lib}/cmake/qvsetup/qvsetupConfigVersion.cmake" "$top/lib/cmake/qvsetup/"
(cd "$top" && find . -type f | sed 's|^\./||' | LC_ALL=C sort | xargs sha256sum) >"$tmp/sums"
mv "$tmp/sums" "$top/SHA256SUMS"
find "$tmp/stage" -type d -exec chmod 755 {} +
find "$tmp/stage" -type f -exec chmod 644 {} +
chmod 755 "$top/qvhost"

mkdir -p "$out"
archive=$out/$name.tar.gz
tar --sort=name --format=ustar --owner=0 --group=0 --numeric-owner \
  --mtime="@$SOURCE_DATE_EPOCH" -C "$tmp/stage" -cf - "$name" | gzip -9n >"$archive"
echo "$archive"
