// How xcopy's tree copy fares beside the standard tools doing the same job, on real file systems: tmpfs,
// and vfat and ext4 each on a loop device over an image file, one stick and ten at once. Every run starts
// on a freshly made file system, and the contenders take turns round by round:
//
//   cp -r, then sync -f of the stick              beside  xcopy /h/e/f/k, then the same sync -f
//   cp -r + sync -f + uncache + diff -r           beside  xcopy /v/h/e/f/k, which reads every file back
//   dd of as many bytes with conv=fsync: how fast the stick takes bytes at all
//
// xcopy runs in this process through runXcopy, with the letters of a copy of the ten-stick fixture tree,
// whose mount points get the real file systems mounted on them: the same resolution as the xcopy program
// started with DRAVEX_SYSTEM_ROOT set to that tree. It needs root, for the loop devices and the mounts;
// what it made is unmounted, detached and removed however it ends.
//
//   dravex-copy-bench [--quick]
#include "bench/programoutput.h"
#include "helpers/xcopy.h"
#include "platform/linux/windows/linuxvolumeservices.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace dravex;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kRounds = 3;
constexpr int kTenSticks = 10;
constexpr uint64_t kMiB = uint64_t(1) << 20;
// Every stick is as large as the smallest ones sold, whatever it is given to hold.
constexpr uint64_t kStickBytes = uint64_t(4) << 30;
const char *const kUsage =
    "Usage: dravex-copy-bench [--quick]\n"
    "Times the xcopy helper beside cp -r + sync -f, cp -r + sync -f + diff -r and dd on freshly made\n"
    "sticks: tmpfs, and vfat and ext4 on loop devices over image files in /var/tmp. Source sets, made in\n"
    "memory with a fixed seed: small (20,000 files of 1-16 KiB), mixed (2,000 files of 1 KiB-8 MiB) and\n"
    "large (one file of 2 GiB) onto one stick, and a tenth of mixed onto each of ten vfat or ext4 sticks\n"
    "at once. Three rounds, the contenders taking turns; under a quarter of an hour on two cores. Needs\n"
    "root; a file system this kernel cannot mount is skipped.\n"
    "\n"
    "  --quick  a tenth of each set (2,000 small files, 200 mixed ones, one of 205 MiB, 20 on each of\n"
    "           ten sticks): a minute or two\n"
    "  --help   this text\n";

std::atomic<bool> g_interrupted{false};

[[noreturn]] void fail(const std::string &what) {
    throw std::runtime_error(what);
}

std::string joined(const std::vector<std::string> &arguments) {
    std::string text;
    for (const std::string &argument : arguments)
        text += (text.empty() ? "" : " ") + argument;
    return text;
}

// Runs a program to its end; a failure when it did not exit with 0 (what it said went to our stderr).
void run(const std::vector<std::string> &arguments) {
    if (!programOutput(arguments))
        fail(joined(arguments) + " failed");
}

std::string firstLine(const std::vector<std::string> &arguments) {
    const auto text = programOutput(arguments);
    if (!text)
        fail(joined(arguments) + " failed");
    return text->substr(0, text->find('\n'));
}

// --- What the bench makes on the machine ----------------------------------------------------------------

// The work folder with its mounts and loop devices, undone in reverse order however the bench ends.
class Workplace {
public:
    explicit Workplace(fs::path folder) : m_folder(std::move(folder)) { fs::create_directories(m_folder); }
    Workplace(const Workplace &) = delete;
    Workplace &operator=(const Workplace &) = delete;
    ~Workplace() {
        while (!m_mounts.empty())
            unmount(m_mounts.back());
        while (!m_loops.empty())
            detach(m_loops.back());
        std::error_code ignored;
        fs::remove_all(m_folder, ignored);
    }

    const fs::path &folder() const { return m_folder; }

