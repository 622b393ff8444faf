// The indicator view: its controls found by objectName, the values of a real reply rendered
// into the digits with the exponents of the set-up, and the clock face following the clock.
#include <QDir>
#include <QLabel>
#include <QtTest>
#include <cmath>
#include <limits>

#include "measure/indicatorview.h"
#include "pagebench.h"
#include "replies.h"
#include "widgets/ledclock.h"
#include "widgets/sevensegment.h"

namespace {

struct Named {
    const char* name;
    const char* className;
    const char* caption;
};

// clang-format off
const Named kNames[] = {
    {"TS_Ind", "IndicatorView", "Отображаемая информация"},
    {"LabelLineName0", "QLabel", ""}, {"LabelLineName1", "QLabel", ""},
    {"LabelLineName2", "QLabel", ""},
    {"VrDigit1", "SevenSegmentDigit", ""}, {"VrDigit2", "SevenSegmentDigit", ""},
    {"VrDigit3", "SevenSegmentDigit", ""},
    {"VrDigit11", "SevenSegmentDigit", ""}, {"VrDigit12", "SevenSegmentDigit", ""},
    {"VrDigit13", "SevenSegmentDigit", ""}, {"VrDigit14", "SevenSegmentDigit", ""},
    {"VrDigit21", "SevenSegmentDigit", ""}, {"VrDigit22", "SevenSegmentDigit", ""},
    {"VrDigit23", "SevenSegmentDigit", ""}, {"VrDigit24", "SevenSegmentDigit", ""},
    {"VrDigit31", "SevenSegmentDigit", ""}, {"VrDigit32", "SevenSegmentDigit", ""},
    {"VrDigit33", "SevenSegmentDigit", ""}, {"VrDigit34", "SevenSegmentDigit", ""},
    {"LabelLine0", "QLabel", ""}, {"LabelLine1", "QLabel", ""}, {"LabelLine2", "QLabel", ""},
    {"VrLedClock1", "LedClock", ""},
};
// clang-format on

// The size of the tab the window gives the page.
constexpr QSize kTabSize(760, 560);

// With TERVEX_SHOT naming a directory, saves a picture of `w` there as `file`, to look at.
void shot(QWidget& w, const char* file) {
    const QString dir = qEnvironmentVariable("TERVEX_SHOT");
    if (dir.isEmpty())
        return;
    const QString path = QDir(dir).absoluteFilePath(QString::fromLatin1(file));
    QVERIFY2(w.grab().save(path), qPrintable(path));
}

// A line as it reads, one token per digit position: a digit, a digit with its point ("2."),
// "_" for a blank, "?" for a pattern that is no digit; the sign first ("-" or "_").
QString reading(const IndicatorView& view, int line) {
    const quint8 sign = view.signSegments(line);
    QStringList tokens{sign == kSignMinus  ? QStringLiteral("-")
                       : sign == kSignDark ? QStringLiteral("_")
                                           : QStringLiteral("?")};
    for (int pos = 0; pos < kIndicatorDigits; ++pos) {
        const quint8 pattern = view.digitSegments(line, pos);
        QString token = QStringLiteral("?");
        for (int code = 0; code < int(DigitPatterns.size()); ++code) {
            if (DigitPatterns[code] != pattern)
                continue;
            if (code == kBlankDigit)
                token = QStringLiteral("_");
            else if (code >= kPointDigitOffset)
                token = QString::number(code - kPointDigitOffset) + QLatin1Char('.');
            else
                token = QString::number(code);
        }
        tokens << token;
    }
    return tokens.join(QLatin1Char(' '));
}

// The values read of the device at the polling group's request: code 3 without a sender.
void readValues(PageBench& bench, const QList<float>& values) {
    RequestRecord r = PreparedRecord(RequestCode::IndicatorValues);
    r.SlaveAddress = 1;
    QVERIFY(bench.engine.SendInquiry(r));
    QCOMPARE(bench.takeWritten(), QStringList{QStringLiteral("01 03 03 00 00 06 c5 8c")});
    bench.port.deliver(replies::measuredBlock(values));
    QVERIFY(!bench.engine.awaitingReply());
}

const float kNoInfo = std::numeric_limits<float>::quiet_NaN();  // the marker FF FF FF FF

}  // namespace

