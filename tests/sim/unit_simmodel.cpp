// The simulated transducer's register image: what a master reads back after its writes, which
// requests it refuses with which code, the running clock, and the packets of its two other
// talkers on the line (remote indicator, information channel).
#include <QDateTime>
#include <QtTest>

#include <bit>
#include <cmath>
#include "replies.h"

#include "link/crc.h"
#include "sim/model.h"
#include "sim/network.h"
#include "sim/responder.h"

using namespace sim;

namespace {

const qint64 kStart = QDateTime(QDate(2024, 6, 1), QTime(12, 0)).toMSecsSinceEpoch();

quint16 readOne(DeviceModel& d, quint16 reg) {
    quint16 w = 0xDEAD;
    const quint8 e = d.read(reg, 1, &w);
    return e ? quint16(0xE000 | e) : w;
}

float readFloat(DeviceModel& d, quint16 reg) {
    quint16 w[2] = {};
    if (d.read(reg, 2, w) != kNoException)
        return NAN;
    return std::bit_cast<float>(quint32(w[0]) << 16 | w[1]);
}

quint8 writeFloat(DeviceModel& d, quint16 reg, float v) {
    const quint32 bits = std::bit_cast<quint32>(v);
    const quint16 w[2] = {quint16(bits >> 16), quint16(bits)};
    return d.writeMultiple(reg, w, 2);
}

// The channel's float: low 16-bit half first.
quint32 channelPattern(const QByteArray& p, int at) {
    auto b = [&](int i) { return quint32(quint8(p[at + i])); };
    return b(2) << 24 | b(3) << 16 | b(0) << 8 | b(1);
}

float valueOf(const std::array<quint32, kParameterCount>& patterns, int k) {
    return std::bit_cast<float>(patterns[size_t(k)]);
}

float lsbFloat(const QByteArray& b, int at) {
    quint32 bits = 0;
    for (int i = 0; i < 4; ++i)
        bits |= quint32(quint8(b[at + i])) << (8 * i);
    return std::bit_cast<float>(bits);
}

}  // namespace

class SimModelTest : public QObject {
    Q_OBJECT

  private slots:
    void primaryRatiosReadBackAtOnePointThree_data();
    void primaryRatiosReadBackAtOnePointThree();
    void logicalNumberChangesTheAddressAnswered();
    void refusals_data();
    void refusals();
    void refusedBlockChangesNothing();
    void clockSetAndRunning();
    void correctionModeShowsInTheModeWord();
    void correctionModeEndsAfterStatusReads();
    void outputStepsMoveTheOutputAtThePoint();
    void storeCommandIsMarked();
    void readingsFollowRatedValuesAndLevel_data();
    void readingsFollowRatedValuesAndLevel();
    void indicatorExponentsFollowTheRatedValues();
    void indicatorValuesFollowTheChosenParameters();
    void noInformationMarkers();
    void networkIsConsistentAndDriftsSlowly();
    void infoPacketScalesBackToTheMeasuredValues();
    void infoPacketMarksValuesBeyondTheLimit();
    void infoPacketMarkersOnRequest();
    void remoteIndicatorKeepsWhatWasWritten();
};

void SimModelTest::primaryRatiosReadBackAtOnePointThree_data() {
    QTest::addColumn<int>("reg");
    QTest::addColumn<float>("written");
    QTest::addColumn<float>("readBack");
    QTest::newRow("primary voltage") << 2048 << 6000.0f << 6000.0f * 1.3f;
    QTest::newRow("secondary voltage") << 2052 << 100.0f << 100.0f;
    QTest::newRow("primary current") << 2056 << 75.0f << 75.0f * 1.3f;
    QTest::newRow("secondary current") << 2060 << 5.0f << 5.0f;
}

void SimModelTest::primaryRatiosReadBackAtOnePointThree() {
    QFETCH(int, reg);
    QFETCH(float, written);
    QFETCH(float, readBack);
    DeviceModel d({}, kStart);
    QCOMPARE(writeFloat(d, quint16(reg), written), kNoException);
    // Written at steps of four, read back to back from 2048.
    const int position = (reg - 2048) / 4;
    QCOMPARE(readFloat(d, quint16(2048 + 2 * position)), readBack);
}

