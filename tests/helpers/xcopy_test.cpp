#include "helpers/xcopy.h"

#include "helperfixtures.h"
#include "platform/linux/process/commandline.h"
#include "platform/linux/windows/linuxdirectorysearch.h"
#include "scan/dirstats.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dravex {
namespace {

namespace fs = std::filesystem;

TEST(ParseXcopyCommand, CommandLinesTheToolBuilds) {
    const struct {
        const char *text;
        const char *source;
        char letter;
        const char *switches; // v h e f k as set
    } cases[] = {
        {"D:\\Cust\\*.* H:\\./v/h/e/f/k", "D:\\Cust", 'H', "vhefk"},
        {"/home/op/my cust\\*.* h:\\./V/H/E/F/K", "/home/op/my cust", 'H', "vhefk"},
        {"/home/op/cust\\\\*.* H:\\./h/e/f/k", "/home/op/cust\\", 'H', "hefk"},
        {"D:\\\\*.* Z:\\./e", "D:\\", 'Z', "e"},
        {"/a  b\\*.*   F:\\.   ", "/a  b", 'F', ""},
        {"/src\\*.*\tF:\\./k/v", "/src", 'F', "vk"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        const ParsedXcopyCommand parsed = parseXcopyCommand(c.text);
        ASSERT_TRUE(parsed.command) << parsed.problem;
        EXPECT_EQ(parsed.command->sourceFolder, c.source);
        EXPECT_EQ(parsed.command->letter, c.letter);
        const CopyOptions &o = parsed.command->options;
        std::string set;
        for (const auto &[flag, name] : {std::pair{o.verify, 'v'},
                                         {o.includeHidden, 'h'},
                                         {o.recurse, 'e'},
                                         {o.listNames, 'f'},
                                         {o.keepTimes, 'k'}})
            if (flag)
                set += name;
        EXPECT_EQ(set, c.switches);
    }
}

TEST(ParseXcopyCommand, BadCommandLines) {
    for (const char *text :
         {"", "H:\\./v", "/src\\*.*", "/src\\*.* H:\\", "/src\\*.* H:/./v", "/src H:\\./v",
          "/src\\*.* H:\\./x", "/src\\*.* H:\\./v/v", "/src\\*.* H:\\.v", "/src\\*.* H:\\./", "\\*.* H:\\./v",
          "/src\\*.* 1:\\./v", "/src\\*.* H:\\.//v", "/src\\*.* HH:\\./v"}) {
        const ParsedXcopyCommand parsed = parseXcopyCommand(text);
        EXPECT_FALSE(parsed.command) << text;
        EXPECT_FALSE(parsed.problem.empty()) << text;
    }
}

void writeFile(const fs::path &path, const std::string &bytes) {
    fs::create_directories(path.parent_path());
    writeFileBytes(path.string(), bytes);
}

std::string pattern(size_t size, int seed) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 131 + static_cast<size_t>(seed) * 7 + i / 4096) & 0xFF);
    return bytes;
}

timespec mtimeOf(const fs::path &path) {
    struct stat status {};
    ::stat(path.c_str(), &status);
    return status.st_mtim;
}

// A source tree with every kind of entry the copy must get right, and the stick F: emptied.
class XcopyRun : public HelperFixture {
protected:
    void SetUp() override {
        HelperFixture::SetUp();
        m_stick = fs::path(m_tree) / "media/op/PLAIN";
        fs::remove(m_stick / "README.TXT");
        m_source = m_folder.path() / "cust files";
        writeFile(m_source / "a.txt", "alpha");
        writeFile(m_source / "big.bin", pattern(3 * 1024 * 1024 + 17, 1));
        writeFile(m_source / ".hidden", "hidden");
        writeFile(m_source / ".cfg/x.ini", "x=1");
        writeFile(m_source / "docs/sub/c.txt", "gamma");
        writeFile(m_source / "docs/empty.txt", "");
        fs::create_directories(m_source / "empty");
        fs::create_symlink("docs/sub/c.txt", m_source / "linkfile");
        fs::create_symlink("docs", m_source / "linkdir");
        // Back up to a folder the walk is inside: must become an empty folder.
        fs::create_symlink("..", m_source / "docs/sub/loop");
        const timespec times[2] = {{978307200, 0}, {978307200, 0}}; // 2001-01-01
        ::utimensat(AT_FDCWD, (m_source / "a.txt").c_str(), times, 0);
        ::utimensat(AT_FDCWD, (m_source / "docs/sub").c_str(), times, AT_SYMLINK_NOFOLLOW);
    }