class IndicatorViewTest : public QObject {
    Q_OBJECT
  private slots:
    void goldenNames_data();
    void goldenNames();
    void frontPanelLayout();
    void lineSetup();
    void rendersReply_data();
    void rendersReply();
    void overflowKeepsDigits();
    void failuresChangeNothing();
    void clockFollowsTimer();
};

void IndicatorViewTest::goldenNames_data() {
    QTest::addColumn<int>("row");
    for (int r = 0; r < int(std::size(kNames)); ++r)
        QTest::newRow(kNames[r].name) << r;
}

void IndicatorViewTest::goldenNames() {
    QFETCH(int, row);
    const Named& n = kNames[row];
    PageBench bench;
    IndicatorView view(bench.context(), nullptr);
    QWidget* w = view.objectName() == QLatin1String(n.name)
                     ? &view
                     : view.findChild<QWidget*>(QLatin1String(n.name));
    QVERIFY(w);
    QCOMPARE(w->metaObject()->className(), n.className);
    // The start state: every label empty, every digit dark.
    if (auto* label = qobject_cast<QLabel*>(w))
        QCOMPARE(label->text(), QString::fromUtf8(n.caption));
    else if (auto* d = qobject_cast<SevenSegmentDigit*>(w))
        QCOMPARE(d->segments(), quint8(0));
    else if (w == &view)
        QCOMPARE(view.windowTitle(), QString::fromUtf8(n.caption));
    QCOMPARE(view.findChildren<SevenSegmentDigit*>().size(),
             kIndicatorLineCount * (kIndicatorDigits + 1));
}

// Each line reads left to right name, sign, four digits, unit, on one height; the lines run
// top to bottom, the clock stands beside them, and all of it fits the tab.
void IndicatorViewTest::frontPanelLayout() {
    PageBench bench;
    IndicatorView view(bench.context(), nullptr);
    QVERIFY(view.minimumSizeHint().width() <= kTabSize.width());
    QVERIFY(view.minimumSizeHint().height() <= kTabSize.height());
    view.resize(kTabSize);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));

    auto rectOf = [&view](const QString& name) {
        auto* w = view.findChild<QWidget*>(name);
        return w ? QRect(w->mapTo(&view, QPoint(0, 0)), w->size()) : QRect();
    };
    const QRect page(QPoint(0, 0), kTabSize);
    int previousBottom = -1;
    int rightmost = 0;
    for (int line = 0; line < kIndicatorLineCount; ++line) {
        const QString n = QString::number(line + 1);
        QStringList order{QStringLiteral("LabelLineName%1").arg(line),
                          QStringLiteral("VrDigit") + n};
        for (int pos = 1; pos <= kIndicatorDigits; ++pos)
            order << QStringLiteral("VrDigit") + n + QString::number(pos);
        order << QStringLiteral("LabelLine%1").arg(line);
        QRect left;
        const int centre = rectOf(order.first()).center().y();
        for (const QString& name : order) {
            const QRect r = rectOf(name);
            QVERIFY2(!r.isEmpty() && page.contains(r), qPrintable(name));
            QVERIFY2(left.isNull() || r.left() >= left.right(), qPrintable(name));
            QVERIFY2(qAbs(r.center().y() - centre) <= 2, qPrintable(name));
            QVERIFY2(r.top() > previousBottom, qPrintable(name));
            left = r;
        }
        previousBottom = rectOf(QStringLiteral("VrDigit") + n + QStringLiteral("1")).bottom();
        rightmost = std::max(rightmost, left.right());
    }
    const QRect clock = rectOf(QStringLiteral("VrLedClock1"));
    QVERIFY(page.contains(clock));
    QVERIFY(clock.left() > rightmost);
}

