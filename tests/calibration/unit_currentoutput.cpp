// The current-output procedure's logic without widgets: step codes, registers, nominal
// currents, which controls are usable, the requests as frames, and the states.
#include <QtTest>

#include "calibration/currentoutput.h"
#include "link/frames.h"

using namespace currentoutput;

Q_DECLARE_METATYPE(RequestRecord)

namespace {

QString frameOf(const RequestRecord& r, quint8 slave = 1) {
    quint8 buffer[32];
    int n = 0;
    switch (CodeInfo(r.requestCode()).op) {
        case SendOp::Write06:
            n = frames::BuildWrite06(buffer, quint8(r.SlaveAddress), r.StartRegister, r.WordValue);
            break;
        case SendOp::Write16:
            n = frames::BuildWriteLong(buffer, slave, r.StartRegister, r.RegisterCount,
                                       r.LongValue);
            break;
        default:
            n = frames::BuildRead(buffer, slave, r.StartRegister, r.RegisterCount);
            break;
    }
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(buffer), n).toHex(' '))
        .toUpper();
}

}  // namespace

class CurrentOutputTest : public QObject {
    Q_OBJECT
  private slots:
    void stepCodes_data();
    void stepCodes();
    void measuredValueRegisters();
    void presetValues_data();
    void presetValues();
    void variantAndStatusWords();
    void controls_data();
    void controls();
    void requestFrames_data();
    void requestFrames();
    void sentOnce();
    void transitions_data();
    void transitions();
};

void CurrentOutputTest::stepCodes_data() {
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("output");
    QTest::addColumn<int>("limit");
    QTest::addColumn<int>("code");  // -1: the control is of no use there

    const int x1 = int(StepSize::X1), x10 = int(StepSize::X10), x100 = int(StepSize::X100);
    // clang-format off
    QTest::newRow("x1 out1 middle")   << x1   << 0 << kMiddleValue << 0;
    QTest::newRow("x1 out3 middle")   << x1   << 2 << kMiddleValue << 2;
    QTest::newRow("x1 out1 upper")    << x1   << 0 << kUpperLimit  << 3;
    QTest::newRow("x1 out3 upper")    << x1   << 2 << kUpperLimit  << 5;
    QTest::newRow("x1 lower")         << x1   << 0 << kLowerLimit  << -1;
    QTest::newRow("x10 out2 middle")  << x10  << 1 << kMiddleValue << 11;
    QTest::newRow("x10 out1 upper")   << x10  << 0 << kUpperLimit  << -1;
    QTest::newRow("x10 lower")        << x10  << 2 << kLowerLimit  << -1;
    QTest::newRow("x100 out3 middle") << x100 << 2 << kMiddleValue << 22;
    QTest::newRow("x100 out1 middle") << x100 << 0 << kMiddleValue << 20;
    QTest::newRow("x100 upper")       << x100 << 1 << kUpperLimit  << -1;
    QTest::newRow("no output 4")      << x1   << 3 << kMiddleValue << -1;
    QTest::newRow("no output -1")     << x10  << -1 << kMiddleValue << -1;
    // clang-format on
}

void CurrentOutputTest::stepCodes() {
    QFETCH(int, size);
    QFETCH(int, output);
    QFETCH(int, limit);
    QFETCH(int, code);
    const std::optional<quint16> got = StepCode(StepSize(size), output, limit);
    QCOMPARE(got ? int(*got) : -1, code);
}

void CurrentOutputTest::measuredValueRegisters() {
    QCOMPARE(MeasuredValueRegister(kUpperLimit, 0), quint16(1920));
    QCOMPARE(MeasuredValueRegister(kUpperLimit, 1), quint16(1924));
    QCOMPARE(MeasuredValueRegister(kMiddleValue, 2), quint16(1920 + 12 + 8));
    QCOMPARE(MeasuredValueRegister(kLowerLimit, 2), quint16(1920 + 24 + 8));
}

void CurrentOutputTest::presetValues_data() {
    QTest::addColumn<int>("variant");
    QTest::addColumn<int>("limit");
    QTest::addColumn<double>("value");
    // clang-format off
    QTest::newRow("bipolar upper")  << 0 << kUpperLimit  << 5.0;
    QTest::newRow("bipolar middle") << 0 << kMiddleValue << 0.0;
    QTest::newRow("bipolar lower")  << 0 << kLowerLimit  << -5.0;
    QTest::newRow("loop upper")     << 1 << kUpperLimit  << 20.0;
    QTest::newRow("loop middle")    << 1 << kMiddleValue << 12.0;
    QTest::newRow("loop lower")     << 1 << kLowerLimit  << 4.0;
    QTest::newRow("other word is the loop") << 0x0102 << kMiddleValue << 12.0;
    // clang-format on
}

