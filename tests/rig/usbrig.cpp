#include "rig/usbrig.h"

#include "platform/linux/sysfs/mountinfo.h"

#include <QTest>
#include <libudev.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <set>
#include <stdexcept>
#include <unistd.h>

namespace dravex::rig {

namespace fs = std::filesystem;

namespace {

const fs::path kGadgets = "/sys/kernel/config/usb_gadget";
const fs::path kImages = "/tmp/rig/sticks";
constexpr uint64_t kPartitionStart = 1u << 20; // 2048 sectors, as partitioning tools align it
constexpr int kEventTimeoutMs = 60000;

[[noreturn]] void fail(const std::string &what) {
    throw std::runtime_error("rig: " + what);
}

// configfs takes one write per attribute; the kernel's answer is the errno of that write.
void writeAttribute(const fs::path &path, const std::string &value) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        fail("cannot open " + path.string() + ": " + std::strerror(errno));
    const std::string text = value + "\n";
    const ssize_t written = ::write(fd, text.data(), text.size());
    const int error = errno;
    ::close(fd);
    if (written != static_cast<ssize_t>(text.size()))
        fail("cannot write '" + value + "' to " + path.string() + ": " + std::strerror(error));
}

void mustRun(const std::vector<std::string> &arguments) {
    const RunResult result = run(arguments);
    if (result.exitCode != 0)
        fail(arguments.front() + " exited with " + std::to_string(result.exitCode) + ": " + result.err);
}

std::string trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

fs::path gadget(int port) {
    return kGadgets / ("rig" + std::to_string(port));
}

std::string portFolder(int port) {
    return "/dummy_hcd." + std::to_string(port) + "/";
}

// An MBR with one primary partition from 1 MiB to the end, of the type Windows gives that file system.
void writePartitionTable(const fs::path &image, uint64_t bytes, const std::string &fileSystem, int port) {
    std::array<unsigned char, 512> sector{};
    const uint32_t disk = 0x52494700u + static_cast<uint32_t>(port);
    std::memcpy(&sector[440], &disk, 4);
    unsigned char *entry = &sector[446];
    entry[0] = 0x00;
    entry[1] = 0xFE, entry[2] = 0xFF, entry[3] = 0xFF; // CHS beyond reach: LBA only
    entry[4] = fileSystem == "exfat" ? 0x07 : fileSystem == "fat32" ? 0x0C : 0x0E;
    entry[5] = 0xFE, entry[6] = 0xFF, entry[7] = 0xFF;
    const uint32_t start = kPartitionStart / 512;
    const uint32_t count = static_cast<uint32_t>(bytes / 512) - start;
    std::memcpy(&entry[8], &start, 4);
    std::memcpy(&entry[12], &count, 4);
    sector[510] = 0x55;
    sector[511] = 0xAA;
    std::fstream out(image, std::ios::in | std::ios::out | std::ios::binary);
    out.write(reinterpret_cast<const char *>(sector.data()), sector.size());
    if (!out)
        fail("cannot write the partition table of " + image.string());
}

// A loop device over a file-system image, detached again when it goes.
class LoopDevice {
public:
    explicit LoopDevice(const fs::path &image) {
        const RunResult result = run({"losetup", "--find", "--show", image.string()});
        if (result.exitCode != 0)
            fail("losetup " + image.string() + ": " + result.err);
        m_device = trimmed(result.out);
    }
    ~LoopDevice() { run({"losetup", "--detach", m_device}); }
    const std::string &device() const { return m_device; }

private:
    std::string m_device;
};

} // namespace

void note(const std::string &what) {
    static const auto start = std::chrono::steady_clock::now();
    const auto tenths =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
            .count() /
        100;
    std::fprintf(stderr, "[ rig %4lld.%lld ] %s\n", static_cast<long long>(tenths / 10),
                 static_cast<long long>(tenths % 10), what.c_str());
}

std::string portPath(int port) {
    return "platform-dummy_hcd." + std::to_string(port) + "-usb-0:1:1.0-scsi-0:0:0:0";
}

std::vector<std::string> mountPointsOf(const std::string &device) {
    std::ifstream in("/proc/self/mountinfo");
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> points;
    for (const MountEntry &entry : parseMountInfo(text))
        if (entry.source == device)
            points.push_back(entry.mountPoint);
    return points;
}

