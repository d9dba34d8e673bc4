#!/usr/bin/env bash
# The scan on real kernel drivers: a QEMU guest (TCG, no network device) with
# Debian's kernel, a USB serial adapter on ftdi_sio and UARTs on 8250, the
# simulator's sensors behind them (scripts/vm). Kernel, modules and busybox
# are cached in $CORVIN_OUT/vm-cache. Installs qemu-system-x86 and cpio when
# they are missing and skips itself (saying so) only when QEMU cannot be had.
set -uo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
out="${CORVIN_OUT:-$root/build-ci}"
cache="$out/vm-cache"
work="$out/vm"

has() { command -v "$1" >/dev/null 2>&1; }
if ! has qemu-system-x86_64 || ! has cpio; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo -n"
    $sudo apt-get install -y qemu-system-x86 cpio >/dev/null 2>&1 ||
        { $sudo apt-get update >/dev/null 2>&1 && $sudo apt-get install -y qemu-system-x86 cpio >/dev/null 2>&1; }
fi
if ! has qemu-system-x86_64; then
    echo "vm: qemu-system-x86_64 cannot be installed; the scan on real drivers SKIPPED (not passed)"
    exit 0
fi
for tool in cpio apt-get dpkg-deb python3 cc; do
    has "$tool" || { echo "vm: FAIL $tool missing"; exit 1; }
done

# Debian's kernel and busybox, fetched once: apt-get download + dpkg-deb -x
# (installing busybox-static would remove the machine's busybox).
fetch() { # fetch PACKAGE DIR
    local package="$1" dir="$2" tmp
    [ -f "$dir/.done" ] && return 0
    tmp="$(mktemp -d)" || return 1
    rm -rf "$dir"
    (cd "$tmp" && apt-get download "$package" >/dev/null 2>&1) &&
        dpkg-deb -x "$tmp"/*.deb "$dir" && touch "$dir/.done"
    local rc=$?
    rm -rf "$tmp"
    return $rc
}
mkdir -p "$cache"
kernel_package="$(apt-cache depends linux-image-amd64 2>/dev/null |
    sed -n 's/^ *Depends: \(linux-image-[0-9].*-amd64\)$/\1/p' | head -n 1)"
if [ -z "$kernel_package" ]; then
    # No package lists: take what the cache holds.
    kernel_package="$(ls "$cache" 2>/dev/null | grep '^linux-image-' | sort -V | tail -n 1)"
fi
[ -n "$kernel_package" ] && fetch "$kernel_package" "$cache/$kernel_package" ||
    { echo "vm: FAIL cannot fetch Debian's kernel (${kernel_package:-linux-image-amd64})"; exit 1; }
# Kernels of earlier security updates are of no more use.
for old in "$cache"/linux-image-*; do
    [ "$old" = "$cache/$kernel_package" ] || rm -rf "$old"
done
fetch busybox-static "$cache/busybox-static" ||
    { echo "vm: FAIL cannot fetch busybox-static"; exit 1; }
cc -static -O2 -o "$cache/console_watch" "$root/scripts/vm/console_watch.c" ||
    { echo "vm: FAIL cannot build console_watch"; exit 1; }

b="$out/normal"
[ -f "$b/build.ninja" ] || b="$out/vm-build"
[ -f "$b/build.ninja" ] || cmake -S "$root" -B "$b" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCORVIN_WERROR=ON >/dev/null || { echo "vm: FAIL configure"; exit 1; }
cmake --build "$b" -j "${JOBS:-$(nproc)}" --target corvintracer-scan corvin-sim >/dev/null ||
    { echo "vm: FAIL build"; exit 1; }

exec "$b/sim/corvin-sim" --lab "$root/scripts/vm/vm.lab" -- \
    python3 "$root/scripts/vm/run_vm.py" --build "$b" \
    --kernel-root "$cache/$kernel_package" --busybox "$cache/busybox-static/bin/busybox" \
    --watch "$cache/console_watch" --work "$work"
