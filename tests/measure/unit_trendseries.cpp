// The trend history: what a chart gets to draw from an hour of readings, and what it keeps.
#include <QtTest>
#include <cmath>
#include <limits>

#include "measure/trendseries.h"
#include "replies.h"

namespace {

constexpr qint64 kStart = 1'700'000'000'000;
constexpr float kNoInfo = std::numeric_limits<float>::quiet_NaN();

// Column of a time inside [t0, t1] drawn `width` pixels wide, as the decimation counts them.
int ColumnOf(qint64 t, qint64 t0, qint64 t1, int width) {
    return int(std::min<qint64>((t - t0) * width / (t1 - t0), width - 1));
}

int FiniteCount(const std::vector<TrendPoint>& line) {
    return int(
        std::count_if(line.begin(), line.end(), [](const TrendPoint& p) { return !p.isBreak(); }));
}

}  // namespace

class TrendSeriesTest : public QObject {
    Q_OBJECT
  private slots:
    void blockDecodesEveryParameterAndMarksNoInformation();
    void spikeSurvivesAndColumnsHoldAtMostTwoPointsInTimeOrder();
    void gapsBreakTheLineInsteadOfDrawingZero();
    void silenceInTheReadingsBreaksTheLine();
    void windowEdgesReachTheNeighbouringSamples();
    void olderThanTheSpanDropsAndMemoryStaysBounded();
    void clockSetBackStartsOver();
    void autoscale_data();
    void autoscale();
    void niceAxis_data();
    void niceAxis();
};

void TrendSeriesTest::blockDecodesEveryParameterAndMarksNoInformation() {
    QList<float> values;
    for (int k = 0; k < kParameterCount; ++k)
        values << float(k) + 0.5f;
    values[3] = kNoInfo;  // replies:: writes FF FF FF FF for a NaN
    const QByteArray frame = replies::measuredBlock(values);
    const QByteArray block = frame.mid(3, kMeasuredBlockDataLength);

    TrendSeries s;
    QVERIFY(!s.appendBlock(kStart, block.left(kMeasuredBlockDataLength - 1)));
    QCOMPARE(s.size(), 0);
    QVERIFY(s.appendBlock(kStart, block));
    QCOMPARE(s.size(), 1);
    QCOMPARE(s.valueAt(0, 0), 0.5f);
    QCOMPARE(s.valueAt(0, 28), 28.5f);
    QVERIFY(std::isnan(s.valueAt(0, 3)));

    // A real NaN or infinity pattern from the device cannot be drawn either: a gap as well.
    s.append(kStart + 100, {std::numeric_limits<float>::infinity(), 1.0f});
    QVERIFY(std::isnan(s.valueAt(1, 0)));
    QVERIFY(std::isnan(s.valueAt(1, 2)));  // not given: no information
    QCOMPARE(s.valueAt(1, 1), 1.0f);
}

void TrendSeriesTest::spikeSurvivesAndColumnsHoldAtMostTwoPointsInTimeOrder() {
    // An hour at 10 reads per second, a smooth 220 V with one 100 ms spike and one dip.
    TrendSeries s;
    const int n = 36'000;
    const int spikeAt = 12'345, dipAt = 30'001;
    for (int i = 0; i < n; ++i) {
        float v = 220.0f + 2.0f * float(std::sin(i / 3000.0));
        if (i == spikeAt)
            v = 300.0f;
        if (i == dipAt)
            v = 150.0f;
        s.append(kStart + 100LL * i, {v});
    }
    QCOMPARE(s.size(), n);

    const qint64 t0 = kStart, t1 = kStart + 100LL * (n - 1);
    for (int width : {800, 37, 1}) {
        const auto line = s.decimate(0, t0, t1, width);
        QVERIFY(FiniteCount(line) <= 2 * width);
        std::vector<int> perColumn(static_cast<size_t>(width), 0);
        qint64 previous = std::numeric_limits<qint64>::min();
        bool spike = false, dip = false;
        for (const TrendPoint& p : line) {
            QVERIFY2(p.timeMs >= previous, "points out of time order");
            previous = p.timeMs;
            QVERIFY(!p.isBreak());
            ++perColumn[size_t(ColumnOf(p.timeMs, t0, t1, width))];
            spike = spike || p.value == 300.0;
            dip = dip || p.value == 150.0;
        }
        QVERIFY(spike);
        QVERIFY(dip);
        for (int c : perColumn)
            QVERIFY(c <= 2);
    }
}

