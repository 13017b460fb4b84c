#!/usr/bin/env bash
# Installs what building and testing Brantovel needs on Debian 12, only what is missing.
# Usage: tools/install-deps.sh [build|test]
set -euo pipefail
mode=${1:-test}
pkgs=(cmake g++ make qt6-base-dev qt6-base-dev-tools qt6-translations-l10n libgl-dev fonts-dejavu-core fonts-liberation)
if [ "$mode" = test ]; then
    pkgs+=(python3 python3-xlrd python3-xlwt libreoffice-calc-nogui xvfb xauth)
fi
missing=()
for p in "${pkgs[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
