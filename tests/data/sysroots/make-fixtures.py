#!/usr/bin/env python3
"""Writes the fixture trees the platform tests read, laid out as lsblk --sysroot expects them.

Run it after changing a case here; the trees are committed so the tests never depend on running it.
Each case folder it writes is removed and rebuilt; other folders (captured trees) are left alone.
"""
import os
import shutil
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
USB = "pci-0000:00:14.0-usb-0:{port}:1.0-scsi-0:0:0:{lun}"
USB_DEVICES = "devices/pci0000:00/0000:00:14.0/usb1/1-{port}/1-{port}:1.0/host{host}/target{host}:0:0/{host}:0:0:{lun}"


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8", newline="") as f:
        f.write(text)


def link(path, target):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    os.symlink(target, path)


def udev(root, major, minor, props):
    lines = ["I:1234567\n"]
    lines += ["E:%s=%s\n" % (key, value) for key, value in props.items()]
    lines.append("G:systemd\n")
    write(os.path.join(root, "run/udev/data/b%d:%d" % (major, minor)), "".join(lines))


def sd_device(index):
    """Major and minor of the index-th SCSI disk, as the kernel numbers them."""
    return (8, index * 16) if index < 16 else (65, (index - 16) * 16)


def fs_props(fs_type, version="", label="", uuid=""):
    props = {"ID_FS_TYPE": fs_type, "ID_FS_USAGE": "filesystem"}
    if version:
        props["ID_FS_VERSION"] = version
    if uuid:
        props["ID_FS_UUID"] = uuid
    if label:
        props["ID_FS_LABEL"] = label.replace("\\x20", "_")
        props["ID_FS_LABEL_ENC"] = label
    return props


def disk(root, name, index, devices, removable="1", size="7864320", dev=None, props=None,
         partitions=(), disk_fs=None, device=None):
    """A disk with its sysfs folder, links and udev record; "removable", "size" and "dev" texts may be
    replaced (None leaves the file out) to describe broken attributes.

    partitions: (number, props or None, size) in the order they are created; props None leaves the
    partition without a udev record.
    """
    major, minor = device or sd_device(index)
    folder = "sys/%s/block/%s" % (devices, name)
    base = os.path.join(root, folder)
    os.makedirs(base)
    if removable is not None:
        write(os.path.join(base, "removable"), removable + "\n")
    if size is not None:
        write(os.path.join(base, "size"), size + "\n")
    write(os.path.join(base, "dev"), (dev if dev is not None else "%d:%d" % (major, minor)) + "\n")
    write(os.path.join(base, "ro"), "0\n")
    link(os.path.join(root, "sys/block", name), "../" + folder[len("sys/"):])
    link(os.path.join(root, "sys/class/block", name), "../../" + folder[len("sys/"):])
    link(os.path.join(root, "sys/dev/block/%d:%d" % (major, minor)), "../../" + folder[len("sys/"):])
    disk_props = dict(props or {})
    if disk_fs:
        disk_props.update(disk_fs)
    udev(root, major, minor, disk_props)
    start = 2048
    for number, part_props, part_size in partitions:
        part = "%s%d" % (name, number)
        part_base = os.path.join(base, part)
        os.makedirs(part_base)
        write(os.path.join(part_base, "partition"), "%d\n" % number)
        write(os.path.join(part_base, "size"), "%d\n" % part_size)
        write(os.path.join(part_base, "start"), "%d\n" % start)
        write(os.path.join(part_base, "dev"), "%d:%d\n" % (major, minor + number))
        write(os.path.join(part_base, "ro"), "0\n")
        start += part_size
        link(os.path.join(root, "sys/class/block", part), "../../%s/%s" % (folder[len("sys/"):], part))
        link(os.path.join(root, "sys/dev/block/%d:%d" % (major, minor + number)),
             "../../%s/%s" % (folder[len("sys/"):], part))
        if part_props is not None:
            merged = {"ID_PATH": disk_props.get("ID_PATH", ""), "ID_PART_ENTRY_NUMBER": str(number)}
            merged.update(part_props)
            udev(root, major, minor + number, {k: v for k, v in merged.items() if v})
    return major, minor


def usb_stick(root, name, index, port, lun=0, **kwargs):
    props = {"ID_BUS": "usb", "ID_PATH": USB.format(port=port, lun=lun), "ID_PART_TABLE_TYPE": "dos"}
    props.update(kwargs.pop("props", {}))
    devices = USB_DEVICES.format(port=port, host=index + 5, lun=lun)
    return disk(root, name, index, devices, props=props, **kwargs)


