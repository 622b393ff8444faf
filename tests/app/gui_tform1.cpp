// The main window driven through its controls, on a fake port and a manual clock.
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QtTest>
#include <memory>

#include "app/tform1.h"
#include "fakeport.h"
#include "manualclock.h"
#include "messagebox_seam.h"
#include "replies.h"

namespace {

const QList<float> kValues = {
    230.0f,  231.5f, 229.25f, 1.5f,    0.5f,   2.25f,  400.0f,    401.0f,   399.5f,   300.0f,
    -150.0f, 310.0f, 100.0f,  101.0f,  102.0f, 345.0f, 346.0f,    347.0f,   0.9f,     0.91f,
    0.92f,   460.0f, 303.0f,  1038.0f, 0.905f, 50.0f,  12000.25f, 1.41667f, 400.1667f};

void writeIni(const QByteArray& content) {
    QFile f(QStringLiteral("Tervex.ini"));
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(content);
}

QByteArray readIni() {
    QFile f(QStringLiteral("Tervex.ini"));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct Window {
    ManualClock clock;
    FakePort* port = new FakePort;
    MessageRecorder messages;
    std::unique_ptr<TForm1> form;
    Window() { form = std::make_unique<TForm1>(port, &clock); }

    template <typename T>
    T* get(const char* name) {
        T* w = form->findChild<T*>(QString::fromLatin1(name));
        if (!w)
            qFatal("no control %s", name);
        return w;
    }
    QString text(const char* name) {
        if (auto* e = form->findChild<QLineEdit*>(QString::fromLatin1(name)))
            return e->text();
        return get<QLabel>(name)->text();
    }
    QString status() { return get<QLabel>("StatusPanel1")->text(); }
    void click(const char* name) { get<QPushButton>(name)->click(); }
    void answerBlock(const QList<float>& values = kValues) {
        port->deliver(replies::measuredBlock(values));
    }
};

}  // namespace

class TForm1Test : public QObject {
    Q_OBJECT
  private slots:
    void init() {
        QFile::remove(QStringLiteral("Tervex.ini"));
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    }

