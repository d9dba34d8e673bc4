#!/usr/bin/env bash
# Cross-builds portquest.dll with mingw-w64 and tests it: objdump checks of
# the export and the version resource, then the real SetupAPI path under
# 64-bit wine. Skips itself (saying so) only when the cross compiler or wine
# is missing or wine cannot run here.
set -uo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
out="$CORVIN_OUT/portquest-windows"
for tool in x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-windres x86_64-w64-mingw32-objdump; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "portquest-windows: $tool not installed; Windows build and tests SKIPPED (not passed)"
        exit 0
    fi
done
if [ ! -f "$out/build.ninja" ]; then
    cmake -S "$root/portquest/windows" -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" -DCORVIN_WERROR=ON \
        || { echo "portquest-windows: configure FAILED"; exit 1; }
fi
cmake --build "$out" || { echo "portquest-windows: build FAILED"; exit 1; }
# In a /dev without the machine's serial ports: a fresh wine prefix maps
# them to COM ports of its own accord.
"$root/scripts/without-serial-ports.sh" "$root/portquest/windows/run-tests.sh" "$out"
rc=$?
if [ "$rc" -eq 70 ]; then
    echo "portquest-windows: wine tests SKIPPED (not passed): no private /dev and no traced run possible here (the cause above)"
    exit 0
fi
if [ "$rc" -eq 77 ]; then
    echo "portquest-windows: wine unavailable, the DLL was built and checked with objdump only"
    exit 0
fi
exit "$rc"
