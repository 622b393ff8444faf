// The metrology procedure page on a fake port and a manual clock: its controls, the start
// chain, the readings and the 60 % rule, the writes of references, trims and the store, the
// stop from every cause, and the handling of lost or refused exchanges.
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QToolButton>
#include <QtTest>
#include <cmath>
#include <cstring>

#include "calibration/metrologypage.h"
#include "pagebench.h"
#include "replies.h"
#include "widgets/statuslamp.h"

using namespace metrology;

namespace {

const QString kSchemeRead = QStringLiteral("01 03 02 10 00 01 84 77");
const QString kRatioRead = QStringLiteral("01 03 08 00 00 08 46 6c");
const QString kPoll = QStringLiteral("01 03 00 00 00 3a c5 d9");
const QString kUanNominal = QStringLiteral("01 10 07 00 00 02 04 42 66 f5 c3 26 f9");
const QString kSave = QStringLiteral("01 06 02 ff 00 00 b8 42");

// The primary voltage as read whose nominal is 57.74 exactly.
const float kU0 = std::nextafter(75.062f, 100.0f);
const float kI0 = 6.5f;  // In = 5

QList<quint16> wordsOf(const QList<float>& values) {
    QList<quint16> words;
    for (float v : values) {
        quint32 bits = 0xFFFFFFFFu;  // NaN stands for the no-information marker
        if (v == v)
            std::memcpy(&bits, &v, 4);
        words << quint16(bits >> 16) << quint16(bits & 0xFFFF);
    }
    return words;
}

QByteArray ratioReply(float u0, float i0 = kI0) {
    return replies::read(wordsOf({u0, 57.74f, i0, 5.0f}));
}

// Nominal readings: every channel at its nominal, Q small.
QList<float> nominalReadings() {
    QList<float> v(29, 0.0f);
    for (int k : {0, 1, 2, 6, 7, 8})
        v[k] = 57.7f;
    for (int k : {3, 4, 5})
        v[k] = 5.0f;
    for (int k : {9, 10, 11})
        v[k] = 288.0f;
    v[21] = 866.0f;
    v[22] = 0.004f;
    return v;
}

// A function 16 write is answered with the first six bytes of its request.
QByteArray write16Reply(const QString& requestHex) {
    return replies::withCrc(QByteArray::fromHex(requestHex.toLatin1()).left(6));
}

QByteArray echo(const QString& requestHex) {
    return QByteArray::fromHex(requestHex.toLatin1());
}

struct Fixture {
    PageBench b;
    MetrologyPage page{b.context()};
    QSignalSpy running{&page, &MetrologyPage::metrologyRunning};
    QSignalSpy ratioGroup{&page, &MetrologyPage::ratioGroupEnabled};

    Fixture() {
        page.setLocale(QLocale(QLocale::English));
        page.resize(1000, 420);
        page.show();
    }

    QWidget* named(const char* name) { return page.findChild<QWidget*>(QLatin1String(name)); }
    QPushButton* button(const char* name) {
        return page.findChild<QPushButton*>(QLatin1String(name));
    }
    QLabel* field(const char* name) { return page.findChild<QLabel*>(QLatin1String(name)); }
    QPushButton* setNet() { return button("BitBtnSetNet"); }
    State state() const { return page.procedureState(); }
    LinkTimer* sequencing() { return b.engine.timerSetAuto(); }

    // Moves the clock by `ms` and returns the frames sent meanwhile.
    QStringList advance(int ms) {
        b.clock.advance(ms);
        return b.takeWritten();
    }
    void tick() { b.clock.advance(1000); }

