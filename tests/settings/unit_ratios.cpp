// Scheme and transformer ratios without widgets: snapping, the scheme switch, number texts under
// either decimal separator, the rated-value block, the check before a write and the write chain.
#include <QtTest>
#include <bit>
#include <cmath>

#include "settings/ratios.h"

using namespace ratios;

namespace {

const QLocale kEnglish(QLocale::English, QLocale::UnitedStates);
const QLocale kRussian(QLocale::Russian, QLocale::Russia);
constexpr int kTwo = kTwoElementItem;
constexpr int kThree = kThreeElementItem;

QByteArray blockOf(const QList<quint32>& patterns) {
    QByteArray out;
    for (quint32 p : patterns) {
        for (int shift = 24; shift >= 0; shift -= 8)
            out.append(char((p >> shift) & 0xFF));
    }
    return out;
}

quint32 bits(float v) {
    return std::bit_cast<quint32>(v);
}

}  // namespace

class RatiosTest : public QObject {
    Q_OBJECT
  private slots:
    void schemeWords();
    void snap_data();
    void snap();
    void parse_data();
    void parse();
    void formatsWithoutGroups();
    void schemeSwitch_data();
    void schemeSwitch();
    void lineValuesAreNotSnappedBeforeApplying();
    void ratioBlock_data();
    void ratioBlock();
    void shortBlock();
    void plan_data();
    void plan();
    void chainVisitsEveryStepInOrder();
    void requestsCarryThePlan();
};

void RatiosTest::schemeWords() {
    QCOMPARE(SchemeItemOf(0), kThree);
    QCOMPARE(SchemeItemOf(1), kTwo);
    QCOMPARE(SchemeItemOf(2), kTwo);
    QCOMPARE(SchemeItemOf(0xFFFF), kTwo);
    QCOMPARE(SchemeWordOf(kTwo), quint16(1));
    QCOMPARE(SchemeWordOf(kThree), quint16(0));
    QCOMPARE(SchemeItems(), (QStringList{"двух элементная", "трех элементная"}));
    QCOMPARE(VoltageItems(kTwo).size(), 10);
    QCOMPARE(VoltageItems(kThree).first(), QStringLiteral("57.74"));
    QCOMPARE(StartupVoltageItems().size(), 11);
    QVERIFY(StartupVoltageItems().last().isEmpty());
}

void RatiosTest::snap_data() {
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<int>("scheme");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("snapped");

    QTest::newRow("57.8 to the nominal") << kEnglish << kThree << "57.8"
                                         << "57.74";
    QTest::newRow("58 outside every window") << kEnglish << kThree << "58"
                                             << "58.00";
    QTest::newRow("57.62 below the window") << kEnglish << kThree << "57.62"
                                            << "57.62";
    QTest::newRow("230.9 has no window") << kEnglish << kThree << "230.9"
                                         << "230.90";
    QTest::newRow("3464 to 3464.1") << kEnglish << kThree << "3464"
                                    << "3464.1";
    QTest::newRow("288675 to itself") << kEnglish << kThree << "288675"
                                      << "288675";
    QTest::newRow("100 is a line value") << kEnglish << kThree << "100"
                                         << "100.00";
    QTest::newRow("99.8 as single lies inside") << kEnglish << kTwo << "99.8"
                                                << "100";
    QTest::newRow("100.2 as single lies inside") << kEnglish << kTwo << "100.2"
                                                 << "100";
    QTest::newRow("99.79 below") << kEnglish << kTwo << "99.79"
                                 << "99.79";
    QTest::newRow("400 has no window") << kEnglish << kTwo << "400"
                                       << "400.00";
    QTest::newRow("15750.5") << kEnglish << kTwo << "15750.5"
                             << "15750";
    QTest::newRow("499000 bound excluded") << kEnglish << kTwo << "499000"
                                           << "499000.00";
    QTest::newRow("Russian comma typed") << kRussian << kThree << "57,8"
                                         << "57.74";
    QTest::newRow("Russian formats with comma") << kRussian << kThree << "58"
                                                << "58,00";
    QTest::newRow("Russian takes the item's point") << kRussian << kTwo << "6000.0"
                                                    << "6000";
}

