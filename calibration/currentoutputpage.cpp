#include "calibration/currentoutputpage.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLoggingCategory>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include "calibration/valueentry.h"
#include "link/engine.h"
#include "link/timer.h"
#include "measure/catalogue.h"
#include "widgets/caption.h"
#include "widgets/messagebox.h"
#include "widgets/statuslamp.h"

Q_LOGGING_CATEGORY(lcCurrentOutput, "tervex.calibration.current")

using namespace currentoutput;

namespace {

// Lime digits on black, as on the metrology page.
const char* const kLcdStyle =
    "QDoubleSpinBox { background-color: black; color: lime; border: 1px solid #404040;"
    " font-family: 'DejaVu Sans Mono', monospace; font-size: 20px; font-weight: bold; }";

// The measured current in mA: wide enough for every variant's range with room to spare, and
// explicit, as the default minimum of 0 would clamp the -5 mA of the lower limit.
constexpr double kMeasuredMin = -99.999;
constexpr double kMeasuredMax = 99.999;
constexpr int kMeasuredDecimals = 3;
constexpr double kMeasuredStep = 0.001;

constexpr int kArrowWidth = 22;
constexpr int kArrowHeight = 18;

int stepRow(StepSize size) {
    for (size_t i = 0; i < kStepControls.size(); ++i) {
        if (kStepControls[i].size == size)
            return int(i);
    }
    return 0;
}

}  // namespace

OutputUpDown::OutputUpDown(QWidget* parent) : QWidget(parent) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    up_ = new QToolButton(this);
    up_->setObjectName(QStringLiteral("Up"));
    up_->setArrowType(Qt::UpArrow);
    up_->setAccessibleName(QStringLiteral("вверх"));
    down_ = new QToolButton(this);
    down_->setObjectName(QStringLiteral("Down"));
    down_->setArrowType(Qt::DownArrow);
    down_->setAccessibleName(QStringLiteral("вниз"));
    for (QToolButton* b : {up_, down_}) {
        b->setFixedSize(kArrowWidth, kArrowHeight);
        column->addWidget(b);
    }
    connect(up_, &QToolButton::clicked, this, [this] { arrow(true); });
    connect(down_, &QToolButton::clicked, this, [this] { arrow(false); });
}

void OutputUpDown::setPosition(int position) {
    position_ = std::clamp(position, kStepPositionMin, kStepPositionMax);
}

void OutputUpDown::arrow(bool up) {
    setPosition(position_ + (up ? 1 : -1));
    emit clicked(up);
}

// ---- Construction -------------------------------------------------------------------------

CurrentOutputPage::CurrentOutputPage(const PageContext& ctx, QWidget* parent)
    : QWidget(parent), ctx_(ctx) {
    setObjectName(QStringLiteral("TSSetCurrent"));
    variantRead_ = VariantRead();
    statusRead_ = StatusRead();
    for (RequestRecord* r : {&variantRead_, &statusRead_})
        r->Sender = this;

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(6, 6, 6, 6);
    column->addWidget(buildTopPanel());
    auto* body = new QHBoxLayout;
    body->addWidget(buildLimitsAndVariant(), 0, Qt::AlignTop);
    auto* outputs = new QVBoxLayout;
    for (int n = 0; n < kOutputCount; ++n)
        outputs->addWidget(buildOutput(n));
    outputs->addStretch(1);
    body->addLayout(outputs);
    body->addStretch(1);
    column->addLayout(body, 1);

    refreshControls();
    registerHandlers();
}

