#include "settings/validatededits.h"

#include <limits>

std::optional<qint32> DecimalInteger(const QString& text) {
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    if (i == text.size())
        return std::nullopt;
    qint64 magnitude = 0;
    constexpr qint64 kLimit = qint64(std::numeric_limits<qint32>::max()) + 1;
    for (; i < text.size(); ++i) {
        const QChar c = text[i];
        // Only ASCII digits: other scripts' digits would pass QChar::isDigit.
        if (c < u'0' || c > u'9')
            return std::nullopt;
        magnitude = magnitude * 10 + (c.unicode() - u'0');
        if (magnitude > kLimit)
            return std::nullopt;
    }
    const qint64 value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return qint32(value);
}

QString EditChangedText(const ValidatedEditRule& rule, const QString& text,
                        const QString& prevText) {
    if (text.isEmpty())
        return text;
    std::optional<qint32> value = DecimalInteger(text);
    if (!value)
        return rule.clearOnNotANumber ? QString() : prevText;
    if (rule.maxValue == 0 || quint32(*value) <= rule.maxValue)
        return text;
    // Each shortened text is itself a change and is checked again, until the number fits.
    qint32 v = *value;
    while (quint32(v) > rule.maxValue)
        v /= 10;
    return QString::number(v);
}

QString EditLeftText(const ValidatedEditRule& rule, const QString& text) {
    return DecimalInteger(text) ? text : QString::fromUtf8(rule.exitText);
}
