#!/usr/bin/env bash
# run-tests.sh WINDOWS_BUILD LINUX_BUILD: checks the cross-built koralink.dll
# with objdump, then runs koralink-wine-test.exe under 64-bit wine inside the
# simulator's lab koralink/windows/wine.lab (corvin-sim from LINUX_BUILD).
#
# The lab's pseudo-terminals become COM ports through wine's registry
# (HKLM\Software\Wine\Ports) and a "Ports" device is faked for each of them
# (USB adapters under the USB enumerator, COM ports under ACPI), so that the
# library finds them through SetupAPI as on a real machine. Run it through
# scripts/without-serial-ports.sh: wine maps any serial port it sees; every
# COM link of the prefix is pinned to a lab port or to none
# (scripts/wine-ports.sh).
# Started as root, the lab and wine run as user nobody, so that a port held
# with TIOCEXCL is refused to them as to any program.
#
# Prints "N passed, N failed". Exit status: 0 all passed, 1 a failure, 77 the
# wine part could not run on this machine (said so on stdout).
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build="$(cd "$1" && pwd)"
linux="$(cd "$2" && pwd)"
work="$build/wine"
# shellcheck source=../../scripts/wine-ports.sh
. "$root/scripts/wine-ports.sh"
export WINEPREFIX="$work/prefix" WINEARCH=win64 WINEDEBUG=-all HOME="$work/home"
# No Mono/Gecko installer prompts; no display needed.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

# ---- inside the lab: registry, the holder of COM36, the test program ------
if [ "${KORALINK_WINE_STAGE:-}" = lab ]; then
    wine_lab_registry "$KORALINK_PORTMAP" >"$work/lab-ports.reg"
    wine_pin_ports "$WINEPREFIX" "$KORALINK_PORTMAP"
    if ! wine reg import "$work/lab-ports.reg" >/dev/null 2>&1 || ! wineserver -w; then
        echo "FAILED: importing the lab's ports into wine's registry"
        echo "0 passed, 1 failed"
        exit 1
    fi

    held="$(tr -d '\r' <"$KORALINK_PORTMAP" |
        awk '/^\[COM36\]$/ { on = 1 } on && /^Path/ { gsub(/^[^"]*"|"$/, ""); print; exit }')"
    rm -f "$work/held"
    python3 -c '
