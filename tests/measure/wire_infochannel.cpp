// The information-channel view on a virtual serial line to tervex-sim sending its packets:
// the view shows them without sending a request, and reports their absence once the stream
// stops.
#include <signal.h>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QtTest>
#include <memory>

#include "measure/infochannelview.h"
#include "pagebench.h"

namespace {

constexpr int kWaitMs = 10000;

const QLocale kRussian(QLocale::Russian, QLocale::Russia);

struct Wire {
    WireBench bench;
    QObject timers;
    std::unique_ptr<InfoChannelView> view;
    QStringList statuses;

    bool start(const QStringList& options) {
        if (!bench.start(QStringList{QStringLiteral("--log"), QStringLiteral("-")} + options))
            return false;
        bench.portSettings->applyFixed9600();
        LinkTimer* timer = bench.clock.createTimer(&timers);
        timer->setInterval(1000);
        timer->setEnabled(true);
        view = std::make_unique<InfoChannelView>(bench.context(), timer);
        view->setLocale(kRussian);
        QObject::connect(view.get(), &InfoChannelView::statusText, view.get(),
                         [this](const QString& t) { statuses << t; });
        view->EnterChannelMode();
        return true;
    }
    QString text(const char* name) const {
        if (auto* e = view->findChild<QLineEdit*>(QLatin1String(name)))
            return e->text();
        return view->findChild<QLabel*>(QLatin1String(name))->text();
    }
    double number(const char* name) const {
        QString t = text(name);
        t.remove(kRussian.groupSeparator());
        bool ok = false;
        const double v = kRussian.toDouble(t, &ok);
        return ok ? v : -1e9;
    }
    // Frames the simulator received.
    QStringList received() {
        QStringList out;
        for (const QByteArray& line : bench.sim.standardError().split('\n')) {
            const QString l = QString::fromUtf8(line);
            if (l.contains(QLatin1String(" rx ")))
                out << l;
        }
        return out;
    }
};

bool within(double v, double low, double high) {
    return v >= low && v <= high;
}

}  // namespace

class InfoChannelWireTest : public QObject {
    Q_OBJECT
  private slots:
    void showsTheStreamAndItsEnd();
    void deviceErrorAndMissingValues();
};

void InfoChannelWireTest::showsTheStreamAndItsEnd() {
    Wire w;
    // Frequency above its range, total active power below it.
    QVERIFY2(
        w.start({QStringLiteral("--info-rate"), QStringLiteral("5"), QStringLiteral("--info-above"),
                 QStringLiteral("25"), QStringLiteral("--info-below"), QStringLiteral("21")}),
        qPrintable(w.bench.sim.errorString()));

    QTRY_COMPARE_WITH_TIMEOUT(w.text("StaticTextDevSatus"), QStringLiteral("  норма"), kWaitMs);
    // The simulator's rated values: 230.9 V and 5 A, connected in three elements.
    QCOMPARE(w.text("StaticTextRelU"), QStringLiteral("230,90"));
    QCOMPARE(w.text("StaticTextRelI"), QStringLiteral("5,00"));
    QCOMPARE(w.text("StaticTextVers"), QStringLiteral("21"));
    // A 230/400 V network with a few amperes of load, scaled back from relative values.
    QVERIFY2(within(w.number("EditChanUa"), 200, 260), qPrintable(w.text("EditChanUa")));
    QVERIFY2(within(w.number("EditChanU"), 200, 260), qPrintable(w.text("EditChanU")));
    QVERIFY2(within(w.number("EditChanUab"), 350, 450), qPrintable(w.text("EditChanUab")));
    QVERIFY2(within(w.number("EditChanIa"), 0.1, 20), qPrintable(w.text("EditChanIa")));
    QVERIFY2(within(w.number("EditChanCosFa"), 0.5, 1), qPrintable(w.text("EditChanCosFa")));
    QCOMPARE(w.text("EditChanFrec"), QStringLiteral("55.000"));
    // -1.3 × 1.3 × 3 × 230.9 × 5, without grouping; the simulator's rated voltage has been
    // through a factor of 1.3 and back, so the last place may differ.
    QVERIFY2(
        QRegularExpression(QStringLiteral("^-5853,31\\d$")).match(w.text("EditChanP")).hasMatch(),
        qPrintable(w.text("EditChanP")));
    QCOMPARE(w.text("LabelChanInfoMess"), QString());

    ::kill(pid_t(w.bench.sim.pid()), SIGUSR1);  // stops the stream
    QTRY_COMPARE_WITH_TIMEOUT(w.text("LabelChanInfoMess"), QStringLiteral("информация отсутствует"),
                              kWaitMs);
    QCOMPARE(w.text("EditChanUa"), QString());
    QCOMPARE(w.text("StaticTextDevSatus"), QString());

    // While the view listened, nothing was asked of the device.
    QCOMPARE(w.received(), QStringList());
    QCOMPARE(w.bench.engine->statistics().total, 0u);
}

void InfoChannelWireTest::deviceErrorAndMissingValues() {
    Wire w;
    QVERIFY2(w.start({QStringLiteral("--info-rate"), QStringLiteral("3"),
                      QStringLiteral("--info-status"), QStringLiteral("-5"),
                      QStringLiteral("--no-info"), QStringLiteral("3")}),
             qPrintable(w.bench.sim.errorString()));
    QTRY_COMPARE_WITH_TIMEOUT(w.text("StaticTextDevSatus"), QStringLiteral("ошибка: -5"), kWaitMs);
    QCOMPARE(w.text("EditChanIa"), QStringLiteral(" ------------------------"));
    QVERIFY(within(w.number("EditChanIb"), 0.1, 20));
}

QTEST_MAIN(InfoChannelWireTest)
#include "wire_infochannel.moc"
