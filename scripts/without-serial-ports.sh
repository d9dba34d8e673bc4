#!/usr/bin/env bash
# without-serial-ports.sh COMMAND [ARGS...]: runs COMMAND, a wine stage, so
# that no wine program it starts can reach a serial port of this machine.
#
# wine maps every /dev/ttyS*, /dev/ttyUSB* and /dev/ttyACM* it finds to a
# COM port of its own accord (COM1 -> /dev/ttyS0 in a fresh prefix), and a
# Windows program under test must never reach a real port (/dev/ttyS0 is
# often the machine's console). Where a private mount namespace can be made,
# COMMAND runs in one whose /dev has only what programs and the simulator
# need: null, zero, full, random, urandom, tty, shm/ and a private pts/ with
# its ptmx.
#
# Where it cannot (a container without privileges), the stage's own guard
# has to hold: it pins every COM link of its prefix (scripts/wine-ports.sh)
# and runs wine as a user other than root. COMMAND then runs under strace,
# and every file any of its processes opened (wine's server opens the
# devices) is checked: a real serial port among them, opened or only tried,
# fails the run. CORVIN_NO_MOUNT_NAMESPACE=1 takes this way even where a
# namespace could be made (for testing the guard).
#
# Exit status: COMMAND's; 1 when the trace shows a real serial port; 70 when
# neither way is possible here (said on stderr), which the stages report as
# skipped.
set -uo pipefail
real_port='/dev/(tty(S|USB|ACM|AMA)[0-9]|serial/)'
if [ "${CORVIN_WITHOUT_SERIAL_PORTS:-}" != 1 ]; then
    have_ports=0
    for d in /dev/ttyS* /dev/ttyUSB* /dev/ttyACM* /dev/ttyAMA*; do
        [ -e "$d" ] && have_ports=1
    done
    if [ "$have_ports" = 0 ]; then
        exec "$@"
    fi
    if [ "${CORVIN_NO_MOUNT_NAMESPACE:-}" != 1 ] &&
        unshare --mount --propagation private true 2>/dev/null; then
        CORVIN_WITHOUT_SERIAL_PORTS=1 exec unshare --mount --propagation private "$0" "$@"
    fi
    # No namespace: the traced run.
    why=""
    if ! command -v strace >/dev/null 2>&1; then
        why="strace is not installed"
    elif ! strace -f -qq -o /dev/null true 2>/dev/null; then
        why="strace cannot trace processes here"
    elif [ "$(id -u)" = 0 ] && ! setpriv --reuid=65534 --regid=65534 --clear-groups true 2>/dev/null; then
        why="wine cannot be run as a user other than root here"
    fi
    if [ -n "$why" ]; then
        echo "without-serial-ports: cannot make a mount namespace here (unshare --mount" \
            "needs root or user namespaces), and $why, so a wine run near this machine's" \
            "serial ports cannot be checked; not running: $*" >&2
        exit 70
    fi
    trace="$(mktemp /tmp/corvin-wine-trace.XXXXXX)"
    echo "without-serial-ports: no mount namespace here; the stage pins its COM ports and" \
        "runs traced (every opened file checked for a real serial port)" >&2
    CORVIN_WINE_TRACED=1 strace -f -qq -y --seccomp-bpf -e trace=open,openat,openat2,creat \
        -o "$trace" -- "$@"
    rc=$?
    hits="$(grep -E "(\"|<)$real_port" "$trace")"
    lines=$(wc -l <"$trace")
    rm -f "$trace"
    if [ -n "$hits" ]; then
        echo "without-serial-ports: FAILED: a wine run opened or tried a real serial port:" >&2
        head -5 <<<"$hits" >&2
        exit 1
    fi
    if [ "$lines" -eq 0 ]; then
        echo "without-serial-ports: FAILED: the trace of $* is empty" >&2
        exit 1
    fi
    echo "without-serial-ports: trace checked, $lines opens, no real serial port among them" >&2
    exit "$rc"
fi

set -e
old="$(mktemp -d /tmp/corvin-dev.XXXXXX)"
mount --bind /dev "$old"
mount -t tmpfs -o mode=755,size=64k corvin-dev /dev
for node in null zero full random urandom tty; do
    if [ -e "$old/$node" ]; then
        touch "/dev/$node"
        mount --bind "$old/$node" "/dev/$node"
    fi
done
mkdir /dev/shm
mount --bind "$old/shm" /dev/shm
# Pseudo-terminals of their own: the simulator's sensors and wine both live
# in here.
mkdir /dev/pts
mount -t devpts -o newinstance,ptmxmode=0666,mode=620 devpts /dev/pts
ln -s pts/ptmx /dev/ptmx
ln -s /proc/self/fd /dev/fd
ln -s /proc/self/fd/0 /dev/stdin
ln -s /proc/self/fd/1 /dev/stdout
ln -s /proc/self/fd/2 /dev/stderr
umount -l "$old"
rmdir "$old"
set +e
exec "$@"