    void startUpState();
    void configurationAtStartUp_data();
    void configurationAtStartUp();
    void choosingSpeedAndTypingNumbers();
    void pageSwitchesChangePortSettings();
    void refusedPort();
    void readFillsAllFields_data();
    void readFillsAllFields();
    void noInformationMarker();
    void timeoutEmptiesFieldsAndCounts();
    void exceptionKeepsValues();
    void automaticPollingSkipsWhileWaiting();
    void pollingPeriodLimits();
    void resetClearsCounters();
    void pageSwitchStopsPolling();
    void statusClearsAfterThreeSeconds();
    void largestReplyTimeIsWholeMilliseconds();
    void skinSelectorShowsTheSkinInUse();
};

void TForm1Test::startUpState() {
    Window w;
    QCOMPARE(w.form->windowTitle(), QStringLiteral("Tervex v2.01"));
    QCOMPARE(w.get<QTabWidget>("PageControl1")->currentIndex(), 0);
    QCOMPARE(w.get<QPushButton>("BitBtnStart")->text(), QStringLiteral("     Читать"));
    for (const char* name : {"StaticTextTimeMeasure", "StaticTextMax", "StaticTextNoAnsw",
                             "StaticTextErrCRC", "StaticTextAllEnquiry"})
        QVERIFY2(w.text(name).isEmpty(), name);
    auto* setup = w.get<QTabWidget>("PageControlSetAllParam");
    QVERIFY(!setup->isTabVisible(setup->indexOf(w.get<QWidget>("TSSetTime"))));
    QCOMPARE(w.text("Edit1"), QStringLiteral("1"));
    QCOMPARE(w.text("Edit2"), QStringLiteral("1"));
    QCOMPARE(w.text("EditAuto"), QStringLiteral("100"));
    QCOMPARE(w.port->comNumber(), 1);
    QCOMPARE(w.port->baud(), 9600);
    QCOMPARE(w.port->parity(), 0);
    QVERIFY(w.messages.messages.isEmpty());
    QVERIFY(w.port->written.isEmpty());
}

void TForm1Test::configurationAtStartUp_data() {
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<int>("com");
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("parity");
    QTest::addColumn<QString>("baudShown");
    QTest::newRow("no file") << QByteArray() << QStringList() << 1 << 9600 << 0 << "9600";
    QTest::newRow("port 17") << QByteArray("[Соединение]\nПорт=17\n")
                             << QStringList{"Ошибочный номер порта: COM 17"} << 1 << 9600 << 0
                             << "9600";
    QTest::newRow("speed 38400") << QByteArray("[Соединение]\nСкорость=38400\n")
                                 << QStringList{"Ошибочная скорость порта: 38400"} << 1 << 9600 << 0
                                 << "9600";
    QTest::newRow("speed 600") << QByteArray("[Соединение]\nСкорость=600\n") << QStringList() << 1
                               << 600 << 0 << "9600";
    QTest::newRow("speed 19200 odd, COM3")
        << QByteArray("[Соединение]\nПорт=3\nСкорость=19200\nПаритет=1\n") << QStringList() << 3
        << 19200 << 1 << "19200";
    QTest::newRow("parity 3") << QByteArray("[Соединение]\nПаритет=3\n")
                              << QStringList{"Ошибка в задании контроля четности порта: 3"} << 1
                              << 9600 << 0 << "9600";
}

void TForm1Test::configurationAtStartUp() {
    QFETCH(QByteArray, ini);
    QFETCH(QStringList, expected);
    if (!ini.isEmpty())
        writeIni(ini);
    Window w;
    QCOMPARE(w.messages.take(), expected);
    QFETCH(int, com);
    QFETCH(int, baud);
    QFETCH(int, parity);
    QFETCH(QString, baudShown);
    QCOMPARE(w.port->comNumber(), com);
    QCOMPARE(w.port->baud(), baud);
    QCOMPARE(w.port->parity(), parity);
    QCOMPARE(w.get<QComboBox>("ComboBoxBaud1")->currentText(), baudShown);
    QCOMPARE(w.get<QComboBox>("ComboBoxBaud2")->currentText(),
             w.get<QComboBox>("ComboBoxBaud1")->currentText());
    QCOMPARE(w.get<QComboBox>("ComboBoxPort4")->currentIndex(), w.port->comNumber() - 1);
    // A stored value out of range stays in the file until the operator changes it.
    QCOMPARE(readIni(), ini);
}

void TForm1Test::choosingSpeedAndTypingNumbers() {
    Window w;
    auto* baud1 = w.get<QComboBox>("ComboBoxBaud1");
    baud1->setCurrentIndex(baud1->findText(QStringLiteral("38400")));
    QCOMPARE(w.messages.take(), QStringList{"Ошибочная скорость порта: 38400"});
    QCOMPARE(baud1->currentText(), QStringLiteral("9600"));
    QCOMPARE(w.get<QComboBox>("ComboBoxBaud2")->currentText(), QStringLiteral("9600"));
    QVERIFY(readIni().contains("Скорость=9600"));

    auto* baud2 = w.get<QComboBox>("ComboBoxBaud2");
    baud2->setCurrentIndex(baud2->findText(QStringLiteral("4800")));
    QCOMPARE(baud1->currentText(), QStringLiteral("4800"));
    QCOMPARE(w.port->baud(), 4800);
    w.get<QComboBox>("ComboBoxPar2")->setCurrentIndex(1);
    QCOMPARE(w.get<QComboBox>("ComboBoxPar1")->currentIndex(), 1);
    QCOMPARE(w.port->parity(), 1);
    w.get<QComboBox>("ComboBoxPort3")->setCurrentIndex(4);
    for (const char* name : {"ComboBoxPort1", "ComboBoxPort2", "ComboBoxPort4"})
        QCOMPARE(w.get<QComboBox>(name)->currentIndex(), 4);
    QCOMPARE(w.port->comNumber(), 5);
    const QByteArray ini = readIni();
    QVERIFY(ini.contains("Порт=5"));
    QVERIFY(ini.contains("Паритет=1"));
    QVERIFY(ini.contains("Скорость=4800"));
    QVERIFY(w.messages.messages.isEmpty());

    auto* edit1 = w.get<QLineEdit>("Edit1");
    auto* edit2 = w.get<QLineEdit>("Edit2");
    edit1->clear();
    QTest::keyClicks(edit1, QStringLiteral("248"));
    QCOMPARE(w.messages.take(),
             QStringList{"Логический номер должен \rнаходиться в пределах \rот 1 до 247 "});
    QVERIFY(edit1->text().isEmpty());
    QVERIFY(edit2->text().isEmpty());
    QTest::keyClicks(edit2, QStringLiteral("12a"));
    QVERIFY(edit2->text().isEmpty());
    QVERIFY(edit1->text().isEmpty());
    QVERIFY(w.messages.messages.isEmpty());
    QTest::keyClicks(edit2, QStringLiteral("17"));
    QCOMPARE(edit1->text(), QStringLiteral("17"));
    // The read goes to the typed address.
    w.click("BitBtnStart");
    QCOMPARE(quint8(w.port->lastWritten().at(0)), quint8(17));
}

void TForm1Test::pageSwitchesChangePortSettings() {
    writeIni("[Соединение]\nПорт=2\nСкорость=19200\nПаритет=1\n");
    Window w;
    auto* pages = w.get<QTabWidget>("PageControl1");
    QCOMPARE(w.port->baud(), 19200);
    pages->setCurrentIndex(2);
    QCOMPARE(w.port->baud(), 9600);
    QCOMPARE(w.port->parity(), 0);
    QCOMPARE(w.port->comNumber(), 2);
    QVERIFY(!w.form->engine().channelMode());
    w.port->arriveQuietly("junk");
    pages->setCurrentIndex(3);
    QVERIFY(w.form->engine().channelMode());
    QCOMPARE(w.port->input().size(), 0);
    pages->setCurrentIndex(1);
    QVERIFY(!w.form->engine().channelMode());
    QCOMPARE(w.port->baud(), 19200);
    QCOMPARE(w.port->parity(), 1);
    QVERIFY(readIni().contains("Скорость=19200"));
    QVERIFY(w.messages.messages.isEmpty());
}

void TForm1Test::refusedPort() {
    Window w;
    w.port->refuseCom = 5;
    w.get<QComboBox>("ComboBoxPort1")->setCurrentIndex(4);
    QCOMPARE(w.messages.take().size(), 1);
    QCOMPARE(w.get<QComboBox>("ComboBoxPort1")->currentIndex(), 4);
    QCOMPARE(w.get<QComboBox>("ComboBoxPort3")->currentIndex(), 0);
    QVERIFY(!readIni().contains("Порт"));
    // Through the information-channel selector a refusal leaves no port at all.
    w.get<QComboBox>("ComboBoxPort4")->setCurrentIndex(4);
    QCOMPARE(w.port->comNumber(), 0);
    QCOMPARE(w.get<QComboBox>("ComboBoxPort3")->currentIndex(), 4);
    QVERIFY(readIni().contains("Порт=0"));
    w.get<QTabWidget>("PageControl1")->setCurrentIndex(1);
    QCOMPARE(w.messages.take(), QStringList{"Ошибочный номер порта: COM 0"});
    QCOMPARE(w.port->comNumber(), 1);
    // After a refusal, a later speed change brings every selector to the port in force.
    w.port->refuseCom = 7;
    w.get<QComboBox>("ComboBoxPort2")->setCurrentIndex(6);
    QCOMPARE(w.messages.take().size(), 1);
    QCOMPARE(w.get<QComboBox>("ComboBoxPort3")->currentIndex(), 0);
    w.get<QComboBox>("ComboBoxBaud1")->setCurrentIndex(2);
    QCOMPARE(w.port->comNumber(), 7);
    for (const char* name : {"ComboBoxPort1", "ComboBoxPort2", "ComboBoxPort3", "ComboBoxPort4"})
        QCOMPARE(w.get<QComboBox>(name)->currentIndex(), 6);
}

void TForm1Test::readFillsAllFields_data() {
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("ua");
    QTest::addColumn<QString>("pb");
    QTest::addColumn<QString>("ib");
    QTest::addColumn<QString>("u");
    QTest::addColumn<QString>("f");
    QTest::newRow("Russian") << QLocale(QLocale::Russian, QLocale::Russia) << "230,000"
                             << "-150,000"
                             << "0,5000"
                             << "12" + QLocale(QLocale::Russian).groupSeparator() + "000,250"
                             << "50,000";
    QTest::newRow("English") << QLocale(QLocale::English, QLocale::UnitedStates) << "230.000"
                             << "-150.000"
                             << "0.5000"
                             << "12,000.250"
                             << "50.000";
}

void TForm1Test::readFillsAllFields() {
    QFETCH(QLocale, locale);
    QLocale::setDefault(locale);
    Window w;
    w.click("BitBtnStart");
    QCOMPARE(w.port->lastWritten().toHex(' '), QByteArray("01 03 00 00 00 3a c5 d9"));
    QVERIFY(!w.get<QPushButton>("BitBtnStart")->isEnabled());
    w.clock.advance(40);
    w.answerBlock();
    QVERIFY(w.get<QPushButton>("BitBtnStart")->isEnabled());
    QFETCH(QString, ua);
    QFETCH(QString, pb);
    QFETCH(QString, ib);
    QFETCH(QString, u);
    QFETCH(QString, f);
    QCOMPARE(w.text("EditUa"), ua);
    QCOMPARE(w.text("EditPb"), pb);
    QCOMPARE(w.text("EditIb"), ib);
    QCOMPARE(w.text("EditU"), u);
    QCOMPARE(w.text("EditFrec"), f);
    const char* fields[] = {"EditUa",    "EditUb",    "EditUc",    "EditU",    "EditUab", "EditUbc",
                            "EditUca",   "EditUL",    "EditIa",    "EditIb",   "EditIc",  "EditI",
                            "EditPa",    "EditPb",    "EditPc",    "EditP",    "EditQa",  "EditQb",
                            "EditQc",    "EditQ",     "EditSa",    "EditSb",   "EditSc",  "EditS",
                            "EditCosFa", "EditCosFb", "EditCosFc", "EditCosF", "EditFrec"};
    for (const char* name : fields)
        QVERIFY2(!w.text(name).isEmpty(), name);
    QCOMPARE(w.status(), QStringLiteral("  Операция завершена успешно"));
    QCOMPARE(w.text("StaticTextTimeMeasure"), QStringLiteral("0c 40mc"));
    QCOMPARE(w.text("StaticTextAllEnquiry"), QStringLiteral("1"));
}

void TForm1Test::noInformationMarker() {
    Window w;
    QList<float> values = kValues;
    values[27] = std::numeric_limits<float>::quiet_NaN();
    w.click("BitBtnStart");
    w.answerBlock(values);
    QCOMPARE(w.text("EditI"), QStringLiteral("нет информ."));
    QCOMPARE(w.text("EditIa"), QStringLiteral("1,5000"));
}

void TForm1Test::timeoutEmptiesFieldsAndCounts() {
    Window w;
    w.click("BitBtnStart");
    w.answerBlock();
    w.clock.advance(500);
    w.click("BitBtnStart");
    w.clock.advance(2999);
    QVERIFY(!w.text("EditUa").isEmpty());
    w.clock.advance(1);
    QVERIFY(w.text("EditUa").isEmpty());
    QVERIFY(w.text("EditFrec").isEmpty());
    QCOMPARE(w.text("StaticTextNoAnsw"), QStringLiteral("1"));
    QCOMPARE(w.text("StaticTextAllEnquiry"), QStringLiteral("2"));
    QCOMPARE(w.status(), QStringLiteral("  Нет ответа от устройства !"));
    QVERIFY(w.get<QPushButton>("BitBtnStart")->isEnabled());
}

void TForm1Test::exceptionKeepsValues() {
    Window w;
    w.click("BitBtnStart");
    w.answerBlock();
    w.click("BitBtnStart");
    w.port->deliver(replies::exception(3, 2));
    QCOMPARE(w.messages.take(), QStringList{"Адрес данных указанный в запросе не доступен"});
    QCOMPARE(w.text("EditUa"), QStringLiteral("230,000"));
    w.clock.advance(5000);
    QVERIFY(w.text("StaticTextNoAnsw").isEmpty());
}

void TForm1Test::automaticPollingSkipsWhileWaiting() {
    Window w;
    w.get<QCheckBox>("CheckBoxAuto")->setChecked(true);
    w.click("BitBtnStart");
    QCOMPARE(w.get<QPushButton>("BitBtnStart")->text(), QStringLiteral("     Стoп"));
    QVERIFY(!w.get<QLineEdit>("Edit1")->isEnabled());
    QVERIFY(!w.get<QPushButton>("BitBtnExit")->isEnabled());
    QVERIFY(!w.get<QCheckBox>("CheckBoxAuto")->isEnabled());
    // Replies take 150 ms at a period of 100 ms: every second tick finds one outstanding.
    for (int i = 0; i < 10; ++i) {
        w.clock.advance(150);
        w.answerBlock();
        w.clock.advance(50);
    }
    QCOMPARE(w.port->written.size(), 11);
    QCOMPARE(w.text("StaticTextAllEnquiry"), QStringLiteral("11"));
    // A time-out does not stop polling; the next tick lights the lamp red and sends again.
    w.clock.advance(3000);
    QCOMPARE(w.text("StaticTextNoAnsw"), QStringLiteral("1"));
    const int sent = w.port->written.size();
    QCOMPARE(sent, 12);
    QCOMPARE(w.form->engine().lamp3().litColor(), LampState::kRed);
    QVERIFY(w.form->engine().lamp3().lit());
    w.click("BitBtnStart");
    QCOMPARE(w.get<QPushButton>("BitBtnStart")->text(), QStringLiteral("     Читать"));
    QVERIFY(w.get<QLineEdit>("Edit1")->isEnabled());
    QVERIFY(w.get<QPushButton>("BitBtnExit")->isEnabled());
    w.answerBlock();
    w.clock.advance(1000);
    QCOMPARE(w.port->written.size(), sent);
}

void TForm1Test::pollingPeriodLimits() {
    {
        Window w;
        w.get<QLineEdit>("EditAuto")->setText(QStringLiteral("0"));
        w.get<QCheckBox>("CheckBoxAuto")->setChecked(true);
        w.click("BitBtnStart");
        w.answerBlock();
        w.clock.advance(10000);
        QCOMPARE(w.port->written.size(), 1);
        QCOMPARE(w.get<QPushButton>("BitBtnStart")->text(), QStringLiteral("     Стoп"));
    }
    {
        Window w;
        w.get<QLineEdit>("EditAuto")->setText(QStringLiteral("70000"));
        w.get<QCheckBox>("CheckBoxAuto")->setChecked(true);
        w.click("BitBtnStart");
        QCOMPARE(w.text("EditAuto"), QStringLiteral("60000"));
        w.answerBlock();
        w.clock.advance(59999);
        QCOMPARE(w.port->written.size(), 1);
        w.clock.advance(1);
        QCOMPARE(w.port->written.size(), 2);
    }
}

void TForm1Test::resetClearsCounters() {
    Window w;
    w.click("BitBtnStart");
    w.clock.advance(3000);
    w.click("BitBtnStart");
    w.clock.advance(20);
    w.answerBlock();
    QCOMPARE(w.text("StaticTextNoAnsw"), QStringLiteral("1"));
    w.click("ButtonStatClear");
    QVERIFY(w.text("StaticTextNoAnsw").isEmpty());
    QVERIFY(w.text("StaticTextAllEnquiry").isEmpty());
    QCOMPARE(w.text("StaticTextTimeMeasure"), QStringLiteral("0c 20mc"));
    w.click("BitBtnStart");
    QCOMPARE(w.text("StaticTextAllEnquiry"), QStringLiteral("1"));
}

void TForm1Test::pageSwitchStopsPolling() {
    Window w;
    w.get<QCheckBox>("CheckBoxAuto")->setChecked(true);
    w.click("BitBtnStart");
    w.answerBlock();
    w.get<QTabWidget>("PageControl1")->setCurrentIndex(1);
    QCOMPARE(w.get<QPushButton>("BitBtnStart")->text(), QStringLiteral("     Читать"));
    QVERIFY(w.get<QLineEdit>("Edit1")->isEnabled());
    QVERIFY(w.get<QPushButton>("BitBtnExit")->isEnabled());
    const int sent = w.port->written.size();
    w.clock.advance(1000);
    QCOMPARE(w.port->written.size(), sent);

    // Showing the indicator view drops polling but leaves the number field disabled; the
    // next top-level switch then reads the indicator set-up once.
    w.get<QTabWidget>("PageControl1")->setCurrentIndex(0);
    w.get<QCheckBox>("CheckBoxAuto")->setChecked(true);
    w.click("BitBtnStart");
    w.answerBlock();
    w.get<QTabWidget>("PageControl_Tervex")->setCurrentIndex(1);
    QCOMPARE(w.get<QPushButton>("BitBtnStart")->text(), QStringLiteral("     Читать"));
    QVERIFY(!w.get<QLineEdit>("Edit1")->isEnabled());
    QVERIFY(!w.get<QPushButton>("BitBtnExit")->isEnabled());
    w.get<QTabWidget>("PageControl1")->setCurrentIndex(1);
    QCOMPARE(w.port->lastWritten().left(6).toHex(' '), QByteArray("01 03 04 00 00 06"));
}

void TForm1Test::statusClearsAfterThreeSeconds() {
    Window w;
    w.form->ShowStatus(QStringLiteral("a"));
    w.clock.advance(2000);
    w.form->ShowStatus(QStringLiteral("b"));
    QCOMPARE(w.status(), QStringLiteral("b"));
    w.clock.advance(1000);
    QVERIFY(w.status().isEmpty());
}

void TForm1Test::largestReplyTimeIsWholeMilliseconds() {
    Window w;
    w.click("BitBtnStart");
    w.clock.advance(300);
    w.answerBlock();
    QCOMPARE(w.text("StaticTextMax"), QStringLiteral("300mc"));
    w.click("BitBtnStart");
    w.clock.advance(1020);
    w.answerBlock();
    QCOMPARE(w.text("StaticTextTimeMeasure"), QStringLiteral("1c 20mc"));
    QCOMPARE(w.text("StaticTextMax"), QStringLiteral("1020mc"));
}

// An unknown stored skin gives the default look, and the selector offers that one, not the
// item it happened to show.
void TForm1Test::skinSelectorShowsTheSkinInUse() {
    writeIni("[Скины]\nSkinName=No such skin\n");
    Window w;
    w.click("sBitBtn1");
    QCOMPARE(w.get<QComboBox>("sComboBoxSkin")->currentText(),
             QStringLiteral("Neutral (internal)"));
}

QTEST_MAIN(TForm1Test)
#include "gui_tform1.moc"
