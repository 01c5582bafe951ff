#pragma once

#include "config/configdialog.h"
#include "platform/codepage.h"
#include "platform/fileservice.h"
#include "model/mainwindowstate.h"

#include <string>
#include <vector>

namespace dravex {

// The two settings files in the program's directory: Volnum.txt holds the default label, FileCopyPath.log
// the customer folder, each one line of code-page 936 text ended by CR LF.
class SettingsFiles {
public:
    SettingsFiles(FileService &files, CodePage &codePage, std::string programDirectory,
                  MainWindowState &mainWindow, ConfigDialog &dialog);

    // Start-up: creates missing files, shows the stored label and folder, enables copy with a folder.
    void LoadSettings();
    // The dialog's OK: stores label and folder as the dialog holds them and shows them.
    void SaveSettings();
    // Before SaveSettings: why the label or folder cannot be stored as the operator typed it (characters
    // the code page lacks would be written as "?"), naming those characters; empty when both can.
    std::string reasonNotToSave();

private:
    std::string pathOf(const std::string &fileName) const;
    void reportFailures(const std::vector<std::string> &failures);

    FileService &m_files;
    CodePage &m_codePage;
    std::string m_programDirectory;
    MainWindowState &m_mainWindow;
    ConfigDialog &m_dialog;
};

// The lines of a settings file: a line ends at CR or CR LF; a lone LF stays inside the line.
std::vector<std::string> splitSettingsLines(const std::string &bytes);

} // namespace dravex