class MountInfo:
    def __init__(self):
        self.lines = ["22 1 254:1 / / rw,relatime shared:1 - ext4 /dev/vda1 rw\n",
                      "23 22 0:21 / /proc rw,nosuid,nodev,noexec,relatime shared:12 - proc proc rw\n",
                      "24 22 0:22 / /sys rw,nosuid,nodev,noexec,relatime shared:2 - sysfs sysfs rw\n"]
        self.next_id = 40

    def add(self, root, mount_point, major, minor, fs_type, source, fs_root="/", make_folder=True):
        escaped = mount_point.replace("\\", "\\134").replace(" ", "\\040").replace("\t", "\\011")
        self.lines.append("%d 22 %d:%d %s %s rw,nosuid,nodev,relatime shared:%d - %s %s rw\n"
                          % (self.next_id, major, minor, fs_root, escaped, self.next_id, fs_type, source))
        self.next_id += 1
        if make_folder:
            # A file inside, so the folder is kept in git and the volume has something on it.
            write(os.path.join(root, mount_point.lstrip("/"), "README.TXT"), "fixture volume\n")

    def save(self, root, extra=""):
        write(os.path.join(root, "proc/self/mountinfo"), "".join(self.lines) + extra)


def new_case(name):
    root = os.path.join(HERE, name)
    shutil.rmtree(root, ignore_errors=True)
    os.makedirs(root)
    return root


def hub_two_sticks():
    root = new_case("hub-two-sticks")
    mounts = MountInfo()
    # The system disk: fixed, must never get a letter.
    disk(root, "sda", 0, "devices/pci0000:00/0000:00:17.0/ata1/host0/target0:0:0/0:0:0:0", removable="0",
         size="500118192", props={"ID_BUS": "ata", "ID_PATH": "pci-0000:00:17.0-ata-1"},
         partitions=[(1, fs_props("ext4", "1.0", "system", "0b4e4c4c-0e5c-4b7e-9b55-2b7d4f0e1a11"), 500000000)])
    mounts.add(root, "/", 8, 1, "ext4", "/dev/sda1", make_folder=False)
    # Port 10 is listed first by the kernel but sorts after port 2.
    major, minor = usb_stick(root, "sdb", 1, 10, partitions=[(1, fs_props("vfat", "FAT32", "PORT10", "1111-AAAA"), 7862272)])
    mounts.add(root, "/media/op/PORT10/sub", major, minor + 1, "vfat", "/dev/sdb1", fs_root="/sub")
    mounts.add(root, "/media/op/PORT10", major, minor + 1, "vfat", "/dev/sdb1")
    major, minor = usb_stick(root, "sdc", 2, 2, partitions=[(1, fs_props("vfat", "FAT32", "PORT\\x202", "ABCD-1234"), 7862272)])
    mounts.add(root, "/media/op/PORT 2", major, minor + 1, "vfat", "/dev/sdc1")
    # An optical drive says it is removable too, but it is no disk for the tool.
    disk(root, "sr0", 0, "devices/pci0000:00/0000:00:17.0/ata2/host1/target1:0:0/1:0:0:0", size="0", device=(11, 0),
         props={"ID_CDROM": "1", "ID_PATH": "pci-0000:00:17.0-ata-2"})
    mounts.save(root)


def card_reader():
    root = new_case("card-reader")
    mounts = MountInfo()
    usb_stick(root, "sdd", 3, 3, lun=0, size="0")
    major, minor = usb_stick(root, "sde", 4, 3, lun=1, size="3862528",
                             partitions=[(1, fs_props("vfat", "FAT16", "CAMERA", "0C1E-55F0"), 3860480)])
    mounts.add(root, "/media/op/CAMERA", major, minor + 1, "vfat", "/dev/sde1")
    mounts.save(root)


def odd_partitions():
    root = new_case("odd-partitions")
    mounts = MountInfo()
    # Created 2, 1, 5, 3: the letters follow the partition numbers, not the folder listing.
    major, minor = usb_stick(root, "sdb", 1, 4, partitions=[
        (2, fs_props("ntfs", "", "DATA", "0123456789ABCDEF"), 2000000),
        (1, fs_props("exfat", "1.0", "SWAP", "4F2E-0A17"), 2000000),
        (5, None, 1000000),
        (3, {"ID_PART_ENTRY_TYPE": "0x83"}, 1000000),
    ])
    mounts.add(root, "/media/op/DATA", major, minor + 2, "ntfs3", "/dev/sdb2")
    mounts.add(root, "/media/op/SWAP", major, minor + 1, "exfat", "/dev/sdb1")
    mounts.save(root)


