// The measurement log's file: the row format under a comma locale, the header written once,
// appending to what is there, and a write that fails stopping the log with a message.
#include <signal.h>
#include <sys/resource.h>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <array>
#include <cstring>
#include <limits>

#include "channelpacket.h"
#include "measure/measurementlog.h"

namespace {

constexpr quint32 kNoInfo = 0xFFFFFFFFu;

quint32 bits(float v) {
    quint32 b;
    std::memcpy(&b, &v, 4);
    return b;
}

// A measured block's data area: every value 1.0 except the given patterns.
QByteArray block(const QList<std::pair<int, quint32>>& patterns = {}) {
    std::array<quint32, kParameterCount> p;
    p.fill(bits(1.0f));
    for (const auto& [k, pattern] : patterns)
        p[size_t(k)] = pattern;
    QByteArray data;
    for (quint32 b : p) {
        data.append(char(b >> 24));
        data.append(char(b >> 16));
        data.append(char(b >> 8));
        data.append(char(b));
    }
    return data;
}

const QDateTime kTime(QDate(2026, 12, 11), QTime(8, 15, 30, 123), Qt::OffsetFromUTC, 3600);

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

QByteArray bom() {
    return QByteArray("\xEF\xBB\xBF");
}

}  // namespace

class MeasurementLogTest : public QObject {
    Q_OBJECT
  private slots:
    void init() {
        QLocale::setDefault(QLocale(QLocale::Russian));
        QCOMPARE(QLocale().decimalPoint(), QStringLiteral(","));
    }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void measuredCell_data();
    void measuredCell();
    void wholeRow();
    void timeText_data();
    void timeText();
    void header();
    void channelRow();

    void newFileGetsHeaderAndRows();
    void appendsWithoutSecondHeader();
    void endsACutOffLastRowFirst();
    void refusesAFileThatIsNoLog();
    void unwritablePathsAreRefused_data();
    void unwritablePathsAreRefused();
    void removedFileStopsTheLog();
    void fullFileStopsTheLogAndKeepsWholeRows();
};

void MeasurementLogTest::measuredCell_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<quint32>("pattern");
    QTest::addColumn<QByteArray>("cell");
    const float inf = std::numeric_limits<float>::infinity();
    QTest::newRow("voltage, 3 decimals") << 0 << bits(230.93f) << QByteArray("230.930");
    QTest::newRow("current, 4 decimals") << 3 << bits(2.6297f) << QByteArray("2.6297");
    QTest::newRow("no information") << 27 << kNoInfo << QByteArray();
    QTest::newRow("negative") << 21 << bits(-150.5f) << QByteArray("-150.500");
    QTest::newRow("small negative keeps its sign") << 0 << bits(-0.0004f) << QByteArray("-0.000");
    QTest::newRow("negative zero") << 0 << bits(-0.0f) << QByteArray("0.000");
    QTest::newRow("no grouping") << 23 << bits(1.5e9f) << QByteArray("1500000000.000");
    QTest::newRow("largest float") << 9 << bits(std::numeric_limits<float>::max())
                                   << QByteArray("340282346638528859811704183484516925440.000");
    QTest::newRow("NaN") << 25 << 0x7FC00000u << QByteArray("nan");
    QTest::newRow("minus infinity") << 25 << bits(-inf) << QByteArray("-inf");
}

void MeasurementLogTest::measuredCell() {
    QFETCH(int, index);
    QFETCH(quint32, pattern);
    QFETCH(QByteArray, cell);
    const QByteArray data = block({{index, pattern}});
    const QByteArray row =
        MeasurementLog::MeasuredRow(kTime, reinterpret_cast<const quint8*>(data.constData()));
    QVERIFY(row.endsWith('\n'));
    const QList<QByteArray> cells = row.chopped(1).split(';');
    QCOMPARE(cells.size(), 1 + kParameterCount);
    QCOMPARE(cells[1 + index], cell);
}

// Each value in its own column, in catalogue order, the 4-decimal currents included.
void MeasurementLogTest::wholeRow() {
    QList<std::pair<int, quint32>> patterns;
    for (int k = 0; k < kParameterCount; ++k)
        patterns.append({k, bits(float(k) + 0.25f)});
    patterns[5].second = kNoInfo;
    const QByteArray data = block(patterns);
    QCOMPARE(MeasurementLog::MeasuredRow(kTime, reinterpret_cast<const quint8*>(data.constData())),
             QByteArray("2026-12-11T08:15:30.123+01:00;0.250;1.250;2.250;3.2500;4.2500;;6.250;"
                        "7.250;8.250;9.250;10.250;11.250;12.250;13.250;14.250;15.250;16.250;"
                        "17.250;18.250;19.250;20.250;21.250;22.250;23.250;24.250;25.250;26.250;"
                        "27.2500;28.250\n"));
}

