// The real main window in-process, its COM1 mapped to the simulated transducer on a
// virtual serial line.
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <memory>

#include "app/inifile.h"
#include "app/tform1.h"
#include "link/qtserialport.h"
#include "link/timer.h"
#include "messagebox_seam.h"
#include "widgets/sevensegment.h"

namespace {

// The simulator as a child process, ended by its PID.
class Simulator {
  public:
    explicit Simulator(const QStringList& options) {
        link_ = dir_.filePath(QStringLiteral("line"));
        process_.setProgram(QStringLiteral(TERVEX_SIM_PATH));
        process_.setArguments(options + QStringList{QStringLiteral("--link"), link_});
        process_.start();
        ready_ = process_.waitForStarted(5000) && process_.waitForReadyRead(5000) &&
                 process_.readLine().startsWith("tervex-sim: ready");
    }
    ~Simulator() {
        if (process_.state() == QProcess::NotRunning)
            return;
        ::kill(pid_t(process_.processId()), SIGCONT);
        process_.terminate();
        if (!process_.waitForFinished(3000)) {
            process_.kill();
            process_.waitForFinished(3000);
        }
    }
    bool ready() const { return ready_; }
    QString link() const { return link_; }
    void pause() { ::kill(pid_t(process_.processId()), SIGSTOP); }
    // Ends the simulator and returns what it printed, its closing counts included.
    QString finish() {
        process_.terminate();
        process_.waitForFinished(5000);
        return QString::fromUtf8(process_.readAllStandardOutput() +
                                 process_.readAllStandardError());
    }
    static int count(const QString& report, const QString& what) {
        const QRegularExpressionMatch m =
            QRegularExpression(what + QStringLiteral(" (\\d+)")).match(report);
        return m.hasMatch() ? m.captured(1).toInt() : -1;
    }

  private:
    QTemporaryDir dir_;
    QString link_;
    QProcess process_;
    bool ready_ = false;
};

struct Window {
    SystemClock clock;
    MessageRecorder messages;
    std::unique_ptr<TForm1> form;
    explicit Window(const QString& line) {
        QFile ini(QStringLiteral("Tervex.ini"));
        if (ini.open(QIODevice::WriteOnly | QIODevice::Truncate))
            ini.write("[Порты]\nCOM1=" + line.toUtf8() + "\n");
        ini.close();
        auto* port = new QtSerialPort([](int n) { return IniFile().portOverride(n); });
        form = std::make_unique<TForm1>(port, &clock);
    }
    QString text(const char* name) {
        if (auto* e = form->findChild<QLineEdit*>(QString::fromLatin1(name)))
            return e->text();
        return form->findChild<QLabel*>(QString::fromLatin1(name))->text();
    }
    void read() { form->findChild<QPushButton*>(QStringLiteral("BitBtnStart"))->click(); }
};

const char* const kFields[] = {
    "EditUa",    "EditUb",    "EditUc",    "EditU",    "EditUab", "EditUbc", "EditUca", "EditUL",
    "EditIa",    "EditIb",    "EditIc",    "EditI",    "EditPa",  "EditPb",  "EditPc",  "EditP",
    "EditQa",    "EditQb",    "EditQc",    "EditQ",    "EditSa",  "EditSb",  "EditSc",  "EditS",
    "EditCosFa", "EditCosFb", "EditCosFc", "EditCosF", "EditFrec"};

}  // namespace

class EndToEndTest : public QObject {
    Q_OBJECT
  private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void oneReadFillsAllFields() {
        Simulator sim({QStringLiteral("--seed"), QStringLiteral("1"), QStringLiteral("--no-info"),
                       QStringLiteral("27")});
        QVERIFY(sim.ready());
        Window w(sim.link());
        w.read();
        QTRY_COMPARE_WITH_TIMEOUT(w.text("StaticTextTimeMeasure").isEmpty(), false, 4000);
        for (const char* name : kFields) {
            if (qstrcmp(name, "EditI") == 0)
                continue;
            bool ok = false;
            QLocale().toDouble(w.text(name), &ok);
            QVERIFY2(ok, name);
        }
        QCOMPARE(w.text("EditI"), QStringLiteral("нет информ."));
        const double f = QLocale().toDouble(w.text("EditFrec"));
        QVERIFY(f > 45 && f < 55);
        const double u = QLocale().toDouble(w.text("EditUa"));
        QVERIFY(u > 200 && u < 260);
        QVERIFY(w.messages.messages.isEmpty());
    }

