// How fast xcopy's tree copy is beside cp -r: 2,000 files of 1 KiB to 8 MiB (about 0.5 GiB of real bytes,
// fixed seed; nine in ten files below 256 KiB, as customer file sets are), copied to a folder on the same
// file system as the stick of a fixture tree, without and with /v; warm cache, median of several runs.
#include "bench/programoutput.h"
#include "helpers/xcopy.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace dravex;
namespace fs = std::filesystem;

constexpr int kFiles = 2000;
constexpr int kFilesPerFolder = 50;
constexpr int kRepetitions = 5;

uint64_t makeTree(const fs::path &tree) {
    std::mt19937_64 random(20240601);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<char> bytes;
    uint64_t total = 0;
    for (int file = 0; file < kFiles; ++file) {
        // Log-uniform: 1 KiB to 256 KiB for most, 256 KiB to 8 MiB for one in ten.
        const bool large = unit(random) < 0.1;
        const double low = large ? 18.0 : 10.0;
        const double high = large ? 23.0 : 18.0;
        const auto size = static_cast<size_t>(std::exp2(low + (high - low) * unit(random)));
        bytes.resize(size);
        for (char &byte : bytes)
            byte = static_cast<char>(random());
        const fs::path folder = tree / ("D" + std::to_string(file / kFilesPerFolder));
        fs::create_directories(folder);
        std::ofstream(folder / ("F" + std::to_string(file) + ".BIN"), std::ios::binary)
            .write(bytes.data(), static_cast<std::streamsize>(size));
        total += size;
    }
    return total;
}

void empty(const fs::path &folder) {
    for (const auto &entry : fs::directory_iterator(folder))
        fs::remove_all(entry.path());
}

template <typename Run> double medianSeconds(const fs::path &destination, Run run) {
    std::vector<double> seconds;
    for (int i = 0; i < kRepetitions; ++i) {
        empty(destination);
        const auto start = std::chrono::steady_clock::now();
        if (!run())
            return -1;
        seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(seconds.begin(), seconds.end());
    return seconds[seconds.size() / 2];
}

} // namespace

int main() {
    const fs::path work = fs::temp_directory_path() / ("dravex-copybench-" + std::to_string(::getpid()));
    const fs::path root = work / "root";
    fs::create_directories(work);
    fs::copy(DRAVEX_FIXTURE, root, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    const fs::path stick = root / "media/op/PLAIN";
    const fs::path source = work / "source";
    std::printf("Generating %d files...\n", kFiles);
    const uint64_t bytes = makeTree(source);
    std::printf("Tree: %d files, %.1f MiB\n", kFiles, static_cast<double>(bytes) / (1 << 20));

    InertDiskActions actions;
    std::ostringstream out;
    std::ostringstream err;
    auto ours = [&](const char *switches) {
        HelperContext context{SystemRoot(root.string()), actions, out, err};
        out.str({});
        return runXcopy(source.string() + "\\*.* F:\\." + switches, context) == kExitDone;
    };
    auto cp = [&] { return programOutput({"cp", "-r", source.string() + "/.", stick.string()}).has_value(); };

    // Warm the cache once.
    medianSeconds(stick, cp);
    const double cpSeconds = medianSeconds(stick, cp);
    const double plainSeconds = medianSeconds(stick, [&] { return ours("/h/e/f/k"); });
    const double verifySeconds = medianSeconds(stick, [&] { return ours("/v/h/e/f/k"); });
    fs::remove_all(work);
    if (cpSeconds <= 0 || plainSeconds <= 0 || verifySeconds <= 0) {
        std::fprintf(stderr, "A copy failed: %s\n", err.str().c_str());
        return 1;
    }
    const double mib = static_cast<double>(bytes) / (1 << 20);
    std::printf("cp -r             %7.3f s  %8.1f MiB/s\n", cpSeconds, mib / cpSeconds);
    std::printf("xcopy /h/e/f/k    %7.3f s  %8.1f MiB/s  ours/cp %.2f\n", plainSeconds, mib / plainSeconds,
                cpSeconds / plainSeconds);
    std::printf("xcopy /v/h/e/f/k  %7.3f s  %8.1f MiB/s  ours/cp %.2f\n", verifySeconds, mib / verifySeconds,
                cpSeconds / verifySeconds);
    return 0;
}
