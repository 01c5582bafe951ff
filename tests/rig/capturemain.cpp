// Plugs the situations our fixture trees stand for into the rig and captures each as a fixture tree:
//
//   rig_capture <folder to put the cases in>
//
// Runs inside the rig's guest only (tests/rig/capture-fixtures.sh starts it there).
#include "rig/usbrig.h"

#include <cstdio>
#include <functional>
#include <iostream>

namespace {

using dravex::rig::run;
using dravex::rig::UsbRig;
using dravex::rig::UsbStick;

struct Scenario {
    const char *name;
    std::map<int, UsbStick> sticks;
    // Runs after plugging, before the capture; undone by undo after it.
    std::function<void(UsbRig &)> prepare = [](UsbRig &) {};
    std::function<void(UsbRig &)> undo = [](UsbRig &) {};
};

std::string two(int number) {
    return (number < 10 ? "0" : "") + std::to_string(number);
}

UsbStick stick(int port, const std::string &fileSystem = "vfat") {
    UsbStick stick;
    stick.label = "STICK" + two(port);
    stick.serial = "RIG" + two(port) + "A4C3FAE22BE";
    stick.fileSystem = fileSystem;
    stick.sizeMiB = fileSystem == "fat32" ? 40 : 16;
    return stick;
}

// Mounts every file system on the plugged sticks through UDisks2, as the tool does.
void mountAll(UsbRig &rig) {
    for (int port = 0; port < UsbRig::kPorts; ++port)
        if (const auto device = rig.volumeDevice(port))
            run({"udisksctl", "mount", "--no-user-interaction", "-b", *device});
}

std::vector<Scenario> scenarios() {
    std::vector<Scenario> all;

    Scenario ten{"rig-ten-sticks", {}};
    for (int port = 0; port < 10; ++port)
        ten.sticks[port] = stick(port, port == 2 ? "fat32" : port == 4 ? "exfat" : "vfat");
    ten.sticks[5].writeProtected = true;
    ten.sticks[7].partitioned = false;
    ten.prepare = mountAll;
    all.push_back(ten);

    Scenario many = ten;
    many.name = "rig-eleven-sticks";
    many.sticks[10] = stick(10);
    all.push_back(many);

    Scenario reader{"rig-card-reader", {}};
    reader.sticks[0] = stick(0);
    reader.sticks[0].vid = "05E3", reader.sticks[0].pid = "0751";
    reader.sticks[0].manufacturer = "Generic", reader.sticks[0].product = "USB Storage";
    reader.sticks[0].inquiry = "Generic STORAGE DEVICE  1404";
    reader.sticks[0].emptySlots = 3;
    reader.prepare = mountAll;
    all.push_back(reader);

    Scenario cdrom{"rig-cdrom-stick", {}};
    cdrom.sticks[0] = stick(0);
    cdrom.sticks[0].cdrom = true;
    cdrom.prepare = mountAll;
    all.push_back(cdrom);

    Scenario whole{"rig-whole-disk", {}};
    whole.sticks[0] = stick(0);
    whole.sticks[0].partitioned = false;
    whole.sticks[1] = stick(1, "");
    whole.sticks[2] = stick(2, "exfat");
    whole.sticks[2].partitioned = false;
    whole.sticks[2].writeProtected = true;
    whole.prepare = mountAll;
    all.push_back(whole);

    Scenario guarded{"rig-guarded-sticks", {}};
    guarded.sticks[0] = stick(0);
    guarded.sticks[0].removable = false;
    guarded.sticks[1] = stick(1);
    guarded.sticks[2] = stick(2, "");
    guarded.sticks[3] = stick(3);
    guarded.prepare = [](UsbRig &rig) {
        run({"mount", "-o", "ro", rig.volumeDevice(1).value_or(""), "/home"});
        run({"mkswap", rig.volumeDevice(2).value_or("")});
        run({"swapon", rig.volumeDevice(2).value_or("")});
        run({"udisksctl", "mount", "--no-user-interaction", "-b", rig.volumeDevice(3).value_or("")});
    };
    guarded.undo = [](UsbRig &rig) {
        run({"swapoff", rig.volumeDevice(2).value_or("")});
        run({"umount", "/home"});
    };
    all.push_back(guarded);

    Scenario identity{"rig-identity", {}};
    identity.sticks[0] = stick(0);
    identity.sticks[1] = stick(1);
    identity.sticks[1].serial.clear();
    identity.sticks[1].vid = "090C", identity.sticks[1].pid = "1000";
    identity.sticks[1].inquiry = "SMI     USB DISK        1100";
    identity.sticks[2] = stick(2);
    identity.sticks[2].serial = "0123456789abcdef";
    identity.sticks[2].vid = "058F", identity.sticks[2].pid = "6387";
    identity.sticks[2].manufacturer = "Générique", identity.sticks[2].product = "Flash Disk";
    identity.sticks[2].inquiry = "Generic Flash Disk      8.07";
    identity.sticks[3] = stick(3, "fat32");
    identity.sticks[3].label = "NO NAME";
    identity.prepare = mountAll;
    all.push_back(identity);
    return all;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::cerr << "usage: rig_capture <folder to put the cases in>" << std::endl;
        return 2;
    }
    const std::string script = std::string(DRAVEX_SOURCE_FOLDER) + "/tests/data/sysroots/capture-sysroot.sh";
    int failures = 0;
    try {
        UsbRig rig;
        for (Scenario &scenario : scenarios()) {
            dravex::rig::note(std::string("capturing ") + scenario.name);
            rig.plugAll(scenario.sticks);
            scenario.prepare(rig);
            run({"udevadm", "settle"});
            // Captured in the guest's memory and copied out at once: the build folder is synchronous 9p.
            run({"mkdir", "-p", "/tmp/rig/captures"});
            const auto captured = run({script, scenario.name, "/tmp/rig/captures"});
            const auto copied = run({"cp", "-a", std::string("/tmp/rig/captures/") + scenario.name, argv[1]});
            if (captured.exitCode != 0 || copied.exitCode != 0) {
                std::cerr << scenario.name << ": " << captured.err << copied.err << std::endl;
                ++failures;
            }
            scenario.undo(rig);
            rig.pullAll();
        }
    } catch (const std::exception &error) {
        std::cerr << error.what() << std::endl;
        return 1;
    }
    return failures == 0 ? 0 : 1;
}
