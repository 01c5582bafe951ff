// How our helpers fare on real sticks beside the standard tools doing the same job, inside the USB rig's
// guest (tests/rig/rig.sh): quick and full format of one stick, quick format of ten at once, and the copy
// of a small customer tree onto one stick and onto ten, with and without verification. The emulator makes
// seconds meaningless, so what counts is ours over theirs, on the same sticks in the same run, ours and
// theirs taking turns round by round. Every program's exit status is checked, and every run is checked
// afterwards (a new file system with our label; the whole tree on the stick); a run that fails either
// check is reported as failed, never as a figure.
//
//   tests/rig/rig.sh --time-limit 1500 build-bench $PWD/build-bench/bench/dravex-rig-bench [--rounds N]
#include "rig/station.h"
#include "rig/usbrig.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace dravex::rig;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kDefaultRounds = 3;
// FAT32 wants 65,525 clusters; mkfs.vfat's 512-byte clusters give a 40 MiB stick some 79,000.
constexpr unsigned kStickMiB = 40;
constexpr unsigned kSmallStickMiB = 16;
constexpr int kTenSticks = 10;
constexpr int kTreeFiles = 40;
constexpr int kMountAttempts = 50;
constexpr auto kMountRetryPause = std::chrono::milliseconds(100);
const fs::path kSource = "/tmp/rig/bench-src";
const char *const kLabel = "BENCH";

// One plugged stick: the volume the standard tools are given and the letter our helpers are given.
struct Stick {
    int port = 0;
    std::string device; // "/dev/sdb1"
    char letter = 'F';
};

// One timed thing ours or theirs did on its sticks: each stage's end, the latest over all sticks.
using Stage = std::function<std::string(const Stick &)>; // empty when it went well, else why not

struct Timed {
    std::string failure;
    std::vector<double> stageEnds;
};

// Every run of one program line over the rounds; one failure spoils the line.
struct Series {
    std::vector<double> seconds;
    std::string failure;

    void record(const Timed &timed, size_t stage) {
        if (!timed.failure.empty())
            fail(timed.failure);
        else
            seconds.push_back(timed.stageEnds.at(stage));
    }
    void fail(const std::string &why) {
        if (failure.empty())
            failure = why;
    }
    bool failed() const { return !failure.empty() || seconds.empty(); }
    double minimum() const { return *std::min_element(seconds.begin(), seconds.end()); }
    double median() const {
        std::vector<double> sorted = seconds;
        std::sort(sorted.begin(), sorted.end());
        const size_t middle = sorted.size() / 2;
        return sorted.size() % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
    }
};

struct Row {
    std::string name;
    std::string what;
    std::string ours;
    std::string theirs;
    Series oursSeries;
    Series theirsSeries;
};

std::mutex g_lock;
std::vector<std::string> g_remarks;
// Which case and round is running, for the remarks.
std::string g_turn;
// What format.com last said for each device, for when it has to be explained afterwards.
std::map<std::string, std::string> g_formatSaid;
// How often udisksctl mount had to ask again, by case and round (in timed runs and in the preparation).
std::map<std::string, int> g_mountRetries;

void remark(const std::string &text) {
    std::lock_guard<std::mutex> lock(g_lock);
    g_remarks.push_back(g_turn.empty() ? text : g_turn + ": " + text);
    note("remark: " + g_remarks.back());
}

std::string joined(const std::vector<std::string> &arguments) {
    std::string text;
    for (const std::string &argument : arguments)
        text += (text.empty() ? "" : " ") + argument;
    return text;
}

// The last three lines of a program's output, on one line.
std::string lastLines(const std::string &text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty())
            lines.push_back(line);
    std::string kept;
    for (size_t i = lines.size() > 3 ? lines.size() - 3 : 0; i < lines.size(); ++i)
        kept += (kept.empty() ? "" : " | ") + lines[i];
    return kept;
}

// Runs a program to its end; empty when it exited with 0, else what it was and what it said.
std::string runStep(const std::vector<std::string> &arguments) {
    const RunResult result = run(arguments);
    if (result.exitCode == 0)
        return {};
    const std::string how = result.exitCode < 0 ? "did not start or was killed"
                                                : "exited with " + std::to_string(result.exitCode);
    return joined(arguments) + " " + how + ": " + lastLines(result.err.empty() ? result.out : result.err);
}

std::string helper(const char *name) {
    return (fs::path(buildFolder()) / name).string();
}

