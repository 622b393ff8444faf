// The metrology procedure over a virtual serial line to tervex-sim: the start chain as the
// simulated transducer receives it, a nominal reference write, a power trim and the store in
// the order they were given, and a start that gets no reply.
#include <QPushButton>
#include <QSignalSpy>
#include <QToolButton>
#include <QtTest>
#include <cmath>
#include <cstring>

#include "calibration/metrologypage.h"
#include "link/timer.h"
#include "pagebench.h"

using namespace metrology;

namespace {

constexpr int kWaitMs = 20000;  // a pty answers in milliseconds; generous for a busy machine

// The simulator keeps a primary written to it as that value times 1.3 in single precision;
// the value whose read-back gives the nominal 57.74 exactly, as the operator would have it.
float primaryFor5774() {
    float f = 57.74f;
    for (int i = 0; i < 64; ++i, f = std::nextafter(f, 100.0f)) {
        if (ReferencesFor(f * 1.3f, 1.0f, false).voltage == 57.74f)
            return f;
    }
    return 57.74f;
}

struct Wire {
    WireBench bench;
    std::unique_ptr<MetrologyPage> page;
    QList<int> sentCodes;

    bool start(const QStringList& options = {}) {
        if (!bench.start(QStringList{QStringLiteral("--log"), QStringLiteral("-")} + options))
            return false;
        bench.portSettings->applyFixed9600();
        bench.messages.take();
        page = std::make_unique<MetrologyPage>(bench.context());
        page->setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
        QObject::connect(bench.engine.get(), &LinkEngine::requestSent, page.get(),
                         [this](RequestCode code) { sentCodes << CodeIndex(code); });
        return true;
    }
    // Writes the primary voltage through the link, as the ratio group would.
    bool setPrimaryVoltage(float value) {
        RequestRecord r = PreparedRecord(RequestCode::RatedValue1);
        std::memcpy(&r.LongValue, &value, 4);
        if (!bench.engine->SendInquiryWrite16(r))
            return false;
        return QTest::qWaitFor([this] { return !bench.engine->awaitingReply(); }, kWaitMs);
    }
    QPushButton* button(const char* name) {
        return page->findChild<QPushButton*>(QLatin1String(name));
    }
    TrimSpinButton* trim(const char* name) {
        return page->findChild<TrimSpinButton*>(QLatin1String(name));
    }
    // Frames the simulator took, in order, from its log on standard error.
    QStringList received() {
        QStringList out;
        for (const QByteArray& line : bench.sim.standardError().split('\n')) {
            const QString l = QString::fromUtf8(line);
            const qsizetype rx = l.indexOf(QLatin1String(" rx "));
            if (rx >= 0)
                out << l.mid(rx + 4).trimmed();
        }
        return out;
    }
    bool polling() { return page->procedureState() == State::Polling; }
};

const QString kSchemeRead = QStringLiteral("01 03 02 10 00 01 84 77");
const QString kRatioRead = QStringLiteral("01 03 08 00 00 08 46 6C");
const QString kPoll = QStringLiteral("01 03 00 00 00 3A C5 D9");
const QString kUanNominal = QStringLiteral("01 10 07 00 00 02 04 42 66 F5 C3 26 F9");
const QString kTrimPb1Up = QStringLiteral("01 06 02 80 00 04 88 59");
const QString kSave = QStringLiteral("01 06 02 FF 00 00 B8 42");

}  // namespace

class MetrologyWireTest : public QObject {
    Q_OBJECT
  private slots:
    void procedureAgainstTheSimulator();
    void startWithoutReplyIsUndone();
};

