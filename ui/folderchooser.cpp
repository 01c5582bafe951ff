#include "ui/folderchooser.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>

namespace dravex {

bool FolderChooser::BrowseForFolder(std::string &path, const std::string &title) {
    // The chooser starts at the top of the file system rather than at the current folder.
    const QString chosen =
        QFileDialog::getExistingDirectory(QApplication::activeModalWidget(), QString::fromStdString(title),
                                          QDir::rootPath(), QFileDialog::ShowDirsOnly);
    if (chosen.isEmpty())
        return false;
    path = QDir::toNativeSeparators(chosen).toStdString();
    return true;
}

} // namespace dravex