QWidget* CurrentOutputPage::buildTopPanel() {
    auto* panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("sPanelSetCurr"));
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(0, 0, 0, 0);

    ApdStatusLight2 = new StatusLamp(panel);
    ApdStatusLight2->setObjectName(QStringLiteral("ApdStatusLight2"));
    QSizePolicy keep = ApdStatusLight2->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    ApdStatusLight2->setSizePolicy(keep);
    ApdStatusLight2->bind(&ctx_.engine->lamp2());

    sBitBtnSetCurr = new QPushButton(QString::fromUtf8(kStartCaption), panel);
    sBitBtnSetCurr->setObjectName(QStringLiteral("sBitBtnSetCurr"));
    sBitBtnSetCurr->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
    sBitBtnSetCurr->setMinimumWidth(110);

    BitBtnSeveHwCurrInfo = new QPushButton(panel);
    BitBtnSeveHwCurrInfo->setObjectName(QStringLiteral("BitBtnSeveHwCurrInfo"));
    BitBtnSeveHwCurrInfo->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));

    auto* linkLabel = CaptionFor(QStringLiteral("Установить связь:"), sBitBtnSetCurr, panel);
    linkLabel->setObjectName(QStringLiteral("sLabelSetCurr"));
    auto* saveLabel =
        CaptionFor(QStringLiteral("Сохранить изменения:"), BitBtnSeveHwCurrInfo, panel);
    saveLabel->setObjectName(QStringLiteral("sLabelSeveHwCurrInfo"));

    row->addWidget(linkLabel);
    row->addWidget(ApdStatusLight2);
    row->addWidget(sBitBtnSetCurr);
    row->addSpacing(40);
    row->addWidget(saveLabel);
    row->addWidget(BitBtnSeveHwCurrInfo);
    row->addStretch(1);

    connect(sBitBtnSetCurr, &QPushButton::clicked, this, &CurrentOutputPage::sBitBtnSetCurrClick);
    connect(BitBtnSeveHwCurrInfo, &QPushButton::clicked, this,
            &CurrentOutputPage::BitBtnSeveHwCurrInfoClick);
    return panel;
}

QWidget* CurrentOutputPage::buildLimitsAndVariant() {
    auto* panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("sPanelHwCurr"));
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(0, 0, 0, 0);

    sRadioGroupHwCurr = new QGroupBox(QStringLiteral("Пределы"), panel);
    sRadioGroupHwCurr->setObjectName(QStringLiteral("sRadioGroupHwCurr"));
    auto* items = new QVBoxLayout(sRadioGroupHwCurr);
    limitButtons_ = new QButtonGroup(this);
    for (int i = 0; i < kLimitCount; ++i) {
        auto* item = new QRadioButton(QString::fromUtf8(kLimitItems[size_t(i)]), sRadioGroupHwCurr);
        item->setObjectName(QStringLiteral("sRadioGroupHwCurrItem%1").arg(i));
        limitButtons_->addButton(item, i);
        items->addWidget(item);
    }
    limitButtons_->button(limit_)->setChecked(true);
    connect(limitButtons_, &QButtonGroup::idClicked, this,
            &CurrentOutputPage::sRadioGroupHwCurrClick);
    column->addWidget(sRadioGroupHwCurr);

    auto* variant = new QGroupBox(QStringLiteral("Аппаратная реализация"), panel);
    variant->setObjectName(QStringLiteral("sGroupBoxHwCurr"));
    auto* variantColumn = new QVBoxLayout(variant);
    sComboBoxSelHwCurr = new QComboBox(variant);
    sComboBoxSelHwCurr->setObjectName(QStringLiteral("sComboBoxSelHwCurr"));
    for (const char* item : kVariantItems)
        sComboBoxSelHwCurr->addItem(QString::fromUtf8(item));
    sComboBoxSelHwCurr->setCurrentIndex(-1);
    sComboBoxSelHwCurr->setAccessibleName(QStringLiteral("Аппаратная реализация"));
    sBitBtnSaveSelHwCurr = new QPushButton(QStringLiteral("Запись"), variant);
    sBitBtnSaveSelHwCurr->setObjectName(QStringLiteral("sBitBtnSaveSelHwCurr"));
    variantColumn->addWidget(sComboBoxSelHwCurr);
    variantColumn->addWidget(sBitBtnSaveSelHwCurr, 0, Qt::AlignLeft);
    connect(sBitBtnSaveSelHwCurr, &QPushButton::clicked, this,
            &CurrentOutputPage::sBitBtnSaveSelHwCurrClick);
    column->addWidget(variant);
    column->addStretch(1);
    return panel;
}

