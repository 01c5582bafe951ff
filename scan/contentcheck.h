#pragma once

#include "config/configdialog.h"
#include "platform/directorysearch.h"
#include "scan/drivetable.h"
#include "scan/mainwindowstate.h"

namespace dravex {

// Compares each stick's files with the customer folder: the summary of the stick's whole tree against
// the dialog's reference summary, "OK" when the two texts are equal, else "NG"; no verdict at all while
// the customer folder cannot be listed.
class ContentCheck {
public:
    ContentCheck(DirectorySearch &search, DriveTable &table, MainWindowState &mainWindow,
                 ConfigDialog &dialog);

    void CheckSlotContents(int row);
    // Ticking or clearing "内部附有文件": checks every listed row, or empties their verdicts.
    void Check1Click();
    // With the check ticked and the customer folder out of reach, panel 1 says why the verdicts are empty.
    // The scan ends by writing panel 1, so it is called after the scan as well.
    void reportMissingReference();

private:
    DirectorySearch &m_search;
    DriveTable &m_table;
    MainWindowState &m_mainWindow;
    ConfigDialog &m_dialog;
};

} // namespace dravex
