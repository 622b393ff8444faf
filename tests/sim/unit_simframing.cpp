// The simulator's line side without a line: cutting the incoming stream into frames (pieces,
// garbage, silences), who gets an answer, the fault injector, the paced transmitter and the
// command line.
#include <termios.h>
#include <QtTest>

#include "replies.h"

#include "link/crc.h"
#include "sim/faults.h"
#include "sim/framer.h"
#include "sim/line.h"
#include "sim/model.h"
#include "sim/options.h"
#include "sim/responder.h"
#include "sim/transmitter.h"

using namespace sim;

namespace {

constexpr qint64 kSilenceUs = 20000;

const QByteArray kRead = replies::withCrc(QByteArray::fromHex("01030000003A"));
const QByteArray kWrite = replies::withCrc(QByteArray::fromHex("0106020600 02"));
const QByteArray kBlock = replies::withCrc(QByteArray::fromHex("011004000003060019001B0015"));
const QByteArray kRemoteRead = replies::withCrc(QByteArray::fromHex("0300F0"));
const QByteArray kUnknownFunction = replies::withCrc(QByteArray::fromHex("01110000"));

// One burst of bytes on the line, `atUs` after the start.
struct Burst {
    qint64 atUs;
    QByteArray bytes;
};

// What the framer makes of the bursts: frames as hex, garbage as "?" followed by its hex,
// looked at right after each burst and once more after a long silence.
QStringList framed(const QList<Burst>& bursts) {
    RequestFramer framer(kSilenceUs);
    QStringList out;
    auto collect = [&](qint64 now) {
        for (const RxItem& item : framer.take(now))
            out << (item.kind == RxItem::Garbage ? QStringLiteral("?") : QString()) +
                       QString::fromLatin1(item.bytes.toHex());
    };
    qint64 last = 0;
    for (const Burst& b : bursts) {
        collect(b.atUs);
        framer.feed(b.bytes.constData(), int(b.bytes.size()), b.atUs);
        collect(b.atUs);
        last = b.atUs;
    }
    out << QStringLiteral("|");  // what follows needed the silence
    collect(last + kSilenceUs);
    return out;
}

QString h(const QByteArray& b) {
    return QString::fromLatin1(b.toHex());
}

}  // namespace

class SimFramingTest : public QObject {
    Q_OBJECT

  private slots:
    void framing_data();
    void framing();
    void expectedLength_data();
    void expectedLength();
    void onlyItsOwnAddressIsAnswered();
    void faultsAtFullRate_data();
    void faultsAtFullRate();
    void faultsRepeatFromTheSeed();
    void transmitterPacesBytesAndPieces();
    void transmitterRunsActionsAfterTheBytes();
    void masterLineSettings_data();
    void masterLineSettings();
    void badOptions_data();
    void badOptions();
    void goodOptions();
};

void SimFramingTest::framing_data() {
    QTest::addColumn<QList<Burst>>("bursts");
    QTest::addColumn<QStringList>("expected");
    const QString bar = QStringLiteral("|");

    QTest::newRow("whole request") << QList<Burst>{{0, kRead}} << QStringList{h(kRead), bar};
    QTest::newRow("in three pieces")
        << QList<Burst>{{0, kRead.left(3)}, {1000, kRead.mid(3, 2)}, {2000, kRead.mid(5)}}
        << QStringList{h(kRead), bar};
    QTest::newRow("two requests in one burst")
        << QList<Burst>{{0, kRead + kBlock}} << QStringList{h(kRead), h(kBlock), bar};
    QTest::newRow("noise that starts no frame, then a request")
        << QList<Burst>{{0, QByteArray::fromHex("FF00FE") + kWrite}}
        << QStringList{"?ff00fe", h(kWrite), bar};
    // 01 10 ... FF announces a long block: only the silence shows it was noise.
    QTest::newRow("noise that looks like a long block, then a request")
        << QList<Burst>{{0, QByteArray::fromHex("011000000001FF") + kRead}}
        << QStringList{bar, "?011000000001ff", h(kRead)};
    // The broken frame's tail 00 3A reads as an unknown function, which only a silence ends;
    // after it the good request is found behind the rest of the broken one.
    QTest::newRow("request with a broken checksum, then a good one")
        << QList<Burst>{{0, kRead.left(7) + char(0x00)}, {3000, kWrite}}
        << QStringList{"?01030000", bar, "?003ac500", h(kWrite)};
    QTest::newRow("request cut short by a silence")
        << QList<Burst>{{0, kRead.left(5)}, {kSilenceUs + 1000, kWrite}}
        << QStringList{"?0103000000", h(kWrite), bar};
    QTest::newRow("remote indicator read")
        << QList<Burst>{{0, kRemoteRead}} << QStringList{h(kRemoteRead), bar};
    QTest::newRow("unknown function needs the silence")
        << QList<Burst>{{0, kUnknownFunction}} << QStringList{bar, h(kUnknownFunction)};
}

