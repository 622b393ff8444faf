// The remote indicator sub-page and the current converter sub-page on a fake port: the named
// controls, the setpoint rules as the operator meets them, the frames written and the replies
// shown, and what every exchange of the window does to the lines.
#include <QButtonGroup>
#include <QComboBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include "measure/catalogue.h"
#include "pagebench.h"
#include "replies.h"
#include "settings/currentconverterpage.h"
#include "settings/remoteindicator.h"
#include "settings/remoteindicatorpage.h"

namespace ri = remoteindicator;

namespace {

struct Named {
    const char* name;
    const char* className;
    const char* caption;  // button text, group title or selector text; "" for an empty edit
};

// clang-format off
const Named kNames[] = {
    {"TSInd", "RemoteIndicatorPage", ""},
    {"BitBtnSave", "QPushButton", "Записать  "},
    {"BitBtnRead", "QPushButton", "Прочитать  "},
    {"GroupBoxIndParams", "QGroupBox", "Отображаемые параметры"},
    {"GroupBoxIndParamNames", "QGroupBox", "Наименование"},
    {"CBIndParamName00", "QComboBox", "Напряжение  Uan"},
    {"CBIndParamName01", "QComboBox", "Ток  Ia"},
    {"CBIndParamName02", "QComboBox", "Мощность активная  Pa"},
    {"GroupBoxUst", "QGroupBox", "Уставки"},
    {"TEUstMax00", "QLineEdit", ""},
    {"TEUstMax01", "QLineEdit", ""},
    {"TEUstMax02", "QLineEdit", ""},
    {"TEUstMin00", "QLineEdit", ""},
    {"TEUstMin01", "QLineEdit", ""},
    {"TEUstMin02", "QLineEdit", ""},
    {"RGSchema", "QGroupBox", "Схема подключения"},
    {"RGSchema0", "QRadioButton", "двух элементная"},
    {"RGSchema1", "QRadioButton", "трех элементная"},
};

const Named kConverterNames[] = {
    {"TSAmp", "CurrentConverterPage", ""},
    {"GroupBoxCurParams", "QGroupBox", "Задаваемые параметры"},
    {"GroupBoxCurParamNames", "QGroupBox", "Наименование"},
    {"CBCurParamName00", "QComboBox", "Напряжение  Ua"},
    {"CBCurParamName01", "QComboBox", "Напряжение  Ub"},
    {"CBCurParamName02", "QComboBox", "Напряжение  Uc"},
    {"CBCurParamName03", "QComboBox", "Ток  Ia"},
    {"CBCurParamName04", "QComboBox", "Ток  Ib"},
    {"CBCurParamName05", "QComboBox", "Ток  Ic"},
};
// clang-format on

QString captionOf(QWidget* w) {
    if (auto* b = qobject_cast<QAbstractButton*>(w))
        return b->text();
    if (auto* g = qobject_cast<QGroupBox*>(w))
        return g->title();
    if (auto* c = qobject_cast<QComboBox*>(w))
        return c->currentText();
    if (auto* e = qobject_cast<QLineEdit*>(w))
        return e->text();
    return {};
}

void checkNames(QWidget& root, const Named* names, int count) {
    for (int k = 0; k < count; ++k) {
        const Named& n = names[k];
        QWidget* w = root.objectName() == QLatin1String(n.name)
                         ? &root
                         : root.findChild<QWidget*>(QLatin1String(n.name));
        QVERIFY2(w, n.name);
        QCOMPARE(QString::fromLatin1(w->metaObject()->className()),
                 QString::fromLatin1(n.className));
        QCOMPARE(captionOf(w), QString::fromUtf8(n.caption));
    }
}

QByteArray hex(const char* text) {
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

QByteArray frameOf(const ri::Settings& s) {
    const auto f = ri::BuildWriteFrame(s);
    return QByteArray(reinterpret_cast<const char*>(f.data()), int(f.size()));
}

// The page with what it needs, in the English locale unless a test sets another.
struct Fixture {
    PageBench bench;
    RemoteIndicatorPage page{bench.context()};

    Fixture() { page.setLocale(QLocale(QLocale::English, QLocale::UnitedStates)); }

    QComboBox* selector(int line) {
        return page.findChild<QComboBox*>(QStringLiteral("CBIndParamName0%1").arg(line));
    }
    QLineEdit* over(int line) {
        return page.findChild<QLineEdit*>(QStringLiteral("TEUstMax0%1").arg(line));
    }
    QLineEdit* under(int line) {
        return page.findChild<QLineEdit*>(QStringLiteral("TEUstMin0%1").arg(line));
    }
    QPushButton* save() { return page.findChild<QPushButton*>(QStringLiteral("BitBtnSave")); }
    QPushButton* read() { return page.findChild<QPushButton*>(QStringLiteral("BitBtnRead")); }
    QRadioButton* schemeButton(int k) {
        return page.findChild<QRadioButton*>(QStringLiteral("RGSchema%1").arg(k));
    }

    // The operator picks an item (or, with -1, clears the selector).
    void choose(int line, int code) { selector(line)->setCurrentIndex(code); }
    void clickScheme(int k) { schemeButton(k)->click(); }

    static void focus(QLineEdit* e, QEvent::Type type) {
        QFocusEvent event(type, Qt::TabFocusReason);
        QApplication::sendEvent(e, &event);
    }
    // Enters the edit, replaces its text key by key and leaves it.
    void typeInto(QLineEdit* e, const QString& text, bool leave = true) {
        focus(e, QEvent::FocusIn);
        e->selectAll();
        QTest::sendKeyEvent(QTest::Click, e, Qt::Key_Backspace, QString(), Qt::NoModifier);
        for (QChar c : text)
            QTest::sendKeyEvent(QTest::Click, e, Qt::Key_unknown, QString(c), Qt::NoModifier);
        if (leave)
            focus(e, QEvent::FocusOut);
    }

    QStringList setpoints() {
        QStringList out;
        for (int i = 0; i < 3; ++i)
            out << over(i)->text() << under(i)->text();
        return out;
    }
    bool lineEnabled(int line) { return over(line)->isEnabled() && under(line)->isEnabled(); }

    void deliverWriteReply() { bench.port.deliver(replies::withCrc(hex("03 00 E0 00"))); }
    // A reply to another page's request: the link re-evaluates the lines on every reply.
    void otherExchange() {
        RequestRecord r = PreparedRecord(RequestCode::SchemeRead);
        bench.engine.SendInquiryTuning(r);
        bench.port.deliver(replies::read({1}));
    }
};

}  // namespace

class RemoteIndicatorPageTest : public QObject {
    Q_OBJECT
  private slots:
    void goldenNames();
    void startUp();
    void converterPage();
    void enteringResetsToDefaults();
    void currentLineHeldToItsGroup();
    void powerLineHeldTwice();
    void bothSetpointsHeldToTheGroupRange_data();
    void bothSetpointsHeldToTheGroupRange();
    void twoElementBlanksPhaseLines_data();
    void twoElementBlanksPhaseLines();
    void changeRestoresPreviousText();
    void writeFrame();
    void writeInRussianLocale();
    void writeRefusedWhenIncomplete_data();
    void writeRefusedWhenIncomplete();
    void readShowsReply();
    void readReplySchemeKeepsSetpoints();
    void exchangesKeepOperatorInput();
    void timeOutGivesButtonsBack();
    void portFailureGivesButtonsBack();
};

void RemoteIndicatorPageTest::goldenNames() {
    Fixture f;
    checkNames(f.page, kNames, int(std::size(kNames)));
}

void RemoteIndicatorPageTest::startUp() {
    Fixture f;
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(f.selector(i)->count(), kParameterCount);
        QVERIFY(f.selector(i)->isEditable());
        for (int k = 0; k < kParameterCount; ++k)
            QCOMPARE(f.selector(i)->itemText(k), ItemText(k));
    }
    QCOMPARE(f.page.parameterCode(0), 0);
    QCOMPARE(f.page.parameterCode(1), 3);
    QCOMPARE(f.page.parameterCode(2), 9);
    QCOMPARE(f.page.scheme(), ri::kThreeElement);
    QVERIFY(f.schemeButton(1)->isChecked());
    QCOMPARE(f.setpoints(), QStringList(6, QString()));
    QVERIFY(f.save()->isEnabled());
    QVERIFY(f.read()->isEnabled());
    QCOMPARE(f.page.buttonRow()->findChild<QPushButton*>(QStringLiteral("BitBtnSave")), f.save());
    QCOMPARE(f.page.buttonRow()->findChild<QPushButton*>(QStringLiteral("BitBtnRead")), f.read());
}

