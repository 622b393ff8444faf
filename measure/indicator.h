#pragma once
#include <QString>
#include <QtGlobal>
#include <array>
#include <optional>

#include "measure/catalogue.h"

// The transducer's own three-line LED indicator, without widgets: how a value becomes the
// segment bytes of one line, and the two register blocks behind it.

constexpr int kIndicatorLines = 3;
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

// The three values the indicator lines show (registers 768-773), from a reply's data area of
// 12 bytes. A line without information decodes as 0 with the flag set; the indicator renders
// the 0 and ignores the flag, as the transducer's own display does.
std::array<MeasuredFloat, kIndicatorLines> DecodeIndicatorValues(const quint8* data);

// What the transducer shows on one line, from the set-up block (registers 1024-1029).
struct IndicatorLineSetup {
    int parameter = 0;     // low byte of the parameter word; 29 and above name no parameter
    quint16 exponent = 0;  // the line's exponent word, kept whole
    QString name;          // short name beside the line, empty for no parameter
    QString unit;          // unit label after the line, empty for power factors and no parameter

    bool hasParameter() const { return parameter < kParameterCount; }
};

// The set-up block from a reply's data area of 12 bytes: words 0-2 the parameters of lines 0-2
// (only their low byte counts), words 3-5 their exponents.
std::array<IndicatorLineSetup, kIndicatorLines> DecodeIndicatorSetup(const quint8* data);
