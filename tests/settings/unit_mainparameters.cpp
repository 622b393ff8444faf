// The main parameter block and the displayed-parameter block decoded from their data areas, the
// rules of the validated number edits, and what each write button may send.
#include <QtTest>

#include "app/portsettings.h"
#include "link/engine.h"
#include "settings/mainparameters.h"
#include "settings/validatededits.h"
#include "widgets/messagebox.h"

namespace {

QByteArray dataOf(const QList<quint16>& words) {
    QByteArray d;
    for (quint16 w : words) {
        d.append(char(w >> 8));
        d.append(char(w & 0xFF));
    }
    return d;
}

const quint8* bytes(const QByteArray& d) {
    return reinterpret_cast<const quint8*>(d.constData());
}

const ValidatedEditRule* ruleNamed(const QString& name) {
    if (name == QLatin1String("EditReadLog"))
        return &kEditReadLogRule;
    if (name == QLatin1String("EditNumDev"))
        return &kEditNumDevRule;
    return &kEditReadYearRule;
}

const QString kIncorrect = QString::fromUtf8(kIncorrectInformation);
const QString kNotGiven = QString::fromUtf8(mainparamtext::kNotGiven);
const QString kLogicalRange = QString::fromUtf8(kLogicalNumberRangeMessage);
const QString kWordRange = QString::fromUtf8(mainparamtext::kWordRange);

}  // namespace

class MainParametersTest : public QObject {
    Q_OBJECT
  private slots:
    void decimalInteger_data();
    void decimalInteger();
    void editChanged_data();
    void editChanged();
    void editLeft_data();
    void editLeft();
    void mainBlock_data();
    void mainBlock();
    void shortBlocksDecodeToNothing();
    void displayedBlock();
    void writeAddresses();
    void writeValues_data();
    void writeValues();
    void displayedParameterWords();
};

void MainParametersTest::decimalInteger_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("isNumber");
    QTest::addColumn<int>("value");
    QTest::newRow("digits") << "2008" << true << 2008;
    QTest::newRow("plus") << "+5" << true << 5;
    QTest::newRow("minus") << "-17" << true << -17;
    QTest::newRow("int max") << "2147483647" << true << 2147483647;
    QTest::newRow("int min") << "-2147483648" << true << int(-2147483647 - 1);
    QTest::newRow("above int") << "2147483648" << false << 0;
    QTest::newRow("far above int") << "99999999999999999999" << false << 0;
    QTest::newRow("empty") << "" << false << 0;
    QTest::newRow("sign only") << "-" << false << 0;
    QTest::newRow("letter after digits") << "12a" << false << 0;
    QTest::newRow("blank before") << " 12" << false << 0;
    QTest::newRow("hex") << "0x1F" << false << 0;
    QTest::newRow("arabic-indic digit") << QString(QChar(0x0663)) << false << 0;
}

void MainParametersTest::decimalInteger() {
    QFETCH(QString, text);
    QFETCH(bool, isNumber);
    QFETCH(int, value);
    const std::optional<qint32> n = DecimalInteger(text);
    QCOMPARE(n.has_value(), isNumber);
    if (isNumber)
        QCOMPARE(*n, value);
}

void MainParametersTest::editChanged_data() {
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("prev");
    QTest::addColumn<QString>("expected");
    // EditReadLog: no number empties it; a number above 65535 loses digits until it fits.
    QTest::newRow("log 70000") << "EditReadLog"
                               << "70000"
                               << "1"
                               << "7000";
    QTest::newRow("log 65535") << "EditReadLog"
                               << "65535"
                               << "1"
                               << "65535";
    QTest::newRow("log 65536") << "EditReadLog"
                               << "65536"
                               << "1"
                               << "6553";
    QTest::newRow("log 9999999") << "EditReadLog"
                                 << "9999999"
                                 << "1"
                                 << "9999";
    QTest::newRow("log negative") << "EditReadLog"
                                  << "-5"
                                  << "1"
                                  << "0";
    QTest::newRow("log large negative") << "EditReadLog"
                                        << "-123456"
                                        << "1"
                                        << "0";
    QTest::newRow("log letter") << "EditReadLog"
                                << "a"
                                << "12"
                                << "";
    QTest::newRow("log digits and letter") << "EditReadLog"
                                           << "12a"
                                           << "12"
                                           << "";
    QTest::newRow("log empty") << "EditReadLog"
                               << ""
                               << "12"
                               << "";
    // EditNumDev and EditReadYear: no number brings back the text they were entered with.
    QTest::newRow("numdev letter") << "EditNumDev"
                                   << "12a"
                                   << "77"
                                   << "77";
    QTest::newRow("numdev no limit") << "EditNumDev"
                                     << "70000"
                                     << "77"
                                     << "70000";
    QTest::newRow("numdev empty") << "EditNumDev"
                                  << ""
                                  << "77"
                                  << "";
    QTest::newRow("year letter") << "EditReadYear"
                                 << "20x8"
                                 << "2010"
                                 << "2010";
    QTest::newRow("year sign only") << "EditReadYear"
                                    << "-"
                                    << "2010"
                                    << "2010";
    QTest::newRow("year number") << "EditReadYear"
                                 << "2015"
                                 << "2010"
                                 << "2015";
}

