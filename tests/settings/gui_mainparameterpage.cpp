// The main parameter sub-page on a fake port and a manual clock: its controls by objectName, the
// chained read of both blocks, the single-register writes with their checks and confirmations,
// the validated edits, and the displayed-parameter write.
#include <QComboBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>
#include <memory>

#include "link/timer.h"
#include "measure/catalogue.h"
#include "pagebench.h"
#include "replies.h"
#include "settings/mainparameterpage.h"

namespace {

struct Golden {
    const char* name;
    const char* className;
    const char* caption;  // text, title, or the caption label's text for a buddied field
};

const Golden kGolden[] = {
    {"TSSetParam", "MainParameterPage", ""},
    {"StaticTextVersPrg", "QLabel", "Версия программы:"},
    {"StaticTextNumMeasureParam", "QLabel", "Количество измеряемых параметров:"},
    {"StaticTextSchInp", "QLabel", "Схема подключения:"},
    {"StaticTextVersDev", "QLabel", "Версия прибора:"},
    {"GroupBoxLinkSettings", "QGroupBox", "Настройки канала связи"},
    {"EditReadLog", "QLineEdit", "Логический номер"},
    {"BitBtnWriteLog", "QPushButton", "Запись"},
    {"ComboBoxBaud3", "QComboBox", "Скорость"},
    {"BitBtnWriteBaud", "QPushButton", "Запись"},
    {"ComboBoxPar3", "QComboBox", "Паритет"},
    {"BitBtnWritePar", "QPushButton", "Запись"},
    {"GroupBoxParameters", "QGroupBox", "Настройка параметров"},
    {"EditNumDev", "QLineEdit", "Номер прибора"},
    {"BitBtnSaveNumDev", "QPushButton", "Запись"},
    {"EditReadYear", "QLineEdit", "Год выпуска"},
    {"BitBtnWriteYear", "QPushButton", "Запись"},
    {"ComboBoxBrightness", "QComboBox", "Яркость"},
    {"BitBtnWriteBrightness", "QPushButton", "Запись"},
    {"GroupBoxIndParam", "QGroupBox", "Отображаемые параметры"},
    {"GroupBoxIndParamName", "QGroupBox", "Наименование"},
    {"ComboBoxIndParam0", "QComboBox", "Строка индикатора 1"},
    {"ComboBoxIndParam1", "QComboBox", "Строка индикатора 2"},
    {"ComboBoxIndParam2", "QComboBox", "Строка индикатора 3"},
    {"BitBtnSaveIndParam", "QPushButton", "Запись"},
    {"BitBtnMainParam", "QPushButton", "     Читать"},
};

const QString kWritten = QStringLiteral("Информация записана ");
const QString kIncorrect = QStringLiteral("Информация не корректна");

QString lower(const char* hex) {
    return QString::fromLatin1(hex).toLower();
}

QString hexOf(const QByteArray& frame) {
    return QString::fromLatin1(frame.toHex(' '));
}

// A single-register write frame as the page must send it to slave 1.
QByteArray write06(quint16 reg, quint16 value) {
    QByteArray b;
    b.append(char(1));
    b.append(char(6));
    b.append(char(reg >> 8));
    b.append(char(reg & 0xFF));
    b.append(char(value >> 8));
    b.append(char(value & 0xFF));
    return replies::withCrc(b);
}

QByteArray blockWriteReply() {
    return replies::withCrc(QByteArray::fromHex("011004000003"));
}

// Program 201, 29 parameters, logical number 1, brightness 1, device 1234, year 2010, speed and
// parity words that disagree with the window, two-element scheme, Tervex.
const QList<quint16> kMainWords = {201, 29, 1, 1, 1234, 2010, 0, 1, 1, 1};

struct Fixture {
    PageBench bench;
    std::unique_ptr<MainParameterPage> page;

