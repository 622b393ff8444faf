#pragma once
#include <QtGlobal>
#include <array>
#include <initializer_list>
#include <optional>

// The remote indicator beside the transducer: three display lines, each showing one
// indicator parameter (the catalogue index, 0 to 28) with an over-limit and an under-limit
// setpoint in percent, and the connection scheme of the whole device. Its settings travel in a
// 65-byte frame of its own, not a Modbus request; the floats in it are IEEE 754 single
// precision, least significant byte first, unlike the transducer's registers.
namespace remoteindicator {

constexpr int kLineCount = 3;
constexpr int kFrameLength = 65;
constexpr int kReadRequestLength = 5;
constexpr int kWriteReplyLength = 6;
// "No selection" for a parameter code or a scheme.
constexpr int kNone = -1;
// The highest parameter code; a code byte above it reads as no selection.
constexpr int kLastCode = 28;

// Item indexes of the scheme selector.
constexpr int kTwoElement = 0;
constexpr int kThreeElement = 1;

// A typed setpoint is held to this before its line's group narrows it further.
constexpr double kTypedLimit = 150.0;

// Byte offsets inside the frame.
constexpr int kLineOffset = 3;  // code byte of line 0
constexpr int kLineStride = 17;
constexpr int kCodeAt = 0;  // from the start of a line
constexpr int kPlusOneAt = 1;
constexpr int kMinusOneAt = 5;
constexpr int kOverAt = 9;
constexpr int kUnderAt = 13;
constexpr int kTrailerOneAt = 54;
constexpr int kTrailerTwoAt = 58;
constexpr int kSchemeAt = 62;
constexpr int kChecksumAt = 63;

constexpr quint32 Codes(std::initializer_list<int> codes) {
    quint32 mask = 0;
    for (int c : codes)
        mask |= 1u << c;
    return mask;
}
constexpr quint32 CodeRange(int first, int last) {
    quint32 mask = 0;
    for (int c = first; c <= last; ++c)
        mask |= 1u << c;
    return mask;
}

// What a line of one parameter group gets when its parameter or the scheme is chosen, and the
// range its setpoints are held to.
struct SetpointRule {
    quint32 codes;  // bit c set for parameter code c
    int defaultOver;
    int defaultUnder;
    int overMax;   // the highest setpoint of the group
    int underMin;  // the lowest setpoint of the group
};

// clang-format off
inline constexpr std::array<SetpointRule, 9> kSetpointRules = {{
    {Codes({0, 1, 2, 26}),  130,    0, 150,    0},  // phase voltages, their average
    {Codes({3, 4, 5, 27}),  120,    0, 130,    0},  // phase currents, their average
    {Codes({6, 7, 8, 28}),  130,    0, 150,    0},  // line voltages, their average
    {CodeRange(9, 17),      120, -120, 130, -130},  // power per phase
    {CodeRange(18, 20),     100, -100, 100, -100},  // power factor per phase
    {Codes({21, 22}),       120, -120, 130, -130},  // total active and reactive power
    {Codes({23}),           120,    0, 130,    0},  // total apparent power
    {Codes({24}),           100, -100, 100, -100},  // total power factor
    {Codes({25}),           100,    0, 100,    0},  // frequency
}};
// clang-format on

// Parameters that need all three phase elements: in the two-element scheme the indicator has
// nothing to compare for them, so their setpoints are blanked and a write holding one of them
// is not allowed.
inline constexpr quint32 kTwoElementBlanked = Codes({0, 1, 2, 26}) | CodeRange(9, 20);

// The rule of `code`, or nullptr for no selection and codes outside 0 to 28.
const SetpointRule* RuleFor(int code);

// True for a code of kTwoElementBlanked.
bool BlankedInTwoElement(int code);

// A setpoint held to its group's range, both setpoints the same range: an over-limit may not
// fall below the group's lowest value, nor an under-limit rise above its highest.
double ClampSetpoint(const SetpointRule& rule, double percent);

// A typed setpoint held to +-kTypedLimit, whatever its line shows.
double ClampTyped(double percent);

// Whether the settings may be written: always in the three-element scheme; otherwise only
// while no line shows a parameter of kTwoElementBlanked (no selection counts as allowed).
bool RemoteSaveAllowed(const std::array<int, kLineCount>& codes, int scheme);

struct Line {
    int code = kNone;
    double overPercent = 0;
    double underPercent = 0;
};

struct Settings {
    std::array<Line, kLineCount> lines;
    int scheme = kThreeElement;
};

// 03 00 F0 and its checksum. `out` holds at least kReadRequestLength bytes.
int BuildReadRequest(quint8* out);

// The write frame of `s`; the setpoints go as fractions (percent x 0.01). A code or scheme of
// kNone goes as 0xFF; callers refuse such a write before they build it.
std::array<quint8, kFrameLength> BuildWriteFrame(const Settings& s);

// The settings in a read reply of at least kFrameLength bytes; nullopt for a shorter one. A
// code byte above kLastCode and a scheme byte other than 0 or 1 read as kNone; the header,
// the constant values and the checksum are not looked at (the link has checked it).
std::optional<Settings> ParseReply(const quint8* reply, int length);

// Single precision, least significant byte first.
void PutFloat(quint8* at, float value);
float GetFloat(const quint8* at);

}  // namespace remoteindicator
