#!/usr/bin/env bash
# run-tests.sh WINDOWS_BUILD LINUX_BUILD: the Windows program as a user gets
# it. Checks corvintracer.exe and the portable ZIP with objdump and unzip,
# installs corvintracer-<version>-win64.exe silently into a fresh 64-bit wine
# prefix, then drives the installed program under Xvfb in the simulator's lab
# koralink/windows/wine.lab (its pseudo-terminals as COM ports, as in the
# library's wine stage): search, select the sensor that answers at 19200,
# Accept (exit code 0, the history entry in the settings file under
# %APPDATA%\Corvintracer); a second start (the entry first in the history,
# screenshot of the connect panel); -L with the German file (other button
# texts); the Linux program in the same lab for the search time. Last, the
# silent uninstall, which must leave Program Files\Corvintracer empty and the
# settings alone.
#
# The window is driven with xdotool at the controls' places from the panels'
# .ui files (below the window's menu bar), the tree by its keyboard search.
# Screenshots go to WINDOWS_BUILD/screenshots/.
#
# Run it through scripts/without-serial-ports.sh; every COM link of the prefix
# is pinned to a lab port or to none (scripts/wine-ports.sh). Started as root,
# wine and the lab run as user nobody.
#
# Prints "N passed, N failed". Exit status: 0 all passed, 1 a failure, 77 the
# wine part could not run on this machine (said so on stdout).
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build="$(cd "$1" && pwd)"
linux="$(cd "$2" && pwd)"
work="$build/wine"
shots="$build/screenshots"
# shellcheck source=../../scripts/wine-ports.sh
. "$root/scripts/wine-ports.sh"
export WINEPREFIX="$work/prefix" WINEARCH=win64 WINEDEBUG=-all HOME="$work/home"
export WINEDLLOVERRIDES="mscoree,mshtml="
unset WAYLAND_DISPLAY
installdir="$WINEPREFIX/drive_c/Program Files/Corvintracer"
winexe='C:\Program Files\Corvintracer\corvintracer.exe'

