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
$sudo env DEBIAN_FRONTEND=noninteractive apt-get update -q
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q \
  --no-install-recommends "${missing[@]}"
