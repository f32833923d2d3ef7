#!/usr/bin/env bash
# Installs those of the named Debian packages that are not installed yet, with sudo when not
# root. Usage: install-missing.sh [--no-install-recommends] PACKAGE...
set -euo pipefail
options=()
if [ "${1:-}" = "--no-install-recommends" ]; then options+=("$1"); shift; fi
missing=()
for p in "$@"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; fi
echo "== installing: ${missing[*]}"
# Steps that run side by side wait for each other's apt rather than fail on its lock.
$SUDO apt-get -o DPkg::Lock::Timeout=600 update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get -o DPkg::Lock::Timeout=600 install -y -qq "${options[@]}" \
  "${missing[@]}" >/dev/null
