#pragma once
#include <QColor>
#include <QTransform>
#include <QWidget>

class QPainter;

// Colours of an LED display: lit and unlit segments on a panel.
struct SegmentColors {
    QColor lit{0x3C, 0xFF, 0x3C};
    QColor unlit{0x34, 0x38, 0x34};
    QColor panel{0x1E, 0x1F, 0x1E};
};

// Drawing shared by the digit and the clock face. A digit is drawn in a cell of
// kCellWidth x kCellHeight units, its decimal point inside the cell right of the digit; a row
// of cells is mapped onto a widget by rowTransform, which keeps the proportions and gives the
// digits the slant of an LED display.
namespace sevensegment {
// Bits of the drive byte.
constexpr quint8 kSegA = 0x01;  // top
constexpr quint8 kSegG = 0x02;  // middle
constexpr quint8 kSegD = 0x04;  // bottom
constexpr quint8 kSegF = 0x08;  // upper left
constexpr quint8 kSegB = 0x10;  // upper right
constexpr quint8 kSegE = 0x20;  // lower left
constexpr quint8 kSegC = 0x40;  // lower right
constexpr quint8 kSegPoint = 0x80;

constexpr qreal kCellWidth = 16.0;
constexpr qreal kCellHeight = 24.0;

QTransform rowTransform(const QRectF& target, qreal unitsWide);
// Paints one digit in cell units with its top left corner at the origin; without its point, the
// digit needs only kBodyWidth units.
void paintDigit(QPainter& painter, quint8 segments, const SegmentColors& colors,
                bool withPoint = true);
constexpr qreal kBodyWidth = 13.0;
// A round lamp such as the decimal point or a colon dot, in cell units.
void paintDot(QPainter& painter, const QPointF& centre, bool lit, const SegmentColors& colors);
}  // namespace sevensegment

// One seven-segment digit driven by a byte of segment bits: bit 0 top (a), 1 middle (g),
// 2 bottom (d), 3 upper left (f), 4 upper right (b), 5 lower left (e), 6 lower right (c),
// 7 the decimal point. It draws at whatever size the layout gives it.
class SevenSegmentDigit : public QWidget {
    Q_OBJECT
  public:
    explicit SevenSegmentDigit(QWidget* parent = nullptr);

    quint8 segments() const { return segments_; }
    void setSegments(quint8 segments);

    const SegmentColors& colors() const { return colors_; }
    void setColors(const SegmentColors& colors);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    quint8 segments_ = 0;
    SegmentColors colors_;
};
