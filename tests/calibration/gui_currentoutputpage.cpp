// The current-output calibration page on a fake port and a manual clock: its controls, the
// start chain with its pauses, the status watch, the limits, steps, measured values and the
// store as frames, the variant write, the stop from every cause, and what happens to a write
// that is lost or refused.
#include <QButtonGroup>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QToolButton>
#include <QtTest>

#include "calibration/currentoutputpage.h"
#include "calibration/metrologypage.h"
#include "pagebench.h"
#include "replies.h"
#include "widgets/statuslamp.h"

using namespace currentoutput;

namespace {

const QString kVariantRead = QStringLiteral("01 03 02 16 00 01 64 76");
const QString kStatusRead = QStringLiteral("01 03 02 14 00 01 c5 b6");
const QString kModeUpper = QStringLiteral("01 06 02 fe 00 01 28 42");
const QString kModeMiddle = QStringLiteral("01 06 02 fe 00 02 68 43");
const QString kModeLower = QStringLiteral("01 06 02 fe 00 03 a9 83");
const QString kModeOffFrame = QStringLiteral("01 06 02 fe 00 00 e9 82");
const QString kSave = QStringLiteral("01 06 02 ff 00 00 b8 42");

const QString kIncorrect = QStringLiteral("Информация не корректна");
const QString kNotGiven = QStringLiteral("Информация не задана");
const QString kNoMode = QStringLiteral(" Не установлен режим коррекции токовых выходов !");

QByteArray echo(const QString& requestHex) {
    return QByteArray::fromHex(requestHex.toLatin1());
}

// A function 16 write is answered with the first six bytes of its request.
QByteArray write16Reply(const QString& requestHex) {
    return replies::withCrc(QByteArray::fromHex(requestHex.toLatin1()).left(6));
}

QString modeFor(int limit) {
    return QStringList{kModeUpper, kModeMiddle, kModeLower}.at(limit);
}

// The metrology page is built first, as in the window: it shares the link's fall-back poll
// and the failure stop.
struct Fixture {
    PageBench b;
    MetrologyPage metrology{b.context()};
    CurrentOutputPage page{b.context()};
    QSignalSpy running{&page, &CurrentOutputPage::currentOutputRunning};
    QSignalSpy scheme{&page, &CurrentOutputPage::schemeApplyRequested};

    explicit Fixture(const QLocale& locale = QLocale(QLocale::English)) {
        page.setLocale(locale);
        for (int n = 0; n < kOutputCount; ++n)
            page.measuredField(n)->setLocale(locale);
        page.resize(1000, 600);
        page.show();
    }

    template <typename T = QWidget>
    T* named(const QString& name) {
        return page.findChild<T*>(name);
    }
    QPushButton* button(const char* name) { return named<QPushButton>(QLatin1String(name)); }
    QPushButton* setCurr() { return button("sBitBtnSetCurr"); }
    QComboBox* variant() { return named<QComboBox>(QStringLiteral("sComboBoxSelHwCurr")); }
    QRadioButton* limitItem(int i) {
        return named<QRadioButton>(QStringLiteral("sRadioGroupHwCurrItem%1").arg(i));
    }
    State state() const { return page.procedureState(); }
    LinkTimer* sequencing() { return b.engine.timerSetAuto(); }

    QStringList advance(int ms) {
        b.clock.advance(ms);
        return b.takeWritten();
    }
    // Moves the clock until something is sent, at most `ms`.
    QStringList untilSent(int ms = 5000) {
        for (int t = 0; t < ms && b.port.written.isEmpty(); t += 10)
            b.clock.advance(10);
        return b.takeWritten();
    }
    void clickArrow(StepSize size, int n, bool up) {
        OutputUpDown* c = page.stepControl(size, n);
        QTest::mouseClick(up ? c->upArrow() : c->downArrow(), Qt::LeftButton);
    }
    void chooseLimit(int limit) { QTest::mouseClick(limitItem(limit), Qt::LeftButton); }

