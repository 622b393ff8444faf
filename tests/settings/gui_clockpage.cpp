// The clock sub-page on a fake port and a manual clock: its controls by objectName, the read
// and its texts, the write frame, the follow mode driven by the clock timer, and the write
// button's life.
#include <QCalendarWidget>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>
#include <memory>

#include "pagebench.h"
#include "replies.h"
#include "settings/clockpage.h"
#include "settings/deviceclock.h"

namespace {

struct Golden {
    const char* name;
    const char* className;
    const char* caption;  // text, title, or the caption label's text for a buddied field
};

const Golden kGolden[] = {
    {"TSSetTime", "ClockPage", ""},
    {"sGroupBoxTime", "QGroupBox", "Дата и время"},
    {"sMonthCalendar", "QCalendarWidget", ""},
    {"sSpinEditHour", "QSpinBox", "часов"},
    {"sSpinEditMin", "QSpinBox", "минут"},
    {"sSpinEditSek", "QSpinBox", "секунд"},
    {"sBitBtnWriteTime", "QPushButton", "Запись"},
    {"sCheckSaveCurrTime", "QCheckBox", "Текущее время"},
    {"sBitBtnReadTime", "QPushButton", "Чтение"},
    {"sLabelTimeRW", "QLabel", ""},
    {"sLabelCurrTime", "QLabel", "Текущее время:"},
    {"sLabelDifTime", "QLabel", "Разница:"},
};

QString hex(const QByteArray& b) {
    return QString::fromLatin1(b.toHex(' '));
}

QByteArray clockReply(const deviceclock::ClockWords& w) {
    return replies::read({w.seconds, w.minutes, w.hours, w.day, w.month, w.year, 0});
}

deviceclock::ClockWords wordsOf(const QDateTime& t) {
    deviceclock::ClockWords w;
    w.seconds = quint16(t.time().second());
    w.minutes = quint16(t.time().minute());
    w.hours = quint16(t.time().hour());
    w.day = quint16(t.date().day());
    w.month = quint16(t.date().month());
    w.year = quint16(t.date().year());
    return w;
}

struct Fixture {
    PageBench bench;
    QObject timers;
    LinkTimer* timerClock = bench.clock.createTimer(&timers);
    std::unique_ptr<ClockPage> page;
    QCalendarWidget* calendar = nullptr;
    QSpinBox *hour = nullptr, *minute = nullptr, *second = nullptr;
    QPushButton *write = nullptr, *read = nullptr;
    QCheckBox* follow = nullptr;

    Fixture() {
        timerClock->setInterval(1000);
        timerClock->setEnabled(true);
        page = std::make_unique<ClockPage>(bench.context(), timerClock);
        page->setLocale(QLocale(QLocale::Russian, QLocale::Russia));
        calendar = page->findChild<QCalendarWidget*>(QStringLiteral("sMonthCalendar"));
        hour = page->findChild<QSpinBox*>(QStringLiteral("sSpinEditHour"));
        minute = page->findChild<QSpinBox*>(QStringLiteral("sSpinEditMin"));
        second = page->findChild<QSpinBox*>(QStringLiteral("sSpinEditSek"));
        write = page->findChild<QPushButton*>(QStringLiteral("sBitBtnWriteTime"));
        read = page->findChild<QPushButton*>(QStringLiteral("sBitBtnReadTime"));
        follow = page->findChild<QCheckBox*>(QStringLiteral("sCheckSaveCurrTime"));
    }
    QString label(const char* name) const {
        return page->findChild<QLabel*>(QLatin1String(name))->text();
    }
    QDateTime now() const { return QDateTime::fromMSecsSinceEpoch(bench.clock.nowMs()); }
};

}  // namespace

class ClockPageTest : public QObject {
    Q_OBJECT
  private slots:
    void golden_data();
    void golden();
    void startState();
    void readShowsDeviceTimeAndDifference();
    void readOfWordsThatFormNoDate();
    void readUnchecksFollowMode();
    void readWithoutANumber();
    void writeFrame();
    void writeButtonComesBack_data();
    void writeButtonComesBack();
    void followModeWritesTheLastTick();
    void operatorTakesOver();
    void emptiedSpinShowsZero();
};

void ClockPageTest::golden_data() {
    QTest::addColumn<int>("row");
    for (int r = 0; r < int(std::size(kGolden)); ++r)
        QTest::newRow(kGolden[r].name) << r;
}

