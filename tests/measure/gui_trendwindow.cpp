// The trend window on a manual clock: what is drawn follows the chosen parameters, the clock
// and the operator's pause, zoom and reset.
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeAxis>
#include <QLegendMarker>
#include <QLineSeries>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QValueAxis>
#include <QtTest>

#include "manualclock.h"
#include "measure/trendwindow.h"
#include "messagebox_seam.h"
#include "replies.h"

namespace {

QByteArray Block(float ua) {
    QList<float> values(kParameterCount, 1.0f);
    values[0] = ua;
    values[1] = ua + 1;
    values[2] = ua + 2;
    return replies::measuredBlock(values).mid(3, kMeasuredBlockDataLength);
}

QDateTimeAxis* AxisX(TrendWindow& w) {
    return qobject_cast<QDateTimeAxis*>(w.chart()->axes(Qt::Horizontal).first());
}
QValueAxis* AxisY(TrendWindow& w) {
    return qobject_cast<QValueAxis*>(w.chart()->axes(Qt::Vertical).first());
}

// The legend lays its markers out from posted events; its hidden markers are the extra
// stretches of a broken line.
QStringList LegendNames(TrendWindow& w) {
    QCoreApplication::processEvents();
    QStringList names;
    for (QLegendMarker* m : w.chart()->legend()->markers())
        if (m->isVisible())
            names << m->label();
    return names;
}

// Ten blocks a second for `seconds`, the redraw timer firing on its own as the clock moves.
void Feed(TrendWindow& w, ManualClock& clock, int seconds, float ua) {
    for (int i = 0; i < 10 * seconds; ++i) {
        clock.advance(100);
        w.addMeasuredBlock(Block(ua));
    }
}

}  // namespace

class TrendWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void controlsAndParameterList();
    void choosingParametersAddsAndRemovesLines();
    void liveViewFollowsTheClockAndScalesToTheData();
    void pauseFreezesTheViewWhileDataKeepsComing();
    void zoomHoldsTheWindowUntilReset();
    void savePngReportsFailure();
};

void TrendWindowTest::controlsAndParameterList() {
    ManualClock clock;
    TrendWindow w(&clock);
    QCOMPARE(w.windowTitle(), QStringLiteral("Тренды"));
    QVERIFY(w.parentWidget() == nullptr);
    auto* list = w.findChild<QListWidget*>(QStringLiteral("ListParameters"));
    QVERIFY(list);
    QCOMPARE(list->count(), kParameterCount);
    QCOMPARE(list->item(0)->text(), QStringLiteral("Напряжение  Uan, B"));
    QCOMPARE(list->item(3)->text(), QStringLiteral("Ток  Ia, A"));
    QCOMPARE(list->item(18)->text(), QStringLiteral("Коеффициент мощности  Cos Фa"));
    auto* span = w.findChild<QComboBox*>(QStringLiteral("ComboSpan"));
    QVERIFY(span);
    QCOMPARE(span->count(), 3);
    QCOMPARE(span->itemText(0), QStringLiteral("1 мин"));
    QCOMPARE(span->itemText(1), QStringLiteral("10 мин"));
    QCOMPARE(span->itemText(2), QStringLiteral("60 мин"));
    QCOMPARE(w.findChild<QCheckBox*>(QStringLiteral("CheckAutoscale"))->text(),
             QStringLiteral("Автомасштаб"));
    QCOMPARE(w.findChild<QPushButton*>(QStringLiteral("ButtonPause"))->text(),
             QStringLiteral("Пауза"));
    QCOMPARE(w.findChild<QPushButton*>(QStringLiteral("ButtonReset"))->text(),
             QStringLiteral("Сброс"));
    QCOMPARE(w.findChild<QPushButton*>(QStringLiteral("ButtonSavePng"))->text(),
             QStringLiteral("Сохранить PNG…"));
}

void TrendWindowTest::choosingParametersAddsAndRemovesLines() {
    ManualClock clock;
    TrendWindow w(&clock);
    w.show();
    QCOMPARE(LegendNames(w), (QStringList{"Ua, B", "Ub, B", "Uc, B"}));

    auto* list = w.findChild<QListWidget*>(QStringLiteral("ListParameters"));
    list->item(1)->setCheckState(Qt::Unchecked);
    list->item(25)->setCheckState(Qt::Checked);
    QCOMPARE(LegendNames(w), (QStringList{"Ua, B", "Uc, B", "F, Гц"}));
    QCOMPARE(AxisY(w)->titleText(), QStringLiteral("B, Гц"));

    // The history holds every parameter: one chosen later shows what came before at once.
    Feed(w, clock, 5, 220.0f);
    list->item(4)->setCheckState(Qt::Checked);
    QLineSeries* ib = nullptr;
    for (QAbstractSeries* s : w.chart()->series())
        if (s->objectName() == QStringLiteral("SeriesParameter4"))
            ib = static_cast<QLineSeries*>(s);
    QVERIFY(ib);
    QVERIFY(ib->count() >= 2);
    QCOMPARE(ib->at(0).y(), 1.0);
}

