#include "settings/remoteindicatorpage.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <cmath>

#include "link/engine.h"
#include "measure/catalogue.h"
#include "widgets/messagebox.h"

namespace ri = remoteindicator;

namespace {

// Items selected at start-up: "Напряжение  Uan", "Ток  Ia", "Мощность активная  Pa".
constexpr std::array<int, ri::kLineCount> kStartCodes = {0, 3, 9};
constexpr int kSetpointWidth = 60;
constexpr int kSelectorWidth = 250;

QString lineName(const char* prefix, int line) {
    return QString::fromLatin1(prefix) + QStringLiteral("0%1").arg(line);
}

}  // namespace

RemoteIndicatorPage::RemoteIndicatorPage(const PageContext& ctx, QWidget* parent)
    : QWidget(parent), ctx_(ctx) {
    setObjectName(QStringLiteral("TSInd"));

    buttonRow_ = new QWidget(this);
    buttonRow_->setObjectName(QStringLiteral("PanelExtDevButtons"));
    auto* buttons = new QHBoxLayout(buttonRow_);
    buttons->setContentsMargins(0, 0, 0, 0);
    BitBtnSave = new QPushButton(QStringLiteral("Записать  "), buttonRow_);
    BitBtnSave->setObjectName(QStringLiteral("BitBtnSave"));
    BitBtnRead = new QPushButton(QStringLiteral("Прочитать  "), buttonRow_);
    BitBtnRead->setObjectName(QStringLiteral("BitBtnRead"));
    buttons->addWidget(BitBtnSave);
    buttons->addWidget(BitBtnRead);

    // Parameters.
    auto* params = new QGroupBox(QStringLiteral("Отображаемые параметры"), this);
    params->setObjectName(QStringLiteral("GroupBoxIndParams"));
    auto* paramsColumn = new QVBoxLayout(params);
    auto* names = new QGroupBox(QStringLiteral("Наименование"), params);
    names->setObjectName(QStringLiteral("GroupBoxIndParamNames"));
    paramsColumn->addWidget(names);
    auto* namesColumn = new QVBoxLayout(names);

    // Setpoints: a column for each kind, row i beside selector i.
    auto* limits = new QGroupBox(QStringLiteral("Уставки"), this);
    limits->setObjectName(QStringLiteral("GroupBoxUst"));
    auto* grid = new QGridLayout(limits);
    const QString over = QStringLiteral("превышения");
    const QString under = QStringLiteral("принижения");
    grid->addWidget(new QLabel(over, limits), 0, 0, 1, 2, Qt::AlignCenter);
    grid->addWidget(new QLabel(under, limits), 0, 2, 1, 2, Qt::AlignCenter);

    const QStringList items = ParameterItemTexts();
    for (int i = 0; i < ri::kLineCount; ++i) {
        auto* box = new QComboBox(names);
        box->setObjectName(lineName("CBIndParamName", i));
        box->setEditable(true);
        // Typed text selects an item or nothing; it never grows the fixed list.
        box->setInsertPolicy(QComboBox::NoInsert);
        box->addItems(items);
        box->setCurrentIndex(kStartCodes[size_t(i)]);
        box->setMinimumWidth(kSelectorWidth);
        box->setAccessibleName(names->title());
        namesColumn->addWidget(box);
        CBIndParamName[size_t(i)] = box;
        // Any text change, picked or typed; a reply sets the selectors with signals blocked.
        connect(box, &QComboBox::currentTextChanged, this,
                [this, i] { UpdateIndicatorLine(i, true); });

        auto makeEdit = [&](const char* prefix, const QString& caption, int column) {
            auto* edit = new QLineEdit(limits);
            edit->setObjectName(lineName(prefix, i));
            edit->setFixedWidth(kSetpointWidth);
            edit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            edit->setAccessibleName(caption);
            edit->installEventFilter(this);
            connect(edit, &QLineEdit::textEdited, this, [this, edit] { setpointChange(edit); });
            grid->addWidget(edit, i + 1, column);
            grid->addWidget(new QLabel(QStringLiteral("%"), limits), i + 1, column + 1);
            return edit;
        };
        TEUstMax[size_t(i)] = makeEdit("TEUstMax", over, 0);
        TEUstMin[size_t(i)] = makeEdit("TEUstMin", under, 2);
    }
    namesColumn->addStretch(1);
    grid->setRowStretch(ri::kLineCount + 1, 1);

    RGSchema = new QGroupBox(QStringLiteral("Схема подключения"), this);
    RGSchema->setObjectName(QStringLiteral("RGSchema"));
    auto* schemeColumn = new QVBoxLayout(RGSchema);
    schemeButtons_ = new QButtonGroup(RGSchema);
    const QString schemeItems[] = {QStringLiteral("двух элементная"),
                                   QStringLiteral("трех элементная")};
    for (int k = 0; k < 2; ++k) {
        auto* b = new QRadioButton(schemeItems[k], RGSchema);
        b->setObjectName(QStringLiteral("RGSchema%1").arg(k));
        schemeButtons_->addButton(b, k);
        schemeColumn->addWidget(b);
    }
    schemeColumn->addStretch(1);
    schemeButtons_->button(ri::kThreeElement)->setChecked(true);
    // Only the operator's click resets the lines; a reply setting the scheme must not discard
    // the setpoints it has just shown.
    connect(schemeButtons_, &QButtonGroup::idClicked, this, &RemoteIndicatorPage::RGSchemaClick);

    auto* row = new QHBoxLayout;
    row->addWidget(params);
    row->addWidget(limits);
    row->addWidget(RGSchema);
    row->addStretch(1);
    auto* column = new QVBoxLayout(this);
    column->addWidget(buttonRow_, 0, Qt::AlignLeft);
    column->addLayout(row);
    column->addStretch(1);

    connect(BitBtnSave, &QPushButton::clicked, this, &RemoteIndicatorPage::BitBtnSaveClick);
    connect(BitBtnRead, &QPushButton::clicked, this, &RemoteIndicatorPage::BitBtnReadClick);

    LinkEngine* engine = ctx_.engine;
    engine->setReplyHandler(this, RequestCode::RemoteIndicatorRead,
                            [this](const quint8* reply, int n) {
                                if (const auto s = ri::ParseReply(reply, n))
                                    showSettings(*s);
                                else
                                    allowSave();
                            });
    engine->setReplyHandler(this, RequestCode::RemoteIndicatorWrite,
                            [this](const quint8*, int) { allowSave(); });
    // Every exchange of the window, whoever sent it, ends the wait of these buttons.
    auto exchangeEnded = [this] {
        BitBtnRead->setEnabled(true);
        reevaluateLines();
    };
    connect(engine, &LinkEngine::replyArrived, this, exchangeEnded);
    connect(engine, &LinkEngine::timedOut, this, exchangeEnded);
}

