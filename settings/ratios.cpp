#include "settings/ratios.h"

#include <bit>
#include <cfloat>
#include <cmath>

#include "measure/catalogue.h"

namespace ratios {
namespace {

QStringList fromUtf8(std::span<const char* const> items) {
    QStringList out;
    out.reserve(qsizetype(items.size()));
    for (const char* item : items)
        out << QString::fromUtf8(item);
    return out;
}

bool twoElement(int schemeItem) {
    return schemeItem == kTwoElementItem;
}

constexpr const char* kTwoElementVoltages[] = {"100",   "400",   "6000",   "10000",  "10500",
                                               "15750", "35000", "110000", "220000", "500000"};
constexpr const char* kThreeElementVoltages[] = {"57.74", "230.9", "3464.1", "5774",   "6062",
                                                 "9093",  "20207", "63508",  "127017", "288675"};
// The list the selector is built with; it is not the three-element list ("35000" instead of
// "63508") and ends with an empty item. The first scheme applied replaces it.
constexpr const char* kStartupVoltages[] = {"57.74", "230.9", "3464.1", "5774",   "6062", "9093",
                                            "35000", "20207", "127017", "288675", ""};
constexpr const char* kSecondaryVoltages[] = {"57.74", "100"};
constexpr const char* kCurrents[] = {
    "1",   "5",   "50",   "60",   "75",   "100",  "150",  "200",  "250",  "300",  "400",  "500",
    "600", "750", "1000", "1500", "2000", "2500", "3000", "4000", "5000", "6000", "7500", "10000"};
constexpr const char* kSecondaryCurrents[] = {"1", "5"};

// "400" and "230.9" have no window: a value near them keeps its own digits.
// clang-format off
constexpr SnapWindow kTwoElementWindows[] = {
    {99.8, 100.2, "100"},
    {5988, 6012, "6000"},
    {9980, 10020, "10000"},
    {10479, 10521, "10500"},
    {15718.6, 15781.4, "15750"},
    {34930, 35070, "35000"},
    {109780, 110220, "110000"},
    {219560, 220440, "220000"},
    {499000, 501000, "500000"},
};
constexpr SnapWindow kThreeElementWindows[] = {
    {57.624520000000004, 57.85548, "57.74"},
    {3457.1718, 3471.0281999999997, "3464.1"},
    {5762.6, 5785.4, "5774"},
    {6050, 6074, "6062"},
    {9075, 9111, "9093"},
    {20166.6, 20247.4, "20207"},
    {63381, 63635, "63508"},
    {126763, 127271, "127017"},
    {288097.8, 289252.2, "288675"},
};
// clang-format on

constexpr double kInverseRoot3 = 0.5773502691895849;
constexpr double kRoot3 = 1.732050807569;

// A number written with a point, given the locale's decimal separator.
QString withLocalePoint(QString text, const QLocale& locale) {
    const QString point = locale.decimalPoint();
    if (point != QLatin1String("."))
        text.replace(QLatin1Char('.'), point);
    return text;
}

// Progress, status and pause in the order each reply has them: the status line and the bar do
// not move in step for every value.
// clang-format off
constexpr WriteStep kStart[] = {
    {StepKind::Progress, 0},
    {StepKind::Status, 0, "  Запись схемы подключения"},
    {StepKind::Send, 0, nullptr, RequestCode::SchemeWrite, true},
};
constexpr WriteStep kAfterScheme[] = {
    {StepKind::Status, 0, "  Запись значения напряжения трансформатора напряжения"},
    {StepKind::Progress, 20},
    {StepKind::Pause, 500},
    {StepKind::Send, 0, nullptr, RequestCode::RatedValue1},
};
constexpr WriteStep kAfterValue1[] = {
    {StepKind::Status, 0, "  Запись значения входного напряжения"},
    {StepKind::Progress, 40},
    {StepKind::Pause, 500},
    {StepKind::Send, 0, nullptr, RequestCode::RatedValue2},
};
constexpr WriteStep kAfterValue2[] = {
    {StepKind::Pause, 500},
    {StepKind::Progress, 60},
    {StepKind::Status, 0, "  Запись значения тока трансформатора тока"},
    {StepKind::Send, 0, nullptr, RequestCode::RatedValue3},
};
constexpr WriteStep kAfterValue3[] = {
    {StepKind::Status, 0, "  Запись значение входного тока"},
    {StepKind::Pause, 500},
    {StepKind::Progress, 80},
    {StepKind::Send, 0, nullptr, RequestCode::RatedValue4},
};
constexpr WriteStep kAfterValue4[] = {
    {StepKind::Pause, 500},
    {StepKind::Progress, 99},
    {StepKind::Send, 0, nullptr, RequestCode::RatioStore, true},
};
constexpr WriteStep kAfterStore[] = {
    {StepKind::Progress, 100},
    {StepKind::Pause, 100},
    {StepKind::Finish},
};
// clang-format on

}  // namespace

QStringList SchemeItems() {
    return {QStringLiteral("двух элементная"), QStringLiteral("трех элементная")};
}

int SchemeItemOf(quint16 registerWord) {
    return registerWord != 0 ? kTwoElementItem : kThreeElementItem;
}

quint16 SchemeWordOf(int schemeItem) {
    return twoElement(schemeItem) ? 1 : 0;
}

QStringList VoltageItems(int schemeItem) {
    return twoElement(schemeItem) ? fromUtf8(kTwoElementVoltages) : fromUtf8(kThreeElementVoltages);
}
QStringList StartupVoltageItems() {
    return fromUtf8(kStartupVoltages);
}
QStringList SecondaryVoltageItems() {
    return fromUtf8(kSecondaryVoltages);
}
QStringList CurrentItems() {
    return fromUtf8(kCurrents);
}
QStringList SecondaryCurrentItems() {
    return fromUtf8(kSecondaryCurrents);
}

std::span<const SnapWindow> SnapWindows(int schemeItem) {
    if (twoElement(schemeItem))
        return kTwoElementWindows;
    return kThreeElementWindows;
}

std::optional<float> ParseRatio(const QString& text, const QLocale& locale) {
    QString t = text.trimmed();
    const QString point = locale.decimalPoint();
    if (point != QLatin1String(".") && point != QLatin1String(","))
        t.replace(point, QLatin1String("."));
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    if (t.isEmpty())
        return std::nullopt;
    bool ok = false;
    const double d = QLocale::c().toDouble(t, &ok);
    if (!ok)
        return std::nullopt;
    if (std::isfinite(d) && std::fabs(d) > double(FLT_MAX))
        return std::nullopt;
    return float(d);
}

QString FormatFixed(double value, int decimals, const QLocale& locale) {
    return withLocalePoint(QString::number(value, 'f', decimals), locale);
}

QString FormatGeneral(double value, const QLocale& locale) {
    return withLocalePoint(QString::number(value, 'g', 15), locale);
}

QString Snap(float value, int schemeItem, const QLocale& locale) {
    const double v = value;
    for (const SnapWindow& w : SnapWindows(schemeItem)) {
        if (w.low < v && v < w.high)
            return QString::fromLatin1(w.text);
    }
    return FormatFixed(v, 2, locale);
}

VoltageTexts SnapForScheme(const VoltageTexts& texts, int schemeItem, const QLocale& locale) {
    auto snap = [&](const QString& text) {
        const std::optional<float> v = ParseRatio(text, locale);
        return v ? Snap(*v, schemeItem, locale) : text;
    };
    return {snap(texts.primary), snap(texts.secondary)};
}

VoltageTexts ConvertForScheme(const VoltageTexts& texts, int fromItem, int toItem,
                              const QLocale& locale) {
    if (fromItem == toItem)
        return texts;
    auto convert = [&](const QString& text) {
        const std::optional<float> v = ParseRatio(text, locale);
        if (!v)
            return text;
        if (twoElement(toItem))
            return FormatGeneral(float(double(*v) * kRoot3), locale);
        return Snap(float(double(*v) * kInverseRoot3), kThreeElementItem, locale);
    };
    return {convert(texts.primary), convert(texts.secondary)};
}

std::optional<RatedValues> DecodeRatioBlock(const quint8* data, int length) {
    if (data == nullptr || length < kRatioBlockDataLength)
        return std::nullopt;
    RatedValues values{};
    for (int k = 0; k < 4; ++k)
        values[size_t(k)] = FloatAt(data, k).value;  // the marker decodes as 0
    return values;
}

std::array<QString, 4> RatioTexts(const RatedValues& values, const QLocale& locale) {
    return {
        FormatFixed(double(values[0]) * kPrimaryReadFactor, 2, locale),
        FormatFixed(values[1], 2, locale),
        FormatFixed(double(values[2]) * kPrimaryReadFactor, 0, locale),
        FormatFixed(values[3], 0, locale),
    };
}

std::optional<RatioWritePlan> PlanRatioWrite(int schemeItem, const std::array<QString, 4>& texts,
                                             const QLocale& locale) {
    RatioWritePlan plan;
    plan.schemeWord = SchemeWordOf(schemeItem);
    for (size_t k = 0; k < texts.size(); ++k) {
        const std::optional<float> v = ParseRatio(texts[k], locale);
        if (!v || !std::isfinite(*v) || !(*v > 0.0f))
            return std::nullopt;
        plan.values[k] = *v;
    }
    return plan;
}

std::span<const WriteStep> WriteStart() {
    return kStart;
}

std::span<const WriteStep> WriteStepsAfter(RequestCode replied) {
    switch (replied) {
        case RequestCode::SchemeWrite:
            return kAfterScheme;
        case RequestCode::RatedValue1:
            return kAfterValue1;
        case RequestCode::RatedValue2:
            return kAfterValue2;
        case RequestCode::RatedValue3:
            return kAfterValue3;
        case RequestCode::RatedValue4:
            return kAfterValue4;
        case RequestCode::RatioStore:
            return kAfterStore;
        default:
            return {};
    }
}

RequestRecord WriteRequest(RequestCode code, const RatioWritePlan& plan, int slave,
                           const QObject* sender) {
    RequestRecord r = PreparedRecord(code, sender);
    r.SlaveAddress = quint16(slave);
    switch (code) {
        case RequestCode::SchemeWrite:
            r.WordValue = plan.schemeWord;
            break;
        case RequestCode::RatedValue1:
        case RequestCode::RatedValue2:
        case RequestCode::RatedValue3:
        case RequestCode::RatedValue4:
            r.LongValue = std::bit_cast<quint32>(
                plan.values[size_t(CodeIndex(code) - CodeIndex(RequestCode::RatedValue1))]);
            break;
        case RequestCode::RatioStore:
            r.WordValue = 0;
            break;
        default:
            break;
    }
    return r;
}

}  // namespace ratios
