// The main parameter sub-page over a virtual serial line to tervex-sim: the chained read fills
// the page from the simulated device; a write reaches the device once and a new read shows it;
// after a new logical number the page goes on talking to the device under that number.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <memory>

#include "link/timer.h"
#include "pagebench.h"
#include "settings/mainparameterpage.h"

namespace {

constexpr int kWaitMs = 10000;
const QString kWritten = QStringLiteral("Информация записана ");

struct Wire {
    WireBench bench;
    std::unique_ptr<MainParameterPage> page;

    bool start() {
        if (!bench.start({QStringLiteral("--log"), QStringLiteral("-")}))
            return false;
        bench.portSettings->applyStored();
        page = std::make_unique<MainParameterPage>(bench.context());
        return true;
    }
    template <typename T>
    T* find(const char* name) {
        return page->findChild<T*>(QLatin1String(name));
    }
    QString text(const char* name) {
        if (auto* l = find<QLabel>(name))
            return l->text();
        if (auto* e = find<QLineEdit>(name))
            return e->text();
        return find<QComboBox>(name)->currentText();
    }
    // Both blocks, up to the end of the chain.
    bool read() {
        find<QLabel>("StaticTextVersPrg")->clear();
        bench.state.indicator.IndParamPending = true;
        page->BitBtnMainParamClick();
        return QTest::qWaitFor(
            [&] {
                return !text("StaticTextVersPrg").isEmpty() &&
                       !bench.state.indicator.IndParamPending &&
                       !bench.engine->timerSetAuto()->isEnabled();
            },
            kWaitMs);
    }
    bool confirmed(void (MainParameterPage::*click)()) {
        bench.messages.take();
        (page.get()->*click)();
        return QTest::qWaitFor([&] { return bench.messages.messages.contains(kWritten); }, kWaitMs);
    }
    int logged(const QString& frame) {
        return int(QString::fromUtf8(bench.sim.standardError()).count(frame));
    }
};

}  // namespace

class MainParameterPageWireTest : public QObject {
    Q_OBJECT
  private slots:
    void readFillsThePage();
    void writesReachTheDeviceOnce();
    void newLogicalNumberIsFollowed();
};

void MainParameterPageWireTest::readFillsThePage() {
    Wire w;
    QVERIFY2(w.start(), qPrintable(w.bench.sim.errorString()));
    QVERIFY(w.read());
    QCOMPARE(w.text("StaticTextVersPrg"), QStringLiteral("21"));
    QCOMPARE(w.text("StaticTextNumMeasureParam"), QStringLiteral("29"));
    QCOMPARE(w.text("EditReadLog"), QStringLiteral("1"));
    QCOMPARE(w.text("ComboBoxBrightness"), QStringLiteral("максим."));
    QCOMPARE(w.text("EditNumDev"), QStringLiteral("1234"));
    QCOMPARE(w.text("EditReadYear"), QStringLiteral("2010"));
    QCOMPARE(w.text("ComboBoxBaud3"), QStringLiteral("9600"));
    QCOMPARE(w.text("ComboBoxPar3"), QStringLiteral("отключен"));
    QCOMPARE(w.text("StaticTextSchInp"), QStringLiteral("Трех элементная"));
    QCOMPARE(w.text("StaticTextVersDev"), QStringLiteral("Tervex"));
    QCOMPARE(w.find<QComboBox>("ComboBoxIndParam0")->currentIndex(), 0);
    QCOMPARE(w.find<QComboBox>("ComboBoxIndParam1")->currentIndex(), 3);
    QCOMPARE(w.find<QComboBox>("ComboBoxIndParam2")->currentIndex(), 21);
    QVERIFY(!w.page->indicatorSetup()[0].unit.isEmpty());
    QVERIFY(w.bench.messages.take().isEmpty());
    QCOMPARE(w.logged(QStringLiteral("rx 01 03 02 00 00 0A C4 75")), 1);
    QCOMPARE(w.logged(QStringLiteral("rx 01 03 04 00 00 06 C4 F8")), 1);
}

void MainParameterPageWireTest::writesReachTheDeviceOnce() {
    Wire w;
    QVERIFY2(w.start(), qPrintable(w.bench.sim.errorString()));
    w.find<QLineEdit>("EditReadYear")->setText(QStringLiteral("2015"));
    QVERIFY(w.confirmed(&MainParameterPage::BitBtnWriteYearClick));
    w.find<QComboBox>("ComboBoxIndParam1")->setCurrentIndex(22);
    QVERIFY(w.confirmed(&MainParameterPage::BitBtnSaveIndParamClick));
    QVERIFY(w.read());
    QCOMPARE(w.text("EditReadYear"), QStringLiteral("2015"));
    QCOMPARE(w.find<QComboBox>("ComboBoxIndParam1")->currentIndex(), 22);
    QCOMPARE(w.logged(QStringLiteral("rx 01 06 02 0A 07 DF")), 1);
    QCOMPARE(w.logged(QStringLiteral("rx 01 10 04 00 00 03 06 00 00 00 16 00 00")), 1);
}

void MainParameterPageWireTest::newLogicalNumberIsFollowed() {
    Wire w;
    QVERIFY2(w.start(), qPrintable(w.bench.sim.errorString()));
    // As the window does with its logical-number fields.
    QObject::connect(w.page.get(), &MainParameterPage::logicalNumberWritten, w.page.get(),
                     [&](int n) { w.bench.hooks.address = n; });
    w.find<QLineEdit>("EditReadLog")->setText(QStringLiteral("5"));
    QVERIFY(w.confirmed(&MainParameterPage::BitBtnWriteLogClick));
    QCOMPARE(w.bench.hooks.address, std::optional<int>(5));
    QVERIFY(w.read());
    QCOMPARE(w.text("EditReadLog"), QStringLiteral("5"));
    QCOMPARE(w.logged(QStringLiteral("rx 05 03 02 00 00 0A")), 1);
}

QTEST_MAIN(MainParameterPageWireTest)
#include "wire_mainparameterpage.moc"
