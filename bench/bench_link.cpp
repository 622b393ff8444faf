// Prints the cost of the link's hot paths: the checksum of a reply, and a whole read
// exchange (send, reassembly from chunks, checksum, decode) through the engine.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QTextStream>

#include "fakeport.h"
#include "link/crc.h"
#include "link/engine.h"
#include "manualclock.h"
#include "measure/catalogue.h"
#include "replies.h"

namespace {

template <typename F>
double nsPerRun(int runs, F&& f) {
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < runs; ++i)
        f();
    return double(t.nsecsElapsed()) / runs;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // As in the program: the frame log is for diagnosis and would dominate the figures.
    QLoggingCategory::setFilterRules(QStringLiteral("tervex.*.debug=false"));
    QTextStream out(stdout);

    QByteArray reply(121, char(0x5A));
    volatile quint16 sink = 0;
    const double crcNs = nsPerRun(200000, [&] {
        sink = sink + ModbusCrc16(reinterpret_cast<const quint8*>(reply.constData()), 121);
    });
    out << "checksum of a 121-byte reply: " << crcNs << " ns (" << 121e3 / crcNs << " MB/s)\n";

    FakePort port;
    ManualClock clock;
    LinkEngine engine(&port, &clock, nullptr);
    int handled = 0;
    qsizetype formatted = 0;
    engine.setReplyHandler(nullptr, RequestCode::MeasuredBlock, [&](const quint8* data, int) {
        // The page's work minus the painting: decode and format the 29 values.
        for (int k = 0; k < kParameterCount; ++k) {
            const MeasuredFloat v = FloatAt(data + 3, k);
            formatted += FormatMeasured(v.value, v.noInfo, MeasuredDecimals(k)).size();
        }
        ++handled;
    });
    const QByteArray block = replies::measuredBlock(QList<float>(29, 230.0f));
    RequestRecord r = PreparedRecord(RequestCode::MeasuredBlock);
    r.SlaveAddress = 1;
    for (int chunk : {121, 16, 1}) {
        handled = 0;
        const int runs = 20000;
        const double ns = nsPerRun(runs, [&] {
            engine.SendInquiry(r);
            port.deliverInChunks(block, chunk);
            port.written.clear();
        });
        out << "read exchange, reply in chunks of " << chunk << " bytes: " << ns / 1000.0
            << " us per exchange (" << handled << "/" << runs << " handled, " << formatted
            << " characters formatted)\n";
    }
    return 0;
}
