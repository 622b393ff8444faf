#include "measure/trendwindow.h"

#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QImageWriter>
#include <QKeyEvent>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>
#include <QValueAxis>
#include <QWheelEvent>
#include <algorithm>

#include "link/timer.h"
#include "widgets/messagebox.h"

namespace {

struct SpanChoice {
    const char* text;
    qint64 ms;
    int ticks;  // round steps: 10 s, 1 min, 10 min
};
const SpanChoice kSpans[] = {
    {"1 мин", 60'000, 7},
    {"10 мин", 600'000, 11},
    {"60 мин", kTrendLongestSpanMs, 7},
};

// Distinct on white and on print; phases A, B, C of a quantity get the first three.
const QColor kPalette[] = {QColor(0x1f, 0x77, 0xb4), QColor(0xd6, 0x27, 0x28),
                           QColor(0x2c, 0xa0, 0x2c), QColor(0xff, 0x7f, 0x0e),
                           QColor(0x94, 0x67, 0xbd), QColor(0x8c, 0x56, 0x4b),
                           QColor(0xe3, 0x77, 0xc2), QColor(0x7f, 0x7f, 0x7f),
                           QColor(0xbc, 0xbd, 0x22), QColor(0x17, 0xbe, 0xcf)};

// The chart's own rubber band zooms with the left button; the wheel zooms time around the
// pointer, the right button drags, arrows pan and +/- zoom time. Every change reaches the
// window through the axes' range signals.
class TrendChartView : public QChartView {
  public:
    using QChartView::QChartView;

  protected:
    void wheelEvent(QWheelEvent* event) override {
        const int delta = event->angleDelta().y();
        if (delta == 0)
            return;
        zoomTime(delta > 0 ? 0.8 : 1.25, chart()->mapToValue(event->position()).x());
        event->accept();
    }
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() == Qt::RightButton) {
            dragFrom_ = event->position();
            dragging_ = true;
            event->accept();
            return;
        }
        QChartView::mousePressEvent(event);
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        if (dragging_) {
            const QPointF d = event->position() - dragFrom_;
            dragFrom_ = event->position();
            chart()->scroll(-d.x(), d.y());
            event->accept();
            return;
        }
        QChartView::mouseMoveEvent(event);
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        // The base class zooms out on a right click; here the right button only drags.
        if (event->button() == Qt::RightButton) {
            dragging_ = false;
            event->accept();
            return;
        }
        QChartView::mouseReleaseEvent(event);
    }
    void keyPressEvent(QKeyEvent* event) override {
        const QRectF area = chart()->plotArea();
        switch (event->key()) {
            case Qt::Key_Left:
                chart()->scroll(-area.width() / 10, 0);
                break;
            case Qt::Key_Right:
                chart()->scroll(area.width() / 10, 0);
                break;
            case Qt::Key_Up:
                chart()->scroll(0, area.height() / 10);
                break;
            case Qt::Key_Down:
                chart()->scroll(0, -area.height() / 10);
                break;
            case Qt::Key_Plus:
            case Qt::Key_Equal:
                zoomTime(0.8, chart()->mapToValue(area.center()).x());
                break;
            case Qt::Key_Minus:
                zoomTime(1.25, chart()->mapToValue(area.center()).x());
                break;
            default:
                QChartView::keyPressEvent(event);
                return;
        }
        event->accept();
    }

  private:
    void zoomTime(double factor, double anchorMs) {
        const auto axes = chart()->axes(Qt::Horizontal);
        auto* axis = axes.isEmpty() ? nullptr : qobject_cast<QDateTimeAxis*>(axes.first());
        if (axis == nullptr)
            return;
        const double t0 = double(axis->min().toMSecsSinceEpoch());
        const double t1 = double(axis->max().toMSecsSinceEpoch());
        // Not narrower than a second, not wider than the history.
        const double width = std::clamp((t1 - t0) * factor, 1000.0, double(kTrendLongestSpanMs));
        const double share = t1 > t0 ? std::clamp((anchorMs - t0) / (t1 - t0), 0.0, 1.0) : 1.0;
        const double n0 = anchorMs - share * width;
        axis->setRange(QDateTime::fromMSecsSinceEpoch(qint64(n0)),
                       QDateTime::fromMSecsSinceEpoch(qint64(n0 + width)));
    }

    QPointF dragFrom_;
    bool dragging_ = false;
};

}  // namespace