std::string mountPointOf(const Stick &stick) {
    const std::vector<std::string> points = mountPointsOf(stick.device);
    return points.empty() ? std::string() : points.front();
}

std::string probe(const Stick &stick, const char *tag) {
    RunResult result = run({"blkid", "-p", "-o", "value", "-s", tag, stick.device});
    return result.out.substr(0, result.out.find('\n'));
}

// --- Stages --------------------------------------------------------------------------------------------

std::string unmountStick(const Stick &stick) {
    if (mountPointsOf(stick.device).empty())
        return {};
    return runStep({"udisksctl", "unmount", "--no-user-interaction", "-b", stick.device});
}

// Right after mkfs UDisks2 may not have caught up with the new file system yet; a script would try again,
// as our own mounter does.
std::string mountStick(const Stick &stick) {
    if (!mountPointsOf(stick.device).empty())
        return {};
    std::string failure;
    for (int attempt = 0; attempt < kMountAttempts; ++attempt) {
        failure = runStep({"udisksctl", "mount", "--no-user-interaction", "-b", stick.device});
        if (failure.empty())
            return {};
        {
            std::lock_guard<std::mutex> lock(g_lock);
            ++g_mountRetries[g_turn];
        }
        std::this_thread::sleep_for(kMountRetryPause);
    }
    return failure;
}

// Like runStep, keeping what the program said.
Stage formatCom(const std::string &switches) {
    return [switches](const Stick &stick) {
        const std::vector<std::string> arguments{helper("format.com"),
                                                 std::string(1, stick.letter) + ":" + switches};
        const RunResult result = run(arguments);
        {
            std::lock_guard<std::mutex> lock(g_lock);
            g_formatSaid[stick.device] = lastLines(result.out) + " | " + lastLines(result.err);
        }
        if (result.exitCode == 0)
            return std::string();
        return joined(arguments) + " exited with " + std::to_string(result.exitCode) + ": " +
               lastLines(result.err.empty() ? result.out : result.err);
    };
}

Stage mkfsVfat(std::vector<std::string> options) {
    return [options](const Stick &stick) {
        std::vector<std::string> arguments{"mkfs.vfat"};
        arguments.insert(arguments.end(), options.begin(), options.end());
        arguments.push_back(stick.device);
        return runStep(arguments);
    };
}

// Zeroes the whole volume and no byte past it: dd ends with 0 only when it was not cut short.
std::string zeroWithDd(const Stick &stick) {
    const std::string name = fs::path(stick.device).filename().string();
    std::ifstream in("/sys/class/block/" + name + "/size");
    unsigned long long sectors = 0;
    if (!(in >> sectors) || sectors == 0)
        return "no size for " + stick.device;
    return runStep({"dd", "if=/dev/zero", "of=" + stick.device, "bs=4M",
                    "count=" + std::to_string(sectors * 512), "iflag=count_bytes", "oflag=direct",
                    "status=none"});
}

Stage xcopy(const std::string &switches) {
    return [switches](const Stick &stick) {
        return runStep(
            {helper("xcopy"), kSource.string() + "\\*.*", std::string(1, stick.letter) + ":\\." + switches});
    };
}

std::string copyWithCp(const Stick &stick) {
    const std::string mountPoint = mountPointOf(stick);
    if (mountPoint.empty())
        return stick.device + " is not mounted";
    return runStep({"cp", "-r", kSource.string() + "/.", mountPoint + "/"});
}

std::string syncAll(const Stick &) {
    return runStep({"sync"});
}

std::string syncOwnMount(const Stick &stick) {
    const std::string mountPoint = mountPointOf(stick);
    if (mountPoint.empty())
        return stick.device + " is not mounted";
    return runStep({"sync", "-f", mountPoint});
}

// --- Running ------------------------------------------------------------------------------------------

