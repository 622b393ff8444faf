#pragma once
#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QtGlobal>
#include <array>
#include <optional>

// The transducer's real-time clock: seven registers from 2304 (seconds, minutes, hours, day,
// month, full year, and one the program does not use), read together; the first six are
// written together.
namespace deviceclock {

constexpr int kReadWords = 7;
constexpr int kWriteWords = 6;

struct ClockWords {
    quint16 seconds = 0;
    quint16 minutes = 0;
    quint16 hours = 0;
    quint16 day = 0;
    quint16 month = 0;
    quint16 year = 0;
};

// `data` is a read reply's data area (after address, function and byte count), at least six
// words long.
ClockWords DecodeClockBlock(const quint8* data);

// The words of a write, in register order.
std::array<quint16, kWriteWords> EncodeClockBlock(int seconds, int minutes, int hours,
                                                  const QDate& date);

// day.month.year hours:minutes:seconds, each number with at least two digits:
// "05.03.2010 09:07:02". Shown as the device sent it, also when it is no valid date.
QString DeviceClockText(const ClockWords& w);

// The device's date and time as a wall-clock reading (no time zone), or nullopt when the words
// form no valid date and time.
std::optional<QDateTime> DeviceWallClock(const ClockWords& w);

// How far the device's clock is from the computer's, without sign and without whole days.
struct ClockDifference {
    int hours = 0;
    int minutes = 0;
    int seconds = 0;
};

// Compares the two readings as wall-clock times, so that a time-zone offset or a daylight-
// saving change of the computer does not enter the difference; nullopt when the words form no
// valid date and time.
std::optional<ClockDifference> DifferenceFrom(const QDateTime& computerLocal, const ClockWords& w);

// "1ч  0м  30с": the numbers unpadded.
QString DifferenceText(const ClockDifference& d);

// The computer's date and time as the system shows it: the short date and the long time
// format of `locale`, without a time-zone name.
QString ComputerClockText(const QDateTime& t, const QLocale& locale = QLocale());

}  // namespace deviceclock
