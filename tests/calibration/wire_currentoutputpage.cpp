// The current-output procedure over a virtual serial line to tervex-sim: the start chain as
// the simulated transducer receives it, a whole session whose writes reach it exactly once and
// in order, the stop when the transducer leaves its correction mode, and a start that gets no
// reply.
#include <signal.h>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QToolButton>
#include <QtTest>

#include "calibration/currentoutputpage.h"
#include "link/timer.h"
#include "pagebench.h"

using namespace currentoutput;

namespace {

constexpr int kWaitMs = 30000;  // a pty answers in milliseconds; generous for a busy machine

const QString kVariantRead = QStringLiteral("01 03 02 16 00 01 64 76");
const QString kModeMiddle = QStringLiteral("01 06 02 FE 00 02 68 43");
const QString kModeUpper = QStringLiteral("01 06 02 FE 00 01 28 42");
const QString kStatusRead = QStringLiteral("01 03 02 14 00 01 C5 B6");
const QString kStepX10Out2Up = QStringLiteral("01 06 02 82 00 0B 69 9D");
const QString kStepX1Out3Down = QStringLiteral("01 06 02 83 00 05 B9 99");
const QString kMeasured19987 = QStringLiteral("01 10 07 84 00 02 04 41 9F E5 60 B2 A6");
const QString kSave = QStringLiteral("01 06 02 FF 00 00 B8 42");
const QString kModeOffFrame = QStringLiteral("01 06 02 FE 00 00 E9 82");
const QString kNoMode = QStringLiteral(" Не установлен режим коррекции токовых выходов !");

struct Wire {
    WireBench bench;
    std::unique_ptr<CurrentOutputPage> page;
    std::unique_ptr<QSignalSpy> running;

    bool start(const QStringList& options = {}) {
        if (!bench.start(QStringList{QStringLiteral("--log"), QStringLiteral("-")} + options))
            return false;
        bench.portSettings->applyFixed9600();
        bench.messages.take();
        page = std::make_unique<CurrentOutputPage>(bench.context());
        page->setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
        for (int n = 0; n < kOutputCount; ++n)
            page->measuredField(n)->setLocale(page->locale());
        running =
            std::make_unique<QSignalSpy>(page.get(), &CurrentOutputPage::currentOutputRunning);
        return true;
    }
    QPushButton* button(const char* name) {
        return page->findChild<QPushButton*>(QLatin1String(name));
    }
    QString log() { return QString::fromUtf8(bench.sim.standardError()); }
    // Frames the simulator took, in order.
    QStringList received() {
        static const QRegularExpression rx(QStringLiteral(" rx ((?:[0-9A-F]{2} ?)+)"));
        QStringList out;
        for (const QString& line : log().split(QLatin1Char('\n'))) {
            const QRegularExpressionMatch m = rx.match(line);
            if (m.hasMatch())
                out << m.captured(1).trimmed();
        }
        return out;
    }
    // The writes among them (functions 6 and 16).
    QStringList writes() {
        QStringList out;
        for (const QString& f : received()) {
            if (f.mid(3, 2) == QLatin1String("06") || f.mid(3, 2) == QLatin1String("10"))
                out << f;
        }
        return out;
    }
    bool monitoring() { return page->procedureState() == State::Monitoring; }
    bool waitMonitoring() {
        return QTest::qWaitFor([this] { return monitoring(); }, kWaitMs);
    }
    void clickArrow(StepSize size, int n, bool up) {
        OutputUpDown* c = page->stepControl(size, n);
        QTest::mouseClick(up ? c->upArrow() : c->downArrow(), Qt::LeftButton);
    }
};

}  // namespace

class CurrentOutputWireTest : public QObject {
    Q_OBJECT
  private slots:
    void session();
    void transducerLeavesCorrectionMode_data();
    void transducerLeavesCorrectionMode();
    void startWithoutReplyIsUndone();
};

