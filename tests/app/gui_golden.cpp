// Every named control of the main window's shell exists once, with its class and caption.
#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSet>
#include <QTabBar>
#include <QTabWidget>
#include <QtTest>

#include "app/tform1.h"
#include "fakeport.h"
#include "manualclock.h"
#include "messagebox_seam.h"

namespace {

// The caption of a control: a button's or label's text, an edit's text, a group's title, or
// the tab text of a page.
QString caption(QObject* o) {
    if (auto* b = qobject_cast<QAbstractButton*>(o))
        return b->text();
    if (auto* l = qobject_cast<QLabel*>(o))
        return l->text();
    if (auto* e = qobject_cast<QLineEdit*>(o))
        return e->text();
    if (auto* g = qobject_cast<QGroupBox*>(o))
        return g->title();
    if (auto* w = qobject_cast<QWidget*>(o)) {
        for (QWidget* p = w->parentWidget(); p; p = p->parentWidget()) {
            if (auto* tabs = qobject_cast<QTabWidget*>(p)) {
                const int i = tabs->indexOf(w);
                if (i >= 0)
                    return tabs->tabText(i);
            }
        }
    }
    return {};
}

}  // namespace

class GoldenTest : public QObject {
    Q_OBJECT
  private slots:
    void controls_data();
    void controls();
    void namesAreUnique();
    void selectorItems();

  private:
    ManualClock clock_;
    MessageRecorder messages_;
};

void GoldenTest::controls_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("text");
    const char* none = "\x01";  // no caption to compare
    const struct {
        const char* name;
        const char* cls;
        const char* text;
    } rows[] = {
        {"PageControl1", "QTabWidget", none},
        {"TS_Tervex", "QWidget", "   Прибор    "},
        {"TStuning", "QWidget", "Настройка"},
        {"TS_ExtDev", "QWidget", "Внешние устройства"},
        {"sTabSheet4", "QWidget", "Информационный канал"},
        {"PageControl_Tervex", "QTabWidget", none},
        {"TS_FullInfo", "MeasuredValuesPage", "Измеряемая информация"},
        {"TS_Ind", "IndicatorView", "Отображаемая информация"},
        {"PageControlSetAllParam", "QTabWidget", none},
        {"TSSetParam", "MainParameterPage", "Насторойка основных параметров"},
        {"TSSetMetrol", "MetrologyPage", "Настройка метрологии"},
        {"PageControl2or3Elem", "QTabWidget", none},
        {"TabSheet4", "QWidget", "Двух элементная"},
        {"TabSheet3", "QWidget", "Трех элементная"},
        {"GroupBoxNetSchKp", "RatioGroup", none},
        {"TSSetCurrent", "CurrentOutputPage", "Настройка токовых выходов"},
        {"TSSetTime", "ClockPage", "Настройка времени"},
        {"PageControl3", "QTabWidget", none},
        {"TSInd", "RemoteIndicatorPage", "Индикатор"},
        {"TSAmp", "CurrentConverterPage", "Токовый преобразователь"},
        {"sComboBoxSkin", "QComboBox", none},
        {"sBitBtn1", "QPushButton", "Скины"},
        {"BitBtnExit", "QPushButton", "Выход"},
        {"BitBtnMonitor", "QPushButton", "Монитор обмена"},
        {"BitBtnTrends", "QPushButton", "Тренды"},
        {"StatusBar", "QStatusBar", none},
        {"GroupBox51", "LinkGroup", "Связь"},
        {"ComboBoxPort1", "QComboBox", none},
        {"ComboBoxPort2", "QComboBox", none},
        {"ComboBoxPort3", "QComboBox", none},
        {"ComboBoxPort4", "QComboBox", none},
        {"ComboBoxBaud1", "QComboBox", none},
        {"ComboBoxBaud2", "QComboBox", none},
        {"ComboBoxPar1", "QComboBox", none},
        {"ComboBoxPar2", "QComboBox", none},
        {"Edit1", "QLineEdit", "1"},
        {"Edit2", "QLineEdit", "1"},
        {"StaticText9", "QLabel", "9600"},
        {"StaticText10", "QLabel", "отключен"},
        {"sEdit1", "QLineEdit", "       9600"},
        {"sEdit2", "QLineEdit", "        нет"},
        {"GroupBoxPolling", "PollingGroup", "Опрос"},
        {"ButtonRep", "QPushButton", "Отчет"},
        {"ButtonLogToFile", "MeasurementLogButton", "Запись в файл"},
        {"ButtonChanLogToFile", "MeasurementLogButton", "Запись в файл"},
        {"ApdStatusLight1", "StatusLamp", none},
        {"ApdStatusLight2", "StatusLamp", none},
    };
    for (const auto& r : rows) {
        QTest::newRow(r.name) << QString::fromLatin1(r.name) << QString::fromLatin1(r.cls)
                              << QString::fromUtf8(r.text);
    }
}