void MetrologyWireTest::procedureAgainstTheSimulator() {
    Wire w;
    QVERIFY2(w.start(), qPrintable(w.bench.sim.errorString()));
    QVERIFY(w.setPrimaryVoltage(primaryFor5774()));
    w.sentCodes.clear();
    QSignalSpy running(w.page.get(), &MetrologyPage::metrologyRunning);

    // The scheme read leaves with the click; the rest follows the sequencing timer.
    w.button("BitBtnSetNet")->click();
    QCOMPARE(w.sentCodes, QList<int>{22});
    QTRY_VERIFY_WITH_TIMEOUT(w.sentCodes.count(24) >= 2, kWaitMs);
    QCOMPARE(w.sentCodes.mid(0, 4), (QList<int>{22, 20, 24, 24}));
    QVERIFY(w.bench.state.procedures.MetrologyActive);
    QCOMPARE(w.page->references().voltage, 57.74f);
    QTRY_VERIFY_WITH_TIMEOUT(w.button("Button3Uan")->isEnabled(), kWaitMs);
    QCOMPARE(w.received().mid(w.received().indexOf(kSchemeRead), 4),
             (QStringList{kSchemeRead, kRatioRead, kPoll, kPoll}));

    w.button("Button3Uan")->click();
    QTRY_VERIFY_WITH_TIMEOUT(w.received().contains(kUanNominal) && w.polling(), kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(w.trim("UpDownPb1")->isEnabled(), kWaitMs);
    QTest::mouseClick(w.trim("UpDownPb1")->upArrow(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(w.received().contains(kTrimPb1Up) && w.polling(), kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(w.trim("UpDownPb1")->isEnabled(), kWaitMs);
    w.button("BitBtnSeveSetInfo")->click();
    QTRY_VERIFY_WITH_TIMEOUT(w.received().contains(kSave) && w.polling(), kWaitMs);
    // Polling goes on after the store.
    QTRY_VERIFY_WITH_TIMEOUT(w.received().lastIndexOf(kPoll) > w.received().indexOf(kSave),
                             kWaitMs);

    const QStringList frames = w.received();
    const qsizetype write = frames.indexOf(kUanNominal);
    const qsizetype trim = frames.indexOf(kTrimPb1Up);
    const qsizetype save = frames.indexOf(kSave);
    QVERIFY2(write < trim && trim < save, qPrintable(frames.join('\n')));
    QCOMPARE(frames.count(kTrimPb1Up), 1);
    QCOMPARE(frames.count(kSave), 1);
    QVERIFY2(w.bench.messages.messages.isEmpty(), qPrintable(w.bench.messages.messages.join('\n')));

    w.button("BitBtnSetNet")->click();
    QCOMPARE(w.page->procedureState(), State::Idle);
    QVERIFY(!w.bench.engine->timerSetAuto()->isEnabled());
    QCOMPARE(running.size(), 2);

    w.bench.sim.stop();
    const QString log = QString::fromUtf8(w.bench.sim.standardError());
    QVERIFY2(log.contains(QStringLiteral("metrology reference 0 = 57.74")), qPrintable(log));
    QVERIFY2(log.contains(QStringLiteral("power trim up, phase B, wide step")), qPrintable(log));
    QVERIFY2(log.contains(QStringLiteral("settings and calibration stored")), qPrintable(log));
}

// The transducer hears nothing: the start is taken back once its scheme read times out.
void MetrologyWireTest::startWithoutReplyIsUndone() {
    Wire w;
    QVERIFY2(w.start({QStringLiteral("--drop-rate"), QStringLiteral("1")}),
             qPrintable(w.bench.sim.errorString()));
    QSignalSpy running(w.page.get(), &MetrologyPage::metrologyRunning);
    w.button("BitBtnSetNet")->click();
    QCOMPARE(running.size(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(running.size(), 2, kWaitMs);
    QCOMPARE(running.at(1).at(0).toBool(), false);
    QCOMPARE(w.page->procedureState(), State::Idle);
    QVERIFY(!w.bench.state.procedures.MetrologyActive);
    QCOMPARE(w.button("BitBtnSetNet")->text(), QStringLiteral("   Старт"));
    QCOMPARE(w.sentCodes, QList<int>{22});
}

QTEST_MAIN(MetrologyWireTest)
#include "wire_metrologypage.moc"
