#!/usr/bin/env bash
# qvhost's interface: output forms, --set, ordinals, --fields, --strings,
# --explain, --help and --version, and usage errors that end with status 2
# and one LF-ended line pointing to --help instead of a crash; and module/qvsetup.def's
# exports and ordinals in qvhost's help, the header and the README.
#   check_qvhost.sh EMULATOR QVHOST VERSION FIXTURES SOURCE_DIR VERSION_FILES   (EMULATOR may be empty)
set -u
emulator=$1 qvhost=$2 version=$3 fixtures=$4 source=$5 version_files=$6
run() { ${emulator:+"$emulator"} "$qvhost" "$@"; }
fail=0 nl=$'\n'

expect() { # [want_status=N] expect EXPECTED_STDOUT ARGS...
  local want=$1; shift
  local got; got=$(run "$@" 2>&1); local status=$?
  [ "$got" = "$want" ] && [ $status = "${want_status:-0}" ] ||
    { printf 'FAIL: qvhost %s (status %s)\n--- expected\n%s\n--- got\n%s\n' "$*" $status "$want" "$got"; fail=1; }
}

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# exits STATUS ARGS...: status 2, a usage error, also needs an empty stdout
# and one line on stderr that points to --help.
exits() {
  local want=$1 status; shift
  run "$@" >"$tmp/out" 2>"$tmp/err"; status=$?
  [ $status = "$want" ] || { echo "FAIL: qvhost $* exits $status, not $want"; fail=1; }
  if [ "$want" = 2 ] && { [ -s "$tmp/out" ] || [ "$(wc -l <"$tmp/err")" != 1 ] ||
    [[ "$(cat "$tmp/err")" != qvhost:*"(see qvhost --help)" ]]; }; then
    echo "FAIL: qvhost $*: stdout '$(cat "$tmp/out")', stderr '$(cat "$tmp/err")'"; fail=1
  fi
}

expect "return=0${nl}VersionDelta=-1" CompareVersions '4.72.3110, 5.0.2614.3500'
expect "return=0${nl}VersionDelta=1" '#3' '2.0, 1.9'
expect "return=0${nl}VersionDelta=" CompareVersions
expect "return=0${nl}VersionDelta=" CompareVersions ''
expect "return=0${nl}A=x${nl}B=2${nl}VersionDelta=0" --set A=1 --set B=2 --set A=x CompareVersions '1,1'
expect "return=0${nl}VersionDelta=0" --set VersionDelta=old CompareVersions '1,1'
expect "return=0" --capacity 0 CompareVersions '1, 2'
expect "return=0${nl}VersionDelta=-" --value-width 2 CompareVersions '1, 2'
expect "return=0" --name-width 14 CompareVersions '1, 2'
expect "return=0${nl}ABC=1" --name-width 6 --set ABC=1 CompareVersions '1, 2'
expect '{"export": "#3", "return": 0, "variables": [{"name": "Q", "value": "a\"b\\c\u0009"}, {"name": "VersionDelta", "value": "1"}]}' \
  --json --set "Q=a\"b\\c	" '#3' '2,1'
# JSON and --utf8 read the table as code page 1252. Linux passes the
# argument's UTF-8 bytes C3 A9; Wine hands a Windows program the code page
# 1252 byte E9.
if [ -n "$emulator" ]; then accent="é"; else accent="Ã©"; fi
expect '{"export": "CompareVersions", "return": 0, "variables": [{"name": "V", "value": "'"$accent"'"}]}' \
  --json --set "V=é" --capacity 1 CompareVersions '2,1'
# Bytes 80 to A0 and FF, against Python's code page 1252, whose five
# unassigned bytes (81 8D 8F 90 9D) Wine maps to U+0081 and so on.
raw=$(printf "$(printf '\\x%x' $(seq 128 160) 255)")
utf8=$(printf %s "$raw" | python3 -c "import sys; sys.stdout.write(''.join(chr(c) if c in
  b'\x81\x8d\x8f\x90\x9d' else bytes([c]).decode('cp1252') for c in sys.stdin.buffer.read()))") || fail=1
