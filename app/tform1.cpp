#include "app/tform1.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/linkgroup.h"
#include "app/skins.h"
#include "app/trafficmonitorwindow.h"
#include "calibration/currentoutputpage.h"
#include "calibration/metrologypage.h"
#include "calibration/valueentrydialog.h"
#include "link/serialport.h"
#include "link/timer.h"
#include "measure/indicatorview.h"
#include "measure/infochannelview.h"
#include "measure/measuredvaluespage.h"
#include "measure/trendwindow.h"
#include "settings/clockpage.h"
#include "settings/currentconverterpage.h"
#include "settings/mainparameterpage.h"
#include "settings/ratiogroup.h"
#include "settings/remoteindicatorpage.h"
#include "widgets/messagebox.h"
#include "widgets/statuslamp.h"

Q_LOGGING_CATEGORY(lcApp, "tervex.app")

namespace {

constexpr int kWindowWidth = 1010;
constexpr int kWindowHeight = 700;

QWidget* namedPage(const char* name, QWidget* parent = nullptr) {
    auto* w = new QWidget(parent);
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

QTabWidget* namedTabs(const char* name, QWidget* parent) {
    auto* t = new QTabWidget(parent);
    t->setObjectName(QString::fromLatin1(name));
    return t;
}

LinkTimer* namedTimer(Clock* clock, QObject* parent, const char* name, int interval, bool on) {
    LinkTimer* t = clock->createTimer(parent);
    t->setObjectName(QString::fromLatin1(name));
    t->setInterval(interval);
    t->setEnabled(on);
    return t;
}

// Pages 0 and 1 run at the stored speed and parity; the other two at 9600 without parity.
bool runsAtStoredSettings(int page) {
    return page == 0 || page == 1;
}

}  // namespace

TForm1::TForm1(SerialPort* port, Clock* clock, QWidget* parent)
    : QMainWindow(parent), port_(port), clock_(clock) {
    setObjectName(QStringLiteral("TForm1"));
    port_->setParent(this);
    ini_ = std::make_unique<IniFile>();
    portSettings_ = std::make_unique<PortSettings>(port_, ini_.get());
    portSettings_->setMessageSink([this](const QString& t) { messagebox::Show(t, this); });
    portSettings_->setErrorSink([this](const QString& t) { messagebox::ShowError(t, this); });

    engine_ = new LinkEngine(port_, clock_, this, &state_.procedures, this);
    valueDialog_ = std::make_unique<TForm2>();
    engine_->timerWaitAnsw()->setObjectName(QStringLiteral("TimerWaitAnsw"));
    engine_->timerSetAuto()->setObjectName(QStringLiteral("TimerSetAuto"));
    TimerMess = namedTimer(clock_, this, "TimerMess", 3000, false);
    TimerAuto = namedTimer(clock_, this, "TimerAuto", 100, false);
    TimerChanInfo = namedTimer(clock_, this, "TimerChanInfo", 1000, true);
    TimerClock = namedTimer(clock_, this, "TimerClock", 1000, true);
    connect(TimerMess, &LinkTimer::timeout, this, &TForm1::TimerMessTimer);

    // Construction, in the order the pages depend on each other.
    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(4, 4, 4, 0);
    column->addWidget(buildTitleStrip());
    PageControl1 = namedTabs("PageControl1", central);
    PageControl1->addTab(buildTervexPage(), QStringLiteral("   Прибор    "));
    PageControl1->addTab(buildTuningPage(), QStringLiteral("Настройка"));
    PageControl1->addTab(buildExtDevPage(), QStringLiteral("Внешние устройства"));
    PageControl1->addTab(buildInfoChannelPage(), QStringLiteral("Информационный канал"));
    column->addWidget(PageControl1, 1);
    setCentralWidget(central);

    auto* bar = new QStatusBar(this);
    bar->setObjectName(QStringLiteral("StatusBar"));
    bar->setSizeGripEnabled(false);
    statusPanel1 = new QLabel(bar);
    statusPanel1->setObjectName(QStringLiteral("StatusPanel0"));
    statusPanel1->setMinimumWidth(150);
    statusPanel2 = new QLabel(bar);
    statusPanel2->setObjectName(QStringLiteral("StatusPanel1"));
    bar->addWidget(statusPanel1);
    bar->addWidget(statusPanel2, 1);
    setStatusBar(bar);

    move(100, 50);
    setWindowTitle(QStringLiteral("Tervex v2.01"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(kWindowWidth, kWindowHeight);
    // A skin name the program does not know gives the default look rather than none.
    skinInUse_ = portSettings_->skinName();
    if (!ApplySkin(skinInUse_)) {
        skinInUse_ = QStringLiteral("Neutral (internal)");
        ApplySkin(skinInUse_);
    }

    wireLinkGroups();
    PageControl1->setCurrentIndex(0);
    PageControl1Change();
    engine_->lamp1().setVisible(false);
    engine_->lamp2().setVisible(false);
    engine_->lamp3().setLit(false);
    setRatioGroupEnabled(true);

    wireEngine();
    wireTools();

    connect(PageControl1, &QTabWidget::currentChanged, this, &TForm1::PageControl1Change);
    connect(PageControl_Tervex, &QTabWidget::currentChanged, this,
            &TForm1::PageControl_TervexChange);
    connect(PageControl3, &QTabWidget::currentChanged, this, &TForm1::PageControl_TervexChange);
    connect(PageControlSetAllParam, &QTabWidget::currentChanged, this,
            &TForm1::PageControlSetAllParamChange);
}

TForm1::~TForm1() = default;

// The tool windows listen to the link and to the pages; the link does not know them.
void TForm1::wireTools() {
    trafficMonitor_ = std::make_unique<TrafficMonitorWindow>(clock_);
    trafficMonitor_->attach(engine_);
    trafficMonitor_->attachChannel(infoChannelView_);
    connect(BitBtnMonitor, &QPushButton::clicked, this,
            [this] { showTool(trafficMonitor_.get()); });
    trendWindow_ = std::make_unique<TrendWindow>(clock_);
    connect(measuredPage_, &MeasuredValuesPage::measuredBlockShown, trendWindow_.get(),
            &TrendWindow::addMeasuredBlock);
    connect(BitBtnTrends, &QPushButton::clicked, this, [this] { showTool(trendWindow_.get()); });
}

void TForm1::showTool(QWidget* window) {
    if (window->isMinimized())
        window->showNormal();
    else
        window->show();
    window->raise();
    window->activateWindow();
}

QWidget* TForm1::buildTitleStrip() {
    auto* strip = new QWidget(this);
    strip->setObjectName(QStringLiteral("PanelTitle"));
    auto* row = new QHBoxLayout(strip);
    row->setContentsMargins(4, 2, 4, 2);
    LabelMaker = new QLabel(QStringLiteral("Lumeron"), strip);
    LabelMaker->setObjectName(QStringLiteral("LabelMaker"));
    QFont f = LabelMaker->font();
    f.setPointSize(f.pointSize() + 6);
    f.setBold(true);
    f.setItalic(true);
    LabelMaker->setFont(f);
    sComboBoxSkin = new QComboBox(strip);
    sComboBoxSkin->setObjectName(QStringLiteral("sComboBoxSkin"));
    sComboBoxSkin->addItems(SkinNames());
    sComboBoxSkin->setVisible(false);
    sBitBtn1 = new QPushButton(QStringLiteral("Скины"), strip);
    sBitBtn1->setObjectName(QStringLiteral("sBitBtn1"));
    BitBtnMonitor = new QPushButton(QStringLiteral("Монитор обмена"), strip);
    BitBtnMonitor->setObjectName(QStringLiteral("BitBtnMonitor"));
    BitBtnTrends = new QPushButton(QStringLiteral("Тренды"), strip);
    BitBtnTrends->setObjectName(QStringLiteral("BitBtnTrends"));
    BitBtnExit = new QPushButton(QStringLiteral("Выход"), strip);
    BitBtnExit->setObjectName(QStringLiteral("BitBtnExit"));
    row->addWidget(LabelMaker);
    row->addStretch(1);
    row->addWidget(sComboBoxSkin);
    row->addWidget(BitBtnMonitor);
    row->addWidget(BitBtnTrends);
    row->addWidget(sBitBtn1);
    row->addWidget(BitBtnExit);
    connect(sBitBtn1, &QPushButton::clicked, this, &TForm1::sBitBtn1Click);
    connect(sComboBoxSkin, &QComboBox::activated, this, &TForm1::sComboBoxSkinChange);
    connect(BitBtnExit, &QPushButton::clicked, this, &QWidget::close);
    return strip;
}

QWidget* TForm1::buildTervexPage() {
    TS_Tervex = namedPage("TS_Tervex");
    auto* row = new QHBoxLayout(TS_Tervex);
    auto* side = new QVBoxLayout;

    LinkGroup::Names names;
    names.group = "GroupBoxLink1";
    names.port = "ComboBoxPort1";
    names.baud = "ComboBoxBaud1";
    names.parity = "ComboBoxPar1";
    names.address = "Edit1";
    linkGroups_[0] = new LinkGroup(names, TS_Tervex);
    Edit1 = linkGroups_[0]->address();
    side->addWidget(linkGroups_[0]);

    pollingGroup_ = new PollingGroup(engine_, TimerAuto, this, TS_Tervex);
    side->addWidget(pollingGroup_);
    side->addStretch(1);
    row->addLayout(side);

    PageControl_Tervex = namedTabs("PageControl_Tervex", TS_Tervex);
    measuredPage_ = new MeasuredValuesPage;
    TS_FullInfo = measuredPage_;
    TS_FullInfo->setObjectName(QStringLiteral("TS_FullInfo"));
    PageControl_Tervex->addTab(TS_FullInfo, QStringLiteral("Измеряемая информация"));
    indicatorView_ = new IndicatorView(context(), TimerClock);
    TS_Ind = indicatorView_;
    PageControl_Tervex->addTab(TS_Ind, QString::fromUtf8(IndicatorView::kCaption));
    row->addWidget(PageControl_Tervex, 1);
    return TS_Tervex;
}

QWidget* TForm1::buildTuningPage() {
    TStuning = namedPage("TStuning");
    auto* column = new QVBoxLayout(TStuning);

    LinkGroup::Names names;
    names.group = "GroupBox51";
    names.port = "ComboBoxPort3";
    names.baud = "ComboBoxBaud2";
    names.parity = "ComboBoxPar2";
    names.address = "Edit2";
    linkGroups_[2] = new LinkGroup(names, TStuning);
    Edit2 = linkGroups_[2]->address();
    column->addWidget(linkGroups_[2]);

    PageControlSetAllParam = namedTabs("PageControlSetAllParam", TStuning);
    mainParameterPage_ = new MainParameterPage(context());
    PageControlSetAllParam->addTab(mainParameterPage_,
                                   QStringLiteral("Насторойка основных параметров"));

    ratioGroup_ = new RatioGroup(context());
    GroupBoxNetSchKp = ratioGroup_;
    metrologyPage_ = new MetrologyPage(context());
    metrologyPage_->placeRatioGroup(ratioGroup_);
    PageControlSetAllParam->addTab(metrologyPage_, QStringLiteral("Настройка метрологии"));

    currentOutputPage_ = new CurrentOutputPage(context());
    PageControlSetAllParam->addTab(currentOutputPage_, QStringLiteral("Настройка токовых выходов"));

    clockPage_ = new ClockPage(context(), TimerClock);
    TSSetTime = clockPage_;
    PageControlSetAllParam->addTab(TSSetTime, QStringLiteral("Настройка времени"));
    PageControlSetAllParam->setTabVisible(PageControlSetAllParam->indexOf(TSSetTime), false);
    column->addWidget(PageControlSetAllParam, 1);
    return TStuning;
}

QWidget* TForm1::buildExtDevPage() {
    TS_ExtDev = namedPage("TS_ExtDev");
    auto* column = new QVBoxLayout(TS_ExtDev);
    LinkGroup::Names names;
    names.group = "GroupBoxLink3";
    names.port = "ComboBoxPort2";
    names.fixedBaudName = "StaticText9";
    names.fixedBaud = "9600";
    names.fixedParityName = "StaticText10";
    names.fixedParity = "отключен";
    linkGroups_[1] = new LinkGroup(names, TS_ExtDev);
    column->addWidget(linkGroups_[1]);
    PageControl3 = namedTabs("PageControl3", TS_ExtDev);
    remoteIndicatorPage_ = new RemoteIndicatorPage(context(), TS_ExtDev);
    currentConverterPage_ = new CurrentConverterPage(context(), TS_ExtDev);
    // The indicator's read and write buttons sit in the page's link group.
    linkGroups_[1]->layout()->addWidget(remoteIndicatorPage_->buttonRow());
    PageControl3->addTab(remoteIndicatorPage_, QStringLiteral("Индикатор"));
    PageControl3->addTab(currentConverterPage_, QStringLiteral("Токовый преобразователь"));
    column->addWidget(PageControl3, 1);
    return TS_ExtDev;
}

QWidget* TForm1::buildInfoChannelPage() {
    sTabSheet4 = namedPage("sTabSheet4");
    auto* column = new QVBoxLayout(sTabSheet4);
    LinkGroup::Names names;
    names.group = "GroupBoxLink4";
    names.port = "ComboBoxPort4";
    names.fixedBaudName = "sEdit1";
    names.fixedBaud = "       9600";
    names.fixedParityName = "sEdit2";
    names.fixedParity = "        нет";
    names.fixedAsEdits = true;
    linkGroups_[3] = new LinkGroup(names, sTabSheet4);
    auto* top = new QHBoxLayout;
    top->addWidget(linkGroups_[3]);
    top->addStretch(1);
    column->addLayout(top);
    infoChannelView_ = new InfoChannelView(context(), TimerChanInfo, sTabSheet4);
    connect(infoChannelView_, &InfoChannelView::statusText, this, &TForm1::ShowStatus);
    column->addWidget(infoChannelView_, 1);
    return sTabSheet4;
}

// ---- Port settings and logical number ------------------------------------------------

void TForm1::wireLinkGroups() {
    for (int selector = 1; selector <= 4; ++selector) {
        QComboBox* box = linkGroups_[selector - 1]->port();
        connect(box, &QComboBox::currentIndexChanged, this, [this, selector](int item) {
            if (syncing_ || item < 0)
                return;
            // A refused port leaves the other selectors as they were; the one the operator
            // changed keeps the new item.
            if (portSettings_->ComboBoxPortChange(selector, item))
                showPortSettings();
        });
    }
    for (LinkGroup* g : {linkGroups_[0], linkGroups_[2]}) {
        connect(g->baud(), &QComboBox::currentIndexChanged, this, [this, g](int) {
            if (syncing_)
                return;
            portSettings_->ComboBoxBaudChange(g->baud()->currentText());
            showPortSettings();
        });
        connect(g->parity(), &QComboBox::currentIndexChanged, this, [this, g](int item) {
            if (syncing_ || item < 0)
                return;
            portSettings_->ComboBoxParChange(item);
            showPortSettings();
        });
    }
    connect(Edit1, &QLineEdit::textEdited, this, &TForm1::Edit1Change);
    connect(Edit2, &QLineEdit::textEdited, this, &TForm1::Edit2Change);
}

void TForm1::showPortSettings() {
    syncing_ = true;
    for (LinkGroup* g : linkGroups_) {
        g->port()->setCurrentIndex(portSettings_->portIndex());
        if (g->baud())
            g->baud()->setCurrentIndex(portSettings_->baudItemIndex());
        if (g->parity())
            g->parity()->setCurrentIndex(portSettings_->parityIndex());
    }
    syncing_ = false;
}

void TForm1::ControlInfoEdit(QLineEdit* field) {
    const LogicalNumberCheck check = CheckLogicalNumber(field->text());
    if (check == LogicalNumberCheck::Accept)
        return;
    if (check == LogicalNumberCheck::OutOfRange) {
        field->clear();
        messagebox::Show(QString::fromUtf8(kLogicalNumberRangeMessage), this);
        field->setFocus();
        return;
    }
    field->clear();
}

void TForm1::Edit1Change() {
    ControlInfoEdit(Edit1);
    Edit2->setText(Edit1->text());
}

void TForm1::Edit2Change() {
    ControlInfoEdit(Edit2);
    Edit1->setText(Edit2->text());
}

void TForm1::sBitBtn1Click() {
    if (sComboBoxSkin->isVisible()) {
        sComboBoxSkin->setVisible(false);
        return;
    }
    // The skin in use, which is the default when the stored name was unknown.
    sComboBoxSkin->setCurrentText(skinInUse_);
    sComboBoxSkin->setVisible(true);
}

void TForm1::sComboBoxSkinChange() {
    sComboBoxSkin->setVisible(false);
    const QString name = sComboBoxSkin->currentText();
    if (name.isEmpty() || !ApplySkin(name)) {
        messagebox::Show(QStringLiteral("Ошибка при изменении внешнего вида"), this);
        return;
    }
    skinInUse_ = name;
    portSettings_->storeSkinName(name);
}

// ---- Page switches --------------------------------------------------------------------

void TForm1::PageControl1Change() {
    // A procedure leaving the page must end at the speed it ran at, before the port changes.
    stopProcedures();
    engine_->setChannelMode(false);
    const int page = PageControl1->currentIndex();
    if (runsAtStoredSettings(page)) {
        portSettings_->applyStored();
    } else {
        portSettings_->applyFixed9600();
    }
    showPortSettings();
    if (PageControl1->currentWidget() == TS_ExtDev)
        remoteIndicatorPage_->pageEntered();
    if (PageControl1->currentWidget() == sTabSheet4)
        infoChannelView_->EnterChannelMode();
    PageControl_TervexChange();
    if (!Edit1->isEnabled())
        pollingGroup_->BitBtnStartClick();
    PageControlSetAllParamChange();
}

void TForm1::PageControl_TervexChange() {
    if (PageControl_Tervex->currentIndex() != 0)
        pollingGroup_->DropPollingFlag();
}

void TForm1::PageControlSetAllParamChange() {
    stopProcedures();
}

// Metrology first, then the current outputs, as their own Стоп buttons would.
void TForm1::stopProcedures() {
    metrologyPage_->StopMetrology();
    currentOutputPage_->StopCurrentOutput();
}

// ---- Status line ----------------------------------------------------------------------

void TForm1::ShowStatus(const QString& text) {
    statusPanel2->setText(text);
    TimerMess->setEnabled(true);
}

void TForm1::TimerMessTimer() {
    TimerMess->setEnabled(false);
    statusPanel2->clear();
}

// ---- Link hooks -----------------------------------------------------------------------

std::optional<int> TForm1::setupAddress() {
    bool ok = false;
    const int n = Edit2->text().trimmed().toInt(&ok);
    if (!ok)
        return std::nullopt;
    return n;
}

QString TForm1::setupAddressText() {
    return Edit2->text();
}

void TForm1::reportError(const QString& text) {
    messagebox::ShowError(text, this);
}

void TForm1::showMessage(const QString& text) {
    messagebox::Show(text, this);
}

void TForm1::setRatioGroupEnabled(bool on) {
    ratioGroup_->SetRatioGroupEnabled(on);
}

PageContext TForm1::context() {
    PageContext c;
    c.engine = engine_;
    c.state = &state_;
    c.portSettings = portSettings_.get();
    c.clock = clock_;
    return c;
}

// The effects of the link on the window as a whole; each page subscribes to its own.
void TForm1::wireEngine() {
    connect(engine_, &LinkEngine::statusText, this, &TForm1::ShowStatus);
    connect(engine_, &LinkEngine::message, this, &TForm1::showMessage);
    connect(engine_, &LinkEngine::errorReport, this, &TForm1::reportError);
    measuredPage_->attach(engine_);
    // A failed or refused exchange gives the ratio group back, unless metrology holds it.
    connect(engine_, &LinkEngine::exceptionReply, this, [this] { setRatioGroupEnabled(true); });
    connect(engine_, &LinkEngine::timedOut, this, [this] {
        if (!state_.procedures.MetrologyActive)
            setRatioGroupEnabled(true);
    });
    wireCalibration();
    wireMainParameters();
}

// The calibration procedures and the pages they hold while they run.
void TForm1::wireCalibration() {
    connect(ratioGroup_, &RatioGroup::statusMessage, this, &TForm1::ShowStatus);
    // While metrology runs the main parameter sub-page, the device and external-devices pages
    // and "Выход" are held.
    connect(metrologyPage_, &MetrologyPage::metrologyRunning, this, [this](bool on) {
        PageControlSetAllParam->widget(0)->setEnabled(!on);
        TS_Tervex->setEnabled(!on);
        TS_ExtDev->setEnabled(!on);
        BitBtnExit->setEnabled(!on);
        if (!on)
            valueDialog_->close();
    });
    // A double click on a reading opens the value-entry dialog at the row's place; the main
    // window waits until it is closed.
    connect(metrologyPage_, &MetrologyPage::readingDoubleClicked, this,
            [this](int row, QPoint offset) {
                setEnabled(false);
                valueDialog_->openAt(pos() + offset, metrologyPage_->entryText(row));
            });
    connect(valueDialog_.get(), &TForm2::valueEntered, metrologyPage_,
            &MetrologyPage::AcceptEnteredValue);
    connect(valueDialog_.get(), &TForm2::closed, this, [this] { setEnabled(true); });
    connect(currentOutputPage_, &CurrentOutputPage::currentOutputRunning, this, [this](bool on) {
        BitBtnExit->setEnabled(!on);
        if (!on)
            valueDialog_->close();
    });
    connect(currentOutputPage_, &CurrentOutputPage::schemeApplyRequested, ratioGroup_,
            &RatioGroup::ApplyScheme);
    // The scheme reply of the start takes the group; the stop gives it back.
    connect(metrologyPage_, &MetrologyPage::ratioGroupEnabled, this, [this](bool on) {
        ratioGroup_->SetRatioGroupEnabled(on);
        if (on)
            ratioGroup_->hideProgressBar();
    });
    // The procedure's own scheme and ratio reads fill the group as its own reads do.
    connect(metrologyPage_, &MetrologyPage::schemeRead, this, [this](quint16 word) {
        ratioGroup_->SelectScheme(word);
        ratioGroup_->ApplyScheme();
    });
    connect(metrologyPage_, &MetrologyPage::ratioBlockRead, this, [this](const QByteArray& b) {
        ratioGroup_->ShowRatioBlock(reinterpret_cast<const quint8*>(b.constData()), int(b.size()));
        ratioGroup_->ApplyScheme();
    });
    connect(ratioGroup_, &RatioGroup::schemeApplied, metrologyPage_,
            &MetrologyPage::ShowSchemeSheet);
    connect(ratioGroup_, &RatioGroup::ratedValuesChanged, metrologyPage_,
            &MetrologyPage::refreshReferences);
    // A confirmed block write gives the calibration inputs back.
    connect(mainParameterPage_, &MainParameterPage::setupBlockWritten, this,
            [this] { metrologyPage_->SetCalibrationInputsEnabled(true); });
}

// The main parameters: the window follows what the device was told, and the indicator view
// takes the names, units and exponents of its lines from the set-up block.
void TForm1::wireMainParameters() {
    // A confirmed single write hides the scheme progress bar.
    connect(mainParameterPage_, &MainParameterPage::writeConfirmed, this,
            [this](quint16) { ratioGroup_->hideProgressBar(); });
    // Setting a selector to the item it already shows emits nothing, and the logical-number
    // fields react only to typing, so the changes are made directly.
    connect(mainParameterPage_, &MainParameterPage::logicalNumberWritten, this, [this](int n) {
        Edit1->setText(QString::number(n));
        Edit1Change();
    });
    connect(mainParameterPage_, &MainParameterPage::speedWritten, this, [this](int baud) {
        portSettings_->ComboBoxBaudChange(QString::number(baud));
        showPortSettings();
    });
    connect(mainParameterPage_, &MainParameterPage::parityWritten, this, [this](int parity) {
        portSettings_->ComboBoxParChange(parity);
        showPortSettings();
    });
    connect(mainParameterPage_, &MainParameterPage::indicatorSetupRead, this,
            [this](const IndicatorSetup& setup) {
                for (int i = 0; i < kIndicatorLines; ++i) {
                    const IndicatorLineSetup& line = setup[size_t(i)];
                    indicatorView_->setLineSetup(i, line.name, line.unit, line.exponent);
                }
            });
}

// ---- Polling host ---------------------------------------------------------------------

std::optional<int> TForm1::pollingAddress() {
    bool ok = false;
    const int n = Edit1->text().trimmed().toInt(&ok);
    if (!ok) {
        reportError(linktext::NotANumber(Edit1->text()));
        return std::nullopt;
    }
    return n;
}

void TForm1::setPollingAddressEnabled(bool on) {
    Edit1->setEnabled(on);
}

bool TForm1::pollingAddressEnabled() const {
    return Edit1->isEnabled();
}

void TForm1::setExitEnabled(bool on) {
    BitBtnExit->setEnabled(on);
}

PollingHost::Target TForm1::pollTarget() {
    if (PageControl_Tervex->currentWidget() == TS_FullInfo)
        return Target::MeasuredValues;
    return state_.indicator.IndParamPending ? Target::IndicatorSetup : Target::IndicatorValues;
}
