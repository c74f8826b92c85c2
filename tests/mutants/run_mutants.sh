#!/usr/bin/env bash
# The mutation tests at length, and their lists of expected differences.
#   run_mutants.sh run [COUNT [SEED]]
#       COUNT mutants of seed SEED (default 20000 of seed 1): the portable
#       reader against Wine's version functions, and the real DLL of each
#       Windows build in the guarded host under Wine
#   run_mutants.sh update
#       rewrites both lists from a default run of the current code
# Uses the programs in build/native, build/win32 and build/win64 (./qv
# mutants builds them first) and keeps each batch in build/mutants.
#
# The lists hold the default run: the test's own batch (the first
# QV_DIFFERENTIAL_MUTANTS in CMakeLists.txt here, less the mutants of
# tests/wine/slow_files.txt) and the rest; a shorter
# run of seed 1 is held to their entries for its mutants. Another seed has
# no list: any difference that Wine's faults explain may occur there.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
cd "$root"
export LC_ALL=C.UTF-8
# shellcheck source=../wine/wine_faults.sh
source tests/wine/wine_faults.sh

test_list=tests/mutants/expected_differences.txt
long_list=tests/mutants/expected_differences_long.txt
default_count=20000

log() { printf 'mutants: %s\n' "$*" >&2; }

# Writes COUNT mutants of seed SEED into build/mutants/sSEED-COUNT, from the
# native build's fixtures and generated files; prints that folder.
make_batch() { # SEED COUNT
  local dir=build/mutants/s$1-$2
  rm -rf "$dir"
  mkdir -p "$dir/sources" "$dir/batch"
  build/native/bin/make_version_files "$dir/sources"
  build/native/bin/make_mutants "$1" "$2" "$root/$dir/batch" build/native/fixtures \
    "$dir/sources" >"$dir/list.txt"
  echo "$dir"
}

compare() { # LIST EXPECTED...
  bash tests/wine/compare_with_wine.sh build/native/bin/query_versions \
    build/native/tests/wine/query_versions.exe cmake/wine-run.sh "$@"
}

run() {
  local count=${1:-$default_count} seed=${2:-1} dir pids=() i
  dir=$(make_batch "$seed" "$count")
  if [ "$seed" = 1 ] && [ "$count" -le "$default_count" ]; then
    # The first of the default run: what the lists say of them.
    sed 's|.*/||' "$dir/list.txt" >"$dir/names.txt"
    awk 'FILENAME == ARGV[1] { in_batch[$1] = 1; next } /^[#*]/ || ($1 in in_batch)' \
      "$dir/names.txt" "$test_list" "$long_list" >"$dir/expected.txt"
  else
    printf '* %s\n' "${wine_faults[@]}" >"$dir/expected.txt"
  fi
  # The three side by side: each keeps a core busy.
  log "$count mutants of seed $seed: the portable reader against Wine's version functions," \
    "and the DLL of each Windows build in the guarded host"
  compare "$dir/list.txt" "$dir/expected.txt" >"$dir/differential.txt" 2>&1 &
  pids+=($!)
  for preset in win32 win64; do
    bash tests/mutants/check_guarded_host.sh cmake/wine-run.sh "build/$preset/bin/guarded_host.exe" \
      "$dir/list.txt" >"$dir/guarded_$preset.txt" 2>&1 &
    pids+=($!)
  done
  local jobs=(differential guarded_win32 guarded_win64) failed=()
  for i in 0 1 2; do
    wait "${pids[$i]}" || failed+=("${jobs[$i]}")
    log "${jobs[$i]}:"
    grep -v '^differs: ' "$dir/${jobs[$i]}.txt" >&2 || true
  done
  [ ${#failed[@]} = 0 ] || { log "failed: ${failed[*]} (details in $dir)"; exit 1; }
}

# Each file on which the reader and Wine differ, with what Wine did there
# (it crashes, or leaves its buffer). A difference that Wine's faults do
# not explain is the reader's to mend: it is listed as such and shown, and
# the update fails, as the tests do on it.
update() {
  local dir test_count header reads found
  dir=$(make_batch 1 "$default_count")
  test_count=$(sed -n 's/^set(QV_DIFFERENTIAL_MUTANTS \([0-9]*\))$/\1/p' tests/mutants/CMakeLists.txt)
  [ -n "$test_count" ] || { log "no QV_DIFFERENTIAL_MUTANTS in tests/mutants/CMakeLists.txt"; exit 1; }
  compare "$dir/list.txt" >"$dir/differential.txt" || true # every difference unlisted
  # The test's batch: the first, less the slow files' mutants.
  head -n "$test_count" "$dir/list.txt" | grep -vFf <(grep -v '^#' tests/wine/slow_files.txt) |
    sed 's|.*/||' >"$dir/test_names.txt"
  header="# Mutants (seed 1) on which the portable reader and Wine's version
# functions answer differently, each with what Wine did there; where Wine
# stays inside its buffers the difference is \"$unexplained\", the reader's
# to mend, and fails. Made by ./qv mutants update at $(git rev-parse --short HEAD).
# compare_with_wine.sh fails when a file listed here agrees, differs for
# another cause or is not in the run."
  # Where Wine reads past its own heap blocks, its answer follows the heap's
  # layout (the length of the files' paths, for one): such a file may agree
  # in one folder and not in another, so that cause is let through whole.
  reads="# Wine's answer from bytes it does not own follows the heap's layout.
* $wine_reads_outside"
  awk -v header="$header" -v reads="$reads" -v reads_cause="$wine_reads_outside" \
      -v test_list="$test_list" -v long_list="$long_list" '
    FILENAME == ARGV[1] { in_test[$1] = 1; next }
    FNR == 1 && !started { print header "\n" reads > test_list; print header > long_list; started = 1 }
    /^differs: / {
      line = $2 " "
      for (i = 3; i <= NF && $i != "(UNEXPECTED)"; i++) line = line " " $i
      if (substr(line, length($2) + 3) == reads_cause) next
      print line > ($2 in in_test ? test_list : long_list)
    }' "$dir/test_names.txt" "$dir/differential.txt"
  grep '^files: ' "$dir/differential.txt" >&2
  found=$(grep -E "^differs: [^ ]+  $unexplained( |\$)" "$dir/differential.txt" || true)
  if [ -n "$found" ]; then
    log "$(grep -c . <<<"$found") differences that Wine's faults do not explain, listed as such:"
    head -20 <<<"$found" >&2
    exit 1
  fi
}

case "${1:-}" in
  run) shift; run "$@" ;;
  update) update ;;
  *) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//' >&2; exit 2 ;;
esac
