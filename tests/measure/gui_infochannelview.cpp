// The information-channel page on a fake port and a manual clock: its controls by objectName,
// packets delivered as the stream brings them, the absence watch, and what it never shows.
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>
#include <algorithm>
#include <memory>

#include "channelpacket.h"
#include "measure/infochannelview.h"
#include "pagebench.h"

namespace {

struct Row {
    const char16_t* label;
    const char* field;
    int index;
    const char* group;
};

// clang-format off
const Row kRows[] = {
    {u"Uan, B = ", "EditChanUa", 0, "Напряжение"},
    {u"Ubn, B = ", "EditChanUb", 1, "Напряжение"},
    {u"Ucn, B = ", "EditChanUc", 2, "Напряжение"},
    {u"U\u0441\u0440, B = ", "EditChanU", 26, "Напряжение"},
    {u"Uab, B = ", "EditChanUab", 6, "Напряжение линейное"},
    {u"Ubc, B = ", "EditChanUbc", 7, "Напряжение линейное"},
    {u"Uca, B = ", "EditChanUca", 8, "Напряжение линейное"},
    {u"U\u0441\u0440, B = ", "EditChanUL", 28, "Напряжение линейное"},
    {u"Ia, A = ", "EditChanIa", 3, "Ток"},
    {u"Ib, A = ", "EditChanIb", 4, "Ток"},
    {u"Ic, A = ", "EditChanIc", 5, "Ток"},
    {u"I\u0441\u0440, A = ", "EditChanI", 27, "Ток"},
    {u"Pa, B\u0442 = ", "EditChanPa", 9, "Мощность активная"},
    {u"Pb, B\u0442 = ", "EditChanPb", 10, "Мощность активная"},
    {u"Pc, B\u0442 = ", "EditChanPc", 11, "Мощность активная"},
    {u"P,  B\u0442 =", "EditChanP", 21, "Мощность активная"},
    {u"Qa, \u0432\u0430\u0440 = ", "EditChanQa", 12, "Мощность реактивная"},
    {u"Qb, \u0432\u0430\u0440 = ", "EditChanQb", 13, "Мощность реактивная"},
    {u"Qc, \u0432\u0430\u0440 = ", "EditChanQc", 14, "Мощность реактивная"},
    {u"Q, \u0432\u0430\u0440 = ", "EditChanQ", 22, "Мощность реактивная"},
    {u"Sa, B\u0410 = ", "EditChanSa", 15, "Мощность полная"},
    {u"Sb, B\u0410 = ", "EditChanSb", 16, "Мощность полная"},
    {u"Sc, B\u0410 = ", "EditChanSc", 17, "Мощность полная"},
    {u"S,  B\u0410 =", "EditChanS", 23, "Мощность полная"},
    {u"Kpa =", "EditChanCosFa", 18, "Коэффициент мощности"},
    {u"Kpb =", "EditChanCosFb", 19, "Коэффициент мощности"},
    {u"Kpc =", "EditChanCosFc", 20, "Коэффициент мощности"},
    {u"Kp   =", "EditChanCosF", 24, "Коэффициент мощности"},
    {u"F, \u0413\u0446 =", "EditChanFrec", 25, "Частота"},
};
// clang-format on

// Two rows of four groups.
const char* const kGridCaptions[] = {
    "Напряжение",
    "Напряжение линейное",
    "Ток",
    "Коэффициент мощности",
    "Мощность активная",
    "Мощность реактивная",
    "Мощность полная",
    "Частота",
};

struct StatusName {
    const char* name;
    const char* caption;
};
const StatusName kStatusRow[] = {
    {"StaticTextRelU", "Предельное\nзначение напряжения:"},
    {"StaticTextRelI", "Предельное\nзначение тока:"},
    {"StaticTextVers", "Версия\nпрограммы:"},
    {"StaticTextDevSatus", "Состояние\nприбора:"},
};

const QColor kGreen(0, 128, 0);
const QColor kRed(255, 0, 0);
const QString kAbsent = QStringLiteral("информация отсутствует");
const QString kChecksum = QStringLiteral("  Ошибка контрольной суммы !");

// A packet whose texts are all known: U_lim 100, I_lim 5, star connection.
channel::Packet knownPacket() {
    channel::Packet p;
    p.values[0] = channel::bitsOf(1.0f);
    p.values[5] = infochannel::kNoValue;
    p.values[21] = infochannel::kAboveRange;
    p.values[25] = channel::bitsOf(0.5f);
    return p;
}

struct Fixture {
    PageBench bench;
    QObject timers;
    LinkTimer* timer = bench.clock.createTimer(&timers);
    std::unique_ptr<InfoChannelView> view;
    QStringList statuses;

