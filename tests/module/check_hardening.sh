#!/usr/bin/env bash
# Checks that the built modules carry their hardening, from the files alone
# (stripped as they ship).
#   check_hardening.sh pe OBJDUMP DLL [PROGRAM...]
#     DYNAMIC_BASE with relocations, NX_COMPAT, HIGH_ENTROPY_VA (x64) or
#     NO_SEH (x86); no section both writable and executable, none writable
#     and shared; functions that call the stack-check failure path; on x64,
#     unwind data for every function that calls or moves the stack pointer.
#     Each PROGRAM: functions that call the stack-check failure path.
#   check_hardening.sh elf READELF FORTIFIED FILE...
#     each file (and FORTIFIED): position-independent (an executable with
#     DF_1_PIE), full RELRO (GNU_RELRO and BIND_NOW), __stack_chk_fail
#     imported; FORTIFIED, a program built with the same flags around a copy
#     of known size, also imports a checked *_chk function.
set -u
fail=0
problem() { echo "FAIL: $*"; fail=1; }
# awk: the number a hexadecimal address stands for.
hex='function hex(s, n, i) {
  s = tolower(s); sub(/^0x/, "", s); sub(/:$/, "", s); n = 0
  for (i = 1; i <= length(s); i++) n = n * 16 + index("0123456789abcdef", substr(s, i, 1)) - 1
  return n
}'

# The stack protector's failure path is the function holding __fastfail
# (int $0x29); it starts at the last call target before that instruction
# with no return between them. Prints how many calls reach it: one per
# protected function's check. Without -fstack-protector-strong the linker
# drops the function, or nothing calls it.
stack_check_calls() { # DISASSEMBLY
  awk "$hex"'
    $2 == "call" && $3 ~ /^(0x)?[0-9a-f]+$/ { calls[$3]++ }
    $2 ~ /^ret/ { rets[++returns] = hex($1) }
    $2 == "int" && $3 == "$0x29" && !fastfail { fastfail = hex($1) }
    END {
      if (!fastfail) { print 0; exit }
      start = -1
      for (target in calls) if (hex(target) <= fastfail && hex(target) > start) {
        start = hex(target); count = calls[target]
      }
      for (i = 1; i <= returns; i++) if (rets[i] >= start && rets[i] < fastfail) count = 0
      print count + 0
    }' <<<"$1"
}

# x64: the addresses of the instructions that call or move the stack pointer
# (call, push, sub from %rsp) outside every function of the exception
# directory (.pdata). The unwinder takes a function without an entry for a
# leaf, whose return address is at [rsp], and walks on from a wrong one.
unwound_nowhere() { # HEADERS DISASSEMBLY
  awk "$hex"'
    FNR == NR {
      if (table && $1 ~ /^[0-9a-f]+:$/) { begin[++n] = hex($2); end[n] = hex($3) }
      else if (/^vma:/) table = /BeginAddress/
      next
    }
    $2 == "call" || $2 == "push" || ($2 == "sub" && $3 ~ /,%rsp$/) {
      at = hex($1)
      for (i = 1; i <= n && !(begin[i] <= at && at < end[i]); i++) {}
      if (i > n) printf "%s%s", (seen++ ? " " : ""), substr($1, 1, length($1) - 1)
    }' <(echo "$1") <(echo "$2")
}

