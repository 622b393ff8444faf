#pragma once
#include <QString>
#include <QtGlobal>
#include <optional>

// The rules of the window's validated number edits. The page that owns an edit applies them at
// three moments: when the operator enters the edit (its text goes into EditPrevText, one slot
// for the whole window), at every change the operator makes, and when the edit is left.
struct ValidatedEditRule {
    // A change to a text that is no number empties the edit instead of restoring the text it
    // had when the operator entered it.
    bool clearOnNotANumber = false;
    // Above this (a negative number counts as its unsigned 32-bit equivalent) the last digit is
    // dropped until the number fits; 0 leaves numbers alone.
    quint32 maxValue = 0;
    // What a text that is no number becomes when the edit is left.
    const char* exitText = "0";
};

// The value of a signed 32-bit decimal integer written with an optional sign and digits only;
// nullopt for anything else, the empty text included.
std::optional<qint32> DecimalInteger(const QString& text);

// The text an edit must show after the operator changed it to `text`; `prevText` is the text it
// had when it was entered.
QString EditChangedText(const ValidatedEditRule& rule, const QString& text,
                        const QString& prevText);

// The text an edit must show after the operator left it with `text`.
QString EditLeftText(const ValidatedEditRule& rule, const QString& text);
