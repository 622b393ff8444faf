// The simulator's line as bytes: the remote indicator's own frames, information-channel
// packets, garbage before a request, pacing; and the process around it: its link, its
// command line, its end on a signal.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#include <QElapsedTimer>
#include <QtTest>

#include "replies.h"

#include "link/crc.h"
#include "simprocess.h"

namespace {

// The master's end of the line, raw, without any Modbus library in between.
class RawLine {
  public:
    explicit RawLine(const QString& path) {
        fd_ = open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        termios t{};
        if (fd_ >= 0 && tcgetattr(fd_, &t) == 0) {
            cfmakeraw(&t);
            tcsetattr(fd_, TCSANOW, &t);
        }
    }
    ~RawLine() {
        if (fd_ >= 0)
            close(fd_);
    }
    bool ok() const { return fd_ >= 0; }
    bool send(const QByteArray& b) {
        return write(fd_, b.constData(), size_t(b.size())) == b.size();
    }
    // Reads until `n` bytes have come or `ms` have passed.
    QByteArray receive(int n, int ms) {
        QByteArray got;
        QDeadlineTimer deadline(ms);
        while (got.size() < n && !deadline.hasExpired()) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, int(std::max<qint64>(1, deadline.remainingTime()))) <= 0)
                continue;
            char buffer[512];
            const ssize_t r = read(fd_, buffer, size_t(std::min<qsizetype>(n - got.size(), 512)));
            if (r > 0)
                got.append(buffer, int(r));
        }
        return got;
    }

  private:
    int fd_ = -1;
};

struct Exit {
    int code = -1;
    QByteArray out, err;
};

Exit runSim(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral(TERVEX_SIM_PATH), args);
    if (!p.waitForFinished(5000)) {
        p.kill();
        p.waitForFinished();
        return {};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}

}  // namespace

class SimLineTest : public QObject {
    Q_OBJECT

  private slots:
    void remoteIndicatorFrames();
    void informationChannelPackets();
    void garbageBeforeARequest();
    void repliesTakeTheirByteTimes();
    void endsCleanlyOnInterrupt();
    void linkPath();
    void commandLine_data();
    void commandLine();
};

void SimLineTest::remoteIndicatorFrames() {
    SimProcess sim;
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    RawLine line(sim.path());
    QVERIFY(line.ok());
    const QByteArray readRequest = replies::withCrc(QByteArray::fromHex("0300F0"));
    QVERIFY(line.send(readRequest));
    QByteArray frame = line.receive(65, 2000);
    QCOMPARE(frame.size(), 65);
    QVERIFY(replies::checksumRight(frame));

    frame = frame.left(63);
    frame[2] = char(0xE0);
    frame[3] = char(25);  // line 0 shows the frequency
    frame[62] = 0;        // two-element scheme
    QVERIFY(line.send(replies::withCrc(frame)));
    const QByteArray reply = line.receive(6, 2000);
    QCOMPARE(reply.size(), 6);
    QVERIFY(replies::checksumRight(reply));

    QVERIFY(line.send(readRequest));
    const QByteArray again = line.receive(65, 2000);
    QCOMPARE(again.size(), 65);
    QCOMPARE(quint8(again[3]), quint8(25));
    QCOMPARE(quint8(again[62]), quint8(0));
}

void SimLineTest::informationChannelPackets() {
    SimProcess sim;
    QVERIFY2(sim.start({"--info-rate", "20", "--info-status", "-5", "--no-info", "F"}),
             qPrintable(sim.errorString()));
    RawLine line(sim.path());
    QVERIFY(line.ok());
    // Two packets' worth, as the monitor scans; one whole packet must be inside.
    const QByteArray stream = line.receive(268, 3000);
    QCOMPARE(stream.size(), 268);
    const qsizetype at = stream.indexOf(QByteArray::fromHex("55AA018086"));
    QVERIFY(at >= 0 && at <= 134);
    const QByteArray packet = stream.mid(at, 134);
    QVERIFY(replies::checksumRight(packet));
    QCOMPARE(qint8(packet[5]), qint8(-5));
    QCOMPARE(packet.mid(16 + 4 * 25, 4), QByteArray::fromHex("FFFFFFFF"));
}

