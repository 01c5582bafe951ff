#include "ui/form1.h"

#include "model/verdicts.h"
#include "ui/clicklabel.h"
#include "ui/designunits.h"
#include "ui/form1texts.h"
#include "ui/form3.h"
#include "ui/form5.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QThread>
#include <QUrl>

namespace dravex {

namespace {

using namespace design;
using namespace form1texts;

constexpr int kClientWidth = 10890;
constexpr int kClientHeight = 7500;
constexpr int kStatusBarHeight = 315;
constexpr double kWindowPoints = 9;
constexpr std::array<int, 4> kPanelWidths = {4500, 3400, 1400, 1640};
constexpr std::array<int, DriveTable::kRowCount> kRowTops = {300,  990,  1650, 2310, 2970,
                                                             3630, 4290, 4950, 5610, 6270};

const QColor kRed(192, 0, 0);
const QColor kNavy(0, 0, 128);
const QColor kDarkNavy(0, 0, 64);
const QColor kMaroon(128, 0, 0);
const QColor kCellBackground(192, 255, 255);

void setTextColour(QWidget *widget, const QColor &colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
}

// Texts shown by the labels come from drives and operators, so they are never markup.
template <typename Label = QLabel> Label *makeLabel(QWidget *parent, const QString &name) {
    auto *label = new Label(parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QLabel *makeCell(QWidget *parent, const QString &name, const QRect &geometry, const QFont &font,
                 const QColor &colour, QLabel *label = nullptr) {
    if (!label)
        label = makeLabel(parent, name);
    label->setGeometry(geometry);
    label->setFont(font);
    label->setFrameStyle(QFrame::Box | QFrame::Plain);
    label->setLineWidth(1);
    // The stand-in font has a taller line than the design's, so texts are centred vertically rather than
    // hung from the top, which would cut off their lower half in the designed cell heights.
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // Text starts right at the border, as in the original cells, not half a letter in.
    label->setIndent(1);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Window, kCellBackground);
    label->setPalette(palette);
    label->setAutoFillBackground(true);
    return label;
}

QString indexed(const char *name, int index) {
    return QStringLiteral("%1_%2").arg(text(name)).arg(index);
}

int checkValueOf(int qtState) {
    switch (qtState) {
    case Qt::Checked:
        return kChecked;
    case Qt::PartiallyChecked:
        return kGrayed;
    default:
        return kUnchecked;
    }
}

void mirrorCheck(QCheckBox *box, int value) {
    const QSignalBlocker blocker(box);
    box->setTristate(value == kGrayed);
    box->setCheckState(value == kChecked  ? Qt::Checked
                       : value == kGrayed ? Qt::PartiallyChecked
                                          : Qt::Unchecked);
}

// A small closed envelope for the contact panel.
QPixmap envelopeIcon() {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setPen(QColor(64, 64, 64));
    painter.setBrush(QColor(255, 255, 224));
    painter.drawRect(1, 3, 13, 9);
    painter.drawLine(1, 3, 8, 9);
    painter.drawLine(8, 9, 14, 3);
    return pixmap;
}

} // namespace

Form1::Form1(QaStation &station, std::string contactAddress, QWidget *parent)
    : QWidget(parent), m_station(station), m_contactAddress(std::move(contactAddress)) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(text(m_station.variant() == Variant::Pelmora ? kCaptionPelmora : kCaptionV2));
    resize(px(kClientWidth), px(kClientHeight));
    // The window's own type, in the contents cells and the check boxes; the system's would lack Chinese.
    setFont(songFont(kFontSong, kWindowPoints));

    // The design captions are the models' first state: Label11 says "写保护" until the first scan.
    for (DriveSlot &slot : m_station.driveTable().slots)
        slot.checkResult = verdicts::kWriteProtected;
    m_station.state().panel(4) = kContactPanel;

    // Label6 lies beneath the rows, as the design stacks it.
    m_driveCount = makeLabel(this, QStringLiteral("Label6"));
    m_driveCount->setGeometry(twipRect(45, -30, 390, 360));
    m_driveCount->setFont(songFont(kFontSong, 18));
    m_driveCount->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setTextColour(m_driveCount, kRed);

    createRows();
    createCommandStrip();
    createStatusBar();
    createMenu();
    placeStatusBar();

