#include "platform/ui/qt_translation.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <memory>

namespace platform::ui {
namespace {

// Words of Qt's file dialog that its catalogue leaves in English.
class CatalogueSupplement final : public QTranslator {
  public:
    using QTranslator::QTranslator;
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* source, const char* disambiguation,
                      int n) const override {
        (void)disambiguation;
        (void)n;
        if (qstrcmp(context, "QAbstractFileIconProvider") != 0)
            return {};
        static const struct {
            const char* source;
            const char* chinese;
        } kWords[] = {
            {"Drive", "驱动器"}, {"Folder", "文件夹"}, {"Alias", "替身"}, {"Shortcut", "快捷方式"}};
        for (const auto& word : kWords)
            if (qstrcmp(source, word.source) == 0)
                return QString::fromUtf8(word.chinese);
        return {};
    }
};

} // namespace

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
        // Installed last, asked first; what it does not know goes on to the catalogue.
        QCoreApplication::installTranslator(new CatalogueSupplement(&app));
        // Dates, sizes and the like in Qt's dialogs follow the same language.
        QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
        return true;
    }
    return false;
}

} // namespace platform::ui
