#include "calibration/metrologypage.h"

#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLoggingCategory>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>

#include "link/engine.h"
#include "link/timer.h"
#include "measure/catalogue.h"
#include "widgets/caption.h"
#include "widgets/messagebox.h"
#include "widgets/statuslamp.h"

Q_LOGGING_CATEGORY(lcMetrology, "tervex.calibration")

using namespace metrology;

namespace {

const char* const kStartCaption = "   Старт";
const char* const kStopCaption = "   Стоп";

// Lime digits on black, as the transducer's own display.
const char* const kLcdStyle =
    "QLabel { background-color: black; color: lime; border: 1px solid #404040;"
    " font-family: 'DejaVu Sans Mono', monospace; font-size: 20px; font-weight: bold;"
    " padding: 0px 6px; }";

constexpr int kFieldWidth = 118;
constexpr int kFieldHeight = 30;
constexpr int kWideArrowWidth = 26;
constexpr int kNarrowArrowWidth = 14;

}  // namespace

TrimSpinButton::TrimSpinButton(bool wide, QWidget* parent) : QWidget(parent) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    const int width = wide ? kWideArrowWidth : kNarrowArrowWidth;
    up_ = new QToolButton(this);
    up_->setObjectName(QStringLiteral("Up"));
    up_->setArrowType(Qt::UpArrow);
    down_ = new QToolButton(this);
    down_->setObjectName(QStringLiteral("Down"));
    down_->setArrowType(Qt::DownArrow);
    for (QToolButton* b : {up_, down_}) {
        b->setFixedSize(width, kFieldHeight / 2);
        b->setAutoRaise(false);
        column->addWidget(b);
    }
    up_->setAccessibleName(QStringLiteral("вверх"));
    down_->setAccessibleName(QStringLiteral("вниз"));
    connect(up_, &QToolButton::clicked, this, &TrimSpinButton::upClicked);
    connect(down_, &QToolButton::clicked, this, &TrimSpinButton::downClicked);
}

MetrologyPage::MetrologyPage(const PageContext& ctx, QWidget* parent) : QWidget(parent), ctx_(ctx) {
    setObjectName(QStringLiteral("TSSetMetrol"));
    schemeRead_ = SchemeRead();
    ratioRead_ = RatioRead();
    referenceWrite_ = ReferenceWrite(0, 0.0f);
    command_ = CalibrationSave(0);
    for (RequestRecord* r : {&schemeRead_, &ratioRead_, &referenceWrite_, &command_})
        r->Sender = this;

    column_ = new QVBoxLayout(this);
    column_->setContentsMargins(4, 4, 4, 4);

    PageControl2or3Elem = new QTabWidget(this);
    PageControl2or3Elem->setObjectName(QStringLiteral("PageControl2or3Elem"));
    TabSheet4 = buildSheet(Sheet::TwoElement);
    TabSheet3 = buildSheet(Sheet::ThreeElement);
    PageControl2or3Elem->addTab(TabSheet4, QStringLiteral("Двух элементная"));
    PageControl2or3Elem->addTab(TabSheet3, QStringLiteral("Трех элементная"));
    ShowSchemeSheet(false);
    // Hidden while idle without letting the panel below move up into its place.
    QSizePolicy keep = PageControl2or3Elem->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    PageControl2or3Elem->setSizePolicy(keep);
    PageControl2or3Elem->setVisible(false);
    column_->addWidget(PageControl2or3Elem, 1);
    column_->addWidget(buildPanel());

    refreshInputs();
    registerHandlers();
}

