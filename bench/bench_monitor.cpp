// Prints what the traffic monitor costs the link: a read exchange on the fake port with and
// without the monitor's log listening (the log flushed as often as its timer would at 100
// exchanges per second), and the process's CPU share while 100 reads a second go to tervex-sim
// on a virtual line, without the monitor, with its log, and with its window open.
//
//   bench_monitor [--seconds S]   length of each line run [10]
#include <time.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QTableView>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "app/trafficmonitorwindow.h"
#include "fakeport.h"
#include "link/engine.h"
#include "link/qtserialport.h"
#include "link/trafficlog.h"
#include "manualclock.h"
#include "measure/catalogue.h"
#include "replies.h"
#include "simprocess.h"

namespace {

double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// ns per read exchange through the engine on the fake port.
double fakePortExchange(bool monitored, int runs) {
    FakePort port;
    ManualClock clock;
    LinkEngine engine(&port, &clock, nullptr);
    TrafficLogModel model(&clock);
    if (monitored)
        model.attach(&engine);
    engine.setReplyHandler(nullptr, RequestCode::MeasuredBlock, [](const quint8*, int) {});
    const QByteArray block = replies::measuredBlock(QList<float>(29, 230.0f));
    RequestRecord r = PreparedRecord(RequestCode::MeasuredBlock);
    r.SlaveAddress = 1;
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < runs; ++i) {
        engine.SendInquiry(r);
        clock.advance(10);
        port.deliver(block);
        port.written.clear();
        // The log's timer ticks every 150 ms: 15 exchanges at 100 a second.
        if (i % 15 == 14)
            model.flush();
    }
    model.flush();
    return double(t.nsecsElapsed()) / runs;
}

enum class Monitor { None, Log, Window };

struct LineRun {
    double cpuShare = 0;
    qint64 sent = 0, completed = 0, refused = 0, rows = 0;
};

// 100 reads a second for `seconds`, one every 10 ms as long as the last has ended.
LineRun lineRun(const QString& line, Monitor monitor, int seconds) {
    SystemClock clock;
    QtSerialPort port([line](int) { return line; });
    port.setComNumber(1);
    LinkEngine engine(&port, &clock, nullptr);
    std::unique_ptr<TrafficLogModel> log;
    std::unique_ptr<TrafficMonitorWindow> window;
    if (monitor == Monitor::Log) {
        log = std::make_unique<TrafficLogModel>(&clock);
        log->attach(&engine);
    } else if (monitor == Monitor::Window) {
        window = std::make_unique<TrafficMonitorWindow>(&clock);
        window->attach(&engine);
        window->show();
    }
    LineRun run;
    engine.setReplyHandler(nullptr, RequestCode::MeasuredBlock, [&](const quint8*, int) {});
    QObject::connect(&engine, &LinkEngine::replyCompleted, &engine, [&] { ++run.completed; });
    QObject::connect(&engine, &LinkEngine::exceptionReply, &engine,
                     [&](quint8, const QString&) { ++run.refused; });
    RequestRecord r = PreparedRecord(RequestCode::MeasuredBlock);
    r.SlaveAddress = 1;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(10);
    QObject::connect(&tick, &QTimer::timeout, &engine, [&] {
        if (engine.awaitingReply())
            return;
        if (engine.SendInquiry(r))
            ++run.sent;
    });
    QElapsedTimer wall;
    const double cpu0 = cpuSeconds();
    wall.start();
    tick.start();
    QTimer::singleShot(seconds * 1000, &engine, [] { QCoreApplication::quit(); });
    QCoreApplication::exec();
    run.cpuShare = (cpuSeconds() - cpu0) / (double(wall.nsecsElapsed()) / 1e9);
    if (log)
        run.rows = log->rowCount();
    if (window)
        run.rows = window->model()->rowCount();
    return run;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("tervex.*=false"));
    int seconds = 10;
    const QStringList args = app.arguments();
    if (args.size() == 3 && args[1] == u"--seconds")
        seconds = std::max(1, args[2].toInt());

    const int runs = 100000;
    fakePortExchange(true, 2000);  // warm-up
    const double plain = fakePortExchange(false, runs);
    const double watched = fakePortExchange(true, runs);
    std::printf(
        "read exchange on the fake port: %.0f ns without the monitor, %.0f ns with its "
        "log; the monitor adds %.0f ns per exchange\n",
        plain, watched, watched - plain);
    std::printf("  at 100 exchanges a second that is %.3f %% of a core\n",
                (watched - plain) * 100 / 1e9 * 100);

    SimProcess sim;
    if (!sim.start({QStringLiteral("--no-pace"), QStringLiteral("--exception-rate"),
                    QStringLiteral("0.02")})) {
        std::fprintf(stderr, "bench_monitor: %s\n", qPrintable(sim.errorString()));
        return 1;
    }
    std::printf("100 reads a second against tervex-sim --no-pace (2 %% refused), %d s each:\n",
                seconds);
    double base = 0;
    for (Monitor m : {Monitor::None, Monitor::Log, Monitor::Window}) {
        const LineRun r = lineRun(sim.path(), m, seconds);
        const char* name = m == Monitor::None  ? "without the monitor"
                           : m == Monitor::Log ? "with the log"
                                               : "with the window open";
        if (m == Monitor::None)
            base = r.cpuShare;
        std::printf(
            "  %-22s CPU %.2f %% of a core (%+.2f), %lld sent, %lld handled, %lld "
            "refused, %lld rows\n",
            name, r.cpuShare * 100, (r.cpuShare - base) * 100, r.sent, r.completed, r.refused,
            r.rows);
        std::fflush(stdout);
    }
    sim.stop();
    return 0;
}
