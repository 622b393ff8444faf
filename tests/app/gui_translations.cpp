#include <QApplication>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "app/qttranslations.h"

// Qt's standard buttons read in Russian once the translations are installed, and a folder
// without them changes nothing.
class TranslationsTest : public QObject {
    Q_OBJECT
  private slots:
    void missingFolderChangesNothing() {
        QTemporaryDir empty;
        QVERIFY(!InstallQtTranslations(*qApp, empty.path()));
        QDialogButtonBox box(QDialogButtonBox::Cancel);
        QCOMPARE(box.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Cancel"));
    }
    void standardButtonsInRussian() {
        const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
        if (!QFileInfo::exists(dir + QStringLiteral("/qtbase_ru.qm")))
            QSKIP("Qt's Russian translations are not installed");
        QVERIFY(InstallQtTranslations(*qApp));
        QDialogButtonBox box(QDialogButtonBox::Cancel);
        QCOMPARE(box.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Отмена"));
    }
};

QTEST_MAIN(TranslationsTest)
#include "gui_translations.moc"
