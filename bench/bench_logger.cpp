// The measurement log's cost per row: formatting a measured block, and formatting, writing
// and flushing it to a file in /tmp as the log does (one unbuffered write of the whole line
// and a check that the file is still there), beside a channel packet's row and, for scale,
// a row synced to the disk each time, which the log does not do.
//
//   bench_logger [--rows N]   rows per figure [50000; the synced one a hundredth of it]
#include <unistd.h>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

#include "measure/measurementlog.h"

namespace {

QByteArray measuredBlock() {
    QByteArray data;
    for (int k = 0; k < kParameterCount; ++k) {
        const float v = 230.123f + 17.5f * float(k);
        quint32 b;
        std::memcpy(&b, &v, 4);
        for (int shift : {24, 16, 8, 0})
            data.append(char(b >> shift));
    }
    return data;
}

// A packet of the channel's layout; its checksum is not looked at by the log.
QByteArray channelPacket() {
    QByteArray p(infochannel::kPacketLength, '\0');
    const std::array<quint8, 5>& start = infochannel::kStartBytes;
    std::memcpy(p.data(), start.data(), start.size());
    auto put = [&](int at, float v) {
        quint32 b;
        std::memcpy(&b, &v, 4);
        p[at] = char(b >> 8);
        p[at + 1] = char(b);
        p[at + 2] = char(b >> 24);
        p[at + 3] = char(b >> 16);
    };
    put(6, 100.0f);
    put(10, 5.0f);
    for (int k = 0; k < kParameterCount; ++k)
        put(16 + 4 * k, 0.5f + 0.01f * float(k));
    return p;
}

void print(const char* what, qint64 ns, qint64 rows) {
    std::printf("%-58s %9.0f ns/row  (%lld rows)\n", what, double(ns) / double(rows), rows);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    qint64 rows = 50000;
    const QStringList args = app.arguments();
    if (args.size() == 3 && args[1] == u"--rows")
        rows = std::max(100LL, args[2].toLongLong());

    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/bench_logger-XXXXXX"));
    if (!dir.isValid()) {
        std::printf("bench_logger: no temporary folder in %s\n", qPrintable(QDir::tempPath()));
        return 1;
    }
    const QByteArray block = measuredBlock();
    const auto* bytes = reinterpret_cast<const quint8*>(block.constData());
    const QDateTime now = QDateTime::currentDateTime();
    QElapsedTimer t;

    qint64 sink = 0;
    t.start();
    for (qint64 i = 0; i < rows; ++i)
        sink += MeasurementLog::TimeText(now).size();
    print("time stamp text", t.nsecsElapsed(), rows);

    t.restart();
    for (qint64 i = 0; i < rows; ++i)
        sink += MeasurementLog::MeasuredRow(now, bytes).size();
    print("measured row formatted (time stamp included)", t.nsecsElapsed(), rows);

    double perRowNs = 0;
    auto logged = [&](const char* what, const QString& name, auto append) {
        MeasurementLog log;
        if (!log.open(dir.filePath(name))) {
            std::printf("bench_logger: %s\n", qPrintable(log.errorString()));
            return false;
        }
        t.restart();
        for (qint64 i = 0; i < rows; ++i) {
            if (!append(log)) {
                std::printf("bench_logger: %s\n", qPrintable(log.errorString()));
                return false;
            }
        }
        const qint64 ns = t.nsecsElapsed();
        print(what, ns, rows);
        perRowNs = std::max(perRowNs, double(ns) / double(rows));
        const qint64 size = QFileInfo(log.path()).size();
        std::printf("%-58s %9.0f bytes/row\n", "", double(size) / double(rows));
        return true;
    };
    if (!logged("measured row formatted, written and flushed (the log)",
                QStringLiteral("measured.csv"),
                [&](MeasurementLog& log) { return log.appendMeasuredBlock(block); }))
        return 1;
    const QByteArray packet = channelPacket();
    if (!logged("channel row decoded, formatted, written and flushed",
                QStringLiteral("channel.csv"),
                [&](MeasurementLog& log) { return log.appendChannelPacket(packet); }))
        return 1;

    // For scale: what a sync of every row would cost.
    {
        QFile f(dir.filePath(QStringLiteral("synced.csv")));
        if (!f.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
            return 1;
        const qint64 synced = std::max(qint64(10), rows / 100);
        const QByteArray line = MeasurementLog::MeasuredRow(now, bytes);
        t.restart();
        for (qint64 i = 0; i < synced; ++i) {
            f.write(line);
            ::fsync(f.handle());
        }
        print("measured row written and synced (not done by the log)", t.nsecsElapsed(), synced);
    }
    // The slower of the two logged rows, ten times a second.
    std::printf("logging 10 rows a second takes %.4f %% of one core\n", perRowNs * 10 / 1e7);
    return sink == 0;
}
