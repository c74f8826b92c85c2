#!/usr/bin/env bash
# Checks a built DLL's shape: file format, the module name in its export
# directory (the .def's LIBRARY), the exports by name and ordinal against
# the .def (module/qvsetup.def, module/qvnsis.def), that it imports only from
# DLLs that every Windows has, and its size (at most LIMIT bytes, 40 KiB by
# default).
#   check_module_tables.sh OBJDUMP DLL DEF FORMAT [LIMIT]
set -u
objdump=$1 dll=$2 def=$3 format=$4 limit=${5:-40960}
name=$(sed -n 's/^LIBRARY "\(.*\)"/\1/p' "$def")
fail=0
problem() { echo "FAIL: $*"; fail=1; }

headers=$("$objdump" -p "$dll") || { echo "FAIL: objdump cannot read $dll"; exit 1; }

"$objdump" -f "$dll" | grep -q "file format $format\$" || problem "not a $format image"
grep -q $'^\tDLL$' <<<"$headers" || problem "not a DLL"
grep -Eq "^Name[[:space:]]+[0-9a-f]+ ${name//./\\.}\$" <<<"$headers" ||
  problem "export directory does not name $name"

# "[Ordinal/Name Pointer] Table" rows are "[index] name"; ordinal = index + base.
base=$(awk '/^Ordinal Base/ {print $3; exit}' <<<"$headers")
diff <(awk '$2 ~ /^@/ {print substr($2, 2), $1}' "$def" | sort -n) <(awk -v base="$base" '
  /^\[Ordinal\/Name Pointer\] Table/ {on = 1; next}
  on && /^[[:space:]]*\[/ {gsub(/[][]/, " "); print $1 + base, $2; next}
  on {on = 0}' <<<"$headers" | sort -n) || problem "exports differ from the .def (< .def, > DLL)"

# Every export has a name: no entries reachable by ordinal alone.
addresses=$(grep -c '+base\[' <<<"$headers")
[ "$addresses" = "$(grep -c ' @' "$def")" ] ||
  problem "export address table has $addresses entries, the .def $(grep -c ' @' "$def")"

# Only system DLLs that are always present, never VERSION.dll or a runtime DLL.
imports=$(awk '/DLL Name:/ {print toupper($3)}' <<<"$headers" | sort -u)
others=$(grep -vxE '(KERNEL32|MSVCRT|USER32)\.DLL' <<<"$imports")
[ -z "$others" ] || problem "imports from" $others
[ -n "$imports" ] || problem "no imports found (has objdump's output changed?)"

# Small enough for a setup program to carry: only the reader's vetting part
# and none of the C runtime's start-up code may be in it.
size=$(wc -c <"$dll")
[ "$size" -le "$limit" ] || problem "the DLL has grown to $size bytes (limit $limit)"

[ $fail = 0 ] && echo "module tables ok: $(grep -c ' @' "$def") exports, imports: $(echo $imports), $size bytes"
exit $fail
