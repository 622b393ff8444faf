#pragma once
#include <QLocale>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <array>
#include <optional>
#include <span>

#include "link/requestrecord.h"

class QObject;

// The connection scheme and the rated values of the voltage and current transformers: the lists
// of nominal values, the snapping of a typed voltage to its nominal text, the conversion by the
// square root of three when the scheme changes, the decoding of the rated-value block and the
// steps of its write. Nothing here knows a widget.
//
// Texts of numbers: the fixed list items carry a decimal point whatever the regional setting,
// while values the program formats itself carry the locale's decimal separator, so a field may
// hold either. Parsing therefore takes a point or a comma (or the locale's own separator) and
// never a group separator; formatting writes ASCII digits and the locale's separator only.
namespace ratios {

// Items of the scheme selector. Register 528 holds 1 (any non-zero value when read) for the
// two-element scheme and 0 for the three-element one: the reverse of the item order.
constexpr int kTwoElementItem = 0;
constexpr int kThreeElementItem = 1;
constexpr int kStartupSchemeItem = kThreeElementItem;
QStringList SchemeItems();
int SchemeItemOf(quint16 registerWord);
quint16 SchemeWordOf(int schemeItem);

// The voltage list of a scheme, the one the primary voltage selector carries before any scheme
// is applied (it ends with an empty item), and the fixed lists of the other three selectors.
QStringList VoltageItems(int schemeItem);
QStringList StartupVoltageItems();
QStringList SecondaryVoltageItems();
QStringList CurrentItems();
QStringList SecondaryCurrentItems();
inline const char* const kStartupVoltageText = "57.74";
inline const char* const kStartupCurrentText = "5";

// A value strictly between low and high stands for the nominal text. The bounds are compared
// with the single-precision value of the text, so "99.8" (99.80000305...) already lies inside
// the window of "100".
struct SnapWindow {
    double low;
    double high;
    const char* text;
};
std::span<const SnapWindow> SnapWindows(int schemeItem);

// A ratio text as a single-precision number: blanks around it are ignored, a point, a comma or
// the locale's decimal separator is the decimal separator, an exponent is allowed. nullopt for
// anything else and for a value beyond the single-precision range.
std::optional<float> ParseRatio(const QString& text, const QLocale& locale);
// `value` with exactly `decimals` decimals ("0.00", "0"), no group separators.
QString FormatFixed(double value, int decimals, const QLocale& locale);
// `value` as general decimal text of up to 15 significant digits.
QString FormatGeneral(double value, const QLocale& locale);

// The nominal text of the first window of the scheme that holds `value`, or `value` formatted
// with two decimals.
QString Snap(float value, int schemeItem, const QLocale& locale);

// The primary and the secondary voltage texts.
struct VoltageTexts {
    QString primary;
    QString secondary;
    bool operator==(const VoltageTexts&) const = default;
};

// What applying a scheme does to the voltage texts: each text that parses is snapped with the
// scheme's windows; a text that does not parse (an empty field while a read is under way, a
// typing slip) is left as it stands rather than replaced by a made-up number.
VoltageTexts SnapForScheme(const VoltageTexts& texts, int schemeItem, const QLocale& locale);

// The operator's change of scheme, before the new scheme is applied: phase values become line
// values (times the root of three, written out in full, since no window is wanted yet) or line
// values become phase values (divided by it and snapped with the three-element windows). The
// same scheme on both sides, or a text that does not parse, leaves the text as it is.
VoltageTexts ConvertForScheme(const VoltageTexts& texts, int fromItem, int toItem,
                              const QLocale& locale);

// The rated-value block: four single-precision values from register 2048, primary and secondary
// voltage, primary and secondary current. A primary is read back as 1.3 times the value written.
constexpr int kRatioBlockDataLength = 16;
constexpr double kPrimaryReadFactor = 0.7692307692307692;  // 1 / 1.3
using RatedValues = std::array<float, 4>;
// The values as read, the no-information marker as 0; nullopt when `length` is short.
std::optional<RatedValues> DecodeRatioBlock(const quint8* data, int length);
// The four field texts of values as read: primaries divided by 1.3, voltages with two
// decimals, currents with none.
std::array<QString, 4> RatioTexts(const RatedValues& values, const QLocale& locale);

// What a write sends, taken from the fields at the moment of the click.
struct RatioWritePlan {
    quint16 schemeWord = 0;
    RatedValues values{};  // primary and secondary voltage, primary and secondary current
};
// nullopt unless every text is a finite number above zero (a transformer has no rated value of
// zero or less, and the transducer refuses one).
std::optional<RatioWritePlan> PlanRatioWrite(int schemeItem, const std::array<QString, 4>& texts,
                                             const QLocale& locale);

// The write chain as steps: each reply of the chain leads to a list of steps run in order; a
// pause holds the link for `value` ms before the next step.
enum class StepKind { Status, Progress, Pause, Send, Finish };
struct WriteStep {
    StepKind kind;
    int value = 0;                                // progress position, or pause length in ms
    const char* text = nullptr;                   // status text (UTF-8)
    RequestCode code = RequestCode::SchemeWrite;  // what a Send step sends
    bool longTimeout = false;  // the reply of a Send step is awaited 5000 ms instead of 3000
};
// The steps of the click, after the group has been disabled and the progress bar shown.
std::span<const WriteStep> WriteStart();
// The steps that follow the reply to `replied`; empty for a code outside the chain.
std::span<const WriteStep> WriteStepsAfter(RequestCode replied);
// The request a Send step sends, filled from the plan; `slave` goes into the records sent with
// an address of their own (the single-register writes).
RequestRecord WriteRequest(RequestCode code, const RatioWritePlan& plan, int slave,
                           const QObject* sender);

inline const char* const kWrittenMessage = "Информация записана ";

}  // namespace ratios
