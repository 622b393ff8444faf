// The engine over a virtual serial line, against an independent libmodbus slave. Every case
// runs once with whole frames and once with frames cut into small pieces on the line (socat
// -b) and replies written piece by piece, so that the engine has to wait for the rest.
#include <QProcess>
#include <QtTest>
#include <csignal>

#include "link/crc.h"
#include "link/engine.h"
#include "link/qtserialport.h"
#include "link/timer.h"
#include "ptypair.h"

namespace {

constexpr int kSlave = 1;
constexpr int kReplyWaitMs = 2000;  // a pty answers in milliseconds; well inside the time-out

// The slave's register i holds this until a write changes it.
quint16 initialRegister(int i) {
    return quint16(i * 3 + 1);
}

struct Recorder : LinkHooks {
    QStringList statuses, messages, errors;
    QList<LinkCounter> counters;
    int cleared = 0, timedOut = 0, replyTimes = 0;
    void listen(LinkEngine& e) {
        QObject::connect(&e, &LinkEngine::errorReport, &e,
                         [this](const QString& t) { errors << t; });
        QObject::connect(&e, &LinkEngine::message, &e, [this](const QString& t) { messages << t; });
        QObject::connect(&e, &LinkEngine::statusText, &e,
                         [this](const QString& t) { statuses << t; });
        QObject::connect(&e, &LinkEngine::replyCompleted, &e, [this] { ++replyTimes; });
        QObject::connect(&e, &LinkEngine::counterChanged, &e,
                         [this](LinkCounter c) { counters << c; });
        QObject::connect(&e, &LinkEngine::checksumError, &e, [this] { ++cleared; });
        QObject::connect(&e, &LinkEngine::timedOut, &e, [this] {
            ++cleared;
            ++timedOut;
        });
    }
};

// tervex-test-slave as a child process, ended by its PID.
class Slave {
  public:
    ~Slave() {
        if (process_.state() == QProcess::NotRunning)
            return;
        ::kill(pid_t(process_.processId()), SIGTERM);
        if (!process_.waitForFinished(3000)) {
            process_.kill();
            process_.waitForFinished(1000);
        }
    }
    // Starts it on `device` and waits until it listens.
    bool start(const QString& device, const QStringList& options) {
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(QStringLiteral(TERVEX_TEST_SLAVE_PATH),
                       QStringList{device, QStringLiteral("9600"), QStringLiteral("N"),
                                   QString::number(kSlave)} +
                           options);
        QDeadlineTimer deadline(5000);
        while (!process_.canReadLine()) {
            if (deadline.hasExpired() || !process_.waitForReadyRead(int(deadline.remainingTime())))
                return false;
        }
        return process_.readLine().trimmed() == "ready";
    }

  private:
    QProcess process_;
};

struct Wire {
    PtyPair pty;
    Slave slave;
    SystemClock clock;
    Recorder hooks;
    QtSerialPort port{[this](int n) { return n == 1 ? pty.pathA() : QString(); }};
    LinkEngine engine{&port, &clock, &hooks};
    // Replies that reached a handler, each with its code first. How the kernel splits a reply
    // into reads is not asserted here: reassembly is the unit tests' business.
    QList<QByteArray> handled;
    QString error;
    int chunk;  // largest piece on the line, 0 for whole frames

    explicit Wire(int pieceBytes) : pty(pieceBytes), chunk(pieceBytes) {
        hooks.listen(engine);
        for (int code = 0; code < kRequestCodeCount; ++code) {
            engine.setReplyHandler(
                nullptr, RequestCode(code), [this, code](const quint8* r, int n) {
                    handled.append(QByteArray(1, char(code)) +
                                   QByteArray(reinterpret_cast<const char*>(r), n));
                });
        }
    }

    bool start(const QStringList& slaveOptions = {}) {
        if (!pty.ok()) {
            error = pty.errorString();
            return false;
        }
        QStringList options = slaveOptions;
        if (chunk > 0)
            options << QStringLiteral("--split") << QString::number(chunk);
        if (!slave.start(pty.pathB(), options)) {
            error = QStringLiteral("the slave did not report ready");
            return false;
        }
        return true;
    }

