#pragma once
#include <QByteArray>
#include <QtGlobal>
#include <vector>

// Cuts the byte stream that arrives from the line into checked frames. RTU ends a frame by a
// silence of 3.5 characters, but a pseudo-terminal delivers bytes in bursts that say nothing
// about timing, so a frame is complete when the length its function code implies has arrived;
// a silence only settles what the length cannot (an unknown function, a broken frame). Bytes
// that cannot start a frame, or a candidate whose checksum fails, are given up one byte at a
// time, so a request that follows garbage is still found.
namespace sim {

struct RxItem {
    enum Kind {
        Frame,    // checksum right; Modbus request or remote indicator frame
        Garbage,  // bytes given up
    };
    Kind kind;
    QByteArray bytes;
};

class RequestFramer {
  public:
    explicit RequestFramer(qint64 silenceUs) : silenceUs_(silenceUs) {}

    void setSilence(qint64 us) { silenceUs_ = us; }
    void feed(const char* data, int n, qint64 nowUs);
    // Everything that can be decided at `nowUs`, in stream order.
    std::vector<RxItem> take(qint64 nowUs);
    // When the bytes still held become decidable by silence; -1 when none are held.
    qint64 deadlineUs() const;
    void clear() { buffer_.clear(); }

  private:
    QByteArray buffer_;
    qint64 lastByteUs_ = 0;
    qint64 silenceUs_;
};

// Length of the frame that `bytes` begins: > 0 when known, 0 when more bytes must come first,
// -1 when only a silence can end it, -2 when no frame starts with these bytes.
int ExpectedLength(const QByteArray& bytes);

}  // namespace sim
