#include "ui/translations.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QTranslator>

namespace dravex {
namespace {

QString buttonText(QDialogButtonBox::StandardButton which) {
    QDialogButtonBox box(which);
    return box.button(which)->text();
}

// The standard buttons and the folder chooser of the tool read in Chinese, and in English without the
// translations (so the check cannot pass by accident).
TEST(ChineseTranslations, StandardButtonsAndTheFolderChooser) {
    ASSERT_EQ(buttonText(QDialogButtonBox::Ok), "OK");
    QTranslator *translator = installChineseTranslations(*qApp);
    ASSERT_NE(translator, nullptr) << "qtbase_zh_CN.qm is missing (Debian package qt6-translations-l10n)";
    EXPECT_EQ(buttonText(QDialogButtonBox::Ok), QString::fromUtf8("确定"));
    EXPECT_EQ(buttonText(QDialogButtonBox::Cancel), QString::fromUtf8("取消"));

    QFileDialog chooser;
    chooser.setOption(QFileDialog::DontUseNativeDialog);
    chooser.setFileMode(QFileDialog::Directory);
    QStringList labels;
    for (const QLabel *label : chooser.findChildren<QLabel *>())
        labels << label->text();
    EXPECT_FALSE(labels.contains(QStringLiteral("Look in:"))) << labels.join(" | ").toStdString();
    EXPECT_TRUE(labels.contains(QString::fromUtf8("查找范围："))) << labels.join(" | ").toStdString();

    QCoreApplication::removeTranslator(translator);
    delete translator;
    EXPECT_EQ(buttonText(QDialogButtonBox::Ok), "OK");
}

} // namespace
} // namespace dravex