def whole_disk():
    root = new_case("whole-disk")
    mounts = MountInfo()
    major, minor = usb_stick(root, "sdb", 1, 1, props={"ID_PART_TABLE_TYPE": ""},
                             disk_fs=fs_props("vfat", "FAT32", "WHOLE", "2222-BBBB"))
    mounts.add(root, "/media/op/WHOLE", major, minor, "vfat", "/dev/sdb")
    # A medium with neither partitions nor a file system.
    usb_stick(root, "sdc", 2, 2, props={"ID_PART_TABLE_TYPE": ""})
    # File systems nobody has mounted yet: the tests' mounter mounts the first and fails the second.
    usb_stick(root, "sdd", 3, 3, props={"ID_PART_TABLE_TYPE": ""},
              disk_fs=fs_props("vfat", "FAT32", "LATE", "3333-CCCC"))
    write(os.path.join(root, "media/op/LATE/README.TXT"), "mounted by the tests' mounter\n")
    usb_stick(root, "sde", 4, 4, props={"ID_PART_TABLE_TYPE": ""},
              disk_fs=fs_props("vfat", "FAT32", "NEVER", "4444-DDDD"))
    mounts.save(root)


def labels():
    root = new_case("labels")
    mounts = MountInfo()
    names = [
        (1, "MY\\x20DISK"),             # a blank, which ID_FS_LABEL would show as "_"
        (2, "\\xd6\\xd0\\xce\\xc4"),    # "中文" in CP936, as Windows writes it
        (3, "BAD\\xff\\xff"),           # neither UTF-8 nor CP936
        (4, "\\xe4\\xb8\\xad"),         # "中" already in UTF-8
        (5, "A\\xZZ\\x4"),              # malformed escapes stay as written
        (6, ""),                        # no label at all
    ]
    parts = [(number, fs_props("vfat", "FAT32", label, "5555-%04d" % number), 1000000) for number, label in names]
    major, minor = usb_stick(root, "sdb", 1, 1, partitions=parts)
    for number, _ in names:
        mounts.add(root, "/media/op/L%d" % number, major, minor + number, "vfat", "/dev/sdb%d" % number)
    mounts.save(root)


def broken():
    root = new_case("broken")
    mounts = MountInfo()
    # "removable" that cannot be read, or reads as garbage: never touched.
    usb_stick(root, "sdb", 1, 1, removable=None, partitions=[(1, fs_props("vfat", "FAT32", "NOREAD"), 1000000)])
    os.symlink("../../../../missing", os.path.join(root, "sys/block/sdb/removable"))
    usb_stick(root, "sdc", 2, 2, removable="yes", partitions=[(1, fs_props("vfat", "FAT32", "GARBAGE"), 1000000)])
    # A "size" that cannot be read or is garbage: no medium we could read.
    usb_stick(root, "sdd", 3, 3, size=None, partitions=[(1, fs_props("vfat", "FAT32", "NOSIZE"), 1000000)])
    os.makedirs(os.path.join(root, "sys/block/sdd/size"))
    usb_stick(root, "sde", 4, 4, size="12x", partitions=[(1, fs_props("vfat", "FAT32", "BADSIZE"), 1000000)])
    # A "dev" that is garbage: not a device we can look up.
    usb_stick(root, "sdf", 5, 5, dev="eight:80", partitions=[(1, fs_props("vfat", "FAT32", "BADDEV"), 1000000)])
    # A good stick whose udev records lack fields: no ID_PATH, no label, no ID_FS_USAGE on the second.
    major, minor = 8, 96
    disk(root, "sdg", 6, "devices/pci0000:00/0000:00:14.0/usb1/1-6/1-6:1.0/host11/target11:0:0/11:0:0:0",
         props={}, partitions=[(1, {"ID_FS_TYPE": "vfat", "ID_FS_USAGE": "filesystem"}, 1000000),
                               (2, {"ID_FS_TYPE": "vfat", "ID_FS_VERSION": "FAT32"}, 1000000)])
    mounts.add(root, "/media/op/NOLABEL", major, minor + 1, "vfat", "/dev/sdg1")
    mounts.add(root, "/media/op/NOUSAGE", major, minor + 2, "vfat", "/dev/sdg2")
    # A stick whose file system udev calls something other than a file system.
    major, minor = usb_stick(root, "sdh", 7, 7, partitions=[(1, {"ID_FS_TYPE": "crypto_LUKS", "ID_FS_USAGE": "crypto"}, 1000000)])
    mounts.add(root, "/media/op/CRYPT", major, minor + 1, "vfat", "/dev/sdh1")
    # Lines that are no mountinfo, including ones that name sdg1 but are cut short.
    garbage = ("garbage\n"
               "\n"
               "50 22 8:97 / /media/op/TRUNCATED rw\n"
               "51 22 8:97 / /media/op/NOSEP rw,relatime shared:5 vfat /dev/sdg1 rw\n"
               "52 22 x:y / /media/op/BADDEV rw - vfat /dev/sdg1 rw\n"
               "53 22 8:97 / /media/op/TRAILING\\ rw - vfat\n"
               "\x00\xff\xfe 22 8:97\n")
    mounts.lines[3:3] = [garbage]
    mounts.save(root)


