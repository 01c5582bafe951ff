#!/usr/bin/env bash
# Copies what the drive mapping reads from this machine into a new fixture case, so that a field
# report becomes a test: the /sys/block entries (links resolved, the same links recreated), their
# partitions, /proc/self/mountinfo, the udev records of block devices, and empty folders for the mount
# points of those devices (statvfs then measures the fixture, not the stick).
#
#   tests/data/sysroots/capture-sysroot.sh <case-name>
#
# Only reads; run it as a normal user while the sticks of the report are plugged in.
set -euo pipefail

if [[ $# -ne 1 || -z "$1" || "$1" == */* ]]; then
    echo "usage: $0 <case-name>" >&2
    exit 2
fi
case_dir="$(cd "$(dirname "$0")" && pwd)/$1"
if [[ -e "$case_dir" ]]; then
    echo "$case_dir exists already" >&2
    exit 1
fi

copy_attributes() { # <sysfs folder> <target folder>
    mkdir -p "$2"
    for attribute in removable size dev ro partition start; do
        if [[ -r "$1/$attribute" ]]; then
            cat "$1/$attribute" >"$2/$attribute" 2>/dev/null || true
        fi
    done
}

link_device() { # <resolved sysfs folder> <kernel name>
    local inside="${1#/sys/}"
    ln -s "../../$inside" "$case_dir/sys/class/block/$2"
    if [[ -r "$1/dev" ]]; then
        ln -sf "../../$inside" "$case_dir/sys/dev/block/$(cat "$1/dev")"
    fi
}

mkdir -p "$case_dir/sys/block" "$case_dir/sys/class/block" "$case_dir/sys/dev/block" \
    "$case_dir/proc/self" "$case_dir/run/udev/data"
devices=()
for entry in /sys/block/*; do
    [[ -e "$entry" ]] || continue
    disk="$(basename "$entry")"
    resolved="$(readlink -f "$entry")"
    copy_attributes "$resolved" "$case_dir/${resolved#/}"
    ln -s "../${resolved#/sys/}" "$case_dir/sys/block/$disk"
    link_device "$resolved" "$disk"
    [[ -r "$resolved/dev" ]] && devices+=("$(cat "$resolved/dev")")
    for part in "$resolved/$disk"*; do
        [[ -e "$part/partition" ]] || continue
        copy_attributes "$part" "$case_dir/${part#/}"
        link_device "$part" "$(basename "$part")"
        [[ -r "$part/dev" ]] && devices+=("$(cat "$part/dev")")
    done
done

cp /proc/self/mountinfo "$case_dir/proc/self/mountinfo"
for device in "${devices[@]}"; do
    if [[ -r "/run/udev/data/b$device" ]]; then
        cp "/run/udev/data/b$device" "$case_dir/run/udev/data/"
    fi
done

# Mount points of the captured devices; mountinfo writes blank, tab, newline and backslash as octal.
while read -r _ _ device _ mount_point _; do
    for captured in "${devices[@]}"; do
        if [[ "$device" == "$captured" && "$mount_point" != "/" ]]; then
            decoded="$(printf '%b' "$(sed 's/\\\([0-7][0-7][0-7]\)/\\0\1/g' <<<"$mount_point")")"
            mkdir -p "$case_dir/${decoded#/}"
            # git keeps no empty folder.
            touch "$case_dir/${decoded#/}/.captured"
        fi
    done
done <"$case_dir/proc/self/mountinfo"

echo "captured into $case_dir"
lsblk --sysroot "$case_dir" || true
