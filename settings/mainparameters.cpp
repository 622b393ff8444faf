#include "settings/mainparameters.h"

#include "app/portsettings.h"
#include "link/engine.h"
#include "measure/catalogue.h"
#include "widgets/messagebox.h"

namespace {

QString decimal(quint16 w) {
    return QString::number(w);
}

// The window runs its port at these speeds only.
constexpr int kSlowestSpeed = 1200;
constexpr int kFastestSpeed = 19200;

}  // namespace

std::optional<MainParameters> DecodeMainParameterBlock(const quint8* data, int length) {
    if (data == nullptr || length < 2 * kMainParameterWords)
        return std::nullopt;
    auto word = [data](MainWord w) { return WordAt(data, int(w)); };
    MainParameters p;
    p.versPrg = decimal(word(MainWord::ProgramVersion));
    p.numMeasureParam = decimal(word(MainWord::ParameterCount));
    p.readLog = decimal(word(MainWord::LogicalNumber));
    const quint16 brightness = word(MainWord::Brightness);
    p.brightness = brightness < kBrightnessItems.size() ? int(brightness) : -1;
    p.numDev = decimal(word(MainWord::DeviceNumber));
    p.readYear = decimal(word(MainWord::Year));
    p.schInp = QString::fromUtf8(word(MainWord::Scheme) == 0 ? mainparamtext::kSchemeThree
                                                             : mainparamtext::kSchemeTwo);
    p.versDev = QString::fromUtf8(word(MainWord::Variant) == 0 ? mainparamtext::kVariantOrtavex
                                                               : mainparamtext::kVariantTervex);
    return p;
}

int IndicatorLineSetup::item() const {
    return code < kParameterCount ? code : -1;
}

std::optional<IndicatorSetup> DecodeDisplayedParameterBlock(const quint8* data, int length) {
    if (data == nullptr || length < 2 * kDisplayedParameterWords)
        return std::nullopt;
    IndicatorSetup setup;
    for (int i = 0; i < kIndicatorLines; ++i) {
        IndicatorLineSetup& line = setup[size_t(i)];
        line.code = WordAt(data, i) & 0xFF;
        line.exponent = WordAt(data, kIndicatorLines + i);
        line.name = ShortName(line.item());
        line.unit = UnitLabel(line.item(), line.exponent);
    }
    return setup;
}

WriteValue LogicalNumberValue(const QString& text) {
    if (text.isEmpty())
        return WriteValue::refuse(QString::fromUtf8(mainparamtext::kNotGiven));
    const std::optional<qint32> n = DecimalInteger(text);
    if (!n)
        return WriteValue::refuse(linktext::NotANumber(text), true);
    if (CheckLogicalNumber(text) != LogicalNumberCheck::Accept)
        return WriteValue::refuse(QString::fromUtf8(kLogicalNumberRangeMessage));
    return WriteValue::send(quint16(*n));
}

WriteValue RegisterWordValue(const QString& text) {
    const std::optional<qint32> n = DecimalInteger(text);
    if (!n)
        return WriteValue::refuse(linktext::NotANumber(text), true);
    if (*n < 0 || *n > 0xFFFF)
        return WriteValue::refuse(QString::fromUtf8(mainparamtext::kWordRange));
    return WriteValue::send(quint16(*n));
}

WriteValue SelectionValue(int item, int itemCount) {
    if (item < 0 || item >= itemCount)
        return WriteValue::refuse(QString::fromUtf8(kIncorrectInformation));
    return WriteValue::send(quint16(item));
}

int SpeedOfItem(int item) {
    if (item < 0 || item >= PortSettings::kBaudItems.size())
        return 0;
    return PortSettings::kBaudItems[item].toInt();
}

WriteValue SpeedValue(int item) {
    WriteValue v = SelectionValue(item, int(PortSettings::kBaudItems.size()));
    if (!v.word)
        return v;
    const int baud = SpeedOfItem(item);
    if (baud < kSlowestSpeed || baud > kFastestSpeed)
        return WriteValue::refuse(QStringLiteral("Ошибочная скорость порта: ") +
                                  QString::number(baud));
    return v;
}

std::optional<std::array<quint16, kIndicatorLines>> DisplayedParameterWords(
    const std::array<int, kIndicatorLines>& items) {
    std::array<quint16, kIndicatorLines> words{};
    for (int i = 0; i < kIndicatorLines; ++i) {
        const int item = items[size_t(i)];
        if (item < 0 || item >= kParameterCount)
            return std::nullopt;
        words[size_t(i)] = quint16(item);
    }
    return words;
}
