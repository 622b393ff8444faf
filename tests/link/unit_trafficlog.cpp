// The traffic monitor's log: frame decoding, the bounded and batched table, and the lines an
// engine on the fake port produces for each kind of exchange.
#include <QAbstractItemModelTester>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "../measure/channelpacket.h"
#include "app/trafficmonitorwindow.h"
#include "fakeport.h"
#include "link/engine.h"
#include "link/exceptiontexts.h"
#include "link/frames.h"
#include "link/trafficlog.h"
#include "manualclock.h"
#include "replies.h"

Q_DECLARE_METATYPE(FrameDirection)

namespace {

QByteArray hexFrame(const char* hex) {
    return replies::withCrc(QByteArray::fromHex(hex));
}

QByteArray flipLast(QByteArray f) {
    f[f.size() - 1] = char(f.at(f.size() - 1) ^ 0x01);
    return f;
}

QString crcBytes(const QByteArray& f) {
    return QString::fromLatin1(f.right(2).toHex(' ').toUpper());
}

// The kinds, directions and texts of the shown rows.
QStringList rowsOf(const TrafficLogModel& m) {
    QStringList out;
    for (int r = 0; r < m.rowCount(); ++r) {
        const TrafficLine& l = m.line(r);
        out << QStringLiteral("%1 %2 %3 | %4")
                   .arg(int(l.kind))
                   .arg(TrafficLogModel::ColumnText(l, TrafficLogModel::DirectionColumn),
                        TrafficLogModel::ColumnText(l, TrafficLogModel::ReplyColumn),
                        TrafficLogModel::ColumnText(l, TrafficLogModel::DecodedColumn));
    }
    return out;
}

QString row(TrafficKind kind, const char* dir, const QString& ms, const QString& text) {
    return QStringLiteral("%1 %2 %3 | %4").arg(int(kind)).arg(QString::fromUtf8(dir), ms, text);
}

struct EngineBench {
    FakePort port;
    ManualClock clock;
    LinkEngine engine{&port, &clock, nullptr};
    TrafficLogModel model{&clock};
    RequestRecord read = PreparedRecord(RequestCode::MeasuredBlock);
    QByteArray block = replies::measuredBlock(QList<float>(29, 230.0f));
    EngineBench() {
        read.SlaveAddress = 1;
        model.attach(&engine);
    }
};

}  // namespace

class TrafficLogTest : public QObject {
    Q_OBJECT
  private slots:
    void decodes_data() {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<FrameDirection>("direction");
        QTest::addColumn<QString>("text");
        const auto rq = FrameDirection::Request;
        const auto rp = FrameDirection::Reply;

        QTest::newRow("read request")
            << hexFrame("010300000 03A") << rq
            << QStringLiteral("адр. 1, ф. 03 чтение, рег. 0x0000 (0), кол. 58, КС верна");
        QTest::newRow("read input registers request")
            << hexFrame("1104 0100 0002") << rq
            << QStringLiteral("адр. 17, ф. 04 чтение, рег. 0x0100 (256), кол. 2, КС верна");
        QTest::newRow("read reply, five words, four shown")
            << replies::read({0x1234, 0x5678, 0x9ABC, 0xDEF0, 0x0001}) << rp
            << QStringLiteral("адр. 1, ф. 03 чтение, байт 10: 1234 5678 9ABC DEF0 …, КС верна");
        QTest::newRow("read reply shorter than its byte count")
            << hexFrame("01030A1234") << rp
            << QStringLiteral("адр. 1, ф. 03 чтение, байт 10 (в кадре 2): 1234, КС верна");
        QTest::newRow("write 06 echo")
            << hexFrame("0106 0010 0005") << rp
            << QStringLiteral("адр. 1, ф. 06 запись, рег. 0x0010 (16) = 0x0005 (5), КС верна");
        {
            quint8 f[32];
            const quint16 words[] = {0, 1};
            const int n = frames::BuildWriteBlock(f, 1, 0x100, words, 2);
            QTest::newRow("write 16 request")
                << QByteArray(reinterpret_cast<const char*>(f), n) << rq
                << QStringLiteral(
                       "адр. 1, ф. 10 запись блока, рег. 0x0100 (256), кол. 2, байт 4: 0000 0001, "
                       "КС верна");
        }
        QTest::newRow("write 16 reply")
            << hexFrame("0110 0100 0002") << rp
            << QStringLiteral("адр. 1, ф. 10 запись блока, рег. 0x0100 (256), кол. 2, КС верна");
        QTest::newRow("exception reply")
            << replies::exception(3, 2) << rp
            << QStringLiteral("адр. 1, ф. 83 исключение, код 02: %1, КС верна")
                   .arg(ExceptionReplyText(2).trimmed());
        QTest::newRow("exception code without text")
            << replies::exception(6, 0x20) << rp
            << QStringLiteral("адр. 1, ф. 86 исключение, код 20, КС верна");
        {
            const QByteArray good = hexFrame("0106 0010 0005");
            const QByteArray bad = flipLast(good);
            QTest::newRow("bad checksum")
                << bad << rp
                << QStringLiteral(
                       "адр. 1, ф. 06 запись, рег. 0x0010 (16) = 0x0005 (5), КС неверна (в кадре "
                       "%1, верная %2)")
                       .arg(crcBytes(bad), crcBytes(good));
        }
        QTest::newRow("good frame followed by zero bytes")
            << hexFrame("010300000 03A") + QByteArray(2, '\0') << rq
            << QStringLiteral(
                   "адр. 1, ф. 03 чтение, рег. 0x0000 (0), кол. 58, лишних байт: 2, КС верна");
        QTest::newRow("unknown function")
            << hexFrame("012B00") << rp << QStringLiteral("адр. 1, ф. 2B неизвестная, КС верна");
        QTest::newRow("exception without its code")
            << hexFrame("0183") << rp
            << QStringLiteral("адр. 1, ф. 83 исключение, неполный кадр, КС верна");
        QTest::newRow("read request cut short")
            << hexFrame("010300") << rq
            << QStringLiteral("адр. 1, ф. 03 чтение, неполный кадр, КС верна");
        QTest::newRow("empty") << QByteArray() << rp << QStringLiteral("пустой кадр");
        QTest::newRow("three bytes")
            << QByteArray::fromHex("010300") << rp << QStringLiteral("короткий кадр: 3 байт");
    }
    void decodes() {
        QFETCH(QByteArray, frame);
        QFETCH(FrameDirection, direction);
        QFETCH(QString, text);
        QCOMPARE(DescribeFrame(frame, direction), text);
    }