void SimModelTest::logicalNumberChangesTheAddressAnswered() {
    DeviceModel d({}, kStart);
    const QByteArray write =
        replies::withCrc(QByteArray::fromHex("01060204"
                                             "0005"));
    const Answer a = Respond(d, write);
    // The confirmation still carries the old address: the master is waiting for it there.
    QCOMPARE(a.kind, Answer::Modbus);
    QCOMPARE(a.bytes, write);
    QCOMPARE(d.address(), quint8(5));
    QCOMPARE(readOne(d, 514), quint16(5));

    const QByteArray readAt1 = replies::withCrc(QByteArray::fromHex("010302000001"));
    const QByteArray readAt5 = replies::withCrc(QByteArray::fromHex("050302000001"));
    QCOMPARE(Respond(d, readAt1).kind, Answer::Silent);
    const Answer at5 = Respond(d, readAt5);
    QCOMPARE(at5.bytes, replies::withCrc(QByteArray::fromHex("0503020015")));
}

void SimModelTest::refusals_data() {
    // A request as the line carries it (without checksum) and the exception code it earns,
    // 0 for a normal reply.
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("code");
    auto row = [](const char* name, const char* hex, int code) {
        QTest::newRow(name) << QByteArray::fromHex(hex) << code;
    };
    row("measured block", "0103 0000 003A", 0);
    row("past the measured block", "0103 0038 0004", 2);
    row("unknown register", "0103 0258 0001", 2);
    row("no registers", "0103 0000 0000", 3);
    row("126 registers", "0103 0000 007E", 3);
    row("whole clock", "0103 0900 0007", 0);
    row("one past the clock", "0103 0900 0008", 2);
    row("write-only reference", "0103 0700 0002", 2);
    row("logical number 0", "0106 0204 0000", 3);
    row("logical number 248", "0106 0204 00F8", 3);
    row("logical number 247", "0106 0204 00F7", 0);
    row("odd register in the written range", "0106 0205 0001", 2);
    row("version is read-only", "0106 0200 0001", 2);
    row("brightness 3", "0106 0206 0003", 3);
    row("speed code 6", "0106 020C 0006", 3);
    row("parity code 3", "0106 020E 0003", 3);
    row("scheme 2", "0106 0210 0002", 3);
    row("store with 1", "0106 02FF 0001", 3);
    row("store", "0106 02FF 0000", 0);
    row("correction point 4", "0106 02FE 0004", 3);
    row("power trim step 6", "0106 0280 0006", 3);
    row("output step x10 of output 3", "0106 0282 000C", 0);
    row("output step 13", "0106 0283 000D", 3);
    row("indicator code 29", "0106 0400 001D", 3);
    row("exponent is read-only", "0106 0403 0001", 2);
    row("half a float", "0106 0800 0001", 2);
    row("float from its second register", "0110 0801 0002 04 3F800000", 2);
    row("float cut short", "0110 0800 0001 02 3F80", 2);
    row("ratio of zero", "0110 0800 0002 04 00000000", 3);
    row("ratio not a number", "0110 0800 0002 04 7FC00000", 3);
    row("negative output current", "0110 0780 0002 04 C0A00000", 0);
    row("byte count disagrees", "0110 0400 0003 04 000100020003", 3);
    row("indicator set-up", "0110 0400 0003 06 0019001B0015", 0);
    row("clock month 13", "0110 0900 0006 0C 0000 0000 000C 0001 000D 07E8", 3);
    row("clock 30 February", "0110 0900 0006 0C 0000 0000 000C 001E 0002 07E8", 3);
    row("clock 29 February 2024", "0110 0900 0006 0C 0000 0000 000C 001D 0002 07E8", 0);
    row("clock hour 24", "0106 0902 0018", 3);
    row("read input registers", "0104 0000 0001", 1);
}

void SimModelTest::refusals() {
    QFETCH(QByteArray, request);
    QFETCH(int, code);
    DeviceModel d({}, kStart);
    const QByteArray frame = replies::withCrc(request);
    const Answer a = Respond(d, frame);
    QCOMPARE(a.kind, Answer::Modbus);
    QVERIFY(replies::checksumRight(a.bytes));
    if (code == 0) {
        QCOMPARE(quint8(a.bytes[1]), quint8(request[1]));
    } else {
        QCOMPARE(a.bytes, ExceptionReply(frame, quint8(code)));
        QCOMPARE(a.bytes.size(), 5);
    }
}

