#include "sim/faults.h"

#include <QStringList>
#include <algorithm>

#include "sim/responder.h"

namespace sim {

namespace {
constexpr int kMaxGarbage = 16;
constexpr int kMaxPieces = 4;
}  // namespace

FaultInjector::FaultInjector(const FaultRates& rates, quint64 seed)
    : rates_(rates), random_(seed) {}

bool FaultInjector::chance(double p) {
    // Drawn even at rate 0, so that one fault's rate does not shift the others' sequence.
    const double x = std::uniform_real_distribution<double>(0.0, 1.0)(random_);
    return x < p;
}

int FaultInjector::uniform(int lo, int hi) {
    return std::uniform_int_distribution<int>(lo, hi)(random_);
}

Delivery FaultInjector::apply(QByteArray message, const QByteArray& request) {
    Delivery d;
    const bool drop = chance(rates_.drop);
    const bool refuse = chance(rates_.exception);
    const bool corrupt = chance(rates_.corrupt);
    const bool garbage = chance(rates_.garbage);
    const bool fragment = chance(rates_.fragment);
    const int jitter = rates_.jitterMs > 0 ? uniform(0, rates_.jitterMs) : 0;
    d.delayUs = qint64(rates_.delayMs + jitter) * 1000;
    d.gapUs = qint64(rates_.fragmentGapMs) * 1000;
    if (drop) {
        ++counts_.dropped;
        d.faults << QStringLiteral("dropped");
        return d;
    }
    if (refuse && request.size() >= 2) {
        ++counts_.exceptions;
        message = ExceptionReply(request, rates_.exceptionCode);
        d.faults << QStringLiteral("exception %1").arg(rates_.exceptionCode);
    }
    if (corrupt && !message.isEmpty()) {
        ++counts_.corrupted;
        const int at = uniform(0, int(message.size()) - 1);
        message[at] = char(quint8(message[at]) ^ (1u << uniform(0, 7)));
        d.faults << QStringLiteral("corrupted byte %1").arg(at);
    }
    if (garbage) {
        ++counts_.garbageBursts;
        QByteArray noise(uniform(1, kMaxGarbage), '\0');
        for (char& c : noise)
            c = char(uniform(0, 255));
        message.prepend(noise);
        d.faults << QStringLiteral("%1 garbage bytes before").arg(noise.size());
    }
    if (fragment && message.size() > 1) {
        ++counts_.fragmented;
        const int pieces = uniform(2, std::min(kMaxPieces, int(message.size())));
        // Distinct cut points, in order.
        std::vector<int> cuts;
        while (int(cuts.size()) < pieces - 1) {
            const int at = uniform(1, int(message.size()) - 1);
            if (std::find(cuts.begin(), cuts.end(), at) == cuts.end())
                cuts.push_back(at);
        }
        std::sort(cuts.begin(), cuts.end());
        int from = 0;
        for (int at : cuts) {
            d.pieces.push_back(message.mid(from, at - from));
            from = at;
        }
        d.pieces.push_back(message.mid(from));
        d.faults << QStringLiteral("in %1 pieces").arg(pieces);
        return d;
    }
    d.pieces.push_back(message);
    return d;
}

}  // namespace sim
