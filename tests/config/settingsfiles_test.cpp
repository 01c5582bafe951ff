#include "config/settingsfiles.h"
#include "platform/linux/iconvcodepage.h"
#include "platform/sim/simbench.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <utility>

namespace dravex {
namespace {

namespace fs = std::filesystem;

TEST(SplitSettingsLines, LineEnds) {
    using Lines = std::vector<std::string>;
    EXPECT_EQ(splitSettingsLines(""), Lines{});
    EXPECT_EQ(splitSettingsLines("A"), Lines{"A"});
    EXPECT_EQ(splitSettingsLines("A\r\n"), Lines{"A"});
    EXPECT_EQ(splitSettingsLines("A\r\nB\r\n"), (Lines{"A", "B"}));
    EXPECT_EQ(splitSettingsLines("A\rB"), (Lines{"A", "B"}));
    EXPECT_EQ(splitSettingsLines("A\nB\r\n"), Lines{"A\nB"});
    EXPECT_EQ(splitSettingsLines("A\r\n\r\n"), (Lines{"A", ""}));
    EXPECT_EQ(splitSettingsLines("\r\nB"), (Lines{"", "B"}));
    EXPECT_EQ(splitSettingsLines("A\r\r\nB"), (Lines{"A", "", "B"}));
}

class SettingsFilesTest : public ::testing::Test {
protected:
    SimBench bench;
    IconvCodePage codePage;
    MainWindowState window;
    ConfigDialog dialog{window, bench};
    fs::path programFolder;
    std::unique_ptr<SettingsFiles> settings;

    void SetUp() override {
        SimDrive fixed;
        fixed.letter = 'C';
        fixed.driveType = 3;
        bench.plug(fixed);
        programFolder = bench.folderOf('C') / "DRAVEX";
        fs::create_directories(programFolder);
        settings = std::make_unique<SettingsFiles>(bench, codePage, "C:\\DRAVEX", window, dialog);
    }

