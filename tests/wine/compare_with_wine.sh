#!/usr/bin/env bash
# Compares the portable build with the Windows build under Wine, file by
# file: query_versions (native) against query_versions.exe run under Wine.
# README.md here says what each test compares and how the lists of expected
# differences are written.
#   compare_with_wine.sh NATIVE_QUERY WINE_QUERY_EXE WINE_RUNNER LIST [EXPECTED_DIFFERENCES...]
#   compare_with_wine.sh --exports NATIVE_QUERY WINE_QUERY_EXE WINE_RUNNER SKIP_LISTS FILE_OR_DIR...
# The first form: the reader against Wine's version functions on the files
# LIST names (Unix paths, one a line). Each difference is put down to a
# cause of wine_faults.sh, and fails unless listed; a listed file that
# agrees, differs for another cause or is not in the run fails too.
# The second: GetFileVersion of the real DLL against the portable build's,
# on the files given and those of the folders given; of a folder of Wine's
# own libraries (a path with /wine/ in it), only the PE files, and at least
# 150 of them. Every file must agree. SKIP_LISTS, files separated by
# colons ("-" for none), name the files (base names) left out: on the
# 64-bit build, those that ask for memory a 32-bit process cannot get.
# A Wine run that dies on a file is resumed after it, the file marked as
# crashed. Prints one "differs: NAME  CAUSE" line per difference and the
# counts by cause.
set -u
# shellcheck source=wine_faults.sh
source "$(dirname "${BASH_SOURCE[0]}")/wine_faults.sh"
mode=
[ "${1:-}" = --exports ] && mode=--exports && shift
native=$1 wine_exe=$2 runner=$3
shift 3
[ -x "$native" ] || { echo "FAIL: no program $native (is its build there?)"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The files named on the command line that are PE images: an MZ header whose
# e_lfanew points at "PE\0\0". One process for them all.
pe_files() {
  perl -e 'for (@ARGV) {
    my ($mz, $pe);
    open(my $f, "<:raw", $_) or next;
    read($f, $mz, 64) == 64 && substr($mz, 0, 2) eq "MZ" or next;
    seek($f, unpack("V", substr($mz, 60, 4)), 0) && read($f, $pe, 4) == 4 or next;
    print "$_\n" if $pe eq "PE\0\0";
  }' -- "$@"
}

if [ -z "$mode" ]; then
  list=$1 && shift
