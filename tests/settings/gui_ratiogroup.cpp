// The scheme and ratio group on a fake port and a manual clock: its controls, the read, the write
// chain step by step with its pauses and time-outs, the scheme switch, and the checks before a
// write.
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>
#include <bit>

#include "link/engine.h"
#include "link/timer.h"
#include "pagebench.h"
#include "replies.h"
#include "settings/ratiogroup.h"

namespace {

const QLocale kEnglish(QLocale::English, QLocale::UnitedStates);
const QLocale kRussian(QLocale::Russian, QLocale::Russia);
const QString kIncorrect = QStringLiteral("Информация не корректна");
const QString kWritten = QStringLiteral("Информация записана ");
const QString kSuccess = QStringLiteral("  Операция завершена успешно");

// A frame given as hex without its checksum, finished with it, as PageBench::takeWritten shows it.
QString frame(const char* hexBody) {
    return QString::fromLatin1(
        replies::withCrc(QByteArray::fromHex(QByteArray(hexBody).replace(' ', ""))).toHex(' '));
}

// The transducer's confirmation of a write: the echo of a single-register write, the first six
// bytes of a multi-register one.
QByteArray confirmation(const QString& request) {
    const QByteArray bytes = QByteArray::fromHex(request.toLatin1().replace(' ', ""));
    return bytes.at(1) == 0x06 ? bytes : replies::withCrc(bytes.left(6));
}

QByteArray ratioReply(const QList<float>& values) {
    QList<quint16> words;
    for (float v : values) {
        const quint32 b = std::bit_cast<quint32>(v);
        words << quint16(b >> 16) << quint16(b & 0xFFFF);
    }
    return replies::read(words);
}

struct Bench {
    PageBench b;
    RatioGroup group{b.context()};
    QList<bool> applied;
    int ratedSignals = 0;

    Bench() {
        group.setLocale(kEnglish);
        // The group's status texts join the link's in one line, as in the window.
        QObject::connect(&group, &RatioGroup::statusMessage, &group,
                         [this](const QString& t) { b.statuses << t; });
        QObject::connect(&group, &RatioGroup::schemeApplied, &group,
                         [this](bool two) { applied << two; });
        QObject::connect(&group, &RatioGroup::ratedValuesChanged, &group,
                         [this] { ++ratedSignals; });
        // What the window does on a failed or refused exchange.
        QObject::connect(&b.engine, &LinkEngine::timedOut, &group, [this] {
            if (!b.state.procedures.MetrologyActive)
                group.SetRatioGroupEnabled(true);
        });
        QObject::connect(&b.engine, &LinkEngine::exceptionReply, &group,
                         [this] { group.SetRatioGroupEnabled(true); });
    }
    QComboBox* combo(const char* name) const {
        return group.findChild<QComboBox*>(QLatin1String(name));
    }
    QPushButton* button(const char* name) const {
        return group.findChild<QPushButton*>(QLatin1String(name));
    }
    QProgressBar* bar() const {
        return group.findChild<QProgressBar*>(QStringLiteral("sProgressBarSchKp"));
    }
    QString text(const char* name) const { return combo(name)->currentText(); }
    void setTexts(const QString& u, const QString& u2, const QString& i, const QString& i2) {
        combo("ComboBoxMaxValU")->setEditText(u);
        combo("ComboBoxMaxValU_")->setEditText(u2);
        combo("ComboBoxMaxValI")->setEditText(i);
        combo("ComboBoxMaxValI_")->setEditText(i2);
    }
    QStringList items(const char* name) const {
        QStringList out;
        for (int k = 0; k < combo(name)->count(); ++k)
            out << combo(name)->itemText(k);
        return out;
    }
    bool groupUsable() const {
        return group.isEnabled() && button("BitBtnReadSchKp")->isEnabled() &&
               button("BitBtnSaveSchKp")->isEnabled();
    }
    // Confirms the request just sent and returns it.
    QString confirmLast() {
        const QStringList sent = b.takeWritten();
        if (sent.size() != 1)
            return QStringLiteral("sent %1 frames").arg(sent.size());
        b.port.deliver(confirmation(sent.first()));
        return sent.first();
    }
};

struct Golden {
    const char* name;
    const char* className;
    const char* text;  // title, caption or the text shown
};

// clang-format off
const Golden kGolden[] = {
    {"GroupBoxNetSchKp", "RatioGroup", ""},
    {"GroupBoxScheme", "QGroupBox", "Схема подключения"},
    {"ComboBoxSetSch", "QComboBox", "трех элементная"},
    {"GroupBoxRatioU", "QGroupBox", "Коефф. преобразования напряжения"},
    {"ComboBoxMaxValU", "QComboBox", "57.74"},
    {"LabelSlashU", "QLabel", "/"},
    {"ComboBoxMaxValU_", "QComboBox", "57.74"},
    {"LabelUnitU", "QLabel", ", B"},
    {"GroupBoxRatioI", "QGroupBox", "Коефф. преобразования тока"},
    {"ComboBoxMaxValI", "QComboBox", "5"},
    {"LabelSlashI", "QLabel", "/"},
    {"ComboBoxMaxValI_", "QComboBox", "5"},
    {"LabelUnitI", "QLabel", ", A"},
    {"BitBtnReadSchKp", "QPushButton", "Прочитать  "},
    {"BitBtnSaveSchKp", "QPushButton", "Записать  "},
    {"sProgressBarSchKp", "QProgressBar", ""},
};
// clang-format on

QString shownText(QObject* o) {
    if (auto* c = qobject_cast<QComboBox*>(o))
        return c->currentText();
    if (auto* g = qobject_cast<QGroupBox*>(o))
        return g->title();
    if (auto* l = qobject_cast<QLabel*>(o))
        return l->text();
    if (auto* p = qobject_cast<QPushButton*>(o))
        return p->text();
    return {};
}

}  // namespace

