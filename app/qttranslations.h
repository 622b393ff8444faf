#pragma once
#include <QString>

class QCoreApplication;

// Qt's own Russian texts for the standard buttons and dialogs ("ОК", "Отмена"), so that they
// read like the rest of the window. Returns false (and changes nothing) when the translation
// files are not installed. `directory` defaults to Qt's translations folder.
bool InstallQtTranslations(QCoreApplication& app, const QString& directory = {});
