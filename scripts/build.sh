#!/usr/bin/env bash
# scripts/build.sh BUILD_DIR BUILD_TYPE [cmake options...]: configure with Ninja and build.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
dir="$1"
type="$2"
shift 2

mkdir -p "$dir"
if ! cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" "$@" >"$dir/configure.log" 2>&1; then
    cat "$dir/configure.log"
    echo "build: configuring $dir failed" >&2
    exit 1
fi
if ! cmake --build "$dir" -j "$(nproc)"; then
    echo "build: building $dir failed" >&2
    exit 1
fi
