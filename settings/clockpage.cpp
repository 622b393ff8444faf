#include "settings/clockpage.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <functional>

#include "link/engine.h"
#include "link/timer.h"
#include "widgets/caption.h"
#include "widgets/messagebox.h"

namespace {

constexpr int kClockDataBytes = 2 * deviceclock::kWriteWords;

// A spin edit that the operator empties shows 0 at once rather than waiting for the edit to end.
class ClockSpinBox : public QSpinBox {
  public:
    ClockSpinBox(const char* name, int maximum, QWidget* parent) : QSpinBox(parent) {
        setObjectName(QString::fromLatin1(name));
        setRange(0, maximum);
        setSingleStep(1);
        setValue(0);
        // The editor's own signal: the spin box reports no change for text it cannot read.
        connect(lineEdit(), &QLineEdit::textChanged, this, [this](const QString& text) {
            if (text.isEmpty()) {
                lineEdit()->setText(QStringLiteral("0"));
                lineEdit()->selectAll();
            }
        });
    }
    QLineEdit* edit() const { return lineEdit(); }
};

// Reports mouse presses on the widgets it watches: a click into a control is the operator
// taking it over, even before its value changes.
class ClickWatch : public QObject {
  public:
    ClickWatch(QObject* parent, std::function<void()> onClick)
        : QObject(parent), onClick_(std::move(onClick)) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonPress)
            onClick_();
        return QObject::eventFilter(watched, event);
    }

  private:
    std::function<void()> onClick_;
};

QLabel* valueLabel(const char* name, QWidget* parent) {
    auto* l = new QLabel(parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setTextFormat(Qt::PlainText);
    l->setMinimumWidth(170);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return l;
}

}  // namespace

ClockPage::ClockPage(const PageContext& ctx, LinkTimer* timerClock, QWidget* parent)
    : QWidget(parent),
      ctx_(ctx),
      TimerClock(timerClock),
      readRecord_(PreparedRecord(RequestCode::ClockRead, this)),
      writeRecord_(PreparedRecord(RequestCode::SetupBlockWrite, this)) {
    setObjectName(QStringLiteral("TSSetTime"));
    writeRecord_.StartRegister = reg::Clock;
    writeRecord_.RegisterCount = deviceclock::kWriteWords;
    writeRecord_.WordValues = writeWords_.data();

    auto* outer = new QVBoxLayout(this);
    auto* group = new QGroupBox(QStringLiteral("Дата и время"), this);
    group->setObjectName(QStringLiteral("sGroupBoxTime"));
    outer->addWidget(group, 0, Qt::AlignLeft | Qt::AlignTop);
    outer->addStretch(1);
    auto* row = new QHBoxLayout(group);

    sMonthCalendar = new QCalendarWidget(group);
    sMonthCalendar->setObjectName(QStringLiteral("sMonthCalendar"));
    sMonthCalendar->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    sMonthCalendar->setMinimumSize(280, 200);
    row->addWidget(sMonthCalendar, 0, Qt::AlignTop);

    auto* column = new QVBoxLayout;
    row->addLayout(column);

    auto* panel = new QFrame(group);
    panel->setObjectName(QStringLiteral("sPanelTime"));
    panel->setFrameShape(QFrame::StyledPanel);
    auto* spins = new QHBoxLayout(panel);
    auto* hour = new ClockSpinBox("sSpinEditHour", 23, panel);
    auto* minute = new ClockSpinBox("sSpinEditMin", 59, panel);
    auto* second = new ClockSpinBox("sSpinEditSek", 59, panel);
    sSpinEditHour = hour;
    sSpinEditMin = minute;
    sSpinEditSek = second;
    const std::pair<ClockSpinBox*, const char*> units[] = {
        {hour, "часов"}, {minute, "минут"}, {second, "секунд"}};
    auto* watch = new ClickWatch(this, [this] { sMonthCalendarChange(); });
    for (const auto& [spin, caption] : units) {
        spins->addWidget(spin);
        spins->addWidget(CaptionFor(QString::fromUtf8(caption), spin, panel));
        spins->addSpacing(6);
        spin->installEventFilter(watch);
        spin->edit()->installEventFilter(watch);
        connect(spin, &QSpinBox::valueChanged, this, [this] {
            if (!following_)
                sMonthCalendarChange();
        });
    }
    column->addWidget(panel);

    auto* grid = new QGridLayout;
    column->addLayout(grid);
    column->addStretch(1);
    sBitBtnWriteTime = new QPushButton(QStringLiteral("Запись"), group);
    sBitBtnWriteTime->setObjectName(QStringLiteral("sBitBtnWriteTime"));
    sCheckSaveCurrTime = new QCheckBox(QStringLiteral("Текущее время"), group);
    sCheckSaveCurrTime->setObjectName(QStringLiteral("sCheckSaveCurrTime"));
    sCheckSaveCurrTime->setChecked(false);
    grid->addWidget(sBitBtnWriteTime, 0, 0);
    grid->addWidget(sCheckSaveCurrTime, 0, 1);

    sBitBtnReadTime = new QPushButton(QStringLiteral("Чтение"), group);
    sBitBtnReadTime->setObjectName(QStringLiteral("sBitBtnReadTime"));
    sLabelTimeRW = valueLabel("sLabelTimeRW", group);
    grid->addWidget(sBitBtnReadTime, 1, 0);
    grid->addWidget(sLabelTimeRW, 1, 1);

    sLabelCurrTime = valueLabel("sLabelCurrTime", group);
    sLabelDifTime = valueLabel("sLabelDifTime", group);
    auto* currCaption = CaptionFor(QStringLiteral("Текущее время:"), sLabelCurrTime, group);
    currCaption->setObjectName(QStringLiteral("sLabelCurrTimeCaption"));
    auto* difCaption = CaptionFor(QStringLiteral("Разница:"), sLabelDifTime, group);
    difCaption->setObjectName(QStringLiteral("sLabelDifTimeCaption"));
    grid->addWidget(currCaption, 2, 0);
    grid->addWidget(sLabelCurrTime, 2, 1);
    grid->addWidget(difCaption, 3, 0);
    grid->addWidget(sLabelDifTime, 3, 1);

    connect(sMonthCalendar, &QCalendarWidget::clicked, this, &ClockPage::sMonthCalendarChange);
    connect(sMonthCalendar, &QCalendarWidget::selectionChanged, this, [this] {
        if (!following_)
            sMonthCalendarChange();
    });
    connect(sBitBtnReadTime, &QPushButton::clicked, this, &ClockPage::sBitBtnReadTimeClick);
    connect(sBitBtnWriteTime, &QPushButton::clicked, this, &ClockPage::sBitBtnWriteTimeClick);
    connect(TimerClock, &LinkTimer::timeout, this, &ClockPage::TimerClockTimer);

    LinkEngine* engine = ctx_.engine;
    engine->setReplyHandler(this, RequestCode::ClockRead,
                            [this](const quint8* reply, int n) { ShowClockReply(reply, n); });
    engine->setReplyHandler(this, RequestCode::SetupBlockWrite, [this](const quint8*, int) {
        ctx_.state->procedures.CalibrationWritePending = false;
        ctx_.engine->notify(QStringLiteral("Информация записана "));
        emit blockWriteConfirmed();
    });
    // Any reply that reaches the window, and a time-out, end the wait for the write.
    connect(engine, &LinkEngine::replyArrived, sBitBtnWriteTime,
            [this] { sBitBtnWriteTime->setEnabled(true); });
    connect(engine, &LinkEngine::timedOut, sBitBtnWriteTime,
            [this] { sBitBtnWriteTime->setEnabled(true); });
}

