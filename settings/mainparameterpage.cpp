#include "settings/mainparameterpage.h"

#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/portsettings.h"
#include "link/engine.h"
#include "link/timer.h"
#include "measure/catalogue.h"
#include "widgets/caption.h"
#include "widgets/messagebox.h"

namespace {

// The page shares the window with the link group above it; larger default fonts would push the
// groups out of it.
constexpr int kMaxPointSize = 9;
constexpr int kFieldWidth = 110;
constexpr int kStaticTextWidth = 140;
constexpr int kIndicatorSelectorWidth = 260;

QLabel* staticText(const char* name, QWidget* parent) {
    auto* l = new QLabel(parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setFrameShape(QFrame::StyledPanel);
    l->setFrameShadow(QFrame::Sunken);
    l->setMinimumWidth(kStaticTextWidth);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return l;
}

QPushButton* writeButton(const char* name, QWidget* parent) {
    auto* b = new QPushButton(QStringLiteral("Запись"), parent);
    b->setObjectName(QString::fromLatin1(name));
    return b;
}

QComboBox* pickList(const char* name, const QStringList& items, QWidget* parent) {
    auto* c = new QComboBox(parent);
    c->setObjectName(QString::fromLatin1(name));
    c->addItems(items);
    c->setCurrentIndex(-1);
    c->setMinimumWidth(kFieldWidth);
    return c;
}

QLineEdit* numberEdit(const char* name, QWidget* parent) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setFixedWidth(kFieldWidth);
    return e;
}

QGroupBox* group(const char* name, const QString& title, QWidget* parent) {
    auto* g = new QGroupBox(title, parent);
    g->setObjectName(QString::fromLatin1(name));
    return g;
}

// One row of a settings group: caption, field, its write button.
void addRow(QGridLayout* grid, int row, const QString& caption, QWidget* field,
            QPushButton* button) {
    grid->addWidget(CaptionFor(caption, field, grid->parentWidget()), row, 0);
    grid->addWidget(field, row, 1);
    grid->addWidget(button, row, 2);
}

// The item an editable parameter selector stands on: typed text that names no item is no
// selection, whatever item was chosen before.
int selectedItem(const QComboBox* box) {
    const int i = box->currentIndex();
    if (i >= 0 && box->itemText(i) == box->currentText())
        return i;
    return box->findText(box->currentText(), Qt::MatchExactly | Qt::MatchCaseSensitive);
}

}  // namespace

MainParameterPage::MainParameterPage(const PageContext& ctx, QWidget* parent)
    : QWidget(parent), ctx_(ctx), engine_(ctx.engine) {
    setObjectName(QStringLiteral("TSSetParam"));
    readRecord_ = PreparedRecord(RequestCode::MainParameters, this);
    setupReadRecord_ = PreparedRecord(RequestCode::IndicatorSetup, this);
    writeRecord_ = PreparedRecord(RequestCode::MainParameterWrite, this);
    blockWriteRecord_ = PreparedRecord(RequestCode::SetupBlockWrite, this);
    blockWriteRecord_.WordValues = blockWords_.data();
    for (int i = 0; i < kIndicatorLines; ++i)
        indicatorSetup_[size_t(i)].code = -1;
    buildControls();
    wireLink();
}

MainParameterPage::~MainParameterPage() {
    // The sequencing timer must not send a record that is gone.
    if (engine_ && engine_->currentRequest() == &setupReadRecord_)
        engine_->setCurrentRequest(nullptr);
}