    // Start, variant read, mode-on write and the first status read, all answered.
    void startToMonitoring(quint16 variantWord = 1) {
        setCurr()->click();
        QCOMPARE(b.takeWritten(), QStringList{kVariantRead});
        b.port.deliver(replies::read({variantWord}));
        const QString mode = modeFor(page.outputLimit());
        QCOMPARE(untilSent(), QStringList{mode});
        b.port.deliver(echo(mode));
        QCOMPARE(advance(3000), QStringList{kStatusRead});
        b.port.deliver(replies::read({quint16((page.outputLimit() + 1) << 8 | 7)}));
        QCOMPARE(state(), State::Monitoring);
    }
    // Answers a code-28 write and waits out the pause until the status read is back.
    void confirmCommand(const QString& frame) {
        b.port.deliver(echo(frame));
        QCOMPARE(state(), State::Settling);
        QCOMPARE(advance(3000), QStringList{kStatusRead});
        b.port.deliver(replies::read({0x0207}));
        QCOMPARE(state(), State::Monitoring);
    }
    // Changes the limit and answers the change.
    void switchLimit(int limit) {
        chooseLimit(limit);
        QCOMPARE(untilSent(), QStringList{modeFor(limit)});
        b.port.deliver(echo(modeFor(limit)));
        QCOMPARE(state(), State::Monitoring);
        QCOMPARE(untilSent(), QStringList{kStatusRead});
        b.port.deliver(replies::read({0x0107}));
    }

    // measured, x1, x10/x100, limits and save, variant; empty when controls that go together
    // are not in the same state.
    QList<bool> controls() {
        bool mixed = false;
        auto all = [&](auto pick) {
            const bool first = pick(0);
            for (int n = 1; n < kOutputCount; ++n)
                mixed = mixed || pick(n) != first;
            return first;
        };
        const bool measured = all([&](int n) {
            return page.measuredField(n)->isEnabled() && page.enterButton(n)->isEnabled();
        });
        const bool x1 = all([&](int n) { return page.stepControl(StepSize::X1, n)->isEnabled(); });
        const bool fast = all([&](int n) {
            return page.stepControl(StepSize::X10, n)->isEnabled() &&
                   page.stepControl(StepSize::X100, n)->isEnabled();
        });
        const bool limits = named(QStringLiteral("sRadioGroupHwCurr"))->isEnabled();
        const bool save = button("BitBtnSeveHwCurrInfo")->isEnabled();
        const bool variantOn = variant()->isEnabled();
        const bool write = button("sBitBtnSaveSelHwCurr")->isEnabled();
        if (mixed || limits != save || variantOn != write)
            return {};
        return {measured, x1, fast, limits, variantOn};
    }
    QStringList values() {
        QStringList out;
        for (int n = 0; n < kOutputCount; ++n)
            out << page.measuredField(n)->text();
        return out;
    }
    bool stopped() {
        return state() == State::Idle && !b.state.procedures.CurrentOutputActive &&
               !sequencing()->isEnabled() && setCurr()->text() == QStringLiteral("   Старт") &&
               !b.engine.lamp2().visible() && !running.isEmpty() && !running.last().at(0).toBool();
    }
};

const QList<bool> kIdle{false, false, false, false, true};
const QList<bool> kUpper{true, true, false, true, false};
const QList<bool> kMiddle{false, true, true, true, false};
const QList<bool> kLower{false, false, false, true, false};
const QList<bool> kBusy{false, false, false, false, false};

struct Golden {
    const char* name;
    const char* className;
    const char* caption;  // text, title or the caption label; nullptr: none
};

// clang-format off
const Golden kGolden[] = {
    {"TSSetCurrent",          "CurrentOutputPage", nullptr},
    {"ApdStatusLight2",       "StatusLamp",        nullptr},
    {"sBitBtnSetCurr",        "QPushButton",       "   Старт"},
    {"sLabelSetCurr",         "QLabel",            "Установить связь:"},
    {"BitBtnSeveHwCurrInfo",  "QPushButton",       ""},
    {"sLabelSeveHwCurrInfo",  "QLabel",            "Сохранить изменения:"},
    {"sRadioGroupHwCurr",     "QGroupBox",         "Пределы"},
    {"sRadioGroupHwCurrItem0","QRadioButton",      "Верхний предел"},
    {"sRadioGroupHwCurrItem1","QRadioButton",      "Среднее значение"},
    {"sRadioGroupHwCurrItem2","QRadioButton",      "Нижний предел"},
    {"sGroupBoxHwCurr",       "QGroupBox",         "Аппаратная реализация"},
    {"sComboBoxSelHwCurr",    "QComboBox",         nullptr},
    {"sBitBtnSaveSelHwCurr",  "QPushButton",       "Запись"},
    {"sGroupBoxCurr1",        "QGroupBox",         "Токовый выход 1"},
    {"sGroupBoxCurr2",        "QGroupBox",         "Токовый выход 2"},
    {"sGroupBoxCurr3",        "QGroupBox",         "Токовый выход 3"},
    {"sGroupBoxMeasCurr1",    "QGroupBox",         "Измеренное значение"},
    {"sGroupBoxMeasCurr2",    "QGroupBox",         "Измеренное значение"},
    {"sGroupBoxMeasCurr3",    "QGroupBox",         "Измеренное значение"},
    {"sDecimalSpinEditCurr1", "QDoubleSpinBox",    nullptr},
    {"sDecimalSpinEditCurr2", "QDoubleSpinBox",    nullptr},
    {"sDecimalSpinEditCurr3", "QDoubleSpinBox",    nullptr},
    {"sBitBtnEnterCurr1",     "QPushButton",       "Ввод"},
    {"sBitBtnEnterCurr2",     "QPushButton",       "Ввод"},
    {"sBitBtnEnterCurr3",     "QPushButton",       "Ввод"},
    {"sUpDownSFast1",         "OutputUpDown",      "x 100"},
    {"sUpDownSFast2",         "OutputUpDown",      "x 100"},
    {"sUpDownSFast3",         "OutputUpDown",      "x 100"},
    {"sUpDownFast1",          "OutputUpDown",      "x 10"},
    {"sUpDownFast2",          "OutputUpDown",      "x 10"},
    {"sUpDownFast3",          "OutputUpDown",      "x 10"},
    {"sUpDownCurr1",          "OutputUpDown",      "x 1"},
    {"sUpDownCurr2",          "OutputUpDown",      "x 1"},
    {"sUpDownCurr3",          "OutputUpDown",      "x 1"},
};
// clang-format on

QString captionOf(QWidget* w) {
    if (auto* b = qobject_cast<QAbstractButton*>(w))
        return b->text();
    if (auto* g = qobject_cast<QGroupBox*>(w))
        return g->title();
    if (auto* l = qobject_cast<QLabel*>(w))
        return l->text();
    for (QLabel* c : w->parentWidget()->findChildren<QLabel*>()) {
        if (c->buddy() == w)
            return c->text();
    }
    return {};
}

}  // namespace

