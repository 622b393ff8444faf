#include "measure/indicator.h"

#include <cmath>

// clang-format off
const std::array<quint8, 21> DigitPatterns = {
    0x7D, 0x50, 0x37, 0x57, 0x5A, 0x4F, 0x6F, 0x51, 0x7F, 0x5F,  // 0-9
    0xFD, 0xD0, 0xB7, 0xD7, 0xDA, 0xCF, 0xEF, 0xD1, 0xFF, 0xDF,  // 0.-9.
    0x00,                                                        // blank
};
// clang-format on

int IndicatorExponentCode(quint16 exponentWord) {
    return qint8(quint8(exponentWord & 0xFF));
}

// Single precision throughout, as the transducer computes: its float rounding decides the guard
// digit, and better arithmetic here would show other last digits than the device does.
IndicatorLine RenderLine(float value, quint16 exponentWord) {
    int e = IndicatorExponentCode(exponentWord);
    float divisor = 1.0f;
    while (e >= 3) {
        e -= 3;
        divisor *= 1000.0f;
    }
    // Afterwards e is the position of the point: 0, 1 or 2. A negative code places no point
    // and only multiplies further.
    const float scaled = value / divisor;
    float multiplier = 1.0f;
    for (int i = 0; i < 4 - e; ++i)
        multiplier *= 10.0f;
    const float t = multiplier * scaled;

    IndicatorLine line;
    // A not-a-number has no sign to show.
    if (std::isnan(t))
        return line;
    const bool negative = !(t >= 0.0f);
    line.sign = negative ? kSignMinus : kSignDark;
    const float magnitude = negative ? -t : t;
    // Four digits and a guard digit end below 100 000, so anything from here on is over the
    // limit; checking before the conversion keeps infinities and huge values out of the integer.
    if (!(magnitude < 1.0e6f))
        return line;

    quint32 n = quint32(magnitude);
    if (n % 10 >= 5)
        n += 10;
    const quint32 shown = n / 10;
    if (shown > 9999)
        return line;

    std::array<int, kIndicatorDigits> codes = {int(shown / 1000), int(shown % 1000 / 100),
                                               int(shown % 100 / 10), int(shown % 10)};
    for (int i = 0; i < kIndicatorDigits - 1; ++i) {
        if (i == e)
            codes[i] += kPointDigitOffset;
    }
    // A zero with the point is not leading: it stays, so 0.230 keeps its first digit.
    for (int& code : codes) {
        if (code != 0)
            break;
        code = kBlankDigit;
    }

    std::array<quint8, kIndicatorDigits> digits{};
    for (int i = 0; i < kIndicatorDigits; ++i)
        digits[i] = DigitPatterns[codes[i]];
    line.digits = digits;
    return line;
}

std::optional<std::array<MeasuredFloat, kIndicatorLineCount>> DecodeIndicatorValues(
    const quint8* data, int length) {
    if (data == nullptr || length < kIndicatorValuesLength)
        return std::nullopt;
    std::array<MeasuredFloat, kIndicatorLineCount> values;
    for (int line = 0; line < kIndicatorLineCount; ++line)
        values[size_t(line)] = FloatAt(data, line);
    return values;
}
