#pragma once

#include "platform/directorysearch.h"
#include "model/mainwindowstate.h"
#include "model/operator.h"

#include <functional>
#include <optional>
#include <string>

namespace dravex {

// The live state of the configuration dialog, which holds the settings while the tool runs. Reading or
// writing a field of an unloaded dialog loads it first: its load step takes the file system "FAT", ticks
// quick format and fills label and folder from the main window's status panels 3 and 2.
class ConfigDialog {
public:
    static constexpr size_t kLabelLength = 11;

    ConfigDialog(MainWindowState &mainWindow, DirectorySearch &search);

    // Loads the dialog when it is not loaded yet.
    void load();
    // The close box: forgets every choice made since the last confirmation.
    void unload();

    const std::string &fileSystem(); // Combo1
    void setFileSystem(const std::string &name);
    int quickFormat(); // Check1: 1 ticked, 0 clear
    void setQuickFormat(int value);
    const std::string &label(); // Text2: at most 11 characters
    void setLabel(const std::string &label);
    const std::string &folder(); // Text1
    // Every change of the folder text summarises the new folder.
    void setFolder(const std::string &folder);
    // Label1(0): the summary of the folder the content check compares every stick with.
    const std::string &referenceSummary();
    // What the content check compares with: the reference summary, or nothing while the folder cannot be
    // listed (gone, or not ours to read), whose summary would pass blank sticks. Such a folder is tried
    // again at every call, so the check resumes once it is back.
    std::optional<std::string> contentReference();

    // Command1, Browse: the chosen folder, or an empty field when the operator cancels.
    void browse(Operator &person);

    void setPointerListener(std::function<void(int)> listener) { m_pointerListener = std::move(listener); }

private:
    void folderChanged();
    void setMousePointer(int pointer);

    MainWindowState &m_mainWindow;
    DirectorySearch &m_search;
    bool m_loaded = false;
    std::string m_fileSystem;
    int m_quickFormat = kChecked;
    std::string m_label;
    std::string m_folder;
    std::string m_referenceSummary;
    bool m_folderListed = true;
    std::function<void(int)> m_pointerListener;
};

} // namespace dravex