    void startToRatios(quint16 scheme = 0) {
        setNet()->click();
        QCOMPARE(b.takeWritten(), QStringList{kSchemeRead});
        b.port.deliver(replies::read({scheme}));
    }
    // Runs the start chain up to the first reading.
    void startToPolling(quint16 scheme = 0, float u0 = kU0, float i0 = kI0,
                        const QList<float>& readings = nominalReadings()) {
        startToRatios(scheme);
        QCOMPARE(advance(1000), QStringList{kRatioRead});
        b.port.deliver(ratioReply(u0, i0));
        QCOMPARE(advance(1000), QStringList{kPoll});
        b.port.deliver(replies::measuredBlock(readings));
        QCOMPARE(state(), State::Polling);
    }
    void deliverReadings(const QList<float>& readings) {
        QCOMPARE(advance(1000), QStringList{kPoll});
        b.port.deliver(replies::measuredBlock(readings));
    }
    bool anyInputEnabled() {
        for (int i = 0; i < kEnterButtonCount; ++i) {
            if (page.enterButton(i)->isEnabled())
                return true;
        }
        for (int i = 0; i < kPowerTrimCount; ++i) {
            if (page.trim(i)->isEnabled())
                return true;
        }
        return false;
    }
    bool allTrimsEnabled() {
        for (int i = 0; i < kPowerTrimCount; ++i) {
            if (!page.trim(i)->isEnabled())
                return false;
        }
        return true;
    }
    // The arrow of a trim spin button, clicked as the operator clicks it.
    void clickArrow(const char* trim, bool up) {
        auto* spin = page.findChild<TrimSpinButton*>(QLatin1String(trim));
        QVERIFY(spin);
        QTest::mouseClick(up ? spin->upArrow() : spin->downArrow(), Qt::LeftButton);
    }
    bool stopped() {
        return state() == State::Idle && !b.state.procedures.MetrologyActive &&
               !sequencing()->isEnabled() && setNet()->text() == QStringLiteral("   Старт") &&
               !named("PageControl2or3Elem")->isVisibleTo(&page) &&
               !button("BitBtnSeveSetInfo")->isEnabled();
    }
};

struct Golden {
    const char* name;
    const char* className;
    const char* caption;  // text, title, tab text or the caption label; nullptr: none
};

// clang-format off
const Golden kGolden[] = {
    {"TSSetMetrol",         "MetrologyPage",  nullptr},
    {"PageControl2or3Elem", "QTabWidget",     nullptr},
    {"TabSheet4",           "QWidget",        "Двух элементная"},
    {"TabSheet3",           "QWidget",        "Трех элементная"},
    {"GroupBox3U",          "QGroupBox",      "Напряжение"},
    {"GroupBox3I",          "QGroupBox",      "Ток"},
    {"GroupBox3P",          "QGroupBox",      "Мощность активная"},
    {"GroupBox2U",          "QGroupBox",      "Напряжение линейное"},
    {"GroupBox2I",          "QGroupBox",      "Ток"},
    {"GroupBox2P",          "QGroupBox",      "Мощность"},
    {"StaticTextUan",       "QLabel",         "Uan ="},
    {"StaticTextUbn",       "QLabel",         "Ubn ="},
    {"StaticTextUcn",       "QLabel",         "Ucn ="},
    {"StaticTextIa3",       "QLabel",         "Ia ="},
    {"StaticTextIb3",       "QLabel",         "Ib ="},
    {"StaticTextIc3",       "QLabel",         "Ic ="},
    {"StaticTextPa",        "QLabel",         "Pa ="},
    {"StaticTextPb",        "QLabel",         "Pb ="},
    {"StaticTextPc",        "QLabel",         "Pc ="},
    {"StaticTextP",         "QLabel",         "P ="},
    {"StaticTextUab",       "QLabel",         "Uab ="},
    {"StaticTextUbc",       "QLabel",         "Ubc ="},
    {"StaticTextUca",       "QLabel",         "Uca ="},
    {"StaticTextIa2",       "QLabel",         "Ia ="},
    {"StaticTextIb2",       "QLabel",         "Ib ="},
    {"StaticTextIc2",       "QLabel",         "Ic ="},
    {"StaticTextPs",        "QLabel",         "P ="},
    {"StaticTextQs",        "QLabel",         "Q ="},
    {"Button3Uan",          "QPushButton",    "Ввод"},
    {"Button3Ubn",          "QPushButton",    "Ввод"},
    {"Button3Ucn",          "QPushButton",    "Ввод"},
    {"Button3Ian",          "QPushButton",    "Ввод"},
    {"Button3Ibn",          "QPushButton",    "Ввод"},
    {"Button3Icn",          "QPushButton",    "Ввод"},
    {"Button2Uan",          "QPushButton",    "Ввод"},
    {"Button2Ubn",          "QPushButton",    "Ввод"},
    {"Button2Ian",          "QPushButton",    "Ввод"},
    {"Button2Icn",          "QPushButton",    "Ввод"},
    {"UpDownPa1",           "TrimSpinButton", nullptr},
    {"UpDownPa0",           "TrimSpinButton", nullptr},
    {"UpDownPb1",           "TrimSpinButton", nullptr},
    {"UpDownPb0",           "TrimSpinButton", nullptr},
    {"UpDownPc1",           "TrimSpinButton", nullptr},
    {"UpDownPc0",           "TrimSpinButton", nullptr},
    {"UpDownPsa1",          "TrimSpinButton", nullptr},
    {"UpDownPsa0",          "TrimSpinButton", nullptr},
    {"UpDownPsc1",          "TrimSpinButton", nullptr},
    {"UpDownPsc0",          "TrimSpinButton", nullptr},
    {"LabelPhaseA",         "QLabel",         "фаза A"},
    {"LabelPhaseC",         "QLabel",         "фаза C"},
    {"ApdStatusLight1",     "StatusLamp",     nullptr},
    {"BitBtnSetNet",        "QPushButton",    "   Старт"},
    {"LabelSetNet",         "QLabel",         "Установить связь:"},
    {"BitBtnSeveSetInfo",   "QPushButton",    ""},
    {"LabelSeveSetInfo",    "QLabel",         "Сохранить изменения:"},
};
// clang-format on

QString captionOf(QWidget* w) {
    if (auto* b = qobject_cast<QPushButton*>(w))
        return b->text();
    if (auto* g = qobject_cast<QGroupBox*>(w))
        return g->title();
    if (auto* tabs = qobject_cast<QTabWidget*>(w->parentWidget() ? w->parentWidget()->parentWidget()
                                                                 : nullptr)) {
        const int i = tabs->indexOf(w);
        if (i >= 0)
            return tabs->tabText(i);
    }
    if (auto* l = qobject_cast<QLabel*>(w)) {
        if (!w->objectName().startsWith(QLatin1String("StaticText")))
            return l->text();
        for (QLabel* c : w->parentWidget()->findChildren<QLabel*>()) {
            if (c->buddy() == w)
                return c->text();
        }
    }
    return {};
}

}  // namespace

