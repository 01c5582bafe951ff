#include "tests/ui/uitestsupport.h"
#include "ui/form1.h"
#include "ui/form3.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
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

// The lines of a list, joined by '|'.
QString linesOf(const QListWidget *list) {
    QStringList lines;
    for (int i = 0; i < list->count(); ++i)
        lines << list->item(i)->text();
    return lines.join('|');
}

QListWidgetItem *lineNamed(QListWidget *list, const char *name) {
    const QList<QListWidgetItem *> found = list->findItems(u(name), Qt::MatchExactly);
    EXPECT_EQ(found.size(), 1) << name;
    return found.value(0);
}

template <typename T> T *child(QWidget *window, const char *name) {
    T *found = window->findChild<T *>(u(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

QListWidget *dir1(QWidget *window) {
    return child<QListWidget>(window, "Dir1");
}
QListWidget *file1(QWidget *window) {
    return child<QListWidget>(window, "File1");
}
QString statusOf(QWidget *window) {
    return child<QLabel>(window, "StatusBar1_Panel1")->text();
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

// Where a line's drawing starts: the first column of its row that differs from the list's background.
int firstDrawnColumn(QListWidget *list, const char *name) {
    const QImage image = list->viewport()->grab().toImage();
    const QRect rect = list->visualItemRect(lineNamed(list, name));
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
        bench.plug(SimDrive{});
        root = bench.folderOf('H');
    }
    ~Form3Test() override {
        if (window)
            window->hide();
    }

    QWidget *open() {
        window = std::make_unique<Form3>(bench, bench, "H");
        window->show();
        return window.get();
    }
    QListWidget *dirs() { return dir1(window.get()); }
    QListWidget *files() { return file1(window.get()); }
    QString status() { return statusOf(window.get()); }
    void file(const fs::path &path) { testing::writeFile(root / path, 1); }

    SimBench bench;
    fs::path root;
    std::unique_ptr<Form3> window;
};

TEST_F(Form3Test, FixedModalWindowThatEscapeLeavesOpen) {
    open();
    EXPECT_EQ(window->windowTitle(), u("Form3"));
    EXPECT_EQ(window->windowModality(), Qt::ApplicationModal);
    // As designed, but tall enough below the lists for a whole line of the status text.
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_EQ(window->width(), 532);
    EXPECT_GE(window->height(), 256);
    auto *panel = child<QLabel>(window.get(), "StatusBar1_Panel1");
    EXPECT_GE(panel->contentsRect().height(), panel->fontMetrics().height());
    EXPECT_EQ(panel->mapTo(window.get(), panel->rect().bottomLeft()).y(), window->height() - 1);
    EXPECT_GT(panel->mapTo(window.get(), QPoint(0, 0)).y(), files()->geometry().bottom());
    EXPECT_FALSE(window->windowFlags() & Qt::WindowContextHelpButtonHint);
    EXPECT_EQ(dirs()->geometry(), QRect(4, 28, 189, 214));
    EXPECT_EQ(child<QLabel>(window.get(), "Label1")->text(), u("文件信息"));
    for (QLabel *label : window->findChildren<QLabel *>())
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->objectName().toStdString();

    QApplication::setActiveWindow(window.get());
    QTest::keyClick(window.get(), Qt::Key_Escape);
    EXPECT_TRUE(window->isVisible());
}

TEST_F(Form3Test, RootListsAndCountsItsFilesEvenNone) {
    open();
    EXPECT_EQ(files()->count(), 0);
    EXPECT_EQ(linesOf(dirs()), u("H:\\"));
    EXPECT_EQ(status(), u("目录下有0个文件"));

    for (const char *name : {"b.txt", "A.EXE", "c.doc", "tools/t.exe"})
        file(name);
    open();
    EXPECT_EQ(linesOf(files()), u("A.EXE|b.txt|c.doc"));
    EXPECT_EQ(linesOf(dirs()), u("H:\\|tools"));
    EXPECT_EQ(dirs()->currentRow(), 0);
    EXPECT_EQ(status(), u("目录下有3个文件"));
}

TEST_F(Form3Test, DoubleClickOnAFolderLineOpensItShownOpenAndIndented) {
    for (const char *name : {"a.txt", "tools/t1.exe", "tools/t2.exe"})
        file(name);
    fs::create_directories(root / "tools" / "deep");
    fs::create_directories(root / "tools" / "more");
    open();
    doubleClick(dirs(), "tools");
    EXPECT_EQ(linesOf(dirs()), u("H:\\|tools|deep|more"));
    EXPECT_EQ(dirs()->currentRow(), 1);
    EXPECT_EQ(linesOf(files()), u("t1.exe|t2.exe"));
    EXPECT_EQ(status(), u("目录下有2个文件"));

    // The way down shows open folders, the subfolders closed ones, one step further in.
    QStyle *style = window->style();
    const auto icon = [&](const char *line) { return lineNamed(dirs(), line)->icon().pixmap(16).toImage(); };
    const QImage open = style->standardIcon(QStyle::SP_DirOpenIcon).pixmap(16).toImage();
    const QImage closed = style->standardIcon(QStyle::SP_DirClosedIcon).pixmap(16).toImage();
    ASSERT_NE(open, closed);
    EXPECT_EQ(icon("H:\\"), open);
    EXPECT_EQ(icon("tools"), open);
    EXPECT_EQ(icon("deep"), closed);
    const int rootStart = firstDrawnColumn(dirs(), "H:\\");
    ASSERT_GE(rootStart, 0);
    EXPECT_GE(firstDrawnColumn(dirs(), "deep") - rootStart, 2 * 6);
    EXPECT_EQ(firstDrawnColumn(dirs(), "more"), firstDrawnColumn(dirs(), "deep"));

    doubleClick(dirs(), "deep");
    EXPECT_EQ(files()->count(), 0);
    EXPECT_EQ(status(), u("目录下有0个文件"));
    doubleClick(dirs(), "H:\\");
    EXPECT_EQ(linesOf(dirs()), u("H:\\|tools"));
    EXPECT_EQ(linesOf(files()), u("a.txt"));
    EXPECT_EQ(status(), u("目录下有1个文件"));
    EXPECT_TRUE(window->isVisible());
}

TEST_F(Form3Test, FileDoubleClickStartsItsFullPathUnquotedMaximisedAndTheWindowStays) {
    for (const char *name : {"a.exe", "tools/a.exe", "tools/my tool.exe"})
        file(name);
    open();
    doubleClick(files(), "a.exe");
    doubleClick(dirs(), "tools");
    doubleClick(files(), "a.exe");
    doubleClick(files(), "my tool.exe");
    std::vector<std::string> lines;
    for (const SimLaunch &launch : bench.launches()) {
        lines.push_back(launch.commandLine);
        EXPECT_EQ(launch.windowStyle, 3);
    }
    EXPECT_EQ(lines, (std::vector<std::string>{"H:\\a.exe", "H:\\tools\\a.exe", "H:\\tools\\my tool.exe"}));
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(linesOf(files()), u("a.exe|my tool.exe"));
}

TEST_F(Form3Test, WhatGoesWrongOnTheBenchIsNamedInTheStatus) {
    file("<b>data&amp;.bin");
    open();
    bench.setLaunchFails(true);
    doubleClick(files(), "<b>data&amp;.bin");
    EXPECT_EQ(status(), u("无法打开H:\\<b>data&amp;.bin"));
    EXPECT_EQ(files()->count(), 1);
    EXPECT_TRUE(window->isVisible());

    // Gone before the window opens.
    bench.unplug('H');
    open();
    EXPECT_EQ(linesOf(dirs()), u("H:\\"));
    EXPECT_EQ(files()->count(), 0);
    EXPECT_EQ(status(), u("无法读取H:\\"));
}

// The window as the main window opens it from a row's drive letter.
class Form3FromForm1Test : public ::testing::Test {
protected:
    void SetUp() override {
        plug('H');
        testing::writeFile(bench.folderOf('H') / "a.txt", 1);
        testing::writeFile(bench.folderOf('H') / "tools" / "t.exe", 1);
        form.load();
    }
    void plug(char letter) {
        SimDrive drive;
        drive.letter = letter;
        drive.totalBytes = 8'000'000'000ull;
        bench.plug(drive);
    }
    void doubleClickLetter(int row) {
        QTest::mouseDClick(child<QLabel>(&form, ("Label1_" + std::to_string(row)).c_str()), Qt::LeftButton);
    }
    QString cell(const char *name) { return child<QLabel>(&form, name)->text(); }

    testing::TestServices machine;
    SimBench &bench = machine.bench;
    QaStation station{Variant::V2, machine.services};
    Form1 form{station, "tavrin@dravex.example"};
    testing::ModalWatcher watcher;
};

TEST_F(Form3FromForm1Test, LetterOpensTheSticksRootAfreshModalOverTheMainWindowAndAnEmptyRowNothing) {
    plug('M');
    testing::writeFile(bench.folderOf('M') / "m1.txt", 1);
    form.chus();
    QStringList seen;
    watcher.whenOpen([&](QWidget *window) {
        seen << QString::number(window->isModal()) << QString::number(window->parentWidget() == &form)
             << QString::fromStdString(form.selectedDrive()) << linesOf(file1(window)) << statusOf(window);
        doubleClick(dir1(window), "tools");
    });
    doubleClickLetter(0);
    ASSERT_EQ(watcher.seen.size(), 1u);
    EXPECT_EQ(seen.join('|'), u("1|1|H|a.txt|目录下有1个文件"));
    EXPECT_TRUE(watcher.seen[0].isNull()) << "gone once left";

    // Every showing starts at the root of the chosen stick.
    const auto filesShown = [&](QWidget *window) { seen << linesOf(file1(window)); };
    watcher.whenOpen(filesShown);
    doubleClickLetter(0);
    watcher.whenOpen(filesShown);
    doubleClickLetter(1);
    EXPECT_EQ(seen.mid(5).join('|'), u("a.txt|m1.txt"));
    EXPECT_EQ(form.selectedDrive(), "M");

    // An empty row opens nothing and leaves the last choice alone. The watcher runs on the next pass of
    // the event loop; a modal window would have been that loop.
    ASSERT_EQ(cell("Label1_5"), u(""));
    watcher.whenOpen([&](QWidget *) { ADD_FAILURE() << "a window opened"; });
    doubleClickLetter(5);
    QApplication::processEvents();
    EXPECT_EQ(watcher.seen.size(), 4u);
    EXPECT_EQ(form.selectedDrive(), "M");
    EXPECT_TRUE(form.isVisible());
}

TEST_F(Form3FromForm1Test, DeviceChangeWhileOpenRescansTheTableAndLeavesTheWindowBe) {
    QStringList during;
    watcher.whenOpen([&](QWidget *window) {
        plug('M');
        bench.fireDeviceChange();
        during << cell("Label6") << cell("Label1_1") << linesOf(file1(window));
        // The stick itself pulled: the table drops it, the window says so at the next folder.
        bench.unplug('H');
        bench.fireDeviceChange();
        doubleClick(dir1(window), "tools");
        during << statusOf(window) << QString::number(window->isVisible());
    });
    doubleClickLetter(0);
    ASSERT_EQ(watcher.seen.size(), 1u);
    EXPECT_EQ(during.join('|'), u("2|M|a.txt|无法读取H:\\tools|1"));
    EXPECT_EQ(cell("Label6"), u("1"));
    EXPECT_EQ(form.selectedDrive(), "H");
}

} // namespace
} // namespace dravex