    Fixture() {
        timer->setInterval(1000);
        timer->setEnabled(true);
        view = std::make_unique<InfoChannelView>(bench.context(), timer);
        view->setLocale(QLocale(QLocale::Russian, QLocale::Russia));
        QObject::connect(view.get(), &InfoChannelView::statusText, view.get(),
                         [this](const QString& t) { statuses << t; });
        view->EnterChannelMode();
    }
    QString text(const char* name) const {
        if (auto* e = view->findChild<QLineEdit*>(QLatin1String(name)))
            return e->text();
        if (auto* l = view->findChild<QLabel*>(QLatin1String(name)))
            return l->text();
        return QStringLiteral("<no %1>").arg(QLatin1String(name));
    }
    QColor color(const char* name) const {
        return view->findChild<QLabel*>(QLatin1String(name))->palette().color(QPalette::WindowText);
    }
    bool allFieldsEmpty() const {
        return std::all_of(std::begin(kRows), std::end(kRows),
                           [this](const Row& r) { return text(r.field).isEmpty(); });
    }
    void deliverWindow(const QByteArray& start) {
        bench.port.deliver(start + channel::noise(268 - int(start.size())));
    }
};

}  // namespace

class InfoChannelViewTest : public QObject {
    Q_OBJECT
  private slots:
    void names_data();
    void names();
    void statusRowAndGrid();
    void showsAGoodPacket();
    void deviceError();
    void stateColoursOnADarkSkin();
    void waitsForTwoPacketsOfBytes();
    void absenceWatch();
    void wrongChecksumThenAbsence();
    void windowWithoutPacketShowsNothing();
    void lateStartIsNoChecksumError();
    void falseStartDoesNotHideAPacket();
    void enteringEmptiesOldValues();
    void failedRead();
};

void InfoChannelViewTest::names_data() {
    QTest::addColumn<int>("row");
    for (int r = 0; r < int(std::size(kRows)); ++r)
        QTest::newRow(kRows[r].field) << r;
}

void InfoChannelViewTest::names() {
    QFETCH(int, row);
    const Row& r = kRows[row];
    Fixture f;
    auto* e = f.view->findChild<QLineEdit*>(QLatin1String(r.field));
    QVERIFY(e);
    QVERIFY(e->isReadOnly());
    QCOMPARE(f.view->field(r.index), e);
    auto* box = qobject_cast<QGroupBox*>(e->parentWidget());
    QVERIFY(box);
    QCOMPARE(box->title(), QString::fromUtf8(r.group));
    const QList<QLabel*> labels = box->findChildren<QLabel*>();
    const auto it =
        std::find_if(labels.cbegin(), labels.cend(), [e](QLabel* l) { return l->buddy() == e; });
    QVERIFY2(it != labels.cend(), "no label for the field");
    QCOMPARE((*it)->text(), QString::fromUtf16(r.label));
}

void InfoChannelViewTest::statusRowAndGrid() {
    Fixture f;
    QCOMPARE(f.view->findChildren<QLineEdit*>().size(), 29);
    for (const StatusName& s : kStatusRow) {
        auto* field = f.view->findChild<QLabel*>(QLatin1String(s.name));
        QVERIFY2(field, s.name);
        const QList<QLabel*> labels = f.view->findChildren<QLabel*>();
        const auto it = std::find_if(labels.cbegin(), labels.cend(),
                                     [field](QLabel* l) { return l->buddy() == field; });
        QVERIFY2(it != labels.cend(), s.name);
        QCOMPARE((*it)->text(), QString::fromUtf8(s.caption));
    }
    auto* mess = f.view->findChild<QLabel*>(QStringLiteral("LabelChanInfoMess"));
    QVERIFY(mess);
    QCOMPARE(f.view->messageLabel(), mess);

    auto* grid = f.view->findChild<QGridLayout*>(QStringLiteral("GridChanGroups"));
    QVERIFY(grid);
    for (int cell = 0; cell < 8; ++cell) {
        auto* box = qobject_cast<QGroupBox*>(grid->itemAtPosition(cell / 4, cell % 4)->widget());
        QVERIFY(box);
        QCOMPARE(box->title(), QString::fromUtf8(kGridCaptions[cell]));
    }
}

