#include "ui/form3.h"

#include "ui/designunits.h"
#include "ui/form3texts.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QStyle>
#include <QStyledItemDelegate>

#include <algorithm>

namespace dravex {

namespace {

using namespace design;
using namespace form3texts;

constexpr int kClientWidth = 7980;
constexpr int kClientHeight = 3840;
// The panel's sunken frame and a pixel of air above and below the text.
constexpr int kStatusMargins = 4;
constexpr int kIndentPerLevel = 10; // pixels
// Each line keeps its position in the browser's list, so names go back to the browser byte for byte.
constexpr int kIndexRole = Qt::UserRole;
constexpr int kDepthRole = Qt::UserRole + 1;

// Shifts each folder line right by its depth, icon and all, so the list reads as a path down the tree.
class IndentedLines : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override {
        QStyleOptionViewItem shifted(option);
        shifted.rect.setLeft(option.rect.left() + indentOf(index));
        QStyledItemDelegate::paint(painter, shifted, index);
    }
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.rwidth() += indentOf(index);
        return size;
    }

private:
    static int indentOf(const QModelIndex &index) { return index.data(kDepthRole).toInt() * kIndentPerLevel; }
};

QListWidget *makeList(QWidget *parent, const char *name, const QRect &geometry) {
    auto *list = new QListWidget(parent);
    list->setObjectName(text(name));
    list->setGeometry(geometry);
    list->setFont(songFont(form1texts::kFontSong, 10.5));
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    return list;
}

} // namespace

Form3::Form3(DirectorySearch &search, Launcher &launcher, const std::string &selectedDrive, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_browser(search, launcher) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(text(kCaption));
    setWindowModality(Qt::ApplicationModal);
    setFixedSize(px(kClientWidth), px(kClientHeight));
    setFont(songFont(form1texts::kFontSong, 9));

    m_heading = new QLabel(text(kHeading), this);
    m_heading->setObjectName(QStringLiteral("Label1"));
    m_heading->setTextFormat(Qt::PlainText);
    m_heading->setGeometry(twipRect(3420, 60, 1155, 285));
    m_heading->setFont(songFont(form1texts::kFontSong, 14.25));
    m_heading->setAlignment(Qt::AlignCenter);

    m_folderList = makeList(this, "Dir1", twipRect(60, 420, 2835, 3210));
    m_folderList->setItemDelegate(new IndentedLines(m_folderList));
    connect(m_folderList, &QListWidget::itemDoubleClicked, this, &Form3::folderDoubleClicked);

    m_fileList = makeList(this, "File1", twipRect(2940, 405, 4995, 3240));
    connect(m_fileList, &QListWidget::itemDoubleClicked, this, &Form3::fileDoubleClicked);

    // Along the bottom edge, below the lists, so neither list loses its last line or its scroll bar under
    // it. The design leaves the strip 13 pixels, less than a line of Chinese: the window grows by what the
    // line needs.
    const int barTop = std::max(m_folderList->geometry().bottom(), m_fileList->geometry().bottom()) + 1;
    const int barHeight = std::max(height() - barTop, fontMetrics().height() + kStatusMargins);
    setFixedHeight(barTop + barHeight);
    m_statusBar = new QFrame(this);
    m_statusBar->setObjectName(QStringLiteral("StatusBar1"));
    m_statusBar->setGeometry(0, barTop, width(), barHeight);
    m_statusBar->setAutoFillBackground(true);
    m_statusPanel = new QLabel(m_statusBar);
    m_statusPanel->setObjectName(QStringLiteral("StatusBar1_Panel1"));
    // File and folder names come from the stick, so the panel never reads them as markup.
    m_statusPanel->setTextFormat(Qt::PlainText);
    m_statusPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_statusPanel->setGeometry(1, 1, m_statusBar->width() - 2, m_statusBar->height() - 1);
    m_statusBar->raise();

    setTabOrder(m_folderList, m_fileList);
    m_browser.openDrive(selectedDrive);
    refreshView();
    m_folderList->setFocus();
}

void Form3::refreshView() {
    const QIcon openFolder = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closedFolder = style()->standardIcon(QStyle::SP_DirClosedIcon);

    m_folderList->clear();
    const std::vector<FolderItem> &folders = m_browser.folders();
    // The lines down to the open folder are drawn open, its subfolders closed.
    bool belowCurrent = false;
    for (size_t i = 0; i < folders.size(); ++i) {
        const FolderItem &folder = folders[i];
        auto *item = new QListWidgetItem(belowCurrent ? closedFolder : openFolder, text(folder.name));
        item->setData(kIndexRole, static_cast<int>(i));
        item->setData(kDepthRole, folder.depth);
        m_folderList->addItem(item);
        if (folder.isCurrent) {
            belowCurrent = true;
            m_folderList->setCurrentItem(item);
        }
    }

    m_fileList->clear();
    const std::vector<std::string> &files = m_browser.files();
    for (size_t i = 0; i < files.size(); ++i) {
        auto *item = new QListWidgetItem(text(files[i]));
        item->setData(kIndexRole, static_cast<int>(i));
        m_fileList->addItem(item);
    }

    m_statusPanel->setText(text(m_browser.statusText()));
}

void Form3::folderDoubleClicked(QListWidgetItem *item) {
    const auto index = static_cast<size_t>(item->data(kIndexRole).toInt());
    if (index >= m_browser.folders().size())
        return;
    // A copy: opening the folder rebuilds the list the path lives in.
    const std::string path = m_browser.folders()[index].path;
    m_browser.openFolder(path);
    refreshView();
}

void Form3::fileDoubleClicked(QListWidgetItem *item) {
    const auto index = static_cast<size_t>(item->data(kIndexRole).toInt());
    if (index >= m_browser.files().size())
        return;
    const std::string name = m_browser.files()[index];
    m_browser.startFile(name);
    // The lists stay as they are; only a failed start has something new to say.
    m_statusPanel->setText(text(m_browser.statusText()));
}

void Form3::keyPressEvent(QKeyEvent *event) {
    // No Cancel button: the close box is the only way out, as with the configuration dialog.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace dravex
