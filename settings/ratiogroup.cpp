#include "settings/ratiogroup.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "link/engine.h"
#include "link/timer.h"
#include "measure/catalogue.h"
#include "widgets/messagebox.h"

namespace {

QComboBox* namedCombo(const char* name, bool editable, const QStringList& items, QWidget* parent) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setEditable(editable);
    // A typed value is a value, not a new list item.
    box->setInsertPolicy(QComboBox::NoInsert);
    box->addItems(items);
    return box;
}

QLabel* namedLabel(const char* name, const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    return label;
}

// One "primary / secondary, unit" row in a group of its own.
QGroupBox* ratioBox(const char* name, const QString& title, QComboBox* primary,
                    QComboBox* secondary, const char* slashName, const char* unitName,
                    const QString& unit, QWidget* parent) {
    auto* box = new QGroupBox(title, parent);
    box->setObjectName(QString::fromLatin1(name));
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(6, 4, 6, 6);
    primary->setParent(box);
    secondary->setParent(box);
    primary->setAccessibleName(title + QStringLiteral(", первичное"));
    secondary->setAccessibleName(title + QStringLiteral(", вторичное"));
    primary->setMinimumWidth(100);
    secondary->setMinimumWidth(70);
    row->addWidget(primary, 1);
    auto* slash = namedLabel(slashName, QStringLiteral("/"), box);
    slash->setBuddy(secondary);
    row->addWidget(slash);
    row->addWidget(secondary, 1);
    row->addWidget(namedLabel(unitName, unit, box));
    return box;
}

}  // namespace

RatioGroup::RatioGroup(const PageContext& ctx, QWidget* parent)
    : QGroupBox(parent),
      ctx_(ctx),
      schemeRead_(PreparedRecord(RequestCode::SchemeRead, this)),
      ratioRead_(PreparedRecord(RequestCode::RatioRead, this)),
      writeRecord_(PreparedRecord(RequestCode::SchemeWrite, this)) {
    Q_ASSERT(ctx_.engine && ctx_.state);
    setObjectName(QStringLiteral("GroupBoxNetSchKp"));
    buildControls();
    registerReplies();

    // A failed or refused exchange ends a write chain; the window gives the group back.
    connect(ctx_.engine, &LinkEngine::timedOut, this, &RatioGroup::endChain);
    connect(ctx_.engine, &LinkEngine::exceptionReply, this, &RatioGroup::endChain);
}

void RatioGroup::buildControls() {
    ComboBoxSetSch = namedCombo("ComboBoxSetSch", false, ratios::SchemeItems(), this);
    ComboBoxSetSch->setCurrentIndex(ratios::kStartupSchemeItem);
    ComboBoxSetSch->setAccessibleName(QStringLiteral("Схема подключения"));
    ComboBoxMaxValU = namedCombo("ComboBoxMaxValU", true, ratios::StartupVoltageItems(), this);
    ComboBoxMaxValU_ = namedCombo("ComboBoxMaxValU_", true, ratios::SecondaryVoltageItems(), this);
    ComboBoxMaxValI = namedCombo("ComboBoxMaxValI", true, ratios::CurrentItems(), this);
    ComboBoxMaxValI_ = namedCombo("ComboBoxMaxValI_", true, ratios::SecondaryCurrentItems(), this);
    ComboBoxMaxValU->setEditText(QString::fromLatin1(ratios::kStartupVoltageText));
    ComboBoxMaxValU_->setEditText(QString::fromLatin1(ratios::kStartupVoltageText));
    ComboBoxMaxValI->setEditText(QString::fromLatin1(ratios::kStartupCurrentText));
    ComboBoxMaxValI_->setEditText(QString::fromLatin1(ratios::kStartupCurrentText));

    auto* schemeBox = new QGroupBox(QStringLiteral("Схема подключения"), this);
    schemeBox->setObjectName(QStringLiteral("GroupBoxScheme"));
    auto* schemeRow = new QHBoxLayout(schemeBox);
    schemeRow->setContentsMargins(6, 4, 6, 6);
    ComboBoxSetSch->setParent(schemeBox);
    ComboBoxSetSch->setMinimumWidth(150);
    schemeRow->addWidget(ComboBoxSetSch, 1);

    QGroupBox* voltageBox = ratioBox(
        "GroupBoxRatioU", QStringLiteral("Коефф. преобразования напряжения"), ComboBoxMaxValU,
        ComboBoxMaxValU_, "LabelSlashU", "LabelUnitU", QStringLiteral(", B"), this);
    QGroupBox* currentBox =
        ratioBox("GroupBoxRatioI", QStringLiteral("Коефф. преобразования тока"), ComboBoxMaxValI,
                 ComboBoxMaxValI_, "LabelSlashI", "LabelUnitI", QStringLiteral(", A"), this);

    BitBtnReadSchKp = new QPushButton(QStringLiteral("Прочитать  "), this);
    BitBtnReadSchKp->setObjectName(QStringLiteral("BitBtnReadSchKp"));
    BitBtnSaveSchKp = new QPushButton(QStringLiteral("Записать  "), this);
    BitBtnSaveSchKp->setObjectName(QStringLiteral("BitBtnSaveSchKp"));
    sProgressBarSchKp = new QProgressBar(this);
    sProgressBarSchKp->setObjectName(QStringLiteral("sProgressBarSchKp"));
    sProgressBarSchKp->setRange(0, 100);
    sProgressBarSchKp->setValue(0);
    sProgressBarSchKp->setTextVisible(false);
    sProgressBarSchKp->setVisible(false);
    // The bar comes and goes during a write; the group keeps its height meanwhile.
    QSizePolicy keep = sProgressBarSchKp->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    sProgressBarSchKp->setSizePolicy(keep);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(6, 6, 6, 6);
    auto* row = new QHBoxLayout;
    row->addWidget(schemeBox, 2);
    row->addWidget(voltageBox, 3);
    row->addWidget(currentBox, 3);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(BitBtnReadSchKp);
    buttons->addWidget(BitBtnSaveSchKp);
    row->addLayout(buttons);
    outer->addLayout(row);
    outer->addWidget(sProgressBarSchKp);

    connect(ComboBoxSetSch, &QComboBox::activated, this, &RatioGroup::ComboBoxSetSchChange);
    connect(BitBtnReadSchKp, &QPushButton::clicked, this, &RatioGroup::BitBtnReadSchKpClick);
    connect(BitBtnSaveSchKp, &QPushButton::clicked, this, &RatioGroup::BitBtnSaveSchKpClick);
}