void SimLineTest::garbageBeforeARequest() {
    SimProcess sim;
    QVERIFY2(sim.start({"--no-pace"}), qPrintable(sim.errorString()));
    RawLine line(sim.path());
    QVERIFY(line.ok());
    const QByteArray read = replies::withCrc(QByteArray::fromHex("010302000001"));
    const QByteArray reply = replies::withCrc(QByteArray::fromHex("0103020015"));
    // Noise of every kind, then the request in the same burst: it must still be answered.
    const QByteArray noise = QByteArray::fromHex("FFFF00 0300AA 0183 01100000 0001FF 0103 0000");
    QVERIFY(line.send(noise + read));
    QCOMPARE(line.receive(7, 2000), reply);
    // And again with nothing in between, so the noise left nothing behind.
    QVERIFY(line.send(read));
    QCOMPARE(line.receive(7, 2000), reply);
    const QByteArray out = sim.stop();
    QVERIFY2(out.contains("requests 2 "), out.constData());
}

void SimLineTest::repliesTakeTheirByteTimes() {
    // 121 bytes at 9600 baud, 10 bits each: at least 126 ms on the line. Only the lower bound
    // is checked; a busy machine may always be slower.
    SimProcess sim;
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    RawLine line(sim.path());
    QVERIFY(line.ok());
    QElapsedTimer clock;
    clock.start();
    QVERIFY(line.send(replies::withCrc(QByteArray::fromHex("01030000003A"))));
    const QByteArray reply = line.receive(121, 3000);
    QCOMPARE(reply.size(), 121);
    QVERIFY2(clock.elapsed() >= 120, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(replies::checksumRight(reply));
}

void SimLineTest::endsCleanlyOnInterrupt() {
    SimProcess sim;
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    int exitCode = -1;
    const QByteArray out = sim.stop(&exitCode, SIGINT);
    QCOMPARE(exitCode, 0);
    QVERIFY2(out.contains("faults injected: dropped 0"), out.constData());
    QVERIFY(!QFileInfo::exists(sim.path()));
    QVERIFY(!QFileInfo(sim.path()).isSymLink());
}

void SimLineTest::linkPath() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("line"));
    // A stale link of an earlier run is replaced.
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("gone")), path));
    {
        QProcess p;
        p.start(QStringLiteral(TERVEX_SIM_PATH), {path});
        QVERIFY(p.waitForReadyRead(5000));
        QCOMPARE(p.readLine().trimmed(), "tervex-sim: ready " + path.toLocal8Bit());
        QVERIFY(QFileInfo(path).symLinkTarget().startsWith(QLatin1String("/dev/pts/")));
        ::kill(pid_t(p.processId()), SIGTERM);
        QVERIFY(p.waitForFinished(3000));
    }
    // Anything else is left alone.
    QFile plain(path);
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.write("keep");
    plain.close();
    const Exit e = runSim({path});
    QCOMPARE(e.code, 1);
    QVERIFY2(e.err.contains("not a symbolic link"), e.err.constData());
    QVERIFY(plain.open(QIODevice::ReadOnly));
    QCOMPARE(plain.readAll(), QByteArray("keep"));
}

void SimLineTest::commandLine_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("says");
    QTest::newRow("help") << QStringList{"--help"} << 0 << QByteArray("--fragment-rate");
    QTest::newRow("bad speed") << QStringList{"x", "--baud", "7"} << 2 << QByteArray("--baud: '7'");
    QTest::newRow("no link") << QStringList{"--seed", "1"} << 2 << QByteArray("--device PATH");
    QTest::newRow("missing device") << QStringList{"--device", "/nonexistent/tty"} << 1
                                    << QByteArray("cannot open /nonexistent/tty");
    QTest::newRow("not a serial device")
        << QStringList{"--device", "/dev/null"} << 1 << QByteArray("not a serial device");
}

void SimLineTest::commandLine() {
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, says);
    const Exit e = runSim(args);
    QCOMPARE(e.code, exitCode);
    QVERIFY2((e.out + e.err).contains(says), (e.out + e.err).constData());
}

QTEST_GUILESS_MAIN(SimLineTest)
#include "wire_simline.moc"