    Fixture() {
        page = std::make_unique<MainParameterPage>(bench.context());
        bench.messages.take();
    }
    template <typename T>
    T* find(const char* name) const {
        return page->findChild<T*>(QLatin1String(name));
    }
    QLineEdit* edit(const char* name) const { return find<QLineEdit>(name); }
    QComboBox* combo(const char* name) const { return find<QComboBox>(name); }
    QLabel* label(const char* name) const { return find<QLabel>(name); }
    void click(const char* name) const { find<QPushButton>(name)->click(); }

    // The chained read up to the end: code 2, its reply, the tick, the code-4 reply.
    void read(const QList<quint16>& main, const QList<quint16>& shown) {
        click("BitBtnMainParam");
        bench.port.deliver(replies::read(main));
        bench.clock.advance(1000);
        bench.port.deliver(replies::read(shown));
        bench.takeWritten();
    }
};

void enter(QLineEdit* e) {
    QFocusEvent in(QEvent::FocusIn, Qt::MouseFocusReason);
    QCoreApplication::sendEvent(e, &in);
}

void leave(QLineEdit* e) {
    QFocusEvent out(QEvent::FocusOut, Qt::MouseFocusReason);
    QCoreApplication::sendEvent(e, &out);
}

// As the operator types, one character at a time (keyClicks aborts on Cyrillic).
void type(QWidget* w, const QString& text) {
    for (QChar c : text)
        QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

void erase(QLineEdit* e) {
    e->selectAll();
    QTest::keyClick(e, Qt::Key_Backspace);
}

}  // namespace

class MainParameterPageTest : public QObject {
    Q_OBJECT
  private slots:
    void golden_data();
    void golden();
    void startState();
    void readChain();
    void unansweredSetupReadIsRepeated();
    void readShowsTheWindowsSpeedAndParity();
    void setupReplyWithoutSender();
    void blockDecodingEdges();
    void writes_data();
    void writes();
    void brightnessOutOfRangeThenWrite();
    void writeDoesNotDisturbTheChain();
    void confirmations_data();
    void confirmations();
    void confirmationFollowsSentValue();
    void speedConfirmationMovesThePort();
    void readLogEdit();
    void numberEditsRestoreAndDefault_data();
    void numberEditsRestoreAndDefault();
    void leavingForAnotherWindowIsNotLeaving();
    void displayedParameterWrite();
    void displayedParameterWriteRefusedWithoutSelection();
    void saveButtonBackAfterTimeout();
    void destroyedPageLeavesNoCurrentRequest();
    void fitsItsTab();
};

void MainParameterPageTest::golden_data() {
    QTest::addColumn<int>("row");
    for (int r = 0; r < int(std::size(kGolden)); ++r)
        QTest::newRow(kGolden[r].name) << r;
}

void MainParameterPageTest::golden() {
    QFETCH(int, row);
    const Golden& g = kGolden[row];
    Fixture f;
    QWidget* w = row == 0 ? f.page.get() : f.page->findChild<QWidget*>(QLatin1String(g.name));
    QVERIFY(w);
    QCOMPARE(f.page->findChildren<QWidget*>(QLatin1String(g.name)).size(), row == 0 ? 0 : 1);
    QCOMPARE(QString::fromLatin1(w->metaObject()->className()), QString::fromLatin1(g.className));
    QString caption;
    if (auto* b = qobject_cast<QPushButton*>(w))
        caption = b->text();
    else if (auto* box = qobject_cast<QGroupBox*>(w))
        caption = box->title();
    else if (row != 0) {
        for (QLabel* l : f.page->findChildren<QLabel*>()) {
            if (l->buddy() == w)
                caption = l->text();
        }
    }
    QCOMPARE(caption, QString::fromUtf8(g.caption));
}

void MainParameterPageTest::startState() {
    Fixture f;
    for (const char* name : {"StaticTextVersPrg", "StaticTextNumMeasureParam", "StaticTextSchInp",
                             "StaticTextVersDev"})
        QVERIFY2(f.label(name)->text().isEmpty(), name);
    const struct {
        const char* name;
        QStringList items;
    } lists[] = {
        {"ComboBoxBaud3", {"1200", "2400", "4800", "9600", "19200", "38400"}},
        {"ComboBoxPar3", {"отключен", "нечетный", "четный"}},
        {"ComboBoxBrightness", {"максим.", "средняя", "низкая"}},
    };
    for (const auto& l : lists) {
        QComboBox* c = f.combo(l.name);
        QVERIFY2(!c->isEditable(), l.name);
        QCOMPARE(c->currentIndex(), -1);
        QStringList items;
        for (int i = 0; i < c->count(); ++i)
            items << c->itemText(i);
        QCOMPARE(items, l.items);
    }
    for (const char* name : {"ComboBoxIndParam0", "ComboBoxIndParam1", "ComboBoxIndParam2"}) {
        QComboBox* c = f.combo(name);
        QVERIFY(c->isEditable());
        QCOMPARE(c->count(), kParameterCount);
        QCOMPARE(c->itemText(28), ItemText(28));
        QCOMPARE(c->currentIndex(), 0);
    }
    QVERIFY(!f.find<QPushButton>("BitBtnSaveIndParam")->isEnabled());
    QVERIFY(f.find<QPushButton>("BitBtnMainParam")->isEnabled());
    QVERIFY(f.bench.port.written.isEmpty());
}

void MainParameterPageTest::readChain() {
    Fixture f;
    QSignalSpy setupRead(f.page.get(), &MainParameterPage::indicatorSetupRead);
    LinkTimer* sequencing = f.bench.engine.timerSetAuto();

    f.click("BitBtnMainParam");
    QCOMPARE(f.bench.takeWritten(), QStringList{lower("01 03 02 00 00 0A C4 75")});
    f.bench.port.deliver(replies::read(kMainWords));
    QCOMPARE(f.label("StaticTextVersPrg")->text(), QStringLiteral("201"));
    QCOMPARE(f.label("StaticTextNumMeasureParam")->text(), QStringLiteral("29"));
    QCOMPARE(f.edit("EditReadLog")->text(), QStringLiteral("1"));
    QCOMPARE(f.combo("ComboBoxBrightness")->currentText(), QStringLiteral("средняя"));
    QCOMPARE(f.edit("EditNumDev")->text(), QStringLiteral("1234"));
    QCOMPARE(f.edit("EditReadYear")->text(), QStringLiteral("2010"));
    QCOMPARE(f.label("StaticTextSchInp")->text(), QStringLiteral("Двух элементная"));
    QCOMPARE(f.label("StaticTextVersDev")->text(), QStringLiteral("Tervex"));
    QVERIFY(sequencing->isEnabled());
    QVERIFY(f.bench.port.written.isEmpty());
    QVERIFY(f.bench.state.indicator.IndParamPending);

    f.bench.clock.advance(1000);
    QCOMPARE(f.bench.takeWritten(), QStringList{lower("01 03 04 00 00 06 C4 F8")});
    f.bench.port.deliver(replies::read({9, 0x0105, 28, 3, 2, 1}));
    QVERIFY(!sequencing->isEnabled());
    QVERIFY(!f.bench.state.indicator.IndParamPending);
    QCOMPARE(f.combo("ComboBoxIndParam0")->currentIndex(), 9);
    QCOMPARE(f.combo("ComboBoxIndParam1")->currentIndex(), 5);
    QCOMPARE(f.combo("ComboBoxIndParam2")->currentIndex(), 28);
    QCOMPARE(setupRead.size(), 1);
    const auto setup = setupRead.first().first().value<IndicatorSetup>();
    QCOMPARE(setup[0].name, QStringLiteral("Pa"));
    QCOMPARE(setup[0].unit, QStringLiteral("кВт"));
    QCOMPARE(setup[2].exponent, quint16(1));
    QCOMPARE(f.page->indicatorSetup()[1].exponent, quint16(2));

    f.bench.clock.advance(5000);
    QVERIFY(f.bench.port.written.isEmpty());
    QVERIFY(f.bench.messages.take().isEmpty());
}

void MainParameterPageTest::unansweredSetupReadIsRepeated() {
    Fixture f;
    f.click("BitBtnMainParam");
    f.bench.port.deliver(replies::read(kMainWords));
    f.bench.takeWritten();
    f.bench.clock.advance(1000);
    f.bench.clock.advance(1000);
    QCOMPARE(f.bench.takeWritten(),
             (QStringList{lower("01 03 04 00 00 06 C4 F8"), lower("01 03 04 00 00 06 C4 F8")}));
    // A late reply still completes the chain.
    f.bench.port.deliver(replies::read({1, 2, 3, 0, 0, 0}));
    QVERIFY(!f.bench.engine.timerSetAuto()->isEnabled());
    QCOMPARE(f.combo("ComboBoxIndParam2")->currentIndex(), 3);
}

void MainParameterPageTest::readShowsTheWindowsSpeedAndParity() {
    Fixture f;
    f.bench.portSettings.ComboBoxBaudChange(QStringLiteral("19200"));
    f.bench.portSettings.ComboBoxParChange(2);
    f.click("BitBtnMainParam");
    f.bench.port.deliver(replies::read(kMainWords));
    QCOMPARE(f.combo("ComboBoxBaud3")->currentText(), QStringLiteral("19200"));
    QCOMPARE(f.combo("ComboBoxPar3")->currentText(), QStringLiteral("четный"));
}

// The indicator view's read button asks for the set-up block without a sender; the reply is
// decoded here and handed on all the same.
void MainParameterPageTest::setupReplyWithoutSender() {
    Fixture f;
    QSignalSpy setupRead(f.page.get(), &MainParameterPage::indicatorSetupRead);
    RequestRecord r = PreparedRecord(RequestCode::IndicatorSetup);
    r.SlaveAddress = 1;
    QVERIFY(f.bench.engine.SendInquiry(r));
    f.bench.port.deliver(replies::read({25, 26, 27, 1, 3, 4}));
    QCOMPARE(setupRead.size(), 1);
    QVERIFY(!f.bench.state.indicator.IndParamPending);
    QCOMPARE(f.combo("ComboBoxIndParam0")->currentIndex(), 25);
    QCOMPARE(f.combo("ComboBoxIndParam2")->currentIndex(), 27);
    QCOMPARE(setupRead.first().first().value<IndicatorSetup>()[2].unit, QStringLiteral("кA"));
}

void MainParameterPageTest::blockDecodingEdges() {
    Fixture f;
    f.click("BitBtnMainParam");
    f.bench.port.deliver(replies::read({65535, 0, 247, 2, 65535, 0, 5, 2, 0, 0}));
    QCOMPARE(f.label("StaticTextVersPrg")->text(), QStringLiteral("65535"));
    QCOMPARE(f.edit("EditReadLog")->text(), QStringLiteral("247"));
    QCOMPARE(f.edit("EditNumDev")->text(), QStringLiteral("65535"));
    QCOMPARE(f.label("StaticTextSchInp")->text(), QStringLiteral("Трех элементная"));
    QCOMPARE(f.label("StaticTextVersDev")->text(), QStringLiteral("Ortavex"));
    f.bench.clock.advance(1000);
    // A code beyond the catalogue leaves its selector without selection.
    QSignalSpy setupRead(f.page.get(), &MainParameterPage::indicatorSetupRead);
    f.bench.port.deliver(replies::read({29, 0x00FF, 0, 3, 3, 3}));
    QCOMPARE(f.combo("ComboBoxIndParam0")->currentIndex(), -1);
    QCOMPARE(f.combo("ComboBoxIndParam1")->currentIndex(), -1);
    QCOMPARE(f.combo("ComboBoxIndParam2")->currentIndex(), 0);
    const auto setup = setupRead.first().first().value<IndicatorSetup>();
    QVERIFY(setup[0].name.isEmpty() && setup[0].unit.isEmpty());
    QCOMPARE(setup[2].unit, QStringLiteral("кB"));
}

void MainParameterPageTest::writes_data() {
    QTest::addColumn<QString>("control");  // the field or selector set before the click
    QTest::addColumn<QString>("value");    // its text, or the item index
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("reg");   // 0: nothing may be sent
    QTest::addColumn<int>("word");  // the value sent
    QTest::addColumn<QString>("message");

    const QString range = QString::fromUtf8(kLogicalNumberRangeMessage);
    const QString wordRange = QString::fromUtf8(mainparamtext::kWordRange);
    QTest::newRow("logical number 5") << "EditReadLog"
                                      << "5"
                                      << "BitBtnWriteLog" << 0x0204 << 5 << QString();
    QTest::newRow("logical number 247") << "EditReadLog"
                                        << "247"
                                        << "BitBtnWriteLog" << 0x0204 << 247 << QString();
    QTest::newRow("logical number empty") << "EditReadLog"
                                          << ""
                                          << "BitBtnWriteLog" << 0 << 0 << "Информация не задана";
    QTest::newRow("logical number 0") << "EditReadLog"
                                      << "0"
                                      << "BitBtnWriteLog" << 0 << 0 << range;
    QTest::newRow("logical number 248") << "EditReadLog"
                                        << "248"
                                        << "BitBtnWriteLog" << 0 << 0 << range;
    QTest::newRow("logical number 65535") << "EditReadLog"
                                          << "65535"
                                          << "BitBtnWriteLog" << 0 << 0 << range;
    QTest::newRow("device number 65535") << "EditNumDev"
                                         << "65535"
                                         << "BitBtnSaveNumDev" << 0x0208 << 65535 << QString();
    QTest::newRow("device number 70000") << "EditNumDev"
                                         << "70000"
                                         << "BitBtnSaveNumDev" << 0 << 0 << wordRange;
    QTest::newRow("device number -1") << "EditNumDev"
                                      << "-1"
                                      << "BitBtnSaveNumDev" << 0 << 0 << wordRange;
    QTest::newRow("year 2015") << "EditReadYear"
                               << "2015"
                               << "BitBtnWriteYear" << 0x020A << 2015 << QString();
    QTest::newRow("year 70000") << "EditReadYear"
                                << "70000"
                                << "BitBtnWriteYear" << 0 << 0 << wordRange;
    QTest::newRow("brightness 2") << "ComboBoxBrightness"
                                  << "2"
                                  << "BitBtnWriteBrightness" << 0x0206 << 2 << QString();
    QTest::newRow("brightness none") << "ComboBoxBrightness"
                                     << "-1"
                                     << "BitBtnWriteBrightness" << 0 << 0 << kIncorrect;
    QTest::newRow("speed 19200") << "ComboBoxBaud3"
                                 << "4"
                                 << "BitBtnWriteBaud" << 0x020C << 4 << QString();
    QTest::newRow("speed 1200") << "ComboBoxBaud3"
                                << "0"
                                << "BitBtnWriteBaud" << 0x020C << 0 << QString();
    QTest::newRow("speed 38400") << "ComboBoxBaud3"
                                 << "5"
                                 << "BitBtnWriteBaud" << 0 << 0
                                 << "Ошибочная скорость порта: 38400";
    QTest::newRow("speed none") << "ComboBoxBaud3"
                                << "-1"
                                << "BitBtnWriteBaud" << 0 << 0 << kIncorrect;
    QTest::newRow("parity odd") << "ComboBoxPar3"
                                << "1"
                                << "BitBtnWritePar" << 0x020E << 1 << QString();
    QTest::newRow("parity none selected") << "ComboBoxPar3"
                                          << "-1"
                                          << "BitBtnWritePar" << 0 << 0 << kIncorrect;
}

void MainParameterPageTest::writes() {
    QFETCH(QString, control);
    QFETCH(QString, value);
    QFETCH(QString, button);
    QFETCH(int, reg);
    QFETCH(int, word);
    QFETCH(QString, message);
    Fixture f;
    if (auto* e = f.page->findChild<QLineEdit*>(control))
        e->setText(value);
    else
        f.page->findChild<QComboBox*>(control)->setCurrentIndex(value.toInt());
    f.click(button.toLatin1().constData());
    if (reg == 0) {
        QVERIFY(f.bench.port.written.isEmpty());
        QCOMPARE(f.bench.messages.take(), QStringList{message});
    } else {
        QCOMPARE(f.bench.takeWritten(), QStringList{hexOf(write06(quint16(reg), quint16(word)))});
        QVERIFY(f.bench.messages.take().isEmpty());
    }
}

void MainParameterPageTest::brightnessOutOfRangeThenWrite() {
    Fixture f;
    f.combo("ComboBoxBrightness")->setCurrentIndex(0);
    f.click("BitBtnMainParam");
    f.bench.port.deliver(replies::read({1, 29, 1, 5, 1, 2008, 3, 0, 0, 1}));
    f.bench.takeWritten();
    QCOMPARE(f.combo("ComboBoxBrightness")->currentIndex(), -1);
    f.click("BitBtnWriteBrightness");
    QVERIFY(f.bench.port.written.isEmpty());
    QCOMPARE(f.bench.messages.take(), QStringList{kIncorrect});
}

// A write between the main block's reply and the chained read neither changes what the
// sequencing timer sends next nor takes the set-up reply for its confirmation.
void MainParameterPageTest::writeDoesNotDisturbTheChain() {
    Fixture f;
    f.click("BitBtnMainParam");
    f.bench.port.deliver(replies::read(kMainWords));
    f.bench.takeWritten();
    f.edit("EditReadYear")->setText(QStringLiteral("2015"));
    f.click("BitBtnWriteYear");
    QCOMPARE(f.bench.takeWritten(), QStringList{hexOf(write06(0x020A, 2015))});
    f.bench.port.deliver(write06(0x020A, 2015));
    QCOMPARE(f.bench.messages.take(), QStringList{kWritten});
    f.bench.clock.advance(1000);
    QCOMPARE(f.bench.takeWritten(), QStringList{lower("01 03 04 00 00 06 C4 F8")});
}

void MainParameterPageTest::confirmations_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("reg");
    QTest::addColumn<int>("word");
    QTest::addColumn<QString>("follow");  // the signal the window follows, with its value
    QTest::newRow("logical number") << "EditReadLog"
                                    << "5"
                                    << "BitBtnWriteLog" << 0x0204 << 5 << "number 5";
    QTest::newRow("speed") << "ComboBoxBaud3"
                           << "4"
                           << "BitBtnWriteBaud" << 0x020C << 4 << "baud 19200";
    QTest::newRow("parity") << "ComboBoxPar3"
                            << "1"
                            << "BitBtnWritePar" << 0x020E << 1 << "parity 1";
    QTest::newRow("brightness") << "ComboBoxBrightness"
                                << "0"
                                << "BitBtnWriteBrightness" << 0x0206 << 0 << "";
    QTest::newRow("device number") << "EditNumDev"
                                   << "77"
                                   << "BitBtnSaveNumDev" << 0x0208 << 77 << "";
}

