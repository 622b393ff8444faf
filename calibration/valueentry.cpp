#include "calibration/valueentry.h"

#include <QRegularExpression>
#include <charconv>
#include <cmath>
#include <limits>

namespace valueentry {

QString ConversionError(const QString& text) {
    return QStringLiteral("«%1» не является допустимым числом с плавающей точкой.").arg(text);
}

namespace {

// The pattern for one decimal separator; built per call as the separator is the locale's.
QRegularExpression numberPattern(const QString& separator) {
    const QString sep = QRegularExpression::escape(separator);
    return QRegularExpression(
        QStringLiteral("^\\s*[+-]?(?:[0-9]+(?:%1[0-9]*)?|%1[0-9]+)(?:[eE][+-]?[0-9]+)?\\s*$")
            .arg(sep));
}

QString separatorOf(const QLocale& locale) {
    const QString s = locale.decimalPoint();
    return s.isEmpty() ? QStringLiteral(".") : s;
}

}  // namespace

bool IsValidText(const QString& text, const QLocale& locale) {
    return numberPattern(separatorOf(locale)).match(text).hasMatch();
}

Entry ParseEntry(const QString& text, const QLocale& locale) {
    if (text.trimmed().isEmpty())
        return {Status::Empty, 0.0f};
    const QString separator = separatorOf(locale);
    if (!numberPattern(separator).match(text).hasMatch())
        return {Status::NotANumber, 0.0f};
    // The pattern has admitted nothing but digits, one separator, a sign and an exponent, so
    // the same text with a point reads as exactly the typed number. from_chars depends on no
    // process locale (the toolkit sets LC_NUMERIC from the environment) and takes no '+'.
    QString c = text.trimmed();
    if (separator != QLatin1String("."))
        c.replace(separator, QStringLiteral("."));
    if (c.startsWith(QLatin1Char('+')))
        c.remove(0, 1);
    const QByteArray bytes = c.toLatin1();
    double d = 0.0;
    const auto [end, error] =
        std::from_chars(bytes.constData(), bytes.constData() + bytes.size(), d);
    if (error == std::errc::result_out_of_range) {
        // Too large for a double, or too small: the toolkit's conversion tells which (an
        // infinity for an overflow, 0 for an underflow).
        if (std::isinf(QLocale::c().toDouble(c)))
            return {Status::OutOfRange, 0.0f};
        d = 0.0;
    } else if (error != std::errc() || end != bytes.constData() + bytes.size()) {
        return {Status::NotANumber, 0.0f};
    }
    if (!std::isfinite(d) || std::fabs(d) > double(std::numeric_limits<float>::max()))
        return {Status::OutOfRange, 0.0f};
    return {Status::Ok, float(d)};
}

}  // namespace valueentry
