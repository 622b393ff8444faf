// The metrology procedure's logic without widgets: the reading display, the 60 % rule, the
// nominal values, the requests as frames, the states and the inputs.
#include <QtTest>
#include <cmath>
#include <cstring>
#include <limits>

#include "calibration/metrology.h"
#include "link/frames.h"

using namespace metrology;

namespace {

// The primary voltage as read whose nominal is 57.74 exactly (the first float above 75.062).
float u0For5774() {
    return std::nextafter(75.062f, 100.0f);
}

QString frameOf(const RequestRecord& r, quint8 slave = 1) {
    quint8 buffer[32];
    int n = 0;
    if (r.requestCode() == RequestCode::MetrologyReference)
        n = frames::BuildWriteLong(buffer, slave, r.StartRegister, r.RegisterCount, r.LongValue);
    else if (CodeInfo(r.requestCode()).op == SendOp::Write06)
        n = frames::BuildWrite06(buffer, quint8(r.SlaveAddress), r.StartRegister, r.WordValue);
    else
        n = frames::BuildRead(buffer, slave, r.StartRegister, r.RegisterCount);
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(buffer), n).toHex(' '));
}

const CalibrationRow& row(const char* field) {
    return kCalibrationRows[size_t(RowIndex(field))];
}

}  // namespace

class MetrologyTest : public QObject {
    Q_OBJECT
  private slots:
    void formatValue_data();
    void formatValue();
    void entryText_data();
    void entryText();
    void references();
    void rowRule_data();
    void rowRule();
    void buttonsFollowTheirRows();
    void requestFrames_data();
    void requestFrames();
    void transitions_data();
    void transitions();
    void timerSends();
    void inputs();
};

void MetrologyTest::formatValue_data() {
    QTest::addColumn<double>("x");
    QTest::addColumn<QString>("english");
    QTest::addColumn<QString>("russian");
    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("57.735") << double(57.735f) << "57.735"
                            << "57,735";
    QTest::newRow("230.94") << double(230.94f) << "230.94"
                            << "230,94";
    QTest::newRow("0.5") << 0.5 << "0.5000"
                         << "0,5000";
    QTest::newRow("Q 0.004") << double(0.004f) << "0.0040"
                             << "0,0040";
    QTest::newRow("tiny") << 1e-7 << "0.0000"
                          << "0,0000";
    QTest::newRow("zero") << 0.0 << "0.0"
                          << "0.0";
    QTest::newRow("minus zero") << -0.0 << "0.0"
                                << "0.0";
    QTest::newRow("negative") << -57.735 << "-57.735"
                              << "-57,735";
    QTest::newRow("999.99996 rounds up") << 999.99996 << "1000.0"
                                         << "1000,0";
    QTest::newRow("1000") << 1000.0 << "1.0000"
                          << "1,0000";
    QTest::newRow("1500") << 1500.0 << "1.5000"
                          << "1,5000";
    QTest::newRow("6000") << 6000.0 << "6.0000"
                          << "6,0000";
    QTest::newRow("250000") << 250000.0 << "250.00"
                            << "250,00";
    QTest::newRow("-1500") << -1500.0 << "-1.5000"
                           << "-1,5000";
    QTest::newRow("1234567") << 1234567.0 << "1.2346"
                             << "1,2346";
    QTest::newRow("float max") << double(std::numeric_limits<float>::max()) << "340.28"
                               << "340,28";
    // Not numbers: as the measured values show them, never a logarithm of them.
    QTest::newRow("NaN") << std::nan("") << "NaN"
                         << "NaN";
    QTest::newRow("+inf") << inf << "+∞"
                          << "+∞";
    QTest::newRow("-inf") << -inf << "-∞"
                          << "-∞";
}

void MetrologyTest::formatValue() {
    QFETCH(double, x);
    QFETCH(QString, english);
    QFETCH(QString, russian);
    QCOMPARE(FormatCalibrationValue(x, QLocale(QLocale::English)), english);
    QCOMPARE(FormatCalibrationValue(x, QLocale(QLocale::Russian)), russian);
    // The digits do not depend on the program's default locale, only the separator asked for.
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German));
    const QString underGerman = FormatCalibrationValue(x, QLocale(QLocale::English));
    QLocale::setDefault(saved);
    QCOMPARE(underGerman, english);
}