void MeasurementLogTest::timeText_data() {
    QTest::addColumn<QDateTime>("time");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("east of UTC") << kTime << QByteArray("2026-12-11T08:15:30.123+01:00");
    QTest::newRow("west of UTC") << QDateTime(QDate(2026, 6, 1), QTime(23, 59, 59, 7),
                                              Qt::OffsetFromUTC, -5 * 3600)
                                 << QByteArray("2026-06-01T23:59:59.007-05:00");
    QTest::newRow("UTC") << QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5), Qt::UTC)
                         << QByteArray("2026-01-02T03:04:05.000Z");
}

void MeasurementLogTest::timeText() {
    QFETCH(QDateTime, time);
    QFETCH(QByteArray, text);
    QCOMPARE(MeasurementLog::TimeText(time), text);
}

void MeasurementLogTest::header() {
    const QByteArray h = MeasurementLog::HeaderLine();
    QVERIFY(h.endsWith('\n'));
    const QList<QByteArray> cells = h.chopped(1).split(';');
    QCOMPARE(cells.size(), 1 + kParameterCount);
    QCOMPARE(QString::fromUtf8(cells[0]), QStringLiteral("Время"));
    QCOMPARE(QString::fromUtf8(cells[1]), QStringLiteral("Ua, B"));
    QCOMPARE(QString::fromUtf8(cells[10]), QStringLiteral("Pa, Вт"));
    QCOMPARE(QString::fromUtf8(cells[19]), QStringLiteral("KPa"));
    QCOMPARE(QString::fromUtf8(cells[26]), QStringLiteral("F, Гц"));
}

// Scaled as the channel page shows them; both kinds of marker leave the cell empty.
void MeasurementLogTest::channelRow() {
    using namespace infochannel;
    channel::Packet p;  // 100 V, 5 A, star connection, every value 0.5
    p.values[1] = kNoValue;
    p.values[2] = kAboveRange;
    p.values[6] = kBelowRange;
    p.values[21] = channel::bitsOf(-0.25f);
    const QByteArray bytes = p.bytes();
    const ChannelPacket decoded =
        DecodeChannelPacket(reinterpret_cast<const quint8*>(bytes.constData()) + kBodyOffset);
    const QList<QByteArray> cells =
        MeasurementLog::ChannelRow(kTime, decoded).chopped(1).split(';');
    QCOMPARE(cells.size(), 1 + kParameterCount);
    QCOMPARE(cells[1 + 0], QByteArray("62.500"));     // 0.5 × 1.25 × 100 V
    QCOMPARE(cells[1 + 1], QByteArray());             // no value
    QCOMPARE(cells[1 + 2], QByteArray());             // above the range
    QCOMPARE(cells[1 + 6], QByteArray());             // below the range
    QCOMPARE(cells[1 + 3], QByteArray("2.500"));      // 0.5 × 5 A
    QCOMPARE(cells[1 + 21], QByteArray("-375.000"));  // -0.25 × 3 × 500 W
    QCOMPARE(cells[1 + 25], QByteArray("50.000"));    // 45 + 0.5 × 10 Hz
}

void MeasurementLogTest::newFileGetsHeaderAndRows() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log.csv"));
    MeasurementLog log;
    log.setTimeSource([] { return kTime; });
    QVERIFY2(log.open(path), qPrintable(log.errorString()));
    QVERIFY(log.appendMeasuredBlock(block()));
    QVERIFY(log.appendChannelPacket(channel::Packet().bytes()));
    // Short input is no row.
    QVERIFY(!log.appendMeasuredBlock(block().left(kMeasuredBlockDataLength - 1)));
    QCOMPARE(log.rowsWritten(), 2);
    // Each row is in the file as soon as it was appended, not when the log closes.
    const QByteArray data = block();
    const QByteArray expected =
        bom() + MeasurementLog::HeaderLine() +
        MeasurementLog::MeasuredRow(kTime, reinterpret_cast<const quint8*>(data.constData()));
    QVERIFY(readAll(path).startsWith(expected));
    QCOMPARE(readAll(path).count('\n'), 3);
}

void MeasurementLogTest::appendsWithoutSecondHeader() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log.csv"));
    MeasurementLog log;
    log.setTimeSource([] { return kTime; });
    QVERIFY(log.open(path));
    QVERIFY(log.appendMeasuredBlock(block()));
    QVERIFY(log.appendMeasuredBlock(block({{0, bits(2.0f)}})));
    log.close();
    const QByteArray first = readAll(path);

    MeasurementLog again;
    again.setTimeSource([] { return kTime; });
    QVERIFY2(again.open(path), qPrintable(again.errorString()));
    QVERIFY(again.appendMeasuredBlock(block({{0, bits(3.0f)}})));
    const QByteArray all = readAll(path);
    QVERIFY(all.startsWith(first));
    QCOMPARE(all.count("Время"), 1);
    QCOMPARE(all.count('\n'), 4);
    QVERIFY(all.endsWith('\n'));
    QVERIFY(all.mid(first.size()).startsWith("2026-12-11T08:15:30.123+01:00;3.000;"));
}