void MainParameterPage::buildControls() {
    if (font().pointSize() > kMaxPointSize) {
        QFont f = font();
        f.setPointSize(kMaxPointSize);
        setFont(f);
    }
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(8, 8, 8, 8);
    column->setSpacing(8);

    // Information read from the device.
    auto* info = group("GroupBoxInfo", QString(), this);
    auto* infoGrid = new QGridLayout(info);
    StaticTextVersPrg = staticText("StaticTextVersPrg", info);
    StaticTextNumMeasureParam = staticText("StaticTextNumMeasureParam", info);
    StaticTextSchInp = staticText("StaticTextSchInp", info);
    StaticTextVersDev = staticText("StaticTextVersDev", info);
    infoGrid->addWidget(CaptionFor(QStringLiteral("Версия программы:"), StaticTextVersPrg, info), 0,
                        0);
    infoGrid->addWidget(StaticTextVersPrg, 0, 1);
    infoGrid->addWidget(CaptionFor(QStringLiteral("Количество измеряемых параметров:"),
                                   StaticTextNumMeasureParam, info),
                        1, 0);
    infoGrid->addWidget(StaticTextNumMeasureParam, 1, 1);
    infoGrid->addWidget(CaptionFor(QStringLiteral("Схема подключения:"), StaticTextSchInp, info), 2,
                        0);
    infoGrid->addWidget(StaticTextSchInp, 2, 1);
    infoGrid->setColumnMinimumWidth(2, 40);
    infoGrid->addWidget(CaptionFor(QStringLiteral("Версия прибора:"), StaticTextVersDev, info), 0,
                        3);
    infoGrid->addWidget(StaticTextVersDev, 0, 4);
    infoGrid->setColumnStretch(5, 1);
    column->addWidget(info);

    auto* settingsRow = new QHBoxLayout;
    settingsRow->setSpacing(8);

    auto* link = group("GroupBoxLinkSettings", QStringLiteral("Настройки канала связи"), this);
    auto* linkGrid = new QGridLayout(link);
    EditReadLog = numberEdit("EditReadLog", link);
    BitBtnWriteLog = writeButton("BitBtnWriteLog", link);
    ComboBoxBaud3 = pickList("ComboBoxBaud3", PortSettings::kBaudItems, link);
    BitBtnWriteBaud = writeButton("BitBtnWriteBaud", link);
    ComboBoxPar3 = pickList("ComboBoxPar3", PortSettings::kParityItems, link);
    BitBtnWritePar = writeButton("BitBtnWritePar", link);
    addRow(linkGrid, 0, QStringLiteral("Логический номер"), EditReadLog, BitBtnWriteLog);
    addRow(linkGrid, 1, QStringLiteral("Скорость"), ComboBoxBaud3, BitBtnWriteBaud);
    addRow(linkGrid, 2, QStringLiteral("Паритет"), ComboBoxPar3, BitBtnWritePar);
    settingsRow->addWidget(link);

    auto* params = group("GroupBoxParameters", QStringLiteral("Настройка параметров"), this);
    auto* paramGrid = new QGridLayout(params);
    EditNumDev = numberEdit("EditNumDev", params);
    BitBtnSaveNumDev = writeButton("BitBtnSaveNumDev", params);
    EditReadYear = numberEdit("EditReadYear", params);
    BitBtnWriteYear = writeButton("BitBtnWriteYear", params);
    ComboBoxBrightness = pickList("ComboBoxBrightness", kBrightnessItems, params);
    BitBtnWriteBrightness = writeButton("BitBtnWriteBrightness", params);
    addRow(paramGrid, 0, QStringLiteral("Номер прибора"), EditNumDev, BitBtnSaveNumDev);
    addRow(paramGrid, 1, QStringLiteral("Год выпуска"), EditReadYear, BitBtnWriteYear);
    addRow(paramGrid, 2, QStringLiteral("Яркость"), ComboBoxBrightness, BitBtnWriteBrightness);
    settingsRow->addWidget(params);
    settingsRow->addStretch(1);
    column->addLayout(settingsRow);

    auto* shown = group("GroupBoxIndParam", QStringLiteral("Отображаемые параметры"), this);
    auto* shownRow = new QHBoxLayout(shown);
    auto* names = group("GroupBoxIndParamName", QStringLiteral("Наименование"), shown);
    auto* namesGrid = new QGridLayout(names);
    const QStringList items = ParameterItemTexts();
    for (int i = 0; i < kIndicatorLines; ++i) {
        auto* box = new QComboBox(names);
        box->setObjectName(QStringLiteral("ComboBoxIndParam%1").arg(i));
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);
        box->addItems(items);
        box->setCurrentIndex(0);
        box->setMinimumWidth(kIndicatorSelectorWidth);
        ComboBoxIndParam[size_t(i)] = box;
        QLabel* caption = CaptionFor(QStringLiteral("Строка индикатора %1").arg(i + 1), box, names);
        caption->setObjectName(QStringLiteral("LabelIndParam%1").arg(i));
        namesGrid->addWidget(caption, 0, i);
        namesGrid->addWidget(box, 1, i);
    }
    shownRow->addWidget(names);
    BitBtnSaveIndParam = writeButton("BitBtnSaveIndParam", shown);
    BitBtnSaveIndParam->setEnabled(false);
    shownRow->addWidget(BitBtnSaveIndParam, 0, Qt::AlignBottom);
    shownRow->addStretch(1);
    column->addWidget(shown);
    column->addStretch(1);

    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("PanelMainParam"));
    panel->setFrameShape(QFrame::StyledPanel);
    auto* panelRow = new QHBoxLayout(panel);
    panelRow->setContentsMargins(6, 4, 6, 4);
    BitBtnMainParam = new QPushButton(QStringLiteral("     Читать"), panel);
    BitBtnMainParam->setObjectName(QStringLiteral("BitBtnMainParam"));
    BitBtnMainParam->setMinimumWidth(120);
    panelRow->addWidget(BitBtnMainParam);
    panelRow->addStretch(1);
    column->addWidget(panel);

    connect(BitBtnMainParam, &QPushButton::clicked, this, &MainParameterPage::BitBtnMainParamClick);
    connect(BitBtnWriteLog, &QPushButton::clicked, this, &MainParameterPage::BitBtnWriteLogClick);
    connect(BitBtnWriteBaud, &QPushButton::clicked, this, &MainParameterPage::BitBtnWriteBaudClick);
    connect(BitBtnWritePar, &QPushButton::clicked, this, &MainParameterPage::BitBtnWriteParClick);
    connect(BitBtnSaveNumDev, &QPushButton::clicked, this,
            &MainParameterPage::BitBtnSaveNumDevClick);
    connect(BitBtnWriteYear, &QPushButton::clicked, this, &MainParameterPage::BitBtnWriteYearClick);
    connect(BitBtnWriteBrightness, &QPushButton::clicked, this,
            &MainParameterPage::BitBtnWriteBrightnessClick);
    connect(BitBtnSaveIndParam, &QPushButton::clicked, this,
            &MainParameterPage::BitBtnSaveIndParamClick);
    // Only the operator's choices count as a change; replies set the selectors silently.
    for (QComboBox* box : ComboBoxIndParam) {
        connect(box, &QComboBox::activated, this, &MainParameterPage::ComboBoxIndParam0Change);
        connect(box->lineEdit(), &QLineEdit::textEdited, this,
                &MainParameterPage::ComboBoxIndParam0Change);
    }
    for (QLineEdit* edit : {EditReadLog, EditNumDev, EditReadYear}) {
        edit->installEventFilter(this);
        connect(edit, &QLineEdit::textEdited, this, [this, edit] { editChanged(edit); });
    }
}

