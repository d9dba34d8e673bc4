#!/usr/bin/env python3
"""The scan in a virtual machine with real serial drivers.

Run inside the simulator's lab (scripts/vm/vm.lab), which exports the ptys of
its sensors: builds an initramfs (busybox, the USB serial modules, the scan
and its libraries at their host paths), boots Debian's kernel in QEMU (TCG,
no network device) with the sensors behind a USB serial adapter (ftdi_sio)
and two UARTs (8250, ISA and PCI), a silent UART and a silent adapter that is
unplugged while the scan waits for it. Then checks what the guest printed
(init.sh) and prints one PASS or FAIL line per check, the guest's tree and
the rate cycle times through the drivers.

usage: run_vm.py --build DIR --kernel-root DIR --busybox FILE --watch FILE --work DIR
"""
import argparse
import json
import lzma
import os
import re
import select
import shutil
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
MODULES = ["xhci_pci", "ftdi_sio"]  # and what they depend on
# Serial strings of the two QEMU adapters: they give the adapters their keys.
SENSOR_ADAPTER = "VMSENSOR1"
VICTIM_ADAPTER = "VMGONE2"
ISA_SENSOR_PORT = "0x2F8"  # isa-serial index 1
ISA_SILENT_PORT = "0x3E8"  # isa-serial index 2
BOOT_TIMEOUT_S = 170


# ---- initramfs -------------------------------------------------------------

def module_files(kernel_root):
    found = {}
    for base, _, files in os.walk(os.path.join(kernel_root, "lib", "modules")):
        for name in files:
            if name.endswith(".ko"):
                found[name[:-3].replace("-", "_")] = os.path.join(base, name)
    return found


def module_order(kernel_root, wanted):
    """The modules in loading order, dependencies first (from .modinfo)."""
    files = module_files(kernel_root)
    order = []

    def visit(name):
        name = name.replace("-", "_")
        if name in order:
            return
        if name not in files:
            raise SystemExit(f"vm: module {name} not in the kernel package")
        with open(files[name], "rb") as f:
            data = f.read()
        m = re.search(rb"(?:^|\x00)depends=([^\x00]*)\x00", data)
        for dep in (m.group(1).decode().split(",") if m and m.group(1) else []):
            visit(dep)
        order.append(name)

    for name in wanted:
        visit(name)
    return [(name, files[name]) for name in order]


def copy_at_host_path(path, root):
    dest = os.path.join(root, path.lstrip("/"))
    os.makedirs(os.path.dirname(dest), exist_ok=True)
    shutil.copy2(os.path.realpath(path), dest)
    # Debug sections only slow the guest's start.
    subprocess.run(["strip", "--strip-debug", dest], stderr=subprocess.DEVNULL)


def uncompressed_kernel(vmlinuz):
    """The ELF kernel inside Debian's xz-compressed bzImage, kept beside it.
    QEMU boots it directly (PVH entry): no decompressor running under TCG,
    which alone takes several seconds."""
    vmlinux = vmlinuz.replace("vmlinuz-", "vmlinux-")
    if not os.path.exists(vmlinux):
        data = open(vmlinuz, "rb").read()
        at = data.find(b"\xfd7zXZ\x00")
        if at < 0:
            return vmlinuz
        try:
            elf = lzma.LZMADecompressor(format=lzma.FORMAT_XZ).decompress(data[at:])
        except lzma.LZMAError:
            return vmlinuz
        if not elf.startswith(b"\x7fELF"):
            return vmlinuz
        with open(vmlinux + ".tmp", "wb") as f:
            f.write(elf)
        os.replace(vmlinux + ".tmp", vmlinux)
    return vmlinux


def copy_with_libraries(program, root):
    copy_at_host_path(program, root)
    out = subprocess.run(["ldd", program], capture_output=True, text=True, check=True).stdout
    for line in out.splitlines():
        m = re.search(r"(?:=>\s*)?(/\S+)\s+\(0x", line)
        if m:
            copy_at_host_path(m.group(1), root)


