// The trend window's costs for an hour at 10 reads a second: storing one block, decimating
// three parameters to an 800-pixel plot, and a whole redraw of the window with them.
#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QElapsedTimer>
#include <cmath>
#include <cstdio>

#include "manualclock.h"
#include "measure/trendseries.h"
#include "measure/trendwindow.h"
#include "replies.h"

namespace {

constexpr int kBlocks = 36'000;  // an hour at 10 reads a second
constexpr int kWidth = 800;

QByteArray Block(int i) {
    QList<float> values(kParameterCount, 1.0f);
    for (int k = 0; k < 3; ++k)
        values[k] =
            220.0f + 3.0f * float(std::sin(i / 2000.0 + k)) + float((i * 7919 + k) % 13) * 0.01f;
    return replies::measuredBlock(values).mid(3, kMeasuredBlockDataLength);
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    std::vector<QByteArray> blocks;
    blocks.reserve(kBlocks);
    for (int i = 0; i < kBlocks; ++i)
        blocks.push_back(Block(i));

    const qint64 start = 1'700'000'000'000;
    TrendSeries history;
    QElapsedTimer timer;
    timer.start();
    // Twice round the hour, so the second half measures appends that also drop the oldest.
    for (int round = 0; round < 2; ++round)
        for (int i = 0; i < kBlocks; ++i)
            history.appendBlock(start + 100LL * (round * kBlocks + i), blocks[size_t(i)]);
    const double perBlockUs = double(timer.nsecsElapsed()) / 1000.0 / (2 * kBlocks);
    std::printf("append one block (decode 29 floats, store, drop old): %.3f us\n", perBlockUs);
    std::printf("history: %d samples held, capacity %d, about %.1f MB\n", history.size(),
                history.capacity(),
                history.capacity() * (8.0 + 1.0 + 4.0 * kParameterCount) / (1024.0 * 1024.0));

    const qint64 t1 = history.lastTimeMs(), t0 = t1 - kTrendLongestSpanMs;
    std::vector<double> runs;
    size_t points = 0;
    for (int r = 0; r < 50; ++r) {
        timer.restart();
        points = 0;
        for (int k = 0; k < 3; ++k)
            points += history.decimate(k, t0, t1, kWidth).size();
        runs.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::printf("decimate 3 parameters, 60 min to %d px: %.3f ms median (%zu points out)\n", kWidth,
                Median(runs), points);

    // The whole redraw: decimation, the series' points replaced, the axes, on an offscreen
    // window of a plot about 800 pixels wide.
    ManualClock clock(start);
    TrendWindow window(&clock);
    window.resize(1270, 600);
    window.show();
    for (int i = 0; i < kBlocks; ++i) {
        clock.advance(100);
        window.addMeasuredBlock(blocks[size_t(i)]);
    }
    window.findChild<QComboBox*>(QStringLiteral("ComboSpan"))->setCurrentIndex(2);
    runs.clear();
    for (int r = 0; r < 30; ++r) {
        timer.restart();
        window.redraw();
        QCoreApplication::processEvents();
        runs.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::printf("window redraw, 3 lines over 60 min, plot %d px wide: %.2f ms median\n",
                int(window.chart()->plotArea().width()), Median(runs));
    runs.clear();
    for (int r = 0; r < 10; ++r) {
        timer.restart();
        window.redraw();
        (void)window.chartView()->grab();
        runs.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::printf(
        "window redraw and paint: %.2f ms median; at 5 redraws a second %.1f%% of one core\n",
        Median(runs), Median(runs) * 5 / 10.0);
    return 0;
}
