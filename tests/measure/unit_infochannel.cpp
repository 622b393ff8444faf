// The information channel's decoding: float byte order, the bases of a packet, the texts of
// values and markers, and the search for a good packet in a window of received bytes.
#include <QtTest>

#include "channelpacket.h"
#include "measure/infochannel.h"

using namespace infochannel;

namespace {

const QLocale kRussian(QLocale::Russian, QLocale::Russia);
const QLocale kEnglish(QLocale::English, QLocale::UnitedStates);

const quint8* data(const QByteArray& b) {
    return reinterpret_cast<const quint8*>(b.constData());
}

}  // namespace

class InfoChannelTest : public QObject {
    Q_OBJECT
  private slots:
    void channelFloatOrder();
    void bases();
    void decodePacket();
    void valueTexts_data();
    void valueTexts();
    void statusAndLimits();
    void scan_data();
    void scan();
    void scanEmptiesThePacketBuffer();
};

void InfoChannelTest::channelFloatOrder() {
    const QByteArray one = QByteArray::fromHex("00003F80");
    QCOMPARE(ChannelPattern(data(one)), 0x3F800000u);
    QCOMPARE(PatternValue(ChannelPattern(data(one))), 1.0f);
    QCOMPARE(ChannelPattern(data(QByteArray::fromHex("FFFFEFFF"))), kAboveRange);
    QCOMPARE(ChannelPattern(data(QByteArray::fromHex("FFFFDFFF"))), kBelowRange);
    QCOMPARE(ChannelPattern(data(QByteArray::fromHex("11223344"))), 0x33441122u);
}

void InfoChannelTest::bases() {
    const ChannelBases star = ChannelBases::From(100.0f, 5.0f, 0);
    QCOMPARE(star.phasePower, 500.0f);
    QCOMPARE(star.lineVoltage, 173.21f);
    QCOMPARE(star.totalPower, 1500.0f);

    const ChannelBases delta = ChannelBases::From(100.0f, 5.0f, 1);
    QCOMPARE(delta.lineVoltage, 100.0f);
    QCOMPARE(delta.totalPower, 866.05f);
    // Any flag other than 0 selects the second set of bases.
    QCOMPARE(ChannelBases::From(100.0f, 5.0f, 0x80).totalPower, 866.05f);
}

void InfoChannelTest::decodePacket() {
    channel::Packet spec;
    spec.status = qint8(0xFB);
    spec.voltage = 57.7f;
    spec.current = 1.0f;
    spec.flag = 1;
    for (int k = 0; k < 29; ++k)
        spec.values[size_t(k)] = channel::bitsOf(float(k) / 100.0f);
    const QByteArray bytes = spec.bytes();
    QCOMPARE(bytes.size(), kPacketLength);

    const ChannelPacket p = DecodeChannelPacket(data(bytes) + kBodyOffset);
    QCOMPARE(p.status, qint8(-5));
    QCOMPARE(p.version, qint8(21));
    QCOMPARE(p.connectionFlag, quint8(1));
    QCOMPARE(p.bases.voltage, 57.7f);
    QCOMPARE(p.bases.current, 1.0f);
    for (int k = 0; k < 29; ++k)
        QCOMPARE(PatternValue(p.patterns[size_t(k)]), float(k) / 100.0f);
}

void InfoChannelTest::valueTexts_data() {
    QTest::addColumn<int>("k");
    QTest::addColumn<quint32>("pattern");
    QTest::addColumn<int>("flag");
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("text");  // "_" stands for the locale's group separator

    const auto v = [](float f) { return channel::bitsOf(f); };
    // U_lim 100, I_lim 5 throughout.
    QTest::newRow("phase voltage 1.0") << 0 << v(1.0f) << 0 << kRussian << "125,000";
    QTest::newRow("average voltage") << 26 << v(0.5f) << 0 << kEnglish << "62.500";
    QTest::newRow("line voltage, flag 0") << 6 << v(0.5f) << 0 << kRussian << "108,256";
    QTest::newRow("line voltage, flag 1") << 28 << v(0.5f) << 1 << kRussian << "62,500";
    QTest::newRow("current") << 3 << v(0.8f) << 0 << kRussian << "4,000";
    QTest::newRow("phase power") << 12 << v(0.5f) << 0 << kRussian << "250,000";
    QTest::newRow("total power, flag 0") << 22 << v(2.0f) << 0 << kRussian << "3_000,000";
    QTest::newRow("total power, flag 1") << 21 << v(1.0f) << 1 << kEnglish << "866.050";
    QTest::newRow("negative power") << 9 << v(-0.5f) << 0 << kRussian << "-250,000";
    QTest::newRow("frequency") << 25 << v(0.5f) << 0 << kRussian << "50,000";
    QTest::newRow("power factor") << 24 << v(-0.866f) << 0 << kRussian << "-0,866";

    // Markers. The limits are printed without grouping; the frequency's are fixed texts.
    QTest::newRow("no value") << 5 << kNoValue << 0 << kRussian << " ------------------------";
    QTest::newRow("above, total active") << 21 << kAboveRange << 0 << kRussian << "2535,000";
    QTest::newRow("below, total active") << 21 << kBelowRange << 0 << kRussian << "-2535,000";
    QTest::newRow("above, phase voltage") << 0 << kAboveRange << 0 << kRussian << "130,000";
    QTest::newRow("below, line voltage") << 7 << kBelowRange << 0 << kRussian << "-225,173";
    QTest::newRow("above, line voltage, flag 1") << 8 << kAboveRange << 1 << kEnglish << "130.000";
    QTest::newRow("below, current") << 27 << kBelowRange << 0 << kRussian << "-6,500";
    QTest::newRow("above, phase active") << 10 << kAboveRange << 0 << kRussian << "845,000";
    QTest::newRow("above, frequency") << 25 << kAboveRange << 0 << kRussian << "55.000";
    QTest::newRow("below, frequency") << 25 << kBelowRange << 0 << kRussian << "45.000";
    // Left open by the device's documentation: reactive and apparent power as active power,
    // power factors at their bounds.
    QTest::newRow("above, phase reactive") << 13 << kAboveRange << 0 << kRussian << "845,000";
    QTest::newRow("below, total apparent") << 23 << kBelowRange << 0 << kRussian << "-2535,000";
    QTest::newRow("above, power factor") << 18 << kAboveRange << 0 << kRussian << "1,000";
    QTest::newRow("below, power factor") << 24 << kBelowRange << 0 << kRussian << "-1,000";
}