QWidget* CurrentOutputPage::buildOutput(int n) {
    auto* box = new QGroupBox(QStringLiteral("Токовый выход %1").arg(n + 1), this);
    box->setObjectName(QStringLiteral("sGroupBoxCurr%1").arg(n + 1));
    auto* row = new QHBoxLayout(box);

    auto* measured = new QGroupBox(QStringLiteral("Измеренное значение"), box);
    measured->setObjectName(QStringLiteral("sGroupBoxMeasCurr%1").arg(n + 1));
    auto* measuredRow = new QHBoxLayout(measured);
    auto* spin = new QDoubleSpinBox(measured);
    spin->setObjectName(QStringLiteral("sDecimalSpinEditCurr%1").arg(n + 1));
    spin->setRange(kMeasuredMin, kMeasuredMax);
    spin->setDecimals(kMeasuredDecimals);
    spin->setSingleStep(kMeasuredStep);
    spin->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    spin->setStyleSheet(QString::fromLatin1(kLcdStyle));
    spin->setMinimumWidth(130);
    spin->setAccessibleName(QStringLiteral("Измеренное значение, выход %1").arg(n + 1));
    auto* enter = new QPushButton(QStringLiteral("Ввод"), measured);
    enter->setObjectName(QStringLiteral("sBitBtnEnterCurr%1").arg(n + 1));
    // A mouse click leaves the focus in the field: the field would otherwise put its last
    // value back on losing it, and an emptied field would write a value the operator deleted.
    enter->setFocusPolicy(Qt::TabFocus);
    measuredRow->addWidget(spin);
    measuredRow->addWidget(enter);
    connect(enter, &QPushButton::clicked, this, [this, n] { sBitBtnEnterCurr1Click(n); });
    spins_[size_t(n)] = spin;
    enters_[size_t(n)] = enter;
    row->addWidget(measured);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(14);
    grid->setVerticalSpacing(2);
    for (size_t s = 0; s < kStepControls.size(); ++s) {
        const StepControl& c = kStepControls[s];
        auto* control = new OutputUpDown(box);
        control->setObjectName(QString::fromLatin1(c.names[size_t(n)]));
        auto* label = CaptionFor(QString::fromUtf8(c.label), control, box);
        label->setObjectName(QStringLiteral("sLabel") +
                             QString::fromLatin1(c.names[size_t(n)]).mid(1));
        control->setAccessibleName(
            QStringLiteral("%1, выход %2").arg(QString::fromUtf8(c.label)).arg(n + 1));
        grid->addWidget(label, 0, int(s), Qt::AlignHCenter);
        grid->addWidget(control, 1, int(s), Qt::AlignHCenter);
        const StepSize size = c.size;
        connect(control, &OutputUpDown::clicked, this, [this, size, n](bool up) {
            switch (size) {
                case StepSize::X1:
                    sUpDownCurr1Click(n, up);
                    break;
                case StepSize::X10:
                    sUpDownFast2Click(n, up);
                    break;
                case StepSize::X100:
                    sUpDownSFast2Click(n, up);
                    break;
            }
        });
        steps_[s][size_t(n)] = control;
    }
    row->addSpacing(16);
    row->addLayout(grid);
    row->addStretch(1);
    return box;
}

OutputUpDown* CurrentOutputPage::stepControl(StepSize size, int n) const {
    return steps_[size_t(stepRow(size))][size_t(n)];
}

void CurrentOutputPage::registerHandlers() {
    LinkEngine* engine = ctx_.engine;
    engine->setReplyHandler(this, RequestCode::OutputVariantRead,
                            [this](const quint8* r, int n) { onVariantRead(r, n); });
    engine->setReplyHandler(this, RequestCode::OutputStatusRead,
                            [this](const quint8* r, int n) { onStatusRead(r, n); });
    engine->setReplyHandler(this, RequestCode::OutputVariantWrite,
                            [this](const quint8*, int) { onWriteReply(true); });
    engine->setReplyHandler(this, RequestCode::OutputMeasuredValue,
                            [this](const quint8*, int) { onWriteReply(false); });
    engine->setReplyHandler(this, RequestCode::OutputCommand,
                            [this](const quint8*, int) { onCommandReply(); });
    engine->setReplyHandler(this, RequestCode::MainParameterWrite, [this](const quint8*, int) {
        ctx_.engine->notify(QString::fromUtf8(kWritten));
    });
    connect(engine, &LinkEngine::requestSent, this, &CurrentOutputPage::onRequestSent);
    connect(engine, &LinkEngine::timedOut, this, &CurrentOutputPage::onTimedOut);
    connect(engine, &LinkEngine::exceptionReply, this,
            [this](quint8, const QString&) { onExceptionReply(); });
    connect(engine, &LinkEngine::procedureFailureLimit, this,
            &CurrentOutputPage::StopCurrentOutput);
}

