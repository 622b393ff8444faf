#include "sim/transmitter.h"

#include <algorithm>

namespace sim {

qint64 ByteTimeUs(int baud, bool parity) {
    const int bits = parity ? 11 : 10;
    return baud > 0 ? (qint64(bits) * 1000000 + baud / 2) / baud : 0;
}

void Transmitter::send(QByteArray bytes, qint64 notBeforeUs, qint64 gapUs, qint64 byteUs,
                       std::function<void()> onStart) {
    Entry e;
    e.bytes = std::move(bytes);
    e.notBeforeUs = notBeforeUs;
    e.gapUs = gapUs;
    e.byteUs = byteUs;
    e.onStart = std::move(onStart);
    queue_.push_back(std::move(e));
}

void Transmitter::then(std::function<void()> action) {
    Entry e;
    e.action = std::move(action);
    queue_.push_back(std::move(e));
}

qint64 Transmitter::startOf(const Entry& e) const {
    return e.startUs >= 0 ? e.startUs : std::max(e.notBeforeUs, lineFreeUs_ + e.gapUs);
}

qint64 Transmitter::nextDueUs() const {
    if (queue_.empty())
        return -1;
    const Entry& e = queue_.front();
    if (e.action)
        return 0;
    return startOf(e) + qint64(e.sent + 1) * e.byteUs;
}

void Transmitter::pump(qint64 nowUs, const Write& write) {
    while (!queue_.empty()) {
        Entry& e = queue_.front();
        if (e.action) {
            auto action = std::move(e.action);
            queue_.pop_front();
            action();
            continue;
        }
        const qint64 start = startOf(e);
        if (nowUs < start + (e.byteUs > 0 ? e.byteUs : 0))
            return;
        const int n = int(e.bytes.size());
        const int due = e.byteUs > 0 ? int(std::min<qint64>(n, (nowUs - start) / e.byteUs)) : n;
        if (e.startUs < 0) {
            e.startUs = start;
            if (e.onStart)
                e.onStart();
        }
        if (due > e.sent) {
            write(e.bytes.mid(e.sent, due - e.sent));
            e.sent = due;
        }
        if (e.sent < n)
            return;
        lineFreeUs_ = start + qint64(n) * e.byteUs;
        queue_.pop_front();
    }
}

}  // namespace sim
