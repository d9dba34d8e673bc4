#!/bin/busybox sh
# /init of the scan's test guest (run_vm.py builds the initramfs). Loads the
# USB serial drivers, records what sysfs says about every serial port and
# each port's terminal settings, runs the scan four times and prints all of
# it between @@ markers on the console for the host to check. The console is
# ttyS0: nothing here opens it, and console_watch records whether the scan
# does.
/bin/busybox mkdir -p /proc /sys /dev /tmp /run/lock
/bin/busybox --install -s /bin
export PATH=/bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev

mark() { echo "@@$*"; }
uptime_mark() { read -r up _ </proc/uptime; echo "@@UPTIME $1 $up"; }
section() { # section NAME FILE: the file between markers
    mark "BEGIN $1"
    cat "$2"
    mark "END $1"
}
param() { # the value of NAME=... on the kernel command line
    for word in $(cat /proc/cmdline); do
        case "$word" in "$1"=*) echo "${word#*=}" ;; esac
    done
}

uptime_mark init
for module in $(cat /modules.order); do
    insmod "/modules/$module.ko" || mark "FAILED insmod $module"
done
# The adapters enumerate after the drivers have loaded.
want=$(param vm.usb)
tries=0
while [ "$(ls /sys/class/tty | grep -c '^ttyUSB')" -lt "${want:-0}" ] && [ $tries -lt 200 ]; do
    sleep 0.1
    tries=$((tries + 1))
done

uptime_mark ports
# What the numbering rule needs, straight from sysfs.
console=$(cat /sys/class/tty/console/active)
{
    echo "console=$console"
    for dir in /sys/class/tty/ttyS* /sys/class/tty/ttyUSB* /sys/class/tty/ttyACM*; do
        [ -e "$dir" ] || continue
        tty=${dir##*/}
        echo "tty=$tty"
        [ -f "$dir/type" ] && echo "type=$(cat "$dir/type")"
        [ -f "$dir/port" ] && echo "port=$(cat "$dir/port")"
        device=$(readlink -f "$dir/device" 2>/dev/null)
        echo "device=$device"
        [ -e "$dir/device/driver" ] && echo "driver=$(basename "$(readlink -f "$dir/device/driver")")"
        path=$device
        while [ -n "$path" ] && [ "$path" != /sys ] && [ "$path" != /sys/devices ]; do
            [ -f "$path/bInterfaceNumber" ] && echo "interface=$(cat "$path/bInterfaceNumber")"
            if [ -f "$path/idVendor" ]; then
                echo "usb=${path##*/}"
                for attr in idVendor idProduct serial product manufacturer; do
                    [ -f "$path/$attr" ] && echo "$attr=$(cat "$path/$attr")"
                done
                break
            fi
            path=${path%/*}
        done
    done
} >/tmp/sysfs
section sysfs /tmp/sysfs

# The ports whose settings are recorded: every line with a UART or a USB
# device behind it, the console left out.
ports=
for dir in /sys/class/tty/ttyS* /sys/class/tty/ttyUSB* /sys/class/tty/ttyACM*; do
    [ -e "$dir" ] || continue
    tty=${dir##*/}
    case " $console " in *" $tty "*) continue ;; esac
    [ -f "$dir/type" ] && [ "$(cat "$dir/type")" = 0 ] && continue
    ports="$ports $tty"
done
settings() { # settings NAME: stty -a of every port
    for tty in $ports; do
        [ -e "/dev/$tty" ] || continue
        echo "port=$tty"
        stty -F "/dev/$tty" -a 2>/dev/null
    done >"/tmp/stty.$1"
    section "stty $1" "/tmp/stty.$1"
}
# A rate and mode no probe uses, so a port left at the probe's settings shows.
prepare() {
    for tty in $ports; do
        stty -F "/dev/$tty" 4800 -icanon -echo 2>/dev/null
    done
}
prepare
settings before

console_watch "/dev/$console" >/tmp/console.events 2>&1 &
watcher=$!
while ! grep -q watching /tmp/console.events 2>/dev/null; do sleep 0.05; done

# The scan sits at its host path, beside its libraries at theirs.
scan=$(param vm.scan)

# Scan 0: timing and identification at the default timeouts, each log line
# stamped by the guest's clock.
mark "SCAN 0"
"$scan" --json --log 2>&1 >/tmp/scan0.json | ts '%.s' >/tmp/scan0.log
mark "SCAN A"
"$scan" --log 2>&1 >/tmp/scanA.txt | ts '%.s' >/tmp/scanA.log
settings mid
prepare
# Scan 1: the host unplugs an adapter while a probe waits for it (seeing the
# request on the adapter's wire). The longer wait gives the host time to
# reach QEMU's monitor and the guest's USB stack time to act on it.
mark "SCAN 1"
KORALINK_PROBE_TIMEOUT_MS=1000 "$scan" --json --log 2>&1 >/tmp/scan1.json | ts '%.s' | tee /tmp/scan1.log
settings after
# When the kernel saw the adapter go, and its clock against the log's.
{ dmesg | grep 'USB disconnect'; ts '%.s' </proc/uptime; } >/tmp/unplug
mark "SCAN 2"
"$scan" --json >/tmp/scan2.json 2>/dev/null
kill "$watcher"

section scan0.json /tmp/scan0.json
section scan0.log /tmp/scan0.log
section scanA.txt /tmp/scanA.txt
section scanA.log /tmp/scanA.log
section scan1.json /tmp/scan1.json
section scan1.log /tmp/scan1.log
section unplug /tmp/unplug
section scan2.json /tmp/scan2.json
section console.events /tmp/console.events
uptime_mark done
mark DONE
poweroff -f
