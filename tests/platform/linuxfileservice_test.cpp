#include "platform/linux/windows/linuxfileservice.h"

#include "fixtures.h"
#include "scan/locktest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fstream>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace dravex {
namespace {

namespace fs = std::filesystem;

void writeBytes(const fs::path &path, const std::string &bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string readBytes(const fs::path &path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::vector<std::string> namesIn(const fs::path &folder) {
    std::vector<std::string> names;
    for (const auto &entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class LinuxFileServiceTest : public ::testing::Test {
protected:
    // Drive F lies in a copy of the fixture tree, so the tests can write on the stick.
    LinuxFileServiceTest()
        : m_root(copyFixture(m_folder.path() / "root")), m_volumes(m_root.string(), m_mounter),
          m_files(m_volumes) {
        fs::create_directories(folder());
    }

    static fs::path copyFixture(const fs::path &to) {
        fs::copy(sysroot("hub-two-sticks"), to,
                 fs::copy_options::recursive | fs::copy_options::copy_symlinks);
        return to;
    }

    // A folder of this machine, and the same folder in the logic's spelling.
    fs::path folder() const { return m_folder.path() / "work"; }
    std::string logicPath(const std::string &name) const { return folder().string() + "\\" + name; }

    TemporaryFolder m_folder;
    fs::path m_root;
    FakeMounter m_mounter;
    LinuxVolumeServices m_volumes;
    LinuxFileService m_files;
};

TEST_F(LinuxFileServiceTest, CreateOverwriteAndDeleteEmptyFiles) {
    const struct {
        std::string path;
        fs::path native;
    } cases[] = {
        {logicPath("tavrin.bin"), folder() / "tavrin.bin"},
        {"F:\\tavrin.bin", m_root / "media/op/PORT 2/tavrin.bin"},
        {"f:\\.\\tavrin.bin", m_root / "media/op/PORT 2/tavrin.bin"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_FALSE(m_files.fileExists(c.path));
        ASSERT_TRUE(m_files.createEmptyFile(c.path));
        EXPECT_TRUE(m_files.fileExists(c.path));
        EXPECT_EQ(fs::file_size(c.native), 0u);

        writeBytes(c.native, "left over");
        ASSERT_TRUE(m_files.createEmptyFile(c.path));
        EXPECT_EQ(fs::file_size(c.native), 0u);

        EXPECT_TRUE(m_files.deleteFile(c.path));
        EXPECT_FALSE(fs::exists(c.native));
        EXPECT_FALSE(m_files.fileExists(c.path));
        EXPECT_FALSE(m_files.deleteFile(c.path));
    }
}

TEST_F(LinuxFileServiceTest, PathsNothingCanBeDoneWith) {
    fs::create_directories(folder() / "sub");
    const struct {
        std::string path;
        const char *why;
    } cases[] = {
        {logicPath("missing\\x.bin"), "folder missing"},
        {logicPath("sub"), "a folder"},
        {"/proc\\dravex-test.bin", "a file system nobody may create files in"},
        {"Q:\\x.bin", "drive that maps nowhere"},
        {"x.bin", "relative path"},
        {"", "empty path"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_FALSE(m_files.fileExists(c.path));
        EXPECT_FALSE(m_files.createEmptyFile(c.path));
        EXPECT_FALSE(m_files.deleteFile(c.path));
        EXPECT_FALSE(m_files.readFile(c.path));
        EXPECT_FALSE(m_files.replaceFile(c.path, "new"));
    }
    EXPECT_TRUE(fs::is_directory(folder() / "sub"));
    EXPECT_EQ(namesIn(folder()), std::vector<std::string>{"sub"});
}

TEST_F(LinuxFileServiceTest, WhatCountsAsAFile) {
    writeBytes(folder() / "file", "x");
    fs::create_directories(folder() / "dir");
    fs::create_symlink("file", folder() / "link-file");
    fs::create_symlink("dir", folder() / "link-dir");
    fs::create_symlink("nowhere", folder() / "dangling");
    for (const char *name : {"file", "link-file"})
        EXPECT_TRUE(m_files.fileExists(logicPath(name))) << name;
    for (const char *name : {"dir", "link-dir", "dangling", "missing"})
        EXPECT_FALSE(m_files.fileExists(logicPath(name))) << name;
}

// What a stick can hold in place of the probe file. Only a regular file is ever emptied or deleted; anything
// else answers as a write-protected stick, and neither it nor what it points to changes. vfat cannot hold
// links, FIFOs or devices, so these are proven here on a plain folder rather than on the rig.
TEST_F(LinuxFileServiceTest, TheProbeFileIsNeverFollowedOpenedOrDeletedUnlessAPlainFile) {
    const fs::path stick = m_root / "media/op/PORT 2";
    const fs::path probe = stick / "tavrin.bin";
    const fs::path outside = m_folder.path() / "passwd";
    writeBytes(outside, "root:x:0:0\n");
    const struct {
        const char *what;
        std::function<void()> make;
    } cases[] = {
        {"a link to a file outside the stick", [&] { fs::create_symlink(outside, probe); }},
        {"a link to where a file could be made", [&] { fs::create_symlink(m_folder.path() / "new", probe); }},
        {"a FIFO, which would block an open for writing",
         [&] { ASSERT_EQ(::mkfifo(probe.c_str(), 0666), 0); }},
        {"a folder", [&] { fs::create_directories(probe / "inside"); }},
        {"a character device", [&] { ::mknod(probe.c_str(), S_IFCHR | 0666, makedev(1, 3)); }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(probe);
        c.make();
        if (!fs::exists(fs::symlink_status(probe)))
            continue; // no devices without root
        const fs::file_type type = fs::symlink_status(probe).type();
        DriveSlot slot;
        slot.letter = "F";
        ProbeWriteProtect(m_files, slot);
        EXPECT_EQ(slot.checkResult, "写保护");
        EXPECT_FALSE(m_files.createEmptyFile("F:\\tavrin.bin"));
        EXPECT_FALSE(m_files.deleteFile("F:\\tavrin.bin"));
        EXPECT_EQ(fs::symlink_status(probe).type(), type);
        EXPECT_EQ(readBytes(outside), "root:x:0:0\n");
        EXPECT_FALSE(fs::exists(m_folder.path() / "new"));
        if (type == fs::file_type::directory) {
            EXPECT_TRUE(fs::exists(probe / "inside"));
        }
    }
    // A plain file left over is emptied and deleted: the stick is writable.
    fs::remove_all(probe);
    writeBytes(probe, "left over");
    DriveSlot slot;
    slot.letter = "F";
    ProbeWriteProtect(m_files, slot);
    EXPECT_EQ(slot.checkResult, "可读写");
    EXPECT_FALSE(fs::exists(fs::symlink_status(probe)));
}

TEST_F(LinuxFileServiceTest, ReadsWholeFilesUpToTheLimit) {
    const std::string bytes = std::string("Volnum=\xCA\xFD\0\xFF\r\n", 12);
    writeBytes(folder() / "Volnum.txt", bytes);
    writeBytes(folder() / "empty.txt", "");
    fs::create_symlink("Volnum.txt", folder() / "link.txt");
    EXPECT_EQ(m_files.readFile(logicPath("Volnum.txt")), bytes);
    EXPECT_EQ(m_files.readFile(logicPath("link.txt")), bytes);
    EXPECT_EQ(m_files.readFile(logicPath("empty.txt")), std::string());

    // Sparse, so neither costs disk space.
    std::ofstream(folder() / "limit.bin").close();
    fs::resize_file(folder() / "limit.bin", LinuxFileService::kMaximumReadSize);
    const auto atLimit = m_files.readFile(logicPath("limit.bin"));
    ASSERT_TRUE(atLimit);
    EXPECT_EQ(atLimit->size(), LinuxFileService::kMaximumReadSize);
    fs::resize_file(folder() / "limit.bin", LinuxFileService::kMaximumReadSize + 1);
    EXPECT_FALSE(m_files.readFile(logicPath("limit.bin")));
}

TEST_F(LinuxFileServiceTest, ReplacesContentKeepingLinksAndPermissions) {
    for (const std::string &content : {std::string("first"), std::string(100000, 'b'), std::string()}) {
        ASSERT_TRUE(m_files.replaceFile(logicPath("Set.ini"), content));
        EXPECT_EQ(readBytes(folder() / "Set.ini"), content);
    }
    ASSERT_TRUE(m_files.replaceFile("F:\\Set.ini", "on the stick"));
    EXPECT_EQ(readBytes(m_root / "media/op/PORT 2/Set.ini"), "on the stick");

    fs::create_directories(folder() / "Shared");
    writeBytes(folder() / "Shared/Volnum.txt", "old");
    fs::create_symlink("Shared/Volnum.txt", folder() / "Volnum.txt");
    ASSERT_TRUE(m_files.replaceFile(logicPath("Volnum.txt"), "new"));
    EXPECT_TRUE(fs::is_symlink(folder() / "Volnum.txt"));
    EXPECT_EQ(readBytes(folder() / "Shared/Volnum.txt"), "new");

    const fs::perms perms = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(folder() / "Set.ini", perms);
    ASSERT_TRUE(m_files.replaceFile(logicPath("Set.ini"), "new"));
    EXPECT_EQ(fs::status(folder() / "Set.ini").permissions(), perms);
    // No temporary file left behind anywhere.
    EXPECT_EQ(namesIn(folder()), (std::vector<std::string>{"Set.ini", "Shared", "Volnum.txt"}));
    EXPECT_EQ(namesIn(folder() / "Shared"), std::vector<std::string>{"Volnum.txt"});
}

TEST_F(LinuxFileServiceTest, FailedReplaceKeepsTheOldFile) {
    writeBytes(folder() / "Set.ini", "old content");
    fs::create_directories(folder() / "Target");
    writeBytes(folder() / "Target/inside", "kept");

    // A write that stops part-way, as on a full stick: the process may not write files past 1 KiB.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto savedHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool replaced = m_files.replaceFile(logicPath("Set.ini"), std::string(4096, 'n'));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, savedHandler);

    EXPECT_FALSE(replaced);
    EXPECT_EQ(readBytes(folder() / "Set.ini"), "old content");

    // A folder cannot be replaced by a file.
    EXPECT_FALSE(m_files.replaceFile(logicPath("Target"), "new"));
    EXPECT_EQ(readBytes(folder() / "Target/inside"), "kept");
    EXPECT_EQ(namesIn(folder() / "Target"), std::vector<std::string>{"inside"});

    EXPECT_EQ(namesIn(folder()), (std::vector<std::string>{"Set.ini", "Target"}));
}

} // namespace
} // namespace dravex
