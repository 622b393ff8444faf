// tervex-sim: the simulated transducer on a pseudo-terminal or a serial device. See --help.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>
#include <QDateTime>
#include <QFile>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <random>

#include "sim/faults.h"
#include "sim/framer.h"
#include "sim/line.h"
#include "sim/model.h"
#include "sim/options.h"
#include "sim/responder.h"
#include "sim/transmitter.h"

namespace {

using namespace sim;

// How often the presence of a master is looked at while nobody has the pty open: a master
// that opens it and writes at once waits at most this long for its first reply.
constexpr qint64 kPeerPollUs = 10000;
// The remote indicator and the information channel always run at 9600 baud, no parity.
constexpr int kSideBaud = 9600;
// Packets per second when SIGUSR1 starts a stream that --info-rate did not set.
constexpr double kSignalInfoRate = 4;

// Signals reach the loop through a pipe, one byte with the signal's number each, so that
// nothing but write() runs in the handler.
int signalPipe[2] = {-1, -1};

void onSignal(int number) {
    const int saved = errno;
    const char c = char(number);
    [[maybe_unused]] const ssize_t n = write(signalPipe[1], &c, 1);
    errno = saved;
}

bool installSignals() {
    if (pipe(signalPipe) != 0)
        return false;
    for (int fd : signalPipe) {
        fcntl(fd, F_SETFL, O_NONBLOCK);
        fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGUSR1, SIGUSR2})
        sigaction(s, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);
    return true;
}

qint64 monotonicUs() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

QString hex(const QByteArray& b) {
    return QString::fromLatin1(b.toHex(' ').toUpper());
}

QString stamp() {
    return QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss.zzz"));
}

// The frame log: one line per frame, with the time.
class FrameLog {
  public:
    bool open(const QString& path, QString* error) {
        if (path.isEmpty())
            return true;
        if (path == QLatin1String("-")) {
            ok_ = file_.open(stderr, QIODevice::WriteOnly);
        } else {
            file_.setFileName(path);
            ok_ = file_.open(QIODevice::WriteOnly | QIODevice::Append);
        }
        if (!ok_)
            *error = QStringLiteral("cannot write the log %1: %2").arg(path, file_.errorString());
        return ok_;
    }
    void line(const QString& text) {
        if (!ok_)
            return;
        file_.write((stamp() + QLatin1Char(' ') + text + QLatin1Char('\n')).toUtf8());
        file_.flush();
    }

  private:
    QFile file_;
    bool ok_ = false;
};

struct Tally {
    quint64 requests = 0, answered = 0, otherSlaves = 0, wrongSettings = 0, garbageBytes = 0,
            packets = 0, lostBytes = 0;
};

void printSummary(const Tally& t, const FaultCounts& f) {
    std::printf(
        "tervex-sim: requests %llu (answered %llu, for other slaves %llu, at a wrong speed or "
        "parity %llu), garbage bytes %llu, information packets %llu, bytes lost on a full line "
        "%llu\n"
        "tervex-sim: faults injected: dropped %llu, corrupted %llu, exceptions %llu, garbage "
        "bursts %llu, fragmented %llu\n",
        (unsigned long long)t.requests, (unsigned long long)t.answered,
        (unsigned long long)t.otherSlaves, (unsigned long long)t.wrongSettings,
        (unsigned long long)t.garbageBytes, (unsigned long long)t.packets,
        (unsigned long long)t.lostBytes, (unsigned long long)f.dropped,
        (unsigned long long)f.corrupted, (unsigned long long)f.exceptions,
        (unsigned long long)f.garbageBursts, (unsigned long long)f.fragmented);
    std::fflush(stdout);
}