def many_sticks():
    root = new_case("many-sticks")
    mounts = MountInfo()
    count = 23
    for index in range(count):
        # Kernel names run against the port order, so only sorting by port gives F..Z.
        port = count - index
        name = "sd" + chr(ord("b") + index)
        usb_stick(root, name, index + 1, port, partitions=[(1, fs_props("vfat", "FAT32", "P%d" % port), 1000000)])
    mounts.save(root)


def ten_sticks():
    root = new_case("ten-sticks")
    mounts = MountInfo()
    disk(root, "sda", 0, "devices/pci0000:00/0000:00:17.0/ata1/host0/target0:0:0/0:0:0:0", removable="0",
         size="500118192", props={"ID_BUS": "ata", "ID_PATH": "pci-0000:00:17.0-ata-1"},
         partitions=[(1, fs_props("ext4", "1.0", "system"), 500000000)])
    for index in range(10):
        name = "sd" + chr(ord("b") + index)
        label = "STICK%02d" % (index + 1)
        major, minor = usb_stick(root, name, index + 1, index + 1,
                                 partitions=[(1, fs_props("vfat", "FAT32", label, "1000-%04X" % index), 7862272)])
        mounts.add(root, "/media/op/" + label, major, minor + 1, "vfat", "/dev/%s1" % name)
    mounts.save(root)


def guarded_sticks():
    """Sticks the helper programs must refuse, beside a plain one they may work on."""
    root = new_case("guarded-sticks")
    mounts = MountInfo()
    disk(root, "sda", 0, "devices/pci0000:00/0000:00:17.0/ata1/host0/target0:0:0/0:0:0:0", removable="0",
         size="500118192", props={"ID_BUS": "ata", "ID_PATH": "pci-0000:00:17.0-ata-1"},
         partitions=[(1, fs_props("vfat", "FAT32", "SYSTEM"), 500000000)])
    # F: a plain stick.
    major, minor = usb_stick(root, "sdb", 1, 1, partitions=[(1, fs_props("vfat", "FAT32", "PLAIN", "1000-0001"), 32768)])
    mounts.add(root, "/media/op/PLAIN", major, minor + 1, "vfat", "/dev/sdb1")
    # G:, H: a stick the machine runs from: / on its second partition.
    major, minor = usb_stick(root, "sdc", 2, 2, partitions=[(1, fs_props("vfat", "FAT32", "LIVEDATA", "1000-0002"), 32768),
                                                            (2, fs_props("ext4", "1.0", "LIVEROOT"), 32768)])
    mounts.add(root, "/media/op/LIVEDATA", major, minor + 1, "vfat", "/dev/sdc1")
    mounts.add(root, "/", major, minor + 2, "ext4", "/dev/sdc2", make_folder=False)
    # I:, J: a stick with swap in use on its second partition.
    major, minor = usb_stick(root, "sdd", 3, 3, partitions=[(1, fs_props("vfat", "FAT32", "SWAPDATA", "1000-0003"), 32768),
                                                            (2, {"ID_FS_TYPE": "swap", "ID_FS_USAGE": "other"}, 32768)])
    mounts.add(root, "/media/op/SWAPDATA", major, minor + 1, "vfat", "/dev/sdd1")
    write(os.path.join(root, "proc/swaps"), "Filename\t\t\t\tType\t\tSize\t\tUsed\t\tPriority\n"
                                            "/dev/sdd2                               partition\t16380\t\t0\t\t-2\n")
    # K: a stick whose partition holds a device-mapper volume mounted on /home.
    major, minor = usb_stick(root, "sde", 4, 4, partitions=[(1, {"ID_FS_TYPE": "vfat", "ID_FS_USAGE": "filesystem",
                                                                 "ID_FS_VERSION": "FAT32"}, 32768)])
    dm = "sys/devices/virtual/block/dm-0"
    write(os.path.join(root, dm, "dev"), "254:0\n")
    write(os.path.join(root, dm, "removable"), "0\n")
    write(os.path.join(root, dm, "size"), "32768\n")
    link(os.path.join(root, "sys/block/dm-0"), "../devices/virtual/block/dm-0")
    link(os.path.join(root, "sys/class/block/dm-0"), "../../devices/virtual/block/dm-0")
    holders = os.path.realpath(os.path.join(root, "sys/block/sde")) + "/sde1/holders"
    link(os.path.join(holders, "dm-0"), os.path.relpath(os.path.join(root, dm), holders))
    mounts.add(root, "/home", 254, 0, "ext4", "/dev/mapper/home", make_folder=False)
    # L:, M: a card reader, one slot empty, one with a card.
    usb_stick(root, "sdf", 5, 5, lun=0, size="0")
    major, minor = usb_stick(root, "sdg", 6, 5, lun=1, partitions=[(1, fs_props("vfat", "FAT16", "CARD", "1000-0006"), 32768)])
    mounts.add(root, "/media/op/CARD", major, minor + 1, "vfat", "/dev/sdg1")
    # A USB disk that says it is fixed: no letter, whatever it holds.
    major, minor = usb_stick(root, "sdh", 7, 7, removable="0", partitions=[(1, fs_props("vfat", "FAT32", "FIXED"), 32768)])
    mounts.add(root, "/media/op/FIXED", major, minor + 1, "vfat", "/dev/sdh1")
    mounts.save(root)


