// The remote indicator's settings without widgets: the setpoint rules by parameter group, the
// clamps, the write and read frames byte by byte, and when a write is allowed.
#include <QtTest>
#include <cmath>

#include "link/crc.h"
#include "settings/remoteindicator.h"

namespace ri = remoteindicator;

namespace {

QByteArray bytes(const quint8* data, int n) {
    return QByteArray(reinterpret_cast<const char*>(data), n);
}

QByteArray hex(const char* text) {
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

// Lines showing Ua, Ia and Pa with 130/0, 120/0 and 120/-120, three-element scheme.
ri::Settings sample() {
    ri::Settings s;
    s.lines = {{{0, 130, 0}, {3, 120, 0}, {9, 120, -120}}};
    s.scheme = ri::kThreeElement;
    return s;
}

// The same settings as the indicator holds them, written out by hand: floats least
// significant byte first (1.0 = 00 00 80 3F, -1.0 = 00 00 80 BF, 1.3 = 66 66 A6 3F,
// 1.2 = 9A 99 99 3F, -1.2 = 9A 99 99 BF).
const char* const kSampleFrame =
    "03 00 E0"
    " 00 0000803F 000080BF 6666A63F 00000000"
    " 03 0000803F 000080BF 9A99993F 00000000"
    " 09 0000803F 000080BF 9A99993F 9A9999BF"
    " 0000803F 0000803F 01";

}  // namespace

class RemoteIndicatorTest : public QObject {
    Q_OBJECT
  private slots:
    void rulesByCode_data();
    void rulesByCode();
    void everyRuleHoldsItsDefaults();
    void clamps_data();
    void clamps();
    void saveAllowed_data();
    void saveAllowed();
    void readRequest();
    void writeFrame();
    void setpointsAtTheirOffsets();
    void noSelectionGoesAsFF();
    void parseReply();
    void parseOddBytes();
};

void RemoteIndicatorTest::rulesByCode_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("defOver");
    QTest::addColumn<int>("defUnder");
    QTest::addColumn<int>("overMax");
    QTest::addColumn<int>("underMin");
    QTest::addColumn<bool>("blanked");
    struct Row {
        int first, last, defOver, defUnder, overMax, underMin;
        bool blanked;
    };
    const Row rows[] = {
        {0, 2, 130, 0, 150, 0, true},         {3, 5, 120, 0, 130, 0, false},
        {6, 8, 130, 0, 150, 0, false},        {9, 17, 120, -120, 130, -130, true},
        {18, 20, 100, -100, 100, -100, true}, {21, 22, 120, -120, 130, -130, false},
        {23, 23, 120, 0, 130, 0, false},      {24, 24, 100, -100, 100, -100, false},
        {25, 25, 100, 0, 100, 0, false},      {26, 26, 130, 0, 150, 0, true},
        {27, 27, 120, 0, 130, 0, false},      {28, 28, 130, 0, 150, 0, false},
    };
    for (const Row& r : rows) {
        for (int c = r.first; c <= r.last; ++c) {
            QTest::addRow("code %d", c)
                << c << r.defOver << r.defUnder << r.overMax << r.underMin << r.blanked;
        }
    }
}

void RemoteIndicatorTest::rulesByCode() {
    QFETCH(int, code);
    QFETCH(int, defOver);
    QFETCH(int, defUnder);
    QFETCH(int, overMax);
    QFETCH(int, underMin);
    QFETCH(bool, blanked);
    const ri::SetpointRule* r = ri::RuleFor(code);
    QVERIFY(r);
    QCOMPARE(r->defaultOver, defOver);
    QCOMPARE(r->defaultUnder, defUnder);
    QCOMPARE(r->overMax, overMax);
    QCOMPARE(r->underMin, underMin);
    QCOMPARE(ri::BlankedInTwoElement(code), blanked);
}

void RemoteIndicatorTest::everyRuleHoldsItsDefaults() {
    quint32 seen = 0;
    for (const ri::SetpointRule& r : ri::kSetpointRules) {
        QVERIFY2((seen & r.codes) == 0, "a code in two groups");
        seen |= r.codes;
        QCOMPARE(ri::ClampSetpoint(r, r.defaultOver), double(r.defaultOver));
        QCOMPARE(ri::ClampSetpoint(r, r.defaultUnder), double(r.defaultUnder));
    }
    QCOMPARE(seen, ri::CodeRange(0, ri::kLastCode));
    for (int code : {ri::kNone, 29, 255}) {
        QVERIFY(!ri::RuleFor(code));
        QVERIFY(!ri::BlankedInTwoElement(code));
    }
}

void RemoteIndicatorTest::clamps_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<double>("typed");
    QTest::addColumn<double>("held");
    QTest::newRow("current above") << 3 << 140.0 << 130.0;
    QTest::newRow("current below") << 3 << -5.0 << 0.0;
    QTest::newRow("current inside") << 3 << 12.5 << 12.5;
    QTest::newRow("voltage above") << 0 << 151.0 << 150.0;
    QTest::newRow("power above") << 9 << 131.0 << 130.0;
    QTest::newRow("power below") << 9 << -150.0 << -130.0;
    QTest::newRow("power factor below") << 24 << -101.0 << -100.0;
    QTest::newRow("frequency above") << 25 << 120.0 << 100.0;
    QTest::newRow("frequency below") << 25 << -1.0 << 0.0;
}

// One range for both setpoints of a line: an over-limit may not fall below it, an under-limit
// not rise above it.
void RemoteIndicatorTest::clamps() {
    QFETCH(int, code);
    QFETCH(double, typed);
    QFETCH(double, held);
    QCOMPARE(ri::ClampSetpoint(*ri::RuleFor(code), typed), held);
}