class MetrologyPageTest : public QObject {
    Q_OBJECT
  private slots:
    void goldenNames_data();
    void goldenNames();
    void idleLayout();
    void startChain();
    void secondClickBeforeReply();
    void schemeSheets_data();
    void schemeSheets();
    void readingsShown();
    void sixtyPercent_data();
    void sixtyPercent();
    void irregularTwoElementRows();
    void inputsWaitForFirstReading();
    void noNominalNoButton();
    void nominalWrite_data();
    void nominalWrite();
    void writeQueuedDuringPoll();
    void doubleClickAndTypedValue();
    void referenceWriteLostOrRefused();
    void allTrimArrows();
    void trimStopsTimerUntilReply();
    void save();
    void lostCommandResumesPolling_data();
    void lostCommandResumesPolling();
    void failedStartIsUndone_data();
    void failedStartIsUndone();
    void stopCauses_data();
    void stopCauses();
    void lateReplyAfterStop();
    void refusedPollKeepsPolling();
};

void MetrologyPageTest::goldenNames_data() {
    QTest::addColumn<int>("i");
    for (int i = 0; i < int(std::size(kGolden)); ++i)
        QTest::newRow(kGolden[i].name) << i;
}

void MetrologyPageTest::goldenNames() {
    QFETCH(int, i);
    const Golden& g = kGolden[i];
    Fixture f;
    QWidget* w = QLatin1String(g.name) == QLatin1String("TSSetMetrol") ? &f.page : f.named(g.name);
    QVERIFY2(w, g.name);
    QCOMPARE(QString::fromLatin1(w->metaObject()->className()), QString::fromLatin1(g.className));
    if (g.caption)
        QCOMPARE(captionOf(w), QString::fromUtf8(g.caption));
}

void MetrologyPageTest::idleLayout() {
    Fixture f;
    f.page.resize(1000, 420);
    f.page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.page));
    QVERIFY(!f.named("PageControl2or3Elem")->isVisible());
    QVERIFY(!f.button("BitBtnSeveSetInfo")->isEnabled());
    QVERIFY(!f.anyInputEnabled());
    auto* tabs = f.page.findChild<QTabWidget*>(QStringLiteral("PageControl2or3Elem"));
    QVERIFY(tabs->isTabVisible(1));
    QVERIFY(!tabs->isTabVisible(0));
    // Ib of the two-element sheet has no caption to show.
    for (QLabel* c : f.page.findChildren<QLabel*>()) {
        if (c->buddy() == f.field("StaticTextIb2"))
            QVERIFY(c->isHidden());
    }
    // The LCD fields are dark with bright digits.
    const QString style = f.field("StaticTextUan")->styleSheet();
    QVERIFY(style.contains(QLatin1String("background-color: black")));
    QVERIFY(style.contains(QLatin1String("color: lime")));
    QCOMPARE(f.field("StaticTextUan")->alignment() & Qt::AlignRight, Qt::AlignRight);
}

void MetrologyPageTest::startChain() {
    Fixture f;
    QSignalSpy scheme(&f.page, &MetrologyPage::schemeRead);
    QSignalSpy block(&f.page, &MetrologyPage::ratioBlockRead);

    // The scheme read goes out at once; the window is held from the click on.
    f.setNet()->click();
    QCOMPARE(f.b.takeWritten(), QStringList{kSchemeRead});
    QCOMPARE(f.running.size(), 1);
    QCOMPARE(f.running.at(0).at(0).toBool(), true);
    QVERIFY(!f.b.state.procedures.MetrologyActive);
    QCOMPARE(f.setNet()->text(), QStringLiteral("   Старт"));
    QCOMPARE(f.advance(3000 - 1), QStringList{});

    f.b.port.deliver(replies::read({0}));
    QVERIFY(f.b.state.procedures.MetrologyActive);
    QCOMPARE(f.setNet()->text(), QStringLiteral("   Стоп"));
    QCOMPARE(scheme.size(), 1);
    QCOMPARE(scheme.at(0).at(0).value<quint16>(), quint16(0));
    QCOMPARE(f.ratioGroup.size(), 1);
    QCOMPARE(f.ratioGroup.at(0).at(0).toBool(), false);

    // The ratio read at every tick until answered.
    QCOMPARE(f.advance(999), QStringList{});
    QCOMPARE(f.advance(1), QStringList{kRatioRead});
    QCOMPARE(f.advance(1000), QStringList{kRatioRead});
    QVERIFY(!f.named("PageControl2or3Elem")->isVisibleTo(&f.page));
    f.b.port.deliver(ratioReply(kU0));
    QVERIFY(f.named("PageControl2or3Elem")->isVisibleTo(&f.page));
    QCOMPARE(block.size(), 1);
    QCOMPARE(block.at(0).at(0).toByteArray(), ratioReply(kU0).mid(3, 16));
    QCOMPARE(f.b.state.scheme.RatedValues[0], kU0);
    QCOMPARE(f.b.state.scheme.RatedValues[2], kI0);

    // Then the poll at every tick, answered or not.
    QCOMPARE(f.advance(1000), QStringList{kPoll});
    f.b.port.deliver(replies::measuredBlock(nominalReadings()));
    QCOMPARE(f.advance(1000), QStringList{kPoll});
    QCOMPARE(f.advance(1000), QStringList{kPoll});
    QCOMPARE(f.running.size(), 1);
    QVERIFY(f.button("BitBtnSeveSetInfo")->isEnabled());
}