# The USB identity cases: USB devices with their descriptors, the SCSI inquiry texts and the host name.
USB_DEVICE = "devices/pci0000:00/0000:00:14.0/usb1/1-{port}"


def usb_device(root, port, vendor_id, product_id, serial=None, interface_class="08"):
    """A USB device with one interface, linked from sys/bus/usb/devices as the kernel does."""
    device = USB_DEVICE.format(port=port)
    base = os.path.join(root, "sys", device)
    write(os.path.join(base, "idVendor"), vendor_id + "\n")
    write(os.path.join(base, "idProduct"), product_id + "\n")
    if serial is not None:
        write(os.path.join(base, "serial"), serial + "\n")
    interface = "1-%s:1.0" % port
    write(os.path.join(base, interface, "bInterfaceClass"), interface_class + "\n")
    link(os.path.join(root, "sys/bus/usb/devices/1-%s" % port), "../../../" + device)
    link(os.path.join(root, "sys/bus/usb/devices", interface), "../../../%s/%s" % (device, interface))


def scsi_disk(root, name, index, port, host, lun=0, inquiry=None, block_size=None, **kwargs):
    """A disk on a USB port whose SCSI device carries its inquiry texts, as sd does."""
    devices = USB_DEVICES.format(port=port, host=host, lun=lun)
    result = disk(root, name, index, devices, **kwargs)
    scsi = os.path.join(root, "sys", devices)
    link(os.path.join(scsi, "block", name, "device"), "../..")
    for key, value in (inquiry or {}).items():
        write(os.path.join(scsi, key), value + "\n")
    if block_size is not None:
        write(os.path.join(scsi, "block", name, "queue/logical_block_size"), block_size + "\n")
    return result


def hostname(root, text):
    write(os.path.join(root, "proc/sys/kernel/hostname"), text)