void RatiosTest::snap() {
    QFETCH(QLocale, locale);
    QFETCH(int, scheme);
    QFETCH(QString, text);
    QFETCH(QString, snapped);
    const VoltageTexts out = SnapForScheme({text, text}, scheme, locale);
    QCOMPARE(out.primary, snapped);
    QCOMPARE(out.secondary, snapped);
}

void RatiosTest::parse_data() {
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<float>("value");

    QTest::newRow("point, English") << kEnglish << "57.74" << true << 57.74f;
    QTest::newRow("comma, English") << kEnglish << "57,74" << true << 57.74f;
    QTest::newRow("comma, Russian") << kRussian << "57,74" << true << 57.74f;
    QTest::newRow("point, Russian") << kRussian << "57.74" << true << 57.74f;
    QTest::newRow("blanks around") << kRussian << " 5 " << true << 5.0f;
    QTest::newRow("exponent") << kEnglish << "1e3" << true << 1000.0f;
    QTest::newRow("negative parses") << kEnglish << "-3" << true << -3.0f;
    QTest::newRow("empty") << kEnglish << "" << false << 0.0f;
    QTest::newRow("letters") << kRussian << "abc" << false << 0.0f;
    QTest::newRow("two points") << kEnglish << "1.2.3" << false << 0.0f;
    QTest::newRow("group and point") << kEnglish << "1,234.5" << false << 0.0f;
    QTest::newRow("blank inside") << kRussian << "5 000" << false << 0.0f;
    QTest::newRow("beyond single range") << kEnglish << "1e39" << false << 0.0f;
}

void RatiosTest::parse() {
    QFETCH(QLocale, locale);
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(float, value);
    const std::optional<float> v = ParseRatio(text, locale);
    QCOMPARE(v.has_value(), ok);
    if (ok)
        QCOMPARE(*v, value);
}

// A group separator in a formatted value would read back as a decimal comma.
void RatiosTest::formatsWithoutGroups() {
    QCOMPARE(FormatFixed(288675.0, 2, kEnglish), QStringLiteral("288675.00"));
    QCOMPARE(FormatFixed(288675.0, 2, kRussian), QStringLiteral("288675,00"));
    QCOMPARE(FormatFixed(7500.4, 0, kRussian), QStringLiteral("7500"));
    QCOMPARE(FormatGeneral(1000000.5, kRussian), QStringLiteral("1000000,5"));
    const QLocale german(QLocale::German, QLocale::Germany);
    QCOMPARE(*ParseRatio(FormatFixed(1234.5, 2, german), german), 1234.5f);
}

void RatiosTest::schemeSwitch_data() {
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<QString>("u");
    QTest::addColumn<QString>("s");
    QTest::addColumn<QString>("u2");
    QTest::addColumn<QString>("s2");

    QTest::newRow("phase to line") << kEnglish << kThree << kTwo << "57.74"
                                   << "57.74"
                                   << "100"
                                   << "100";
    QTest::newRow("line to phase") << kEnglish << kTwo << kThree << "100"
                                   << "100"
                                   << "57.74"
                                   << "57.74";
    QTest::newRow("230.9 without window") << kEnglish << kThree << kTwo << "230.9"
                                          << "57.74"
                                          << "399.93"
                                          << "100";
    QTest::newRow("400 to phase") << kEnglish << kTwo << kThree << "400"
                                  << "100"
                                  << "230.94"
                                  << "57.74";
    QTest::newRow("6000 to 3464.1") << kEnglish << kTwo << kThree << "6000"
                                    << "100"
                                    << "3464.1"
                                    << "57.74";
    QTest::newRow("Russian") << kRussian << kThree << kTwo << "230,9"
                             << "57.74"
                             << "399,93"
                             << "100";
    QTest::newRow("same scheme only snaps") << kEnglish << kThree << kThree << "58"
                                            << "57.8"
                                            << "58.00"
                                            << "57.74";
    QTest::newRow("empty and letters stay") << kEnglish << kThree << kTwo << ""
                                            << "abc"
                                            << ""
                                            << "abc";
}

