// Parameter catalogue and register conversions. Byte rows are the bytes of a reply's data area.
#include <QSet>
#include <QtTest>
#include <array>
#include <cmath>

#include "link/frames.h"
#include "measure/catalogue.h"

namespace {

QByteArray hex(const char* text) {
    return QByteArray::fromHex(QByteArray(text));
}

}  // namespace

class CatalogueTest : public QObject {
    Q_OBJECT
  private slots:
    void floatAt_data();
    void floatAt();
    void wordAt_data();
    void wordAt();
    void swapWordBytes();
    void formatMeasured_data();
    void formatMeasured();
    void russianGroupsAreBlank();
    void padTo2_data();
    void padTo2();
    void unitLabel_data();
    void unitLabel();
    void shortName_data();
    void shortName();
    void catalogueInvariants();
    void unitSymbolScripts();
    void converterChannels();
    void readMeasuredBlock();
};

void CatalogueTest::floatAt_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("k");
    QTest::addColumn<float>("value");  // NaN: any not-a-number
    QTest::addColumn<bool>("noInfo");

    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    QTest::newRow("230 V at 0") << hex("43660000") << 0 << 230.0f << false;
    QTest::newRow("-150 W at 9") << hex("C3160000") << 9 << -150.0f << false;
    QTest::newRow("12000.25 at 28") << hex("463B8100") << 28 << 12000.25f << false;
    QTest::newRow("0.5 A at 27") << hex("3F000000") << 27 << 0.5f << false;
    QTest::newRow("zero") << hex("00000000") << 5 << 0.0f << false;
    QTest::newRow("lowest mantissa byte last") << hex("00000001") << 1 << 1.4e-45f << false;
    QTest::newRow("marker") << hex("FFFFFFFF") << 13 << 0.0f << true;
    QTest::newRow("7F FF FF FF is a NaN") << hex("7FFFFFFF") << 3 << nan << false;
    QTest::newRow("FF FF FF FE is a NaN") << hex("FFFFFFFE") << 3 << nan << false;
    QTest::newRow("FF FF 00 00 is a NaN") << hex("FFFF0000") << 3 << nan << false;
    QTest::newRow("+inf") << hex("7F800000") << 7 << inf << false;
    QTest::newRow("-inf") << hex("FF800000") << 7 << -inf << false;
}

// The rest of the area is the marker, so reading the wrong four bytes shows.
void CatalogueTest::floatAt() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, k);
    QFETCH(float, value);
    QFETCH(bool, noInfo);
    QByteArray area(kMeasuredBlockDataLength, char(0xFF));
    area.replace(4 * k, 4, bytes);

    const MeasuredFloat got = FloatAt(reinterpret_cast<const quint8*>(area.constData()), k);
    QCOMPARE(got.noInfo, noInfo);
    if (std::isnan(value))
        QVERIFY(std::isnan(got.value));
    else
        QCOMPARE(got.value, value);
}

void CatalogueTest::wordAt_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("i");
    QTest::addColumn<int>("word");
    QTest::newRow("00 1C") << hex("001C") << 0 << 28;
    QTest::newRow("high byte first") << hex("1234") << 0 << 0x1234;
    QTest::newRow("second register") << hex("FFFF0102") << 1 << 0x0102;
    QTest::newRow("all ones") << hex("0000FFFF") << 1 << 0xFFFF;
}

void CatalogueTest::wordAt() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, i);
    QFETCH(int, word);
    QCOMPARE(int(WordAt(reinterpret_cast<const quint8*>(bytes.constData()), i)), word);
}

void CatalogueTest::swapWordBytes() {
    QCOMPARE(SwapWordBytes(0x1234), quint16(0x3412));
    QCOMPARE(SwapWordBytes(0x00FF), quint16(0xFF00));
    QCOMPARE(SwapWordBytes(SwapWordBytes(0xBEEF)), quint16(0xBEEF));
}