check_pe() { # OBJDUMP DLL [PROGRAM...]
  local objdump=$1 dll=$2 headers format flags flag disassembly calls uncovered program program_calls checked=""
  headers=$("$objdump" -p "$dll") || { echo "FAIL: objdump cannot read $dll"; exit 1; }
  format=$("$objdump" -f "$dll" | sed -n 's/.*file format //p')
  flags=$(awk '/^DllCharacteristics/ {on = 1; next} on && /^\t/ {print $1; next} {on = 0}' \
    <<<"$headers")
  local wanted=(DYNAMIC_BASE NX_COMPAT)
  case "$format" in
    pei-x86-64) wanted+=(HIGH_ENTROPY_VA) ;;
    # No load configuration, so no SafeSEH table: the DLL must state that it
    # has no exception handlers.
    pei-i386) wanted+=(NO_SEH) ;;
    *) problem "$dll is $format, not a PE image" ;;
  esac
  for flag in "${wanted[@]}"; do
    grep -qx "$flag" <<<"$flags" || problem "DllCharacteristics lack $flag (have: $(echo $flags))"
  done
  # Without relocations the loader cannot move the image, whatever the flag says.
  awk '/Base Relocation Directory/ {exit $4 == "00000000"}' <<<"$headers" ||
    problem "no base relocations"

  # objdump -h: a section is writable when it is not READONLY, executable
  # when it is CODE.
  while read -r name line; do
    case "$line" in *READONLY*) continue ;; esac
    case "$line" in *CODE*) problem "section $name is writable and executable" ;; esac
    case "$line" in *SHARED*) problem "section $name is writable and shared" ;; esac
  done < <("$objdump" -h "$dll" | awk '/^ +[0-9]+ / {name = $2; next} name {print name, $0; name = ""}')

  # -fstack-protector-strong puts 30 functions of each DLL under the check;
  # plain -fstack-protector 13 or 14, and none without either.
  disassembly=$("$objdump" -d --no-show-raw-insn "$dll")
  calls=$(stack_check_calls "$disassembly")
  [ "$calls" -ge 20 ] || problem "$calls calls to the stack-check failure path (at least 20 expected)"

  if [ "$format" = pei-x86-64 ]; then
    uncovered=$(unwound_nowhere "$headers" "$disassembly")
    [ -z "$uncovered" ] ||
      problem "no unwind data (.pdata) for the calls and stack moves at $(cut -c1-200 <<<"$uncovered")"
  fi

  # Programs: their own code only (the runtime's is not protected), 11
  # functions of qvhost.exe today.
  for program in "${@:3}"; do
    program_calls=$(stack_check_calls "$("$objdump" -d --no-show-raw-insn "$program")")
    [ "$program_calls" -ge 5 ] ||
      problem "$program: $program_calls calls to the stack-check failure path (at least 5 expected)"
    checked+=", $(basename "$program"): $program_calls stack checks"
  done

  [ $fail = 0 ] && echo "hardened: $(echo $flags), $calls stack checks, no W+X or shared writable section$checked"
}

check_elf() { # READELF FORTIFIED FILE...
  local readelf=$1 fortified=$2 file dynamic imports
  shift 2
  for file in "$fortified" "$@"; do
    dynamic=$("$readelf" -dW "$file")
    imports=$("$readelf" --dyn-syms -W "$file" | awk '$7 == "UND" {sub(/@.*/, "", $8); print $8}')
    grep -q '^ *Type: *DYN ' <("$readelf" -hW "$file") || problem "$file is not position-independent"
    if grep -q '^ *INTERP ' <("$readelf" -lW "$file"); then
      grep -Eq '\(FLAGS_1\).* PIE' <<<"$dynamic" || problem "$file is an executable without DF_1_PIE"
    fi
    grep -q '^ *GNU_RELRO ' <("$readelf" -lW "$file") || problem "$file has no GNU_RELRO segment"
    grep -Eq '\(FLAGS\).*BIND_NOW|\(FLAGS_1\).* NOW' <<<"$dynamic" ||
      problem "$file is not bound at load (no BIND_NOW): partial RELRO"
    grep -qx __stack_chk_fail <<<"$imports" || problem "$file does not import __stack_chk_fail"
  done
  "$readelf" --dyn-syms -W "$fortified" | awk '$7 == "UND" {print $8}' | grep -v '^__stack_chk_fail@' |
    grep -q '_chk@' || problem "$fortified imports no *_chk function: built without _FORTIFY_SOURCE"
  [ $fail = 0 ] && echo "hardened: PIE, full RELRO, stack protector: $(basename -a "$@" | xargs); fortified: $(basename "$fortified")"
}

case "${1:-}" in
  pe) shift; check_pe "$@" ;;
  elf) shift; check_elf "$@" ;;
  *) echo "usage: check_hardening.sh pe OBJDUMP DLL [PROGRAM...] | elf READELF FORTIFIED FILE..."; exit 2 ;;
esac
exit $fail