void CurrentOutputTest::presetValues() {
    QFETCH(int, variant);
    QFETCH(int, limit);
    QFETCH(double, value);
    QCOMPARE(PresetOutputValue(quint16(variant), limit), value);
}

void CurrentOutputTest::variantAndStatusWords() {
    QCOMPARE(VariantItem(0), 0);
    QCOMPARE(VariantItem(1), 1);
    QCOMPARE(VariantItem(0xFFFF), 1);
    QVERIFY(CorrectionModeOn(0x0007));
    QVERIFY(CorrectionModeOn(0x0107));  // only the low byte counts
    QVERIFY(!CorrectionModeOn(0x0005));
    QVERIFY(!CorrectionModeOn(0x0700));
    QVERIFY(!CorrectionModeOn(0));
}

void CurrentOutputTest::controls_data() {
    QTest::addColumn<bool>("running");
    QTest::addColumn<int>("limit");
    QTest::addColumn<bool>("ready");
    // measured, x1, fast steps, limits and save, variant
    QTest::addColumn<QList<bool>>("expected");
    // clang-format off
    QTest::newRow("idle")              << false << kMiddleValue << true
                                       << QList<bool>{false, false, false, false, true};
    QTest::newRow("idle upper")        << false << kUpperLimit  << true
                                       << QList<bool>{false, false, false, false, true};
    QTest::newRow("upper limit")       << true  << kUpperLimit  << true
                                       << QList<bool>{true,  true,  false, true,  false};
    QTest::newRow("middle value")      << true  << kMiddleValue << true
                                       << QList<bool>{false, true,  true,  true,  false};
    QTest::newRow("lower limit")       << true  << kLowerLimit  << true
                                       << QList<bool>{false, false, false, true,  false};
    QTest::newRow("write outstanding") << true  << kMiddleValue << false
                                       << QList<bool>{false, false, false, false, false};
    // clang-format on
}

void CurrentOutputTest::controls() {
    QFETCH(bool, running);
    QFETCH(int, limit);
    QFETCH(bool, ready);
    QFETCH(QList<bool>, expected);
    const ControlStates s = ControlsFor(running, limit, ready);
    QCOMPARE((QList<bool>{s.measured, s.x1, s.fastSteps, s.limitsAndSave, s.variant}), expected);
}

void CurrentOutputTest::requestFrames_data() {
    QTest::addColumn<RequestRecord>("record");
    QTest::addColumn<QString>("frame");
    QTest::addColumn<int>("code");
    // clang-format off
    QTest::newRow("variant read")        << VariantRead()
                                         << "01 03 02 16 00 01 64 76" << 25;
    QTest::newRow("mode on, middle")     << ModeWrite(kMiddleValue + 1, 1)
                                         << "01 06 02 FE 00 02 68 43" << 28;
    QTest::newRow("status read")         << StatusRead()
                                         << "01 03 02 14 00 01 C5 B6" << 26;
    QTest::newRow("limit change, lower") << LimitChange(kLowerLimit, 1)
                                         << "01 06 02 FE 00 03 A9 83" << 27;
    QTest::newRow("x10 up, output 2")    << StepWrite(true, 11, 1)
                                         << "01 06 02 82 00 0B 69 9D" << 28;
    QTest::newRow("x100 down, output 3") << StepWrite(false, 22, 1)
                                         << "01 06 02 83 00 16 F8 54" << 28;
    QTest::newRow("measured 19.987")     << MeasuredValueWrite(kUpperLimit, 1, 19.987f)
                                         << "01 10 07 84 00 02 04 41 9F E5 60 B2 A6" << 9;
    QTest::newRow("measured -5")         << MeasuredValueWrite(kUpperLimit, 2, -5.0f)
                                         << "01 10 07 88 00 02 04 C0 A0 00 00 E0 7B" << 9;
    QTest::newRow("save")                << Save(1)
                                         << "01 06 02 FF 00 00 B8 42" << 28;
    QTest::newRow("mode off")            << ModeWrite(kModeOff, 1)
                                         << "01 06 02 FE 00 00 E9 82" << 28;
    QTest::newRow("variant write")       << VariantWrite(1, 1)
                                         << "01 06 02 12 00 01 E9 B7" << 13;
    // clang-format on
}