class RatioGroupTest : public QObject {
    Q_OBJECT
  private slots:
    void goldenNames();
    void startUp();
    void read_data();
    void read();
    void readThatCannotBeSentKeepsTexts();
    void writeChain_data();
    void writeChain();
    void timeOutInTheMiddle();
    void exceptionInTheMiddle();
    void badFieldSendsNothing_data();
    void badFieldSendsNothing();
    void writesValuesOfTheClick();
    void addressNotANumberGivesGroupBack();
    void schemeSwitchBothWays();
    void applySchemeSnaps_data();
    void applySchemeSnaps();
    void metrologyStartSelectsWithoutConverting();
    void progressBarHiddenFromOutside();
};

void RatioGroupTest::goldenNames() {
    Bench t;
    for (const Golden& g : kGolden) {
        QObject* o = g.name == QLatin1String("GroupBoxNetSchKp")
                         ? static_cast<QObject*>(&t.group)
                         : t.group.findChild<QObject*>(QLatin1String(g.name));
        QVERIFY2(o, g.name);
        QCOMPARE(o->objectName(), QLatin1String(g.name));
        QVERIFY2(o->inherits(g.className), g.name);
        QCOMPARE(shownText(o), QString::fromUtf8(g.text));
    }
    QCOMPARE(t.items("ComboBoxSetSch"), (QStringList{"двух элементная", "трех элементная"}));
    QVERIFY(!t.combo("ComboBoxSetSch")->isEditable());
    QCOMPARE(t.items("ComboBoxMaxValU"),
             (QStringList{"57.74", "230.9", "3464.1", "5774", "6062", "9093", "35000", "20207",
                          "127017", "288675", ""}));
    QCOMPARE(t.items("ComboBoxMaxValU_"), (QStringList{"57.74", "100"}));
    QCOMPARE(t.items("ComboBoxMaxValI"),
             (QStringList{"1",    "5",    "50",   "60",   "75",   "100",  "150",  "200",
                          "250",  "300",  "400",  "500",  "600",  "750",  "1000", "1500",
                          "2000", "2500", "3000", "4000", "5000", "6000", "7500", "10000"}));
    QCOMPARE(t.items("ComboBoxMaxValI_"), (QStringList{"1", "5"}));
    for (const char* name :
         {"ComboBoxMaxValU", "ComboBoxMaxValU_", "ComboBoxMaxValI", "ComboBoxMaxValI_"})
        QVERIFY2(t.combo(name)->isEditable(), name);
    QCOMPARE(t.bar()->minimum(), 0);
    QCOMPARE(t.bar()->maximum(), 100);
}

void RatioGroupTest::startUp() {
    Bench t;
    t.group.show();
    QVERIFY(t.groupUsable());
    QVERIFY(!t.bar()->isVisible());
    QCOMPARE(t.group.prevScheme(), 1);
    QVERIFY(!t.b.state.scheme.TwoElementScheme);
    QVERIFY(t.b.port.written.isEmpty());
}