// A value typed from a reading starts from the reading as measured, with the digits shown.
void MetrologyTest::entryText_data() {
    QTest::addColumn<double>("x");
    QTest::addColumn<QString>("english");
    QTest::addColumn<QString>("russian");
    QTest::newRow("57.735") << double(57.735f) << "57.735"
                            << "57,735";
    QTest::newRow("0.5") << 0.5 << "0.5000"
                         << "0,5000";
    QTest::newRow("zero") << 0.0 << "0"
                          << "0";
    QTest::newRow("1000") << 1000.0 << "1000.0"
                          << "1000,0";
    QTest::newRow("6000") << 6000.0 << "6000.0"
                          << "6000,0";
    QTest::newRow("-1500") << -1500.0 << "-1500.0"
                           << "-1500,0";
    QTest::newRow("250000") << 250000.0 << "250000"
                            << "250000";
    QTest::newRow("1234567") << 1234567.0 << "1234600"
                             << "1234600";
    QTest::newRow("999.99996") << 999.99996 << "1000.0"
                               << "1000,0";
    QTest::newRow("NaN") << std::nan("") << ""
                         << "";
}

void MetrologyTest::entryText() {
    QFETCH(double, x);
    QFETCH(QString, english);
    QFETCH(QString, russian);
    QCOMPARE(CalibrationEntryText(x, QLocale(QLocale::English)), english);
    const QString ru = CalibrationEntryText(x, QLocale(QLocale::Russian));
    QCOMPARE(ru, russian);
    // It must read back in the locale it was written for.
    if (!ru.isEmpty()) {
        bool ok = false;
        const double back = QLocale(QLocale::Russian).toDouble(ru, &ok);
        QVERIFY(ok);
        QVERIFY(std::fabs(back - x) <= 1e-4 * std::max(1.0, std::fabs(x)));
    }
}

void MetrologyTest::references() {
    const References three = ReferencesFor(u0For5774(), 6.5f, false);
    QCOMPARE(three.voltage, 57.74f);
    QCOMPARE(three.current, 5.0f);
    QVERIFY(qFuzzyCompare(three.phasePower, 57.74f * 5.0f));
    QVERIFY(qFuzzyCompare(three.totalPower, 3 * 57.74f * 5.0f));

    const References two = ReferencesFor(u0For5774(), 6.5f, true);
    QCOMPARE(two.voltage, three.voltage);
    QCOMPARE(two.phasePower, three.phasePower);
    QVERIFY(qFuzzyCompare(two.totalPower, 1.7321f * 57.74f * 5.0f));

    const References none = ReferencesFor(0.0f, 0.0f, false);
    QCOMPARE(none.voltage, 0.0f);
    QCOMPARE(none.totalPower, 0.0f);
    QVERIFY(!Usable(0.0f));
    QVERIFY(!Usable(std::nanf("")));
    QVERIFY(!Usable(std::numeric_limits<float>::infinity()));
    QVERIFY(Usable(57.74f));
}

// allowed: 1 enabled, 0 disabled, -1 the button is left as it was.
void MetrologyTest::rowRule_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<float>("u0");
    QTest::addColumn<float>("x");
    QTest::addColumn<float>("shown");
    QTest::addColumn<int>("allowed");
    const float u0 = u0For5774();
    // 60 % of 57.74 is 34.644.
    QTest::newRow("Uan 34.6 below") << "StaticTextUan" << u0 << 34.6f << 34.6f << 0;
    QTest::newRow("Uan 34.7 above") << "StaticTextUan" << u0 << 34.7f << 34.7f << 1;
    QTest::newRow("Uan negative") << "StaticTextUan" << u0 << -57.7f << -57.7f << 0;
    QTest::newRow("Uab against phase") << "StaticTextUab" << u0 << 34.7f << 34.7f << 1;
    QTest::newRow("Uca decides Button2Ubn") << "StaticTextUca" << u0 << 10.0f << 10.0f << 0;
    QTest::newRow("Ubc has no button") << "StaticTextUbc" << u0 << 57.0f << 57.0f << -1;
    QTest::newRow("Ia 3.0 above") << "StaticTextIa3" << u0 << 3.01f << 3.01f << 1;
    QTest::newRow("Ia 3.0 below") << "StaticTextIa2" << u0 << 2.99f << 2.99f << 0;
    QTest::newRow("0.004 is zero") << "StaticTextUan" << u0 << 0.004f << 0.0f << 0;
    QTest::newRow("-0.004 is zero") << "StaticTextPa" << u0 << -0.004f << 0.0f << -1;
    QTest::newRow("Q unjudged 0.004") << "StaticTextQs" << u0 << 0.004f << 0.004f << -1;
    QTest::newRow("no nominal: zero") << "StaticTextUan" << 0.0f << 230.0f << 0.0f << -1;
    QTest::newRow("no nominal: P zero") << "StaticTextP" << 0.0f << 800.0f << 0.0f << -1;
    QTest::newRow("no nominal: Q shown") << "StaticTextQs" << 0.0f << 12.5f << 12.5f << -1;
    QTest::newRow("NaN nominal: zero") << "StaticTextUan" << std::nanf("") << 230.0f << 0.0f << -1;
}

