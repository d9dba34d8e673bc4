#!/usr/bin/env bash
# without-serial-ports.sh COMMAND [ARGS...]: runs COMMAND in a private mount
# namespace whose /dev holds no serial port of this machine.
#
# wine maps every /dev/ttyS*, /dev/ttyUSB* and /dev/ttyACM* it finds to a
# COM port of its own accord (COM1 -> /dev/ttyS0 in a fresh prefix), and a
# Windows program under test must never reach a real port. The new /dev has
# only what programs and the simulator need: null, zero, full, random,
# urandom, tty, shm/ and a private pts/ with its ptmx.
#
# Exit status: COMMAND's; 70 when no such namespace can be made here while
# the machine has serial ports (said on stderr).
set -uo pipefail
if [ "${CORVIN_WITHOUT_SERIAL_PORTS:-}" != 1 ]; then
    have_ports=0
    for d in /dev/ttyS* /dev/ttyUSB* /dev/ttyACM*; do
        [ -e "$d" ] && have_ports=1
    done
    if [ "$have_ports" = 0 ]; then
        exec "$@"
    fi
    if ! unshare --mount --propagation private true 2>/dev/null; then
        echo "without-serial-ports: cannot make a mount namespace here (unshare --mount needs" \
            "root or user namespaces), and this machine has serial ports that wine would map;" \
            "not running: $*" >&2
        exit 70
    fi
    CORVIN_WITHOUT_SERIAL_PORTS=1 exec unshare --mount --propagation private "$0" "$@"
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
