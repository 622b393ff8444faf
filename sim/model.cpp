#include "sim/model.h"

#include <QDateTime>
#include <bit>
#include <cmath>
#include <limits>
#include <numbers>

#include "link/crc.h"
#include "sim/network.h"

namespace sim {

namespace {

// Primary transformer values are read back as 1.3 times the value written: the device keeps
// the top of its measuring range, 30 % above the rated value.
constexpr float kRangeFactor = 1.3f;
constexpr float kSqrt3 = 1.7321f;

// Rated primary values until others are written; the network's 230 V phases sit at them.
constexpr float kDefaultRatedVoltage = 230.9f;
constexpr float kDefaultRatedCurrent = 5.0f;
constexpr double kNetworkCurrent = kDefaultRatedCurrent * kDefaultLoadPercent / 100;

constexpr quint16 kProgramVersion = 21;
constexpr quint16 kFirstYear = 2000;  // the clock keeps two-digit years
constexpr quint16 kLastYear = 2099;

quint32 bitsOf(float v) {
    return std::bit_cast<quint32>(v);
}
float floatOf(quint32 bits) {
    return std::bit_cast<float>(bits);
}
float floatOfWords(const quint16* w) {
    return floatOf(quint32(w[0]) << 16 | w[1]);
}

// A typical value of each quantity in the unscaled network: 230/400 V, 2.8 A, lagging 0.9.
double typicalValue(Quantity q) {
    switch (q) {
        case Quantity::PhaseVoltage:
            return 230;
        case Quantity::LineVoltage:
            return 400;
        case Quantity::Current:
            return kNetworkCurrent;
        case Quantity::PhasePower:
            return 590;
        case Quantity::TotalPower:
            return 1770;
        case Quantity::Frequency:
            return 50;
        case Quantity::PowerFactor:
            break;
    }
    return 0.9;
}

// The nominal output current at a correction point (1 upper limit, 2 middle, 3 lower) for a
// hardware variant (0 for -5..+5 mA, otherwise 4..20 mA).
double nominalOutput(int point, quint16 variant) {
    static constexpr double kBipolar[3] = {5, 0, -5};
    static constexpr double kLoop[3] = {20, 12, 4};
    return variant == 0 ? kBipolar[point - 1] : kLoop[point - 1];
}

bool isStepCode(quint16 v) {
    return v <= 5 || (v >= 10 && v <= 12) || (v >= 20 && v <= 22);
}

void putLsbFloat(QByteArray& b, int at, float v) {
    const quint32 bits = bitsOf(v);
    for (int i = 0; i < 4; ++i)
        b[at + i] = char(bits >> (8 * i));
}
float lsbFloat(const QByteArray& b, int at) {
    quint32 bits = 0;
    for (int i = 0; i < 4; ++i)
        bits |= quint32(quint8(b[at + i])) << (8 * i);
    return floatOf(bits);
}

// The channel carries the low 16-bit half first, each half most significant byte first.
void putChannelPattern(QByteArray& b, int at, quint32 bits) {
    b[at] = char(bits >> 8);
    b[at + 1] = char(bits);
    b[at + 2] = char(bits >> 24);
    b[at + 3] = char(bits >> 16);
}

void appendChecksum(QByteArray& b) {
    const quint16 crc =
        ModbusCrc16(reinterpret_cast<const quint8*>(b.constData()), quint16(b.size()));
    b.append(char(crc >> 8));
    b.append(char(crc & 0xFF));
}

// What the information channel measures a value against, from the rated values.
struct ChannelBases {
    float voltage, current, lineVoltage, phasePower, totalPower;
};

// The channel's pattern for parameter k: the value relative to its base, or a marker. The
// out-of-range markers stand for the limits the monitor shows for them (1.3 times the rated
// voltage or current, 1.69 times the rated active power, 45 and 55 Hz); reactive and apparent
// power and the power factors have no such limit.
quint32 channelValue(int k, quint32 measured, const ChannelBases& b) {
    if (measured == kNoInformation)
        return kNoInformation;
    const Parameter& parameter = kParameters[size_t(k)];
    float base = 1;
    float offset = 0;
    float high = 0;  // relative limits; equal means none
    float low = 0;
    switch (parameter.quantity) {
        case Quantity::PhaseVoltage:
        case Quantity::LineVoltage:
            // Voltages travel relative to 1.25 times their base, so the limit of 1.3 times the
            // base is 1.3 / 1.25 in the channel's units.
            base =
                1.25f * (parameter.quantity == Quantity::PhaseVoltage ? b.voltage : b.lineVoltage);
            high = 1.3f / 1.25f;
            low = -high;
            break;
        case Quantity::Current:
            base = b.current;
            high = 1.3f;
            low = -high;
            break;
        case Quantity::PhasePower:
        case Quantity::TotalPower:
            base = parameter.quantity == Quantity::PhasePower ? b.phasePower : b.totalPower;
            if (parameter.activePower) {
                high = 1.69f;
                low = -high;
            }
            break;
        case Quantity::Frequency:
            base = 10;
            offset = 45;
            high = 1;
            break;
        case Quantity::PowerFactor:
            break;
    }
    const float r = (floatOf(measured) - offset) / base;
    if (!(base > 0) || !std::isfinite(r))
        return kNoInformation;
    if (high != low && r > high)
        return kAboveRange;
    if (high != low && r < low)
        return kBelowRange;
    return bitsOf(r);
}

QByteArray defaultRemoteIndicator() {
    // Lines showing Ua, Ia and Pa with their default setpoints, three-element scheme.
    struct Line {
        quint8 code;
        float over, under;
    };
    constexpr Line kLines[3] = {{0, 1.3f, 0.0f}, {3, 1.2f, 0.0f}, {9, 1.2f, -1.2f}};
    QByteArray f(kRemoteFrameLength - 2, '\0');
    f[0] = char(0x03);
    f[1] = char(0x00);
    f[2] = char(0xE0);
    for (int i = 0; i < 3; ++i) {
        f[3 + 17 * i] = char(kLines[i].code);
        putLsbFloat(f, 4 + 17 * i, 1.0f);
        putLsbFloat(f, 8 + 17 * i, -1.0f);
        putLsbFloat(f, 12 + 17 * i, kLines[i].over);
        putLsbFloat(f, 16 + 17 * i, kLines[i].under);
    }
    putLsbFloat(f, 54, 1.0f);
    putLsbFloat(f, 58, 1.0f);
    f[62] = 1;
    appendChecksum(f);
    return f;
}

QString describeStep(quint16 code) {
    const int n = code % 10 + 1;
    if (code >= 20)
        return QStringLiteral("output %1 x100").arg(n);
    if (code >= 10)
        return QStringLiteral("output %1 x10").arg(n);
    return QStringLiteral("output %1 x1").arg(code < 3 ? code + 1 : code - 2);
}

}  // namespace

int SpeedCode(int baud) {
    for (size_t i = 0; i < kSpeeds.size(); ++i) {
        if (kSpeeds[i] == baud)
            return int(i);
    }
    return -1;
}

DeviceModel::DeviceModel(const DeviceSetup& setup, qint64 startMs)
    : noInformation_(setup.noInformation),
      seed_(setup.seed),
      startMs_(startMs),
      nowMs_(startMs),
      main_{kProgramVersion,
            kParameterCount,
            setup.address,
            0,     // brightest
            1234,  // serial number
            2010,  // year of manufacture
            quint16(setup.speedCode),
            quint16(setup.parity),
            0,   // three-element scheme
            1},  // Tervex current outputs (4..20 mA)
      ratios_{kDefaultRatedVoltage * kRangeFactor, kDefaultRatedVoltage,
              kDefaultRatedCurrent * kRangeFactor, kDefaultRatedCurrent},
      dropCorrectionAfter_(setup.dropCorrectionAfter),
      levelPercent_(setup.levelPercent),
      loadPercent_(setup.loadPercent),
      dipPercent_(setup.dipPercent),
      infoBelow_(setup.infoBelow),
      infoAbove_(setup.infoAbove),
      remote_(defaultRemoteIndicator()) {}

void DeviceModel::setTime(qint64 msSinceEpoch) {
    nowMs_ = msSinceEpoch;
}

void DeviceModel::report(const QString& text) const {
    if (events_)
        events_(text);
}

void DeviceModel::leaveCorrectionMode(const QString& why) {
    if (!correctionPoint_)
        return;
    correctionPoint_ = 0;
    report(QStringLiteral("current-output correction mode off, %1").arg(why));
}

void DeviceModel::setDipped(bool dipped) {
    if (dipped == dipped_)
        return;
    dipped_ = dipped;
    report(dipped ? QStringLiteral("voltages and currents dip to %1 %").arg(dipPercent_)
                  : QStringLiteral("voltages and currents back from the dip"));
}

double DeviceModel::outputCurrent(int n) const {
    if (!correctionPoint_ || n < 0 || n > 2)
        return std::numeric_limits<double>::quiet_NaN();
    return nominalOutput(correctionPoint_, main_[9]) +
           outputSteps_[size_t(correctionPoint_ - 1)][size_t(n)] * 0.001;
}

// The readings follow the rated primary values: the device reports what the primary side
// carries. In the three-element scheme the rated voltage is a phase voltage, in the
// two-element scheme a line voltage.
double DeviceModel::voltageScale(bool withDip) const {
    const double rated = double(ratios_[0] / kRangeFactor);
    const double network =
        twoElement() ? kDefaultRatedVoltage * std::numbers::sqrt3 : kDefaultRatedVoltage;
    return levelPercent_ / 100 * rated / network * (withDip && dipped_ ? dipPercent_ / 100 : 1);
}

double DeviceModel::currentScale(bool withDip) const {
    const double rated = double(ratios_[2] / kRangeFactor);
    return loadPercent_ / 100 * rated / kNetworkCurrent *
           (withDip && dipped_ ? dipPercent_ / 100 : 1);
}

// Decimal exponent the indicator uses for a parameter: the integer digits its values need up
// to the top of the measuring range, 1.3 times the operating point. It follows the rated
// values and the level, not a passing dip.
quint16 DeviceModel::indicatorExponent(int code) const {
    const Quantity q = kParameters[size_t(code)].quantity;
    double top = typicalValue(q) * double(kRangeFactor);
    if (q == Quantity::PhaseVoltage || q == Quantity::LineVoltage || q == Quantity::PhasePower ||
        q == Quantity::TotalPower)
        top *= voltageScale(false);
    if (q == Quantity::Current || q == Quantity::PhasePower || q == Quantity::TotalPower)
        top *= currentScale(false);
    return top >= 10 ? quint16(std::floor(std::log10(top))) : 0;
}

std::array<quint32, kParameterCount> DeviceModel::measuredPatterns() const {
    const std::array<float, kParameterCount> v =
        ScaleNetwork(NetworkAt(double(nowMs_ - startMs_) / 1000.0, seed_), voltageScale(true),
                     currentScale(true));
    std::array<quint32, kParameterCount> bits{};
    for (int k = 0; k < kParameterCount; ++k) {
        // Wired in two elements the device sees no phase-to-neutral voltage, so it has nothing
        // to say about the per-phase quantities.
        const bool none =
            noInformation_[size_t(k)] || (twoElement() && kParameters[size_t(k)].phaseElement);
        bits[size_t(k)] = none ? kNoInformation : bitsOf(v[size_t(k)]);
    }
    return bits;
}

DeviceModel::ClockFields DeviceModel::clockNow() const {
    const QDateTime t = QDateTime::fromMSecsSinceEpoch(nowMs_ + clockOffsetMs_);
    return {t.time().second(), t.time().minute(), t.time().hour(),
            t.date().day(),    t.date().month(),  t.date().year()};
}

bool DeviceModel::readWord(quint16 r, const std::array<quint32, kParameterCount>& measured,
                           quint16& out) const {
    auto half = [&out](quint32 bits, int second) {
        out = quint16(second ? bits & 0xFFFF : bits >> 16);
        return true;
    };
    if (r < reg::kMeasured + 2 * kParameterCount)
        return half(measured[r / 2], r % 2);
    if (r >= reg::kMain && r < reg::kMain + 10) {
        out = main_[r - reg::kMain];
        return true;
    }
    switch (r) {
        case reg::kScheme:
            out = main_[8];
            return true;
        case reg::kVariant:
        case reg::kHardwareVariant:
            out = main_[9];
            return true;
        case reg::kOutputMode:
            // Low byte 7 says the current-output correction mode is on; the high byte tells the
            // point.
            out = correctionPoint_ ? quint16(correctionPoint_ << 8 | 7) : 0;
            return true;
        default:
            break;
    }
    if (r >= reg::kIndicatorValues && r < reg::kIndicatorValues + 6) {
        const int line = (r - reg::kIndicatorValues) / 2;
        return half(measured[indicatorCodes_[size_t(line)]], r % 2);
    }
    if (r >= reg::kIndicatorSetup && r < reg::kIndicatorSetup + 6) {
        const int w = r - reg::kIndicatorSetup;
        out =
            w < 3 ? indicatorCodes_[size_t(w)] : indicatorExponent(indicatorCodes_[size_t(w - 3)]);
        return true;
    }
    if (r >= reg::kRatios && r < reg::kRatios + 8)
        return half(bitsOf(ratios_[size_t((r - reg::kRatios) / 2)]), r % 2);
    if (r >= reg::kClock && r < reg::kClock + 7) {
        const ClockFields c = clockNow();
        const int fields[6] = {c.second, c.minute, c.hour, c.day, c.month, c.year};
        const int w = r - reg::kClock;
        out = quint16(w < 6 ? fields[w] : QDate(c.year, c.month, c.day).dayOfWeek());
        return true;
    }
    return false;
}

quint8 DeviceModel::read(quint16 start, quint16 count, quint16* out) {
    if (count < 1 || count > 125)
        return kIllegalValue;
    if (int(start) + count > 0x10000)
        return kIllegalAddress;
    const std::array<quint32, kParameterCount> measured = measuredPatterns();
    for (int i = 0; i < count; ++i) {
        if (!readWord(quint16(start + i), measured, out[i]))
            return kIllegalAddress;
    }
    const bool modeWordRead = start <= reg::kOutputMode && start + count > reg::kOutputMode;
    if (modeWordRead && correctionPoint_ && dropCorrectionAfter_ > 0 &&
        ++modeReads_ >= dropCorrectionAfter_)
        leaveCorrectionMode(QStringLiteral("after %1 reads of the mode word").arg(modeReads_));
    return kNoException;
}

int DeviceModel::fieldWidth(quint16 r) {
    if (r >= reg::kLogicalNumber && r <= reg::kVariant)
        return r % 2 == 0 ? 1 : 0;
    if ((r >= reg::kPowerTrimUp && r <= reg::kOutputStepDown) || r == reg::kCorrectionMode ||
        r == reg::kStore)
        return 1;
    if (r >= reg::kIndicatorSetup && r < reg::kIndicatorSetup + 3)
        return 1;
    if (r >= reg::kClock && r < reg::kClock + 6)
        return 1;
    if (r >= reg::kReferences && r < reg::kReferences + 36)
        return (r - reg::kReferences) % 4 == 0 ? 2 : 0;
    if (r >= reg::kOutputValues && r < reg::kOutputValues + 36)
        return (r - reg::kOutputValues) % 4 == 0 ? 2 : 0;
    if (r >= reg::kRatios && r < reg::kRatios + 16)
        return (r - reg::kRatios) % 4 == 0 ? 2 : 0;
    return 0;
}

quint8 DeviceModel::checkField(quint16 r, const quint16* w) const {
    auto within = [](int v, int lo, int hi) {
        return v >= lo && v <= hi ? kNoException : kIllegalValue;
    };
    if (fieldWidth(r) == 2) {
        const float v = floatOfWords(w);
        if (!std::isfinite(v))
            return kIllegalValue;
        // A transformer cannot have a rated value of zero or less.
        return r >= reg::kRatios && v <= 0 ? kIllegalValue : kNoException;
    }
    const int v = w[0];
    switch (r) {
        case reg::kLogicalNumber:
            return within(v, 1, 247);
        case reg::kBrightness:
            return within(v, 0, 2);
        case reg::kSerialNumber:
            return kNoException;
        case reg::kYear:
            return within(v, 1990, kLastYear);
        case reg::kSpeed:
            return within(v, 0, int(kSpeeds.size()) - 1);
        case reg::kParity:
            return within(v, 0, 2);
        case reg::kScheme:
        case reg::kVariant:
            return within(v, 0, 1);
        case reg::kPowerTrimUp:
        case reg::kPowerTrimDown:
            return within(v, 0, 5);
        case reg::kOutputStepUp:
        case reg::kOutputStepDown:
            return isStepCode(w[0]) ? kNoException : kIllegalValue;
        case reg::kCorrectionMode:
            return within(v, 0, 3);
        case reg::kStore:
            return within(v, 0, 0);
        default:
            break;
    }
    if (r >= reg::kIndicatorSetup && r < reg::kIndicatorSetup + 3)
        return within(v, 0, kParameterCount - 1);
    return kNoException;  // clock fields are checked together, as one date and time
}

void DeviceModel::applyField(quint16 r, const quint16* w) {
    const quint16 v = w[0];
    if (fieldWidth(r) == 2) {
        const float f = floatOfWords(w);
        if (r >= reg::kRatios) {
            static const char* const kNames[4] = {
                "voltage transformer primary", "voltage transformer secondary",
                "current transformer primary", "current transformer secondary"};
            const int k = (r - reg::kRatios) / 4;
            ratios_[size_t(k)] = k % 2 == 0 ? f * kRangeFactor : f;
            report(QStringLiteral("%1 set to %2").arg(QLatin1String(kNames[k])).arg(double(f)));
        } else if (r >= reg::kOutputValues) {
            const int at = (r - reg::kOutputValues) / 4;
            report(QStringLiteral("current output %1, limit %2: measured %3")
                       .arg(at % 3 + 1)
                       .arg(at / 3)
                       .arg(double(f)));
        } else {
            report(QStringLiteral("metrology reference %1 = %2")
                       .arg((r - reg::kReferences) / 4)
                       .arg(double(f)));
        }
        return;
    }
    switch (r) {
        case reg::kLogicalNumber:
            report(QStringLiteral("logical number %1 -> %2").arg(main_[2]).arg(v));
            main_[2] = v;
            return;
        case reg::kSpeed:
            report(QStringLiteral("speed %1 -> %2 baud").arg(baud()).arg(kSpeeds[v]));
            main_[6] = v;
            return;
        case reg::kParity:
            report(QStringLiteral("parity code %1 -> %2").arg(main_[7]).arg(v));
            main_[7] = v;
            return;
        case reg::kPowerTrimUp:
        case reg::kPowerTrimDown:
            report(QStringLiteral("power trim %1, phase %2, %3 step")
                       .arg(r == reg::kPowerTrimUp ? "up" : "down")
                       .arg(QChar('A' + v % 3))
                       .arg(v >= 3 ? "wide" : "narrow"));
            return;
        case reg::kOutputStepUp:
        case reg::kOutputStepDown:
            step(v, r == reg::kOutputStepUp);
            return;
        case reg::kCorrectionMode:
            correctionPoint_ = v;
            modeReads_ = 0;
            report(v ? QStringLiteral("current-output correction mode on, point %1").arg(v)
                     : QStringLiteral("current-output correction mode off"));
            return;
        case reg::kStore:
            report(QStringLiteral("settings and calibration stored"));
            return;
        default:
            break;
    }
    if (r >= reg::kLogicalNumber && r <= reg::kVariant) {
        main_[size_t((r - reg::kMain) / 2)] = v;
        report(QStringLiteral("register %1 := %2").arg(r).arg(v));
    } else if (r >= reg::kIndicatorSetup && r < reg::kIndicatorSetup + 3) {
        indicatorCodes_[size_t(r - reg::kIndicatorSetup)] = quint8(v);
        report(QStringLiteral("indicator line %1 shows %2")
                   .arg(r - reg::kIndicatorSetup + 1)
                   .arg(QLatin1String(kParameters[v].shortName.data(),
                                      qsizetype(kParameters[v].shortName.size()))));
    }
}

void DeviceModel::step(quint16 code, bool up) {
    const QString what =
        QStringLiteral("%1 step %2").arg(describeStep(code)).arg(up ? "up" : "down");
    if (!correctionPoint_) {
        report(what + QStringLiteral(", outside the correction mode: no effect"));
        return;
    }
    const int n = code < 10 ? code % 3 : code % 10;
    const int units = code >= 20 ? 100 : code >= 10 ? 10 : 1;
    outputSteps_[size_t(correctionPoint_ - 1)][size_t(n)] += up ? units : -units;
    report(what +
           QStringLiteral(": output %1 now %2 mA").arg(n + 1).arg(outputCurrent(n), 0, 'f', 3));
}

quint8 DeviceModel::writeSingle(quint16 r, quint16 value) {
    return writeMultiple(r, &value, 1);
}

quint8 DeviceModel::writeMultiple(quint16 start, const quint16* words, quint16 count) {
    if (count < 1 || count > 123)
        return kIllegalValue;
    if (int(start) + count > 0x10000)
        return kIllegalAddress;
    // Every register must be writable and no float may be cut in half before any value is
    // looked at: a wrong address outranks a wrong value, as in Modbus.
    for (int i = 0; i < count;) {
        const int width = fieldWidth(quint16(start + i));
        if (width == 0 || i + width > count)
            return kIllegalAddress;
        i += width;
    }
    ClockFields clock = clockNow();
    bool clockWritten = false;
    for (int i = 0; i < count;) {
        const quint16 r = quint16(start + i);
        if (const quint8 e = checkField(r, words + i))
            return e;
        if (r >= reg::kClock && r < reg::kClock + 6) {
            int* const fields[6] = {&clock.second, &clock.minute, &clock.hour,
                                    &clock.day,    &clock.month,  &clock.year};
            *fields[r - reg::kClock] = words[i];
            clockWritten = true;
        }
        i += fieldWidth(r);
    }
    const QDateTime newClock(QDate(clock.year, clock.month, clock.day),
                             QTime(clock.hour, clock.minute, clock.second));
    if (clockWritten) {
        // QDateTime takes an invalid time for midnight, so the time is checked on its own.
        if (clock.year < kFirstYear || clock.year > kLastYear ||
            !QTime::isValid(clock.hour, clock.minute, clock.second) || !newClock.isValid())
            return kIllegalValue;
    }

    for (int i = 0; i < count;) {
        const quint16 r = quint16(start + i);
        if (r < reg::kClock || r >= reg::kClock + 6)
            applyField(r, words + i);
        i += fieldWidth(r);
    }
    if (clockWritten) {
        clockOffsetMs_ = newClock.toMSecsSinceEpoch() - nowMs_;
        report(QStringLiteral("clock set to %1").arg(newClock.toString(Qt::ISODate)));
    }
    return kNoException;
}

QByteArray DeviceModel::remoteIndicatorFrame() const {
    return remote_;
}

void DeviceModel::storeRemoteIndicator(const QByteArray& frame) {
    if (frame.size() != kRemoteFrameLength)
        return;
    remote_ = frame;
    QStringList lines;
    for (int i = 0; i < 3; ++i) {
        lines << QStringLiteral("%1 (%2 .. %3)")
                     .arg(quint8(frame[3 + 17 * i]))
                     .arg(double(lsbFloat(frame, 16 + 17 * i)))
                     .arg(double(lsbFloat(frame, 12 + 17 * i)));
    }
    report(QStringLiteral("remote indicator set: lines %1, scheme %2")
               .arg(lines.join(QStringLiteral(", ")))
               .arg(quint8(frame[62])));
}

QByteArray DeviceModel::infoPacket(qint8 status) const {
    const std::array<quint32, kParameterCount> measured = measuredPatterns();
    const bool two = twoElement();
    ChannelBases b;
    b.voltage = ratios_[0] / kRangeFactor;
    b.current = ratios_[2] / kRangeFactor;
    b.phasePower = b.voltage * b.current;
    b.lineVoltage = two ? b.voltage : b.voltage * kSqrt3;
    b.totalPower = two ? kSqrt3 * b.phasePower : 3 * b.phasePower;

    QByteArray p(kInfoPacketLength - 2, '\0');
    const quint8 head[5] = {0x55, 0xAA, 0x01, 0x80, quint8(kInfoPacketLength)};
    for (int i = 0; i < 5; ++i)
        p[i] = char(head[i]);
    p[5] = char(status);
    putChannelPattern(p, 6, bitsOf(b.voltage));
    putChannelPattern(p, 10, bitsOf(b.current));
    p[14] = char(two ? 1 : 0);
    p[15] = char(kProgramVersion);
    for (int k = 0; k < kParameterCount; ++k) {
        quint32 pattern = channelValue(k, measured[size_t(k)], b);
        if (pattern != kNoInformation && infoBelow_[size_t(k)])
            pattern = kBelowRange;
        else if (pattern != kNoInformation && infoAbove_[size_t(k)])
            pattern = kAboveRange;
        putChannelPattern(p, 16 + 4 * k, pattern);
    }
    appendChecksum(p);
    return p;
}

}  // namespace sim
