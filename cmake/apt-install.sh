# Installing the packages the builds need with apt-get, on a Debian system
# whose mirror may be part-way through a sync. Sourced by ./qv; the test
# tests/setup/check_apt_install.sh drives it with stand-ins for the tools.
#
#   install_missing PACKAGE...   installs those not installed; 1 on failure
#
# A mirror that is syncing serves some index with the wrong size: apt-get
# update then exits 100 although every other list was read. The update is
# tried a few times, and then the install goes on with the lists it has.
# Without one architecture's index of the security suite, apt picks the
# security version of a package for amd64 and the release's for i386, which
# multiarch cannot install side by side; pinned to the release's own suite
# (its codename in /etc/os-release) both architectures get the same version.
# apt-get's output goes to build/logs/apt-get.log under the current folder.

apt_tries=${QV_APT_TRIES:-3}
apt_pause=${QV_APT_PAUSE:-3}
apt_os_release=${QV_OS_RELEASE:-/etc/os-release}

apt_say() { printf 'qv: %s\n' "$*" >&2; }

missing_packages() { # PACKAGE...
  local p status
  for p in "$@"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [ "$status" = "install ok installed" ] || printf '%s\n' "$p"
  done
}

# The indexes apt-get could not fetch, from its output in $1, one line.
apt_failed_indexes() { # LOG
  sed -n 's/^[EW]: Failed to fetch \([^ ]*\).*/\1/p' "$1" | sort -u | tr '\n' ' ' | sed 's/ $//'
}

# Among the packages named in apt-get's output in $1 and the packages
# given, those whose candidate versions differ between the native
# architecture and i386, as "NAME (amd64 VERSION, i386 VERSION)", one line.
apt_version_skew() { # LOG PACKAGE...
  local log=$1 native name args=()
  shift
  native=$(dpkg --print-architecture)
  while read -r name; do
    args+=("$name:$native" "$name:i386")
  done < <({
    printf '%s\n' "$@"
    grep -oE '^ [^ ]+ :|Depends: [^ ]+' "$log" | sed 's/^ //; s/ :$//; s/^Depends: //'
  } | sed 's/:.*//' | sort -u)
  [ ${#args[@]} -gt 0 ] || return 0
  # apt-cache names a package of the native architecture without a suffix.
  apt-cache policy "${args[@]}" 2>/dev/null | awk -v native="$native" '
    /^[^ ].*:$/ { name = substr($0, 1, length($0) - 1); arch = native
                  if (sub(/:i386$/, "", name)) arch = "i386"
                  sub(":" native "$", "", name) }
    /^  Candidate:/ && $2 != "(none)" { candidate[name, arch] = $2; seen[name] = 1 }
    END { for (n in seen)
            if ((n, native) in candidate && (n, "i386") in candidate &&
                candidate[n, native] != candidate[n, "i386"])
              printf "%s (%s %s, i386 %s)\n", n, native, candidate[n, native], candidate[n, "i386"] }' |
    sort | paste -sd ' ' | sed 's/) /), /g'
}

install_missing() { # PACKAGE...
  local missing log codename try status failed skew error cause
  missing=$(missing_packages "$@" | paste -sd ' ')
  [ -n "$missing" ] || return 0
  if [ "$(id -u)" != 0 ]; then
    apt_say "run as root to install: $missing"
    return 1
  fi
  apt_say "installing: $missing"
  mkdir -p build/logs
  log=build/logs/apt-get.log
  : >"$log"
  dpkg --print-foreign-architectures | grep -qx i386 ||
    dpkg --add-architecture i386 || return 1
  export DEBIAN_FRONTEND=noninteractive

  for try in $(seq "$apt_tries"); do
    status=0
    apt-get update -qq >"$log.update" 2>&1 || status=$?
    cat "$log.update" >>"$log"
    [ $status != 0 ] && [ "$try" != "$apt_tries" ] || break
    sleep "$apt_pause"
  done
  failed=$(apt_failed_indexes "$log.update")
  rm -f "$log.update"
  if [ $status != 0 ]; then
    apt_say "apt-get update failed $apt_tries times (${failed:+not read: $failed; }$log);" \
      "going on with the lists it read"
  fi

  # shellcheck disable=SC2086
  apt-get install -y -qq --no-install-recommends $missing >>"$log" 2>&1 && return 0
  codename=$(sed -n 's/^VERSION_CODENAME=//p' "$apt_os_release" 2>/dev/null | tr -d '"')
  if [ -n "$codename" ]; then
    apt_say "the install failed; trying again pinned to $codename"
    # shellcheck disable=SC2086
    apt-get install -y -qq --no-install-recommends -t "$codename" $missing >>"$log" 2>&1 &&
      return 0
  fi

  # shellcheck disable=SC2086
  skew=$(apt_version_skew "$log" $missing)
  cause=${failed:+index not read: $failed}
  [ -z "$skew" ] || cause="${cause:+$cause; }versions differ between architectures: $skew"
  error=$(grep '^E: ' "$log" | tail -1 | sed 's/^E: //; s/\.$//')
  [ -z "$error" ] || cause="${cause:+$cause; }apt-get's last error: $error"
  apt_say "cannot install $missing (${cause:+$cause; }apt-get's output: $log);" \
    "once the mirror has synced, run as root: apt-get update &&" \
    "apt-get install --no-install-recommends $missing"
  return 1
}