// Before the scheme is answered the button still says Старт: a second click starts again.
void MetrologyPageTest::secondClickBeforeReply() {
    Fixture f;
    f.setNet()->click();
    f.setNet()->click();
    QCOMPARE(f.b.takeWritten(), (QStringList{kSchemeRead, kSchemeRead}));
    QCOMPARE(f.running.size(), 1);
    f.b.port.deliver(replies::read({0}));
    QCOMPARE(f.state(), State::ReadingRatios);
}

void MetrologyPageTest::schemeSheets_data() {
    QTest::addColumn<quint16>("word");
    QTest::addColumn<bool>("two");
    QTest::newRow("0 three-element") << quint16(0) << false;
    QTest::newRow("1 two-element") << quint16(1) << true;
    QTest::newRow("2 two-element") << quint16(2) << true;
}

void MetrologyPageTest::schemeSheets() {
    QFETCH(quint16, word);
    QFETCH(bool, two);
    Fixture f;
    f.b.state.scheme.TwoElementScheme = !two;
    f.startToPolling(word);
    auto* tabs = f.page.findChild<QTabWidget*>(QStringLiteral("PageControl2or3Elem"));
    QCOMPARE(f.b.state.scheme.TwoElementScheme, two);
    QCOMPARE(tabs->isTabVisible(tabs->indexOf(f.named("TabSheet4"))), two);
    QCOMPARE(tabs->isTabVisible(tabs->indexOf(f.named("TabSheet3"))), !two);
    QCOMPARE(tabs->currentWidget(), f.named(two ? "TabSheet4" : "TabSheet3"));
    QCOMPARE(f.page.references().totalPower, ReferencesFor(kU0, kI0, two).totalPower);
}

void MetrologyPageTest::readingsShown() {
    Fixture f;
    QList<float> v = nominalReadings();
    v[0] = 57.735f;        // Uan
    v[1] = 0.004f;         // Ubn: zero band
    v[2] = -0.004f;        // Ucn
    v[6] = 6000.0f;        // Uab
    v[9] = -150.0f;        // Pa
    v[21] = 250000;        // P
    v[22] = 0.004f;        // Q: not judged
    v[3] = std::nanf("");  // Ia: no information
    f.startToPolling(0, kU0, kI0, v);
    QCOMPARE(f.field("StaticTextUan")->text(), QStringLiteral("57.735"));
    QCOMPARE(f.field("StaticTextUbn")->text(), QStringLiteral("0.0"));
    QCOMPARE(f.field("StaticTextUcn")->text(), QStringLiteral("0.0"));
    QCOMPARE(f.field("StaticTextUab")->text(), QStringLiteral("6.0000"));
    QCOMPARE(f.field("StaticTextPa")->text(), QStringLiteral("-150.00"));
    QCOMPARE(f.field("StaticTextP")->text(), QStringLiteral("250.00"));
    QCOMPARE(f.field("StaticTextPs")->text(), QStringLiteral("250.00"));
    QCOMPARE(f.field("StaticTextQs")->text(), QStringLiteral("0.0040"));
    QCOMPARE(f.field("StaticTextIa3")->text(), QStringLiteral("0.0"));
    QCOMPARE(f.field("StaticTextIa2")->text(), QStringLiteral("0.0"));

    // Under Russian regional settings with a comma.
    f.page.setLocale(QLocale(QLocale::Russian));
    f.deliverReadings(v);
    QCOMPARE(f.field("StaticTextUan")->text(), QStringLiteral("57,735"));
    QCOMPARE(f.field("StaticTextUab")->text(), QStringLiteral("6,0000"));
    QCOMPARE(f.page.entryText(RowIndex("StaticTextUab")), QStringLiteral("6000,0"));
}

void MetrologyPageTest::sixtyPercent_data() {
    QTest::addColumn<float>("uan");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("34.6 below 34.644") << 34.6f << false;
    QTest::newRow("34.7 above 34.644") << 34.7f << true;
    QTest::newRow("nominal") << 57.74f << true;
    QTest::newRow("zero") << 0.0f << false;
}

