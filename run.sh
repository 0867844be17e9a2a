#!/usr/bin/env bash
# Installs the dependencies, builds (Release) and starts Orvex Vision on samples/.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

"$root/scripts/setup.sh"
"$root/scripts/build.sh" "$root/build" Release

cd "$root/samples"
exec "$root/build/bin/orvex-vision" "$@"
