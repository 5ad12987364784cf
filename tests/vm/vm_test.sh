#!/usr/bin/env bash
# The real program against real serial drivers: boots one QEMU guest (software
# emulation) with Debian's own kernel, this machine's root shared read-only,
# a 16550 UART on guest port 2 (/dev/ttyS1) and an FTDI USB serial adapter on
# port 33 (/dev/ttyUSB0), each wired to a simulated sensor on a host
# pseudo-terminal. guest.sh drives the program there; this script builds the
# guest, serves the sensors, unplugs and replugs the adapter when the guest
# asks for it on its console, and reports the guest's result.
#
# QEMU's trace of what the guest programmed into the devices goes to
# WORKDIR/trace.log, which the guest reads through the shared root.
#
# usage: vm_test.sh QUADRELINK SIM WORKDIR KERNELDIR FACTS
# KERNELDIR keeps the unpacked kernel between runs. Exits 77 (skipped) only
# when QEMU is missing or cannot start a machine at all.
set -euo pipefail

program=$(realpath "$1") sim=$2 work=$(realpath -m "$3") kernel=$(realpath -m "$4")
facts=$(realpath "$5")
here=$(cd "$(dirname "$0")" && pwd)
qemu=qemu-system-x86_64

command -v "$qemu" >/dev/null || { echo "SKIP: $qemu is not installed (make deps)"; exit 77; }
echo quit | "$qemu" -machine none -accel tcg -display none -nodefaults -monitor stdio \
    >/dev/null 2>&1 || { echo "SKIP: $qemu cannot start a machine here"; exit 77; }
for tool in busybox depmod modprobe xz apt-get dpkg-deb; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (make deps)"; exit 1; }
done

rm -rf "$work" && mkdir -p "$work"
source "$here/../e2e/common.sh"
started=$SECONDS

# The guest's kernel: this Debian release's own, unpacked into the build tree
# and never installed. Booting the uncompressed image (its xz payload) saves
# four seconds of decompression under emulation.
if [[ ! -s $kernel/modules.list ]]; then
    rm -rf "$kernel" && mkdir -p "$kernel"
    package() { LC_ALL=C apt-cache depends linux-image-amd64 2>/dev/null | awk '/Depends: linux-image-/ {print $2; exit}'; }
    [[ -n $(package) || $(id -u) -ne 0 ]] || apt-get -qq update
    name=$(package)
    [[ -n $name ]] || { echo "FAIL: apt knows no linux-image-amd64 (apt-get update)"; exit 1; }
    (cd "$kernel" && apt-get -qq download "$name" 2>&1 | { grep -v unsandboxed || true; }) \
        || { echo "FAIL: apt-get download $name"; exit 1; }
    dpkg-deb -x "$kernel"/*.deb "$kernel/root" && rm "$kernel"/*.deb
    # Debian 13's kernel keeps its modules under /usr/lib, which a merged /usr
    # also reaches as /lib, where depmod and modprobe look.
    [[ -e $kernel/root/lib || ! -d $kernel/root/usr/lib ]] || ln -s usr/lib "$kernel/root/lib"
    version=$(ls "$kernel/root/lib/modules")
    image=$kernel/root/boot/vmlinuz-$version
    # (Debian 13's kernel is packed with zstd: no xz stream, no offset.)
    offset=$(grep -abo -m1 $'\xfd7zXZ\x00' "$image" | head -n1 | cut -d: -f1 || true)
    # xz stops at the end of its stream: tail then meets a closed pipe. A
    # kernel packed otherwise boots as it is, only slower.
    if [[ -z $offset ]] || ! xz -dc --single-stream < <(tail -c +$((offset + 1)) "$image") \
        >"$kernel/vmlinux" 2>/dev/null; then
        cp "$image" "$kernel/vmlinux"
    fi
    depmod -b "$kernel/root" "$version"
    # The drivers of the shared root, the console, the USB adapter, in the
    # order they depend on each other (those built in are left out).
    for module in virtio_pci virtio_console 9pnet_virtio 9p overlay xhci_pci ftdi_sio; do
        modprobe -d "$kernel/root" -S "$version" --show-depends "$module"
    done | awk '$1 == "insmod" && !seen[$2]++ {print $2}' >"$kernel/modules.paths"
    # busybox's insmod takes them unpacked.
    mkdir "$kernel/modules"
    while read -r path; do
        case $path in
        *.xz) xz -dc "$path" >"$kernel/modules/$(basename "$path" .xz)" ;;
        *) cp "$path" "$kernel/modules/" ;;
        esac
    done <"$kernel/modules.paths"
    sed -E 's#.*/##; s#\.xz$##' "$kernel/modules.paths" >"$kernel/modules.list"
    rm -rf "$kernel/root" # 440 MB, of which the guest needs the above
    echo "kernel $version unpacked in $((SECONDS - started)) s"
