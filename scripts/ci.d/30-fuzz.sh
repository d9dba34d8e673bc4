#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a short fixed time.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
out="$CORVIN_OUT/fuzz"
if ! command -v clang++ >/dev/null; then
    echo "fuzz: clang++ not installed, skipped"
    exit 0
fi
if [ ! -f "$out/build.ninja" ]; then
    CC=clang CXX=clang++ cmake -S "$root" -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
        -DCORVIN_FUZZ=ON -DCORVIN_BENCH=OFF
fi
# Only the fuzz targets (and what they link), not the whole tree again.
targets=$(for f in "$out"/fuzzers/*.txt; do basename "$f" .txt; done)
cmake --build "$out" -j "${JOBS:-$(nproc)}" --target $targets
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