QWidget* MetrologyPage::buildSheet(Sheet sheet) {
    auto* page = new QWidget;
    page->setObjectName(sheet == Sheet::ThreeElement ? QStringLiteral("TabSheet3")
                                                     : QStringLiteral("TabSheet4"));
    auto* row = new QHBoxLayout(page);
    row->setContentsMargins(6, 6, 6, 6);
    row->setSpacing(10);

    std::array<QGridLayout*, kCalibrationGroupCount> grids{};
    std::array<QGroupBox*, kCalibrationGroupCount> boxes{};
    for (int g = 0; g < kCalibrationGroupCount; ++g) {
        const CalibrationGroup& group = kCalibrationGroups[size_t(g)];
        if (group.sheet != sheet)
            continue;
        auto* box = new QGroupBox(QString::fromUtf8(group.caption), page);
        box->setObjectName(QString::fromLatin1(group.name));
        auto* grid = new QGridLayout(box);
        grid->setContentsMargins(8, 6, 8, 6);
        grid->setHorizontalSpacing(6);
        grid->setVerticalSpacing(6);
        grids[size_t(g)] = grid;
        boxes[size_t(g)] = box;
        row->addWidget(box, 0, Qt::AlignTop);
    }
    row->addStretch(1);

    for (int i = 0; i < kCalibrationRowCount; ++i) {
        const CalibrationRow& r = kCalibrationRows[size_t(i)];
        if (r.sheet != sheet)
            continue;
        QGroupBox* box = boxes[size_t(r.group)];
        auto* field = new QLabel(box);
        field->setObjectName(QString::fromLatin1(r.field));
        field->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        field->setStyleSheet(QString::fromLatin1(kLcdStyle));
        field->setFixedSize(kFieldWidth, kFieldHeight);
        field->setTextFormat(Qt::PlainText);
        QLabel* caption = CaptionFor(QString::fromUtf8(r.caption), field, box);
        caption->setObjectName(QStringLiteral("LabelCal") + QString::fromLatin1(r.field).mid(10));
        caption->setVisible(r.captionShown);
        if (r.referenceNumber != kNoReferenceNumber) {
            field->installEventFilter(this);
            field->setToolTip(QStringLiteral("Двойной щелчок — ввести действительное значение"));
        }
        grids[size_t(r.group)]->addWidget(caption, r.line, 0, Qt::AlignRight);
        grids[size_t(r.group)]->addWidget(field, r.line, 1);
        fields_[size_t(i)] = field;
    }

    for (int b = 0; b < kEnterButtonCount; ++b) {
        const EnterButton& e = kEnterButtons[size_t(b)];
        if (e.sheet != sheet)
            continue;
        auto* button = new QPushButton(QStringLiteral("Ввод"), boxes[size_t(e.group)]);
        button->setObjectName(QString::fromLatin1(e.name));
        button->setFixedHeight(kFieldHeight);
        grids[size_t(e.group)]->addWidget(button, e.line, 2);
        connect(button, &QPushButton::clicked, this, [this, b] { EnterButtonClick(b); });
        buttons_[size_t(b)] = button;
    }

    if (sheet == Sheet::TwoElement) {
        const int g = 5;
        for (const TrimLabel& l : kTwoElementTrimLabels) {
            auto* label = new QLabel(QString::fromUtf8(l.text), boxes[size_t(g)]);
            label->setObjectName(QString::fromLatin1(l.name));
            grids[size_t(g)]->addWidget(label, l.line, 0, 1, 2, Qt::AlignRight);
        }
    }
    for (int t = 0; t < kPowerTrimCount; ++t) {
        const PowerTrim& p = kPowerTrims[size_t(t)];
        if (p.sheet != sheet)
            continue;
        auto* spin = new TrimSpinButton(p.wide, boxes[size_t(p.group)]);
        spin->setObjectName(QString::fromLatin1(p.name));
        spin->setAccessibleName(QString::fromLatin1(p.name));
        grids[size_t(p.group)]->addWidget(spin, p.line, p.wide ? 2 : 3);
        connect(spin, &TrimSpinButton::upClicked, this, [this, t] { PowerTrimClick(t, true); });
        connect(spin, &TrimSpinButton::downClicked, this, [this, t] { PowerTrimClick(t, false); });
        trims_[size_t(t)] = spin;
    }
    for (QGridLayout* grid : grids) {
        if (grid)
            grid->setRowStretch(grid->rowCount(), 1);
    }
    return page;
}

