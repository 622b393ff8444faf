#include "measure/catalogue.h"

#include <algorithm>
#include <cmath>
#include <cstring>

// clang-format off
const std::array<ParameterInfo, kParameterCount> ParameterCatalogue = {{
    {"Напряжение  Uan", "Ua", Quantity::PhaseVoltage, Scope::PhaseA, "B", 3},  // 0
    {"Напряжение  Ubn", "Ub", Quantity::PhaseVoltage, Scope::PhaseB, "B", 3},  // 1
    {"Напряжение  Ucn", "Uc", Quantity::PhaseVoltage, Scope::PhaseC, "B", 3},  // 2
    {"Ток  Ia", "Ia", Quantity::Current, Scope::PhaseA, "A", 4},  // 3
    {"Ток  Ib", "Ib", Quantity::Current, Scope::PhaseB, "A", 4},  // 4
    {"Ток  Ic", "Ic", Quantity::Current, Scope::PhaseC, "A", 4},  // 5
    {"Напряжение линейное  Uab", "Uab", Quantity::LineVoltage, Scope::LineAB, "B", 3},  // 6
    {"Напряжение линейное  Ubc", "Ubc", Quantity::LineVoltage, Scope::LineBC, "B", 3},  // 7
    {"Напряжение линейное  Uca", "Uca", Quantity::LineVoltage, Scope::LineCA, "B", 3},  // 8
    {"Мощность активная  Pa", "Pa", Quantity::ActivePower, Scope::PhaseA, "Вт", 3},  // 9
    {"Мощность активная  Pb", "Pb", Quantity::ActivePower, Scope::PhaseB, "Вт", 3},  // 10
    {"Мощность активная  Pc", "Pc", Quantity::ActivePower, Scope::PhaseC, "Вт", 3},  // 11
    {"Мощность реактивная  Qa", "Qa", Quantity::ReactivePower, Scope::PhaseA, "Bap", 3},  // 12
    {"Мощность реактивная  Qb", "Qb", Quantity::ReactivePower, Scope::PhaseB, "Bap", 3},  // 13
    {"Мощность реактивная  Qc", "Qc", Quantity::ReactivePower, Scope::PhaseC, "Bap", 3},  // 14
    {"Мощность полная  Sa", "Sa", Quantity::ApparentPower, Scope::PhaseA, "ВА", 3},  // 15
    {"Мощность полная  Sb", "Sb", Quantity::ApparentPower, Scope::PhaseB, "ВА", 3},  // 16
    {"Мощность полная  Sc", "Sc", Quantity::ApparentPower, Scope::PhaseC, "ВА", 3},  // 17
    {"Коеффициент мощности  Cos Фa", "KPa", Quantity::PowerFactor, Scope::PhaseA, "", 3},  // 18
    {"Коеффициент мощности  Cos Фb", "KPb", Quantity::PowerFactor, Scope::PhaseB, "", 3},  // 19
    {"Коеффициент мощности  Cos Фc", "KPc", Quantity::PowerFactor, Scope::PhaseC, "", 3},  // 20
    {"Мощность активная суммарная  P", "Ps", Quantity::ActivePower, Scope::Total, "Вт", 3},  // 21
    {"Мощность реактивная суммарная  Q", "Qs", Quantity::ReactivePower, Scope::Total, "Bap", 3},  // 22
    {"Мощность полная суммарная  S", "Ss", Quantity::ApparentPower, Scope::Total, "ВА", 3},  // 23
    {"Коеффициент мощности сумм.  Cos Ф", "KPs", Quantity::PowerFactor, Scope::Total, "", 3},  // 24
    {"Частота  F", "F", Quantity::Frequency, Scope::None, "Гц", 3},  // 25
    {"Напряжение среднее  Un", "U", Quantity::PhaseVoltage, Scope::Average, "B", 3},  // 26
    {"Ток средний  I", "I", Quantity::Current, Scope::Average, "A", 4},  // 27
    {"Напряжение линейное среднее U", "UL", Quantity::LineVoltage, Scope::Average, "B", 3},  // 28
}};

const std::array<ConverterChannel, kConverterChannelCount> CurrentConverterChannels = {{
    {"Напряжение  Ua", 0},
    {"Напряжение  Ub", 1},
    {"Напряжение  Uc", 2},
    {"Ток  Ia", 3},
    {"Ток  Ib", 4},
    {"Ток  Ic", 5},
    {"Напряжение линейное  Ua-b", 6},
    {"Напряжение линейное  Ub-c", 7},
    {"Напряжение линейное  Uc-a", 8},
    {"Мощность активная  Pa", 9},
    {"Мощность активная  Pb", 10},
    {"Мощность активная  Pc", 11},
    {"Мощность реактивная  Qa", 12},
    {"Мощность реактивная  Qb", 13},
    {"Мощность реактивная  Qc", 14},
    {"Мощность полная  Sa", 15},
    {"Мощность полная  Sb", 16},
    {"Мощность полная  Sc", 17},
    {"Мощность активная суммарная  P", 21},
    {"Мощность реактивная суммарная  Q", 22},
    {"Мощность полная суммарная  S", 23},
    {"Коеффициент мощности  Cos Fa", 18},
    {"Коеффициент мощности  Cos Fb", 19},
    {"Коеффициент мощности  Cos Fc", 20},
    {"Частота  F", 25},
}};
// clang-format on

