#pragma once
// The windows' texts in the user's language. The program's own translation
// (zorezaz_<language>.qm) comes from the build tree when it runs from there,
// else from <prefix>/share/zorezaz/translations; Qt's own (standard buttons,
// file dialogs) comes along with it. English needs none: it is the language
// the texts are written in.

#include <memory>
#include <vector>

#include <QLocale>
#include <QStringList>

class QTranslator;

class TTranslations {
public:
    TTranslations();
    // Takes the installed translations away again.
    ~TTranslations();
    TTranslations(const TTranslations&) = delete;
    TTranslations& operator=(const TTranslations&) = delete;

    // Goes through `languages` in order of preference ("de-AT", "fr", as
    // QLocale::uiLanguages gives them) and installs the first translation
    // found in one of `folders`, by the full name or the language alone.
    // English, met first, means the original texts. True when a translation
    // was installed; windows created afterwards show its texts.
    bool Install(const QStringList& languages, const QStringList& folders = DefaultFolders());
    bool Install(const QLocale& locale, const QStringList& folders = DefaultFolders())
    {
        return Install(locale.uiLanguages(), folders);
    }

    // Beside the program in the build tree, then the installed data folder
    // relative to the program, then the one it was built for.
    static QStringList DefaultFolders();

private:
    std::vector<std::unique_ptr<QTranslator>> FInstalled;
};
