#!/usr/bin/env bash
# Copies what the Linux layer reads from this machine into a new fixture case, so that a field report
# becomes a test: the /sys/block entries (links resolved, the same links recreated), their partitions,
# SCSI attributes and holders, the USB devices and interfaces above them, /proc/self/mountinfo,
# /proc/swaps, the host name, the udev records of block devices, and empty folders for the mount points
# of those devices (statvfs then measures the fixture, not the stick).
#
#   tests/data/sysroots/capture-sysroot.sh <case-name> [<folder to put it in>]
#
# Only reads; run it as a normal user while the sticks of the report are plugged in. The rig captures
# its cases in its guest with tests/rig/capture-fixtures.sh.
set -euo pipefail

if [[ $# -lt 1 || $# -gt 2 || -z "$1" || "$1" == */* ]]; then
    echo "usage: $0 <case-name> [<folder to put it in>]" >&2
    exit 2
fi
case_dir="$(cd "${2:-$(dirname "$0")}" && pwd)/$1"
if [[ -e "$case_dir" ]]; then
    echo "$case_dir exists already" >&2
    exit 1
fi

# Shell built-ins only where it runs once per attribute: a slow machine (the rig's emulator) pays for
# every process started.
copy_files() { # <sysfs folder> <target folder> <attribute>...
    local from="$1" to="$2" value
    shift 2
    mkdir -p "$to"
    for attribute in "$@"; do
        if [[ -f "$from/$attribute" && -r "$from/$attribute" ]]; then
            [[ "$attribute" == */* && ! -d "$to/${attribute%/*}" ]] && mkdir -p "$to/${attribute%/*}"
            IFS= read -r -d '' value <"$from/$attribute" 2>/dev/null || true
            printf '%s' "$value" >"$to/$attribute"
        fi
    done
}

copy_attributes() { # <sysfs folder> <target folder>
    copy_files "$1" "$2" removable size dev ro partition start dm/name
    if [[ -d "$1/holders" ]]; then
        mkdir -p "$2/holders"
        for holder in "$1"/holders/*; do
            if [[ -e "$holder" ]]; then
                mkdir -p "$2/holders/$(basename "$holder")"
            fi
        done
    fi
}

# The SCSI device of a disk ("device" links to it) and the USB device and interface above it.
copy_parents() { # <resolved sysfs folder of a disk>
    local device
    device="$(readlink -f "$1/device" 2>/dev/null)" || return 0
    [[ -d "$device" ]] || return 0
    copy_files "$device" "$case_dir/${device#/}" type vendor model rev
    ln -sfn "$(realpath --relative-to="$1" "$device")" "$case_dir/${1#/}/device"
    local folder="$device"
    while [[ "$folder" != /sys/devices && "$folder" != / ]]; do
        folder="$(dirname "$folder")"
        if [[ -r "$folder/idVendor" || -r "$folder/bInterfaceClass" ]]; then
            copy_files "$folder" "$case_dir/${folder#/}" idVendor idProduct bcdDevice serial manufacturer \
                product busnum devnum bInterfaceClass bInterfaceSubClass bInterfaceProtocol
            mkdir -p "$case_dir/sys/bus/usb/devices"
            ln -sfn "../../../${folder#/sys/}" "$case_dir/sys/bus/usb/devices/${folder##*/}"
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
    copy_parents "$resolved"
    for part in "$resolved/$disk"*; do
        [[ -e "$part/partition" ]] || continue
        copy_attributes "$part" "$case_dir/${part#/}"
        link_device "$part" "$(basename "$part")"
        [[ -r "$part/dev" ]] && devices+=("$(cat "$part/dev")")
    done
done

cp /proc/self/mountinfo "$case_dir/proc/self/mountinfo"
cp /proc/swaps "$case_dir/proc/swaps"
mkdir -p "$case_dir/proc/sys/kernel"
cp /proc/sys/kernel/hostname "$case_dir/proc/sys/kernel/hostname"
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
