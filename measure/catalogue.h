#pragma once
#include <QLocale>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <array>

#include "link/requestrecord.h"

// The transducer's 29 measured quantities in the one order the whole system shares: the index
// is the position in the measured-value block (registers 2k and 2k+1), the item index of every
// 29-item parameter selector, the indicator parameter code stored by the transducer and the
// position in an information-channel packet.

constexpr int kParameterCount = 29;
constexpr int kMeasuredBlockRegisters = 2 * kParameterCount;
constexpr int kMeasuredBlockDataLength = 4 * kParameterCount;
// Slave address, function code and byte count, the data, two checksum bytes.
constexpr int kMeasuredBlockReplyLength = 3 + kMeasuredBlockDataLength + 2;

enum class Quantity {
    PhaseVoltage,
    Current,
    LineVoltage,
    ActivePower,
    ReactivePower,
    ApparentPower,
    PowerFactor,
    Frequency,
};

enum class Scope { PhaseA, PhaseB, PhaseC, LineAB, LineBC, LineCA, Total, Average, None };

struct ParameterInfo {
    const char* itemText;   // UTF-8; two blanks between the words and the symbol
    const char* shortName;  // beside an indicator line
    Quantity quantity;
    Scope scope;
    const char* unitSymbol;  // UTF-8; "B", "A", "Bap" are Latin, "Вт", "ВА", "Гц" Cyrillic
    int decimals;            // of the measured-value display format
};

extern const std::array<ParameterInfo, kParameterCount> ParameterCatalogue;

// First of the two registers of a parameter in the measured-value block.
constexpr quint16 FirstRegister(int index) {
    return quint16(2 * index);
}

// Empty texts and 3 decimals for an index outside 0 to 28.
QString ItemText(int index);
QString ShortName(int index);
QString UnitSymbol(int index);
int MeasuredDecimals(int index);
// The 29 items of a parameter selector, in catalogue order.
QStringList ParameterItemTexts();

// The current converter's channel selectors offer a shorter list in an order of their own:
// from item 18 on it differs from the catalogue, and it has no total power factor and no
// averages, so an item index must go through this table to become a catalogue index.
struct ConverterChannel {
    const char* itemText;  // UTF-8
    int catalogueIndex;
};

constexpr int kConverterChannelCount = 25;
extern const std::array<ConverterChannel, kConverterChannelCount> CurrentConverterChannels;

QStringList CurrentConverterItemTexts();

// Register conversions shared by every reply decoder. `data` is a reply's data area: the bytes
// after the slave address, function code and byte count. Registers travel high byte first.

quint16 SwapWordBytes(quint16 word);
quint16 WordAt(const quint8* data, int i);

struct MeasuredFloat {
    float value = 0.0f;
    bool noInfo = false;  // the transducer sent FF FF FF FF: it has no value for the parameter
};

// Bytes 4k..4k+3, most significant first. Only the all-ones pattern is the marker; any other
// pattern, NaN and infinities included, is passed on as the number it encodes.
MeasuredFloat FloatAt(const quint8* data, int k);

// "#,##0.000" (decimals 3) or "#,##0.0000" (decimals 4) with the locale's separators, or
// "нет информ." when noInfo is set. See the definition for NaN and infinities.
QString FormatMeasured(double value, bool noInfo, int decimals, const QLocale& locale = QLocale());

// One leading "0" for a text shorter than two characters: the two-digit date and time fields.
QString PadTo2(const QString& text);

// The unit shown after an indicator line: a decimal prefix for whole groups of three places of
// the line's exponent word, then the parameter's unit symbol; empty for power factors and for
// an index outside the catalogue.
QString UnitLabel(int index, quint16 exponent);

// Read of the whole measured-value block, request code 0.
RequestRecord ReadMeasuredBlock(int slave);
