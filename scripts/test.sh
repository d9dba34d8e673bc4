#!/usr/bin/env bash
# Builds and runs the whole test suite: the normal build, the
# AddressSanitizer + UndefinedBehaviorSanitizer build, then the extra stages
# in scripts/ci.d (fuzzing, cross builds, install and package checks), each
# of which skips itself when its tools are missing.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
out="${CORVIN_OUT:-$root/build-ci}"
status=0

echo "== normal build"
scripts/build.sh "$out/normal" -DCORVIN_WERROR=ON
(cd "$out/normal" && ctest --output-on-failure -j2 --timeout 300) || status=1

if [ "${CORVIN_SKIP_SANITIZE:-0}" != 1 ]; then
    echo "== sanitizer build (ASan + UBSan)"
    BUILD_TYPE=Debug scripts/build.sh "$out/sanitize" -DCORVIN_SANITIZE=ON -DCORVIN_BENCH=OFF
    (cd "$out/sanitize" && ctest --output-on-failure -j2 --timeout 600) || status=1
fi

for stage in scripts/ci.d/*.sh; do
    [ -e "$stage" ] || continue
    echo "== $(basename "$stage")"
    CORVIN_OUT="$out" bash "$stage" || status=1
done
exit $status