void RemoteIndicatorPageTest::converterPage() {
    PageBench bench;
    CurrentConverterPage page(bench.context());
    checkNames(page, kConverterNames, int(std::size(kConverterNames)));
    const QStringList items = CurrentConverterItemTexts();
    QCOMPARE(items.size(), 25);
    for (int k = 0; k < CurrentConverterPage::kSelectorCount; ++k) {
        QComboBox* box = page.selector(k);
        QVERIFY(box->isEditable());
        QCOMPARE(box->count(), 25);
        QCOMPARE(box->currentIndex(), k);
        for (int item = 0; item < 25; ++item)
            QCOMPARE(box->itemText(item), items[item]);
    }
    // Nothing is exchanged for it.
    page.selector(0)->setCurrentIndex(24);
    QVERIFY(bench.port.written.isEmpty());
}

// Every entry gives each line its group's defaults, whatever was read or typed before.
void RemoteIndicatorPageTest::enteringResetsToDefaults() {
    Fixture f;
    f.page.pageEntered();
    QCOMPARE(f.setpoints(), QStringList({"130", "0", "120", "0", "120", "-120"}));

    f.page.BitBtnReadClick();
    ri::Settings s;
    s.lines = {{{3, 110, 10}, {6, 140, 5}, {21, 50, -50}}};
    f.bench.port.deliver(frameOf(s));
    QCOMPARE(f.setpoints(), QStringList({"110", "10", "140", "5", "50", "-50"}));
    f.page.pageEntered();
    QCOMPARE(f.setpoints(), QStringList({"120", "0", "130", "0", "120", "-120"}));
}