UsbRig::UsbRig() {
    fs::create_directories(kImages);
    m_udev = udev_new();
    m_monitor = m_udev ? udev_monitor_new_from_netlink(m_udev, "udev") : nullptr;
    if (!m_monitor || udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "block", "disk") < 0 ||
        udev_monitor_enable_receiving(m_monitor) < 0)
        fail("no udev monitor");
    // Gadgets left by an earlier rig in this guest would hold their ports.
    for (int port = 0; port < kPorts; ++port)
        if (fs::exists(gadget(port)))
            pull(port);
}

UsbRig::~UsbRig() {
    try {
        pullAll();
    } catch (const std::exception &) {
        // The guest goes down after the tests; a gadget left behind harms nothing there.
    }
    udev_monitor_unref(m_monitor);
    udev_unref(m_udev);
}

std::string UsbRig::image(int port) const {
    return (kImages / ("port" + std::to_string(port) + ".img")).string();
}

void UsbRig::makeImage(int port, const UsbStick &stick) {
    const fs::path path = image(port);
    fs::remove(path);
    m_flash.erase(port);
    const uint64_t bytes = uint64_t{stick.sizeMiB} << 20;
    const bool counterfeit = stick.flash != Flash::Genuine && stick.flash != Flash::Slow;
    std::ofstream(path, std::ios::binary).close();
    fs::resize_file(path, counterfeit ? uint64_t{stick.realMiB} << 20 : bytes);
    // The partition table and the file system go onto the addresses the stick claims.
    fs::path target = path;
    if (stick.flash != Flash::Genuine) {
        m_flash[port] = std::make_unique<MappedFlash>(port, path.string(), stick.sizeMiB, stick.flash,
                                                      stick.realMiB, stick.delayMs);
        target = m_flash[port]->device();
    }
    if (stick.partitioned)
        writePartitionTable(target, bytes, stick.fileSystem, port);
    if (stick.fileSystem.empty())
        return;
    // The file system is made in a file of its own and laid into the partition afterwards: no loop device,
    // so neither udev nor UDisks2 has anything to do until the stick is plugged.
    const fs::path area = stick.partitioned ? fs::path(path.string() + ".part") : target;
    if (stick.partitioned) {
        std::ofstream(area, std::ios::binary).close();
        fs::resize_file(area, bytes - kPartitionStart);
    }
    std::vector<std::string> mkfs;
    if (stick.fileSystem == "exfat") {
        mkfs = {"mkfs.exfat"};
        if (!stick.label.empty())
            mkfs.insert(mkfs.end(), {"-L", stick.label});
    } else if (stick.fileSystem == "vfat" || stick.fileSystem == "fat32") {
        mkfs = {"mkfs.vfat"};
        if (stick.fileSystem == "fat32")
            mkfs.insert(mkfs.end(), {"-F", "32"});
        if (!stick.label.empty())
            mkfs.insert(mkfs.end(), {"-n", stick.label});
    } else {
        fail("no file system " + stick.fileSystem);
    }
    mkfs.push_back(area.string());
    mustRun(mkfs);
    if (!stick.files.empty())
        writeFiles(area.string(), stick.fileSystem, stick.files);
    if (stick.partitioned) {
        // Sparse, so the image keeps no more than the file system wrote.
        mustRun({"dd", "if=" + area.string(), "of=" + target.string(), "bs=1M",
                 "seek=" + std::to_string(kPartitionStart >> 20), "conv=notrunc,sparse", "status=none"});
        fs::remove(area);
    }
}

void UsbRig::writeFiles(const std::string &image, const std::string &fileSystem,
                        const std::map<std::string, std::string> &files) {
    LoopDevice loop(image);
    const fs::path mountPoint = fs::path("/tmp/rig/fill") / fs::path(image).filename();
    fs::create_directories(mountPoint);
    mustRun({"mount", "-t", fileSystem == "exfat" ? "exfat" : "vfat", "-o",
             fileSystem == "exfat" ? "iocharset=utf8" : "utf8", loop.device(), mountPoint.string()});
    bool written = true;
    for (const auto &[name, content] : files) {
        const fs::path target = mountPoint / fs::u8path(name);
        if (!name.empty() && name.back() == '/') {
            fs::create_directories(target);
            continue;
        }
        fs::create_directories(target.parent_path());
        std::ofstream out(target, std::ios::binary);
        out << content;
        written = written && static_cast<bool>(out);
    }
    mustRun({"umount", mountPoint.string()});
    if (!written)
        fail("cannot write the files of " + image);
}