// Starts the stages on every stick at the same moment, one thread per stick; each stage's end is taken on
// the stick that ended it last.
Timed runTogether(const std::vector<Stick> &sticks, const std::vector<Stage> &stages) {
    struct Ends {
        std::string failure;
        std::vector<double> seconds;
    };
    std::vector<Ends> ends(sticks.size());
    std::vector<std::thread> threads;
    const auto start = Clock::now();
    for (size_t i = 0; i < sticks.size(); ++i)
        threads.emplace_back([&, i] {
            for (const Stage &stage : stages) {
                const std::string failure = stage(sticks[i]);
                if (!failure.empty()) {
                    ends[i].failure =
                        std::string(1, sticks[i].letter) + ": (" + sticks[i].device + ") " + failure;
                    return;
                }
                ends[i].seconds.push_back(std::chrono::duration<double>(Clock::now() - start).count());
            }
        });
    for (std::thread &thread : threads)
        thread.join();
    Timed timed;
    timed.stageEnds.assign(stages.size(), 0.0);
    for (const Ends &end : ends) {
        if (!end.failure.empty() && timed.failure.empty())
            timed.failure = end.failure;
        for (size_t stage = 0; stage < end.seconds.size(); ++stage)
            timed.stageEnds[stage] = std::max(timed.stageEnds[stage], end.seconds[stage]);
    }
    return timed;
}

// Untimed: brings every stick to where the next timed run starts; why not, when it could not.
std::string prepare(const std::vector<Stick> &sticks, const std::vector<Stage> &stages) {
    return runTogether(sticks, stages).failure;
}

// Each contender once per round, the order turning round by round so that neither always goes first.
void takeTurns(const std::string &name, int rounds, const std::vector<std::function<void()>> &contenders) {
    for (int round = 0; round < rounds; ++round) {
        g_turn = "case " + name + ", round " + std::to_string(round + 1);
        note(g_turn + " of " + std::to_string(rounds));
        for (size_t i = 0; i < contenders.size(); ++i)
            contenders[(i + static_cast<size_t>(round)) % contenders.size()]();
    }
}

std::string lettersOf(const std::vector<Stick> &sticks) {
    return sticks.size() == 1 ? std::string(1, sticks.front().letter) + ":"
                              : std::string(1, sticks.front().letter) + ":.." + sticks.back().letter + ":";
}

// --- Formatting -----------------------------------------------------------------------------------------

// A format counts when every stick carries a new file system with our label, and ours mounted it again.
std::string checkFormatted(const std::vector<Stick> &sticks, const std::vector<std::string> &uuidsBefore,
                           bool ours) {
    for (size_t i = 0; i < sticks.size(); ++i) {
        const std::string uuid = probe(sticks[i], "UUID");
        const std::string label = probe(sticks[i], "LABEL");
        if (uuid.empty() || uuid == uuidsBefore[i] || label != kLabel)
            return sticks[i].device + " holds UUID " + uuid + " (before: " + uuidsBefore[i] + "), label '" +
                   label + "' after the format";
        if (ours && mountPointsOf(sticks[i].device).empty()) {
            std::string said;
            {
                std::lock_guard<std::mutex> lock(g_lock);
                said = g_formatSaid[sticks[i].device];
            }
            // Whether the stick mounts at all now, or only UDisks2 had not caught up when format.com asked.
            const RunResult again =
                run({"udisksctl", "mount", "--no-user-interaction", "-b", sticks[i].device});
            remark("format.com exited with 0 but left " + sticks[i].device + " (" + sticks[i].letter +
                   ":) unmounted; it said: " + said + "; udisksctl mount right after: " +
                   (again.exitCode == 0
                        ? lastLines(again.out)
                        : "exit " + std::to_string(again.exitCode) + ": " + lastLines(again.err)));
        }
    }
    return {};
}

struct FormatCase {
    std::string name;
    std::string what;
    std::string oursSwitches;     // after "F:"
    std::vector<Stage> theirWork; // between the unmount and the mount
    std::string theirText;
};