void RemoteIndicatorTest::saveAllowed_data() {
    QTest::addColumn<int>("a");
    QTest::addColumn<int>("b");
    QTest::addColumn<int>("c");
    QTest::addColumn<int>("scheme");
    QTest::addColumn<bool>("allowed");
    QTest::newRow("three-element, Ua") << 0 << 3 << 9 << ri::kThreeElement << true;
    QTest::newRow("two-element, Ua") << 0 << 3 << 4 << ri::kTwoElement << false;
    QTest::newRow("two-element, currents") << 3 << 4 << 27 << ri::kTwoElement << true;
    QTest::newRow("two-element, line voltages") << 6 << 7 << 28 << ri::kTwoElement << true;
    QTest::newRow("two-element, Pc") << 3 << 3 << 11 << ri::kTwoElement << false;
    QTest::newRow("two-element, Kpb") << 19 << 3 << 3 << ri::kTwoElement << false;
    QTest::newRow("two-element, average U") << 3 << 26 << 3 << ri::kTwoElement << false;
    QTest::newRow("two-element, totals") << 21 << 23 << 25 << ri::kTwoElement << true;
    QTest::newRow("two-element, none") << ri::kNone << 3 << 3 << ri::kTwoElement << true;
    QTest::newRow("no scheme, Ua") << 0 << 3 << 3 << ri::kNone << false;
    QTest::newRow("no scheme, Ia") << 3 << 3 << 3 << ri::kNone << true;
}

void RemoteIndicatorTest::saveAllowed() {
    QFETCH(int, a);
    QFETCH(int, b);
    QFETCH(int, c);
    QFETCH(int, scheme);
    QFETCH(bool, allowed);
    QCOMPARE(ri::RemoteSaveAllowed({a, b, c}, scheme), allowed);
}

void RemoteIndicatorTest::readRequest() {
    quint8 frame[ri::kReadRequestLength] = {};
    QCOMPARE(ri::BuildReadRequest(frame), 5);
    QCOMPARE(bytes(frame, 5), hex("03 00 F0 81 84"));
}

void RemoteIndicatorTest::writeFrame() {
    const auto frame = ri::BuildWriteFrame(sample());
    QCOMPARE(int(frame.size()), 65);
    QCOMPARE(bytes(frame.data(), 63), hex(kSampleFrame));
    QCOMPARE(ModbusCrc16(frame.data(), 65), quint16(0));
    // The checksum goes low byte first, as in a Modbus frame.
    const quint16 crc = ModbusCrc16(frame.data(), 63);
    QCOMPARE(frame[63], quint8(crc >> 8));
    QCOMPARE(frame[64], quint8(crc & 0xFF));
}

void RemoteIndicatorTest::setpointsAtTheirOffsets() {
    for (int line = 0; line < ri::kLineCount; ++line) {
        ri::Settings s = sample();
        s.lines[size_t(line)] = {9, 120, -120};
        const auto frame = ri::BuildWriteFrame(s);
        const int base = 3 + 17 * line;
        QCOMPARE(bytes(frame.data() + base + 9, 4), hex("9A 99 99 3F"));
        QCOMPARE(bytes(frame.data() + base + 13, 4), hex("9A 99 99 BF"));
    }
}

void RemoteIndicatorTest::noSelectionGoesAsFF() {
    ri::Settings s = sample();
    s.lines[1].code = ri::kNone;
    s.scheme = ri::kNone;
    const auto frame = ri::BuildWriteFrame(s);
    QCOMPARE(frame[3 + 17], quint8(0xFF));
    QCOMPARE(frame[62], quint8(0xFF));
}

void RemoteIndicatorTest::parseReply() {
    const auto frame = ri::BuildWriteFrame(sample());
    const auto s = ri::ParseReply(frame.data(), int(frame.size()));
    QVERIFY(s);
    QCOMPARE(s->scheme, ri::kThreeElement);
    const int codes[] = {0, 3, 9};
    const double overs[] = {130, 120, 120};
    const double unders[] = {0, 0, -120};
    for (int i = 0; i < ri::kLineCount; ++i) {
        QCOMPARE(s->lines[size_t(i)].code, codes[i]);
        // Single precision: 1.3 comes back as 129.99999...
        QCOMPARE(std::round(s->lines[size_t(i)].overPercent), overs[i]);
        QCOMPARE(std::round(s->lines[size_t(i)].underPercent), unders[i]);
    }
    QVERIFY(!ri::ParseReply(frame.data(), 64));
    QVERIFY(!ri::ParseReply(nullptr, 65));
}

// Bytes the selectors have no item for read as no selection.
void RemoteIndicatorTest::parseOddBytes() {
    auto frame = ri::BuildWriteFrame(sample());
    frame[3] = 29;
    frame[3 + 17] = 0xFF;
    frame[3 + 34] = 28;
    frame[62] = 2;
    const auto s = ri::ParseReply(frame.data(), 65);
    QVERIFY(s);
    QCOMPARE(s->lines[0].code, ri::kNone);
    QCOMPARE(s->lines[1].code, ri::kNone);
    QCOMPARE(s->lines[2].code, 28);
    QCOMPARE(s->scheme, ri::kNone);
    frame[62] = 0;
    QCOMPARE(ri::ParseReply(frame.data(), 65)->scheme, ri::kTwoElement);
}

QTEST_MAIN(RemoteIndicatorTest)
#include "unit_remoteindicator.moc"
