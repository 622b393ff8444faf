// What the main window costs: while it polls the measured values, and at start-up.
//
//   xvfb-run -a bench_gui [--seconds S] [--period MS] [--no-pace] [--census]
//   xvfb-run -a bench_gui --startup [--runs N]
//
// Polling: TForm1 in this process, its COM1 mapped through Tervex.ini (in a temporary working
// directory) to tervex-sim on a fresh virtual line. Automatic polling is switched on, its period
// typed and the read button clicked through the polling group's own controls; then for S
// seconds [60] at a period of MS ms [100] it prints the CPU of this process as a share of one
// core, the replies handled (replyCompleted), time-outs and RSS before and after. The simulator
// answers at the pace of its 9600-baud line, one byte after another, as a device does; with
// --no-pace it answers at once. --census also counts, per widget, the paints, the layout
// requests and the geometry changes while polling, and prints the busiest.
//
// Start-up: runs this program N times [5] as a child that builds and shows either TForm1 or a
// plain QMainWindow with a QLabel (same binary, so the same libraries load), interleaved after
// one discarded run of each. The time is from just before the child is started to just after
// the first paint of its window has been flushed. Prints every run, min and median, and the
// ratio TForm1 / hello world. Both start as the program does (its choice of event loop); the
// TForm1 child also installs Qt's translations as the program does.
//
// Meant for the real xcb platform under xvfb-run; it runs offscreen as well. It prints the
// platform it ran on.
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>
#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMainWindow>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

#include "app/inifile.h"
#include "app/tform1.h"
#include "link/qtserialport.h"
#include "link/timer.h"
#include "simprocess.h"
#include "widgets/messagebox.h"
// The program's own start-up steps, where the tree has them.
#if __has_include("link/eventloop.h")
#include "link/eventloop.h"
#define TERVEX_HAS_EVENT_LOOP_CHOICE 1
#endif
#if __has_include("app/qttranslations.h")
#include "app/qttranslations.h"
#define TERVEX_HAS_QT_TRANSLATIONS 1
#endif

namespace {

struct Options {
    enum class Mode { Polling, Startup, StartupChild };
    Mode mode = Mode::Polling;
    double seconds = 60;
    int periodMs = 100;
    bool noPace = false;
    bool census = false;
    int runs = 5;
    QString child;  // tform1 or hello
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

double rssMb() {
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = f.readAll().split(' ');
    if (fields.size() < 2)
        return -1;
    return fields[1].toDouble() * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

double median(std::vector<double> v) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Runs the event loop until `done` holds (looked at every 10 ms) or `ms` have passed. The loop
// sleeps between events, as the program's does.
template <typename F>
bool runUntil(F&& done, int ms) {
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    check.start(10);
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    if (!done())
        loop.exec();
    return done();
}

// Runs the event loop for `ms` with nothing of its own to do.
void runFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// Which widgets the window repaints or lays out again while polling.
class Census : public QObject {
  public:
    bool eventFilter(QObject* watched, QEvent* e) override {
        const char* kind = nullptr;
        switch (e->type()) {
            case QEvent::Paint:
                kind = "paint";
                break;
            case QEvent::LayoutRequest:
                kind = "layout";
                break;
            case QEvent::Resize:
                kind = "resize";
                break;
            case QEvent::Move:
                kind = "move";
                break;
            default:
                return false;
        }
        const QString key =
            QStringLiteral("%1 %2 %3")
                .arg(QLatin1String(kind), QLatin1String(watched->metaObject()->className()),
                     watched->objectName());
        ++counts_[key];
        return false;
    }
    void print(double seconds) const {
        QList<std::pair<qint64, QString>> rows;
        for (auto it = counts_.cbegin(); it != counts_.cend(); ++it)
            rows.append({it.value(), it.key()});
        std::sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a > b; });
        std::printf("  events per second while polling (busiest 60):\n");
        for (qsizetype i = 0; i < std::min<qsizetype>(60, rows.size()); ++i)
            std::printf("    %8.1f  %s\n", double(rows[i].first) / seconds,
                        qPrintable(rows[i].second));
    }

