// A typed calibration value: which texts count as numbers under either decimal separator, and
// what they are written as.
#include <QtTest>
#include <cmath>
#include <limits>

#include "calibration/valueentry.h"

using namespace valueentry;

class ValueEntryTest : public QObject {
    Q_OBJECT
  private slots:
    void validity_data();
    void validity();
    void parse_data();
    void parse();
};

void ValueEntryTest::validity_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("english");  // decimal point
    QTest::addColumn<bool>("russian");  // decimal comma
    // clang-format off
    QTest::newRow("integer")            << "100"       << true  << true;
    QTest::newRow("point")              << "57.735"    << true  << false;
    QTest::newRow("comma")              << "57,735"    << false << true;
    QTest::newRow("separator last")     << "1."        << true  << false;
    QTest::newRow("separator first")    << ".5"        << true  << false;
    QTest::newRow("negative")           << "-5.0"      << true  << false;
    QTest::newRow("plus")               << "+5"        << true  << true;
    QTest::newRow("blanks")             << " 12 "      << true  << true;
    QTest::newRow("exponent")           << "1e5"       << true  << true;
    QTest::newRow("signed exponent")    << "2.5E-3"    << true  << false;
    QTest::newRow("lone minus")         << "-"         << false << false;
    QTest::newRow("lone separator")     << "."         << false << false;
    QTest::newRow("open exponent")      << "1e"        << false << false;
    QTest::newRow("letter")             << "5a"        << false << false;
    QTest::newRow("two separators")     << "1.2.3"     << false << false;
    QTest::newRow("group separator")    << "1,000.5"   << false << false;
    QTest::newRow("inner blank")        << "1 000"     << false << false;
    QTest::newRow("infinity")           << "inf"       << false << false;
    QTest::newRow("nan")                << "nan"       << false << false;
    QTest::newRow("empty")              << ""          << false << false;
    // clang-format on
}

void ValueEntryTest::validity() {
    QFETCH(QString, text);
    QFETCH(bool, english);
    QFETCH(bool, russian);
    QCOMPARE(IsValidText(text, QLocale(QLocale::English)), english);
    QCOMPARE(IsValidText(text, QLocale(QLocale::Russian)), russian);
}

void ValueEntryTest::parse_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("locale");  // QLocale::Language
    QTest::addColumn<int>("status");
    QTest::addColumn<float>("value");
    const int en = QLocale::English, ru = QLocale::Russian;
    const int ok = int(Status::Ok), empty = int(Status::Empty), nan = int(Status::NotANumber),
              range = int(Status::OutOfRange);
    // clang-format off
    QTest::newRow("point")           << "19.987"  << en << ok    << 19.987f;
    QTest::newRow("comma")           << "19,987"  << ru << ok    << 19.987f;
    QTest::newRow("comma refused")   << "19,987"  << en << nan   << 0.0f;
    QTest::newRow("plus and blanks") << " +100 "  << en << ok    << 100.0f;
    QTest::newRow("separator last")  << "1,"      << ru << ok    << 1.0f;
    QTest::newRow("negative")        << "-5"      << ru << ok    << -5.0f;
    QTest::newRow("exponent")        << "6e3"     << en << ok    << 6000.0f;
    QTest::newRow("empty")           << ""        << en << empty << 0.0f;
    QTest::newRow("blanks only")     << "   "     << en << empty << 0.0f;
    QTest::newRow("lone minus")      << "-"       << en << nan   << 0.0f;
    QTest::newRow("float maximum")   << "3.4e38"  << en << ok    << 3.4e38f;
    QTest::newRow("beyond float")    << "3.5e38"  << en << range << 0.0f;
    QTest::newRow("beyond double")   << "1e400"   << en << range << 0.0f;
    QTest::newRow("beyond, negative")<< "-1e39"   << en << range << 0.0f;
    QTest::newRow("below double")    << "1e-400"  << en << ok    << 0.0f;
    // clang-format on
}

void ValueEntryTest::parse() {
    QFETCH(QString, text);
    QFETCH(int, locale);
    QFETCH(int, status);
    QFETCH(float, value);
    const Entry e = ParseEntry(text, QLocale(QLocale::Language(locale)));
    QCOMPARE(int(e.status), status);
    QCOMPARE(e.value, value);
    QVERIFY(std::isfinite(e.value));
}

QTEST_GUILESS_MAIN(ValueEntryTest)
#include "unit_valueentry.moc"
