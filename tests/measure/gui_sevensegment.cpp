// The seven-segment digit and the clock face, drawn offscreen: each bit of the drive byte
// lights its own segment, in the lit colour, at any size.
#include <QtTest>

#include "measure/indicator.h"
#include "widgets/ledclock.h"
#include "widgets/sevensegment.h"

namespace {

bool isLit(QRgb p) {
    return qGreen(p) > 180 && qRed(p) < 140 && qBlue(p) < 140;
}

struct LitArea {
    int count = 0;
    QRectF bounds;
    QPointF centroid;
};

LitArea litArea(const QImage& image) {
    LitArea area;
    qreal sx = 0;
    qreal sy = 0;
    int x0 = image.width(), y0 = image.height(), x1 = -1, y1 = -1;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (!isLit(image.pixel(x, y)))
                continue;
            ++area.count;
            sx += x;
            sy += y;
            x0 = std::min(x0, x);
            y0 = std::min(y0, y);
            x1 = std::max(x1, x);
            y1 = std::max(y1, y);
        }
    }
    if (area.count > 0) {
        area.bounds = QRectF(QPointF(x0, y0), QPointF(x1, y1));
        area.centroid = QPointF(sx / area.count, sy / area.count);
    }
    return area;
}

QImage render(QWidget& w, QSize size) {
    w.resize(size);
    return w.grab().toImage();
}

QImage render(quint8 segments, QSize size = {80, 120}) {
    SevenSegmentDigit digit;
    digit.setSegments(segments);
    return render(digit, size);
}

// Pixel columns in which two pictures differ, as fractions of the width.
std::pair<qreal, qreal> changedColumns(const QImage& a, const QImage& b) {
    int left = a.width(), right = -1;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (a.pixel(x, y) != b.pixel(x, y)) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
    }
    return {qreal(left) / a.width(), qreal(right) / a.width()};
}

}  // namespace

class SevenSegmentTest : public QObject {
    Q_OBJECT
  private slots:
    void eachBitLightsItsSegment_data();
    void eachBitLightsItsSegment();
    void darkAndScaled();
    void clockDigits();
};

void SevenSegmentTest::eachBitLightsItsSegment_data() {
    QTest::addColumn<int>("bit");
    QTest::addColumn<QRectF>("where");  // centroid within the seven segments' bounds, 0..1
    QTest::newRow("a top") << 0 << QRectF(QPointF(0.3, 0.0), QPointF(0.7, 0.15));
    QTest::newRow("g middle") << 1 << QRectF(QPointF(0.3, 0.4), QPointF(0.7, 0.6));
    QTest::newRow("d bottom") << 2 << QRectF(QPointF(0.3, 0.85), QPointF(0.7, 1.0));
    QTest::newRow("f upper left") << 3 << QRectF(QPointF(0.0, 0.1), QPointF(0.3, 0.5));
    QTest::newRow("b upper right") << 4 << QRectF(QPointF(0.7, 0.1), QPointF(1.0, 0.5));
    QTest::newRow("e lower left") << 5 << QRectF(QPointF(0.0, 0.5), QPointF(0.3, 0.9));
    QTest::newRow("c lower right") << 6 << QRectF(QPointF(0.7, 0.5), QPointF(1.0, 0.9));
    QTest::newRow("point right of the digit") << 7 << QRectF(QPointF(1.0, 0.85), QPointF(1.4, 1.0));
}

void SevenSegmentTest::eachBitLightsItsSegment() {
    QFETCH(int, bit);
    QFETCH(QRectF, where);
    const QRectF body = litArea(render(0x7F)).bounds;
    const QImage image = render(quint8(1u << bit));
    const LitArea lit = litArea(image);
    QVERIFY(lit.count > 0);
    const QPointF at((lit.centroid.x() - body.left()) / body.width(),
                     (lit.centroid.y() - body.top()) / body.height());
    QVERIFY2(where.contains(at),
             qPrintable(QStringLiteral("centroid at %1, %2").arg(at.x()).arg(at.y())));
    // The middle of a segment is the lit colour itself.
    QCOMPARE(QColor(image.pixel(lit.centroid.toPoint())), SegmentColors().lit);
}

void SevenSegmentTest::darkAndScaled() {
    QCOMPARE(litArea(render(0x00)).count, 0);
    QCOMPARE(litArea(render(kSignMinus)).count, litArea(render(segment::G)).count);

    // The digit fills the height it is given: no fixed-size picture.
    const LitArea small = litArea(render(0xFF, {40, 60}));
    const LitArea large = litArea(render(0xFF, {120, 180}));
    QVERIFY(small.bounds.height() > 0.8 * 60);
    QVERIFY(large.bounds.height() > 0.8 * 180);
    const qreal ratio = qreal(large.count) / small.count;
    QVERIFY2(ratio > 7.0 && ratio < 11.0, qPrintable(QString::number(ratio)));
    // A wide cell keeps the digit's proportions and centres it.
    const LitArea wide = litArea(render(0xFF, {300, 60}));
    QVERIFY(wide.bounds.width() < 1.2 * small.bounds.width());
    QVERIFY(qAbs(wide.bounds.center().x() - 150) < 10);
}

// The clock shows the same digits as the indicator, each pair in its place.
void SevenSegmentTest::clockDigits() {
    LedClock clock;
    clock.setTime(12, 34, 56);
    for (int i = 0; i < 6; ++i)
        QCOMPARE(clock.digitSegments(i), DigitPatterns[i + 1]);
    clock.setTime(7, 8, 9);
    QCOMPARE(clock.digitSegments(0), DigitPatterns[0]);
    QCOMPARE(clock.digitSegments(5), DigitPatterns[9]);
    clock.setTime(25, -1, 60);
    QCOMPARE(clock.hours(), 23);
    QCOMPARE(clock.minutes(), 0);
    QCOMPARE(clock.seconds(), 59);
    clock.setHours(0);
    clock.setMinutes(0);
    clock.setSeconds(0);

    const QSize size(264, 72);  // the row's own proportions: fractions of the width are of the row
    const QImage zero = render(clock, size);
    QVERIFY(litArea(zero).count > 0);
    clock.setHours(10);
    auto [left, right] = changedColumns(zero, render(clock, size));
    QVERIFY2(right < 0.2, qPrintable(QString::number(right)));
    clock.setTime(0, 0, 1);
    std::tie(left, right) = changedColumns(zero, render(clock, size));
    QVERIFY2(left > 0.8, qPrintable(QString::number(left)));
    clock.setTime(0, 40, 0);
    std::tie(left, right) = changedColumns(zero, render(clock, size));
    QVERIFY2(left > 0.3 && right < 0.55, qPrintable(QStringLiteral("%1 %2").arg(left).arg(right)));
}

QTEST_MAIN(SevenSegmentTest)
#include "gui_sevensegment.moc"
