#pragma once

#include "model/drivetable.h"
#include "model/mainwindowstate.h"
#include "platform/directorysearch.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>

namespace dravex {

// Compares each stick's files with the customer folder: the summary of the stick's whole tree against
// the reference summary of the configuration dialog, "OK" when the two texts are equal, else "NG"; no
// verdict at all while there is no reference (the customer folder cannot be listed).
class ContentCheck {
public:
    using Reference = std::function<std::optional<std::string>()>;
    // Hears of every row checked against a reference, with the reference and the time the check took.
    using Checked = std::function<void(const DriveSlot &, const std::string &, std::chrono::milliseconds)>;

    ContentCheck(DirectorySearch &search, DriveTable &table, MainWindowState &mainWindow, Reference reference,
                 Checked checked = {});

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
    Reference m_reference;
    Checked m_checked;
};

} // namespace dravex