    // Reads `count` registers from `start` with a polling read; empty when no reply came.
    QList<quint16> readRegisters(quint16 start, quint16 count) {
        const int before = int(handled.size());
        RequestRecord r;
        r.SlaveAddress = kSlave;
        r.StartRegister = start;
        r.RegisterCount = count;
        r.ReplyLength = quint16(5 + 2 * count);
        r.Code = 3;  // only tags the reply; the registers are the ones asked for
        if (!engine.SendInquiry(r) ||
            !QTest::qWaitFor([&] { return handled.size() > before; }, kReplyWaitMs))
            return {};
        const QByteArray reply = handled.last().mid(1);
        QList<quint16> words;
        for (int k = 0; k < count && 4 + 2 * k < reply.size(); ++k)
            words << quint16(quint8(reply.at(3 + 2 * k)) << 8 | quint8(reply.at(4 + 2 * k)));
        return words;
    }
};

void addChunkRows(int pieceBytes) {
    QTest::addColumn<int>("chunk");
    QTest::newRow("whole") << 0;
    QTest::addRow("pieces of %d", pieceBytes) << pieceBytes;
}

enum Operation { Write06, Write16, WriteBlock };

}  // namespace

class WireEngineTest : public QObject {
    Q_OBJECT
  private slots:
    void readsMeasuredBlock_data() { addChunkRows(8); }
    void readsMeasuredBlock();
    void writesReachTheSlave_data();
    void writesReachTheSlave();
    // Pieces of 2: the reply is known as an exception only once more than 4 bytes are there.
    void exceptionReplyIsShownNotHandled_data() { addChunkRows(2); }
    void exceptionReplyIsShownNotHandled();
    void silentSlaveTimesOut_data() { addChunkRows(8); }
    void silentSlaveTimesOut();
};

void WireEngineTest::readsMeasuredBlock() {
    QFETCH(int, chunk);
    Wire w(chunk);
    QVERIFY2(w.start(), qPrintable(w.error));

    RequestRecord r = PreparedRecord(RequestCode(0));
    r.SlaveAddress = kSlave;
    QVERIFY(w.engine.SendInquiry(r));
    QTRY_COMPARE_WITH_TIMEOUT(w.handled.size(), 1, kReplyWaitMs);

    const QByteArray reply = w.handled.first().mid(1);
    QCOMPARE(int(quint8(w.handled.first().at(0))), 0);
    QCOMPARE(reply.size(), 121);
    QCOMPARE(reply.left(3).toHex(' '), QByteArray("01 03 74"));
    for (int i = 0; i < 58; ++i) {
        const quint16 word =
            quint16(quint8(reply.at(3 + 2 * i)) << 8 | quint8(reply.at(4 + 2 * i)));
        QCOMPARE(word, initialRegister(i));
    }
    QCOMPARE(w.hooks.statuses, QStringList{QString::fromUtf8(linktext::kSuccess)});
    QCOMPARE(w.hooks.replyTimes, 1);
    QVERIFY(!w.engine.awaitingReply());
    QVERIFY(!w.engine.timerWaitAnsw()->isEnabled());
    QCOMPARE(w.engine.statistics().total, 1u);
    QCOMPARE(w.engine.statistics().crcErrors, 0u);
    QVERIFY(w.hooks.errors.isEmpty());
}

void WireEngineTest::writesReachTheSlave_data() {
    QTest::addColumn<int>("chunk");
    QTest::addColumn<int>("operation");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("start");
    QTest::addColumn<QList<quint16>>("words");
    QTest::addColumn<QByteArray>("reply");
    // Pieces of 3 cut the 8-byte replies as well as the requests.
    for (int chunk : {0, 3}) {
        const char* how = chunk ? "pieces of 3" : "whole";
        QTest::addRow("06 to 0x0204, %s", how)
            << chunk << int(Write06) << 13 << 0x0204 << QList<quint16>{5}
            << QByteArray::fromHex("01 06 02 04 00 05 09 B0");
        QTest::addRow("16, 1.0 to 0x0800, %s", how)
            << chunk << int(Write16) << 16 << 0x0800 << QList<quint16>{0x3F80, 0x0000}
            << QByteArray::fromHex("01 10 08 00 00 02 43 A8");
        QTest::addRow("16, 3 words to 0x0400, %s", how)
            << chunk << int(WriteBlock) << 12 << 0x0400 << QList<quint16>{7, 0x0102, 0xFFFF}
            << QByteArray::fromHex("01 10 04 00 00 03 81 38");
    }
}