void IndicatorViewTest::lineSetup() {
    PageBench bench;
    IndicatorView view(bench.context(), nullptr);
    view.setLineSetup(1, ShortName(26), UnitLabel(26, 3), 0x0003);
    view.setLineSetup(3, QStringLiteral("X"), QStringLiteral("Y"), 7);  // no such line
    view.setLineSetup(-1, QStringLiteral("X"), QStringLiteral("Y"), 7);
    auto text = [&view](const char* name) {
        return view.findChild<QLabel*>(QLatin1String(name))->text();
    };
    QCOMPARE(text("LabelLineName1"), QStringLiteral("U"));
    QCOMPARE(text("LabelLine1"), QStringLiteral("кB"));
    QCOMPARE(view.exponentWord(1), quint16(3));
    for (const char* name : {"LabelLineName0", "LabelLine0", "LabelLineName2", "LabelLine2"})
        QVERIFY2(text(name).isEmpty(), name);
    QCOMPARE(view.exponentWord(0), quint16(0));
    QCOMPARE(view.exponentWord(2), quint16(0));
    auto* name = view.findChild<QLabel*>(QStringLiteral("LabelLineName1"));
    QVERIFY(name->alignment() & Qt::AlignRight);
    QVERIFY(name->font().bold());
}

void IndicatorViewTest::rendersReply_data() {
    QTest::addColumn<QList<int>>("exponents");
    QTest::addColumn<QList<float>>("values");
    QTest::addColumn<QStringList>("shown");
    // clang-format off
    QTest::newRow("230 V, -12.345, no information")
        << QList<int>{2, 1, 2} << QList<float>{230.0f, -12.345f, kNoInfo}
        << QStringList{"_ 2 3 0. 0", "- 1 2. 3 5", "_ _ _ 0. 0"};
    QTest::newRow("prefixed exponents; the marker at the point of its line")
        << QList<int>{3, 5, 0} << QList<float>{230.0f, 1234.5f, kNoInfo}
        << QStringList{"_ 0. 2 3 0", "_ _ _ 1. 2", "_ 0. 0 0 0"};
    QTest::newRow("a negative value that rounds to zero keeps its minus")
        << QList<int>{0, 1, 0x0102} << QList<float>{-0.0001f, 5.0f, 230.0f}
        << QStringList{"- 0. 0 0 0", "_ _ 5. 0 0", "_ 2 3 0. 0"};
    // clang-format on
}

void IndicatorViewTest::rendersReply() {
    QFETCH(QList<int>, exponents);
    QFETCH(QList<float>, values);
    QFETCH(QStringList, shown);
    PageBench bench;
    IndicatorView view(bench.context(), nullptr);
    for (int line = 0; line < kIndicatorLineCount; ++line)
        view.setLineSetup(line, ShortName(line), UnitLabel(line, quint16(exponents[line])),
                          quint16(exponents[line]));
    readValues(bench, values);
    for (int line = 0; line < kIndicatorLineCount; ++line)
        QCOMPARE(reading(view, line), shown[line]);
    QVERIFY(bench.messages.messages.isEmpty());
}

// A value too wide for four digits at its line's exponent changes the sign digit only; a new
// exponent takes effect with the next values, not before.
void IndicatorViewTest::overflowKeepsDigits() {
    PageBench bench;
    IndicatorView view(bench.context(), nullptr);
    for (int line = 0; line < kIndicatorLineCount; ++line)
        view.setLineSetup(line, QString(), QString(), 1);
    readValues(bench, {-12.345f, 9.9996f, 5.0f});
    QCOMPARE(reading(view, 0), QStringLiteral("- 1 2. 3 5"));
    QCOMPARE(reading(view, 1), QStringLiteral("_ 1 0. 0 0"));

    readValues(bench, {100.0f, -100.0f, 5.0f});
    QCOMPARE(reading(view, 0), QStringLiteral("_ 1 2. 3 5"));
    QCOMPARE(reading(view, 1), QStringLiteral("- 1 0. 0 0"));
    QCOMPARE(reading(view, 2), QStringLiteral("_ _ 5. 0 0"));

    view.setLineSetup(2, QString(), QString(), 0);
    QCOMPARE(reading(view, 2), QStringLiteral("_ _ 5. 0 0"));
    readValues(bench, {1.0f, 1.0f, 9.9996f});
    QCOMPARE(reading(view, 2), QStringLiteral("_ _ 5. 0 0"));
    readValues(bench, {1.0f, 1.0f, 5.0f});
    QCOMPARE(reading(view, 2), QStringLiteral("_ 5. 0 0 0"));
}

