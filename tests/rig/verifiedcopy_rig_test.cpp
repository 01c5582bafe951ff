#include "helpers/xcopytexts.h"
#include "rig/station.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>

namespace dravex::rig {
namespace {

namespace fs = std::filesystem;

constexpr int kFolders = 4;
constexpr int kFilesPerFolder = 30;

std::string bytesOf(const fs::path &path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// xcopy /v onto a real vfat stick, watched by strace: what the stick pays for is its flushes, and the
// check reads each file back once, after the one flush.
TEST(RigVerifiedCopy, OneFlushPerStickThenEachFileReadBackOnce) {
    UsbRig rig;
    UsbStick stick;
    stick.sizeMiB = 16;
    stick.serial = "RIGVERIFY01";
    rig.plug(0, stick);

    const fs::path source = "/tmp/rig/verified";
    fs::remove_all(source);
    for (int folder = 0; folder < kFolders; ++folder)
        for (int file = 0; file < kFilesPerFolder; ++file) {
            const fs::path path = source / ("D" + std::to_string(folder)) / ("F" + std::to_string(file) + ".BIN");
            fs::create_directories(path.parent_path());
            std::ofstream(path, std::ios::binary) << std::string(1024 * (1 + file % 7), static_cast<char>('a' + file));
        }

    const std::string trace = "/tmp/rig/verified.strace";
    // LeakSanitizer cannot work under ptrace: the traced xcopy runs without it.
    const RunResult copied = run({"strace", "-f", "-qq", "-o", trace, "-e", "trace=fsync,fdatasync,syncfs,sync,openat",
                                  "-E", "ASAN_OPTIONS=detect_leaks=0", buildFolder() + "/xcopy",
                                  source.string() + "\\*.*", "F:\\./v/h/e"});
    ASSERT_EQ(copied.exitCode, 0) << copied.out << copied.err;
    EXPECT_NE(copied.out.find(std::to_string(kFolders * kFilesPerFolder) + xcopytexts::kFilesCopied),
              std::string::npos)
        << copied.out;

    // After the flush, each name is opened twice: its source and its copy on the stick.
    std::istringstream lines(bytesOf(trace));
    const std::regex flush(R"(\b(fsync|fdatasync|syncfs|sync)\()");
    const std::regex opened(R"re(openat\([^,]+, "(F\d+\.BIN)")re");
    int flushes = 0;
    std::map<std::string, int> opensAfterFlush;
    for (std::string line; std::getline(lines, line);) {
        std::smatch match;
        if (std::regex_search(line, flush))
            ++flushes;
        else if (flushes > 0 && std::regex_search(line, match, opened))
            ++opensAfterFlush[match[1]];
    }
    EXPECT_EQ(flushes, 1);
    EXPECT_EQ(opensAfterFlush.size(), static_cast<size_t>(kFilesPerFolder));
    for (const auto &[name, opens] : opensAfterFlush)
        EXPECT_EQ(opens, 2 * kFolders) << name;

    const auto device = rig.volumeDevice(0);
    ASSERT_TRUE(device);
    const std::vector<std::string> mounted = mountPointsOf(*device);
    ASSERT_FALSE(mounted.empty());
    EXPECT_EQ(bytesOf(fs::path(mounted.front()) / "D3" / "F29.BIN"), bytesOf(source / "D3" / "F29.BIN"));
    fs::remove_all(source);
}

} // namespace
} // namespace dravex::rig