// ---- Start and stop -----------------------------------------------------------------------

void CurrentOutputPage::sBitBtnSetCurrClick() {
    if (ctx_.state->procedures.CurrentOutputActive) {
        StopCurrentOutput();
        return;
    }
    startCurrentOutput();
}

// The sequencing timer's interval is left as it is: the variant read goes out now, and the
// timer is started only once it is answered.
void CurrentOutputPage::startCurrentOutput() {
    LinkEngine* engine = ctx_.engine;
    engine->setCurrentRequest(&variantRead_);
    const bool wasIdle = state_ == State::Idle;
    step(Event::StartClick);
    refreshControls();
    if (wasIdle)
        emit currentOutputRunning(true);
    if (!engine->SendInquiryTuning(variantRead_))
        undoStart();
}

// A start whose variant read was not answered has not begun: nothing of it may stay behind,
// "Выход" included.
void CurrentOutputPage::undoStart() {
    step(Event::StartFailed);
    ctx_.engine->setCurrentRequest(nullptr);
    refreshControls();
    emit currentOutputRunning(false);
}

void CurrentOutputPage::StopCurrentOutput() {
    if (state_ == State::Idle)
        return;
    LinkEngine* engine = ctx_.engine;
    ProcedureState& procedures = ctx_.state->procedures;
    sBitBtnSetCurr->setText(QString::fromUtf8(kStartCaption));
    sBitBtnSetCurr->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
    engine->lamp2().setVisible(false);
    engine->timerSetAuto()->stop();
    procedures.ProcedureFailures = 0;
    procedures.CurrentOutputActive = false;
    engine->setCurrentRequest(nullptr);
    step(Event::Stop);
    ++run_;
    writeSent_ = false;
    emit currentOutputRunning(false);
    refreshControls();
    // To the logical number in force now, which is the one the procedure talked to unless
    // the operator changed it meanwhile; a number that is no number is reported by the link.
    modeOff_ = ModeWrite(kModeOff, quint16(engine->setupAddress().value_or(0)));
    modeOff_.Sender = this;
    modeOffOutstanding_ = engine->SendInquiryWrite06(modeOff_);
}

// ---- Replies ------------------------------------------------------------------------------

void CurrentOutputPage::onVariantRead(const quint8* reply, int n) {
    if (state_ != State::Starting || n < 5 + 2)
        return;
    // The number was emptied while the read was out: the mode write could not go anywhere.
    const std::optional<quint16> slave = commandSlave();
    if (!slave) {
        undoStart();
        return;
    }
    LinkEngine* engine = ctx_.engine;
    sBitBtnSetCurr->setText(QString::fromUtf8(kStopCaption));
    sBitBtnSetCurr->setIcon(style()->standardIcon(QStyle::SP_MediaStop));
    ctx_.state->procedures.CurrentOutputActive = true;
    const quint16 variant = WordAt(reply + 3, 0);
    sComboBoxSelHwCurr->setCurrentIndex(VariantItem(variant));
    PresetOutputValues(variant);
    modeWrite_ = ModeWrite(quint16(limit_ + 1), *slave);
    modeWrite_.Sender = this;
    engine->setCurrentRequest(&modeWrite_);
    engine->timerSetAuto()->start();
    step(Event::VariantReply);
    refreshControls();
    emit schemeApplyRequested();
}

void CurrentOutputPage::onCommandReply() {
    if (state_ == State::EnteringMode || state_ == State::WriteSent) {
        step(Event::CommandReply);
        refreshControls();
        settle(true);
        return;
    }
    if (state_ == State::Idle && modeOffOutstanding_) {
        modeOffOutstanding_ = false;
        settle(false);
    }
}