QWidget* MetrologyPage::buildPanel() {
    auto* panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("PanelSetNet"));
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(6, 2, 6, 2);

    ApdStatusLight1 = new StatusLamp(panel);
    ApdStatusLight1->setObjectName(QStringLiteral("ApdStatusLight1"));
    QSizePolicy keep = ApdStatusLight1->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    ApdStatusLight1->setSizePolicy(keep);
    ApdStatusLight1->bind(&ctx_.engine->lamp1());

    BitBtnSetNet = new QPushButton(QString::fromUtf8(kStartCaption), panel);
    BitBtnSetNet->setObjectName(QStringLiteral("BitBtnSetNet"));
    BitBtnSetNet->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
    BitBtnSetNet->setMinimumWidth(110);

    BitBtnSeveSetInfo = new QPushButton(panel);
    BitBtnSeveSetInfo->setObjectName(QStringLiteral("BitBtnSeveSetInfo"));
    BitBtnSeveSetInfo->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    BitBtnSeveSetInfo->setEnabled(false);

    auto* linkLabel = CaptionFor(QStringLiteral("Установить связь:"), BitBtnSetNet, panel);
    linkLabel->setObjectName(QStringLiteral("LabelSetNet"));
    auto* saveLabel = CaptionFor(QStringLiteral("Сохранить изменения:"), BitBtnSeveSetInfo, panel);
    saveLabel->setObjectName(QStringLiteral("LabelSeveSetInfo"));

    row->addWidget(linkLabel);
    row->addWidget(ApdStatusLight1);
    row->addWidget(BitBtnSetNet);
    row->addSpacing(40);
    row->addWidget(saveLabel);
    row->addWidget(BitBtnSeveSetInfo);
    row->addStretch(1);

    connect(BitBtnSetNet, &QPushButton::clicked, this, &MetrologyPage::BitBtnSetNetClick);
    connect(BitBtnSeveSetInfo, &QPushButton::clicked, this, &MetrologyPage::BitBtnSeveSetInfoClick);
    return panel;
}

void MetrologyPage::placeRatioGroup(QWidget* group) {
    column_->insertWidget(0, group);
}

void MetrologyPage::registerHandlers() {
    LinkEngine* engine = ctx_.engine;
    // The reading poll is the engine's own record, the one it falls back to after a refusal.
    engine->setPollSender(this);
    engine->setReplyHandler(this, RequestCode::MetrologySchemeRead,
                            [this](const quint8* r, int n) { onSchemeRead(r, n); });
    engine->setReplyHandler(this, RequestCode::MetrologyRatioRead,
                            [this](const quint8* r, int n) { onRatioRead(r, n); });
    engine->setReplyHandler(this, RequestCode::MetrologyPoll,
                            [this](const quint8* r, int n) { onPoll(r, n); });
    engine->setReplyHandler(this, RequestCode::MetrologyReference,
                            [this](const quint8*, int) { onWriteReply(false); });
    engine->setReplyHandler(this, RequestCode::MetrologyCommand,
                            [this](const quint8*, int) { onWriteReply(true); });
    connect(engine, &LinkEngine::timedOut, this, [this] { onExchangeFailed(false); });
    connect(engine, &LinkEngine::exceptionReply, this,
            [this](quint8, const QString&) { onExchangeFailed(true); });
    connect(engine, &LinkEngine::procedureFailureLimit, this, &MetrologyPage::StopMetrology);
}

// ---- Start and stop ---------------------------------------------------------------------

void MetrologyPage::BitBtnSetNetClick() {
    if (ctx_.state->procedures.MetrologyActive) {
        ctx_.engine->timerSetAuto()->setInterval(1000);
        StopMetrology();
        return;
    }
    startMetrology();
}