void RemoteIndicatorPageTest::currentLineHeldToItsGroup() {
    Fixture f;
    f.page.pageEntered();
    f.choose(0, 3);  // "Ток  Ia"
    QCOMPARE(f.over(0)->text(), QStringLiteral("120"));
    QCOMPARE(f.under(0)->text(), QStringLiteral("0"));
    f.typeInto(f.over(0), QStringLiteral("140"));
    QCOMPARE(f.over(0)->text(), QStringLiteral("130"));
    f.typeInto(f.under(0), QStringLiteral("-5"));
    QCOMPARE(f.under(0)->text(), QStringLiteral("0"));
    // Within the range a typed value stays as typed.
    f.typeInto(f.over(0), QStringLiteral("12.5"));
    QCOMPARE(f.over(0)->text(), QStringLiteral("12.5"));
    // Leaving with no number gives "0".
    f.typeInto(f.over(0), QString());
    QCOMPARE(f.over(0)->text(), QStringLiteral("0"));
}

// -200 is first held to -150 by the typed limit, then to -130 by the power group.
void RemoteIndicatorPageTest::powerLineHeldTwice() {
    Fixture f;
    f.page.pageEntered();
    f.choose(1, 9);  // "Мощность активная  Pa"
    QCOMPARE(f.over(1)->text(), QStringLiteral("120"));
    QCOMPARE(f.under(1)->text(), QStringLiteral("-120"));
    f.typeInto(f.under(1), QStringLiteral("-200"));
    QCOMPARE(f.under(1)->text(), QStringLiteral("-130"));

    // A line without a parameter keeps only the typed limit.
    f.choose(2, -1);
    f.typeInto(f.under(2), QStringLiteral("-200"));
    QCOMPARE(f.under(2)->text(), QStringLiteral("-150"));
    f.typeInto(f.over(2), QStringLiteral("999"));
    QCOMPARE(f.over(2)->text(), QStringLiteral("150"));
}

void RemoteIndicatorPageTest::bothSetpointsHeldToTheGroupRange_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("overEdit");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("held");
    QTest::newRow("current, over-limit below") << 3 << true << "-50"
                                               << "0";
    QTest::newRow("current, under-limit above") << 3 << false << "200"
                                                << "130";
    QTest::newRow("power, over-limit below") << 9 << true << "-300"
                                             << "-130";
    QTest::newRow("frequency, under-limit above") << 25 << false << "120"
                                                  << "100";
    QTest::newRow("voltage, over-limit below") << 6 << true << "-1"
                                               << "0";
}