void SimModelTest::refusedBlockChangesNothing() {
    DeviceModel d({}, kStart);
    const quint16 codes[3] = {25, 27, 40};
    QCOMPARE(d.writeMultiple(1024, codes, 3), kIllegalValue);
    QCOMPARE(readOne(d, 1024), quint16(0));
    QCOMPARE(readOne(d, 1025), quint16(3));
}

void SimModelTest::clockSetAndRunning() {
    DeviceModel d({}, kStart);
    d.setTime(kStart + 400);
    const quint16 set[6] = {2, 7, 9, 5, 3, 2010};
    QCOMPARE(d.writeMultiple(2304, set, 6), kNoException);
    quint16 w[7] = {};
    QCOMPARE(d.read(2304, 7, w), kNoException);
    QCOMPARE(QList<quint16>(w, w + 6), QList<quint16>({2, 7, 9, 5, 3, 2010}));
    QCOMPARE(w[6], quint16(5));  // 5 March 2010 was a Friday

    // It keeps running from the moment it was set, across midnight of month's end too.
    d.setTime(kStart + 400 + 61500);
    QCOMPARE(d.read(2304, 3, w), kNoException);
    QCOMPARE(QList<quint16>(w, w + 3), QList<quint16>({3, 8, 9}));
    const quint16 lateNight[6] = {59, 59, 23, 31, 12, 2010};
    QCOMPARE(d.writeMultiple(2304, lateNight, 6), kNoException);
    d.setTime(kStart + 400 + 61500 + 1000);
    QCOMPARE(d.read(2304, 6, w), kNoException);
    QCOMPARE(QList<quint16>(w, w + 6), QList<quint16>({0, 0, 0, 1, 1, 2011}));

    // One word alone changes that field only.
    QCOMPARE(d.writeSingle(2306, 15), kNoException);
    QCOMPARE(readOne(d, 2306), quint16(15));
    QCOMPARE(readOne(d, 2309), quint16(2011));
}

void SimModelTest::correctionModeShowsInTheModeWord() {
    DeviceModel d({}, kStart);
    QVERIFY((readOne(d, 532) & 0xFF) != 7);
    QCOMPARE(d.writeSingle(766, 2), kNoException);
    QCOMPARE(readOne(d, 532) & 0xFF, 7);
    QCOMPARE(d.writeSingle(766, 0), kNoException);
    QVERIFY((readOne(d, 532) & 0xFF) != 7);
    // The calibration writes around it are taken.
    QCOMPARE(writeFloat(d, 1792 + 4 * 8, 5.0f), kNoException);
    QCOMPARE(writeFloat(d, 1920 + 12 * 2 + 4 * 1, -5.0f), kNoException);
}

void SimModelTest::correctionModeEndsAfterStatusReads() {
    DeviceSetup setup;
    setup.dropCorrectionAfter = 3;
    DeviceModel d(setup, kStart);
    QStringList events;
    d.setEventSink([&](const QString& e) { events << e; });
    // Reads outside the mode do not count.
    QCOMPARE(readOne(d, 532), quint16(0));
    QCOMPARE(d.writeSingle(766, 2), kNoException);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(readOne(d, 532), quint16(0x0207));
    QCOMPARE(readOne(d, 532), quint16(0));
    QVERIFY(!d.correctionMode());
    QVERIFY2(events.last().contains(QLatin1String("after 3 reads")), qPrintable(events.last()));

    // A new point starts the count again.
    QCOMPARE(d.writeSingle(766, 1), kNoException);
    QCOMPARE(readOne(d, 532), quint16(0x0107));
    QCOMPARE(readOne(d, 532), quint16(0x0107));
    QCOMPARE(readOne(d, 534), quint16(1));  // other registers do not count
    QCOMPARE(readOne(d, 532), quint16(0x0107));
    QCOMPARE(readOne(d, 532), quint16(0));

    // Left from outside (the signal), at once.
    QCOMPARE(d.writeSingle(766, 3), kNoException);
    QCOMPARE(readOne(d, 532), quint16(0x0307));
    d.leaveCorrectionMode(QStringLiteral("on request"));
    QCOMPARE(readOne(d, 532), quint16(0));
}