void RatioGroupTest::read_data() {
    QTest::addColumn<quint16>("word");
    QTest::addColumn<int>("item");
    QTest::addColumn<QString>("firstVoltage");
    QTest::newRow("2 is two-element") << quint16(2) << 0 << "100";
    QTest::newRow("1 is two-element") << quint16(1) << 0 << "100";
    QTest::newRow("0 is three-element") << quint16(0) << 1 << "57.74";
}

void RatioGroupTest::read() {
    QFETCH(quint16, word);
    QFETCH(int, item);
    QFETCH(QString, firstVoltage);
    Bench t;
    t.b.hooks.address = 1;
    t.group.setLocale(kRussian);
    QTest::mouseClick(t.button("BitBtnReadSchKp"), Qt::LeftButton);
    QCOMPARE(t.b.takeWritten(), QStringList{"01 03 02 10 00 01 84 77"});
    QVERIFY(t.text("ComboBoxMaxValU").isEmpty());
    QVERIFY(t.text("ComboBoxMaxValU_").isEmpty());
    QCOMPARE(t.text("ComboBoxMaxValI"), QStringLiteral("5"));

    t.b.port.deliver(replies::read({word}));
    QCOMPARE(t.combo("ComboBoxSetSch")->currentIndex(), item);
    QCOMPARE(t.b.state.scheme.TwoElementScheme, item == 0);
    QCOMPARE(t.group.prevScheme(), item);
    QCOMPARE(t.items("ComboBoxMaxValU").first(), firstVoltage);
    QCOMPARE(t.items("ComboBoxMaxValU").size(), 10);
    QVERIFY(t.applied.isEmpty());  // the read does not switch the calibration sheets

    // The ratio read goes out at the sequencing timer's tick and again until answered.
    t.b.clock.advance(1000);
    QCOMPARE(t.b.takeWritten(), QStringList{"01 03 08 00 00 08 46 6c"});
    t.b.clock.advance(1000);
    QCOMPARE(t.b.takeWritten(), QStringList{"01 03 08 00 00 08 46 6c"});
    t.b.port.deliver(ratioReply({75.062f, 100.0f, 6.5f, 1.0f}));
    QCOMPARE(t.text("ComboBoxMaxValU"), QStringLiteral("57,74"));
    QCOMPARE(t.text("ComboBoxMaxValU_"), QStringLiteral("100,00"));
    QCOMPARE(t.text("ComboBoxMaxValI"), QStringLiteral("5"));
    QCOMPARE(t.text("ComboBoxMaxValI_"), QStringLiteral("1"));
    QCOMPARE(t.b.state.scheme.RatedValues, (ratios::RatedValues{75.062f, 100.0f, 6.5f, 1.0f}));
    QCOMPARE(t.ratedSignals, 1);
    QCOMPARE(t.b.state.scheme.TwoElementScheme, item == 0);

    t.b.clock.advance(10000);
    QVERIFY(t.b.takeWritten().isEmpty());
    QVERIFY(t.b.messages.take().isEmpty());
}

void RatioGroupTest::readThatCannotBeSentKeepsTexts() {
    Bench t;
    t.b.hooks.address = std::nullopt;
    t.group.BitBtnReadSchKpClick();
    QVERIFY(t.b.port.written.isEmpty());
    QCOMPARE(t.b.messages.take().size(), 1);
    QCOMPARE(t.text("ComboBoxMaxValU"), QStringLiteral("57.74"));
    QCOMPARE(t.text("ComboBoxMaxValU_"), QStringLiteral("57.74"));
}

void RatioGroupTest::writeChain_data() {
    QTest::addColumn<int>("scheme");
    QTest::addColumn<QString>("schemeFrame");
    QTest::newRow("three-element writes 0") << 1 << frame("01 06 02 10 00 00");
    QTest::newRow("two-element writes 1") << 0 << frame("01 06 02 10 00 01");
}