void WireEngineTest::writesReachTheSlave() {
    QFETCH(int, chunk);
    QFETCH(int, operation);
    QFETCH(int, code);
    QFETCH(int, start);
    QFETCH(QList<quint16>, words);
    QFETCH(QByteArray, reply);
    Wire w(chunk);
    QVERIFY2(w.start(), qPrintable(w.error));

    RequestRecord r = PreparedRecord(RequestCode(code));
    r.SlaveAddress = kSlave;
    r.StartRegister = quint16(start);
    r.RegisterCount = quint16(words.size());
    r.WordValue = words.first();
    r.LongValue = words.size() == 2 ? quint32(words[0]) << 16 | words[1] : 0;
    r.WordValues = words.constData();
    switch (operation) {
        case Write06:
            QVERIFY(w.engine.SendInquiryWrite06(r));
            break;
        case Write16:
            QVERIFY(w.engine.SendInquiryWrite16(r));
            break;
        case WriteBlock:
            QVERIFY(w.engine.SendInquiryWriteBlock(r));
            break;
    }
    QTRY_COMPARE_WITH_TIMEOUT(w.handled.size(), 1, kReplyWaitMs);
    QCOMPARE(w.handled.first().toHex(' '), (QByteArray(1, char(code)) + reply).toHex(' '));
    QCOMPARE(w.hooks.statuses, QStringList{QString::fromUtf8(linktext::kSuccess)});

    QCOMPARE(w.readRegisters(quint16(start), quint16(words.size())), words);
    QCOMPARE(w.engine.statistics().crcErrors, 0u);
}

void WireEngineTest::exceptionReplyIsShownNotHandled() {
    QFETCH(int, chunk);
    Wire w(chunk);
    // Inside the main parameter block that code 2 reads.
    QVERIFY2(w.start({QStringLiteral("--exception-at"), QStringLiteral("0x0203")}),
             qPrintable(w.error));

    RequestRecord r = PreparedRecord(RequestCode(2));
    r.SlaveAddress = kSlave;
    QVERIFY(w.engine.SendInquiry(r));
    QTRY_VERIFY_WITH_TIMEOUT(!w.hooks.messages.isEmpty(), kReplyWaitMs);
    QCOMPARE(w.hooks.messages,
             QStringList{QStringLiteral("Адрес данных указанный в запросе не доступен")});
    QVERIFY(w.handled.isEmpty());
    QVERIFY(!w.engine.awaitingReply());
    QCOMPARE(w.engine.statistics().crcErrors, 0u);

    // Neither answered nor unanswered: no success, no reply time, and no time-out later.
    QTest::qWait(LinkEngine::kReplyTimeoutMs + 300);
    QCOMPARE(w.hooks.timedOut, 0);
    QCOMPARE(w.engine.statistics().unanswered, 0u);
    QVERIFY(w.hooks.statuses.isEmpty());
    QCOMPARE(w.hooks.replyTimes, 0);
}

void WireEngineTest::silentSlaveTimesOut() {
    QFETCH(int, chunk);
    Wire w(chunk);
    QVERIFY2(w.start({QStringLiteral("--silent")}), qPrintable(w.error));

    QElapsedTimer sent;
    sent.start();
    RequestRecord r = PreparedRecord(RequestCode(0));
    r.SlaveAddress = kSlave;
    QVERIFY(w.engine.SendInquiry(r));
    QTRY_COMPARE_WITH_TIMEOUT(w.hooks.timedOut, 1, LinkEngine::kReplyTimeoutMs + 3000);
    // Only a lower bound: a loaded machine may fire late, never early.
    QVERIFY2(sent.elapsed() >= LinkEngine::kReplyTimeoutMs - 50,
             qPrintable(QStringLiteral("fired after %1 ms").arg(sent.elapsed())));
    QCOMPARE(w.engine.statistics().unanswered, 1u);
    QCOMPARE(w.hooks.statuses, QStringList{QString::fromUtf8(linktext::kNoReply)});
    QCOMPARE(w.hooks.cleared, 1);
    QVERIFY(w.handled.isEmpty());
    QVERIFY(!w.engine.awaitingReply());
}

QTEST_GUILESS_MAIN(WireEngineTest)
#include "wire_engine.moc"