    // Presses on any control stay with it: only the window's bare surface opens the popup menu.
    for (QWidget *child : findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
        child->setAttribute(Qt::WA_NoMousePropagation);

    m_station.state().setPointerListener([this](int pointer) { showPointer(pointer); });
    refreshViews();
    m_contentCheckBox->setFocus();
}

Form1::~Form1() {
    unhookDeviceChange();
    m_station.state().setPointerListener({});
}

void Form1::setOperator(Operator &person) {
    m_operator = &person;
    if (m_form5)
        m_form5->setOperator(person);
}

void Form1::createCommandStrip() {
    const QFont font = songFont(kFontNewSong, 9);
    auto makeButton = [&](const char *name, const char *caption, int left) {
        auto *button = new QPushButton(text(caption), this);
        button->setObjectName(text(name));
        button->setGeometry(twipRect(left, 0, 825, 465));
        button->setFont(font);
        return button;
    };
    m_configureButton = makeButton("Command7", kCommand7, 450);
    m_formatButton = makeButton("Command6", kCommand6, 1560);
    m_copyButton = makeButton("Command5", kCommand5, 2670);
    m_refreshButton = makeButton("Command1", kCommand1, 3750);
    m_relabelButton = makeButton("Command3", kCommand3, 4860);
    m_lockTestButton = makeButton("Command4", kCommand4, 5970);
    m_ejectAllButton = makeButton("Command2", kCommand2, 7050);
    m_relabelButton->setToolTip(text(kCommand3Tip));
    connect(m_refreshButton, &QPushButton::clicked, this, &Form1::chus);
    connect(m_lockTestButton, &QPushButton::clicked, this, &Form1::testLocks);
    connect(m_formatButton, &QPushButton::clicked, this, &Form1::formatAll);
    connect(m_copyButton, &QPushButton::clicked, this, &Form1::copyAll);
    connect(m_relabelButton, &QPushButton::clicked, this, &Form1::relabelAll);
    connect(m_ejectAllButton, &QPushButton::clicked, this, &Form1::ejectAll);
    connect(m_configureButton, &QPushButton::clicked, this, &Form1::showConfiguration);

    auto makeCheck = [&](const char *name, const char *caption, const QRect &geometry) {
        auto *box = new QCheckBox(text(caption), this);
        box->setObjectName(text(name));
        box->setGeometry(geometry);
        return box;
    };
    m_contentCheckBox = makeCheck("Check1", kCheck1, twipRect(7980, 0, 1725, 315));
    m_identityCheckBox = makeCheck("Check2", kCheck2, twipRect(9450, 0, 1455, 315));
    // The scan reads the boxes through the state, so every change goes there at once.
    connect(m_contentCheckBox, &QCheckBox::stateChanged, this, [this](int state) {
        m_station.state().check1 = checkValueOf(state);
        checkContents();
    });
    connect(m_identityCheckBox, &QCheckBox::stateChanged, this,
            [this](int state) { m_station.state().check2 = checkValueOf(state); });

    setTabOrder(m_contentCheckBox, m_ejectAllButton);
    setTabOrder(m_ejectAllButton, m_refreshButton);
    setTabOrder(m_refreshButton, m_relabelButton);
    setTabOrder(m_relabelButton, m_lockTestButton);
    setTabOrder(m_lockTestButton, m_copyButton);
    setTabOrder(m_copyButton, m_formatButton);
    setTabOrder(m_formatButton, m_configureButton);
    setTabOrder(m_configureButton, m_identityCheckBox);
}

void Form1::createRows() {
    const QFont numberFont = songFont(kFontSong, 15.75);
    const QFont newSong = songFont(kFontNewSong, 10.5);
    const QFont song = songFont(kFontSong, 10.5);
    const QFont deviceFont = songFont(kFontSong, 12);
    const QFont resultFont = songFont(kFontSong, 14.25, true);

    for (int i = 0; i < DriveTable::kRowCount; ++i) {
        Row &row = m_rows[static_cast<size_t>(i)];
        row.frame = new QGroupBox(this);
        row.frame->setObjectName(indexed("Frame1", i));
        row.frame->setGeometry(twipRect(0, kRowTops[static_cast<size_t>(i)], 10905, 915));
        QWidget *box = row.frame;

        row.number = makeLabel<ClickLabel>(box, indexed("Label8", i));
        row.number->setFont(numberFont);
        row.number->setAlignment(Qt::AlignCenter);
        row.number->setText(QString::number(i + 1));
        row.number->move(px(60), px(240));
        row.number->adjustSize();
        row.number->setToolTip(text(kEjectRowTip));
        row.number->setCursor(Qt::PointingHandCursor);
        connect(row.number, &ClickLabel::clicked, this, [this, i] { ejectOne(i); });

        row.letter = makeLabel<ClickLabel>(box, indexed("Label1", i));
        makeCell(box, {}, twipRect(330, 240, 375, 300), newSong, kNavy, row.letter);
        row.letter->setAlignment(Qt::AlignCenter);
        connect(row.letter, &ClickLabel::doubleClicked, this, [this, i] { showFileInformation(i); });

        row.volumeLabel = makeCell(box, indexed("Label2", i), twipRect(720, 240, 1665, 300), newSong, kNavy);
        row.fileSystem = makeCell(box, indexed("Label3", i), twipRect(2400, 240, 675, 300), newSong, kNavy);
        row.capacity = makeCell(box, indexed("Label4", i), twipRect(3090, 240, 1365, 300), newSong, kNavy);
        row.usedSpace = makeCell(box, indexed("Label5", i), twipRect(4470, 240, 2565, 300), song, kDarkNavy);
        row.contents = makeCell(box, indexed("Label7", i), twipRect(7050, 240, 3765, 315), font(), kMaroon);

        row.deviceName = makeLabel<ClickLabel>(box, indexed("Label9", i));
        makeCell(box, {}, twipRect(330, 570, 3075, 315), deviceFont, palette().color(QPalette::WindowText),
                 row.deviceName);
        connect(row.deviceName, &ClickLabel::doubleClicked, this, [this, i] {
            m_station.showDiskInfo(i, *m_operator);
        });

        row.deviceSerial =
            makeCell(box, indexed("Label10", i), twipRect(3420, 570, 3375, 315), deviceFont, kMaroon);
        row.deviceKey = makeCell(box, indexed("Label12", i), twipRect(6810, 570, 2295, 315), deviceFont,
                                 palette().color(QPalette::WindowText));

        row.checkResult = makeLabel(box, indexed("Label11", i));
        row.checkResult->setGeometry(twipRect(9750, 600, 1095, 255));
        row.checkResult->setFont(resultFont);
        row.checkResult->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        setTextColour(row.checkResult, kRed);
        // Opaque on the window's colour: the next row's frame line runs beneath the verdict, not through it.
        row.checkResult->setAutoFillBackground(true);

        // The row number ("10" is wider than its gap) reaches under the letter cell: keep it on top.
        row.number->raise();
    }
    // Neighbouring rows overlap; the upper row lies on top, so each row's lower cells stay visible.
    for (int i = DriveTable::kRowCount - 1; i >= 0; --i)
        m_rows[static_cast<size_t>(i)].frame->raise();
}

void Form1::createStatusBar() {
    m_statusBar = new QFrame(this);
    m_statusBar->setObjectName(QStringLiteral("StatusBar1"));
    m_statusBar->setFont(songFont(kFontNewSong, 12));

    int left = 0;
    for (size_t i = 0; i < m_panels.size(); ++i) {
        const QString name = QStringLiteral("StatusBar1_Panel%1").arg(i + 1);
        QLabel *panel = i == 0 ? makeLabel(m_statusBar, name) : makeLabel<ClickLabel>(m_statusBar, name);
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setGeometry(px(left) + 1, 1, px(kPanelWidths[i]) - 2, px(kStatusBarHeight) - 1);
        left += kPanelWidths[i];
        m_panels[i] = panel;
    }
    auto *folderPanel = static_cast<ClickLabel *>(m_panels[1]);
    auto *labelPanel = static_cast<ClickLabel *>(m_panels[2]);
    auto *contactPanel = static_cast<ClickLabel *>(m_panels[3]);
    connect(folderPanel, &ClickLabel::clicked, this, &Form1::showConfiguration);
    connect(labelPanel, &ClickLabel::clicked, this, &Form1::showConfiguration);
    connect(contactPanel, &ClickLabel::clicked, this, &Form1::openContactMail);
    labelPanel->setToolTip(text(kDefaultLabelPanelTip));
    contactPanel->setToolTip(text(kContactPanelTip));

    auto *icon = new QLabel(contactPanel);
    icon->setPixmap(envelopeIcon());
    icon->setGeometry(3, (contactPanel->height() - 16) / 2, 16, 16);
    icon->setAttribute(Qt::WA_TransparentForMouseEvents);
    contactPanel->setIndent(22);
}

QAction *Form1::addMenuEntry(const char *name, const char *caption, Qt::Key key) {
    auto *action = new QAction(text(caption), this);
    action->setObjectName(text(name));
    if (key != Qt::Key_unknown) {
        action->setShortcut(QKeySequence(key));
        // Bound to this window only: a modal window on top keeps the keys for itself.
        action->setShortcutContext(Qt::WindowShortcut);
    }
    m_menu->addAction(action);
    addAction(action);
    return action;
}

void Form1::addMenuSeparator(const char *name) {
    m_menu->addSeparator()->setObjectName(text(name));
}

void Form1::createMenu() {
    m_menu = new QMenu(text(kMenuTitle), this);
    m_menu->setObjectName(QStringLiteral("m"));
    // A popup is a window of its own and takes no type from ours unless told.
    m_menu->setFont(font());

    // The entries act through the buttons, so whatever a button does later, its key and entry do too.
    auto clickOn = [this](QAction *action, QPushButton *button) {
        connect(action, &QAction::triggered, button, &QPushButton::click);
    };
    clickOn(addMenuEntry("mnuformat", kMenuFormat, Qt::Key_F2), m_formatButton);
    addMenuSeparator("l");
    clickOn(addMenuEntry("mnuModVolue", kMenuRelabel, Qt::Key_F6), m_relabelButton);
    addMenuSeparator("a");
    connect(addMenuEntry("mnuCopy", kMenuConfigure, Qt::Key_F1), &QAction::triggered, this,
            &Form1::showConfiguration);
    m_copyAction = addMenuEntry("copy", kMenuCopy, Qt::Key_F4);
    clickOn(m_copyAction, m_copyButton);
    addMenuSeparator("h");
    clickOn(addMenuEntry("mnuRef", kMenuRefresh, Qt::Key_F5), m_refreshButton);
    addMenuSeparator("s");
    clickOn(addMenuEntry("mnuClock", kMenuLockTest, Qt::Key_F7), m_lockTestButton);
    // The button row is the design's and has no place for it: the menu entry and F3 alone start it.
    connect(addMenuEntry("mnuCapacity", kMenuCapacity, Qt::Key_F3), &QAction::triggered, this,
            &Form1::capacityCheckAll);
    addMenuSeparator("d");
    clickOn(addMenuEntry("mnuEject", kMenuEject, Qt::Key_F8), m_ejectAllButton);
    addMenuSeparator("oo");
    QAction *exit = addMenuEntry("mnuExit", kMenuExit, Qt::Key_unknown);
    // Ends the program on the spot, without the closing steps; the destructor still unhooks.
    connect(exit, &QAction::triggered, this, [] { QCoreApplication::exit(0); });
}

void Form1::chus() {
    m_station.scan();
    refreshViews();
}

void Form1::load() {
    // Visible before the first scan, so the operator sees the window while it works.
    show();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    chus();
    // A stored folder loads the configuration dialog's model, hidden, and walks the folder now.
    m_station.loadSettings();
    refreshViews();
    hookDeviceChange();
    connect(&m_recordNoteTimer, &QTimer::timeout, this, [this] {
        if (m_station.refreshRecordNote())
            refreshViews();
    });
    m_recordNoteTimer.start(1000);
}

void Form1::showConfiguration() {
    if (!m_form5)
        m_form5 = std::make_unique<Form5>(m_station.configDialog(), m_station.settings(), *m_operator);
    m_form5->exec();
    // OK stored a new folder and label, or the close box left them; either way show what is stored.
    refreshViews();
}

void Form1::showFileInformation(int row) {
    const std::string &letter = m_station.driveTable().slots.at(static_cast<size_t>(row)).letter;
    if (letter.empty())
        return;
    m_selectedDrive = letter;
    // Made afresh for every showing, so it always opens on the stick's root as it is now.
    Form3 window(m_station.services().directories, m_station.services().launcher, m_selectedDrive, this);
    window.exec();
}

void Form1::testLocks() {
    m_station.testLocks();
    refreshViews();
}

void Form1::capacityCheckAll() {
    m_station.capacityCheckAll();
    refreshViews();
}

void Form1::checkContents() {
    m_station.checkContents();
    refreshViews();
}

void Form1::formatAll() {
    m_station.formatAll(*m_operator);
    refreshViews();
}

void Form1::copyAll() {
    m_station.copyAll();
    refreshViews();
}

void Form1::relabelAll() {
    m_station.relabelAll();
    refreshViews();
}

void Form1::ejectAll() {
    m_station.ejectAll();
    refreshViews();
}

void Form1::ejectOne(int row) {
    m_station.ejectOne(row);
    refreshViews();
}

void Form1::refreshViews() {
    for (size_t i = 0; i < m_rows.size(); ++i) {
        const DriveSlot &slot = m_station.driveTable().slots[i];
        Row &row = m_rows[i];
        row.letter->setText(text(slot.letter));
        row.volumeLabel->setText(text(slot.volumeLabel));
        row.fileSystem->setText(text(slot.fileSystem));
        row.capacity->setText(text(slot.capacity));
        row.usedSpace->setText(text(slot.usedSpace));
        row.contents->setText(text(slot.contents));
        row.checkResult->setText(text(slot.checkResult));
        row.deviceName->setText(text(slot.deviceName));
        row.deviceSerial->setText(text(slot.deviceSerial));
        row.deviceKey->setText(text(slot.deviceKey));
    }
    m_driveCount->setText(text(m_station.driveTable().driveCount));
    m_station.refreshRecordNote();
    const MainWindowState &state = m_station.state();
    for (size_t i = 0; i < m_panels.size(); ++i)
        m_panels[i]->setText(text(state.panel(static_cast<int>(i) + 1)));
    if (!state.recordNote.empty())
        m_panels[0]->setText(text(state.panel(1) + (state.panel(1).empty() ? "" : kRecordNoteSeparator) +
                                  state.recordNote));
    // The tool's messages and the customer folder are often longer than their panels: the tooltip holds
    // the whole text. Panels 3 and 4 keep tooltips of their own.
    for (size_t i : {size_t{0}, size_t{1}})
        m_panels[i]->setToolTip(m_panels[i]->text());
    mirrorCheck(m_contentCheckBox, m_station.state().check1);
    mirrorCheck(m_identityCheckBox, m_station.state().check2);
    m_copyButton->setEnabled(m_station.state().copyEnabled);
    m_copyAction->setEnabled(m_station.state().copyEnabled);
    showPointer(m_station.state().mousePointer());
}

void Form1::hookDeviceChange() {
    m_station.watchDeviceChanges([this] { refreshViews(); });
}

void Form1::unhookDeviceChange() {
    m_station.watchDeviceChanges({});
}

void Form1::showPointer(int pointer) {
    if (pointer == kPointerHourglass)
        setCursor(Qt::WaitCursor);
    else
        unsetCursor();
}

void Form1::openContactMail() {
    if (QDesktopServices::openUrl(QUrl(QStringLiteral("mailto:") + text(m_contactAddress))))
        return;
    // Without a mail program the click would do nothing at all: the address is given instead.
    m_station.state().panel(1) = kNoMailProgram + m_contactAddress;
    refreshViews();
}

void Form1::mousePressEvent(QMouseEvent *event) {
    if (event->button() == Qt::RightButton) {
        m_menu->popup(event->globalPosition().toPoint());
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void Form1::closeEvent(QCloseEvent *event) {
    unhookDeviceChange();
    event->accept();
    // Closing the main window ends the program, whatever other windows are still around.
    if (QThread::currentThread()->loopLevel() > 0)
        QCoreApplication::exit(0);
}

void Form1::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    placeStatusBar();
}

void Form1::placeStatusBar() {
    // The status bar sticks to the bottom edge across the full width; everything else keeps its place.
    m_statusBar->setGeometry(0, height() - px(kStatusBarHeight), width(), px(kStatusBarHeight));
    // The designed panel widths add up to a little more than the window; the last panel takes what is left.
    QLabel *last = m_panels.back();
    last->resize(width() - last->x() - 1, last->height());
}

void Form1::showEvent(QShowEvent *event) {
    if (!m_centred) {
        m_centred = true;
        if (const QScreen *screen = this->screen()) {
            QRect frame = geometry();
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
    }
    QWidget::showEvent(event);
}

} // namespace dravex