void SimFramingTest::framing() {
    QFETCH(QList<Burst>, bursts);
    QFETCH(QStringList, expected);
    const QStringList got = framed(bursts);
    // Garbage is reported in runs; only the order of frames and skipped bytes matters.
    QStringList joined;
    for (const QString& s : got) {
        if (!joined.isEmpty() && s.startsWith(QLatin1Char('?')) &&
            joined.last().startsWith(QLatin1Char('?')))
            joined.last() += s.mid(1);
        else
            joined << s;
    }
    QCOMPARE(joined, expected);
}

void SimFramingTest::expectedLength_data() {
    QTest::addColumn<QByteArray>("start");
    QTest::addColumn<int>("length");
    QTest::newRow("one byte") << QByteArray::fromHex("01") << 0;
    QTest::newRow("read") << QByteArray::fromHex("0103") << 8;
    QTest::newRow("block before its byte count") << QByteArray::fromHex("011004000003") << 0;
    QTest::newRow("block of 3 words") << QByteArray::fromHex("01100400000306") << 15;
    QTest::newRow("remote write") << QByteArray::fromHex("0300E0") << 65;
    QTest::newRow("remote, unknown kind") << QByteArray::fromHex("030011") << -2;
    QTest::newRow("address 248") << QByteArray::fromHex("F803") << -2;
    QTest::newRow("an exception reply") << QByteArray::fromHex("0183") << -2;
    QTest::newRow("function 0x2B") << QByteArray::fromHex("012B") << -1;
}

void SimFramingTest::expectedLength() {
    QFETCH(QByteArray, start);
    QFETCH(int, length);
    QCOMPARE(ExpectedLength(start), length);
}

void SimFramingTest::onlyItsOwnAddressIsAnswered() {
    DeviceSetup setup;
    setup.address = 7;
    DeviceModel d(setup, 0);
    QCOMPARE(Respond(d, kRead).kind, Answer::Silent);
    const QByteArray at7 = replies::withCrc(QByteArray::fromHex("070302000001"));
    QCOMPARE(Respond(d, at7).bytes, replies::withCrc(QByteArray::fromHex("0703020015")));
    // A broadcast write is carried out and never answered.
    const Answer broadcast = Respond(d, replies::withCrc(QByteArray::fromHex("000602060002")));
    QCOMPARE(broadcast.kind, Answer::Silent);
    quint16 brightness = 0;
    QCOMPARE(d.read(515, 1, &brightness), kNoException);
    QCOMPARE(brightness, quint16(2));
    // Too short to be anything: no answer, no crash.
    QCOMPARE(Respond(d, QByteArray::fromHex("07")).kind, Answer::Silent);
    QCOMPARE(Respond(d, replies::withCrc(QByteArray::fromHex("0703"))).bytes.size(), 5);
}

void SimFramingTest::faultsAtFullRate_data() {
    QTest::addColumn<QString>("fault");
    QTest::newRow("drop") << "drop";
    QTest::newRow("corrupt") << "corrupt";
    QTest::newRow("exception") << "exception";
    QTest::newRow("garbage") << "garbage";
    QTest::newRow("fragment") << "fragment";
}

