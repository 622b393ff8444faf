#pragma once
#include <QByteArray>
#include <QtGlobal>
#include <deque>
#include <functional>

// The sending side of the line: holds what is to go out and lets each byte leave only when a
// real UART would have finished shifting it out, so a reply of n bytes takes n byte times.
// Time is passed in, which keeps it testable without a clock.
namespace sim {

class Transmitter {
  public:
    using Write = std::function<void(const QByteArray&)>;

    // Queues `bytes` to start no earlier than `notBeforeUs` and no earlier than `gapUs` after
    // the line has fallen silent; each byte takes `byteUs` (0: all at once). `onStart` runs
    // when the first byte leaves.
    void send(QByteArray bytes, qint64 notBeforeUs, qint64 gapUs, qint64 byteUs,
              std::function<void()> onStart = {});
    // Runs once everything queued before it has left.
    void then(std::function<void()> action);

    // Writes all bytes due by `nowUs`, in order, and runs the actions reached.
    void pump(qint64 nowUs, const Write& write);
    // When pump next has something to do; -1 when nothing is queued.
    qint64 nextDueUs() const;
    bool idle() const { return queue_.empty(); }
    void clear() { queue_.clear(); }

  private:
    struct Entry {
        QByteArray bytes;
        qint64 notBeforeUs = 0, gapUs = 0, byteUs = 0;
        std::function<void()> onStart, action;
        qint64 startUs = -1;  // fixed when the entry reaches the head of the queue
        int sent = 0;
    };
    qint64 startOf(const Entry& e) const;

    std::deque<Entry> queue_;
    qint64 lineFreeUs_ = 0;  // when the last byte sent has finished
};

// Time one character takes at `baud`: start bit, 8 data bits, the parity bit if any, one stop
// bit.
qint64 ByteTimeUs(int baud, bool parity);

}  // namespace sim
