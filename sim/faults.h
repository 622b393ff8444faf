#pragma once
#include <QByteArray>
#include <QStringList>
#include <QtGlobal>
#include <random>
#include <vector>

// Makes the line misbehave on purpose, at chosen rates and repeatably from a seed.
namespace sim {

struct FaultRates {
    double drop = 0;           // the request is taken but never answered
    double corrupt = 0;        // one bit of the reply is flipped, so its checksum fails
    double exception = 0;      // a Modbus request is refused with exceptionCode instead
    double garbage = 0;        // a burst of random bytes goes out just before the reply
    double fragment = 0;       // the reply goes out in pieces with pauses between them
    quint8 exceptionCode = 6;  // "slave busy": a refusal a master must expect at any time
    int delayMs = 0;
    int jitterMs = 0;
    int fragmentGapMs = 5;
};

struct FaultCounts {
    quint64 dropped = 0, corrupted = 0, exceptions = 0, garbageBursts = 0, fragmented = 0;
};

// What actually goes out for one message: pieces to send in order, the first after `delayUs`,
// each following one `gapUs` after the previous has left the line.
struct Delivery {
    std::vector<QByteArray> pieces;  // empty when the message is dropped
    qint64 delayUs = 0;
    qint64 gapUs = 0;
    QStringList faults;  // the faults applied, for the log
};

class FaultInjector {
  public:
    FaultInjector(const FaultRates& rates, quint64 seed);

    // `request` is the Modbus request being answered, or empty for a message that cannot be
    // refused with an exception (remote indicator, information channel).
    Delivery apply(QByteArray message, const QByteArray& request);
    const FaultCounts& counts() const { return counts_; }

  private:
    bool chance(double p);
    int uniform(int lo, int hi);

    FaultRates rates_;
    FaultCounts counts_;
    std::mt19937_64 random_;
};

}  // namespace sim
