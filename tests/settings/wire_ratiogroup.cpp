// The scheme and ratio group over a virtual serial line to tervex-sim: the read, the whole write
// chain as the simulated transducer receives it, the store awaited beyond the usual time-out,
// and a write refused before anything goes out.
#include <QComboBox>
#include <QPushButton>
#include <QTime>
#include <QtTest>

#include "link/timer.h"
#include "pagebench.h"
#include "settings/ratiogroup.h"

namespace {

constexpr int kWaitMs = 20000;  // the chain alone takes 2.6 s plus the store's delay

struct Received {
    int ms;  // time of day in the simulator's log
    QString frame;
};

struct Wire {
    WireBench bench;
    std::unique_ptr<RatioGroup> group;
    QList<int> sentCodes;
    QList<int> timeouts;  // the reply time-out in force as each request left
    int rated = 0;

    bool start(const QStringList& options = {}) {
        if (!bench.start(QStringList{QStringLiteral("--log"), QStringLiteral("-")} + options))
            return false;
        bench.portSettings->applyFixed9600();
        bench.messages.take();
        group = std::make_unique<RatioGroup>(bench.context());
        group->setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
        LinkEngine* engine = bench.engine.get();
        QObject::connect(engine, &LinkEngine::requestSent, group.get(),
                         [this, engine](RequestCode code) {
                             sentCodes << CodeIndex(code);
                             timeouts << engine->timerWaitAnsw()->interval();
                         });
        QObject::connect(group.get(), &RatioGroup::ratedValuesChanged, group.get(),
                         [this] { ++rated; });
        QObject::connect(engine, &LinkEngine::timedOut, group.get(),
                         [this] { group->SetRatioGroupEnabled(true); });
        QObject::connect(engine, &LinkEngine::exceptionReply, group.get(),
                         [this] { group->SetRatioGroupEnabled(true); });
        return true;
    }
    QComboBox* combo(const char* name) const {
        return group->findChild<QComboBox*>(QLatin1String(name));
    }
    QString text(const char* name) const { return combo(name)->currentText(); }
    // Frames the simulator took, from its log on standard error.
    QList<Received> received() {
        QList<Received> out;
        const QList<QByteArray> lines = bench.sim.standardError().split('\n');
        for (const QByteArray& line : lines) {
            const QString l = QString::fromUtf8(line);
            const qsizetype rx = l.indexOf(QLatin1String(" rx "));
            if (rx < 0)
                continue;
            const QTime at = QTime::fromString(l.left(rx), QStringLiteral("HH:mm:ss.zzz"));
            out.append({at.msecsSinceStartOfDay(), l.mid(rx + 4).trimmed()});
        }
        return out;
    }
    QStringList receivedFrames() {
        QStringList out;
        for (const Received& r : received())
            out << r.frame;
        return out;
    }
};

}  // namespace

class RatioGroupWireTest : public QObject {
    Q_OBJECT
  private slots:
    void readShowsTheTransducersValues();
    void writeChainThenReadBack();
    void badFieldSendsNothing();
};

void RatioGroupWireTest::readShowsTheTransducersValues() {
    Wire w;
    QVERIFY2(w.start(), qPrintable(w.bench.sim.errorString()));
    w.group->BitBtnReadSchKpClick();
    QTRY_COMPARE_WITH_TIMEOUT(w.rated, 1, kWaitMs);
    QVERIFY2(w.bench.messages.messages.isEmpty(), qPrintable(w.bench.messages.take().join('\n')));

    // The simulated transducer starts three-element at 230.9 V and 5 A.
    QCOMPARE(w.combo("ComboBoxSetSch")->currentIndex(), 1);
    QVERIFY(!w.bench.state.scheme.TwoElementScheme);
    QCOMPARE(w.text("ComboBoxMaxValU"), QStringLiteral("230.90"));
    QCOMPARE(w.text("ComboBoxMaxValU_"), QStringLiteral("230.90"));
    QCOMPARE(w.text("ComboBoxMaxValI"), QStringLiteral("5"));
    QCOMPARE(w.text("ComboBoxMaxValI_"), QStringLiteral("5"));

    const QStringList frames = w.receivedFrames();
    QVERIFY2(frames.size() >= 2, qPrintable(frames.join('\n')));
    QCOMPARE(frames[0], QStringLiteral("01 03 02 10 00 01 84 77"));
    QCOMPARE(frames[1], QStringLiteral("01 03 08 00 00 08 46 6C"));
}

