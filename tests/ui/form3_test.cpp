#include "tests/ui/uitestsupport.h"
#include "ui/form1.h"
#include "ui/form3.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFrame>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QStyle>
#include <QTest>

#include <filesystem>
#include <memory>

namespace dravex {
namespace {

namespace fs = std::filesystem;
using testing::u;

QStringList linesOf(const QListWidget *list) {
    QStringList lines;
    for (int i = 0; i < list->count(); ++i)
        lines << list->item(i)->text();
    return lines;
}

QListWidgetItem *lineNamed(QListWidget *list, const char *name) {
    const QList<QListWidgetItem *> found = list->findItems(u(name), Qt::MatchExactly);
    EXPECT_EQ(found.size(), 1) << name;
    return found.isEmpty() ? nullptr : found.first();
}

// A double-click on a line, where the operator would make it. A list only takes the second press as a
// double-click on the line its first press went to, so both presses are sent, as a real mouse does.
void doubleClick(QListWidget *list, const char *name) {
    QListWidgetItem *item = lineNamed(list, name);
    ASSERT_NE(item, nullptr);
    const QPoint at = list->visualItemRect(item).center();
    QTest::mousePress(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, at);
}

template <typename T> T *child(QWidget *window, const char *name) {
    T *found = window->findChild<T *>(u(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

QString statusOf(QWidget *window) {
    auto *panel = child<QLabel>(window, "StatusBar1_Panel1");
    return panel ? panel->text() : QString();
}

bool sameIcon(const QIcon &shown, QStyle::StandardPixmap expected, QStyle *style) {
    return shown.pixmap(16).toImage() == style->standardIcon(expected).pixmap(16).toImage();
}

// Where a line's drawing starts: the first column of its row that differs from the list's background.
int firstDrawnColumn(QListWidget *list, const char *name) {
    QListWidgetItem *item = lineNamed(list, name);
    if (!item)
        return -1;
    const QImage image = list->viewport()->grab().toImage();
    const QRect rect = list->visualItemRect(item);
    const QRgb background = image.pixel(image.width() - 2, rect.center().y());
    for (int x = 0; x < image.width(); ++x)
        for (int y = rect.top(); y <= rect.bottom(); ++y)
            if (image.pixel(x, y) != background)
                return x;
    return -1;
}

// The window on its own, over a stick at H.
class Form3Test : public ::testing::Test {
protected:
    Form3Test() {
        SimDrive drive;
        drive.letter = 'H';
        bench.plug(drive);
        root = bench.folderOf('H');
    }
    ~Form3Test() override {
        if (window)
            window->hide();
    }

    QWidget *open(const std::string &letter = "H") {
        window = std::make_unique<Form3>(bench, bench, letter);
        window->show();
        return window.get();
    }
    QListWidget *dir1() { return child<QListWidget>(window.get(), "Dir1"); }
    QListWidget *file1() { return child<QListWidget>(window.get(), "File1"); }
    QString status() { return statusOf(window.get()); }
    void file(const fs::path &path) { testing::writeFile(path, 1); }

    SimBench bench;
    fs::path root;
    std::unique_ptr<Form3> window;
};

// The window and its controls.

TEST_F(Form3Test, WindowIsAFixedModalDialogWithItsControlsInPlace) {
    open();
    EXPECT_EQ(window->windowTitle(), u("Form3"));
    EXPECT_EQ(window->objectName(), u("Form3"));
    EXPECT_EQ(window->windowModality(), Qt::ApplicationModal);
    EXPECT_EQ(window->minimumSize(), QSize(532, 256));
    EXPECT_EQ(window->maximumSize(), QSize(532, 256));
    EXPECT_TRUE(window->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(window->windowFlags() & Qt::WindowContextHelpButtonHint);

    struct Control {
        const char *name;
        QRect geometry;
    };
    const Control controls[] = {
        {"Label1", {228, 4, 77, 19}},
        {"Dir1", {4, 28, 189, 214}},
        {"File1", {196, 27, 333, 216}},
        {"StatusBar1", {0, 243, 532, 13}},
    };
    for (const Control &expected : controls) {
        auto *widget = child<QWidget>(window.get(), expected.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->geometry(), expected.geometry) << expected.name;
        EXPECT_EQ(widget->parentWidget(), window.get()) << expected.name;
    }
    auto *panel = child<QLabel>(window.get(), "StatusBar1_Panel1");
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->parentWidget()->objectName(), u("StatusBar1"));
    EXPECT_GE(panel->width(), 500);

    auto *heading = child<QLabel>(window.get(), "Label1");
    EXPECT_EQ(heading->text(), u("文件信息"));
    EXPECT_EQ(heading->alignment(), Qt::AlignCenter);
    EXPECT_DOUBLE_EQ(heading->font().pointSizeF(), 14.25);
    for (QListWidget *list : {dir1(), file1()}) {
        EXPECT_DOUBLE_EQ(list->font().pointSizeF(), 10.5);
        EXPECT_TRUE(list->font().families().contains(u("Noto Sans Mono CJK SC")));
    }
    for (QLabel *label : window->findChildren<QLabel *>())
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->objectName().toStdString();
}

TEST_F(Form3Test, EscapeLeavesTheWindowOpen) {
    open();
    QApplication::setActiveWindow(window.get());
    QTest::keyClick(window.get(), Qt::Key_Escape);
    EXPECT_TRUE(window->isVisible());
}

// Browsing the stick.

TEST_F(Form3Test, RootWithThreeFilesListsAndCountsThem) {
    file(root / "b.txt");
    file(root / "A.EXE");
    file(root / "c.doc");
    file(root / "tools" / "t.exe");
    open();
    EXPECT_EQ(linesOf(file1()), (QStringList{u("A.EXE"), u("b.txt"), u("c.doc")}));
    EXPECT_EQ(linesOf(dir1()), (QStringList{u("H:\\"), u("tools")}));
    EXPECT_EQ(dir1()->currentRow(), 0);
    EXPECT_EQ(status(), u("目录下有3个文件"));
}

TEST_F(Form3Test, EmptyRootCountsNoFiles) {
    open();
    EXPECT_EQ(file1()->count(), 0);
    EXPECT_EQ(linesOf(dir1()), QStringList{u("H:\\")});
    EXPECT_EQ(status(), u("目录下有0个文件"));
}

TEST_F(Form3Test, DoubleClickOnAFolderLineOpensIt) {
    file(root / "a.txt");
    file(root / "tools" / "t1.exe");
    file(root / "tools" / "t2.exe");
    fs::create_directories(root / "tools" / "deep");
    open();

    doubleClick(dir1(), "tools");
    EXPECT_EQ(linesOf(dir1()), (QStringList{u("H:\\"), u("tools"), u("deep")}));
    EXPECT_EQ(dir1()->currentRow(), 1);
    EXPECT_EQ(linesOf(file1()), (QStringList{u("t1.exe"), u("t2.exe")}));
    EXPECT_EQ(status(), u("目录下有2个文件"));

    doubleClick(dir1(), "deep");
    EXPECT_EQ(file1()->count(), 0);
    EXPECT_EQ(status(), u("目录下有0个文件"));

    doubleClick(dir1(), "H:\\");
    EXPECT_EQ(linesOf(dir1()), (QStringList{u("H:\\"), u("tools")}));
    EXPECT_EQ(linesOf(file1()), QStringList{u("a.txt")});
    EXPECT_EQ(status(), u("目录下有1个文件"));
    EXPECT_TRUE(window->isVisible());
}

TEST_F(Form3Test, FolderLinesShowTheWayDownOpenAndSubfoldersClosedIndentedByDepth) {
    fs::create_directories(root / "tools" / "deep");
    fs::create_directories(root / "tools" / "more");
    open();
    doubleClick(dir1(), "tools");
    QStyle *style = window->style();
    ASSERT_FALSE(sameIcon(style->standardIcon(QStyle::SP_DirOpenIcon), QStyle::SP_DirClosedIcon, style));
    EXPECT_TRUE(sameIcon(lineNamed(dir1(), "H:\\")->icon(), QStyle::SP_DirOpenIcon, style));
    EXPECT_TRUE(sameIcon(lineNamed(dir1(), "tools")->icon(), QStyle::SP_DirOpenIcon, style));
    EXPECT_TRUE(sameIcon(lineNamed(dir1(), "deep")->icon(), QStyle::SP_DirClosedIcon, style));
    EXPECT_TRUE(sameIcon(lineNamed(dir1(), "more")->icon(), QStyle::SP_DirClosedIcon, style));

    // Both lines are unselected, so each starts with its icon.
    const int rootStart = firstDrawnColumn(dir1(), "H:\\");
    const int deepStart = firstDrawnColumn(dir1(), "deep");
    ASSERT_GE(rootStart, 0);
    EXPECT_GE(deepStart - rootStart, 2 * 6);
    EXPECT_EQ(firstDrawnColumn(dir1(), "more"), deepStart);
}

// Starting files.

TEST_F(Form3Test, FileDoubleClickStartsItsFullPathMaximisedAndTheWindowStays) {
    file(root / "a.exe");
    file(root / "tools" / "a.exe");
    file(root / "tools" / "my tool.exe");
    open();
    doubleClick(file1(), "a.exe");
    doubleClick(dir1(), "tools");
    doubleClick(file1(), "a.exe");
    doubleClick(file1(), "my tool.exe");

    ASSERT_EQ(bench.launches().size(), 3u);
    EXPECT_EQ(bench.launches()[0].commandLine, "H:\\a.exe");
    EXPECT_EQ(bench.launches()[1].commandLine, "H:\\tools\\a.exe");
    EXPECT_EQ(bench.launches()[2].commandLine, "H:\\tools\\my tool.exe");
    for (const SimLaunch &launch : bench.launches())
        EXPECT_EQ(launch.windowStyle, 3);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(linesOf(file1()), (QStringList{u("a.exe"), u("my tool.exe")}));
    EXPECT_EQ(status(), u("目录下有2个文件"));
}

// What goes wrong on the bench.

TEST_F(Form3Test, FileThatCannotStartIsNamedInTheStatus) {
    file(root / "<b>data&amp;.bin");
    open();
    bench.setLaunchFails(true);
    doubleClick(file1(), "<b>data&amp;.bin");
    EXPECT_EQ(status(), u("无法打开H:\\<b>data&amp;.bin"));
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(file1()->count(), 1);
}

TEST_F(Form3Test, StickPulledWhileOpenIsReportedOnTheNextFolder) {
    file(root / "a.txt");
    file(root / "tools" / "t.exe");
    open();
    bench.unplug('H');
    doubleClick(dir1(), "tools");
    EXPECT_EQ(linesOf(dir1()), (QStringList{u("H:\\"), u("tools")}));
    EXPECT_EQ(file1()->count(), 0);
    EXPECT_EQ(status(), u("无法读取H:\\tools"));
    EXPECT_TRUE(window->isVisible());
}

TEST_F(Form3Test, StickGoneBeforeTheWindowOpensShowsWhyNothingIsListed) {
    bench.unplug('H');
    open();
    EXPECT_EQ(linesOf(dir1()), QStringList{u("H:\\")});
    EXPECT_EQ(file1()->count(), 0);
    EXPECT_EQ(status(), u("无法读取H:\\"));
}

// The window as the main window opens it from a row's drive letter.
class Form3FromForm1Test : public ::testing::Test {
protected:
    static SimDrive stick(char letter) {
        SimDrive drive;
        drive.letter = letter;
        drive.totalBytes = 8'000'000'000ull;
        drive.totalFreeBytes = drive.freeBytesAvailableToCaller = 6'000'000'000ull;
        return drive;
    }
    void SetUp() override {
        bench.plug(stick('H'));
        testing::writeFile(bench.folderOf('H') / "a.txt", 1);
        testing::writeFile(bench.folderOf('H') / "tools" / "t.exe", 1);
        form.load();
    }
    void doubleClickLetter(int row) {
        QTest::mouseDClick(child<QLabel>(&form, QStringLiteral("Label1_%1").arg(row).toUtf8().constData()),
                           Qt::LeftButton);
    }
    QString cell(const char *name) { return child<QLabel>(&form, name)->text(); }

    testing::TestServices machine;
    SimBench &bench = machine.bench;
    Form1 form{Variant::V2, "tavrin@dravex.example", machine.services};
    testing::ModalWatcher watcher;
};

TEST_F(Form3FromForm1Test, EmptyRowsLetterOpensNothing) {
    ASSERT_EQ(cell("Label1_1"), u(""));
    bool opened = false;
    watcher.whenOpen([&](QWidget *) { opened = true; });
    doubleClickLetter(1);
    // The watcher runs on the next pass of the event loop; a modal window would have been that loop.
    QApplication::processEvents();
    ASSERT_EQ(watcher.seen.size(), 1u);
    EXPECT_FALSE(opened);
    EXPECT_EQ(form.selectedDrive(), "");
}

TEST_F(Form3FromForm1Test, LetterOpensTheSticksRootModalOverTheMainWindow) {
    QString title;
    QStringList files;
    QString status;
    bool modal = false;
    QWidget *owner = nullptr;
    std::string selectedDuring;
    watcher.whenOpen([&](QWidget *window) {
        title = window->windowTitle();
        files = linesOf(child<QListWidget>(window, "File1"));
        status = statusOf(window);
        modal = window->isModal();
        owner = window->parentWidget();
        selectedDuring = form.selectedDrive();
    });
    doubleClickLetter(0);
    ASSERT_EQ(watcher.seen.size(), 1u);
    EXPECT_EQ(title, u("Form3"));
    EXPECT_EQ(files, QStringList{u("a.txt")});
    EXPECT_EQ(status, u("目录下有1个文件"));
    EXPECT_TRUE(modal);
    EXPECT_EQ(owner, &form);
    EXPECT_EQ(selectedDuring, "H");
    // Gone once left, and the letter stays.
    EXPECT_TRUE(watcher.seen[0].isNull());
    EXPECT_EQ(form.selectedDrive(), "H");
    EXPECT_TRUE(form.isVisible());
}

TEST_F(Form3FromForm1Test, EveryShowingStartsAfreshAtTheRootOfTheChosenStick) {
    bench.plug(stick('M'));
    testing::writeFile(bench.folderOf('M') / "m1.txt", 1);
    testing::writeFile(bench.folderOf('M') / "m2.txt", 1);
    form.chus();
    ASSERT_EQ(cell("Label1_1"), u("M"));

    watcher.whenOpen([&](QWidget *window) { doubleClick(child<QListWidget>(window, "Dir1"), "tools"); });
    doubleClickLetter(0);
    QStringList again;
    watcher.whenOpen([&](QWidget *window) { again = linesOf(child<QListWidget>(window, "File1")); });
    doubleClickLetter(0);
    EXPECT_EQ(again, QStringList{u("a.txt")});

    QStringList other;
    watcher.whenOpen([&](QWidget *window) { other = linesOf(child<QListWidget>(window, "File1")); });
    doubleClickLetter(1);
    EXPECT_EQ(other, (QStringList{u("m1.txt"), u("m2.txt")}));
    EXPECT_EQ(form.selectedDrive(), "M");

    // An empty row leaves the last choice alone.
    watcher.whenOpen();
    doubleClickLetter(5);
    QApplication::processEvents();
    EXPECT_EQ(form.selectedDrive(), "M");
    EXPECT_EQ(watcher.seen.size(), 4u);
}

TEST_F(Form3FromForm1Test, DeviceChangeWhileOpenRescansTheTableAndLeavesTheWindowBe) {
    QString countDuring;
    QString letterDuring;
    bool stillOpen = false;
    QStringList filesAfterChange;
    QString statusAfterPull;
    watcher.whenOpen([&](QWidget *window) {
        bench.plug(stick('M'));
        bench.fireDeviceChange();
        countDuring = cell("Label6");
        letterDuring = cell("Label1_1");
        filesAfterChange = linesOf(child<QListWidget>(window, "File1"));

        // The stick itself pulled: the table drops it, the window says so at the next folder.
        bench.unplug('H');
        bench.fireDeviceChange();
        doubleClick(child<QListWidget>(window, "Dir1"), "tools");
        statusAfterPull = statusOf(window);
        stillOpen = window->isVisible();
    });
    doubleClickLetter(0);
    ASSERT_EQ(watcher.seen.size(), 1u);
    EXPECT_EQ(countDuring, u("2"));
    EXPECT_EQ(letterDuring, u("M"));
    EXPECT_EQ(filesAfterChange, QStringList{u("a.txt")});
    EXPECT_EQ(statusAfterPull, u("无法读取H:\\tools"));
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(cell("Label6"), u("1"));
    EXPECT_EQ(form.selectedDrive(), "H");
    EXPECT_TRUE(form.isVisible());
}

} // namespace
} // namespace dravex