namespace {

bool InCatalogue(int index) {
    return index >= 0 && index < kParameterCount;
}

}  // namespace

QString ItemText(int index) {
    return InCatalogue(index) ? QString::fromUtf8(ParameterCatalogue[index].itemText) : QString();
}

QString ShortName(int index) {
    return InCatalogue(index) ? QString::fromUtf8(ParameterCatalogue[index].shortName) : QString();
}

QString UnitSymbol(int index) {
    return InCatalogue(index) ? QString::fromUtf8(ParameterCatalogue[index].unitSymbol) : QString();
}

int MeasuredDecimals(int index) {
    return InCatalogue(index) ? ParameterCatalogue[index].decimals : 3;
}

QStringList ParameterItemTexts() {
    QStringList items;
    items.reserve(kParameterCount);
    for (const ParameterInfo& p : ParameterCatalogue)
        items << QString::fromUtf8(p.itemText);
    return items;
}

QStringList CurrentConverterItemTexts() {
    QStringList items;
    items.reserve(kConverterChannelCount);
    for (const ConverterChannel& c : CurrentConverterChannels) {
        items << QString::fromUtf8(c.itemText);
    }
    return items;
}

quint16 SwapWordBytes(quint16 word) {
    return quint16((word << 8) | (word >> 8));
}

quint16 WordAt(const quint8* data, int i) {
    return quint16((quint16(data[2 * i]) << 8) | data[2 * i + 1]);
}

MeasuredFloat FloatAt(const quint8* data, int k) {
    const quint32 pattern = (quint32(WordAt(data, 2 * k)) << 16) | WordAt(data, 2 * k + 1);
    if (pattern == 0xFFFFFFFFu)
        return {0.0f, true};
    float value;
    static_assert(sizeof value == sizeof pattern);
    std::memcpy(&value, &pattern, sizeof value);
    return {value, false};
}

// The digits are always ASCII and the minus sign a plain "-", as the display picture has them;
// only the two separators come from the locale. The group separator is kept as
// the locale gives it: for Russian that is U+00A0, the no-break space, which is also what the
// Russian regional settings of the desktop use, looks like a blank to the operator and keeps a
// number from wrapping. Groups are always of three digits, whatever grouping the locale itself
// prefers (Indian lakh grouping, no grouping of four-digit numbers), because the display
// picture says so.
//
// NaN and infinities cannot come as a measurement, but the transducer may send any pattern;
// they are shown as "NaN", "+∞" and "-∞", the same under every locale, so that the operator
// sees a broken value rather than a plausible number.
QString FormatMeasured(double value, bool noInfo, int decimals, const QLocale& locale) {
    if (noInfo)
        return QStringLiteral("нет информ.");
    if (std::isnan(value))
        return QStringLiteral("NaN");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("+∞") : QStringLiteral("-∞");

    // The sign follows the value, not its rounded digits: a small negative reading stays
    // "-0,000", so the operator sees which side of zero it is on. A zero with its sign bit set
    // is no negative value.
    const bool negative = value < 0;
    QString fixed = QString::number(std::fabs(value), 'f', decimals);

    const qsizetype point = fixed.indexOf(QLatin1Char('.'));
    const QString integer = point < 0 ? fixed : fixed.left(point);
    const QString group = locale.groupSeparator();

    QString text;
    text.reserve(fixed.size() + fixed.size() / 3 * group.size() + 2);
    if (negative)
        text += QLatin1Char('-');
    for (qsizetype i = 0; i < integer.size(); ++i) {
        if (i > 0 && (integer.size() - i) % 3 == 0)
            text += group;
        text += integer[i];
    }
    if (point >= 0) {
        text += locale.decimalPoint();
        text += QStringView(fixed).mid(point + 1);
    }
    return text;
}

QString PadTo2(const QString& text) {
    return text.size() >= 2 ? text : QLatin1Char('0') + text;
}

QString UnitLabel(int index, quint16 exponent) {
    if (!InCatalogue(index))
        return {};
    const ParameterInfo& p = ParameterCatalogue[index];
    if (p.quantity == Quantity::PowerFactor)
        return {};
    // The device has no prefix beyond giga; a larger exponent leaves the bare unit.
    static const char* const prefixes[] = {"", "к", "М", "Г"};
    const int groups = exponent / 3;
    const char* prefix = groups < 4 ? prefixes[groups] : "";
    return QString::fromUtf8(prefix) + QString::fromUtf8(p.unitSymbol);
}

RequestRecord ReadMeasuredBlock(int slave) {
    RequestRecord r = PreparedRecord(RequestCode::MeasuredBlock);
    r.SlaveAddress = quint16(slave);
    return r;
}
