#include "platform/ui/qt_translation.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <memory>

namespace platform::ui {

bool LoadQtChinese(QCoreApplication& app, const QString& programFolder) {
    QStringList folders{QLibraryInfo::path(QLibraryInfo::TranslationsPath)};
    if (!programFolder.isEmpty())
        folders << QDir(programFolder).filePath(QStringLiteral("translations"));
    for (const QString& folder : folders) {
        auto translator = std::make_unique<QTranslator>();
        if (!translator->load(QString::fromLatin1(kQtChineseCatalogue), folder))
            continue;
        translator->setParent(&app);
        if (!QCoreApplication::installTranslator(translator.release()))
            return false;
        // Dates, sizes and the like in Qt's dialogs follow the same language.
        QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
        return true;
    }
    return false;
}

} // namespace platform::ui
