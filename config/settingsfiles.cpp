#include "config/settingsfiles.h"

#include "config/codepagecheck.h"
#include "model/text.h"

namespace dravex {

namespace {

constexpr const char *kLabelFile = "Volnum.txt";
constexpr const char *kFolderFile = "FileCopyPath.log";
constexpr const char *kLineEnd = "\r\n";

// Status texts for a settings file the tool could not use; the file name follows.
constexpr const char *kCannotCreate = "无法创建设置文件";
constexpr const char *kCannotRead = "无法读取设置文件";
constexpr const char *kCannotWrite = "无法保存设置文件";
constexpr const char *kFailureSeparator = "；";

// What the dialog's OK says when a field holds characters the settings files cannot store; the characters
// follow the first part, the second part closes the sentence.
constexpr const char *kLabelOutsideCodePage = "卷标中有设置文件无法保存的字符：";
constexpr const char *kChangeLabel = "，请修改卷标。";
constexpr const char *kFolderOutsideCodePage = "目录中有设置文件无法保存的字符：";
constexpr const char *kChooseOtherFolder = "，请选择其他目录。";

} // namespace

std::vector<std::string> splitSettingsLines(const std::string &bytes) {
    std::vector<std::string> lines;
    std::string line;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\r') {
            line += bytes[i];
            continue;
        }
        lines.push_back(line);
        line.clear();
        if (i + 1 < bytes.size() && bytes[i + 1] == '\n')
            ++i;
    }
    // The last line needs no terminator.
    if (!line.empty())
        lines.push_back(line);
    return lines;
}

SettingsFiles::SettingsFiles(FileService &files, CodePage &codePage, std::string programDirectory,
                             MainWindowState &mainWindow, ConfigDialog &dialog)
    : m_files(files), m_codePage(codePage), m_programDirectory(std::move(programDirectory)),
      m_mainWindow(mainWindow), m_dialog(dialog) {}

std::string SettingsFiles::pathOf(const std::string &fileName) const {
    if (!m_programDirectory.empty() && m_programDirectory.back() == '\\')
        return m_programDirectory + fileName;
    return m_programDirectory + "\\" + fileName;
}

void SettingsFiles::reportFailures(const std::vector<std::string> &failures) {
    if (failures.empty())
        return;
    std::string text;
    for (const std::string &failure : failures)
        text += (text.empty() ? "" : kFailureSeparator) + failure;
    m_mainWindow.panel(1) = text;
}

void SettingsFiles::LoadSettings() {
    std::vector<std::string> failures;
    for (const char *name : {kLabelFile, kFolderFile}) {
        const std::string path = pathOf(name);
        if (!m_files.fileExists(path) && !m_files.createEmptyFile(path))
            failures.push_back(kCannotCreate + std::string(name));
    }

    // A file that cannot be read counts as empty; the other file is still used.
    const auto labelBytes = m_files.readFile(pathOf(kLabelFile));
    if (!labelBytes && m_files.fileExists(pathOf(kLabelFile)))
        failures.push_back(kCannotRead + std::string(kLabelFile));
    if (labelBytes && !labelBytes->empty()) {
        const std::vector<std::string> lines = splitSettingsLines(*labelBytes);
        const std::string firstLine = lines.empty() ? std::string() : m_codePage.fromAnsi(lines.front());
        m_mainWindow.panel(3) = firstCharacters(firstLine, ConfigDialog::kLabelLength);
    }

    const auto folderBytes = m_files.readFile(pathOf(kFolderFile));
    if (!folderBytes && m_files.fileExists(pathOf(kFolderFile)))
        failures.push_back(kCannotRead + std::string(kFolderFile));
    std::string folder;
    if (folderBytes) {
        const std::vector<std::string> lines = splitSettingsLines(*folderBytes);
        if (!lines.empty())
            folder = m_codePage.fromAnsi(lines.back());
    }
    if (!folder.empty()) {
        m_mainWindow.panel(2) = folder;
        m_dialog.setFolder(folder);
        m_mainWindow.copyEnabled = true;
    } else {
        m_mainWindow.panel(2).clear();
        m_mainWindow.copyEnabled = false;
    }
    reportFailures(failures);
}

std::string SettingsFiles::reasonNotToSave() {
    std::string reason;
    const std::string label = charactersOutsideCodePage(m_codePage, m_dialog.label());
    if (!label.empty())
        reason += kLabelOutsideCodePage + label + kChangeLabel;
    const std::string folder = charactersOutsideCodePage(m_codePage, m_dialog.folder());
    if (!folder.empty())
        reason += (reason.empty() ? "" : "\n") + (kFolderOutsideCodePage + folder) + kChooseOtherFolder;
    return reason;
}

void SettingsFiles::SaveSettings() {
    std::vector<std::string> failures;
    const std::string label = m_dialog.label();
    if (!m_files.replaceFile(pathOf(kLabelFile), m_codePage.toAnsi(label) + kLineEnd))
        failures.push_back(kCannotWrite + std::string(kLabelFile));
    m_mainWindow.panel(3) = label;

    const std::string folder = m_dialog.folder();
    if (!m_files.replaceFile(pathOf(kFolderFile), m_codePage.toAnsi(folder) + kLineEnd))
        failures.push_back(kCannotWrite + std::string(kFolderFile));
    m_mainWindow.panel(2) = folder;
    m_mainWindow.copyEnabled = !folder.empty();
    reportFailures(failures);
}

} // namespace dravex