def build_initramfs(args, root, image):
    shutil.rmtree(root, ignore_errors=True)
    os.makedirs(os.path.join(root, "bin"))
    os.makedirs(os.path.join(root, "modules"))
    shutil.copy2(args.busybox, os.path.join(root, "bin", "busybox"))
    shutil.copy2(args.watch, os.path.join(root, "bin", "console_watch"))
    shutil.copy2(os.path.join(HERE, "init.sh"), os.path.join(root, "init"))
    os.chmod(os.path.join(root, "init"), 0o755)
    names = []
    for name, path in module_order(args.kernel_root, MODULES):
        shutil.copy2(path, os.path.join(root, "modules", name + ".ko"))
        names.append(name)
    with open(os.path.join(root, "modules.order"), "w") as f:
        f.write("\n".join(names) + "\n")
    copy_with_libraries(args.scan, root)
    with open(image, "wb") as out:
        listing = subprocess.run(["find", "."], cwd=root, capture_output=True, check=True).stdout
        subprocess.run(["cpio", "--quiet", "-o", "-H", "newc", "-R", "0:0"], cwd=root,
                       input=listing, stdout=out, check=True)


# ---- the numbering rule (docs/com-numbers.md), from the guest's sysfs ------

def parse_sysfs(text):
    console, ttys = [], []
    for line in text.splitlines():
        key, _, value = line.partition("=")
        if key == "console":
            console = value.split()
        elif key == "tty":
            ttys.append({"tty": value})
        elif ttys:
            ttys[-1].setdefault(key, value)
    return console, ttys


def fnv1a32(text):
    h = 2166136261
    for byte in text.encode():
        h = ((h ^ byte) * 16777619) & 0xFFFFFFFF
    return h


def port_name(label, com):
    # The name field holds 31 bytes: the label gives way, "(COMn)" stays whole.
    suffix = f" (COM{com})"
    raw = label.encode()[:31 - len(suffix)]
    return raw.decode("utf-8", "ignore") + suffix


def expected_ports(console, ttys):
    """{com: {name, typeText, tty, ...}} as the numbering rule gives them."""
    ports, taken = {}, set()
    for t in ttys:
        m = re.fullmatch(r"ttyS(\d+)", t["tty"])
        if not m or t["tty"] in console:
            continue
        if "type" in t:
            listed = t["type"] != "0"
        else:
            listed = "/serial8250" not in t.get("device", "") and t.get("driver") != "serial8250"
        if listed:
            com = int(m.group(1)) + 1
            taken.add(com)
            ports[com] = dict(t, name=port_name("Communications Port", com),
                              typeText="Serial port", usb=False)
    adapters = []
    for t in ttys:
        if not re.fullmatch(r"tty(USB|ACM)\d+", t["tty"]) or "idVendor" not in t:
            continue
        interface = int(t.get("interface", "0"), 16)
        if t.get("serial"):
            key = f"serial:{t['idVendor']}:{t['idProduct']}:{t['serial']}:{interface}"
        else:
            key = f"path:{t['usb']}:{interface}"
        adapters.append((key.encode(), t))
    for key, t in sorted(adapters, key=lambda a: a[0]):
        com = 33 + fnv1a32(key.decode()) % 223
        for _ in range(223):
            if com not in taken:
                break
            com = 33 if com == 255 else com + 1
        else:
            continue
        taken.add(com)
        ports[com] = dict(t, name=port_name(t.get("product") or "USB Serial Port", com),
                          typeText="USB serial adapter", usb=True, key=key.decode())
    return ports


# ---- running the guest -----------------------------------------------------

