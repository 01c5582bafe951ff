#!/usr/bin/env bash
# Boots one QEMU guest with real USB sticks and runs one program in it; the guest's console log, UDisks2's
# log and a summary come back into <build folder>/rig/<program's name>/.
#
#   tests/rig/rig.sh [--time-limit SECONDS] <build folder> [NAME=VALUE...] <program> [arguments...]
#
# NAME=VALUE pairs before the program are its environment, as env(1) takes them.
# The guest sees this machine's root file system read-only, and the build folder writable at the same
# path, so the program and everything it finds beside it run unchanged. Exit status: the program's, 77
# when this machine cannot run a guest (the reason is printed and kept in the summary), 124 when the
# guest outlived the time limit and was killed. With DRAVEX_RIG_REQUIRED=1 a machine that cannot run the
# guest is a failure, not a skip.
set -uo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
time_limit=900
if [[ "${1:-}" == "--time-limit" ]]; then
    time_limit="$2"
    shift 2
fi
if [[ $# -lt 2 ]]; then
    echo "usage: $0 [--time-limit SECONDS] <build folder> [NAME=VALUE...] <program> [arguments...]" >&2
    exit 2
fi
build="$(cd "$1" && pwd)" || exit 2
shift
program=""
for argument in "$@"; do
    if [[ ! "$argument" =~ ^[A-Za-z_][A-Za-z0-9_]*= ]]; then
        program="$argument"
        break
    fi
done
[[ -n "$program" ]] || { echo "rig: no program to run" >&2; exit 2; }
out="$build/rig/$(basename "$program")"
mkdir -p "$out"
summary="$out/summary.txt"
console="$out/console.log"
rm -f "$summary" "$console" "$out/exit-code"

skip() {
    echo "rig: skipped: $1" | tee "$summary"
    if [[ "${DRAVEX_RIG_REQUIRED:-0}" == 1 ]]; then
        echo "rig: the rig is required here (DRAVEX_RIG_REQUIRED=1)" | tee -a "$summary"
        exit 1
    fi
    exit 77
}

[[ "$(id -u)" -eq 0 ]] || skip "not root (building the guest's module set and its devices needs root)"
command -v qemu-system-x86_64 >/dev/null || skip "no qemu-system-x86_64 (Debian package qemu-system-x86)"
[[ -x /bin/busybox ]] || skip "no /bin/busybox (Debian package busybox-static)"
kernel="$(ls -1 /boot/vmlinuz-* 2>/dev/null | sort -V | tail -1)"
[[ -n "$kernel" ]] || skip "no kernel image in /boot (Debian package linux-image-amd64)"
version="${kernel#/boot/vmlinuz-}"
[[ -d "/lib/modules/$version" ]] || skip "no modules for kernel $version in /lib/modules"
for program in /lib/systemd/systemd-udevd /usr/libexec/udisks2/udisksd /usr/bin/dbus-daemon; do
    [[ -x "$program" ]] || skip "no $program (Debian packages udev, udisks2, dbus)"
done
# The paths travel on the kernel's command line and through 9p; keep them plain.
for path in "$build" "$here" "$program"; do
    [[ "$path" =~ ^[A-Za-z0-9_./+-]+$ ]] || skip "path with characters the guest's command line cannot carry: $path"
done
[[ -x "$program" ]] || { echo "rig: no program $program" | tee "$summary"; exit 1; }

# A busybox initramfs that mounts the two exports and hands over to the guest script.
initramfs="$out/initramfs"
rm -rf "$initramfs"
mkdir -p "$initramfs"/{bin,proc,sys,dev,newroot}
cp /bin/busybox "$initramfs/bin/"
for module in virtio_pci 9pnet_virtio 9p; do
    modprobe --show-depends -S "$version" "$module"
done | awk '$1 == "insmod" { print $2 }' | sort -u | while read -r file; do
    mkdir -p "$initramfs$(dirname "$file")"
    cp "$file" "$initramfs$file"
done
cp /lib/modules/"$version"/modules.* "$initramfs/lib/modules/$version/"
cp "$here/initramfs-init" "$initramfs/init"
chmod +x "$initramfs/init"
# What the guest runs, one argument per line.
printf '%s\n' "$@" >"$out/command"
(cd "$initramfs" && find . | cpio -o -H newc 2>/dev/null | gzip -1) >"$out/initrd.gz"
rm -rf "$initramfs"

echo "rig: booting $version, running $*; console log in $console"
start=$(date +%s)
timeout --kill-after=10 "$time_limit" qemu-system-x86_64 -accel tcg -cpu max -m 3072 -smp 2 \
    -nographic -nodefaults -serial stdio -no-reboot \
    -kernel "$kernel" -initrd "$out/initrd.gz" \
    -append "console=ttyS0 loglevel=3 panic=-1 rigsource=$here rigbuild=$build rigout=$out rigtimelimit=$time_limit" \
    -virtfs local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap \
    -virtfs local,path="$build",mount_tag=build,security_model=none,multidevs=remap \
    </dev/null >"$console" 2>&1
qemu_status=$?
seconds=$(( $(date +%s) - start ))

if [[ $qemu_status -eq 124 || $qemu_status -eq 137 ]]; then
    status=124
    echo "rig: the guest did not finish within ${time_limit} s and was killed" >"$summary"
elif [[ -r "$out/exit-code" ]]; then
    status="$(cat "$out/exit-code")"
    echo "rig: the guest ran $* and it exited with $status" >"$summary"
else
    status=1
    echo "rig: the guest stopped without reporting an exit code (qemu exited with $qemu_status)" >"$summary"
fi
echo "rig: whole run ${seconds} s (boot and services: $(cat "$out/ready-seconds" 2>/dev/null || echo ?) s)" >>"$summary"
grep -a -E '^\[  (PASSED|FAILED|SKIPPED) ' "$console" | tr -d '\r' >>"$summary" || true
if [[ $status -ne 0 ]]; then
    echo "---- console log ($console) ----"
    cat "$console"
fi
cat "$summary"
exit "$status"