void MainParameterPage::wireLink() {
    if (!engine_)
        return;
    engine_->setReplyHandler(this, RequestCode::MainParameters,
                             [this](const quint8* r, int n) { afterMainParameters(r, n); });
    engine_->setReplyHandler(this, RequestCode::IndicatorSetup,
                             [this](const quint8* r, int n) { afterDisplayedParameters(r, n); });
    engine_->setReplyHandler(this, RequestCode::MainParameterWrite,
                             [this](const quint8*, int) { afterSingleWrite(); });
    engine_->setReplyHandler(this, RequestCode::SetupBlockWrite,
                             [this](const quint8*, int) { afterBlockWrite(); });
    // Whatever the exchange was, its end gives the displayed-parameter write back.
    connect(engine_, &LinkEngine::replyAccepted, this,
            [this] { BitBtnSaveIndParam->setEnabled(true); });
    connect(engine_, &LinkEngine::timedOut, this, [this] { BitBtnSaveIndParam->setEnabled(true); });
}

// ---- Reading ---------------------------------------------------------------------------

std::optional<int> MainParameterPage::slave() {
    const std::optional<int> address = engine_ ? engine_->setupAddress() : std::nullopt;
    // The logical-number fields empty whatever is no number, so an empty field is the case.
    if (!address)
        messagebox::ShowError(linktext::NotANumber(QString()), this);
    return address;
}

