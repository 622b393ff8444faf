// Decoding and formatting of measured values, from any bytes: the register conversions and the
// display format of the measured-value block, the indicator's rendering of a line and its
// values block, and the information channel's window scan, packet decoder and texts. The input
// is a reply's data area, a channel window and a packet body at once. Aborts when:
// - a word or float differs from the bytes it was read from, or the no-information marker is
//   taken for another pattern or missed;
// - a formatted value is not the value (rounded to its decimals, with three-digit groups, the
//   locale's separators, ASCII digits and a minus exactly for values below zero), or a special
//   value (no information, NaN, infinities) has another text;
// - a rendered line has a digit that is no digit pattern, its point elsewhere than the
//   exponent puts it, or shows a number other than the value;
// - the window scan finds another packet than the first start sequence with a right checksum,
//   or reports a packet, a checksum error or none when that is not so;
// - a channel text of a marker or a status has another text.
// Reads past a buffer are the address sanitizer's to find.
#include <QCoreApplication>
#include <QLocale>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "link/crc.h"
#include "measure/catalogue.h"
#include "measure/indicator.h"
#include "measure/infochannel.h"

#define REQUIRE(cond)                                                                       \
    do {                                                                                    \
        if (!(cond)) {                                                                      \
            std::fprintf(stderr, "fuzz_measured: broken: %s (line %d)\n", #cond, __LINE__); \
            std::abort();                                                                   \
        }                                                                                   \
    } while (0)

namespace {

const QList<QLocale>& locales() {
    // Russian and German swap the separators; Hindi groups in lakhs and Arabic has digits of
    // its own, neither of which the display may take over; French groups with U+202F.
    static const QList<QLocale> list = {QLocale::c(),
                                        QLocale(QLocale::Russian, QLocale::Russia),
                                        QLocale(QLocale::German, QLocale::Germany),
                                        QLocale(QLocale::Hindi, QLocale::India),
                                        QLocale(QLocale::Arabic, QLocale::Egypt),
                                        QLocale(QLocale::French, QLocale::France)};
    return list;
}

quint32 bigEndian32(const quint8* p) {
    return quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | p[3];
}

float floatOf(quint32 pattern) {
    float f;
    std::memcpy(&f, &pattern, sizeof f);
    return f;
}

bool sameFloat(float a, float b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

void checkFormat(double value, bool noInfo, int decimals, const QLocale& locale) {
    const QString text = FormatMeasured(value, noInfo, decimals, locale);
    if (noInfo) {
        REQUIRE(text == QStringLiteral("нет информ."));
        return;
    }
    if (std::isnan(value)) {
        REQUIRE(text == QStringLiteral("NaN"));
        return;
    }
    if (std::isinf(value)) {
        REQUIRE(text == (value > 0 ? QStringLiteral("+∞") : QStringLiteral("-∞")));
        return;
    }
    QStringView rest(text);
    REQUIRE(rest.startsWith(u'-') == (value < 0));
    if (value < 0)
        rest = rest.mid(1);
    const QString point = locale.decimalPoint();
    const QString group = locale.groupSeparator();
    const qsizetype at = rest.lastIndexOf(point);
    REQUIRE(at > 0);
    const QStringView fraction = rest.mid(at + point.size());
    REQUIRE(fraction.size() == decimals);
    // Groups of three from the right, the first of one to three digits.
    const QStringView integer = rest.left(at);
    QString digits;
    qsizetype run = 0;
    bool firstGroup = true;
    for (qsizetype i = 0; i < integer.size();) {
        if (!group.isEmpty() && integer.mid(i).startsWith(group)) {
            REQUIRE(run >= 1 && run <= 3 && (firstGroup || run == 3));
            firstGroup = false;
            run = 0;
            i += group.size();
            continue;
        }
        REQUIRE(integer[i] >= u'0' && integer[i] <= u'9');
        digits += integer[i];
        ++run;
        ++i;
    }
    REQUIRE(run >= 1 && run <= 3 && (firstGroup || run == 3));
    REQUIRE(digits.size() == 1 || digits[0] != u'0');
    for (QChar c : fraction)
        REQUIRE(c >= u'0' && c <= u'9');
    bool ok = false;
    const double shown = (digits + u'.' + fraction.toString()).toDouble(&ok);
    REQUIRE(ok);
    const double magnitude = std::fabs(value);
    REQUIRE(std::fabs(shown - magnitude) <= 0.5 * std::pow(10.0, -decimals) + magnitude * 1e-15);
}

void checkRegisters(const quint8* data, int length) {
    for (int i = 0; 2 * i + 1 < length; ++i)
        REQUIRE(WordAt(data, i) == quint16(data[2 * i] << 8 | data[2 * i + 1]));
    for (int k = 0; 4 * k + 3 < length && k < kParameterCount; ++k) {
        const quint32 pattern = bigEndian32(data + 4 * k);
        const MeasuredFloat m = FloatAt(data, k);
        REQUIRE(m.noInfo == (pattern == 0xFFFFFFFFu));
        if (!m.noInfo)
            REQUIRE(sameFloat(m.value, floatOf(pattern)));
        for (const QLocale& locale : locales())
            checkFormat(double(m.value), m.noInfo, MeasuredDecimals(k), locale);
    }
    if (length >= 8) {
        double d;
        const quint64 bits = quint64(bigEndian32(data)) << 32 | bigEndian32(data + 4);
        std::memcpy(&d, &bits, sizeof d);
        checkFormat(d, false, 3, locales()[1]);
        checkFormat(d, false, 4, locales()[3]);
    }
}

// Digit value and point of a drive byte, or -1 for a byte that is no digit.
int digitOf(quint8 pattern, bool* point) {
    const auto at = std::find(DigitPatterns.begin(), DigitPatterns.end(), pattern);
    if (at == DigitPatterns.end())
        return -1;
    const int code = int(at - DigitPatterns.begin());
    *point = code >= kPointDigitOffset && code < kBlankDigit;
    return code == kBlankDigit ? 0 : code % kPointDigitOffset;
}

void checkIndicator(const quint8* data, int length) {
    if (length >= 6) {
        const float value = floatOf(bigEndian32(data));
        const quint16 exponentWord = quint16(data[4] << 8 | data[5]);
        const IndicatorLine line = RenderLine(value, exponentWord);
        REQUIRE(line.sign == kSignDark || line.sign == kSignMinus);
        if (std::isnan(value))
            REQUIRE(!line.digits && line.sign == kSignDark);
        if (line.digits) {
            int shown = 0;
            int pointAt = -1;
            for (int i = 0; i < kIndicatorDigits; ++i) {
                bool point = false;
                const int d = digitOf((*line.digits)[size_t(i)], &point);
                REQUIRE(d >= 0);
                if (point) {
                    REQUIRE(pointAt < 0);
                    pointAt = i;
                }
                shown = shown * 10 + d;
            }
            // The point stands after the digit the exponent code's remainder names.
            int e = IndicatorExponentCode(exponentWord);
            while (e >= 3)
                e -= 3;
            REQUIRE(pointAt == ((e >= 0 && e < kIndicatorDigits - 1) ? e : -1));
            // The four digits are the value at the line's scale, to the last digit. From
            // exponent code 39 on the scale itself is beyond single precision and every value
            // shows as zero, as on the transducer.
            const int code = IndicatorExponentCode(exponentWord);
            const double scaled = std::fabs(double(value)) /
                                  std::pow(1000.0, code >= 3 ? code / 3 : 0) *
                                  std::pow(10.0, 4 - e);
            if (code < 39)
                REQUIRE(std::fabs(shown * 10.0 - scaled) <= 10.0 + scaled * 1e-5);
            if (value > 0)
                REQUIRE(line.sign == kSignDark);
            if (value < 0 && code < 39 && scaled >= 1.0)
                REQUIRE(line.sign == kSignMinus);
        }
    }
    std::vector<quint8> copy(data, data + length);
    const auto values = DecodeIndicatorValues(copy.data(), length);
    REQUIRE(values.has_value() == (length >= kIndicatorValuesLength));
    if (values) {
        for (int i = 0; i < kIndicatorLineCount; ++i) {
            const MeasuredFloat m = FloatAt(data, i);
            REQUIRE((*values)[size_t(i)].noInfo == m.noInfo);
            REQUIRE(sameFloat((*values)[size_t(i)].value, m.value));
        }
    }
    for (int index : {-1, 0, 3, 18, 25, 28, 29, int(data[0]) - 100}) {
        const QString unit = UnitLabel(index, length >= 2 ? WordAt(data, 0) : 0);
        if (index < 0 || index >= kParameterCount ||
            ParameterCatalogue[size_t(index)].quantity == Quantity::PowerFactor)
            REQUIRE(unit.isEmpty());
        else
            REQUIRE(unit.endsWith(UnitSymbol(index)));
        REQUIRE(ItemText(index).isEmpty() == (index < 0 || index >= kParameterCount));
    }
}

// The first start sequence with a whole packet after it and a right checksum, at most at
// kLastStart.
void checkScan(const std::vector<quint8>& window) {
    using namespace infochannel;
    const int length = int(window.size());
    std::array<quint8, kPacketLength> packet;
    packet.fill(0xA5);
    const ScanResult result = ScanChannelWindow(window.data(), length, packet);
    ScanResult expected = ScanResult::NoPacket;
    int found = -1;
    for (int j = 0; j <= kLastStart && j + kPacketLength <= length; ++j) {
        if (!std::equal(kStartBytes.begin(), kStartBytes.end(), window.begin() + j))
            continue;
        expected = ScanResult::ChecksumError;
        if (ModbusCrc16(window.data() + j, quint16(kPacketLength)) == 0) {
            expected = ScanResult::Packet;
            found = j;
            break;
        }
    }
    REQUIRE(result == expected);
    if (found >= 0)
        REQUIRE(std::equal(packet.begin(), packet.end(), window.begin() + found));
    else
        REQUIRE(std::all_of(packet.begin(), packet.end(), [](quint8 b) { return b == 0; }));
}

void checkChannel(const quint8* data, int length) {
    using namespace infochannel;
    std::vector<quint8> window(data, data + length);
    checkScan(window);
    // Plant a packet with a right checksum where the input says, so the scan finds one.
    if (length >= kPacketLength) {
        const int at = data[0] % (std::min(kLastStart, length - kPacketLength) + 1);
        std::copy(kStartBytes.begin(), kStartBytes.end(), window.begin() + at);
        const quint16 crc = ModbusCrc16(window.data() + at, kPacketLength - 2);
        window[size_t(at + kPacketLength - 2)] = quint8(crc >> 8);
        window[size_t(at + kPacketLength - 1)] = quint8(crc & 0xFF);
        checkScan(window);
    }

    if (length < kBodyLength)
        return;
    std::vector<quint8> body(data, data + kBodyLength);
    const ChannelPacket p = DecodeChannelPacket(body.data());
    REQUIRE(p.status == qint8(body[0]));
    REQUIRE(sameFloat(p.bases.voltage, PatternValue(ChannelPattern(body.data() + 1))));
    REQUIRE(sameFloat(p.bases.current, PatternValue(ChannelPattern(body.data() + 5))));
    for (int k = 0; k < kParameterCount; ++k) {
        const quint8* b = body.data() + 11 + 4 * k;
        REQUIRE(p.patterns[size_t(k)] ==
                (quint32(b[2]) << 24 | quint32(b[3]) << 16 | quint32(b[0]) << 8 | b[1]));
    }
    const QLocale& locale = locales()[data[1] % locales().size()];
    for (int k = -1; k <= kParameterCount; ++k) {
        const quint32 pattern = k >= 0 && k < kParameterCount ? p.patterns[size_t(k)] : 0;
        const QString text = ChannelValueText(k, pattern, p.bases, locale);
        if (k < 0 || k >= kParameterCount)
            REQUIRE(text.isEmpty());
        else if (pattern == kNoValue)
            REQUIRE(text == QString::fromUtf8(kNoValueText));
        else
            REQUIRE(!text.isEmpty());
        ChannelLimitText(k, true, p.bases, locale);
        ChannelLimitText(k, false, p.bases, locale);
        REQUIRE(ChannelValueText(k, kNoValue, p.bases, locale) ==
                (k < 0 || k >= kParameterCount ? QString() : QString::fromUtf8(kNoValueText)));
    }
    REQUIRE(!LimitValueText(p.bases.voltage, locale).isEmpty());
    const QString status = StatusText(p.status);
    REQUIRE(status == (p.status == 0 ? QString::fromUtf8(kStatusNormal)
                                     : QString::fromUtf8(kStatusErrorPrefix) +
                                           QString::number(int(p.status))));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static int argc = 1;
    static char name[] = "fuzz_measured";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const quint8* data, size_t size) {
    if (size == 0 || size > 4096)
        return 0;
    // Exact-size copies, so that a read past the end is caught.
    const std::vector<quint8> bytes(data, data + size);
    const int length = int(size);
    checkRegisters(bytes.data(), length);
    checkIndicator(bytes.data(), length);
    checkChannel(bytes.data(), length);
    return 0;
}