// The store answers after 3.5 s: a reply time-out of 3 s would give up on it, the 5 s one waits.
void RatioGroupWireTest::writeChainThenReadBack() {
    Wire w;
    if (!w.start({QStringLiteral("--store-delay"), QStringLiteral("3500")})) {
        if (w.bench.sim.errorString().contains(QLatin1String("store-delay")))
            QSKIP("this tervex-sim has no --store-delay");
        QFAIL(qPrintable(w.bench.sim.errorString()));
    }
    w.group->show();
    w.combo("ComboBoxSetSch")->setCurrentIndex(0);
    w.combo("ComboBoxMaxValU")->setEditText(QStringLiteral("57.74"));
    w.combo("ComboBoxMaxValU_")->setEditText(QStringLiteral("100"));
    w.combo("ComboBoxMaxValI")->setEditText(QStringLiteral("7500"));
    w.combo("ComboBoxMaxValI_")->setEditText(QStringLiteral("1"));

    w.group->BitBtnSaveSchKpClick();
    QVERIFY(!w.group->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(!w.bench.messages.messages.isEmpty(), kWaitMs);
    QCOMPARE(w.bench.messages.take(), QStringList{QStringLiteral("Информация записана ")});
    QVERIFY(w.group->isEnabled());
    QCOMPARE(w.bench.engine->statistics().unanswered, 0u);
    QCOMPARE(w.sentCodes, (QList<int>{14, 16, 17, 18, 19, 15}));
    QCOMPARE(w.timeouts, (QList<int>{5000, 3000, 3000, 3000, 3000, 5000}));

    const QList<Received> got = w.received();
    QCOMPARE(got.size(), 6);
    const QStringList starts = {
        QStringLiteral("01 06 02 10 00 01"),
        QStringLiteral("01 10 08 00 00 02 04 42 66 F5 C3"),
        QStringLiteral("01 10 08 04 00 02 04 42 C8 00 00"),
        QStringLiteral("01 10 08 08 00 02 04 45 EA 60 00"),
        QStringLiteral("01 10 08 0C 00 02 04 3F 80 00 00"),
        QStringLiteral("01 06 02 FF 00 00 B8 42"),
    };
    for (int k = 0; k < 6; ++k) {
        QVERIFY2(got[k].frame.startsWith(starts[k]), qPrintable(got[k].frame));
        // Each request leaves at least 500 ms after the reply to the one before, which the
        // transducer sent after it took that one.
        if (k > 0)
            QVERIFY2(got[k].ms - got[k - 1].ms >= 500, qPrintable(got[k].frame));
    }

    // What the transducer keeps comes back by the next read.
    w.group->BitBtnReadSchKpClick();
    QTRY_COMPARE_WITH_TIMEOUT(w.rated, 1, kWaitMs);
    QCOMPARE(w.combo("ComboBoxSetSch")->currentIndex(), 0);
    QVERIFY(w.bench.state.scheme.TwoElementScheme);
    QCOMPARE(w.text("ComboBoxMaxValU"), QStringLiteral("57.74"));
    QCOMPARE(w.text("ComboBoxMaxValU_"), QStringLiteral("100.00"));
    QCOMPARE(w.text("ComboBoxMaxValI"), QStringLiteral("7500"));
    QCOMPARE(w.text("ComboBoxMaxValI_"), QStringLiteral("1"));
}

void RatioGroupWireTest::badFieldSendsNothing() {
    Wire w;
    QVERIFY2(w.start(), qPrintable(w.bench.sim.errorString()));
    w.group->show();
    w.combo("ComboBoxMaxValI_")->setEditText(QStringLiteral("5 A"));
    w.group->BitBtnSaveSchKpClick();
    QCOMPARE(w.bench.messages.take(), QStringList{QStringLiteral("Информация не корректна")});
    QVERIFY(w.sentCodes.isEmpty());
    QVERIFY(!w.bench.engine->awaitingReply());
    QVERIFY(w.group->isEnabled());
}

QTEST_MAIN(RatioGroupWireTest)
#include "wire_ratiogroup.moc"