void RatioGroup::registerReplies() {
    LinkEngine* engine = ctx_.engine;
    engine->setReplyHandler(this, RequestCode::SchemeRead, [this](const quint8* reply, int n) {
        if (n < 5)
            return;
        SelectScheme(WordAt(reply + 3, 0));
        setVoltageItems(ratios::VoltageItems(schemeItem()));
        PrevScheme = schemeItem();
        ctx_.engine->setCurrentRequest(&ratioRead_);
        ctx_.engine->timerSetAuto()->start();
    });
    engine->setReplyHandler(this, RequestCode::RatioRead, [this](const quint8* reply, int n) {
        ctx_.engine->timerSetAuto()->stop();
        if (n > 3)
            ShowRatioBlock(reply + 3, n - 3);
    });
    for (RequestCode code :
         {RequestCode::SchemeWrite, RequestCode::RatedValue1, RequestCode::RatedValue2,
          RequestCode::RatedValue3, RequestCode::RatedValue4, RequestCode::RatioStore}) {
        engine->setReplyHandler(this, code,
                                [this, code](const quint8*, int) { continueChain(code); });
    }
}

void RatioGroup::SetRatioGroupEnabled(bool on) {
    setEnabled(on);
    BitBtnSaveSchKp->setEnabled(on);
    BitBtnReadSchKp->setEnabled(on);
}

void RatioGroup::hideProgressBar() {
    sProgressBarSchKp->setVisible(false);
}

int RatioGroup::schemeItem() const {
    return ComboBoxSetSch->currentIndex() == ratios::kTwoElementItem ? ratios::kTwoElementItem
                                                                     : ratios::kThreeElementItem;
}

ratios::VoltageTexts RatioGroup::voltageTexts() const {
    return {ComboBoxMaxValU->currentText(), ComboBoxMaxValU_->currentText()};
}

void RatioGroup::setVoltageTexts(const ratios::VoltageTexts& texts) {
    ComboBoxMaxValU->setEditText(texts.primary);
    ComboBoxMaxValU_->setEditText(texts.secondary);
}

// The text shown survives the new list; the item it matches, if any, becomes the current one.
void RatioGroup::setVoltageItems(const QStringList& items) {
    const QString text = ComboBoxMaxValU->currentText();
    const QSignalBlocker quiet(ComboBoxMaxValU);
    ComboBoxMaxValU->clear();
    ComboBoxMaxValU->addItems(items);
    ComboBoxMaxValU->setCurrentIndex(ComboBoxMaxValU->findText(text));
    ComboBoxMaxValU->setEditText(text);
}

void RatioGroup::SelectScheme(quint16 registerWord) {
    const int item = ratios::SchemeItemOf(registerWord);
    ComboBoxSetSch->setCurrentIndex(item);
    ctx_.state->scheme.TwoElementScheme = item == ratios::kTwoElementItem;
}

