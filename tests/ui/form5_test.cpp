#include "config/configdialog.h"
#include "config/settingsfiles.h"
#include "scan/mainwindowstate.h"
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

constexpr const char *kZeroSummary = "文件:0;目录:0;大小:0字节";

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
        auto *label = child<QLabel>(name);
        return label ? label->text() : QString();
    }
    QComboBox *combo() { return child<QComboBox>("Combo1"); }
    QCheckBox *quickFormat() { return child<QCheckBox>("Check1"); }
    void clickOk() { QTest::mouseClick(child<QPushButton>("Command2"), Qt::LeftButton); }
    void clickBrowse() { QTest::mouseClick(child<QPushButton>("Command1"), Qt::LeftButton); }
    // Stands for the main window's stored settings, as LoadSettings leaves them in the status panels.
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

    testing::TestServices machine;
    QTemporaryDir scratch;
    FakeOperator person;
    MainWindowState state;
    ConfigDialog model{state, machine.bench};
    SettingsFiles settings{machine.bench, machine.codePage, machine.services.programDirectory, state, model};
    Form5 dialog{model, settings, person};
};

TEST_F(Form5Test, WindowIsAFixedModalDialogWithCloseBoxOnly) {
    EXPECT_EQ(dialog.windowTitle(), u("配置选项"));
    EXPECT_EQ(dialog.objectName(), u("Form5"));
    EXPECT_EQ(dialog.parentWidget(), nullptr);
    EXPECT_EQ(dialog.windowModality(), Qt::ApplicationModal);
    EXPECT_EQ(dialog.minimumSize(), QSize(500, 232));
    EXPECT_EQ(dialog.maximumSize(), QSize(500, 232));
    const Qt::WindowFlags flags = dialog.windowFlags();
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowContextHelpButtonHint);
}

TEST_F(Form5Test, ControlsHaveTheirCaptionsNamesAndPlaces) {
    struct Control {
        const char *name;
        const char *parent;
        QRect geometry;
    };
    const Control controls[] = {
        {"Frame1", "Form5", {9, 4, 487, 94}},       {"Text2", "Frame1", {9, 35, 440, 25}},
        {"Combo1", "Frame1", {93, 63, 100, 24}},    {"Check1", "Frame1", {303, 63, 121, 25}},
        {"Frame2", "Form5", {9, 98, 487, 94}},      {"Text1", "Frame2", {9, 18, 442, 28}},
        {"Command1", "Frame2", {459, 18, 19, 28}},  {"Label1_0", "Frame2", {12, 54, 460, 34}},
        {"Command2", "Form5", {134, 196, 235, 31}},
    };
    for (const Control &expected : controls) {
        auto *widget = child<QWidget>(expected.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->geometry(), expected.geometry) << expected.name;
        EXPECT_EQ(widget->parentWidget()->objectName(), u(expected.parent)) << expected.name;
    }
    EXPECT_EQ(child<QLabel>("Label1_2")->pos(), QPoint(15, 17));
    EXPECT_EQ(child<QLabel>("Label1_1")->pos(), QPoint(15, 68));
    EXPECT_EQ(child<QLabel>("Label1_2")->parentWidget()->objectName(), u("Frame1"));

    EXPECT_EQ(child<QGroupBox>("Frame1")->title(), u("格式化及卷标修改选项"));
    EXPECT_EQ(child<QGroupBox>("Frame2")->title(), u("文件拷贝选项"));
    EXPECT_EQ(textOf("Label1_2"), u("卷标："));
    EXPECT_EQ(textOf("Label1_1"), u("文件系统："));
    EXPECT_EQ(quickFormat()->text(), u("快速格式化"));
    EXPECT_EQ(child<QPushButton>("Command1")->text(), u("浏览"));
    EXPECT_EQ(child<QPushButton>("Command2")->text(), u("确定"));
    EXPECT_EQ(child<QLineEdit>("Text2")->toolTip(), u("输入格式化后的卷标或需要修改的卷标。"));

    ASSERT_EQ(combo()->count(), 2);
    EXPECT_EQ(combo()->itemText(0), u("FAT"));
    EXPECT_EQ(combo()->itemText(1), u("FAT32"));
    EXPECT_TRUE(combo()->isEditable());

    EXPECT_DOUBLE_EQ(child<QLineEdit>("Text2")->font().pointSizeF(), 14.25);
    EXPECT_DOUBLE_EQ(child<QLabel>("Label1_0")->font().pointSizeF(), 12);
    EXPECT_DOUBLE_EQ(child<QPushButton>("Command2")->font().pointSizeF(), 15.75);
    for (QLabel *label : dialog.findChildren<QLabel *>())
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->objectName().toStdString();
}

