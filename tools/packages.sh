#!/usr/bin/env bash
# Debian packages the build, the tests and the window need. Sourced by ./run, ./test and .ci/run.
DRAVEX_PACKAGES=(
    build-essential cmake pkg-config
    qt6-base-dev qt6-translations-l10n libudev-dev libgtest-dev libgmock-dev
    # the production record: the station's SQLite journal, the line's PostgreSQL server (and one for the tests)
    libsqlite3-dev libpq-dev postgresql
    fonts-noto-cjk xterm xvfb xauth util-linux
    dosfstools exfatprogs e2fsprogs eject x11-apps netpbm
    # the USB rig: a QEMU guest with the Debian kernel, udev and UDisks2 over real USB gadget sticks
    qemu-system-x86 linux-image-amd64 busybox-static udev udisks2 dbus libglib2.0-bin procps cpio kmod
    # and what the rig's hostile cases build on a stick: partition tables and device-mapper holders
    fdisk dmsetup cryptsetup-bin
    # and how the rig counts what a copy asks of a stick, and the open counterfeit-flash probe it compares with
    strace f3
)

# Installs whatever is missing, when we are allowed to; otherwise only says what is missing.
dravex_ensure_packages() {
    local missing=()
    for package in "${DRAVEX_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -eq 0 ]; then
        apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
    else
        echo "Missing Debian packages: ${missing[*]} (run as root to install them)" >&2
    fi
}
