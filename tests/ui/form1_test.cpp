#include "tests/ui/uitestsupport.h"
#include "ui/form1.h"
#include "ui/form5.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
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
using Lines = std::vector<std::string>;

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
    drive.totalFreeBytes = drive.freeBytesAvailableToCaller = 6'000'000'000ull;
    return drive;
}

class Form1Test : public ::testing::Test {
protected:
    Form1Test() { form.setOperator(person); }

    template <typename T = QLabel> T *child(const char *name) {
        T *found = form.findChild<T *>(QString::fromUtf8(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QString textOf(const char *name) { return child(name)->text(); }
    // The texts of the named labels joined by '|', to read a row or a column at once.
    QString texts(std::initializer_list<const char *> names) {
        QStringList all;
        for (const char *name : names)
            all << textOf(name);
        return all.join('|');
    }
    void click(const char *name) { QTest::mouseClick(child<QWidget>(name), Qt::LeftButton); }
    void trigger(const char *entry) { child<QAction>(entry)->trigger(); }
    // Shortcuts only reach an active window, as with a real keyboard.
    void activate(QWidget &window) {
        window.show();
        QApplication::setActiveWindow(&window);
        ASSERT_TRUE(window.isActiveWindow());
    }
    Lines launched() const {
        Lines lines;
        for (const SimLaunch &launch : bench.launches())
            lines.push_back(launch.commandLine);
        return lines;
    }

    // A customer folder holding one file of 5 bytes.
    std::string customerFolder() {
        const std::filesystem::path root = std::filesystem::path(scratch.path().toStdString()) / "customer";
        testing::writeFile(root / "data.txt", 5);
        return root.string();
    }

    QTemporaryDir scratch;
    testing::TestServices machine;
    SimBench &bench = machine.bench;
    FakeOperator person;
    QaStation station{Variant::V2, machine.services};
    Form1 form{station, "tavrin@dravex.example"};
    testing::ModalWatcher watcher;
};

TEST_F(Form1Test, WindowShowsItsCaptionsTipsAndStartState) {
    QStringList captions, tips;
    for (const char *name : {"Command7", "Command6", "Command5", "Command1", "Command3", "Command4",
                             "Command2", "Check1", "Check2"}) {
        auto *button = child<QAbstractButton>(name);
        captions << button->text();
        EXPECT_EQ(button->isEnabled(), std::string(name) != "Command5") << name;
        EXPECT_FALSE(button->isChecked()) << name;
    }
    EXPECT_EQ(captions.join('|'),
              u("配置  F1|格式化F2| 拷贝 F4|刷新  F5|改卷标F6|测锁  F7|弹出  F8|内部附有文件|查看VPSN"));
    for (const char *name : {"Command3", "StatusBar1_Panel3", "StatusBar1_Panel4", "Label8_7"})
        tips << child<QWidget>(name)->toolTip();
    EXPECT_EQ(tips.join('|'), u("将所有U盘的卷标修改为默认卷标。|默认卷标。单击此处可进行修改。|"
                                "点击发送邮件与我...|单击卸载此U盘"));
    EXPECT_EQ(child<QWidget>("Command6")->geometry(), QRect(104, 0, 55, 31));
    EXPECT_EQ(textOf("Label6"), u("0"));
    EXPECT_EQ(textOf("StatusBar1_Panel4"), u("Tavrin"));
    EXPECT_EQ(form.windowTitle(), u("DRAVEX---Tavrin"));
    QaStation pelmora{Variant::Pelmora, machine.services};
    EXPECT_EQ(Form1(pelmora, "tavrin@dravex.example").windowTitle(),
              u("DRAVEX---Pelmora"));
}

TEST_F(Form1Test, PopupMenuListsItsEntriesInOrder) {
    auto *menu = child<QMenu>("m");
    EXPECT_EQ(menu->title(), u("配置(G)"));
    // Separators have no caption; the keys are F1 to F8, 0 for none.
    const char *const names[] = {"mnuformat",   "l", "mnuModVolue", "a",  "mnuCopy",
                                 "copy",        "h", "mnuRef",      "s",  "mnuClock",
                                 "mnuCapacity", "d", "mnuEject",    "oo", "mnuExit"};
    const char *const captions[] = {"格式化(&F)", "", "修改卷标(&V)", "", "配置…(&N)",
                                    "复制(&C)",   "", "刷新(&R)",     "", "测锁(&L)",
                                    "容量测试",   "", "弹出(&E)",     "", "退出(&X)"};
    const int keys[] = {2, 0, 6, 0, 1, 4, 0, 5, 0, 7, 3, 0, 8, 0, 0};
    const QList<QAction *> actions = menu->actions();
    ASSERT_EQ(actions.size(), 15);
    for (int i = 0; i < 15; ++i) {
        EXPECT_EQ(actions[i]->objectName(), u(names[i]));
        EXPECT_EQ(actions[i]->isSeparator(), !*captions[i]) << names[i];
        EXPECT_EQ(actions[i]->text(), u(captions[i])) << names[i];
        EXPECT_EQ(actions[i]->shortcut(), keys[i] ? QKeySequence(Qt::Key_F1 + keys[i] - 1) : QKeySequence())
            << names[i];
    }
    EXPECT_FALSE(child<QAction>("copy")->isEnabled());
}

TEST_F(Form1Test, VerdictsHideTheFrameLineBeneathAndEveryTextHasChineseType) {
    form.refreshViews();
    station.driveTable().slots[0].checkResult.clear();
    form.refreshViews();
    // The next row's frame line runs through the verdict's place; the empty verdict shows none of it.
    QLabel *verdict = child<QLabel>("Label11_0");
    const QImage image = form.grab().toImage();
    const QRect place(verdict->mapTo(&form, QPoint(0, 0)), verdict->size());
    ASSERT_TRUE(place.contains(QPoint(place.left(), child<QWidget>("Frame1_1")->geometry().top())));
    const QRgb background = form.palette().color(QPalette::Window).rgb();
    int others = 0;
    for (int y = place.top(); y <= place.bottom(); ++y)
        for (int x = place.left(); x <= place.right(); ++x)
            others += image.pixel(x, y) != background;
    EXPECT_EQ(others, 0);

    const QString standIn = u("Noto Sans Mono CJK SC");
    for (QWidget *widget : {child<QWidget>("Check1"), child<QWidget>("Check2"), child<QWidget>("Label7_3"),
                            static_cast<QWidget *>(child<QMenu>("m"))}) {
        EXPECT_TRUE(widget->font().families().contains(standIn)) << widget->objectName().toStdString();
        EXPECT_EQ(widget->font().pointSizeF(), 9.0) << widget->objectName().toStdString();
    }
}

TEST_F(Form1Test, StatusBarLiesBelowTheLastRowAndOnlyItFollowsTheSize) {
    activate(form);
    form.resize(726, 500);
    EXPECT_EQ(child<QWidget>("StatusBar1")->geometry(), QRect(0, 479, 726, 21));
    auto *lastRow = child<QGroupBox>("Frame1_9");
    EXPECT_EQ(lastRow->geometry().bottom() + 1, 479);
    EXPECT_LE(child("StatusBar1_Panel4")->geometry().right(), 725);
    // "10" reaches under the letter cell; the number must stay visible on top of it.
    auto *number = child("Label8_9");
    EXPECT_EQ(lastRow->childAt(number->geometry().topRight() + QPoint(-1, number->height() / 2)), number);

    const QRect button = child<QWidget>("Command1")->geometry();
    const QRect row = child<QWidget>("Frame1_4")->geometry();
    form.resize(900, 620);
    EXPECT_EQ(child<QWidget>("StatusBar1")->geometry(), QRect(0, 599, 900, 21));
    EXPECT_EQ(child<QWidget>("Command1")->geometry(), button);
    EXPECT_EQ(child<QWidget>("Frame1_4")->geometry(), row);
}

TEST_F(Form1Test, LoadCentresTheWindowAndShowsItBeforeTheFirstScanWithFocusOnCheck1) {
    bench.plug(stick('H', "ALPHA"));
    bench.plug(stick('K', "BETA"));
    std::vector<bool> visibleDuringScan;
    std::vector<Qt::CursorShape> pointer;
    // The content check walks each stick inside the scan: a place to watch the window from.
    bench.setBeforeListing([&](const std::string &) {
        visibleDuringScan.push_back(form.isVisible());
        pointer.push_back(form.cursor().shape());
    });
    station.state().check1 = kChecked;
    // The design caption stands until the first scan writes the rows.
    EXPECT_EQ(textOf("Label11_9"), u("写保护"));

    form.load();
    EXPECT_EQ(visibleDuringScan, std::vector<bool>({true, true}));
    EXPECT_EQ(pointer, std::vector<Qt::CursorShape>({Qt::WaitCursor, Qt::WaitCursor}));
    EXPECT_EQ(form.cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(bench.driveListRefreshes(), 1);
    EXPECT_TRUE(bench.hasListener());
    EXPECT_EQ(texts({"Label6", "Label1_0", "Label2_0", "Label3_0", "Label1_1", "Label2_1", "Label1_2",
                     "Label11_0", "Label11_9", "StatusBar1_Panel1"}),
              u("2|H|卷标:ALPHA|FAT32|K|卷标:BETA||OK||列举完成...共有2个U盘。"));

    // Allow for the window frame, whose size the window cannot know before it is shown.
    const QPoint offset = form.geometry().center() - form.screen()->availableGeometry().center();
    EXPECT_LE(offset.manhattanLength(), 16) << offset.x() << "," << offset.y();
    activate(form);
    EXPECT_EQ(QApplication::focusWidget(), child<QCheckBox>("Check1"));
    QStringList order;
    QWidget *widget = QApplication::focusWidget();
    do {
        if (widget->focusPolicy() & Qt::TabFocus)
            order << widget->objectName();
        widget = widget->nextInFocusChain();
    } while (widget != child<QCheckBox>("Check1") && order.size() < 20);
    EXPECT_EQ(order, QStringList({"Check1", "Command2", "Command1", "Command3", "Command4", "Command5",
                                  "Command6", "Command7", "Check2"}));
}

TEST_F(Form1Test, EveryCellMirrorsItsSlotAsPlainText) {
    // A distinct text in every field, so a cell wired to the wrong field shows up.
    station.driveTable().slots[7] = {"a", "b", "c", "d", "e", "f", "g", "h", "i", "<b>j&amp;"};
    station.driveTable().driveCount = "8";
    for (int panel : {1, 2, 3})
        station.state().panel(panel) = "p" + std::to_string(panel);
    form.refreshViews();
    EXPECT_EQ(texts({"Label1_7", "Label2_7", "Label3_7", "Label4_7", "Label5_7", "Label7_7", "Label11_7",
                     "Label9_7", "Label10_7", "Label12_7", "Label8_7", "Label6", "StatusBar1_Panel1",
                     "StatusBar1_Panel2", "StatusBar1_Panel3"}),
              u("a|b|c|d|e|f|g|h|i|<b>j&amp;|8|8|p1|p2|p3"));
    // Any label may receive a drive's or an operator's text.
    for (QLabel *label : form.findChildren<QLabel *>())
        if (label->pixmap().isNull()) {
            EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->objectName().toStdString();
        }
    EXPECT_EQ(child("Label12_0")->buddy(), nullptr);
}

TEST_F(Form1Test, CheckBoxesKeepTheStateInStep) {
    activate(form);
    click("Check2");
    EXPECT_EQ(station.state().check2, kChecked);
    EXPECT_EQ(station.state().check1, kUnchecked);
    // And the other way: the logic may grey a box.
    station.state().check1 = kGrayed;
    form.refreshViews();
    EXPECT_EQ(child<QCheckBox>("Check1")->checkState(), Qt::PartiallyChecked);
    EXPECT_EQ(station.state().check1, kGrayed);
}

TEST_F(Form1Test, F5Command1RefreshEntryAndDeviceChangeEachScanOnce) {
    form.load();
    activate(form);
    const std::pair<char, std::function<void()>> ways[] = {{'H', [&] { QTest::keyClick(&form, Qt::Key_F5); }},
                                                           {'J', [&] { click("Command1"); }},
                                                           {'K', [&] { trigger("mnuRef"); }},
                                                           {'M', [&] { bench.fireDeviceChange(); }}};
    int drives = 0;
    for (const auto &[letter, scan] : ways) {
        bench.plug(stick(letter, "X"));
        scan();
        EXPECT_EQ(bench.driveListRefreshes(), ++drives + 1) << letter;
        EXPECT_EQ(textOf("Label6"), QString::number(drives)) << letter;
        EXPECT_EQ(textOf(("Label1_" + std::to_string(drives - 1)).c_str()), QString(QChar(letter)));
    }
}

TEST_F(Form1Test, ClosingOrDestroyingTheWindowStopsDeviceNotifications) {
    form.load();
    ASSERT_TRUE(bench.hasListener());
    form.close();
    EXPECT_FALSE(bench.hasListener());
    testing::TestServices other;
    {
        QaStation otherStation{Variant::V2, other.services};
        Form1 window{otherStation, "tavrin@dravex.example"};
        window.load();
        ASSERT_TRUE(other.bench.hasListener());
    }
    EXPECT_FALSE(other.bench.hasListener());
}

TEST_F(Form1Test, RightPressOpensTheMenuOnlyOnTheWindowSurface) {
    activate(form);
    auto *menu = child<QMenu>("m");
    // Rows, their cells, buttons (enabled or not), check boxes, the counter and the status bar.
    const std::pair<const char *, QPoint> elsewhere[] = {
        {"Frame1_0", {620, 45}}, {"Frame1_5", {5, 5}},   {"Label2_3", {5, 5}},         {"Label8_0", {3, 3}},
        {"Label11_0", {3, 3}},   {"Command6", {5, 5}},   {"Command5", {5, 5}},         {"Check1", {5, 5}},
        {"Label6", {5, 5}},      {"StatusBar1", {2, 2}}, {"StatusBar1_Panel1", {5, 5}}};
    for (const auto &[name, at] : elsewhere) {
        QTest::mousePress(child<QWidget>(name), Qt::RightButton, {}, at);
        EXPECT_FALSE(menu->isVisible()) << name;
        EXPECT_EQ(QApplication::activePopupWidget(), nullptr) << name;
        menu->hide();
        QTest::mouseRelease(child<QWidget>(name), Qt::RightButton, {}, at);
    }
    // Between Command7 and Command6, above the first row; a left press there is no way to the menu.
    QTest::mousePress(&form, Qt::LeftButton, {}, QPoint(95, 10));
    EXPECT_FALSE(menu->isVisible());
    QTest::mouseRelease(&form, Qt::LeftButton, {}, QPoint(95, 10));
    QTest::mousePress(&form, Qt::RightButton, {}, QPoint(95, 10));
    EXPECT_TRUE(menu->isVisible());
    EXPECT_EQ(QApplication::activePopupWidget(), menu);
    menu->hide();
}

TEST_F(Form1Test, FunctionKeysClickTheirButtonsAndNothingElse) {
    const char *const buttons[] = {"Command1", "Command2", "Command3", "Command4",
                                   "Command5", "Command6", "Command7"};
    const char *const entries[] = {"mnuformat", "mnuModVolue", "mnuCopy",  "copy",   "mnuRef",
                                   "mnuClock",  "mnuCapacity", "mnuEject", "mnuExit"};
    // What each key from F1 to F12 reaches: its button and its menu entry (F3 has no button). Copy starts
    // disabled.
    const char *const reached[] = {"mnuCopy",
                                   "Command6 mnuformat",
                                   "mnuCapacity",
                                   "",
                                   "Command1 mnuRef",
                                   "Command3 mnuModVolue",
                                   "Command4 mnuClock",
                                   "Command2 mnuEject",
                                   "",
                                   "",
                                   "",
                                   ""};
    for (int key = 0; key < 12; ++key) {
        // The dialog F1 opened hands the keys back once it is gone.
        activate(form);
        std::map<std::string, std::unique_ptr<QSignalSpy>> spies;
        for (const char *name : buttons)
            spies[name] = std::make_unique<QSignalSpy>(child<QPushButton>(name), &QPushButton::clicked);
        for (const char *name : entries)
            spies[name] = std::make_unique<QSignalSpy>(child<QAction>(name), &QAction::triggered);
        if (key == 0)
            watcher.whenOpen();
        QTest::keyClick(&form, Qt::Key(Qt::Key_F1 + key));
        for (const auto &[name, spy] : spies) {
            const bool expected = QString(reached[key]).split(' ').contains(QString::fromStdString(name));
            EXPECT_EQ(spy->count(), expected ? 1 : 0) << "key F" << key + 1 << ", " << name;
        }
    }
}

TEST_F(Form1Test, ContactPanelOpensANewMail) {
    activate(form);
    UrlRecorder recorder;
    QDesktopServices::setUrlHandler(QStringLiteral("mailto"), &recorder, "open");
    click("StatusBar1_Panel4");
    QDesktopServices::unsetUrlHandler(QStringLiteral("mailto"));
    EXPECT_EQ(recorder.urls, std::vector<QUrl>{QUrl(QStringLiteral("mailto:tavrin@dravex.example"))});
}

TEST_F(Form1Test, WithoutAMailProgramPanelOneGivesTheAddress) {
    activate(form);
    // No xdg-open to be found: the desktop cannot open the mail.
    const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    ::setenv("PATH", "/nonexistent", 1);
    click("StatusBar1_Panel4");
    ::setenv("PATH", path.c_str(), 1);
    EXPECT_EQ(textOf("StatusBar1_Panel1"), u("无法打开邮件程序，请发邮件至：tavrin@dravex.example"));
}

TEST_F(Form1Test, LongPanelTextsCanBeReadWholeInTheirTooltips) {
    const std::string message = "无法创建设置文件Volnum.txt；无法创建设置文件FileCopyPath.log：权限不够";
    station.state().panel(1) = message;
    station.state().panel(2) = "/home/op/customers/order 2026-12 with a long name/files";
    form.refreshViews();
    EXPECT_EQ(child("StatusBar1_Panel1")->toolTip(), u(message.c_str()));
    EXPECT_EQ(child("StatusBar1_Panel2")->toolTip(), u(station.state().panel(2).c_str()));
    // The other two keep their own.
    EXPECT_EQ(child("StatusBar1_Panel3")->toolTip(), u("默认卷标。单击此处可进行修改。"));
    EXPECT_EQ(child("StatusBar1_Panel4")->toolTip(), u("点击发送邮件与我..."));
}

TEST_F(Form1Test, ThePanelAddsTheRecordsNoteAfterTheToolsMessageAndFollowsItBySelf) {
    form.load();
    const QString scanned = textOf("StatusBar1_Panel1");
    ASSERT_FALSE(scanned.isEmpty());
    bench.productionLog().setNote("生产记录待上传：3条");
    // No command needed: the window asks the record every second.
    ASSERT_TRUE(QTest::qWaitFor([&] { return textOf("StatusBar1_Panel1") != scanned; }, 3000));
    EXPECT_EQ(textOf("StatusBar1_Panel1"), scanned + u("　生产记录待上传：3条"));
    EXPECT_EQ(child("StatusBar1_Panel1")->toolTip(), textOf("StatusBar1_Panel1"));
    EXPECT_EQ(station.state().panel(1), scanned.toStdString()) << "the tool's own message stays as it is";
    station.state().panel(1).clear();
    form.refreshViews();
    EXPECT_EQ(textOf("StatusBar1_Panel1"), u("生产记录待上传：3条"));
    bench.productionLog().setNote("");
    ASSERT_TRUE(QTest::qWaitFor([&] { return textOf("StatusBar1_Panel1").isEmpty(); }, 3000));
}

TEST_F(Form1Test, LockTestMarksEveryListedStickByKeyButtonAndMenu) {
    bench.plug(stick('H', "OPEN"));
    bench.plug(stick('K', "SHUT")).locked = true;
    form.load();
    activate(form);
    const QString status = textOf("StatusBar1_Panel1");
    const std::function<void()> ways[] = {[&] { QTest::keyClick(&form, Qt::Key_F7); },
                                          [&] { click("Command4"); }, [&] { trigger("mnuClock"); }};
    for (const auto &test : ways) {
        form.chus();
        ASSERT_EQ(textOf("Label11_0"), u(""));
        test();
        EXPECT_EQ(texts({"Label11_0", "Label11_1", "Label11_2"}), u("可读写|写保护|"));
        EXPECT_EQ(textOf("StatusBar1_Panel1"), status);
        EXPECT_TRUE(std::filesystem::is_empty(bench.folderOf('H'))) << "the probe leaves nothing behind";
    }
}

// The configuration dialog as the main window opens it, and what the window shows once it is left.

TEST_F(Form1Test, EveryWayToTheConfigurationOpensTheSameModalDialog) {
    form.load();
    const std::pair<const char *, std::function<void()>> ways[] = {
        {"F1", [&] { QTest::keyClick(&form, Qt::Key_F1); }},
        {"Command7", [&] { click("Command7"); }},
        {"mnuCopy", [&] { trigger("mnuCopy"); }},
        {"StatusBar1_Panel2", [&] { click("StatusBar1_Panel2"); }},
        {"StatusBar1_Panel3", [&] { click("StatusBar1_Panel3"); }}};
    for (const auto &[name, open] : ways) {
        activate(form);
        QWidget *shown = nullptr;
        watcher.whenOpen([&](QWidget *dialog) {
            shown = dialog;
            EXPECT_TRUE(dialog->isVisible()) << name;
            // The main window takes no keys while the dialog is open: no scan, no second dialog.
            QApplication::setActiveWindow(dialog);
            QTest::keyClick(dialog, Qt::Key_F5);
            QTest::keyClick(dialog, Qt::Key_F1);
        });
        open();
        ASSERT_NE(shown, nullptr) << name;
        // The dialog's own test covers its title and modality; every way shows the one dialog.
        EXPECT_EQ(shown->objectName(), u("Form5")) << name;
        EXPECT_EQ(shown, watcher.seen.front().data()) << name;
        EXPECT_FALSE(shown->isVisible()) << name;
    }
    EXPECT_EQ(watcher.seen.size(), 5u);
    EXPECT_EQ(bench.driveListRefreshes(), 1);
    // The panel clicks act on their own, not through the button; the first panel leads nowhere.
    QSignalSpy command7(child<QPushButton>("Command7"), &QPushButton::clicked);
    watcher.whenOpen();
    click("StatusBar1_Panel2");
    EXPECT_EQ(command7.count(), 0);
    click("StatusBar1_Panel1");
    EXPECT_EQ(watcher.seen.size(), 6u);
}

TEST_F(Form1Test, StartUpLoadsTheDialogHiddenOnlyWhenAFolderIsStored) {
    form.load();
    EXPECT_EQ(textOf("StatusBar1_Panel2"), u(""));
    EXPECT_EQ(textOf("StatusBar1_Panel3"), u(""));
    EXPECT_FALSE(child<QPushButton>("Command5")->isEnabled());
    EXPECT_FALSE(child<QAction>("copy")->isEnabled());
    // Not loaded: the dialog's first reading takes the panels as they are then.
    station.state().panel(3) = "LATER";
    EXPECT_EQ(station.configDialog().label(), "LATER");

    testing::TestServices stored;
    const std::string folder = customerFolder();
    stored.writeSettings("FileCopyPath.log", folder + "\r\n");
    QaStation storedStation{Variant::V2, stored.services};
    Form1 window{storedStation, "tavrin@dravex.example"};
    window.load();
    EXPECT_EQ(window.findChild<QLabel *>("StatusBar1_Panel2")->text(), QString::fromStdString(folder));
    EXPECT_TRUE(window.findChild<QPushButton *>("Command5")->isEnabled());
    EXPECT_EQ(storedStation.configDialog().referenceSummary(), "文件:1;目录:0;大小:5字节");
    // Loaded, never shown.
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(Form1Test, Check1ComparesEveryStickWithTheCustomerFolder) {
    machine.writeSettings("FileCopyPath.log", customerFolder() + "\r\n");
    bench.plug(stick('H', "SAME"));
    testing::writeFile(bench.folderOf('H') / "data.txt", 5);
    bench.plug(stick('K', "EMPTY"));
    form.load();
    activate(form);
    click("Check1");
    EXPECT_EQ(station.state().check1, kChecked);
    EXPECT_EQ(texts({"Label7_0", "Label11_0", "Label7_1", "Label11_1", "Label7_2", "StatusBar1_Panel1"}),
              u("文件:1;目录:0;大小:5字节|OK|文件:0;目录:0;大小:0字节|NG||K盘内有文件。"));
    click("Check1");
    EXPECT_EQ(station.state().check1, kUnchecked);
    EXPECT_EQ(texts({"Label7_0", "Label11_0", "Label7_1", "Label11_1", "StatusBar1_Panel1"}), u("||||"));
}

TEST_F(Form1Test, Check1GivesNoVerdictWhileTheStoredCustomerFolderIsGone) {
    const std::string folder = customerFolder();
    machine.writeSettings("FileCopyPath.log", folder + "gone\r\n");
    bench.plug(stick('H', "EMPTY"));
    form.load();
    activate(form);
    click("Check1");
    const QString noReference = u("无法读取客供文件目录，不判定OK/NG。");
    EXPECT_EQ(texts({"Label7_0", "Label11_0", "StatusBar1_Panel1"}),
              u("文件:0;目录:0;大小:0字节||") + noReference);
    // Every scan while ticked says it again, after its own closing text.
    bench.plug(stick('K', "EMPTY"));
    form.chus();
    EXPECT_EQ(texts({"Label11_0", "Label11_1", "StatusBar1_Panel1"}), u("||") + noReference);
}

// The batch commands as the operator reaches them: keys, buttons, menu entries and row numbers.
class Form1BatchTest : public Form1Test {
protected:
    void SetUp() override {
        bench.plug(stick('F', "OLD"));
        bench.plug(stick('G', "OLD"));
        form.load();
        activate(form);
    }
};

TEST_F(Form1BatchTest, FormatEntryStopsAtALockedStickWithItsMessage) {
    bench.drive('G')->locked = true;
    QTest::keyClick(&form, Qt::Key_F7);
    trigger("mnuformat");
    ASSERT_EQ(person.messages.size(), 1u);
    EXPECT_EQ(person.messages[0].first, "有磁盘被写保护，格式化程序退出。");
    EXPECT_EQ(launched(), Lines{"format.com F:/FS:FAT/q/y"});
    EXPECT_EQ(textOf("StatusBar1_Panel1"), u("格式化正在进行中，请稍候……"));
    EXPECT_EQ(form.cursor().shape(), Qt::ArrowCursor);
}

TEST_F(Form1BatchTest, F3AndItsEntryCheckEveryListedStickButTheWriteProtectedOnes) {
    bench.plug(stick('H', "SHUT")).locked = true;
    form.chus();
    QTest::keyClick(&form, Qt::Key_F7);
    QTest::keyClick(&form, Qt::Key_F3);
    EXPECT_EQ(launched(), (Lines{"captest F:", "captest G:"}));
    for (const SimLaunch &launch : bench.launches())
        EXPECT_EQ(launch.windowStyle, kWindowNormalFocus);
    EXPECT_EQ(textOf("StatusBar1_Panel1"), u("容量测试已启动。"));
    EXPECT_EQ(form.cursor().shape(), Qt::ArrowCursor);
    trigger("mnuCapacity");
    EXPECT_EQ(launched().size(), 4u);
}

TEST_F(Form1BatchTest, AReportThatArrivesShowsInItsRowWithoutAClick) {
    const CapacityReport counterfeit{CapacityReport::Outcome::Counterfeit, 8'000'000'000ull, 4'000'000'000ull,
                                     8.25, 21.75};
    bench.setCapacityReport('G', counterfeit);
    EXPECT_EQ(texts({"Label5_0", "Label11_0", "Label5_1", "Label11_1"}),
              u("已用:2,000,000,000字节||写 8.2 读 21.8 MB/s|假 3.7G"));
    // And it stays through the rescans that every device change brings.
    bench.fireDeviceChange();
    EXPECT_EQ(textOf("Label11_1"), u("假 3.7G"));
    // Another stick in its place has none.
    bench.unplug('G');
    bench.plug(stick('G', "NEW"));
    bench.fireDeviceChange();
    EXPECT_EQ(texts({"Label2_1", "Label5_1", "Label11_1"}), u("卷标:NEW|已用:2,000,000,000字节|"));
}

TEST_F(Form1BatchTest, CopyOnceEnabledAndRelabelShowTheirResults) {
    station.state().panel(2) = "/srv/customer";
    station.state().panel(3) = "DATA";
    station.state().copyEnabled = true;
    form.refreshViews();
    EXPECT_TRUE(child<QAction>("copy")->isEnabled());
    click("Command5");
    EXPECT_EQ(launched(), (Lines{"xcopy /srv/customer\\*.* F:\\./v/h/e/f/k",
                                 "xcopy /srv/customer\\*.* G:\\./v/h/e/f/k"}));
    EXPECT_EQ(textOf("StatusBar1_Panel1"), u("完成"));
    click("Command3");
    EXPECT_EQ(texts({"Label2_0", "Label2_1"}), u("卷标:DATA|卷标:DATA"));
}

TEST_F(Form1BatchTest, F8EjectsAllAndARowNumberEjectsOneEvenOnADoubleClick) {
    const std::string program = machine.services.programDirectory + "\\RemoveDrive.exe ";
    QTest::keyClick(&form, Qt::Key_F8);
    EXPECT_EQ(launched(), (Lines{program + "F:", program + "G:"}));
    EXPECT_EQ(textOf("StatusBar1_Panel1"), u("正在弹出U盘..."));
    click("Label8_1");
    EXPECT_EQ(launched().back(), program + "G");
    EXPECT_EQ(textOf("StatusBar1_Panel1"), u("卸载G盘，请单击..."));
    click("Label8_5");
    EXPECT_EQ(launched().size(), 3u);
    EXPECT_EQ(textOf("StatusBar1_Panel1"), u("指定处没有U盘可供卸载！"));

    // A double click arrives as press, release, double click, release: the stick is ejected once.
    auto *number = child("Label8_0");
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

// Check2 and the identity cells, with one stick the management data knows and one it does not.
class Form1IdentityTest : public Form1Test {
protected:
    void SetUp() override {
        SimDrive known = stick('F', "ONE");
        known.vendor = "ABC";
        known.product = "FLASH DISK";
        known.revision = "1.00";
        known.serial = "0123456789AB";
        known.vendorId = "1234";
        known.productId = "5678";
        bench.plug(known);
        bench.plug(stick('G', "TWO"));
    }
};

TEST_F(Form1IdentityTest, ClearBoxMakesNoLookupAndTickedShowsEachSticksOwnIdentity) {
    form.load();
    EXPECT_EQ(bench.managementQueries(), 0);
    EXPECT_EQ(texts({"Label9_0", "Label10_0", "Label12_0"}), u("||"));

    child<QCheckBox>("Check2")->setChecked(true);
    form.chus();
    // Never the identity of the stick looked up before it.
    EXPECT_EQ(texts({"Label9_0", "Label10_0", "Label12_0", "Label9_1", "Label10_1", "Label12_1"}),
              u("ABC FLASH 1.00|S/N:0123456789AB|VID_1234&PID_5678|  |S/N:|"));
}

TEST_F(Form1IdentityTest, DoubleClickOnIdentityShowsTheDiskDescriptionOnlyForAKnownDisk) {
    form.load();
    QTest::mouseDClick(child("Label9_0"), Qt::LeftButton);
    ASSERT_EQ(person.messages.size(), 1u);
    EXPECT_EQ(person.messages[0].second, "USBDisk Info");
    EXPECT_NE(person.messages[0].first.find("USBSTOR\\DISK&VEN_ABC&PROD_FLASH_DISK&REV_1.00\\0123456789AB&0"),
              std::string::npos);
    QTest::mouseDClick(child("Label9_1"), Qt::LeftButton);
    QTest::mouseDClick(child("Label9_7"), Qt::LeftButton);
    EXPECT_EQ(person.messages.size(), 1u);
}

} // namespace
} // namespace dravex

#include "form1_test.moc"