void MetrologyPageTest::sixtyPercent() {
    QFETCH(float, uan);
    QFETCH(bool, enabled);
    Fixture f;
    QList<float> v = nominalReadings();
    v[0] = uan;
    f.startToPolling(0, kU0, kI0, v);
    QCOMPARE(f.page.references().voltage, 57.74f);
    QCOMPARE(f.button("Button3Uan")->isEnabled(), enabled);
    QVERIFY(f.button("Button3Ubn")->isEnabled());
    // The rule holds at every reading, both ways.
    v[0] = enabled ? 10.0f : 57.74f;
    f.deliverReadings(v);
    QCOMPARE(f.button("Button3Uan")->isEnabled(), !enabled);
}

// Button2Ubn stands beside Ubc, follows Uca and writes Ubc's reference (k = 4); Ubc has no
// button; Uca cannot be double-clicked; Ib has no button.
void MetrologyPageTest::irregularTwoElementRows() {
    Fixture f;
    QSignalSpy clicked(&f.page, &MetrologyPage::readingDoubleClicked);
    QList<float> v = nominalReadings();
    v[7] = 57.7f;  // Ubc high
    v[8] = 10.0f;  // Uca low
    f.startToPolling(1, kU0, kI0, v);
    QTest::mouseDClick(f.field("StaticTextUbc"), Qt::LeftButton);
    QCOMPARE(clicked.size(), 1);
    QCOMPARE(clicked.at(0).at(1).toPoint(), QPoint(70, 280));
    QVERIFY(!f.button("Button2Ubn")->isEnabled());
    QVERIFY(f.button("Button2Uan")->isEnabled());

    v[7] = 10.0f;
    v[8] = 57.7f;
    f.deliverReadings(v);
    QVERIFY(f.button("Button2Ubn")->isEnabled());
    f.button("Button2Ubn")->click();
    const QStringList sent = f.advance(1000);
    QCOMPARE(sent.size(), 1);
    QVERIFY2(sent[0].startsWith(QLatin1String("01 10 07 10 00 02 04 42 66 f5 c3")),
             qPrintable(sent[0]));

    QTest::mouseDClick(f.field("StaticTextUca"), Qt::LeftButton);
    QTest::mouseDClick(f.field("StaticTextIb2"), Qt::LeftButton);
    QCOMPARE(clicked.size(), 1);
}

void MetrologyPageTest::inputsWaitForFirstReading() {
    Fixture f;
    f.startToRatios();
    QCOMPARE(f.advance(1000), QStringList{kRatioRead});
    f.b.port.deliver(ratioReply(kU0));
    QVERIFY(!f.anyInputEnabled());
    // Neither an explicit enable nor the time-out of the first poll offers anything yet.
    f.page.SetCalibrationInputsEnabled(true);
    QVERIFY(!f.anyInputEnabled());
    f.advance(4000);
    QVERIFY(f.b.statuses.contains(QString::fromUtf8(linktext::kNoReply)));
    QVERIFY(!f.anyInputEnabled());
    QVERIFY(!f.button("BitBtnSeveSetInfo")->isEnabled());
    // Nor is a value typed or a click taken.
    QVERIFY(!f.page.WriteEnteredValue(RowIndex("StaticTextUan"), 50.0f));
    f.page.EnterButtonClick(ButtonIndex("Button3Uan"));
    QVERIFY(!f.b.state.procedures.CalibrationWritePending);

    f.b.port.deliver(replies::measuredBlock(nominalReadings()));
    QVERIFY(f.allTrimsEnabled());
    QVERIFY(f.button("Button3Uan")->isEnabled());
    QVERIFY(f.button("BitBtnSeveSetInfo")->isEnabled());
}

// The ratio read gave the no-information marker for the primary voltage: no voltage nominal,
// so voltage and power show 0.0 and no voltage button ever writes a nominal of 0.
void MetrologyPageTest::noNominalNoButton() {
    Fixture f;
    f.startToPolling(0, std::nanf(""), kI0);
    QCOMPARE(f.b.state.scheme.RatedValues[0], 0.0f);
    QCOMPARE(f.field("StaticTextUan")->text(), QStringLiteral("0.0"));
    QCOMPARE(f.field("StaticTextPa")->text(), QStringLiteral("0.0"));
    QCOMPARE(f.field("StaticTextQs")->text(), QStringLiteral("0.0040"));
    QCOMPARE(f.field("StaticTextIa3")->text(), QStringLiteral("5.0000"));
    const char* voltage[] = {"Button3Uan", "Button3Ubn", "Button3Ucn", "Button2Uan", "Button2Ubn"};
    auto noVoltageButton = [&] {
        for (const char* n : voltage) {
            if (f.button(n)->isEnabled())
                return false;
        }
        return true;
    };
    QVERIFY(noVoltageButton());
    QVERIFY(f.button("Button3Ian")->isEnabled());

    // Every way the inputs are given back leaves them off.
    f.page.SetCalibrationInputsEnabled(true);
    QVERIFY(noVoltageButton());
    f.button("Button3Ian")->click();
    QCOMPARE(f.advance(1000).size(), 1);
    f.advance(3000);  // the current write times out
    QVERIFY(noVoltageButton());
    f.page.EnterButtonClick(ButtonIndex("Button3Uan"));
    QVERIFY(!f.advance(1000).join(QLatin1Char('|')).contains(QLatin1String("01 10 07 00")));
}