// Both start from the stick mounted, as the tool leaves it; ours ends with it mounted again, so theirs is
// also timed up to its own mount, on a second line.
std::vector<Row> formatCase(const std::vector<Stick> &sticks, const FormatCase &how, int rounds) {
    note("format: " + how.what);
    Series ours;
    Series theirs;
    Series theirsMounted;
    std::vector<Stage> theirStages{unmountStick};
    theirStages.insert(theirStages.end(), how.theirWork.begin(), how.theirWork.end());
    theirStages.push_back(mountStick);
    auto uuids = [&] {
        std::vector<std::string> found;
        for (const Stick &stick : sticks)
            found.push_back(probe(stick, "UUID"));
        return found;
    };
    auto oursOnce = [&] {
        if (const std::string why = prepare(sticks, {mountStick}); !why.empty()) {
            ours.fail("before the run: " + why);
            return;
        }
        const std::vector<std::string> before = uuids();
        const Timed timed = runTogether(sticks, {formatCom(how.oursSwitches)});
        ours.record(timed, 0);
        if (timed.failure.empty())
            if (const std::string why = checkFormatted(sticks, before, true); !why.empty())
                ours.fail(why);
    };
    auto theirsOnce = [&] {
        if (const std::string why = prepare(sticks, {mountStick}); !why.empty()) {
            theirs.fail("before the run: " + why);
            theirsMounted.fail("before the run: " + why);
            return;
        }
        const std::vector<std::string> before = uuids();
        const Timed timed = runTogether(sticks, theirStages);
        theirs.record(timed, theirStages.size() - 2);
        theirsMounted.record(timed, theirStages.size() - 1);
        if (timed.failure.empty())
            if (const std::string why = checkFormatted(sticks, before, false); !why.empty()) {
                theirs.fail(why);
                theirsMounted.fail(why);
            }
    };
    takeTurns(how.name, rounds, {oursOnce, theirsOnce});
    const std::string oursText = "format.com " + lettersOf(sticks) + how.oursSwitches;
    return {
        {how.name, how.what, oursText, "udisksctl unmount; " + how.theirText, ours, theirs},
        {how.name + "m", "  the same, theirs up to its udisksctl mount", oursText,
         "udisksctl unmount; " + how.theirText + "; udisksctl mount", ours, theirsMounted},
    };
}

// --- Copying --------------------------------------------------------------------------------------------

// The customer tree: files of 1 KiB to 1 MiB (log-uniform, fixed seed) in a few folders, and one empty
// folder, which /e must carry over too.
uint64_t makeSourceTree() {
    fs::remove_all(kSource);
    const std::vector<fs::path> folders{".", "DOCS", "MEDIA", "MEDIA/PHOTOS", "DATA"};
    fs::create_directories(kSource / "EMPTY");
    std::mt19937_64 random(20240917);
    std::uniform_real_distribution<double> exponent(10.0, 20.0);
    uint64_t total = 0;
    std::vector<uint64_t> words;
    for (int file = 0; file < kTreeFiles; ++file) {
        const auto bytes = static_cast<size_t>(std::exp2(exponent(random)));
        words.resize(bytes / sizeof(uint64_t) + 1);
        for (uint64_t &word : words)
            word = random();
        const fs::path folder = kSource / folders[static_cast<size_t>(file) % folders.size()];
        fs::create_directories(folder);
        char name[32];
        std::snprintf(name, sizeof name, "FILE%02d.BIN", file);
        std::ofstream(folder / name, std::ios::binary)
            .write(reinterpret_cast<const char *>(words.data()), static_cast<std::streamsize>(bytes));
        total += bytes;
    }
    return total;
}

// Every file's relative path and size, and every folder ("/" at its end).
std::map<std::string, uintmax_t> treeOf(const fs::path &root) {
    std::map<std::string, uintmax_t> entries;
    for (const auto &entry : fs::recursive_directory_iterator(root)) {
        const std::string relative = fs::relative(entry.path(), root).generic_string();
        if (entry.is_directory())
            entries[relative + "/"] = 0;
        else
            entries[relative] = entry.file_size();
    }
    return entries;
}

std::string checkCopied(const std::vector<Stick> &sticks) {
    const auto wanted = treeOf(kSource);
    for (const Stick &stick : sticks) {
        const std::string mountPoint = mountPointOf(stick);
        if (mountPoint.empty())
            return stick.device + " is not mounted after the copy";
        const auto found = treeOf(mountPoint);
        if (found != wanted)
            return stick.device + " holds " + std::to_string(found.size()) +
                   " files and folders after the copy, not " + std::to_string(wanted.size()) +
                   " of the right sizes";
    }
    return {};
}

// The same empty FAT32 for every run, mounted, with nothing of the last run left to write back.
const std::vector<Stage> &freshFileSystem() {
    static const std::vector<Stage> stages{unmountStick, mkfsVfat({"-F", "32", "-n", kLabel}), mountStick,
                                           [](const Stick &) { return runStep({"sync"}); }};
    return stages;
}

