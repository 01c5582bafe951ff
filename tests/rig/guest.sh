#!/bin/bash
# Runs as PID 1 in the rig's guest: starts what a Linux desktop runs under a USB stick (udevd with its
# coldplug, the system D-Bus, UDisks2), loads the USB gadget stack with eleven host ports, runs the
# program named in the command file of its output folder (rigout, below the build folder) and powers the
# guest off. The program's exit status goes to the exit-code file beside it.
export PATH=/usr/sbin:/usr/bin:/sbin:/bin
export HOME=/root LANG=C.UTF-8
out="$rigout"
t0=$(date +%s)
step() { echo "rig-guest: $*"; }
finish() {
    echo "$1" >"$out/exit-code"
    sync
    poweroff -f
}

for folder in /var/lib /var/tmp /var/cache /var/log /media /root /mnt /srv; do
    mount -t tmpfs tmpfs "$folder"
done
mkdir -p /run/udev /run/dbus /var/lib/dbus /tmp/rig
mount -t debugfs none /sys/kernel/debug 2>/dev/null
ln -sf /proc/self/fd /dev/fd
mkdir -p /dev/pts /dev/shm && mount -t devpts devpts /dev/pts && mount -t tmpfs tmpfs /dev/shm

step "udevd and coldplug"
/lib/systemd/systemd-udevd --daemon
udevadm trigger --type=subsystems --action=add
udevadm trigger --type=devices --action=add
udevadm settle --timeout=60

step "USB gadget stack"
for module in loop usb_storage sd_mod libcomposite usb_f_mass_storage; do
    modprobe "$module" || { step "cannot load $module"; finish 1; }
done
modprobe dummy_hcd num=11 || { step "cannot load dummy_hcd"; finish 1; }
mount -t configfs none /sys/kernel/config
udevadm settle --timeout=60

step "D-Bus and UDisks2"
dbus-uuidgen --ensure=/var/lib/dbus/machine-id
dbus-daemon --system --fork || { step "no system bus"; finish 1; }
/usr/libexec/udisks2/udisksd >"$out/udisksd.log" 2>&1 &
gdbus wait --system --timeout 60 org.freedesktop.UDisks2 || { step "UDisks2 did not start"; finish 1; }
t0_elapsed=$(( $(date +%s) - t0 ))
echo "$t0_elapsed" >"$out/ready-seconds"

mapfile -t command <"$out/command"
step "running ${command[*]}"
cd "$out"
# The serial console is a terminal: a program waiting for a key there would wait for ever. A program
# that hangs is stopped before the host kills the guest, after showing where everything stood.
/usr/bin/env "${command[@]}" </dev/null &
program=$!
(
    sleep $(( rigtimelimit - t0_elapsed - 60 ))
    step "the program hung; the guest's processes, and the UDisks2 log:"
    ps -eo pid,ppid,stat,etimes,wchan:24,args | grep -v ' \[.*\]$'
    tail -30 "$out/udisksd.log"
    kill -ABRT "$program"
    sleep 10
    kill -KILL "$program"
) &
watchdog=$!
wait "$program"
status=$?
kill "$watchdog" 2>/dev/null
step "exit status $status"
finish "$status"