def qemu_command(args, kernel, image, monitor, victim_pty):
    pty = {name: os.environ[name] for name in ("VM_USB_PTY", "VM_ISA_PTY", "VM_PCI_PTY")}
    return [
        "qemu-system-x86_64", "-machine", "pc", "-accel", "tcg", "-smp", "1", "-m", "256",
        "-nodefaults", "-no-user-config", "-display", "none", "-no-reboot",
        # No network device at all: the guest talks to nothing but its ports.
        "-nic", "none",
        "-kernel", kernel, "-initrd", image,
        "-append", "console=ttyS0,115200 quiet panic=-1 vm.usb=2 vm.scan=" + args.scan,
        "-chardev", "stdio,id=console,signal=off", "-serial", "chardev:console",
        "-chardev", f"serial,id=isa,path={pty['VM_ISA_PTY']}",
        "-device", "isa-serial,index=1,chardev=isa",
        "-chardev", "null,id=silent",
        "-device", "isa-serial,index=2,chardev=silent",
        "-chardev", f"serial,id=pci,path={pty['VM_PCI_PTY']}",
        "-device", "pci-serial,chardev=pci",
        "-device", "qemu-xhci,id=xhci",
        "-chardev", f"serial,id=usb,path={pty['VM_USB_PTY']}",
        # Plugged in from the start, whatever the chardev: QEMU otherwise
        # attaches an adapter only once its backend reports a connection.
        "-device", f"usb-serial,bus=xhci.0,chardev=usb,serial={SENSOR_ADAPTER},always-plugged=on",
        # The silent adapter's wire ends in a host pty: its requests tell the
        # host when a probe is waiting for it.
        "-chardev", f"serial,id=gone,path={victim_pty}",
        "-device",
        f"usb-serial,bus=xhci.0,id=victim,chardev=gone,serial={VICTIM_ADAPTER},always-plugged=on",
        "-chardev", f"pipe,id=monitor,path={monitor}",
        "-mon", "chardev=monitor,mode=readline",
    ]


class Guest:
    def __init__(self):
        self.lines = []
        self.sections = {}
        self.ports = {}
        self.console = []
        self.victim = None
        self.unplugged_at = None
        self.boot_s = None
        self.run_s = None


def run_guest(args, kernel, image, work):
    monitor = os.path.join(work, "monitor")
    for end in (".in", ".out"):
        if os.path.exists(monitor + end):
            os.unlink(monitor + end)
        os.mkfifo(monitor + end)
    # The host holds both ends of the silent adapter's pty: QEMU opens the
    # slave by its path, and with the slave kept open here the master never
    # reads as hung up when QEMU lets go of it at the unplug.
    victim_master, victim_slave = os.openpty()
    os.set_blocking(victim_master, False)
    cmd = qemu_command(args, kernel, image, monitor, os.ttyname(victim_slave))
    with open(os.path.join(work, "qemu.cmd"), "w") as f:
        f.write(" ".join(cmd) + "\n")
    g = Guest()
    start = time.monotonic()
    qemu_err = open(os.path.join(work, "qemu.stderr"), "w")
    proc = subprocess.Popen(cmd, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=qemu_err)
    # Keep the monitor's output drained; its input gets the unplug.
    mon_out = os.open(monitor + ".out", os.O_RDONLY | os.O_NONBLOCK)
    pending, current, body, in_scan1, requests = b"", None, [], False, 0
    last_request = None
    console_log = open(os.path.join(work, "console.log"), "w")
    deadline = start + BOOT_TIMEOUT_S

    def on_victim_wire():
        # A probe's request on the silent adapter's wire: its wait has just
        # begun. The log cannot tell this in time: the first rate cycle runs
        # while converters are searched and is logged only afterwards, and
        # the console lags behind the scan under TCG. Unplugged once the
        # second cycle's request is out, a probe is surely waiting for it.
        nonlocal requests, last_request
        try:
            data = os.read(victim_master, 65536)
        except (BlockingIOError, OSError):
            data = b""
        now = time.monotonic()
        if data and in_scan1 and g.victim and g.unplugged_at is None:
            # Bytes closer together than a probe's wait belong to one request.
            if last_request is None or now - last_request > 0.3:
                requests += 1
            last_request = now
            if requests == 2:
                fd = os.open(monitor + ".in", os.O_WRONLY | os.O_NONBLOCK)
                os.write(fd, b"device_del victim\n")
                os.close(fd)
                g.unplugged_at = now - start

    while True:
        left = deadline - time.monotonic()
        if left <= 0:
            proc.kill()
            print("vm: the guest did not finish in time; console log:", console_log.name)
            break
        ready, _, _ = select.select([proc.stdout, mon_out, victim_master], [], [],
                                   min(left, 1.0))
        if mon_out in ready:
            try:
                os.read(mon_out, 65536)
            except BlockingIOError:
                pass
        if proc.stdout not in ready:
            if victim_master in ready:
                on_victim_wire()
            continue
        chunk = os.read(proc.stdout.fileno(), 65536)
        if not chunk:
            break
        pending += chunk
        *complete, pending = pending.split(b"\n")
        for raw in complete:
            line = raw.decode("utf-8", "replace").rstrip("\r")
            console_log.write(line + "\n")
            g.lines.append(line)
            if line.startswith("@@BEGIN "):
                current, body = line[8:], []
                if current == "sysfs" and g.boot_s is None:
                    g.boot_s = time.monotonic() - start
                continue
            if line.startswith("@@END ") and current == line[6:]:
                g.sections[current] = "\n".join(body) + ("\n" if body else "")
                if current == "sysfs":
                    g.console, ttys = parse_sysfs(g.sections["sysfs"])
                    g.ports = expected_ports(g.console, ttys)
                    g.victim = next((c for c, p in g.ports.items()
                                     if p.get("serial") == VICTIM_ADAPTER), None)
                current = None
                continue
            if current is not None:
                body.append(line)
                continue
            if line == "@@SCAN 1":
                in_scan1 = True
            elif line == "@@SCAN 2":
                in_scan1 = False
        # After the console's lines: they tell whether scan 1 has begun.
        if victim_master in ready:
            on_victim_wire()
    proc.wait()
    g.run_s = time.monotonic() - start
    os.close(mon_out)
    os.close(victim_master)
    os.close(victim_slave)
    qemu_err.close()
    console_log.close()
    return g, proc.returncode


