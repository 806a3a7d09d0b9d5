#include "app/window/translations.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QTranslator>

TTranslations::TTranslations() = default;

TTranslations::~TTranslations()
{
    for (const auto& t : FInstalled) QCoreApplication::removeTranslator(t.get());
}

bool TTranslations::Install(const QStringList& languages, const QStringList& folders)
{
    for (const QString& language : languages) {
        const QLocale locale(language);
        if (locale.language() == QLocale::English) return false;
        // "de_AT", then "de".
        const QString full = locale.name();
        QStringList codes = {full};
        if (full.contains(QLatin1Char('_'))) codes << full.section(QLatin1Char('_'), 0, 0);
        for (const QString& code : codes)
            for (const QString& folder : folders) {
                const QString file = folder + QStringLiteral("/zorezaz_") + code + QStringLiteral(".qm");
                if (!QFileInfo::exists(file)) continue;
                auto own = std::make_unique<QTranslator>();
                if (!own->load(file)) continue;
                QCoreApplication::installTranslator(own.get());
                FInstalled.push_back(std::move(own));
                // Qt's own texts in the same language, where the system has them.
                auto qt = std::make_unique<QTranslator>();
                if (qt->load(QStringLiteral("qtbase_") + code, QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
                    QCoreApplication::installTranslator(qt.get());
                    FInstalled.push_back(std::move(qt));
                }
                return true;
            }
    }
    return false;
}

QStringList TTranslations::DefaultFolders()
{
    const QString program = QCoreApplication::applicationDirPath();
    QStringList folders = {QDir::cleanPath(program + QStringLiteral("/../translations")),
                           QDir::cleanPath(program + QStringLiteral("/../share/zorezaz/translations"))};
#ifdef ZOREZAZ_DATADIR
    folders << QStringLiteral(ZOREZAZ_DATADIR "/zorezaz/translations");
#endif
    return folders;
}