void MainParameterPageTest::confirmations() {
    QFETCH(QString, control);
    QFETCH(QString, value);
    QFETCH(QString, button);
    QFETCH(int, reg);
    QFETCH(int, word);
    QFETCH(QString, follow);
    Fixture f;
    QStringList followed;
    QList<int> confirmed;
    QObject::connect(f.page.get(), &MainParameterPage::logicalNumberWritten, f.page.get(),
                     [&](int n) { followed << QStringLiteral("number %1").arg(n); });
    QObject::connect(f.page.get(), &MainParameterPage::speedWritten, f.page.get(),
                     [&](int b) { followed << QStringLiteral("baud %1").arg(b); });
    QObject::connect(f.page.get(), &MainParameterPage::parityWritten, f.page.get(),
                     [&](int p) { followed << QStringLiteral("parity %1").arg(p); });
    QObject::connect(f.page.get(), &MainParameterPage::writeConfirmed, f.page.get(),
                     [&](quint16 a) { confirmed << a; });
    if (auto* e = f.page->findChild<QLineEdit*>(control))
        e->setText(value);
    else
        f.page->findChild<QComboBox*>(control)->setCurrentIndex(value.toInt());
    f.click(button.toLatin1().constData());
    f.bench.takeWritten();
    QVERIFY(followed.isEmpty());
    f.bench.port.deliver(write06(quint16(reg), quint16(word)));
    QCOMPARE(f.bench.messages.take(), QStringList{kWritten});
    QCOMPARE(confirmed, QList<int>{reg});
    QCOMPARE(followed, follow.isEmpty() ? QStringList() : QStringList{follow});
}

