// The measured-values page: its controls found by objectName, and the fields filled from the
// data area of a real reply frame as the link hands it over.
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <algorithm>
#include <cmath>

#include "measure/measuredvaluespage.h"
#include "replies.h"

namespace {

struct Row {
    const char16_t* label;  // non-ASCII letters as code points: the Latin/Cyrillic mix matters
    const char* field;
    int index;
    int decimals;
    const char* group;
};

// clang-format off
const Row kRows[] = {
    {u"Uan, B = ", "EditUa", 0, 3, "Напряжение"},
    {u"Ubn, B = ", "EditUb", 1, 3, "Напряжение"},
    {u"Ucn, B = ", "EditUc", 2, 3, "Напряжение"},
    {u"U\u0441\u0440, B = ", "EditU", 26, 3, "Напряжение"},
    {u"Uab, B = ", "EditUab", 6, 3, "Напряжение линейное"},
    {u"Ubc, B = ", "EditUbc", 7, 3, "Напряжение линейное"},
    {u"Uca, B = ", "EditUca", 8, 3, "Напряжение линейное"},
    {u"U\u0441\u0440, B = ", "EditUL", 28, 3, "Напряжение линейное"},
    {u"Ia, A = ", "EditIa", 3, 4, "Ток"},
    {u"Ib, A = ", "EditIb", 4, 4, "Ток"},
    {u"Ic, A = ", "EditIc", 5, 4, "Ток"},
    {u"I\u0441\u0440, A = ", "EditI", 27, 4, "Ток"},
    {u"Pa, B\u0442 = ", "EditPa", 9, 3, "Мощность активная"},
    {u"Pb, B\u0442 = ", "EditPb", 10, 3, "Мощность активная"},
    {u"Pc, B\u0442 = ", "EditPc", 11, 3, "Мощность активная"},
    {u"P,  B\u0442 =", "EditP", 21, 3, "Мощность активная"},
    {u"Qa, \u0432\u0430\u0440 = ", "EditQa", 12, 3, "Мощность реактивная"},
    {u"Qb, \u0432\u0430\u0440 = ", "EditQb", 13, 3, "Мощность реактивная"},
    {u"Qc, \u0432\u0430\u0440 = ", "EditQc", 14, 3, "Мощность реактивная"},
    {u"Q, \u0432\u0430\u0440 = ", "EditQ", 22, 3, "Мощность реактивная"},
    {u"Sa, B\u0410 = ", "EditSa", 15, 3, "Мощность полная"},
    {u"Sb, B\u0410 = ", "EditSb", 16, 3, "Мощность полная"},
    {u"Sc, B\u0410 = ", "EditSc", 17, 3, "Мощность полная"},
    {u"S,  B\u0410 =", "EditS", 23, 3, "Мощность полная"},
    {u"Kpa =", "EditCosFa", 18, 3, "Коэффициент мощности"},
    {u"Kpb =", "EditCosFb", 19, 3, "Коэффициент мощности"},
    {u"Kpc =", "EditCosFc", 20, 3, "Коэффициент мощности"},
    {u"Kp   =", "EditCosF", 24, 3, "Коэффициент мощности"},
    {u"F, \u0413\u0446 =", "EditFrec", 25, 3, "Частота"},
};
// clang-format on

const char* const kGridCaptions[] = {
    "Напряжение",
    "Напряжение линейное",
    "Ток",
    "Мощность активная",
    "Мощность реактивная",
    "Мощность полная",
    "Коэффициент мощности",
    "Частота",
};

// Distinct values by index, k + 0.25, so a field showing another index's value shows; a few
// indexes carry the values whose texts are checked in full.
QList<float> distinctValues() {
    QList<float> values;
    for (int k = 0; k < kParameterCount; ++k)
        values << float(k) + 0.25f;
    values[0] = 12000.25f;
    values[21] = -150.0f;
    values[25] = 50.0f;
    values[26] = 230.0f;
    values[27] = 0.5f;
    return values;
}

QLineEdit* edit(const QWidget& page, const char* name) {
    return page.findChild<QLineEdit*>(QLatin1String(name));
}

}  // namespace

