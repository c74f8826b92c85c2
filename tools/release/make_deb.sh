#!/usr/bin/env bash
# Makes the Debian package OUT_DIR/qvsetup_VERSION_ARCH.deb from a portable
# build and prints its path. It holds the Linux release archive's files, laid
# out the Debian way (MULTIARCH being the build's, x86_64-linux-gnu):
#   /usr/lib/MULTIARCH/libqvsetup.so.VERSION, stripped, with the links
#     libqvsetup.so.1 (its SONAME) and libqvsetup.so (for the linker);
#   /usr/lib/MULTIARCH/qvsetup/qvhost, with the link libqvsetup.so beside it
#     (qvhost loads the module beside its own file), and /usr/bin/qvhost, a
#     link to it;
#   /usr/include/qvsetup.h, /usr/lib/MULTIARCH/pkgconfig/qvsetup.pc and the
#     CMake package /usr/lib/MULTIARCH/cmake/qvsetup/;
#   /usr/share/doc/qvsetup/copyright (machine-readable, from LICENSE) and
#     changelog.gz (CHANGELOG.md in Debian's format).
# Depends is what dpkg-shlibdeps finds the two binaries need (the C library
# alone). The bytes depend only on the files and SOURCE_DATE_EPOCH: dpkg-deb
# stamps no file later than it, owner root, fixed permissions, and xz on one
# thread, so that the machine's number of cores cannot change the bytes.
#   make_deb.sh OUT_DIR SOURCE_DIR BUILD
set -euo pipefail
out=$1 source=$2 build=$3
: "${SOURCE_DATE_EPOCH:?needs SOURCE_DATE_EPOCH, such as the last commit time}"
# The package's maintainer, as Debian's tools want one: a name and an address.
maintainer='QVSETUP contributors <maintainers@qvsetup.example.org>'
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
libdir=$(sed -n 's/^CMAKE_INSTALL_LIBDIR:PATH=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || { echo "make_deb: no project version in $build" >&2; exit 1; }
arch=$(dpkg --print-architecture)
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# dpkg-shlibdeps reads the package's name from debian/control and expects its
# files in debian/PACKAGE.
root=$tmp/src/debian/qvsetup
lib=$root/usr/lib/$multiarch
doc=$root/usr/share/doc/qvsetup

cmake --install "$build" --prefix "$tmp/install" --strip >/dev/null
mkdir -p "$root/usr/bin" "$root/usr/include" "$lib/qvsetup" "$lib/pkgconfig" \
  "$lib/cmake/qvsetup" "$doc" "$root/DEBIAN"
cp "$tmp/install/${libdir:-lib}/libqvsetup.so.$version" "$lib/"
ln -s "libqvsetup.so.$version" "$lib/libqvsetup.so.1"
ln -s libqvsetup.so.1 "$lib/libqvsetup.so"
cp "$tmp/install/bin/qvhost" "$lib/qvsetup/"
ln -s ../libqvsetup.so.1 "$lib/qvsetup/libqvsetup.so"
ln -s "../lib/$multiarch/qvsetup/qvhost" "$root/usr/bin/qvhost"
cp "$tmp/install/include/qvsetup.h" "$root/usr/include/"
sed "s|@PREFIX@|/usr|; s|@LIBDIR@|\${prefix}/lib/$multiarch|; s|@VERSION@|$version|" \
  "$source/cmake/release/linux/qvsetup.pc.in" >"$lib/pkgconfig/qvsetup.pc"
sed "s|@PREFIX@|../../../..|; s|@LIBRARY@|lib/$multiarch/libqvsetup.so.1|" \
  "$source/cmake/release/linux/qvsetupConfig.cmake.in" >"$lib/cmake/qvsetup/qvsetupConfig.cmake"
cp "$tmp/install/${libdir:-lib}/cmake/qvsetup/qvsetupConfigVersion.cmake" "$lib/cmake/qvsetup/"

{
  echo "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/"
  echo "Upstream-Name: qvsetup"
  echo
  echo "Files: *"
  sed -n 's/^Copyright (c) /Copyright: /p' "$source/LICENSE"
  echo "License: Expat"
  sed '1,/^Copyright/d' "$source/LICENSE" | sed '/./,$!d; s/^$/./; s/^/ /'
} >"$doc/copyright"
python3 "$source/tools/release/debian_changelog.py" "$source/CHANGELOG.md" qvsetup \
  "$maintainer" "$SOURCE_DATE_EPOCH" | gzip -9n >"$doc/changelog.gz"

printf 'Source: qvsetup\n\nPackage: qvsetup\nArchitecture: any\n' >"$tmp/src/debian/control"
depends=$(cd "$tmp/src" && dpkg-shlibdeps -O "-e$lib/libqvsetup.so.$version" "-e$lib/qvsetup/qvhost" |
  sed -n 's/^shlibs:Depends=//p')
find "$root" -type d -exec chmod 755 {} +
find "$root" -type f -exec chmod 644 {} +
chmod 755 "$lib/qvsetup/qvhost"
cat >"$root/DEBIAN/control" <<EOF
Package: qvsetup
Version: $version
Architecture: $arch
Maintainer: $maintainer
Installed-Size: $(du -sk --apparent-size --exclude=DEBIAN "$root" | cut -f1)
Depends: $depends
Section: libs
Priority: optional
Description: reads version resources and compares versions for setup scripts
 The portable build of QVSETUP, the helper module of an installation-script
 engine: libqvsetup.so reads a Windows file's version resource without
 Windows, compares and normalises dotted version numbers, with the same C
 exports as the Windows DLL. qvhost calls an export from the command line
 and prints every version field of a file, as text or JSON.
 .
 This package also holds the header, the pkg-config file and the CMake
 package for building programs against the library.
EOF
# Other packages' programs linked with the library depend on this package.
echo "libqvsetup 1 qvsetup (>= $version)" >"$root/DEBIAN/shlibs"
echo "activate-noawait ldconfig" >"$root/DEBIAN/triggers"
(cd "$root" && find usr -type f | LC_ALL=C sort | xargs md5sum) >"$root/DEBIAN/md5sums"
chmod 644 "$root"/DEBIAN/*

mkdir -p "$out"
package=$out/qvsetup_${version}_$arch.deb
dpkg-deb --root-owner-group --threads-max=1 -Zxz --build "$root" "$package" >/dev/null
echo "$package"
