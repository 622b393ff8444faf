#include "measure/indicatorview.h"

#include <QDateTime>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QVBoxLayout>

#include "link/engine.h"
#include "link/timer.h"
#include "widgets/ledclock.h"
#include "widgets/sevensegment.h"

namespace {

// The digits are drawn at one size: the emulation shows the indicator, not a chart that should
// grow with the window.
constexpr QSize kDigitSize(48, 72);
constexpr int kNameWidth = 64;
constexpr int kUnitWidth = 64;
constexpr int kLabelHeight = 34;
constexpr int kLabelPixelSize = 20;

// A surface shaded from top to bottom, with a rounded rim: the backdrop of a panel.
class GradientPanel : public QWidget {
  public:
    GradientPanel(const QColor& top, const QColor& bottom, const QColor& rim, QWidget* parent)
        : QWidget(parent), top_(top), bottom_(bottom), rim_(rim) {}

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QLinearGradient shade(QPointF(0, 0), QPointF(0, height()));
        shade.setColorAt(0.0, top_);
        shade.setColorAt(1.0, bottom_);
        painter.setPen(QPen(rim_, 2));
        painter.setBrush(shade);
        painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 8, 8);
    }

  private:
    QColor top_;
    QColor bottom_;
    QColor rim_;
};

// The labels beside the digits are printed on the device's front: black bold narrow type on a
// white field. A style sheet of their own keeps them so under every skin of the window.
QLabel* lineLabel(const QString& name, Qt::Alignment alignment, int width, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(alignment | Qt::AlignVCenter);
    label->setFixedSize(width, kLabelHeight);
    QFont narrow = label->font();
    narrow.setFamilies({QStringLiteral("Arial Narrow"), QStringLiteral("Liberation Sans Narrow"),
                        QStringLiteral("DejaVu Sans Condensed")});
    narrow.setStretch(QFont::Condensed);
    narrow.setBold(true);
    narrow.setPixelSize(kLabelPixelSize);
    label->setFont(narrow);
    label->setStyleSheet(QStringLiteral(
        "QLabel { background: white; color: black; border: 1px solid #505050; padding: 0 4px; }"));
    return label;
}

// The digits and the clock are drawn straight onto the shaded display, without cells of their
// own.
SegmentColors onDisplay() {
    SegmentColors colors;
    colors.panel = Qt::transparent;
    return colors;
}

SevenSegmentDigit* digit(const QString& name, QWidget* parent) {
    auto* d = new SevenSegmentDigit(parent);
    d->setObjectName(name);
    d->setFixedSize(kDigitSize);
    d->setColors(onDisplay());
    return d;
}

}  // namespace