void MainParametersTest::editChanged() {
    QFETCH(QString, edit);
    QFETCH(QString, text);
    QFETCH(QString, prev);
    QFETCH(QString, expected);
    QCOMPARE(EditChangedText(*ruleNamed(edit), text, prev), expected);
}

void MainParametersTest::editLeft_data() {
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("log empty") << "EditReadLog"
                               << ""
                               << "1";
    QTest::newRow("log sign") << "EditReadLog"
                              << "-"
                              << "1";
    QTest::newRow("log number") << "EditReadLog"
                                << "5"
                                << "5";
    QTest::newRow("numdev empty") << "EditNumDev"
                                  << ""
                                  << "0";
    QTest::newRow("numdev number") << "EditNumDev"
                                   << "1234"
                                   << "1234";
    QTest::newRow("year empty") << "EditReadYear"
                                << ""
                                << "2008";
    QTest::newRow("year text") << "EditReadYear"
                               << "abc"
                               << "2008";
    QTest::newRow("year negative kept") << "EditReadYear"
                                        << "-1"
                                        << "-1";
}

void MainParametersTest::editLeft() {
    QFETCH(QString, edit);
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(EditLeftText(*ruleNamed(edit), text), expected);
}

void MainParametersTest::mainBlock_data() {
    QTest::addColumn<QList<quint16>>("words");
    QTest::addColumn<QStringList>("texts");  // vers, count, log, numdev, year, scheme, variant
    QTest::addColumn<int>("brightness");
    QTest::newRow("three-element Ortavex")
        << QList<quint16>{201, 29, 1, 0, 1234, 2008, 3, 0, 0, 0}
        << QStringList{"201", "29", "1", "1234", "2008", "Трех элементная", "Ortavex"} << 0;
    QTest::newRow("two-element Tervex")
        << QList<quint16>{7, 29, 247, 2, 65535, 2010, 5, 2, 1, 1}
        << QStringList{"7", "29", "247", "65535", "2010", "Двух элементная", "Tervex"} << 2;
    // Any scheme or variant word but 0 is the second choice; words are unsigned.
    QTest::newRow("odd scheme and variant words")
        << QList<quint16>{0xFFFF, 0, 0x8000, 1, 0, 0, 9, 9, 0x0100, 0xFFFF}
        << QStringList{"65535", "0", "32768", "0", "0", "Двух элементная", "Tervex"} << 1;
    QTest::newRow("brightness beyond the list")
        << QList<quint16>{1, 29, 1, 5, 1, 2008, 3, 0, 0, 1}
        << QStringList{"1", "29", "1", "1", "2008", "Трех элементная", "Tervex"} << -1;
}

void MainParametersTest::mainBlock() {
    QFETCH(QList<quint16>, words);
    QFETCH(QStringList, texts);
    QFETCH(int, brightness);
    const QByteArray d = dataOf(words);
    const std::optional<MainParameters> p = DecodeMainParameterBlock(bytes(d), int(d.size()));
    QVERIFY(p);
    QCOMPARE((QStringList{p->versPrg, p->numMeasureParam, p->readLog, p->numDev, p->readYear,
                          p->schInp, p->versDev}),
             texts);
    QCOMPARE(p->brightness, brightness);
}

void MainParametersTest::shortBlocksDecodeToNothing() {
    const QByteArray main = dataOf(QList<quint16>(kMainParameterWords, 1));
    QVERIFY(!DecodeMainParameterBlock(bytes(main), int(main.size()) - 1));
    QVERIFY(!DecodeMainParameterBlock(nullptr, 20));
    const QByteArray shown = dataOf(QList<quint16>(kDisplayedParameterWords, 1));
    QVERIFY(!DecodeDisplayedParameterBlock(bytes(shown), int(shown.size()) - 1));
    QVERIFY(DecodeDisplayedParameterBlock(bytes(shown), int(shown.size())));
}

void MainParametersTest::displayedBlock() {
    // Line 1: Pa in kW (the high byte of a code word is not part of the code); line 2: a power
    // factor, which has no unit; line 3: a code beyond the catalogue.
    const QByteArray d = dataOf({0x0109, 18, 29, 3, 2, 0x0106});
    const std::optional<IndicatorSetup> s = DecodeDisplayedParameterBlock(bytes(d), int(d.size()));
    QVERIFY(s);
    const struct {
        int code, item;
        quint16 exponent;
        const char* name;
        const char* unit;
    } expected[3] = {
        {9, 9, 3, "Pa", "кВт"},
        {18, 18, 2, "KPa", ""},
        {29, -1, 0x0106, "", ""},
    };
    for (int i = 0; i < 3; ++i) {
        const IndicatorLineSetup& line = (*s)[size_t(i)];
        QCOMPARE(line.code, expected[i].code);
        QCOMPARE(line.item(), expected[i].item);
        QCOMPARE(line.exponent, expected[i].exponent);
        QCOMPARE(line.name, QString::fromUtf8(expected[i].name));
        QCOMPARE(line.unit, QString::fromUtf8(expected[i].unit));
    }
}

