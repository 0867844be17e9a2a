#!/usr/bin/env bash
# Installs every Debian package the project needs. Quiet, idempotent, non-interactive.
set -euo pipefail

packages=(
    build-essential g++ cmake ninja-build pkg-config
    qt6-base-dev libqt6opengl6-dev libgl-dev libglu1-mesa-dev libgl1-mesa-dri
    libjpeg62-turbo-dev libtinyobjloader-dev
    libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev
    xvfb xauth mesa-utils
    qhull-bin
    clang libclang-rt-14-dev
    locales
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
if [ ${#missing[@]} -gt 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    echo "setup: installing ${missing[*]}"
    $sudo apt-get update -qq
    $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# A locale with a decimal comma, for the tests that files keep their decimal point under it.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    $sudo localedef -i de_DE -c -f UTF-8 de_DE.UTF-8 2>/dev/null || echo "setup: no de_DE.UTF-8 locale (its tests will skip)"
fi