IndicatorView::IndicatorView(const PageContext& ctx, LinkTimer* timerClock, QWidget* parent)
    : QWidget(parent), ctx_(ctx), TimerClock(timerClock) {
    setObjectName(QStringLiteral("TS_Ind"));
    setWindowTitle(QString::fromUtf8(kCaption));

    // The transducer's housing with its display window, and the clock in a bezel of its own.
    auto* housing = new GradientPanel(QColor(0x9A, 0xA0, 0xA8), QColor(0x4E, 0x54, 0x5C),
                                      QColor(0x30, 0x33, 0x38), this);
    auto* display = new GradientPanel(QColor(0x2C, 0x2E, 0x2C), QColor(0x18, 0x19, 0x18),
                                      QColor(0x0C, 0x0C, 0x0C), housing);
    auto* bezel = new GradientPanel(QColor(0x2C, 0x2E, 0x2C), QColor(0x18, 0x19, 0x18),
                                    QColor(0x0C, 0x0C, 0x0C), this);

    auto* grid = new QGridLayout(display);
    grid->setContentsMargins(16, 18, 16, 18);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(22);
    for (int line = 0; line < kIndicatorLineCount; ++line) {
        const QString n = QString::number(line + 1);
        LabelLineName[size_t(line)] = lineLabel(QStringLiteral("LabelLineName%1").arg(line),
                                                Qt::AlignRight, kNameWidth, display);
        signDigits_[size_t(line)] = digit(QStringLiteral("VrDigit") + n, display);
        grid->addWidget(LabelLineName[size_t(line)], line, 0);
        grid->addItem(new QSpacerItem(6, 0), line, 1);
        grid->addWidget(signDigits_[size_t(line)], line, 2);
        for (int pos = 0; pos < kIndicatorDigits; ++pos) {
            auto*& d = digits_[size_t(line)][size_t(pos)];
            d = digit(QStringLiteral("VrDigit") + n + QString::number(pos + 1), display);
            grid->addWidget(d, line, 3 + pos);
        }
        grid->addItem(new QSpacerItem(6, 0), line, 3 + kIndicatorDigits);
        LabelLine[size_t(line)] =
            lineLabel(QStringLiteral("LabelLine%1").arg(line), Qt::AlignLeft, kUnitWidth, display);
        grid->addWidget(LabelLine[size_t(line)], line, 4 + kIndicatorDigits);
    }

    auto* housingLayout = new QVBoxLayout(housing);
    housingLayout->setContentsMargins(22, 22, 22, 22);
    housingLayout->addWidget(display);

    VrLedClock1 = new LedClock(bezel);
    VrLedClock1->setObjectName(QStringLiteral("VrLedClock1"));
    VrLedClock1->setFixedSize(VrLedClock1->sizeHint());
    VrLedClock1->setColors(onDisplay());
    auto* bezelLayout = new QVBoxLayout(bezel);
    bezelLayout->setContentsMargins(12, 10, 12, 10);
    bezelLayout->addWidget(VrLedClock1);

    // The clock stands beside the panel, level with its top; the pair sits a little above the
    // middle of the page.
    auto* row = new QHBoxLayout;
    row->setSpacing(16);
    row->addStretch(1);
    row->addWidget(housing, 0, Qt::AlignTop);
    row->addWidget(bezel, 0, Qt::AlignTop);
    row->addStretch(1);
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(12, 12, 12, 12);
    page->addStretch(1);
    page->addLayout(row);
    page->addStretch(2);

    // The data area lies between the three-byte header and the checksum.
    if (ctx_.engine) {
        ctx_.engine->setReplyHandler(this, RequestCode::IndicatorValues,
                                     [this](const quint8* reply, int n) {
                                         if (n >= 5)
                                             ShowIndicatorValues(reply + 3, n - 5);
                                     });
    }
    if (TimerClock)
        connect(TimerClock, &LinkTimer::timeout, this, &IndicatorView::TimerClockTimer);
    // The face shows the time from the start rather than waiting a second at 00:00:00.
    TimerClockTimer();
}

void IndicatorView::setLineSetup(int line, const QString& name, const QString& unit,
                                 quint16 exponentWord) {
    if (line < 0 || line >= kIndicatorLineCount)
        return;
    IndParamExp[size_t(line)] = exponentWord;
    LabelLineName[size_t(line)]->setText(name);
    LabelLine[size_t(line)]->setText(unit);
}

void IndicatorView::ShowIndicatorValues(const quint8* block, int length) {
    const auto values = DecodeIndicatorValues(block, length);
    if (!values)
        return;
    // A line without information shows 0, as on the device: the flag is not consulted.
    for (int line = 0; line < kIndicatorLineCount; ++line)
        RenderLine(line, (*values)[size_t(line)].value);
}

void IndicatorView::RenderLine(int line, float value) {
    if (line < 0 || line >= kIndicatorLineCount)
        return;
    const IndicatorLine shown = ::RenderLine(value, IndParamExp[size_t(line)]);
    signDigits_[size_t(line)]->setSegments(shown.sign);
    if (!shown.digits)
        return;
    for (int pos = 0; pos < kIndicatorDigits; ++pos)
        digits_[size_t(line)][size_t(pos)]->setSegments((*shown.digits)[size_t(pos)]);
}

quint16 IndicatorView::exponentWord(int line) const {
    return (line >= 0 && line < kIndicatorLineCount) ? IndParamExp[size_t(line)] : 0;
}

quint8 IndicatorView::signSegments(int line) const {
    return (line >= 0 && line < kIndicatorLineCount) ? signDigits_[size_t(line)]->segments() : 0;
}

quint8 IndicatorView::digitSegments(int line, int position) const {
    if (line < 0 || line >= kIndicatorLineCount || position < 0 || position >= kIndicatorDigits)
        return 0;
    return digits_[size_t(line)][size_t(position)]->segments();
}

void IndicatorView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QLinearGradient shade(QPointF(0, 0), QPointF(0, height()));
    shade.setColorAt(0.0, QColor(0xDD, 0xE3, 0xEA));
    shade.setColorAt(1.0, QColor(0x8F, 0x9B, 0xA8));
    painter.fillRect(rect(), shade);
}

void IndicatorView::TimerClockTimer() {
    if (!ctx_.clock)
        return;
    const QTime now = QDateTime::fromMSecsSinceEpoch(ctx_.clock->nowMs()).time();
    VrLedClock1->setTime(now.hour(), now.minute(), now.second());
}
