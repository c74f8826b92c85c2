#!/usr/bin/env bash
# Runs guarded_host over a list of files, resuming after each file that
# faults (the host stops at the first fault, or ends itself on a crash, a
# hang or a runaway use of memory), and counts the faults by cause. Fails on
# any fault; stops after MAX_FAULTS of them.
#   check_guarded_host.sh EMULATOR GUARDED_HOST LIST [MAX_FAULTS]
set -u
emulator=$1 host=$2 list=$3 max_faults=${4:-0}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
: >"$work/faults"
first=0
while :; do
  "$emulator" "$host" "$list" "$first" </dev/null 2>/dev/null | tr -d '\r' >"$work/out"
  grep '^FAULT ' "$work/out" >>"$work/faults"
  grep -q '^DONE$' "$work/out" && break
  last=$(awk '/^FILE / {n = $2} END {print (n == "" ? -1 : n)}' "$work/out")
  [ "$last" -ge "$first" ] || { echo "FAIL: the guarded host did not start at file $first"; exit 1; }
  # Died without a word (killed from outside the process): still a crash.
  grep -q "^FAULT $last " "$work/out" ||
    echo "FAULT $last $(awk -v n="$last" '$1 == "FILE" && $2 == n {print $3}' "$work/out") - -: crash: the host died" >>"$work/faults"
  first=$((last + 1))
  if [ "$max_faults" -gt 0 ] && [ "$(grep -c . "$work/faults")" -ge "$max_faults" ]; then
    echo "stopped after $max_faults faulting files, at file $last"
    break
  fi
done

files=$(grep -c . "$list") || { echo "FAIL: no files in $list"; exit 1; }
faults=$(grep -c . "$work/faults")
echo "guarded host: $files files, $faults faulting files"
if [ "$faults" -gt 0 ]; then
  sed 's/^[^:]*: \([^:]*\).*/\1/' "$work/faults" | sort | uniq -c | sort -rn
  head -20 "$work/faults"
  exit 1
fi
