#!/usr/bin/env bash
# Installs through apt what a make target needs and the machine lacks.
#
#   tools/apt_missing.sh LABEL WHAT:PACKAGE ...
#
# WHAT is a command looked up on PATH, an absolute path that must exist, or
# "@" for a package known only to dpkg (a library, a -dev package).  Apt is
# run only when something is missing, so a machine that has everything
# pays one quick check.
set -euo pipefail
label=$1
shift
missing=()
for pair in "$@"; do
  what=${pair%%:*}
  package=${pair#*:}
  case "$what" in
  @) dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package") ;;
  /*) [ -e "$what" ] || missing+=("$package") ;;
  *) command -v "$what" >/dev/null 2>&1 || missing+=("$package") ;;
  esac
done
[ ${#missing[@]} -gt 0 ] || exit 0
mapfile -t missing < <(printf '%s\n' "${missing[@]}" | sort -u)
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
echo "$label: installing ${missing[*]}"
# Another apt (an unattended upgrade, a second make) may hold dpkg's or the
# package lists' lock: wait for it, bounded, instead of failing at once.
apt_get() {
  local tries=0
  until $sudo env DEBIAN_FRONTEND=noninteractive \
    apt-get -o DPkg::Lock::Timeout=300 "$@"; do
    tries=$((tries + 1))
    if [ $tries -ge 3 ] || ! pgrep -x 'apt|apt-get|dpkg|unattended-upgr' >/dev/null; then
      return 1
    fi
    echo "$label: another apt is running; waiting for it"
    sleep 20
  done
}
apt_get update -q
apt_get install -y -q --no-install-recommends "${missing[@]}"