    void mount(const std::vector<std::string> &arguments, const fs::path &at) {
        std::vector<std::string> command{"mount"};
        command.insert(command.end(), arguments.begin(), arguments.end());
        command.push_back(at.string());
        run(command);
        m_mounts.push_back(at);
    }
    // Lazily when it is still busy, so that no failure leaves it mounted; nothing when it is not ours.
    void unmount(const fs::path at) {
        const auto mounted = std::find(m_mounts.begin(), m_mounts.end(), at);
        if (mounted == m_mounts.end())
            return;
        m_mounts.erase(mounted);
        if (!programOutput({"umount", at.string()}))
            programOutput({"umount", "--lazy", at.string()});
    }
    // Direct I/O: the image file's own cache would otherwise keep a second copy of what was written, and
    // reading back would not reach the disk.
    std::string attach(const fs::path &image) {
        const std::string device =
            firstLine({"losetup", "--find", "--show", "--direct-io=on", image.string()});
        m_loops.push_back(device);
        return device;
    }
    void detach(const std::string device) {
        m_loops.erase(std::remove(m_loops.begin(), m_loops.end(), device), m_loops.end());
        programOutput({"losetup", "--detach", device});
    }

private:
    fs::path m_folder;
    std::vector<fs::path> m_mounts;
    std::vector<std::string> m_loops;
};

struct Stick {
    char letter = 'F';
    fs::path mountPoint; // inside the fixture tree's copy
    fs::path image;      // for vfat and ext4
    std::string device;  // the loop device, while there is one
};

// A new file system on the stick, mounted, with nothing of its making left to write back.
void makeFresh(Workplace &work, const std::string &kind, Stick &stick) {
    if (kind == "tmpfs") {
        work.mount({"-t", "tmpfs", "-o", "size=" + std::to_string(kStickBytes), "tmpfs"}, stick.mountPoint);
        return;
    }
    fs::remove(stick.image);
    std::ofstream(stick.image).close();
    fs::resize_file(stick.image, kStickBytes);
    if (kind == "vfat")
        run({"mkfs.vfat", "-F", "32", stick.image.string()});
    else
        run({"mkfs.ext4", "-q", "-F", stick.image.string()});
    // The whole file system of the images: the last run's image, removed since, is off the disk too
    // before the clock starts.
    run({"sync", "-f", stick.image.string()});
    stick.device = work.attach(stick.image);
    // ext4 would otherwise zero its inode tables in the background while the runs are timed.
    work.mount(kind == "ext4" ? std::vector<std::string>{"-o", "noinit_itable", stick.device}
                              : std::vector<std::string>{stick.device},
               stick.mountPoint);
}

void throwAway(Workplace &work, Stick &stick) {
    work.unmount(stick.mountPoint);
    if (!stick.device.empty()) {
        work.detach(stick.device);
        stick.device.clear();
        fs::remove(stick.image);
    }
}

// --- Source sets ----------------------------------------------------------------------------------------

struct Figures {
    uint64_t files = 0;
    uint64_t bytes = 0;
    bool operator==(const Figures &other) const { return files == other.files && bytes == other.bytes; }
};

struct SourceSet {
    std::string name;
    fs::path folder;
    Figures figures;
    size_t sticks = 1; // copied onto that many at once
};

Figures figuresOf(const fs::path &tree) {
    Figures figures;
    for (const auto &entry : fs::recursive_directory_iterator(tree))
        if (entry.is_regular_file()) {
            ++figures.files;
            figures.bytes += entry.file_size();
        }
    return figures;
}

// Random bytes, which no file system or cache can make light of.
void writeFile(const fs::path &path, uint64_t size, std::mt19937_64 &random) {
    std::ofstream out(path, std::ios::binary);
    std::vector<uint64_t> words(std::min<uint64_t>(size, 8 * kMiB) / sizeof(uint64_t) + 1);
    for (uint64_t left = size; left > 0;) {
        for (uint64_t &word : words)
            word = random();
        const uint64_t count = std::min<uint64_t>(left, words.size() * sizeof(uint64_t));
        out.write(reinterpret_cast<const char *>(words.data()), static_cast<std::streamsize>(count));
        left -= count;
    }
    if (!out.flush())
        fail("cannot write " + path.string());
}

// Files numbered through folders of perFolder, each size drawn by sizeOf.
SourceSet makeFiles(const std::string &name, const fs::path &folder, int files, int perFolder,
                    const std::function<uint64_t(std::mt19937_64 &)> &sizeOf) {
    std::mt19937_64 random(20240601);
    for (int file = 0; file < files; ++file) {
        const fs::path subfolder = folder / ("D" + std::to_string(file / perFolder));
        fs::create_directories(subfolder);
        writeFile(subfolder / ("F" + std::to_string(file) + ".BIN"), sizeOf(random), random);
    }
    return {name, folder, figuresOf(folder)};
}

