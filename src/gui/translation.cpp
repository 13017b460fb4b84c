#include "translation.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>

namespace app {

QStringList qtTranslationFolders(const QString& appDir)
{
    return {QDir(appDir).filePath(QStringLiteral("translations")), QLibraryInfo::path(QLibraryInfo::TranslationsPath)};
}

std::unique_ptr<QTranslator> installQtTranslation(const QString& appDir)
{
    for (const QString& folder : qtTranslationFolders(appDir)) {
        auto translator = std::make_unique<QTranslator>();
        if (translator->load(QStringLiteral("qtbase_uk"), folder)) {
            QCoreApplication::installTranslator(translator.get());
            return translator;
        }
    }
    return nullptr;
}

} // namespace app
