#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Orvanta needs.
# Quick when everything is already there.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config clang clang-format libclang-rt-14-dev
    qt6-base-dev qt6-base-dev-tools qt6-charts-dev libqt6opengl6-dev libqt6sql6-sqlite
    libqt6svg6 qt6-svg-dev libgl-dev
    qcoro-qt6-dev qtkeychain-qt6-dev libssh-dev libssl-dev
    libcurl4-openssl-dev
    libbenchmark-dev
    fonts-dejavu-core
    dbus dbus-x11 gnome-keyring libsecret-tools
    openssh-server openssh-client openssl python3 python3-asyncssh ccache
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    SUDO=""
    if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update
    $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