void CatalogueTest::formatMeasured_data() {
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("noInfo");
    QTest::addColumn<int>("decimals");
    // "_" stands for the locale's group separator.
    QTest::addColumn<QString>("text");

    const QLocale ru(QLocale::Russian, QLocale::Russia);
    const QLocale en(QLocale::English, QLocale::UnitedStates);
    const QLocale de(QLocale::German, QLocale::Germany);
    const QLocale sv(QLocale::Swedish, QLocale::Sweden);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const QString noInfo = QStringLiteral("нет информ.");

    QTest::newRow("ru 230") << ru << 230.0 << false << 3 << "230,000";
    QTest::newRow("ru -150") << ru << -150.0 << false << 3 << "-150,000";
    QTest::newRow("ru 12000.25") << ru << 12000.25 << false << 3 << "12_000,250";
    QTest::newRow("ru 0.5 current") << ru << 0.5 << false << 4 << "0,5000";
    QTest::newRow("ru 50 Hz") << ru << 50.0 << false << 3 << "50,000";
    QTest::newRow("ru three groups") << ru << -1234567.891 << false << 3 << "-1_234_567,891";
    QTest::newRow("ru no group for three digits") << ru << 999.0 << false << 3 << "999,000";
    QTest::newRow("ru rounding opens a group") << ru << 999.9996 << false << 3 << "1_000,000";
    QTest::newRow("ru rounds to nearest") << ru << 2.71828 << false << 4 << "2,7183";
    // A small negative reading keeps its sign even when its digits round to zero; a zero with
    // its sign bit set is no negative value.
    QTest::newRow("ru tiny negative keeps its sign") << ru << -0.0001 << false << 3 << "-0,000";
    QTest::newRow("en tiny negative keeps its sign") << en << -0.00004 << false << 4 << "-0.0000";
    QTest::newRow("ru negative zero") << ru << -0.0 << false << 3 << "0,000";
    QTest::newRow("ru marker") << ru << 0.0 << true << 3 << noInfo;
    QTest::newRow("ru marker wins over a value") << ru << 230.0 << true << 4 << noInfo;
    QTest::newRow("en 230") << en << 230.0 << false << 3 << "230.000";
    QTest::newRow("en -150") << en << -150.0 << false << 3 << "-150.000";
    QTest::newRow("en 12000.25") << en << 12000.25 << false << 3 << "12_000.250";
    QTest::newRow("en 0.5 current") << en << 0.5 << false << 4 << "0.5000";
    QTest::newRow("en marker") << en << 0.0 << true << 3 << noInfo;
    QTest::newRow("de separators swapped") << de << 12000.25 << false << 3 << "12_000,250";
    // Swedish writes U+2212 as its minus; the display picture keeps a plain one.
    QTest::newRow("sv plain minus") << sv << -12000.25 << false << 4 << "-12_000,2500";
    QTest::newRow("NaN") << ru << nan << false << 3 << "NaN";
    QTest::newRow("+inf") << en << inf << false << 3 << "+∞";
    QTest::newRow("-inf") << ru << -inf << false << 4 << "-∞";
}

void CatalogueTest::formatMeasured() {
    QFETCH(QLocale, locale);
    QFETCH(double, value);
    QFETCH(bool, noInfo);
    QFETCH(int, decimals);
    QFETCH(QString, text);
    text.replace(QLatin1Char('_'), locale.groupSeparator());
    QCOMPARE(FormatMeasured(value, noInfo, decimals, locale), text);
}

// The operator must see a blank between the groups under Russian settings; the exact blank
// (plain or no-break) is the locale's.
void CatalogueTest::russianGroupsAreBlank() {
    const QString text = FormatMeasured(12000.25, false, 3, QLocale(QLocale::Russian));
    QCOMPARE(text.size(), 10);
    QVERIFY2(text.at(2).isSpace(), qPrintable(text));
    QCOMPARE(text.mid(3), QStringLiteral("000,250"));
}

void CatalogueTest::padTo2_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("padded");
    QTest::newRow("one digit") << "7"
                               << "07";
    QTest::newRow("empty") << ""
                           << "0";
    QTest::newRow("two digits") << "12"
                                << "12";
    QTest::newRow("three digits") << "123"
                                  << "123";
}

