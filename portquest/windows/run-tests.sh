#!/usr/bin/env bash
# run-tests.sh BUILD_DIR: checks the cross-built portquest.dll — its export
# table and version resource with objdump, then the real SetupAPI path under
# 64-bit wine with "Ports" devices faked in a fresh prefix's registry.
# Prints "N passed, N failed". Exit status: 0 all passed, 1 a failure,
# 77 the wine part could not run on this machine (said so on stdout).
# Run it through scripts/without-serial-ports.sh; the prefix's COM links are
# pinned to no port (scripts/wine-ports.sh), and started as root, wine runs
# as user nobody, for whom the pinned links stay as they are.
set -uo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$(cd "$1" && pwd)"
dll="$build/portquest.dll"
checks_name=portquest-windows
# shellcheck source=../../scripts/checks.sh
. "$root/scripts/checks.sh"

objdump_p="$(x86_64-w64-mingw32-objdump -p "$dll" 2>&1)"
names="$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$objdump_p" | grep -E '^\s*\[ *[0-9]+\]')"
check "objdump: PortQuest exported undecorated, and nothing else" \
    test "$(tr -s ' \t' ' ' <<<"$names" | sed 's/^ //')" = "[ 0] PortQuest"
check "objdump: version resource (type 16) present" grep -q 'Entry: ID: 0x000010' <<<"$objdump_p"
check "objdump: resource language English (United Kingdom), 0x809" \
    grep -q 'Entry: ID: 0x000809' <<<"$objdump_p"
check "objdump: no compiler run-time DLL needed" \
    bash -c '! grep -Eiq "DLL Name: (libstdc|libgcc|libwinpthread)" <<<"$1"' _ "$objdump_p"

if ! command -v wine >/dev/null 2>&1 || ! command -v wineboot >/dev/null 2>&1; then
    echo "portquest-windows: wine is not installed; the wine tests are SKIPPED (not passed)"
    summary " (wine part skipped)"
    [ "$failed" -eq 0 ] && exit 77 || exit 1
fi

export WINEPREFIX="$build/wineprefix" WINEARCH=win64 WINEDEBUG=-all HOME="$build/winehome"
# No Mono/Gecko installer prompts; no display needed.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
rm -rf "$WINEPREFIX" "$HOME"
mkdir -p "$HOME"
as_user=()
if [ "$(id -u)" = 0 ]; then
    mkdir -p "$WINEPREFIX"
    chown 65534:65534 "$WINEPREFIX" "$HOME"
    as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups --)
fi
# wineserver writes the registry files when it exits: wait for that.
if ! "${as_user[@]}" bash -c 'wineboot -i && wineserver -w' >"$build/wineboot.log" 2>&1 ||
    [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "portquest-windows: wine cannot create a 64-bit prefix on this machine; wine tests SKIPPED (not passed)"
    tail -5 "$build/wineboot.log"
    "${as_user[@]}" wineserver -k 2>/dev/null
    summary " (wine part skipped)"
    [ "$failed" -eq 0 ] && exit 77 || exit 1
fi

"${as_user[@]}" bash -c '. "$1"; wine_pin_ports "$2"' _ "$root/scripts/wine-ports.sh" "$WINEPREFIX"

cd "$build"
run() { "${as_user[@]}" wine "$@" 2>&1 | tr -d '\r'; }
# Adds the "N passed, N failed" of a test program run to the totals.
tally() {
    local out="$1" p f
    echo "$out" | grep -v '^[0-9]* passed, [0-9]* failed$'
    p=$(sed -n 's/^\([0-9]*\) passed, \([0-9]*\) failed$/\1/p' <<<"$out")
    f=$(sed -n 's/^\([0-9]*\) passed, \([0-9]*\) failed$/\2/p' <<<"$out")
    if [ -z "$p" ]; then
        echo "FAILED: the wine test program did not finish"
        failed=$((failed + 1))
    else
        passed=$((passed + p)); failed=$((failed + f))
    fi
}
# Before any fake device exists.
tally "$(run portquest-wine-test.exe portquest.dll --no-ports)"

cat >"$build/ports.reg" <<'REG'
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Enum\ROOT\PORTS\0000]
"ClassGUID"="{4d36e978-e325-11ce-bfc1-08002be10318}"
"Class"="Ports"
"FriendlyName"="Communications Port (COM1)"

[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Enum\ROOT\PORTS\0001]
"ClassGUID"="{4d36e978-e325-11ce-bfc1-08002be10318}"
"Class"="Ports"
"FriendlyName"="USB Serial Port (COM7)"

[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Enum\ROOT\PORTS\0002]
"ClassGUID"="{4d36e978-e325-11ce-bfc1-08002be10318}"
"Class"="Ports"
"FriendlyName"="COMBO Adapter (COM4)"

[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Enum\ROOT\PORTS\0003]
"ClassGUID"="{4d36e978-e325-11ce-bfc1-08002be10318}"
"Class"="Ports"
"FriendlyName"="Bad Port (COM0)"

[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Enum\ROOT\PORTS\0004]
"ClassGUID"="{4d36e978-e325-11ce-bfc1-08002be10318}"
"Class"="Ports"
"FriendlyName"="Bad Port (COM256)"

[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Enum\ROOT\PORTS\0005]
"ClassGUID"="{4d36e978-e325-11ce-bfc1-08002be10318}"
"Class"="Ports"
"FriendlyName"="Top Port (COM255)"

[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Enum\ROOT\PORTS\0006]
"ClassGUID"="{4d36e978-e325-11ce-bfc1-08002be10318}"
"Class"="Ports"
"FriendlyName"="Bluetooth Link (COM7)"

[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Enum\ROOT\MODEM\0000]
"ClassGUID"="{4d36e96d-e325-11ce-bfc1-08002be10318}"
"Class"="Modem"
"FriendlyName"="Other Class (COM9)"
REG
if ! "${as_user[@]}" wine reg import "$build/ports.reg" >/dev/null 2>&1; then
    echo "FAILED: importing the fake Ports devices into wine's registry"
    failed=$((failed + 1))
else
    tally "$(run portquest-wine-test.exe portquest.dll)"
    check "wine: portquest-list.exe \"USB Serial\" prints COM7" \
        test "$(run portquest-list.exe "USB Serial")" = "COM7"
fi
"${as_user[@]}" wineserver -k 2>/dev/null
summary
[ "$failed" -eq 0 ]
