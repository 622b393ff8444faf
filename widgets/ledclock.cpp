#include "widgets/ledclock.h"

#include <QPainter>

namespace {

using namespace sevensegment;

// clang-format off
constexpr std::array<quint8, 10> kDigits = {
    kSegA | kSegB | kSegC | kSegD | kSegE | kSegF,          // 0
    kSegB | kSegC,                                          // 1
    kSegA | kSegB | kSegG | kSegE | kSegD,                  // 2
    kSegA | kSegB | kSegG | kSegC | kSegD,                  // 3
    kSegF | kSegG | kSegB | kSegC,                          // 4
    kSegA | kSegF | kSegG | kSegC | kSegD,                  // 5
    kSegA | kSegF | kSegG | kSegE | kSegC | kSegD,          // 6
    kSegA | kSegB | kSegC,                                  // 7
    kSegA | kSegB | kSegC | kSegD | kSegE | kSegF | kSegG,  // 8
    kSegA | kSegB | kSegC | kSegD | kSegF | kSegG,          // 9
};
// clang-format on

// A colon takes a narrow cell of its own between the pairs; the digits need no point.
constexpr qreal kColonWidth = 5.0;
constexpr qreal kRowWidth = 6 * kBodyWidth + 2 * kColonWidth;

qreal digitLeft(int position) {
    return position * kBodyWidth + (position / 2) * kColonWidth;
}

}  // namespace

LedClock::LedClock(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void LedClock::setHours(int hours) {
    setTime(hours, minutes_, seconds_);
}

void LedClock::setMinutes(int minutes) {
    setTime(hours_, minutes, seconds_);
}

void LedClock::setSeconds(int seconds) {
    setTime(hours_, minutes_, seconds);
}

void LedClock::setTime(int hours, int minutes, int seconds) {
    hours = qBound(0, hours, 23);
    minutes = qBound(0, minutes, 59);
    seconds = qBound(0, seconds, 59);
    if (hours == hours_ && minutes == minutes_ && seconds == seconds_)
        return;
    hours_ = hours;
    minutes_ = minutes;
    seconds_ = seconds;
    update();
}

quint8 LedClock::digitSegments(int position) const {
    const std::array<int, 3> pairs = {hours_, minutes_, seconds_};
    if (position < 0 || position >= 6)
        return 0;
    const int pair = pairs[position / 2];
    return kDigits[position % 2 == 0 ? pair / 10 : pair % 10];
}

void LedClock::setColors(const SegmentColors& colors) {
    colors_ = colors;
    update();
}

QSize LedClock::sizeHint() const {
    return QSize(qRound(kRowWidth * 2), qRound(kCellHeight * 2));
}

QSize LedClock::minimumSizeHint() const {
    return QSize(qRound(kRowWidth), qRound(kCellHeight));
}

void LedClock::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), colors_.panel);
    painter.setRenderHint(QPainter::Antialiasing);
    const QTransform row = rowTransform(QRectF(rect()), kRowWidth);
    for (int position = 0; position < 6; ++position) {
        painter.setTransform(QTransform::fromTranslate(digitLeft(position), 0) * row);
        paintDigit(painter, digitSegments(position), colors_, false);
    }
    painter.setTransform(row);
    for (int colon = 1; colon <= 2; ++colon) {
        // Centred in the gap between the bodies of the digits either side.
        const qreal x = digitLeft(2 * colon) - kColonWidth / 2;
        paintDot(painter, {x, kCellHeight * 0.36}, true, colors_);
        paintDot(painter, {x, kCellHeight * 0.64}, true, colors_);
    }
}