// A row cut off by an earlier crash stays as it is, and the next row starts on a line of its
// own.
void MeasurementLogTest::endsACutOffLastRowFirst() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log.csv"));
    const QByteArray before = bom() + MeasurementLog::HeaderLine() + "2026-12-11T08:15:30.1";
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(before);
    }
    MeasurementLog log;
    log.setTimeSource([] { return kTime; });
    QVERIFY2(log.open(path), qPrintable(log.errorString()));
    QVERIFY(log.appendMeasuredBlock(block()));
    const QByteArray all = readAll(path);
    QVERIFY(all.startsWith(before + "\n2026-12-11T08:15:30.123+01:00;1.000;"));
}

void MeasurementLogTest::refusesAFileThatIsNoLog() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("notes.txt"));
    const QByteArray notes = "Протокол поверки\nстрока 2\n";
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(notes);
    }
    MeasurementLog log;
    QVERIFY(!log.open(path));
    QVERIFY(!log.isOpen());
    QVERIFY2(log.errorString().contains(QStringLiteral("не является журналом измерений")),
             qPrintable(log.errorString()));
    QVERIFY(!log.appendMeasuredBlock(block()));
    QCOMPARE(readAll(path), notes);
}

void MeasurementLogTest::unwritablePathsAreRefused_data() {
    QTest::addColumn<QString>("relative");
    QTest::addColumn<QString>("message");
    QTest::newRow("missing folder")
        << QStringLiteral("no/such/folder/log.csv") << QStringLiteral("Не удалось открыть файл");
    QTest::newRow("a folder") << QString() << QStringLiteral("это папка");
}

void MeasurementLogTest::unwritablePathsAreRefused() {
    QFETCH(QString, relative);
    QFETCH(QString, message);
    QTemporaryDir dir;
    MeasurementLog log;
    QSignalSpy failed(&log, &MeasurementLog::failed);
    QVERIFY(!log.open(relative.isEmpty() ? dir.path() : dir.filePath(relative)));
    QVERIFY2(log.errorString().contains(message), qPrintable(log.errorString()));
    QVERIFY(!log.isOpen());
    // The caller reports a refused open; failed() is for a log that was running.
    QCOMPARE(failed.size(), 0);
}

void MeasurementLogTest::removedFileStopsTheLog() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log.csv"));
    MeasurementLog log;
    QSignalSpy failed(&log, &MeasurementLog::failed);
    QVERIFY(log.open(path));
    QVERIFY(log.appendMeasuredBlock(block()));
    QVERIFY(QFile::remove(path));
    QVERIFY(!log.appendMeasuredBlock(block()));
    QCOMPARE(failed.size(), 1);
    QVERIFY2(failed.first().first().toString().contains(QStringLiteral("удален")),
             qPrintable(failed.first().first().toString()));
    QVERIFY(!log.isOpen());
    QVERIFY(!log.appendMeasuredBlock(block()));
    QCOMPARE(failed.size(), 1);
    QVERIFY(!QFile::exists(path));
}

// The file may not grow beyond a limit: the row that does not fit is refused part-way, the
// part is taken back, the log stops.
void MeasurementLogTest::fullFileStopsTheLogAndKeepsWholeRows() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log.csv"));
    MeasurementLog log;
    log.setTimeSource([] { return kTime; });
    QSignalSpy failed(&log, &MeasurementLog::failed);
    QVERIFY(log.open(path));
    QVERIFY(log.appendMeasuredBlock(block()));
    const QByteArray whole = readAll(path);

    rlimit saved{};
    QVERIFY(getrlimit(RLIMIT_FSIZE, &saved) == 0);
    const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = rlim_t(whole.size() + 100);
    QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
    const bool appended = log.appendMeasuredBlock(block());
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, oldHandler);

    QVERIFY(!appended);
    QCOMPARE(failed.size(), 1);
    QVERIFY2(failed.first().first().toString().startsWith(QStringLiteral("Запись в файл «")),
             qPrintable(failed.first().first().toString()));
    QVERIFY(failed.first().first().toString().contains(QStringLiteral("остановлена")));
    QVERIFY(!log.isOpen());
    QCOMPARE(readAll(path), whole);
}

QTEST_GUILESS_MAIN(MeasurementLogTest)
#include "unit_measurementlog.moc"
