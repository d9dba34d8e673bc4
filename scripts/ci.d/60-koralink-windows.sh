#!/usr/bin/env bash
# Cross-builds koralink.dll, corvintracer-scan.exe and corvintracer-converter.exe
# for 64-bit Windows with mingw-w64 (the project's own CMake files,
# cmake/mingw-x86_64.cmake; run-time linked statically) and tests
# them under wine against the simulator: the lab's sensors on
# pseudo-terminals mapped to COM ports, converters on loopback, the reports
# of the scan and the converter command compared with the Linux ones'
# (koralink/windows/run-tests.sh). Needs the
# simulator and the two commands of the normal build ($CORVIN_OUT/normal),
# which it builds when missing.
#
# Skips itself, saying so, only when the cross compiler or wine is missing.
set -uo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
out="$CORVIN_OUT/koralink-windows"
linux="$CORVIN_OUT/normal"
jobs="${JOBS:-2}"
for tool in x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-objdump; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "koralink-windows: $tool not installed; Windows build and tests SKIPPED (not passed)"
        exit 0
    fi
done

if [ ! -f "$out/build.ninja" ]; then
    cmake -S "$root" -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" \
        -DCORVIN_GUI=OFF -DCORVIN_WERROR=ON >"$CORVIN_OUT/koralink-windows-configure.log" 2>&1 \
        || { tail -20 "$CORVIN_OUT/koralink-windows-configure.log"; echo "koralink-windows: configure FAILED"; exit 1; }
fi
cmake --build "$out" -j "$jobs" || { echo "koralink-windows: build FAILED"; exit 1; }

if [ ! -x "$linux/sim/corvin-sim" ] || [ ! -x "$linux/app/corvintracer-scan" ] ||
    [ ! -x "$linux/app/corvintracer-converter" ]; then
    if [ ! -f "$linux/build.ninja" ]; then
        cmake -S "$root" -B "$linux" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVIN_WERROR=ON \
            || { echo "koralink-windows: configuring the Linux build FAILED"; exit 1; }
    fi
    cmake --build "$linux" --target corvin-sim corvintracer-scan corvintracer-converter -j "$jobs" \
        || { echo "koralink-windows: building the simulator and the Linux commands FAILED"; exit 1; }
fi

"$root/scripts/without-serial-ports.sh" "$root/koralink/windows/run-tests.sh" "$out" "$linux"
rc=$?
if [ "$rc" -eq 70 ]; then
    echo "koralink-windows: wine tests SKIPPED (not passed): no private /dev and no traced run possible here (the cause above)"
    exit 0
fi
if [ "$rc" -eq 77 ]; then
    echo "koralink-windows: wine unavailable, koralink.dll was built and checked with objdump only"
    exit 0
fi
exit "$rc"