void MainParameterPage::BitBtnMainParamClick() {
    const std::optional<int> address = slave();
    if (!address)
        return;
    readRecord_.SlaveAddress = quint16(*address);
    engine_->SendInquiry(readRecord_);
}

void MainParameterPage::ShowMainParameters(const quint8* block, int length) {
    const std::optional<MainParameters> p = DecodeMainParameterBlock(block, length);
    if (!p)
        return;
    StaticTextVersPrg->setText(p->versPrg);
    StaticTextNumMeasureParam->setText(p->numMeasureParam);
    EditReadLog->setText(p->readLog);
    ComboBoxBrightness->setCurrentIndex(p->brightness);
    EditNumDev->setText(p->numDev);
    EditReadYear->setText(p->readYear);
    // The device answered at the window's own speed and parity, whatever its words 6 and 7 say.
    if (ctx_.portSettings) {
        ComboBoxBaud3->setCurrentIndex(ctx_.portSettings->baudItemIndex());
        ComboBoxPar3->setCurrentIndex(ctx_.portSettings->parityIndex());
    }
    StaticTextSchInp->setText(p->schInp);
    StaticTextVersDev->setText(p->versDev);
}

void MainParameterPage::afterMainParameters(const quint8* reply, int length) {
    if (length < 5 + 2 * kMainParameterWords)
        return;
    ShowMainParameters(reply + 3, length - 5);
    engine_->setCurrentRequest(&setupReadRecord_);
    engine_->timerSetAuto()->setEnabled(true);
}

void MainParameterPage::ShowDisplayedParameters(const quint8* block, int length) {
    const std::optional<IndicatorSetup> setup = DecodeDisplayedParameterBlock(block, length);
    if (!setup)
        return;
    indicatorSetup_ = *setup;
    for (int i = 0; i < kIndicatorLines; ++i)
        ComboBoxIndParam[size_t(i)]->setCurrentIndex(indicatorSetup_[size_t(i)].item());
    emit indicatorSetupRead(indicatorSetup_);
}

void MainParameterPage::afterDisplayedParameters(const quint8* reply, int length) {
    if (length < 5 + 2 * kDisplayedParameterWords)
        return;
    if (ctx_.state)
        ctx_.state->indicator.IndParamPending = false;
    ShowDisplayedParameters(reply + 3, length - 5);
    BitBtnMainParam->setEnabled(true);
    engine_->timerSetAuto()->setEnabled(false);
}

// ---- Single-register writes -------------------------------------------------------------

bool MainParameterPage::refused(const WriteValue& value) {
    if (value.word)
        return false;
    if (value.asError)
        messagebox::ShowError(value.refusal, this);
    else
        messagebox::Show(value.refusal, this);
    return true;
}

// The record keeps what was sent until the next write, so the confirmation acts on the value
// the device took, not on what the field shows by then.
void MainParameterPage::writeWord(MainWord word, const WriteValue& value) {
    if (refused(value))
        return;
    const std::optional<int> address = slave();
    if (!address)
        return;
    writeRecord_.SlaveAddress = quint16(*address);
    writeRecord_.StartRegister = MainWordAddress(word);
    writeRecord_.WordValue = *value.word;
    engine_->SendInquiryWrite06(writeRecord_);
}

void MainParameterPage::BitBtnWriteLogClick() {
    writeWord(MainWord::LogicalNumber, LogicalNumberValue(EditReadLog->text()));
}

void MainParameterPage::BitBtnWriteBaudClick() {
    writeWord(MainWord::Speed, SpeedValue(ComboBoxBaud3->currentIndex()));
}

