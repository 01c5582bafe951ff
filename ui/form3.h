#pragma once

#include "platform/directorysearch.h"
#include "platform/launcher.h"
#include "scan/filebrowser.h"

#include <QDialog>

#include <string>

class QFrame;
class QLabel;
class QListWidget;
class QListWidgetItem;

namespace dravex {

// The file information window: the folders of one stick around the open folder, that folder's files
// and their count. Double-clicking a folder opens it; double-clicking a file starts it. It is made
// afresh for every showing, opened on the stick's root, and shown through exec().
class Form3 : public QDialog {
    Q_OBJECT

public:
    // The services must outlive the window. selectedDrive is a drive letter such as "H".
    Form3(DirectorySearch &search, Launcher &launcher, const std::string &selectedDrive,
          QWidget *parent = nullptr);

    const FileBrowser &browser() const { return m_browser; }

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void refreshView();
    void folderDoubleClicked(QListWidgetItem *item);
    void fileDoubleClicked(QListWidgetItem *item);

    FileBrowser m_browser;

    QLabel *m_heading = nullptr;         // Label1
    QListWidget *m_folderList = nullptr; // Dir1
    QListWidget *m_fileList = nullptr;   // File1
    QFrame *m_statusBar = nullptr;       // StatusBar1
    QLabel *m_statusPanel = nullptr;     // its panel 1
};

} // namespace dravex