    void store(const char *name, const std::string &bytes) {
        std::ofstream(programFolder / name, std::ios::binary) << bytes;
    }
    std::string stored(const char *name) {
        std::ifstream in(programFolder / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
};

TEST_F(SettingsFilesTest, MissingFilesAreCreatedEmpty) {
    settings->LoadSettings();
    EXPECT_TRUE(fs::exists(programFolder / "Volnum.txt"));
    EXPECT_EQ(fs::file_size(programFolder / "Volnum.txt"), 0u);
    EXPECT_EQ(fs::file_size(programFolder / "FileCopyPath.log"), 0u);
    EXPECT_EQ(window.panel(2), "");
    EXPECT_EQ(window.panel(3), "");
    EXPECT_FALSE(window.copyEnabled);
    EXPECT_FALSE(dialog.isLoaded());
}

TEST_F(SettingsFilesTest, LabelIsTheFirstElevenCharactersOfTheFirstLine) {
    store("Volnum.txt", "ABCDEFGHIJKLMN\r\nSECOND\r\n");
    settings->LoadSettings();
    EXPECT_EQ(window.panel(3), "ABCDEFGHIJK");
}

TEST_F(SettingsFilesTest, EmptyFirstLineMeansNoLabel) {
    store("Volnum.txt", "\r\nDATA\r\n");
    settings->LoadSettings();
    EXPECT_EQ(window.panel(3), "");
}

TEST_F(SettingsFilesTest, LoneLineFeedStaysInsideTheLabel) {
    store("Volnum.txt", "AB\nCD\r\n");
    settings->LoadSettings();
    EXPECT_EQ(window.panel(3), "AB\nCD");
}

TEST_F(SettingsFilesTest, FolderIsTheLastLine) {
    store("FileCopyPath.log", "D:\\A\r\nD:\\B\r\n");
    settings->LoadSettings();
    EXPECT_EQ(window.panel(2), "D:\\B");
    EXPECT_TRUE(window.copyEnabled);
    // Setting the folder loads the dialog, hidden, with that folder.
    EXPECT_TRUE(dialog.isLoaded());
    EXPECT_EQ(dialog.folder(), "D:\\B");
}

TEST_F(SettingsFilesTest, EmptyLastLineMeansNoFolder) {
    store("FileCopyPath.log", "D:\\A\r\n\r\n");
    settings->LoadSettings();
    EXPECT_EQ(window.panel(2), "");
    EXPECT_FALSE(window.copyEnabled);
}

TEST_F(SettingsFilesTest, LastLineNeedsNoTerminatorAndCrAloneEndsALine) {
    store("FileCopyPath.log", "D:\\A\rD:\\C");
    settings->LoadSettings();
    EXPECT_EQ(window.panel(2), "D:\\C");
}

TEST_F(SettingsFilesTest, SaveWritesExactBytes) {
    dialog.setLabel("DATA");
    dialog.setFolder("D:\\客户文件");
    settings->SaveSettings();
    EXPECT_EQ(stored("Volnum.txt"), "DATA\r\n");
    EXPECT_EQ(stored("FileCopyPath.log"), "D:\\\xBF\xCD\xBB\xA7\xCE\xC4\xBC\xFE\r\n");
    EXPECT_EQ(window.panel(3), "DATA");
    EXPECT_EQ(window.panel(2), "D:\\客户文件");
    EXPECT_TRUE(window.copyEnabled);
}

TEST_F(SettingsFilesTest, SavingAnEmptyFolderDisablesCopy) {
    store("FileCopyPath.log", "D:\\A\r\n");
    settings->LoadSettings();
    dialog.setFolder("");
    settings->SaveSettings();
    EXPECT_EQ(stored("FileCopyPath.log"), "\r\n");
    EXPECT_EQ(stored("Volnum.txt"), "\r\n");
    EXPECT_EQ(window.panel(2), "");
    EXPECT_FALSE(window.copyEnabled);
}

TEST_F(SettingsFilesTest, ChineseLabelOfElevenCharactersRoundTrips) {
    const std::string label = "数据盘一二三四五六七八";
    dialog.setLabel(label);
    settings->SaveSettings();
    EXPECT_EQ(stored("Volnum.txt").size(), 24u);
    window.panel(3).clear();
    settings->LoadSettings();
    EXPECT_EQ(window.panel(3), label);
}

TEST_F(SettingsFilesTest, InvalidBytesLoadAsReplacementCharactersAndStayOnDisk) {
    store("Volnum.txt", "AB\xFF\r\n");
    settings->LoadSettings();
    EXPECT_EQ(window.panel(3), "AB\xEF\xBF\xBD");
    EXPECT_EQ(stored("Volnum.txt"), "AB\xFF\r\n");
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

// Forwards to the bench, but cannot read the one file named.
class ReadRefusingFiles : public FileService {
public:
    ReadRefusingFiles(FileService &files, std::string unreadable)
        : m_files(files), m_unreadable(std::move(unreadable)) {}
    bool fileExists(const std::string &path) override { return m_files.fileExists(path); }
    bool createEmptyFile(const std::string &path) override { return m_files.createEmptyFile(path); }
    bool deleteFile(const std::string &path) override { return m_files.deleteFile(path); }
    std::optional<std::string> readFile(const std::string &path) override {
        if (path == m_unreadable)
            return std::nullopt;
        return m_files.readFile(path);
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
    SettingsFiles unreadableLabel(files, codePage, "C:\\DRAVEX", window, dialog);
    unreadableLabel.LoadSettings();
    EXPECT_EQ(window.panel(3), "");
    EXPECT_EQ(window.panel(2), "D:\\CUST");
    EXPECT_TRUE(window.copyEnabled);
    EXPECT_EQ(window.panel(1), "无法读取设置文件Volnum.txt");
    EXPECT_EQ(stored("Volnum.txt"), "DATA\r\n");
}

TEST_F(SettingsFilesTest, ReadOnlyProgramFolderLosesNothing) {
    SimDrive locked;
    locked.letter = 'E';
    locked.driveType = 3;
    locked.locked = true;
    bench.plug(locked);
    fs::create_directories(bench.folderOf('E') / "DRAVEX");
    std::ofstream(bench.folderOf('E') / "DRAVEX" / "Volnum.txt", std::ios::binary) << "KEEP\r\n";
    SettingsFiles readOnly(bench, codePage, "E:\\DRAVEX", window, dialog);
    readOnly.LoadSettings();
    EXPECT_EQ(window.panel(3), "KEEP");
    EXPECT_EQ(window.panel(1), "无法创建设置文件FileCopyPath.log");
    dialog.setLabel("NEW");
    readOnly.SaveSettings();
    EXPECT_EQ(window.panel(1), "无法保存设置文件Volnum.txt；无法保存设置文件FileCopyPath.log");
    std::ifstream kept(bench.folderOf('E') / "DRAVEX" / "Volnum.txt", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), std::istreambuf_iterator<char>()),
              "KEEP\r\n");
}

TEST_F(SettingsFilesTest, MissingProgramFolderNeverCrashes) {
    SettingsFiles nowhere(bench, codePage, "C:\\MISSING", window, dialog);
    nowhere.LoadSettings();
    EXPECT_EQ(window.panel(1), "无法创建设置文件Volnum.txt；无法创建设置文件FileCopyPath.log");
    EXPECT_FALSE(window.copyEnabled);
    nowhere.SaveSettings();
    EXPECT_EQ(window.panel(1), "无法保存设置文件Volnum.txt；无法保存设置文件FileCopyPath.log");
}

} // namespace
} // namespace dravex
