#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing need, when any
# is missing, and any further packages named on the command line. Needs root (or sudo).
set -euo pipefail

packages=(
    cmake g++ make pkg-config
    qt6-base-dev qt6-serialport-dev libasound2-dev
    fonts-liberation2 fonts-wqy-zenhei
    xvfb xauth xdotool
    dbus-daemon at-spi2-core python3-pyatspi
    python3 bash-completion
    "$@"
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
echo "installing: ${missing[*]}"
"${sudo[@]}" apt-get update
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
