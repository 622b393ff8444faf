#pragma once
#include <QWidget>
#include <array>

#include "widgets/sevensegment.h"

// An LED clock face: hours, minutes and seconds as HH:MM:SS in seven-segment digits, drawn
// like SevenSegmentDigit and scaled to the widget.
class LedClock : public QWidget {
    Q_OBJECT
  public:
    explicit LedClock(QWidget* parent = nullptr);

    int hours() const { return hours_; }
    int minutes() const { return minutes_; }
    int seconds() const { return seconds_; }
    // Values outside 0-23 and 0-59 are held to the nearest end of the range.
    void setHours(int hours);
    void setMinutes(int minutes);
    void setSeconds(int seconds);
    void setTime(int hours, int minutes, int seconds);

    // The drive byte of digit position 0-5, left to right.
    quint8 digitSegments(int position) const;

    const SegmentColors& colors() const { return colors_; }
    void setColors(const SegmentColors& colors);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    int hours_ = 0;
    int minutes_ = 0;
    int seconds_ = 0;
    SegmentColors colors_;
};
