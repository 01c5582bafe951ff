#include "helpers/xcopy.h"
#include "helpers/xcopytexts.h"

#include "helperfixtures.h"
#include "platform/linux/process/commandline.h"
#include "platform/linux/windows/linuxdirectorysearch.h"
#include "scan/dirstats.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <fcntl.h>
#include <map>
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

TEST_F(XcopyRun, VerifyReadsBackTheFilesItWroteNotOnesPutInTheirPlace) {
    // The check comes after the whole copy: by then a copy may have been replaced by another file with
    // the same bytes, or its folder by another folder; neither is what this copy wrote.
    const std::string replaced = (m_stick / "a.txt").string();
    const fs::path moved = m_stick / "docs" / "sub";
    std::vector<std::string> checked;
    CopyHooks hooks;
    hooks.beforeVerify = [&](const std::string &destination) {
        checked.push_back(destination);
        if (destination == replaced) {
            // Made before the copy goes, so it cannot be given the copy's inode number again.
            writeFileBytes(replaced + ".new", "alpha");
            fs::rename(replaced + ".new", replaced);
        }
        if (destination == (moved / "c.txt").string() && fs::exists(moved)) {
            fs::rename(moved, m_stick / "elsewhere");
            fs::create_directories(moved);
            writeFileBytes((moved / "c.txt").string(), "gamma");
        }
    };
    HelperContext helper = context();
    EXPECT_EQ(runXcopy(command("/v/h/e/f/k"), helper, hooks), kExitFailed);
    EXPECT_NE(m_err.str().find(std::string(xcopytexts::kVerifyFailed) + replaced), std::string::npos) << m_err.str();
    EXPECT_NE(m_err.str().find(std::string(xcopytexts::kVerifyFailed) + (moved / "c.txt").string()),
              std::string::npos)
        << m_err.str();
    // Every file is checked once, after all of them were written.
    std::vector<std::string> unique = checked;
    std::sort(unique.begin(), unique.end());
    EXPECT_EQ(std::unique(unique.begin(), unique.end()), unique.end());
    EXPECT_NE(m_out.str().find(std::to_string(checked.size() - 2) + xcopytexts::kFilesCopied), std::string::npos)
        << m_out.str();
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

// Every entry below a folder, links not followed: a link as its target text, a file as its bytes.
std::map<std::string, std::string> snapshot(const fs::path &folder) {
    std::map<std::string, std::string> entries;
    for (auto it = fs::recursive_directory_iterator(folder); it != fs::recursive_directory_iterator(); ++it) {
        const std::string name = it->path().lexically_relative(folder).string();
        if (it->is_symlink())
            entries[name] = "link " + fs::read_symlink(it->path()).string();
        else if (it->is_regular_file())
            entries[name] = "file " + fileBytes(it->path().string());
        else
            entries[name] = it->is_directory() ? "folder" : "other";
    }
    return entries;
}

// A folder beside the stick that the copy must never write into, with a file of it.
class XcopyBesideTheStick : public XcopyRun {
protected:
    void SetUp() override {
        XcopyRun::SetUp();
        m_outside = m_folder.path() / "elsewhere";
        writeFile(m_outside / "secret.txt", "keep me");
        writeFile(m_outside / "inner/kept.txt", "kept");
        m_before = snapshot(m_outside);
    }

    // A fresh source of these files; "name/" is an empty folder.
    void sourceOf(const std::map<std::string, std::string> &files) {
        fs::remove_all(m_source);
        fs::create_directories(m_source);
        for (const auto &[name, bytes] : files)
            name.back() == '/' ? (void)fs::create_directories(m_source / name)
                               : writeFile(m_source / name, bytes);
    }

    int copy(const std::string &switches = "/v/h/e/k") {
        HelperContext helper = context();
        return runXcopy(command(switches), helper);
    }

    fs::path m_outside;
    std::map<std::string, std::string> m_before;
};

using XcopyCaseCollision = XcopyBesideTheStick;

TEST_F(XcopyCaseCollision, NamesDifferingOnlyInCaseAreNamedAndTheFirstOneKept) {
    sourceOf({{"Readme.txt", "mixed"},
              {"README.TXT", "upper"},
              {"Docs/a.txt", "a"},
              {"docs", "file"},
              {"sub/X.bin", "1"},
              {"sub/x.BIN", "2"},
              {"other.txt", "o"}});
    EXPECT_EQ(copy(), kExitFailed);
    const std::string err = m_err.str();
    for (const auto &[later, first] :
         {std::pair{"Readme.txt", "README.TXT"}, {"docs", "Docs"}, {"sub/x.BIN", "sub/X.bin"}}) {
        const std::string line = std::string("错误：文件名仅大小写不同，在U盘上会互相覆盖：") +
                                 (m_source / later).string() + " 与 " + (m_source / first).string();
        EXPECT_NE(err.find(line), std::string::npos) << err;
    }
    EXPECT_EQ(snapshot(m_stick), (std::map<std::string, std::string>{{"Docs", "folder"},
                                                                     {"Docs/a.txt", "file a"},
                                                                     {"README.TXT", "file upper"},
                                                                     {"other.txt", "file o"},
                                                                     {"sub", "folder"},
                                                                     {"sub/X.bin", "file 1"}}));
    EXPECT_NE(m_out.str().find("4 个文件已复制"), std::string::npos) << m_out.str();
    EXPECT_EQ(snapshot(m_outside), m_before);
}

TEST_F(XcopyCaseCollision, AFileSystemThatFoldsMoreThanAsciiIsCaughtAtTheDestination) {
    // Two names the ASCII comparison keeps apart but the stick takes as one: stood for here by two
    // names of one file on the stick.
    sourceOf({{"Ärger.txt", "upper"}, {"ärger.txt", "lower"}});
    writeFile(m_stick / "Ärger.txt", "old");
    fs::create_hard_link(m_stick / "Ärger.txt", m_stick / "ärger.txt");
    EXPECT_EQ(copy(), kExitFailed);
    EXPECT_NE(m_err.str().find("在U盘上会互相覆盖：" + (m_source / "ärger.txt").string()), std::string::npos)
        << m_err.str();
    EXPECT_EQ(fileBytes((m_stick / "ärger.txt").string()), "upper");
    EXPECT_EQ(snapshot(m_outside), m_before);
}

using XcopyLinksOnTheStick = XcopyBesideTheStick;

TEST_F(XcopyLinksOnTheStick, AreReplacedAndNeverWrittenThrough) {
    sourceOf({{"notes.txt", "new notes"},
              {"docs/a.txt", "a"},
              {"docs/deeper/b.txt", "b"},
              {"fresh.txt", "fresh"},
              {"pipe.txt", "no hang"},
              {"pipedir/c.txt", "c"},
              {"sock.txt", "s"}});
    fs::create_symlink(m_outside / "secret.txt", m_stick / "notes.txt");
    fs::create_directory_symlink(m_outside, m_stick / "docs");
    // A link leading nowhere yet: creating through it would make the file outside.
    fs::create_symlink(m_outside / "made.txt", m_stick / "fresh.txt");
    ASSERT_EQ(::mkfifo((m_stick / "pipe.txt").c_str(), 0644), 0);
    ASSERT_EQ(::mkfifo((m_stick / "pipedir").c_str(), 0644), 0);
    ASSERT_EQ(::mknod((m_stick / "sock.txt").c_str(), S_IFSOCK | 0644, 0), 0);
    ASSERT_EQ(copy(), kExitDone) << m_err.str();
    EXPECT_EQ(snapshot(m_stick), (std::map<std::string, std::string>{{"docs", "folder"},
                                                                     {"docs/a.txt", "file a"},
                                                                     {"docs/deeper", "folder"},
                                                                     {"docs/deeper/b.txt", "file b"},
                                                                     {"fresh.txt", "file fresh"},
                                                                     {"notes.txt", "file new notes"},
                                                                     {"pipe.txt", "file no hang"},
                                                                     {"pipedir", "folder"},
                                                                     {"pipedir/c.txt", "file c"},
                                                                     {"sock.txt", "file s"}}));
    EXPECT_EQ(snapshot(m_outside), m_before);
}

TEST_F(XcopyLinksOnTheStick, AreReplacedByEmptyFilesAndAFileInTheWayOfAFolderIsStillAnError) {
    // What the source holds as empty files (a dangling link, a pipe) meets links on the stick too.
    sourceOf({{"inner/x.txt", "x"}});
    fs::create_symlink("nowhere", m_source / "dangling");
    ASSERT_EQ(::mkfifo((m_source / "pipe").c_str(), 0644), 0);
    fs::create_symlink(m_outside / "secret.txt", m_stick / "dangling");
    fs::create_symlink(m_outside / "inner/kept.txt", m_stick / "pipe");
    writeFile(m_stick / "inner", "a file, not a link");
    EXPECT_EQ(copy(), kExitFailed);
    EXPECT_NE(m_err.str().find("无法创建文件夹：" + (m_stick / "inner").string()), std::string::npos)
        << m_err.str();
    EXPECT_EQ(snapshot(m_stick),
              (std::map<std::string, std::string>{
                  {"dangling", "file "}, {"inner", "file a file, not a link"}, {"pipe", "file "}}));
    EXPECT_EQ(snapshot(m_outside), m_before);
}

using XcopyLinkWalk = XcopyBesideTheStick;

TEST_F(XcopyLinkWalk, LinksThatBranchEnterEachFolderOnce) {
    // Level k holds a file and two links to level k+1: followed every time, 2^24 copies of the last level.
    constexpr int kLevels = 24;
    sourceOf({});
    for (int level = 0; level < kLevels; ++level) {
        const fs::path folder = m_source / ("L" + std::to_string(level));
        writeFile(folder / "f.txt", std::to_string(level));
        if (level + 1 < kLevels)
            for (const char *link : {"a", "b"})
                fs::create_directory_symlink("../L" + std::to_string(level + 1), folder / link);
    }
    ASSERT_EQ(copy("/h/e"), kExitDone) << m_err.str();
    // The 24 folders, and once more each folder the first link chain reached (L1 to L23 inside L0/a).
    EXPECT_NE(m_out.str().find("47 个文件已复制"), std::string::npos) << m_out.str();
    EXPECT_EQ(fileBytes((m_stick / "L0/a/a/a/f.txt").string()), "3");
    EXPECT_TRUE(fs::is_empty(m_stick / "L0/b"));
    EXPECT_TRUE(fs::is_empty(m_stick / "L5/a"));
    EXPECT_EQ(summary("F:\\"), summary(m_source.string()));
}

TEST_F(XcopyLinkWalk, LinksOffTheSourcesFileSystemAreNotFollowed) {
    sourceOf({{"a.txt", "a"}});
    fs::create_directory_symlink("/sys", m_source / "sys");
    fs::create_directory_symlink("/proc/self", m_source / "self");
    fs::create_symlink("/proc/self/status", m_source / "status");
    fs::create_directory_symlink(m_outside, m_source / "beside"); // same file system: followed
    ASSERT_EQ(copy("/h/e/k"), kExitDone) << m_err.str();
    EXPECT_EQ(snapshot(m_stick), (std::map<std::string, std::string>{{"a.txt", "file a"},
                                                                     {"beside", "folder"},
                                                                     {"beside/inner", "folder"},
                                                                     {"beside/inner/kept.txt", "file kept"},
                                                                     {"beside/secret.txt", "file keep me"},
                                                                     {"self", "folder"},
                                                                     {"status", "file "},
                                                                     {"sys", "folder"}}));
    EXPECT_EQ(summary("F:\\"), summary(m_source.string()));
    EXPECT_EQ(snapshot(m_outside), m_before);
}

using XcopyOddNames = XcopyBesideTheStick;

TEST_F(XcopyOddNames, BackslashInANameIsOneName) {
    sourceOf({{"c\\d/x.txt", "xxx"}, {"c/d/y.txt", "y"}, {"a\\b.txt", "ab"}});
    ASSERT_EQ(copy(), kExitDone) << m_err.str();
    EXPECT_EQ(snapshot(m_stick), (std::map<std::string, std::string>{{"a\\b.txt", "file ab"},
                                                                     {"c", "folder"},
                                                                     {"c/d", "folder"},
                                                                     {"c/d/y.txt", "file y"},
                                                                     {"c\\d", "folder"},
                                                                     {"c\\d/x.txt", "file xxx"}}));
    // Counted where they are, not at "c/d".
    EXPECT_EQ(summary("F:\\"), "文件:3;目录:3;大小:6字节");
    EXPECT_EQ(summary(m_source.string()), "文件:3;目录:3;大小:6字节");
    EXPECT_EQ(snapshot(m_outside), m_before);
}

// Folders nested until their path is longer than a path may be, made and read one level at a time.
constexpr int kDeepLevels = 24;
const std::string kLongName(200, 'n');

void makeDeepTree(const fs::path &root, const std::string &bottomFile) {
    int folder = ::open(root.c_str(), O_RDONLY | O_DIRECTORY);
    for (int level = 0; level < kDeepLevels; ++level) {
        ASSERT_EQ(::mkdirat(folder, kLongName.c_str(), 0755), 0);
        const int inner = ::openat(folder, kLongName.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(folder);
        folder = inner;
    }
    const int file = ::openat(folder, "bottom.txt", O_WRONLY | O_CREAT, 0644);
    ASSERT_EQ(::write(file, bottomFile.data(), bottomFile.size()), static_cast<ssize_t>(bottomFile.size()));
    ::close(file);
    ::close(folder);
}

// std::filesystem cannot remove what its paths cannot name.
void removeDeepTree(const fs::path &root) {
    std::vector<int> folders{::open(root.c_str(), O_RDONLY | O_DIRECTORY)};
    while (folders.back() >= 0 && folders.size() <= kDeepLevels)
        folders.push_back(::openat(folders.back(), kLongName.c_str(), O_RDONLY | O_DIRECTORY));
    if (folders.back() >= 0)
        ::unlinkat(folders.back(), "bottom.txt", 0);
    for (size_t level = folders.size() - 1; level > 0; --level) {
        if (folders[level] >= 0)
            ::close(folders[level]);
        ::unlinkat(folders[level - 1], kLongName.c_str(), AT_REMOVEDIR);
    }
    ::close(folders.front());
}

std::string deepFile(const fs::path &root) {
    int folder = ::open(root.c_str(), O_RDONLY | O_DIRECTORY);
    for (int level = 0; level < kDeepLevels && folder >= 0; ++level) {
        const int inner = ::openat(folder, kLongName.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(folder);
        folder = inner;
    }
    const int file = folder < 0 ? -1 : ::openat(folder, "bottom.txt", O_RDONLY);
    char bytes[64] = {};
    const ssize_t count = file < 0 ? -1 : ::read(file, bytes, sizeof bytes);
    ::close(file);
    ::close(folder);
    return count < 0 ? "(missing)" : std::string(bytes, static_cast<size_t>(count));
}

TEST_F(XcopyOddNames, TreeDeeperThanAPathCanNameIsCopiedWhole) {
    sourceOf({{"top.txt", "t"}});
    makeDeepTree(m_source, "at the bottom");
    ASSERT_GT((kLongName.size() + 1) * kDeepLevels, static_cast<size_t>(PATH_MAX));
    ASSERT_EQ(copy("/v/e"), kExitDone) << m_err.str();
    EXPECT_EQ(deepFile(m_stick), "at the bottom");
    EXPECT_NE(m_out.str().find("2 个文件已复制"), std::string::npos) << m_out.str();
    EXPECT_EQ(summary("F:\\"), summary(m_source.string()));
    removeDeepTree(m_source);
    removeDeepTree(m_stick);
}

} // namespace
} // namespace dravex