# ---- inside the lab -------------------------------------------------------
if [ "${CORVIN_PROGRAM_STAGE:-}" = lab ]; then
    seconds() { date +%s.%N; }
    wine_lab_registry "$KORALINK_PORTMAP" >"$work/lab-ports.reg"
    wine_pin_ports "$WINEPREFIX" "$KORALINK_PORTMAP"
    if ! wine reg import "$work/lab-ports.reg" >/dev/null 2>&1 || ! wineserver -w; then
        echo "FAILED: importing the lab's ports into wine's registry"
        exit 0
    fi
    # A display of its own.
    exec 5>"$work/display"
    Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
    xvfb=$!
    for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
    DISPLAY=":$(head -1 "$work/display")"
    export DISPLAY
    wineserver -p >/dev/null 2>&1

    ok() { echo "ok: $1"; }
    bad() { echo "FAILED: $1"; }
    check() { # check "what" command...
        local what="$1"; shift
        if "$@"; then ok "$what"; else bad "$what"; fi
    }
    # start COMMAND...: starts the program, waits for its main window (the
    # program titles it with its name and version); sets pid and win.
    start() {
        "$@" >"$work/program.out" 2>&1 &
        pid=$!
        win=""
        for _ in $(seq 300); do
            win="$(xdotool search --onlyvisible --name "^Corvintracer V" 2>/dev/null | head -1)"
            [ -n "$win" ] && break
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.2
        done
        [ -n "$win" ] || return 1
        # Until the program's start-up is done, clicks go nowhere.
        sleep 3
    }
    # The menu bar above the panel's own area (Fusion style, both systems).
    dy=21
    # click X Y: a left click at X Y of the search panel (its .ui coordinates).
    click() {
        xdotool mousemove --window "$win" "$1" $(($2 + dy)) click 1
        sleep 0.3
    }
    shot() { import -window root "$shots/$1.png" 2>/dev/null; }
    # ends(): waits up to 30 s for the program to end; sets rc.
    ends() {
        rc=""
        for _ in $(seq 150); do
            if ! kill -0 "$pid" 2>/dev/null; then
                wait "$pid"
                rc=$?
                return 0
            fi
            sleep 0.2
        done
        kill "$pid" 2>/dev/null
        return 1
    }
    # search_time: clicks (Re-)Search and waits until the tree and the bar
    # have not changed for a second; prints the seconds from the click.
    search_time() {
        local t0 last="" same=0 now sum t_change
        t0=$(seconds)
        click 539 58
        t_change=$t0
        for _ in $(seq 300); do
            sum="$(import -window "$win" -crop 640x420+0+$dy rgb:- 2>/dev/null | md5sum)"
            now=$(seconds)
            if [ "$sum" = "$last" ]; then
                same=$((same + 1))
                [ "$same" -ge 5 ] && break
            else
                same=0
                last="$sum"
                t_change=$now
            fi
            sleep 0.2
        done
        awk -v a="$t0" -v b="$t_change" 'BEGIN { printf "%.2f", b - a }'
    }
    # select_sensor: the tree item of the adapter whose sensor answers at
    # 19200 (COM35), by the tree's keyboard search.
    select_sensor() {
        click 200 40
        xdotool key --window "$win" Home
        xdotool type --window "$win" --delay 80 "CP2102"
        sleep 1
    }
    settings="$(printf '%s' "$WINEPREFIX"/drive_c/users/*/AppData/Roaming)/Corvintracer/CorvintracerV1_0.ini"
    run_wine() { env -u KORALINK_PORTMAP -u KORALINK_PORTMAP_ONLY wine "$@"; }

    # 1. search, select, accept.
    if start run_wine "$winexe"; then
        ok "the installed program opens its search window under wine"
        english_buttons="$(import -window "$win" -crop 190x300+446+$((28 + dy)) rgb:- 2>/dev/null | md5sum)"
        wine_search=$(search_time)
        shot search-after-search
        select_sensor
        shot search-selected
        click 539 146
        if ends; then
            check "Accept of the sensor at 19200 ends the program with exit code 0 (got $rc)" test "$rc" = 0
        else
            bad "Accept of the sensor at 19200 ends the program"
            shot accept-stuck
        fi
        check "the settings file under %APPDATA%\\Corvintracer holds the accepted COM35 at 19200" \
            grep -q 'Entry #1: Port number = 35' "$settings"
        check "no settings file in the program folder" \
            test ! -e "$installdir/CorvintracerV1_0.ini"
    else
        bad "the installed program opens its search window under wine"
        tail -5 "$work/program.out"
    fi

    # 2. a second start: the connect panel offers the accepted connection first.
    if start run_wine "$winexe"; then
        click 539 190
        con=""
        for _ in $(seq 50); do
            con="$(xdotool search --onlyvisible --name "^Connect sensor" 2>/dev/null | head -1)"
            [ -n "$con" ] && break
            sleep 0.2
        done
        sleep 1
        shot connect-panel
        check "Configure ... shows the connect panel" test -n "$con"
        # Its Quit button (.ui: 300, 300 of the panel) goes back to the search
        # panel; Exit there ends the run.
        [ -n "$con" ] && xdotool mousemove --window "$con" 300 300 click 1
        sleep 1
        click 539 294
        ends && check "Quit, then Exit end the second run with exit code 0 (got $rc)" test "$rc" = 0 ||
            bad "Quit, then Exit end the second run"
        check "the history still leads with COM35 at 19200" \
            grep -q 'Entry #1: Port number = 35' "$settings"
    else
        bad "the installed program starts a second time"
    fi

    # 3. German.
    if start run_wine "$winexe" '-LC:\Program Files\Corvintracer\lang\german.lwd'; then
        shot search-german
        # The buttons' column: other texts than in English.
        german="$(import -window "$win" -crop 190x300+446+$((28 + dy)) rgb:- 2>/dev/null | md5sum)"
        check "-L with the German file: the buttons read other than in English" \
            test "$german" != "$english_buttons"
        click 539 294
        ends
    else
        bad "-L with the German file: the program starts"
        kill "$pid" 2>/dev/null
    fi

    # 4. The Linux program in the same lab, for the search time.
    if [ -x "$linux/app/corvintracer" ]; then
        if start env QT_QPA_PLATFORM=xcb "$linux/app/corvintracer"; then
            linux_search=$(search_time)
            shot search-linux
            click 539 294
            ends
        fi
    fi
    echo "figure: program search in this lab: ${linux_search:-?} s on Linux, ${wine_search:-?} s under wine"

    wineserver -k 2>/dev/null
    kill "$xvfb" 2>/dev/null
    exit 0
fi

# ---- outside: the files, the prefix, install, lab, uninstall --------------
checks_name=program-windows
# shellcheck source=../../scripts/checks.sh
. "$root/scripts/checks.sh"