void ClockPageTest::golden() {
    QFETCH(int, row);
    const Golden& g = kGolden[row];
    Fixture f;
    QWidget* w = QLatin1String(g.name) == QLatin1String("TSSetTime")
                     ? f.page.get()
                     : f.page->findChild<QWidget*>(QLatin1String(g.name));
    QVERIFY2(w, g.name);
    QCOMPARE(w->objectName(), QLatin1String(g.name));
    QVERIFY(w->inherits(g.className));
    const QString caption = QString::fromUtf8(g.caption);
    if (auto* b = qobject_cast<QAbstractButton*>(w)) {
        QCOMPARE(b->text(), caption);
    } else if (auto* box = qobject_cast<QGroupBox*>(w)) {
        QCOMPARE(box->title(), caption);
    } else if (!caption.isEmpty()) {
        QLabel* buddyOf = nullptr;
        for (QLabel* l : f.page->findChildren<QLabel*>())
            if (l->buddy() == w)
                buddyOf = l;
        QVERIFY2(buddyOf, g.name);
        QCOMPARE(buddyOf->text(), caption);
    }
}

void ClockPageTest::startState() {
    Fixture f;
    QVERIFY(!f.follow->isChecked());
    for (QSpinBox* s : {f.hour, f.minute, f.second})
        QCOMPARE(s->text(), QStringLiteral("0"));
    QCOMPARE(f.hour->maximum(), 23);
    QCOMPARE(f.minute->maximum(), 59);
    QCOMPARE(f.second->maximum(), 59);
    QVERIFY(f.write->isEnabled());
}

void ClockPageTest::readShowsDeviceTimeAndDifference() {
    Fixture f;
    const QDate calendarBefore = f.calendar->selectedDate();
    QTest::mouseClick(f.read, Qt::LeftButton);
    // Function 3 at 2304 (0900), seven registers.
    QCOMPARE(f.bench.takeWritten(),
             QStringList{hex(replies::withCrc(QByteArray::fromHex("010309000007")))});

    const QDateTime device = f.now().addSecs(-90);
    f.bench.clock.advance(40);  // the reply comes a little later; the difference counts from it
    f.bench.port.deliver(clockReply(wordsOf(device)));
    QCOMPARE(f.label("sLabelTimeRW"), deviceclock::DeviceClockText(wordsOf(device)));
    QCOMPARE(f.label("sLabelCurrTime"),
             deviceclock::ComputerClockText(f.now(), QLocale(QLocale::Russian)));
    QCOMPARE(f.label("sLabelDifTime"), QStringLiteral("0ч  1м  30с"));
    QCOMPARE(f.hour->value(), device.time().hour());
    QCOMPARE(f.minute->value(), device.time().minute());
    QCOMPARE(f.second->value(), device.time().second());
    QCOMPARE(f.calendar->selectedDate(), calendarBefore);
}

void ClockPageTest::readOfWordsThatFormNoDate() {
    Fixture f;
    QTest::mouseClick(f.read, Qt::LeftButton);
    deviceclock::ClockWords w;
    w.day = 5;
    w.month = 13;
    w.year = 2010;
    w.hours = 9;
    w.minutes = 7;
    w.seconds = 2;
    f.bench.port.deliver(clockReply(w));
    QCOMPARE(f.label("sLabelTimeRW"), QStringLiteral("05.13.2010 09:07:02"));
    QCOMPARE(f.label("sLabelDifTime"), QString());
    QVERIFY(!f.label("sLabelCurrTime").isEmpty());
    QCOMPARE(f.hour->value(), 9);
}

void ClockPageTest::readUnchecksFollowMode() {
    Fixture f;
    f.follow->setChecked(true);
    QTest::mouseClick(f.read, Qt::LeftButton);
    QVERIFY(!f.follow->isChecked());

    deviceclock::ClockWords w;
    w.day = 5;
    w.month = 3;
    w.year = 2010;
    w.hours = 9;
    w.minutes = 7;
    w.seconds = 2;
    f.bench.port.deliver(clockReply(w));
    f.bench.clock.advance(3000);
    QCOMPARE(f.hour->value(), 9);
    QCOMPARE(f.minute->value(), 7);
    QCOMPARE(f.second->value(), 2);
}

void ClockPageTest::readWithoutANumber() {
    Fixture f;
    f.bench.hooks.address.reset();
    QTest::mouseClick(f.read, Qt::LeftButton);
    QVERIFY(f.bench.port.written.isEmpty());
    QCOMPARE(f.bench.messages.take().size(), 1);
}