# ---- checks ----------------------------------------------------------------

class Checks:
    def __init__(self):
        self.failed = 0
        self.passed = 0

    def __call__(self, ok, what, detail=""):
        if ok:
            self.passed += 1
            print(f"vm: PASS {what}")
        else:
            self.failed += 1
            print(f"vm: FAIL {what}" + (f": {detail}" if detail else ""))


def load_json(g, name):
    try:
        return json.loads(g.sections.get(name, ""))
    except ValueError:
        return None


def connections(tree):
    return [c for group in (tree or {}).get("groups", []) for c in group.get("connections", [])]


def stamped(text):
    """[(seconds, line)] of a log stamped by busybox ts '%.s'."""
    out = []
    for line in text.splitlines():
        m = re.match(r"(\d+\.\d+) ?(.*)", line)
        if m:
            out.append((float(m.group(1)), m.group(2)))
    return out


def settings_by_port(text):
    ports, current = {}, None
    for line in (text or "").splitlines():
        if line.startswith("port="):
            current = line[5:]
            ports[current] = []
        elif current:
            ports[current].append(line)
    return {p: "\n".join(v) for p, v in ports.items()}


def setting_changes(before, now):
    """What differs between two stty -a texts: 'speed 4800->57600', '-opost', ..."""
    def words(text):
        text = re.sub(r"speed (\d+) baud", r"speed=\1", text or "")
        text = re.sub(r"(\w+) = ", r"\1=", text)
        return [w for w in re.split(r"[;\s]+", text) if w]
    old = words(before)
    values = dict(w.split("=", 1) for w in old if "=" in w)
    changes = []
    for w in words(now):
        if w in old:
            continue
        key, _, value = w.partition("=")
        changes.append(f"{key} {values.get(key, '?')}->{value}" if value else w)
    return changes


def probed(log, com):
    return f"(COM{com})" in log


def wait_blocks(log_lines, number):
    """Lines from each 'Waiting for answer on connection N' to its 'Close connection N'."""
    blocks, block = [], None
    for line in log_lines:
        if re.search(rf"Waiting for answer on connection {number}: ", line):
            block = []
        if block is not None:
            block.append(line)
            if re.search(rf"Close connection {number}: ", line):
                blocks.append(block)
                block = None
    return blocks