// A switch as the operator makes it: converted, then the new scheme applied.
void RatiosTest::schemeSwitch() {
    QFETCH(QLocale, locale);
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(QString, u);
    QFETCH(QString, s);
    QFETCH(QString, u2);
    QFETCH(QString, s2);
    const VoltageTexts converted = ConvertForScheme({u, s}, from, to, locale);
    QCOMPARE(SnapForScheme(converted, to, locale), (VoltageTexts{u2, s2}));
}

void RatiosTest::lineValuesAreNotSnappedBeforeApplying() {
    const VoltageTexts line = ConvertForScheme({"57.74", "57.74"}, kThree, kTwo, kRussian);
    QVERIFY2(line.primary.startsWith(QStringLiteral("100,00")) && line.primary.size() > 10,
             qPrintable(line.primary));
    // Phase values are snapped at once.
    QCOMPARE(ConvertForScheme({"100", "100"}, kTwo, kThree, kEnglish).primary,
             QStringLiteral("57.74"));
}

void RatiosTest::ratioBlock_data() {
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QList<quint32>>("patterns");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QList<float>>("kept");

    QTest::newRow("primaries divided by 1.3")
        << kEnglish << QList<quint32>{bits(75.062f), bits(57.74f), bits(6.5f), bits(5.0f)}
        << QStringList{"57.74", "57.74", "5", "5"} << QList<float>{75.062f, 57.74f, 6.5f, 5.0f};
    QTest::newRow("130 is not snapped")
        << kEnglish << QList<quint32>{bits(130.0f), bits(100.0f), bits(1.3f), bits(1.0f)}
        << QStringList{"100.00", "100.00", "1", "1"} << QList<float>{130.0f, 100.0f, 1.3f, 1.0f};
    QTest::newRow("marker reads as zero")
        << kRussian << QList<quint32>{0xFFFFFFFFu, bits(230.9f), 0xFFFFFFFFu, bits(5.0f)}
        << QStringList{"0,00", "230,90", "0", "5"} << QList<float>{0.0f, 230.9f, 0.0f, 5.0f};
}

void RatiosTest::ratioBlock() {
    QFETCH(QLocale, locale);
    QFETCH(QList<quint32>, patterns);
    QFETCH(QStringList, texts);
    QFETCH(QList<float>, kept);
    const QByteArray data = blockOf(patterns);
    const std::optional<RatedValues> values =
        DecodeRatioBlock(reinterpret_cast<const quint8*>(data.constData()), int(data.size()));
    QVERIFY(values);
    QCOMPARE(QList<float>(values->begin(), values->end()), kept);
    const std::array<QString, 4> shown = RatioTexts(*values, locale);
    QCOMPARE(QStringList(shown.begin(), shown.end()), texts);
}

void RatiosTest::shortBlock() {
    const QByteArray data(15, '\0');
    QVERIFY(!DecodeRatioBlock(reinterpret_cast<const quint8*>(data.constData()), 15));
    QVERIFY(!DecodeRatioBlock(nullptr, 16));
}

void RatiosTest::plan_data() {
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<bool>("ok");

    QTest::newRow("items") << kEnglish << QStringList{"57.74", "57.74", "5", "5"} << true;
    QTest::newRow("either separator, English")
        << kEnglish << QStringList{"57,74", "100", "7500", "1"} << true;
    QTest::newRow("either separator, Russian")
        << kRussian << QStringList{"57.74", "57,74", "5", "5"} << true;
    for (const char* bad : {"", "abc", "0", "-5", "nan", "inf", "1e39", "1e-50"}) {
        for (int field = 0; field < 4; ++field) {
            QStringList texts{"57.74", "57.74", "5", "5"};
            texts[field] = QString::fromLatin1(bad);
            QTest::addRow("'%s' in field %d", bad, field) << kEnglish << texts << false;
        }
    }
}