    std::string command(const std::string &switches) { return m_source.string() + "\\*.* F:\\." + switches; }

    std::string summary(const std::string &path) {
        FakeMounter mounter;
        LinuxVolumeServices volumes(m_tree, mounter);
        LinuxDirectorySearch search(volumes);
        return FormatDirStats(summariseTree(search, path));
    }

    fs::path m_stick;
    fs::path m_source;
};

TEST_F(XcopyRun, CopiedTreeSummarisesLikeItsSource) {
    // What the statistics count as empty files arrives empty, and what the stick held is overwritten.
    fs::create_symlink("nowhere", m_source / "dangling");
    ASSERT_EQ(::mkfifo((m_source / "docs/pipe").c_str(), 0644), 0);
    writeFile(m_stick / "dangling", "old content");
    writeFile(m_stick / "a.txt", "an older and much longer content");
    HelperContext helper = context();
    ASSERT_EQ(runXcopy(command("/v/h/e/f/k"), helper), kExitDone) << m_err.str();
    EXPECT_EQ(summary("F:\\"), summary(m_source.string()));
    EXPECT_EQ(fileBytes((m_stick / "a.txt").string()), "alpha");
    EXPECT_EQ(fileBytes((m_stick / "big.bin").string()), pattern(3 * 1024 * 1024 + 17, 1));
    for (const fs::path &name : {m_stick / "dangling", m_stick / "docs/pipe"}) {
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(name))) << name;
        EXPECT_EQ(fileBytes(name.string()), "") << name;
    }
    EXPECT_EQ(fileBytes((m_stick / "linkfile").string()), "gamma");
    EXPECT_FALSE(fs::is_symlink(m_stick / "linkfile"));
    EXPECT_TRUE(fs::is_directory(m_stick / "linkdir/sub"));
    EXPECT_FALSE(fs::is_symlink(m_stick / "linkdir"));
    EXPECT_TRUE(fs::is_empty(m_stick / "docs/sub/loop"));
    EXPECT_TRUE(fs::is_empty(m_stick / "empty"));
    EXPECT_EQ(fileBytes((m_stick / ".cfg/x.ini").string()), "x=1");
    EXPECT_EQ(mtimeOf(m_stick / "a.txt").tv_sec, 978307200);
    EXPECT_EQ(mtimeOf(m_stick / "docs/sub").tv_sec, 978307200);
    const std::string listed =
        (m_source / "docs/sub/c.txt").string() + " -> " + (m_stick / "docs/sub/c.txt").string();
    EXPECT_NE(m_out.str().find(listed), std::string::npos) << m_out.str();
    EXPECT_TRUE(m_err.str().empty()) << m_err.str();
}

TEST_F(XcopyRun, WithoutSwitchesOnlyVisibleTopLevelFilesAndNewTimes) {
    HelperContext helper = context();
    ASSERT_EQ(runXcopy(command(""), helper), kExitDone) << m_err.str();
    std::vector<std::string> names;
    for (const auto &entry : fs::directory_iterator(m_stick))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"a.txt", "big.bin", "linkfile"}));
    EXPECT_NE(mtimeOf(m_stick / "a.txt").tv_sec, 978307200);
    EXPECT_EQ(m_out.str().find(" -> "), std::string::npos);
}

TEST_F(XcopyRun, VerifyCatchesWhatTheMediumGotWrongEmptyFilesIncluded) {
    fs::create_symlink("nowhere", m_source / "dangling");
    const std::string big = (m_stick / "big.bin").string();
    const std::string dangling = (m_stick / "dangling").string();
    CopyHooks hooks;
    hooks.beforeVerify = [&](const std::string &destination) {
        if (destination == dangling)
            writeFileBytes(destination, "x");
        if (destination != big)
            return;
        const int fd = ::open(destination.c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::pwrite(fd, "?", 1, 2 * 1024 * 1024 + 5), 1);
        ::close(fd);
    };
    HelperContext helper = context();
    EXPECT_EQ(runXcopy(command("/v/h/e/f/k"), helper, hooks), kExitFailed);
    EXPECT_NE(m_err.str().find(big), std::string::npos) << m_err.str();
    EXPECT_NE(m_err.str().find(dangling), std::string::npos) << m_err.str();
    // The rest was still copied.
    EXPECT_EQ(fileBytes((m_stick / "docs/sub/c.txt").string()), "gamma");
}