int run(const Options& o) {
    const quint64 seed = o.seedGiven ? o.seed : std::random_device{}();
    std::fprintf(stderr, "tervex-sim: seed %llu\n", (unsigned long long)seed);

    QString error;
    FrameLog log;
    if (!log.open(o.log, &error)) {
        std::fprintf(stderr, "tervex-sim: %s\n", qPrintable(error));
        return 1;
    }

    DeviceSetup setup;
    setup.address = quint8(o.address);
    setup.speedCode = SpeedCode(o.baud);
    setup.parity = o.parity;
    setup.seed = seed;
    setup.noInformation = o.noInformation;
    setup.infoBelow = o.infoBelow;
    setup.infoAbove = o.infoAbove;
    setup.levelPercent = o.levelPercent;
    setup.loadPercent = o.loadPercent;
    setup.dipPercent = o.dipPercent;
    setup.dropCorrectionAfter = o.dropCorrectionAfter;
    DeviceModel device(setup, QDateTime::currentMSecsSinceEpoch());
    // Device events go to standard error, unless the frame log already writes them there.
    const bool eventsInLog = o.log == QLatin1String("-");
    device.setEventSink([&log, eventsInLog](const QString& text) {
        if (!eventsInLog)
            std::fprintf(stderr, "tervex-sim: %s %s\n", qPrintable(stamp()), qPrintable(text));
        log.line(QStringLiteral("-- ") + text);
    });
    FaultInjector faults(o.faults, seed);

    if (!installSignals()) {
        std::perror("tervex-sim: cannot catch signals");
        return 1;
    }
    std::unique_ptr<Line> line =
        o.device.isEmpty() ? Line::OpenPty(o.link, &error) : Line::OpenDevice(o.device, &error);
    if (!line || !line->configure(device.baud(), device.parity(), &error)) {
        std::fprintf(stderr, "tervex-sim: %s\n", qPrintable(error));
        return 1;
    }

    int baud = device.baud();
    int parity = device.parity();
    auto modbusByteUs = [&] { return o.pace ? ByteTimeUs(baud, parity != kParityNone) : 0; };
    const qint64 sideByteUs = o.pace ? ByteTimeUs(kSideBaud, false) : 0;
    auto silenceUs = [&] {
        return std::max<qint64>(qint64(o.silenceMs) * 1000,
                                ByteTimeUs(baud, parity != kParityNone) * 7 / 2);
    };
    RequestFramer framer(silenceUs());
    Transmitter tx;
    Tally tally;

    // New speed or parity take effect once the reply that confirmed them has left.
    auto followSettings = [&] {
        if (device.baud() == baud && device.parity() == parity)
            return;
        line->drain();
        QString e;
        if (!line->configure(device.baud(), device.parity(), &e))
            std::fprintf(stderr, "tervex-sim: %s\n", qPrintable(e));
        baud = device.baud();
        parity = device.parity();
        framer.setSilence(silenceUs());
        log.line(QStringLiteral("-- line now %1 baud, parity code %2").arg(baud).arg(parity));
    };
    auto queue = [&](const Delivery& d, qint64 nowUs, qint64 byteUs, const QString& what) {
        if (!d.faults.isEmpty())
            log.line(QStringLiteral("-- fault on %1: %2")
                         .arg(what, d.faults.join(QStringLiteral(", "))));
        for (size_t i = 0; i < d.pieces.size(); ++i) {
            const QByteArray& piece = d.pieces[i];
            std::function<void()> onStart;
            if (i == 0) {
                QByteArray whole;
                for (const QByteArray& p : d.pieces)
                    whole += p;
                onStart = [&log, whole, what] {
                    log.line(QStringLiteral("tx %1 (%2)").arg(hex(whole), what));
                };
            }
            tx.send(piece, i == 0 ? nowUs + d.delayUs : 0, i == 0 ? 0 : d.gapUs, byteUs,
                    std::move(onStart));
        }
    };

    std::printf("tervex-sim: ready %s\n", qPrintable(line->path()));
    std::fflush(stdout);

    const double infoRate = o.infoRate > 0 ? o.infoRate : kSignalInfoRate;
    const qint64 infoPeriodUs = qint64(1e6 / infoRate);
    bool infoOn = o.infoRate > 0 && !o.infoPaused;
    qint64 nextInfoUs = infoOn ? monotonicUs() + infoPeriodUs : -1;
    bool peer = line->peerPresent();
    bool stop = false;
    // The master's speed and parity as they were when its latest bytes were read.
    std::optional<LineSettings> masterSettings;

    auto onSignalNumber = [&](int number, qint64 now) {
        switch (number) {
            case SIGUSR1:
                infoOn = !infoOn;
                nextInfoUs = infoOn ? now : -1;
                log.line(infoOn ? QStringLiteral("-- information channel on, %1 packets per second")
                                      .arg(infoRate)
                                : QStringLiteral("-- information channel off"));
                break;
            case SIGUSR2:
                device.setDipped(!device.dipped());
                break;
            case SIGHUP:
                if (device.correctionMode())
                    device.leaveCorrectionMode(QStringLiteral("on SIGHUP"));
                else
                    log.line(QStringLiteral("-- SIGHUP: not in the correction mode"));
                break;
            default:
                stop = true;
                break;
        }
    };

    while (!stop) {
        qint64 now = monotonicUs();
        qint64 wake = now + 1000000;
        for (qint64 t : {tx.nextDueUs(), framer.deadlineUs(), nextInfoUs})
            if (t >= 0)
                wake = std::min(wake, t);
        if (!peer)
            wake = std::min(wake, now + kPeerPollUs);
        const qint64 waitUs = std::max<qint64>(0, wake - now);
        const timespec timeout{time_t(waitUs / 1000000), long(waitUs % 1000000) * 1000};

        // While nobody has the pty open its master reports a hang-up at every poll, so it is
        // left out and looked at again after kPeerPollUs.
        pollfd fds[2] = {{signalPipe[0], POLLIN, 0}, {line->fd(), POLLIN, 0}};
        const int n = ppoll(fds, peer ? 2 : 1, &timeout, nullptr);
        if (n < 0 && errno != EINTR) {
            std::perror("tervex-sim: poll");
            break;
        }
        now = monotonicUs();
        if (fds[0].revents & POLLIN) {
            char numbers[64];
            ssize_t got;
            while ((got = read(signalPipe[0], numbers, sizeof numbers)) > 0) {
                for (ssize_t i = 0; i < got; ++i)
                    onSignalNumber(numbers[i], now);
            }
        }

        const bool present = line->peerPresent();
        if (present != peer) {
            log.line(present ? QStringLiteral("-- a master opened the line")
                             : QStringLiteral("-- the master closed the line"));
            if (!present) {
                tx.clear();
                framer.clear();
                line->discardUnread();
            }
            peer = present;
        }
        if (peer && (fds[1].revents & POLLIN)) {
            char buffer[4096];
            for (;;) {
                const ssize_t got = read(line->fd(), buffer, sizeof buffer);
                if (got > 0) {
                    if (o.strictSpeed)
                        masterSettings = line->peerSettings();
                    framer.feed(buffer, int(got), now);
                    continue;
                }
                if (got < 0 && errno == EINTR)
                    continue;
                break;  // nothing more for now, or EIO when the master has just gone
            }
        }

        for (const RxItem& item : framer.take(now)) {
            if (item.kind == RxItem::Garbage) {
                tally.garbageBytes += quint64(item.bytes.size());
                log.line(QStringLiteral("rx %1 (garbage, skipped)").arg(hex(item.bytes)));
                continue;
            }
            ++tally.requests;
            if (masterSettings) {
                // Bytes sent at another speed or parity than the device listens at would
                // arrive as noise; the device cannot make them out.
                const LineSettings expected = IsRemoteIndicatorFrame(item.bytes)
                                                  ? LineSettings{kSideBaud, kParityNone}
                                                  : LineSettings{baud, parity};
                if (!(*masterSettings == expected)) {
                    ++tally.wrongSettings;
                    log.line(QStringLiteral("rx %1 (ignored: master at %2, device at %3)")
                                 .arg(hex(item.bytes), DescribeLineSettings(*masterSettings),
                                      DescribeLineSettings(expected)));
                    continue;
                }
            }
            device.setTime(QDateTime::currentMSecsSinceEpoch());
            const Answer answer = Respond(device, item.bytes);
            if (answer.kind == Answer::Silent) {
                if (!answer.note.startsWith(QLatin1String("broadcast")))
                    ++tally.otherSlaves;
                log.line(
                    QStringLiteral("rx %1 (not answered: %2)").arg(hex(item.bytes), answer.note));
                tx.then(followSettings);
                continue;
            }
            log.line(QStringLiteral("rx %1").arg(hex(item.bytes)));
            ++tally.answered;
            const bool modbus = answer.kind == Answer::Modbus;
            Delivery d = faults.apply(answer.bytes, modbus ? item.bytes : QByteArray());
            if (answer.store && o.storeDelayMs > 0 && !d.pieces.empty()) {
                d.delayUs += qint64(o.storeDelayMs) * 1000;
                log.line(QStringLiteral("-- store: its confirmation held back %1 ms")
                             .arg(o.storeDelayMs));
            }
            queue(d, now, modbus ? modbusByteUs() : sideByteUs,
                  modbus ? QStringLiteral("reply") : QStringLiteral("remote indicator"));
            tx.then(followSettings);
        }

        if (infoOn && nextInfoUs >= 0 && now >= nextInfoUs) {
            nextInfoUs = std::max(nextInfoUs + infoPeriodUs, now);
            // A packet still waiting for the line is not joined by another: at a rate the line
            // cannot carry, packets are skipped rather than piled up.
            if (peer && tx.idle()) {
                device.setTime(QDateTime::currentMSecsSinceEpoch());
                ++tally.packets;
                queue(faults.apply(device.infoPacket(qint8(o.infoStatus)), {}), now, sideByteUs,
                      QStringLiteral("information packet"));
            }
        }

        if (peer) {
            tx.pump(now, [&](const QByteArray& bytes) {
                const int written = line->write(bytes);
                if (written < bytes.size())
                    tally.lostBytes += quint64(bytes.size() - std::max(written, 0));
            });
        }
    }

    printSummary(tally, faults.counts());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    Options options;
    const QString error = ParseOptions(args, options);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "tervex-sim: %s\nTry 'tervex-sim --help'.\n", qPrintable(error));
        return 2;
    }
    if (options.help) {
        std::fputs(qPrintable(HelpText()), stdout);
        return 0;
    }
    return run(options);
}