void ClockPageTest::writeFrame() {
    Fixture f;
    f.calendar->setSelectedDate(QDate(2010, 3, 5));
    f.hour->setValue(9);
    f.minute->setValue(7);
    f.second->setValue(2);
    QTest::mouseClick(f.write, Qt::LeftButton);
    const QByteArray body = QByteArray::fromHex(
        "0110090000060c"
        "0002"
        "0007"
        "0009"
        "0005"
        "0003"
        "07da");
    QCOMPARE(f.bench.takeWritten(), QStringList{hex(replies::withCrc(body))});
    QVERIFY(!f.write->isEnabled());

    f.bench.port.deliver(replies::withCrc(QByteArray::fromHex("011009000006")));
    QCOMPARE(f.bench.messages.take(), QStringList{QStringLiteral("Информация записана ")});
    QVERIFY(f.write->isEnabled());
}

void ClockPageTest::writeButtonComesBack_data() {
    QTest::addColumn<int>("how");
    QTest::newRow("time-out") << 0;
    QTest::newRow("a reply with a bad checksum") << 1;
    QTest::newRow("an exception reply") << 2;
    QTest::newRow("the send fails") << 3;
}

void ClockPageTest::writeButtonComesBack() {
    QFETCH(int, how);
    Fixture f;
    if (how == 3)
        f.bench.port.failNext = true;
    QTest::mouseClick(f.write, Qt::LeftButton);
    switch (how) {
        case 0:
            QVERIFY(!f.write->isEnabled());
            f.bench.clock.advance(3000);
            break;
        case 1:
            f.bench.port.deliver(QByteArray::fromHex("0110090000060000"));
            break;
        case 2:
            f.bench.port.deliver(replies::exception(16, 2));
            break;
        default:
            QVERIFY(f.bench.port.written.isEmpty());
            break;
    }
    QVERIFY(f.write->isEnabled());
    // Only the confirmation says that something was written.
    QVERIFY(!f.bench.messages.take().contains(QStringLiteral("Информация записана ")));
}

// Checked, the controls follow the computer's clock at each tick; "Запись" writes what the last
// tick put there.
void ClockPageTest::followModeWritesTheLastTick() {
    Fixture f;
    f.follow->setChecked(true);
    f.bench.clock.advance(1000);
    const QDateTime tick = f.now();
    QVERIFY(f.follow->isChecked());
    QCOMPARE(f.calendar->selectedDate(), tick.date());
    QCOMPARE(f.hour->value(), tick.time().hour());
    QCOMPARE(f.minute->value(), tick.time().minute());
    QCOMPARE(f.second->value(), tick.time().second());

    f.bench.clock.advance(700);
    QTest::mouseClick(f.write, Qt::LeftButton);
    const std::array<quint16, 6> words = deviceclock::EncodeClockBlock(
        tick.time().second(), tick.time().minute(), tick.time().hour(), tick.date());
    QByteArray body = QByteArray::fromHex("0110090000060c");
    for (quint16 w : words) {
        body.append(char(w >> 8));
        body.append(char(w & 0xFF));
    }
    QCOMPARE(f.bench.takeWritten(), QStringList{hex(replies::withCrc(body))});

    // Unchecked, the ticks leave the controls alone.
    f.follow->setChecked(false);
    f.hour->setValue((tick.time().hour() + 5) % 24);
    f.bench.clock.advance(2000);
    QCOMPARE(f.hour->value(), (tick.time().hour() + 5) % 24);
}

void ClockPageTest::operatorTakesOver() {
    Fixture f;
    f.page->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.page.get()));

    f.follow->setChecked(true);
    f.bench.clock.advance(1000);  // the page's own setting does not count as the operator's
    QVERIFY(f.follow->isChecked());

    f.minute->setValue((f.minute->value() + 1) % 60);
    QVERIFY(!f.follow->isChecked());

    f.follow->setChecked(true);
    f.calendar->setSelectedDate(f.calendar->selectedDate().addDays(-3));
    QVERIFY(!f.follow->isChecked());

    // A click into a spin edit, before any change.
    f.follow->setChecked(true);
    QTest::mouseClick(f.second->findChild<QLineEdit*>(), Qt::LeftButton);
    QVERIFY(!f.follow->isChecked());
}

void ClockPageTest::emptiedSpinShowsZero() {
    Fixture f;
    f.page->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.page.get()));
    f.hour->setValue(17);
    QLineEdit* edit = f.hour->findChild<QLineEdit*>();
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QCOMPARE(f.hour->text(), QStringLiteral("0"));
    QCOMPARE(f.hour->value(), 0);
}

QTEST_MAIN(ClockPageTest)
#include "gui_clockpage.moc"
