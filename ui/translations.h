#pragma once

class QCoreApplication;
class QTranslator;

namespace dravex {

// Loads Qt's own Chinese texts (qtbase_zh_CN, from Qt's translations folder) into the application, so the
// standard buttons and dialogs read 确定, 取消, 查找范围… as the window's texts do. The translator belongs to
// the application; nothing when the file is missing, and the dialogs then stay in English.
QTranslator *installChineseTranslations(QCoreApplication &application);

} // namespace dravex
