#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a short fixed time.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
out="$CORVIN_OUT/fuzz"
if ! command -v clang++ >/dev/null; then
    echo "fuzz: clang++ not installed, skipped"
    exit 0
fi
CC=clang CXX=clang++ BUILD_TYPE=Debug "$root/scripts/build.sh" "$out" -DCORVIN_FUZZ=ON \
    -DCORVIN_GUI=OFF -DCORVIN_BENCH=OFF
secs="${FUZZ_SECONDS:-20}"
fails=0; runs=0
while IFS='|' read -r bin corpus; do
    [ -n "$bin" ] || continue
    work="$out/corpus-$(basename "$bin")"
    mkdir -p "$work"
    args=("$work")
    [ -n "$corpus" ] && [ -d "$corpus" ] && args+=("$corpus")
    echo "fuzz: $(basename "$bin") for ${secs}s"
    if "$bin" -max_total_time="$secs" -print_final_stats=0 "${args[@]}" >"$work.log" 2>&1; then
        runs=$((runs + 1))
    else
        echo "fuzz: $(basename "$bin") FAILED"; tail -40 "$work.log"; fails=$((fails + 1))
    fi
done < <(cat "$out"/fuzzers/*.txt 2>/dev/null)
echo "fuzz: $runs passed, $fails failed"
[ "$fails" -eq 0 ]
