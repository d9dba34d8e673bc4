#!/usr/bin/env bash
# ThreadSanitizer build of the parts that run on several threads and need no
# Qt: koralink (its exchange threads, the wait stop), the search core (its
# overlapped passes) and the worker hand-off the program's search runs on.
# Builds only their tests and runs them.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
out="$CORVIN_OUT/tsan"
if [ ! -f "$out/build.ninja" ]; then
    cmake -S "$root" -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCORVIN_TSAN=ON -DCORVIN_GUI=OFF -DCORVIN_BENCH=OFF -DCORVIN_WERROR=ON
fi
tests=(koralink/tests/koralink_tests koralink/lan/tests/koralink_lan_tests
    search/tests/search_engine_test search/tests/search_sim_test search/tests/search_worker_test)
cmake --build "$out" -j "${JOBS:-2}" --target "${tests[@]##*/}"
# halt_on_error: a race fails its test instead of only being printed.
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ${TSAN_OPTIONS:-}"
fails=0
for t in "${tests[@]}"; do
    echo "tsan: ${t##*/}"
    if ! (cd "$out" && "./$t" --gtest_brief=1); then
        echo "tsan: ${t##*/} FAILED"
        fails=$((fails + 1))
    fi
done
echo "tsan: ${#tests[@]} test programs, $fails failed"
[ "$fails" -eq 0 ]
