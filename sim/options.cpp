#include "sim/options.h"

#include <cmath>
#include <limits>
#include <type_traits>

#include "sim/model.h"

namespace sim {

namespace {

bool parseInt(const QString& text, qint64 lo, qint64 hi, qint64& out) {
    bool ok = false;
    const qint64 v = text.toLongLong(&ok, 10);
    if (!ok || v < lo || v > hi)
        return false;
    out = v;
    return true;
}

QString parseParameterList(const QString& option, const QString& list,
                           std::bitset<kParameterCount>& out) {
    for (const QString& item : list.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString name = item.trimmed();
        qint64 index = -1;
        if (!parseInt(name, 0, kParameterCount - 1, index))
            index = ParameterByName(name.toStdString());
        if (index < 0)
            return QStringLiteral("%1: '%2' is neither an index 0..28 nor a parameter name")
                .arg(option, name);
        out.set(size_t(index));
    }
    return {};
}

}  // namespace

QString ParseOptions(const QStringList& args, Options& o) {
    for (int i = 0; i < args.size(); ++i) {
        QString name = args[i];
        QString value;
        bool inlineValue = false;
        if (name.startsWith(QLatin1String("--")) && name.contains(QLatin1Char('='))) {
            value = name.section(QLatin1Char('='), 1);
            name = name.section(QLatin1Char('='), 0, 0);
            inlineValue = true;
        }
        auto takeValue = [&]() -> bool {
            if (inlineValue)
                return true;
            if (i + 1 >= args.size())
                return false;
            value = args[++i];
            return true;
        };
        auto flag = [&](bool& target) {
            if (inlineValue)
                return QStringLiteral("%1 takes no value").arg(name);
            target = true;
            return QString();
        };
        auto integer = [&](qint64 lo, qint64 hi, auto& target) {
            if (!takeValue())
                return QStringLiteral("%1 needs a value").arg(name);
            qint64 v = 0;
            if (!parseInt(value, lo, hi, v))
                return QStringLiteral("%1: '%2' is not a whole number from %3 to %4")
                    .arg(name, value)
                    .arg(lo)
                    .arg(hi);
            target = std::remove_reference_t<decltype(target)>(v);
            return QString();
        };
        auto rate = [&](double& target) {
            if (!takeValue())
                return QStringLiteral("%1 needs a value").arg(name);
            bool ok = false;
            const double v = value.toDouble(&ok);
            if (!ok || !(v >= 0 && v <= 1))
                return QStringLiteral("%1: '%2' is not a probability from 0 to 1").arg(name, value);
            target = v;
            return QString();
        };
        auto percent = [&](double hi, double& target) {
            if (!takeValue())
                return QStringLiteral("%1 needs a value").arg(name);
            bool ok = false;
            const double v = value.toDouble(&ok);
            if (!ok || !(v >= 0 && v <= hi))
                return QStringLiteral("%1: '%2' is not a percentage from 0 to %3")
                    .arg(name, value)
                    .arg(hi);
            target = v;
            return QString();
        };
        auto parameters = [&](std::bitset<kParameterCount>& target) {
            if (!takeValue())
                return QStringLiteral("%1 needs a value").arg(name);
            return parseParameterList(name, value, target);
        };
        auto text = [&](QString& target) {
            if (!takeValue() || value.isEmpty())
                return QStringLiteral("%1 needs a value").arg(name);
            target = value;
            return QString();
        };

        QString error;
        if (name == QLatin1String("-h") || name == QLatin1String("--help")) {
            error = flag(o.help);
        } else if (name == QLatin1String("--link")) {
            error = text(o.link);
        } else if (name == QLatin1String("--device")) {
            error = text(o.device);
        } else if (name == QLatin1String("--address")) {
            error = integer(1, 247, o.address);
        } else if (name == QLatin1String("--baud")) {
            if (!takeValue())
                return QStringLiteral("--baud needs a value");
            qint64 v = 0;
            if (!parseInt(value, 1, 1000000, v) || SpeedCode(int(v)) < 0)
                return QStringLiteral(
                           "--baud: '%1' is not one of 1200, 2400, 4800, 9600, 19200, "
                           "38400")
                    .arg(value);
            o.baud = int(v);
        } else if (name == QLatin1String("--parity")) {
            if (!takeValue())
                return QStringLiteral("--parity needs a value");
            const QString p = value.toLower();
            if (p == QLatin1String("none") || p == QLatin1String("n"))
                o.parity = kParityNone;
            else if (p == QLatin1String("odd") || p == QLatin1String("o"))
                o.parity = kParityOdd;
            else if (p == QLatin1String("even") || p == QLatin1String("e"))
                o.parity = kParityEven;
            else
                return QStringLiteral("--parity: '%1' is not none, odd or even").arg(value);
        } else if (name == QLatin1String("--no-pace")) {
            bool noPace = false;
            error = flag(noPace);
            o.pace = !noPace;
        } else if (name == QLatin1String("--silence")) {
            error = integer(1, 10000, o.silenceMs);
        } else if (name == QLatin1String("--strict-speed")) {
            error = flag(o.strictSpeed);
        } else if (name == QLatin1String("--no-info")) {
            error = parameters(o.noInformation);
        } else if (name == QLatin1String("--info-below")) {
            error = parameters(o.infoBelow);
        } else if (name == QLatin1String("--info-above")) {
            error = parameters(o.infoAbove);
        } else if (name == QLatin1String("--info-paused")) {
            error = flag(o.infoPaused);
        } else if (name == QLatin1String("--level")) {
            error = percent(200, o.levelPercent);
        } else if (name == QLatin1String("--load")) {
            error = percent(200, o.loadPercent);
        } else if (name == QLatin1String("--dip")) {
            error = percent(100, o.dipPercent);
        } else if (name == QLatin1String("--store-delay")) {
            error = integer(0, 60000, o.storeDelayMs);
        } else if (name == QLatin1String("--drop-correction-after")) {
            error = integer(0, 1000000, o.dropCorrectionAfter);
        } else if (name == QLatin1String("--info-rate")) {
            if (!takeValue())
                return QStringLiteral("--info-rate needs a value");
            bool ok = false;
            const double v = value.toDouble(&ok);
            if (!ok || !(v >= 0 && v <= 100))
                return QStringLiteral("--info-rate: '%1' is not a rate from 0 to 100 per second")
                    .arg(value);
            o.infoRate = v;
        } else if (name == QLatin1String("--info-status")) {
            error = integer(-128, 127, o.infoStatus);
        } else if (name == QLatin1String("--delay")) {
            error = integer(0, 60000, o.faults.delayMs);
        } else if (name == QLatin1String("--jitter")) {
            error = integer(0, 60000, o.faults.jitterMs);
        } else if (name == QLatin1String("--drop-rate")) {
            error = rate(o.faults.drop);
        } else if (name == QLatin1String("--corrupt-rate")) {
            error = rate(o.faults.corrupt);
        } else if (name == QLatin1String("--exception-rate")) {
            error = rate(o.faults.exception);
        } else if (name == QLatin1String("--exception-code")) {
            error = integer(1, 255, o.faults.exceptionCode);
        } else if (name == QLatin1String("--garbage-rate")) {
            error = rate(o.faults.garbage);
        } else if (name == QLatin1String("--fragment-rate")) {
            error = rate(o.faults.fragment);
        } else if (name == QLatin1String("--fragment-gap")) {
            error = integer(0, 10000, o.faults.fragmentGapMs);
        } else if (name == QLatin1String("--seed")) {
            if (!takeValue())
                return QStringLiteral("--seed needs a value");
            bool ok = false;
            o.seed = value.toULongLong(&ok, 10);
            if (!ok)
                return QStringLiteral("--seed: '%1' is not a whole number from 0 to %2")
                    .arg(value)
                    .arg(std::numeric_limits<quint64>::max());
            o.seedGiven = true;
        } else if (name == QLatin1String("--log")) {
            error = text(o.log);
        } else if (name.startsWith(QLatin1Char('-')) && name.size() > 1) {
            return QStringLiteral("unknown option '%1'").arg(name);
        } else if (o.link.isEmpty()) {
            o.link = name;
        } else {
            return QStringLiteral("unexpected argument '%1': the link is already '%2'")
                .arg(name, o.link);
        }
        if (!error.isEmpty())
            return error;
    }
    if (o.help)
        return {};
    if (o.link.isEmpty() == o.device.isEmpty())
        return QStringLiteral("give either a link path for a new pseudo-terminal or --device PATH");
    return {};
}

QString HelpText() {
    return QStringLiteral(
        "Usage: tervex-sim [options] LINK\n"
        "       tervex-sim [options] --device PATH\n"
        "\n"
        "A simulated Tervex transducer: a Modbus RTU slave (functions 3, 6, 16) with the\n"
        "device's register image, the remote indicator beside it on the line, and optionally\n"
        "its information-channel packets. It opens a pseudo-terminal, links LINK to it, prints\n"
        "'tervex-sim: ready LINK' and serves until SIGINT or SIGTERM; then it prints what it\n"
        "did and which faults it injected, and removes the link.\n"
        "\n"
        "Line:\n"
        "  LINK, --link PATH     symbolic link to create to the new pseudo-terminal\n"
        "  --device PATH         serve an existing serial device instead\n"
        "  --address N           initial logical number (slave address), 1..247 [1]\n"
        "  --baud N              initial speed: 1200, 2400, 4800, 9600, 19200, 38400 [9600]\n"
        "  --parity P            initial parity: none, odd, even [none]\n"
        "                        (a pseudo-terminal only keeps track of speed and parity)\n"
        "  --strict-speed        on a pseudo-terminal, answer only requests sent while the\n"
        "                        master's side is set to the device's speed and parity (the\n"
        "                        remote indicator: 9600 baud, no parity); others are logged\n"
        "                        as ignored. A pseudo-terminal cannot show even parity, so a\n"
        "                        device at even parity answers nobody there. A speed or\n"
        "                        parity written at 524/526 applies once its confirmation has\n"
        "                        left. Information packets go out whatever the master's\n"
        "                        settings. A serial device holds the line to the device's\n"
        "                        settings anyway.\n"
        "  --no-pace             send replies at once instead of at the line's speed\n"
        "                        (10 bit times per byte, 11 with parity)\n"
        "  --silence MS          silence that ends an incomplete frame, at least 3.5\n"
        "                        characters [20]\n"
        "\n"
        "Device:\n"
        "  --level PERCENT       voltages at about this share of the rated primary voltage\n"
        "                        written at 2048 (a phase voltage in the three-element\n"
        "                        scheme, a line voltage in the two-element one), 0..200 [100]\n"
        "  --load PERCENT        currents at about this share of the rated primary current\n"
        "                        written at 2056, 0..200 [57: 2.8 A of the first 5 A]\n"
        "                        (single phases drift up to 2 % off the voltage level and\n"
        "                        up to 25 % off the load; powers follow both)\n"
        "  --dip PERCENT         share of their level that voltages and currents fall to\n"
        "                        while dipped (SIGUSR2), 0..100 [40]\n"
        "  --no-info LIST        parameters that report no information (FF FF FF FF):\n"
        "                        indices 0..28 or short names, comma separated (3,Pa,F)\n"
        "  --store-delay MS      answer the store command (767 := 0) only after this long,\n"
        "                        0..60000; later requests wait behind it [0]\n"
        "  --drop-correction-after N\n"
        "                        leave the current-output correction mode (766) by itself\n"
        "                        after N reads of the mode word 532; 0 never [0]\n"
        "\n"
        "Information channel:\n"
        "  --info-rate HZ        send information-channel packets this often, 0..100 per\n"
        "                        second [0: none until SIGUSR1, which starts them at 4]\n"
        "  --info-paused         begin with the packets stopped; SIGUSR1 starts them\n"
        "  --info-status N       device status byte of those packets, -128..127 [0]\n"
        "  --info-below LIST     parameters whose packet value is the below-range marker\n"
        "                        (DFFFFFFF, sent as FF FF DF FF), listed as for --no-info\n"
        "  --info-above LIST     the same with the above-range marker (EFFFFFFF)\n"
        "\n"
        "Faults (rates are probabilities per reply, 0..1):\n"
        "  --delay MS            wait this long before every reply [0]\n"
        "  --jitter MS           add a random 0..MS to every delay [0]\n"
        "  --drop-rate P         take the request but never answer it\n"
        "  --corrupt-rate P      flip one bit of the reply, so its checksum fails\n"
        "  --exception-rate P    refuse a Modbus request with an exception reply\n"
        "  --exception-code N    code of those refusals, 1..255 [6, slave busy]\n"
        "  --garbage-rate P      send 1..16 random bytes just before the reply\n"
        "  --fragment-rate P     send the reply in 2..4 pieces\n"
        "  --fragment-gap MS     pause between those pieces [5]\n"
        "  --seed N              seed of the faults and of the value drifts, for repeatable\n"
        "                        runs [from the clock; printed at start]\n"
        "\n"
        "Diagnostics:\n"
        "  --log PATH            log every frame received and sent, in hex with the time,\n"
        "                        and every fault injected; '-' for standard error\n"
        "  -h, --help            show this text\n"
        "\n"
        "Signals while it runs:\n"
        "  SIGUSR1               start the information-channel packets, or stop them\n"
        "  SIGUSR2               dip voltages and currents to --dip, or bring them back\n"
        "  SIGHUP                leave the current-output correction mode (the mode word\n"
        "                        532 reads 0 until 766 is written again)\n"
        "  SIGINT, SIGTERM       print the summary and end\n"
        "\n"
        "Registers: 0-57 measured values; 512-521 main parameters (written at 516-530);\n"
        "532/534 output mode and variant; 640-643, 766, 767 calibration commands; 768-773\n"
        "indicator values; 1024-1029 indicator set-up; 1792-1825, 1920-1955 calibration\n"
        "values; 2048-2055 transformer ratios (readings follow the rated primary values);\n"
        "2304-2310 clock. Others answer exception 2, values out of range exception 3. Device\n"
        "events go to standard error.\n");
}

}  // namespace sim
