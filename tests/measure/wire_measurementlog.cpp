// A program logging measured values is killed outright while it polls the simulated
// transducer: the file it leaves holds only whole rows.
//
// The program is this test itself started again in host mode: the real serial port, the
// link engine, the measured-values page attached to it with its "Запись в файл" button
// checked, and a read of the measured block every 100 ms, as the window's polling sends it.
//
//   wire_measurementlog --host LINE FILE
#include <signal.h>
#include <QApplication>
#include <QDateTime>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <cstdio>

#include "link/engine.h"
#include "link/qtserialport.h"
#include "link/timer.h"
#include "measure/measuredvaluespage.h"
#include "measure/measurementlog.h"
#include "measure/measurementlogbutton.h"
#include "simprocess.h"
#include "widgets/messagebox.h"

namespace {

constexpr int kPollMs = 100;
constexpr int kRowsBeforeKill = 20;
constexpr int kNoInfoIndex = 27;

int runHost(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString line = QString::fromLocal8Bit(argv[2]);
    const QString path = QString::fromLocal8Bit(argv[3]);
    messagebox::SetAnswerer(
        [](const QString& text) { std::fprintf(stderr, "host message: %s\n", qPrintable(text)); });

    SystemClock clock;
    QtSerialPort port([line](int) { return line; });
    port.setComNumber(1);
    LinkEngine engine(&port, &clock, nullptr);
    MeasuredValuesPage page;
    page.attach(&engine);
    auto* button = page.findChild<MeasurementLogButton*>(QStringLiteral("ButtonLogToFile"));
    button->setPathChooser([path](QWidget*, const QString&) { return path; });
    button->click();
    if (!button->isChecked())
        return 2;

    const RequestRecord read = ReadMeasuredBlock(1);
    QTimer poll;
    poll.setInterval(kPollMs);
    QObject::connect(&poll, &QTimer::timeout, &engine, [&] {
        if (!engine.awaitingReply())
            engine.SendInquiry(read);
    });
    poll.start();
    return QApplication::exec();
}

int lineCount(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? int(f.readAll().count('\n')) : 0;
}

}  // namespace

class MeasurementLogWireTest : public QObject {
    Q_OBJECT
  private slots:
    void killedWhileLoggingLeavesWholeRows();
};

void MeasurementLogWireTest::killedWhileLoggingLeavesWholeRows() {
    SimProcess sim;
    QVERIFY2(sim.start({QStringLiteral("--no-info"), QString::number(kNoInfoIndex)}),
             qPrintable(sim.errorString()));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("measured.csv"));

    QProcess host;
    host.setProcessChannelMode(QProcess::ForwardedChannels);
    host.start(QCoreApplication::applicationFilePath(),
               {QStringLiteral("--host"), sim.path(), path});
    QVERIFY(host.waitForStarted(10000));
    QTRY_VERIFY_WITH_TIMEOUT(
        lineCount(path) > kRowsBeforeKill || host.state() == QProcess::NotRunning, 90000);
    QCOMPARE(host.state(), QProcess::Running);
    ::kill(pid_t(host.processId()), SIGKILL);
    QVERIFY(host.waitForFinished(10000));
    QCOMPARE(host.exitStatus(), QProcess::CrashExit);

    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray all = f.readAll();
    QVERIFY(all.startsWith("\xEF\xBB\xBF" + MeasurementLog::HeaderLine()));
    QVERIFY2(all.endsWith('\n'), all.right(200).constData());
    QList<QByteArray> lines = all.split('\n');
    lines.removeLast();   // after the last newline
    lines.removeFirst();  // the header
    QVERIFY(lines.size() >= kRowsBeforeKill);
    QDateTime previous;
    for (const QByteArray& row : lines) {
        const QList<QByteArray> cells = row.split(';');
        QVERIFY2(cells.size() == 1 + kParameterCount, row.constData());
        const QDateTime time =
            QDateTime::fromString(QString::fromLatin1(cells[0]), Qt::ISODateWithMs);
        QVERIFY2(time.isValid(), row.constData());
        QVERIFY2(!previous.isValid() || previous <= time, row.constData());
        previous = time;
        for (int k = 0; k < kParameterCount; ++k) {
            const QByteArray& cell = cells[1 + k];
            if (k == kNoInfoIndex) {
                QVERIFY2(cell.isEmpty(), row.constData());
                continue;
            }
            bool ok = false;
            cell.toDouble(&ok);
            QVERIFY2(ok, row.constData());
        }
        const double frequency = cells[1 + 25].toDouble();
        QVERIFY2(frequency > 45 && frequency < 55, row.constData());
    }
}

int main(int argc, char** argv) {
    if (argc == 4 && qstrcmp(argv[1], "--host") == 0)
        return runHost(argc, argv);
    QApplication app(argc, argv);
    MeasurementLogWireTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "wire_measurementlog.moc"
