#!/usr/bin/env bash
# Fuzzes the readers with libFuzzer (clang, ASan, UBSan) in build-fuzz/.
#   scripts/fuzz.sh [TARGET] [SECONDS]  fuzz TARGET (default: every target, one after the other) for
#                                        SECONDS each (default 60); the corpus grows in
#                                        build-fuzz/corpus/TARGET, crashes land in build-fuzz/findings/
#   scripts/fuzz.sh --smoke              each target over its seeds and a few thousand inputs (test.sh)
#   scripts/fuzz.sh --build              build the targets and write their seeds only
#   scripts/fuzz.sh --list               the target names
# Seeds are written by the targets themselves (ORVEX_FUZZ_SEEDS) into build-fuzz/seeds/TARGET.
# A crash input reproduces with: build-fuzz/bin/fuzz_TARGET FILE
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
dir="${ORVEX_FUZZ_DIR:-$root/build-fuzz}"
targets=(stl_binary stl_text merge ct points jpeg lop strict_text sfm sick tgl 3ds ply obj template)

usage() {
    echo "usage: scripts/fuzz.sh [TARGET|--smoke|--build|--list] [SECONDS]" >&2
    echo "targets: ${targets[*]}" >&2
    exit 2
}

mode=fuzz
chosen=("${targets[@]}")
seconds=60
case "${1:-}" in
    --smoke) mode=smoke ;;
    --build) mode=build ;;
    --list) printf '%s\n' "${targets[@]}"; exit 0 ;;
    -h|--help) usage ;;
    "") ;;
    *)
        [[ " ${targets[*]} " == *" $1 "* ]] || usage
        chosen=("$1")
        ;;
esac
if [ $# -ge 2 ]; then
    [[ "$2" =~ ^[0-9]+$ ]] || usage
    seconds="$2"
fi

build() {
    if ! command -v clang++ >/dev/null; then
        echo "fuzz: clang++ is missing (scripts/setup.sh installs it)" >&2
        exit 1
    fi
    mkdir -p "$dir"
    if [ ! -f "$dir/build.ninja" ]; then
        if ! CC=clang CXX=clang++ cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
            -DORVEX_FUZZ=ON -DORVEX_GUI=OFF -DORVEX_BENCH=OFF >"$dir/configure.log" 2>&1; then
            cat "$dir/configure.log"
            echo "fuzz: configuring $dir failed" >&2
            exit 1
        fi
    fi
    local names=()
    for t in "${chosen[@]}"; do names+=("fuzz_$t"); done
    if ! cmake --build "$dir" -j "$(nproc)" --target "${names[@]}"; then
        echo "fuzz: building $dir failed" >&2
        exit 1
    fi
    for t in "${chosen[@]}"; do
        rm -rf "$dir/seeds/$t"
        mkdir -p "$dir/seeds/$t" "$dir/corpus/$t" "$dir/findings/$t"
        ORVEX_FUZZ_SEEDS="$dir/seeds/$t" "$dir/bin/fuzz_$t"
    done
}

# The last "Done N runs in S second(s)" line as inputs per second.
rate() {
    sed -n 's/^Done \([0-9]*\) runs in \([0-9]*\) second.*/\1 \2/p' "$1" | tail -n 1 |
        awk '{ if ($2 > 0) printf "%d runs in %d s, %d inputs/s", $1, $2, $1 / $2; else printf "%d runs", $1 }'
}

export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1:allocator_may_return_null=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
common=(-timeout=20 -rss_limit_mb=2048 -max_len=8192 -print_final_stats=1)

build
[ "$mode" = build ] && exit 0

failed=()
for t in "${chosen[@]}"; do
    bin="$dir/bin/fuzz_$t"
    log="$dir/findings/$t/last-run.log"
    if [ "$mode" = smoke ]; then
        scratch="$(mktemp -d)"
        args=("${common[@]}" -runs=3000 -max_total_time=5 "-artifact_prefix=$dir/findings/$t/" "$scratch"
              "$dir/seeds/$t")
    else
        scratch=""
        args=("${common[@]}" "-max_total_time=$seconds" "-artifact_prefix=$dir/findings/$t/" "$dir/corpus/$t"
              "$dir/seeds/$t")
    fi
    if "$bin" "${args[@]}" >"$log" 2>&1; then
        echo "fuzz: $t: $(rate "$log")"
    else
        failed+=("$t")
        tail -n 60 "$log" >&2
        echo "fuzz: $t FAILED (log $log; inputs in $dir/findings/$t/)" >&2
    fi
    [ -n "$scratch" ] && rm -rf "$scratch"
done
if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzz: broken promises or crashes in: ${failed[*]}" >&2
    exit 1
fi