void SimModelTest::outputStepsMoveTheOutputAtThePoint() {
    DeviceModel d({}, kStart);
    // Outside the mode a step is taken but moves nothing.
    QCOMPARE(d.writeSingle(642, 11), kNoException);
    QVERIFY(std::isnan(d.outputCurrent(1)));

    QCOMPARE(d.writeSingle(766, 2), kNoException);  // middle value, 4..20 mA variant
    QCOMPARE(d.outputCurrent(1), 12.0);
    struct Step {
        quint16 reg, code;
        int output;
        double expected;
    };
    const Step steps[] = {
        {642, 11, 1, 12.010},  // x10 up, output 2
        {643, 21, 1, 11.910},  // x100 down, output 2
        {642, 0, 0, 12.001},   // x1 up, output 1
        {643, 22, 2, 11.900},  // x100 down, output 3
    };
    for (const Step& s : steps) {
        QCOMPARE(d.writeSingle(s.reg, s.code), kNoException);
        QVERIFY2(std::abs(d.outputCurrent(s.output) - s.expected) < 1e-9,
                 qPrintable(QString::number(d.outputCurrent(s.output), 'f', 4)));
    }
    // Each point keeps its own adjustment; x1 at the upper limit is code n + 3.
    QCOMPARE(d.writeSingle(766, 1), kNoException);
    QCOMPARE(d.outputCurrent(1), 20.0);
    QCOMPARE(d.writeSingle(643, 4), kNoException);
    QVERIFY(std::abs(d.outputCurrent(1) - 19.999) < 1e-9);
    QCOMPARE(d.writeSingle(766, 2), kNoException);
    QVERIFY(std::abs(d.outputCurrent(1) - 11.910) < 1e-9);
    // The -5..+5 mA variant has its middle at 0.
    QCOMPARE(d.writeSingle(530, 0), kNoException);
    QVERIFY(std::abs(d.outputCurrent(0) - 0.001) < 1e-9);
}

void SimModelTest::storeCommandIsMarked() {
    DeviceModel d({}, kStart);
    auto respond = [&](const char* hex) {
        return Respond(d, replies::withCrc(QByteArray::fromHex(hex)));
    };
    QVERIFY(respond("0106 02FF 0000").store);
    QVERIFY(!respond("0106 02FE 0002").store);
    QVERIFY(!respond("0106 02FF 0001").store);  // refused
    QVERIFY(!respond("0110 0400 0003 06 0019001B0015").store);
}

void SimModelTest::readingsFollowRatedValuesAndLevel_data() {
    QTest::addColumn<int>("scheme");
    QTest::addColumn<float>("ratedU");
    QTest::addColumn<float>("ratedI");
    QTest::addColumn<double>("level");
    QTest::addColumn<double>("load");
    QTest::addColumn<bool>("dipped");
    QTest::newRow("as delivered") << 0 << 230.9f << 5.0f << 100.0 << kDefaultLoadPercent << false;
    QTest::newRow("57.74 V, 1 A") << 0 << 57.74f << 1.0f << 100.0 << 100.0 << false;
    QTest::newRow("6 kV, 600 A, 40 %") << 0 << 6000.0f << 600.0f << 40.0 << 40.0 << false;
    QTest::newRow("dipped") << 0 << 57.74f << 5.0f << 100.0 << 100.0 << true;
    QTest::newRow("two-element 100 V") << 1 << 100.0f << 5.0f << 100.0 << 100.0 << false;
    QTest::newRow("two-element dipped") << 1 << 100.0f << 5.0f << 100.0 << 100.0 << true;
}