// Log-uniform: 1 KiB to 256 KiB for most, 256 KiB to 8 MiB for one in ten, as customer file sets are.
uint64_t mixedSize(std::mt19937_64 &random) {
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const bool large = unit(random) < 0.1;
    const double low = large ? 18.0 : 10.0;
    const double high = large ? 23.0 : 18.0;
    return static_cast<uint64_t>(std::exp2(low + (high - low) * unit(random)));
}

// Ten sticks at once take a tenth of the mixed set each, so that they write as much as one stick does:
// the whole set on each would take the run far past a quarter of an hour on two cores.
std::vector<SourceSet> makeSourceSets(const fs::path &folder, int scale) {
    std::printf("Making the source sets in memory...\n");
    std::fflush(stdout);
    std::vector<SourceSet> sets;
    sets.push_back(makeFiles("small", folder / "small", 20000 / scale, 100, [](std::mt19937_64 &random) {
        return std::uniform_int_distribution<uint64_t>(1024, 16 * 1024)(random);
    }));
    sets.push_back(makeFiles("mixed", folder / "mixed", 2000 / scale, 50, mixedSize));
    const fs::path large = folder / "large";
    fs::create_directories(large);
    std::mt19937_64 random(20240601);
    writeFile(large / "LARGE.BIN", (uint64_t(2) << 30) / static_cast<uint64_t>(scale), random);
    sets.push_back({"large", large, figuresOf(large)});
    sets.push_back(makeFiles("a tenth of mixed", folder / "tenth", 200 / scale, 50, mixedSize));
    sets.back().sticks = kTenSticks;
    return sets;
}

// --- Contenders -----------------------------------------------------------------------------------------

// The table's lines; an xcopy line is set against the cp line that ends at the same point.
enum Line { kCp, kXcopy, kCpSync, kXcopySync, kCpDiff, kXcopyVerify, kDd, kLineCount };
const char *const kLineNames[kLineCount] = {
    "cp -r",
    "xcopy /h/e/f/k",
    "cp -r + sync -f",
    "xcopy /h/e/f/k + sync -f",
    "cp -r + sync -f + uncache + diff -r",
    "xcopy /v/h/e/f/k",
    "dd bs=4M conv=fsync",
};
constexpr int kVersus[kLineCount] = {-1, kCp, -1, kCpSync, -1, kCpDiff, -1};

using StageEnds = std::vector<Clock::time_point>;

struct Contender {
    std::vector<Line> lines; // the line each stage's end is timed for
    std::function<StageEnds(const Stick &)> run;
    bool writesTree = true; // else one file of the set's bytes
};

void xcopy(const fs::path &root, const fs::path &source, char letter, const std::string &switches) {
    InertDiskActions actions;
    std::ostringstream out;
    std::ostringstream err;
    HelperContext context{SystemRoot(root.string()), actions, out, err};
    if (runXcopy(source.string() + "\\*.* " + letter + ":\\." + switches, context) != kExitDone)
        fail(std::string("xcopy onto ") + letter + ": failed: " + err.str().substr(0, err.str().find('\n')));
}

void syncStick(const Stick &stick) {
    run({"sync", "-f", stick.mountPoint.string()});
}

// What xcopy /v does with each file once it is written back, done for the whole tree after the sync, so
// that diff reads the files from the stick; the folders stay cached on both sides. Only this stick's
// files go, so the sticks of a run at once do not disturb each other.
void uncache(const fs::path &tree) {
    for (const auto &entry : fs::recursive_directory_iterator(tree)) {
        if (!entry.is_regular_file())
            continue;
        const int fd = ::open(entry.path().c_str(), O_RDONLY | O_CLOEXEC);
        const bool dropped = fd >= 0 && ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED) == 0;
        if (fd >= 0)
            ::close(fd);
        if (!dropped)
            fail("cannot drop " + entry.path().string() + " from the cache");
    }
}