if [ -n "$emulator" ]; then cp1252=$utf8; else cp1252=$raw; fi
expect '{"export": "#3", "return": 0, "variables": [{"name": "V", "value": "'"$utf8"'"}]}' \
  --json --set "V=$cp1252" --capacity 1 '#3'
expect "return=0${nl}V=$utf8" --utf8 --set "V=$cp1252" --capacity 1 '#3'
expect "return=0${nl}FILEVERSION=4.72.0.3110" --set FILEVERSION=4.72.3110 NormalizeMSIEVersion
expect "return=0${nl}FILEVERSION=0.0.0.0" '#2'
expect "return=0${nl}FILEVERSION=5.0.2614.3500" --set FILEVERSION=5.0.2614.3500 '#2' '1.2.3'
expect "return=0${nl}A=1" --set A=1 IsQarvellClientRunning
expect "return=0" '#4'
expect "return=0${nl}FileVersion=" GetFileVersionEx 'no such file, CompanyName'
expect '{"export": "#5", "return": 0, "variables": [{"name": "FileVersion", "value": ""}]}' \
  --json '#5' 'no such file'
expect "return=0${nl}VersionDelta=-1" -- CompareVersions '1, 2'

exports=$(awk '$2 ~ /^@/ {print substr($2, 2), $1}' "$source/module/qvsetup.def" | sort -n)
same_exports() { diff <(echo "$exports") <(echo "$2") || { echo "FAIL: $1 differs from the .def"; fail=1; }; }
same_exports "qvhost --help" "$(run --help | grep -oE '#[0-9]+ [A-Za-z]+' | tr -d '#' | sort -n)"
same_exports include/qvsetup.h "$(grep -oE 'Ordinal [0-9]+|QVSETUP_CALL [A-Za-z]+\(' \
  "$source/include/qvsetup.h" | tr -d '(' | awk '{print $2}' | paste -d' ' - - | sort -n)"
same_exports README.md "$(sed -nE 's/^\| ([0-9]+) \| `([A-Za-z]+)`.*/\1 \2/p' "$source/README.md" | sort -n)"
# A file's strings: text keeps the module's bytes, --utf8 and JSON decode them.
cd "$fixtures" || exit 1
expect "return=0${nl}FileVersion=1.2.3.4 (file string)" GetFileVersion all_fields.dll
company="Société Générale – “quoted” €5" description="Adam Lódz Ørsted ß µ ™"
expect "return=0${nl}FileVersion=Adam L"$'\xf3'"dz "$'\xd8'"rsted "$'\xdf \xb5 \x99' \
  GetFileVersionEx 'non_ascii.dll, FileDescription'
expect "return=0${nl}FileVersion=$description" --utf8 GetFileVersionEx 'non_ascii.dll, FileDescription'
expect '{"export": "GetFileVersionEx", "return": 0, "variables": [{"name": "FileVersion", "value": "'"$company"'"}]}' \
  --json GetFileVersionEx 'non_ascii.dll, CompanyName'
expect "file=non_ascii.dll${nl}status=ok${nl}FileVersion=1.0.0.0${nl}CompanyName=$company
FileDescription=$description${nl}InternalName=tab	and ÿ${nl}LegalCopyright=${nl}OriginalFilename=
ProductName=?? and emoji ??${nl}$(printf '%s=\n' ProductVersion Comments LegalTrademarks PrivateBuild \
  SpecialBuild)${nl}FileVersionNumber=1.0.0.0${nl}ProductVersionNumber=1.0.0.0" --utf8 --fields non_ascii.dll