void GoldenTest::controls() {
    QFETCH(QString, name);
    QFETCH(QString, className);
    QFETCH(QString, text);
    TForm1 form(new FakePort, &clock_);
    const QList<QObject*> found = form.findChildren<QObject*>(name);
    QCOMPARE(found.size(), 1);
    QCOMPARE(QString::fromLatin1(found.first()->metaObject()->className()), className);
    if (text != QStringLiteral("\x01"))
        QCOMPARE(caption(found.first()), text);
}

void GoldenTest::namesAreUnique() {
    TForm1 form(new FakePort, &clock_);
    QSet<QString> seen;
    for (QObject* o : form.findChildren<QObject*>()) {
        const QString n = o->objectName();
        // Qt names some of its own inner parts; only our names count.
        // Qt names some of its own inner parts, and the arrows of the spin and step buttons are
        // their inner parts; only the names of controls count.
        if (n.isEmpty() || n.startsWith(QLatin1String("qt_")) ||
            qobject_cast<QTabBar*>(o->parent()) ||
            (o->parent() &&
             (o->parent()->inherits("TrimSpinButton") || o->parent()->inherits("OutputUpDown"))))
            continue;
        QVERIFY2(!seen.contains(n), qPrintable(n));
        seen.insert(n);
    }
    QVERIFY(seen.contains(QStringLiteral("TimerWaitAnsw")));
    for (const char* timer :
         {"TimerMess", "TimerAuto", "TimerSetAuto", "TimerChanInfo", "TimerClock"})
        QVERIFY2(seen.contains(QString::fromLatin1(timer)), timer);
}

void GoldenTest::selectorItems() {
    TForm1 form(new FakePort, &clock_);
    auto items = [&](const char* name) {
        auto* box = form.findChild<QComboBox*>(QString::fromLatin1(name));
        QStringList out;
        for (int i = 0; i < box->count(); ++i)
            out << box->itemText(i);
        return out;
    };
    QStringList ports;
    for (int i = 1; i <= 16; ++i)
        ports << QStringLiteral("Comm%1").arg(i);
    for (const char* name : {"ComboBoxPort1", "ComboBoxPort2", "ComboBoxPort3", "ComboBoxPort4"})
        QCOMPARE(items(name), ports);
    const QStringList bauds = {"1200", "2400", "4800", "9600", "19200", "38400"};
    const QStringList parities = {"отключен", "нечетный", "четный"};
    QCOMPARE(items("ComboBoxBaud1"), bauds);
    QCOMPARE(items("ComboBoxBaud2"), bauds);
    QCOMPARE(items("ComboBoxPar1"), parities);
    QCOMPARE(items("ComboBoxPar2"), parities);
    QCOMPARE(items("sComboBoxSkin").size(), 13);
}

QTEST_MAIN(GoldenTest)
#include "gui_golden.moc"