void CurrentOutputWireTest::session() {
    Wire w;
    QVERIFY2(w.start(), qPrintable(w.bench.sim.errorString()));

    // The variant read leaves with the click; the mode write and the status reads follow the
    // sequencing timer.
    w.button("sBitBtnSetCurr")->click();
    QVERIFY(w.waitMonitoring());
    QTRY_VERIFY_WITH_TIMEOUT(w.received().count(kStatusRead) >= 2, kWaitMs);
    QCOMPARE(w.received().mid(0, 3), (QStringList{kVariantRead, kModeMiddle, kStatusRead}));
    QVERIFY(w.bench.state.procedures.CurrentOutputActive);
    // The simulated transducer has the 4..20 mA outputs.
    QCOMPARE(w.page->measuredField(0)->value(), 12.0);

    w.clickArrow(StepSize::X10, 1, true);
    QTRY_VERIFY_WITH_TIMEOUT(w.received().contains(kStepX10Out2Up), kWaitMs);
    QVERIFY(w.waitMonitoring());

    QTest::mouseClick(w.page->findChild<QRadioButton*>(QStringLiteral("sRadioGroupHwCurrItem0")),
                      Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(w.received().contains(kModeUpper), kWaitMs);
    QVERIFY(w.waitMonitoring());
    QCOMPARE(w.page->measuredField(1)->value(), 20.0);

    w.page->measuredField(1)->setValue(19.987);
    QTest::mouseClick(w.page->enterButton(1), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(w.received().contains(kMeasured19987), kWaitMs);
    QVERIFY(w.waitMonitoring());

    w.clickArrow(StepSize::X1, 2, false);
    QTRY_VERIFY_WITH_TIMEOUT(w.received().contains(kStepX1Out3Down), kWaitMs);
    QVERIFY(w.waitMonitoring());

    w.button("BitBtnSeveHwCurrInfo")->click();
    QTRY_VERIFY_WITH_TIMEOUT(w.received().contains(kSave), kWaitMs);
    QVERIFY(w.waitMonitoring());
    QTRY_VERIFY_WITH_TIMEOUT(w.received().lastIndexOf(kStatusRead) > w.received().indexOf(kSave),
                             kWaitMs);

    w.button("sBitBtnSetCurr")->click();
    QCOMPARE(w.page->procedureState(), State::Idle);
    QTRY_VERIFY_WITH_TIMEOUT(w.received().contains(kModeOffFrame), kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(!w.bench.engine->awaitingReply(), kWaitMs);
    QVERIFY(!w.bench.engine->timerSetAuto()->isEnabled());
    QCOMPARE(w.running->size(), 2);
    QVERIFY2(w.bench.messages.messages.isEmpty(), qPrintable(w.bench.messages.messages.join('\n')));

    // Every write reached the transducer once, in the order given.
    QCOMPARE(w.writes(), (QStringList{kModeMiddle, kStepX10Out2Up, kModeUpper, kMeasured19987,
                                      kStepX1Out3Down, kSave, kModeOffFrame}));
    w.bench.sim.stop();
    const QString log = w.log();
    for (const char* event : {
             "current-output correction mode on, point 2",
             "output 2 x10 step up: output 2 now 12.010 mA",
             "current-output correction mode on, point 1",
             "current output 2, limit 0: measured 19.987",
             "output 3 x1 step down: output 3 now 19.999 mA",
             "settings and calibration stored",
             "current-output correction mode off",
         })
        QVERIFY2(log.contains(QLatin1String(event)), qPrintable(log));
}

void CurrentOutputWireTest::transducerLeavesCorrectionMode_data() {
    QTest::addColumn<bool>("bySignal");
    QTest::newRow("by itself") << false;
    QTest::newRow("SIGHUP") << true;
}

// The mode word reads 0 once the transducer has left the correction mode: the procedure stops
// with its message and switches the mode off.
void CurrentOutputWireTest::transducerLeavesCorrectionMode() {
    QFETCH(bool, bySignal);
    Wire w;
    const QStringList options =
        bySignal ? QStringList{}
                 : QStringList{QStringLiteral("--drop-correction-after"), QStringLiteral("2")};
    if (!w.start(options)) {
        const QString why = w.bench.sim.errorString();
        if (why.contains(QLatin1String("drop-correction")))
            QSKIP("tervex-sim does not take --drop-correction-after");
        QFAIL(qPrintable(why));
    }
    w.button("sBitBtnSetCurr")->click();
    QVERIFY(w.waitMonitoring());
    if (bySignal)
        ::kill(pid_t(w.bench.sim.pid()), SIGHUP);
    QTRY_VERIFY_WITH_TIMEOUT(w.page->procedureState() == State::Idle, kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(w.bench.messages.messages, QStringList{kNoMode}, kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(w.received().contains(kModeOffFrame), kWaitMs);
    QVERIFY(!w.bench.state.procedures.CurrentOutputActive);
    QCOMPARE(w.running->size(), 2);
    QCOMPARE(w.writes(), (QStringList{kModeMiddle, kModeOffFrame}));
}

// The transducer hears nothing: the start is taken back once its variant read times out, and
// the sequencing timer is left stopped.
void CurrentOutputWireTest::startWithoutReplyIsUndone() {
    Wire w;
    QVERIFY2(w.start({QStringLiteral("--drop-rate"), QStringLiteral("1")}),
             qPrintable(w.bench.sim.errorString()));
    w.button("sBitBtnSetCurr")->click();
    QCOMPARE(w.running->size(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(w.running->size(), 2, kWaitMs);
    QCOMPARE(w.running->last().at(0).toBool(), false);
    QCOMPARE(w.page->procedureState(), State::Idle);
    QVERIFY(w.button("sBitBtnSaveSelHwCurr")->isEnabled());
    QVERIFY(!w.bench.engine->timerSetAuto()->isEnabled());
    QCOMPARE(w.received(), QStringList{kVariantRead});
}

QTEST_MAIN(CurrentOutputWireTest)
#include "wire_currentoutputpage.moc"
