// The line goes away under automatic polling and comes back at the same path: the operator is
// told once, and polling finds the device again by itself.
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <memory>

#include "app/inifile.h"
#include "app/tform1.h"
#include "link/qtserialport.h"
#include "link/timer.h"
#include "messagebox_seam.h"
#include "simprocess.h"

class UnplugTest : public QObject {
    Q_OBJECT
  private slots:
    void lineRemovedAndRecreatedUnderPolling();
};

void UnplugTest::lineRemovedAndRecreatedUnderPolling() {
    SimProcess sim;
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    QFile ini(QStringLiteral("Tervex.ini"));
    QVERIFY(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ini.write("[Порты]\nCOM1=" + sim.path().toUtf8() + "\n");
    ini.close();

    MessageRecorder messages;
    SystemClock clock;
    auto form = std::make_unique<TForm1>(
        new QtSerialPort([](int n) { return IniFile().portOverride(n); }), &clock);
    auto label = [&](const char* name) {
        return form->findChild<QLabel*>(QString::fromLatin1(name))->text();
    };
    auto field = [&](const char* name) {
        return form->findChild<QLineEdit*>(QString::fromLatin1(name))->text();
    };
    form->findChild<QCheckBox*>(QStringLiteral("CheckBoxAuto"))->setChecked(true);
    form->findChild<QPushButton*>(QStringLiteral("BitBtnStart"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(!field("EditUa").isEmpty(), 5000);

    // The line is gone: one message naming the device, then silence.
    sim.stop();
    QTRY_COMPARE_WITH_TIMEOUT(messages.messages.size(), 1, 5000);
    QVERIFY2(messages.messages.first().contains(sim.path()), qPrintable(messages.messages.first()));
    QTest::qWait(1500);
    QCOMPARE(messages.messages.size(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(field("EditUa").isEmpty(), 5000);

    // Back at the same path (a new pseudo-terminal behind it): polling resumes on its own.
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    const QString totalBefore = label("StaticTextAllEnquiry");
    QTRY_VERIFY_WITH_TIMEOUT(!field("EditUa").isEmpty(), 10000);
    QVERIFY(label("StaticTextAllEnquiry") != totalBefore);
    QCOMPARE(messages.messages.size(), 1);

    // Closing the window while polling ends it without waiting for the line.
    form->close();
    form.reset();
}

QTEST_MAIN(UnplugTest)
#include "wire_unplug.moc"