void RemoteIndicatorPage::pageEntered() {
    for (int i = 0; i < ri::kLineCount; ++i)
        UpdateIndicatorLine(i, true);
}

int RemoteIndicatorPage::parameterCode(int line) const {
    const QComboBox* box = CBIndParamName[size_t(line)];
    const int index = box->findText(box->currentText());
    return index >= 0 ? index : ri::kNone;
}

int RemoteIndicatorPage::scheme() const {
    const int id = schemeButtons_->checkedId();
    return id >= 0 ? id : ri::kNone;
}

bool RemoteIndicatorPage::RemoteSaveAllowed() const {
    std::array<int, ri::kLineCount> codes{};
    for (int i = 0; i < ri::kLineCount; ++i)
        codes[size_t(i)] = parameterCode(i);
    return ri::RemoteSaveAllowed(codes, scheme());
}

void RemoteIndicatorPage::allowSave() {
    BitBtnSave->setEnabled(RemoteSaveAllowed());
}

bool RemoteIndicatorPage::xNoInfoInd(int line) {
    if (scheme() == ri::kThreeElement || !ri::BlankedInTwoElement(parameterCode(line))) {
        allowSave();
        return false;
    }
    for (QLineEdit* e : {TEUstMax[size_t(line)], TEUstMin[size_t(line)]}) {
        e->clear();
        e->setEnabled(false);
    }
    BitBtnSave->setEnabled(false);
    return true;
}

void RemoteIndicatorPage::UpdateIndicatorLine(int line, bool reset) {
    updateLine(line, reset ? LineUpdate::Reset : LineUpdate::Clamp);
}

void RemoteIndicatorPage::updateLine(int line, LineUpdate how) {
    QLineEdit* over = TEUstMax[size_t(line)];
    QLineEdit* under = TEUstMin[size_t(line)];
    over->setEnabled(true);
    under->setEnabled(true);
    allowSave();
    const ri::SetpointRule* rule = ri::RuleFor(parameterCode(line));
    if (!rule)
        return;
    if (xNoInfoInd(line))
        return;
    switch (how) {
        case LineUpdate::Reset:
            over->setText(formatPercent(rule->defaultOver));
            under->setText(formatPercent(rule->defaultUnder));
            break;
        case LineUpdate::Clamp:
            for (QLineEdit* e : {over, under}) {
                const std::optional<double> v = parsePercent(e->text());
                if (v && ri::ClampSetpoint(*rule, *v) != *v)
                    e->setText(formatPercent(ri::ClampSetpoint(*rule, *v)));
            }
            break;
        case LineUpdate::Keep:
            break;
    }
}

// After an exchange each line is looked at by its own parameter: a setpoint the operator typed
// stays unless the scheme has no information for that line.
void RemoteIndicatorPage::reevaluateLines() {
    for (int i = 0; i < ri::kLineCount; ++i)
        updateLine(i, LineUpdate::Keep);
    allowSave();
}

void RemoteIndicatorPage::RGSchemaClick() {
    for (int i = 0; i < ri::kLineCount; ++i)
        UpdateIndicatorLine(i, true);
}

