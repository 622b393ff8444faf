#include "widgets/sevensegment.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <algorithm>
#include <array>

namespace sevensegment {

namespace {

// Cell geometry in units. The digit body spans 10 x 20 units; a segment is 2 units thick with
// pointed ends, a small gap between neighbours, as on a real display.
constexpr qreal kLeft = 1.5;
constexpr qreal kRight = 11.5;
constexpr qreal kTop = 2.0;
constexpr qreal kBottom = 22.0;
constexpr qreal kHalf = 1.0;  // half the segment thickness
constexpr qreal kGap = 0.3;
constexpr qreal kSlant = 0.08;  // horizontal shift per unit of height
constexpr qreal kDotRadius = 1.15;
constexpr QPointF kPoint{13.3, kBottom - kHalf};

constexpr qreal kXl = kLeft + kHalf;
constexpr qreal kXr = kRight - kHalf;
constexpr qreal kYt = kTop + kHalf;
constexpr qreal kYm = (kTop + kBottom) / 2;
constexpr qreal kYb = kBottom - kHalf;

QPolygonF horizontal(qreal y) {
    const qreal x0 = kXl + kGap;
    const qreal x1 = kXr - kGap;
    return QPolygonF({{x0, y},
                      {x0 + kHalf, y - kHalf},
                      {x1 - kHalf, y - kHalf},
                      {x1, y},
                      {x1 - kHalf, y + kHalf},
                      {x0 + kHalf, y + kHalf}});
}

QPolygonF vertical(qreal x, qreal top, qreal bottom) {
    const qreal y0 = top + kGap;
    const qreal y1 = bottom - kGap;
    return QPolygonF({{x, y0},
                      {x + kHalf, y0 + kHalf},
                      {x + kHalf, y1 - kHalf},
                      {x, y1},
                      {x - kHalf, y1 - kHalf},
                      {x - kHalf, y0 + kHalf}});
}

// In bit order: a, g, d, f, b, e, c.
const std::array<QPolygonF, 7>& segmentShapes() {
    static const std::array<QPolygonF, 7> shapes = {
        horizontal(kYt),         horizontal(kYm),         horizontal(kYb),
        vertical(kXl, kYt, kYm), vertical(kXr, kYt, kYm), vertical(kXl, kYm, kYb),
        vertical(kXr, kYm, kYb),
    };
    return shapes;
}

void fillLit(QPainter& painter, const QPainterPath& path, const SegmentColors& colors) {
    // A soft rim of the lit colour makes the segment glow against the panel.
    QColor glow = colors.lit;
    glow.setAlpha(70);
    painter.setPen(QPen(glow, 0.9, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(colors.lit);
    painter.drawPath(path);
}

}  // namespace

QTransform rowTransform(const QRectF& target, qreal unitsWide) {
    const qreal scale = std::min(target.width() / unitsWide, target.height() / kCellHeight);
    const qreal dx = target.x() + (target.width() - unitsWide * scale) / 2;
    const qreal dy = target.y() + (target.height() - kCellHeight * scale) / 2;
    // The slant pivots on the bottom edge, so the bottoms of a row stay in their cells.
    const QTransform slant(1, 0, -kSlant, 1, kSlant * kCellHeight, 0);
    return slant * QTransform::fromScale(scale, scale) * QTransform::fromTranslate(dx, dy);
}

void paintDigit(QPainter& painter, quint8 segments, const SegmentColors& colors, bool withPoint) {
    QPainterPath lit;
    QPainterPath unlit;
    for (int bit = 0; bit < 7; ++bit) {
        const QPolygonF& shape = segmentShapes()[bit];
        (segments & (1u << bit) ? lit : unlit).addPolygon(shape);
    }
    lit.setFillRule(Qt::WindingFill);
    unlit.setFillRule(Qt::WindingFill);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colors.unlit);
    painter.drawPath(unlit);
    if (!lit.isEmpty())
        fillLit(painter, lit, colors);
    if (withPoint)
        paintDot(painter, kPoint, segments & kSegPoint, colors);
}

void paintDot(QPainter& painter, const QPointF& centre, bool lit, const SegmentColors& colors) {
    QPainterPath dot;
    dot.addEllipse(centre, kDotRadius, kDotRadius);
    if (lit) {
        fillLit(painter, dot, colors);
    } else {
        painter.setPen(Qt::NoPen);
        painter.setBrush(colors.unlit);
        painter.drawPath(dot);
    }
}

}  // namespace sevensegment

SevenSegmentDigit::SevenSegmentDigit(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void SevenSegmentDigit::setSegments(quint8 segments) {
    if (segments == segments_)
        return;
    segments_ = segments;
    update();
}

void SevenSegmentDigit::setColors(const SegmentColors& colors) {
    colors_ = colors;
    update();
}

QSize SevenSegmentDigit::sizeHint() const {
    return QSize(qRound(sevensegment::kCellWidth * 2), qRound(sevensegment::kCellHeight * 2));
}

QSize SevenSegmentDigit::minimumSizeHint() const {
    return QSize(qRound(sevensegment::kCellWidth), qRound(sevensegment::kCellHeight));
}

void SevenSegmentDigit::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), colors_.panel);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setTransform(sevensegment::rowTransform(QRectF(rect()), sevensegment::kCellWidth));
    sevensegment::paintDigit(painter, segments_, colors_);
}
