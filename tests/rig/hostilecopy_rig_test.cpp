#include "helpers/xcopytexts.h"
#include "rig/station.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace dravex::rig {
namespace {

namespace fs = std::filesystem;

void writeText(const fs::path &path, const std::string &text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::string textOf(const fs::path &path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Source trees the operator might pick, copied by xcopy onto a real vfat stick. vfat holds no links, pipes
// or sockets, so what xcopy does about those on the stick is proven on temporary folders
// (tests/helpers/xcopy_test.cpp); here, what only the kernel's FAT can show.
class RigHostileCopy : public ::testing::Test {
protected:
    RigHostileCopy() { fs::remove_all(m_sources); }
    ~RigHostileCopy() override { fs::remove_all(m_sources); }

    RunResult xcopy(const fs::path &source) {
        // The only stick, so F:.
        return run({buildFolder() + "/xcopy", source.string() + "\\*.*", "F:\\./v/h/e"});
    }

    const fs::path m_sources = "/tmp/rig/hostile";
    UsbRig m_rig;
};

TEST_F(RigHostileCopy, CaseCollisionsFailTheCopyAndBranchingLinksStayFinite) {
    UsbStick stick;
    stick.sizeMiB = 16;
    stick.serial = "RIGHOSTILE01";
    m_rig.plug(0, stick);

    const fs::path cased = m_sources / "cased";
    writeText(cased / "README.TXT", "upper");
    writeText(cased / "Readme.txt", "mixed");
    writeText(cased / "Docs" / "a.txt", "a");
    writeText(cased / "docs", "a file named like the folder");
    const RunResult collided = xcopy(cased);
    EXPECT_EQ(collided.exitCode, 3) << collided.out << collided.err;
    for (const char *later : {"Readme.txt", "docs"}) {
        const std::string reported = std::string(xcopytexts::kCaseCollision) + (cased / later).string();
        EXPECT_NE(collided.err.find(reported), std::string::npos) << collided.err;
    }
    const auto device = m_rig.volumeDevice(0);
    ASSERT_TRUE(device);
    const std::vector<std::string> mounted = mountPointsOf(*device);
    ASSERT_FALSE(mounted.empty());
    const fs::path root = mounted.front();
    // FAT finds the file under either name: the one copied is the first, untouched by the second.
    EXPECT_EQ(textOf(root / "readme.txt"), "upper");
    EXPECT_EQ(textOf(root / "DOCS" / "A.TXT"), "a");

    // Each level's two links lead to the next: followed every time, 2^7 copies of the last level.
    const fs::path linked = m_sources / "linked";
    for (int level = 0; level < 8; ++level) {
        const fs::path folder = linked / ("L" + std::to_string(level));
        writeText(folder / "f.txt", std::to_string(level));
        if (level < 7)
            for (const char *link : {"a", "b"})
                fs::create_directory_symlink("../L" + std::to_string(level + 1), folder / link);
    }
    const RunResult walked = xcopy(linked);
    EXPECT_EQ(walked.exitCode, 0) << walked.out << walked.err;
    EXPECT_NE(walked.out.find(std::string("15") + xcopytexts::kFilesCopied), std::string::npos) << walked.out;
    EXPECT_EQ(textOf(root / "L0" / "a" / "a" / "f.txt"), "2");
    EXPECT_TRUE(fs::is_empty(root / "L0" / "b"));
}

} // namespace
} // namespace dravex::rig