def check_guest(g, sensors, check):
    ports = g.ports
    console = " ".join(g.console) or "(none)"
    print(f"vm: guest console {console}; ports by the numbering rule from the guest's sysfs:")
    for com, p in sorted(ports.items()):
        extra = f" key {p['key']}" if p.get("key") else f" type {p.get('type', '-')}"
        print(f"vm:   COM{com:<3} {p['tty']:8} {p['name']:32} {p['typeText']}{extra}")
    scan0 = load_json(g, "scan0.json")
    check(scan0 is not None, "scan 0 printed its tree as JSON")
    listed = {c.get("comNumber"): c for c in connections(scan0)}
    want = {com: (p["name"], p["typeText"]) for com, p in ports.items()}
    got = {com: (c.get("name"), c.get("typeText")) for com, c in listed.items()}
    check(got == want and len(ports) > 0,
          f"every port listed with the name, COM number and type text from sysfs ({len(want)} ports)",
          f"expected {want}, listed {got}")

    def port_where(test):
        return next((com for com, p in ports.items() if test(p)), None)

    places = {
        "VM_USB_PTY": port_where(lambda p: p.get("serial") == SENSOR_ADAPTER),
        "VM_ISA_PTY": port_where(lambda p: p.get("port", "").upper() == ISA_SENSOR_PORT.upper()),
        "VM_PCI_PTY": port_where(lambda p: not p["usb"] and "/pci" in p.get("device", "")
                                 and "pnp" not in p.get("device", "")),
    }
    for export, sensor in sensors.items():
        com = places.get(export)
        c = listed.get(com, {})
        what = f"sensor {sensor['serial']:05d} identified at {sensor['baud']} baud on " + \
            (f"{ports[com]['tty']} (COM{com}, {ports[com]['typeText']}, {ports[com].get('driver', '?')})"
             if com else export)
        check(bool(c.get("identified")) and c.get("serial") == f"{sensor['serial']:05d}"
              and c.get("baudRate") == sensor["baud"] and c.get("sensorType") == sensor["version"],
              what, f"listed as {c}" if c else "port not found")

    silent = [port_where(lambda p: p.get("port", "").upper() == ISA_SILENT_PORT.upper()), g.victim]
    for com in silent:
        c = listed.get(com)
        check(c is not None and not c.get("identified") and "serial" not in c,
              f"silent port {ports[com]['tty'] if com in ports else '?'} (COM{com}) listed unidentified",
              f"listed as {c}")

    logs = [g.sections.get(f"scan{n}.log", "") for n in ("0", "A", "1")]
    trees = [g.sections.get(n, "") for n in ("scan0.json", "scanA.txt", "scan1.json", "scan2.json")]
    consoles = [int(t[4:]) + 1 for t in g.console if re.fullmatch(r"ttyS\d+", t)]
    mentioned = [f"COM{c}" for c in consoles
                 if any(f"(COM{c})" in text or f"on COM{c}." in text for text in logs + trees)]
    mentioned += [t for t in g.console if any(t in text for text in logs + trees)]
    check(bool(g.console) and not mentioned,
          f"the console ({console}) is neither listed nor probed", f"mentioned: {mentioned}")
    events = g.sections.get("console.events")
    opened = [line for line in (events or "").splitlines() if line.startswith("opened")]
    check(events is not None and "watching" in events and not opened,
          f"the console's device /dev/{console} was never opened during the four scans",
          f"{len(opened)} opens" if events is not None else "no record from the guest")

    before = settings_by_port(g.sections.get("stty before"))
    mid = settings_by_port(g.sections.get("stty mid"))
    after = settings_by_port(g.sections.get("stty after"))
    check(bool(before), "terminal settings recorded before the search", "no stty output")
    log0 = g.sections.get("scan0.log", "")
    for com, p in sorted(ports.items()):
        tty = p["tty"]
        if tty not in before or not probed(log0, com):
            continue
        check(mid.get(tty) == before[tty],
              f"{tty} (COM{com}) terminal settings restored after scans 0 and A",
              "now " + ", ".join(setting_changes(before[tty], mid[tty])) if tty in mid
              else "no record after the scans")
        if com == g.victim:
            continue
        # The guest set the same settings again before scan 1.
        check(after.get(tty) == before[tty],
              f"{tty} (COM{com}) terminal settings restored after scan 1",
              "now " + ", ".join(setting_changes(before[tty], after[tty])) if tty in after
              else "no record after the scan")

    # The unplug.
    check(g.unplugged_at is not None,
          f"adapter COM{g.victim} unplugged while scan 1 waited for it (second rate cycle)",
          "its second request never showed on its wire")
    stamped1 = stamped(g.sections.get("scan1.log", ""))
    log1 = [line for _, line in stamped1]
    number = next((m.group(1) for line in log1
                   for m in [re.search(rf"Open connection number (\d+): .*\(COM{g.victim}\)", line)]
                   if m), None)
    # The adapter's last wait: once gone it cannot be opened again.
    blocks = wait_blocks(log1, number) if number else []
    gone_block = blocks[-1] if blocks else []
    print_unplug(g, stamped1, number)
    # A "Cause:" line as the log gives open failures, or the wait's own lines
    # naming what happened.
    causes = [line for line in gone_block if line.startswith("Cause:") or
              re.search(r"vanish|gone|removed|unplugged|disconnected|no such device|"
                        r"input/output error", line, re.IGNORECASE)]
    check(bool(causes), f"the unplugged adapter's wait ends with its cause in the log",
          "logged: " + " | ".join(gone_block) if gone_block else "no wait logged")
    if causes:
        print("vm:   " + " | ".join(gone_block))
    scan2 = load_json(g, "scan2.json")
    check(scan2 is not None and g.victim is not None and
          all(c.get("comNumber") != g.victim for c in connections(scan2)),
          f"the unplugged adapter (COM{g.victim}) is absent from the next scan",
          "still listed" if scan2 is not None else "no JSON from scan 2")
    remaining = {c.get("comNumber") for c in connections(scan2)}
    check(remaining == set(ports) - {g.victim}, "the next scan still lists every other port",
          f"listed {sorted(c for c in remaining if c)}")