void MetrologyTest::rowRule() {
    QFETCH(QString, field);
    QFETCH(float, u0);
    QFETCH(float, x);
    QFETCH(float, shown);
    QFETCH(int, allowed);
    const References refs = ReferencesFor(u0, 6.5f, false);
    const RowUpdate u = UpdateCalibrationRow(row(field.toLatin1().constData()), x, refs);
    QCOMPARE(u.shown, shown);
    QCOMPARE(u.buttonAllowed.has_value(), allowed >= 0);
    if (allowed >= 0)
        QCOMPARE(*u.buttonAllowed, allowed == 1);
}

// Each "Ввод" button is judged by exactly one reading, against the nominal it writes.
void MetrologyTest::buttonsFollowTheirRows() {
    for (int b = 0; b < kEnterButtonCount; ++b) {
        int judges = 0;
        for (const CalibrationRow& r : kCalibrationRows) {
            if (r.button != b)
                continue;
            ++judges;
            QCOMPARE(r.reference, kEnterButtons[size_t(b)].nominal);
            QCOMPARE(r.sheet, kEnterButtons[size_t(b)].sheet);
        }
        QVERIFY2(judges == 1, kEnterButtons[size_t(b)].name);
    }
    // The irregular one: the button beside Ubc follows Uca and writes Ubc's reference.
    const EnterButton& b = kEnterButtons[size_t(row("StaticTextUca").button)];
    QCOMPARE(QString::fromLatin1(b.name), QStringLiteral("Button2Ubn"));
    QCOMPARE(b.referenceNumber, 4);
    QCOMPARE(b.line, row("StaticTextUbc").line);
}

void MetrologyTest::requestFrames_data() {
    QTest::addColumn<RequestRecord>("record");
    QTest::addColumn<QString>("frame");
    QTest::newRow("scheme read") << SchemeRead() << "01 03 02 10 00 01 84 77";
    QTest::newRow("ratio read") << RatioRead() << "01 03 08 00 00 08 46 6c";
    QTest::newRow("Uan nominal 57.74")
        << ReferenceWrite(0, 57.74f) << "01 10 07 00 00 02 04 42 66 f5 c3 26 f9";
    QTest::newRow("Uab typed 100")
        << ReferenceWrite(3, 100.0f) << "01 10 07 0c 00 02 04 42 c8 00 00 40 4c";
    QTest::newRow("UpDownPb1 up") << PowerTrimWrite(true, 4, 1) << "01 06 02 80 00 04 88 59";
    QTest::newRow("UpDownPsc0 down") << PowerTrimWrite(false, 2, 1) << "01 06 02 81 00 02 59 9b";
    QTest::newRow("save") << CalibrationSave(1) << "01 06 02 ff 00 00 b8 42";
}

void MetrologyTest::requestFrames() {
    QFETCH(RequestRecord, record);
    QFETCH(QString, frame);
    QCOMPARE(frameOf(record), frame);
    if (record.requestCode() == RequestCode::MetrologyCommand)
        QCOMPARE(CodeInfo(record.requestCode()).repeat, Repeat::Once);
}