void SimModelTest::readingsFollowRatedValuesAndLevel() {
    QFETCH(int, scheme);
    QFETCH(float, ratedU);
    QFETCH(float, ratedI);
    QFETCH(double, level);
    QFETCH(double, load);
    QFETCH(bool, dipped);
    DeviceSetup setup;
    setup.levelPercent = level;
    setup.loadPercent = load;
    DeviceModel d(setup, kStart);
    QCOMPARE(d.writeSingle(528, quint16(scheme)), kNoException);
    QCOMPARE(writeFloat(d, 2048, ratedU), kNoException);
    QCOMPARE(writeFloat(d, 2052, 100.0f), kNoException);  // the secondary sets no level
    QCOMPARE(writeFloat(d, 2056, ratedI), kNoException);
    d.setDipped(dipped);
    const double share = dipped ? 0.4 : 1.0;
    // Voltages that carry the rated value: phases in three elements, lines in two.
    const QList<int> voltages = scheme ? QList<int>{6, 7, 8, 28} : QList<int>{0, 1, 2, 26};
    for (double t : {0.0, 20.0, 45.0, 600.0, 3600.0}) {
        d.setTime(kStart + qint64(t * 1000));
        const auto v = d.measuredPatterns();
        for (int k : voltages) {
            const double rel = valueOf(v, k) / ratedU / (level / 100 * share);
            QVERIFY2(rel > 0.98 && rel < 1.02,
                     qPrintable(QStringLiteral("%1: %2").arg(k).arg(rel)));
            // The threshold of 60 % of the rated value, on the side the level puts it.
            QCOMPARE(valueOf(v, k) > 0.6 * ratedU, level * share > 60);
        }
        for (int k : {3, 4, 5, 27}) {
            const double rel = valueOf(v, k) / ratedI / (load / 100 * share);
            QVERIFY2(rel > 0.75 && rel < 1.25,
                     qPrintable(QStringLiteral("%1: %2").arg(k).arg(rel)));
        }
        // Powers follow both; the values still agree with one another.
        for (int phase = 0; phase < 3 && !scheme; ++phase) {
            const double p = valueOf(v, 9 + phase);
            const double expected =
                double(valueOf(v, phase)) * valueOf(v, 3 + phase) * valueOf(v, 18 + phase);
            QVERIFY(std::abs(p - expected) < 1e-4 * std::abs(expected));
        }
        QVERIFY(std::abs(valueOf(v, 25) - 50) < 0.1);
    }
}

void SimModelTest::indicatorExponentsFollowTheRatedValues() {
    DeviceSetup setup;
    setup.loadPercent = 100;
    DeviceModel d(setup, kStart);
    const quint16 codes[3] = {0, 3, 21};  // Ua, Ia, Ps
    QCOMPARE(d.writeMultiple(1024, codes, 3), kNoException);
    QCOMPARE(writeFloat(d, 2048, 6000.0f), kNoException);
    QCOMPARE(writeFloat(d, 2056, 600.0f), kNoException);
    quint16 setupWords[6], shown[6];
    QCOMPARE(d.read(1024, 6, setupWords), kNoException);
    // 6 kV and 600 A, with room up to 1.3 times: 7800 V, 780 A, 13.6 MW.
    QCOMPARE(QList<quint16>(setupWords + 3, setupWords + 6), QList<quint16>({3, 2, 7}));
    // A dip leaves the exponents alone, and every value fits the digits of its exponent.
    d.setDipped(true);
    QCOMPARE(d.read(1024, 6, setupWords), kNoException);
    QCOMPARE(QList<quint16>(setupWords + 3, setupWords + 6), QList<quint16>({3, 2, 7}));
    d.setDipped(false);
    for (double t : {0.0, 30.0, 77.0}) {
        d.setTime(kStart + qint64(t * 1000));
        QCOMPARE(d.read(768, 6, shown), kNoException);
        for (int line = 0; line < 3; ++line) {
            const float value =
                std::bit_cast<float>(quint32(shown[2 * line]) << 16 | shown[2 * line + 1]);
            QVERIFY(value < std::pow(10.0, setupWords[3 + line] + 1));
        }
    }
}

void SimModelTest::indicatorValuesFollowTheChosenParameters() {
    DeviceModel d({}, kStart);
    d.setTime(kStart + 12345);
    const quint16 codes[3] = {25, 27, 21};  // F, I, Ps
    QCOMPARE(d.writeMultiple(1024, codes, 3), kNoException);
    quint16 block[58], shown[6], setup[6];
    QCOMPARE(d.read(0, 58, block), kNoException);
    QCOMPARE(d.read(768, 6, shown), kNoException);
    QCOMPARE(d.read(1024, 6, setup), kNoException);
    for (int line = 0; line < 3; ++line) {
        QCOMPARE(setup[line], codes[line]);
        QCOMPARE(shown[2 * line], block[2 * codes[line]]);
        QCOMPARE(shown[2 * line + 1], block[2 * codes[line] + 1]);
    }
    // Exponents that put each value in four digits: 50.00 Hz, 2.800 A, 1.7xx kW.
    QCOMPARE(QList<quint16>(setup + 3, setup + 6), QList<quint16>({1, 0, 3}));
}

