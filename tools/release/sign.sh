#!/usr/bin/env bash
# Signs Windows modules with Authenticode (SHA-256) using osslsigncode. Each
# IN is copied, signed, to OUT; IN is left as it is. PASSWORD_FILE and
# TIMESTAMP_URL may be empty: no password, no time stamp (and no network).
#   sign.sh PFX PASSWORD_FILE TIMESTAMP_URL IN OUT [IN OUT]...
set -euo pipefail
pfx=$1 password_file=$2 timestamp=$3
shift 3
options=(-pkcs12 "$pfx" -h sha256 -n QVSETUP)
[ -n "$password_file" ] && options+=(-readpass "$password_file")
[ -n "$timestamp" ] && options+=(-ts "$timestamp")
while [ $# -ge 2 ]; do
  in=$1 out=$2
  shift 2
  mkdir -p "$(dirname "$out")"
  rm -f "$out" "$out.part"
  if ! osslsigncode sign "${options[@]}" -in "$in" -out "$out.part" >"$out.log" 2>&1; then
    cat "$out.log" >&2
    rm -f "$out.part" "$out.log"
    exit 1
  fi
  rm -f "$out.log"
  mv "$out.part" "$out"
done