// An over-limit may not fall below its group's range, nor an under-limit rise above it.
void RemoteIndicatorPageTest::bothSetpointsHeldToTheGroupRange() {
    QFETCH(int, code);
    QFETCH(bool, overEdit);
    QFETCH(QString, typed);
    QFETCH(QString, held);
    Fixture f;
    f.choose(0, code);
    QLineEdit* e = overEdit ? f.over(0) : f.under(0);
    f.typeInto(e, typed);
    QCOMPARE(e->text(), held);
}

void RemoteIndicatorPageTest::twoElementBlanksPhaseLines_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("blanked");
    QTest::newRow("Uan") << 0 << true;
    QTest::newRow("Pc") << 11 << true;
    QTest::newRow("Kpa") << 18 << true;
    QTest::newRow("average U") << 26 << true;
    QTest::newRow("Ia") << 3 << false;
    QTest::newRow("Uab") << 6 << false;
    QTest::newRow("total P") << 21 << false;
}

// One set of codes for both rules: a blanked line also blocks the write.
void RemoteIndicatorPageTest::twoElementBlanksPhaseLines() {
    QFETCH(int, code);
    QFETCH(bool, blanked);
    Fixture f;
    f.choose(1, 3);
    f.choose(2, 4);
    f.choose(0, code);
    f.clickScheme(ri::kTwoElement);
    QCOMPARE(f.over(0)->text().isEmpty(), blanked);
    QCOMPARE(f.under(0)->text().isEmpty(), blanked);
    QCOMPARE(f.lineEnabled(0), !blanked);
    QCOMPARE(f.save()->isEnabled(), !blanked);
    QVERIFY(f.lineEnabled(1));

    // Back to three elements: the line gets its defaults again.
    f.clickScheme(ri::kThreeElement);
    QVERIFY(f.lineEnabled(0));
    QVERIFY(f.save()->isEnabled());
    QCOMPARE(f.over(0)->text(), QString::number(ri::RuleFor(code)->defaultOver));
}

void RemoteIndicatorPageTest::changeRestoresPreviousText() {
    Fixture f;
    f.page.pageEntered();
    QLineEdit* e = f.over(1);
    f.typeInto(e, QStringLiteral("1x"), false);
    // "1" was a number; "1x" is not, and the text from entering comes back.
    QCOMPARE(e->text(), QStringLiteral("120"));
    QCOMPARE(f.bench.state.edits.EditPrevText, QStringLiteral("120"));
    Fixture::focus(e, QEvent::FocusOut);

    // A sign alone starts a negative number.
    f.typeInto(f.under(2), QStringLiteral("-7"), false);
    QCOMPARE(f.under(2)->text(), QStringLiteral("-7"));
    Fixture::focus(f.under(2), QEvent::FocusOut);
    // Left with a sign only, it becomes "0".
    f.typeInto(f.under(2), QStringLiteral("-"));
    QCOMPARE(f.under(2)->text(), QStringLiteral("0"));
}

void RemoteIndicatorPageTest::writeFrame() {
    Fixture f;
    f.page.pageEntered();
    f.choose(0, 9);
    f.typeInto(f.over(1), QStringLiteral("125"));
    f.page.BitBtnSaveClick();

    ri::Settings s;
    s.lines = {{{9, 120, -120}, {3, 125, 0}, {9, 120, -120}}};
    s.scheme = ri::kThreeElement;
    QCOMPARE(f.bench.port.written.size(), 1);
    const QByteArray sent = f.bench.port.lastWritten();
    QCOMPARE(sent, frameOf(s));
    QCOMPARE(sent.mid(12, 4), hex("9A 99 99 3F"));
    QCOMPARE(sent.mid(16, 4), hex("9A 99 99 BF"));
    QVERIFY(!f.save()->isEnabled());
    QVERIFY(!f.read()->isEnabled());
    QCOMPARE(f.bench.engine.outstandingCode(), RequestCode::RemoteIndicatorWrite);
    QCOMPARE(f.bench.engine.outstandingReplyLength(), quint16(6));

    f.deliverWriteReply();
    QVERIFY(f.save()->isEnabled());
    QVERIFY(f.read()->isEnabled());
    QVERIFY(!f.bench.engine.awaitingReply());
    QVERIFY(f.bench.messages.take().isEmpty());
}