void MetrologyPage::startMetrology() {
    LinkEngine* engine = ctx_.engine;
    engine->timerSetAuto()->setInterval(1000);
    engine->setCurrentRequest(&schemeRead_);
    const bool wasIdle = state_ == State::Idle;
    inputs_.beginStart();
    refreshInputs();
    step(Event::StartClick);
    if (wasIdle)
        emit metrologyRunning(true);
    if (!engine->SendInquiryTuning(schemeRead_))
        undoStart();
}

// A start whose scheme read failed has not begun: nothing of it may stay behind.
void MetrologyPage::undoStart() {
    step(Event::StartFailed);
    ctx_.engine->setCurrentRequest(nullptr);
    BitBtnSeveSetInfo->setEnabled(false);
    emit metrologyRunning(false);
}

void MetrologyPage::StopMetrology() {
    if (state_ == State::Idle)
        return;
    LinkEngine* engine = ctx_.engine;
    ProcedureState& procedures = ctx_.state->procedures;
    PageControl2or3Elem->setVisible(false);
    BitBtnSetNet->setText(QString::fromUtf8(kStartCaption));
    engine->timerSetAuto()->stop();
    procedures.ProcedureFailures = 0;
    procedures.MetrologyActive = false;
    // A write queued but not sent is dropped with the procedure.
    procedures.CalibrationWritePending = false;
    engine->setCurrentRequest(nullptr);
    step(Event::Stop);
    emit ratioGroupEnabled(true);
    engine->lamp1().setVisible(false);
    BitBtnSeveSetInfo->setEnabled(false);
    emit metrologyRunning(false);
}

// ---- Replies ------------------------------------------------------------------------------

void MetrologyPage::onSchemeRead(const quint8* reply, int n) {
    if (state_ != State::Starting || n < 5 + 2)
        return;
    BitBtnSetNet->setText(QString::fromUtf8(kStopCaption));
    ctx_.state->procedures.MetrologyActive = true;
    const quint16 word = WordAt(reply + 3, 0);
    const bool two = word != 0;
    ctx_.state->scheme.TwoElementScheme = two;
    emit schemeRead(word);
    ShowSchemeSheet(two);
    emit ratioGroupEnabled(false);
    ctx_.engine->setCurrentRequest(&ratioRead_);
    ctx_.engine->timerSetAuto()->start();
    step(Event::SchemeReply);
}

void MetrologyPage::onRatioRead(const quint8* reply, int n) {
    if (state_ != State::ReadingRatios || n < 3 + 16 + 2)
        return;
    std::array<float, 4> values{};
    for (int k = 0; k < 4; ++k)
        values[size_t(k)] = FloatAt(reply + 3, k).value;  // the marker reads as 0
    ctx_.state->scheme.RatedValues = values;
    emit ratioBlockRead(QByteArray(reinterpret_cast<const char*>(reply + 3), 16));
    PageControl2or3Elem->setVisible(true);
    ShowSchemeSheet(ctx_.state->scheme.TwoElementScheme);
    ctx_.engine->setCurrentRequest(nullptr);
    step(Event::RatioReply);
    refreshInputs();
}

void MetrologyPage::onPoll(const quint8* reply, int n) {
    if (state_ == State::Idle || n < kMeasuredBlockReplyLength)
        return;
    ShowCalibrationReadings(reply + 3, n - 3);
    // A write queued while this poll was under way goes out next.
    if (!ctx_.state->procedures.CalibrationWritePending)
        ctx_.engine->setCurrentRequest(nullptr);
    step(Event::PollReply);
}