void SimFramingTest::faultsAtFullRate() {
    QFETCH(QString, fault);
    FaultRates rates;
    rates.delayMs = 30;
    rates.fragmentGapMs = 7;
    rates.exceptionCode = 4;
    double* const rate = fault == "drop"        ? &rates.drop
                         : fault == "corrupt"   ? &rates.corrupt
                         : fault == "exception" ? &rates.exception
                         : fault == "garbage"   ? &rates.garbage
                                                : &rates.fragment;
    *rate = 1;
    FaultInjector injector(rates, 99);
    const QByteArray reply = replies::withCrc(QByteArray::fromHex("0103020015"));
    for (int i = 0; i < 20; ++i) {
        const Delivery d = injector.apply(reply, kRead);
        QCOMPARE(d.delayUs, qint64(30000));
        QByteArray sent;
        for (const QByteArray& p : d.pieces)
            sent += p;
        if (fault == "drop") {
            QVERIFY(d.pieces.empty());
        } else if (fault == "corrupt") {
            QCOMPARE(sent.size(), reply.size());
            QVERIFY(!replies::checksumRight(sent));
        } else if (fault == "exception") {
            QCOMPARE(sent, ExceptionReply(kRead, 4));
        } else if (fault == "garbage") {
            QVERIFY(sent.size() > reply.size() && sent.size() <= reply.size() + 16);
            QVERIFY(sent.endsWith(reply));
        } else {
            QVERIFY(d.pieces.size() >= 2 && d.pieces.size() <= 4);
            QCOMPARE(sent, reply);
            QCOMPARE(d.gapUs, qint64(7000));
            for (const QByteArray& p : d.pieces)
                QVERIFY(!p.isEmpty());
        }
    }
    const FaultCounts& c = injector.counts();
    QCOMPARE(c.dropped + c.corrupted + c.exceptions + c.garbageBursts + c.fragmented, quint64(20));
    // No exception for a message that answers no Modbus request.
    if (fault == "exception")
        QCOMPARE(injector.apply(reply, {}).pieces.front(), reply);
}

void SimFramingTest::faultsRepeatFromTheSeed() {
    FaultRates rates;
    rates.drop = rates.corrupt = rates.garbage = rates.fragment = 0.3;
    rates.jitterMs = 50;
    auto run = [&](quint64 seed) {
        FaultInjector injector(rates, seed);
        QList<QByteArray> out;
        for (int i = 0; i < 50; ++i) {
            const Delivery d = injector.apply(kRead, kRead);
            out << QByteArray::number(d.delayUs) + ':' +
                       QByteArray::number(qsizetype(d.pieces.size()));
            for (const QByteArray& p : d.pieces)
                out << p;
        }
        return out;
    };
    QCOMPARE(run(7), run(7));
    QVERIFY(run(7) != run(8));
}

void SimFramingTest::transmitterPacesBytesAndPieces() {
    Transmitter tx;
    QByteArray line;
    QList<qint64> writes;
    qint64 now = 0;
    auto pump = [&](qint64 t) {
        now = t;
        tx.pump(t, [&](const QByteArray& b) {
            line += b;
            writes << now;
        });
    };
    const qint64 byteUs = ByteTimeUs(9600, false);
    QCOMPARE(byteUs, qint64(1042));
    QCOMPARE(ByteTimeUs(9600, true), qint64(1146));

    // A 10-byte reply after a 5 ms delay, then its second piece 3 ms after the first ended.
    tx.send(QByteArray(10, 'a'), 5000, 0, byteUs);
    tx.send(QByteArray(4, 'b'), 0, 3000, byteUs);
    pump(5000);
    QCOMPARE(line.size(), 0);
    QCOMPARE(tx.nextDueUs(), 5000 + byteUs);
    pump(5000 + 5 * byteUs);
    QCOMPARE(line, QByteArray(5, 'a'));
    pump(5000 + 10 * byteUs + 2999);
    QCOMPARE(line, QByteArray(10, 'a'));
    pump(5000 + 10 * byteUs + 3000 + 4 * byteUs);
    QCOMPARE(line, QByteArray(10, 'a') + QByteArray(4, 'b'));
    QVERIFY(tx.idle());
    QCOMPARE(tx.nextDueUs(), qint64(-1));

    // Unpaced: everything at once when due.
    tx.send("xyz", 100000, 0, 0);
    pump(99999);
    QCOMPARE(line.size(), 14);
    pump(100000);
    QVERIFY(line.endsWith("xyz"));
}