void InfoChannelTest::valueTexts() {
    QFETCH(int, k);
    QFETCH(quint32, pattern);
    QFETCH(int, flag);
    QFETCH(QLocale, locale);
    QFETCH(QString, text);
    text.replace(QLatin1Char('_'), locale.groupSeparator());
    const ChannelBases b = ChannelBases::From(100.0f, 5.0f, quint8(flag));
    QCOMPARE(ChannelValueText(k, pattern, b, locale), text);
}

void InfoChannelTest::statusAndLimits() {
    QCOMPARE(StatusText(0), QStringLiteral("  норма"));
    QCOMPARE(StatusText(qint8(0xFB)), QStringLiteral("ошибка: -5"));
    QCOMPARE(StatusText(127), QStringLiteral("ошибка: 127"));

    QCOMPARE(LimitValueText(100.0f, kRussian), QStringLiteral("100,00"));
    QCOMPARE(LimitValueText(1234.5f, kRussian), QStringLiteral("1234,50"));
    QCOMPARE(LimitValueText(1234.5f, kEnglish), QStringLiteral("1234.50"));
    QCOMPARE(LimitValueText(-0.001f, kEnglish), QStringLiteral("0.00"));

    QVERIFY(ChannelValueText(29, 0, {}, kRussian).isEmpty());
    QVERIFY(ChannelLimitText(-1, true, {}, kRussian).isEmpty());
}

void InfoChannelTest::scan_data() {
    QTest::addColumn<QByteArray>("window");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("start");  // where the packet found begins, -1 for none

    const QByteArray good = channel::Packet().bytes();
    const QByteArray bad = channel::Packet().bytes(false);
    const QByteArray falseStart = QByteArray::fromHex("55AA018086") + channel::noise(20);
    const auto fill = [](QByteArray w) { return w + channel::noise(268 - int(w.size())); };
    const int packet = int(ScanResult::Packet);
    const int none = int(ScanResult::NoPacket);
    const int crc = int(ScanResult::ChecksumError);

    QTest::newRow("packet first") << fill(good) << packet << 0;
    QTest::newRow("packet at the last start") << channel::noise(134) + good << packet << 134;
    QTest::newRow("no start sequence") << channel::noise(268) << none << -1;
    QTest::newRow("bad checksum") << fill(bad) << crc << -1;
    QTest::newRow("start late: not a checksum error")
        << channel::noise(150) + good.left(118) << none << -1;
    QTest::newRow("start at 135") << channel::noise(135) + good.left(133) << none << -1;
    QTest::newRow("false start before a packet")
        << fill(falseStart + good) << packet << int(falseStart.size());
    QTest::newRow("bad packet, then a good one") << bad + good << packet << 134;
    QTest::newRow("tail of a packet, then a packet") << fill(good.mid(40) + good) << packet << 94;
}

void InfoChannelTest::scan() {
    QFETCH(QByteArray, window);
    QFETCH(int, result);
    QFETCH(int, start);
    QCOMPARE(window.size(), kWindowLength);
    std::array<quint8, kPacketLength> packet{};
    QCOMPARE(int(ScanChannelWindow(data(window), int(window.size()), packet)), result);
    const QByteArray found(reinterpret_cast<const char*>(packet.data()), kPacketLength);
    if (start >= 0)
        QCOMPARE(found, window.mid(start, kPacketLength));
    else
        QCOMPARE(found, QByteArray(kPacketLength, '\0'));
}

// The tail of an earlier packet must not complete the head of a new one.
void InfoChannelTest::scanEmptiesThePacketBuffer() {
    const QByteArray good = channel::Packet().bytes();
    std::array<quint8, kPacketLength> packet{};
    const QByteArray first = good + channel::noise(134);
    QCOMPARE(ScanChannelWindow(data(first), 268, packet), ScanResult::Packet);

    const QByteArray late = channel::noise(200) + good.left(68);
    QCOMPARE(ScanChannelWindow(data(late), 268, packet), ScanResult::NoPacket);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(packet.data()), kPacketLength),
             QByteArray(kPacketLength, '\0'));
}

QTEST_APPLESS_MAIN(InfoChannelTest)
#include "unit_infochannel.moc"