def identity_two_sticks():
    root = new_case("identity-two-sticks")
    mounts = MountInfo()
    hostname(root, "bench-07\n")
    disk(root, "sda", 0, "devices/pci0000:00/0000:00:17.0/ata1/host0/target0:0:0/0:0:0:0", removable="0",
         size="976773168", props={"ID_BUS": "ata", "ID_PATH": "pci-0000:00:17.0-ata-1", "ID_VENDOR": "ATA",
                                  "ID_MODEL": "Samsung_SSD_860_EVO_500GB",
                                  "ID_MODEL_ENC": "Samsung\\x20SSD\\x20860\\x20EVO\\x20500GB",
                                  "ID_REVISION": "RVT04B6Q", "ID_SERIAL_SHORT": "S3Z1NB0K123456A"},
         partitions=[(1, fs_props("ext4", "1.0", "system"), 500000000), (2, None, 400000000)])
    mounts.add(root, "/", 8, 1, "ext4", "/dev/sda1", make_folder=False)
    disk(root, "loop0", 0, "devices/virtual", removable="0", size="0", device=(7, 0), props={})
    disk(root, "sr0", 0, "devices/pci0000:00/0000:00:17.0/ata2/host1/target1:0:0/1:0:0:0", size="0",
         device=(11, 0), props={"ID_CDROM": "1", "ID_BUS": "ata", "ID_PATH": "pci-0000:00:17.0-ata-2"})
    # The kernel named the stick on port 10 first; recent udev writes only the ID_USB_ keys.
    usb_device(root, 10, "1234", "abcd", "AA04012700007245")
    major, minor = scsi_disk(root, "sdb", 1, 10, 6, props={
        "ID_BUS": "usb", "ID_PATH": USB.format(port=10, lun=0), "ID_USB_DRIVER": "usb-storage",
        "ID_USB_VENDOR": "ABC", "ID_USB_VENDOR_ENC": "ABC\\x20\\x20\\x20\\x20\\x20",
        "ID_USB_MODEL": "FLASH_DISK", "ID_USB_MODEL_ENC": "FLASH\\x20DISK\\x20\\x20\\x20\\x20\\x20\\x20",
        "ID_USB_REVISION": "1100", "ID_USB_SERIAL_SHORT": "AA04012700007245",
        "ID_USB_VENDOR_ID": "1234", "ID_USB_MODEL_ID": "abcd"},
        partitions=[(1, fs_props("vfat", "FAT32", "TENTH", "1010-AAAA"), 7862272)])
    mounts.add(root, "/media/op/TENTH", major, minor + 1, "vfat", "/dev/sdb1")
    # Older udev writes only the ID_ keys; the model is longer than a device id takes.
    usb_device(root, 2, "0951", "1666", "07a1b2C3d4")
    major, minor = scsi_disk(root, "sdc", 2, 2, 7, block_size="4096", size="30253056", props={
        "ID_BUS": "usb", "ID_PATH": USB.format(port=2, lun=0), "ID_USB_DRIVER": "usb-storage",
        "ID_VENDOR": "Kingmax", "ID_VENDOR_ENC": "Kingmax\\x20", "ID_MODEL": "USB_Flash_Drive_16GB_Pro",
        "ID_MODEL_ENC": "USB\\x20Flash\\x20Drive\\x2016GB\\x20Pro", "ID_REVISION": "PMAP",
        "ID_SERIAL_SHORT": "07a1b2C3d4", "ID_VENDOR_ID": "0951", "ID_MODEL_ID": "1666"},
        partitions=[(1, fs_props("vfat", "FAT32", "SECOND", "2020-BBBB"), 30251008)])
    mounts.add(root, "/media/op/SECOND", major, minor + 1, "vfat", "/dev/sdc1")
    # A keyboard: a USB device, but no mass storage.
    usb_device(root, 7, "046d", "c31c", interface_class="03")
    mounts.save(root)


def identity_card_reader():
    root = new_case("identity-card-reader")
    hostname(root, "bench-07\n")
    usb_device(root, 4, "058f", "6366", "058F63666433")
    common = {"ID_BUS": "usb", "ID_USB_DRIVER": "usb-storage", "ID_USB_VENDOR": "Generic-",
              "ID_VENDOR": "Generic-", "ID_USB_REVISION": "1.00", "ID_REVISION": "1.00",
              "ID_USB_SERIAL_SHORT": "058F63666433", "ID_SERIAL_SHORT": "058F63666433",
              "ID_USB_VENDOR_ID": "058f", "ID_VENDOR_ID": "058f", "ID_USB_MODEL_ID": "6366",
              "ID_MODEL_ID": "6366"}
    # Both slots on one SCSI host, the first empty.
    scsi_disk(root, "sdb", 1, 4, 6, lun=0, size="0",
              props=dict(common, ID_PATH=USB.format(port=4, lun=0), ID_USB_MODEL="SD/MMC", ID_MODEL="SD/MMC"))
    scsi_disk(root, "sdc", 2, 4, 6, lun=1, size="3862528",
              props=dict(common, ID_PATH=USB.format(port=4, lun=1), ID_USB_MODEL="MS/MS-Pro",
                         ID_MODEL="MS/MS-Pro"),
              partitions=[(1, fs_props("vfat", "FAT16", "CAMERA", "0C1E-55F0"), 3860480)])
    # A stick still being set up: its interface is there, its disk not yet.
    usb_device(root, 5, "0781", "5567", "4C530001230509116373")
    MountInfo().save(root)