void SimFramingTest::transmitterRunsActionsAfterTheBytes() {
    Transmitter tx;
    QString order;
    tx.send("ab", 0, 0, 1000, [&] { order += 'S'; });
    tx.then([&] { order += 'A'; });
    const auto write = [&](const QByteArray& b) { order += QString::fromLatin1(b); };
    tx.pump(1000, write);
    QCOMPARE(order, QStringLiteral("Sa"));
    tx.pump(2000, write);
    QCOMPARE(order, QStringLiteral("SabA"));
}

void SimFramingTest::masterLineSettings_data() {
    QTest::addColumn<uint>("speed");
    QTest::addColumn<uint>("cflag");
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("parity");
    QTest::newRow("9600, none") << uint(B9600) << uint(CS8 | CREAD) << 9600 << int(kParityNone);
    QTest::newRow("19200, odd") << uint(B19200) << uint(CS8 | PARENB | PARODD) << 19200
                                << int(kParityOdd);
    // What a pseudo-terminal keeps of odd parity: PARENB is gone, PARODD stays.
    QTest::newRow("odd on a pty") << uint(B38400) << uint(CS8 | PARODD) << 38400 << int(kParityOdd);
    QTest::newRow("even") << uint(B1200) << uint(CS8 | PARENB) << 1200 << int(kParityEven);
    QTest::newRow("a speed the device lacks")
        << uint(B115200) << uint(CS8) << 115200 << int(kParityNone);
    QTest::newRow("no speed") << uint(B0) << uint(CS8) << 0 << int(kParityNone);
}

void SimFramingTest::masterLineSettings() {
    QFETCH(uint, speed);
    QFETCH(uint, cflag);
    QFETCH(int, baud);
    QFETCH(int, parity);
    const LineSettings s = DecodeLineSettings(speed, cflag);
    QCOMPARE(s.baud, baud);
    QCOMPARE(s.parity, parity);
}

void SimFramingTest::badOptions_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    auto row = [](const char* name, QStringList args, const char* message) {
        QTest::newRow(name) << args << QString::fromLatin1(message);
    };
    row("nothing to serve", {}, "either a link path");
    row("link and device", {"line", "--device", "/dev/ttyS0"}, "either a link path");
    row("two links", {"a", "b"}, "unexpected argument 'b'");
    row("unknown option", {"line", "--fast"}, "unknown option '--fast'");
    row("address 0", {"line", "--address", "0"}, "--address: '0'");
    row("address text", {"line", "--address=x"}, "--address: 'x'");
    row("address missing", {"line", "--address"}, "--address needs a value");
    row("odd speed", {"line", "--baud", "115200"}, "--baud: '115200' is not one of");
    row("parity mark", {"line", "--parity", "mark"}, "--parity: 'mark'");
    row("rate above 1", {"line", "--drop-rate", "1.5"}, "--drop-rate: '1.5' is not a probability");
    row("rate text", {"line", "--corrupt-rate", "often"}, "--corrupt-rate: 'often'");
    row("negative delay", {"line", "--delay", "-1"}, "--delay: '-1'");
    row("no-info name", {"line", "--no-info", "Ua,Zz"}, "'Zz' is neither");
    row("no-info index 29", {"line", "--no-info", "29"}, "'29' is neither");
    row("info rate", {"line", "--info-rate", "-2"}, "--info-rate: '-2'");
    row("seed", {"line", "--seed", "-3"}, "--seed: '-3'");
    row("flag with value", {"line", "--no-pace=1"}, "--no-pace takes no value");
    row("strict speed with value", {"line", "--strict-speed=yes"}, "--strict-speed takes no value");
    row("level above 200", {"line", "--level", "201"}, "--level: '201' is not a percentage");
    row("load text", {"line", "--load", "full"}, "--load: 'full'");
    row("dip above 100", {"line", "--dip", "120"}, "--dip: '120'");
    row("store delay", {"line", "--store-delay", "-5"}, "--store-delay: '-5'");
    row("info-below name", {"line", "--info-below", "Ua,Zz"}, "--info-below: 'Zz' is neither");
    row("info-above missing", {"line", "--info-above"}, "--info-above needs a value");
    row("drop after", {"line", "--drop-correction-after", "x"}, "--drop-correction-after: 'x'");
}