void MetrologyPageTest::nominalWrite_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<quint16>("scheme");
    QTest::addColumn<QString>("frame");
    QTest::newRow("Button3Uan") << "Button3Uan" << quint16(0) << kUanNominal;
    QTest::newRow("Button3Ubn") << "Button3Ubn" << quint16(0)
                                << "01 10 07 04 00 02 04 42 66 f5 c3 27 0a";
    QTest::newRow("Button3Icn") << "Button3Icn" << quint16(0)
                                << "01 10 07 20 00 02 04 40 a0 00 00 c2 65";
    QTest::newRow("Button2Uan") << "Button2Uan" << quint16(1)
                                << "01 10 07 0c 00 02 04 42 66 f5 c3 26 ac";
    QTest::newRow("Button2Ian") << "Button2Ian" << quint16(1)
                                << "01 10 07 18 00 02 04 40 a0 00 00 c0 d7";
}

void MetrologyPageTest::nominalWrite() {
    QFETCH(QString, button);
    QFETCH(quint16, scheme);
    QFETCH(QString, frame);
    Fixture f;
    f.startToPolling(scheme);
    f.button(button.toLatin1().constData())->click();
    QVERIFY(f.b.state.procedures.CalibrationWritePending);
    QVERIFY(!f.anyInputEnabled());
    QCOMPARE(f.state(), State::WriteQueued);
    // Nothing is sent from the click; the write goes out at every tick until answered.
    QCOMPARE(f.b.takeWritten(), QStringList{});
    QCOMPARE(f.advance(1000), QStringList{frame});
    QCOMPARE(f.advance(1000), QStringList{frame});
    f.b.port.deliver(write16Reply(frame));
    QVERIFY(!f.b.state.procedures.CalibrationWritePending);
    QVERIFY(f.allTrimsEnabled());
    QCOMPARE(f.state(), State::Polling);
    QCOMPARE(f.advance(1000), QStringList{kPoll});
}

// A click while a poll is under way: the poll's reply must not push the write aside.
void MetrologyPageTest::writeQueuedDuringPoll() {
    Fixture f;
    f.startToPolling();
    QCOMPARE(f.advance(1000), QStringList{kPoll});
    f.button("Button3Uan")->click();
    f.b.port.deliver(replies::measuredBlock(nominalReadings()));
    QVERIFY(!f.anyInputEnabled());
    QCOMPARE(f.advance(1000), QStringList{kUanNominal});
}

void MetrologyPageTest::doubleClickAndTypedValue() {
    Fixture f;
    QSignalSpy clicked(&f.page, &MetrologyPage::readingDoubleClicked);
    QList<float> v = nominalReadings();
    v[6] = 6000.0f;
    f.startToPolling(1, kU0, kI0, v);

    QTest::mouseDClick(f.field("StaticTextUab"), Qt::LeftButton);
    QCOMPARE(clicked.size(), 1);
    const int uab = RowIndex("StaticTextUab");
    QCOMPARE(clicked.at(0).at(0).toInt(), uab);
    QCOMPARE(clicked.at(0).at(1).toPoint(), QPoint(70, 220));
    // Shown divided by 1000, offered for typing as measured.
    QCOMPARE(f.field("StaticTextUab")->text(), QStringLiteral("6.0000"));
    QCOMPARE(f.page.entryText(uab), QStringLiteral("6000.0"));

    QVERIFY(f.page.AcceptEnteredValue(100.0f));
    QCOMPARE(f.advance(1000),
             QStringList{QStringLiteral("01 10 07 0c 00 02 04 42 c8 00 00 40 4c")});
    f.b.port.deliver(write16Reply(QStringLiteral("01 10 07 0c 00 02 04 42 c8 00 00 40 4c")));

    // A typed value for a row: the value as typed, to the row's reference number.
    QVERIFY(f.page.WriteEnteredValue(RowIndex("StaticTextUbc"), 6000.0f));
    QVERIFY(f.advance(1000).value(0).startsWith(QLatin1String("01 10 07 10 00 02 04 45 bb 80 00")));
    QVERIFY(!f.page.WriteEnteredValue(RowIndex("StaticTextUca"), 1.0f));
    QVERIFY(!f.page.WriteEnteredValue(uab, std::numeric_limits<float>::infinity()));
}