void SimModelTest::noInformationMarkers() {
    DeviceSetup setup;
    setup.noInformation.set(3);  // Ia
    DeviceModel d(setup, kStart);
    QCOMPARE(readOne(d, 6), quint16(0xFFFF));
    QCOMPARE(readOne(d, 7), quint16(0xFFFF));
    QVERIFY(readOne(d, 0) != 0xFFFF);

    // Wired in two elements the phase quantities have no value; line voltages still do.
    QCOMPARE(d.writeSingle(528, 1), kNoException);
    const std::array<quint32, kParameterCount> p = d.measuredPatterns();
    for (int k : {0, 1, 2, 9, 12, 15, 18, 20, 26})
        QCOMPARE(p[size_t(k)], kNoInformation);
    for (int k : {4, 6, 21, 24, 25, 28})
        QVERIFY(p[size_t(k)] != kNoInformation);
}

void SimModelTest::networkIsConsistentAndDriftsSlowly() {
    for (double t : {0.0, 17.3, 600.0, 86400.0}) {
        const auto v = NetworkAt(t, 42);
        for (int k = 0; k < 3; ++k) {
            QVERIFY2(std::abs(v[size_t(k)] - 230) < 5, qPrintable(QString::number(v[size_t(k)])));
            QVERIFY(v[size_t(3 + k)] > 1 && v[size_t(3 + k)] < 5);
            QVERIFY(std::abs(v[size_t(6 + k)] - 400) < 10);
            QVERIFY(std::abs(v[size_t(18 + k)] - 0.9) < 0.05);
            const double p = v[size_t(9 + k)], q = v[size_t(12 + k)], s = v[size_t(15 + k)];
            QVERIFY(std::abs(std::hypot(p, q) - s) < 1e-3 * s);
            QVERIFY(std::abs(p / s - v[size_t(18 + k)]) < 1e-4);
        }
        QVERIFY(std::abs(v[21] - (v[9] + v[10] + v[11])) < 0.05);
        QVERIFY(std::abs(v[22] - (v[12] + v[13] + v[14])) < 0.05);
        QVERIFY(std::abs(v[23] - (v[15] + v[16] + v[17])) < 0.05);
        QVERIFY(std::abs(v[24] - v[21] / v[23]) < 1e-5);
        QVERIFY(std::abs(v[25] - 50) < 0.1);
        QVERIFY(std::abs(v[26] - (v[0] + v[1] + v[2]) / 3) < 1e-3);
        QVERIFY(std::abs(v[27] - (v[3] + v[4] + v[5]) / 3) < 1e-5);
        QVERIFY(std::abs(v[28] - (v[6] + v[7] + v[8]) / 3) < 1e-3);

        // Slow: a second later every value is within a few percent, yet they do move.
        const auto later = NetworkAt(t + 1, 42);
        bool moved = false;
        for (int k = 0; k < kParameterCount; ++k) {
            QVERIFY(std::abs(later[size_t(k)] - v[size_t(k)]) <= 0.03 * std::abs(v[size_t(k)]));
            moved = moved || later[size_t(k)] != v[size_t(k)];
        }
        QVERIFY(moved);
    }
    QVERIFY(NetworkAt(5, 1)[0] != NetworkAt(5, 2)[0]);
}

void SimModelTest::infoPacketScalesBackToTheMeasuredValues() {
    DeviceSetup setup;
    setup.noInformation.set(5);
    DeviceModel d(setup, kStart);
    d.setTime(kStart + 3000);
    const QByteArray p = d.infoPacket(-5);
    QCOMPARE(p.size(), kInfoPacketLength);
    QCOMPARE(p.left(5), QByteArray::fromHex("55AA018086"));
    QVERIFY(replies::checksumRight(p));
    QCOMPARE(qint8(p[5]), qint8(-5));
    QCOMPARE(quint8(p[14]), quint8(0));  // three-element
    const float uLim = std::bit_cast<float>(channelPattern(p, 6));
    const float iLim = std::bit_cast<float>(channelPattern(p, 10));
    QCOMPARE(uLim, 230.9f * 1.3f / 1.3f);
    QCOMPARE(iLim, 5.0f * 1.3f / 1.3f);

    // Undo the channel's scaling the way the monitor does and meet the register values.
    const float pn = uLim * iLim;
    struct Row {
        int k;
        float base, offset;
    };
    const Row rows[] = {{0, uLim * 1.25f, 0}, {6, uLim * 1.7321f * 1.25f, 0},
                        {3, iLim, 0},         {9, pn, 0},
                        {21, 3 * pn, 0},      {18, 1, 0},
                        {25, 10, 45}};
    const auto measured = d.measuredPatterns();
    for (const Row& r : rows) {
        const float rel = std::bit_cast<float>(channelPattern(p, 16 + 4 * r.k));
        const float value = std::bit_cast<float>(measured[size_t(r.k)]);
        QVERIFY2(
            std::abs(rel * r.base + r.offset - value) < 1e-4 * std::abs(value),
            qPrintable(QStringLiteral("index %1: %2 vs %3").arg(r.k).arg(rel * r.base).arg(value)));
    }
    QCOMPARE(p.mid(16 + 4 * 5, 4), QByteArray::fromHex("FFFFFFFF"));
}

