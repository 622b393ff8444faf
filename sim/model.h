#pragma once
#include <QByteArray>
#include <QString>
#include <array>
#include <bitset>
#include <functional>

#include "sim/parameters.h"

// The simulated transducer as a register image: what it answers to every read and write, its
// running clock, the remote indicator beside it on the line and its information-channel
// packets. Pure state, no I/O: the caller sets the time before each exchange, so tests can
// drive it without a line and without waiting.
namespace sim {

constexpr quint32 kNoInformation = 0xFFFFFFFFu;
constexpr quint32 kAboveRange = 0xEFFFFFFFu;
constexpr quint32 kBelowRange = 0xDFFFFFFFu;

// Modbus exception codes the device answers with; 0 means the request was carried out.
enum ExceptionCode : quint8 {
    kNoException = 0,
    kIllegalFunction = 1,
    kIllegalAddress = 2,
    kIllegalValue = 3,
};

constexpr std::array<int, 6> kSpeeds{1200, 2400, 4800, 9600, 19200, 38400};
// Position of a baud rate in kSpeeds (the device's speed code), -1 for a speed it lacks.
int SpeedCode(int baud);

enum Parity { kParityNone = 0, kParityOdd = 1, kParityEven = 2 };

constexpr int kRemoteFrameLength = 65;
constexpr int kRemoteReadLength = 5;
constexpr int kRemoteWriteReplyLength = 6;
constexpr int kInfoPacketLength = 134;

// Register addresses the device knows.
namespace reg {
constexpr quint16 kMeasured = 0;         // 58 registers, 29 floats
constexpr quint16 kMain = 512;           // 10 words, read
constexpr quint16 kLogicalNumber = 516;  // words of the main block are written at 512 + 2k
constexpr quint16 kBrightness = 518;
constexpr quint16 kSerialNumber = 520;
constexpr quint16 kYear = 522;
constexpr quint16 kSpeed = 524;
constexpr quint16 kParity = 526;
constexpr quint16 kScheme = 528;  // also read on its own
constexpr quint16 kVariant = 530;
constexpr quint16 kOutputMode = 532;
constexpr quint16 kHardwareVariant = 534;
constexpr quint16 kPowerTrimUp = 640;
constexpr quint16 kPowerTrimDown = 641;
constexpr quint16 kOutputStepUp = 642;
constexpr quint16 kOutputStepDown = 643;
constexpr quint16 kCorrectionMode = 766;
constexpr quint16 kStore = 767;
constexpr quint16 kIndicatorValues = 768;  // 6 registers, 3 floats
constexpr quint16 kIndicatorSetup = 1024;  // 3 parameter codes, then 3 exponents
constexpr quint16 kReferences = 1792;      // float at 1792 + 4k, k = 0..8
constexpr quint16 kOutputValues = 1920;    // float at 1920 + 12L + 4n, L, n = 0..2
constexpr quint16 kRatios = 2048;          // floats written at 2048, 2052, 2056, 2060
constexpr quint16 kClock = 2304;           // 7 words read, 6 written
}  // namespace reg

// The network's currents, 2.8 A or so, are this share of the default 5 A rated current.
constexpr double kDefaultLoadPercent = 100.0 * 2.8333 / 5.0;

struct DeviceSetup {
    quint8 address = 1;
    int speedCode = 3;  // 9600
    int parity = kParityNone;
    quint64 seed = 0;  // shifts the drifts of the measured values
    std::bitset<kParameterCount> noInformation;
    // Where the readings sit, in percent of the rated primary values written at 2048..2063:
    // voltages at levelPercent, currents at loadPercent; while dipped both fall to dipPercent
    // of that.
    double levelPercent = 100;
    double loadPercent = kDefaultLoadPercent;
    double dipPercent = 40;
    // Information-channel positions that carry the below-range or above-range marker instead
    // of their value.
    std::bitset<kParameterCount> infoBelow, infoAbove;
    // The correction mode of the current outputs ends by itself after this many reads of the
    // mode word; 0 for never.
    int dropCorrectionAfter = 0;
};

class DeviceModel {
  public:
    // `startMs` is the moment, in milliseconds since the epoch, at which the measured values
    // begin to drift; it is also the device's time until setTime is called.
    DeviceModel(const DeviceSetup& setup, qint64 startMs);

