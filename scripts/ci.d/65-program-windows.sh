#!/usr/bin/env bash
# The program for Windows: cross-builds corvintracer.exe with the commands,
# koralink.dll and portquest.dll against the Qt for Windows in
# ../shared/qt6-windows (unpacked under $CORVIN_OUT), makes the installer
# (cpack -G NSIS, a 64-bit one) and the portable ZIP, then installs and
# drives the program under wine in the simulator's lab
# (dist/windows/run-tests.sh). Needs the simulator and the Linux program of
# the normal build ($CORVIN_OUT/normal), which it builds when missing.
#
# Skips itself, saying so, only when the cross compiler or wine is missing
# (or the Qt for Windows is not beside the project).
set -uo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
out="$CORVIN_OUT/program-windows"
linux="$CORVIN_OUT/normal"
jobs="${JOBS:-2}"
qt_archive="$root/../shared/qt6-windows/qt6-base-6.4.2-x86_64-w64-mingw32.tar.xz"
qt="$CORVIN_OUT/qt6-base-6.4.2-x86_64-w64-mingw32"
for tool in x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-objdump wine makensis; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "program-windows: $tool not installed; the Windows program and its tests SKIPPED (not passed)"
        exit 0
    fi
done
if [ ! -d "$qt/lib/cmake/Qt6" ]; then
    if [ ! -f "$qt_archive" ]; then
        echo "program-windows: no Qt for Windows at $qt_archive; the Windows program and its tests SKIPPED (not passed)"
        exit 0
    fi
    tar -C "$CORVIN_OUT" -xJf "$qt_archive" || { echo "program-windows: unpacking Qt FAILED"; exit 1; }
fi

start=$(date +%s)
if [ ! -f "$out/build.ninja" ]; then
    cmake -S "$root" -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" \
        -DCMAKE_PREFIX_PATH="$qt" -DQT_HOST_PATH=/usr \
        -DCORVIN_WERROR=ON >"$CORVIN_OUT/program-windows-configure.log" 2>&1 ||
        { tail -20 "$CORVIN_OUT/program-windows-configure.log"; echo "program-windows: configure FAILED"; exit 1; }
fi
cmake --build "$out" -j "$jobs" || { echo "program-windows: build FAILED"; exit 1; }
(cd "$out" && cpack -G NSIS >"$out/cpack-nsis.log" 2>&1 && cpack -G ZIP >"$out/cpack-zip.log" 2>&1) ||
    { tail -20 "$out"/cpack-*.log; echo "program-windows: cpack FAILED"; exit 1; }
echo "figure: Windows program build and packages: $(($(date +%s) - start)) s"

if [ ! -x "$linux/sim/corvin-sim" ] || [ ! -x "$linux/app/corvintracer" ]; then
    if [ ! -f "$linux/build.ninja" ]; then
        cmake -S "$root" -B "$linux" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVIN_WERROR=ON \
            || { echo "program-windows: configuring the Linux build FAILED"; exit 1; }
    fi
    cmake --build "$linux" --target corvin-sim corvintracer -j "$jobs" \
        || { echo "program-windows: building the simulator and the Linux program FAILED"; exit 1; }
fi

start=$(date +%s)
"$root/scripts/without-serial-ports.sh" "$root/dist/windows/run-tests.sh" "$out" "$linux"
rc=$?
echo "figure: the program's wine tests: $(($(date +%s) - start)) s"
if [ "$rc" -eq 70 ]; then
    echo "program-windows: wine tests SKIPPED (not passed): no private /dev and no traced run possible here (the cause above)"
    exit 0
fi
if [ "$rc" -eq 77 ]; then
    echo "program-windows: wine unavailable, the program was built and packed and checked with objdump only"
    exit 0
fi
exit "$rc"