TEST_F(XcopyRun, VanishedSourceAndInterruptedCopyAreNamedAndTheCopyGoesOn) {
    // One source file disappears; between two files the folder being filled turns into a file, as when a
    // stick's folder is lost.
    const fs::path vanishing = m_source / "docs/empty.txt";
    const fs::path folder = m_stick / "docs/sub";
    CopyHooks hooks;
    hooks.beforeFile = [&](const std::string &source) {
        if (source == vanishing.string())
            fs::remove(vanishing);
        if (source == (m_source / "docs/sub/c.txt").string()) {
            fs::remove_all(folder);
            writeFileBytes(folder.string(), "in the way");
        }
    };
    HelperContext helper = context();
    EXPECT_EQ(runXcopy(command("/h/e/k"), helper, hooks), kExitFailed);
    EXPECT_NE(m_err.str().find(vanishing.string()), std::string::npos) << m_err.str();
    EXPECT_NE(m_err.str().find((folder / "c.txt").string()), std::string::npos) << m_err.str();
    EXPECT_EQ(fileBytes((m_stick / "a.txt").string()), "alpha");
    EXPECT_EQ(fileBytes((m_stick / "linkfile").string()), "gamma");
}

TEST_F(XcopyRun, DestinationInTheWayIsNamed) {
    // A file where the copy needs a folder.
    writeFile(m_stick / "docs", "not a folder");
    HelperContext helper = context();
    EXPECT_EQ(runXcopy(command("/v/h/e/f/k"), helper), kExitFailed);
    EXPECT_NE(m_err.str().find((m_stick / "docs").string()), std::string::npos) << m_err.str();
}

TEST_F(XcopyRun, StickCopiedOntoItselfLosesNothing) {
    HelperContext helper = context();
    ASSERT_EQ(runXcopy(command("/h/e"), helper), kExitDone);
    EXPECT_EQ(runXcopy(m_stick.string() + "\\*.* F:\\./h/e", helper), kExitFailed);
    EXPECT_EQ(fileBytes((m_stick / "a.txt").string()), "alpha");
    EXPECT_EQ(fileBytes((m_stick / "big.bin").string()), pattern(3 * 1024 * 1024 + 17, 1));
}

TEST_F(XcopyRun, MissingSourceAndRefusedDrives) {
    HelperContext helper = context();
    EXPECT_EQ(runXcopy("D:\\Cust\\*.* F:\\./v", helper), kExitFailed);
    for (char letter : {'G', 'H', 'I', 'J', 'K', 'L', 'N', 'C'}) {
        const std::string text = m_source.string() + "\\*.* " + letter + ":\\./v/h/e/f/k";
        EXPECT_EQ(runXcopy(text, helper), kExitRefused) << letter;
    }
    EXPECT_TRUE(fs::is_empty(m_stick));
    EXPECT_TRUE(m_actions.calls.empty());
}

using XcopyProgram = XcopyRun;

TEST_F(XcopyProgram, TheToolsCommandLineThroughTheLaunchersSplit) {
    const std::string slash = m_source.string() + "\\";
    for (const std::string &folder : {m_source.string(), slash}) {
        std::vector<std::string> arguments =
            splitWindowsCommandLine("xcopy " + folder + "\\*.* F:\\./v/h/e/f/k");
        arguments.erase(arguments.begin());
        const ProcessResult result = runProgram(DRAVEX_XCOPY_PROGRAM, arguments);
        EXPECT_EQ(result.exitCode, kExitDone) << result.err;
        EXPECT_EQ(summary("F:\\"), summary(m_source.string()));
    }
}

TEST_F(XcopyProgram, RefusalsAndBadCommandLinesWriteNothing) {
    const fs::path other = fs::path(m_tree) / "media/op/LIVEDATA";
    const std::pair<std::string, int> cases[] = {
        {m_source.string() + "\\*.* G:\\./v/h/e/f/k", kExitRefused},
        {m_source.string() + "\\*.* N:\\./v/h/e/f/k", kExitRefused},
        {m_source.string() + "\\*.* F:\\./v/h/e/f/x", kExitBadCommandLine},
        {"", kExitBadCommandLine},
    };
    for (const auto &[text, exitCode] : cases) {
        std::vector<std::string> arguments = splitWindowsCommandLine("xcopy " + text);
        arguments.erase(arguments.begin());
        const ProcessResult result = runProgram(DRAVEX_XCOPY_PROGRAM, arguments);
        EXPECT_EQ(result.exitCode, exitCode) << text << result.err;
        EXPECT_NE(result.err.find("错误："), std::string::npos);
    }
    EXPECT_TRUE(fs::is_empty(m_stick));
    EXPECT_EQ(std::distance(fs::directory_iterator(other), fs::directory_iterator()), 1);
}

} // namespace
} // namespace dravex