void MainParameterPageTest::confirmationFollowsSentValue() {
    Fixture f;
    QSignalSpy number(f.page.get(), &MainParameterPage::logicalNumberWritten);
    f.edit("EditReadLog")->setText(QStringLiteral("5"));
    f.click("BitBtnWriteLog");
    // The operator types on, and a refused write goes nowhere, before the reply comes.
    f.edit("EditReadLog")->setText(QStringLiteral("300"));
    f.click("BitBtnWriteLog");
    f.edit("EditReadLog")->setText(QStringLiteral("7"));
    QCOMPARE(f.bench.takeWritten(), QStringList{hexOf(write06(0x0204, 5))});
    f.bench.port.deliver(write06(0x0204, 5));
    QCOMPARE(number.size(), 1);
    QCOMPARE(number.first().first().toInt(), 5);
}

void MainParameterPageTest::speedConfirmationMovesThePort() {
    Fixture f;
    // As the window wires it.
    QObject::connect(f.page.get(), &MainParameterPage::speedWritten, f.page.get(), [&](int baud) {
        f.bench.portSettings.ComboBoxBaudChange(QString::number(baud));
    });
    f.combo("ComboBoxBaud3")->setCurrentIndex(4);
    f.click("BitBtnWriteBaud");
    QCOMPARE(f.bench.port.baud(), 9600);
    f.bench.port.deliver(write06(0x020C, 4));
    QCOMPARE(f.bench.port.baud(), 19200);
    QCOMPARE(f.bench.portSettings.baudItemIndex(), 4);
}