void CurrentOutputTest::requestFrames() {
    QFETCH(RequestRecord, record);
    QFETCH(QString, frame);
    QFETCH(int, code);
    QCOMPARE(frameOf(record), frame);
    QCOMPARE(int(record.Code), code);
    if (CodeInfo(record.requestCode()).op == SendOp::Tuning)
        QCOMPARE(int(record.ReplyLength), frames::ReadReplyLength(record.RegisterCount));
}

void CurrentOutputTest::sentOnce() {
    QVERIFY(SentOnce(StepWrite(true, 0, 1)));
    QVERIFY(SentOnce(StepWrite(false, 22, 1)));
    QVERIFY(SentOnce(Save(1)));
    // Absolute writes may be repeated until confirmed.
    QVERIFY(!SentOnce(ModeWrite(2, 1)));
    QVERIFY(!SentOnce(ModeWrite(kModeOff, 1)));
    QVERIFY(!SentOnce(LimitChange(kUpperLimit, 1)));
    QVERIFY(!SentOnce(MeasuredValueWrite(kUpperLimit, 0, 20.0f)));
    // The code-28 row of the request table repeats: the once-only rule is the procedure's.
    QCOMPARE(CodeInfo(RequestCode::OutputCommand).repeat, Repeat::EveryTick);
}

void CurrentOutputTest::transitions_data() {
    QTest::addColumn<QList<int>>("events");
    QTest::addColumn<int>("end");
    using E = Event;
    using S = State;
    auto seq = [](std::initializer_list<E> es) {
        QList<int> out;
        for (E e : es)
            out << int(e);
        return out;
    };
    // clang-format off
    QTest::newRow("start to monitoring")
        << seq({E::StartClick, E::VariantReply, E::CommandReply, E::Settled}) << int(S::Monitoring);
    QTest::newRow("second click while starting")
        << seq({E::StartClick, E::StartClick}) << int(S::Starting);
    QTest::newRow("start failed")
        << seq({E::StartClick, E::StartFailed}) << int(S::Idle);
    QTest::newRow("reply while settling is ignored")
        << seq({E::StartClick, E::VariantReply, E::CommandReply, E::CommandReply}) << int(S::Settling);
    QTest::newRow("mode refused: on to the status read")
        << seq({E::StartClick, E::VariantReply, E::WriteLost}) << int(S::Monitoring);
    QTest::newRow("limit change answered")
        << seq({E::StartClick, E::VariantReply, E::CommandReply, E::Settled, E::WriteQueued,
                E::WriteReply}) << int(S::Monitoring);
    QTest::newRow("step sent once")
        << seq({E::StartClick, E::VariantReply, E::CommandReply, E::Settled, E::WriteQueued,
                E::SentOnce}) << int(S::WriteSent);
    QTest::newRow("step answered settles")
        << seq({E::StartClick, E::VariantReply, E::CommandReply, E::Settled, E::WriteQueued,
                E::SentOnce, E::CommandReply}) << int(S::Settling);
    QTest::newRow("step lost")
        << seq({E::StartClick, E::VariantReply, E::CommandReply, E::Settled, E::WriteQueued,
                E::SentOnce, E::WriteLost}) << int(S::Monitoring);
    QTest::newRow("no write queued while one is out")
        << seq({E::StartClick, E::VariantReply, E::CommandReply, E::Settled, E::WriteQueued,
                E::SentOnce, E::WriteQueued}) << int(S::WriteSent);
    QTest::newRow("stop from settling")
        << seq({E::StartClick, E::VariantReply, E::CommandReply, E::Stop}) << int(S::Idle);
    QTest::newRow("stop while starting")
        << seq({E::StartClick, E::Stop}) << int(S::Idle);
    QTest::newRow("replies while idle change nothing")
        << seq({E::VariantReply, E::CommandReply, E::Settled, E::WriteReply}) << int(S::Idle);
    // clang-format on
}

void CurrentOutputTest::transitions() {
    QFETCH(QList<int>, events);
    QFETCH(int, end);
    State s = State::Idle;
    for (int e : events)
        s = Next(s, Event(e));
    QCOMPARE(StateName(s), StateName(State(end)));
}

QTEST_GUILESS_MAIN(CurrentOutputTest)
#include "unit_currentoutput.moc"
