#include "demo/demomachine.h"
#include "support/scratchfolder.h"
#include "tests/ui/uitestsupport.h"
#include "ui/form1.h"
#include "ui/operatordialogs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <chrono>
#include <functional>
#include <tuple>

namespace dravex {
namespace {

using testing::readText;
using testing::u;
using testing::writeText;

// The Chinese part of the customer folder's name in code page 936, as the settings file holds it.
constexpr const char *kCustomerName = "客户 资料";
constexpr const char *kCustomerNameAnsi = "\xBF\xCD\xBB\xA7 \xD7\xCA\xC1\xCF";

// The operator at the bench: answers the folder chooser with the customer folder and reads the real
// message boxes.
class BenchOperator : public Operator {
public:
    explicit BenchOperator(std::string folder) : m_folder(std::move(folder)) {}
    bool BrowseForFolder(std::string &path, const std::string &) override {
        path = m_folder;
        return true;
    }
    void showMessage(const std::string &text, const std::string &title) override {
        m_dialogs.showMessage(text, title);
    }

private:
    std::string m_folder;
    OperatorDialogs m_dialogs;
};

struct VariantCase {
    Variant variant;
    const char *capacityH; // 16 GiB
    const char *capacityJ; // 8 GiB
    const char *capacityK; // 512 MiB
};

void PrintTo(const VariantCase &c, std::ostream *out) {
    *out << (c.variant == Variant::Pelmora ? "Pelmora" : "V2");
}

// dravex-demo's window on a bench folder, with the bench's helper programs running as processes.
class ProductionCycleTest : public ::testing::TestWithParam<VariantCase> {
protected:
    ProductionCycleTest() {
        std::filesystem::create_directories(programFolder);
        for (const char *program : {"format.com", "xcopy", "RemoveDrive.exe", "captest"})
            std::filesystem::create_symlink(std::filesystem::path(DRAVEX_DEMO_TOOLS) / program,
                                            programFolder / program);
        form.setOperator(person);
    }
    ~ProductionCycleTest() override { form.hide(); }

