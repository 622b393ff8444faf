#include "settings/deviceclock.h"

#include <QRegularExpression>
#include <cstdlib>

#include "measure/catalogue.h"

namespace deviceclock {

namespace {

constexpr qint64 kMsPerDay = 24LL * 3600 * 1000;

QString two(quint16 n) {
    return PadTo2(QString::number(n));
}

// A naive date and time: the same fields, read on one fixed scale.
QDateTime wallClock(const QDate& date, const QTime& time) {
    return QDateTime(date, time, Qt::UTC);
}

}  // namespace

ClockWords DecodeClockBlock(const quint8* data) {
    ClockWords w;
    w.seconds = WordAt(data, 0);
    w.minutes = WordAt(data, 1);
    w.hours = WordAt(data, 2);
    w.day = WordAt(data, 3);
    w.month = WordAt(data, 4);
    w.year = WordAt(data, 5);
    return w;
}

std::array<quint16, kWriteWords> EncodeClockBlock(int seconds, int minutes, int hours,
                                                  const QDate& date) {
    return {quint16(seconds),    quint16(minutes),      quint16(hours),
            quint16(date.day()), quint16(date.month()), quint16(date.year())};
}

QString DeviceClockText(const ClockWords& w) {
    return two(w.day) + QLatin1Char('.') + two(w.month) + QLatin1Char('.') + two(w.year) +
           QLatin1Char(' ') + two(w.hours) + QLatin1Char(':') + two(w.minutes) + QLatin1Char(':') +
           two(w.seconds);
}

std::optional<QDateTime> DeviceWallClock(const ClockWords& w) {
    const QDate date(w.year, w.month, w.day);
    const QTime time(w.hours, w.minutes, w.seconds);
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return wallClock(date, time);
}

std::optional<ClockDifference> DifferenceFrom(const QDateTime& computerLocal, const ClockWords& w) {
    const std::optional<QDateTime> device = DeviceWallClock(w);
    if (!device)
        return std::nullopt;
    const QDateTime computer = wallClock(computerLocal.date(), computerLocal.time());
    const qint64 ms = std::llabs(device->msecsTo(computer)) % kMsPerDay;
    ClockDifference d;
    d.hours = int(ms / 3'600'000);
    d.minutes = int(ms / 60'000 % 60);
    d.seconds = int(ms / 1000 % 60);
    return d;
}

QString DifferenceText(const ClockDifference& d) {
    return QStringLiteral("%1ч  %2м  %3с").arg(d.hours).arg(d.minutes).arg(d.seconds);
}

QString ComputerClockText(const QDateTime& t, const QLocale& locale) {
    static const QRegularExpression zone(QStringLiteral("\\s*\\bt+\\b"));
    QString timeFormat = locale.timeFormat(QLocale::LongFormat);
    timeFormat.remove(zone);
    return locale.toString(t.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           locale.toString(t.time(), timeFormat.trimmed());
}

}  // namespace deviceclock
