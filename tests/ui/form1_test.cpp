#include "tests/ui/uitestsupport.h"
#include "ui/form1.h"
#include "ui/form5.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace dravex {
namespace {

using testing::u;

// Stands in for the mail program, so a test never starts a real one.
class UrlRecorder : public QObject {
    Q_OBJECT

public:
    std::vector<QUrl> urls;

public Q_SLOTS:
    void open(const QUrl &url) { urls.push_back(url); }
};

SimDrive stick(char letter, const std::string &label) {
    SimDrive drive;
    drive.letter = letter;
    drive.label = label;
    drive.totalBytes = 8'000'000'000ull;
    drive.totalFreeBytes = 6'000'000'000ull;
    drive.freeBytesAvailableToCaller = drive.totalFreeBytes;
    return drive;
}

class Form1Test : public ::testing::Test {
protected:
    template <typename T> T *child(Form1 &window, const char *name) {
        T *found = window.findChild<T *>(QString::fromUtf8(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    template <typename T> T *child(const char *name) { return child<T>(form, name); }
    QString textOf(const char *name) {
        QLabel *label = child<QLabel>(name);
        return label ? label->text() : QString();
    }

    // Shortcuts only reach an active window, as with a real keyboard.
    void activate(QWidget &window) {
        window.show();
        QApplication::setActiveWindow(&window);
        ASSERT_TRUE(window.isActiveWindow());
    }

    testing::TestServices machine;
    SimBench &bench = machine.bench;
    Form1 form{Variant::V2, "tavrin@dravex.example", machine.services};
};

TEST_F(Form1Test, CommandStripHasItsCaptionsPlacesAndStartState) {
    struct Button {
        const char *name;
        const char *caption;
        int left;
    };
    const Button buttons[] = {
        {"Command7", "配置  F1", 30},  {"Command6", "格式化F2", 104}, {"Command5", " 拷贝 F4", 178},
        {"Command1", "刷新  F5", 250}, {"Command3", "改卷标F6", 324}, {"Command4", "测锁  F7", 398},
        {"Command2", "弹出  F8", 470},
    };
    for (const Button &expected : buttons) {
        auto *button = child<QPushButton>(expected.name);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->text(), u(expected.caption)) << expected.name;
        EXPECT_EQ(button->geometry(), QRect(expected.left, 0, 55, 31)) << expected.name;
        EXPECT_EQ(button->isEnabled(), std::string(expected.name) != "Command5") << expected.name;
    }
    EXPECT_EQ(child<QPushButton>("Command3")->toolTip(), u("将所有U盘的卷标修改为默认卷标。"));

    auto *check1 = child<QCheckBox>("Check1");
    auto *check2 = child<QCheckBox>("Check2");
    EXPECT_EQ(check1->text(), u("内部附有文件"));
    EXPECT_EQ(check2->text(), u("查看VPSN"));
    EXPECT_FALSE(check1->isChecked());
    EXPECT_FALSE(check2->isChecked());
    EXPECT_EQ(textOf("Label6"), u("0"));
    EXPECT_EQ(form.windowTitle(), u("DRAVEX---Tavrin"));
}

TEST_F(Form1Test, PelmoraBuildNamesItselfInTheCaption) {
    Form1 pelmora{Variant::Pelmora, "tavrin@dravex.example", machine.services};
    EXPECT_EQ(pelmora.windowTitle(), u("DRAVEX---Pelmora"));
}

TEST_F(Form1Test, PopupMenuListsItsEntriesInOrder) {
    auto *menu = child<QMenu>("m");
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->title(), u("配置(G)"));

    struct Entry {
        const char *name;
        const char *caption; // empty for a separator
        QKeySequence key;
    };
    const Entry expected[] = {
        {"mnuformat", "格式化(&F)", QKeySequence(Qt::Key_F2)},
        {"l", "", {}},
        {"mnuModVolue", "修改卷标(&V)", QKeySequence(Qt::Key_F6)},
        {"a", "", {}},
        {"mnuCopy", "配置…(&N)", QKeySequence(Qt::Key_F1)},
        {"copy", "复制(&C)", QKeySequence(Qt::Key_F4)},
        {"h", "", {}},
        {"mnuRef", "刷新(&R)", QKeySequence(Qt::Key_F5)},
        {"s", "", {}},
        {"mnuClock", "测锁(&L)", QKeySequence(Qt::Key_F7)},
        {"d", "", {}},
        {"mnuEject", "弹出(&E)", QKeySequence(Qt::Key_F8)},
        {"oo", "", {}},
        {"mnuExit", "退出(&X)", {}},
    };
    const QList<QAction *> actions = menu->actions();
    ASSERT_EQ(actions.size(), static_cast<qsizetype>(std::size(expected)));
    for (qsizetype i = 0; i < actions.size(); ++i) {
        const Entry &entry = expected[i];
        QAction *action = actions[i];
        EXPECT_EQ(action->objectName(), u(entry.name));
        EXPECT_EQ(action->isSeparator(), *entry.caption == '\0') << entry.name;
        if (!action->isSeparator()) {
            EXPECT_EQ(action->text(), u(entry.caption)) << entry.name;
            EXPECT_EQ(action->shortcut(), entry.key) << entry.name;
        }
    }
    EXPECT_FALSE(form.findChild<QAction *>("copy")->isEnabled());
}

TEST_F(Form1Test, StatusBarPanelsShowContactAndTips) {
    for (const char *name :
         {"StatusBar1_Panel1", "StatusBar1_Panel2", "StatusBar1_Panel3", "StatusBar1_Panel4"})
        child<QLabel>(name);
    EXPECT_EQ(textOf("StatusBar1_Panel4"), u("Tavrin"));
    EXPECT_EQ(child<QLabel>("StatusBar1_Panel3")->toolTip(), u("默认卷标。单击此处可进行修改。"));
    EXPECT_EQ(child<QLabel>("StatusBar1_Panel4")->toolTip(), u("点击发送邮件与我..."));

    // At the design size the bar lies right below the last row.
    form.resize(726, 500);
    EXPECT_EQ(child<QWidget>("StatusBar1")->geometry(), QRect(0, 479, 726, 21));
    auto *lastRow = child<QGroupBox>("Frame1_9");
    EXPECT_EQ(lastRow->geometry().bottom() + 1, 479);
    EXPECT_LE(child<QLabel>("StatusBar1_Panel4")->geometry().right(), 725);

    // "10" reaches under the letter cell; the number must stay visible on top of it.
    auto *number = child<QLabel>("Label8_9");
    const QPoint inside = number->geometry().topRight() + QPoint(-1, number->height() / 2);
    EXPECT_EQ(lastRow->childAt(inside), number);
}

TEST_F(Form1Test, ResizingMovesOnlyTheStatusBar) {
    activate(form);
    const QRect button = child<QPushButton>("Command1")->geometry();
    const QRect row = child<QGroupBox>("Frame1_4")->geometry();
    form.resize(900, 620);
    EXPECT_EQ(child<QWidget>("StatusBar1")->geometry(), QRect(0, 599, 900, 21));
    EXPECT_EQ(child<QPushButton>("Command1")->geometry(), button);
    EXPECT_EQ(child<QGroupBox>("Frame1_4")->geometry(), row);
}

TEST_F(Form1Test, FirstShowCentresTheWindowOnTheScreen) {
    form.load();
    ASSERT_NE(form.screen(), nullptr);
    // Allow for the window frame, whose size the window cannot know before it is shown.
    const QPoint offset = form.geometry().center() - form.screen()->availableGeometry().center();
    EXPECT_LE(offset.manhattanLength(), 16) << offset.x() << "," << offset.y();
}

TEST_F(Form1Test, FocusStartsOnCheck1AndTabsThroughTheStrip) {
    activate(form);
    EXPECT_EQ(QApplication::focusWidget(), child<QCheckBox>("Check1"));

    QStringList order;
    QWidget *widget = child<QCheckBox>("Check1");
    do {
        if (widget->focusPolicy() & Qt::TabFocus)
            order << widget->objectName();
        widget = widget->nextInFocusChain();
    } while (widget != child<QCheckBox>("Check1") && order.size() < 20);
    EXPECT_EQ(order, QStringList({"Check1", "Command2", "Command1", "Command3", "Command4", "Command5",
                                  "Command6", "Command7", "Check2"}));
}

TEST_F(Form1Test, LoadShowsTheWindowBeforeTheFirstScanThenListsTheDrives) {
    bench.plug(stick('H', "ALPHA"));
    bench.plug(stick('K', "BETA"));
    std::vector<bool> visibleDuringScan;
    std::vector<Qt::CursorShape> pointerDuringScan;
    // The content check walks each stick inside the scan: a place to watch the window from.
    bench.setBeforeListing([&](const std::string &) {
        visibleDuringScan.push_back(form.isVisible());
        pointerDuringScan.push_back(form.cursor().shape());
    });
    form.state().check1 = kChecked;

    // The design caption stands until the first scan writes the rows.
    EXPECT_EQ(textOf("Label11_0"), u("写保护"));
    EXPECT_EQ(textOf("Label11_9"), u("写保护"));

    form.load();

    EXPECT_EQ(visibleDuringScan, std::vector<bool>({true, true}));
    EXPECT_EQ(pointerDuringScan, std::vector<Qt::CursorShape>({Qt::WaitCursor, Qt::WaitCursor}));
    EXPECT_EQ(form.cursor().shape(), Qt::ArrowCursor);

    EXPECT_EQ(bench.driveListRefreshes(), 1);
    EXPECT_EQ(textOf("Label6"), u("2"));
    EXPECT_EQ(textOf("Label1_0"), u("H"));
    EXPECT_EQ(textOf("Label2_0"), u("卷标:ALPHA"));
    EXPECT_EQ(textOf("Label3_0"), u("FAT32"));
    EXPECT_EQ(textOf("Label1_1"), u("K"));
    EXPECT_EQ(textOf("Label2_1"), u("卷标:BETA"));
    EXPECT_EQ(textOf("Label1_2"), u(""));
    // The design caption is gone; the listed rows carry the content check's verdict instead.
    EXPECT_EQ(textOf("Label11_0"), u("OK"));
    EXPECT_EQ(textOf("Label11_9"), u(""));
    EXPECT_EQ(textOf("StatusBar1_Panel1"), u("列举完成...共有2个U盘。"));
    EXPECT_TRUE(bench.hasListener());
}

TEST_F(Form1Test, EveryCellMirrorsItsSlot) {
    // Fill every field with a distinct text, so a cell wired to the wrong field shows up.
    DriveSlot &slot = form.driveTable().slots[7];
    slot = {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j"};
    form.driveTable().driveCount = "8";
    form.state().panel(1) = "p1";
    form.state().panel(2) = "p2";
    form.state().panel(3) = "p3";
    form.refreshViews();
    const std::map<const char *, const char *> cells = {
        {"Label1_7", "a"},
        {"Label2_7", "b"},
        {"Label3_7", "c"},
        {"Label4_7", "d"},
        {"Label5_7", "e"},
        {"Label7_7", "f"},
        {"Label11_7", "g"},
        {"Label9_7", "h"},
        {"Label10_7", "i"},
        {"Label12_7", "j"},
        {"Label6", "8"},
        {"StatusBar1_Panel1", "p1"},
        {"StatusBar1_Panel2", "p2"},
        {"StatusBar1_Panel3", "p3"},
    };
    for (const auto &[name, expected] : cells)
        EXPECT_EQ(textOf(name), u(expected)) << name;
    EXPECT_EQ(textOf("Label8_7"), u("8"));
    EXPECT_EQ(child<QLabel>("Label8_7")->toolTip(), u("单击卸载此U盘"));
}

TEST_F(Form1Test, DriveTextsAreShownLiterallyNeverAsMarkup) {
    SimDrive drive = stick('H', "<b>A&B");
    drive.vendor = "V&W";
    drive.serial = "S1";
    drive.vendorId = "0951";
    drive.productId = "1666";
    bench.plug(drive);
    child<QCheckBox>("Check2")->setChecked(true);
    form.chus();

    auto *volumeLabel = child<QLabel>("Label2_0");
    auto *deviceKey = child<QLabel>("Label12_0");
    EXPECT_EQ(volumeLabel->text(), u("卷标:<b>A&B"));
    EXPECT_EQ(deviceKey->text(), u("VID_0951&PID_1666"));
    // Every text label, not just these two: any of them may receive a drive's or an operator's text.
    for (QLabel *label : form.findChildren<QLabel *>())
        if (label->pixmap().isNull()) {
            EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->objectName().toStdString();
        }
    EXPECT_EQ(deviceKey->buddy(), nullptr);
}

TEST_F(Form1Test, CheckBoxesKeepTheStateInStep) {
    activate(form);
    auto *check1 = child<QCheckBox>("Check1");
    QTest::mouseClick(check1, Qt::LeftButton);
    EXPECT_EQ(form.state().check1, kChecked);
    EXPECT_EQ(form.state().check2, kUnchecked);
    QTest::mouseClick(child<QCheckBox>("Check2"), Qt::LeftButton);
    EXPECT_EQ(form.state().check2, kChecked);
    QTest::mouseClick(check1, Qt::LeftButton);
    EXPECT_EQ(form.state().check1, kUnchecked);

    // And the other way: the logic may grey a box.
    form.state().check1 = kGrayed;
    form.refreshViews();
    EXPECT_EQ(check1->checkState(), Qt::PartiallyChecked);
    EXPECT_EQ(form.state().check1, kGrayed);
}

TEST_F(Form1Test, F5Command1AndRefreshEntryEachScanOnce) {
    activate(form);
    bench.plug(stick('H', "ONE"));
    QTest::keyClick(&form, Qt::Key_F5);
    EXPECT_EQ(bench.driveListRefreshes(), 1);
    EXPECT_EQ(textOf("Label6"), u("1"));

    bench.plug(stick('J', "TWO"));
    QTest::mouseClick(child<QPushButton>("Command1"), Qt::LeftButton);
    EXPECT_EQ(bench.driveListRefreshes(), 2);
    EXPECT_EQ(textOf("Label6"), u("2"));

    bench.unplug('H');
    form.findChild<QAction *>("mnuRef")->trigger();
    EXPECT_EQ(bench.driveListRefreshes(), 3);
    EXPECT_EQ(textOf("Label6"), u("1"));
    EXPECT_EQ(textOf("Label1_0"), u("J"));
}

TEST_F(Form1Test, DeviceChangeRunsOneScan) {
    bench.plug(stick('H', "ONE"));
    form.load();
    ASSERT_EQ(bench.driveListRefreshes(), 1);

    bench.plug(stick('M', "NEW"));
    bench.fireDeviceChange();
    EXPECT_EQ(bench.driveListRefreshes(), 2);
    EXPECT_EQ(textOf("Label6"), u("2"));
    EXPECT_EQ(textOf("Label1_1"), u("M"));
}

TEST_F(Form1Test, ClosingOrDestroyingTheWindowStopsDeviceNotifications) {
    form.load();
    ASSERT_TRUE(bench.hasListener());
    form.close();
    EXPECT_FALSE(bench.hasListener());

    testing::TestServices other;
    {
        Form1 window{Variant::V2, "tavrin@dravex.example", other.services};
        window.load();
        ASSERT_TRUE(other.bench.hasListener());
    }
    EXPECT_FALSE(other.bench.hasListener());
}

TEST_F(Form1Test, RightPressOpensTheMenuOnlyOnTheWindowSurface) {
    activate(form);
    auto *menu = child<QMenu>("m");
    struct Target {
        const char *name;
        QPoint at;
    };
    // Rows, their cells, buttons (enabled or not), check boxes, the counter and the status bar.
    const Target elsewhere[] = {
        {"Frame1_0", {620, 45}}, {"Frame1_5", {5, 5}},   {"Label2_3", {5, 5}},          {"Label8_0", {3, 3}},
        {"Label11_0", {3, 3}},   {"Command6", {5, 5}},   {"Command5", {5, 5}},          {"Check1", {5, 5}},
        {"Label6", {5, 5}},      {"StatusBar1", {2, 2}}, {"StatusBar1_Panel1", {5, 5}},
    };
    for (const Target &target : elsewhere) {
        QTest::mousePress(child<QWidget>(target.name), Qt::RightButton, {}, target.at);
        EXPECT_FALSE(menu->isVisible()) << target.name;
        EXPECT_EQ(QApplication::activePopupWidget(), nullptr) << target.name;
        menu->hide();
        QTest::mouseRelease(child<QWidget>(target.name), Qt::RightButton, {}, target.at);
    }

    // Between Command7 and Command6, above the first row.
    QTest::mousePress(&form, Qt::RightButton, {}, QPoint(95, 10));
    EXPECT_TRUE(menu->isVisible());
    EXPECT_EQ(QApplication::activePopupWidget(), menu);
    menu->hide();

    // A left press on the surface is no way to the menu.
    QTest::mousePress(&form, Qt::LeftButton, {}, QPoint(95, 10));
    EXPECT_FALSE(menu->isVisible());
    QTest::mouseRelease(&form, Qt::LeftButton, {}, QPoint(95, 10));
}

TEST_F(Form1Test, FunctionKeysClickTheirButtonsAndNothingElse) {
    activate(form);
    const char *const buttonNames[] = {"Command1", "Command2", "Command3", "Command4",
                                       "Command5", "Command6", "Command7"};
    const char *const actionNames[] = {"mnuformat", "mnuModVolue", "mnuCopy",  "copy",
                                       "mnuRef",    "mnuClock",    "mnuEject", "mnuExit"};
    struct Case {
        Qt::Key key;
        const char *button; // nullptr: no button
        const char *action; // nullptr: no entry
    };
    const Case cases[] = {
        {Qt::Key_F1, nullptr, "mnuCopy"},     {Qt::Key_F2, "Command6", "mnuformat"},
        {Qt::Key_F3, nullptr, nullptr},       {Qt::Key_F4, nullptr, nullptr}, // copy starts disabled
        {Qt::Key_F5, "Command1", "mnuRef"},   {Qt::Key_F6, "Command3", "mnuModVolue"},
        {Qt::Key_F7, "Command4", "mnuClock"}, {Qt::Key_F8, "Command2", "mnuEject"},
        {Qt::Key_F9, nullptr, nullptr},       {Qt::Key_F10, nullptr, nullptr},
        {Qt::Key_F11, nullptr, nullptr},      {Qt::Key_F12, nullptr, nullptr},
    };
    for (const Case &c : cases) {
        // The dialog F1 opened hands the keys back once it is gone.
        activate(form);
        std::map<std::string, std::unique_ptr<QSignalSpy>> spies;
        for (const char *name : buttonNames)
            spies[name] = std::make_unique<QSignalSpy>(child<QPushButton>(name), &QPushButton::clicked);
        for (const char *name : actionNames)
            spies[name] = std::make_unique<QSignalSpy>(form.findChild<QAction *>(name), &QAction::triggered);
        // F1 opens the configuration dialog, which has to be closed before the key returns.
        testing::ModalWatcher watcher;
        if (c.key == Qt::Key_F1)
            watcher.whenOpen();

        QTest::keyClick(&form, c.key);

        for (const auto &[name, spy] : spies) {
            const bool expected = (c.button && name == c.button) || (c.action && name == c.action);
            EXPECT_EQ(spy->count(), expected ? 1 : 0) << "key F" << (c.key - Qt::Key_F1 + 1) << ", " << name;
        }
    }
}

TEST_F(Form1Test, F4CopiesOnlyOnceCopyIsEnabled) {
    activate(form);
    auto *command5 = child<QPushButton>("Command5");
    QSignalSpy clicks(command5, &QPushButton::clicked);
    QTest::keyClick(&form, Qt::Key_F4);
    EXPECT_EQ(clicks.count(), 0);

    form.state().copyEnabled = true;
    form.refreshViews();
    EXPECT_TRUE(command5->isEnabled());
    EXPECT_TRUE(form.findChild<QAction *>("copy")->isEnabled());
    QTest::keyClick(&form, Qt::Key_F4);
    EXPECT_EQ(clicks.count(), 1);
}

TEST_F(Form1Test, KeysDoNothingWhileAModalWindowIsOpen) {
    activate(form);
    QDialog dialog(&form);
    dialog.setModal(true);
    activate(dialog);
    QTest::keyClick(&dialog, Qt::Key_F5);
    EXPECT_EQ(bench.driveListRefreshes(), 0);

    dialog.hide();
    activate(form);
    QTest::keyClick(&form, Qt::Key_F5);
    EXPECT_EQ(bench.driveListRefreshes(), 1);
}

TEST_F(Form1Test, ContactPanelOpensANewMail) {
    activate(form);
    UrlRecorder recorder;
    QDesktopServices::setUrlHandler(QStringLiteral("mailto"), &recorder, "open");
    QTest::mouseClick(child<QLabel>("StatusBar1_Panel4"), Qt::LeftButton);
    QDesktopServices::unsetUrlHandler(QStringLiteral("mailto"));
    ASSERT_EQ(recorder.urls.size(), 1u);
    EXPECT_EQ(recorder.urls[0], QUrl(QStringLiteral("mailto:tavrin@dravex.example")));
}

// The configuration dialog as the main window opens it, and what the window shows once it is left.
class Form1ConfigurationTest : public Form1Test {
protected:
    void SetUp() override { form.setOperator(person); }

    // A customer folder holding one file of 5 bytes.
    std::string customerFolder() {
        const std::filesystem::path root = std::filesystem::path(scratch.path().toStdString()) / "customer";
        testing::writeFile(root / "data.txt", 5);
        return root.string();
    }
    void storeFolder(const std::string &folder) {
        machine.writeSettings("FileCopyPath.log", folder + "\r\n");
    }
    template <typename T> static T *inDialog(QWidget *dialog, const char *name) {
        T *found = dialog->findChild<T *>(QString::fromUtf8(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    bool copyEnabled() {
        const bool button = child<QPushButton>("Command5")->isEnabled();
        EXPECT_EQ(form.findChild<QAction *>("copy")->isEnabled(), button);
        return button;
    }

    QTemporaryDir scratch;
    FakeOperator person;
    testing::ModalWatcher watcher;
};

TEST_F(Form1ConfigurationTest, EveryWayToTheConfigurationOpensTheSameModalDialog) {
    form.load();
    struct Way {
        const char *name;
        std::function<void()> open;
    };
    const Way ways[] = {
        {"F1", [&] { QTest::keyClick(&form, Qt::Key_F1); }},
        {"Command7", [&] { QTest::mouseClick(child<QPushButton>("Command7"), Qt::LeftButton); }},
        {"mnuCopy", [&] { form.findChild<QAction *>("mnuCopy")->trigger(); }},
        {"StatusBar1_Panel2", [&] { QTest::mouseClick(child<QLabel>("StatusBar1_Panel2"), Qt::LeftButton); }},
        {"StatusBar1_Panel3", [&] { QTest::mouseClick(child<QLabel>("StatusBar1_Panel3"), Qt::LeftButton); }},
    };
    const int scans = bench.driveListRefreshes();
    for (const Way &way : ways) {
        activate(form);
        const size_t before = watcher.seen.size();
        QWidget *shown = nullptr;
        watcher.whenOpen([&](QWidget *dialog) {
            shown = dialog;
            EXPECT_TRUE(dialog->isVisible()) << way.name;
            // The main window takes no keys while the dialog is open: no scan, no second dialog.
            QApplication::setActiveWindow(dialog);
            QTest::keyClick(dialog, Qt::Key_F5);
            QTest::keyClick(dialog, Qt::Key_F1);
        });
        way.open();
        ASSERT_EQ(watcher.seen.size(), before + 1) << way.name;
        ASSERT_NE(shown, nullptr) << way.name;
        EXPECT_EQ(shown, form.configurationView()) << way.name;
        EXPECT_EQ(shown->windowTitle(), u("配置选项"));
        EXPECT_EQ(shown->windowModality(), Qt::ApplicationModal);
        EXPECT_EQ(shown->parentWidget(), nullptr);
        EXPECT_FALSE(shown->isVisible()) << way.name;
    }
    EXPECT_EQ(bench.driveListRefreshes(), scans);
    // The panel clicks and F1 act on their own, not through the button.
    QSignalSpy command7(child<QPushButton>("Command7"), &QPushButton::clicked);
    watcher.whenOpen();
    QTest::mouseClick(child<QLabel>("StatusBar1_Panel2"), Qt::LeftButton);
    EXPECT_EQ(command7.count(), 0);
    // The first status panel leads nowhere.
    const size_t seen = watcher.seen.size();
    QTest::mouseClick(child<QLabel>("StatusBar1_Panel1"), Qt::LeftButton);
    EXPECT_EQ(watcher.seen.size(), seen);
}

TEST_F(Form1ConfigurationTest, DeviceChangeWhileTheDialogIsOpenRescansTheTable) {
    bench.plug(stick('H', "ONE"));
    form.load();
    QString countDuring;
    QString letterDuring;
    watcher.whenOpen([&](QWidget *) {
        bench.plug(stick('M', "NEW"));
        bench.fireDeviceChange();
        countDuring = textOf("Label6");
        letterDuring = textOf("Label1_1");
    });
    QTest::mouseClick(child<QPushButton>("Command7"), Qt::LeftButton);
    ASSERT_EQ(watcher.seen.size(), 1u);
    EXPECT_EQ(countDuring, u("2"));
    EXPECT_EQ(letterDuring, u("M"));
    EXPECT_EQ(bench.driveListRefreshes(), 2);
}

TEST_F(Form1ConfigurationTest, OkShowsTheStoredSettingsAndCopyFollowsTheFolder) {
    form.load();
    ASSERT_FALSE(copyEnabled());
    const std::string folder = customerFolder();
    watcher.whenOpen([&](QWidget *dialog) {
        QTest::keyClicks(inDialog<QLineEdit>(dialog, "Text2"), "DATA");
        inDialog<QLineEdit>(dialog, "Text1")->setText(QString::fromStdString(folder));
        QTest::mouseClick(inDialog<QPushButton>(dialog, "Command2"), Qt::LeftButton);
    });
    QTest::keyClick(&form, Qt::Key_F1);
    EXPECT_EQ(textOf("StatusBar1_Panel2"), QString::fromStdString(folder));
    EXPECT_EQ(textOf("StatusBar1_Panel3"), u("DATA"));
    EXPECT_TRUE(copyEnabled());
    EXPECT_EQ(machine.readSettings("Volnum.txt"), std::optional<std::string>("DATA\r\n"));
    EXPECT_EQ(machine.readSettings("FileCopyPath.log"), std::optional<std::string>(folder + "\r\n"));

    watcher.whenOpen([&](QWidget *dialog) {
        inDialog<QLineEdit>(dialog, "Text1")->clear();
        QTest::mouseClick(inDialog<QPushButton>(dialog, "Command2"), Qt::LeftButton);
    });
    QTest::mouseClick(child<QPushButton>("Command7"), Qt::LeftButton);
    EXPECT_EQ(textOf("StatusBar1_Panel2"), u(""));
    EXPECT_FALSE(copyEnabled());
}

TEST_F(Form1ConfigurationTest, CloseBoxKeepsTheStoredSettingsAndStartsOverNextTime) {
    const std::string folder = customerFolder();
    storeFolder(folder);
    machine.writeSettings("Volnum.txt", "LOT1\r\n");
    form.load();
    watcher.whenOpen([&](QWidget *dialog) {
        inDialog<QComboBox>(dialog, "Combo1")->setCurrentIndex(1);
        inDialog<QLineEdit>(dialog, "Text2")->setText(u("OTHER"));
        inDialog<QLineEdit>(dialog, "Text1")->clear();
    });
    QTest::mouseClick(child<QPushButton>("Command7"), Qt::LeftButton);
    EXPECT_EQ(textOf("StatusBar1_Panel2"), QString::fromStdString(folder));
    EXPECT_EQ(textOf("StatusBar1_Panel3"), u("LOT1"));
    EXPECT_TRUE(copyEnabled());

    QString fileSystem, label, shownFolder, summary;
    watcher.whenOpen([&](QWidget *dialog) {
        fileSystem = inDialog<QComboBox>(dialog, "Combo1")->currentText();
        label = inDialog<QLineEdit>(dialog, "Text2")->text();
        shownFolder = inDialog<QLineEdit>(dialog, "Text1")->text();
        summary = inDialog<QLabel>(dialog, "Label1_0")->text();
    });
    QTest::mouseClick(child<QPushButton>("Command7"), Qt::LeftButton);
    EXPECT_EQ(fileSystem, u("FAT"));
    EXPECT_EQ(label, u("LOT1"));
    EXPECT_EQ(shownFolder, QString::fromStdString(folder));
    EXPECT_EQ(summary, u("文件:1;目录:0;大小:5字节"));
}

TEST_F(Form1ConfigurationTest, BrowseInTheOpenDialogUsesTheOperatorGivenToTheWindow) {
    form.load();
    person.choice = customerFolder();
    QString summary;
    watcher.whenOpen([&](QWidget *dialog) {
        QTest::mouseClick(inDialog<QPushButton>(dialog, "Command1"), Qt::LeftButton);
        summary = inDialog<QLabel>(dialog, "Label1_0")->text();
    });
    QTest::mouseClick(child<QPushButton>("Command7"), Qt::LeftButton);
    EXPECT_EQ(person.browseTitles.size(), 1u);
    EXPECT_EQ(summary, u("文件:1;目录:0;大小:5字节"));
}

TEST_F(Form1ConfigurationTest, StartUpWithAStoredFolderLoadsTheDialogHidden) {
    const std::string folder = customerFolder();
    storeFolder(folder);
    std::vector<std::string> walked;
    bench.setBeforeListing([&](const std::string &path) { walked.push_back(path); });
    form.load();
    bench.setBeforeListing({});
    EXPECT_EQ(textOf("StatusBar1_Panel2"), QString::fromStdString(folder));
    EXPECT_TRUE(copyEnabled());
    EXPECT_TRUE(form.configDialog().isLoaded());
    EXPECT_EQ(form.configDialog().referenceSummary(), "文件:1;目录:0;大小:5字节");
    EXPECT_FALSE(walked.empty());
    // Loaded, never shown.
    EXPECT_EQ(form.configurationView(), nullptr);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(Form1ConfigurationTest, StartUpWithNothingStoredLeavesCopyDisabledAndTheDialogUnloaded) {
    form.load();
    EXPECT_EQ(textOf("StatusBar1_Panel2"), u(""));
    EXPECT_EQ(textOf("StatusBar1_Panel3"), u(""));
    EXPECT_FALSE(copyEnabled());
    EXPECT_FALSE(form.configDialog().isLoaded());
}

// The lock test and the content check, on sticks of the sim bench.

TEST_F(Form1Test, LockTestMarksEveryListedStickByKeyButtonAndMenu) {
    bench.plug(stick('H', "OPEN"));
    bench.plug(stick('K', "SHUT")).locked = true;
    form.load();
    activate(form);
    const QString status = textOf("StatusBar1_Panel1");
    const std::function<void()> ways[] = {
        [&] { QTest::keyClick(&form, Qt::Key_F7); },
        [&] { QTest::mouseClick(child<QPushButton>("Command4"), Qt::LeftButton); },
        [&] { form.findChild<QAction *>("mnuClock")->trigger(); },
    };
    for (const auto &test : ways) {
        form.chus();
        ASSERT_EQ(textOf("Label11_0"), u(""));
        test();
        EXPECT_EQ(textOf("Label11_0"), u("可读写"));
        EXPECT_EQ(textOf("Label11_1"), u("写保护"));
        EXPECT_EQ(textOf("Label11_2"), u(""));
        EXPECT_EQ(textOf("StatusBar1_Panel1"), status);
        // The probe leaves nothing behind on the writable stick.
        EXPECT_TRUE(std::filesystem::is_empty(bench.folderOf('H')));
    }
}

TEST_F(Form1ConfigurationTest, Check1ComparesEveryStickWithTheCustomerFolder) {
    storeFolder(customerFolder());
    bench.plug(stick('H', "SAME"));
    testing::writeFile(bench.folderOf('H') / "data.txt", 5);
    bench.plug(stick('K', "EMPTY"));
    form.load();
    activate(form);

    std::vector<Qt::CursorShape> pointerDuringWalk;
    bench.setBeforeListing([&](const std::string &) { pointerDuringWalk.push_back(form.cursor().shape()); });
    QTest::mouseClick(child<QCheckBox>("Check1"), Qt::LeftButton);
    bench.setBeforeListing({});
    EXPECT_EQ(form.state().check1, kChecked);
    EXPECT_EQ(textOf("Label7_0"), u("文件:1;目录:0;大小:5字节"));
    EXPECT_EQ(textOf("Label11_0"), u("OK"));
    EXPECT_EQ(textOf("Label7_1"), u("文件:0;目录:0;大小:0字节"));
    EXPECT_EQ(textOf("Label11_1"), u("NG"));
    EXPECT_EQ(textOf("Label7_2"), u(""));
    EXPECT_EQ(textOf("StatusBar1_Panel1"), u("K盘内有文件。"));
    ASSERT_FALSE(pointerDuringWalk.empty());
    for (Qt::CursorShape shape : pointerDuringWalk)
        EXPECT_EQ(shape, Qt::WaitCursor);
    EXPECT_EQ(form.cursor().shape(), Qt::ArrowCursor);

    // Ticked, the check runs on every stick a device change brings.
    bench.plug(stick('M', "LATE"));
    testing::writeFile(bench.folderOf('M') / "data.txt", 5);
    bench.fireDeviceChange();
    EXPECT_EQ(textOf("Label1_2"), u("M"));
    EXPECT_EQ(textOf("Label11_2"), u("OK"));

    QTest::mouseClick(child<QCheckBox>("Check1"), Qt::LeftButton);
    EXPECT_EQ(form.state().check1, kUnchecked);
    for (const char *cell : {"Label7_0", "Label11_0", "Label7_1", "Label11_1", "Label7_2", "Label11_2"})
        EXPECT_EQ(textOf(cell), u("")) << cell;
    EXPECT_EQ(textOf("StatusBar1_Panel1"), u(""));
}

} // namespace
} // namespace dravex

#include "form1_test.moc"

namespace dravex {
namespace {

// The batch commands as the operator reaches them: keys, buttons, menu entries and row numbers.
class Form1BatchTest : public Form1Test {
protected:
    void SetUp() override {
        form.setOperator(person);
        bench.plug(stick('F', "OLD"));
        bench.plug(stick('G', "OLD"));
        form.load();
        activate(form);
    }
    std::vector<std::string> launched() const {
        std::vector<std::string> lines;
        for (const SimLaunch &launch : bench.launches())
            lines.push_back(launch.commandLine);
        return lines;
    }
    using Lines = std::vector<std::string>;

    FakeOperator person;
};

TEST_F(Form1BatchTest, F2FormatsEveryStickAndStopsAtALockedOne) {
    QTest::keyClick(&form, Qt::Key_F2);
    EXPECT_EQ(launched(), (Lines{"format.com F:/FS:FAT/q/y", "format.com G:/FS:FAT/q/y"}));
    EXPECT_EQ(textOf("StatusBar1_Panel1"), u("格式化完成"));

    bench.drive('G')->locked = true;
    QTest::keyClick(&form, Qt::Key_F7);
    form.findChild<QAction *>("mnuformat")->trigger();
    ASSERT_EQ(person.messages.size(), 1u);
    EXPECT_EQ(person.messages[0].first, "有磁盘被写保护，格式化程序退出。");
    EXPECT_EQ(launched().size(), 3u);
    EXPECT_EQ(textOf("StatusBar1_Panel1"), u("格式化正在进行中，请稍候……"));
    EXPECT_EQ(form.cursor().shape(), Qt::ArrowCursor);
}

TEST_F(Form1BatchTest, F4CopiesOnlyOnceAFolderIsStored) {
    QTest::keyClick(&form, Qt::Key_F4);
    EXPECT_TRUE(launched().empty());
    form.state().panel(2) = "/srv/customer";
    form.state().copyEnabled = true;
    form.refreshViews();
    QTest::keyClick(&form, Qt::Key_F4);
    EXPECT_EQ(launched(), (Lines{"xcopy /srv/customer\\*.* F:\\./v/h/e/f/k",
                                 "xcopy /srv/customer\\*.* G:\\./v/h/e/f/k"}));
    EXPECT_EQ(textOf("StatusBar1_Panel1"), u("完成"));
}

TEST_F(Form1BatchTest, F6RelabelsAndShowsTheNewLabels) {
    form.state().panel(3) = "DATA";
    QTest::mouseClick(child<QPushButton>("Command3"), Qt::LeftButton);
    EXPECT_EQ(textOf("Label2_0"), u("卷标:DATA"));
    EXPECT_EQ(textOf("Label2_1"), u("卷标:DATA"));
}

TEST_F(Form1BatchTest, F8EjectsAllAndARowNumberEjectsOne) {
    const std::string program = machine.services.programDirectory + "\\RemoveDrive.exe ";
    QTest::keyClick(&form, Qt::Key_F8);
    EXPECT_EQ(launched(), (Lines{program + "F:", program + "G:"}));
    EXPECT_EQ(textOf("StatusBar1_Panel1"), u("正在弹出U盘..."));

    QTest::mouseClick(child<QLabel>("Label8_1"), Qt::LeftButton);
    EXPECT_EQ(launched().back(), program + "G");
    EXPECT_EQ(textOf("StatusBar1_Panel1"), u("卸载G盘，请单击..."));

    QTest::mouseClick(child<QLabel>("Label8_5"), Qt::LeftButton);
    EXPECT_EQ(launched().size(), 3u);
    EXPECT_EQ(textOf("StatusBar1_Panel1"), u("指定处没有U盘可供卸载！"));

    // A double click arrives as press, release, double click, release: the stick is ejected once.
    auto *number = child<QLabel>("Label8_0");
    const QPointF centre = QRectF(number->rect()).center();
    QTest::mouseClick(number, Qt::LeftButton);
    QMouseEvent doubleClick(QEvent::MouseButtonDblClick, centre, number->mapToGlobal(centre), Qt::LeftButton,
                            Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(number, &doubleClick);
    QTest::mouseRelease(number, Qt::LeftButton);
    EXPECT_EQ(launched().size(), 4u);
    EXPECT_EQ(launched().back(), program + "F");
    for (const SimLaunch &launch : bench.launches())
        EXPECT_EQ(launch.windowStyle, kWindowHidden);
}

} // namespace
} // namespace dravex

namespace dravex {
namespace {

class Form1IdentityTest : public Form1Test {
protected:
    void SetUp() override {
        form.setOperator(person);
        SimDrive known = stick('F', "ONE");
        known.vendor = "ABC";
        known.product = "FLASH DISK";
        known.revision = "1.00";
        known.serial = "0123456789AB";
        known.vendorId = "1234";
        known.productId = "5678";
        bench.plug(known);
        // No identity at all: the management data knows no disk for it.
        bench.plug(stick('G', "TWO"));
    }
    FakeOperator person;
};

TEST_F(Form1IdentityTest, TickedBoxShowsEachSticksOwnIdentity) {
    child<QCheckBox>("Check2")->setChecked(true);
    form.load();
    EXPECT_EQ(textOf("Label9_0"), u("ABC FLASH 1.00"));
    EXPECT_EQ(textOf("Label10_0"), u("S/N:0123456789AB"));
    EXPECT_EQ(textOf("Label12_0"), u("VID_1234&PID_5678"));
    // Never the identity of the stick looked up before it.
    EXPECT_EQ(textOf("Label9_1"), u("  "));
    EXPECT_EQ(textOf("Label10_1"), u("S/N:"));
    EXPECT_EQ(textOf("Label12_1"), u(""));
}

TEST_F(Form1IdentityTest, ClearBoxMakesNoLookup) {
    form.load();
    EXPECT_EQ(bench.managementQueries(), 0);
    EXPECT_EQ(textOf("Label9_0"), u(""));
    EXPECT_EQ(textOf("Label10_0"), u(""));
}

TEST_F(Form1IdentityTest, DoubleClickOnIdentityShowsTheDiskDescription) {
    form.load();
    QTest::mouseDClick(child<QLabel>("Label9_0"), Qt::LeftButton);
    ASSERT_EQ(person.messages.size(), 1u);
    EXPECT_EQ(person.messages[0].second, "USBDisk Info");
    EXPECT_NE(person.messages[0].first.find("USBSTOR\\DISK&VEN_ABC&PROD_FLASH_DISK&REV_1.00\\0123456789AB&0"),
              std::string::npos);
    // Rows without a known disk, and empty rows, show nothing.
    QTest::mouseDClick(child<QLabel>("Label9_1"), Qt::LeftButton);
    QTest::mouseDClick(child<QLabel>("Label9_7"), Qt::LeftButton);
    EXPECT_EQ(person.messages.size(), 1u);
}

} // namespace
} // namespace dravex
