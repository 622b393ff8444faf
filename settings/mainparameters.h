#pragma once
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <array>
#include <optional>

#include "link/requestrecord.h"
#include "settings/validatededits.h"

// The main parameter block: ten words read from reg::MainParameters. The device writes word k
// singly at reg::MainParameters + 2k (not + k), words 2 to 9.
enum class MainWord : int {
    ProgramVersion = 0,
    ParameterCount = 1,
    LogicalNumber = 2,
    Brightness = 3,
    DeviceNumber = 4,
    Year = 5,
    Speed = 6,
    Parity = 7,
    Scheme = 8,
    Variant = 9,
};
constexpr int kMainParameterWords = 10;

constexpr quint16 MainWordAddress(MainWord w) {
    return quint16(reg::MainParameters + 2 * int(w));
}

// The displayed-parameter block at reg::IndicatorSetup: the parameter code of each indicator
// line, then the decimal exponent of each line. Only the three codes are written.
constexpr int kIndicatorLines = 3;
constexpr int kDisplayedParameterWords = 2 * kIndicatorLines;

inline const QStringList kBrightnessItems = {QStringLiteral("максим."), QStringLiteral("средняя"),
                                             QStringLiteral("низкая")};

namespace mainparamtext {
inline const char* const kWritten = "Информация записана ";
inline const char* const kNotGiven = "Информация не задана";
inline const char* const kSchemeThree = "Трех элементная";
inline const char* const kSchemeTwo = "Двух элементная";
inline const char* const kVariantOrtavex = "Ortavex";
inline const char* const kVariantTervex = "Tervex";
// The device number and the year are single registers: a larger number would be cut.
inline const char* const kWordRange = "Значение должно \rнаходиться в пределах \rот 0 до 65535 ";
}  // namespace mainparamtext

// What the page shows of a main parameter block. Words 6 and 7 (speed and parity) are not
// shown: the device answered at the window's own settings, which the page shows instead.
struct MainParameters {
    QString versPrg;
    QString numMeasureParam;
    QString readLog;
    int brightness = -1;  // item of the brightness selector; -1 for a value it does not offer
    QString numDev;
    QString readYear;
    QString schInp;
    QString versDev;
};

// `data` is the reply's data area; nullopt when it is shorter than the block.
std::optional<MainParameters> DecodeMainParameterBlock(const quint8* data, int length);

// One indicator line as the device is set up to show it.
struct IndicatorLineSetup {
    int code = 0;          // IndicatorParameter: the low byte of the line's word
    quint16 exponent = 0;  // IndParamExp of the line
    QString name;          // ShortName, empty for a code the catalogue does not have
    QString unit;          // UnitLabel of the code with the exponent

    // The item of a 29-item parameter selector, -1 for a code beyond the catalogue.
    int item() const;
};
using IndicatorSetup = std::array<IndicatorLineSetup, kIndicatorLines>;

// `data` is the reply's data area; nullopt when it is shorter than the block.
std::optional<IndicatorSetup> DecodeDisplayedParameterBlock(const quint8* data, int length);

// The word a write button may send, or the operator's message when it may send nothing.
struct WriteValue {
    std::optional<quint16> word;
    QString refusal;
    bool asError = false;  // the toolkit's error report rather than a plain message box

    static WriteValue send(quint16 w) { return {w, {}, false}; }
    static WriteValue refuse(const QString& text, bool error = false) {
        return {std::nullopt, text, error};
    }
};

// EditReadLog: empty is "not given"; a number the window would refuse as its own logical number
// would leave the device unreachable and is refused with the window's range message.
WriteValue LogicalNumberValue(const QString& text);
// EditNumDev, EditReadYear: one register, 0 to 65535.
WriteValue RegisterWordValue(const QString& text);
// A pick-only selector of `itemCount` items (-1: no selection).
WriteValue SelectionValue(int item, int itemCount);
// ComboBoxBaud3: only a speed the window itself accepts, or the link is lost once the device
// has taken it.
WriteValue SpeedValue(int item);
// The baud rate of a speed item; 0 outside the list.
int SpeedOfItem(int item);

// The three words of the displayed-parameter write from the selectors' items; nullopt when one
// of them has no parameter selected.
std::optional<std::array<quint16, kIndicatorLines>> DisplayedParameterWords(
    const std::array<int, kIndicatorLines>& items);

// The validated edits of the page.
inline constexpr ValidatedEditRule kEditReadLogRule{true, 65535, "1"};
inline constexpr ValidatedEditRule kEditNumDevRule{false, 0, "0"};
inline constexpr ValidatedEditRule kEditReadYearRule{false, 0, "2008"};

Q_DECLARE_METATYPE(IndicatorSetup)