    // Whatever the line carries, every length up to the reply buffer's, is described.
    void describesGarbageOfAnyLength() {
        QRandomGenerator random(7);
        for (int n = 0; n <= LinkEngine::kReplyBufferSize; ++n) {
            QByteArray bytes(n, '\0');
            for (char& c : bytes)
                c = char(random.bounded(256));
            // The function byte takes each interesting value in turn.
            if (n >= 2)
                bytes[1] = char(QList<int>{3, 4, 6, 16, 0x83, 0x90, 0x2B}[n % 7]);
            for (auto d : {FrameDirection::Request, FrameDirection::Reply})
                QVERIFY2(!DescribeFrame(bytes, d).isEmpty(), qPrintable(QString::number(n)));
        }
    }

    void channelWindows() {
        using infochannel::ScanResult;
        channel::Packet p;
        p.status = -3;
        QCOMPARE(ChannelWindowDescription(ScanResult::Packet, p.bytes()),
                 QStringLiteral("пакет, состояние: ошибка: -3, U пред. %1, I пред. %2, версия 21")
                     .arg(infochannel::LimitValueText(100.0f), infochannel::LimitValueText(5.0f)));
        QCOMPARE(ChannelWindowDescription(ScanResult::ChecksumError, {}),
                 QStringLiteral("пакет с неверной КС"));
        QCOMPARE(ChannelWindowDescription(ScanResult::NoPacket, {}), QStringLiteral("пакета нет"));
        QVERIFY(!ChannelWindowDescription(ScanResult::Packet, QByteArray(10, 'x')).isEmpty());

        ManualClock clock;
        TrafficLogModel m(&clock);
        m.addChannelWindow(true, p.bytes(), QStringLiteral("пакет"));
        m.addChannelWindow(false, {}, QStringLiteral("пакета нет"));
        m.flush();
        QCOMPARE(rowsOf(m),
                 (QStringList{row(TrafficKind::ChannelPacket, "←", {}, "канал: пакет"),
                              row(TrafficKind::ChannelError, "←", {}, "канал: пакета нет")}));
        QCOMPARE(m.line(0).frame, p.bytes());
    }

