#pragma once
// A page on its own, with what the window would give it: the link on a fake port and a manual
// clock (PageBench), or on a virtual serial line to the simulated transducer (WireBench).
#include <QtTest>
#include <memory>
#include <optional>

#include "app/inifile.h"
#include "app/pagecontext.h"
#include "app/portsettings.h"
#include "fakeport.h"
#include "link/engine.h"
#include "link/qtserialport.h"
#include "link/timer.h"
#include "manualclock.h"
#include "messagebox_seam.h"
#include "simprocess.h"

// The setup page's logical number, as the window would read it from Edit2.
struct BenchAddress : LinkHooks {
    std::optional<int> address = 1;
    std::optional<int> setupAddress() override { return address; }
    QString setupAddressText() override { return address ? QString::number(*address) : QString(); }
};

// Messages of the link reach the recorder as the window would show them.
inline void RouteEngineMessages(LinkEngine& engine) {
    QObject::connect(&engine, &LinkEngine::message, &engine,
                     [](const QString& t) { messagebox::Show(t); });
    QObject::connect(&engine, &LinkEngine::errorReport, &engine,
                     [](const QString& t) { messagebox::ShowError(t); });
}

struct PageBench {
    MessageRecorder messages;
    FakePort port;
    ManualClock clock;
    BenchAddress hooks;
    SharedState state;
    IniFile ini;
    PortSettings portSettings{&port, &ini};
    LinkEngine engine{&port, &clock, &hooks, &state.procedures};
    QStringList statuses;

    PageBench() {
        RouteEngineMessages(engine);
        QObject::connect(&engine, &LinkEngine::statusText, &engine,
                         [this](const QString& t) { statuses << t; });
    }
    PageContext context() { return {&engine, &state, &portSettings, &clock}; }
    // The frames written so far as hex with blanks, and forgets them.
    QStringList takeWritten() {
        QStringList out;
        for (const QByteArray& f : port.written)
            out << QString::fromLatin1(f.toHex(' '));
        port.written.clear();
        return out;
    }
};

// The page's link on a virtual line to tervex-sim started with `options` (the simulator's
// frame log goes to its standard error with "--log -").
struct WireBench {
    MessageRecorder messages;
    SimProcess sim;
    SystemClock clock;
    BenchAddress hooks;
    SharedState state;
    IniFile ini;
    std::unique_ptr<QtSerialPort> port;
    std::unique_ptr<PortSettings> portSettings;
    std::unique_ptr<LinkEngine> engine;

    bool start(const QStringList& options = {}) {
        if (!sim.start(options))
            return false;
        port = std::make_unique<QtSerialPort>(
            [this](int n) { return n == 1 ? sim.path() : QString(); });
        portSettings = std::make_unique<PortSettings>(port.get(), &ini);
        engine = std::make_unique<LinkEngine>(port.get(), &clock, &hooks, &state.procedures);
        RouteEngineMessages(*engine);
        return true;
    }
    PageContext context() { return {engine.get(), &state, portSettings.get(), &clock}; }
};