# ---- timing ----------------------------------------------------------------

def print_unplug(g, stamped1, number):
    """When the guest's kernel saw the adapter go, against its last request."""
    text = g.sections.get("unplug", "")
    went = re.search(r"^\[\s*([\d.]+)\] .*USB disconnect", text, re.MULTILINE)
    clock = re.search(r"^([\d.]+) ([\d.]+) ", text, re.MULTILINE)
    requests = [t for t, line in stamped1
                if number and line.startswith(f"Request LINE OK from connection {number}: ")]
    if not (went and clock and requests) or g.unplugged_at is None:
        return
    # Kernel stamps count from boot; the log's are the wall clock.
    at = float(clock.group(1)) - float(clock.group(2)) + float(went.group(1))
    before = [t for t in requests if t <= at]
    if before:
        print(f"vm: the adapter went {1000 * (at - before[-1]):.0f} ms after its last request "
              f"(the host unplugged it {g.unplugged_at:.1f} s into the run)")


def cycle_times(log_text):
    """[(baud, ms or None)] of each rate cycle, and {port name: [open ms]}.
    A cycle whose lines came in one burst, quicker than any probe can wait,
    was logged after the fact (the search runs its first cycle beside the
    converter search and writes that cycle's lines when both are done): it
    is not timed."""
    lines = stamped(log_text)
    cycles, opens = [], {}
    starts = [k for k, (_, line) in enumerate(lines)
              if re.match(r"Checking connections with (\d+) baud\.", line)]
    end = next((k for k, (_, line) in enumerate(lines) if line.startswith("Cleaning up")), None)
    for n, k in enumerate(starts):
        stop = starts[n + 1] if n + 1 < len(starts) else end
        if stop is None:
            continue
        baud = int(re.match(r"Checking connections with (\d+)", lines[k][1]).group(1))
        own = lines[k:stop]
        if (own[-1][0] - own[0][0]) * 1000 < 40:
            cycles.append((baud, None))
            continue
        cycles.append((baud, (lines[stop][0] - lines[k][0]) * 1000))
        for j in range(k, stop):
            m = re.match(r"Open connection number \d+: (.*) on COM\d+\.", lines[j][1])
            if m:
                opens.setdefault(m.group(1), []).append((lines[j + 1][0] - lines[j][0]) * 1000)
    return cycles, opens


def print_timing(title, log_text):
    cycles, opens = cycle_times(log_text)
    if not cycles:
        print(f"vm: {title}: no rate cycles found in the log")
        return False
    ms = [t for _, t in cycles if t is not None]
    if not ms:
        print(f"vm: {title}: no rate cycle could be timed")
        return False
    print(f"vm: {title}: rate cycles " +
          ", ".join(f"{baud} {t:.0f} ms" if t is not None else f"{baud} not timed (logged in one burst)"
                    for baud, t in cycles) +
          f" (range {min(ms):.0f}-{max(ms):.0f} ms)")
    for name, times in sorted(opens.items()):
        print(f"vm:   open + set-up of {name}: median {statistics.median(times):.1f} ms, "
              f"max {max(times):.1f} ms over {len(times)} opens")
    return True


