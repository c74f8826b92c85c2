#!/usr/bin/env bash
# The Linux archive and the Debian package from BUILD: each made twice (the
# second time with another umask) with the same bytes; a C program built
# against the unpacked archive through its pkg-config file and its CMake
# package, and against the unpacked .deb through both, runs; the .deb's
# library has its SONAME, it depends on the C library alone, lintian finds
# no error in it, and its qvhost answers as BUILD's on the fixtures.
#   check_linux_packages.sh SOURCE_DIR BUILD FIXTURES
set -euo pipefail
source=$1 build=$2 fixtures=$3
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export SOURCE_DATE_EPOCH=1780000000
for out in a b; do
  (umask "$([ $out = a ] && echo 022 || echo 077)" &&
    "$source/tools/release/make_linux_release.sh" "$tmp/$out" "$source" "$build" &&
    "$source/tools/release/make_deb.sh" "$tmp/$out" "$source" "$build") >/dev/null
done
for file in "$tmp"/a/*; do cmp "$file" "$tmp/b/${file##*/}"; done
deb=$(echo "$tmp"/a/*.deb)
tar -xzf "$tmp"/a/*.tar.gz -C "$tmp"
top=$(echo "$tmp"/qvsetup-*-linux-*)
dpkg -x "$deb" "$tmp/deb"
lib=$(echo "$tmp"/deb/usr/lib/*-linux-gnu)

# with_pkg_config NAME LIBRARY_DIR VARIABLE=VALUE...: main.c built with the
# flags pkg-config gives in that environment, run on the library there.
with_pkg_config() {
  local name=$1 dir=$2
  shift 2
  # shellcheck disable=SC2046
  cc -std=c99 -Wall -Werror "$source/tests/consumer/main.c" -o "$tmp/$name" \
    $(env "$@" pkg-config --cflags --libs qvsetup)
  LD_LIBRARY_PATH=$dir "$tmp/$name"
}
with_pkg_config archive-pc "$top" PKG_CONFIG_LIBDIR="$top/lib/pkgconfig"
with_pkg_config deb-pc "$lib" PKG_CONFIG_LIBDIR="$lib/pkgconfig" PKG_CONFIG_SYSROOT_DIR="$tmp/deb"
for prefix in "$top" "$tmp/deb/usr"; do
  cmake -S "$source/tests/consumer" -B "$tmp/cmake" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
  cmake --build "$tmp/cmake" >/dev/null
  "$tmp/cmake/consumer_c" && "$tmp/cmake/consumer" && rm -rf "$tmp/cmake"
done

readelf -d "$lib/libqvsetup.so.1" | grep -q 'SONAME.*\[libqvsetup\.so\.1\]' ||
  { echo "FAIL: the library's SONAME is not libqvsetup.so.1"; exit 1; }
dpkg-deb -f "$deb" Depends | grep -qxE 'libc6 \(>= [0-9.]+\)' ||
  { echo "FAIL: Depends: $(dpkg-deb -f "$deb" Depends)"; exit 1; }
lintian --fail-on error "$deb" 2>/dev/null || { echo "FAIL: lintian finds errors"; exit 1; }
files=("$fixtures"/*.dll)
expected=$("$build/bin/qvhost" --fields "${files[@]}" && echo ok || echo "status $?")
actual=$("$tmp/deb/usr/bin/qvhost" --fields "${files[@]}" && echo ok || echo "status $?")
[ "$actual" = "$expected" ] || { echo "FAIL: the package's qvhost answers otherwise"; exit 1; }
echo "linux packages ok: $(basename "$deb"), $(wc -c <"$deb") bytes"
