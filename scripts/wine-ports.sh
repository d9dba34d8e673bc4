# shellcheck shell=bash
# Sourced by the wine stages: keeps a wine prefix's COM ports away from the
# machine's serial ports, with or without a private /dev
# (scripts/without-serial-ports.sh).
#
# wine reaches a port through the prefix's dosdevices/comN links, and it
# makes them itself: at every start its mount manager links the ports named
# in HKLM\Software\Wine\Ports and then every /dev/ttyS*, /dev/ttyUSB* and
# /dev/ttyACM* it finds to the next free COM numbers (the registry covers
# only COM1-COM255, so the first real port still lands on COM256). And a
# comN with no link, or with a link whose target is gone, is opened as
# wine's built-in default, /dev/ttyS<N-1>. So every one of com1..com256 is
# linked here to a lab pseudo-terminal or to "no-port", a Unix socket file
# in the prefix (stat finds it, open fails with ENXIO, which Windows
# programs see as ERROR_NO_SUCH_DEVICE), and the dosdevices folder is made
# read-only, so that the mount manager can change none of them. That holds
# only when wine does not run as root: the stages run it as user nobody then.

# wine_pin_ports PREFIX [PORTMAP]: links com1..com256 of PREFIX, the ports of
# the lab's port map (sections [COMn] with Path=) to their paths, all others
# to no-port. Call it after the prefix exists and its wineserver has ended,
# and again after a lab's pseudo-terminals are gone.
wine_pin_ports() {
    python3 - "$1" "${2:-}" <<'PY'
import os, re, socket, stat, sys
prefix, portmap = sys.argv[1], sys.argv[2]
dev = os.path.join(prefix, "dosdevices")
noport = os.path.join(prefix, "no-port")
lab = {}
if portmap:
    com = None
    with open(portmap, encoding="utf-8", errors="replace") as f:
        for line in f:
            line = line.strip()
            m = re.fullmatch(r"\[COM(\d+)\]", line)
            if m:
                com = int(m.group(1))
            elif com and re.match(r"Path\s*=", line):
                lab[com] = line.split("=", 1)[1].strip().strip('"')
os.chmod(dev, 0o755)
if not os.path.exists(noport):
    s = socket.socket(socket.AF_UNIX)
    s.bind(noport)
    s.close()
for n in range(1, 257):
    link = os.path.join(dev, "com%d" % n)
    if os.path.lexists(link):
        os.unlink(link)
    os.symlink(lab.get(n, noport), link)
os.chmod(dev, 0o555)
PY
}

# wine_ports_pinned PREFIX: every comN link of PREFIX still points at
# no-port (after the lab's links were taken back).
wine_ports_pinned() {
    local n target
    for n in $(seq 1 256); do
        target="$(readlink "$1/dosdevices/com$n")" || return 1
        [ "$target" = "$1/no-port" ] || return 1
    done
    [ ! -w "$1/dosdevices" ] || [ "$(id -u)" = 0 ]
}

# wine_lab_registry PORTMAP: the registry file (for "wine reg import") of a
# lab's port map: each port in HKLM\Software\Wine\Ports and a "Ports"
# device for it (USB adapters under the USB enumerator, COM ports under
# ACPI), so that programs find the ports through SetupAPI as on a real
# machine.
wine_lab_registry() {
    # The lab's port map: [COMn], Path = "...", Type = "USB"|"COM",
    # Name = "..." (CR LF line ends, quoted values).
    tr -d '\r' <"$1" | awk '
        function value() { v = $0; sub(/^[^=]*=[ \t]*/, "", v); gsub(/^"|"$/, "", v); return v }
        function text(v) { gsub(/\\/, "\\\\", v); gsub(/"/, "\\\"", v); return v }
        function flush() {
            if (!com) return
            ports[++count] = com; paths[count] = path; types[count] = type; names[count] = name
        }
        /^\[COM[0-9]+\]$/ { flush(); com = substr($0, 2, length($0) - 2); path = type = name = "" }
        /^Path[ \t]*=/ { path = value() }
        /^Type[ \t]*=/ { type = toupper(value()) }
        /^Name[ \t]*=/ { name = value() }
        END {
            flush()
            print "Windows Registry Editor Version 5.00\n"
            print "[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]"
            for (i = 1; i <= count; i++) printf "\"%s\"=\"%s\"\n", ports[i], text(paths[i])
            for (i = 1; i <= count; i++) {
                n = substr(ports[i], 4)
                key = types[i] == "USB" ? "USB\\VID_0403&PID_6001\\SIM" n : "ACPI\\PNP0501\\" n
                printf "\n[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Enum\\%s]\n", key
                print "\"ClassGUID\"=\"{4d36e978-e325-11ce-bfc1-08002be10318}\""
                print "\"Class\"=\"Ports\""
                printf "\"FriendlyName\"=\"%s\"\n", text(names[i])
                printf "\n[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Enum\\%s\\Device Parameters]\n", key
                printf "\"PortName\"=\"%s\"\n", ports[i]
            }
        }'
}

# The two stages that run programs under wine set up and use the prefix the
# same way; they keep `passed`, `failed` and a `check` function of their own.

# wine_new_prefix STAGE BUILD DIR...: makes every DIR anew (the first holds
# $HOME and $WINEPREFIX) and a fresh 64-bit prefix in it, a fresh one each
# run so that the last lab's ports cannot linger. Run as root, wine runs as
# user nobody (`as_user`, set here, prefixes every wine command). Returns 1,
# having said why, when wine cannot make a prefix on this machine.
wine_new_prefix() {
    local stage="$1" build="$2"
    shift 2
    rm -rf "$@"
    mkdir -p "$HOME" "$@"
    as_user=()
    if [ "$(id -u)" = 0 ]; then
        chown -R 65534:65534 "$@"
        as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups --)
    fi
    if ! "${as_user[@]}" bash -c 'wineboot -i && wineserver -w' >"$build/wineboot.log" 2>&1 ||
        [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "$stage: wine cannot create a 64-bit prefix on this machine; wine tests SKIPPED (not passed)"
        tail -5 "$build/wineboot.log"
        return 1
    fi
}

# wine_pin: wine_pin_ports on $WINEPREFIX, as the wine user.
wine_pin() {
    "${as_user[@]}" bash -c '. "$1"; wine_pin_ports "$2"' _ "${BASH_SOURCE[0]}" "$WINEPREFIX"
}

# wine_lab_part VAR LAB SCRIPT BUILD LINUX: runs SCRIPT again with VAR=lab
# inside the simulator's LAB (its lab part), shows its lines and counts them
# into passed/failed; then pins the ports again, since the lab's
# pseudo-terminals are gone and their links would lead to wine's default,
# /dev/ttyS<N-1>.
wine_lab_part() {
    local var="$1" lab="$2" script="$3" build="$4" linux="$5" out p f
    out="$(env "$var=lab" "${as_user[@]}" "$linux/sim/corvin-sim" --lab "$lab" \
        -- "$script" "$build" "$linux" 2>"$build/lab.log")"
    echo "$out"
    p=$(grep -c '^ok: ' <<<"$out")
    f=$(grep -c '^FAILED: ' <<<"$out")
    if [ "$p" -eq 0 ]; then
        echo "FAILED: nothing ran in the lab (lab log: $build/lab.log)"
        tail -5 "$build/lab.log"
        f=$((f + 1))
    fi
    passed=$((passed + p))
    failed=$((failed + f))
    wine_pin
    check "wine prefix: every COM port linked to no port after the lab" wine_ports_pinned "$WINEPREFIX"
}