def identity_no_serial():
    root = new_case("identity-no-serial")
    usb_device(root, 3, "090c", "1000")
    scsi_disk(root, "sdb", 1, 3, 6, props={
        "ID_BUS": "usb", "ID_PATH": USB.format(port=3, lun=0), "ID_USB_DRIVER": "usb-storage",
        "ID_USB_VENDOR": "SMI", "ID_USB_MODEL": "USB_DISK", "ID_USB_REVISION": "1100",
        "ID_USB_VENDOR_ID": "090c", "ID_USB_MODEL_ID": "1000"},
        partitions=[(1, fs_props("vfat", "FAT32", "NOSERIAL"), 7862272)])
    MountInfo().save(root)


def identity_sd_card():
    root = new_case("identity-sd-card")
    mmc = "devices/platform/soc/fe340000.mmc/mmc_host/mmc0/mmc0:aaaa"
    disk(root, "mmcblk0", 0, mmc, size="62333952", device=(179, 0),
         props={"ID_PATH": "platform-fe340000.mmc", "ID_NAME": "SD32G", "ID_SERIAL": "0x5a3b1c2d"},
         disk_fs=fs_props("vfat", "FAT32", "CARD"))
    # The boot area of an eMMC chip is listed as a disk of its own but is none.
    disk(root, "mmcblk1boot0", 0, "devices/platform/soc/fe2c0000.mmc/mmc_host/mmc1/mmc1:0001",
         removable="0", size="8192", device=(179, 8), props={})
    usb_device(root, 1, "1234", "abcd", "CARDSTICK01")
    scsi_disk(root, "sdb", 1, 1, 6, props={
        "ID_BUS": "usb", "ID_PATH": USB.format(port=1, lun=0), "ID_USB_DRIVER": "usb-storage",
        "ID_USB_VENDOR": "ABC", "ID_USB_MODEL": "FLASH_DISK", "ID_USB_REVISION": "1100",
        "ID_USB_SERIAL_SHORT": "CARDSTICK01", "ID_USB_VENDOR_ID": "1234", "ID_USB_MODEL_ID": "abcd"},
        partitions=[(1, fs_props("vfat", "FAT32", "STICK"), 7862272)])
    MountInfo().save(root)


def identity_hostile():
    root = new_case("identity-hostile")
    hostname(root, " my host\\\"name:\x01\n")
    # No udev record at all: the SCSI inquiry and the USB descriptors are all there is, and they are bad.
    usb_device(root, 1, "zzzz", "1234567", "\x01bad,serial")
    major, minor = scsi_disk(root, "sdb", 1, 1, 6, removable="yes", size="12x", block_size="abc",
                             inquiry={"vendor": "Intenso ", "model": "Rainbow Line    ", "rev": "8.07"})
    os.remove(os.path.join(root, "run/udev/data/b%d:%d" % (major, minor)))
    # A record with hardly any keys, and lines that are no properties.
    usb_device(root, 2, "1b1c", "1a0f", "HOSTILE02")
    major, minor = scsi_disk(root, "sdc", 2, 2, 7, props={"ID_BUS": "usb"})
    with open(os.path.join(root, "run/udev/data/b%d:%d" % (major, minor)), "a", encoding="utf-8") as f:
        f.write("E:\nE:=novalue\nE:ID_VENDOR\ngarbage\x00line\n")
    # Texts that would break the ids and the description if copied as they are.
    usb_device(root, 3, "abcd", "ef01")
    scsi_disk(root, "sdd", 3, 3, 8, props={
        "ID_BUS": "usb", "ID_PATH": USB.format(port=3, lun=0), "ID_USB_VENDOR": "A&B\\C",
        "ID_USB_VENDOR_ENC": "Say\\x22hi\\x22\\x5c\\x0a", "ID_USB_MODEL": "Very_Long_Model_Name_Beyond_Sixteen",
        "ID_USB_REVISION": "1.0.0.0.0", "ID_USB_SERIAL_SHORT": "SER,IAL", "ID_USB_VENDOR_ID": "0x12",
        "ID_USB_MODEL_ID": ""},
        partitions=[(1, fs_props("vfat", "FAT32", "HOSTILE"), 1000000)])
    # A listed disk whose folder is gone.
    link(os.path.join(root, "sys/block/sdz"), "../devices/missing/sdz")
    MountInfo().save(root)