class MeasuredValuesPageTest : public QObject {
    Q_OBJECT
  private slots:
    void rows_data();
    void rows();
    void groupsOnTheGrid();
    void separatorBeforeTotalRow();
    void fitsItsTab();
    void showBlock_data();
    void showBlock();
    void markerOnlyWhereSent();
    void clearAndShortData();
};

void MeasuredValuesPageTest::rows_data() {
    QTest::addColumn<int>("row");
    for (int r = 0; r < int(std::size(kRows)); ++r)
        QTest::newRow(kRows[r].field) << r;
}

void MeasuredValuesPageTest::rows() {
    QFETCH(int, row);
    const Row& r = kRows[row];
    MeasuredValuesPage page;
    QLineEdit* e = edit(page, r.field);
    QVERIFY(e);
    QVERIFY(e->isReadOnly());
    QVERIFY(e->text().isEmpty());
    QCOMPARE(page.field(r.index), e);

    auto* box = qobject_cast<QGroupBox*>(e->parentWidget());
    QVERIFY(box);
    QCOMPARE(box->title(), QString::fromUtf8(r.group));

    const QList<QLabel*> labels = box->findChildren<QLabel*>();
    const auto it =
        std::find_if(labels.cbegin(), labels.cend(), [e](QLabel* l) { return l->buddy() == e; });
    QVERIFY2(it != labels.cend(), "no label for the field");
    QCOMPARE((*it)->text(), QString::fromUtf16(r.label));
}

void MeasuredValuesPageTest::groupsOnTheGrid() {
    MeasuredValuesPage page;
    QCOMPARE(page.findChildren<QLineEdit*>().size(), kParameterCount);
    QCOMPARE(page.findChildren<QGroupBox*>().size(), 8);

    auto* grid = page.findChild<QGridLayout*>(QStringLiteral("GridGroups"));
    QVERIFY(grid);
    for (int cell = 0; cell < 8; ++cell) {
        QLayoutItem* item = grid->itemAtPosition(cell / 3, cell % 3);
        QVERIFY(item);
        auto* box = qobject_cast<QGroupBox*>(item->widget());
        QVERIFY(box);
        QCOMPARE(box->title(), QString::fromUtf8(kGridCaptions[cell]));
    }

    auto* rep = page.findChild<QPushButton*>(QStringLiteral("ButtonRep"));
    QVERIFY(rep);
    QCOMPARE(grid->itemAtPosition(2, 2)->widget(), rep);
    QCOMPARE(rep->text(), QStringLiteral("Отчет"));
    page.show();
    QVERIFY(!rep->isVisible());
    QVERIFY(!rep->isEnabled());
}

// In each group of four the line lies between the third phase row and the total or average
// row, and nowhere else; the one-row frequency group has none.
void MeasuredValuesPageTest::separatorBeforeTotalRow() {
    MeasuredValuesPage page;
    page.resize(720, 520);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));

    for (int first = 0; first < int(std::size(kRows)); first += 4) {
        QLineEdit* phase = edit(page, kRows[first].field);
        auto* box = qobject_cast<QGroupBox*>(phase->parentWidget());
        QList<QFrame*> lines;
        for (QFrame* f : box->findChildren<QFrame*>()) {
            if (f->frameShape() == QFrame::HLine)
                lines << f;
        }
        if (first + 1 >= int(std::size(kRows))) {
            QVERIFY(lines.isEmpty());
            continue;
        }
        QCOMPARE(lines.size(), 1);
        const QLineEdit* third = edit(page, kRows[first + 2].field);
        const QLineEdit* total = edit(page, kRows[first + 3].field);
        QVERIFY2(lines[0]->geometry().top() >= third->geometry().bottom() &&
                     lines[0]->geometry().bottom() <= total->geometry().top(),
                 box->objectName().toLatin1());
    }
}

// The page shares a fixed-size window with the connection panel.
void MeasuredValuesPageTest::fitsItsTab() {
    MeasuredValuesPage page;
    const QSize need = page.minimumSizeHint();
    QVERIFY2(need.width() <= 720 && need.height() <= 520,
             qPrintable(QStringLiteral("%1x%2").arg(need.width()).arg(need.height())));
}