void CatalogueTest::padTo2() {
    QFETCH(QString, text);
    QFETCH(QString, padded);
    QCOMPARE(PadTo2(text), padded);
}

void CatalogueTest::unitLabel_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("exponent");
    QTest::addColumn<QString>("label");
    // Prefixes and the Cyrillic symbols spelled out, the Latin ones as ASCII.
    const QString kilo = QStringLiteral("\u043A"), mega = QStringLiteral("\u041C"),
                  giga = QStringLiteral("\u0413");
    const QString watt = QStringLiteral("\u0412\u0442"), va = QStringLiteral("\u0412\u0410"),
                  hertz = QStringLiteral("\u0413\u0446");

    QTest::newRow("kW") << 9 << 3 << kilo + watt;
    QTest::newRow("Mvar") << 12 << 6 << mega + "Bap";
    QTest::newRow("exponent 2 has no whole group") << 0 << 2 << "B";
    QTest::newRow("no prefix beyond giga") << 0 << 12 << "B";
    QTest::newRow("largest exponent word") << 0 << 65535 << "B";
    QTest::newRow("GHz") << 25 << 9 << giga + hertz;
    QTest::newRow("kVA total") << 23 << 5 << kilo + va;
    QTest::newRow("average current") << 27 << 3 << kilo + "A";
    QTest::newRow("average line voltage") << 28 << 0 << "B";
    QTest::newRow("power factor a") << 18 << 3 << "";
    QTest::newRow("total power factor") << 24 << 0 << "";
    QTest::newRow("index 29") << 29 << 3 << "";
    QTest::newRow("index -1") << -1 << 0 << "";
}

void CatalogueTest::unitLabel() {
    QFETCH(int, index);
    QFETCH(int, exponent);
    QFETCH(QString, label);
    QCOMPARE(UnitLabel(index, quint16(exponent)), label);
}

void CatalogueTest::shortName_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("name");
    QTest::newRow("0") << 0 << "Ua";
    QTest::newRow("18") << 18 << "KPa";
    QTest::newRow("21") << 21 << "Ps";
    QTest::newRow("24") << 24 << "KPs";
    QTest::newRow("26") << 26 << "U";
    QTest::newRow("28") << 28 << "UL";
    QTest::newRow("29") << 29 << "";
    QTest::newRow("-1") << -1 << "";
}

void CatalogueTest::shortName() {
    QFETCH(int, index);
    QFETCH(QString, name);
    QCOMPARE(ShortName(index), name);
}

void CatalogueTest::catalogueInvariants() {
    const QStringList items = ParameterItemTexts();
    QCOMPARE(items.size(), kParameterCount);
    QCOMPARE(QSet<QString>(items.cbegin(), items.cend()).size(), kParameterCount);
    QSet<QString> shortNames;
    for (int k = 0; k < kParameterCount; ++k) {
        const ParameterInfo& p = ParameterCatalogue[k];
        QCOMPARE(items[k], ItemText(k));
        shortNames << ShortName(k);
        // The block is the 29 values back to back, two registers each.
        QCOMPARE(FirstRegister(k), quint16(2 * k));
        QCOMPARE(MeasuredDecimals(k), p.quantity == Quantity::Current ? 4 : 3);
        QCOMPARE(UnitSymbol(k).isEmpty(), p.quantity == Quantity::PowerFactor);
    }
    QCOMPARE(shortNames.size(), kParameterCount);
    QCOMPARE(FirstRegister(kParameterCount - 1) + 1, kMeasuredBlockRegisters - 1);

    // Spot rows of the item texts: two blanks before the symbol, the Cyrillic Ф, and the
    // one blank of the average line voltage.
    QCOMPARE(ItemText(0), QStringLiteral("Напряжение  Uan"));
    QCOMPARE(ItemText(24), QStringLiteral("Коеффициент мощности сумм.  Cos \u0424"));
    QCOMPARE(ItemText(28), QStringLiteral("Напряжение линейное среднее U"));

    const QList<int> currents = {3, 4, 5, 27};
    for (int k : currents)
        QCOMPARE(ParameterCatalogue[k].quantity, Quantity::Current);
    QCOMPARE(ParameterCatalogue[26].scope, Scope::Average);
    QCOMPARE(ParameterCatalogue[21].scope, Scope::Total);
    QCOMPARE(ParameterCatalogue[25].quantity, Quantity::Frequency);
}

