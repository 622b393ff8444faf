// The device clock block: decoding, the device's text, the write words, and the difference to
// the computer's clock taken as wall-clock readings.
#include <QTimeZone>
#include <QtTest>

#include "settings/deviceclock.h"

using namespace deviceclock;

namespace {

ClockWords words(int year, int month, int day, int hours, int minutes, int seconds) {
    ClockWords w;
    w.year = quint16(year);
    w.month = quint16(month);
    w.day = quint16(day);
    w.hours = quint16(hours);
    w.minutes = quint16(minutes);
    w.seconds = quint16(seconds);
    return w;
}

}  // namespace

class DeviceClockTest : public QObject {
    Q_OBJECT
  private slots:
    void decodeAndText();
    void encode();
    void difference_data();
    void difference();
    void noDifferenceForInvalidWords_data();
    void noDifferenceForInvalidWords();
    void differenceIgnoresTheComputersZone();
    void computerText();
};

void DeviceClockTest::decodeAndText() {
    // Seven words from register 2304, high byte first: s, min, h, day, month, year, spare.
    const QByteArray data = QByteArray::fromHex(
        "0002"
        "0007"
        "0009"
        "0005"
        "0003"
        "07DA"
        "FFFF");
    const ClockWords w = DecodeClockBlock(reinterpret_cast<const quint8*>(data.constData()));
    QCOMPARE(w.seconds, quint16(2));
    QCOMPARE(w.minutes, quint16(7));
    QCOMPARE(w.hours, quint16(9));
    QCOMPARE(w.day, quint16(5));
    QCOMPARE(w.month, quint16(3));
    QCOMPARE(w.year, quint16(2010));
    QCOMPARE(DeviceClockText(w), QStringLiteral("05.03.2010 09:07:02"));

    // Shown as sent, even when no such date exists.
    QCOMPARE(DeviceClockText(words(7, 13, 0, 24, 100, 5)), QStringLiteral("00.13.07 24:100:05"));
}

void DeviceClockTest::encode() {
    const std::array<quint16, 6> expected = {2, 7, 9, 5, 3, 2010};
    QCOMPARE(EncodeClockBlock(2, 7, 9, QDate(2010, 3, 5)), expected);
}

void DeviceClockTest::difference_data() {
    QTest::addColumn<QDateTime>("computer");
    QTest::addColumn<QDateTime>("device");
    QTest::addColumn<QString>("text");

    const QDateTime base(QDate(2010, 3, 5), QTime(9, 8, 32));
    QTest::newRow("90 s behind") << base << base.addSecs(-90) << "0ч  1м  30с";
    QTest::newRow("30 s ahead: no sign") << base << base.addSecs(30) << "0ч  0м  30с";
    QTest::newRow("a day and an hour behind: no days")
        << base << base.addSecs(-25 * 3600) << "1ч  0м  0с";
    QTest::newRow("equal") << base << base << "0ч  0м  0с";
    QTest::newRow("over midnight")
        << QDateTime(QDate(2010, 3, 6), QTime(0, 0, 10))
        << QDateTime(QDate(2010, 3, 5), QTime(23, 59, 50)) << "0ч  0м  20с";
    QTest::newRow("fractions of a second cut")
        << base.addMSecs(700) << base.addSecs(-90) << "0ч  1м  30с";
    QTest::newRow("years apart") << QDateTime(QDate(2024, 1, 1), QTime(12, 0, 0))
                                 << QDateTime(QDate(2010, 3, 5), QTime(9, 7, 2)) << "2ч  52м  58с";
}

void DeviceClockTest::difference() {
    QFETCH(QDateTime, computer);
    QFETCH(QDateTime, device);
    QFETCH(QString, text);
    const ClockWords w =
        words(device.date().year(), device.date().month(), device.date().day(),
              device.time().hour(), device.time().minute(), device.time().second());
    const std::optional<ClockDifference> d = DifferenceFrom(computer, w);
    QVERIFY(d);
    QCOMPARE(DifferenceText(*d), text);
}

void DeviceClockTest::noDifferenceForInvalidWords_data() {
    QTest::addColumn<int>("year");
    QTest::addColumn<int>("month");
    QTest::addColumn<int>("day");
    QTest::addColumn<int>("hours");
    QTest::addColumn<int>("minutes");
    QTest::addColumn<int>("seconds");
    QTest::newRow("day 0") << 2010 << 3 << 0 << 9 << 7 << 2;
    QTest::newRow("month 13") << 2010 << 13 << 5 << 9 << 7 << 2;
    QTest::newRow("30 February") << 2010 << 2 << 30 << 9 << 7 << 2;
    QTest::newRow("year 0") << 0 << 3 << 5 << 9 << 7 << 2;
    QTest::newRow("hour 24") << 2010 << 3 << 5 << 24 << 0 << 0;
    QTest::newRow("minute 60") << 2010 << 3 << 5 << 9 << 60 << 2;
    QTest::newRow("second 60") << 2010 << 3 << 5 << 9 << 7 << 60;
}

void DeviceClockTest::noDifferenceForInvalidWords() {
    QFETCH(int, year);
    QFETCH(int, month);
    QFETCH(int, day);
    QFETCH(int, hours);
    QFETCH(int, minutes);
    QFETCH(int, seconds);
    const ClockWords w = words(year, month, day, hours, minutes, seconds);
    QVERIFY(!DeviceWallClock(w));
    QVERIFY(!DifferenceFrom(QDateTime(QDate(2010, 3, 5), QTime(9, 7, 2)), w));
}

// The device keeps wall-clock time: on the night the computer's zone moves its clocks, the
// difference is what the two faces show, not the time that passed.
void DeviceClockTest::differenceIgnoresTheComputersZone() {
    const QTimeZone berlin("Europe/Berlin");
    if (!berlin.isValid())
        QSKIP("no time-zone data for Europe/Berlin");
    const QDateTime computer(QDate(2021, 3, 28), QTime(3, 30, 0), berlin);
    const std::optional<ClockDifference> d = DifferenceFrom(computer, words(2021, 3, 28, 1, 30, 0));
    QVERIFY(d);
    QCOMPARE(DifferenceText(*d), QStringLiteral("2ч  0м  0с"));

    const QDateTime utc(QDate(2010, 3, 5), QTime(9, 8, 32), Qt::UTC);
    QCOMPARE(
        DifferenceText(*DifferenceFrom(utc.toOffsetFromUtc(5 * 3600), words(2010, 3, 5, 14, 8, 2))),
        QStringLiteral("0ч  0м  30с"));
}

void DeviceClockTest::computerText() {
    const QDateTime t(QDate(2010, 3, 5), QTime(9, 7, 2, 450));
    QCOMPARE(ComputerClockText(t, QLocale(QLocale::Russian, QLocale::Russia)),
             QStringLiteral("05.03.2010 09:07:02"));
    QCOMPARE(ComputerClockText(t, QLocale(QLocale::English, QLocale::UnitedStates)),
             QStringLiteral("3/5/10 9:07:02 AM"));
}

QTEST_APPLESS_MAIN(DeviceClockTest)
#include "unit_deviceclock.moc"