// A reference write that times out is sent again at every tick; one refused is sent once more,
// and a second refusal returns to the readings.
void MetrologyPageTest::referenceWriteLostOrRefused() {
    Fixture f;
    f.startToPolling();
    f.button("Button3Uan")->click();
    QCOMPARE(f.advance(1000), QStringList{kUanNominal});
    f.advance(3000);
    QVERIFY(!f.b.state.procedures.CalibrationWritePending);
    QVERIFY(f.allTrimsEnabled());
    QCOMPARE(f.advance(1000), QStringList{kUanNominal});
    f.b.port.deliver(write16Reply(kUanNominal));
    QCOMPARE(f.state(), State::Polling);

    f.button("Button3Uan")->click();
    QCOMPARE(f.advance(1000), QStringList{kUanNominal});
    f.b.port.deliver(replies::exception(16, 4));
    QCOMPARE(f.b.messages.take(), QStringList{QStringLiteral("Невосстанавливаемая ошибка")});
    QVERIFY(f.allTrimsEnabled());
    QCOMPARE(f.advance(1000), QStringList{kUanNominal});
    QCOMPARE(f.state(), State::WriteQueued);
    f.b.port.deliver(replies::exception(16, 4));
    QCOMPARE(f.state(), State::Polling);
    QCOMPARE(f.advance(1000), QStringList{kPoll});
}

// Each of the twenty arrows: function 6 to 640 (up) or 641 (down) with the button's step.
void MetrologyPageTest::allTrimArrows() {
    Fixture f;
    f.startToPolling(0);
    for (int twoElement = 0; twoElement < 2; ++twoElement) {
        if (twoElement) {
            f.page.StopMetrology();
            f.startToPolling(1);
        }
        for (const PowerTrim& t : kPowerTrims) {
            if ((t.sheet == Sheet::TwoElement) != bool(twoElement))
                continue;
            for (bool up : {true, false}) {
                const QString what = QStringLiteral("%1 %2").arg(t.name, up ? "up" : "down");
                f.clickArrow(t.name, up);
                const QStringList sent = f.advance(1000);
                QVERIFY2(sent.size() == 1, qPrintable(what));
                const QByteArray frame = QByteArray::fromHex(sent[0].toLatin1());
                QCOMPARE(frame.left(4), QByteArray::fromHex(up ? "01060280" : "01060281"));
                QCOMPARE(quint16((quint8(frame[4]) << 8) | quint8(frame[5])), t.step);
                QVERIFY(replies::checksumRight(frame));
                f.b.port.deliver(frame);
                QCOMPARE(f.state(), State::Polling);
            }
        }
    }
    const QString pb1 = QStringLiteral("01 06 02 80 00 04 88 59");
    f.page.StopMetrology();
    f.startToPolling(0);
    f.clickArrow("UpDownPb1", true);
    QCOMPARE(f.advance(1000), QStringList{pb1});
}

void MetrologyPageTest::trimStopsTimerUntilReply() {
    Fixture f;
    f.startToPolling();
    f.clickArrow("UpDownPa1", false);
    QCOMPARE(f.advance(1000).size(), 1);
    QVERIFY(!f.sequencing()->isEnabled());
    QCOMPARE(f.advance(2000), QStringList{});  // sent once, not repeated
    f.b.port.deliver(echo(QStringLiteral("01 06 02 81 00 03 98 5b")));
    QVERIFY(f.sequencing()->isEnabled());
    QCOMPARE(f.b.engine.timerWaitAnsw()->interval(), LinkEngine::kLongReplyTimeoutMs);
    QCOMPARE(f.advance(1000), QStringList{kPoll});
    QVERIFY(f.allTrimsEnabled());
}

void MetrologyPageTest::save() {
    Fixture f;
    f.startToPolling();
    f.button("BitBtnSeveSetInfo")->click();
    QCOMPARE(f.b.engine.timerWaitAnsw()->interval(), LinkEngine::kLongReplyTimeoutMs);
    QVERIFY(f.b.state.procedures.CalibrationWritePending);
    QVERIFY(!f.anyInputEnabled());
    QVERIFY(f.button("BitBtnSeveSetInfo")->isEnabled());
    QCOMPARE(f.advance(1000), QStringList{kSave});
    f.b.port.deliver(echo(kSave));
    QVERIFY(f.b.messages.take().isEmpty());
    QCOMPARE(f.b.statuses.last(), QString::fromUtf8(linktext::kSuccess));
    QCOMPARE(f.advance(1000), QStringList{kPoll});
}

// A trim or save that is lost or refused must not leave the procedure silent: the readings
// are polled again and the command is not repeated.
void MetrologyPageTest::lostCommandResumesPolling_data() {
    QTest::addColumn<bool>("trim");
    QTest::addColumn<bool>("refused");
    QTest::newRow("trim, no reply") << true << false;
    QTest::newRow("trim refused") << true << true;
    QTest::newRow("save, no reply") << false << false;
    QTest::newRow("save refused") << false << true;
}