void MeasuredValuesPageTest::showBlock_data() {
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("ua");  // "_" stands for the locale's group separator
    QTest::addColumn<QString>("p");
    QTest::addColumn<QString>("frec");
    QTest::addColumn<QString>("u");
    QTest::addColumn<QString>("i");

    QTest::newRow("Russian") << QLocale(QLocale::Russian, QLocale::Russia) << "12_000,250"
                             << "-150,000"
                             << "50,000"
                             << "230,000"
                             << "0,5000";
    QTest::newRow("English") << QLocale(QLocale::English, QLocale::UnitedStates) << "12_000.250"
                             << "-150.000"
                             << "50.000"
                             << "230.000"
                             << "0.5000";
}

void MeasuredValuesPageTest::showBlock() {
    QFETCH(QLocale, locale);
    QFETCH(QString, ua);
    QFETCH(QString, p);
    QFETCH(QString, frec);
    QFETCH(QString, u);
    QFETCH(QString, i);
    ua.replace(QLatin1Char('_'), locale.groupSeparator());

    MeasuredValuesPage page;
    page.setLocale(locale);
    const QByteArray reply = replies::measuredBlock(distinctValues());
    page.ShowMeasuredBlock(reinterpret_cast<const quint8*>(reply.constData()) + 3,
                           int(reply.size()) - 3);

    QCOMPARE(edit(page, "EditUa")->text(), ua);
    QCOMPARE(edit(page, "EditP")->text(), p);
    QCOMPARE(edit(page, "EditFrec")->text(), frec);
    QCOMPARE(edit(page, "EditU")->text(), u);
    QCOMPARE(edit(page, "EditI")->text(), i);

    const QSet<int> spots = {0, 21, 25, 26, 27};
    for (const Row& r : kRows) {
        if (spots.contains(r.index))
            continue;
        const QString expected = QString::number(r.index) + locale.decimalPoint() +
                                 QStringLiteral("2500").left(r.decimals);
        QCOMPARE(edit(page, r.field)->text(), expected);
    }
}

void MeasuredValuesPageTest::markerOnlyWhereSent() {
    const QString noInfo = QStringLiteral("нет информ.");
    MeasuredValuesPage page;
    page.setLocale(QLocale(QLocale::Russian));

    QList<float> values = distinctValues();
    values[27] = std::nanf("");  // the marker in this reply builder
    QByteArray reply = replies::measuredBlock(values);
    page.ShowMeasuredBlock(reinterpret_cast<const quint8*>(reply.constData()) + 3, 116);
    for (const Row& r : kRows) {
        QCOMPARE(edit(page, r.field)->text() == noInfo, r.index == 27);
    }

    values.fill(std::nanf(""));
    reply = replies::measuredBlock(values);
    page.ShowMeasuredBlock(reinterpret_cast<const quint8*>(reply.constData()) + 3, 116);
    for (const Row& r : kRows)
        QCOMPARE(edit(page, r.field)->text(), noInfo);
}

void MeasuredValuesPageTest::clearAndShortData() {
    MeasuredValuesPage page;
    page.setLocale(QLocale(QLocale::English));
    const QByteArray reply = replies::measuredBlock(distinctValues());
    const auto* data = reinterpret_cast<const quint8*>(reply.constData()) + 3;
    page.ShowMeasuredBlock(data, 116);
    QCOMPARE(edit(page, "EditU")->text(), QStringLiteral("230.000"));

    // A data area shorter than the block must not be read; the fields keep their texts.
    const QByteArray zeros(115, '\0');
    page.ShowMeasuredBlock(reinterpret_cast<const quint8*>(zeros.constData()), 115);
    page.ShowMeasuredBlock(nullptr, 116);
    QCOMPARE(edit(page, "EditU")->text(), QStringLiteral("230.000"));

    page.ClearMeasuredValues();
    for (const Row& r : kRows)
        QVERIFY2(edit(page, r.field)->text().isEmpty(), r.field);
}

QTEST_MAIN(MeasuredValuesPageTest)
#include "gui_measuredvaluespage.moc"