void RemoteIndicatorPageTest::writeInRussianLocale() {
    Fixture f;
    f.page.setLocale(QLocale(QLocale::Russian, QLocale::Russia));
    f.page.pageEntered();
    f.typeInto(f.over(1), QStringLiteral("12,5"));
    QCOMPARE(f.over(1)->text(), QStringLiteral("12,5"));
    f.page.BitBtnSaveClick();
    const QByteArray sent = f.bench.port.lastWritten();
    QCOMPARE(sent.size(), 65);
    QCOMPARE(ri::GetFloat(reinterpret_cast<const quint8*>(sent.constData()) + 12 + 17), 0.125f);
}

void RemoteIndicatorPageTest::writeRefusedWhenIncomplete_data() {
    QTest::addColumn<int>("what");
    QTest::newRow("no parameter") << 0;
    QTest::newRow("typed text no item") << 1;
    QTest::newRow("empty setpoint") << 2;
    QTest::newRow("no scheme") << 3;
}

// Nothing goes out and the buttons stay usable.
void RemoteIndicatorPageTest::writeRefusedWhenIncomplete() {
    QFETCH(int, what);
    Fixture f;
    f.page.pageEntered();
    switch (what) {
        case 0:
            f.choose(1, -1);
            break;
        case 1:
            f.selector(1)->setEditText(QStringLiteral("Ток"));
            QCOMPARE(f.page.parameterCode(1), ri::kNone);
            break;
        case 2:
            f.under(2)->clear();
            break;
        case 3: {
            ri::Settings s;
            s.lines = {{{3, 120, 0}, {3, 120, 0}, {3, 120, 0}}};
            s.scheme = 7;
            f.page.BitBtnReadClick();
            f.bench.port.deliver(frameOf(s));
            QCOMPARE(f.page.scheme(), ri::kNone);
            f.bench.port.written.clear();
            break;
        }
    }
    QVERIFY(f.save()->isEnabled());
    f.page.BitBtnSaveClick();
    QCOMPARE(f.bench.messages.take(), QStringList{QStringLiteral("Информация не корректна")});
    QVERIFY(f.bench.port.written.isEmpty());
    QVERIFY(!f.bench.engine.awaitingReply());
    QVERIFY(f.save()->isEnabled());
    QVERIFY(f.read()->isEnabled());
}

void RemoteIndicatorPageTest::readShowsReply() {
    Fixture f;
    f.page.pageEntered();
    f.page.BitBtnReadClick();
    QCOMPARE(f.bench.takeWritten(), QStringList{QStringLiteral("03 00 f0 81 84")});
    QVERIFY(!f.save()->isEnabled());
    QVERIFY(!f.read()->isEnabled());
    QCOMPARE(f.bench.engine.outstandingReplyLength(), quint16(65));

    ri::Settings s;
    s.lines = {{{3, 130, 0}, {25, 95, 3}, {22, 110, -115}}};
    s.scheme = ri::kThreeElement;
    QByteArray reply = frameOf(s);
    // Line 0 as the indicator sends it: code 3, 1.3 and 0.0.
    QCOMPARE(reply.mid(3, 1 + 16).toHex(' '),
             QByteArray("03 00 00 80 3f 00 00 80 bf 66 66 a6 3f 00 00 00 00"));
    f.bench.port.deliver(reply);
    QCOMPARE(f.selector(0)->currentText(), QStringLiteral("Ток  Ia"));
    QCOMPARE(f.page.parameterCode(1), 25);
    QCOMPARE(f.page.parameterCode(2), 22);
    QCOMPARE(f.setpoints(), QStringList({"130", "0", "95", "3", "110", "-115"}));
    QVERIFY(f.save()->isEnabled());
    QVERIFY(f.read()->isEnabled());
}

