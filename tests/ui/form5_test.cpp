#include "config/configdialog.h"
#include "config/settingsfiles.h"
#include "model/mainwindowstate.h"
#include "tests/ui/uitestsupport.h"
#include "ui/form5.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>

namespace dravex {
namespace {

using testing::u;

const QString kZeroSummary = u("文件:0;目录:0;大小:0字节");
const QString kCustomerSummary = u("文件:2;目录:1;大小:350字节");

// The dialog on its own, over the models the main window would hand it.
class Form5Test : public ::testing::Test {
protected:
    ~Form5Test() override { dialog.hide(); }

    template <typename T> T *child(const char *name) {
        T *found = dialog.findChild<T *>(QString::fromUtf8(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QString textOf(const char *name) {
        if (auto *field = dialog.findChild<QLineEdit *>(QString::fromUtf8(name)))
            return field->text();
        return child<QLabel>(name)->text();
    }
    QLineEdit *label() { return child<QLineEdit>("Text2"); }
    QLineEdit *folder() { return child<QLineEdit>("Text1"); }
    QComboBox *combo() { return child<QComboBox>("Combo1"); }
    QCheckBox *quickFormat() { return child<QCheckBox>("Check1"); }
    // What the dialog shows: label, file system, quick format, folder and the folder's summary.
    QString shown() {
        return (QStringList() << label()->text() << combo()->currentText()
                              << (quickFormat()->isChecked() ? "1" : "0") << folder()->text()
                              << textOf("Label1_0"))
            .join('|');
    }
    void click(const char *button) { QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton); }
    // The main window's stored settings, as LoadSettings leaves them in the status panels.
    void store(const std::string &label, const std::string &folder) {
        state.panel(3) = label;
        state.panel(2) = folder;
    }
    // A customer folder of two files (100 and 250 bytes) and one empty folder.
    std::string customerFolder() {
        const std::filesystem::path root = std::filesystem::path(scratch.path().toStdString()) / "customer";
        testing::writeFile(root / "a.txt", 100);
        testing::writeFile(root / "b.bin", 250);
        std::filesystem::create_directories(root / "empty");
        return root.string();
    }
    bool centred() {
        const QPoint offset = dialog.geometry().center() - dialog.screen()->availableGeometry().center();
        // Allow for the window frame, whose size the dialog cannot know before it is shown.
        return offset.manhattanLength() <= 16;
    }

    testing::TestServices machine;
    QTemporaryDir scratch;
    FakeOperator person;
    MainWindowState state;
    ConfigDialog model{state, machine.bench};
    SettingsFiles settings{machine.bench, machine.codePage, machine.services.programDirectory, state, model};
    Form5 dialog{model, settings, person};
};

TEST_F(Form5Test, FixedModalDialogWithItsCaptionsCentredWithFocusOnOk) {
    EXPECT_EQ(dialog.windowTitle(), u("配置选项"));
    EXPECT_EQ(dialog.parentWidget(), nullptr);
    EXPECT_EQ(dialog.windowModality(), Qt::ApplicationModal);
    EXPECT_EQ(dialog.minimumSize(), QSize(500, 232));
    EXPECT_EQ(dialog.maximumSize(), QSize(500, 232));
    const Qt::WindowFlags flags = dialog.windowFlags();
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_FALSE(flags & Qt::WindowContextHelpButtonHint);
    // One place per frame: the design's twips reach every control through the same conversion.
    EXPECT_EQ(child<QWidget>("Combo1")->geometry(), QRect(93, 63, 100, 24));
    EXPECT_EQ(child<QWidget>("Command1")->geometry(), QRect(459, 18, 19, 28));
    EXPECT_EQ(child<QWidget>("Command1")->parentWidget()->objectName(), u("Frame2"));

    const QStringList captions =
        QStringList() << child<QGroupBox>("Frame1")->title() << child<QGroupBox>("Frame2")->title()
                      << textOf("Label1_2") << textOf("Label1_1") << quickFormat()->text()
                      << child<QPushButton>("Command1")->text() << child<QPushButton>("Command2")->text()
                      << label()->toolTip() << combo()->itemText(0) << combo()->itemText(1);
    EXPECT_EQ(captions.join('|'),
              u("格式化及卷标修改选项|文件拷贝选项|卷标：|文件系统：|快速格式化|浏览|确定|"
                "输入格式化后的卷标或需要修改的卷标。|FAT|FAT32"));
    EXPECT_EQ(combo()->count(), 2);
    for (QLabel *shown : dialog.findChildren<QLabel *>())
        EXPECT_EQ(shown->textFormat(), Qt::PlainText) << shown->objectName().toStdString();

    dialog.show();
    QApplication::setActiveWindow(&dialog);
    EXPECT_TRUE(centred());
    EXPECT_EQ(dialog.focusWidget(), child<QPushButton>("Command2"));
    dialog.hide();
    dialog.move(0, 0);
    dialog.show();
    EXPECT_TRUE(centred()) << "moved away and shown again";
}

TEST_F(Form5Test, FirstShowingLoadsTheStartChoicesAndTheStoredOrAlreadyLoadedSettings) {
    dialog.show();
    EXPECT_EQ(shown(), u("|FAT|1||") + kZeroSummary);
    dialog.close();

    store("BATCH7", customerFolder());
    dialog.show();
    EXPECT_EQ(shown(), u("BATCH7|FAT|1|") + QString::fromStdString(state.panel(2)) + "|" + kCustomerSummary);
    dialog.close();

    // As LoadSettings does at start-up with a stored folder, long before the first showing.
    model.setFolder(customerFolder());
    model.setFileSystem("FAT32");
    dialog.show();
    EXPECT_EQ(combo()->currentText(), u("FAT32"));
    EXPECT_EQ(textOf("Label1_0"), kCustomerSummary);
}

TEST_F(Form5Test, EveryEditGoesIntoTheModelAndTheFolderFieldTakesNoTyping) {
    const std::string customer = customerFolder();
    dialog.show();
    QTest::keyClicks(label(), "ABCDEFGHIJKL");
    EXPECT_EQ(label()->text(), u("ABCDEFGHIJK")) << "a twelfth character is refused";
    EXPECT_EQ(model.label(), "ABCDEFGHIJK");

    combo()->setCurrentIndex(1);
    EXPECT_EQ(model.fileSystem(), "FAT32");
    combo()->lineEdit()->clear();
    QTest::keyClicks(combo()->lineEdit(), "exFAT");
    EXPECT_EQ(model.fileSystem(), "exFAT");
    QTest::keyClick(combo()->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(combo()->count(), 2) << "a typed name is used, not added to the list";
    QTest::mouseClick(quickFormat(), Qt::LeftButton);
    EXPECT_EQ(model.quickFormat(), kUnchecked);
    QTest::mouseClick(quickFormat(), Qt::LeftButton);
    EXPECT_EQ(model.quickFormat(), kChecked);

    QTest::keyClicks(folder(), "/x");
    EXPECT_EQ(textOf("Text1"), u(""));
    std::vector<Qt::CursorShape> during;
    machine.bench.setBeforeListing([&](const std::string &) { during.push_back(dialog.cursor().shape()); });
    folder()->setText(QString::fromStdString(customer));
    machine.bench.setBeforeListing({});
    EXPECT_EQ(model.folder(), customer);
    EXPECT_EQ(textOf("Label1_0"), kCustomerSummary);
    EXPECT_EQ(during, std::vector<Qt::CursorShape>(during.size(), Qt::WaitCursor));
    EXPECT_FALSE(during.empty());
    EXPECT_EQ(dialog.cursor().shape(), Qt::ArrowCursor);
    folder()->setText(QString::fromStdString(customer + "x"));
    EXPECT_EQ(textOf("Label1_0"), kZeroSummary);
}

TEST_F(Form5Test, BrowseShowsTheChosenFolderAndCancelEmptiesIt) {
    person.choice = customerFolder();
    dialog.show();
    click("Command1");
    EXPECT_EQ(textOf("Text1"), QString::fromStdString(*person.choice));
    EXPECT_EQ(textOf("Label1_0"), kCustomerSummary);
    ASSERT_EQ(person.browseTitles.size(), 1u);
    EXPECT_EQ(person.browseTitles[0], "请正确选择客供文件所在目录，并单击确定按钮！");

    person.choice.reset();
    click("Command1");
    EXPECT_EQ(person.browseTitles.size(), 2u);
    EXPECT_EQ(textOf("Text1"), u(""));
    EXPECT_EQ(model.folder(), "");
    EXPECT_EQ(textOf("Label1_0"), kZeroSummary);
}

TEST_F(Form5Test, OkStoresBothSettingsHidesAndKeepsTheChoicesForTheNextShowing) {
    const std::string customer = customerFolder();
    dialog.show();
    QTest::keyClicks(label(), "DATA");
    folder()->setText(QString::fromStdString(customer));
    combo()->setCurrentIndex(1);
    QTest::mouseClick(quickFormat(), Qt::LeftButton);
    click("Command2");
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(machine.readSettings("Volnum.txt"), std::optional<std::string>("DATA\r\n"));
    EXPECT_EQ(machine.readSettings("FileCopyPath.log"), std::optional<std::string>(customer + "\r\n"));
    EXPECT_EQ(state.panel(3), "DATA");
    EXPECT_EQ(state.panel(2), customer);
    EXPECT_TRUE(state.copyEnabled);

    dialog.show();
    EXPECT_EQ(combo()->currentText(), u("FAT32"));
    EXPECT_FALSE(quickFormat()->isChecked());
    folder()->clear();
    click("Command2");
    EXPECT_EQ(machine.readSettings("FileCopyPath.log"), std::optional<std::string>("\r\n"));
    EXPECT_EQ(state.panel(2), "");
    EXPECT_FALSE(state.copyEnabled);
}

// A code page of ASCII alone: every other character is lost, as the real one loses 한글.
class AsciiCodePage : public CodePage {
public:
    std::string toAnsi(const std::string &utf8) override {
        std::string ansi;
        for (size_t i = 0; i < utf8.size(); ++i) {
            if (static_cast<unsigned char>(utf8[i]) < 0x80)
                ansi += utf8[i];
            else if ((static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80)
                ansi += '?';
        }
        return ansi;
    }
    std::string fromAnsi(const std::string &ansi) override { return ansi; }
};

TEST_F(Form5Test, OkRefusesTextTheSettingsFilesCannotHoldAndKeepsTheDialogOpen) {
    AsciiCodePage ascii;
    SettingsFiles asciiSettings{machine.bench, ascii, machine.services.programDirectory, state, model};
    Form5 asciiDialog{model, asciiSettings, person};
    asciiDialog.show();
    auto *field = asciiDialog.findChild<QLineEdit *>(QStringLiteral("Text2"));
    field->setText(u("A한B"));
    QTest::mouseClick(asciiDialog.findChild<QPushButton *>(QStringLiteral("Command2")), Qt::LeftButton);
    ASSERT_EQ(person.messages.size(), 1u);
    EXPECT_EQ(person.messages[0].first, "卷标中有设置文件无法保存的字符：한，请修改卷标。");
    EXPECT_EQ(person.messages[0].second, "配置选项");
    EXPECT_TRUE(asciiDialog.isVisible());
    EXPECT_FALSE(machine.readSettings("Volnum.txt").has_value());
    EXPECT_EQ(field->text(), u("A한B"));

    field->setText(u("AB"));
    QTest::mouseClick(asciiDialog.findChild<QPushButton *>(QStringLiteral("Command2")), Qt::LeftButton);
    EXPECT_EQ(person.messages.size(), 1u);
    EXPECT_FALSE(asciiDialog.isVisible());
    EXPECT_EQ(machine.readSettings("Volnum.txt"), std::optional<std::string>("AB\r\n"));
}

TEST_F(Form5Test, CloseBoxForgetsTheChoicesSinceTheLastOk) {
    store("STORED", customerFolder());
    dialog.show();
    combo()->setCurrentIndex(1);
    QTest::mouseClick(quickFormat(), Qt::LeftButton);
    label()->setText(u("NEW"));
    folder()->clear();
    dialog.close();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_FALSE(machine.readSettings("Volnum.txt").has_value());
    EXPECT_EQ(state.panel(3), "STORED");

    dialog.show();
    EXPECT_EQ(shown(), u("STORED|FAT|1|") + QString::fromStdString(state.panel(2)) + "|" + kCustomerSummary);
}

TEST_F(Form5Test, EscapeAndEnterInAFieldNeitherLeaveNorStoreButEnterOnOkDoes) {
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    label()->setFocus();
    QTest::keyClicks(label(), "NOPE");
    QTest::keyClick(label(), Qt::Key_Return);
    QTest::keyClick(label(), Qt::Key_Escape);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(machine.readSettings("Volnum.txt").has_value());

    child<QPushButton>("Command2")->setFocus();
    QTest::keyClick(child<QPushButton>("Command2"), Qt::Key_Return);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(machine.readSettings("Volnum.txt"), std::optional<std::string>("NOPE\r\n"));
}

} // namespace
} // namespace dravex