else
  # The list of files for the export comparison, from SKIP_LISTS FILE_OR_DIR...
  : >"$work/skipped"
  IFS=: read -ra skip_lists <<<"$1"
  for skip_list in "${skip_lists[@]}"; do
    [ "$skip_list" = - ] || grep -v '^#' "$skip_list" >>"$work/skipped"
  done
  shift
  wine_files=0 wine_folders=0
  for source in "$@"; do
    if [ -d "$source" ]; then
      files=()
      for f in "$source"/*; do
        [ -f "$f" ] && files+=("$f")
      done
      case "$source" in
        */wine/*)
          wine_folders=$((wine_folders + 1))
          mapfile -t files < <(pe_files "${files[@]}")
          wine_files=$((wine_files + ${#files[@]})) ;;
      esac
      [ ${#files[@]} = 0 ] || printf '%s\n' "${files[@]}"
    elif [ -f "$source" ]; then
      echo "$source"
    fi
  done >"$work/all.txt"
  [ "$wine_folders" = 0 ] || [ "$wine_files" -ge 150 ] ||
    { echo "FAIL: only $wine_files PE files of Wine's libraries found"; exit 1; }
  list=$work/list.txt
  awk 'FILENAME == ARGV[1] {skip[$0] = 1; next} {name = $0; sub(/.*\//, "", name)} !(name in skip)' \
    "$work/skipped" "$work/all.txt" >"$list"
  set -- # no expected differences: every file must agree
fi

"$native" $mode "$list" | tr -d '\r' >"$work/native.txt"

total=$(grep -c . "$list")
[ "$total" != 0 ] || { echo "FAIL: no files to compare"; exit 1; }
first=0
while [ "$first" -lt "$total" ]; do
  "$runner" "$wine_exe" $mode "$list" "$first" 2>/dev/null </dev/null |
    tr -d '\r' >"$work/part.txt"
  last=$(awk '/^END / {n = $2} END {print (n == "" ? -1 : n)}' "$work/part.txt")
  started=$(awk '/^FILE / {n = $2} END {print (n == "" ? -1 : n)}' "$work/part.txt")
  if [ "$started" -gt "$last" ]; then
    # Keep the lines before the file that crashed, then mark it.
    awk -v n="$started" '$1 == "FILE" && $2 == n {exit} {print}' "$work/part.txt"
    grep "^FILE $started " "$work/part.txt"
    printf '%s\nEND %s\n' "$crashed_in_wine" "$started"
    first=$((started + 1))
  else
    cat "$work/part.txt"
    [ "$last" -ge 0 ] || break
    first=$((last + 1))
  fi
done >"$work/wine.txt"

# One record per file: "index:name<TAB>line|line|...", tabs in lines made
# spaces.
records() {
  awk '/^FILE / {name = $2 ":" $3; body = ""; next}
       /^END / {print name "\t" body; next}
       {gsub(/\t/, " "); body = body "|" $0}' "$1"
}
records "$work/wine.txt" >"$work/wine.rec"
records "$work/native.txt" >"$work/native.rec"
cat /dev/null "$@" | grep -v '^#' >"$work/expected"

awk -F'\t' -v total="$total" -v crashed_marker="$crashed_in_wine" \
    -v crashes="$wine_crashes" -v writes="$wine_writes_outside" -v reads="$wine_reads_outside" \
    -v unset_memory="$wine_unset_memory" -v unexplained="$unexplained" '
  function cause(body, native_body) {
    if (index(native_body, unset_memory)) return unset_memory
    if (index(body, crashed_marker)) return crashes
    if (body ~ /writes outside the buffer/) return writes
    if (body ~ /reads outside the buffer| outside/) return reads
    return unexplained
  }
  FILENAME == ARGV[1] {
    if ($0 ~ /^\* /) { any[substr($0, 3)] = 1; next }
    name = $0; sub(/[ \t].*/, "", name); if (name == "") next
    why = $0; sub(/^[^ \t]*[ \t]*/, "", why); listed[name] = why; next
  }
  FILENAME == ARGV[2] { native[$1] = $2; next }
  { answered[$1] = 1 }
  {
    name = $1; sub(/^[0-9]+:/, "", name); seen[name] = 1
    if ((name in listed) && listed[name] ~ /^not compared/) next
    if ($2 == native[$1]) {
      agree++
      if (name in listed) { print "FAIL: listed, but agrees: " name; bad++ }
      next
    }
    c = cause($2, native[$1]); differ++; by[c]++
    if (name in listed && listed[name] != "" && listed[name] != c) {
      print "FAIL: listed as \"" listed[name] "\", but now: " name "  " c; bad++; next
    }
    # Listed or not, an unexplained difference fails.
    if (c != unexplained && (name in listed || c in any)) { print "differs: " name "  " c; next }
    print "differs: " name "  " c "  (UNEXPECTED)"; print $1 >"/dev/stderr"; unexpected++; bad++
  }
  END {
    for (key in native) if (!(key in answered)) { print "FAIL: no answer from Wine: " key; bad++ }
    for (name in listed) if (!(name in seen)) { print "FAIL: listed, but not in this run: " name; bad++ }
    printf "files: %d, agree: %d, differ: %d (unexpected: %d)", total, agree, differ, unexpected
    for (c in by) printf "; %s: %d", c, by[c]
    print ""
    exit bad > 0
  }' "$work/expected" "$work/native.rec" "$work/wine.rec" 2>"$work/unexpected"
status=$?

# What the first unexpected differences are, line by line.
head -10 "$work/unexpected" | while IFS= read -r key; do
  echo "--- $key (< Wine, > portable)"
  diff <(awk -F'\t' -v k="$key" '$1 == k {print $2}' "$work/wine.rec" | tr '|' '\n') \
       <(awk -F'\t' -v k="$key" '$1 == k {print $2}' "$work/native.rec" | tr '|' '\n') | head -20
done
exit $status
