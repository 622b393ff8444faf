// The indicator's rendering of a value into segment bytes, its digit patterns, and the block
// of the values it shows. Byte rows are the bytes of a reply's data area.
#include <QtTest>
#include <limits>

#include "measure/indicator.h"

namespace {

QByteArray hex(const char* text) {
    return QByteArray::fromHex(QByteArray(text));
}

const quint8* bytes(const QByteArray& a) {
    return reinterpret_cast<const quint8*>(a.constData());
}

// A line as it reads on the display, one token per position: a digit, a digit with its point
// ("2."), or "_" for a blank. The empty text means the digits are left as they were.
QString reading(const IndicatorLine& line) {
    if (!line.digits)
        return {};
    QStringList tokens;
    for (quint8 pattern : *line.digits) {
        QString token = QStringLiteral("?");
        for (int code = 0; code < int(DigitPatterns.size()); ++code) {
            if (DigitPatterns[code] != pattern)
                continue;
            if (code == kBlankDigit)
                token = QStringLiteral("_");
            else if (code >= kPointDigitOffset)
                token = QString::number(code - kPointDigitOffset) + QLatin1Char('.');
            else
                token = QString::number(code);
        }
        tokens << token;
    }
    return tokens.join(QLatin1Char(' '));
}

}  // namespace

class IndicatorTest : public QObject {
    Q_OBJECT
  private slots:
    void renderLine_data();
    void renderLine();
    void digitPatterns();
    void markerRendersAsZero();
};

void IndicatorTest::renderLine_data() {
    QTest::addColumn<float>("value");
    QTest::addColumn<int>("exponentWord");
    QTest::addColumn<bool>("minus");
    QTest::addColumn<QString>("shown");

    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const float max = std::numeric_limits<float>::max();
    // clang-format off
    QTest::newRow("230 V, exponent 2")      << 230.0f    << 2      << false << "2 3 0. 0";
    QTest::newRow("230 V, exponent 3 (kV)") << 230.0f    << 3      << false << "0. 2 3 0";
    QTest::newRow("5, exponent 1")          << 5.0f      << 1      << false << "_ 5. 0 0";
    QTest::newRow("guard digit 5 rounds up")<< -12.345f  << 1      << true  << "1 2. 3 5";
    QTest::newRow("guard digit 4 stays")    << 12.344f   << 1      << false << "1 2. 3 4";
    QTest::newRow("zero, exponent 2")       << 0.0f      << 2      << false << "_ _ 0. 0";
    QTest::newRow("negative zero")          << -0.0f     << 0      << false << "0. 0 0 0";
    QTest::newRow("negative rounds to zero")<< -0.0001f  << 0      << true  << "0. 0 0 0";
    QTest::newRow("largest that fits")      << 99.994f   << 1      << false << "9 9. 9 9";
    QTest::newRow("100, exponent 1: over")  << 100.0f    << 1      << false << "";
    QTest::newRow("-100: over, minus shown")<< -100.0f   << 1      << true  << "";
    QTest::newRow("9.9996 rounds over")     << 9.9996f   << 0      << false << "";
    QTest::newRow("1234.5, exponent 5")     << 1234.5f   << 5      << false << "_ _ 1. 2";
    QTest::newRow("1234567, exponent 6")    << 1234567.f << 6      << false << "1. 2 3 5";
    QTest::newRow("high byte ignored")      << 230.0f    << 0x0102 << false << "2 3 0. 0";
    QTest::newRow("negative code: no point")<< 0.05f     << 0x00FF << false << "_ 5 0 0";
    QTest::newRow("code 127: divisor inf")  << 230.0f    << 0x007F << false << "_ 0. 0 0";
    // Not representable as an integer: the digits stay, the sign follows the value.
    QTest::newRow("NaN")                    << nan       << 2      << false << "";
    QTest::newRow("+inf")                   << inf       << 2      << false << "";
    QTest::newRow("-inf")                   << -inf      << 2      << true  << "";
    QTest::newRow("largest float")          << max       << 0      << false << "";
    QTest::newRow("most negative float")    << -max      << 9      << true  << "";
    QTest::newRow("2^31 scaled")            << 214748.4f << 0      << false << "";
    QTest::newRow("2^32 scaled")            << -429497.f << 0      << true  << "";
    QTest::newRow("inf over inf divisor")   << inf       << 0x007F << false << "";
    // clang-format on
}

void IndicatorTest::renderLine() {
    QFETCH(float, value);
    QFETCH(int, exponentWord);
    QFETCH(bool, minus);
    QFETCH(QString, shown);

    const IndicatorLine line = RenderLine(value, quint16(exponentWord));
    QCOMPARE(line.sign, minus ? kSignMinus : kSignDark);
    QCOMPARE(reading(line), shown);
}

// The table's bytes against the segments each digit lights, named.
void IndicatorTest::digitPatterns() {
    using namespace segment;
    const std::array<quint8, 10> lit = {
        quint8(A | B | C | D | E | F),      // 0
        quint8(B | C),                      // 1
        quint8(A | B | G | E | D),          // 2
        quint8(A | B | G | C | D),          // 3
        quint8(F | G | B | C),              // 4
        quint8(A | F | G | C | D),          // 5
        quint8(A | F | G | E | C | D),      // 6
        quint8(A | B | C),                  // 7
        quint8(A | B | C | D | E | F | G),  // 8
        quint8(A | B | C | D | F | G),      // 9
    };
    for (int d = 0; d < 10; ++d) {
        QCOMPARE(DigitPatterns[d], lit[d]);
        QCOMPARE(DigitPatterns[kPointDigitOffset + d], quint8(lit[d] | Point));
    }
    QCOMPARE(DigitPatterns[kBlankDigit], quint8(0));
    QCOMPARE(kSignMinus, G);
    QCOMPARE(kSignDark, quint8(0));
}

// The values block decodes three floats; a line without information shows zero at its
// exponent's point, like any zero.
void IndicatorTest::markerRendersAsZero() {
    const QByteArray block =
        hex("43660000"
            "FFFFFFFF"
            "C3160000");
    QVERIFY(!DecodeIndicatorValues(bytes(block), block.size() - 1));
    QVERIFY(!DecodeIndicatorValues(nullptr, block.size()));
    const auto values = DecodeIndicatorValues(bytes(block), block.size());
    QVERIFY(values);
    QCOMPARE((*values)[0].value, 230.0f);
    QVERIFY(!(*values)[0].noInfo);
    QCOMPARE((*values)[1].value, 0.0f);
    QVERIFY((*values)[1].noInfo);
    QCOMPARE((*values)[2].value, -150.0f);

    QCOMPARE(reading(RenderLine((*values)[1].value, 2)), QStringLiteral("_ _ 0. 0"));
    QCOMPARE(reading(RenderLine((*values)[1].value, 0)), QStringLiteral("0. 0 0 0"));
    const IndicatorLine third = RenderLine((*values)[2].value, 1);
    QCOMPARE(third.sign, kSignMinus);
    QCOMPARE(reading(third), QString());  // -150.00 has five digits
}

QTEST_APPLESS_MAIN(IndicatorTest)
#include "unit_indicator.moc"
