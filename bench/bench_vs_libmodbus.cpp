// The link engine beside a plain libmodbus master, on one machine and against the same libmodbus
// slave (bench_slave) on a fresh socat pair of pseudo-terminals for every run. Both masters read
// the 58 registers of the measured block again and again and decode the 29 floats as the
// measured-values page does; the engine (QtSerialPort, SystemClock, frame log off as in the
// program) sends its next read from the reply handler, libmodbus calls modbus_read_registers in a
// loop. Rounds interleave the two, switching their order each round.
//
//   bench_vs_libmodbus [--rounds N] [--seconds S]
//                      [--send handler|handler-first|completed|queued]
//                      [--work-us W] [--latency [--pace-us U] [--line-pace]]
//
// --rounds   rounds of one run each [5]
// --seconds  length of a run [5]
// --send     where the engine sends its next read: inside the reply handler after decoding
//            [handler] or before it (handler-first), from the replyCompleted signal
//            (completed), or queued to the event loop after the exchange closed (queued)
// --work-us  the handler busy-waits W us more after decoding [0], as a page that paints
// --latency  the slave answers at the speed of a 19200-baud line, one byte every U us [520]
//            (--line-pace: sleeps the whole line time and writes the answer at once), and
//            stamps the last byte; the figure is the time from that stamp to the engine's
//            handler or to the return of modbus_read_registers, relay through socat included
//
// Per run: reads per second, CPU of this process (user + system) per exchange, time-outs
// (3 s, as the engine's own) and other failed reads. A lost reply is counted, never retried
// early. At the end, per figure, the ratio engine / libmodbus of each round: minimum, median.
#include <errno.h>
#include <modbus.h>
#include <sys/resource.h>
#include <time.h>
#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLoggingCategory>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include "link/engine.h"
#include "link/qtserialport.h"
#include "link/timer.h"
#include "measure/catalogue.h"
#include "ptypair.h"
// The program's choice of event loop, where the tree has one.
#if __has_include("link/eventloop.h")
#include "link/eventloop.h"
#define TERVEX_HAS_EVENT_LOOP_CHOICE 1
#endif

namespace {

enum class SendFrom { Handler, HandlerFirst, Completed, Queued };

struct Options {
    int rounds = 5;
    double seconds = 5;
    SendFrom send = SendFrom::Handler;
    bool latency = false;
    int paceUs = 520;
    bool linePace = false;
    int workUs = 0;
};

struct Run {
    qint64 exchanges = 0;
    double wallS = 0;
    double cpuS = 0;
    qint64 timeouts = 0;
    qint64 otherErrors = 0;  // checksum errors, exception replies, libmodbus errors
    std::vector<double> latencyUs;
    QString failure;  // set when the run could not be made

    double rate() const { return wallS > 0 ? exchanges / wallS : 0; }
    double cpuPerExchangeUs() const { return exchanges > 0 ? cpuS * 1e6 / exchanges : 0; }
};

qint64 monotonicNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double median(std::vector<double> v) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// The page's work minus the painting: the 29 values decoded and formatted.
qsizetype decodeBlock(const quint8* data) {
    qsizetype characters = 0;
    for (int k = 0; k < kParameterCount; ++k) {
        const MeasuredFloat v = FloatAt(data, k);
        characters += FormatMeasured(v.value, v.noInfo, MeasuredDecimals(k)).size();
    }
    return characters;
}

// The slave on its end of a fresh pair, for one run.
class Slave {
  public:
    Slave(const Options& o, const QString& device) {
        stampPath_ = dir_.filePath(QStringLiteral("stamps"));
        QStringList args{device};
        if (o.latency) {
            args << (o.linePace ? QStringLiteral("--line-us") : QStringLiteral("--pace-us"))
                 << QString::number(o.paceUs) << QStringLiteral("--stamps") << stampPath_;
        }
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(QStringLiteral(BENCH_SLAVE_PATH), args);
        if (!process_.waitForStarted(5000) || !process_.waitForReadyRead(5000) ||
            !process_.readLine().startsWith("ready"))
            error_ = QStringLiteral("bench_slave did not start on ") + device;
    }
    ~Slave() { stop(); }
    QString errorString() const { return error_; }

    // Ends it and returns the stamps of the last byte of its answers.
    std::vector<qint64> stop() {
        if (process_.state() != QProcess::NotRunning) {
            process_.terminate();
            if (!process_.waitForFinished(3000)) {
                process_.kill();
                process_.waitForFinished(1000);
            }
        }
        std::vector<qint64> stamps;
        QFile f(stampPath_);
        if (f.open(QIODevice::ReadOnly)) {
            const QByteArray all = f.readAll();
            stamps.resize(size_t(all.size()) / sizeof(qint64));
            std::memcpy(stamps.data(), all.constData(), stamps.size() * sizeof(qint64));
        }
        return stamps;
    }