void TrendWindowTest::liveViewFollowsTheClockAndScalesToTheData() {
    ManualClock clock;
    TrendWindow w(&clock);
    w.show();
    Feed(w, clock, 30, 220.0f);
    Feed(w, clock, 30, 230.0f);
    QCOMPARE(AxisX(w)->max().toMSecsSinceEpoch(), clock.nowMs());
    QCOMPARE(AxisX(w)->min().toMSecsSinceEpoch(), clock.nowMs() - 600'000);
    // Ua from 220, Uc up to 232, with a margin.
    QVERIFY(AxisY(w)->min() < 220.0 && AxisY(w)->min() > 215.0);
    QVERIFY(AxisY(w)->max() > 232.0 && AxisY(w)->max() < 237.0);

    // A lost link is a break in the line, not a ramp across the silence.
    clock.advance(20'000);
    Feed(w, clock, 1, 225.0f);
    clock.advance(TrendWindow::kRedrawIntervalMs);
    int stretches = 0;
    for (QAbstractSeries* s : w.chart()->series())
        if (s->objectName() == QStringLiteral("SeriesParameter0") &&
            static_cast<QLineSeries*>(s)->count() > 0)
            ++stretches;
    QCOMPARE(stretches, 2);
    QCOMPARE(LegendNames(w).count(QStringLiteral("Ua, B")), 1);
}

void TrendWindowTest::pauseFreezesTheViewWhileDataKeepsComing() {
    ManualClock clock;
    TrendWindow w(&clock);
    w.show();
    Feed(w, clock, 10, 220.0f);
    auto* pause = w.findChild<QPushButton*>(QStringLiteral("ButtonPause"));
    QTest::mouseClick(pause, Qt::LeftButton);
    QVERIFY(pause->isChecked());
    const auto x0 = AxisX(w)->min(), x1 = AxisX(w)->max();
    const double y0 = AxisY(w)->min(), y1 = AxisY(w)->max();
    const int before = w.history().size();

    Feed(w, clock, 10, 300.0f);
    QCOMPARE(w.history().size(), before + 100);
    QCOMPARE(AxisX(w)->min(), x0);
    QCOMPARE(AxisX(w)->max(), x1);
    QCOMPARE(AxisY(w)->min(), y0);
    QCOMPARE(AxisY(w)->max(), y1);

    QTest::mouseClick(pause, Qt::LeftButton);
    QCOMPARE(AxisX(w)->max().toMSecsSinceEpoch(), clock.nowMs());
    QVERIFY(AxisY(w)->max() > 300.0);
}

void TrendWindowTest::zoomHoldsTheWindowUntilReset() {
    ManualClock clock;
    TrendWindow w(&clock);
    w.resize(900, 500);
    w.show();
    Feed(w, clock, 60, 220.0f);
    // The rubber band ends in the chart's zoomIn; the window takes the range as the operator's.
    const QRectF area = w.chart()->plotArea();
    w.chart()->zoomIn(QRectF(area.left() + area.width() / 4, area.top() + 10, area.width() / 2,
                             area.height() / 2));
    const auto x0 = AxisX(w)->min(), x1 = AxisX(w)->max();
    QVERIFY(x1.toMSecsSinceEpoch() < clock.nowMs());
    const double y1 = AxisY(w)->max();
    Feed(w, clock, 5, 250.0f);
    QCOMPARE(AxisX(w)->min(), x0);
    QCOMPARE(AxisX(w)->max(), x1);
    QCOMPARE(AxisY(w)->max(), y1);

    QTest::mouseClick(w.findChild<QPushButton*>(QStringLiteral("ButtonReset")), Qt::LeftButton);
    QCOMPARE(AxisX(w)->max().toMSecsSinceEpoch(), clock.nowMs());
    QVERIFY(AxisY(w)->max() > 252.0);
}

void TrendWindowTest::savePngReportsFailure() {
    ManualClock clock;
    TrendWindow w(&clock);
    w.show();
    MessageRecorder messages;
    QTemporaryDir dir;
    const QString good = dir.filePath(QStringLiteral("trend.png"));
    w.setFileChooser([&](QWidget*) { return dir.filePath(QStringLiteral("trend")); });
    QTest::mouseClick(w.findChild<QPushButton*>(QStringLiteral("ButtonSavePng")), Qt::LeftButton);
    QVERIFY(QImage(good).width() > 100);
    QVERIFY(messages.take().isEmpty());

    const QString bad = dir.filePath(QStringLiteral("no/such/folder/trend.png"));
    QVERIFY(!w.savePng(bad));
    const QStringList said = messages.take();
    QCOMPARE(said.size(), 1);
    QVERIFY2(said[0].startsWith(QStringLiteral("Не удалось сохранить рисунок в файл ")) &&
                 said[0].contains(bad),
             qPrintable(said[0]));
}

QTEST_MAIN(TrendWindowTest)
#include "gui_trendwindow.moc"
