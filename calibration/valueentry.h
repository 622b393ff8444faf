#pragma once
// A number typed by the operator for a calibration write: when its text counts as a number
// under the regional settings, and what it becomes as the single-precision value the
// transducer takes.
#include <QLocale>
#include <QString>

namespace valueentry {

// A write whose value field was left empty.
inline const char* const kNotGiven = "Информация не задана";

// The refusal of a text that is no number, or a number the transducer's single-precision
// registers cannot hold.
QString ConversionError(const QString& text);

// Optional blanks, an optional sign, digits with the locale's decimal separator (digits on at
// least one side of it), an optional exponent, optional blanks. No group separators, no names
// of infinities or NaN: what the operator may type, keystroke by keystroke, and what the
// calibration readings are shown as.
bool IsValidText(const QString& text, const QLocale& locale);

enum class Status { Ok, Empty, NotANumber, OutOfRange };

struct Entry {
    Status status = Status::Empty;
    float value = 0.0f;
};

// The text as the value to write. A number beyond the single-precision range is refused
// rather than written as an infinity; one too small for it becomes 0 or the nearest
// subnormal, as the device's own tools round it.
Entry ParseEntry(const QString& text, const QLocale& locale);

}  // namespace valueentry