void SimFramingTest::badOptions() {
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    Options o;
    const QString error = ParseOptions(args, o);
    QVERIFY2(error.contains(message), qPrintable(error));
}

void SimFramingTest::goodOptions() {
    Options o;
    QCOMPARE(ParseOptions({"--link", "/tmp/x", "--address", "17", "--baud=19200", "--parity", "odd",
                           "--no-info", "3, Pa ,f", "--drop-rate", "0.25", "--seed", "12",
                           "--exception-code", "4", "--no-pace", "--info-rate", "2.5"},
                          o),
             QString());
    QCOMPARE(o.link, QStringLiteral("/tmp/x"));
    QCOMPARE(o.address, 17);
    QCOMPARE(o.baud, 19200);
    QCOMPARE(o.parity, int(kParityOdd));
    QCOMPARE(o.noInformation.to_ulong(), (1ul << 3) | (1ul << 9) | (1ul << 25));
    QCOMPARE(o.faults.drop, 0.25);
    QCOMPARE(o.faults.exceptionCode, quint8(4));
    QVERIFY(o.seedGiven && o.seed == 12);
    QVERIFY(!o.pace);
    QCOMPARE(o.infoRate, 2.5);
    QVERIFY(!o.strictSpeed && !o.infoPaused);
    QCOMPARE(o.levelPercent, 100.0);
    QCOMPARE(o.loadPercent, kDefaultLoadPercent);

    Options runtime;
    QCOMPARE(ParseOptions({"line", "--strict-speed", "--store-delay", "6000", "--level", "45.5",
                           "--load=100", "--dip", "30", "--info-paused", "--info-below", "Ia,25",
                           "--info-above", "21", "--drop-correction-after", "4"},
                          runtime),
             QString());
    QVERIFY(runtime.strictSpeed && runtime.infoPaused);
    QCOMPARE(runtime.storeDelayMs, 6000);
    QCOMPARE(runtime.levelPercent, 45.5);
    QCOMPARE(runtime.loadPercent, 100.0);
    QCOMPARE(runtime.dipPercent, 30.0);
    QCOMPARE(runtime.infoBelow.to_ulong(), (1ul << 3) | (1ul << 25));
    QCOMPARE(runtime.infoAbove.to_ulong(), 1ul << 21);
    QCOMPARE(runtime.dropCorrectionAfter, 4);

    Options help;
    QCOMPARE(ParseOptions({"--help"}, help), QString());
    QVERIFY(help.help);
    for (const char* option : {"--device",
                               "--address",
                               "--baud",
                               "--parity",
                               "--no-pace",
                               "--silence",
                               "--no-info",
                               "--info-rate",
                               "--info-status",
                               "--delay",
                               "--jitter",
                               "--drop-rate",
                               "--corrupt-rate",
                               "--exception-rate",
                               "--exception-code",
                               "--garbage-rate",
                               "--fragment-rate",
                               "--fragment-gap",
                               "--seed",
                               "--log",
                               "--link",
                               "--strict-speed",
                               "--store-delay",
                               "--level",
                               "--load",
                               "--dip",
                               "--info-paused",
                               "--info-below",
                               "--info-above",
                               "--drop-correction-after",
                               "SIGUSR1",
                               "SIGUSR2",
                               "SIGHUP"})
        QVERIFY2(HelpText().contains(QLatin1String(option)), option);
}

QTEST_GUILESS_MAIN(SimFramingTest)
#include "unit_simframing.moc"