    void keepsOnlyTheLastLines() {
        ManualClock clock;
        TrafficLogModel m(&clock);
        QAbstractItemModelTester tester(&m, QAbstractItemModelTester::FailureReportingMode::QtTest);
        m.setBound(100);
        const QByteArray f = hexFrame("010300000 03A");
        for (int i = 0; i < 1000; ++i)
            m.addRequest(f);
        m.flush();
        QCOMPARE(m.rowCount(), 100);
        QCOMPARE(m.index(0, 0).data(TrafficLogModel::NumberRole).toULongLong(), 901u);
        QCOMPARE(m.index(99, 0).data(TrafficLogModel::NumberRole).toULongLong(), 1000u);

        // Batches across the bound drop exactly the oldest rows, announced as removed.
        QSignalSpy removed(&m, &QAbstractItemModel::rowsRemoved);
        for (int batch = 0; batch < 5; ++batch) {
            for (int i = 0; i < 30; ++i)
                m.addRequest(f);
            m.flush();
        }
        QCOMPARE(removed.size(), 5);
        QCOMPARE(removed.last().at(2).toInt(), 29);
        QCOMPARE(m.rowCount(), 100);
        QCOMPARE(m.index(0, 0).data(TrafficLogModel::NumberRole).toULongLong(), 1051u);

        // A smaller bound applies at once.
        m.setBound(10);
        QCOMPARE(m.rowCount(), 10);
        QCOMPARE(m.index(0, 0).data(TrafficLogModel::NumberRole).toULongLong(), 1141u);
    }

    void showsEachBatchInOneInsertion() {
        ManualClock clock;
        TrafficLogModel m(&clock);
        QSignalSpy inserted(&m, &QAbstractItemModel::rowsInserted);
        for (int i = 0; i < 50; ++i)
            m.addTimeout();
        QCOMPARE(m.rowCount(), 0);
        QCOMPARE(m.pendingCount(), 50);
        m.flush();
        QCOMPARE(inserted.size(), 1);
        QCOMPARE(inserted[0].at(1).toInt(), 0);
        QCOMPARE(inserted[0].at(2).toInt(), 49);
        m.flush();
        QCOMPARE(inserted.size(), 1);
    }

    void pauseHoldsLinesUntilResumed() {
        ManualClock clock;
        TrafficLogModel m(&clock);
        m.setBound(10);
        m.addTimeout();
        m.flush();
        m.setPaused(true);
        for (int i = 0; i < 25; ++i)
            m.addTimeout();
        m.flush();
        QCOMPARE(m.rowCount(), 1);
        QCOMPARE(m.pendingCount(), 10);
        QCOMPARE(m.droppedWhilePaused(), 15u);
        m.setPaused(false);
        QCOMPARE(m.rowCount(), 10);
        QCOMPARE(m.index(0, 0).data(TrafficLogModel::NumberRole).toULongLong(), 17u);

        m.clear();
        QCOMPARE(m.rowCount(), 0);
        QCOMPARE(m.pendingCount(), 0);
    }

    void errorsOnlyFilter() {
        ManualClock clock;
        TrafficLogModel m(&clock);
        TrafficErrorFilter f;
        f.setSourceModel(&m);
        m.addRequest(hexFrame("010300000 03A"));
        m.addReply(replies::read({1}), TrafficKind::Reply);
        m.addReply(replies::exception(3, 2), TrafficKind::Exception);
        m.addReply(flipLast(replies::read({1})), TrafficKind::BadChecksum);
        m.addTimeout();
        m.addSendFailed(hexFrame("010300000 03A"));
        m.addChannelWindow(true, {}, QStringLiteral("пакет"));
        m.addChannelWindow(false, {}, QStringLiteral("пакета нет"));
        m.flush();
        QCOMPARE(f.rowCount(), 8);
        f.setErrorsOnly(true);
        QList<int> kinds;
        for (int r = 0; r < f.rowCount(); ++r)
            kinds << f.index(r, 0).data(TrafficLogModel::KindRole).toInt();
        QCOMPARE(kinds, (QList<int>{int(TrafficKind::Exception), int(TrafficKind::BadChecksum),
                                    int(TrafficKind::Timeout), int(TrafficKind::SendFailed),
                                    int(TrafficKind::ChannelError)}));
        // New lines are filtered as they come.
        m.addReply(replies::read({1}), TrafficKind::Reply);
        m.addTimeout();
        m.flush();
        QCOMPARE(f.rowCount(), 6);
    }

