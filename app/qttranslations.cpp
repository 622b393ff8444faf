#include "app/qttranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

bool InstallQtTranslations(QCoreApplication& app, const QString& directory) {
    const QString dir =
        directory.isEmpty() ? QLibraryInfo::path(QLibraryInfo::TranslationsPath) : directory;
    auto* translator = new QTranslator(&app);
    // "qtbase" carries the texts of the widgets and dialogs the program uses.
    if (!translator->load(QLocale(QLocale::Russian), QStringLiteral("qtbase"), QStringLiteral("_"),
                          dir)) {
        delete translator;
        return false;
    }
    app.installTranslator(translator);
    return true;
}