void InfoChannelViewTest::showsAGoodPacket() {
    Fixture f;
    f.bench.clock.advance(1000);
    QCOMPARE(f.text("LabelChanInfoMess"), kAbsent);

    f.deliverWindow(knownPacket().bytes());
    QCOMPARE(f.text("LabelChanInfoMess"), QString());
    QCOMPARE(f.text("StaticTextDevSatus"), QStringLiteral("  норма"));
    QCOMPARE(f.color("StaticTextDevSatus"), kGreen);
    QCOMPARE(f.text("StaticTextRelU"), QStringLiteral("100,00"));
    QCOMPARE(f.text("StaticTextRelI"), QStringLiteral("5,00"));
    QCOMPARE(f.text("StaticTextVers"), QStringLiteral("21"));
    QCOMPARE(f.text("EditChanUa"), QStringLiteral("125,000"));
    QCOMPARE(f.text("EditChanUb"), QStringLiteral("62,500"));
    QCOMPARE(f.text("EditChanIc"), QStringLiteral(" ------------------------"));
    QCOMPARE(f.text("EditChanP"), QStringLiteral("2535,000"));
    QCOMPARE(f.text("EditChanFrec"), QStringLiteral("50,000"));
    QCOMPARE(f.text("EditChanCosF"), QStringLiteral("0,500"));

    // What was left of the window is gone; nothing was ever sent.
    QCOMPARE(f.bench.port.input(), QByteArray());
    QVERIFY(f.bench.port.written.isEmpty());
    QVERIFY(f.statuses.isEmpty());
}

void InfoChannelViewTest::deviceError() {
    Fixture f;
    channel::Packet p = knownPacket();
    p.status = qint8(0xFB);
    f.deliverWindow(p.bytes());
    QCOMPARE(f.text("StaticTextDevSatus"), QStringLiteral("ошибка: -5"));
    QCOMPARE(f.color("StaticTextDevSatus"), kRed);
}

// On a dark skin the state colours are lighter shades that stay readable.
void InfoChannelViewTest::stateColoursOnADarkSkin() {
    Fixture f;
    QPalette dark = f.view->palette();
    dark.setColor(QPalette::Window, QColor(0x2B, 0x2F, 0x36));
    f.view->setPalette(dark);
    f.deliverWindow(knownPacket().bytes());
    const QColor good = f.color("StaticTextDevSatus");
    QVERIFY(good.green() > 2 * good.red() && good.lightness() >= 128);
    channel::Packet p = knownPacket();
    p.status = 1;
    f.deliverWindow(p.bytes());
    const QColor bad = f.color("StaticTextDevSatus");
    QVERIFY(bad.red() > 2 * bad.green() && bad.lightness() >= 128);
}

void InfoChannelViewTest::waitsForTwoPacketsOfBytes() {
    Fixture f;
    const QByteArray window = knownPacket().bytes() + channel::noise(134);
    f.bench.port.deliver(window.left(267));
    QVERIFY(f.allFieldsEmpty());
    QCOMPARE(f.bench.port.input().size(), 267);
    f.bench.port.deliver(window.right(1));
    QCOMPARE(f.text("EditChanUa"), QStringLiteral("125,000"));
}

// Every good packet restarts the one-second watch; a second without one empties the page.
void InfoChannelViewTest::absenceWatch() {
    Fixture f;
    f.deliverWindow(knownPacket().bytes());
    f.bench.clock.advance(600);
    f.deliverWindow(knownPacket().bytes());
    f.bench.clock.advance(999);
    QCOMPARE(f.text("EditChanUa"), QStringLiteral("125,000"));
    QCOMPARE(f.text("LabelChanInfoMess"), QString());

    f.bench.clock.advance(1);
    QVERIFY(f.allFieldsEmpty());
    QCOMPARE(f.text("LabelChanInfoMess"), kAbsent);
    QCOMPARE(f.color("LabelChanInfoMess"), kRed);
    QCOMPARE(f.text("StaticTextDevSatus"), QString());
    QCOMPARE(f.color("StaticTextDevSatus"), kRed);
    QCOMPARE(f.text("StaticTextRelU"), QString());
    QCOMPARE(f.text("StaticTextRelI"), QString());
    QCOMPARE(f.text("StaticTextVers"), QString());

    f.deliverWindow(knownPacket().bytes());
    QCOMPARE(f.text("LabelChanInfoMess"), QString());
    QCOMPARE(f.text("EditChanUa"), QStringLiteral("125,000"));
}