class CurrentOutputPageTest : public QObject {
    Q_OBJECT
  private slots:
    void goldenNames_data();
    void goldenNames();
    void idleLayout();
    void startChain();
    void presetByVariant_data();
    void presetByVariant();
    void statusWord_data();
    void statusWord();
    void steps_data();
    void steps();
    void stepsIgnoredWhereOfNoUse();
    void limitChange();
    void measuredValue_data();
    void measuredValue();
    void emptyMeasuredValueWritesNothing();
    void saveGoesOutOnceWithLongTimeout();
    void stop();
    void stopDuringPause();
    void stopGoesOutBeforeThePortChanges();
    void variantWrite();
    void fiveFailuresStop();
    void failureStopWhileIdleSendsNothing();
    void failedStartIsUndone_data();
    void failedStartIsUndone();
    void refusalsGoBackToStatusRead();
    void lostStepIsNotRepeated();
    void controlsHeldWhileWriteOutstanding();
};

void CurrentOutputPageTest::goldenNames_data() {
    QTest::addColumn<int>("i");
    for (int i = 0; i < int(std::size(kGolden)); ++i)
        QTest::newRow(kGolden[i].name) << i;
}

void CurrentOutputPageTest::goldenNames() {
    QFETCH(int, i);
    const Golden& g = kGolden[i];
    Fixture f;
    QWidget* w = QLatin1String(g.name) == QLatin1String("TSSetCurrent")
                     ? &f.page
                     : f.named(QString::fromLatin1(g.name));
    QVERIFY2(w, g.name);
    QCOMPARE(QString::fromLatin1(w->metaObject()->className()), QString::fromLatin1(g.className));
    if (g.caption)
        QCOMPARE(captionOf(w), QString::fromUtf8(g.caption));
}

void CurrentOutputPageTest::idleLayout() {
    Fixture f;
    QVERIFY(QTest::qWaitForWindowExposed(&f.page));
    QCOMPARE(f.controls(), kIdle);
    QVERIFY(f.limitItem(kMiddleValue)->isChecked());
    QCOMPARE(f.page.outputLimit(), kMiddleValue);
    QCOMPARE(f.variant()->count(), 2);
    QCOMPARE(f.variant()->itemText(0), QStringLiteral("-5mA     0mA     +5mA"));
    QCOMPARE(f.variant()->itemText(1), QStringLiteral(" 4mA   12mA   +20mA"));
    QCOMPARE(f.variant()->currentIndex(), -1);
    QVERIFY(f.setCurr()->isEnabled());
    auto* spin = f.page.measuredField(0);
    QCOMPARE(spin->decimals(), 3);
    QCOMPARE(spin->singleStep(), 0.001);
    QVERIFY(spin->minimum() <= -5.0 && spin->maximum() >= 20.0);
    QVERIFY(spin->styleSheet().contains(QLatin1String("color: lime")));
    // The lamp is the link's second procedure lamp.
    auto* lamp = f.named<StatusLamp>(QStringLiteral("ApdStatusLight2"));
    f.b.engine.lamp2().setVisible(false);
    QVERIFY(lamp->isHidden());
    f.b.engine.lamp2().setVisible(true);
    QVERIFY(!lamp->isHidden());
    for (int n = 0; n < kOutputCount; ++n) {
        for (StepSize s : {StepSize::X1, StepSize::X10, StepSize::X100})
            QCOMPARE(f.page.stepControl(s, n)->position(), 50);
    }
}