void MetrologyTest::transitions_data() {
    QTest::addColumn<State>("from");
    QTest::addColumn<Event>("event");
    QTest::addColumn<State>("to");
    using S = State;
    using E = Event;
    QTest::newRow("idle start") << S::Idle << E::StartClick << S::Starting;
    QTest::newRow("second click repeats") << S::Starting << E::StartClick << S::Starting;
    QTest::newRow("scheme answered") << S::Starting << E::SchemeReply << S::ReadingRatios;
    QTest::newRow("scheme lost") << S::Starting << E::StartFailed << S::Idle;
    QTest::newRow("ratios answered") << S::ReadingRatios << E::RatioReply << S::Polling;
    QTest::newRow("poll keeps polling") << S::Polling << E::PollReply << S::Polling;
    QTest::newRow("write queued") << S::Polling << E::WriteQueued << S::WriteQueued;
    QTest::newRow("poll while queued") << S::WriteQueued << E::PollReply << S::WriteQueued;
    QTest::newRow("write answered") << S::WriteQueued << E::WriteReply << S::Polling;
    QTest::newRow("write dropped") << S::WriteQueued << E::WriteDropped << S::Polling;
    QTest::newRow("no write before polling")
        << S::ReadingRatios << E::WriteQueued << S::ReadingRatios;
    QTest::newRow("stray scheme reply") << S::Polling << E::SchemeReply << S::Polling;
    QTest::newRow("failure after start") << S::Polling << E::StartFailed << S::Polling;
    for (S s : {S::Idle, S::Starting, S::ReadingRatios, S::Polling, S::WriteQueued})
        QTest::newRow(qPrintable(QStringLiteral("stop from %1").arg(StateName(s))))
            << s << E::Stop << S::Idle;
}

void MetrologyTest::transitions() {
    QFETCH(State, from);
    QFETCH(Event, event);
    QFETCH(State, to);
    QCOMPARE(Next(from, event), to);
}

void MetrologyTest::timerSends() {
    QCOMPARE(TimerSends(State::Idle, RequestCode::MetrologyReference), std::nullopt);
    QCOMPARE(TimerSends(State::Starting, RequestCode::MetrologyReference), std::nullopt);
    QCOMPARE(TimerSends(State::ReadingRatios, RequestCode::MetrologyReference),
             RequestCode::MetrologyRatioRead);
    QCOMPARE(TimerSends(State::Polling, RequestCode::MetrologyReference),
             RequestCode::MetrologyPoll);
    QCOMPARE(TimerSends(State::WriteQueued, RequestCode::MetrologyCommand),
             RequestCode::MetrologyCommand);
}

void MetrologyTest::inputs() {
    const References refs = ReferencesFor(u0For5774(), 6.5f, false);
    const References noVoltage = ReferencesFor(0.0f, 6.5f, false);
    const int uan = ButtonIndex("Button3Uan");
    const int ian = ButtonIndex("Button3Ian");

    CalibrationInputs in;
    in.beginStart();
    in.setEnabled(true);  // a time-out before the first reading
    QVERIFY(!in.trimsEnabled());
    QVERIFY(!in.buttonEnabled(uan, refs));

    in.readingArrived();
    QVERIFY(in.trimsEnabled());
    QVERIFY(in.buttonEnabled(uan, refs));
    in.setAllowed(uan, false);
    QVERIFY(!in.buttonEnabled(uan, refs));

    // A queued write takes everything away; its answer offers every button again.
    in.setEnabled(false);
    QVERIFY(!in.trimsEnabled());
    QVERIFY(!in.buttonEnabled(ian, refs));
    in.setEnabled(true);
    QVERIFY(in.buttonEnabled(uan, refs));

    // A nominal of 0 is never offered for writing.
    QVERIFY(!in.buttonEnabled(uan, noVoltage));
    QVERIFY(in.buttonEnabled(ian, noVoltage));

    in.beginStart();
    QVERIFY(!in.readingSeen());
    QVERIFY(!in.buttonEnabled(ian, refs));
}

Q_DECLARE_METATYPE(RequestRecord)
Q_DECLARE_METATYPE(metrology::State)
Q_DECLARE_METATYPE(metrology::Event)

QTEST_GUILESS_MAIN(MetrologyTest)
#include "unit_metrology.moc"