    // The device's notion of now: drives the measured values and the running clock.
    void setTime(qint64 msSinceEpoch);

    // Every write that changes something is reported here in a line of text.
    void setEventSink(std::function<void(const QString&)> sink) { events_ = std::move(sink); }

    quint8 address() const { return quint8(main_[2]); }
    int baud() const { return kSpeeds[size_t(main_[6])]; }
    int parity() const { return main_[7]; }
    bool twoElement() const { return main_[8] != 0; }
    bool correctionMode() const { return correctionPoint_ != 0; }
    // The device leaves the current-output correction mode as if by itself (its own time-out
    // on the bench); `why` goes to the event report.
    void leaveCorrectionMode(const QString& why);
    // Drops every voltage and current to the dip share of its level, or brings them back.
    void setDipped(bool dipped);
    bool dipped() const { return dipped_; }
    // Output n (0..2) at the present correction point in mA: the nominal value of the point
    // moved by the steps written at 642/643, 0.001 mA for each unit. NaN outside the mode.
    double outputCurrent(int n) const;

    // Modbus access. Each returns kNoException or the code to answer with; nothing changes
    // unless the whole request is acceptable. A read is not quite free of effects: reads of
    // the mode word count towards the end of the correction mode (dropCorrectionAfter).
    quint8 read(quint16 start, quint16 count, quint16* out);
    quint8 writeSingle(quint16 reg, quint16 value);
    quint8 writeMultiple(quint16 start, const quint16* words, quint16 count);

    // Bit patterns of the 29 measured values now, the no-information marker where there is
    // no value.
    std::array<quint32, kParameterCount> measuredPatterns() const;

    // The remote indicator's settings frame (65 bytes, checksum included) and the store of a
    // new one; `frame` is a complete write frame whose checksum was found right.
    QByteArray remoteIndicatorFrame() const;
    void storeRemoteIndicator(const QByteArray& frame);

    // One information-channel packet (134 bytes, checksum included) for the values now.
    QByteArray infoPacket(qint8 status) const;

  private:
    struct ClockFields {
        int second, minute, hour, day, month, year;
    };

    // 1 for a register written as a word, 2 for the first of a float's two, 0 otherwise.
    static int fieldWidth(quint16 reg);
    quint8 checkField(quint16 reg, const quint16* words) const;
    void applyField(quint16 reg, const quint16* words);
    bool readWord(quint16 reg, const std::array<quint32, kParameterCount>& measured,
                  quint16& out) const;
    ClockFields clockNow() const;
    void report(const QString& text) const;
    // Factors from the network's own 230 V and 2.8 A to the readings now; `withDip` false
    // gives the operating point without the dip.
    double voltageScale(bool withDip) const;
    double currentScale(bool withDip) const;
    quint16 indicatorExponent(int code) const;
    void step(quint16 code, bool up);

    std::bitset<kParameterCount> noInformation_;
    quint64 seed_;
    qint64 startMs_;
    qint64 nowMs_;
    qint64 clockOffsetMs_ = 0;
    std::array<quint16, 10> main_;
    std::array<quint8, 3> indicatorCodes_{0, 3, 21};
    std::array<float, 4> ratios_;  // as read back: primaries carry the factor 1.3
    int correctionPoint_ = 0;      // 0 off, 1 upper limit, 2 middle value, 3 lower limit
    int modeReads_ = 0;            // reads of the mode word since the mode was switched on
    int dropCorrectionAfter_;
    double levelPercent_, loadPercent_, dipPercent_;
    bool dipped_ = false;
    std::bitset<kParameterCount> infoBelow_, infoAbove_;
    // Steps moved per correction point and output, in units of 0.001 mA.
    std::array<std::array<int, 3>, 3> outputSteps_{};
    QByteArray remote_;  // the last remote indicator frame, 65 bytes
    std::function<void(const QString&)> events_;
};

}  // namespace sim
