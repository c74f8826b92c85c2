#!/usr/bin/env bash
# Installs the build into a scratch prefix, builds tests/consumer against the
# installed package, and runs it.
#   check_consumer.sh BUILD_DIR SOURCE_DIR TOOLCHAIN_FILE_OR_EMPTY EMULATOR_OR_EMPTY
set -eu
build=$1 source=$2 toolchain=$3 emulator=$4
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cmake --install "$build" --prefix "$tmp/prefix" >/dev/null
cmake -S "$source/tests/consumer" -B "$tmp/build" -G Ninja -Dqvsetup_DIR="$tmp/prefix/lib/cmake/qvsetup" \
  ${toolchain:+-DCMAKE_TOOLCHAIN_FILE="$toolchain"} >/dev/null
cmake --build "$tmp/build" >/dev/null
for program in "$tmp"/build/consumer*; do
  [ -x "$program" ] && [[ $program != *.dll ]] || continue
  ${emulator:+"$emulator"} "$program"
done
echo "consumer ok"