void IndicatorViewTest::failuresChangeNothing() {
    PageBench bench;
    IndicatorView view(bench.context(), nullptr);
    for (int line = 0; line < kIndicatorLineCount; ++line)
        view.setLineSetup(line, QStringLiteral("Ua"), QStringLiteral("B"), 2);
    readValues(bench, {230.0f, -12.345f, 0.0f});
    const QStringList before{reading(view, 0), reading(view, 1), reading(view, 2)};

    RequestRecord r = PreparedRecord(RequestCode::IndicatorValues);
    r.SlaveAddress = 1;
    QVERIFY(bench.engine.SendInquiry(r));
    bench.clock.advance(LinkEngine::kReplyTimeoutMs);  // no reply
    QVERIFY(!bench.engine.awaitingReply());
    QVERIFY(bench.engine.SendInquiry(r));
    bench.port.deliver(replies::exception(3, 2));
    QVERIFY(bench.engine.SendInquiry(r));
    QByteArray spoilt = replies::measuredBlock({1.0f, 1.0f, 1.0f});
    spoilt[spoilt.size() - 1] = char(spoilt[spoilt.size() - 1] ^ 0x55);
    bench.port.deliver(spoilt);

    QCOMPARE((QStringList{reading(view, 0), reading(view, 1), reading(view, 2)}), before);
    QCOMPARE(view.findChild<QLabel*>(QStringLiteral("LabelLine2"))->text(), QStringLiteral("B"));
}

// The clock face takes the local time of the clock at every tick of the window's clock timer.
void IndicatorViewTest::clockFollowsTimer() {
    PageBench bench;
    const QDateTime morning(QDate(2024, 3, 5), QTime(9, 7, 2));
    // Moved before the timer runs, so that the timer does not tick through the months between.
    bench.clock.advance(morning.toMSecsSinceEpoch() - 1000 - bench.clock.nowMs());
    QObject owner;
    LinkTimer* timerClock = bench.clock.createTimer(&owner);
    timerClock->setInterval(1000);

    IndicatorView view(bench.context(), timerClock);
    auto* face = view.findChild<LedClock*>(QStringLiteral("VrLedClock1"));
    QVERIFY(face);
    auto time = [face] { return QTime(face->hours(), face->minutes(), face->seconds()); };
    QCOMPARE(time(), QTime(9, 7, 1));  // shown from the start

    timerClock->setEnabled(true);
    bench.clock.advance(1000);
    QCOMPARE(time(), QTime(9, 7, 2));
    bench.clock.advance(61'500);
    QCOMPARE(time(), QTime(9, 8, 3));

    // The evening, for the picture: a page as the operator sees it after a read.
    bench.clock.advance(QTime(9, 8, 3).secsTo(QTime(21, 45, 30)) * 1000);
    const int codes[] = {26, 27, 21};
    const quint16 exponents[] = {4, 1, 5};
    for (int line = 0; line < kIndicatorLineCount; ++line)
        view.setLineSetup(line, ShortName(codes[line]), UnitLabel(codes[line], exponents[line]),
                          exponents[line]);
    readValues(bench, {10512.4f, 4.987f, -86210.0f});
    QCOMPARE(time(), QTime(21, 45, 30));
    view.resize(kTabSize);
    shot(view, "indicatorview.png");
}

QTEST_MAIN(IndicatorViewTest)
#include "gui_indicatorview.moc"