void MainParameterPageTest::readLogEdit() {
    Fixture f;
    QLineEdit* e = f.edit("EditReadLog");
    e->setText(QStringLiteral("12"));
    enter(e);
    QCOMPARE(f.bench.state.edits.EditPrevText, QStringLiteral("12"));
    erase(e);
    type(e, QStringLiteral("70000"));
    QCOMPARE(e->text(), QStringLiteral("7000"));
    type(e, QStringLiteral("x"));
    QCOMPARE(e->text(), QString());
    // A sign alone is no number yet: negative numbers cannot be typed.
    type(e, QStringLiteral("-"));
    QCOMPARE(e->text(), QString());
    erase(e);
    leave(e);
    QCOMPARE(e->text(), QStringLiteral("1"));
    QVERIFY(f.bench.messages.take().isEmpty());
}

void MainParameterPageTest::numberEditsRestoreAndDefault_data() {
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QString>("exitText");
    QTest::newRow("EditNumDev") << "EditNumDev"
                                << "0";
    QTest::newRow("EditReadYear") << "EditReadYear"
                                  << "2008";
}

void MainParameterPageTest::numberEditsRestoreAndDefault() {
    QFETCH(QString, edit);
    QFETCH(QString, exitText);
    Fixture f;
    QLineEdit* e = f.page->findChild<QLineEdit*>(edit);
    e->setText(QStringLiteral("2010"));
    enter(e);
    type(e, QStringLiteral("5"));
    QCOMPARE(e->text(), QStringLiteral("20105"));
    // A letter brings back the text the edit had when it was entered, not the one before.
    type(e, QStringLiteral("ж"));
    QCOMPARE(e->text(), QStringLiteral("2010"));
    leave(e);
    QCOMPARE(e->text(), QStringLiteral("2010"));
    erase(e);
    QCOMPARE(e->text(), QString());
    leave(e);
    QCOMPARE(e->text(), exitText);
}