    // The indicator view: the first read brings the lines' names, units and exponents, the
    // second the values, rendered on the digits.
    void indicatorViewShowsTheDevicesLines() {
        Simulator sim({});
        QVERIFY(sim.ready());
        Window w(sim.link());
        w.form->findChild<QTabWidget*>(QStringLiteral("PageControl_Tervex"))->setCurrentIndex(1);
        w.read();
        QTRY_VERIFY_WITH_TIMEOUT(!w.text("LabelLineName0").isEmpty(), 4000);
        QTRY_VERIFY_WITH_TIMEOUT(
            w.form->findChild<QPushButton*>(QStringLiteral("BitBtnStart"))->isEnabled(), 4000);
        for (const char* name : {"LabelLineName1", "LabelLineName2", "LabelLine0"})
            QVERIFY2(!w.text(name).isEmpty(), name);
        w.read();
        auto lit = [&] {
            int segments = 0;
            for (const char* name : {"VrDigit11", "VrDigit12", "VrDigit13", "VrDigit14"}) {
                segments +=
                    w.form->findChild<SevenSegmentDigit*>(QString::fromLatin1(name))->segments();
            }
            return segments;
        };
        QTRY_VERIFY_WITH_TIMEOUT(lit() > 0, 4000);
        QVERIFY(w.messages.messages.isEmpty());
    }

    void silentDeviceTimesOut() {
        Simulator sim({});
        QVERIFY(sim.ready());
        Window w(sim.link());
        sim.pause();
        w.read();
        QTRY_COMPARE_WITH_TIMEOUT(w.text("StaticTextNoAnsw"), QStringLiteral("1"), 5000);
        QCOMPARE(w.form->findChild<QLabel*>(QStringLiteral("StatusPanel1"))->text(),
                 QStringLiteral("  Нет ответа от устройства !"));
        QVERIFY(w.text("EditUa").isEmpty());
    }

    void pollingCountersMatchInjectedFaults() {
        Simulator sim({QStringLiteral("--seed"), QStringLiteral("5"), QStringLiteral("--no-pace"),
                       QStringLiteral("--drop-rate"), QStringLiteral("0.15"),
                       QStringLiteral("--corrupt-rate"), QStringLiteral("0.15"),
                       QStringLiteral("--fragment-rate"), QStringLiteral("0.3")});
        QVERIFY(sim.ready());
        Window w(sim.link());
        w.form->findChild<QCheckBox*>(QStringLiteral("CheckBoxAuto"))->setChecked(true);
        w.read();
        QTest::qWait(8000);
        w.read();  // stop
        // The last request is answered or times out before the counts are compared.
        QTRY_VERIFY_WITH_TIMEOUT(!w.form->engine().awaitingReply(), 15000);
        const QString report = sim.finish();
        const int dropped = Simulator::count(report, QStringLiteral("dropped"));
        const int corrupted = Simulator::count(report, QStringLiteral("corrupted"));
        QVERIFY2(dropped >= 0 && corrupted >= 0, qPrintable(report));
        QVERIFY2(dropped + corrupted > 0, qPrintable(report));
        auto counter = [&](const char* name) {
            return w.text(name).isEmpty() ? 0 : w.text(name).toInt();
        };
        // A corrupted reply is a checksum error and then, as nothing else comes, a time-out.
        QCOMPARE(counter("StaticTextErrCRC"), corrupted);
        QCOMPARE(counter("StaticTextNoAnsw"), dropped + corrupted);
        QCOMPARE(counter("StaticTextAllEnquiry"),
                 Simulator::count(report, QStringLiteral("requests")));
    }

    void exceptionReplyShowsItsText() {
        Simulator sim({QStringLiteral("--exception-rate"), QStringLiteral("1")});
        QVERIFY(sim.ready());
        Window w(sim.link());
        w.read();
        QTRY_COMPARE_WITH_TIMEOUT(w.messages.messages.size(), 1, 4000);
        QCOMPARE(w.messages.messages.first(),
                 QStringLiteral("Подчиненный занят обработкой команды"));
        QTest::qWait(3300);
        QVERIFY(w.text("StaticTextNoAnsw").isEmpty());
        QVERIFY(w.text("StaticTextTimeMeasure").isEmpty());
    }
};

QTEST_MAIN(EndToEndTest)
#include "wire_e2e.moc"
