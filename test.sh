#!/usr/bin/env bash
# Installs the dependencies, builds and runs every test with ctest.
#   ./test.sh             Release build in build/, all tests (windows under xvfb-run without a display)
#   ./test.sh --sanitize  core libraries, orvex and their tests with ASan + UBSan in build-asan/,
#                         then a short run of every fuzz target (scripts/fuzz.sh --smoke)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

sanitize=0
for arg in "$@"; do
    case "$arg" in
        --sanitize) sanitize=1 ;;
        *) echo "usage: ./test.sh [--sanitize]" >&2; exit 2 ;;
    esac
done

"$root/scripts/setup.sh"

if [ "$sanitize" = 1 ]; then
    dir="$root/build-asan"
    "$root/scripts/build.sh" "$dir" Debug -DORVEX_GUI=OFF -DORVEX_SANITIZE=ON -DORVEX_BENCH=OFF
    export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1"
    export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
else
    dir="$root/build"
    "$root/scripts/build.sh" "$dir" Release
fi

cd "$dir"
run=(ctest --output-on-failure -j "$(nproc)" --timeout 600)
if [ "$sanitize" = 0 ] && [ -z "${DISPLAY:-}" ]; then
    run=(xvfb-run -a -s "-screen 0 1600x1200x24" "${run[@]}")
fi
if ! "${run[@]}"; then
    echo "test: some tests failed (see above)" >&2
    exit 1
fi
if [ "$sanitize" = 1 ]; then
    # The readers' fuzz targets (clang, ASan, UBSan, in build-fuzz/) over their seeds and a few
    # thousand inputs each.
    "$root/scripts/fuzz.sh" --smoke
fi
