#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a short fixed time,
# then prints what each one reached: its coverage (edges of instrumented code
# seen), its executions and its corpus. A target whose coverage stays near the
# size of its own harness does not see into the code it is meant to test.
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
report=()
while IFS='|' read -r bin corpus; do
    [ -n "$bin" ] || continue
    name="$(basename "$bin")"
    work="$out/corpus-$name"
    mkdir -p "$work"
    args=("$work")
    [ -n "$corpus" ] && [ -d "$corpus" ] && args+=("$corpus")
    echo "fuzz: $name for ${secs}s"
    if "$bin" -max_total_time="$secs" -print_final_stats=1 "${args[@]}" >"$work.log" 2>&1; then
        runs=$((runs + 1))
        status=ok
    else
        echo "fuzz: $name FAILED"; tail -40 "$work.log"; fails=$((fails + 1))
        status=FAILED
    fi
    cov=$(grep -o 'cov: [0-9]*' "$work.log" | tail -1 | cut -d' ' -f2 || true)
    execs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$work.log" | cut -d' ' -f2 || true)
    units=$(find "$work" -type f | wc -l)
    seeds=0
    [ -n "$corpus" ] && [ -d "$corpus" ] && seeds=$(find "$corpus" -type f | wc -l)
    report+=("$(printf '%-28s %8s %12s %8s %6s  %s' "$name" "${cov:-?}" "${execs:-?}" "$units" \
        "$seeds" "$status")")
done < <(cat "$out"/fuzzers/*.txt 2>/dev/null)
printf 'fuzz: %-28s %8s %12s %8s %6s\n' target coverage executions corpus seeds
for line in "${report[@]}"; do echo "fuzz: $line"; done
echo "fuzz: $runs passed, $fails failed"
[ "$fails" -eq 0 ]