std::vector<Contender> contenders(const fs::path &root, const SourceSet &set) {
    const std::string source = set.folder.string();
    return {
        {{kCp, kCpSync},
         [source](const Stick &stick) {
             run({"cp", "-r", source + "/.", stick.mountPoint.string()});
             const auto copied = Clock::now();
             syncStick(stick);
             return StageEnds{copied, Clock::now()};
         }},
        {{kXcopy, kXcopySync},
         [root, set](const Stick &stick) {
             xcopy(root, set.folder, stick.letter, "/h/e/f/k");
             const auto copied = Clock::now();
             syncStick(stick);
             return StageEnds{copied, Clock::now()};
         }},
        {{kCpDiff},
         [source](const Stick &stick) {
             run({"cp", "-r", source + "/.", stick.mountPoint.string()});
             syncStick(stick);
             uncache(stick.mountPoint);
             run({"diff", "-r", "--exclude=lost+found", source, stick.mountPoint.string()});
             return StageEnds{Clock::now()};
         }},
        {{kXcopyVerify},
         [root, set](const Stick &stick) {
             xcopy(root, set.folder, stick.letter, "/v/h/e/f/k");
             return StageEnds{Clock::now()};
         }},
        {{kDd},
         [bytes = set.figures.bytes](const Stick &stick) {
             run({"dd", "if=/dev/zero", "of=" + (stick.mountPoint / "ZERO.BIN").string(), "bs=4M",
                  "count=" + std::to_string(bytes), "iflag=count_bytes", "conv=fsync", "status=none"});
             return StageEnds{Clock::now()};
         },
         false},
    };
}

// Starts the contender on every stick at the same moment, a thread a stick; a stage's time is when its
// last stick ended it.
std::vector<double> runTogether(const Contender &contender, const std::vector<Stick> &sticks) {
    std::vector<StageEnds> ends(sticks.size());
    std::vector<std::string> failures(sticks.size());
    std::vector<std::thread> threads;
    const auto start = Clock::now();
    for (size_t i = 0; i < sticks.size(); ++i)
        threads.emplace_back([&, i] {
            try {
                ends[i] = contender.run(sticks[i]);
            } catch (const std::exception &error) {
                failures[i] = error.what();
            }
        });
    for (std::thread &thread : threads)
        thread.join();
    for (const std::string &failure : failures)
        if (!failure.empty())
            fail(failure);
    std::vector<double> seconds(contender.lines.size(), 0.0);
    for (const StageEnds &stick : ends)
        for (size_t stage = 0; stage < seconds.size(); ++stage)
            seconds[stage] =
                std::max(seconds[stage], std::chrono::duration<double>(stick[stage] - start).count());
    return seconds;
}

