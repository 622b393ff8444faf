// A long run of measured-value reads against tervex-sim with faults on the line: the link
// engine over the real serial port layer and the system clock, one read after another as the
// polling group sends them. Prints what the simulator injected beside what the link counted,
// the requests that never ended, the longest stall and the memory at start and end.
//
//   soak [--count N] [--rate P] [--timeout MS] [--seed S]
//
// --count   reads to send [100000]
// --rate    total fault rate, shared equally by dropped, corrupted, fragmented and refused
//           replies [0.10]
// --timeout reply time-out in ms [3000, the engine's own]; a shorter one is set on the
//           engine's timer after every send and every arrival of bytes, as the engine itself
//           sets its 3 s, so that the time-outs of a long run do not take hours
// --seed    seed of the simulator's faults [1]
//
// The simulator runs on a fresh virtual line with --no-pace and logs every frame; the log
// says, reply by reply, which faults went out together, which the closing counts cannot.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QTextStream>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <optional>

#include "link/crc.h"
#include "link/engine.h"
#include "link/qtserialport.h"
#include "link/timer.h"
#include "measure/catalogue.h"
#include "simprocess.h"

namespace {

struct Options {
    qint64 count = 100000;
    double rate = 0.10;
    int timeoutMs = LinkEngine::kReplyTimeoutMs;
    quint64 seed = 1;
};

std::optional<Options> parse(const QStringList& args, QString* error) {
    Options o;
    for (int i = 1; i < args.size(); ++i) {
        const QString& name = args[i];
        if (i + 1 >= args.size()) {
            *error = name + QStringLiteral(" needs a value");
            return std::nullopt;
        }
        const QString value = args[++i];
        bool ok = false;
        if (name == u"--count") {
            o.count = value.toLongLong(&ok);
            ok = ok && o.count > 0;
        } else if (name == u"--rate") {
            o.rate = value.toDouble(&ok);
            ok = ok && o.rate >= 0 && o.rate <= 1;
        } else if (name == u"--timeout") {
            o.timeoutMs = value.toInt(&ok);
            ok = ok && o.timeoutMs >= 50;
        } else if (name == u"--seed") {
            o.seed = value.toULongLong(&ok);
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

double rssMb() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return -1;
}

// What the simulator says it did when it ends.
struct SimCounts {
    qint64 requests = -1, answered = -1;
    qint64 dropped = -1, corrupted = -1, exceptions = -1, garbage = -1, fragmented = -1;
};

SimCounts parseSummary(const QByteArray& out) {
    SimCounts c;
    const QString text = QString::fromLocal8Bit(out);
    const QRegularExpression requests(QStringLiteral(R"(requests (\d+) \(answered (\d+))"));
    const QRegularExpression faults(QStringLiteral(
        R"(dropped (\d+), corrupted (\d+), exceptions (\d+), garbage bursts (\d+), fragmented (\d+))"));
    if (const auto m = requests.match(text); m.hasMatch()) {
        c.requests = m.captured(1).toLongLong();
        c.answered = m.captured(2).toLongLong();
    }
    if (const auto m = faults.match(text); m.hasMatch()) {
        c.dropped = m.captured(1).toLongLong();
        c.corrupted = m.captured(2).toLongLong();
        c.exceptions = m.captured(3).toLongLong();
        c.garbage = m.captured(4).toLongLong();
        c.fragmented = m.captured(5).toLongLong();
    }
    return c;
}

// Reply by reply from the frame log: what each reply that went out must do to the link.
struct Expected {
    qint64 dropped = 0;          // no reply: a time-out
    qint64 good = 0;             // right checksum, normal: handled
    qint64 goodInPieces = 0;     // of those, sent in pieces
    qint64 refused = 0;          // right checksum, exception: an exception reply
    qint64 badChecksum = 0;      // wrong checksum, read at its length: a checksum error
    qint64 corruptedUnread = 0;  // wrong checksum and too short to be read: only the time-out
    qint64 corruptedRefusals = 0;
    qint64 faultLines = 0, corruptedLines = 0, exceptionLines = 0, fragmentLines = 0;
};

Expected parseLog(const QString& path, int replyLength) {
    Expected e;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return e;
    QStringList pending;
    while (!f.atEnd()) {
        const QByteArray line = f.readLine().trimmed();
        const qsizetype fault = line.indexOf(" -- fault on reply: ");
        if (fault >= 0) {
            ++e.faultLines;
            pending = QString::fromUtf8(line.mid(fault + 20)).split(QStringLiteral(", "));
            const bool corrupted =
                std::any_of(pending.cbegin(), pending.cend(),
                            [](const QString& s) { return s.startsWith(u"corrupted"); });
            const bool refused =
                std::any_of(pending.cbegin(), pending.cend(),
                            [](const QString& s) { return s.startsWith(u"exception"); });
            e.corruptedLines += corrupted;
            e.exceptionLines += refused;
            e.corruptedRefusals += corrupted && refused;
            e.fragmentLines += std::any_of(pending.cbegin(), pending.cend(),
                                           [](const QString& s) { return s.startsWith(u"in "); });
            if (pending.contains(QStringLiteral("dropped"))) {
                ++e.dropped;
                pending.clear();
            }
            continue;
        }
        const qsizetype tx = line.indexOf(" tx ");
        if (tx < 0 || !line.endsWith("(reply)"))
            continue;
        const QByteArray frame =
            QByteArray::fromHex(line.mid(tx + 4, line.size() - tx - 4 - 7).replace(' ', ""));
        const bool inPieces = std::any_of(pending.cbegin(), pending.cend(),
                                          [](const QString& s) { return s.startsWith(u"in "); });
        pending.clear();
        const bool checksumRight = ModbusCrc16(reinterpret_cast<const quint8*>(frame.constData()),
                                               quint16(frame.size())) == 0;
        const bool looksRefused = frame.size() >= 2 && (quint8(frame[1]) & 0x80);
        if (checksumRight && looksRefused) {
            ++e.refused;
        } else if (checksumRight) {
            ++e.good;
            e.goodInPieces += inPieces;
        } else if (looksRefused || frame.size() >= replyLength) {
            ++e.badChecksum;
        } else {
            ++e.corruptedUnread;
        }
    }
    return e;
}

class Soak : public QObject {
  public:
    Soak(const Options& o, const QString& line)
        : o_(o),
          port_([line](int) { return line; }),
          engine_(&port_, &clock_, nullptr),
          request_(ReadMeasuredBlock(1)) {
        port_.setComNumber(1);
        engine_.setReplyHandler(this, RequestCode::MeasuredBlock,
                                [this](const quint8* reply, int length) {
                                    if (length != kMeasuredBlockReplyLength) {
                                        ++wrongLength_;
                                        return;
                                    }
                                    float sum = 0;
                                    for (int k = 0; k < kParameterCount; ++k)
                                        sum += FloatAt(reply + 3, k).value;
                                    checksum_ += double(sum);
                                });
        request_.Sender = this;
        connect(&engine_, &LinkEngine::replyCompleted, this, [this] {
            ++completed_;
            if (eventsThisExchange_ > 1)
                ++inPieces_;
            longestReply_ = std::max(longestReply_, sinceSend_.elapsed());
            exchangeEnded();
        });
        connect(&engine_, &LinkEngine::exceptionReply, this, [this](quint8, const QString&) {
            ++refused_;
            longestReply_ = std::max(longestReply_, sinceSend_.elapsed());
            exchangeEnded();
        });
        connect(&engine_, &LinkEngine::timedOut, this, [this] { exchangeEnded(); });
        connect(&engine_, &LinkEngine::errorReport, this,
                [this](const QString& text) { errors_ << text; });
        // After the engine's own handler, which sets its 3 s on every arrival.
        connect(&port_, &SerialPort::triggerAvail, this, [this](int) {
            ++eventsThisExchange_;
            if (o_.timeoutMs != LinkEngine::kReplyTimeoutMs)
                engine_.timerWaitAnsw()->setInterval(o_.timeoutMs);
        });
        // A request that neither ends with a reply nor times out is a hang: noted, and the
        // next one is sent so that the run goes on.
        watchdog_.setInterval(1000);
        connect(&watchdog_, &QTimer::timeout, this, [this] {
            if (sinceProgress_.elapsed() > 2 * o_.timeoutMs + 5000) {
                ++hangs_;
                std::printf("soak: request %lld has not ended after %lld ms\n", sent_,
                            sinceProgress_.elapsed());
                std::fflush(stdout);
                exchangeEnded();
            }
        });
    }

    void run() {
        sinceProgress_.start();
        watchdog_.start();
        sendNext();
        QCoreApplication::exec();
    }

    void print(const SimCounts& sim, const Expected& e) const {
        const LinkStatistics& s = stats_;
        std::printf(
            "requests sent %lld, counted by the link %u; the simulator took %lld and "
            "answered %lld\n",
            sent_, s.total, sim.requests, sim.answered);
        std::printf("%-12s %9s %9s %9s  %s\n", "kind", "injected", "expected", "counted",
                    "counted as");
        std::printf("%-12s %9lld %9lld %9s  %s\n", "dropped", sim.dropped, e.dropped, "-",
                    "time-outs without a reply (below)");
        std::printf("%-12s %9lld %9lld %9u  %s\n", "corrupted", sim.corrupted, e.badChecksum,
                    s.crcErrors, "checksum errors");
        std::printf("%-12s %9lld %9lld %9lld  %s\n", "exception", sim.exceptions, e.refused,
                    refused_, "exception replies");
        std::printf("%-12s %9lld %9lld %9lld  %s\n", "fragmented", sim.fragmented, e.goodInPieces,
                    inPieces_, "good replies that came in more than one read (see below)");
        std::printf("%-12s %9s %9lld %9u  %s\n", "time-outs", "-",
                    e.dropped + e.badChecksum + e.corruptedUnread, s.unanswered,
                    "dropped + every corrupted reply (a wrong checksum waits for its time-out)");
        std::printf("%-12s %9s %9lld %9lld  %s\n", "handled", "-", e.good, completed_,
                    "replies that reached the handler");
        if (e.corruptedRefusals > 0)
            std::printf(
                "  %lld refusals were corrupted too: they count as checksum errors, not "
                "as exception replies\n",
                e.corruptedRefusals);
        if (e.corruptedUnread > 0)
            std::printf(
                "  %lld corrupted refusals lost the top bit of their function code: too "
                "short for a normal reply, they end in a time-out with no checksum error\n",
                e.corruptedUnread);
        std::printf("hangs (requests never ended): %lld\n", hangs_);
        std::printf("longest stall (no exchange ending): %lld ms; longest reply: %lld ms\n",
                    longestStall_, longestReply_);
        std::printf("replies of a wrong length at the handler: %lld; operator errors: %lld\n",
                    wrongLength_, qint64(errors_.size()));
        for (const QString& text : errors_.mid(0, 5))
            std::printf("  %s\n", qPrintable(text));
    }

    // Every counter equal to what went out.
    bool agrees(const SimCounts& sim, const Expected& e) const {
        const LinkStatistics& s = stats_;
        return sim.requests == sent_ && s.total == quint32(sent_) && hangs_ == 0 &&
               wrongLength_ == 0 && sim.dropped == e.dropped && sim.corrupted == e.corruptedLines &&
               sim.exceptions == e.exceptionLines && sim.fragmented == e.fragmentLines &&
               s.crcErrors == quint32(e.badChecksum) && refused_ == e.refused &&
               completed_ == e.good &&
               s.unanswered == quint32(e.dropped + e.badChecksum + e.corruptedUnread);
    }

    const LinkStatistics& statistics() const { return stats_; }

  private:
    void exchangeEnded() {
        longestStall_ = std::max(longestStall_, sinceProgress_.elapsed());
        sinceProgress_.restart();
        stats_ = engine_.statistics();
        // Not from inside the engine's signal: it still closes the exchange after it.
        QTimer::singleShot(0, this, &Soak::sendNext);
    }

    void sendNext() {
        if (sent_ >= o_.count) {
            stats_ = engine_.statistics();
            QCoreApplication::quit();
            return;
        }
        if (sent_ > 0 && sent_ % 10000 == 0) {
            std::printf("soak: %lld sent, %.1f MB\n", sent_, rssMb());
            std::fflush(stdout);
        }
        eventsThisExchange_ = 0;
        sinceSend_.start();
        ++sent_;
        if (!engine_.SendInquiry(request_)) {
            std::printf("soak: request %lld could not be sent: %s\n", sent_,
                        qPrintable(port_.errorString()));
            QCoreApplication::exit(1);
            return;
        }
        if (o_.timeoutMs != LinkEngine::kReplyTimeoutMs)
            engine_.timerWaitAnsw()->setInterval(o_.timeoutMs);
    }

    Options o_;
    SystemClock clock_;
    QtSerialPort port_;
    LinkEngine engine_;
    RequestRecord request_;
    QTimer watchdog_;
    QElapsedTimer sinceSend_, sinceProgress_;
    qint64 sent_ = 0, completed_ = 0, refused_ = 0, inPieces_ = 0, hangs_ = 0, wrongLength_ = 0;
    qint64 longestStall_ = 0, longestReply_ = 0;
    int eventsThisExchange_ = 0;
    double checksum_ = 0;
    QStringList errors_;
    LinkStatistics stats_;
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // Frame logs of a long run would cost more than the run; what counts is printed below.
    QLoggingCategory::setFilterRules(QStringLiteral("tervex.*=false"));
    QString error;
    const std::optional<Options> o = parse(app.arguments(), &error);
    if (!o) {
        std::fprintf(stderr,
                     "soak: %s\nusage: soak [--count N] [--rate P] [--timeout MS] "
                     "[--seed S]\n",
                     qPrintable(error));
        return 2;
    }
    const double each = o->rate / 4;
    const QString rate = QString::number(each, 'g', 6);
    SimProcess sim;
    const QString log = QDir::temp().filePath(
        QStringLiteral("tervex-soak-%1.log").arg(QCoreApplication::applicationPid()));
    if (!sim.start({QStringLiteral("--no-pace"), QStringLiteral("--seed"), QString::number(o->seed),
                    QStringLiteral("--drop-rate"), rate, QStringLiteral("--corrupt-rate"), rate,
                    QStringLiteral("--fragment-rate"), rate, QStringLiteral("--exception-rate"),
                    rate, QStringLiteral("--log"), log})) {
        std::fprintf(stderr, "soak: %s\n", qPrintable(sim.errorString()));
        return 1;
    }
    std::printf(
        "soak: %lld reads of the measured block against tervex-sim --no-pace, seed %llu; "
        "dropped, corrupted, fragmented and refused replies at %s each; reply time-out "
        "%d ms\n",
        o->count, (unsigned long long)o->seed, qPrintable(rate), o->timeoutMs);
    std::fflush(stdout);

    Soak soak(*o, sim.path());
    const double rssStart = rssMb();
    QElapsedTimer wall;
    wall.start();
    soak.run();
    const qint64 seconds = wall.elapsed() / 1000;
    const double rssEnd = rssMb();

    int exitCode = -1;
    const SimCounts counts = parseSummary(sim.stop(&exitCode));
    const Expected expected = parseLog(log, kMeasuredBlockReplyLength);
    QFile::remove(log);
    std::printf("ran %lld s\n", seconds);
    soak.print(counts, expected);
    std::printf("memory (VmRSS): %.1f MB at start, %.1f MB at the end\n", rssStart, rssEnd);
    const bool ok = soak.agrees(counts, expected);
    std::printf(ok ? "every counter equals what was injected\n"
                   : "COUNTERS DIFFER from what was injected\n");
    return ok ? 0 : 1;
}
