#include "config/settingsfiles.h"
#include "platform/linux/windows/iconvcodepage.h"
#include "platform/sim/simbench.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

namespace dravex {
namespace {

namespace fs = std::filesystem;

TEST(SplitSettingsLines, LineEnds) {
    using Lines = std::vector<std::string>;
    const std::pair<const char *, Lines> cases[] = {
        {"", {}},
        {"A", {"A"}},
        {"A\r\nB\r\n", {"A", "B"}},
        {"A\rB", {"A", "B"}},
        {"A\nB\r\n", {"A\nB"}},
        {"A\r\n\r\n", {"A", ""}},
        {"\r\nB", {"", "B"}},
        {"A\r\r\nB", {"A", "", "B"}},
    };
    for (const auto &[text, lines] : cases)
        EXPECT_EQ(splitSettingsLines(text), lines) << text;
}

// The program folder C:\DRAVEX on a fixed drive of the bench, with both files read through GBK.
class SettingsFilesTest : public ::testing::Test {
protected:
    SimBench bench;
    IconvCodePage codePage;
    MainWindowState window;
    ConfigDialog dialog{window, bench};
    fs::path programFolder;
    std::unique_ptr<SettingsFiles> settings;

    void SetUp() override {
        programFolder = plugFixed('C', false) / "DRAVEX";
        fs::create_directories(programFolder);
        settings = std::make_unique<SettingsFiles>(bench, codePage, "C:\\DRAVEX", window, dialog);
    }
    fs::path plugFixed(char letter, bool locked) {
        SimDrive fixed;
        fixed.letter = letter;
        fixed.driveType = 3;
        fixed.locked = locked;
        bench.plug(fixed);
        return bench.folderOf(letter);
    }
    void store(const char *name, const std::string &bytes) {
        std::ofstream(programFolder / name, std::ios::binary) << bytes;
    }
    std::string stored(const char *name, const fs::path &folder = {}) {
        std::ifstream in((folder.empty() ? programFolder : folder) / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
};

TEST_F(SettingsFilesTest, MissingFilesAreCreatedEmpty) {
    settings->LoadSettings();
    EXPECT_EQ(stored("Volnum.txt"), "");
    EXPECT_TRUE(fs::exists(programFolder / "FileCopyPath.log"));
    EXPECT_EQ(fs::file_size(programFolder / "FileCopyPath.log"), 0u);
    EXPECT_EQ(window.panel(2) + window.panel(3), "");
    EXPECT_FALSE(window.copyEnabled);
    // Nothing stored left the dialog unloaded: its first reading takes the panels as they are then.
    window.panel(3) = "LATER";
    EXPECT_EQ(dialog.label(), "LATER");
}

TEST_F(SettingsFilesTest, ReadingRules) {
    const struct {
        const char *volnum;
        const char *copyPath;
        const char *label;
        const char *folder;
    } cases[] = {
        {"ABCDEFGHIJKLMN\r\nSECOND\r\n", "", "ABCDEFGHIJK", ""}, // first line, first eleven characters
        {"\r\nDATA\r\n", "D:\\A\r\n\r\n", "", ""},               // empty first / last line
        {"AB\nCD\r\n", "D:\\A\r\nD:\\B\r\n", "AB\nCD", "D:\\B"}, // lone LF stays; last line counts
        {"", "D:\\A\rD:\\C", "", "D:\\C"},                       // CR alone ends a line; no terminator
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.volnum) + "|" + c.copyPath);
        store("Volnum.txt", c.volnum);
        store("FileCopyPath.log", c.copyPath);
        window.panel(2) = window.panel(3) = ""; // their start text
        settings->LoadSettings();
        EXPECT_EQ(window.panel(3), c.label);
        EXPECT_EQ(window.panel(2), c.folder);
        EXPECT_EQ(window.copyEnabled, *c.folder != '\0');
    }
    // Setting the folder loaded the dialog, hidden, with that folder: it no longer follows the panels.
    window.panel(2) = "D:\\ELSEWHERE";
    EXPECT_EQ(dialog.folder(), "D:\\C");
}

TEST_F(SettingsFilesTest, InvalidBytesLoadAsReplacementCharactersAndStayOnDisk) {
    store("Volnum.txt", "AB\xFF\r\n");
    settings->LoadSettings();
    EXPECT_EQ(window.panel(3), "AB\xEF\xBF\xBD");
    EXPECT_EQ(stored("Volnum.txt"), "AB\xFF\r\n");
}

TEST_F(SettingsFilesTest, SaveWritesExactBytesInCodePage936AndAChineseLabelRoundTrips) {
    dialog.setLabel("DATA");
    dialog.setFolder("D:\\客户文件");
    settings->SaveSettings();
    EXPECT_EQ(stored("Volnum.txt"), "DATA\r\n");
    EXPECT_EQ(stored("FileCopyPath.log"), "D:\\\xBF\xCD\xBB\xA7\xCE\xC4\xBC\xFE\r\n");
    EXPECT_EQ(window.panel(3), "DATA");
    EXPECT_EQ(window.panel(2), "D:\\客户文件");
    EXPECT_TRUE(window.copyEnabled);

    dialog.setFolder("");
    dialog.setLabel("");
    settings->SaveSettings();
    EXPECT_EQ(stored("FileCopyPath.log"), "\r\n");
    EXPECT_EQ(stored("Volnum.txt"), "\r\n");
    EXPECT_EQ(window.panel(2), "");
    EXPECT_FALSE(window.copyEnabled);

    // Eleven Chinese characters: 22 bytes in GBK, and back.
    const std::string label = "数据盘一二三四五六七八";
    dialog.setLabel(label);
    settings->SaveSettings();
    EXPECT_EQ(stored("Volnum.txt").size(), 24u);
    window.panel(3).clear();
    settings->LoadSettings();
    EXPECT_EQ(window.panel(3), label);
}

TEST_F(SettingsFilesTest, TextTheCodePageLacksIsNamedOnceEachAndNothingIsWritten) {
    // Chinese, ASCII, a typed "?" and the GBK euro sign (0x80) all survive the round trip.
    dialog.setLabel("数据?€A");
    dialog.setFolder("D:\\客户文件\\a b");
    EXPECT_EQ(settings->reasonNotToSave(), "");

    dialog.setLabel("한글A한😀");
    EXPECT_EQ(settings->reasonNotToSave(), "卷标中有设置文件无法保存的字符：한글😀，请修改卷标。");
    dialog.setFolder("D:\\Résumé\\ÿ");
    EXPECT_EQ(settings->reasonNotToSave(), "卷标中有设置文件无法保存的字符：한글😀，请修改卷标。\n"
                                           "目录中有设置文件无法保存的字符：ÿ，请选择其他目录。");
    dialog.setLabel("OK");
    EXPECT_EQ(settings->reasonNotToSave(), "目录中有设置文件无法保存的字符：ÿ，请选择其他目录。");
    EXPECT_FALSE(fs::exists(programFolder / "Volnum.txt"));
    EXPECT_FALSE(fs::exists(programFolder / "FileCopyPath.log"));
}

TEST_F(SettingsFilesTest, UnwritableFileKeepsTheOtherAndSaysWhatFailed) {
    store("Volnum.txt", "OLD\r\n");
    settings->LoadSettings();
    dialog.setLabel("NEW");
    dialog.setFolder("D:\\X");
    bench.failNextWrite();
    settings->SaveSettings();
    EXPECT_EQ(stored("Volnum.txt"), "OLD\r\n");
    EXPECT_EQ(stored("FileCopyPath.log"), "D:\\X\r\n");
    EXPECT_EQ(window.panel(1), "无法保存设置文件Volnum.txt");
}

// The bench, except that the one file named cannot be read.
class ReadRefusingFiles : public FileService {
public:
    ReadRefusingFiles(FileService &files, std::string unreadable)
        : m_files(files), m_unreadable(unreadable) {}
    bool fileExists(const std::string &path) override { return m_files.fileExists(path); }
    bool createEmptyFile(const std::string &path) override { return m_files.createEmptyFile(path); }
    bool deleteFile(const std::string &path) override { return m_files.deleteFile(path); }
    std::optional<std::string> readFile(const std::string &path) override {
        return path == m_unreadable ? std::nullopt : m_files.readFile(path);
    }
    bool replaceFile(const std::string &path, const std::string &bytes) override {
        return m_files.replaceFile(path, bytes);
    }

private:
    FileService &m_files;
    std::string m_unreadable;
};

TEST_F(SettingsFilesTest, UnreadableFileCountsAsEmptyAndTheOtherIsStillUsed) {
    store("Volnum.txt", "DATA\r\n");
    store("FileCopyPath.log", "D:\\CUST\r\n");
    ReadRefusingFiles files(bench, "C:\\DRAVEX\\Volnum.txt");
    SettingsFiles(files, codePage, "C:\\DRAVEX", window, dialog).LoadSettings();
    EXPECT_EQ(window.panel(3), "");
    EXPECT_EQ(window.panel(2), "D:\\CUST");
    EXPECT_TRUE(window.copyEnabled);
    EXPECT_EQ(window.panel(1), "无法读取设置文件Volnum.txt");
    EXPECT_EQ(stored("Volnum.txt"), "DATA\r\n");
}

TEST_F(SettingsFilesTest, ReadOnlyOrMissingProgramFolderLosesNothing) {
    const fs::path folder = plugFixed('E', true) / "DRAVEX";
    fs::create_directories(folder);
    std::ofstream(folder / "Volnum.txt", std::ios::binary) << "KEEP\r\n";
    SettingsFiles readOnly(bench, codePage, "E:\\DRAVEX", window, dialog);
    readOnly.LoadSettings();
    EXPECT_EQ(window.panel(3), "KEEP");
    EXPECT_EQ(window.panel(1), "无法创建设置文件FileCopyPath.log");
    dialog.setLabel("NEW");
    readOnly.SaveSettings();
    const char *bothUnsaved = "无法保存设置文件Volnum.txt；无法保存设置文件FileCopyPath.log";
    EXPECT_EQ(window.panel(1), bothUnsaved);
    EXPECT_EQ(stored("Volnum.txt", folder), "KEEP\r\n");

    SettingsFiles nowhere(bench, codePage, "C:\\MISSING", window, dialog);
    nowhere.LoadSettings();
    EXPECT_EQ(window.panel(1), "无法创建设置文件Volnum.txt；无法创建设置文件FileCopyPath.log");
    EXPECT_FALSE(window.copyEnabled);
    nowhere.SaveSettings();
    EXPECT_EQ(window.panel(1), bothUnsaved);
}

} // namespace
} // namespace dravex
