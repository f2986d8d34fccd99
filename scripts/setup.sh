#!/usr/bin/env bash
# Installs the Debian packages the build needs, only those that are missing,
# so a second run costs nothing. Needs root (or sudo) when something is missing.
set -euo pipefail

packages=(
    g++ cmake ninja-build clang libclang-rt-14-dev
    qtbase5-dev libqt5charts5-dev libqt5serialport5-dev libqt5svg5-dev
    qttools5-dev qttools5-dev-tools
    xvfb xauth
)

missing=()
for pkg in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$pkg")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
