// What the program costs while its line is gone, and how soon it finds the device again.
// The link engine polls tervex-sim every 100 ms as the polling group does (the measured block
// whenever no reply is awaited); the simulator is stopped, which removes the line, and the
// process's CPU time is taken over 10 s (goal: under 2 % of one core). Then the simulator
// starts again at the same path and the time until polling has a reply again is printed.
#include <sys/resource.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QTimer>
#include <cstdio>

#include "link/engine.h"
#include "link/qtserialport.h"
#include "link/timer.h"
#include "measure/catalogue.h"
#include "simprocess.h"

namespace {

constexpr int kPollMs = 100;
constexpr int kGoneMs = 10000;
constexpr double kGoalPercent = 2.0;

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void runFor(int ms) {
    QTimer::singleShot(ms, QCoreApplication::instance(), &QCoreApplication::quit);
    QCoreApplication::exec();
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // Frame logs of a long run would cost more than the run; what counts is printed below.
    QLoggingCategory::setFilterRules(QStringLiteral("tervex.*=false"));
    SimProcess sim;
    if (!sim.start()) {
        std::fprintf(stderr, "bench_unplug: %s\n", qPrintable(sim.errorString()));
        return 1;
    }
    const QString line = sim.path();
    SystemClock clock;
    QtSerialPort port([line](int) { return line; });
    port.setComNumber(1);
    LinkEngine engine(&port, &clock, nullptr);
    const RequestRecord request = ReadMeasuredBlock(1);
    qint64 replies = 0, sendFailures = 0, losses = 0;
    engine.setReplyHandler(nullptr, RequestCode::MeasuredBlock,
                           [&](const quint8*, int) { ++replies; });
    QObject::connect(&engine, &LinkEngine::sendFailed, &engine, [&] { ++sendFailures; });
    QObject::connect(&port, &SerialPort::deviceLost, &engine, [&](const QString&) { ++losses; });
    LinkTimer* poll = clock.createTimer(&engine);
    poll->setInterval(kPollMs);
    QObject::connect(poll, &LinkTimer::timeout, &engine, [&] {
        if (!engine.awaitingReply() && !engine.held())
            engine.SendInquiry(request);
    });
    poll->start();

    // Runs the event loop until `done` holds, looked at after every reply and every 5 ms, or
    // until `ms` have passed.
    auto runUntil = [&engine](auto done, int ms) {
        QEventLoop loop;
        QTimer check;
        check.setInterval(5);
        QObject::connect(&check, &QTimer::timeout, &loop, [&] {
            if (done())
                loop.quit();
        });
        QObject::connect(&engine, &LinkEngine::replyCompleted, &loop, [&] {
            if (done())
                loop.quit();
        });
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        check.start();
        if (!done())
            loop.exec();
        return done();
    };

    if (!runUntil([&] { return replies >= 5; }, 10000)) {
        std::fprintf(stderr, "bench_unplug: no replies from tervex-sim while it ran\n");
        return 1;
    }
    std::printf("polling every %d ms: %lld replies before the line went away\n", kPollMs, replies);

    sim.stop();
    const qint64 repliesBefore = replies;
    const qint64 failuresBefore = sendFailures;
    QElapsedTimer wall;
    wall.start();
    const double cpuBefore = cpuSeconds();
    runFor(kGoneMs);
    const double cpu = cpuSeconds() - cpuBefore;
    const double percent = 100.0 * cpu / (double(wall.elapsed()) / 1000.0);
    std::printf(
        "line gone for %.1f s: CPU %.3f s = %.2f %% of one core (goal < %.0f %%: %s); "
        "%lld failed sends, device lost reported %lld time(s), %lld replies\n",
        double(wall.elapsed()) / 1000.0, cpu, percent, kGoalPercent,
        percent < kGoalPercent ? "met" : "NOT MET", sendFailures - failuresBefore, losses,
        replies - repliesBefore);

    QElapsedTimer back;
    back.start();
    if (!sim.start()) {
        std::fprintf(stderr, "bench_unplug: %s\n", qPrintable(sim.errorString()));
        return 1;
    }
    const qint64 readyMs = back.elapsed();
    const qint64 repliesGone = replies;
    if (!runUntil([&] { return replies > repliesGone; }, 30000)) {
        std::printf("line back: NO reply within 30 s of the restart\n");
        return 1;
    }
    std::printf(
        "line back: simulator ready after %lld ms, first reply %lld ms after the "
        "restart began (%lld ms after it was ready)\n",
        readyMs, back.elapsed(), back.elapsed() - readyMs);
    return percent < kGoalPercent ? 0 : 1;
}