void MainParametersTest::writeAddresses() {
    QCOMPARE(MainWordAddress(MainWord::LogicalNumber), quint16(0x0204));
    QCOMPARE(MainWordAddress(MainWord::Brightness), quint16(0x0206));
    QCOMPARE(MainWordAddress(MainWord::DeviceNumber), quint16(0x0208));
    QCOMPARE(MainWordAddress(MainWord::Year), quint16(0x020A));
    QCOMPARE(MainWordAddress(MainWord::Speed), quint16(0x020C));
    QCOMPARE(MainWordAddress(MainWord::Parity), quint16(0x020E));
}

void MainParametersTest::writeValues_data() {
    QTest::addColumn<QString>("check");
    QTest::addColumn<QString>("input");
    QTest::addColumn<int>("word");  // -1: nothing to send
    QTest::addColumn<QString>("refusal");
    QTest::addColumn<bool>("asError");
    QTest::newRow("log 1") << "log"
                           << "1" << 1 << QString() << false;
    QTest::newRow("log 247") << "log"
                             << "247" << 247 << QString() << false;
    QTest::newRow("log empty") << "log"
                               << "" << -1 << kNotGiven << false;
    QTest::newRow("log 0") << "log"
                           << "0" << -1 << kLogicalRange << false;
    QTest::newRow("log 248") << "log"
                             << "248" << -1 << kLogicalRange << false;
    QTest::newRow("log 65535") << "log"
                               << "65535" << -1 << kLogicalRange << false;
    QTest::newRow("log text") << "log"
                              << "x" << -1 << linktext::NotANumber("x") << true;
    QTest::newRow("word 0") << "word"
                            << "0" << 0 << QString() << false;
    QTest::newRow("word 65535") << "word"
                                << "65535" << 65535 << QString() << false;
    QTest::newRow("word 70000") << "word"
                                << "70000" << -1 << kWordRange << false;
    QTest::newRow("word -1") << "word"
                             << "-1" << -1 << kWordRange << false;
    QTest::newRow("word empty") << "word"
                                << "" << -1 << linktext::NotANumber("") << true;
    QTest::newRow("speed 1200") << "speed"
                                << "0" << 0 << QString() << false;
    QTest::newRow("speed 19200") << "speed"
                                 << "4" << 4 << QString() << false;
    QTest::newRow("speed 38400") << "speed"
                                 << "5" << -1 << QStringLiteral("Ошибочная скорость порта: 38400")
                                 << false;
    QTest::newRow("speed none") << "speed"
                                << "-1" << -1 << kIncorrect << false;
    QTest::newRow("selection 2 of 3") << "selection"
                                      << "2" << 2 << QString() << false;
    QTest::newRow("selection none") << "selection"
                                    << "-1" << -1 << kIncorrect << false;
    QTest::newRow("selection beyond") << "selection"
                                      << "3" << -1 << kIncorrect << false;
}

void MainParametersTest::writeValues() {
    QFETCH(QString, check);
    QFETCH(QString, input);
    QFETCH(int, word);
    QFETCH(QString, refusal);
    QFETCH(bool, asError);
    WriteValue v;
    if (check == QLatin1String("log"))
        v = LogicalNumberValue(input);
    else if (check == QLatin1String("word"))
        v = RegisterWordValue(input);
    else if (check == QLatin1String("speed"))
        v = SpeedValue(input.toInt());
    else
        v = SelectionValue(input.toInt(), 3);
    QCOMPARE(v.word.has_value(), word >= 0);
    if (word >= 0) {
        QCOMPARE(int(*v.word), word);
        QVERIFY(v.refusal.isEmpty());
    } else {
        QCOMPARE(v.refusal, refusal);
        QCOMPARE(v.asError, asError);
    }
}

void MainParametersTest::displayedParameterWords() {
    const auto words = DisplayedParameterWords({0, 28, 9});
    QVERIFY(words);
    QCOMPARE(*words, (std::array<quint16, 3>{0, 28, 9}));
    QVERIFY(!DisplayedParameterWords({0, -1, 9}));
    QVERIFY(!DisplayedParameterWords({29, 0, 0}));
    QCOMPARE(SpeedOfItem(3), 9600);
    QCOMPARE(SpeedOfItem(6), 0);
}

QTEST_GUILESS_MAIN(MainParametersTest)
#include "unit_mainparameters.moc"
