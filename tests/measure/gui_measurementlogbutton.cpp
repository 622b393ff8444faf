// The "Запись в файл" buttons of the measured-values page and the information-channel page:
// what checking and unchecking do to the file, a cancelled choice, and a file that fails.
#include <QFile>
#include <QLineEdit>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "app/tform1.h"
#include "channelpacket.h"
#include "measure/infochannelview.h"
#include "measure/measuredvaluespage.h"
#include "measure/measurementlog.h"
#include "measure/measurementlogbutton.h"
#include "pagebench.h"
#include "replies.h"

namespace {

QByteArray dataArea(float first) {
    QList<float> values(kParameterCount, 1.0f);
    values[0] = first;
    return replies::measuredBlock(values).mid(3, kMeasuredBlockDataLength);
}

void show(MeasuredValuesPage& page, const QByteArray& data) {
    page.ShowMeasuredBlock(reinterpret_cast<const quint8*>(data.constData()), int(data.size()));
}

QList<QByteArray> rows(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> lines = f.readAll().split('\n');
    lines.removeLast();   // after the last newline
    lines.removeFirst();  // the header
    return lines;
}

struct MeasuredFixture {
    MessageRecorder messages;
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("log.csv"));
    MeasuredValuesPage page;
    MeasurementLogButton* button =
        page.findChild<MeasurementLogButton*>(QStringLiteral("ButtonLogToFile"));
    int asked = 0;
    QString answer = path;

    MeasuredFixture() {
        button->setPathChooser([this](QWidget*, const QString&) {
            ++asked;
            return answer;
        });
    }
};

}  // namespace

class MeasurementLogButtonTest : public QObject {
    Q_OBJECT
  private slots:
    void buttons();
    void checkedLogsEveryShownBlockUntilUnchecked();
    void cancelledChoiceLeavesItUnchecked();
    void refusedFileIsReportedAndUnchecked();
    void failingWriteStopsTheLogNotThePage();
    void channelPageLogsGoodPackets();
    void screenshots();
};

void MeasurementLogButtonTest::buttons() {
    MeasuredFixture f;
    QVERIFY(f.button);
    QCOMPARE(f.button->text(), QStringLiteral("Запись в файл"));
    QVERIFY(f.button->isCheckable());
    QVERIFY(!f.button->isChecked());

    PageBench bench;
    QObject timers;
    InfoChannelView view(bench.context(), bench.clock.createTimer(&timers));
    auto* chan = view.findChild<MeasurementLogButton*>(QStringLiteral("ButtonChanLogToFile"));
    QVERIFY(chan);
    QCOMPARE(chan->text(), QStringLiteral("Запись в файл"));
}

void MeasurementLogButtonTest::checkedLogsEveryShownBlockUntilUnchecked() {
    MeasuredFixture f;
    show(f.page, dataArea(5.0f));  // before: not logged
    f.button->click();
    QCOMPARE(f.asked, 1);
    QVERIFY(f.button->isChecked());
    QVERIFY(f.button->log()->isOpen());
    show(f.page, dataArea(6.0f));
    show(f.page, dataArea(7.0f));
    f.button->click();
    QVERIFY(!f.button->isChecked());
    QVERIFY(!f.button->log()->isOpen());
    show(f.page, dataArea(8.0f));  // after: not logged

    const QList<QByteArray> logged = rows(f.path);
    QCOMPARE(logged.size(), 2);
    QCOMPARE(logged[0].split(';').value(1), QByteArray("6.000"));
    QCOMPARE(logged[1].split(';').value(1), QByteArray("7.000"));
    QVERIFY(f.messages.messages.isEmpty());

    // Checked again: the same file grows.
    f.button->click();
    show(f.page, dataArea(9.0f));
    QCOMPARE(rows(f.path).size(), 3);
}