// Logical number 1, middle value: the variant read at once, the mode write 766 := 2 at the
// first tick after its reply and at every tick until answered, the status read three seconds
// after that reply and then once a second.
void CurrentOutputPageTest::startChain() {
    Fixture f;
    f.setCurr()->click();
    QCOMPARE(f.b.takeWritten(), QStringList{kVariantRead});
    QCOMPARE(f.running.size(), 1);
    QCOMPARE(f.running.at(0).at(0).toBool(), true);
    QVERIFY(!f.b.state.procedures.CurrentOutputActive);
    QCOMPARE(f.setCurr()->text(), QStringLiteral("   Старт"));
    QCOMPARE(f.controls(), kBusy);
    // The sequencing timer waits for the reply.
    QCOMPARE(f.advance(2999), QStringList{});

    f.b.port.deliver(replies::read({0}));
    QVERIFY(f.b.state.procedures.CurrentOutputActive);
    QCOMPARE(f.setCurr()->text(), QStringLiteral("   Стоп"));
    QCOMPARE(f.variant()->currentIndex(), 0);
    QCOMPARE(f.values(), (QStringList{"0.000", "0.000", "0.000"}));
    QCOMPARE(f.scheme.size(), 1);
    // Nothing is offered until the transducer is in the correction mode.
    QCOMPARE(f.controls(), kBusy);
    QCOMPARE(f.state(), State::EnteringMode);

    QCOMPARE(f.advance(499), QStringList{});
    QCOMPARE(f.advance(1), QStringList{kModeMiddle});
    QCOMPARE(f.advance(1000), QStringList{kModeMiddle});
    f.b.port.deliver(echo(kModeMiddle));
    QCOMPARE(f.state(), State::Settling);
    QCOMPARE(f.advance(2999), QStringList{});
    QCOMPARE(f.b.engine.timerWaitAnsw()->interval(), LinkEngine::kLongReplyTimeoutMs);
    QCOMPARE(f.advance(1), QStringList{kStatusRead});
    QCOMPARE(f.state(), State::Monitoring);
    QCOMPARE(f.controls(), kMiddle);
    f.b.port.deliver(replies::read({0x0207}));
    QCOMPARE(f.advance(1000), QStringList{kStatusRead});
    QCOMPARE(f.advance(1000), QStringList{kStatusRead});
    QCOMPARE(f.running.size(), 1);
    QVERIFY(f.b.messages.messages.isEmpty());
}

void CurrentOutputPageTest::presetByVariant_data() {
    QTest::addColumn<quint16>("word");
    QTest::addColumn<int>("language");
    QTest::addColumn<int>("item");
    QTest::addColumn<QStringList>("upper");
    QTest::addColumn<QStringList>("middle");
    QTest::addColumn<QStringList>("lower");
    const int en = QLocale::English, ru = QLocale::Russian;
    // clang-format off
    QTest::newRow("0, point")  << quint16(0) << en << 0 << QStringList{"5.000", "5.000", "5.000"}
        << QStringList{"0.000", "0.000", "0.000"} << QStringList{"-5.000", "-5.000", "-5.000"};
    QTest::newRow("0, comma")  << quint16(0) << ru << 0 << QStringList{"5,000", "5,000", "5,000"}
        << QStringList{"0,000", "0,000", "0,000"} << QStringList{"-5,000", "-5,000", "-5,000"};
    QTest::newRow("1")         << quint16(1) << en << 1 << QStringList{"20.000", "20.000", "20.000"}
        << QStringList{"12.000", "12.000", "12.000"} << QStringList{"4.000", "4.000", "4.000"};
    QTest::newRow("other word, comma") << quint16(0x0102) << ru << 1
        << QStringList{"20,000", "20,000", "20,000"} << QStringList{"12,000", "12,000", "12,000"}
        << QStringList{"4,000", "4,000", "4,000"};
    // clang-format on
}