void UsbRig::configureGadget(int port, const UsbStick &stick) const {
    const fs::path g = gadget(port);
    fs::create_directories(g);
    const fs::path strings = g / "strings/0x409";
    const fs::path function = g / "functions/mass_storage.0";
    const fs::path config = g / "configs/c.1";
    fs::create_directories(strings);
    fs::create_directories(function);
    fs::create_directories(config);
    writeAttribute(g / "idVendor", "0x" + stick.vid);
    writeAttribute(g / "idProduct", "0x" + stick.pid);
    writeAttribute(g / "bcdUSB", "0x0200");
    writeAttribute(strings / "serialnumber", stick.serial);
    writeAttribute(strings / "manufacturer", stick.manufacturer);
    writeAttribute(strings / "product", stick.product);
    const fs::path lun = function / "lun.0";
    writeAttribute(lun / "removable", stick.removable ? "1" : "0");
    writeAttribute(lun / "ro", stick.writeProtected ? "1" : "0");
    writeAttribute(lun / "inquiry_string", stick.inquiry);
    const auto flash = m_flash.find(port);
    writeAttribute(lun / "file", flash != m_flash.end() ? flash->second->device() : image(port));
    unsigned next = 1;
    for (unsigned slot = 0; slot < stick.emptySlots; ++slot, ++next) {
        const fs::path empty = function / ("lun." + std::to_string(next));
        fs::create_directories(empty);
        writeAttribute(empty / "removable", "1");
        writeAttribute(empty / "inquiry_string", stick.inquiry);
    }
    if (stick.cdrom) {
        const fs::path disc = function / ("lun." + std::to_string(next));
        const std::string discImage = image(port) + ".iso";
        std::ofstream(discImage, std::ios::binary).close();
        fs::resize_file(discImage, 1u << 20);
        fs::create_directories(disc);
        writeAttribute(disc / "removable", "1");
        writeAttribute(disc / "cdrom", "1");
        writeAttribute(disc / "ro", "1");
        writeAttribute(disc / "inquiry_string", stick.inquiry);
        writeAttribute(disc / "file", discImage);
    }
    fs::create_symlink(function, config / "mass_storage.0");
}

void UsbRig::bind(int port) {
    writeAttribute(gadget(port) / "UDC", "dummy_udc." + std::to_string(port));
    m_bound[port] = true;
}

std::string UsbRig::plug(int port, const UsbStick &stick) {
    return plugAll({{port, stick}}).front();
}

std::vector<std::string> UsbRig::plugAll(const std::map<int, UsbStick> &sticks) {
    std::vector<int> ports;
    for (const auto &[port, stick] : sticks) {
        if (port < 0 || port >= kPorts)
            fail("no port " + std::to_string(port));
        if (isPlugged(port))
            pull(port);
        makeImage(port, stick);
        configureGadget(port, stick);
        ports.push_back(port);
    }
    std::string names;
    for (int port : ports) {
        bind(port);
        names += " " + std::to_string(port);
    }
    note("plugging port" + names);
    waitForDisks(ports, true);
    std::vector<std::string> disks;
    for (int port : ports) {
        const auto name = disk(port);
        if (!name)
            fail("no disk on port " + std::to_string(port) + " after its add event");
        disks.push_back(*name);
    }
    note("plugged");
    return disks;
}