TEST_F(Form5Test, ShowingCentresTheDialogWithFocusOnOk) {
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    ASSERT_NE(dialog.screen(), nullptr);
    const QPoint offset = dialog.geometry().center() - dialog.screen()->availableGeometry().center();
    EXPECT_LE(offset.manhattanLength(), 16) << offset.x() << "," << offset.y();
    EXPECT_EQ(dialog.focusWidget(), child<QPushButton>("Command2"));

    // Moved away and shown again: centred again.
    dialog.hide();
    dialog.move(0, 0);
    dialog.show();
    const QPoint again = dialog.geometry().center() - dialog.screen()->availableGeometry().center();
    EXPECT_LE(again.manhattanLength(), 16) << again.x() << "," << again.y();
}

TEST_F(Form5Test, LabelFieldRefusesATwelfthCharacter) {
    dialog.show();
    auto *label = child<QLineEdit>("Text2");
    QTest::keyClicks(label, "ABCDEFGHIJKL");
    EXPECT_EQ(label->text(), u("ABCDEFGHIJK"));
    EXPECT_EQ(model.label(), "ABCDEFGHIJK");
}

// Lifecycle: what each showing shows, and what OK and the close box leave behind.

TEST_F(Form5Test, FirstShowingWithNothingStoredShowsTheStartChoices) {
    EXPECT_FALSE(model.isLoaded());
    dialog.show();
    EXPECT_TRUE(model.isLoaded());
    EXPECT_EQ(textOf("Text2"), u(""));
    EXPECT_EQ(combo()->currentText(), u("FAT"));
    EXPECT_TRUE(quickFormat()->isChecked());
    EXPECT_EQ(textOf("Text1"), u(""));
    EXPECT_EQ(textOf("Label1_0"), u(kZeroSummary));
}

TEST_F(Form5Test, FirstShowingFillsLabelAndFolderFromTheStoredSettings) {
    store("BATCH7", customerFolder());
    dialog.show();
    EXPECT_EQ(textOf("Text2"), u("BATCH7"));
    EXPECT_EQ(textOf("Text1"), QString::fromStdString(state.panel(2)));
    EXPECT_EQ(textOf("Label1_0"), u("文件:2;目录:1;大小:350字节"));
}

TEST_F(Form5Test, ShowsAModelLoadedBeforeTheDialogExisted) {
    // As LoadSettings does at start-up with a stored folder, long before the first showing.
    const std::string folder = customerFolder();
    model.setFolder(folder);
    model.setFileSystem("FAT32");
    dialog.show();
    EXPECT_EQ(textOf("Text1"), QString::fromStdString(folder));
    EXPECT_EQ(combo()->currentText(), u("FAT32"));
    EXPECT_EQ(textOf("Label1_0"), u("文件:2;目录:1;大小:350字节"));
}

