#!/usr/bin/env bash
# Installs every Debian package the project needs. Quiet, idempotent, non-interactive.
set -euo pipefail

packages=(
    build-essential g++ cmake ninja-build pkg-config
    qt6-base-dev libqt6opengl6-dev libgl-dev libglu1-mesa-dev libgl1-mesa-dri
    libjpeg62-turbo-dev
    libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev
    xvfb xauth mesa-utils
    qhull-bin
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
echo "setup: installing ${missing[*]}"
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