  private:
    QTemporaryDir dir_;
    QString stampPath_;
    QProcess process_;
    QString error_;
};

// For each moment the master had a reply, the time since the last byte the slave wrote before
// it. Stamps are matched by time rather than by count, so a lost reply does not shift them.
std::vector<double> addedLatencyUs(const std::vector<qint64>& handled,
                                   const std::vector<qint64>& lastBytes) {
    std::vector<double> out;
    for (const qint64 h : handled) {
        const auto it = std::upper_bound(lastBytes.begin(), lastBytes.end(), h);
        if (it == lastBytes.begin())
            continue;
        out.push_back(double(h - *std::prev(it)) / 1000.0);
    }
    return out;
}

Run runEngine(const Options& o) {
    Run run;
    PtyPair pair;
    if (!pair.ok()) {
        run.failure = pair.errorString();
        return run;
    }
    Slave slave(o, pair.pathB());
    if (!slave.errorString().isEmpty()) {
        run.failure = slave.errorString();
        return run;
    }
    const QString device = pair.pathA();
    SystemClock clock;
    QtSerialPort port([device](int) { return device; });
    port.setBaud(19200);
    LinkEngine engine(&port, &clock, nullptr);
    const RequestRecord record = ReadMeasuredBlock(1);

    bool running = true;
    qint64 handled = 0;
    qsizetype characters = 0;
    std::vector<qint64> handledAt;
    handledAt.reserve(1 << 16);
    auto next = [&] {
        if (running)
            engine.SendInquiry(record);
    };
    engine.setReplyHandler(nullptr, RequestCode::MeasuredBlock, [&](const quint8* reply, int) {
        if (o.latency)
            handledAt.push_back(monotonicNs());
        if (o.send == SendFrom::HandlerFirst)
            next();
        characters += decodeBlock(reply + 3);
        // A page that does more after its send (painting, a chart): the next reply can come in
        // while the handler still runs.
        for (const qint64 until = monotonicNs() + qint64(o.workUs) * 1000; monotonicNs() < until;) {
        }
        ++handled;
        if (o.send == SendFrom::Handler)
            next();
    });
    QObject context;
    if (o.send == SendFrom::Completed)
        QObject::connect(&engine, &LinkEngine::replyCompleted, &context, next);
    if (o.send == SendFrom::Queued)
        QObject::connect(&engine, &LinkEngine::replyCompleted, &context, next,
                         Qt::QueuedConnection);
    // A lost or refused reply: counted, and the next read goes out as the engine lets it.
    QObject::connect(&engine, &LinkEngine::timedOut, &context, [&] {
        ++run.timeouts;
        next();
    });
    QObject::connect(&engine, &LinkEngine::checksumError, &context, [&] { ++run.otherErrors; });
    QObject::connect(&engine, &LinkEngine::exceptionReply, &context, [&] {
        ++run.otherErrors;
        next();
    });

    QEventLoop loop;
    double cpuStart = 0;
    qint64 wallStart = 0;
    QTimer::singleShot(0, &context, [&] {
        cpuStart = cpuSeconds();
        wallStart = monotonicNs();
        if (!engine.SendInquiry(record)) {
            run.failure = port.errorString();
            loop.quit();
        }
    });
    QTimer::singleShot(int(o.seconds * 1000), Qt::PreciseTimer, &context, [&] {
        run.cpuS = cpuSeconds() - cpuStart;
        run.wallS = double(monotonicNs() - wallStart) / 1e9;
        run.exchanges = handled;
        running = false;
        loop.quit();
    });
    loop.exec();
    engine.setReplyHandler(nullptr, RequestCode::MeasuredBlock, nullptr);
    if (characters == 0 && run.failure.isEmpty() && handled > 0)
        run.failure = QStringLiteral("nothing decoded");
    const std::vector<qint64> stamps = slave.stop();
    if (o.latency)
        run.latencyUs = addedLatencyUs(handledAt, stamps);
    return run;
}

Run runLibmodbus(const Options& o) {
    Run run;
    PtyPair pair;
    if (!pair.ok()) {
        run.failure = pair.errorString();
        return run;
    }
    Slave slave(o, pair.pathB());
    if (!slave.errorString().isEmpty()) {
        run.failure = slave.errorString();
        return run;
    }
    const QByteArray device = QFile::encodeName(pair.pathA());
    modbus_t* ctx = modbus_new_rtu(device.constData(), 19200, 'N', 8, 1);
    if (!ctx || modbus_set_slave(ctx, 1) != 0 || modbus_connect(ctx) != 0) {
        run.failure =
            QStringLiteral("libmodbus: ") + QString::fromLocal8Bit(modbus_strerror(errno));
        if (ctx)
            modbus_free(ctx);
        return run;
    }
    modbus_set_response_timeout(ctx, LinkEngine::kReplyTimeoutMs / 1000, 0);

    std::vector<qint64> handledAt;
    handledAt.reserve(1 << 16);
    uint16_t regs[kMeasuredBlockRegisters];
    quint8 bytes[kMeasuredBlockDataLength];
    qsizetype characters = 0;
    const qint64 wallStart = monotonicNs();
    const qint64 deadline = wallStart + qint64(o.seconds * 1e9);
    const double cpuStart = cpuSeconds();
    while (monotonicNs() < deadline) {
        const int n = modbus_read_registers(ctx, 0, kMeasuredBlockRegisters, regs);
        if (n == kMeasuredBlockRegisters) {
            if (o.latency)
                handledAt.push_back(monotonicNs());
            for (int i = 0; i < kMeasuredBlockRegisters; ++i) {
                bytes[2 * i] = quint8(regs[i] >> 8);
                bytes[2 * i + 1] = quint8(regs[i] & 0xFF);
            }
            characters += decodeBlock(bytes);
            ++run.exchanges;
        } else if (errno == ETIMEDOUT) {
            ++run.timeouts;
        } else {
            ++run.otherErrors;
        }
    }
    run.cpuS = cpuSeconds() - cpuStart;
    run.wallS = double(monotonicNs() - wallStart) / 1e9;
    modbus_close(ctx);
    modbus_free(ctx);
    if (characters == 0 && run.exchanges > 0)
        run.failure = QStringLiteral("nothing decoded");
    const std::vector<qint64> stamps = slave.stop();
    if (o.latency)
        run.latencyUs = addedLatencyUs(handledAt, stamps);
    return run;
}

std::optional<Options> parse(const QStringList& args, QString* error) {
    Options o;
    for (int i = 1; i < args.size(); ++i) {
        const QString& name = args[i];
        if (name == u"--latency") {
            o.latency = true;
            continue;
        }
        if (name == u"--line-pace") {
            o.linePace = true;
            continue;
        }
        if (i + 1 >= args.size()) {
            *error = name + QStringLiteral(" needs a value");
            return std::nullopt;
        }
        const QString value = args[++i];
        bool ok = false;
        if (name == u"--rounds") {
            o.rounds = value.toInt(&ok);
            ok = ok && o.rounds > 0;
        } else if (name == u"--seconds") {
            o.seconds = value.toDouble(&ok);
            ok = ok && o.seconds > 0;
        } else if (name == u"--work-us") {
            o.workUs = value.toInt(&ok);
            ok = ok && o.workUs >= 0;
        } else if (name == u"--pace-us") {
            o.paceUs = value.toInt(&ok);
            ok = ok && o.paceUs > 0;
        } else if (name == u"--send") {
            ok = true;
            if (value == u"handler")
                o.send = SendFrom::Handler;
            else if (value == u"handler-first")
                o.send = SendFrom::HandlerFirst;
            else if (value == u"completed")
                o.send = SendFrom::Completed;
            else if (value == u"queued")
                o.send = SendFrom::Queued;
            else
                ok = false;
        } else {
            *error = QStringLiteral("unknown option %1").arg(name);
            return std::nullopt;
        }
        if (!ok) {
            *error = QStringLiteral("%1: '%2' is not a valid value").arg(name, value);
            return std::nullopt;
        }
    }
    return o;
}

const char* sendName(SendFrom s) {
    switch (s) {
        case SendFrom::Handler:
            return "inside the reply handler";
        case SendFrom::HandlerFirst:
            return "inside the reply handler, before decoding";
        case SendFrom::Completed:
            return "from replyCompleted";
        case SendFrom::Queued:
            return "queued after the exchange";
    }
    return "";
}

void printRun(const char* name, const Run& r, bool latency) {
    if (!r.failure.isEmpty()) {
        std::printf("  %-9s FAILED: %s\n", name, qPrintable(r.failure));
        return;
    }
    std::printf(
        "  %-9s %8.1f reads/s  %7.1f us CPU/exchange  %6lld exchanges  %3lld time-outs"
        "  %3lld other errors",
        name, r.rate(), r.cpuPerExchangeUs(), static_cast<long long>(r.exchanges),
        static_cast<long long>(r.timeouts), static_cast<long long>(r.otherErrors));
    if (latency)
        std::printf("  added latency median %7.1f us  CPU/byte %5.2f us", median(r.latencyUs),
                    r.cpuPerExchangeUs() / kMeasuredBlockReplyLength);
    std::printf("\n");
}

void printRatio(const char* what, const std::vector<double>& ratios) {
    if (ratios.empty())
        return;
    std::printf("  %-28s min %6.2f  median %6.2f\n", what,
                *std::min_element(ratios.begin(), ratios.end()), median(ratios));
}

}  // namespace