// The nominal currents follow the variant read at the start and the limit of each confirmed
// change, set as numbers under the locale's separator and not clamped at zero.
void CurrentOutputPageTest::presetByVariant() {
    QFETCH(quint16, word);
    QFETCH(int, language);
    QFETCH(int, item);
    QFETCH(QStringList, upper);
    QFETCH(QStringList, middle);
    QFETCH(QStringList, lower);
    Fixture f{QLocale(QLocale::Language(language))};
    f.startToMonitoring(word);
    QCOMPARE(f.variant()->currentIndex(), item);
    QCOMPARE(f.values(), middle);
    f.switchLimit(kLowerLimit);
    QCOMPARE(f.values(), lower);
    f.switchLimit(kUpperLimit);
    QCOMPARE(f.values(), upper);
}

void CurrentOutputPageTest::statusWord_data() {
    QTest::addColumn<quint16>("word");
    QTest::addColumn<bool>("keeps");
    QTest::newRow("0x0007") << quint16(0x0007) << true;
    QTest::newRow("0x0107") << quint16(0x0107) << true;
    QTest::newRow("0x0005") << quint16(0x0005) << false;
    QTest::newRow("0x0000") << quint16(0x0000) << false;
}

void CurrentOutputPageTest::statusWord() {
    QFETCH(quint16, word);
    QFETCH(bool, keeps);
    Fixture f;
    f.startToMonitoring();
    QCOMPARE(f.advance(1000), QStringList{kStatusRead});
    f.b.port.deliver(replies::read({word}));
    if (keeps) {
        QCOMPARE(f.state(), State::Monitoring);
        QCOMPARE(f.advance(1000), QStringList{kStatusRead});
        QVERIFY(f.b.messages.messages.isEmpty());
        return;
    }
    QVERIFY(f.stopped());
    QCOMPARE(f.b.takeWritten(), QStringList{kModeOffFrame});
    QCOMPARE(f.b.messages.take(), QStringList{kNoMode});
    QCOMPARE(f.controls(), kIdle);
}

void CurrentOutputPageTest::steps_data() {
    QTest::addColumn<int>("limit");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("output");
    QTest::addColumn<bool>("up");
    QTest::addColumn<QString>("frame");
    const int x1 = int(StepSize::X1), x10 = int(StepSize::X10), x100 = int(StepSize::X100);
    // clang-format off
    QTest::newRow("middle, x10 up, output 2")   << kMiddleValue << x10  << 1 << true
                                                << "01 06 02 82 00 0b 69 9d";
    QTest::newRow("middle, x100 down, output 3")<< kMiddleValue << x100 << 2 << false
                                                << "01 06 02 83 00 16 f8 54";
    QTest::newRow("middle, x1 up, output 1")    << kMiddleValue << x1   << 0 << true
                                                << "01 06 02 82 00 00 28 5a";
    QTest::newRow("upper, x1 down, output 3")   << kUpperLimit  << x1   << 2 << false
                                                << "01 06 02 83 00 05 b9 99";
    // clang-format on
}

// A step goes out at the next tick, once, and the transducer is given its second before the
// status read comes back.
void CurrentOutputPageTest::steps() {
    QFETCH(int, limit);
    QFETCH(int, size);
    QFETCH(int, output);
    QFETCH(bool, up);
    QFETCH(QString, frame);
    Fixture f;
    f.startToMonitoring();
    if (limit != kMiddleValue)
        f.switchLimit(limit);
    f.page.stepControl(StepSize(size), output)->setPosition(3);
    f.clickArrow(StepSize(size), output, up);
    QCOMPARE(f.page.stepControl(StepSize(size), output)->position(), 50);
    QCOMPARE(f.controls(), kBusy);
    QCOMPARE(f.untilSent(), QStringList{frame});
    QCOMPARE(f.state(), State::WriteSent);
    QVERIFY(!f.sequencing()->isEnabled());
    QCOMPARE(f.advance(2000), QStringList{});
    f.confirmCommand(frame);
    QCOMPARE(f.controls(), limit == kMiddleValue ? kMiddle : kUpper);
}

void CurrentOutputPageTest::stepsIgnoredWhereOfNoUse() {
    Fixture f;
    f.startToMonitoring();
    f.switchLimit(kUpperLimit);
    QCOMPARE(f.controls(), kUpper);
    f.page.sUpDownFast2Click(0, true);
    f.page.sUpDownSFast2Click(2, false);
    f.switchLimit(kLowerLimit);
    // The transducer is only switched to the lower limit: every output control is off.
    QCOMPARE(f.controls(), kLower);
    f.page.sUpDownCurr1Click(0, true);
    f.page.sBitBtnEnterCurr1Click(0);
    QCOMPARE(f.state(), State::Monitoring);
    QCOMPARE(f.advance(1000), QStringList{kStatusRead});
}