bool RemoteIndicatorPage::eventFilter(QObject* watched, QEvent* event) {
    auto* edit = qobject_cast<QLineEdit*>(watched);
    const bool focus = event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut;
    if (edit && focus) {
        // The window losing the focus to another window or a menu is no move to another field:
        // the operator comes back to the same edit.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            if (event->type() == QEvent::FocusIn)
                setpointEnter(edit);
            else
                setpointExit(edit);
        }
    }
    return QWidget::eventFilter(watched, event);
}

void RemoteIndicatorPage::setpointEnter(QLineEdit* edit) {
    ctx_.state->edits.EditPrevText = edit->text();
}

void RemoteIndicatorPage::setpointChange(QLineEdit* edit) {
    const QString text = edit->text();
    if (text.isEmpty() || parsePercent(text))
        return;
    // A sign alone is where a negative setpoint starts, not a wrong number; leaving the edit
    // with it still gives "0".
    const QLocale numbers = locale();
    if (text == numbers.negativeSign() || text == numbers.positiveSign() ||
        text == QStringLiteral("-") || text == QStringLiteral("+"))
        return;
    edit->setText(ctx_.state->edits.EditPrevText);
}

void RemoteIndicatorPage::setpointExit(QLineEdit* edit) {
    const std::optional<double> v = parsePercent(edit->text());
    if (!v)
        edit->setText(formatPercent(0));
    else if (ri::ClampTyped(*v) != *v)
        edit->setText(formatPercent(ri::ClampTyped(*v)));
    for (int i = 0; i < ri::kLineCount; ++i)
        UpdateIndicatorLine(i, false);
}

QString RemoteIndicatorPage::formatPercent(double percent) const {
    if (!std::isfinite(percent))
        return {};
    QLocale numbers = locale();
    numbers.setNumberOptions(numbers.numberOptions() | QLocale::OmitGroupSeparator);
    double whole = std::round(percent);
    if (whole == 0)
        whole = 0;  // no "-0" for a small negative fraction
    return numbers.toString(whole, 'f', 0);
}

std::optional<double> RemoteIndicatorPage::parsePercent(const QString& text) const {
    bool ok = false;
    const double v = locale().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

void RemoteIndicatorPage::BitBtnReadClick() {
    BitBtnSave->setEnabled(false);
    BitBtnRead->setEnabled(false);
    std::array<quint8, ri::kReadRequestLength> frame{};
    const int n = ri::BuildReadRequest(frame.data());
    if (!ctx_.engine->SendOwnFrame(frame.data(), n, RequestCode::RemoteIndicatorRead,
                                   ri::kFrameLength, this))
        sendFailed();
}

void RemoteIndicatorPage::BitBtnSaveClick() {
    // Nothing goes out that the indicator would take for a parameter or a setpoint it cannot
    // show: a line without a parameter would go as code 0xFF, an empty setpoint has no value.
    ri::Settings s;
    bool complete = RemoteSaveAllowed() && scheme() != ri::kNone;
    for (int i = 0; i < ri::kLineCount && complete; ++i) {
        ri::Line& l = s.lines[size_t(i)];
        l.code = parameterCode(i);
        const std::optional<double> over = parsePercent(TEUstMax[size_t(i)]->text());
        const std::optional<double> under = parsePercent(TEUstMin[size_t(i)]->text());
        complete = l.code != ri::kNone && over && under;
        if (complete) {
            l.overPercent = *over;
            l.underPercent = *under;
        }
    }
    if (!complete) {
        messagebox::Show(QString::fromUtf8(kIncorrectInformation), this);
        return;
    }
    s.scheme = scheme();
    BitBtnSave->setEnabled(false);
    BitBtnRead->setEnabled(false);
    const std::array<quint8, ri::kFrameLength> frame = ri::BuildWriteFrame(s);
    if (!ctx_.engine->SendOwnFrame(frame.data(), int(frame.size()),
                                   RequestCode::RemoteIndicatorWrite, ri::kWriteReplyLength, this))
        sendFailed();
}

// Nothing went out (the port refused; the link has reported why): no reply will give the
// buttons back.
void RemoteIndicatorPage::sendFailed() {
    BitBtnRead->setEnabled(true);
    allowSave();
}

void RemoteIndicatorPage::showSettings(const ri::Settings& s) {
    for (int i = 0; i < ri::kLineCount; ++i) {
        const ri::Line& l = s.lines[size_t(i)];
        {
            // Not the operator's choice: the setpoints just read must not be reset.
            const QSignalBlocker quiet(CBIndParamName[size_t(i)]);
            CBIndParamName[size_t(i)]->setCurrentIndex(l.code);
        }
        TEUstMax[size_t(i)]->setText(formatPercent(l.overPercent));
        TEUstMin[size_t(i)]->setText(formatPercent(l.underPercent));
    }
    setScheme(s.scheme);
    reevaluateLines();
}

void RemoteIndicatorPage::setScheme(int schemeIndex) {
    if (QAbstractButton* b = schemeButtons_->button(schemeIndex)) {
        b->setChecked(true);
        return;
    }
    // A scheme byte the selector has no item for: nothing is checked.
    schemeButtons_->setExclusive(false);
    for (QAbstractButton* b : schemeButtons_->buttons())
        b->setChecked(false);
    schemeButtons_->setExclusive(true);
}