void MetrologyPageTest::lostCommandResumesPolling() {
    QFETCH(bool, trim);
    QFETCH(bool, refused);
    Fixture f;
    f.startToPolling();
    if (trim)
        f.clickArrow("UpDownPc0", true);
    else
        f.button("BitBtnSeveSetInfo")->click();
    const QStringList sent = f.advance(1000);
    QCOMPARE(sent.size(), 1);
    QVERIFY(!f.sequencing()->isEnabled());
    if (refused) {
        f.b.port.deliver(replies::exception(6, 3));
    } else {
        QCOMPARE(f.advance(trim ? 3000 : 5000), QStringList{});
        QVERIFY(f.b.statuses.contains(QString::fromUtf8(linktext::kNoReply)));
    }
    QVERIFY(f.sequencing()->isEnabled());
    QCOMPARE(f.state(), State::Polling);
    QCOMPARE(f.advance(1000), QStringList{kPoll});
    QCOMPARE(f.advance(1000), QStringList{kPoll});
    f.b.port.deliver(replies::measuredBlock(nominalReadings()));
    QVERIFY(f.allTrimsEnabled());
    QVERIFY(f.b.state.procedures.MetrologyActive);
}

// A start whose scheme read is lost or refused leaves nothing behind.
void MetrologyPageTest::failedStartIsUndone_data() {
    QTest::addColumn<bool>("refused");
    QTest::newRow("no reply") << false;
    QTest::newRow("refused") << true;
}

void MetrologyPageTest::failedStartIsUndone() {
    QFETCH(bool, refused);
    Fixture f;
    f.setNet()->click();
    QCOMPARE(f.b.takeWritten(), QStringList{kSchemeRead});
    QCOMPARE(f.running.size(), 1);
    if (refused)
        f.b.port.deliver(replies::exception(3, 2));
    else
        f.advance(3000);
    QCOMPARE(f.running.size(), 2);
    QCOMPARE(f.running.at(1).at(0).toBool(), false);
    QVERIFY(f.stopped());
    QCOMPARE(f.ratioGroup.size(), 0);
    QCOMPARE(f.advance(5000), QStringList{});
    // A new start works as the first.
    f.startToPolling();
    QCOMPARE(f.running.size(), 3);
}

void MetrologyPageTest::stopCauses_data() {
    QTest::addColumn<QString>("cause");
    QTest::addColumn<State>("from");
    for (const char* cause : {"Стоп", "page change", "fifth failure"}) {
        for (State s : {State::ReadingRatios, State::Polling, State::WriteQueued}) {
            QTest::newRow(
                qPrintable(QStringLiteral("%1 in %2").arg(QString::fromUtf8(cause), StateName(s))))
                << QString::fromUtf8(cause) << s;
        }
    }
    QTest::newRow("page change in Starting") << QStringLiteral("page change") << State::Starting;
}

void MetrologyPageTest::stopCauses() {
    QFETCH(QString, cause);
    QFETCH(State, from);
    Fixture f;
    if (from == State::Starting) {
        f.setNet()->click();
    } else if (from == State::ReadingRatios) {
        f.startToRatios();
    } else {
        f.startToPolling();
        if (from == State::WriteQueued)
            f.button("Button3Uan")->click();
    }
    QCOMPARE(f.state(), from);
    f.b.takeWritten();
    f.ratioGroup.clear();

    if (cause == QStringLiteral("Стоп")) {
        f.setNet()->click();
    } else if (cause == QStringLiteral("page change")) {
        f.page.StopMetrology();
    } else {
        // Five exchanges without a reply; the tick after the fifth ends the procedure.
        for (int i = 0; i < 30 && f.state() != State::Idle; ++i)
            f.tick();
        QVERIFY(f.b.state.procedures.ProcedureFailures == 0);
    }
    QVERIFY(f.stopped());
    QCOMPARE(f.running.last().at(0).toBool(), false);
    if (from != State::Starting) {
        QCOMPARE(f.ratioGroup.size(), 1);
        QCOMPARE(f.ratioGroup.at(0).at(0).toBool(), true);
    }
    QVERIFY(!f.b.engine.lamp1().visible());
    QVERIFY(!f.b.state.procedures.CalibrationWritePending);
    f.b.takeWritten();
    QCOMPARE(f.advance(5000), QStringList{});

    // Stopping again does nothing.
    const qsizetype signals_ = f.running.size();
    f.page.StopMetrology();
    QCOMPARE(f.running.size(), signals_);
}

// A reply that arrives after the stop changes nothing: the timer stays off.
void MetrologyPageTest::lateReplyAfterStop() {
    Fixture f;
    f.startToPolling();
    f.clickArrow("UpDownPa0", true);
    const QStringList sent = f.advance(1000);
    f.setNet()->click();
    f.b.port.deliver(echo(sent.value(0)));
    QVERIFY(f.stopped());
    QCOMPARE(f.advance(3000), QStringList{});
}

// A refused poll: the engine stays on the poll, the inputs come back, the procedure goes on.
void MetrologyPageTest::refusedPollKeepsPolling() {
    Fixture f;
    f.startToPolling();
    QCOMPARE(f.advance(1000), QStringList{kPoll});
    f.b.port.deliver(replies::exception(3, 6));
    QCOMPARE(f.state(), State::Polling);
    QVERIFY(f.allTrimsEnabled());
    QCOMPARE(f.advance(1000), QStringList{kPoll});
    QVERIFY(f.b.state.procedures.MetrologyActive);
}

QTEST_MAIN(MetrologyPageTest)
#include "gui_metrologypage.moc"