// The transducer needs time after switching its mode, moving an output or storing: the link
// sends nothing for a second, and then waits up to 5 s for the next reply. The status read
// follows two seconds later.
void CurrentOutputPage::settle(bool resume) {
    const int run = run_;
    ctx_.engine->pause(kSettleMs, [this, run, resume] {
        LinkEngine* engine = ctx_.engine;
        engine->timerWaitAnsw()->setInterval(LinkEngine::kLongReplyTimeoutMs);
        if (!resume || run != run_ || state_ != State::Settling)
            return;
        engine->timerSetAuto()->setInterval(kSettledPollIntervalMs);
        engine->setCurrentRequest(&statusRead_);
        engine->timerSetAuto()->start();
        step(Event::Settled);
        refreshControls();
    });
}

void CurrentOutputPage::onStatusRead(const quint8* reply, int n) {
    if ((state_ != State::Monitoring && state_ != State::WriteQueued) || n < 5 + 2)
        return;
    if (CorrectionModeOn(WordAt(reply + 3, 0)))
        return;
    StopCurrentOutput();
    ctx_.engine->notify(QString::fromUtf8(kNoCorrectionMode));
}

void CurrentOutputPage::onWriteReply(bool limitChange) {
    if (state_ != State::WriteQueued)
        return;
    if (limitChange)
        PresetOutputValues(quint16(std::max(0, sComboBoxSelHwCurr->currentIndex())));
    ctx_.engine->setCurrentRequest(&statusRead_);
    step(Event::WriteReply);
    refreshControls();
}

// A step or the store goes out once: the tick has just sent it, and the timer waits for its
// reply instead of sending it again.
void CurrentOutputPage::onRequestSent(RequestCode code) {
    LinkEngine* engine = ctx_.engine;
    if (state_ != State::WriteQueued || engine->currentRequest() != &write_ ||
        code != write_.requestCode())
        return;
    writeSent_ = true;
    if (!SentOnce(write_))
        return;
    engine->timerSetAuto()->stop();
    if (write_.StartRegister == reg::Store)
        engine->timerWaitAnsw()->setInterval(LinkEngine::kLongReplyTimeoutMs);
    step(Event::SentOnce);
}

void CurrentOutputPage::onTimedOut() {
    const RequestCode code = ctx_.engine->outstandingCode();
    if (state_ == State::Starting && code == RequestCode::OutputVariantRead) {
        undoStart();
        return;
    }
    // A step or store without a confirmation may have been carried out: it is not sent again.
    if (state_ == State::WriteSent)
        backToStatusRead();
}

// The link has fallen back to the metrology reading poll; this procedure goes on with its own
// status read instead. A refused write of the operator is dropped, not repeated, and a write
// queued behind a refused status read stays queued.
void CurrentOutputPage::onExceptionReply() {
    LinkEngine* engine = ctx_.engine;
    switch (state_) {
        case State::Idle:
        case State::Settling:
            return;
        case State::Starting:
            if (engine->outstandingCode() == RequestCode::OutputVariantRead)
                undoStart();
            else
                engine->setCurrentRequest(&variantRead_);
            return;
        case State::WriteQueued:
            if (!writeSent_) {
                engine->setCurrentRequest(&write_);
                return;
            }
            break;
        case State::EnteringMode:
        case State::Monitoring:
        case State::WriteSent:
            break;
    }
    backToStatusRead();
}

void CurrentOutputPage::backToStatusRead() {
    ctx_.engine->setCurrentRequest(&statusRead_);
    ctx_.engine->timerSetAuto()->start();
    writeSent_ = false;
    step(Event::WriteLost);
    refreshControls();
}

// ---- Operator actions ---------------------------------------------------------------------

std::optional<quint16> CurrentOutputPage::commandSlave() {
    const std::optional<int> address = ctx_.engine->setupAddress();
    if (!address || (*address & 0xFF) == 0) {
        messagebox::ShowError(linktext::NoAddress(), this);
        return std::nullopt;
    }
    return quint16(*address);
}

void CurrentOutputPage::queueWrite(const RequestRecord& r) {
    write_ = r;
    write_.Sender = this;
    writeSent_ = false;
    ctx_.engine->setCurrentRequest(&write_);
    step(Event::WriteQueued);
    refreshControls();
}