void MainParameterPage::BitBtnWriteParClick() {
    writeWord(MainWord::Parity,
              SelectionValue(ComboBoxPar3->currentIndex(), ComboBoxPar3->count()));
}

void MainParameterPage::BitBtnSaveNumDevClick() {
    writeWord(MainWord::DeviceNumber, RegisterWordValue(EditNumDev->text()));
}

void MainParameterPage::BitBtnWriteYearClick() {
    writeWord(MainWord::Year, RegisterWordValue(EditReadYear->text()));
}

void MainParameterPage::BitBtnWriteBrightnessClick() {
    writeWord(MainWord::Brightness,
              SelectionValue(ComboBoxBrightness->currentIndex(), ComboBoxBrightness->count()));
}

void MainParameterPage::afterSingleWrite() {
    const quint16 address = writeRecord_.StartRegister;
    const quint16 value = writeRecord_.WordValue;
    emit writeConfirmed(address);
    engine_->notify(QString::fromUtf8(mainparamtext::kWritten));
    if (address == MainWordAddress(MainWord::LogicalNumber))
        emit logicalNumberWritten(value);
    else if (address == MainWordAddress(MainWord::Speed))
        emit speedWritten(SpeedOfItem(value));
    else if (address == MainWordAddress(MainWord::Parity))
        emit parityWritten(value);
}

// ---- Displayed-parameter write ----------------------------------------------------------

void MainParameterPage::ComboBoxIndParam0Change() {
    BitBtnSaveIndParam->setEnabled(true);
}

void MainParameterPage::BitBtnSaveIndParamClick() {
    std::array<int, kIndicatorLines> items{};
    for (int i = 0; i < kIndicatorLines; ++i)
        items[size_t(i)] = selectedItem(ComboBoxIndParam[size_t(i)]);
    const std::optional<std::array<quint16, kIndicatorLines>> words =
        DisplayedParameterWords(items);
    if (!words) {
        messagebox::Show(QString::fromUtf8(kIncorrectInformation), this);
        return;
    }
    if (!engine_)
        return;
    blockWords_ = *words;
    BitBtnSaveIndParam->setEnabled(false);
    if (!engine_->SendInquiryWriteBlock(blockWriteRecord_))
        BitBtnSaveIndParam->setEnabled(true);
}

void MainParameterPage::afterBlockWrite() {
    engine_->notify(QString::fromUtf8(mainparamtext::kWritten));
    if (ctx_.state) {
        ctx_.state->procedures.CalibrationWritePending = false;
        // The indicator view must read the new names, units and exponents before its values.
        ctx_.state->indicator.IndParamPending = true;
    }
    emit setupBlockWritten();
}

// ---- Validated edits --------------------------------------------------------------------

const ValidatedEditRule* MainParameterPage::ruleOf(const QObject* edit) const {
    if (edit == EditReadLog)
        return &kEditReadLogRule;
    if (edit == EditNumDev)
        return &kEditNumDevRule;
    if (edit == EditReadYear)
        return &kEditReadYearRule;
    return nullptr;
}

void MainParameterPage::editChanged(QLineEdit* edit) {
    const ValidatedEditRule* rule = ruleOf(edit);
    if (!rule || !ctx_.state)
        return;
    const QString text = EditChangedText(*rule, edit->text(), ctx_.state->edits.EditPrevText);
    if (text != edit->text())
        edit->setText(text);
}

bool MainParameterPage::eventFilter(QObject* watched, QEvent* event) {
    const ValidatedEditRule* rule = ruleOf(watched);
    const bool focus = event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut;
    if (rule && focus && ctx_.state) {
        // Another window or a pop-up taking the focus for a while is neither leaving the edit
        // nor entering it again.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            auto* edit = static_cast<QLineEdit*>(watched);
            if (event->type() == QEvent::FocusIn) {
                ctx_.state->edits.EditPrevText = edit->text();
            } else {
                const QString text = EditLeftText(*rule, edit->text());
                if (text != edit->text())
                    edit->setText(text);
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}
