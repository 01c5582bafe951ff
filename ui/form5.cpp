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

    m_okButton = new QPushButton(text(kOk), this);
    m_okButton->setObjectName(QStringLiteral("Command2"));
    m_okButton->setGeometry(twipRect(2010, 2940, 3525, 465));
    m_okButton->setFont(songFont(form1texts::kFontSong, 15.75));
    m_okButton->setAutoDefault(false);
    connect(m_okButton, &QPushButton::clicked, this, &Form5::confirm);

    setTabOrder(m_labelField, m_fileSystemBox);
    setTabOrder(m_fileSystemBox, m_quickFormatBox);
    setTabOrder(m_quickFormatBox, m_folderField);
    setTabOrder(m_folderField, m_browseButton);
    setTabOrder(m_browseButton, m_okButton);
    m_okButton->setFocus();

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
    m_formatOptions = new QGroupBox(text(kFrame1), this);
    m_formatOptions->setObjectName(QStringLiteral("Frame1"));
    m_formatOptions->setGeometry(twipRect(135, 60, 7305, 1410));

    makeCaption(m_formatOptions, "Label1_2", kLabelCaption, 225, 255);

    m_labelField = new QLineEdit(m_formatOptions);
    m_labelField->setObjectName(QStringLiteral("Text2"));
    m_labelField->setGeometry(twipRect(135, 525, 6600, 375));
    m_labelField->setFont(songFont(form1texts::kFontSong, 14.25));
    m_labelField->setMaxLength(static_cast<int>(ConfigDialog::kLabelLength));
    m_labelField->setToolTip(text(kLabelTip));
    connect(m_labelField, &QLineEdit::textChanged, this,
            [this](const QString &label) { m_model.setLabel(label.toStdString()); });

    makeCaption(m_formatOptions, "Label1_1", kFileSystemCaption, 225, 1020);

    m_fileSystemBox = new QComboBox(m_formatOptions);
    m_fileSystemBox->setObjectName(QStringLiteral("Combo1"));
    m_fileSystemBox->setGeometry(twipRect(1395, 945, 1500, 360));
    m_fileSystemBox->setEditable(true);
    // A typed name is a choice for this time, not a new entry of the list.
    m_fileSystemBox->setInsertPolicy(QComboBox::NoInsert);
    for (const char *name : kFileSystems)
        m_fileSystemBox->addItem(text(name));
    // Picking an entry writes it into the edit field, so this one signal sees both ways of choosing.
    connect(m_fileSystemBox, &QComboBox::editTextChanged, this,
            [this](const QString &name) { m_model.setFileSystem(name.toStdString()); });

    m_quickFormatBox = new QCheckBox(text(kQuickFormat), m_formatOptions);
    m_quickFormatBox->setObjectName(QStringLiteral("Check1"));
    m_quickFormatBox->setGeometry(twipRect(4545, 945, 1815, 375));
    connect(m_quickFormatBox, &QCheckBox::toggled, this,
            [this](bool ticked) { m_model.setQuickFormat(ticked ? kChecked : kUnchecked); });
}

void Form5::createCopyOptions() {
    m_copyOptions = new QGroupBox(text(kFrame2), this);
    m_copyOptions->setObjectName(QStringLiteral("Frame2"));
    m_copyOptions->setGeometry(twipRect(135, 1470, 7305, 1410));

    m_folderField = new QLineEdit(m_copyOptions);
    m_folderField->setObjectName(QStringLiteral("Text1"));
    m_folderField->setGeometry(twipRect(135, 270, 6630, 420));
    // Filled through Browse only: every change walks the folder, and a path typed character by character
    // would walk "/" and every folder on the way.
    m_folderField->setReadOnly(true);
    connect(m_folderField, &QLineEdit::textChanged, this, &Form5::folderEdited);

    m_browseButton = new QPushButton(text(kBrowse), m_copyOptions);
    m_browseButton->setObjectName(QStringLiteral("Command1"));
    m_browseButton->setGeometry(twipRect(6885, 270, 285, 420));
    m_browseButton->setAutoDefault(false);
    connect(m_browseButton, &QPushButton::clicked, this, &Form5::browse);

    m_summary = new QLabel(m_copyOptions);
    m_summary->setObjectName(QStringLiteral("Label1_0"));
    m_summary->setTextFormat(Qt::PlainText);
    m_summary->setGeometry(twipRect(180, 810, 6900, 510));
    m_summary->setFont(songFont(form1texts::kFontSong, 12));
    m_summary->setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void Form5::refreshView() {
    // The controls follow the model here; only the operator's edits go the other way.
    const QSignalBlocker text2Blocker(m_labelField);
    const QSignalBlocker combo1Blocker(m_fileSystemBox);
    const QSignalBlocker check1Blocker(m_quickFormatBox);
    const QSignalBlocker text1Blocker(m_folderField);
    mirrorText(m_labelField, m_model.label());
    if (m_fileSystemBox->currentText() != text(m_model.fileSystem()))
        m_fileSystemBox->setCurrentText(text(m_model.fileSystem()));
    m_quickFormatBox->setChecked(m_model.quickFormat() == kChecked);
    mirrorText(m_folderField, m_model.folder());
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
    m_okButton->setFocus();
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