// --- The table --------------------------------------------------------------------------------------------

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// Right-aligned in width letters; printf would count the bytes of "÷".
std::string aligned(const std::string &text, size_t width) {
    const auto letters = static_cast<size_t>(std::count_if(
        text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
    return std::string(width > letters ? width - letters : 0, ' ') + text;
}

void printTable(const std::string &title, const std::vector<std::vector<double>> &seconds, uint64_t bytes,
                bool ten) {
    std::printf("\n%s\n%-42s %8s %9s %9s %s %s\n", title.c_str(), "contender", "min s", "median s", "MiB/s",
                aligned("xcopy÷cp", 9).c_str(), aligned(ten ? "÷slowest dd" : "÷dd", 12).c_str());
    const double dd = median(seconds[kDd]);
    for (int line = 0; line < kLineCount; ++line) {
        const double middle = median(seconds[line]);
        std::printf("%-42s %8.3f %9.3f %9.1f ", kLineNames[line],
                    *std::min_element(seconds[line].begin(), seconds[line].end()), middle,
                    static_cast<double>(bytes) / kMiB / middle);
        if (kVersus[line] >= 0)
            std::printf("%9.2f", middle / median(seconds[kVersus[line]]));
        else
            std::printf("%9s", "");
        std::printf(" %12.2f\n", middle / dd);
    }
    std::fflush(stdout);
}

// Every contender on fresh sticks, rounds times, the order turning round by round so that none always
// goes first; each run is checked afterwards: the whole set, or dd's file, on every stick.
void measure(Workplace &work, const fs::path &root, const SourceSet &set, const std::string &kind,
             std::vector<Stick> sticks) {
    const std::string what =
        set.name + " onto " + kind + ", " +
        (sticks.size() == 1 ? "one stick" : std::to_string(sticks.size()) + " sticks at once");
    const std::vector<Contender> all = contenders(root, set);
    std::vector<std::vector<double>> seconds(kLineCount);
    const auto start = Clock::now();
    for (int round = 0; round < kRounds; ++round) {
        std::fprintf(stderr, "%s: round %d of %d\n", what.c_str(), round + 1, kRounds);
        for (size_t turn = 0; turn < all.size(); ++turn) {
            if (g_interrupted)
                fail("interrupted");
            const Contender &contender = all[(turn + static_cast<size_t>(round)) % all.size()];
            for (Stick &stick : sticks)
                makeFresh(work, kind, stick);
            const std::vector<double> ends = runTogether(contender, sticks);
            for (size_t stage = 0; stage < ends.size(); ++stage)
                seconds[contender.lines[stage]].push_back(ends[stage]);
            const Figures wanted = contender.writesTree ? set.figures : Figures{1, set.figures.bytes};
            for (Stick &stick : sticks) {
                if (!(figuresOf(stick.mountPoint) == wanted))
                    fail(what + ": " + kLineNames[contender.lines.back()] + " left " + stick.letter +
                         ": without the whole set");
                throwAway(work, stick);
            }
        }
    }
    char figures[64];
    std::snprintf(figures, sizeof figures, ", %llu files, %.1f MiB on each",
                  static_cast<unsigned long long>(set.figures.files),
                  static_cast<double>(set.figures.bytes) / kMiB);
    printTable(what + figures, seconds, set.figures.bytes * sticks.size(), sticks.size() > 1);
    std::fprintf(stderr, "%s: done in %.0f s\n", what.c_str(),
                 std::chrono::duration<double>(Clock::now() - start).count());
}

// Whether this kernel mounts the kind at all (many leave vfat to a module that may be missing).
bool mountable(Workplace &work, const std::string &kind, Stick &stick) {
    try {
        makeFresh(work, kind, stick);
        throwAway(work, stick);
        return true;
    } catch (const std::runtime_error &error) {
        throwAway(work, stick);
        std::printf("\n%s: skipped, no stick of it could be made here (%s)\n", kind.c_str(), error.what());
        return false;
    }
}

void runBench(int scale) {
    Workplace work(fs::path("/var/tmp") / ("dravex-copybench-" + std::to_string(::getpid())));
    const fs::path root = work.folder() / "root";
    fs::copy(DRAVEX_TEN_STICKS, root, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    InertDiskActions actions;
    LinuxVolumeServices volumes(root.string(), actions);
    std::vector<Stick> sticks;
    for (char letter = 'F'; letter < 'F' + kTenSticks; ++letter) {
        const auto mountPoint = volumes.nativePath(std::string(1, letter) + ":\\");
        if (!mountPoint)
            fail(std::string("the fixture tree has no stick ") + letter + ":");
        sticks.push_back({letter, *mountPoint, work.folder() / (std::string(1, letter) + ".img"), {}});
    }

    const fs::path sources = work.folder() / "sources";
    fs::create_directories(sources);
    work.mount({"-t", "tmpfs", "tmpfs"}, sources);
    const std::vector<SourceSet> sets = makeSourceSets(sources, scale);
    std::printf(
        "%d rounds, the contenders taking turns, each run on a freshly made file system of 4 GiB.\n"
        "xcopy÷cp: an xcopy line's median over that of the cp line above it, which ends at the same\n"
        "point. uncache: each copied file dropped from the cache after the sync, as xcopy /v does\n"
        "with each file it wrote, so that diff reads the stick. ÷dd: a line's median over that of dd\n"
        "writing the same bytes; with ten sticks, over the slowest of ten dd at once. MiB/s: the\n"
        "bytes on all sticks over the median.\n",
        kRounds);
    for (const std::string kind : {"tmpfs", "vfat", "ext4"}) {
        if (!mountable(work, kind, sticks.front()))
            continue;
        // Ten at once is about the sticks' devices; on tmpfs it would time the processors only.
        for (const SourceSet &set : sets)
            if (kind != "tmpfs" || set.sticks == 1)
                measure(work, root, set, kind,
                        {sticks.begin(), sticks.begin() + static_cast<long>(set.sticks)});
    }
}

} // namespace

int main(int argc, char **argv) {
    int scale = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0) {
            scale = 10;
        } else if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        } else {
            std::fputs(kUsage, stderr);
            return 2;
        }
    }
    if (::geteuid() != 0) {
        std::fprintf(stderr,
                     "dravex-copy-bench needs root: it makes loop devices and mounts file systems "
                     "(sudo %s)\n",
                     argv[0]);
        return 1;
    }
    // Ends between two runs, so that what the bench made is undone.
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        std::signal(signal, [](int) { g_interrupted = true; });
    try {
        runBench(scale);
    } catch (const std::exception &error) {
        std::fprintf(stderr, "dravex-copy-bench: %s\n", error.what());
        return 1;
    }
    return 0;
}
