#!/usr/bin/env bash
# install_missing (cmake/apt-install.sh) against one stand-in for id, sleep,
# dpkg, dpkg-query, apt-get and apt-cache on PATH, one row per case. No network.
#   check_apt_install.sh SOURCE_DIR
set -u
tmp=$(mktemp -d) && trap 'rm -rf "$tmp"' EXIT
export FAKE_INDEX=http://mirror/debian-security/dists/x-security/main/binary-i386/Packages.xz
mkdir "$tmp/bin" && cat >"$tmp/bin/fake" <<'EOF' && chmod +x "$tmp/bin/fake"
#!/bin/bash
IFS='|' read -r uid installed update_fails plain pinned _ <<<"$FAKE"
case "${0##*/} $*" in
  id*) echo "$uid" ;;
  dpkg-query*) [[ " $installed " == *" $3 "* ]] && printf 'install ok installed' ;;
  "dpkg --print-architecture") echo amd64 ;;
  apt-cache*) shift; for p; do v=1.0; [ "$p" = libgst:amd64 ] && v=1.0+u7
    [ "$p" = libgst:i386 ] && v=1.0+u6; printf '%s:\n  Candidate: %s\n' "${p%:amd64}" "$v"; done ;;
  *update*) echo up >>calls; [ "$(grep -c up calls)" -gt "$update_fails" ] ||
    { echo "E: Failed to fetch $FAKE_INDEX  File has unexpected size"; exit 100; } ;;
  apt-get*) [[ "$*" == *" -t tcode "* ]] && echo inst-t >>calls && [ "$pinned" = ok ] && exit
    [[ "$*" != *" -t "* ]] && echo inst >>calls && [ "$plain" = ok ] && exit
    printf ' libwine:i386 : Depends: libgst:i386 (= 1.0) but it is not going to be installed\nE: %s\n' \
      "Unable to correct problems, you have held broken packages."; exit 100 ;;
  sleep*) echo sleep >>calls ;;
esac
EOF
for tool in id sleep dpkg dpkg-query apt-get apt-cache; do ln -s fake "$tmp/bin/$tool"; done
echo VERSION_CODENAME=tcode >"$tmp/os-release"

# uid|installed|update failures|plain install|pinned install|status|calls|text in stderr
cases=(
  "0|gcc|3|ok|-|0|up sleep up sleep up inst|update failed 3 times (not read: $FAKE_INDEX;"
  "0|gcc|1|ok|-|0|up sleep up inst|"
  "0||0|fail|ok|0|up inst inst-t|the install failed; trying again pinned to tcode"
  "0||3|fail|fail|1|up sleep up sleep up inst inst-t|qv: cannot install wine32:i386 gcc (index not read: $FAKE_INDEX; versions differ between architectures: libgst (amd64 1.0+u7, i386 1.0+u6); apt-get's last error: Unable to correct problems, you have held broken packages; apt-get's output: build/logs/apt-get.log); once the mirror has synced, run as root: apt-get update && apt-get install --no-install-recommends wine32:i386 gcc"
  "1000||0|ok|ok|1||qv: run as root to install: wine32:i386 gcc"
  "1000|wine32:i386 gcc|0|-|-|0||"
)
failed=0
for row in "${cases[@]}"; do
  IFS='|' read -r _ _ _ _ _ want_status want_calls want_err <<<"$row"
  rm -rf "$tmp/work" && mkdir "$tmp/work" && touch "$tmp/work/calls"
  (cd "$tmp/work" && export PATH="$tmp/bin:$PATH" FAKE=$row QV_OS_RELEASE="$tmp/os-release" &&
    . "$1/cmake/apt-install.sh" && install_missing wine32:i386 gcc) >/dev/null 2>"$tmp/work/err"
  got="$?|$(paste -sd ' ' "$tmp/work/calls")"
  [ "$got" = "$want_status|$want_calls" ] && [[ $(<"$tmp/work/err") == *"$want_err"* ]] ||
    { echo "FAIL: $row: got $got, stderr:" && cat "$tmp/work/err" && failed=1; }
done
[ $failed = 0 ] && echo "apt install: ${#cases[@]} cases ok"
