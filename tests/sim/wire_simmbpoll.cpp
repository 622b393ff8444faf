// mbpoll, a Modbus master that owes nothing to this project, reads and writes the simulator.
#include <QRegularExpression>
#include <QStandardPaths>
#include <QtTest>

#include "simprocess.h"

namespace {

struct Run {
    int exitCode = -1;
    QString output;
};

// mbpoll once at 9600 baud without parity, 0-based register numbers, slave 1; it reads
// unless values to write are given.
Run mbpoll(const QString& path, const QStringList& args, const QStringList& writeValues = {}) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("mbpoll"),
            QStringList{"-m", "rtu", "-b", "9600", "-P", "none", "-a", "1", "-0", "-1", "-o", "2"} +
                args + QStringList{path} + writeValues);
    if (!p.waitForFinished(10000)) {
        p.kill();
        p.waitForFinished();
        return {};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromLocal8Bit(p.readAll())};
}

// The "[reference]: value" lines of an mbpoll read.
QMap<int, QString> values(const QString& output) {
    QMap<int, QString> v;
    static const QRegularExpression line(QStringLiteral(R"(^\[(\d+)\]:\s+(\S+)\s*$)"),
                                         QRegularExpression::MultilineOption);
    for (auto it = line.globalMatch(output); it.hasNext();) {
        const auto m = it.next();
        v.insert(m.captured(1).toInt(), m.captured(2));
    }
    return v;
}

}  // namespace

class SimMbpollTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void reads29Floats();
    void writesARegister();

  private:
    SimProcess sim_;
};

void SimMbpollTest::initTestCase() {
    if (QStandardPaths::findExecutable(QStringLiteral("mbpoll")).isEmpty())
        QSKIP("mbpoll is not installed (Debian package mbpoll)");
    QVERIFY2(sim_.start(), qPrintable(sim_.errorString()));
}

void SimMbpollTest::reads29Floats() {
    // -B: the device sends the high word of a float first.
    const Run r = mbpoll(sim_.path(), {"-r", "0", "-c", "29", "-t", "4:float", "-B"});
    QVERIFY2(r.exitCode == 0, qPrintable(r.output));
    const QMap<int, QString> v = values(r.output);
    QCOMPARE(v.size(), 29);
    struct Expect {
        int index;
        double low, high;
    };
    const Expect expected[] = {{0, 220, 240},    {2, 220, 240},  {3, 1, 5},        {6, 380, 420},
                               {9, 300, 1000},   {18, 0.8, 1},   {21, 1000, 3000}, {24, 0.8, 1},
                               {25, 49.5, 50.5}, {26, 220, 240}, {28, 380, 420}};
    for (const Expect& e : expected) {
        bool ok = false;
        const double x = v.value(2 * e.index).toDouble(&ok);
        QVERIFY2(ok && x > e.low && x < e.high,
                 qPrintable(QStringLiteral("parameter %1 read as '%2'")
                                .arg(e.index)
                                .arg(v.value(2 * e.index))));
    }
}

void SimMbpollTest::writesARegister() {
    // Device number, written at 520 and read back as word 4 of the block at 512.
    Run r = mbpoll(sim_.path(), {"-r", "520", "-t", "4"}, {"4321"});
    QVERIFY2(r.exitCode == 0 && r.output.contains(QLatin1String("Written 1 references")),
             qPrintable(r.output));
    r = mbpoll(sim_.path(), {"-r", "516", "-c", "1", "-t", "4"});
    QVERIFY2(r.exitCode == 0, qPrintable(r.output));
    QCOMPARE(values(r.output).value(516), QStringLiteral("4321"));

    r = mbpoll(sim_.path(), {"-r", "600", "-c", "1", "-t", "4"});
    QVERIFY2(r.output.contains(QLatin1String("Illegal data address")), qPrintable(r.output));
}

QTEST_GUILESS_MAIN(SimMbpollTest)
#include "wire_simmbpoll.moc"