void MeasurementLogButtonTest::cancelledChoiceLeavesItUnchecked() {
    MeasuredFixture f;
    f.answer.clear();
    f.button->click();
    QCOMPARE(f.asked, 1);
    QVERIFY(!f.button->isChecked());
    QVERIFY(!f.button->log()->isOpen());
    QVERIFY(f.messages.messages.isEmpty());
}

void MeasurementLogButtonTest::refusedFileIsReportedAndUnchecked() {
    MeasuredFixture f;
    f.answer = f.dir.path();  // a folder
    f.button->click();
    QVERIFY(!f.button->isChecked());
    QCOMPARE(f.messages.messages.size(), 1);
    QVERIFY2(f.messages.messages.first().contains(QStringLiteral("это папка")),
             qPrintable(f.messages.messages.first()));
}

// The file goes away while rows are being written: the operator is told once, the button
// comes up, the page keeps showing what arrives.
void MeasurementLogButtonTest::failingWriteStopsTheLogNotThePage() {
    MeasuredFixture f;
    f.button->click();
    show(f.page, dataArea(6.0f));
    QVERIFY(QFile::remove(f.path));
    show(f.page, dataArea(7.0f));
    QVERIFY(!f.button->isChecked());
    QTRY_COMPARE(f.messages.messages.size(), 1);
    QVERIFY2(f.messages.messages.first().contains(QStringLiteral("удален")),
             qPrintable(f.messages.messages.first()));
    show(f.page, dataArea(8.0f));
    QVERIFY(f.page.field(0)->text().startsWith(QLatin1Char('8')));
    QVERIFY(!QFile::exists(f.path));
    QTest::qWait(0);
    QCOMPARE(f.messages.messages.size(), 1);
}

// Only a packet that passed its checksum is a row.
void MeasurementLogButtonTest::channelPageLogsGoodPackets() {
    PageBench bench;
    QObject timers;
    LinkTimer* timer = bench.clock.createTimer(&timers);
    timer->setInterval(1000);
    InfoChannelView view(bench.context(), timer);
    view.EnterChannelMode();
    auto* button = view.findChild<MeasurementLogButton*>(QStringLiteral("ButtonChanLogToFile"));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("chan.csv"));
    button->setPathChooser([&](QWidget*, const QString&) { return path; });
    button->click();
    QVERIFY(button->isChecked());

    channel::Packet p;
    p.values[0] = channel::bitsOf(1.0f);
    p.values[1] = infochannel::kAboveRange;
    auto deliver = [&](const QByteArray& start) {
        bench.port.deliver(start + channel::noise(infochannel::kWindowLength - int(start.size())));
    };
    deliver(p.bytes());
    deliver(p.bytes(false));
    deliver(channel::noise(10));
    const QList<QByteArray> logged = rows(path);
    QCOMPARE(logged.size(), 1);
    const QList<QByteArray> cells = logged[0].split(';');
    QCOMPARE(cells.size(), 1 + kParameterCount);
    QCOMPARE(cells[1], QByteArray("125.000"));
    QCOMPARE(cells[2], QByteArray());
    QVERIFY(bench.messages.messages.isEmpty());
}

// Renders the window's two pages with their buttons when TERVEX_SHOTS names a folder.
void MeasurementLogButtonTest::screenshots() {
    const QString folder = qEnvironmentVariable("TERVEX_SHOTS");
    if (folder.isEmpty())
        QSKIP("TERVEX_SHOTS not set");
    ManualClock clock;
    TForm1 form(new FakePort, &clock);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    auto* tabs = form.findChild<QTabWidget*>(QStringLiteral("PageControl1"));
    QVERIFY(tabs);
    form.grab().save(folder + QStringLiteral("/log-measured.png"));
    for (int i = 0; i < tabs->count(); ++i) {
        if (tabs->tabText(i).contains(QStringLiteral("Информационный"))) {
            tabs->setCurrentIndex(i);
            QTest::qWait(50);
            form.grab().save(folder + QStringLiteral("/log-channel.png"));
        }
    }
}

QTEST_MAIN(MeasurementLogButtonTest)
#include "gui_measurementlogbutton.moc"