TrendWindow::TrendWindow(Clock* clock, QWidget* parent)
    : QWidget(parent), clock_(clock), timer_(clock->createTimer(this)) {
    setWindowTitle(QStringLiteral("Тренды"));
    setObjectName(QStringLiteral("TrendWindow"));
    resize(1000, 600);
    // A side window: closing the main window ends the program even while this one is open.
    setAttribute(Qt::WA_QuitOnClose, false);

    ListParameters = new QListWidget(this);
    ListParameters->setObjectName(QStringLiteral("ListParameters"));
    for (int k = 0; k < kParameterCount; ++k) {
        const QString unit = UnitSymbol(k);
        auto* item = new QListWidgetItem(
            unit.isEmpty() ? ItemText(k) : ItemText(k) + QStringLiteral(", ") + unit,
            ListParameters);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        // Three phase voltages to begin with, so the window opens on something to look at.
        item->setCheckState(k <= 2 ? Qt::Checked : Qt::Unchecked);
    }
    ListParameters->setMinimumWidth(ListParameters->sizeHintForColumn(0) + 30);
    ListParameters->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);

    ComboSpan = new QComboBox(this);
    ComboSpan->setObjectName(QStringLiteral("ComboSpan"));
    for (const SpanChoice& s : kSpans)
        ComboSpan->addItem(QString::fromUtf8(s.text));
    ComboSpan->setCurrentIndex(1);
    CheckAutoscale = new QCheckBox(QStringLiteral("Автомасштаб"), this);
    CheckAutoscale->setObjectName(QStringLiteral("CheckAutoscale"));
    CheckAutoscale->setChecked(true);
    ButtonPause = new QPushButton(QStringLiteral("Пауза"), this);
    ButtonPause->setObjectName(QStringLiteral("ButtonPause"));
    ButtonPause->setCheckable(true);
    ButtonReset = new QPushButton(QStringLiteral("Сброс"), this);
    ButtonReset->setObjectName(QStringLiteral("ButtonReset"));
    ButtonSavePng = new QPushButton(QStringLiteral("Сохранить PNG…"), this);
    ButtonSavePng->setObjectName(QStringLiteral("ButtonSavePng"));

    auto* chart = new QChart;
    chart->setObjectName(QStringLiteral("ChartTrends"));
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->setMargins(QMargins(4, 4, 4, 4));
    axisX_ = new QDateTimeAxis(chart);
    axisX_->setTitleText(QStringLiteral("Время"));
    axisY_ = new QValueAxis(chart);
    axisY_->setLabelFormat(QStringLiteral("%.6g"));
    chart->addAxis(axisX_, Qt::AlignBottom);
    chart->addAxis(axisY_, Qt::AlignLeft);
    view_ = new TrendChartView(chart, this);
    view_->setObjectName(QStringLiteral("ChartViewTrends"));
    view_->setRenderHint(QPainter::Antialiasing);
    view_->setRubberBand(QChartView::RectangleRubberBand);
    view_->setFocusPolicy(Qt::StrongFocus);

    auto* controls = new QHBoxLayout;
    auto* spanLabel = new QLabel(QStringLiteral("Интервал:"), this);
    controls->addWidget(spanLabel);
    controls->addWidget(ComboSpan);
    controls->addSpacing(12);
    controls->addWidget(CheckAutoscale);
    controls->addWidget(ButtonPause);
    controls->addWidget(ButtonReset);
    controls->addStretch(1);
    controls->addWidget(ButtonSavePng);
    auto* right = new QVBoxLayout;
    right->addLayout(controls);
    right->addWidget(view_, 1);
    auto* outer = new QHBoxLayout(this);
    outer->addWidget(ListParameters);
    outer->addLayout(right, 1);

    chooseFile_ = [](QWidget* owner) {
        return QFileDialog::getSaveFileName(owner, QStringLiteral("Сохранить PNG"),
                                            QStringLiteral("trend.png"),
                                            QStringLiteral("PNG (*.png)"));
    };

    connect(ListParameters, &QListWidget::itemChanged, this, &TrendWindow::redraw);
    connect(ComboSpan, &QComboBox::currentIndexChanged, this, [this] {
        if (manualX_) {
            // Keep the right edge where the operator put it, widen or narrow to the new span.
            viewT0_ = viewT1_ - spanMs();
        }
        redraw();
    });
    connect(CheckAutoscale, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            manualY_ = false;
        redraw();
    });
    connect(ButtonPause, &QPushButton::toggled, this, &TrendWindow::onPauseToggled);
    connect(ButtonReset, &QPushButton::clicked, this, &TrendWindow::resetView);
    connect(ButtonSavePng, &QPushButton::clicked, this, &TrendWindow::onSaveClicked);
    connect(axisX_, &QDateTimeAxis::rangeChanged, this, &TrendWindow::onAxisXChanged);
    connect(axisY_, &QValueAxis::rangeChanged, this, &TrendWindow::onAxisYChanged);
    connect(timer_, &LinkTimer::timeout, this, &TrendWindow::onTick);

    timer_->setInterval(kRedrawIntervalMs);
    timer_->start();
    redraw();
}

