#!/usr/bin/env bash
# The Linux archive and .deb from BUILD, made twice alike; tests/consumer built against both
# through pkg-config and CMake; the .deb's Depends, lintian, its qvhost on the fixtures.
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
deb=$(echo "$tmp"/a/*.deb) && dpkg -x "$deb" "$tmp/deb" && tar -xzf "$tmp"/a/*.tar.gz -C "$tmp"
top=$(echo "$tmp"/qvsetup-*-linux-*) lib=$(echo "$tmp"/deb/usr/lib/*-linux-gnu)

# PKG_CONFIG_LIBDIR, the library's folder, PKG_CONFIG_SYSROOT_DIR, CMake's prefix.
for where in "$top/lib/pkgconfig|$top||$top" "$lib/pkgconfig|$lib|$tmp/deb|$tmp/deb/usr"; do
  IFS='|' read -r pc dir sysroot prefix <<<"$where"
  flags=$(PKG_CONFIG_LIBDIR=$pc PKG_CONFIG_SYSROOT_DIR=$sysroot pkg-config --cflags --libs qvsetup)
  # shellcheck disable=SC2086
  cc -std=c99 -Wall -Werror "$source/tests/consumer/main.c" -o "$tmp/c" $flags
  LD_LIBRARY_PATH=$dir "$tmp/c"
  cmake -S "$source/tests/consumer" -B "$tmp/cmake" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
  cmake --build "$tmp/cmake" >/dev/null
  "$tmp/cmake/consumer_c" && "$tmp/cmake/consumer" && rm -rf "$tmp/cmake"
done

dpkg-deb -f "$deb" Depends | grep -xE 'libc6 \(>= [0-9.]+\)' # the C library alone
lintian --fail-on error "$deb" 2>/dev/null || { echo "FAIL: lintian finds errors"; exit 1; }
answers() { "$1" --fields "$fixtures"/*.dll; echo "status $?"; }
[ "$(answers "$tmp/deb/usr/bin/qvhost")" = "$(answers "$build/bin/qvhost")" ] ||
  { echo "FAIL: the package's qvhost answers otherwise"; exit 1; }
echo "linux packages ok: $(basename "$deb"), $(wc -c <"$deb") bytes"