void RatiosTest::plan() {
    QFETCH(QLocale, locale);
    QFETCH(QStringList, texts);
    QFETCH(bool, ok);
    const std::optional<RatioWritePlan> p =
        PlanRatioWrite(kTwo, {texts[0], texts[1], texts[2], texts[3]}, locale);
    QCOMPARE(p.has_value(), ok);
    if (!ok)
        return;
    QCOMPARE(p->schemeWord, quint16(1));
    for (int k = 0; k < 4; ++k)
        QCOMPARE(p->values[size_t(k)], *ParseRatio(texts[k], locale));
}

// From the click, every Send leads to the reply whose steps send the next request.
void RatiosTest::chainVisitsEveryStepInOrder() {
    QList<int> codes, progress, pauses, longTimeouts;
    QStringList statuses;
    bool finished = false;
    std::span<const WriteStep> steps = WriteStart();
    for (int guard = 0; guard < 10 && !steps.empty(); ++guard) {
        std::span<const WriteStep> next;
        for (const WriteStep& s : steps) {
            switch (s.kind) {
                case StepKind::Status:
                    statuses << QString::fromUtf8(s.text);
                    break;
                case StepKind::Progress:
                    progress << s.value;
                    break;
                case StepKind::Pause:
                    pauses << s.value;
                    break;
                case StepKind::Send:
                    codes << CodeIndex(s.code);
                    if (s.longTimeout)
                        longTimeouts << CodeIndex(s.code);
                    next = WriteStepsAfter(s.code);
                    break;
                case StepKind::Finish:
                    finished = true;
                    break;
            }
        }
        steps = next;
    }
    QCOMPARE(codes, (QList<int>{14, 16, 17, 18, 19, 15}));
    QCOMPARE(longTimeouts, (QList<int>{14, 15}));
    QCOMPARE(progress, (QList<int>{0, 20, 40, 60, 80, 99, 100}));
    QCOMPARE(pauses, (QList<int>{500, 500, 500, 500, 500, 100}));
    QCOMPARE(statuses, (QStringList{"  Запись схемы подключения",
                                    "  Запись значения напряжения трансформатора напряжения",
                                    "  Запись значения входного напряжения",
                                    "  Запись значения тока трансформатора тока",
                                    "  Запись значение входного тока"}));
    QVERIFY(finished);
    QVERIFY(WriteStepsAfter(RequestCode::MainParameterWrite).empty());
}

void RatiosTest::requestsCarryThePlan() {
    RatioWritePlan p;
    p.schemeWord = 0;
    p.values = {57.74f, 100.0f, 7500.0f, 1.0f};
    const RequestRecord scheme = WriteRequest(RequestCode::SchemeWrite, p, 7, nullptr);
    QCOMPARE(scheme.StartRegister, quint16(528));
    QCOMPARE(scheme.WordValue, quint16(0));
    QCOMPARE(scheme.SlaveAddress, quint16(7));
    const RequestCode values[] = {RequestCode::RatedValue1, RequestCode::RatedValue2,
                                  RequestCode::RatedValue3, RequestCode::RatedValue4};
    for (int k = 0; k < 4; ++k) {
        const RequestRecord r = WriteRequest(values[k], p, 7, nullptr);
        QCOMPARE(r.StartRegister, quint16(2048 + 4 * k));
        QCOMPARE(r.RegisterCount, quint16(2));
        QCOMPARE(r.LongValue, bits(p.values[size_t(k)]));
    }
    QCOMPARE(WriteRequest(RequestCode::RatedValue1, p, 7, nullptr).LongValue, 0x4266F5C3u);
    const RequestRecord store = WriteRequest(RequestCode::RatioStore, p, 7, nullptr);
    QCOMPARE(store.StartRegister, quint16(767));
    QCOMPARE(store.WordValue, quint16(0));
}

QTEST_GUILESS_MAIN(RatiosTest)
#include "unit_ratios.moc"