// The whole chain: each request leaves 500 ms after the reply before it (100 ms before the end),
// with the bar and the status line where each step puts them.
void RatioGroupTest::writeChain() {
    QFETCH(int, scheme);
    QFETCH(QString, schemeFrame);
    Bench t;
    t.group.show();
    t.combo("ComboBoxSetSch")->setCurrentIndex(scheme);
    t.setTexts("57.74", "57.74", "5", "5");
    LinkTimer* timeout = t.b.engine.timerWaitAnsw();

    QTest::mouseClick(t.button("BitBtnSaveSchKp"), Qt::LeftButton);
    QVERIFY(!t.group.isEnabled());
    QVERIFY(!t.button("BitBtnSaveSchKp")->isEnabled());
    QVERIFY(!t.button("BitBtnReadSchKp")->isEnabled());
    QVERIFY(t.bar()->isVisible());
    QCOMPARE(t.bar()->value(), 0);
    QCOMPARE(timeout->interval(), 5000);
    QCOMPARE(t.confirmLast(), schemeFrame);
    QCOMPARE(t.bar()->value(), 20);

    struct Step {
        QString frame;
        int progressBefore;  // during the pause that precedes the request
        int progressAfter;   // once it has been sent
    };
    const Step steps[] = {
        {frame("01 10 08 00 00 02 04 42 66 F5 C3"), 20, 20},
        {frame("01 10 08 04 00 02 04 42 66 F5 C3"), 40, 40},
        {frame("01 10 08 08 00 02 04 40 A0 00 00"), 40, 60},
        {frame("01 10 08 0C 00 02 04 40 A0 00 00"), 60, 80},
        {QStringLiteral("01 06 02 ff 00 00 b8 42"), 80, 99},
    };
    for (const Step& s : steps) {
        QCOMPARE(t.bar()->value(), s.progressBefore);
        t.b.clock.advance(499);
        QVERIFY2(t.b.port.written.isEmpty(), qPrintable(s.frame));
        t.b.clock.advance(1);
        QCOMPARE(t.bar()->value(), s.progressAfter);
        QCOMPARE(timeout->interval(), s.frame.startsWith(QLatin1String("01 06")) ? 5000 : 3000);
        if (s.frame.startsWith(QLatin1String("01 06"))) {
            // The store is awaited 5000 ms.
            t.b.clock.advance(4999);
            QVERIFY(t.b.statuses.last() != QLatin1String("  Нет ответа от устройства !"));
        }
        QCOMPARE(t.confirmLast(), s.frame);
        QVERIFY(!t.group.isEnabled());
    }
    QCOMPARE(t.bar()->value(), 100);
    QVERIFY(t.bar()->isVisible());
    t.b.clock.advance(99);
    QVERIFY(t.b.messages.messages.isEmpty());
    t.b.clock.advance(1);
    QCOMPARE(t.b.messages.take(), QStringList{kWritten});
    QVERIFY(t.groupUsable());
    QVERIFY(!t.bar()->isVisible());
    QVERIFY(!t.group.writing());

    QCOMPARE(t.b.statuses, (QStringList{
                               "  Запись схемы подключения",
                               "  Запись значения напряжения трансформатора напряжения",
                               kSuccess,
                               "  Запись значения входного напряжения",
                               kSuccess,
                               kSuccess,
                               "  Запись значения тока трансформатора тока",
                               "  Запись значение входного тока",
                               kSuccess,
                               kSuccess,
                               kSuccess,
                           }));
    t.b.clock.advance(10000);
    QVERIFY(t.b.port.written.isEmpty());
}

void RatioGroupTest::timeOutInTheMiddle() {
    Bench t;
    t.group.show();
    t.group.BitBtnSaveSchKpClick();
    t.confirmLast();
    t.b.clock.advance(500);
    const QStringList sent = t.b.takeWritten();
    QCOMPARE(sent, QStringList{frame("01 10 08 00 00 02 04 42 66 F5 C3")});
    t.b.clock.advance(3000);
    QCOMPARE(t.b.statuses.last(), QStringLiteral("  Нет ответа от устройства !"));
    QVERIFY(t.groupUsable());
    QVERIFY(!t.bar()->isVisible());
    QVERIFY(!t.group.writing());

    // A confirmation that comes late is not taken for the step, and no store follows.
    t.b.port.deliver(confirmation(sent.first()));
    t.b.clock.advance(10000);
    QVERIFY(t.b.port.written.isEmpty());
    QVERIFY(t.b.messages.take().isEmpty());

    // The next write starts from the beginning.
    t.group.BitBtnSaveSchKpClick();
    QCOMPARE(t.b.takeWritten(), QStringList{frame("01 06 02 10 00 00")});
    QVERIFY(t.bar()->isVisible());
    QCOMPARE(t.bar()->value(), 0);
}