void UsbRig::pull(int port) {
    const fs::path g = gadget(port);
    if (!fs::exists(g))
        return;
    const bool present = disk(port).has_value();
    std::ifstream udc(g / "UDC");
    std::string boundTo;
    std::getline(udc, boundTo);
    if (!boundTo.empty()) {
        note("pulling port " + std::to_string(port));
        writeAttribute(g / "UDC", "");
    }
    m_bound[port] = false;
    if (present)
        waitForDisks({port}, false);
    // Taken apart in the reverse order of its making, as configfs requires.
    std::error_code ignored;
    fs::remove(g / "configs/c.1/mass_storage.0", ignored);
    for (unsigned lun = 1; fs::exists(g / ("functions/mass_storage.0/lun." + std::to_string(lun))); ++lun)
        ::rmdir((g / ("functions/mass_storage.0/lun." + std::to_string(lun))).c_str());
    for (const char *folder : {"configs/c.1", "functions/mass_storage.0", "strings/0x409", ""})
        ::rmdir((g / folder).c_str());
    m_flash.erase(port);
    fs::remove(image(port), ignored);
    fs::remove(image(port) + ".iso", ignored);
    fs::remove(image(port) + ".table", ignored);
}

void UsbRig::pullAll() {
    for (int port = 0; port < kPorts; ++port)
        pull(port);
}

void UsbRig::suspend(int port) {
    const auto flash = m_flash.find(port);
    if (flash == m_flash.end())
        fail("port " + std::to_string(port) + " has no mapped flash to suspend");
    flash->second->suspend();
}

void UsbRig::resume(int port) {
    const auto flash = m_flash.find(port);
    if (flash != m_flash.end())
        flash->second->resume();
}

bool UsbRig::isPlugged(int port) const {
    const auto found = m_bound.find(port);
    return found != m_bound.end() && found->second;
}

std::optional<std::string> UsbRig::disk(int port) const {
    for (const auto &entry : fs::directory_iterator("/sys/block")) {
        std::error_code error;
        const std::string target = fs::canonical(entry.path(), error).string();
        if (!error && target.find(portFolder(port)) != std::string::npos)
            return entry.path().filename().string();
    }
    return std::nullopt;
}

std::optional<std::string> UsbRig::volumeDevice(int port) const {
    const auto name = disk(port);
    if (!name)
        return std::nullopt;
    if (fs::exists("/sys/block/" + *name + "/" + *name + "1"))
        return "/dev/" + *name + "1";
    return "/dev/" + *name;
}

std::string UsbRig::checksum(int port) const {
    const RunResult result = run({"sha256sum", image(port)});
    if (result.exitCode != 0)
        fail("sha256sum " + image(port) + ": " + result.err);
    return result.out.substr(0, result.out.find(' '));
}

void UsbRig::waitForDisks(const std::vector<int> &ports, bool added) {
    std::set<int> waiting(ports.begin(), ports.end());
    const char *wanted = added ? "add" : "remove";
    const int fd = udev_monitor_get_fd(m_monitor);
    while (!waiting.empty()) {
        pollfd ready{fd, POLLIN, 0};
        const int count = ::poll(&ready, 1, kEventTimeoutMs);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            fail(std::string("no udev ") + wanted + " event for port " + std::to_string(*waiting.begin()));
        udev_device *device = udev_monitor_receive_device(m_monitor);
        if (!device)
            continue;
        const char *action = udev_device_get_action(device);
        const std::string path = udev_device_get_devpath(device);
        if (action && std::strcmp(action, wanted) == 0)
            for (auto port = waiting.begin(); port != waiting.end(); ++port)
                if (path.find(portFolder(*port)) != std::string::npos) {
                    waiting.erase(port);
                    break;
                }
        udev_device_unref(device);
    }
    // The partitions' events come right behind their disk's.
    mustRun({"udevadm", "settle", "--timeout=60"});
}

namespace {

constexpr const char *kSystemServices = "/usr/share/dbus-1/system-services";

} // namespace

WithoutUDisks2::WithoutUDisks2() {
    run({"mount", "-t", "tmpfs", "tmpfs", kSystemServices});
    run({"dbus-send", "--system", "--print-reply", "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
         "org.freedesktop.DBus.ReloadConfig"});
    run({"pkill", "-x", "udisksd"});
    while (run({"pidof", "udisksd"}).exitCode == 0)
        QTest::qWait(20);
}

WithoutUDisks2::~WithoutUDisks2() {
    run({"umount", kSystemServices});
    run({"start-stop-daemon", "--start", "--background", "--exec", "/usr/libexec/udisks2/udisksd"});
    run({"gdbus", "wait", "--system", "--timeout", "60", "org.freedesktop.UDisks2"});
}

} // namespace dravex::rig