TrendWindow::~TrendWindow() = default;

QChart* TrendWindow::chart() const {
    return view_->chart();
}

std::vector<int> TrendWindow::chosenParameters() const {
    std::vector<int> out;
    for (int k = 0; k < ListParameters->count(); ++k)
        if (ListParameters->item(k)->checkState() == Qt::Checked)
            out.push_back(k);
    return out;
}

void TrendWindow::setParameterChosen(int parameter, bool chosen) {
    if (parameter >= 0 && parameter < ListParameters->count())
        ListParameters->item(parameter)->setCheckState(chosen ? Qt::Checked : Qt::Unchecked);
}

qint64 TrendWindow::spanMs() const {
    const int i = std::clamp(ComboSpan->currentIndex(), 0, int(std::size(kSpans)) - 1);
    return kSpans[i].ms;
}

QString TrendWindow::seriesName(int parameter) const {
    const QString unit = UnitSymbol(parameter);
    return unit.isEmpty() ? ShortName(parameter)
                          : ShortName(parameter) + QStringLiteral(", ") + unit;
}

void TrendWindow::addMeasuredBlock(const QByteArray& block) {
    if (history_.appendBlock(clock_->nowMs(), block))
        newData_ = true;
}

void TrendWindow::onTick() {
    if (!isVisible() || ButtonPause->isChecked())
        return;
    // A live view moves with the clock even when no block arrives; a zoomed one only has to
    // change when something new may have landed inside it.
    if (manualX_ && !newData_)
        return;
    redraw();
}

void TrendWindow::onPauseToggled(bool paused) {
    if (paused) {
        if (!manualX_) {
            viewT1_ = clock_->nowMs();
            viewT0_ = viewT1_ - spanMs();
        }
        return;
    }
    manualX_ = false;
    redraw();
}

void TrendWindow::resetView() {
    manualX_ = false;
    manualY_ = false;
    {
        const QSignalBlocker block(ButtonPause);
        ButtonPause->setChecked(false);
    }
    redraw();
}

void TrendWindow::onAxisXChanged() {
    if (applying_)
        return;
    manualX_ = true;
    viewT0_ = axisX_->min().toMSecsSinceEpoch();
    viewT1_ = axisX_->max().toMSecsSinceEpoch();
    redraw();
}

void TrendWindow::onAxisYChanged() {
    if (applying_)
        return;
    manualY_ = true;
}

void TrendWindow::syncPlots() {
    const std::vector<int> chosen = chosenParameters();
    for (auto it = plots_.begin(); it != plots_.end();) {
        if (std::find(chosen.begin(), chosen.end(), it->first) == chosen.end()) {
            for (QLineSeries* s : it->second.segments) {
                chart()->removeSeries(s);
                delete s;
            }
            it = plots_.erase(it);
        } else {
            ++it;
        }
    }
    for (int k : chosen) {
        if (plots_.count(k))
            continue;
        Plot& plot = plots_[k];
        plot.color = kPalette[size_t(k) % std::size(kPalette)];
        addSegment(k, plot)->setName(seriesName(k));
    }
}

