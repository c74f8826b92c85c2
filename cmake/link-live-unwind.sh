#!/usr/bin/env bash
# The 64-bit DLL's linker launcher: links it with unwind data for exactly
# the functions it keeps.
#   link-live-unwind.sh OBJCOPY LINKER ARGUMENT...
# The assembler gives each function's unwind entry (.pdata$NAME, with its
# .xdata$NAME) a section of its own, which the linker keeps whether or not
# it keeps the function's code (.text$NAME): the entry holds the code alive,
# and --gc-sections drops nothing. So the link runs twice. The first, on
# copies of the objects without unwind sections, only lists the sections
# --gc-sections removes; the second is the real link, on copies without
# those sections and without the unwind entries of the removed code. The
# DLL's code must then be as large as the trial link's.
set -euo pipefail
objcopy=$1
shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The trial link's command: objects replaced by copies without unwind
# sections, its outputs (the DLL and the import library) sent to $work.
final=("$@") trial=() at=()
for ((i = 0; i < $#; i++)); do
  arg=${final[i]}
  case $arg in
    *.obj)
      copy=$work/${#at[@]}.obj
      at+=("$i")
      "$objcopy" --wildcard -R '.pdata*' -R '.xdata*' "$arg" "$copy"
      trial+=("$copy") ;;
    -o) trial+=(-o "$work/trial.dll"); output=${final[i + 1]}; i=$((i + 1)) ;;
    -Wl,--out-implib,*) ;;
    *) trial+=("$arg") ;;
  esac
done
"${trial[@]}" -Wl,--print-gc-sections 2>"$work/removed" || { cat "$work/removed" >&2; exit 1; }

# Each object, without the sections the trial link removed from its copy,
# and without the unwind entries of the code among them.
for n in "${!at[@]}"; do
  remove=()
  while read -r section; do
    remove+=(-R "$section")
    case $section in
      .text\$*) remove+=(-R ".pdata\$${section#.text\$}" -R ".xdata\$${section#.text\$}") ;;
    esac
  done < <(sed -n "s|.*removing unused section '\(.*\)' in file '$work/$n\.obj'\$|\1|p" \
    "$work/removed")
  "$objcopy" "${remove[@]}" "${final[at[n]]}" "$work/live$n.obj"
  final[at[n]]=$work/live$n.obj
done
"${final[@]}"

# The DLL keeps the trial link's code, no more.
code_size() { "$objcopy" -O binary -j .text "$1" "$work/code" && wc -c <"$work/code"; }
[ "$(code_size "$work/trial.dll")" = "$(code_size "$output")" ] || {
  echo "link-live-unwind.sh: $output keeps more code than --gc-sections left" >&2
  rm -f "$output"
  exit 1
}