expect '{"file": "non_ascii.dll", "status": "ok", "FileVersion": "1.0.0.0", "CompanyName": "'"$company"'", "FileDescription": "'"$description"'", "InternalName": "tab\u0009and ÿ", "LegalCopyright": "", "OriginalFilename": "", "ProductName": "?? and emoji ??", "ProductVersion": "", "Comments": "", "LegalTrademarks": "", "PrivateBuild": "", "SpecialBuild": "", "FileVersionNumber": "1.0.0.0", "ProductVersionNumber": "1.0.0.0"}' \
  --json --fields non_ascii.dll
# Exit 1: a file without version information (every field empty); 3: a file
# that does not open and read, before 1.
empty=$(printf '%s=\n' FileVersion CompanyName FileDescription InternalName LegalCopyright \
  OriginalFilename ProductName ProductVersion Comments LegalTrademarks PrivateBuild SpecialBuild \
  FileVersionNumber ProductVersionNumber)
want_status=1 expect "file=plain_text.txt${nl}status=none${nl}$empty" --fields plain_text.txt
want_status=3 expect "file=.${nl}status=missing${nl}$empty${nl}file=no_version.dll${nl}status=none${nl}$empty" \
  --fields . no_version.dll
# A file's name reaches Windows in code page 1252 and comes back in UTF-8.
want_status=3 expect "file=né.dll${nl}status=missing${nl}$empty" --utf8 --fields né.dll
exits 1 --fields no_version.dll all_fields.dll
exits 3 --fields no-such-file.dll all_fields.dll
exits 0 --fields all_fields.dll other_translation.dll
# --strings: every table and key in the file's own text, the fixed record;
# a surrogate without its pair becomes U+FFFD, a NUL ends a value. A FILE
# with a comma is not a usage error here: no export takes it.
expect "file=high_versions.dll${nl}status=ok${nl}fixed.FileVersion=65535.65535.65535.65535
fixed.ProductVersion=65535.32768.1.0${nl}fixed.FileFlagsMask=0x0000003F${nl}fixed.FileFlags=0x00000000
fixed.FileOS=0x00040004${nl}fixed.FileType=0x00000002${nl}fixed.FileSubtype=0x00000000
Translation=040704B0${nl}table=040704B0${nl}  CompanyName=Nobody" --strings high_versions.dll
expect '{"file": "'"$version_files"'/strings_non_ascii.dll", "status": "ok", "fixed": {"FileVersion": "1.2.3.4", "ProductVersion": "5.6.7.8", "FileFlagsMask": "0x00000000", "FileFlags": "0x00000000", "FileOS": "0x00040004", "FileType": "0x00000002", "FileSubtype": "0x00000000"}, "translations": [], "tables": [{"translation": "040904E4", "info": 1, "strings": [["CompanyName", "Café € ™ Ω Łódź 中"], ["FileDescription", "pair 😀 end"], ["ProductName", "lone � x �"], ["InternalName", "fullwidth ＡＢ dash — quote “” �"], ["FileVersion", "1.0"], ["Comments", "embedded"]]}]}' \
  --json --strings "$version_files/strings_non_ascii.dll"
want_status=1 expect '{"file": "no_version.dll", "status": "none", "fixed": null, "translations": [], "tables": []}' \
  --json --strings no_version.dll
exits 3 --strings all_fields.dll 'a,b.dll' no_version.dll
exits 0 --strings all_fields.dll other_translation.dll

# --explain: lines of its steps; the module agrees with the rule (status 0).
explains() { # explains FILE FIELD LINE...
  local file=$1 field=$2; shift 2
  run --explain "$file" "$field" >"$tmp/out" 2>&1 || { echo "FAIL: --explain $file: $?"; fail=1; }
  for line; do
    grep -qxF -- "$line" "$tmp/out" || { echo "FAIL: --explain $file $field lacks '$line'"; fail=1; }
  done
}
explains other_translation.dll CompanyName "format: PE32" "translations: 040704B0" \
  "GetFileVersion(CompanyName): asks 040904E4: no such table" \
  "GetFileVersion(CompanyName): hint: this file has no 040904E4 table: GetFileVersionEx reads 040704B0" \
  'GetFileVersionEx(CompanyName): answer "Fixture Company Ltd." from table 040704B0' \
  'GetFileVersionEx(CompanyName): module "Fixture Company Ltd." (the same)'
