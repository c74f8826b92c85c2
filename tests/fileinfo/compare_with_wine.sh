#!/usr/bin/env bash
# Compares the portable reader with Wine's own version functions, file by
# file: query_versions (native) against query_versions.exe run under Wine.
#   compare_with_wine.sh NATIVE_QUERY WINE_QUERY_EXE WINE_RUNNER LIST [EXPECTED_DIFFERENCES]
# LIST names files (Unix paths), one a line. A Wine run that dies on a file
# is resumed after it; that file is reported as "crashed in Wine".
# EXPECTED_DIFFERENCES names files (base names) that may differ; any other
# difference fails. Prints how many files agree.
set -u
native=$1 wine_exe=$2 runner=$3 list=$4 expected=${5:-/dev/null}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$native" "$list" | tr -d '\r' >"$work/native.txt"

sed 's|^|Z:|; s|/|\\|g' "$list" >"$work/list_wine.txt"
total=$(grep -c . "$list")
first=0
: >"$work/wine.txt"
while [ "$first" -lt "$total" ]; do
  "$runner" "$wine_exe" "$work/list_wine.txt" "$first" 2>/dev/null </dev/null |
    tr -d '\r' >"$work/part.txt"
  last=$(awk '/^END / {n = $2} END {print (n == "" ? -1 : n)}' "$work/part.txt")
  started=$(awk '/^FILE / {n = $2} END {print (n == "" ? -1 : n)}' "$work/part.txt")
  if [ "$started" -gt "$last" ]; then
    # Keep the lines before the file that crashed, then mark it.
    awk -v n="$started" '$1 == "FILE" && $2 == n {exit} {print}' "$work/part.txt" >>"$work/wine.txt"
    grep "^FILE $started " "$work/part.txt" >>"$work/wine.txt"
    echo "crashed in Wine" >>"$work/wine.txt"
    echo "END $started" >>"$work/wine.txt"
    first=$((started + 1))
  else
    cat "$work/part.txt" >>"$work/wine.txt"
    [ "$last" -ge 0 ] || break
    first=$((last + 1))
  fi
done

# One record per file: "index:name<TAB>line|line|..."
records() {
  awk '/^FILE / {name = $2 ":" $3; body = ""; next}
       /^END / {print name "\t" body; next}
       {body = body "|" $0}' "$1" | sort
}
records "$work/wine.txt" >"$work/wine.rec"
records "$work/native.txt" >"$work/native.rec"

agree=0 differ=0 unexpected=0
while IFS=$'\t' read -r name body; do
  other=$(awk -F'\t' -v n="$name" '$1 == n {print $2}' "$work/native.rec")
  if [ "$body" = "$other" ]; then
    agree=$((agree + 1))
    continue
  fi
  differ=$((differ + 1))
  if grep -qx "${name#*:}" "$expected"; then
    echo "differs (expected): $name"
  else
    unexpected=$((unexpected + 1))
    echo "DIFFERS: $name"
    diff <(tr '|' '\n' <<<"$body") <(tr '|' '\n' <<<"$other") | head -20
  fi
done <"$work/wine.rec"
echo "files: $total, agree: $agree, differ: $differ (unexpected: $unexpected)"
[ "$unexpected" = 0 ]