  private:
    QHash<QString, qint64> counts_;
};

void writeIni(const QString& com1) {
    QFile ini(QStringLiteral("Tervex.ini"));
    if (ini.open(QIODevice::WriteOnly | QIODevice::Truncate))
        ini.write("[Порты]\nCOM1=" + com1.toUtf8() + "\n");
}

int polling(const Options& o) {
    std::printf(
        "window while polling: platform %s, event dispatcher %s, build %s, period %d ms, "
        "%.0f s, simulator %s\n",
        qPrintable(QGuiApplication::platformName()),
        QAbstractEventDispatcher::instance()->metaObject()->className(), TERVEX_BUILD_TYPE,
        o.periodMs, o.seconds, o.noPace ? "answering at once" : "paced at 9600 baud");
    std::fflush(stdout);
    QTemporaryDir work;
    if (!work.isValid() || !QDir::setCurrent(work.path())) {
        std::fprintf(stderr, "bench_gui: no temporary working directory\n");
        return 1;
    }
    SimProcess sim;
    if (!sim.start(o.noPace ? QStringList{QStringLiteral("--no-pace")} : QStringList{})) {
        std::fprintf(stderr, "bench_gui: %s\n", qPrintable(sim.errorString()));
        return 1;
    }
    writeIni(sim.path());
    int messages = 0;
    messagebox::SetAnswerer([&](const QString& text) {
        ++messages;
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    });

    SystemClock clock;
    auto* port = new QtSerialPort([](int n) { return IniFile().portOverride(n); });
    auto form = std::make_unique<TForm1>(port, &clock);
    form->show();
    if (!runUntil([&] { return form->windowHandle() && form->windowHandle()->isExposed(); }, 5000))
        std::fprintf(stderr, "bench_gui: the window was not exposed within 5 s\n");
    // Let the first paint and the start-up work settle before counting.
    runFor(500);

    auto* autoBox = form->findChild<QCheckBox*>(QStringLiteral("CheckBoxAuto"));
    auto* period = form->findChild<QLineEdit*>(QStringLiteral("EditAuto"));
    auto* start = form->findChild<QPushButton*>(QStringLiteral("BitBtnStart"));
    if (!autoBox || !period || !start) {
        std::fprintf(stderr, "bench_gui: polling controls not found\n");
        return 1;
    }
    qint64 replies = 0, timeouts = 0;
    QObject::connect(&form->engine(), &LinkEngine::replyCompleted, form.get(), [&] { ++replies; });
    QObject::connect(&form->engine(), &LinkEngine::timedOut, form.get(), [&] { ++timeouts; });

    Census census;
    if (o.census)
        qApp->installEventFilter(&census);
    const double rssStart = rssMb();
    const double cpuStart = cpuSeconds();
    const qint64 wallStart = monotonicNs();
    if (!autoBox->isChecked())
        autoBox->click();
    period->setText(QString::number(o.periodMs));
    start->click();
    runFor(int(o.seconds * 1000));
    const double cpu = cpuSeconds() - cpuStart;
    const double wall = double(monotonicNs() - wallStart) / 1e9;
    const double rssEnd = rssMb();
    start->click();  // stop polling

    const LinkStatistics& s = form->engine().statistics();
    std::printf("  CPU %.1f %% of one core over %.1f s (%.1f us per reply)\n", 100.0 * cpu / wall,
                wall, replies ? cpu * 1e6 / double(replies) : 0.0);
    std::printf(
        "  replies handled %lld (%.2f per s), requests %u, time-outs %lld, checksum "
        "errors %u, messages %d\n",
        static_cast<long long>(replies), double(replies) / wall, s.total,
        static_cast<long long>(timeouts), s.crcErrors, messages);
    std::printf("  RSS at start %.1f MB, at end %.1f MB\n", rssStart, rssEnd);
    if (o.census) {
        qApp->removeEventFilter(&census);
        census.print(wall);
    }
    form.reset();
    messagebox::SetAnswerer({});
    return 0;
}

// A child of the start-up mode: builds and shows its window and prints the monotonic time at
// which the first paint of that window had been flushed.
int startupChild(const Options& o) {
    QLoggingCategory::setFilterRules(QStringLiteral("tervex.*.debug=false"));
    messagebox::SetAnswerer(
        [](const QString& text) { std::fprintf(stderr, "message: %s\n", qPrintable(text)); });
    std::unique_ptr<QMainWindow> window;
    SystemClock clock;
    if (o.child == u"tform1") {
#ifdef TERVEX_HAS_QT_TRANSLATIONS
        InstallQtTranslations(*qApp);
#endif
        auto* port = new QtSerialPort([](int n) { return IniFile().portOverride(n); });
        window = std::make_unique<TForm1>(port, &clock);
    } else {
        window = std::make_unique<QMainWindow>();
        window->setCentralWidget(new QLabel(QStringLiteral("Hello, world"), window.get()));
    }

    // The first paint of any widget of the window starts a paint pass; a zero timer posted then
    // runs once that pass and its flush are over.
    struct FirstPaint : QObject {
        QWidget* top = nullptr;
        bool seen = false;
        bool eventFilter(QObject* watched, QEvent* e) override {
            if (!seen && e->type() == QEvent::Paint && watched->isWidgetType() &&
                static_cast<QWidget*>(watched)->window() == top) {
                seen = true;
                QTimer::singleShot(0, this, [] {
                    std::printf("painted %lld\n", static_cast<long long>(monotonicNs()));
                    std::fflush(stdout);
                    QCoreApplication::exit(0);
                });
            }
            return false;
        }
    } filter;
    filter.top = window.get();
    qApp->installEventFilter(&filter);
    window->show();
    QTimer::singleShot(20000, qApp, [] { QCoreApplication::exit(3); });
    const int rc = QApplication::exec();
    qApp->removeEventFilter(&filter);
    messagebox::SetAnswerer({});
    return rc;
}

// Milliseconds from just before the start of a child to the flushed first paint; nullopt when
// the child did not report one.
std::optional<double> startupRun(const QString& kind) {
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const qint64 before = monotonicNs();
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--startup-child"), kind});
    if (!child.waitForFinished(30000)) {
        child.kill();
        child.waitForFinished(1000);
        return std::nullopt;
    }
    for (const QByteArray& line : child.readAllStandardOutput().split('\n')) {
        if (line.startsWith("painted ")) {
            bool ok = false;
            const qint64 at = line.mid(8).toLongLong(&ok);
            if (ok)
                return double(at - before) / 1e6;
        }
    }
    return std::nullopt;
}

int startup(const Options& o) {
    std::printf("start-up to first paint: platform %s, build %s, %d runs each\n",
                qPrintable(QGuiApplication::platformName()), TERVEX_BUILD_TYPE, o.runs);
    std::fflush(stdout);
    QTemporaryDir work;
    if (!work.isValid() || !QDir::setCurrent(work.path())) {
        std::fprintf(stderr, "bench_gui: no temporary working directory\n");
        return 1;
    }
    // A port that is never opened: start-up must not depend on a device.
    writeIni(work.filePath(QStringLiteral("no-such-line")));
    const QStringList kinds{QStringLiteral("hello"), QStringLiteral("tform1")};
    for (const QString& kind : kinds)
        startupRun(kind);  // warms the page cache; not counted
    std::vector<double> times[2];
    int failed = 0;
    for (int run = 0; run < o.runs; ++run) {
        for (int k = 0; k < 2; ++k) {
            const std::optional<double> ms = startupRun(kinds[k]);
            if (ms) {
                times[k].push_back(*ms);
                std::printf("  run %d %-6s %8.1f ms\n", run + 1, qPrintable(kinds[k]), *ms);
            } else {
                ++failed;
                std::printf("  run %d %-6s no first paint reported\n", run + 1,
                            qPrintable(kinds[k]));
            }
            std::fflush(stdout);
        }
    }
    for (int k = 0; k < 2; ++k) {
        if (times[k].empty())
            continue;
        std::printf("  %-6s min %8.1f ms  median %8.1f ms\n", qPrintable(kinds[k]),
                    *std::min_element(times[k].begin(), times[k].end()), median(times[k]));
    }
    if (!times[0].empty() && !times[1].empty()) {
        std::printf("  ratio tform1 / hello: min %.2f, median %.2f\n",
                    *std::min_element(times[1].begin(), times[1].end()) /
                        *std::min_element(times[0].begin(), times[0].end()),
                    median(times[1]) / median(times[0]));
    }
    return failed ? 1 : 0;
}

std::optional<Options> parse(const QStringList& args, QString* error) {
    Options o;
    for (int i = 1; i < args.size(); ++i) {
        const QString& name = args[i];
        if (name == u"--startup") {
            o.mode = Options::Mode::Startup;
            continue;
        }
        if (name == u"--census") {
            o.census = true;
            continue;
        }
        if (name == u"--no-pace") {
            o.noPace = true;
            continue;
        }
        if (i + 1 >= args.size()) {
            *error = name + QStringLiteral(" needs a value");
            return std::nullopt;
        }
        const QString value = args[++i];
        bool ok = false;
        if (name == u"--seconds") {
            o.seconds = value.toDouble(&ok);
            ok = ok && o.seconds > 0;
        } else if (name == u"--period") {
            o.periodMs = value.toInt(&ok);
            ok = ok && o.periodMs >= 0 && o.periodMs <= PollingGroup::kMaxPeriodMs;
        } else if (name == u"--runs") {
            o.runs = value.toInt(&ok);
            ok = ok && o.runs > 0;
        } else if (name == u"--startup-child") {
            o.mode = Options::Mode::StartupChild;
            o.child = value;
            ok = value == u"tform1" || value == u"hello";
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

}  // namespace

int main(int argc, char** argv) {
    // As the program starts, for both windows alike.
#ifdef TERVEX_HAS_EVENT_LOOP_CHOICE
    PreferUnixEventDispatcher();
#endif
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QApplication app(argc, argv);
    QString error;
    const std::optional<Options> o = parse(app.arguments(), &error);
    if (!o) {
        std::fprintf(stderr, "bench_gui: %s\n", qPrintable(error));
        return 2;
    }
    switch (o->mode) {
        case Options::Mode::StartupChild:
            return startupChild(*o);
        case Options::Mode::Startup:
            return startup(*o);
        case Options::Mode::Polling:
            break;
    }
    // As in the program: the frame log is for diagnosis and would dominate the figures.
    QLoggingCategory::setFilterRules(QStringLiteral("tervex.*.debug=false"));
    return polling(*o);
}
