#!/usr/bin/env bash
# Makes the README's pictures again: the search panel after a search, the
# connect panel and the converter settings dialog, in English and German,
# from the program running in the simulator's default lab on a virtual
# display (Xvfb; xdotool presses the buttons, ImageMagick's import takes
# the windows). Run it after every change to the panels:
#
#   scripts/screenshots.sh [BUILD_DIR] [OUT_DIR]     (build, docs/screenshots)
#
# Needs xvfb, xdotool and imagemagick (scripts/deps.d/80-screenshots.txt).
# Nothing leaves the machine: the lab's sensors and converters are on
# pseudo-terminals and loopback.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
out="${2:-$root/docs/screenshots}"
mkdir -p "$out"
for tool in Xvfb xdotool import; do
    command -v "$tool" >/dev/null || { echo "screenshots: $tool is missing" >&2; exit 1; }
done
work="$(mktemp -d /tmp/corvin-shots.XXXXXX)"
xvfb=""
program=""
cleanup() {
    [ -n "$program" ] && kill "$program" 2>/dev/null && wait "$program" 2>/dev/null
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# A display of its own: Xvfb picks a free number and tells it.
exec 3<> "$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 50); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
export DISPLAY=":$(head -1 "$work/display")"

# The window whose title matches, once it is shown.
window() { xdotool search --sync --onlyvisible --name "$1" | head -1; }
# A click at a point of a window (the virtual display has no window frames,
# so these are the panels' own coordinates).
click() { xdotool mousemove --window "$1" "$2" "$3" click 1; }

shoot() {
    local lang="$1"; shift
    # A settings file of its own, so that no earlier run's history shows.
    printf '[Connect History]\nNumber of entries = 0\n' > "$work/shots.ini"
    "$build/sim/corvin-sim" --lab "$root/sim/labs/default.lab" -- \
        "$build/app/corvintracer" "-I$work/shots.ini" "$@" >"$work/run.log" 2>&1 &
    program=$!
    local search con eth
    search=$(window 'Corvintracer V')
    sleep 1
    click "$search" 539 76          # (Re-)Search
    sleep 10                        # the default lab's search takes a few seconds
    click "$search" 120 68          # the first converter in the tree
    sleep 1
    import -window "$search" "$out/search-$lang.png"
    click "$search" 539 208         # Configure ...
    con=$(window 'Connect sensor|Sensor verbinden')
    sleep 1
    import -window "$con" "$out/connect-$lang.png"
    click "$con" 446 184            # the converter's settings
    eth=$(window 'Configure ethernet|Ethernet')
    sleep 3
    import -window "$eth" "$out/converter-$lang.png"
    kill "$program" 2>/dev/null || true
    wait "$program" 2>/dev/null || true
    program=""
}

shoot en
shoot de "-L$root/lang/german.lwd"
ls -1 "$out"/*.png