// A limit change is written at the next tick and again at every tick until confirmed (the
// switch is absolute); its confirmation puts the nominal currents in and goes back to the
// status read without a pause.
void CurrentOutputPageTest::limitChange() {
    Fixture f;
    f.startToMonitoring(1);
    f.chooseLimit(kUpperLimit);
    QCOMPARE(f.page.outputLimit(), kUpperLimit);
    QCOMPARE(f.controls(), kBusy);
    QCOMPARE(f.untilSent(), QStringList{kModeUpper});
    QCOMPARE(f.advance(1000), QStringList{kModeUpper});
    f.b.port.deliver(echo(kModeUpper));
    QCOMPARE(f.values(), (QStringList{"20.000", "20.000", "20.000"}));
    QCOMPARE(f.controls(), kUpper);
    QCOMPARE(f.advance(1000), QStringList{kStatusRead});
    // Clicking the item already chosen changes nothing.
    f.chooseLimit(kUpperLimit);
    QCOMPARE(f.state(), State::Monitoring);
}

void CurrentOutputPageTest::measuredValue_data() {
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("frame");
    QTest::newRow("point") << int(QLocale::English) << QStringLiteral("19.987")
                           << QStringLiteral("01 10 07 84 00 02 04 41 9f e5 60 b2 a6");
    QTest::newRow("comma") << int(QLocale::Russian) << QStringLiteral("19,987")
                           << QStringLiteral("01 10 07 84 00 02 04 41 9f e5 60 b2 a6");
}

// Upper limit, output 2, 19.987 typed: register 1924 with the float, at every tick until
// confirmed; the confirmation goes back to the status read.
void CurrentOutputPageTest::measuredValue() {
    QFETCH(int, language);
    QFETCH(QString, typed);
    QFETCH(QString, frame);
    Fixture f{QLocale(QLocale::Language(language))};
    f.startToMonitoring();
    f.switchLimit(kUpperLimit);
    QDoubleSpinBox* spin = f.page.measuredField(1);
    auto* edit = spin->findChild<QLineEdit*>();
    edit->selectAll();
    for (QChar c : typed)
        QTest::sendKeyEvent(QTest::Click, spin, Qt::Key_unknown, QString(c), Qt::NoModifier);
    QCOMPARE(spin->cleanText(), typed);
    QTest::mouseClick(f.page.enterButton(1), Qt::LeftButton);
    QCOMPARE(f.controls(), kBusy);
    QCOMPARE(f.untilSent(), QStringList{frame});
    QCOMPARE(f.advance(1000), QStringList{frame});
    f.b.port.deliver(write16Reply(frame));
    QCOMPARE(f.state(), State::Monitoring);
    QCOMPARE(f.controls(), kUpper);
    QCOMPARE(f.advance(1000), QStringList{kStatusRead});
    QVERIFY(f.b.messages.messages.isEmpty());
}

void CurrentOutputPageTest::emptyMeasuredValueWritesNothing() {
    Fixture f;
    f.startToMonitoring();
    f.switchLimit(kUpperLimit);
    QDoubleSpinBox* spin = f.page.measuredField(0);
    auto* edit = spin->findChild<QLineEdit*>();
    edit->selectAll();
    QTest::keyClick(spin, Qt::Key_Backspace);
    QCOMPARE(spin->cleanText(), QString());
    QTest::mouseClick(f.page.enterButton(0), Qt::LeftButton);
    QCOMPARE(f.b.messages.take(), QStringList{kNotGiven});
    QCOMPARE(f.state(), State::Monitoring);
    QCOMPARE(f.advance(1000), QStringList{kStatusRead});
}

// The store goes out once at the next tick with a 5 s reply time-out, then the pause and the
// status read.
void CurrentOutputPageTest::saveGoesOutOnceWithLongTimeout() {
    Fixture f;
    f.startToMonitoring();
    f.button("BitBtnSeveHwCurrInfo")->click();
    QCOMPARE(f.untilSent(), QStringList{kSave});
    QCOMPARE(f.b.engine.timerWaitAnsw()->interval(), LinkEngine::kLongReplyTimeoutMs);
    QCOMPARE(f.advance(4000), QStringList{});
    f.confirmCommand(kSave);
}

// Стоп: the mode-off write at once, the variant controls back; its confirmation pauses the
// link and leaves the sequencing timer stopped.
void CurrentOutputPageTest::stop() {
    Fixture f;
    f.startToMonitoring();
    f.setCurr()->click();
    QCOMPARE(f.b.takeWritten(), QStringList{kModeOffFrame});
    QVERIFY(f.stopped());
    QCOMPARE(f.running.size(), 2);
    QCOMPARE(f.b.state.procedures.ProcedureFailures, quint16(0));
    QCOMPARE(f.controls(), kIdle);
    f.b.port.deliver(echo(kModeOffFrame));
    QVERIFY(f.b.engine.held());
    QCOMPARE(f.advance(10000), QStringList{});
    QVERIFY(!f.sequencing()->isEnabled());
    // A public stop while idle sends nothing.
    f.page.StopCurrentOutput();
    QCOMPARE(f.b.takeWritten(), QStringList{});
    QCOMPARE(f.running.size(), 2);
}

