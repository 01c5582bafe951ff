#include "ui/operatordialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

namespace dravex {

bool OperatorDialogs::BrowseForFolder(std::string &path, const std::string &title) {
    // The chooser starts at the top of the file system rather than at the current folder.
    const QString chosen =
        QFileDialog::getExistingDirectory(QApplication::activeModalWidget(), QString::fromStdString(title),
                                          QDir::rootPath(), QFileDialog::ShowDirsOnly);
    if (chosen.isEmpty())
        return false;
    path = QDir::toNativeSeparators(chosen).toStdString();
    return true;
}

void OperatorDialogs::showMessage(const std::string &text, const std::string &title) {
    QMessageBox::information(QApplication::activeWindow(), QString::fromStdString(title),
                             QString::fromStdString(text), QMessageBox::Ok);
}

} // namespace dravex