    void copiesAndSavesRows() {
        ManualClock clock(0);
        TrafficLogModel m(&clock);
        const QByteArray request = hexFrame("0106 0010 0005");
        m.addRequest(request);
        clock.advance(42);
        m.addReply(request, TrafficKind::Reply);
        m.flush();
        const QString time0 = TrafficLogModel::TimeText(0), time42 = TrafficLogModel::TimeText(42);
        const QString decoded = DescribeFrame(request, FrameDirection::Request);
        const QString hex = FrameHex(request);
        QCOMPARE(m.rowsText({1}),
                 QStringLiteral("%1\t←\t%2\t%3\t42\n")
                     .arg(time42, hex, DescribeFrame(request, FrameDirection::Reply)));
        QCOMPARE(m.rowsText({0, 7}), QStringLiteral("%1\t→\t%2\t%3\t\n").arg(time0, hex, decoded));

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("log.txt"));
        QString error;
        QVERIFY2(m.saveToFile(path, &error), qPrintable(error));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
        QCOMPARE(lines.size(), 4);  // header, two rows, the final newline
        QCOMPARE(lines[0], QStringLiteral("Время\tНапр.\tКадр\tРасшифровка\tОтвет, мс"));
        QCOMPARE(lines[1] + u'\n', m.rowsText({0}));

        const QString badPath = dir.filePath(QStringLiteral("missing/log.txt"));
        QVERIFY(!m.saveToFile(badPath, &error));
        QVERIFY2(error.startsWith(
                     QStringLiteral("Журнал обмена не сохранён в файл «%1»: ").arg(badPath)),
                 qPrintable(error));
    }

    // The engine's signals become lines with the link's own verdict and the reply time.
    void followsAnEngine() {
        EngineBench b;
        QVERIFY(b.engine.SendInquiry(b.read));
        const QByteArray request = b.port.lastWritten();
        const QString req = DescribeFrame(request, FrameDirection::Request);
        b.clock.advance(25);
        b.port.deliver(b.block);  // a good exchange

        QVERIFY(b.engine.SendInquiry(b.read));
        b.clock.advance(30);
        const QByteArray bad = flipLast(b.block);
        b.port.deliver(bad);  // checksum error, the request still awaited ...
        b.clock.advance(LinkEngine::kReplyTimeoutMs - 30);  // ... until its time-out

        QVERIFY(b.engine.SendInquiry(b.read));
        b.clock.advance(7);
        b.port.deliver(replies::exception(3, 2));

        b.port.failNext = true;
        QVERIFY(!b.engine.SendInquiry(b.read));
        b.model.flush();

        const QString blockText = DescribeFrame(b.block, FrameDirection::Reply);
        QCOMPARE(rowsOf(b.model),
                 (QStringList{
                     row(TrafficKind::Request, "→", {}, req),
                     row(TrafficKind::Reply, "←", QStringLiteral("25"), blockText),
                     row(TrafficKind::Request, "→", {}, req),
                     row(TrafficKind::BadChecksum, "←", QStringLiteral("30"),
                         QStringLiteral("не принят: ") + DescribeFrame(bad, FrameDirection::Reply)),
                     row(TrafficKind::Timeout, "←", QString::number(LinkEngine::kReplyTimeoutMs),
                         QStringLiteral("нет ответа на: ") +
                             req.chopped(QStringLiteral(", КС верна").size())),
                     row(TrafficKind::Request, "→", {}, req),
                     row(TrafficKind::Exception, "←", QStringLiteral("7"),
                         DescribeFrame(replies::exception(3, 2), FrameDirection::Reply)),
                     row(TrafficKind::SendFailed, "→", {}, QStringLiteral("не отправлен: ") + req),
                 }));
        QCOMPARE(b.model.line(1).frame, b.block);
        QCOMPARE(b.model.line(3).frame, bad);
        QVERIFY(b.model.line(4).frame.isEmpty());
        QCOMPARE(b.model.line(7).frame, request);
        QCOMPARE(b.model.line(1).timeMs - b.model.line(0).timeMs, 25);
    }

    // A reply of the right checksum that the link turns down for its length is told apart
    // from a checksum error.
    void rejectedForLength() {
        EngineBench b;
        QVERIFY(b.engine.SendInquiry(b.read));
        const QByteArray wrongCount = replies::read(QList<quint16>(57, 0)) + QByteArray(2, '\0');
        b.port.deliver(wrongCount);
        b.model.flush();
        QCOMPARE(b.model.rowCount(), 2);
        QCOMPARE(b.model.line(1).kind, TrafficKind::BadChecksum);
        QVERIFY2(TrafficLogModel::ColumnText(b.model.line(1), TrafficLogModel::DecodedColumn)
                     .startsWith(QStringLiteral("не принят (длина не та, что ждали): ")),
                 qPrintable(
                     TrafficLogModel::ColumnText(b.model.line(1), TrafficLogModel::DecodedColumn)));
    }
};

QTEST_GUILESS_MAIN(TrafficLogTest)
#include "unit_trafficlog.moc"
