#include "config/configdialog.h"

#include "scan/dirstats.h"
#include "model/text.h"

namespace dravex {

namespace {

constexpr const char *kStartFileSystem = "FAT";
// The folder field's text before the load step replaces it.
constexpr const char *kFolderDesignText = "0";
constexpr const char *kBrowseTitle = "请正确选择客供文件所在目录，并单击确定按钮！";

bool canList(DirectorySearch &search, std::string folder) {
    if (folder.back() != '\\')
        folder += '\\';
    return search.listFolder(folder).has_value();
}

} // namespace

ConfigDialog::ConfigDialog(MainWindowState &mainWindow, DirectorySearch &search)
    : m_mainWindow(mainWindow), m_search(search), m_folder(kFolderDesignText) {}

void ConfigDialog::load() {
    if (m_loaded)
        return;
    m_loaded = true;
    m_fileSystem = kStartFileSystem;
    m_quickFormat = kChecked;
    m_label = firstCharacters(m_mainWindow.panel(3), kLabelLength);
    setFolder(m_mainWindow.panel(2));
}

void ConfigDialog::unload() {
    m_loaded = false;
    m_fileSystem.clear();
    m_quickFormat = kChecked;
    m_label.clear();
    m_folder = kFolderDesignText;
    m_referenceSummary.clear();
    m_folderListed = true;
}

const std::string &ConfigDialog::fileSystem() {
    load();
    return m_fileSystem;
}

void ConfigDialog::setFileSystem(const std::string &name) {
    load();
    m_fileSystem = name;
}

int ConfigDialog::quickFormat() {
    load();
    return m_quickFormat;
}

void ConfigDialog::setQuickFormat(int value) {
    load();
    m_quickFormat = value;
}

const std::string &ConfigDialog::label() {
    load();
    return m_label;
}

void ConfigDialog::setLabel(const std::string &label) {
    load();
    m_label = firstCharacters(label, kLabelLength);
}

const std::string &ConfigDialog::folder() {
    load();
    return m_folder;
}

void ConfigDialog::setFolder(const std::string &folder) {
    load();
    if (folder == m_folder)
        return;
    m_folder = folder;
    folderChanged();
}

const std::string &ConfigDialog::referenceSummary() {
    load();
    return m_referenceSummary;
}

std::optional<std::string> ConfigDialog::contentReference() {
    load();
    if (!m_folderListed)
        folderChanged();
    if (!m_folderListed)
        return std::nullopt;
    return m_referenceSummary;
}

void ConfigDialog::browse(Operator &person) {
    std::string chosen;
    setFolder(person.BrowseForFolder(chosen, kBrowseTitle) ? chosen : std::string());
}

void ConfigDialog::folderChanged() {
    setMousePointer(kPointerHourglass);
    // An empty folder gives the zero summary without walking anything. A folder that cannot be listed
    // has the zero summary too, but no reference to check with.
    m_folderListed = m_folder.empty() || canList(m_search, m_folder);
    m_referenceSummary =
        m_folder.empty() ? FormatDirStats(DirStats{}) : FormatDirStats(summariseTree(m_search, m_folder));
    setMousePointer(kPointerDefault);
}

void ConfigDialog::setMousePointer(int pointer) {
    if (m_pointerListener)
        m_pointerListener(pointer);
}

} // namespace dravex