void ClockPage::setControls(const QDate* date, int hours, int minutes, int seconds) {
    following_ = true;
    if (date)
        sMonthCalendar->setSelectedDate(*date);
    sSpinEditHour->setValue(hours);
    sSpinEditMin->setValue(minutes);
    sSpinEditSek->setValue(seconds);
    following_ = false;
}

void ClockPage::sBitBtnReadTimeClick() {
    // Otherwise the next tick would overwrite the time that the reply puts into the spin edits.
    sCheckSaveCurrTime->setChecked(false);
    const std::optional<int> address = ctx_.engine->setupAddress();
    if (!address) {
        messagebox::ShowError(
            QStringLiteral("Логический номер не является целым числом. Запрос не отправлен."),
            this);
        return;
    }
    readRecord_.SlaveAddress = quint16(*address);
    ctx_.engine->SendInquiry(readRecord_);
}

void ClockPage::sBitBtnWriteTimeClick() {
    writeWords_ =
        deviceclock::EncodeClockBlock(sSpinEditSek->value(), sSpinEditMin->value(),
                                      sSpinEditHour->value(), sMonthCalendar->selectedDate());
    sBitBtnWriteTime->setEnabled(false);
    // A write that did not go out has no reply to wait for.
    if (!ctx_.engine->SendInquiryWriteBlock(writeRecord_))
        sBitBtnWriteTime->setEnabled(true);
}

void ClockPage::ShowClockReply(const quint8* reply, int length) {
    using namespace deviceclock;
    const QDateTime computer = QDateTime::fromMSecsSinceEpoch(ctx_.clock->nowMs());
    if (length < 3 + kClockDataBytes)
        return;
    sLabelCurrTime->setText(ComputerClockText(computer, locale()));
    const ClockWords w = DecodeClockBlock(reply + 3);
    sLabelTimeRW->setText(DeviceClockText(w));
    setControls(nullptr, w.hours, w.minutes, w.seconds);
    const std::optional<ClockDifference> d = DifferenceFrom(computer, w);
    sLabelDifTime->setText(d ? DifferenceText(*d) : QString());
}

void ClockPage::TimerClockTimer() {
    if (!sCheckSaveCurrTime->isChecked())
        return;
    const QDateTime now = QDateTime::fromMSecsSinceEpoch(ctx_.clock->nowMs());
    const QDate date = now.date();
    setControls(&date, now.time().hour(), now.time().minute(), now.time().second());
}

void ClockPage::sMonthCalendarChange() {
    sCheckSaveCurrTime->setChecked(false);
}