def system_sticks():
    """Sticks holding system mounts that only the mount source gives away, and live media."""
    root = new_case("system-sticks")
    mounts = MountInfo()
    # F:, G: / on btrfs: mountinfo shows an anonymous device number, only the source names sdb2.
    major, minor = usb_stick(root, "sdb", 1, 1, partitions=[(1, fs_props("vfat", "FAT32", "ROOTDATA", "2000-0001"), 32768),
                                                            (2, fs_props("btrfs", "", "ROOT"), 32768)])
    mounts.lines[0] = "22 1 0:31 /@ / rw,relatime shared:1 - btrfs /dev/sdb2 rw,ssd,subvol=/@\n"
    mounts.add(root, "/media/op/ROOTDATA", major, minor + 1, "vfat", "/dev/sdb1")
    # H: the medium a live system runs from.
    major, minor = usb_stick(root, "sdc", 2, 2, partitions=[(1, fs_props("iso9660", "", "LIVE"), 32768)])
    mounts.add(root, "/run/live/medium", major, minor + 1, "iso9660", "/dev/sdc1")
    # I: /home on btrfs inside an encrypted volume on the stick, named by its mapper name only.
    usb_stick(root, "sdd", 3, 3, partitions=[(1, {"ID_FS_TYPE": "crypto_LUKS", "ID_FS_USAGE": "crypto"}, 32768)])
    dm = "sys/devices/virtual/block/dm-1"
    write(os.path.join(root, dm, "dev"), "254:1\n")
    write(os.path.join(root, dm, "dm/name"), "cryptHome\n")
    link(os.path.join(root, "sys/block/dm-1"), "../devices/virtual/block/dm-1")
    link(os.path.join(root, "sys/class/block/dm-1"), "../../devices/virtual/block/dm-1")
    holders = os.path.realpath(os.path.join(root, "sys/block/sdd")) + "/sdd1/holders"
    link(os.path.join(holders, "dm-1"), os.path.relpath(os.path.join(root, dm), holders))
    mounts.add(root, "/home", 0, 40, "btrfs", "/dev/mapper/cryptHome", make_folder=False)
    # J: /boot on btrfs, its source a udev link.
    usb_stick(root, "sde", 4, 4, partitions=[(1, fs_props("btrfs", "", "BOOT", "5e1f0b7a-0c4e-4d2b-8f57-6a1d2e3f4a5b"), 32768)])
    link(os.path.join(root, "dev/disk/by-uuid/5e1f0b7a-0c4e-4d2b-8f57-6a1d2e3f4a5b"), "../../sde1")
    mounts.add(root, "/boot", 0, 42, "btrfs", "/dev/disk/by-uuid/5e1f0b7a-0c4e-4d2b-8f57-6a1d2e3f4a5b",
               make_folder=False)
    # K: a plain stick that happens to hold btrfs.
    major, minor = usb_stick(root, "sdf", 5, 5, partitions=[(1, fs_props("btrfs", "", "BTRFS"), 32768)])
    mounts.add(root, "/media/op/BTRFS", 0, 45, "btrfs", "/dev/sdf1")
    # L: an installation medium.
    major, minor = usb_stick(root, "sdg", 6, 6, partitions=[(1, fs_props("iso9660", "", "INSTALL"), 32768)])
    mounts.add(root, "/cdrom", major, minor + 1, "iso9660", "/dev/sdg1")
    mounts.save(root)


def cdrom_stick():
    """A stick whose controller also shows a CD-ROM on a second LUN, as mass-production tools set them up."""
    root = new_case("cdrom-stick")
    mounts = MountInfo()
    major, minor = usb_stick(root, "sdb", 1, 2, lun=0, partitions=[(1, fs_props("vfat", "FAT32", "STICK"), 32768)])
    mounts.add(root, "/media/op/STICK", major, minor + 1, "vfat", "/dev/sdb1")
    scsi_disk(root, "sr0", 0, 2, 6, lun=1, size="0", device=(11, 0), inquiry={"type": "5"},
              props={"ID_CDROM": "1", "ID_BUS": "usb", "ID_PATH": USB.format(port=2, lun=1)})
    mounts.save(root)


def main():
    for case in (hub_two_sticks, card_reader, odd_partitions, whole_disk, labels, broken, many_sticks, ten_sticks,
                 guarded_sticks, identity_two_sticks, identity_card_reader, identity_no_serial, identity_sd_card,
                 identity_hostile, system_sticks, cdrom_stick):
        case()
    return 0


if __name__ == "__main__":
    sys.exit(main())