import fcntl, os, sys, termios, time
fd = os.open(sys.argv[1], os.O_RDWR | os.O_NOCTTY)
fcntl.ioctl(fd, termios.TIOCEXCL)
open(sys.argv[2], "w").close()
time.sleep(600)' "$held" "$work/held" &
    holder=$!
    for _ in $(seq 50); do [ -e "$work/held" ] && break; sleep 0.1; done

    # One server for every run below, so that its start-up is not measured.
    # Output of wine runs goes to files: the services a run starts keep
    # inheriting a pipe open, and a reader of it would wait for ever.
    wineserver -p >/dev/null 2>&1

    rm -rf "$work/scratch" && mkdir -p "$work/scratch" && cd "$work/scratch"
    # The port map names Linux paths; under wine the ports come from SetupAPI.
    env -u KORALINK_PORTMAP -u KORALINK_PORTMAP_ONLY \
        wine "$build/app/koralink-wine-test.exe" >"$work/library.out" 2>&1
    library="$(tr -d '\r' <"$work/library.out")"
    echo "$library" | grep -v '^[0-9]* passed, [0-9]* failed$'
    grep -q '^[0-9]* passed, [0-9]* failed$' <<<"$library" ||
        echo "FAILED: the wine test program did not finish"

    # The scan in this same lab, on Linux and under wine: the same report.
    # COM36 is still held; both list it without a sensor.
    scan_exe="$build/app/corvintracer-scan.exe"
    if [ -f "$scan_exe" ]; then
        seconds() { date +%s.%N; }
        for flag in "" --json; do
            t0=$(seconds)
            on_linux="$("$linux/app/corvintracer-scan" $flag 2>/dev/null)"
            t1=$(seconds)
            env -u KORALINK_PORTMAP -u KORALINK_PORTMAP_ONLY \
                wine "$scan_exe" $flag >"$work/scan.out" 2>/dev/null
            under_wine="$(tr -d '\r' <"$work/scan.out")"
            t2=$(seconds)
            what="scan ${flag:---text}: the same report under wine as on Linux"
            if [ -n "$on_linux" ] && [ "$on_linux" = "$under_wine" ]; then
                echo "ok: $what"
            else
                echo "FAILED: $what"
                diff <(echo "$on_linux") <(echo "$under_wine") | head -20
            fi
            awk -v a="$t0" -v b="$t1" -v c="$t2" -v f="${flag:---text}" \
                'BEGIN { printf "figure: scan %s in this lab: %.2f s on Linux, %.2f s under wine\n", f, b - a, c - b }'
        done
        t0=$(seconds)
        wine "$scan_exe" --help >/dev/null 2>&1
        t1=$(seconds)
        awk -v a="$t0" -v b="$t1" \
            'BEGIN { printf "figure: starting a program under wine (scan --help): %.2f s\n", b - a }'
    fi

    # The converter command: the same answers; a write made under wine is
    # what the Linux command reads back.
    converter_exe="$build/app/corvintracer-converter.exe"
    if [ -f "$converter_exe" ]; then
        for args in "list" "--json list" "show 127.0.0.21" "--json show 127.0.0.22"; do
            on_linux="$("$linux/app/corvintracer-converter" $args 2>&1)"
            env -u KORALINK_PORTMAP -u KORALINK_PORTMAP_ONLY \
                wine "$converter_exe" $args >"$work/converter.out" 2>&1
            under_wine="$(tr -d '\r' <"$work/converter.out")"
            what="converter command $args: the same answer under wine as on Linux"
            if [ -n "$on_linux" ] && [ "$on_linux" = "$under_wine" ]; then
                echo "ok: $what"
            else
                echo "FAILED: $what"
                diff <(echo "$on_linux") <(echo "$under_wine") | head -20
            fi
        done
        wine "$converter_exe" set 127.0.0.22 remote-port=7001 >"$work/converter.out" 2>&1
        written=$?
        if [ "$written" = 0 ] && "$linux/app/corvintracer-converter" show 127.0.0.22 |
            grep -qx 'remote-port=7001'; then
            echo "ok: converter command: a setting written under wine is saved in the module"
        else
            echo "FAILED: converter command: a setting written under wine is saved in the module"
            tr -d '\r' <"$work/converter.out" | tail -5
        fi
    fi
    kill "$holder" 2>/dev/null
    wineserver -k 2>/dev/null
    exit 0
fi

# ---- outside: objdump, prefix, lab ----------------------------------------
checks_name=koralink-windows
# shellcheck source=../../scripts/checks.sh
. "$root/scripts/checks.sh"

dll="$build/app/koralink.dll"
x86_64-w64-mingw32-objdump -p "$dll" >"$build/koralink.objdump" 2>&1
exports="$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' "$build/koralink.objdump" |
    sed -n 's/^\s*\[ *[0-9]*\] //p' | sort | tr '\n' ' ')"
expected="$(sed -n 's/^KORALINK_API [^(]* \**\(KORALINK_[A-Za-z0-9_]*\)(.*/\1/p' \
    "$root/koralink/include/koralink.h" | sort | tr '\n' ' ')"
check "objdump: koralink.dll exports the header's calls undecorated, nothing else" \
    test "$exports" = "$expected"
check "objdump: no compiler run-time DLL needed" \
    bash -c '! grep -Eiq "DLL Name: (libstdc|libgcc|libwinpthread)" "$1"' _ "$build/koralink.objdump"

for program in corvintracer-scan corvintracer-converter; do
    if [ -f "$build/app/$program.exe" ]; then
        check "objdump: $program.exe needs no compiler run-time DLL" \
            bash -c '! x86_64-w64-mingw32-objdump -p "$1" | grep -Eiq "DLL Name: (libstdc|libgcc|libwinpthread)"' \
            _ "$build/app/$program.exe"
    fi
done

if ! command -v wine >/dev/null 2>&1 || ! command -v wineboot >/dev/null 2>&1; then
    echo "koralink-windows: wine is not installed; the wine tests are SKIPPED (not passed)"
    summary " (wine part skipped)"
    [ "$failed" -eq 0 ] && exit 77 || exit 1
fi

if ! wine_new_prefix koralink-windows "$build" "$work"; then
    summary " (wine part skipped)"
    [ "$failed" -eq 0 ] && exit 77 || exit 1
fi
wine_pin
wine_lab_part KORALINK_WINE_STAGE "$here/wine.lab" "$0" "$build" "$linux"
summary
[ "$failed" -eq 0 ]
