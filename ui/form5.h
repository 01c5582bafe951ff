#pragma once

#include "config/configdialog.h"
#include "config/settingsfiles.h"
#include "model/operator.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace dravex {

// The configuration dialog: a view over the ConfigDialog model. Every edit goes into the model at once;
// every showing mirrors the model, loading it first when it is not loaded. OK stores the settings and
// hides the dialog; the close box unloads the model, so the choices since the last OK are lost.
class Form5 : public QDialog {
    Q_OBJECT

public:
    // The model, the settings files and the operator must outlive the dialog. The dialog has no owner
    // window: shown through exec(), it is modal for the whole application.
    Form5(ConfigDialog &model, SettingsFiles &settings, Operator &person, QWidget *parent = nullptr);
    ~Form5() override;

    // Who chooses the folder when Browse is clicked.
    void setOperator(Operator &person) { m_operator = &person; }
    // Mirrors the model into the controls.
    void refreshView();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void createFormatOptions();
    void createCopyOptions();
    void browse();
    void confirm();
    void folderEdited(const QString &folder);

    ConfigDialog &m_model;
    SettingsFiles &m_settings;
    Operator *m_operator;

    QGroupBox *m_formatOptions = nullptr;  // Frame1
    QLineEdit *m_labelField = nullptr;     // Text2
    QComboBox *m_fileSystemBox = nullptr;  // Combo1
    QCheckBox *m_quickFormatBox = nullptr; // Check1
    QGroupBox *m_copyOptions = nullptr;    // Frame2
    QLineEdit *m_folderField = nullptr;    // Text1
    QPushButton *m_browseButton = nullptr; // Command1
    QLabel *m_summary = nullptr;           // Label1_0
    QPushButton *m_okButton = nullptr;     // Command2
};

} // namespace dravex