void SimModelTest::infoPacketMarksValuesBeyondTheLimit() {
    // Voltages at 140 % of their rated value are above the limit of 1.3 times it, even after a
    // new rated value; currents stay in range.
    DeviceSetup setup;
    setup.levelPercent = 140;
    DeviceModel d(setup, kStart);
    QCOMPARE(writeFloat(d, 2048, 100.0f), kNoException);
    const QByteArray p = d.infoPacket(0);
    QCOMPARE(p.mid(16, 4), QByteArray::fromHex("FFFFEFFF"));
    QVERIFY(p.mid(16 + 4 * 3, 4) != QByteArray::fromHex("FFFFEFFF"));
}

void SimModelTest::infoPacketMarkersOnRequest() {
    DeviceSetup setup;
    setup.infoBelow.set(25).set(3).set(0);
    setup.infoAbove.set(21);
    setup.noInformation.set(0);  // no value outranks a marker
    DeviceModel d(setup, kStart);
    const QByteArray p = d.infoPacket(0);
    QVERIFY(replies::checksumRight(p));
    QCOMPARE(p.mid(16 + 4 * 25, 4), QByteArray::fromHex("FFFFDFFF"));
    QCOMPARE(p.mid(16 + 4 * 3, 4), QByteArray::fromHex("FFFFDFFF"));
    QCOMPARE(p.mid(16 + 4 * 21, 4), QByteArray::fromHex("FFFFEFFF"));
    QCOMPARE(p.mid(16, 4), QByteArray::fromHex("FFFFFFFF"));
    // The registers keep their values: the markers belong to the channel.
    QVERIFY(readOne(d, 2 * 25) != 0xFFFF);
    QVERIFY(std::abs(readFloat(d, 2 * 25) - 50) < 1);
}

void SimModelTest::remoteIndicatorKeepsWhatWasWritten() {
    DeviceModel d({}, kStart);
    const QByteArray readRequest = replies::withCrc(QByteArray::fromHex("0300F0"));
    const Answer first = Respond(d, readRequest);
    QCOMPARE(first.kind, Answer::RemoteIndicator);
    QCOMPARE(first.bytes.size(), kRemoteFrameLength);
    QVERIFY(replies::checksumRight(first.bytes));
    QCOMPARE(quint8(first.bytes[3]), quint8(0));
    QCOMPARE(lsbFloat(first.bytes, 12), 1.3f);
    QCOMPARE(quint8(first.bytes[62]), quint8(1));

    QByteArray changed = first.bytes.left(63);
    changed[2] = char(0xE0);
    changed[3 + 17] = char(27);     // line 1 shows the average current
    changed[16 + 17] = char(0x00);  // its under-limit: -1.0 least significant byte first
    changed[16 + 17 + 1] = char(0x00);
    changed[16 + 17 + 2] = char(0x80);
    changed[16 + 17 + 3] = char(0xBF);
    changed[62] = 0;
    changed = replies::withCrc(changed);
    const Answer written = Respond(d, changed);
    QCOMPARE(written.kind, Answer::RemoteIndicator);
    QCOMPARE(written.bytes.size(), kRemoteWriteReplyLength);
    QVERIFY(replies::checksumRight(written.bytes));
    QVERIFY(quint8(written.bytes[1]) < 129);

    const Answer again = Respond(d, readRequest);
    QCOMPARE(quint8(again.bytes[3 + 17]), quint8(27));
    QCOMPARE(lsbFloat(again.bytes, 16 + 17), -1.0f);
    QCOMPARE(quint8(again.bytes[62]), quint8(0));
    QVERIFY(replies::checksumRight(again.bytes));
}

QTEST_GUILESS_MAIN(SimModelTest)
#include "unit_simmodel.moc"