void TrendSeriesTest::gapsBreakTheLineInsteadOfDrawingZero() {
    TrendSeries s;
    // 1 s apart, 10 px over 10 s: one sample per column, so every gap is a column of its own.
    const float values[] = {1, 2, kNoInfo, kNoInfo, 5, 6, kNoInfo, 8, 9, 10, 11};
    for (int i = 0; i < 11; ++i)
        s.append(kStart + 1000LL * i, {values[i]});
    const auto line = s.decimate(0, kStart, kStart + 10'000, 10);
    QString shape;
    for (const TrendPoint& p : line)
        shape += p.isBreak() ? QStringLiteral("|") : QString::number(p.value);
    QCOMPARE(shape, QStringLiteral("12|56|891011"));

    // A gap sharing a column with values stays between them in time.
    const auto wide = s.decimate(0, kStart, kStart + 10'000, 2);
    shape.clear();
    for (const TrendPoint& p : wide)
        shape += p.isBreak() ? QStringLiteral("|") : QString::number(p.value);
    QCOMPARE(shape, QStringLiteral("1|56|11"));

    // Nothing but gaps: nothing to draw.
    TrendSeries empty;
    for (int i = 0; i < 5; ++i)
        empty.append(kStart + 1000LL * i, {kNoInfo});
    QCOMPARE(FiniteCount(empty.decimate(0, kStart, kStart + 5000, 100)), 0);
}

void TrendSeriesTest::silenceInTheReadingsBreaksTheLine() {
    TrendSeries s;
    qint64 t = kStart;
    for (int i = 0; i < 10; ++i, t += 100)
        s.append(t, {1.0f});
    t += 30'000;  // the link was lost for half a minute
    for (int i = 0; i < 10; ++i, t += 100)
        s.append(t, {2.0f});
    const auto line = s.decimate(0, kStart, t, 1000);
    const auto brk =
        std::find_if(line.begin(), line.end(), [](const TrendPoint& p) { return p.isBreak(); });
    QVERIFY(brk != line.end());
    QCOMPARE((brk - 1)->value, 1.0);
    QCOMPARE((brk + 1)->value, 2.0);
    QCOMPARE(
        std::count_if(line.begin(), line.end(), [](const TrendPoint& p) { return p.isBreak(); }),
        1);

    // A slow poll is not a silence: once a minute every minute joins up.
    TrendSeries slow;
    for (int i = 0; i < 10; ++i)
        slow.append(kStart + 60'000LL * i, {1.0f});
    const auto slowLine = slow.decimate(0, kStart, kStart + 600'000, 100);
    QCOMPARE(FiniteCount(slowLine), 10);
    QCOMPARE(int(slowLine.size()), 10);
}

void TrendSeriesTest::windowEdgesReachTheNeighbouringSamples() {
    TrendSeries s;
    for (int i = 0; i < 100; ++i)
        s.append(kStart + 1000LL * i, {float(i)});
    const auto line = s.decimate(0, kStart + 10'500, kStart + 20'500, 50);
    QCOMPARE(line.front().value, 10.0);
    QCOMPARE(line.back().value, 21.0);
    QCOMPARE(int(line.size()), 12);
    // A window before all data or after it has no column to fill, only the neighbour.
    QCOMPARE(int(s.decimate(0, kStart - 5000, kStart - 1000, 50).size()), 1);
    QVERIFY(s.decimate(0, kStart, kStart, 50).empty());
    QVERIFY(s.decimate(kParameterCount, kStart, kStart + 1000, 50).empty());
}

void TrendSeriesTest::olderThanTheSpanDropsAndMemoryStaysBounded() {
    // Time bound: two hours at 10 reads per second keep the newest hour.
    TrendSeries s;
    const int n = 72'000;
    for (int i = 0; i < n; ++i)
        s.append(kStart + 100LL * i, {float(i)});
    const qint64 last = kStart + 100LL * (n - 1);
    QCOMPARE(s.lastTimeMs(), last);
    QVERIFY(s.firstTimeMs() >= last - kTrendLongestSpanMs);
    QCOMPARE(s.size(), 36'001);
    QCOMPARE(s.valueAt(0, 0), float(n - 36'001));

    // Count bound: a poll faster than the store was sized for loses the oldest samples.
    TrendSeries small(1000);
    for (int i = 0; i < 5000; ++i)
        small.append(kStart + i, {float(i)});
    QCOMPARE(small.size(), 1000);
    QCOMPARE(small.valueAt(0, 0), 4000.0f);
    QCOMPARE(small.valueAt(999, 0), 4999.0f);
    // Still in time order after the ring wrapped: the search finds the window.
    const auto line = small.decimate(0, kStart + 4500, kStart + 4599, 100);
    QCOMPARE(line.front().value, 4499.0);
    QCOMPARE(line.back().value, 4600.0);
}

void TrendSeriesTest::clockSetBackStartsOver() {
    TrendSeries s;
    for (int i = 0; i < 10; ++i)
        s.append(kStart + 1000LL * i, {1.0f});
    s.append(kStart - 3'600'000, {2.0f});
    QCOMPARE(s.size(), 1);
    QCOMPARE(s.firstTimeMs(), kStart - 3'600'000);
}

void TrendSeriesTest::autoscale_data() {
    QTest::addColumn<QList<double>>("values");  // NaN: a break
    QTest::addColumn<bool>("valid");
    QTest::addColumn<double>("lo");
    QTest::addColumn<double>("hi");
    const double gap = std::numeric_limits<double>::quiet_NaN();
    QTest::newRow("spread gets 5% each side")
        << QList<double>{200, 240, gap, 220} << true << 198.0 << 242.0;
    QTest::newRow("flat line") << QList<double>{220, 220, 220} << true << 209.0 << 231.0;
    QTest::newRow("flat negative") << QList<double>{-0.5, -0.5} << true << -0.525 << -0.475;
    QTest::newRow("flat zero") << QList<double>{0, 0} << true << -1.0 << 1.0;
    QTest::newRow("all gaps") << QList<double>{gap, gap} << false << 0.0 << 1.0;
    QTest::newRow("nothing") << QList<double>{} << false << 0.0 << 1.0;
}

void TrendSeriesTest::autoscale() {
    QFETCH(QList<double>, values);
    QFETCH(bool, valid);
    QFETCH(double, lo);
    QFETCH(double, hi);
    std::vector<TrendPoint> inside, outside;
    for (int i = 0; i < values.size(); ++i)
        inside.push_back({kStart + i, values[i]});
    // The neighbours beyond the window do not stretch the scale.
    outside.push_back({kStart - 1, 1e6});
    outside.push_back({kStart + 1000, -1e6});
    const TrendRange r = AutoscaleRange({inside, outside}, kStart, kStart + 999);
    QCOMPARE(r.valid, valid);
    QVERIFY(std::abs(r.lo - lo) < 1e-9);
    QVERIFY(std::abs(r.hi - hi) < 1e-9);
}

void TrendSeriesTest::niceAxis_data() {
    QTest::addColumn<double>("lo");
    QTest::addColumn<double>("hi");
    QTest::addColumn<double>("niceLo");
    QTest::addColumn<double>("niceHi");
    QTest::addColumn<int>("ticks");
    QTest::newRow("phase voltages") << 199.6 << 228.4 << 195.0 << 230.0 << 8;
    QTest::newRow("flat 220") << 209.0 << 231.0 << 205.0 << 235.0 << 7;
    QTest::newRow("power factor") << 0.902 << 0.998 << 0.90 << 1.0 << 6;
    QTest::newRow("around zero") << -1.0 << 1.0 << -1.0 << 1.0 << 5;
    QTest::newRow("kilowatts") << -1234.0 << 56789.0 << -10000.0 << 60000.0 << 8;
}

void TrendSeriesTest::niceAxis() {
    QFETCH(double, lo);
    QFETCH(double, hi);
    QFETCH(double, niceLo);
    QFETCH(double, niceHi);
    QFETCH(int, ticks);
    const NiceAxis a = NiceAxisFor(lo, hi);
    QVERIFY2(std::abs(a.lo - niceLo) < 1e-9 && std::abs(a.hi - niceHi) < 1e-9,
             qPrintable(QStringLiteral("%1 .. %2").arg(a.lo).arg(a.hi)));
    QCOMPARE(a.tickCount, ticks);
    QVERIFY(a.lo <= lo && a.hi >= hi);
}

QTEST_APPLESS_MAIN(TrendSeriesTest)
#include "unit_trendseries.moc"