void CurrentOutputPageTest::stopDuringPause() {
    Fixture f;
    f.startToMonitoring();
    f.clickArrow(StepSize::X1, 0, true);
    const QStringList step = f.untilSent();
    QCOMPARE(step.size(), 1);
    f.b.port.deliver(echo(step.at(0)));
    QCOMPARE(f.state(), State::Settling);
    f.page.StopCurrentOutput();
    QCOMPARE(f.b.takeWritten(), QStringList{kModeOffFrame});
    // The pause ends without bringing the status read back.
    f.b.port.deliver(echo(kModeOffFrame));
    QCOMPARE(f.advance(10000), QStringList{});
    QVERIFY(f.stopped());
}

// Leaving for a 9600-baud page: the window stops the procedure and then sets the port. The
// mode-off write must be on its way before that, at the speed the transducer listens at.
void CurrentOutputPageTest::stopGoesOutBeforeThePortChanges() {
    Fixture f;
    f.b.port.setBaud(19200);
    f.startToMonitoring();
    QList<int> speeds;
    QObject::connect(&f.b.engine, &LinkEngine::requestSent, &f.page,
                     [&] { speeds << f.b.port.baud(); });
    f.page.StopCurrentOutput();
    f.b.portSettings.applyFixed9600();
    QCOMPARE(f.b.takeWritten(), QStringList{kModeOffFrame});
    QCOMPARE(speeds, QList<int>{19200});
    QCOMPARE(f.b.port.baud(), 9600);
}

void CurrentOutputPageTest::variantWrite() {
    Fixture f;
    f.button("sBitBtnSaveSelHwCurr")->click();
    QCOMPARE(f.b.messages.take(), QStringList{kIncorrect});
    QCOMPARE(f.b.takeWritten(), QStringList{});

    f.variant()->setCurrentIndex(1);
    f.button("sBitBtnSaveSelHwCurr")->click();
    QCOMPARE(f.b.takeWritten(), QStringList{QStringLiteral("01 06 02 12 00 01 e9 b7")});
    f.b.port.deliver(echo(QStringLiteral("01 06 02 12 00 01 e9 b7")));
    QCOMPARE(f.b.messages.take(), QStringList{QStringLiteral("Информация записана ")});

    // Not while the procedure runs.
    f.startToMonitoring();
    QVERIFY(!f.button("sBitBtnSaveSelHwCurr")->isEnabled());
    f.page.sBitBtnSaveSelHwCurrClick();
    QCOMPARE(f.advance(1000), QStringList{kStatusRead});
}

// Five failed exchanges: the next tick stops the procedure, which switches the mode off at the
// logical number in force and gives "Выход" back.
void CurrentOutputPageTest::fiveFailuresStop() {
    Fixture f;
    f.startToMonitoring();
    f.b.hooks.address = 7;
    QStringList sent;
    for (int i = 0; i < 60 && f.state() != State::Idle; ++i)
        sent << f.advance(1000);
    QVERIFY(f.stopped());
    // The operator changed the number during the run: the reads and the stop follow it.
    QCOMPARE(sent.count(QStringLiteral("07 03 02 14 00 01 c5 d0")), sent.size() - 1);
    QCOMPARE(sent.last(), QStringLiteral("07 06 02 fe 00 00 e9 e4"));
    QCOMPARE(f.b.state.procedures.ProcedureFailures, quint16(0));
    QCOMPARE(f.b.statuses.count(QStringLiteral("  Нет ответа от устройства !")), 5);
    QVERIFY(f.b.messages.messages.isEmpty());
}

void CurrentOutputPageTest::failureStopWhileIdleSendsNothing() {
    Fixture f;
    emit f.b.engine.procedureFailureLimit();
    QCOMPARE(f.b.takeWritten(), QStringList{});
    QVERIFY(f.running.isEmpty());
}

void CurrentOutputPageTest::failedStartIsUndone_data() {
    QTest::addColumn<bool>("refused");
    QTest::newRow("no reply") << false;
    QTest::newRow("exception") << true;
}

