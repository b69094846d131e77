#!/usr/bin/env bash
# Makes sure the Debian packages the build and the tests need are installed.
# As root it installs what is missing; otherwise it prints the one apt-get
# line needed and fails.
set -euo pipefail

packages=(cmake ninja-build g++ make libgtest-dev libgmock-dev python3 libwmf-bin clang libclang-rt-14-dev "$@")

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
else
    echo "These packages are needed: ${missing[*]}" >&2
    echo "Install them with:  sudo apt-get install -y ${missing[*]}" >&2
    exit 1
fi
