// The clock sub-page over a virtual serial line to tervex-sim: it reads the simulated device's
// running clock, sets it to a chosen date and time and back to the computer's time, and shows
// the difference each time.
#include <QCalendarWidget>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QtTest>
#include <memory>

#include "pagebench.h"
#include "settings/clockpage.h"
#include "settings/deviceclock.h"

namespace {

constexpr int kWaitMs = 10000;
const QString kWritten = QStringLiteral("Информация записана ");

struct Wire {
    WireBench bench;
    QObject timers;
    std::unique_ptr<ClockPage> page;

    bool start() {
        if (!bench.start({QStringLiteral("--log"), QStringLiteral("-")}))
            return false;
        bench.portSettings->applyStored();
        LinkTimer* timerClock = bench.clock.createTimer(&timers);
        timerClock->setInterval(1000);
        timerClock->setEnabled(true);
        page = std::make_unique<ClockPage>(bench.context(), timerClock);
        page->setLocale(QLocale(QLocale::Russian, QLocale::Russia));
        return true;
    }
    QString label(const char* name) {
        return page->findChild<QLabel*>(QLatin1String(name))->text();
    }
    template <typename T>
    T* find(const char* name) {
        return page->findChild<T*>(QLatin1String(name));
    }
    // Reads the clock and waits for the texts of the reply.
    bool read() {
        find<QLabel>("sLabelTimeRW")->clear();
        page->sBitBtnReadTimeClick();
        return QTest::qWaitFor([&] { return !label("sLabelTimeRW").isEmpty(); }, kWaitMs);
    }
    bool write() {
        page->sBitBtnWriteTimeClick();
        return QTest::qWaitFor([&] { return bench.messages.messages.contains(kWritten); }, kWaitMs);
    }
    // The shown difference in seconds, -1 when it is not one.
    int difference() {
        const QRegularExpressionMatch m =
            QRegularExpression(QStringLiteral("^(\\d+)ч  (\\d+)м  (\\d+)с$"))
                .match(label("sLabelDifTime"));
        if (!m.hasMatch())
            return -1;
        return m.captured(1).toInt() * 3600 + m.captured(2).toInt() * 60 + m.captured(3).toInt();
    }
};

// Seconds between two times of day, either way round, over midnight the short way.
int timeOfDayApart(int a, int b) {
    const int d = std::abs(a - b) % 86400;
    return std::min(d, 86400 - d);
}

}  // namespace

class ClockPageWireTest : public QObject {
    Q_OBJECT
  private slots:
    void readSetAndSetBack();
};

void ClockPageWireTest::readSetAndSetBack() {
    Wire w;
    QVERIFY2(w.start(), qPrintable(w.bench.sim.errorString()));

    // The simulated clock starts at the computer's time.
    QVERIFY(w.read());
    QVERIFY2(w.difference() >= 0 && w.difference() <= 2, qPrintable(w.label("sLabelDifTime")));
    QVERIFY(w.label("sLabelTimeRW")
                .startsWith(QDateTime::currentDateTime().toString(QStringLiteral("dd.MM.yyyy"))) ||
            QTime::currentTime().hour() == 0);

    // Set it to a fixed moment.
    w.find<QCalendarWidget>("sMonthCalendar")->setSelectedDate(QDate(2010, 3, 5));
    w.find<QSpinBox>("sSpinEditHour")->setValue(9);
    w.find<QSpinBox>("sSpinEditMin")->setValue(7);
    w.find<QSpinBox>("sSpinEditSek")->setValue(2);
    QVERIFY(w.write());
    QVERIFY(w.find<QPushButton>("sBitBtnWriteTime")->isEnabled());
    QVERIFY(w.read());
    QVERIFY2(w.label("sLabelTimeRW").startsWith(QStringLiteral("05.03.2010 09:07:0")),
             qPrintable(w.label("sLabelTimeRW")));
    const int shown = w.difference();
    const int expected = timeOfDayApart(QTime::currentTime().msecsSinceStartOfDay() / 1000,
                                        QTime(9, 7, 2).msecsSinceStartOfDay() / 1000);
    // Both readings moved on a little between the write and the check.
    QVERIFY2(shown >= 0 &&
                 (std::abs(shown - expected) <= 15 || std::abs(86400 - shown - expected) <= 15),
             qPrintable(w.label("sLabelDifTime") + QStringLiteral(" vs %1 s").arg(expected)));

    // Back to the computer's time through the follow mode.
    w.bench.messages.take();
    w.find<QCheckBox>("sCheckSaveCurrTime")->setChecked(true);
    const QDate today = QDate::currentDate();
    QTRY_COMPARE_WITH_TIMEOUT(w.find<QCalendarWidget>("sMonthCalendar")->selectedDate(), today,
                              kWaitMs);
    QVERIFY(w.write());
    QVERIFY(w.read());
    QVERIFY2(w.difference() >= 0 && w.difference() <= 3, qPrintable(w.label("sLabelDifTime")));

    // The writes went out as one block of six words at 2304.
    const QString log = QString::fromUtf8(w.bench.sim.standardError());
    QVERIFY2(
        log.contains(QLatin1String("rx 01 10 09 00 00 06 0C 00 02 00 07 00 09 00 05 00 03 07 DA")),
        qPrintable(log));
}

QTEST_MAIN(ClockPageWireTest)
#include "wire_clockpage.moc"