void MainParameterPageTest::leavingForAnotherWindowIsNotLeaving() {
    Fixture f;
    QLineEdit* e = f.edit("EditReadYear");
    e->setText(QStringLiteral("1999"));
    enter(e);
    erase(e);
    QFocusEvent away(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QCoreApplication::sendEvent(e, &away);
    QCOMPARE(e->text(), QString());
    // Another edit of the window, entered meanwhile, has the shared slot now.
    f.edit("EditNumDev")->setText(QStringLiteral("42"));
    enter(f.edit("EditNumDev"));
    QCOMPARE(f.bench.state.edits.EditPrevText, QStringLiteral("42"));
}

void MainParameterPageTest::displayedParameterWrite() {
    Fixture f;
    auto* save = f.find<QPushButton>("BitBtnSaveIndParam");
    QSignalSpy written(f.page.get(), &MainParameterPage::setupBlockWritten);
    f.bench.state.indicator.IndParamPending = false;
    f.bench.state.procedures.CalibrationWritePending = true;
    QComboBox* line2 = f.combo("ComboBoxIndParam1");
    line2->setCurrentIndex(21);
    emit line2->activated(21);
    QVERIFY(save->isEnabled());
    f.combo("ComboBoxIndParam2")->setCurrentIndex(28);
    save->click();
    QVERIFY(!save->isEnabled());
    QCOMPARE(f.bench.takeWritten(),
             QStringList{hexOf(replies::withCrc(QByteArray::fromHex("01100400000306"
                                                                    "0000"
                                                                    "0015"
                                                                    "001c")))});
    f.bench.port.deliver(blockWriteReply());
    QVERIFY(save->isEnabled());
    QCOMPARE(f.bench.messages.take(), QStringList{kWritten});
    QCOMPARE(written.size(), 1);
    QVERIFY(!f.bench.state.procedures.CalibrationWritePending);
    // The indicator view reads the new set-up before its next values.
    QVERIFY(f.bench.state.indicator.IndParamPending);
}

void MainParameterPageTest::displayedParameterWriteRefusedWithoutSelection() {
    Fixture f;
    auto* save = f.find<QPushButton>("BitBtnSaveIndParam");
    QComboBox* line1 = f.combo("ComboBoxIndParam0");
    line1->lineEdit()->selectAll();
    type(line1->lineEdit(), QStringLiteral("нет такого"));
    QVERIFY(save->isEnabled());
    save->click();
    QVERIFY(f.bench.port.written.isEmpty());
    QCOMPARE(f.bench.messages.take(), QStringList{kIncorrect});
    QVERIFY(save->isEnabled());
    // An item named in full is a selection.
    line1->lineEdit()->selectAll();
    type(line1->lineEdit(), ItemText(3));
    save->click();
    QCOMPARE(f.bench.port.written.size(), 1);
    QCOMPARE(f.bench.port.written.first().mid(7, 2), QByteArray::fromHex("0003"));
}

void MainParameterPageTest::saveButtonBackAfterTimeout() {
    Fixture f;
    auto* save = f.find<QPushButton>("BitBtnSaveIndParam");
    save->setEnabled(true);
    save->click();
    QVERIFY(!save->isEnabled());
    f.bench.clock.advance(LinkEngine::kReplyTimeoutMs);
    QVERIFY(save->isEnabled());
    QVERIFY(f.bench.messages.take().isEmpty());
}

void MainParameterPageTest::destroyedPageLeavesNoCurrentRequest() {
    Fixture f;
    f.click("BitBtnMainParam");
    f.bench.port.deliver(replies::read(kMainWords));
    QVERIFY(f.bench.engine.currentRequest() != f.bench.engine.pollRecord());
    f.page.reset();
    QCOMPARE(f.bench.engine.currentRequest(), f.bench.engine.pollRecord());
}

// The page shares the window with the link group above it.
void MainParameterPageTest::fitsItsTab() {
    Fixture f;
    const QSize need = f.page->minimumSizeHint();
    QVERIFY2(need.width() <= 980 && need.height() <= 520,
             qPrintable(QStringLiteral("%1x%2").arg(need.width()).arg(need.height())));
}

QTEST_MAIN(MainParameterPageTest)
#include "gui_mainparameterpage.moc"