explains all_fields64.dll FileVersion "format: PE32+"
explains empty_fileversion.dll FileVersion \
  "GetFileVersionEx(FileVersion): passes over 040904E4 (default): asked before"
explains no-such-file.dll FileVersion \
  "open: not opened: reason=not_opened (the file cannot be opened (no such file, or no access))"
explains "$version_files/ne_version.exe" FileVersion "format: NE (16-bit)"
explains "$version_files/reasons/ne_block_empty.exe" FileVersion \
  "vetted: refused: reason=block_empty (the version resource is empty)"
for name in root_length_twice_resource root_length_twice_resource_plus_2; do
  explains "$version_files/edges/$name.dll" FileVersion "vetted: the block reads soundly"
done
explains "$version_files/translation_first_string_empty.dll" FileVersion \
  "GetFileVersionEx(FileVersion): answer \"1.2.3.4\" from the fixed record's file version"
explains "$version_files/string_length_zero.dll" FileVersion \
  "GetFileVersion(FileVersion): asks 040904E4: nothing: reason=value_empty (the value is empty)"
exits 2 --json --explain all_fields.dll
exits 2 --explain all_fields.dll FileVersion extra

# -r: for each file under a folder, the lines it gives alone, in the order
# of a depth-first walk with each folder's names sorted by byte ("folder"'s
# files before "folder.with.dot"), whatever -j; without --all, only images.
# qvhost.exe refuses -r.
if [ -n "$emulator" ]; then
  exits 2 --fields -r .
else
  walk_order() {
    python3 -c 'import os, sys
def walk(d):
    for n in sorted(os.listdir(d)):
        p = os.path.join(d, n)
        if os.path.isdir(p) and not os.path.islink(p): yield from walk(p)
        elif os.path.isfile(p) and not os.path.islink(p): yield p
sys.stdout.buffer.write(b"".join(p + b"\n" for p in walk(os.fsencode(sys.argv[1]))))' "$1"
  }
  mapfile -t files < <(walk_order "$version_files")
  for mode in --fields '--json --strings'; do
    alone=$(run $mode "${files[@]}")
    for j in 1 2; do
      [ "$(run $mode -r --all -j $j "$version_files" 2>/dev/null)" = "$alone" ] ||
        { echo "FAIL: $mode -r --all -j $j differs from the files one by one"; fail=1; }
    done
  done
  run --fields -r "$version_files" 2>/dev/null | grep ^file= >"$tmp/images"
  grep -q /basic_pe32.dll "$tmp/images" && ! grep -q /not_an_image.dll "$tmp/images" ||
    { echo "FAIL: --fields -r prints other files, or not images"; fail=1; }
  # A link loop, a pipe, a text file, an empty folder, an entry gone before
  # it is read (a dangling link: listed, then not there), a file that opens
  # but does not read (this process's memory), a folder on /proc (-x).
  walk=$tmp/walk
  mkdir -p "$walk/a" "$walk/empty" && cp all_fields.dll "$walk/a/image.dll" && echo text >"$walk/a/text.txt"
  mkfifo "$walk/a/fifo" && ln -s .. "$walk/a/loop" && ln -s nowhere "$walk/a/gone"
  ln -s /proc/self/mem "$walk/a/mem" && ln -s /proc/self/fdinfo "$walk/a/proc"
  walks() { # walks STATUS EXPECTED ARGS...: file=, status=, reason= and stderr
    local want=$1 expected=$2 status; shift 2
    run "$@" >"$tmp/out" 2>&1; status=$?
    [ "$(grep -E '^(file|status|reason)=|^qvhost' "$tmp/out")" = "$expected" ] && [ $status = "$want" ] ||
      { printf 'FAIL: qvhost %s (status %s)\n' "$*" $status; cat "$tmp/out"; fail=1; }
  }
  walks 0 "file=$walk/a/image.dll${nl}status=ok${nl}qvhost: 1 PE/NE files read, 6 skipped, 0 could not be read" \
    --fields -r "$walk"
  walks 3 "file=$walk/a/gone${nl}status=missing${nl}reason=No such file or directory