std::vector<Row> copyCase(const std::vector<Stick> &sticks, const std::string &name, const std::string &what,
                          int rounds) {
    note("copy: " + what);
    const bool one = sticks.size() == 1;
    // One stick: a plain sync, as a script would; ten: each stick's own file system (sync -f), so that
    // every stick's time until its data is on the medium counts by itself.
    const Stage flush = one ? Stage(syncAll) : Stage(syncOwnMount);
    const std::string flushText = one ? "sync" : "sync -f <its mount>";
    Series plain;
    Series verified;
    Series cp;
    auto once = [&](Series &series, const std::vector<Stage> &stages) {
        if (const std::string why = prepare(sticks, freshFileSystem()); !why.empty()) {
            series.fail("before the run: " + why);
            return;
        }
        const Timed timed = runTogether(sticks, stages);
        series.record(timed, stages.size() - 1);
        if (timed.failure.empty())
            if (const std::string why = checkCopied(sticks); !why.empty())
                series.fail(why);
    };
    takeTurns(name, rounds,
              {[&] {
                   once(plain, {xcopy("/h/e/f/k"), flush});
               },
               [&] {
                   once(cp, {copyWithCp, flush});
               },
               [&] { once(verified, {xcopy("/v/h/e/f/k")}); }});
    const std::string source = kSource.string() + "\\*.* " + lettersOf(sticks) + "\\.";
    const std::string theirs = "cp -r " + kSource.string() + "/. <mount>/; " + flushText;
    return {
        {name + "a", what + ", copy and sync", "xcopy " + source + "/h/e/f/k; " + flushText, theirs, plain,
         cp},
        {name + "b", what + ", xcopy /v against cp and sync", "xcopy " + source + "/v/h/e/f/k", theirs,
         verified, cp},
    };
}

// --- The rig --------------------------------------------------------------------------------------------

UsbStick benchStick(int port, unsigned sizeMiB, const std::string &fileSystem) {
    UsbStick stick;
    stick.sizeMiB = sizeMiB;
    stick.fileSystem = fileSystem;
    stick.label = "OLD";
    char serial[32];
    std::snprintf(serial, sizeof serial, "RIGBENCH%05d", port);
    stick.serial = serial;
    return stick;
}

// Plugs sticks on ports 0.. in order: alone on the bus they take the letters F, G, H, ...
std::vector<Stick> plugSticks(UsbRig &rig, int count, unsigned sizeMiB, const std::string &fileSystem) {
    rig.pullAll();
    std::map<int, UsbStick> specs;
    for (int port = 0; port < count; ++port)
        specs[port] = benchStick(port, sizeMiB, fileSystem);
    rig.plugAll(specs);
    std::vector<Stick> sticks;
    for (int port = 0; port < count; ++port) {
        const auto device = rig.volumeDevice(port);
        if (!device)
            throw std::runtime_error("no volume on port " + std::to_string(port));
        sticks.push_back({port, *device, static_cast<char>('F' + port)});
    }
    return sticks;
}

// --- The table ------------------------------------------------------------------------------------------

void printTable(const std::vector<Row> &rows, int rounds, uint64_t treeBytes) {
    std::printf(
        "\nDravex helpers beside the standard tools on the rig's sticks; %d rounds, ours and theirs in "
        "turn; seconds of emulated guest time\n",
        rounds);
    std::printf("Copy source: %s, %d files of 1 KiB to 1 MiB in 5 folders and 1 empty folder, %.2f MiB\n\n",
                kSource.c_str(), kTreeFiles, static_cast<double>(treeBytes) / (1 << 20));
    size_t width = 4;
    for (const Row &row : rows)
        width = std::max(width, row.what.size());
    const int w = static_cast<int>(width);
    std::printf("%-4s %-*s %9s %9s %11s %11s  %s\n", "case", w, "what", "ours min", "ours med", "theirs min",
                "theirs med", "ours/theirs (median ours / median theirs)");
    for (const Row &row : rows) {
        std::printf("%-4s %-*s ", row.name.c_str(), w, row.what.c_str());
        const auto figures = [](const Series &series) {
            if (series.failed())
                std::printf("%9s %9s ", "FAILED", "-");
            else
                std::printf("%9.2f %9.2f ", series.minimum(), series.median());
        };
        figures(row.oursSeries);
        std::printf("  ");
        if (row.theirsSeries.failed())
            std::printf("%11s %11s  ", "FAILED", "-");
        else
            std::printf("%11.2f %11.2f  ", row.theirsSeries.minimum(), row.theirsSeries.median());
        if (row.oursSeries.failed() || row.theirsSeries.failed())
            std::printf("%s\n", "-");
        else
            std::printf("%.2f\n", row.oursSeries.median() / row.theirsSeries.median());
    }
    std::printf("\nWhat ran (ours | theirs):\n");
    for (const Row &row : rows)
        std::printf("  %-4s ours:   %s\n       theirs: %s\n", row.name.c_str(), row.ours.c_str(),
                    row.theirs.c_str());
    bool failures = false;
    for (const Row &row : rows)
        for (const Series *series : {&row.oursSeries, &row.theirsSeries})
            if (series->failed()) {
                if (!failures)
                    std::printf("\nFailed runs:\n");
                failures = true;
                std::printf("  %-4s %s: %s\n", row.name.c_str(),
                            series == &row.oursSeries ? "ours" : "theirs",
                            series->failure.empty() ? "no run" : series->failure.c_str());
            }
    g_turn.clear();
    for (const auto &[turn, count] : g_mountRetries)
        remark(turn + ": udisksctl mount asked again " + std::to_string(count) +
               " times while UDisks2 caught up with a new file system");
    if (!g_remarks.empty()) {
        std::printf("\nRemarks:\n");
        for (const std::string &text : g_remarks)
            std::printf("  %s\n", text.c_str());
    }
    std::fflush(stdout);
}