    QString textOf(const char *name) {
        auto *label = form.findChild<QLabel *>(QString::fromUtf8(name));
        EXPECT_NE(label, nullptr) << name;
        return label ? label->text() : QString();
    }
    QString cell(const char *column, int row) {
        return textOf((std::string(column) + "_" + std::to_string(row)).c_str());
    }
    QStringList column(const char *name) { return {cell(name, 0), cell(name, 1), cell(name, 2)}; }
    template <typename T> T *inDialog(QWidget *dialog, const char *name) {
        T *found = dialog->findChild<T *>(QString::fromUtf8(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    // Shortcuts only reach the active window, which a closed dialog may have left inactive.
    void press(Qt::Key key) {
        QApplication::setActiveWindow(&form);
        ASSERT_TRUE(form.isActiveWindow());
        QTest::keyClick(&form, key);
    }

    // Lets the event loop run (the watcher's notifications, the window's scans) until the condition
    // holds; false after a minute.
    bool waitFor(const std::function<bool()> &condition) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!condition()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            QTest::qWait(10);
        }
        return true;
    }
    // The bench as a program beside the demo sees it.
    SimBench benchTool() { return SimBench(benchFolder); }
    bool allSticks(const std::function<bool(const SimDrive &, const std::filesystem::path &)> &test) {
        SimBench tool(benchFolder);
        for (char letter : {'H', 'J', 'K'}) {
            const SimDrive *drive = tool.drive(letter);
            if (!drive || !test(*drive, tool.folderOf(letter)))
                return false;
        }
        return true;
    }

    // A customer folder of 8,896 bytes: a file, a hidden file, a nested file, a link to it and an empty
    // folder. Sizes are multiples of 64, so the used space of the 512 MiB stick shows exactly.
    std::filesystem::path makeCustomerFolder() {
        const auto root = scratch.path() / kCustomerName;
        writeText(root / "readme.txt", std::string(640, 'r'));
        writeText(root / ".hidden", std::string(64, 'h'));
        writeText(root / "docs" / "manual.txt", std::string(4096, 'm'));
        std::filesystem::create_symlink(root / "docs" / "manual.txt", root / "latest.txt");
        std::filesystem::create_directories(root / "empty");
        return root;
    }
    static bool sameTree(const std::filesystem::path &stick, const std::filesystem::path &source) {
        for (const char *file : {"readme.txt", ".hidden", "docs/manual.txt", "latest.txt"})
            if (readText(stick / file) != readText(source / file))
                return false;
        return std::filesystem::is_directory(stick / "empty");
    }

    testing::ScratchFolder scratch;
    std::filesystem::path benchFolder = scratch.path() / "bench";
    std::filesystem::path programFolder = scratch.path() / "program";
    std::filesystem::path customer = makeCustomerFolder();
    DemoMachine machine{benchFolder, programFolder.string(), programFolder.string()};
    BenchOperator person{customer.string()};
    QaStation station{GetParam().variant, machine.services()};
    Form1 form{station, "tavrin@dravex.example"};
    testing::ModalWatcher watcher;
};

TEST_P(ProductionCycleTest, ConfigurePlugLockFormatCopyVerifyCheckCapacityAndEject) {
    const VariantCase &variant = GetParam();
    form.load();
    EXPECT_EQ(textOf("Label6"), u("0"));

    // F1: the customer folder through Browse, a label with a blank, FAT32 in place of the first choice FAT,
    // which format.com refuses on sticks above 4 GiB, OK.
    QString firstChoice, fileSystem;
    watcher.whenOpen([&](QWidget *dialog) {
        QTest::mouseClick(inDialog<QPushButton>(dialog, "Command1"), Qt::LeftButton);
        QTest::keyClicks(inDialog<QLineEdit>(dialog, "Text2"), "LOT 7");
        auto *fileSystems = inDialog<QComboBox>(dialog, "Combo1");
        firstChoice = fileSystems->currentText();
        fileSystems->setCurrentIndex(fileSystems->findText("FAT32"));
        fileSystem = fileSystems->currentText();
        QTest::mouseClick(inDialog<QPushButton>(dialog, "Command2"), Qt::LeftButton);
    });
    press(Qt::Key_F1);
    ASSERT_EQ(watcher.seen.size(), 1u);
    EXPECT_EQ(textOf("StatusBar1_Panel2"), QString::fromStdString(customer.string()));
    EXPECT_EQ(textOf("StatusBar1_Panel3"), u("LOT 7"));
    EXPECT_EQ(firstChoice, u("FAT"));
    EXPECT_EQ(fileSystem, u("FAT32"));
    EXPECT_EQ(readText(programFolder / "Volnum.txt"), "LOT 7\r\n");
    EXPECT_EQ(readText(programFolder / "FileCopyPath.log"),
              scratch.path().string() + "/" + kCustomerNameAnsi + "\r\n");

    // Three sticks come, one of them locked and one with a file on it, which holds only half of what it
    // claims; the table follows by itself.
    {
        SimBench tool = benchTool();
        for (const auto &[letter, label, size] :
             {std::tuple<char, const char *, uint64_t>{'H', "UDISK", 16ull << 30},
              {'J', "BACKUP", 8ull << 30},
              {'K', "NO NAME", 512ull << 20}}) {
            SimDrive drive;
            drive.letter = letter;
            drive.label = label;
            drive.totalBytes = size;
            drive.locked = letter == 'J';
            if (letter == 'K')
                drive.realBytes = 256ull << 20;
            tool.plug(drive);
        }
        writeText(tool.folderOf('K') / "old.bin", std::string(4096, 'o'));
    }
    ASSERT_TRUE(waitFor([&] { return textOf("Label6") == u("3"); })) << "no refresh after plugging";
    EXPECT_EQ(textOf("StatusBar1_Panel1"), u("列举完成...共有3个U盘。"));
    EXPECT_EQ(column("Label1"), (QStringList{u("H"), u("J"), u("K")}));
    EXPECT_EQ(column("Label2"), (QStringList{u("卷标:UDISK"), u("卷标:BACKUP"), u("卷标:NO NAME")}));
    EXPECT_EQ(column("Label3"), (QStringList{u("FAT32"), u("FAT32"), u("FAT32")}));
    EXPECT_EQ(column("Label4"),
              (QStringList{u(variant.capacityH), u(variant.capacityJ), u(variant.capacityK)}));
    EXPECT_EQ(cell("Label5", 2), u("已用:4,096字节"));

    // F7 finds the locked stick; F2 formats up to it and stops there with the operator's message.
    press(Qt::Key_F7);
    EXPECT_EQ(column("Label11"), (QStringList{u("可读写"), u("写保护"), u("可读写")}));
    QString messageText, messageTitle;
    QMessageBox::Icon messageIcon = QMessageBox::NoIcon;
    watcher.whenOpen([&](QWidget *box) {
        if (auto *message = qobject_cast<QMessageBox *>(box)) {
            messageText = message->text();
            messageTitle = message->windowTitle();
            messageIcon = message->icon();
        }
    });
    press(Qt::Key_F2);
    ASSERT_EQ(watcher.seen.size(), 2u);
    EXPECT_EQ(messageText, u("有磁盘被写保护，格式化程序退出。"));
    EXPECT_EQ(messageTitle, u("错误"));
    EXPECT_EQ(messageIcon, QMessageBox::Information);
    EXPECT_EQ(textOf("StatusBar1_Panel1"), u("格式化正在进行中，请稍候……"));
    // H, before the locked stick, was formatted; J and K were not.
    ASSERT_TRUE(waitFor([&] { return cell("Label2", 0) == u("卷标:LOT 7"); })) << "H was not formatted";
    EXPECT_EQ(cell("Label3", 0), fileSystem);
    EXPECT_EQ(cell("Label2", 1), u("卷标:BACKUP"));
    EXPECT_EQ(cell("Label2", 2), u("卷标:NO NAME"));
    EXPECT_EQ(cell("Label5", 2), u("已用:4,096字节"));

    // The switch released, F7 and F2 format every stick.
    const int notifications = machine.watcher().notifications();
    ASSERT_TRUE(benchTool().setLocked('J', false));
    ASSERT_TRUE(waitFor([&] { return machine.watcher().notifications() > notifications; }));
    press(Qt::Key_F7);
    EXPECT_EQ(column("Label11"), (QStringList{u("可读写"), u("可读写"), u("可读写")}));
    watcher.whenOpen();
    press(Qt::Key_F2);
    EXPECT_EQ(textOf("StatusBar1_Panel1"), u("格式化完成"));
    ASSERT_TRUE(waitFor([&] {
        return allSticks([](const SimDrive &drive, const std::filesystem::path &files) {
            return drive.label == "LOT 7" && std::filesystem::is_empty(files);
        });
    })) << "the formats did not finish";
    ASSERT_TRUE(waitFor([&] {
        return column("Label2") == QStringList{u("卷标:LOT 7"), u("卷标:LOT 7"), u("卷标:LOT 7")} &&
               cell("Label5", 2) == u("已用:0字节");
    })) << "the table did not follow the formats";
    ASSERT_EQ(watcher.seen.size(), 3u);
    EXPECT_EQ(watcher.seen.back(), nullptr) << "a message box came up";
    EXPECT_EQ(column("Label3"), (QStringList{fileSystem, fileSystem, fileSystem}));

    // F4 copies the customer folder onto every stick.
    press(Qt::Key_F4);
    EXPECT_EQ(textOf("StatusBar1_Panel1"), u("完成"));
    ASSERT_TRUE(waitFor([&] {
        return allSticks(
            [&](const SimDrive &, const std::filesystem::path &files) { return sameTree(files, customer); });
    })) << "the copies did not finish";
    ASSERT_TRUE(waitFor([&] { return cell("Label5", 2) == u("已用:8,896字节"); }));

    // The content check finds every stick like the customer folder.
    QTest::mouseClick(form.findChild<QCheckBox *>("Check1"), Qt::LeftButton);
    const QString same = u("文件:4;目录:2;大小:8,896字节");
    EXPECT_EQ(column("Label7"), (QStringList{same, same, same}));
    EXPECT_EQ(column("Label11"), (QStringList{u("OK"), u("OK"), u("OK")}));
    EXPECT_EQ(textOf("StatusBar1_Panel1"), u("K盘内有文件。"));

    // One file changed on J: F5 shows J as different.
    writeText(benchFolder / "sticks" / "J" / "docs" / "manual.txt", std::string(4095, 'm') + "!");
    writeText(benchFolder / "sticks" / "J" / "readme.txt", std::string(641, 'r'));
    press(Qt::Key_F5);
    EXPECT_EQ(column("Label11"), (QStringList{u("OK"), u("NG"), u("OK")}));
    EXPECT_EQ(cell("Label7", 1), u("文件:4;目录:2;大小:8,897字节"));

    // F3: the capacity checks find K counterfeit; the genuine sticks keep their OK and NG.
    press(Qt::Key_F3);
    EXPECT_EQ(textOf("StatusBar1_Panel1"), u("容量测试已启动。"));
    ASSERT_TRUE(waitFor([&] { return cell("Label11", 2) == u("假 256M"); })) << "no report on K";
    ASSERT_TRUE(waitFor([&] { return cell("Label5", 0) == u("写 14.2 读 31.6 MB/s"); })) << "no report on H";
    EXPECT_EQ(column("Label11"), (QStringList{u("OK"), u("NG"), u("假 256M")}));

    // A click on J's row number ejects J; the table closes up.
    QTest::mouseClick(form.findChild<QLabel *>("Label8_1"), Qt::LeftButton);
    EXPECT_EQ(textOf("StatusBar1_Panel1"), u("卸载J盘，请单击..."));
    ASSERT_TRUE(waitFor([&] { return textOf("Label6") == u("2"); })) << "J did not leave the table";
    EXPECT_EQ(column("Label1"), (QStringList{u("H"), u("K"), u("")}));
    EXPECT_EQ(cell("Label11", 1), u("假 256M"));
    EXPECT_EQ(textOf("StatusBar1_Panel1"), u("列举完成...共有2个U盘。"));
    EXPECT_FALSE(std::filesystem::exists(benchFolder / "sticks" / "J.stick"));
}

INSTANTIATE_TEST_SUITE_P(BothBuilds, ProductionCycleTest,
                         ::testing::Values(VariantCase{Variant::V2, "容量:16.G", "容量:8.G", "容量:512.M"},
                                           VariantCase{Variant::Pelmora, "C:14.9G", "C:7.45G", "C:512.M"}));

} // namespace
} // namespace dravex
