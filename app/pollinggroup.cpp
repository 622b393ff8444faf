#include "app/pollinggroup.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "link/serialport.h"
#include "link/timer.h"
#include "widgets/caption.h"
#include "widgets/statuslamp.h"

namespace {

QLabel* valueField(const char* name, QWidget* parent) {
    auto* l = new QLabel(parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setFrameShape(QFrame::Panel);
    l->setFrameShadow(QFrame::Sunken);
    // A fixed size: the texts change with every exchange, and a label whose size could follow
    // its text would have the whole window laid out again each time.
    l->setFixedSize(76, l->sizeHint().height());
    return l;
}

}  // namespace

PollingGroup::PollingGroup(LinkEngine* engine, LinkTimer* timerAuto, PollingHost* host,
                           QWidget* parent)
    : QGroupBox(QStringLiteral("Опрос"), parent),
      engine_(engine),
      timerAuto_(timerAuto),
      host_(host) {
    setObjectName(QStringLiteral("GroupBoxPolling"));
    auto* grid = new QGridLayout(this);

    BitBtnStart = new QPushButton(QString::fromUtf8(pollingtext::kRead), this);
    BitBtnStart->setObjectName(QStringLiteral("BitBtnStart"));
    ApdStatusLight3 = new StatusLamp(this);
    ApdStatusLight3->setObjectName(QStringLiteral("ApdStatusLight3"));
    ApdStatusLight3->bind(&engine_->lamp3());
    CheckBoxAuto = new QCheckBox(QStringLiteral("Авто опрос"), this);
    CheckBoxAuto->setObjectName(QStringLiteral("CheckBoxAuto"));
    EditAuto = new QLineEdit(QStringLiteral("100"), this);
    EditAuto->setObjectName(QStringLiteral("EditAuto"));
    EditAuto->setMaximumWidth(70);
    StaticTextTimeMeasure = valueField("StaticTextTimeMeasure", this);
    StaticTextMax = valueField("StaticTextMax", this);
    StaticTextNoAnsw = valueField("StaticTextNoAnsw", this);
    StaticTextErrCRC = valueField("StaticTextErrCRC", this);
    StaticTextAllEnquiry = valueField("StaticTextAllEnquiry", this);
    ButtonStatClear = new QPushButton(QStringLiteral("Сброс"), this);
    ButtonStatClear->setObjectName(QStringLiteral("ButtonStatClear"));

    int row = 0;
    grid->addWidget(BitBtnStart, row, 0, 1, 2);
    grid->addWidget(ApdStatusLight3, row++, 2);
    grid->addWidget(CheckBoxAuto, row++, 0, 1, 3);
    grid->addWidget(CaptionFor(QStringLiteral("Период, мс"), EditAuto, this), row, 0);
    grid->addWidget(EditAuto, row++, 1, 1, 2);
    grid->addWidget(CaptionFor(QStringLiteral("Время ответа:"), StaticTextTimeMeasure, this), row,
                    0);
    grid->addWidget(StaticTextTimeMeasure, row++, 1, 1, 2);
    grid->addWidget(CaptionFor(QStringLiteral("max ="), StaticTextMax, this), row, 0);
    grid->addWidget(StaticTextMax, row++, 1, 1, 2);
    grid->addWidget(CaptionFor(QStringLiteral("Нет ответа"), StaticTextNoAnsw, this), row, 0);
    grid->addWidget(StaticTextNoAnsw, row++, 1, 1, 2);
    grid->addWidget(CaptionFor(QStringLiteral("Ошибка CRC"), StaticTextErrCRC, this), row, 0);
    grid->addWidget(StaticTextErrCRC, row++, 1, 1, 2);
    grid->addWidget(CaptionFor(QStringLiteral("Всего запросов:"), StaticTextAllEnquiry, this), row,
                    0);
    grid->addWidget(StaticTextAllEnquiry, row++, 1, 1, 2);
    grid->addWidget(ButtonStatClear, row++, 0, 1, 3);

    timerAuto_->setInterval(100);
    connect(BitBtnStart, &QPushButton::clicked, this, &PollingGroup::BitBtnStartClick);
    connect(ButtonStatClear, &QPushButton::clicked, this, &PollingGroup::ButtonStatClearClick);
    connect(timerAuto_, &LinkTimer::timeout, this, &PollingGroup::TimerAutoTimer);
    connect(engine_, &LinkEngine::inquirySent, this, &PollingGroup::PollingTimerStep);
    connect(engine_, &LinkEngine::replyCompleted, this, &PollingGroup::ShowReplyTime);
    connect(engine_, &LinkEngine::counterChanged, this, &PollingGroup::ShowCounter);
    connect(engine_, &LinkEngine::replyArrived, this, [this] { setStartEnabled(true); });
    connect(engine_, &LinkEngine::timedOut, this, [this] { setStartEnabled(true); });
}

void PollingGroup::setStartEnabled(bool on) {
    BitBtnStart->setEnabled(on);
}

void PollingGroup::BitBtnStartClick() {
    LampState& lamp = engine_->lamp3();
    if (polling_) {
        CheckBoxAuto->setChecked(false);
        polling_ = false;
        BitBtnStart->setText(QString::fromUtf8(pollingtext::kRead));
        timerAuto_->setEnabled(false);
        CheckBoxAuto->setEnabled(true);
        host_->setExitEnabled(true);
        lamp.setLit(false);
        host_->setPollingAddressEnabled(true);
        return;
    }
    const std::optional<int> address = host_->pollingAddress();
    if (!address)
        return;
    lamp.setLitColor(LampState::kGreen);
    lamp.setLit(true);
    if (CheckBoxAuto->isChecked()) {
        polling_ = true;
        BitBtnStart->setText(QString::fromUtf8(pollingtext::kStop));
        CheckBoxAuto->setEnabled(false);
        host_->setExitEnabled(false);
        lamp.setLit(false);
        host_->setPollingAddressEnabled(false);
    } else {
        BitBtnStart->setEnabled(false);
    }
    // The three reads of the first page, as the request table presets them.
    RequestCode code = RequestCode::MeasuredBlock;
    switch (host_->pollTarget()) {
        case PollingHost::Target::MeasuredValues:
            code = RequestCode::MeasuredBlock;
            break;
        case PollingHost::Target::IndicatorSetup:
            code = RequestCode::IndicatorSetup;
            break;
        case PollingHost::Target::IndicatorValues:
            code = RequestCode::IndicatorValues;
            break;
    }
    const RequestRecord preset = PreparedRecord(code);
    RequestRecord& r = MainRequest;
    r.SlaveAddress = quint16(*address);
    r.StartRegister = preset.StartRegister;
    r.RegisterCount = preset.RegisterCount;
    r.ReplyLength = preset.ReplyLength;
    r.Code = preset.Code;
    // A read that could not go out must not leave the button waiting for a reply.
    if (!engine_->SendInquiry(r) && !polling_)
        BitBtnStart->setEnabled(true);
}

void PollingGroup::PollingTimerStep() {
    if (!CheckBoxAuto->isChecked())
        return;
    host_->setPollingAddressEnabled(false);
    bool ok = false;
    int period = EditAuto->text().trimmed().toInt(&ok);
    if (!ok) {
        // No number: the field is emptied and polling keeps the period in force.
        EditAuto->clear();
        period = timerAuto_->interval();
    } else if (period < 0 || period > kMaxPeriodMs) {
        EditAuto->setText(QString::number(kMaxPeriodMs));
        period = kMaxPeriodMs;
    }
    timerAuto_->setInterval(period);
    timerAuto_->setEnabled(true);
}

void PollingGroup::TimerAutoTimer() {
    if (!CheckBoxAuto->isChecked())
        return;
    host_->setPollingAddressEnabled(false);
    engine_->lamp3().setLit(true);
    // A pause inside a sequence holds every timer's send.
    if (!engine_->awaitingReply() && !engine_->held())
        engine_->SendInquiry(MainRequest);
}

void PollingGroup::ShowReplyTime() {
    qint64 elapsed = engine_->clock()->nowMs() - engine_->sendTime();
    if (elapsed < 0)
        elapsed = 0;  // the system clock was set back meanwhile
    elapsed %= 24 * 3600 * 1000;
    const qint64 seconds = (elapsed / 1000) % 60;
    const qint64 millis = elapsed % 1000;
    StaticTextTimeMeasure->setText(QStringLiteral("%1c %2mc").arg(seconds).arg(millis));
    // The largest reply time compares whole replies, so a reply of 1 s 20 ms counts as
    // 1020 ms rather than as 20. Only a reply to a request that stamped its send time counts:
    // measured from an older stamp it could show minutes.
    LinkStatistics& stats = engine_->statistics();
    if (engine_->sendTimeCurrent() && elapsed > stats.maxReplyMs) {
        stats.maxReplyMs = elapsed;
        StaticTextMax->setText(QStringLiteral("%1mc").arg(elapsed));
    }
}

void PollingGroup::ShowCounter(LinkCounter counter) {
    const LinkStatistics& s = engine_->statistics();
    switch (counter) {
        case LinkCounter::Total:
            StaticTextAllEnquiry->setText(QString::number(s.total));
            break;
        case LinkCounter::Unanswered:
            StaticTextNoAnsw->setText(QString::number(s.unanswered));
            break;
        case LinkCounter::CrcErrors:
            StaticTextErrCRC->setText(QString::number(s.crcErrors));
            break;
    }
}

void PollingGroup::ButtonStatClearClick() {
    engine_->resetStatistics();
    StaticTextNoAnsw->clear();
    StaticTextErrCRC->clear();
    StaticTextAllEnquiry->clear();
}

void PollingGroup::DropPollingFlag() {
    if (!polling_)
        return;
    CheckBoxAuto->setEnabled(true);
    CheckBoxAuto->setChecked(false);
    polling_ = false;
    BitBtnStart->setText(QString::fromUtf8(pollingtext::kRead));
}