void MetrologyPage::onWriteReply(bool command) {
    if (state_ == State::Idle)
        return;
    ctx_.state->procedures.CalibrationWritePending = false;
    SetCalibrationInputsEnabled(true);
    ctx_.engine->setCurrentRequest(nullptr);
    if (command) {
        // The transducer may still be busy storing or trimming when the next request comes.
        ctx_.engine->timerWaitAnsw()->setInterval(LinkEngine::kLongReplyTimeoutMs);
        ctx_.engine->timerSetAuto()->start();
    }
    step(Event::WriteReply);
}

// A time-out or a refusal. The engine has already cleared the pending write and, for a
// refusal of anything but a write, made the reading poll current.
void MetrologyPage::onExchangeFailed(bool refused) {
    const RequestCode code = ctx_.engine->outstandingCode();
    if (state_ == State::Starting && code == RequestCode::MetrologySchemeRead) {
        undoStart();
        return;
    }
    SetCalibrationInputsEnabled(true);
    if (state_ == State::Idle)
        return;
    if (code == RequestCode::MetrologyCommand && state_ == State::WriteQueued) {
        // A trim or save stopped the sequencing timer before it went out; without this the
        // procedure would send nothing more. The trim is not repeated: the operator sees the
        // reading and decides.
        ctx_.engine->setCurrentRequest(nullptr);
        ctx_.engine->timerSetAuto()->start();
        step(Event::WriteDropped);
        return;
    }
    // A reference write refused twice: the engine is back on the reading poll.
    if (refused && state_ == State::WriteQueued &&
        ctx_.engine->currentRequest() == ctx_.engine->pollRecord())
        step(Event::WriteDropped);
}

void MetrologyPage::ShowCalibrationReadings(const quint8* block, int length) {
    if (block == nullptr || length < kMeasuredBlockDataLength)
        return;
    const References refs = references();
    const QLocale numbers = locale();
    inputs_.readingArrived();
    for (int i = 0; i < kCalibrationRowCount; ++i) {
        const CalibrationRow& row = kCalibrationRows[size_t(i)];
        const RowUpdate u = UpdateCalibrationRow(row, FloatAt(block, row.parameter).value, refs);
        if (u.buttonAllowed)
            inputs_.setAllowed(row.button, *u.buttonAllowed);
        shown_[size_t(i)] = u.shown;
        fields_[size_t(i)]->setText(FormatCalibrationValue(u.shown, numbers));
    }
    if (state_ != State::Idle)
        BitBtnSeveSetInfo->setEnabled(true);
    refreshInputs();
}

// ---- Inputs -------------------------------------------------------------------------------

References MetrologyPage::references() const {
    const SchemeState& s = ctx_.state->scheme;
    return ReferencesFor(s.RatedValues[0], s.RatedValues[2], s.TwoElementScheme);
}

void MetrologyPage::refreshReferences() {
    refreshInputs();
}

void MetrologyPage::SetCalibrationInputsEnabled(bool on) {
    inputs_.setEnabled(on);
    refreshInputs();
}

void MetrologyPage::refreshInputs() {
    const References refs = references();
    for (int b = 0; b < kEnterButtonCount; ++b)
        buttons_[size_t(b)]->setEnabled(inputs_.buttonEnabled(b, refs));
    for (TrimSpinButton* t : trims_)
        t->setEnabled(inputs_.trimsEnabled());
}

bool MetrologyPage::accepting() const {
    return (state_ == State::Polling || state_ == State::WriteQueued) && inputs_.readingSeen();
}

void MetrologyPage::ShowSchemeSheet(bool twoElement) {
    PageControl2or3Elem->setTabVisible(int(Sheet::TwoElement), twoElement);
    PageControl2or3Elem->setTabVisible(int(Sheet::ThreeElement), !twoElement);
    PageControl2or3Elem->setCurrentIndex(int(twoElement ? Sheet::TwoElement : Sheet::ThreeElement));
}

