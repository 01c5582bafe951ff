#pragma once

#include "platform/processcapture.h"
#include "rig/flashmap.h"

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct udev;
struct udev_monitor;

namespace dravex::rig {

// One USB stick as the rig makes it: a configfs mass-storage gadget on one of dummy_hcd's ports, backed by
// an image file in the guest.
struct UsbStick {
    std::string vid = "0951";
    std::string pid = "1666";
    std::string serial = "RIG0000000001";
    std::string manufacturer = "Kingston";
    std::string product = "DataTraveler 3.0";
    // The SCSI INQUIRY text: vendor (8), product (16) and revision (4), as the stick's controller reports it.
    std::string inquiry = "KingstonDataTraveler 3.0PMAP";
    unsigned sizeMiB = 32;
    // "vfat" (FAT12 or FAT16, as mkfs.vfat picks for the size), "fat32", "exfat", or empty for none.
    std::string fileSystem = "vfat";
    std::string label;
    // Relative path (UTF-8, "/" between folders) and content; a path ending in "/" is an empty folder.
    std::map<std::string, std::string> files;
    bool writeProtected = false;
    bool removable = true;
    // One MBR partition over the whole stick, as sticks are sold; false puts the file system on the disk.
    bool partitioned = true;
    // Further LUNs behind the same USB device: card-reader slots without a card, and a CD-ROM (as the
    // U3 sticks carried) holding a blank 1 MiB disc.
    unsigned emptySlots = 0;
    bool cdrom = false;
    // A counterfeit or slow stick (MappedFlash): sizeMiB is then what it claims, realMiB the flash it has.
    Flash flash = Flash::Genuine;
    unsigned realMiB = 0;
    unsigned delayMs = 0;
};

using RunResult = ProcessResult;

// One line of progress on standard error, with the seconds since the rig started: the console log then
// shows where a run stood when it stopped.
void note(const std::string &what);

// Runs a program without a shell, standard input on /dev/null.
inline RunResult run(const std::vector<std::string> &arguments) {
    return runCaptured(arguments);
}

// The guest's USB host with its eleven ports. Plugging waits until udev has announced the disk (and its
// partitions) and the machine's udev queue is empty; pulling waits until the disk is gone the same way.
class UsbRig {
public:
    static constexpr int kPorts = 11;

    UsbRig();
    ~UsbRig();
    UsbRig(const UsbRig &) = delete;
    UsbRig &operator=(const UsbRig &) = delete;

    // Makes the stick's image and plugs it in; the disk's kernel name ("sdb").
    std::string plug(int port, const UsbStick &stick);
    // Plugs several sticks at once (all gadgets bound before any wait), in port order.
    std::vector<std::string> plugAll(const std::map<int, UsbStick> &sticks);
    void pull(int port);
    void pullAll();
    // Whether the port's gadget is bound (its stick plugged, even if the host powered it off since).
    bool isPlugged(int port) const;

    // The disk's kernel name while the stick is plugged and the kernel still shows it.
    std::optional<std::string> disk(int port) const;
    // The block device that holds the stick's file system: the partition, or the whole disk.
    std::optional<std::string> volumeDevice(int port) const;
    // The stick's flash: as large as it claims, or a counterfeit's real flash.
    std::string image(int port) const;
    // A stick with MappedFlash stops answering every request, or answers again.
    void suspend(int port);
    void resume(int port);
    // SHA-256 of the stick's whole image.
    std::string checksum(int port) const;

    // Writes files into a file-system image through a loop device.
    static void writeFiles(const std::string &image, const std::string &fileSystem,
                           const std::map<std::string, std::string> &files);

private:
    void makeImage(int port, const UsbStick &stick);
    void configureGadget(int port, const UsbStick &stick) const;
    void bind(int port);
    // Waits for udev's add (or remove) event of the disks on these ports, then for the udev queue.
    void waitForDisks(const std::vector<int> &ports, bool added);

    struct udev *m_udev = nullptr;
    struct udev_monitor *m_monitor = nullptr;
    std::map<int, bool> m_bound;
    std::map<int, std::unique_ptr<MappedFlash>> m_flash;
};

// A machine without UDisks2: the service is stopped and cannot be started on demand until this goes.
class WithoutUDisks2 {
public:
    WithoutUDisks2();
    ~WithoutUDisks2();
    WithoutUDisks2(const WithoutUDisks2 &) = delete;
    WithoutUDisks2 &operator=(const WithoutUDisks2 &) = delete;
};

// The gadget's port as the udev ID_PATH of its disk names it:
// "platform-dummy_hcd.3-usb-0:1:1.0-scsi-0:0:0:0".
std::string portPath(int port);

// Where the machine has mounted a block device ("/dev/sdb1"), from /proc/self/mountinfo.
std::vector<std::string> mountPointsOf(const std::string &device);

} // namespace dravex::rig
