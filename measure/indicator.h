#pragma once
#include <QtGlobal>
#include <array>
#include <optional>

#include "measure/catalogue.h"

// The transducer's own three-line LED indicator, without widgets: how a value becomes the
// segment bytes of one line, and the block of the values it shows. The set-up block behind the
// lines (names, units, exponents) is decoded with the main parameters.

constexpr int kIndicatorLineCount = 3;
constexpr int kIndicatorDigits = 4;  // digit positions per line, the sign digit not counted

// Segment bits of a digit's drive byte, in the order the transducer's indicator uses.
namespace segment {
constexpr quint8 A = 0x01;      // top
constexpr quint8 G = 0x02;      // middle
constexpr quint8 D = 0x04;      // bottom
constexpr quint8 F = 0x08;      // upper left
constexpr quint8 B = 0x10;      // upper right
constexpr quint8 E = 0x20;      // lower left
constexpr quint8 C = 0x40;      // lower right
constexpr quint8 Point = 0x80;  // decimal point, right of the digit
}  // namespace segment

// Digit codes: 0-9 plain, 10-19 the same digits followed by the decimal point, 20 blank.
constexpr int kPointDigitOffset = 10;
constexpr int kBlankDigit = 20;
extern const std::array<quint8, 21> DigitPatterns;

// The sign digit shows nothing or a minus (the middle segment).
constexpr quint8 kSignDark = 0x00;
constexpr quint8 kSignMinus = segment::G;

// The exponent code of a line: the low byte of its exponent word, as a signed byte. Its value
// mod 3 is the number of integer digits less one, its whole groups of three the unit prefix.
int IndicatorExponentCode(quint16 exponentWord);

// What one value does to one line. The sign digit always changes; the four digit positions
// change only when the value fits them, otherwise they keep what they showed before.
struct IndicatorLine {
    quint8 sign = kSignDark;
    std::optional<std::array<quint8, kIndicatorDigits>> digits;  // leftmost first
};

// The transducer's own rendering, in single precision with one truncated guard digit rounded
// half up. A value that does not fit four digits at the line's exponent - NaN, infinities and
// values too large to count in an integer included - leaves the digits as they were.
IndicatorLine RenderLine(float value, quint16 exponentWord);

// The three values the indicator lines show (registers 768-773), from a reply's data area;
// nullopt when it is shorter than the block. A line without information decodes as 0 with the
// flag set; the indicator renders the 0 and ignores the flag, as the transducer's own display
// does.
constexpr int kIndicatorValuesLength = 4 * kIndicatorLineCount;
std::optional<std::array<MeasuredFloat, kIndicatorLineCount>> DecodeIndicatorValues(
    const quint8* data, int length);
