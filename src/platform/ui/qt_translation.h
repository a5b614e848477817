#pragma once
// Qt's own texts (the buttons and captions of the file, print and message
// dialogs) in Chinese, whatever the system's language: the whole program
// speaks Chinese.

#include <QString>

class QCoreApplication;

namespace platform::ui {

// Base name of Qt's simplified-Chinese catalogue.
inline constexpr const char* kQtChineseCatalogue = "qtbase_zh_CN";

// Installs Qt's simplified-Chinese catalogue on `app` (which owns it), looked
// for in Qt's translations folder, then in `programFolder`/translations (where
// an installation that brings its own Qt keeps it). True when installed; a
// missing catalogue leaves Qt's texts in English and is not reported.
bool LoadQtChinese(QCoreApplication& app, const QString& programFolder = QString());

} // namespace platform::ui