bool RatioGroup::ShowRatioBlock(const quint8* block, int length) {
    const std::optional<ratios::RatedValues> values = ratios::DecodeRatioBlock(block, length);
    if (!values)
        return false;
    ctx_.state->scheme.RatedValues = *values;
    const std::array<QString, 4> texts = ratios::RatioTexts(*values, locale());
    ComboBoxMaxValU->setEditText(texts[0]);
    ComboBoxMaxValU_->setEditText(texts[1]);
    ComboBoxMaxValI->setEditText(texts[2]);
    ComboBoxMaxValI_->setEditText(texts[3]);
    emit ratedValuesChanged();
    return true;
}

void RatioGroup::ApplyScheme() {
    const int item = schemeItem();
    emit schemeApplied(item == ratios::kTwoElementItem);
    setVoltageTexts(ratios::SnapForScheme(voltageTexts(), item, locale()));
    setVoltageItems(ratios::VoltageItems(item));
    PrevScheme = item;
}

void RatioGroup::ComboBoxSetSchChange() {
    const int item = schemeItem();
    setVoltageTexts(ratios::ConvertForScheme(voltageTexts(), PrevScheme, item, locale()));
    ApplyScheme();
    PrevScheme = item;
}

// The texts are emptied only once the read has gone out: a read that could not be sent must not
// cost the operator the values on screen.
void RatioGroup::BitBtnReadSchKpClick() {
    if (!ctx_.engine->SendInquiryTuning(schemeRead_))
        return;
    ComboBoxMaxValU->setEditText(QString());
    ComboBoxMaxValU_->setEditText(QString());
}

// All four values are checked and taken before the first request: a text that is no number
// would otherwise stop the chain halfway, with the scheme already written and the group left
// disabled, and a text changed during the chain would be written in its new form.
void RatioGroup::BitBtnSaveSchKpClick() {
    if (writing() || !CheckSelection(ComboBoxSetSch, this))
        return;
    const std::array<QString, 4> texts = {
        ComboBoxMaxValU->currentText(),
        ComboBoxMaxValU_->currentText(),
        ComboBoxMaxValI->currentText(),
        ComboBoxMaxValI_->currentText(),
    };
    plan_ = ratios::PlanRatioWrite(schemeItem(), texts, locale());
    if (!plan_) {
        messagebox::Show(QString::fromUtf8(kIncorrectInformation), this);
        return;
    }
    ++chain_;
    SetRatioGroupEnabled(false);
    sProgressBarSchKp->setValue(0);
    sProgressBarSchKp->setVisible(true);
    runSteps(ratios::WriteStart(), 0);
}

void RatioGroup::runSteps(std::span<const ratios::WriteStep> steps, size_t from) {
    using ratios::StepKind;
    for (size_t i = from; i < steps.size(); ++i) {
        const ratios::WriteStep& step = steps[i];
        switch (step.kind) {
            case StepKind::Status:
                emit statusMessage(QString::fromUtf8(step.text));
                break;
            case StepKind::Progress:
                sProgressBarSchKp->setValue(step.value);
                break;
            case StepKind::Pause: {
                // The link is held meanwhile: no tick sends and a reply waits for the end.
                const QPointer<RatioGroup> self(this);
                const quint32 chain = chain_;
                ctx_.engine->pause(step.value, [self, chain, steps, i] {
                    if (self && self->writing() && self->chain_ == chain)
                        self->runSteps(steps, i + 1);
                });
                return;
            }
            case StepKind::Send:
                if (!sendStep(step)) {
                    // Nothing went out (the reason has been reported): nothing will answer.
                    endChain();
                    SetRatioGroupEnabled(true);
                    return;
                }
                break;
            case StepKind::Finish:
                plan_.reset();
                SetRatioGroupEnabled(true);
                hideProgressBar();
                ctx_.engine->notify(QString::fromUtf8(ratios::kWrittenMessage));
                break;
        }
    }
}

bool RatioGroup::sendStep(const ratios::WriteStep& step) {
    LinkTimer* timeout = ctx_.engine->timerWaitAnsw();
    writeRecord_ =
        ratios::WriteRequest(step.code, *plan_, ctx_.engine->setupAddress().value_or(0), this);
    awaited_ = step.code;
    if (step.longTimeout)
        timeout->setInterval(LinkEngine::kLongReplyTimeoutMs);
    const bool sent = CodeInfo(step.code).op == SendOp::Write16
                          ? ctx_.engine->SendInquiryWrite16(writeRecord_)
                          : ctx_.engine->SendInquiryWrite06(writeRecord_);
    if (!sent)
        timeout->setInterval(LinkEngine::kReplyTimeoutMs);
    return sent;
}

void RatioGroup::continueChain(RequestCode replied) {
    if (!writing() || replied != awaited_)
        return;
    runSteps(ratios::WriteStepsAfter(replied), 0);
}

// Every time-out and every exception reply hides the bar, whoever's request it was.
void RatioGroup::endChain() {
    if (plan_) {
        plan_.reset();
        ++chain_;
    }
    hideProgressBar();
}