void InfoChannelViewTest::wrongChecksumThenAbsence() {
    Fixture f;
    f.deliverWindow(knownPacket().bytes());
    f.bench.clock.advance(500);

    channel::Packet other = knownPacket();
    other.values[0] = channel::bitsOf(0.2f);
    f.deliverWindow(other.bytes(false));
    QCOMPARE(f.statuses, QStringList{kChecksum});
    QCOMPARE(f.text("EditChanUa"), QStringLiteral("125,000"));
    QCOMPARE(f.bench.port.input(), QByteArray());

    // The bad packet did not restart the watch.
    f.bench.clock.advance(500);
    QCOMPARE(f.text("LabelChanInfoMess"), kAbsent);
    QVERIFY(f.allFieldsEmpty());
}

// Only a packet found in this window is shown: an earlier one is not shown again as new, and
// the watch runs on.
void InfoChannelViewTest::windowWithoutPacketShowsNothing() {
    Fixture f;
    f.deliverWindow(knownPacket().bytes());
    f.bench.clock.advance(500);
    f.bench.port.deliver(channel::noise(268));
    QVERIFY(f.statuses.isEmpty());
    QCOMPARE(f.bench.port.input(), QByteArray());
    f.bench.clock.advance(500);
    QCOMPARE(f.text("LabelChanInfoMess"), kAbsent);

    f.bench.port.deliver(channel::noise(300, 0x55));
    QVERIFY(f.allFieldsEmpty());
    QCOMPARE(f.text("LabelChanInfoMess"), kAbsent);
}

void InfoChannelViewTest::lateStartIsNoChecksumError() {
    Fixture f;
    f.deliverWindow(knownPacket().bytes());
    f.bench.clock.advance(500);
    const QByteArray good = knownPacket().bytes();
    f.bench.port.deliver(channel::noise(150) + good.left(118));
    QVERIFY(f.statuses.isEmpty());
    f.bench.clock.advance(500);
    QCOMPARE(f.text("LabelChanInfoMess"), kAbsent);
    QVERIFY(f.allFieldsEmpty());
}

void InfoChannelViewTest::falseStartDoesNotHideAPacket() {
    Fixture f;
    const QByteArray falseStart = QByteArray::fromHex("55AA018086") + channel::noise(30);
    f.deliverWindow(falseStart + knownPacket().bytes());
    QVERIFY(f.statuses.isEmpty());
    QCOMPARE(f.text("EditChanUa"), QStringLiteral("125,000"));
}

void InfoChannelViewTest::enteringEmptiesOldValues() {
    Fixture f;
    f.deliverWindow(knownPacket().bytes());
    // Leaving the page: the watch's ticks do nothing, the texts stay.
    f.bench.engine.setChannelMode(false);
    f.bench.clock.advance(3000);
    QCOMPARE(f.text("EditChanUa"), QStringLiteral("125,000"));
    QCOMPARE(f.text("LabelChanInfoMess"), QString());

    const int flushes = f.bench.port.inFlushes;
    f.bench.port.arriveQuietly(QByteArray("stale"));
    f.view->EnterChannelMode();
    QVERIFY(f.bench.engine.channelMode());
    QVERIFY(f.bench.port.inFlushes > flushes);
    QCOMPARE(f.bench.port.input(), QByteArray());
    QVERIFY(f.allFieldsEmpty());
    for (const StatusName& s : kStatusRow)
        QCOMPARE(f.text(s.name), QString());
    QCOMPARE(f.text("LabelChanInfoMess"), QString());
}

// The buffer still holds the window before; a failed read must not show it again.
void InfoChannelViewTest::failedRead() {
    Fixture f;
    f.deliverWindow(knownPacket().bytes());
    f.bench.clock.advance(1000);
    QVERIFY(f.allFieldsEmpty());

    f.bench.port.failReads = true;
    f.deliverWindow(knownPacket().bytes());
    QCOMPARE(f.bench.messages.take(), QStringList{QStringLiteral(" Ошибка приема информации !")});
    QVERIFY(f.allFieldsEmpty());
    QCOMPARE(f.bench.port.input(), QByteArray());
}

QTEST_MAIN(InfoChannelViewTest)
#include "gui_infochannelview.moc"