def pty_lab_timing(args, sensors):
    """The same scan on the simulator's ptys, for comparison."""
    lab = os.path.join(args.work, "pty.lab")
    com = {"VM_USB_PTY": ("USB", 201), "VM_ISA_PTY": ("COM", 2), "VM_PCI_PTY": ("COM", 5)}
    with open(lab, "w") as f:
        for export, s in sensors.items():
            kind, number = com[export]
            f.write(f"[sensor {export}]\nKind={kind}\nCom={number}\nSerial={s['serial']}\n"
                    f"Version={s['version']}\nBaud={s['baud']}\n")
        f.write("[sensor silent-uart]\nKind=COM\nCom=3\nFault=silent\n"
                "[sensor silent-usb]\nKind=USB\nCom=202\nFault=silent\n")
    proc = subprocess.Popen([os.path.join(args.build, "sim", "corvin-sim"), "--lab", lab, "--",
                             args.scan, "--log"], stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                            text=True)
    out = []
    for line in proc.stderr:
        out.append(f"{time.time():.6f} {line.rstrip()}")
    proc.wait()
    return "\n".join(out)


def read_lab(path):
    sensors, section = {}, {}
    for line in open(path):
        line = line.split(";")[0].strip()
        if line.startswith("["):
            section = {}
        elif "=" in line:
            key, value = (s.strip() for s in line.split("=", 1))
            section[key] = value
            if key == "Export":
                sensors[value] = section
    return {export: {"serial": int(s.get("Serial", "1")), "baud": int(s.get("Baud", "115200")),
                     "version": s.get("Version", "Sim sensor 1.0")}
            for export, s in sensors.items()}


def main():
    parser = argparse.ArgumentParser()
    for option in ("--build", "--kernel-root", "--busybox", "--watch", "--work"):
        parser.add_argument(option, required=True)
    args = parser.parse_args()
    args.scan = os.path.join(os.path.abspath(args.build), "app", "corvintracer-scan")
    kernel = next((os.path.join(args.kernel_root, "boot", n)
                   for n in sorted(os.listdir(os.path.join(args.kernel_root, "boot")))
                   if n.startswith("vmlinuz-")), None)
    if not kernel:
        print("vm: FAIL no kernel in", args.kernel_root)
        return 1
    kernel = uncompressed_kernel(kernel)
    os.makedirs(args.work, exist_ok=True)
    image = os.path.join(args.work, "initramfs.cpio")
    build_initramfs(args, os.path.join(args.work, "root"), image)
    sensors = read_lab(os.path.join(HERE, "vm.lab"))

    check = Checks()
    # The checker's own reading of the rule, on the worked example of the document.
    example = expected_ports([], [{"tty": "ttyUSB0", "idVendor": "0403", "idProduct": "6001",
                                   "serial": "A10K5T3Q", "interface": "00", "product": "FT232R"}])
    check(list(example) == [239], "the checker numbers the document's worked example COM239",
          f"got {list(example)}")
    g, code = run_guest(args, kernel, image, args.work)
    check("@@DONE" in g.lines and code == 0, "the guest booted, ran the four scans and powered off",
          f"QEMU exit {code}; console log {args.work}/console.log")
    print(f"vm: boot to the first report {g.boot_s or 0:.1f} s, whole run {g.run_s:.1f} s; "
          "guest uptime at " + ", ".join(line.split(" ", 1)[1] + " s" for line in g.lines
                                         if line.startswith("@@UPTIME ")))
    if g.ports:
        check_guest(g, sensors, check)
    print("vm: the guest's tree (scan A, before the unplug):")
    for line in g.sections.get("scanA.txt", "").splitlines():
        print("vm: | " + line)
    measured = [print_timing(f"timing through the guest's drivers (scan {n})",
                             g.sections.get(f"scan{n}.log", "")) for n in ("0", "A")]
    check(all(measured), "rate cycle times measured in the guest")
    print_timing("the same sensors on the simulator's ptys, host", pty_lab_timing(args, sensors))
    print(f"vm: {check.passed} passed, {check.failed} failed")
    return 1 if check.failed else 0


if __name__ == "__main__":
    sys.exit(main())
