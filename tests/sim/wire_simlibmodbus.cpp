// The simulator against libmodbus as an independent master over its pseudo-terminal: reads,
// writes, refusals, a new logical number, and the injected faults as a master sees them.
#include <errno.h>
#include <modbus.h>
#include <QtTest>
#include <bit>
#include <cmath>
#include <memory>

#include "simprocess.h"

namespace {

struct ModbusDeleter {
    void operator()(modbus_t* ctx) const {
        modbus_close(ctx);
        modbus_free(ctx);
    }
};
using Master = std::unique_ptr<modbus_t, ModbusDeleter>;

// A libmodbus master at 9600 baud without parity on `path`; null when it cannot connect.
Master connectTo(const QString& path, int slave, double timeoutSeconds = 1.0) {
    Master m(modbus_new_rtu(path.toLocal8Bit().constData(), 9600, 'N', 8, 1));
    if (!m || modbus_set_slave(m.get(), slave) != 0 || modbus_connect(m.get()) != 0)
        return nullptr;
    const double whole = std::floor(timeoutSeconds);
    modbus_set_response_timeout(m.get(), uint32_t(whole), uint32_t((timeoutSeconds - whole) * 1e6));
    return m;
}

float floatAt(const uint16_t* regs, int k) {
    return std::bit_cast<float>(uint32_t(regs[2 * k]) << 16 | regs[2 * k + 1]);
}

}  // namespace

class SimLibmodbusTest : public QObject {
    Q_OBJECT

  private slots:
    void readsAndWrites();
    void followsANewLogicalNumber();
    void faultsSeenByTheMaster_data();
    void faultsSeenByTheMaster();
};

void SimLibmodbusTest::readsAndWrites() {
    SimProcess sim;
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    Master m = connectTo(sim.path(), 1);
    QVERIFY(m);

    uint16_t regs[58] = {};
    QCOMPARE(modbus_read_registers(m.get(), 0, 58, regs), 58);
    QVERIFY(std::abs(floatAt(regs, 0) - 230) < 5);      // Ua
    QVERIFY(std::abs(floatAt(regs, 6) - 400) < 10);     // Uab
    QVERIFY(std::abs(floatAt(regs, 24) - 0.9) < 0.05);  // total power factor
    QVERIFY(std::abs(floatAt(regs, 25) - 50) < 0.1);    // frequency

    QCOMPARE(modbus_write_register(m.get(), 518, 2), 1);  // brightness, word 3
    QCOMPARE(modbus_read_registers(m.get(), 512, 10, regs), 10);
    QCOMPARE(regs[3], uint16_t(2));
    QCOMPARE(regs[1], uint16_t(29));

    const uint16_t codes[3] = {25, 27, 21};
    QCOMPARE(modbus_write_registers(m.get(), 1024, 3, codes), 3);
    QCOMPARE(modbus_read_registers(m.get(), 1024, 3, regs), 3);
    QCOMPARE(regs[0], uint16_t(25));

    QCOMPARE(modbus_read_registers(m.get(), 600, 1, regs), -1);
    QCOMPARE(errno, int(EMBXILADD));
    QCOMPARE(modbus_write_register(m.get(), 518, 9), -1);
    QCOMPARE(errno, int(EMBXILVAL));
    // Still answering after the refusals.
    QCOMPARE(modbus_read_registers(m.get(), 2304, 7, regs), 7);
    QVERIFY(regs[5] >= 2000);
}

void SimLibmodbusTest::followsANewLogicalNumber() {
    SimProcess sim;
    QVERIFY2(sim.start({QStringLiteral("--address"), QStringLiteral("3")}),
             qPrintable(sim.errorString()));
    Master m = connectTo(sim.path(), 3, 0.3);
    QVERIFY(m);
    QCOMPARE(modbus_write_register(m.get(), 516, 7), 1);  // confirmed from the old address

    uint16_t word = 0;
    QCOMPARE(modbus_read_registers(m.get(), 514, 1, &word), -1);
    QCOMPARE(errno, ETIMEDOUT);
    modbus_flush(m.get());
    QCOMPARE(modbus_set_slave(m.get(), 7), 0);
    QCOMPARE(modbus_read_registers(m.get(), 514, 1, &word), 1);
    QCOMPARE(word, uint16_t(7));

    int exitCode = 0;
    const QByteArray out = sim.stop(&exitCode);
    QCOMPARE(exitCode, 0);
    QVERIFY2(out.contains("for other slaves 1"), out.constData());
}

void SimLibmodbusTest::faultsSeenByTheMaster_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<bool>("answered");
    QTest::addColumn<int>("error");  // errno of a failed read, 0 for any
    QTest::addColumn<QByteArray>("counted");
    QTest::newRow("dropped") << QStringList{"--drop-rate", "1"} << false << int(ETIMEDOUT)
                             << QByteArray("dropped 3,");
    QTest::newRow("refused as busy") << QStringList{"--exception-rate", "1"} << false
                                     << int(EMBXSBUSY) << QByteArray("exceptions 3,");
    QTest::newRow("corrupted") << QStringList{"--corrupt-rate", "1"} << false << 0
                               << QByteArray("corrupted 3,");
    // Pieces 20 ms apart and a 150 ms delay are still a reply within libmodbus' limits.
    QTest::newRow("in pieces, late")
        << QStringList{"--fragment-rate", "1", "--fragment-gap", "20", "--delay", "150"} << true
        << 0 << QByteArray("fragmented 3");
}

void SimLibmodbusTest::faultsSeenByTheMaster() {
    QFETCH(QStringList, options);
    QFETCH(bool, answered);
    QFETCH(int, error);
    QFETCH(QByteArray, counted);
    SimProcess sim;
    QVERIFY2(sim.start(options + QStringList{"--seed", "5"}), qPrintable(sim.errorString()));
    Master m = connectTo(sim.path(), 1, 0.5);
    QVERIFY(m);
    for (int i = 0; i < 3; ++i) {
        uint16_t regs[58];
        const int n = modbus_read_registers(m.get(), 0, 58, regs);
        if (answered) {
            QCOMPARE(n, 58);
        } else {
            QCOMPARE(n, -1);
            if (error)
                QCOMPARE(errno, error);
            // Let a broken reply finish and go before the next request.
            QTest::qWait(100);
            modbus_flush(m.get());
        }
    }
    m.reset();
    int exitCode = -1;
    const QByteArray out = sim.stop(&exitCode);
    QCOMPARE(exitCode, 0);
    QVERIFY2(out.contains("requests 3 "), out.constData());
    QVERIFY2(out.contains(counted), out.constData());
    QVERIFY(!QFileInfo::exists(sim.path()));  // the link goes with it
}

QTEST_GUILESS_MAIN(SimLibmodbusTest)
#include "wire_simlibmodbus.moc"