// A start whose variant read is not answered gives "Выход" and the variant controls back and
// sends nothing more; a later start works.
void CurrentOutputPageTest::failedStartIsUndone() {
    QFETCH(bool, refused);
    Fixture f;
    f.setCurr()->click();
    QCOMPARE(f.b.takeWritten(), QStringList{kVariantRead});
    if (refused)
        f.b.port.deliver(replies::exception(3, 2));
    else
        f.advance(3000);
    QCOMPARE(f.state(), State::Idle);
    QCOMPARE(f.running.size(), 2);
    QCOMPARE(f.running.last().at(0).toBool(), false);
    QCOMPARE(f.controls(), kIdle);
    QCOMPARE(f.setCurr()->text(), QStringLiteral("   Старт"));
    QCOMPARE(f.advance(10000), QStringList{});
    f.b.messages.take();
    f.startToMonitoring();
}

// After a refusal the procedure goes on with its own status read, not with the metrology
// reading poll the link falls back to. A refused write is not repeated; a write queued behind
// a refused status read still goes out.
void CurrentOutputPageTest::refusalsGoBackToStatusRead() {
    Fixture f;
    f.startToMonitoring();
    QCOMPARE(f.advance(1000), QStringList{kStatusRead});
    f.b.port.deliver(replies::exception(3, 2));
    QCOMPARE(f.b.messages.take(),
             QStringList{QStringLiteral("Адрес данных указанный в запросе не доступен")});
    QCOMPARE(f.advance(1000), QStringList{kStatusRead});

    // A step queued while the status read is out; the status read is refused.
    f.clickArrow(StepSize::X10, 1, true);
    f.b.port.deliver(replies::exception(3, 6));
    f.b.messages.take();
    QCOMPARE(f.advance(1000), QStringList{QStringLiteral("01 06 02 82 00 0b 69 9d")});
    // The step itself refused: not sent again, the status read follows, the controls are back.
    f.b.port.deliver(replies::exception(6, 3));
    f.b.messages.take();
    QCOMPARE(f.controls(), kMiddle);
    QCOMPARE(f.advance(1000), QStringList{kStatusRead});

    // A refused limit change: dropped as well.
    f.b.port.deliver(replies::read({0x0207}));
    f.chooseLimit(kLowerLimit);
    QCOMPARE(f.advance(1000), QStringList{kModeLower});
    f.b.port.deliver(replies::exception(6, 3));
    f.b.messages.take();
    QCOMPARE(f.advance(1000), QStringList{kStatusRead});
    QVERIFY(f.advance(5000).count(kStatusRead) == 5);
}

// A step whose reply is lost may have moved the output: it is never sent a second time.
void CurrentOutputPageTest::lostStepIsNotRepeated() {
    Fixture f;
    f.startToMonitoring();
    f.clickArrow(StepSize::X1, 2, false);
    const QString step = QStringLiteral("01 06 02 83 00 02 f8 5b");
    QStringList sent = f.untilSent();
    QCOMPARE(sent, QStringList{step});
    sent = f.advance(3000);  // the reply time-out
    QCOMPARE(f.state(), State::Monitoring);
    sent << f.advance(3000);
    QVERIFY2(!sent.contains(step), qPrintable(sent.join('\n')));
    QVERIFY(sent.contains(kStatusRead));
    QCOMPARE(f.controls(), kMiddle);
    // Its late confirmation changes nothing.
    f.b.takeWritten();
    f.b.port.deliver(echo(step));
    QCOMPARE(f.state(), State::Monitoring);
}

// While a write is out the output controls are held: a click can neither replace it nor be
// dropped by its reply.
void CurrentOutputPageTest::controlsHeldWhileWriteOutstanding() {
    Fixture f;
    f.startToMonitoring();
    f.clickArrow(StepSize::X100, 0, true);
    QCOMPARE(f.controls(), kBusy);
    f.page.sUpDownCurr1Click(1, true);
    f.page.BitBtnSeveHwCurrInfoClick();
    f.page.sRadioGroupHwCurrClick(kUpperLimit);
    QVERIFY(f.limitItem(kMiddleValue)->isChecked());
    QCOMPARE(f.page.outputLimit(), kMiddleValue);
    const QString step = QStringLiteral("01 06 02 82 00 14 28 55");
    QCOMPARE(f.untilSent(), QStringList{step});
    QCOMPARE(f.controls(), kBusy);
    f.b.port.deliver(echo(step));
    // Still held during the pause that follows the confirmation.
    QCOMPARE(f.controls(), kBusy);
    QCOMPARE(f.advance(1000), QStringList{});
    QCOMPARE(f.controls(), kMiddle);
    QCOMPARE(f.advance(2000), QStringList{kStatusRead});
}

QTEST_MAIN(CurrentOutputPageTest)
#include "gui_currentoutputpage.moc"