void MetrologyPage::EnterButtonClick(int button) {
    if (button < 0 || button >= kEnterButtonCount || !accepting())
        return;
    const EnterButton& b = kEnterButtons[size_t(button)];
    // The nominal as it is now: the ratio group may have been read since the start.
    const float value = references().of(b.nominal);
    if (!Usable(value))
        return;
    QueueReferenceWrite(b.referenceNumber, value);
}

void MetrologyPage::QueueReferenceWrite(int referenceNumber, float value) {
    if (!accepting() || referenceNumber < 0 || referenceNumber > 8)
        return;
    referenceWrite_ = ReferenceWrite(referenceNumber, value);
    referenceWrite_.Sender = this;
    ctx_.engine->setCurrentRequest(&referenceWrite_);
    ctx_.state->procedures.CalibrationWritePending = true;
    SetCalibrationInputsEnabled(false);
    step(Event::WriteQueued);
}

void MetrologyPage::queueCommand(const RequestRecord& r) {
    command_ = r;
    command_.Sender = this;
    ctx_.engine->setCurrentRequest(&command_);
    ctx_.state->procedures.CalibrationWritePending = true;
    SetCalibrationInputsEnabled(false);
    step(Event::WriteQueued);
}

namespace {
// The trims and the save address the transducer themselves; a record without an address would
// be refused at the tick after the timer had already stopped for it.
std::optional<quint16> commandSlave(LinkEngine* engine, QWidget* parent) {
    const std::optional<int> address = engine->setupAddress();
    if (!address || (*address & 0xFF) == 0) {
        messagebox::ShowError(linktext::NoAddress(), parent);
        return std::nullopt;
    }
    return quint16(*address);
}
}  // namespace

void MetrologyPage::PowerTrimClick(int trim, bool up) {
    if (trim < 0 || trim >= kPowerTrimCount || !accepting())
        return;
    const std::optional<quint16> slave = commandSlave(ctx_.engine, this);
    if (!slave)
        return;
    queueCommand(PowerTrimWrite(up, kPowerTrims[size_t(trim)].step, *slave));
}

void MetrologyPage::BitBtnSeveSetInfoClick() {
    if (!accepting())
        return;
    const std::optional<quint16> slave = commandSlave(ctx_.engine, this);
    if (!slave)
        return;
    queueCommand(CalibrationSave(*slave));
    ctx_.engine->timerWaitAnsw()->setInterval(LinkEngine::kLongReplyTimeoutMs);
}

// ---- Typed values -------------------------------------------------------------------------

void MetrologyPage::SendInfoToForm2(int row) {
    if (row < 0 || row >= kCalibrationRowCount || !accepting())
        return;
    const CalibrationRow& r = kCalibrationRows[size_t(row)];
    if (r.referenceNumber == kNoReferenceNumber)
        return;
    clickedRow_ = row;
    emit readingDoubleClicked(row, QPoint(r.dialogX, r.dialogY));
}

bool MetrologyPage::AcceptEnteredValue(float value) {
    return WriteEnteredValue(clickedRow_, value);
}

bool MetrologyPage::WriteEnteredValue(int row, float value) {
    if (row < 0 || row >= kCalibrationRowCount || !accepting() || !std::isfinite(value))
        return false;
    const int k = kCalibrationRows[size_t(row)].referenceNumber;
    if (k == kNoReferenceNumber)
        return false;
    QueueReferenceWrite(k, value);
    return true;
}

QString MetrologyPage::entryText(int row) const {
    if (row < 0 || row >= kCalibrationRowCount)
        return {};
    return CalibrationEntryText(shown_[size_t(row)], locale());
}

bool MetrologyPage::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick) {
        for (int i = 0; i < kCalibrationRowCount; ++i) {
            if (fields_[size_t(i)] == watched) {
                SendInfoToForm2(i);
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void MetrologyPage::step(Event e) {
    const State before = state_;
    state_ = Next(state_, e);
    if (state_ != before)
        qCDebug(lcMetrology) << "metrology" << StateName(before) << "->" << StateName(state_);
}