TEST_F(Form5Test, EveryEditGoesIntoTheModel) {
    dialog.show();
    QTest::keyClicks(child<QLineEdit>("Text2"), "LOT9");
    EXPECT_EQ(model.label(), "LOT9");

    combo()->setCurrentIndex(1);
    EXPECT_EQ(model.fileSystem(), "FAT32");
    combo()->lineEdit()->clear();
    QTest::keyClicks(combo()->lineEdit(), "exFAT");
    EXPECT_EQ(model.fileSystem(), "exFAT");
    // A typed name is used, not added to the list.
    QTest::keyClick(combo()->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(combo()->count(), 2);

    QTest::mouseClick(quickFormat(), Qt::LeftButton);
    EXPECT_EQ(model.quickFormat(), kUnchecked);
    QTest::mouseClick(quickFormat(), Qt::LeftButton);
    EXPECT_EQ(model.quickFormat(), kChecked);
}

TEST_F(Form5Test, FolderFieldTakesNoTypingButFollowsEveryChange) {
    const std::string folder = customerFolder();
    dialog.show();
    auto *field = child<QLineEdit>("Text1");
    QTest::keyClicks(field, "/x");
    EXPECT_EQ(model.folder(), "");
    EXPECT_EQ(textOf("Text1"), u(""));

    field->setText(QString::fromStdString(folder));
    EXPECT_EQ(model.folder(), folder);
    EXPECT_EQ(textOf("Label1_0"), u("文件:2;目录:1;大小:350字节"));
    field->setText(QString::fromStdString(folder + "x"));
    EXPECT_EQ(textOf("Label1_0"), u(kZeroSummary));
}

TEST_F(Form5Test, DialogShowsTheHourglassWhileItWalksTheFolder) {
    const std::string folder = customerFolder();
    dialog.show();
    std::vector<Qt::CursorShape> during;
    machine.bench.setBeforeListing([&](const std::string &) { during.push_back(dialog.cursor().shape()); });
    child<QLineEdit>("Text1")->setText(QString::fromStdString(folder));
    machine.bench.setBeforeListing({});
    ASSERT_FALSE(during.empty());
    for (Qt::CursorShape shape : during)
        EXPECT_EQ(shape, Qt::WaitCursor);
    EXPECT_EQ(dialog.cursor().shape(), Qt::ArrowCursor);
}

TEST_F(Form5Test, BrowseShowsTheChosenFolderAndItsSummary) {
    person.choice = customerFolder();
    dialog.show();
    clickBrowse();
    EXPECT_EQ(textOf("Text1"), QString::fromStdString(*person.choice));
    EXPECT_EQ(textOf("Label1_0"), u("文件:2;目录:1;大小:350字节"));
    ASSERT_EQ(person.browseTitles.size(), 1u);
    EXPECT_EQ(person.browseTitles[0], "请正确选择客供文件所在目录，并单击确定按钮！");
}

TEST_F(Form5Test, CancelledBrowseEmptiesTheFolder) {
    store("", customerFolder());
    dialog.show();
    ASSERT_EQ(textOf("Label1_0"), u("文件:2;目录:1;大小:350字节"));
    clickBrowse();
    EXPECT_EQ(person.browseTitles.size(), 1u);
    EXPECT_EQ(textOf("Text1"), u(""));
    EXPECT_EQ(model.folder(), "");
    EXPECT_EQ(textOf("Label1_0"), u(kZeroSummary));
}

TEST_F(Form5Test, OkStoresBothSettingsAndHides) {
    const std::string folder = customerFolder();
    dialog.show();
    QTest::keyClicks(child<QLineEdit>("Text2"), "DATA");
    child<QLineEdit>("Text1")->setText(QString::fromStdString(folder));
    clickOk();

    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(machine.readSettings("Volnum.txt"), std::optional<std::string>("DATA\r\n"));
    EXPECT_EQ(machine.readSettings("FileCopyPath.log"), std::optional<std::string>(folder + "\r\n"));
    EXPECT_EQ(state.panel(3), "DATA");
    EXPECT_EQ(state.panel(2), folder);
    EXPECT_TRUE(state.copyEnabled);
    EXPECT_TRUE(model.isLoaded());
}

TEST_F(Form5Test, OkWithAnEmptyFolderDisablesCopy) {
    store("OLD", customerFolder());
    state.copyEnabled = true;
    dialog.show();
    child<QLineEdit>("Text1")->clear();
    clickOk();
    EXPECT_EQ(machine.readSettings("FileCopyPath.log"), std::optional<std::string>("\r\n"));
    EXPECT_EQ(state.panel(2), "");
    EXPECT_FALSE(state.copyEnabled);
}

TEST_F(Form5Test, ChoicesConfirmedByOkStayForTheNextShowing) {
    dialog.show();
    combo()->setCurrentIndex(1);
    QTest::mouseClick(quickFormat(), Qt::LeftButton);
    clickOk();
    dialog.show();
    EXPECT_EQ(combo()->currentText(), u("FAT32"));
    EXPECT_FALSE(quickFormat()->isChecked());
}

TEST_F(Form5Test, CloseBoxForgetsTheChoicesSinceTheLastOk) {
    store("STORED", customerFolder());
    dialog.show();
    combo()->setCurrentIndex(1);
    QTest::mouseClick(quickFormat(), Qt::LeftButton);
    child<QLineEdit>("Text2")->setText(u("NEW"));
    child<QLineEdit>("Text1")->clear();
    dialog.close();

    EXPECT_FALSE(dialog.isVisible());
    EXPECT_FALSE(model.isLoaded());
    EXPECT_FALSE(machine.readSettings("Volnum.txt").has_value());
    EXPECT_EQ(state.panel(3), "STORED");

    dialog.show();
    EXPECT_EQ(combo()->currentText(), u("FAT"));
    EXPECT_TRUE(quickFormat()->isChecked());
    EXPECT_EQ(textOf("Text2"), u("STORED"));
    EXPECT_EQ(textOf("Text1"), QString::fromStdString(state.panel(2)));
    EXPECT_EQ(textOf("Label1_0"), u("文件:2;目录:1;大小:350字节"));
}

TEST_F(Form5Test, EscapeAndEnterInAFieldNeitherLeaveNorStore) {
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    auto *label = child<QLineEdit>("Text2");
    label->setFocus();
    QTest::keyClicks(label, "NOPE");
    QTest::keyClick(label, Qt::Key_Return);
    QTest::keyClick(label, Qt::Key_Escape);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(model.isLoaded());
    EXPECT_FALSE(machine.readSettings("Volnum.txt").has_value());

    // Enter on the focused OK button is a click.
    child<QPushButton>("Command2")->setFocus();
    QTest::keyClick(child<QPushButton>("Command2"), Qt::Key_Return);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(machine.readSettings("Volnum.txt"), std::optional<std::string>("NOPE\r\n"));
}

} // namespace
} // namespace dravex
