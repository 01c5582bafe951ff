#pragma once

#include "config/configdialog.h"
#include "config/settingsfiles.h"
#include "platform/platformservices.h"
#include "scan/contentcheck.h"
#include "scan/drivescan.h"
#include "scan/drivetable.h"
#include "scan/mainwindowstate.h"
#include "scan/variant.h"
#include "ui/operatordialogs.h"
#include "usbid/usbidentitylookup.h"

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

// The main window: the command strip, the ten-row drive table and the status bar. It owns the models
// and mirrors them into its widgets whenever a call into the logic returns.
class Form1 : public QWidget {
    Q_OBJECT

public:
    // The services must outlive the window.
    Form1(Variant variant, std::string contactAddress, PlatformServices &services, QWidget *parent = nullptr);
    ~Form1() override;

    // Rebuilds the drive table from the drives present, then shows the result.
    void chus();
    // Shows the window, runs the first scan, loads the settings and starts listening for device changes.
    void load();
    // Mirrors the models into the widgets, for callers that changed a model themselves.
    void refreshViews();
    // Shows the configuration dialog, modal, and returns once the operator has left it.
    void showConfiguration();

    DriveTable &driveTable() { return m_table; }
    const DriveTable &driveTable() const { return m_table; }
    MainWindowState &state() { return m_state; }
    const MainWindowState &state() const { return m_state; }

    ConfigDialog &configDialog() { return m_configDialog; }
    // The configuration dialog's window, once it has been shown; nothing before.
    Form5 *configurationView() { return m_form5.get(); }

    // Who chooses folders for the configuration dialog; the window's own folder chooser until set.
    // The operator must outlive the window.
    void setOperator(Operator &person);
    // The identity lookup the scan uses when "查看VPSN" is ticked.

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
    void copyAll();
    void relabelAll();
    void ejectAll();
    void ejectOne(int row);

    Variant m_variant;
    std::string m_contactAddress;
    PlatformServices &m_services;
    DriveTable m_table;
    MainWindowState m_state;
    DriveScan m_scan;
    ConfigDialog m_configDialog;
    SettingsFiles m_settings;
    ContentCheck m_contentCheck;
    UsbIdentityLookup m_identityLookup;
    OperatorDialogs m_operatorDialogs;
    Operator *m_operator = &m_operatorDialogs;
    // Made on first showing; no owner window, so the window owns it here.
    std::unique_ptr<Form5> m_form5;
    std::string m_selectedDrive;
    bool m_centred = false;

    QPushButton *m_command1 = nullptr;
    QPushButton *m_command2 = nullptr;
    QPushButton *m_command3 = nullptr;
    QPushButton *m_command4 = nullptr;
    QPushButton *m_command5 = nullptr;
    QPushButton *m_command6 = nullptr;
    QPushButton *m_command7 = nullptr;
    QCheckBox *m_check1 = nullptr;
    QCheckBox *m_check2 = nullptr;
    QLabel *m_label6 = nullptr;
    std::array<Row, DriveTable::kRowCount> m_rows;
    QFrame *m_statusBar = nullptr;
    std::array<QLabel *, 4> m_panels{};
    QMenu *m_menu = nullptr;
    QAction *m_copyAction = nullptr;
};

} // namespace dravex