fi

# The initramfs: busybox, the drivers and /init; no compression, no cpio tool.
initramfs=$work/initramfs
mkdir -p "$initramfs"/{bin,dev,proc,sys,modules}
cp /bin/busybox "$initramfs/bin/busybox"
cp "$here/init" "$initramfs/init"
cp "$kernel/modules.list" "$initramfs/modules.list"
cp "$kernel"/modules/*.ko "$initramfs/modules/"
(cd "$initramfs" && find . | busybox cpio -o -H newc 2>/dev/null) >"$work/initramfs.cpio"

# The sensors, on host pseudo-terminals.
for port in 2 33; do
    "$sim" --link "$work/port$port" --log "$work/sensor$port.log" >"$work/sim$port.out" 2>&1 &
    pids+=($!)
done
wait_for 20 test -e "$work/port2" -a -e "$work/port33" \
    || { echo "FAIL: the simulated sensors did not start"; exit 1; }
touch "$work/trace.log" "$work/console.log"

# The monitor is a pair of pipes: device_del/device_add are written to it.
mkfifo "$work/monitor.in" "$work/monitor.out"
monitor() { echo "$*" >"$work/monitor.in"; }

"$qemu" -accel tcg,tb-size=128 -m 512 -nodefaults -no-user-config -display none -no-reboot \
    -kernel "$kernel/vmlinux" -initrd "$work/initramfs.cpio" \
    -append "console=hvc0 quiet panic=-1 GUEST_SCRIPT=$here/guest.sh GUEST_ARGS=$program,$work,$facts" \
    -chardev pipe,id=mon,path="$work/monitor" -mon chardev=mon \
    -device virtio-serial-pci -chardev file,id=con,path="$work/console.log" \
    -device virtconsole,chardev=con \
    -virtfs local,path=/,mount_tag=host0,security_model=none,readonly=on,multidevs=remap \
    -chardev serial,id=c1,path="$work/port2" -device isa-serial,index=1,chardev=c1 \
    -device qemu-xhci -chardev serial,id=c2,path="$work/port33" \
    -device usb-serial,chardev=c2,id=u1 \
    -trace serial_update_parameters -trace 'usb_serial_set_*' -trace 'usb_serial_unsupported_*' \
    -D "$work/trace.log" >"$work/qemu.out" 2>&1 </dev/null &
qemu_pid=$!
pids+=("$qemu_pid")
cat "$work/monitor.out" >/dev/null &
pids+=($!)

# Serve the guest's requests until it reports; emulation on a loaded machine
# can be several times slower than the usual 40 s, hence the long deadline.
booted=$SECONDS
handled=0 deadline=$((SECONDS + 900)) boot_s= peak_kib=0
until grep -q '^GUEST-RC=' "$work/console.log"; do
    [[ -n $boot_s || ! -s $work/console.log ]] || boot_s=$((SECONDS - booted))
    peak_kib=$(awk '/^VmHWM/ {print $2}' "/proc/$qemu_pid/status" 2>/dev/null || echo "$peak_kib")
    if ! kill -0 "$qemu_pid" 2>/dev/null || ((SECONDS > deadline)); then
        cat "$work/console.log" "$work/qemu.out"
        echo "FAIL: the guest ended without a result (or took longer than 900 s)"
        exit 1
    fi
    # The guest's terminal ends its lines with CR LF.
    mapfile -t requests < <(tr -d '\r' <"$work/console.log" | grep '^VM-REQUEST ' || true)
    for request in "${requests[@]:handled}"; do
        case $request in
        "VM-REQUEST unplug") monitor device_del u1 ;;
        "VM-REQUEST replug") monitor device_add usb-serial,chardev=c2,id=u1 ;;
        esac
        handled=$((handled + 1))
    done
    sleep 0.2
done
wait_for 60 bash -c "! kill -0 $qemu_pid 2>/dev/null" || kill "$qemu_pid"

tr -d '\r' <"$work/console.log"
echo "guest: first line ${boot_s:-?} s after QEMU started, power-off after $((SECONDS - booted)) s;" \
    "QEMU's peak RSS $((peak_kib / 1024)) MiB; $((SECONDS - started)) s in all"
rc=$(tr -d '\r' <"$work/console.log" | sed -n 's/^GUEST-RC=//p' | tail -n1)
((rc == 0)) || { echo "FAIL: the guest script ended with status $rc"; exit 1; }
echo "PASS: the program on a 16550 UART and a USB serial adapter, unplugged and back"
