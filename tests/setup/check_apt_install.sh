#!/usr/bin/env bash
# install_missing (cmake/apt-install.sh) against stand-ins for id, dpkg,
# dpkg-query, apt-get, apt-cache and sleep on PATH, one row per case: a
# mirror whose i386 security index fails, an install that works only pinned
# to the release, one that fails both ways, no root. No network.
#   check_apt_install.sh SOURCE_DIR
set -u
source_dir=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir "$tmp/bin"
stand_in() { printf '#!/bin/sh\n%s\n' "$2" >"$tmp/bin/$1" && chmod +x "$tmp/bin/$1"; }
stand_in id 'echo "$FAKE_UID"'
stand_in sleep 'echo sleep >>"$CALLS"'
stand_in dpkg-query 'case " $FAKE_INSTALLED " in *" $3 "*) printf "install ok installed" ;; *) exit 1 ;; esac'
stand_in dpkg 'case "$1" in --print-architecture) echo amd64 ;; --print-foreign-architectures) ;;
  *) echo "dpkg $*" >>"$CALLS" ;; esac'
index=http://mirror/debian-security/dists/x-security/main/binary-i386/Packages.xz
stand_in apt-get 'echo "apt-get $*" >>"$CALLS"
case "$*" in
  *update*) n=$(grep -c update "$CALLS")
    [ "$n" -gt "$FAKE_UPDATE_FAILS" ] && exit 0
    echo "E: Failed to fetch '$index'  File has unexpected size (1 != 2). Mirror sync in progress?"
    exit 100 ;;
  *" -t "*) result=$FAKE_PINNED ;;
  *) result=$FAKE_PLAIN ;;
esac
[ "$result" = ok ] && exit 0
echo " libwine:i386 : Depends: libgst:i386 (= 1.0) but it is not going to be installed"
echo "E: Unable to correct problems, you have held broken packages."
exit 100'
stand_in apt-cache 'shift; for p; do
  case "$p" in *:i386) echo "${p%:i386}:i386:"; v=1.0+u6 ;; *) echo "${p%:amd64}:"; v=1.0+u7 ;; esac
  case "$p" in libgst:*) ;; *) v=1.0 ;; esac
  printf "  Installed: (none)\n  Candidate: %s\n" "$v"
done'
printf 'PRETTY_NAME="Test"\nVERSION_CODENAME=tcode\n' >"$tmp/os-release"

# FIELDS: uid, installed, update failures, plain install, pinned install,
# status, apt-get calls and pauses, then what stderr holds (grep -F, one
# line).
cases=(
  "update fails 3 times, plain install works|0|gcc|3|ok|fail|0|up sleep up sleep up inst|not read: $index"
  "update fails once, then all works|0|gcc|1|ok|fail|0|up sleep up inst|"
  "plain install fails, pinned works|0||0|fail|ok|0|up inst inst-t|pinned to tcode"
  "both installs fail|0||3|fail|fail|1|up sleep up sleep up inst inst-t|qv: cannot install wine32:i386 gcc (index not read: $index; versions differ between architectures: libgst (amd64 1.0+u7, i386 1.0+u6); apt-get's output: build/logs/apt-get.log); once the mirror has synced, run as root: apt-get update && apt-get install --no-install-recommends wine32:i386 gcc"
  "not root|1000||0|ok|ok|1||run as root to install: wine32:i386 gcc"
  "nothing missing|1000|wine32:i386 gcc|0|fail|fail|0||"
)
failures=0
for row in "${cases[@]}"; do
  IFS='|' read -r name uid installed update_fails plain pinned want_status want_calls want_err <<<"$row"
  work=$tmp/work && rm -rf "$work" && mkdir "$work"
  status=0
  (cd "$work" && export PATH="$tmp/bin:$PATH" CALLS="$work/calls" FAKE_UID=$uid \
    FAKE_INSTALLED="$installed" FAKE_UPDATE_FAILS=$update_fails FAKE_PLAIN=$plain \
    FAKE_PINNED=$pinned QV_OS_RELEASE="$tmp/os-release" &&
    . "$source_dir/cmake/apt-install.sh" && install_missing wine32:i386 gcc) \
    >/dev/null 2>"$work/err" || status=$?
  calls=$(sed -n 's/^apt-get update.*/up/p; s/^apt-get install.* -t tcode .*/inst-t/p
    s/^apt-get install.*/inst/p; s/^sleep$/sleep/p' "$work/calls" 2>/dev/null | paste -sd ' ')
  problem=
  [ "$status" = "$want_status" ] || problem="status $status, not $want_status"
  [ "$calls" = "$want_calls" ] || problem="calls '$calls', not '$want_calls'"
  [ -z "$want_err" ] || grep -qF -- "$want_err" "$work/err" || problem="stderr lacks: $want_err"
  if [ -n "$problem" ]; then
    echo "FAIL: $name: $problem"
    sed 's/^/  stderr: /' "$work/err"
    failures=$((failures + 1))
  fi
done
[ $failures = 0 ] || exit 1
echo "apt install: ${#cases[@]} cases ok"
