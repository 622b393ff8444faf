#pragma once
#include <QLocale>
#include <QString>
#include <QtGlobal>
#include <array>

#include "measure/catalogue.h"

// The information channel: fixed-length packets that the transducer sends unasked on the line,
// each with its status, the voltage and current limit values, its program version and the 29
// catalogue parameters as values relative to those limits.
//
// Packet (offsets from its first byte): 0 start bytes 55 AA 01 80 86; 5 status (signed);
// 6 voltage limit and 10 current limit (channel floats); 14 connection flag; 15 program version
// (signed); 16 + 4k the value of catalogue parameter k; 132 Modbus checksum of bytes 0 to 131,
// low byte first.
namespace infochannel {

constexpr int kPacketLength = 134;
// Bytes from the status byte to the last value: what ShowChannelPacket gets.
constexpr int kBodyOffset = 5;
constexpr int kBodyLength = kPacketLength - kBodyOffset - 2;
// The reception looks at twice a packet's length, so that a packet starts somewhere in the
// first half whatever the phase of the stream.
constexpr int kWindowLength = 2 * kPacketLength;
constexpr int kLastStart = kWindowLength - kPacketLength;
constexpr std::array<quint8, 5> kStartBytes = {0x55, 0xAA, 0x01, 0x80, 0x86};

// Value patterns that stand for no number.
constexpr quint32 kNoValue = 0xFFFFFFFFu;
constexpr quint32 kAboveRange = 0xEFFFFFFFu;
constexpr quint32 kBelowRange = 0xDFFFFFFFu;

// The texts of the page.
inline const char* const kNoValueText = " ------------------------";
inline const char* const kAbsent = "информация отсутствует";
inline const char* const kStatusNormal = "  норма";
inline const char* const kStatusErrorPrefix = "ошибка: ";

// A channel float's bit pattern: the four bytes B0 B1 B2 B3 carry the low 16-bit half first,
// each half most significant byte first, so the pattern is B2 B3 B0 B1.
quint32 ChannelPattern(const quint8* bytes);
float PatternValue(quint32 pattern);

// What the relative values of one packet are measured against, in single precision.
struct ChannelBases {
    float voltage = 0;      // U_lim
    float current = 0;      // I_lim
    float lineVoltage = 0;  // U_lim × 1.7321 (connection flag 0) or U_lim
    float phasePower = 0;   // U_lim × I_lim
    float totalPower = 0;   // 3 × phase power (flag 0) or 1.7321 × phase power

    static ChannelBases From(float voltageLimit, float currentLimit, quint8 connectionFlag);
};

// A packet's contents from its status byte on (offset 5), `body` at least kBodyLength bytes.
struct ChannelPacket {
    qint8 status = 0;
    quint8 connectionFlag = 0;
    qint8 version = 0;
    ChannelBases bases;
    std::array<quint32, kParameterCount> patterns{};
};
ChannelPacket DecodeChannelPacket(const quint8* body);

// The value a pattern at position k stands for, in the parameter's unit: the relative value
// scaled by its base, the frequency offset by 45 Hz. Not for the three marker patterns.
float ChannelValue(int k, quint32 pattern, const ChannelBases& bases);

// The text of value position k: the hyphen text for no value, the limit for an out-of-range
// marker, otherwise the scaled value as "#,##0.000" with the locale's separators.
QString ChannelValueText(int k, quint32 pattern, const ChannelBases& bases,
                         const QLocale& locale = QLocale());
// The limit an out-of-range marker at position k stands for, "0.000" without grouping and
// negative below the range; the frequency's limits are the fixed texts "55.000" and "45.000".
QString ChannelLimitText(int k, bool above, const ChannelBases& bases,
                         const QLocale& locale = QLocale());
// A limit value of the status row: "0.00", no grouping, the locale's decimal separator.
QString LimitValueText(float value, const QLocale& locale = QLocale());
// "  норма" for 0, otherwise "ошибка: " and the code as a signed number.
QString StatusText(qint8 status);

enum class ScanResult {
    NoPacket,       // no start sequence with a whole packet after it in the window
    ChecksumError,  // whole packets, none with a right checksum
    Packet,
};

// Looks for a packet in the first `length` bytes of `window`, trying every start sequence at
// positions 0 to kLastStart (the ones a whole packet can follow) until one passes the checksum,
// so that start bytes inside the data of a packet do not hide it. `packet` is emptied first
// and holds the packet found, if any; nothing of an earlier scan survives in it.
ScanResult ScanChannelWindow(const quint8* window, int length,
                             std::array<quint8, kPacketLength>& packet);

}  // namespace infochannel