// "B", "A" and "Bap" are written in Latin letters, "Вт", "ВА" and "Гц" in Cyrillic: the
// Cyrillic ones are spelled out as code points, so a look-alike letter fails here.
void CatalogueTest::unitSymbolScripts() {
    for (int k = 0; k < kParameterCount; ++k) {
        const QString unit = UnitSymbol(k);
        switch (ParameterCatalogue[k].quantity) {
            case Quantity::PhaseVoltage:
            case Quantity::LineVoltage:
                QCOMPARE(unit, QStringLiteral("B"));
                break;
            case Quantity::Current:
                QCOMPARE(unit, QStringLiteral("A"));
                break;
            case Quantity::ReactivePower:
                QCOMPARE(unit, QStringLiteral("Bap"));
                break;
            case Quantity::ActivePower:
                QCOMPARE(unit, QStringLiteral("\u0412\u0442"));
                break;
            case Quantity::ApparentPower:
                QCOMPARE(unit, QStringLiteral("\u0412\u0410"));
                break;
            case Quantity::Frequency:
                QCOMPARE(unit, QStringLiteral("\u0413\u0446"));
                break;
            case Quantity::PowerFactor:
                QVERIFY(unit.isEmpty());
                break;
        }
    }
}

// The converter's list names the same parameter as the catalogue index it maps to; where the
// words are the same, so is the text.
void CatalogueTest::converterChannels() {
    const QStringList items = CurrentConverterItemTexts();
    QCOMPARE(items.size(), 25);
    QSet<int> mapped;
    for (int i = 0; i < kConverterChannelCount; ++i) {
        const int k = CurrentConverterChannels[i].catalogueIndex;
        QVERIFY(k >= 0 && k < kParameterCount);
        mapped << k;
        const bool ownSpelling = k <= 2 || (k >= 6 && k <= 8) || (k >= 18 && k <= 20);
        if (!ownSpelling)
            QCOMPARE(items[i], ItemText(k));
    }
    QCOMPARE(mapped.size(), kConverterChannelCount);
    for (int absent : {24, 26, 27, 28})
        QVERIFY(!mapped.contains(absent));

    QCOMPARE(items[0], QStringLiteral("Напряжение  Ua"));
    QCOMPARE(items[6], QStringLiteral("Напряжение линейное  Ua-b"));
    QCOMPARE(items[21], QStringLiteral("Коеффициент мощности  Cos Fa"));
    QCOMPARE(CurrentConverterChannels[18].catalogueIndex, 21);
    QCOMPARE(CurrentConverterChannels[21].catalogueIndex, 18);
    QCOMPARE(CurrentConverterChannels[23].catalogueIndex, 20);
    QCOMPARE(CurrentConverterChannels[24].catalogueIndex, 25);
}

// The request as it goes on the wire, and the reply length the link will wait for.
void CatalogueTest::readMeasuredBlock() {
    const RequestRecord r = ReadMeasuredBlock(1);
    QCOMPARE(int(r.Code), 0);
    QCOMPARE(int(r.ReplyLength), 121);
    QCOMPARE(int(r.ReplyLength), frames::ReadReplyLength(r.RegisterCount));
    std::array<quint8, frames::kReadLength> frame{};
    const int n =
        frames::BuildRead(frame.data(), quint8(r.SlaveAddress), r.StartRegister, r.RegisterCount);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(frame.data()), n).toHex(' ').toUpper(),
             QByteArray("01 03 00 00 00 3A C5 D9"));

    const RequestRecord other = ReadMeasuredBlock(247);
    QCOMPARE(int(other.SlaveAddress), 247);
    QCOMPARE(int(other.StartRegister), 0);
    QCOMPARE(int(other.RegisterCount), 58);
}

QTEST_APPLESS_MAIN(CatalogueTest)
#include "unit_catalogue.moc"