bool anyFailed(const std::vector<Row> &rows) {
    for (const Row &row : rows)
        if (row.oursSeries.failed() || row.theirsSeries.failed())
            return true;
    return false;
}

} // namespace

int main(int argc, char **argv) {
    int rounds = kDefaultRounds;
    if (argc == 3 && std::strcmp(argv[1], "--rounds") == 0)
        rounds = std::max(1, std::atoi(argv[2]));
    else if (argc != 1) {
        std::fprintf(stderr, "usage: %s [--rounds N]   (inside the rig: tests/rig/rig.sh)\n", argv[0]);
        return 2;
    }
    for (const char *program : {"format.com", "xcopy"})
        if (!fs::exists(helper(program))) {
            std::fprintf(stderr, "no %s in %s: build the helpers first\n", program, buildFolder().c_str());
            return 2;
        }
    if (!fs::exists("/sys/kernel/config/usb_gadget")) {
        std::fprintf(stderr, "no USB gadgets here: run this inside the rig (tests/rig/rig.sh)\n");
        return 2;
    }

    std::vector<Row> rows;
    uint64_t treeBytes = 0;
    try {
        UsbRig rig;
        treeBytes = makeSourceTree();
        std::vector<Row> quickOne;
        std::vector<Row> copyOne;
        {
            const std::vector<Stick> one = plugSticks(rig, 1, kStickMiB, "fat32");
            quickOne = formatCase(one,
                                  {"1",
                                   "1 stick of 40 MiB, quick format FAT32",
                                   "/FS:FAT32/V:BENCH/q/y",
                                   {mkfsVfat({"-F", "32", "-n", kLabel})},
                                   "mkfs.vfat -F 32 -n BENCH <partition>"},
                                  rounds);
            copyOne = copyCase(one, "4", "1 fresh FAT32 stick", rounds);
        }
        std::vector<Row> fullOne;
        {
            const std::vector<Stick> small = plugSticks(rig, 1, kSmallStickMiB, "vfat");
            fullOne = formatCase(
                small,
                {"2",
                 "1 stick of 16 MiB, full format FAT",
                 "/FS:FAT/V:BENCH/y",
                 {zeroWithDd, mkfsVfat({"-n", kLabel})},
                 "dd if=/dev/zero of=<partition> bs=4M oflag=direct; mkfs.vfat -n BENCH <partition>"},
                rounds);
        }
        const std::vector<Stick> ten = plugSticks(rig, kTenSticks, kStickMiB, "fat32");
        std::vector<Row> quickTen = formatCase(ten,
                                               {"3",
                                                "10 sticks of 40 MiB at once, quick format FAT32",
                                                "/FS:FAT32/V:BENCH/q/y",
                                                {mkfsVfat({"-F", "32", "-n", kLabel})},
                                                "mkfs.vfat -F 32 -n BENCH <partition>, 10 at once"},
                                               rounds);
        std::vector<Row> copyTen = copyCase(ten, "5", "10 fresh FAT32 sticks at once", rounds);
        rig.pullAll();
        for (auto *part : {&quickOne, &fullOne, &quickTen, &copyOne, &copyTen})
            rows.insert(rows.end(), part->begin(), part->end());
    } catch (const std::exception &error) {
        std::fprintf(stderr, "the rig failed: %s\n", error.what());
        printTable(rows, rounds, treeBytes);
        return 1;
    }
    printTable(rows, rounds, treeBytes);
    return anyFailed(rows) ? 1 : 0;
}