// The scheme read with the setpoints must not reset them; lines the two-element scheme has no
// information for are blanked as if the operator had chosen them.
void RemoteIndicatorPageTest::readReplySchemeKeepsSetpoints() {
    Fixture f;
    f.page.pageEntered();
    f.page.BitBtnReadClick();
    ri::Settings s;
    s.lines = {{{3, 110, 10}, {6, 140, 5}, {21, 50, -50}}};
    s.scheme = ri::kTwoElement;
    f.bench.port.deliver(frameOf(s));
    QVERIFY(f.schemeButton(0)->isChecked());
    QCOMPARE(f.setpoints(), QStringList({"110", "10", "140", "5", "50", "-50"}));
    QVERIFY(f.save()->isEnabled());

    f.page.BitBtnReadClick();
    s.lines[2] = {9, 120, -120};
    f.bench.port.deliver(frameOf(s));
    QCOMPARE(f.setpoints(), QStringList({"110", "10", "140", "5", "", ""}));
    QVERIFY(!f.lineEnabled(2));
    QVERIFY(!f.save()->isEnabled());
    QVERIFY(f.read()->isEnabled());

    // From two to three elements by a reply: the blanked line is given back.
    f.page.BitBtnReadClick();
    s.scheme = ri::kThreeElement;
    f.bench.port.deliver(frameOf(s));
    QCOMPARE(f.setpoints(), QStringList({"110", "10", "140", "5", "120", "-120"}));
    QVERIFY(f.lineEnabled(2));
    QVERIFY(f.save()->isEnabled());
}

// Any exchange of the window, answered or not, looks at each line by its own parameter: what
// the operator typed for a line with information stays.
void RemoteIndicatorPageTest::exchangesKeepOperatorInput() {
    Fixture f;
    f.page.pageEntered();
    f.choose(0, 3);
    f.choose(1, 6);
    f.choose(2, 21);
    f.clickScheme(ri::kTwoElement);
    f.typeInto(f.over(0), QStringLiteral("111"));
    f.typeInto(f.under(2), QStringLiteral("-99"));
    const QStringList typed = {"111", "0", "130", "0", "120", "-99"};
    QCOMPARE(f.setpoints(), typed);

    f.otherExchange();
    QCOMPARE(f.setpoints(), typed);
    QVERIFY(f.save()->isEnabled());
    for (int i = 0; i < 3; ++i)
        QVERIFY(f.lineEnabled(i));

    f.page.BitBtnReadClick();
    f.bench.clock.advance(3000);
    QVERIFY(!f.bench.engine.awaitingReply());
    QCOMPARE(f.setpoints(), typed);
    QVERIFY(f.save()->isEnabled());

    // A phase line set without the scheme's click still gets blanked by the next exchange.
    {
        const QSignalBlocker quiet(f.selector(1));
        f.selector(1)->setCurrentIndex(26);
    }
    f.otherExchange();
    QCOMPARE(f.setpoints(), QStringList({"111", "0", "", "", "120", "-99"}));
    QVERIFY(!f.save()->isEnabled());
}

void RemoteIndicatorPageTest::timeOutGivesButtonsBack() {
    Fixture f;
    f.page.pageEntered();
    f.page.BitBtnSaveClick();
    QVERIFY(!f.save()->isEnabled());
    f.bench.clock.advance(2999);
    QVERIFY(!f.read()->isEnabled());
    f.bench.clock.advance(1);
    QVERIFY(f.save()->isEnabled());
    QVERIFY(f.read()->isEnabled());
    QCOMPARE(f.setpoints(), QStringList({"130", "0", "120", "0", "120", "-120"}));

    // A reply with a wrong checksum is a complete reply as well.
    f.page.BitBtnReadClick();
    QByteArray bad = frameOf(ri::Settings{});
    bad[10] = char(bad[10] ^ 1);
    f.bench.port.deliver(bad);
    QVERIFY(f.read()->isEnabled());
    QCOMPARE(f.setpoints(), QStringList({"130", "0", "120", "0", "120", "-120"}));
}

void RemoteIndicatorPageTest::portFailureGivesButtonsBack() {
    Fixture f;
    f.page.pageEntered();
    f.bench.port.failNext = true;
    f.page.BitBtnReadClick();
    QVERIFY(f.bench.port.written.isEmpty());
    QCOMPARE(f.bench.messages.take().size(), 1);
    QVERIFY(f.save()->isEnabled());
    QVERIFY(f.read()->isEnabled());
}

QTEST_MAIN(RemoteIndicatorPageTest)
#include "gui_remoteindicatorpage.moc"