void RatioGroupTest::exceptionInTheMiddle() {
    Bench t;
    t.group.show();
    t.group.BitBtnSaveSchKpClick();
    t.confirmLast();
    t.b.clock.advance(500);
    t.confirmLast();
    t.b.clock.advance(500);
    QCOMPARE(t.b.takeWritten().size(), 1);
    t.b.port.deliver(replies::exception(0x10, 2));
    QCOMPARE(t.b.messages.take(),
             QStringList{QStringLiteral("Адрес данных указанный в запросе не доступен")});
    QVERIFY(t.groupUsable());
    QVERIFY(!t.bar()->isVisible());
    t.b.clock.advance(10000);
    QVERIFY(t.b.port.written.isEmpty());
}

void RatioGroupTest::badFieldSendsNothing_data() {
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("text");
    const char* const names[] = {"U", "U_", "I", "I_"};
    for (int field = 0; field < 4; ++field) {
        for (const char* bad : {"", "abc", "0", "-57.74", "inf", "1e39"})
            QTest::addRow("%s '%s'", names[field], bad) << field << QString::fromLatin1(bad);
    }
}

void RatioGroupTest::badFieldSendsNothing() {
    QFETCH(int, field);
    QFETCH(QString, text);
    Bench t;
    t.group.show();
    QStringList texts{"57.74", "57.74", "5", "5"};
    texts[field] = text;
    t.setTexts(texts[0], texts[1], texts[2], texts[3]);
    QTest::mouseClick(t.button("BitBtnSaveSchKp"), Qt::LeftButton);
    QCOMPARE(t.b.messages.take(), QStringList{kIncorrect});
    QVERIFY(t.b.port.written.isEmpty());
    QVERIFY(t.groupUsable());
    QVERIFY(!t.bar()->isVisible());
    QVERIFY(t.b.statuses.isEmpty());
    QCOMPARE(t.b.engine.timerWaitAnsw()->interval(), 3000);
}

// The values go out as they stood at the click, typed with either separator, whatever the
// fields show by the time their step comes.
void RatioGroupTest::writesValuesOfTheClick() {
    for (const QLocale& locale : {kEnglish, kRussian}) {
        Bench t;
        t.group.setLocale(locale);
        t.setTexts("57,74", "100.0", "7500", "1,0");
        t.group.BitBtnSaveSchKpClick();
        t.setTexts("1", "1", "1", "1");
        t.combo("ComboBoxSetSch")->setCurrentIndex(0);
        QStringList sent{t.confirmLast()};
        for (int k = 0; k < 4; ++k) {
            t.b.clock.advance(500);
            sent << t.confirmLast();
        }
        QCOMPARE(sent, (QStringList{
                           frame("01 06 02 10 00 00"),
                           frame("01 10 08 00 00 02 04 42 66 F5 C3"),
                           frame("01 10 08 04 00 02 04 42 C8 00 00"),
                           frame("01 10 08 08 00 02 04 45 EA 60 00"),
                           frame("01 10 08 0C 00 02 04 3F 80 00 00"),
                       }));
    }
}

// The scheme write goes to the setup page's logical number; without one nothing goes out and
// the group is not left disabled.
void RatioGroupTest::addressNotANumberGivesGroupBack() {
    Bench t;
    t.group.show();
    t.b.hooks.address = std::nullopt;
    t.group.BitBtnSaveSchKpClick();
    QVERIFY(t.b.port.written.isEmpty());
    QCOMPARE(t.b.messages.take().size(), 1);
    QVERIFY(t.groupUsable());
    QVERIFY(!t.bar()->isVisible());
    QVERIFY(!t.group.writing());
    QCOMPARE(t.b.engine.timerWaitAnsw()->interval(), 3000);

    t.b.hooks.address = 5;
    t.group.BitBtnSaveSchKpClick();
    QCOMPARE(t.b.takeWritten(), QStringList{frame("05 06 02 10 00 00")});
}