file=$walk/a/image.dll${nl}status=ok${nl}qvhost: $walk/a/loop: a folder loop, not entered again
file=$walk/a/mem${nl}status=missing${nl}reason=Input/output error
qvhost: 1 PE/NE files read, 3 skipped, 2 could not be read" --fields -r -L -x "$walk"
  [ "$(run --fields -r -L --all "$walk" 2>/dev/null | grep -c "^file=$walk/a/proc/")" -gt 0 ] ||
    { echo "FAIL: -L does not enter a link to a folder"; fail=1; }
  expect "qvhost: 0 PE/NE files read, 0 skipped, 0 could not be read" --strings -r "$walk/empty"
  # A folder that cannot be read. Root reads it: as root, a copy of qvhost
  # in $tmp runs as nobody (the build's folder may be closed to nobody).
  mkdir "$walk/locked" && chmod 000 "$walk/locked" && chmod 755 "$tmp" && cp "$qvhost" "$tmp/qvhost"
  as=() && [ "$(id -u)" = 0 ] && as=(setpriv --reuid=65534 --regid=65534 --clear-groups)
  if "${as[@]}" "$tmp/qvhost" --version >/dev/null 2>&1; then
    got=$("${as[@]}" "$tmp/qvhost" --json --strings -r "$walk/locked" 2>/dev/null)
    [ "$got" = '{"file": "'"$walk"'/locked", "status": "missing", "reason": "Permission denied", "fixed": null, "translations": [], "tables": []}' ] ||
      { echo "FAIL: an unreadable folder gives '$got'"; fail=1; }
  else
    echo "skipped: an unreadable folder (qvhost does not run as nobody here)"
  fi
fi
exits 2 -r CompareVersions '1, 2'
exits 2 --fields -L all_fields.dll
exits 2 --fields -r -j 0 .
exits 2 --dll x --fields -r .

for export in NoSuchExport '#abc' '#0' '#99' "#$(($(wc -l <<<"$exports") + 1))"; do
  exits 2 "$export" '1, 2'
done
# Bad options before a good call; each row is split into its words.
for options in '--capacity lots' '--capacity -1' '--value-width 99999999999' '--dll no-such-module.dll' \
  '--set NoEquals' '--name-width 5 --set ABC=1' '--capacity 1 --set A=1 --set B=2'; do
  exits 2 $options CompareVersions '1, 2'
done
exits 2 --bogus CompareVersions
exits 2 --capacity
exits 2
exits 2 CompareVersions '1, 2' extra
exits 2 --fields
exits 2 --fields all_fields.dll 'a,b.dll'
exits 2 --fields ' all_fields.dll'
exits 2 --set A=1 --fields all_fields.dll
exits 2 --strings

# --help and -h: the usage and every export on stdout, status 0, LF only.
for option in --help -h; do
  exits 0 $option
  for want in "usage: qvhost" "--dll PATH" "--fields" "--strings" "--utf8" "ANSI code page" \
    "--explain" "system_refused"; do
    grep -qF -- "$want" "$tmp/out" || { echo "FAIL: qvhost $option lacks '$want'"; fail=1; }
  done
  [ ! -s "$tmp/err" ] && ! grep -q $'\r' "$tmp/out" ||
    { echo "FAIL: qvhost $option: stderr '$(cat "$tmp/err")', or CR in stdout"; fail=1; }
done
expect "qvhost $version" --version

[ $fail = 0 ] && echo "qvhost ok"
exit $fail