QLineSeries* TrendWindow::addSegment(int parameter, Plot& plot) {
    auto* s = new QLineSeries;
    s->setObjectName(QStringLiteral("SeriesParameter%1").arg(parameter));
    QPen pen(plot.color);
    pen.setWidthF(1.5);
    s->setPen(pen);
    s->setColor(plot.color);
    s->setMarkerSize(4);
    chart()->addSeries(s);
    s->attachAxis(axisX_);
    s->attachAxis(axisY_);
    // The legend names a parameter once, by its first stretch.
    if (!plot.segments.empty())
        for (QLegendMarker* m : chart()->legend()->markers(s))
            m->setVisible(false);
    plot.segments.push_back(s);
    return s;
}

void TrendWindow::drawPlot(int parameter, Plot& plot, const std::vector<TrendPoint>& line) {
    size_t used = 0;
    QList<QPointF> points;
    const auto emitSegment = [&]() {
        if (points.isEmpty())
            return;
        if (used == plot.segments.size())
            addSegment(parameter, plot);
        QLineSeries* s = plot.segments[used++];
        // A lone reading between two gaps has no line to draw: show it as a dot.
        s->setPointsVisible(points.size() == 1);
        s->replace(points);
        points.clear();
    };
    for (const TrendPoint& p : line) {
        if (p.isBreak())
            emitSegment();
        else
            points.append(QPointF(double(p.timeMs), p.value));
    }
    emitSegment();
    // Left-over stretches empty out; the first one keeps the legend entry even when empty.
    for (size_t i = used; i < plot.segments.size(); ++i)
        if (plot.segments[i]->count() > 0)
            plot.segments[i]->clear();
}

void TrendWindow::redraw() {
    applying_ = true;
    syncPlots();

    qint64 t0 = viewT0_, t1 = viewT1_;
    if (!manualX_ && !ButtonPause->isChecked()) {
        t1 = clock_->nowMs();
        t0 = t1 - spanMs();
        viewT0_ = t0;
        viewT1_ = t1;
    }
    const int width = std::max(int(chart()->plotArea().width()), 100);

    std::vector<std::vector<TrendPoint>> lines;
    QStringList units;
    for (auto& [k, plot] : plots_) {
        lines.push_back(history_.decimate(k, t0, t1, width));
        drawPlot(k, plot, lines.back());
        const QString unit = UnitSymbol(k);
        if (!unit.isEmpty() && !units.contains(unit))
            units << unit;
    }
    newData_ = false;

    const bool seconds = t1 - t0 <= 10 * 60'000;
    axisX_->setFormat(seconds ? QStringLiteral("HH:mm:ss") : QStringLiteral("HH:mm"));
    int ticks = 7;
    for (const SpanChoice& s : kSpans)
        if (s.ms == spanMs())
            ticks = s.ticks;
    // As many time labels as fit side by side: a narrow window would otherwise show them cut
    // short ("09:10...").
    const int labelWidth =
        QFontMetrics(axisX_->labelsFont())
            .horizontalAdvance(seconds ? QStringLiteral("00:00:00") : QStringLiteral("00:00")) +
        24;
    const int plotWidth = int(chart()->plotArea().width());
    if (plotWidth > 0)
        ticks = std::clamp(plotWidth / labelWidth + 1, 2, ticks);
    axisX_->setTickCount(ticks);
    axisX_->setRange(QDateTime::fromMSecsSinceEpoch(t0), QDateTime::fromMSecsSinceEpoch(t1));
    axisY_->setTitleText(units.join(QStringLiteral(", ")));
    if (CheckAutoscale->isChecked() && !manualY_) {
        const TrendRange r = AutoscaleRange(lines, t0, t1);
        if (r.valid) {
            // Round steps on the value axis: 200, 205, 210 read at a glance, 199.583 does not.
            const NiceAxis nice = NiceAxisFor(r.lo, r.hi);
            axisY_->setTickCount(nice.tickCount);
            axisY_->setRange(nice.lo, nice.hi);
        }
    }
    applying_ = false;
}

void TrendWindow::onSaveClicked() {
    const QString path = chooseFile_ ? chooseFile_(this) : QString();
    if (path.isEmpty())
        return;
    savePng(QFileInfo(path).suffix().isEmpty() ? path + QStringLiteral(".png") : path);
}

bool TrendWindow::savePng(const QString& path) {
    QImageWriter writer(path, "png");
    if (writer.write(view_->grab().toImage()))
        return true;
    messagebox::Show(QStringLiteral("Не удалось сохранить рисунок в файл %1: %2")
                         .arg(QDir::toNativeSeparators(path), writer.errorString()),
                     this);
    return false;
}
