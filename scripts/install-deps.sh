#!/usr/bin/env bash
# Installs every Debian 12 package the project needs (lists in scripts/deps.d).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
pkgs=$(cat "$here"/deps.d/*.txt | sed 's/#.*//' | tr -s ' \n' '\n' | sort -u | grep -v '^$')
missing=()
for p in $pkgs; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
    echo "install-deps: all packages present"
    exit 0
fi
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq "${missing[@]}"