void CurrentOutputPage::sRadioGroupHwCurrClick(int item) {
    if (item < 0 || item >= kLimitCount || item == limit_)
        return;
    const bool running = state_ != State::Idle;
    std::optional<quint16> slave;
    if (running && (!ready() || !(slave = commandSlave()))) {
        // Not now: the selector keeps showing the limit in force.
        limitButtons_->button(limit_)->setChecked(true);
        return;
    }
    limit_ = item;
    if (running)
        queueWrite(LimitChange(item, *slave));
    else
        refreshControls();
}

void CurrentOutputPage::stepClick(StepSize size, int n, bool up) {
    if (n < 0 || n >= kOutputCount)
        return;
    stepControl(size, n)->setPosition(kStepPositionRest);
    const std::optional<quint16> code = StepCode(size, n, limit_);
    if (!ready() || !code)
        return;
    const std::optional<quint16> slave = commandSlave();
    if (!slave)
        return;
    queueWrite(StepWrite(up, *code, *slave));
}

void CurrentOutputPage::sUpDownCurr1Click(int n, bool up) {
    stepClick(StepSize::X1, n, up);
}

void CurrentOutputPage::sUpDownFast2Click(int n, bool up) {
    stepClick(StepSize::X10, n, up);
}

void CurrentOutputPage::sUpDownSFast2Click(int n, bool up) {
    stepClick(StepSize::X100, n, up);
}

void CurrentOutputPage::sBitBtnEnterCurr1Click(int n) {
    if (n < 0 || n >= kOutputCount || !ControlsFor(true, limit_, ready()).measured)
        return;
    QDoubleSpinBox* spin = spins_[size_t(n)];
    const QString text = spin->cleanText();
    const valueentry::Entry entry = valueentry::ParseEntry(text, spin->locale());
    switch (entry.status) {
        case valueentry::Status::Empty:
            messagebox::Show(QString::fromUtf8(valueentry::kNotGiven), this);
            return;
        case valueentry::Status::NotANumber:
        case valueentry::Status::OutOfRange:
            messagebox::ShowError(valueentry::ConversionError(text), this);
            return;
        case valueentry::Status::Ok:
            break;
    }
    queueWrite(MeasuredValueWrite(limit_, n, entry.value));
}

void CurrentOutputPage::BitBtnSeveHwCurrInfoClick() {
    if (!ready())
        return;
    const std::optional<quint16> slave = commandSlave();
    if (!slave)
        return;
    queueWrite(Save(*slave));
}

void CurrentOutputPage::sBitBtnSaveSelHwCurrClick() {
    if (state_ != State::Idle || !CheckSelection(sComboBoxSelHwCurr, this))
        return;
    const std::optional<quint16> slave = commandSlave();
    if (!slave)
        return;
    variantWrite_ = VariantWrite(sComboBoxSelHwCurr->currentIndex(), *slave);
    variantWrite_.Sender = this;
    ctx_.engine->SendInquiryWrite06(variantWrite_);
}

// ---- Controls -----------------------------------------------------------------------------

void CurrentOutputPage::SetCurrentOutputControlsEnabled(bool running) {
    const ControlStates s = ControlsFor(running, limit_, ready());
    for (int n = 0; n < kOutputCount; ++n) {
        spins_[size_t(n)]->setEnabled(s.measured);
        enters_[size_t(n)]->setEnabled(s.measured);
        stepControl(StepSize::X1, n)->setEnabled(s.x1);
        stepControl(StepSize::X10, n)->setEnabled(s.fastSteps);
        stepControl(StepSize::X100, n)->setEnabled(s.fastSteps);
    }
    sRadioGroupHwCurr->setEnabled(s.limitsAndSave);
    BitBtnSeveHwCurrInfo->setEnabled(s.limitsAndSave);
    sComboBoxSelHwCurr->setEnabled(s.variant);
    sBitBtnSaveSelHwCurr->setEnabled(s.variant);
}

void CurrentOutputPage::refreshControls() {
    SetCurrentOutputControlsEnabled(state_ != State::Idle);
}

void CurrentOutputPage::PresetOutputValues(quint16 variant) {
    for (QDoubleSpinBox* spin : spins_)
        spin->setValue(PresetOutputValue(variant, limit_));
}

void CurrentOutputPage::step(Event e) {
    const State before = state_;
    state_ = Next(state_, e);
    if (state_ != before)
        qCDebug(lcCurrentOutput) << "current output" << StateName(before) << "->"
                                 << StateName(state_);
}