void RatioGroupTest::schemeSwitchBothWays() {
    Bench t;
    QComboBox* scheme = t.combo("ComboBoxSetSch");
    QTest::keyClick(scheme, Qt::Key_Up);
    QCOMPARE(scheme->currentIndex(), 0);
    QCOMPARE(t.text("ComboBoxMaxValU"), QStringLiteral("100"));
    QCOMPARE(t.text("ComboBoxMaxValU_"), QStringLiteral("100"));
    QCOMPARE(t.group.prevScheme(), 0);
    QCOMPARE(t.applied, QList<bool>{true});
    QCOMPARE(t.items("ComboBoxMaxValU").first(), QStringLiteral("100"));
    QCOMPARE(t.items("ComboBoxMaxValU").size(), 10);
    QCOMPARE(t.combo("ComboBoxMaxValU")->currentIndex(), 0);
    // The operator's choice is no read: the flag belongs to what the transducer said.
    QVERIFY(!t.b.state.scheme.TwoElementScheme);

    QTest::keyClick(scheme, Qt::Key_Down);
    QCOMPARE(scheme->currentIndex(), 1);
    QCOMPARE(t.text("ComboBoxMaxValU"), QStringLiteral("57.74"));
    QCOMPARE(t.text("ComboBoxMaxValU_"), QStringLiteral("57.74"));
    QCOMPARE(t.applied, (QList<bool>{true, false}));

    t.group.setLocale(kRussian);
    t.combo("ComboBoxMaxValU")->setEditText(QStringLiteral("230,9"));
    QTest::keyClick(scheme, Qt::Key_Up);
    QCOMPARE(t.text("ComboBoxMaxValU"), QStringLiteral("399,93"));
    QCOMPARE(t.combo("ComboBoxMaxValU")->currentIndex(), -1);
    QTest::keyClick(scheme, Qt::Key_Down);
    QCOMPARE(t.text("ComboBoxMaxValU"), QStringLiteral("230,90"));
    QVERIFY(t.b.port.written.isEmpty());
}

void RatioGroupTest::applySchemeSnaps_data() {
    QTest::addColumn<int>("scheme");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("57.8") << 1 << "57.8"
                          << "57.74";
    QTest::newRow("58") << 1 << "58"
                        << "58.00";
    QTest::newRow("empty while a read is under way") << 1 << ""
                                                     << "";
    QTest::newRow("two-element 10010") << 0 << "10010"
                                       << "10000";
}

void RatioGroupTest::applySchemeSnaps() {
    QFETCH(int, scheme);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    Bench t;
    t.combo("ComboBoxSetSch")->setCurrentIndex(scheme);
    t.combo("ComboBoxMaxValU")->setEditText(typed);
    t.combo("ComboBoxMaxValU_")->setEditText(typed);
    t.group.ApplyScheme();
    QCOMPARE(t.text("ComboBoxMaxValU"), shown);
    QCOMPARE(t.text("ComboBoxMaxValU_"), shown);
    QCOMPARE(t.items("ComboBoxMaxValU"), ratios::VoltageItems(scheme));
    QCOMPARE(t.group.prevScheme(), scheme);
    QCOMPARE(t.applied, QList<bool>{scheme == 0});
}

// The metrology start: the scheme read selects, then the scheme is applied; the voltage texts are
// snapped, not converted.
void RatioGroupTest::metrologyStartSelectsWithoutConverting() {
    Bench t;
    t.group.SelectScheme(3);
    QCOMPARE(t.combo("ComboBoxSetSch")->currentIndex(), 0);
    QVERIFY(t.b.state.scheme.TwoElementScheme);
    QCOMPARE(t.text("ComboBoxMaxValU"), QStringLiteral("57.74"));
    QCOMPARE(t.group.prevScheme(), 1);
    t.group.ApplyScheme();
    QCOMPARE(t.text("ComboBoxMaxValU"), QStringLiteral("57.74"));
    QCOMPARE(t.group.prevScheme(), 0);
    QCOMPARE(t.applied, QList<bool>{true});

    const QByteArray reply = ratioReply({130.0f, 100.0f, 1.3f, 1.0f});
    QVERIFY(t.group.ShowRatioBlock(reinterpret_cast<const quint8*>(reply.constData()) + 3, 16));
    QCOMPARE(t.text("ComboBoxMaxValU"), QStringLiteral("100.00"));
    QCOMPARE(t.ratedSignals, 1);
    QVERIFY(!t.group.ShowRatioBlock(reinterpret_cast<const quint8*>(reply.constData()) + 3, 15));
    QCOMPARE(t.ratedSignals, 1);

    t.group.SetRatioGroupEnabled(false);
    t.group.SelectScheme(0);
    QVERIFY(!t.b.state.scheme.TwoElementScheme);
    QVERIFY(!t.groupUsable());
}

void RatioGroupTest::progressBarHiddenFromOutside() {
    Bench t;
    t.group.show();
    t.group.BitBtnSaveSchKpClick();
    QVERIFY(t.bar()->isVisible());
    t.group.hideProgressBar();
    QVERIFY(!t.bar()->isVisible());
}

QTEST_MAIN(RatioGroupTest)
#include "gui_ratiogroup.moc"
