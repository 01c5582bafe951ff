#pragma once

#include "model/drivetable.h"
#include "station/qastation.h"
#include "ui/operatordialogs.h"

#include <QTimer>
#include <QWidget>

#include <array>
#include <memory>
#include <string>

class QAction;
class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;

namespace dravex {

class ClickLabel;
class Form5;

// The main window: the command strip, the ten-row drive table and the status bar. It mirrors the station's
// models into its widgets and forwards the operator's commands to the station, refreshing whenever a
// command returns.
class Form1 : public QWidget {
    Q_OBJECT

public:
    // The station must outlive the window.
    Form1(QaStation &station, std::string contactAddress, QWidget *parent = nullptr);
    ~Form1() override;

    // Rebuilds the drive table from the drives present, then shows the result.
    void chus();
    // Shows the window, runs the first scan, loads the settings and starts listening for device changes.
    void load();
    // Mirrors the models into the widgets, for callers that changed a model themselves.
    void refreshViews();
    // Shows the configuration dialog, modal, and returns once the operator has left it.
    void showConfiguration();

    // Who chooses folders for the configuration dialog; the window's own folder chooser until set.
    // The operator must outlive the window.
    void setOperator(Operator &person);

    // Opens the file information window, modal, on the row's stick; nothing for a row without one.
    void showFileInformation(int row);
    // The letter of the stick last opened in the file information window; kept once the window is left.
    const std::string &selectedDrive() const { return m_selectedDrive; }

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    struct Row {
        QGroupBox *frame = nullptr;
        ClickLabel *number = nullptr; // Label8
        ClickLabel *letter = nullptr; // Label1
        QLabel *volumeLabel = nullptr;
        QLabel *fileSystem = nullptr;
        QLabel *capacity = nullptr;
        QLabel *usedSpace = nullptr;
        QLabel *contents = nullptr;
        ClickLabel *deviceName = nullptr; // Label9
        QLabel *deviceSerial = nullptr;
        QLabel *deviceKey = nullptr;
        QLabel *checkResult = nullptr; // Label11
    };

    void createCommandStrip();
    void createRows();
    void createStatusBar();
    void createMenu();
    void placeStatusBar();
    QAction *addMenuEntry(const char *name, const char *text, Qt::Key key);
    void addMenuSeparator(const char *name);
    void hookDeviceChange();
    void unhookDeviceChange();
    void showPointer(int pointer);
    void openContactMail();
    void testLocks();
    void checkContents();
    void formatAll();
    void capacityCheckAll();
    void copyAll();
    void relabelAll();
    void ejectAll();
    void ejectOne(int row);

    QaStation &m_station;
    std::string m_contactAddress;
    OperatorDialogs m_operatorDialogs;
    Operator *m_operator = &m_operatorDialogs;
    // Made on first showing; no owner window, so the window owns it here.
    std::unique_ptr<Form5> m_form5;
    // Asks the production record every second whether records wait for the line's server.
    QTimer m_recordNoteTimer;
    std::string m_selectedDrive;
    bool m_centred = false;

    QPushButton *m_refreshButton = nullptr;   // Command1
    QPushButton *m_ejectAllButton = nullptr;  // Command2
    QPushButton *m_relabelButton = nullptr;   // Command3
    QPushButton *m_lockTestButton = nullptr;  // Command4
    QPushButton *m_copyButton = nullptr;      // Command5
    QPushButton *m_formatButton = nullptr;    // Command6
    QPushButton *m_configureButton = nullptr; // Command7
    QCheckBox *m_contentCheckBox = nullptr;   // Check1
    QCheckBox *m_identityCheckBox = nullptr;  // Check2
    QLabel *m_driveCount = nullptr;           // Label6
    std::array<Row, DriveTable::kRowCount> m_rows;
    QFrame *m_statusBar = nullptr;           // StatusBar1
    std::array<QLabel *, 4> m_panels{};      // its panels 1 to 4
    QMenu *m_menu = nullptr;                 // m, the popup menu
    QAction *m_copyAction = nullptr;         // copy
};

} // namespace dravex
