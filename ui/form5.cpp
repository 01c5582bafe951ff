#include "ui/form5.h"

#include "ui/designunits.h"
#include "ui/form5texts.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>

namespace dravex {

namespace {

using namespace design;
using namespace form5texts;

constexpr int kClientWidth = 7500;
constexpr int kClientHeight = 3480;

// Captions are fixed texts, but no label of ours ever interprets markup.
QLabel *makeCaption(QWidget *parent, const char *name, const char *caption, int left, int top) {
    auto *label = new QLabel(parent);
    label->setObjectName(text(name));
    label->setTextFormat(Qt::PlainText);
    label->setText(text(caption));
    label->move(px(left), px(top));
    label->adjustSize();
    return label;
}

// Setting a field to the text it already holds would move the operator's cursor to its end.
void mirrorText(QLineEdit *field, const std::string &value) {
    const QString wanted = text(value);
    if (field->text() != wanted)
        field->setText(wanted);
}

} // namespace

Form5::Form5(ConfigDialog &model, SettingsFiles &settings, Operator &person, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_model(model), m_settings(settings), m_operator(&person) {
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(text(kCaption));
    setWindowModality(Qt::ApplicationModal);
    setFixedSize(px(kClientWidth), px(kClientHeight));
    setFont(songFont(form1texts::kFontSong, 9));

    createFormatOptions();
    createCopyOptions();

    m_command2 = new QPushButton(text(kOk), this);
    m_command2->setObjectName(QStringLiteral("Command2"));
    m_command2->setGeometry(twipRect(2010, 2940, 3525, 465));
    m_command2->setFont(songFont(form1texts::kFontSong, 15.75));
    m_command2->setAutoDefault(false);
    connect(m_command2, &QPushButton::clicked, this, &Form5::confirm);

    setTabOrder(m_text2, m_combo1);
    setTabOrder(m_combo1, m_check1);
    setTabOrder(m_check1, m_text1);
    setTabOrder(m_text1, m_command1);
    setTabOrder(m_command1, m_command2);
    m_command2->setFocus();

    // The folder walk blocks the dialog; the hourglass is its only sign.
    m_model.setPointerListener([this](int pointer) {
        if (pointer == kPointerHourglass)
            setCursor(Qt::WaitCursor);
        else
            unsetCursor();
    });
}

Form5::~Form5() {
    m_model.setPointerListener({});
}

void Form5::createFormatOptions() {
    m_frame1 = new QGroupBox(text(kFrame1), this);
    m_frame1->setObjectName(QStringLiteral("Frame1"));
    m_frame1->setGeometry(twipRect(135, 60, 7305, 1410));

    makeCaption(m_frame1, "Label1_2", kLabelCaption, 225, 255);

    m_text2 = new QLineEdit(m_frame1);
    m_text2->setObjectName(QStringLiteral("Text2"));
    m_text2->setGeometry(twipRect(135, 525, 6600, 375));
    m_text2->setFont(songFont(form1texts::kFontSong, 14.25));
    m_text2->setMaxLength(static_cast<int>(ConfigDialog::kLabelLength));
    m_text2->setToolTip(text(kLabelTip));
    connect(m_text2, &QLineEdit::textChanged, this,
            [this](const QString &label) { m_model.setLabel(label.toStdString()); });

    makeCaption(m_frame1, "Label1_1", kFileSystemCaption, 225, 1020);

    m_combo1 = new QComboBox(m_frame1);
    m_combo1->setObjectName(QStringLiteral("Combo1"));
    m_combo1->setGeometry(twipRect(1395, 945, 1500, 360));
    m_combo1->setEditable(true);
    // A typed name is a choice for this time, not a new entry of the list.
    m_combo1->setInsertPolicy(QComboBox::NoInsert);
    for (const char *name : kFileSystems)
        m_combo1->addItem(text(name));
    // Picking an entry writes it into the edit field, so this one signal sees both ways of choosing.
    connect(m_combo1, &QComboBox::editTextChanged, this,
            [this](const QString &name) { m_model.setFileSystem(name.toStdString()); });

    m_check1 = new QCheckBox(text(kQuickFormat), m_frame1);
    m_check1->setObjectName(QStringLiteral("Check1"));
    m_check1->setGeometry(twipRect(4545, 945, 1815, 375));
    connect(m_check1, &QCheckBox::toggled, this,
            [this](bool ticked) { m_model.setQuickFormat(ticked ? kChecked : kUnchecked); });
}

void Form5::createCopyOptions() {
    m_frame2 = new QGroupBox(text(kFrame2), this);
    m_frame2->setObjectName(QStringLiteral("Frame2"));
    m_frame2->setGeometry(twipRect(135, 1470, 7305, 1410));

    m_text1 = new QLineEdit(m_frame2);
    m_text1->setObjectName(QStringLiteral("Text1"));
    m_text1->setGeometry(twipRect(135, 270, 6630, 420));
    // Filled through Browse only: every change walks the folder, and a path typed character by character
    // would walk "/" and every folder on the way.
    m_text1->setReadOnly(true);
    connect(m_text1, &QLineEdit::textChanged, this, &Form5::folderEdited);

    m_command1 = new QPushButton(text(kBrowse), m_frame2);
    m_command1->setObjectName(QStringLiteral("Command1"));
    m_command1->setGeometry(twipRect(6885, 270, 285, 420));
    m_command1->setAutoDefault(false);
    connect(m_command1, &QPushButton::clicked, this, &Form5::browse);

    m_summary = new QLabel(m_frame2);
    m_summary->setObjectName(QStringLiteral("Label1_0"));
    m_summary->setTextFormat(Qt::PlainText);
    m_summary->setGeometry(twipRect(180, 810, 6900, 510));
    m_summary->setFont(songFont(form1texts::kFontSong, 12));
    m_summary->setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void Form5::refreshView() {
    // The controls follow the model here; only the operator's edits go the other way.
    const QSignalBlocker text2Blocker(m_text2);
    const QSignalBlocker combo1Blocker(m_combo1);
    const QSignalBlocker check1Blocker(m_check1);
    const QSignalBlocker text1Blocker(m_text1);
    mirrorText(m_text2, m_model.label());
    if (m_combo1->currentText() != text(m_model.fileSystem()))
        m_combo1->setCurrentText(text(m_model.fileSystem()));
    m_check1->setChecked(m_model.quickFormat() == kChecked);
    mirrorText(m_text1, m_model.folder());
    m_summary->setText(text(m_model.referenceSummary()));
}

void Form5::folderEdited(const QString &folder) {
    m_model.setFolder(folder.toStdString());
    m_summary->setText(text(m_model.referenceSummary()));
}

void Form5::browse() {
    m_model.browse(*m_operator);
    refreshView();
}

void Form5::confirm() {
    // Nothing typed is changed behind the operator's back: text the files cannot hold keeps the dialog open.
    const std::string reason = m_settings.reasonNotToSave();
    if (!reason.empty()) {
        m_operator->showMessage(reason, kCaption);
        return;
    }
    m_settings.SaveSettings();
    // Hidden, not closed: the model keeps the confirmed choices for the next showing.
    accept();
}

void Form5::showEvent(QShowEvent *event) {
    refreshView();
    if (const QScreen *screen = this->screen()) {
        QRect frame = geometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    QDialog::showEvent(event);
}

void Form5::closeEvent(QCloseEvent *event) {
    // The close box leaves without storing: the next showing starts from the stored settings again.
    m_model.unload();
    m_command2->setFocus();
    QDialog::closeEvent(event);
}

void Form5::keyPressEvent(QKeyEvent *event) {
    switch (event->key()) {
    case Qt::Key_Escape:
        // No Cancel button: the close box is the only way out without storing.
        event->accept();
        return;
    case Qt::Key_Enter:
    case Qt::Key_Return:
        // Enter presses the focused button and nothing else; it never stores from a text field.
        if (auto *button = qobject_cast<QPushButton *>(focusWidget()))
            button->click();
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

} // namespace dravex