int main(int argc, char** argv) {
#ifdef TERVEX_HAS_EVENT_LOOP_CHOICE
    PreferUnixEventDispatcher();
#endif
    QCoreApplication app(argc, argv);
    // As in the program: the frame log is for diagnosis and would dominate the figures.
    QLoggingCategory::setFilterRules(QStringLiteral("tervex.*.debug=false"));
    QString error;
    const std::optional<Options> parsed = parse(app.arguments(), &error);
    if (!parsed) {
        std::fprintf(stderr, "bench_vs_libmodbus: %s\n", qPrintable(error));
        return 2;
    }
    const Options o = *parsed;
    std::printf(
        "engine vs libmodbus %s: %d rounds of %.1f s per run, build %s, engine sends %s, "
        "event dispatcher %s\n",
        LIBMODBUS_VERSION_STRING, o.rounds, o.seconds, TERVEX_BUILD_TYPE, sendName(o.send),
        QAbstractEventDispatcher::instance()->metaObject()->className());
    if (o.workUs > 0)
        std::printf("the engine's handler works %d us more after decoding\n", o.workUs);
    if (o.latency)
        std::printf("latency mode: slave %s, %d us per byte\n",
                    o.linePace ? "sleeps the line time, then one write" : "writes byte by byte",
                    o.paceUs);
    else
        std::printf("back to back: slave answers at once in one write\n");
    std::fflush(stdout);

    std::vector<Run> engineRuns, modbusRuns;
    for (int round = 1; round <= o.rounds; ++round) {
        std::printf("round %d\n", round);
        const bool engineFirst = round % 2 == 1;
        Run e, m;
        if (engineFirst) {
            e = runEngine(o);
            m = runLibmodbus(o);
        } else {
            m = runLibmodbus(o);
            e = runEngine(o);
        }
        printRun("engine", e, o.latency);
        printRun("libmodbus", m, o.latency);
        std::fflush(stdout);
        engineRuns.push_back(e);
        modbusRuns.push_back(m);
    }

    std::vector<double> rate, cpu, latency;
    qint64 engineTimeouts = 0, modbusTimeouts = 0, engineErrors = 0, modbusErrors = 0;
    std::vector<double> engineLatency, modbusLatency;
    for (size_t i = 0; i < engineRuns.size(); ++i) {
        const Run& e = engineRuns[i];
        const Run& m = modbusRuns[i];
        engineTimeouts += e.timeouts;
        modbusTimeouts += m.timeouts;
        engineErrors += e.otherErrors;
        modbusErrors += m.otherErrors;
        if (!e.failure.isEmpty() || !m.failure.isEmpty() || e.exchanges == 0 || m.exchanges == 0)
            continue;
        rate.push_back(e.rate() / m.rate());
        cpu.push_back(e.cpuPerExchangeUs() / m.cpuPerExchangeUs());
        if (o.latency && !e.latencyUs.empty() && !m.latencyUs.empty()) {
            latency.push_back(median(e.latencyUs) / median(m.latencyUs));
            engineLatency.insert(engineLatency.end(), e.latencyUs.begin(), e.latencyUs.end());
            modbusLatency.insert(modbusLatency.end(), m.latencyUs.begin(), m.latencyUs.end());
        }
    }
    std::printf("ratio engine / libmodbus over %zu rounds\n", rate.size());
    printRatio("reads per second", rate);
    printRatio("CPU per exchange", cpu);
    if (o.latency) {
        printRatio("added latency (median)", latency);
        std::printf("  added latency, all runs: engine median %.1f us, libmodbus median %.1f us\n",
                    median(engineLatency), median(modbusLatency));
    }
    std::printf(
        "time-outs: engine %lld, libmodbus %lld; other errors: engine %lld, libmodbus %lld\n",
        static_cast<long long>(engineTimeouts), static_cast<long long>(modbusTimeouts),
        static_cast<long long>(engineErrors), static_cast<long long>(modbusErrors));
    return 0;
}
