#!/usr/bin/env bash
# Installs what is needed, builds the program and starts it inside the
# simulator's default lab (simulated sensors and converters on
# pseudo-terminals and loopback; no hardware, no real network traffic).
# Without a display it runs the headless scan in the same lab and prints
# the tree.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
bash scripts/install-deps.sh
scripts/build.sh "$root/build"
b="$root/build"
lab="$root/sim/labs/default.lab"
if [ -n "${DISPLAY:-}" ]; then
    exec "$b/sim/corvin-sim" --lab "$lab" -- "$b/app/corvintracer" "$@"
else
    exec "$b/sim/corvin-sim" --lab "$lab" -- "$b/app/corvintracer-scan" "$@"
fi
