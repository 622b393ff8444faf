#include "measure/infochannel.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "link/crc.h"

namespace infochannel {

namespace {

constexpr float kSqrt3 = 1.7321f;
// The channel's voltages are relative to 1.25 times their base.
constexpr float kVoltageSpan = 1.25f;
// An out-of-range marker stands for 1.3 times the base of a voltage or current, and for
// 1.3 × 1.3 times the base of a power (1.3 times the voltage by 1.3 times the current).
constexpr float kRangeFactor = 1.3f;

constexpr int kStatusAt = 0;
constexpr int kVoltageAt = 1;
constexpr int kCurrentAt = 5;
constexpr int kFlagAt = 9;
constexpr int kVersionAt = 10;
constexpr int kValuesAt = 11;

bool isPower(Quantity q) {
    return q == Quantity::ActivePower || q == Quantity::ReactivePower ||
           q == Quantity::ApparentPower;
}

// What the relative value of parameter k is multiplied by; voltages include their span.
float scaleOf(int k, const ChannelBases& b) {
    const ParameterInfo& p = ParameterCatalogue[size_t(k)];
    switch (p.quantity) {
        case Quantity::PhaseVoltage:
            return b.voltage * kVoltageSpan;
        case Quantity::LineVoltage:
            return b.lineVoltage * kVoltageSpan;
        case Quantity::Current:
            return b.current;
        case Quantity::ActivePower:
        case Quantity::ReactivePower:
        case Quantity::ApparentPower:
            return p.scope == Scope::Total ? b.totalPower : b.phasePower;
        case Quantity::Frequency:
            return 10.0f;
        case Quantity::PowerFactor:
            return 1.0f;
    }
    return 1.0f;
}

// "0.000"-style: fixed decimals, no grouping, the locale's decimal separator; a value that
// rounds to zero carries no sign. NaN and infinities as FormatMeasured shows them.
QString fixedText(double value, int decimals, const QLocale& locale) {
    if (std::isnan(value) || std::isinf(value))
        return FormatMeasured(value, false, decimals, locale);
    QString text = QString::number(value, 'f', decimals);
    if (text.startsWith(QLatin1Char('-')) && std::none_of(text.cbegin(), text.cend(), [](QChar c) {
            return c >= QLatin1Char('1') && c <= QLatin1Char('9');
        }))
        text.remove(0, 1);
    const qsizetype point = text.indexOf(QLatin1Char('.'));
    if (point >= 0)
        text.replace(point, 1, locale.decimalPoint());
    return text;
}

}  // namespace

quint32 ChannelPattern(const quint8* bytes) {
    return (quint32(bytes[2]) << 24) | (quint32(bytes[3]) << 16) | (quint32(bytes[0]) << 8) |
           quint32(bytes[1]);
}

float PatternValue(quint32 pattern) {
    float value;
    static_assert(sizeof value == sizeof pattern);
    std::memcpy(&value, &pattern, sizeof value);
    return value;
}

ChannelBases ChannelBases::From(float voltageLimit, float currentLimit, quint8 connectionFlag) {
    ChannelBases b;
    b.voltage = voltageLimit;
    b.current = currentLimit;
    b.phasePower = voltageLimit * currentLimit;
    if (connectionFlag == 0) {
        b.lineVoltage = voltageLimit * kSqrt3;
        b.totalPower = 3.0f * b.phasePower;
    } else {
        b.lineVoltage = voltageLimit;
        b.totalPower = kSqrt3 * b.phasePower;
    }
    return b;
}

ChannelPacket DecodeChannelPacket(const quint8* body) {
    ChannelPacket p;
    p.status = qint8(body[kStatusAt]);
    p.connectionFlag = body[kFlagAt];
    p.version = qint8(body[kVersionAt]);
    p.bases = ChannelBases::From(PatternValue(ChannelPattern(body + kVoltageAt)),
                                 PatternValue(ChannelPattern(body + kCurrentAt)), p.connectionFlag);
    for (int k = 0; k < kParameterCount; ++k)
        p.patterns[size_t(k)] = ChannelPattern(body + kValuesAt + 4 * k);
    return p;
}

float ChannelValue(int k, quint32 pattern, const ChannelBases& bases) {
    if (k < 0 || k >= kParameterCount)
        return 0.0f;
    const float r = PatternValue(pattern);
    const bool frequency = ParameterCatalogue[size_t(k)].quantity == Quantity::Frequency;
    return r * scaleOf(k, bases) + (frequency ? 45.0f : 0.0f);
}

QString ChannelValueText(int k, quint32 pattern, const ChannelBases& bases, const QLocale& locale) {
    if (k < 0 || k >= kParameterCount)
        return {};
    if (pattern == kNoValue)
        return QString::fromUtf8(kNoValueText);
    if (pattern == kAboveRange || pattern == kBelowRange)
        return ChannelLimitText(k, pattern == kAboveRange, bases, locale);
    return FormatMeasured(double(ChannelValue(k, pattern, bases)), false, 3, locale);
}

// Reactive and apparent power share the active power's limit: the same voltage and current
// limits bound all three. A power factor cannot leave -1..1.
QString ChannelLimitText(int k, bool above, const ChannelBases& bases, const QLocale& locale) {
    if (k < 0 || k >= kParameterCount)
        return {};
    const ParameterInfo& p = ParameterCatalogue[size_t(k)];
    if (p.quantity == Quantity::Frequency)
        return above ? QStringLiteral("55.000") : QStringLiteral("45.000");
    float limit = 1.0f;
    if (p.quantity == Quantity::PhaseVoltage)
        limit = kRangeFactor * bases.voltage;
    else if (p.quantity == Quantity::LineVoltage)
        limit = kRangeFactor * bases.lineVoltage;
    else if (p.quantity == Quantity::Current)
        limit = kRangeFactor * bases.current;
    else if (isPower(p.quantity))
        limit = kRangeFactor * kRangeFactor *
                (p.scope == Scope::Total ? bases.totalPower : bases.phasePower);
    return fixedText(double(above ? limit : -limit), 3, locale);
}

QString LimitValueText(float value, const QLocale& locale) {
    return fixedText(double(value), 2, locale);
}

QString StatusText(qint8 status) {
    if (status == 0)
        return QString::fromUtf8(kStatusNormal);
    return QString::fromUtf8(kStatusErrorPrefix) + QString::number(int(status));
}

ScanResult ScanChannelWindow(const quint8* window, int length,
                             std::array<quint8, kPacketLength>& packet) {
    packet.fill(0);
    ScanResult result = ScanResult::NoPacket;
    const int lastStart = std::min(kLastStart, length - kPacketLength);
    for (int j = 0; j <= lastStart; ++j) {
        if (!std::equal(kStartBytes.begin(), kStartBytes.end(), window + j))
            continue;
        if (ModbusCrc16(window + j, quint16(kPacketLength)) == 0) {
            std::copy(window + j, window + j + kPacketLength, packet.begin());
            return ScanResult::Packet;
        }
        result = ScanResult::ChecksumError;
    }
    return result;
}

}  // namespace infochannel
