#include "demo/benchcli.h"

#include "platform/sim/simbench.h"
#include "platform/sim/stickdescriptor.h"

#include <map>

namespace dravex {

namespace {

constexpr size_t kLabelCharacters = 11;

bool hasControlCharacter(const std::string &text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return true;
    return false;
}

size_t characterCount(const std::string &utf8) {
    size_t count = 0;
    for (char c : utf8)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
            ++count;
    return count;
}

bool isUsbId(const std::string &text) {
    if (text.size() != 4)
        return false;
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f')))
            return false;
    return true;
}

std::string upper(std::string text) {
    for (char &c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

// The tool looks at F to Z only; a stick at A to E would never show.
std::optional<char> parseLetter(const std::string &text) {
    if (text.empty() || text.size() > 2 || (text.size() == 2 && text[1] != ':'))
        return std::nullopt;
    const char letter = upper(text.substr(0, 1))[0];
    if (letter < 'F' || letter > 'Z')
        return std::nullopt;
    return letter;
}

std::string sizeText(uint64_t bytes) {
    if (bytes != 0 && bytes % (1ull << 30) == 0)
        return std::to_string(bytes >> 30) + "G";
    if (bytes != 0 && bytes % (1ull << 20) == 0)
        return std::to_string(bytes >> 20) + "M";
    return std::to_string(bytes) + " bytes";
}

int badArguments(std::ostream &err, const std::string &why) {
    err << "dravex-bench: " << why << "\n\n" << benchUsage();
    return kBenchBadArguments;
}

bool isCommand(const std::string &word) {
    return word == "plug" || word == "unplug" || word == "lock" || word == "unlock" || word == "list";
}

int failed(std::ostream &err, const std::string &why) {
    err << "dravex-bench: " << why << "\n";
    return kBenchFailed;
}

void listSticks(SimBench &bench, std::ostream &out) {
    bench.refreshDriveList();
    bool any = false;
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        const SimDrive *drive = bench.drive(letter);
        if (!drive)
            continue;
        any = true;
        out << letter << ":  \"" << drive->label << "\"  " << drive->fileSystem << "  "
            << sizeText(drive->totalBytes) << ", " << bench.usedBytes(letter) << " bytes used";
        if (!drive->mediumPresent)
            out << "  no medium";
        if (drive->locked)
            out << "  locked";
        if (!drive->vendor.empty() || !drive->product.empty())
            out << "  " << drive->vendor << " " << drive->product << " " << drive->revision;
        if (!drive->serial.empty())
            out << "  serial " << drive->serial;
        if (!drive->vendorId.empty())
            out << "  " << drive->vendorId << ":" << drive->productId;
        out << "\n";
    }
    if (!any)
        out << "no sticks\n";
    for (const std::string &problem : bench.descriptorProblems())
        out << "left out: " << problem << "\n";
}

// The stick that plug's options describe, or why there is none.
struct PlugRequest {
    std::optional<SimDrive> drive;
    std::string problem;
};

PlugRequest refused(const std::string &why) {
    PlugRequest request;
    request.problem = why;
    return request;
}

PlugRequest parsePlug(char letter, const std::vector<std::string> &options) {
    std::map<std::string, std::string> values;
    bool locked = false;
    bool noMedium = false;
    static const char *const kValued[] = {"--label",   "--size",     "--real",   "--fs",  "--vendor",
                                          "--product", "--revision", "--serial", "--vid", "--pid"};
    for (size_t i = 0; i < options.size(); ++i) {
        const std::string &option = options[i];
        if (option == "--locked" || option == "--no-medium") {
            bool &flag = option == "--locked" ? locked : noMedium;
            if (flag)
                return refused(option + " given twice");
            flag = true;
            continue;
        }
        bool known = false;
        for (const char *name : kValued)
            known = known || option == name;
        if (!known)
            return refused("unknown option \"" + option + "\"");
        if (i + 1 == options.size())
            return refused(option + " needs a value");
        if (!values.emplace(option, options[++i]).second)
            return refused(option + " given twice");
    }

    SimDrive drive;
    drive.letter = letter;
    if (!values.count("--size"))
        return refused("plug needs --size, e.g. --size 16G");
    const auto size = parseSize(values["--size"]);
    if (!size)
        return refused("bad size \"" + values["--size"] + "\": bytes, or a number with K, M or G");
    drive.totalBytes = *size;
    if (values.count("--real")) {
        drive.realBytes = parseSize(values["--real"]);
        if (!drive.realBytes || *drive.realBytes >= *size)
            return refused("--real is a size below --size, e.g. --size 16G --real 8G");
    }
    drive.label = values["--label"];
    if (hasControlCharacter(drive.label) || characterCount(drive.label) > kLabelCharacters)
        return refused("a label has at most 11 characters and no control characters");
    if (values.count("--fs")) {
        const std::string fileSystem = upper(values["--fs"]);
        if (fileSystem != "FAT" && fileSystem != "FAT32" && fileSystem != "EXFAT" && fileSystem != "NTFS")
            return refused("--fs is FAT, FAT32, exFAT or NTFS");
        drive.fileSystem = fileSystem == "EXFAT" ? "exFAT" : fileSystem;
    }
    for (const char *name : {"--vendor", "--product", "--revision", "--serial"})
        if (hasControlCharacter(values[name]))
            return refused(std::string(name) + " has a control character");
    drive.vendor = values["--vendor"];
    drive.product = values["--product"];
    drive.revision = values["--revision"];
    drive.serial = values["--serial"];
    if (values.count("--vid") != values.count("--pid"))
        return refused("--vid and --pid go together");
    if (values.count("--vid")) {
        if (!isUsbId(values["--vid"]) || !isUsbId(values["--pid"]))
            return refused("--vid and --pid are four hex digits each, e.g. --vid 090C --pid 1000");
        drive.vendorId = upper(values["--vid"]);
        drive.productId = upper(values["--pid"]);
    }
    drive.locked = locked;
    drive.mediumPresent = !noMedium;

    PlugRequest request;
    request.drive = drive;
    return request;
}

int plug(SimBench &bench, const SimDrive &drive, std::ostream &out, std::ostream &err) {
    const char letter = drive.letter;
    bench.refreshDriveList();
    if (bench.drive(letter))
        return failed(err, std::string(1, letter) + ": holds a stick already; unplug it first");
    bench.plug(drive);
    bench.refreshDriveList();
    if (!bench.drive(letter))
        return failed(err, "could not write the stick's descriptor in " + bench.sticksFolder().string());
    out << "plugged " << letter << ": into " << bench.sticksFolder().string() << "\n";
    return kBenchDone;
}

} // namespace

std::string benchUsage() {
    return "usage: dravex-bench [FOLDER] COMMAND\n"
           "\n"
           "Plugs, pulls and locks the simulated sticks of a bench folder, the one dravex-demo shows.\n"
           "Without FOLDER: the folder DRAVEX_BENCH names, else the demo bench of this build\n"
           "(build/demo-bench, which ./run demo shows).\n"
           "\n"
           "commands:\n"
           "  plug LETTER --size SIZE [--label TEXT] [--fs FAT|FAT32|exFAT|NTFS]\n"
           "       [--vendor TEXT] [--product TEXT] [--revision TEXT] [--serial TEXT]\n"
           "       [--vid XXXX --pid XXXX] [--locked] [--no-medium] [--real SIZE]\n"
           "                   a new stick; SIZE in bytes or with K, M, G (powers of two): 16G, 512M;\n"
           "                   --real makes it a counterfeit that holds only that much\n"
           "  unplug LETTER    pulls the stick and everything on it\n"
           "  lock LETTER      sets the write-protect switch\n"
           "  unlock LETTER    releases it\n"
           "  list             the sticks, and any descriptor that is left out\n"
           "\n"
           "LETTER is F to Z, with or without \":\". The files on a stick are the folder\n"
           "FOLDER/sticks/LETTER; copy files there to put them on the stick.\n"
           "\n"
           "exit status: 0 done, 1 the bench could not do it, 2 bad arguments\n";
}

int runBenchCli(std::vector<std::string> arguments, const std::string &defaultFolder, std::ostream &out,
                std::ostream &err) {
    if (arguments.size() == 1 && (arguments[0] == "--help" || arguments[0] == "-h")) {
        out << benchUsage();
        return kBenchDone;
    }
    if (!arguments.empty() && isCommand(arguments[0])) {
        if (defaultFolder.empty())
            return badArguments(err, "no bench folder: name one, or set DRAVEX_BENCH");
        arguments.insert(arguments.begin(), defaultFolder);
    }
    if (arguments.size() < 2)
        return badArguments(err, "a bench folder and a command are needed");
    const std::string &folder = arguments[0];
    const std::string &command = arguments[1];
    const std::vector<std::string> rest(arguments.begin() + 2, arguments.end());
    if (folder.empty() || folder.front() == '-')
        return badArguments(err, "the bench folder comes first");

    std::optional<char> letter;
    if (command == "list") {
        if (!rest.empty())
            return badArguments(err, "list takes no arguments");
    } else if (command == "plug" || command == "unplug" || command == "lock" || command == "unlock") {
        if (rest.empty() || !(letter = parseLetter(rest[0])))
            return badArguments(err, command + " needs a drive letter from F to Z");
        if (command != "plug" && rest.size() != 1)
            return badArguments(err, command + " takes only the letter");
    } else {
        return badArguments(err, "unknown command \"" + command + "\"");
    }

    PlugRequest request;
    if (command == "plug") {
        request = parsePlug(*letter, std::vector<std::string>(rest.begin() + 1, rest.end()));
        if (!request.drive)
            return badArguments(err, request.problem);
    }

    std::error_code error;
    const std::filesystem::path benchFolder(folder);
    // Only plug may start a bench; anything else on a missing folder is a typing error.
    if (command != "plug" && !std::filesystem::is_directory(benchFolder / "sticks", error))
        return failed(err, "no bench at " + folder + " (plug a stick to start one)");
    SimBench bench(benchFolder);
    if (!bench.folderProblem().empty())
        return failed(err, bench.folderProblem());

    if (command == "list") {
        listSticks(bench, out);
        return kBenchDone;
    }
    if (command == "plug")
        return plug(bench, *request.drive, out, err);
    bench.refreshDriveList();
    if (!bench.drive(*letter))
        return failed(err, "no stick at " + std::string(1, *letter) + ":");
    if (command == "unplug") {
        bench.unplug(*letter);
        out << "unplugged " << *letter << ":\n";
        return kBenchDone;
    }
    const bool lock = command == "lock";
    if (!bench.setLocked(*letter, lock))
        return failed(err, "could not write the descriptor of " + std::string(1, *letter) + ":");
    out << (lock ? "locked " : "unlocked ") << *letter << ":\n";
    return kBenchDone;
}

} // namespace dravex
