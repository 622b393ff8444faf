// The built-in skins: each one applies, looks different from the others and stays legible.
#include <QApplication>
#include <QPushButton>
#include <QtTest>
#include <cmath>

#include "app/skins.h"

namespace {

QString look(const QPalette& p) {
    QStringList parts;
    for (QPalette::ColorRole role :
         {QPalette::Window, QPalette::Button, QPalette::Base, QPalette::Text, QPalette::Highlight})
        parts << p.color(role).name();
    return parts.join(u' ');
}

}  // namespace

class SkinsTest : public QObject {
    Q_OBJECT
  private slots:
    void namesAsOffered();
    void everySkinIsItsOwnLegibleLook();
    void unknownOrEmptyNameChangesNothing();
};

void SkinsTest::namesAsOffered() {
    QCOMPARE(SkinNames(),
             (QStringList{"Beijing (internal)", "BlueIce (internal)", "DarkGlass (internal)",
                          "Desert (internal)", "FalloutStyle (internal)", "Golden (internal)",
                          "Ledenets (internal)", "Neutral (internal)", "NextAlpha (internal)",
                          "SoapSky - Lime (internal)", "Terminal4bit (internal)",
                          "WMP11 (internal)", "Wood (internal)"}));
}

void SkinsTest::everySkinIsItsOwnLegibleLook() {
    QPushButton button(QStringLiteral("Читать"));
    QSet<QString> looks;
    for (const QString& name : SkinNames()) {
        QVERIFY2(ApplySkin(name), qPrintable(name));
        QVERIFY(!qApp->styleSheet().isEmpty());
        const QPalette p = QApplication::palette();
        // Widgets that exist already follow.
        QCoreApplication::processEvents();
        QCOMPARE(button.palette().color(QPalette::Button), p.color(QPalette::Button));
        looks.insert(look(p));

        const struct {
            QPalette::ColorRole fore, back;
        } pairs[] = {{QPalette::WindowText, QPalette::Window},
                     {QPalette::ButtonText, QPalette::Button},
                     {QPalette::Text, QPalette::Base},
                     {QPalette::HighlightedText, QPalette::Highlight}};
        for (const auto& pair : pairs) {
            const double c = ContrastRatio(p.color(pair.fore), p.color(pair.back));
            QVERIFY2(c >= 4.5, qPrintable(QStringLiteral("%1: roles %2/%3 contrast %4")
                                              .arg(name)
                                              .arg(pair.fore)
                                              .arg(pair.back)
                                              .arg(c)));
        }
        // Disabled text is told apart from enabled text, yet still readable.
        const double off = ContrastRatio(p.color(QPalette::Disabled, QPalette::WindowText),
                                         p.color(QPalette::Window));
        QVERIFY2(off >= 1.5 &&
                     off < ContrastRatio(p.color(QPalette::WindowText), p.color(QPalette::Window)),
                 qPrintable(name));
    }
    QCOMPARE(looks.size(), SkinNames().size());
}

void SkinsTest::unknownOrEmptyNameChangesNothing() {
    QVERIFY(ApplySkin(QStringLiteral("Wood (internal)")));
    const QString before = look(QApplication::palette());
    const QString sheet = qApp->styleSheet();
    for (const QString& name :
         {QString(), QStringLiteral("Wood"), QStringLiteral("wood (internal)")}) {
        QVERIFY(!ApplySkin(name));
        QCOMPARE(look(QApplication::palette()), before);
        QCOMPARE(qApp->styleSheet(), sheet);
    }
}

QTEST_MAIN(SkinsTest)
#include "gui_skins.moc"