version="$(sed -n 's/^project(Corvintracer VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")"
installer="$build/corvintracer-$version-win64.exe"
zip="$build/corvintracer-$version-win64.zip"
exe="$build/app/corvintracer.exe"

dump="$(x86_64-w64-mingw32-objdump -p "$exe" 2>&1)"
check "objdump: corvintracer.exe is a window program (subsystem 2)" \
    grep -Eq '^Subsystem[[:space:]]+0*2[[:space:]]' <<<"$dump"
for dll in Qt6Widgets.dll koralink.dll libstdc++-6.dll; do
    check "objdump: corvintracer.exe loads $dll" grep -q "DLL Name: $dll" <<<"$dump"
done
# Resource types: 3 icon, 14 icon group, 16 version, 24 manifest.
for type in 3 e 10 18; do
    check "objdump: corvintracer.exe has resource type 0x$type" \
        grep -q "Entry: ID: 0x0000$(printf '%02s' "$type" | tr ' ' 0)" <<<"$dump"
done
check "the installer corvintracer-$version-win64.exe was made" test -s "$installer"
check "the installer is a 64-bit Windows program" \
    bash -c 'x86_64-w64-mingw32-objdump -f "$1" | grep -q "pei-x86-64"' _ "$installer"
listing="$(python3 -c 'import sys, zipfile; print("\n".join(zipfile.ZipFile(sys.argv[1]).namelist()))' "$zip" 2>&1)"
for file in corvintracer.exe corvintracer-scan.exe corvintracer-converter.exe koralink.dll \
    portquest.dll Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll platforms/qwindows.dll \
    styles/qwindowsvistastyle.dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll \
    lang/german.lwd labs/default.lab; do
    check "ZIP: $file" grep -q "^corvintracer-$version-win64/$file$" <<<"$listing"
done
check "ZIP: docs/*.md" grep -q "^corvintracer-$version-win64/docs/.*\.md$" <<<"$listing"
check "ZIP: no uninstaller (so a portable copy keeps its settings beside the program)" \
    bash -c '! grep -qi "uninstall" <<<"$1"' _ "$listing"

for tool in wine wineboot Xvfb xdotool import; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "program-windows: $tool is not installed; the wine tests are SKIPPED (not passed)"
        summary " (wine part skipped)"
        [ "$failed" -eq 0 ] && exit 77 || exit 1
    fi
done

if ! wine_new_prefix program-windows "$build" "$work" "$shots"; then
    summary " (wine part skipped)"
    [ "$failed" -eq 0 ] && exit 77 || exit 1
fi
wine_pin

t0=$(date +%s.%N)
"${as_user[@]}" bash -c 'wine "$1" /S && wineserver -w' _ "$installer" >"$build/install.log" 2>&1
t1=$(date +%s.%N)
awk -v a="$t0" -v b="$t1" 'BEGIN { printf "figure: silent install under wine: %.1f s\n", b - a }'
check "silent install (/S): corvintracer.exe in Program Files\\Corvintracer" \
    test -f "$installdir/corvintracer.exe"
for file in platforms/qwindows.dll styles/qwindowsvistastyle.dll koralink.dll portquest.dll \
    libstdc++-6.dll lang/german.lwd labs/default.lab Uninstall.exe; do
    check "installed: $file" test -f "$installdir/$file"
done
check "a Start-menu entry" \
    bash -c 'find "$1/drive_c" -path "*Start Menu*" -iname "Corvintracer.lnk" | grep -q .' _ "$WINEPREFIX"

wine_lab_part CORVIN_PROGRAM_STAGE "$root/koralink/windows/wine.lab" "$0" "$build" "$linux"

"${as_user[@]}" bash -c 'wine "$1" /S && wineserver -w' _ "$installdir/Uninstall.exe" \
    >"$build/uninstall.log" 2>&1
check "silent uninstall (/S) leaves Program Files\\Corvintracer empty" \
    bash -c '[ ! -e "$1" ] || [ -z "$(ls -A "$1")" ]' _ "$installdir"
check "the uninstall leaves the user's settings under %APPDATA%\\Corvintracer" \
    bash -c 'ls "$1"/drive_c/users/*/AppData/Roaming/Corvintracer/CorvintracerV1_0.ini >/dev/null 2>&1' _ "$WINEPREFIX"
echo "program-windows: screenshots in $shots"
summary
[ "$failed" -eq 0 ]
