// The simulator's line as bytes: the remote indicator's own frames, information-channel
// packets, garbage before a request, pacing, a master at the wrong speed; and the process
// around it: its link, its command line, the signals it takes while running, its end.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#include <QElapsedTimer>
#include <QThread>
#include <QtTest>
#include <bit>

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
    // The master's speed and parity (none or odd: a pty takes no even parity).
    bool setLine(speed_t speed, bool odd = false) {
        termios t{};
        if (tcgetattr(fd_, &t) != 0)
            return false;
        cfsetispeed(&t, speed);
        cfsetospeed(&t, speed);
        t.c_cflag &= ~(PARENB | PARODD);
        if (odd)
            t.c_cflag |= PARENB | PARODD;
        return tcsetattr(fd_, TCSANOW, &t) == 0;
    }
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

// Waits until the frame log at `path` holds `text` at least `times` times; the simulator writes
// it when it has dealt with a frame or a signal, so nothing here depends on how long that took.
bool waitForLog(const QString& path, const QByteArray& text, int times = 1) {
    QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired()) {
        QFile f(path);
        if (f.open(QIODevice::ReadOnly) && f.readAll().count(text) >= times)
            return true;
        QThread::msleep(10);
    }
    return false;
}

QByteArray logText(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray frame(const char* hex) {
    return replies::withCrc(QByteArray::fromHex(hex));
}

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
    void strictSpeedAnswersOnlyTheDevicesSettings();
    void runtimeSignalsAndStoreDelay();
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

void SimLineTest::strictSpeedAnswersOnlyTheDevicesSettings() {
    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("frames.log"));
    SimProcess sim;
    QVERIFY2(sim.start({"--strict-speed", "--no-pace", "--log", log}),
             qPrintable(sim.errorString()));
    RawLine line(sim.path());
    QVERIFY(line.ok());
    const QByteArray read = frame("010302000001");
    const QByteArray reply = frame("0103020015");

    // Wrong speed, then wrong parity: ignored, and logged as such.
    QVERIFY(line.setLine(B19200));
    QVERIFY(line.send(read));
    QVERIFY2(waitForLog(log,
                        "(ignored: master at 19200 baud, no parity, device at 9600 baud, "
                        "no parity)"),
             logText(log).constData());
    QVERIFY(line.setLine(B9600, true));
    QVERIFY(line.send(read));
    QVERIFY2(waitForLog(log, "(ignored: master at 9600 baud, odd parity", 1),
             logText(log).constData());
    QVERIFY(line.receive(1, 100).isEmpty());

    // The device's own settings are answered.
    QVERIFY(line.setLine(B9600));
    QVERIFY(line.send(read));
    QCOMPARE(line.receive(7, 3000), reply);

    // A new speed is confirmed at the old one, then the device listens at the new one only.
    const QByteArray toFast = frame("0106020C0004");
    QVERIFY(line.send(toFast));
    QCOMPARE(line.receive(8, 3000), toFast);
    QVERIFY2(waitForLog(log, "-- line now 19200 baud"), logText(log).constData());
    QVERIFY(line.send(read));
    QVERIFY2(waitForLog(log, "master at 9600 baud, no parity, device at 19200 baud"),
             logText(log).constData());
    QVERIFY(line.setLine(B19200));
    QVERIFY(line.send(read));
    QCOMPARE(line.receive(7, 3000), reply);

    // The remote indicator keeps to 9600 baud without parity.
    const QByteArray remoteRead = frame("0300F0");
    QVERIFY(line.send(remoteRead));
    QVERIFY2(waitForLog(log, "master at 19200 baud, no parity, device at 9600 baud, no parity)", 2),
             logText(log).constData());
    QVERIFY(line.setLine(B9600));
    QVERIFY(line.send(remoteRead));
    QCOMPARE(line.receive(65, 3000).size(), 65);

    const QByteArray out = sim.stop();
    QVERIFY2(out.contains("at a wrong speed or parity 4)"), out.constData());
}

void SimLineTest::runtimeSignalsAndStoreDelay() {
    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("frames.log"));
    SimProcess sim;
    QVERIFY2(sim.start({"--no-pace", "--info-rate", "20", "--info-paused", "--store-delay", "300",
                        "--log", log}),
             qPrintable(sim.errorString()));
    const pid_t pid = pid_t(sim.pid());
    RawLine line(sim.path());
    QVERIFY(line.ok());

    // SIGHUP takes the device out of the correction mode.
    QVERIFY(line.send(frame("010602FE0002")));
    QCOMPARE(line.receive(8, 3000), frame("010602FE0002"));
    const QByteArray modeRead = frame("010302140001");
    QVERIFY(line.send(modeRead));
    QCOMPARE(line.receive(7, 3000), frame("0103020207"));
    ::kill(pid, SIGHUP);
    QVERIFY2(waitForLog(log, "correction mode off, on SIGHUP"), logText(log).constData());
    QVERIFY(line.send(modeRead));
    QCOMPARE(line.receive(7, 3000), frame("0103020000"));

    // SIGUSR2 dips the voltages to 40 % and back.
    auto ua = [&] {
        line.send(frame("010300000002"));
        const QByteArray r = line.receive(9, 3000);
        if (r.size() != 9)
            return -1.0f;
        return std::bit_cast<float>(quint32(quint8(r[3])) << 24 | quint32(quint8(r[4])) << 16 |
                                    quint32(quint8(r[5])) << 8 | quint8(r[6]));
    };
    QVERIFY(ua() > 200);
    ::kill(pid, SIGUSR2);
    QVERIFY2(waitForLog(log, "dip to 40 %"), logText(log).constData());
    const float dipped = ua();
    QVERIFY2(dipped > 80 && dipped < 100, qPrintable(QString::number(dipped)));
    ::kill(pid, SIGUSR2);
    QVERIFY2(waitForLog(log, "back from the dip"), logText(log).constData());
    QVERIFY(ua() > 200);

    // The store is answered, late.
    const QByteArray store = frame("010602FF0000");
    QVERIFY(line.send(store));
    QCOMPARE(line.receive(8, 5000), store);
    QVERIFY(logText(log).contains("-- store: its confirmation held back 300 ms"));

    // SIGUSR1 starts the packets that were held back, and stops them again.
    QVERIFY(!logText(log).contains("tx 55 AA"));
    ::kill(pid, SIGUSR1);
    QVERIFY2(waitForLog(log, "information channel on, 20 packets per second"),
             logText(log).constData());
    const QByteArray stream = line.receive(268, 3000);
    QCOMPARE(stream.size(), 268);
    QVERIFY(stream.contains(QByteArray::fromHex("55AA018086")));
    ::kill(pid, SIGUSR1);
    QVERIFY2(waitForLog(log, "information channel off"), logText(log).constData());
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
