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


def main():
    for case in (hub_two_sticks, card_reader, odd_partitions, whole_disk, labels, broken, many_sticks, ten_sticks,
                 guarded_sticks):
        case()
    return 0


if __name__ == "__main__":
    sys.exit(main())
