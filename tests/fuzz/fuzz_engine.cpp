// Reply reception of the link engine under any sequence of requests, byte arrivals, time-outs,
// pauses and port failures. The input is a script of steps (see Step); the engine runs on the
// fake port and the manual clock. Aborts when:
// - a link counter goes down, or the request total differs from the reads that went out;
// - a reply handler runs for another request than the one awaited, more than once for one
//   request, or sees a reply that is not exactly the awaited length with a right checksum;
// - a read's handler sees a byte count other than twice the registers asked for;
// - an exception reply reaches a handler.
// Reads past a buffer are the address sanitizer's to find.
#include <QCoreApplication>
#include <QLoggingCategory>
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "fakeport.h"
#include "link/crc.h"
#include "link/engine.h"
#include "link/frames.h"
#include "manualclock.h"

#define REQUIRE(cond)                                                                     \
    do {                                                                                  \
        if (!(cond)) {                                                                    \
            std::fprintf(stderr, "fuzz_engine: broken: %s (line %d)\n", #cond, __LINE__); \
            std::abort();                                                                 \
        }                                                                                 \
    } while (0)

namespace {

// FUZZ_TRACE=1 prints the steps of a script, to read what a crashing input did.
bool tracing = false;

#define TRACE(...)                             \
    do {                                       \
        if (tracing)                           \
            std::fprintf(stderr, __VA_ARGS__); \
    } while (0)

// Reads the input from the front; past its end every value is 0, so any input is a script.
class Script {
  public:
    Script(const quint8* data, size_t size) : data_(data), size_(size) {}
    bool done() const { return pos_ >= size_; }
    quint8 byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    quint16 word() {
        const quint16 high = byte();
        return quint16((high << 8) | byte());
    }
    QByteArray bytes(int n) {
        const int taken = int(std::min<size_t>(size_t(std::max(n, 0)), size_ - pos_));
        QByteArray out(reinterpret_cast<const char*>(data_ + pos_), taken);
        pos_ += size_t(taken);
        return out;
    }

  private:
    const quint8* data_;
    size_t size_;
    size_t pos_ = 0;
};

enum Step : quint8 {
    Send,             // code, operation, register count, slave, operation's own fields
    DeliverRaw,       // length (word), chunk, the bytes
    DeliverReply,     // a reply built for the awaited request, mangled as the script says
    Advance,          // milliseconds (word)
    OverLong,         // more bytes than the reply buffer holds, in one event
    PortTrouble,      // a failing operation, failing reads, the device lost or back
    Pause,            // milliseconds
    Tick,             // the sequencing timer sends a prepared record now or runs from now on
    ProcedureToggle,  // a calibration procedure starts or stops
    StepCount
};

struct Awaited {
    bool active = false;
    RequestCode code = RequestCode::MeasuredBlock;
    int length = 0;
    int byteCount = -1;  // a read's data bytes, -1 for other requests
    quint8 function = 3;
};

class Hooks : public LinkHooks {
  public:
    std::optional<int> setupAddress() override { return address; }
    QString setupAddressText() override { return QStringLiteral("x"); }
    std::optional<int> address = 1;
};

QByteArray withCrc(QByteArray body) {
    const quint16 crc =
        ModbusCrc16(reinterpret_cast<const quint8*>(body.constData()), quint16(body.size()));
    body.append(char(crc >> 8));
    body.append(char(crc & 0xFF));
    return body;
}

class Harness {
  public:
    Harness() {
        for (int i = 0; i < kRequestCodeCount; ++i) {
            const auto code = RequestCode(i);
            engine_.setReplyHandler(nullptr, code, [this, code](const quint8* reply, int length) {
                onReply(code, reply, length);
            });
            tickRecords_[size_t(i)] = PreparedRecord(code);
            tickRecords_[size_t(i)].SlaveAddress = 1;
        }
        for (size_t i = 0; i < blockWords_.size(); ++i)
            blockWords_[i] = quint16(0x1111 * i);
        // A request the script did not send itself is the sequencing timer's.
        QObject::connect(&engine_, &LinkEngine::requestSent, &engine_, [this](RequestCode code) {
            awaited_ = pendingSet_ ? pending_ : recordExpectation(*engine_.currentRequest());
            pendingSet_ = false;
            REQUIRE(code == awaited_.code);
            awaited_.active = true;
            handled_ = false;
            TRACE("request sent, code %d\n", int(code));
        });
        QObject::connect(&engine_, &LinkEngine::timedOut, &engine_, [this] {
            TRACE("timed out\n");
            awaited_.active = false;
        });
        QObject::connect(&engine_, &LinkEngine::exceptionReply, &engine_, [this](quint8, QString) {
            REQUIRE(awaited_.active);
            awaited_.active = false;
        });
        QObject::connect(&engine_, &LinkEngine::replyCompleted, &engine_, [this] {
            REQUIRE(handled_);
            handled_ = false;
        });
    }

    void run(Script& s) {
        while (!s.done()) {
            step(s);
            checkCounters();
        }
        QCoreApplication::sendPostedEvents();
        checkCounters();
    }

  private:
    void onReply(RequestCode code, const quint8* reply, int length) {
        TRACE("handler of code %d: %d bytes; awaited code %d, %d bytes\n", int(code), length,
              int(awaited_.code), awaited_.length);
        REQUIRE(awaited_.active);
        REQUIRE(!handled_);
        REQUIRE(code == awaited_.code);
        REQUIRE(length == awaited_.length);
        REQUIRE(ModbusCrc16(reply, quint16(length)) == 0);
        REQUIRE(length < 2 || (reply[1] & 0x80) == 0);
        if (awaited_.byteCount >= 0) {
            REQUIRE(reply[1] == 3);
            REQUIRE(reply[2] == awaited_.byteCount);
            REQUIRE(length == 5 + reply[2]);
        }
        awaited_.active = false;
        handled_ = true;
    }

    void checkCounters() {
        const LinkStatistics& now = engine_.statistics();
        REQUIRE(now.total >= last_.total);
        REQUIRE(now.unanswered >= last_.unanswered);
        REQUIRE(now.crcErrors >= last_.crcErrors);
        REQUIRE(now.total == inquiries_);
        last_ = now;
    }

    void expect(RequestCode code, int length, int byteCount, quint8 function) {
        pending_ = {false, code, length, byteCount, function};
        pendingSet_ = true;
    }

    // What the sequencing timer's send of `r` awaits.
    static Awaited recordExpectation(const RequestRecord& r) {
        switch (CodeInfo(r.requestCode()).op) {
            case SendOp::Write06:
                return {false, r.requestCode(), frames::kWriteReplyLength, -1, 6};
            case SendOp::Write16:
            case SendOp::WriteBlock:
                return {false, r.requestCode(), frames::kWriteReplyLength, -1, 0x10};
            default:
                return {false, r.requestCode(), r.ReplyLength, 2 * r.RegisterCount, 3};
        }
    }

    void step(Script& s) {
        pendingSet_ = false;
        switch (s.byte() % StepCount) {
            case Send:
                send(s);
                break;
            case DeliverRaw: {
                const QByteArray bytes = s.bytes(s.word() % 1024);
                deliver(bytes, s.byte());
                break;
            }
            case DeliverReply:
                deliverReply(s);
                break;
            case Advance: {
                const int ms = s.word();
                TRACE("advance %d ms\n", ms);
                clock_.advance(ms);
                break;
            }
            case OverLong: {
                // A whole reply at the front, so that only the length can refuse it.
                QByteArray bytes = reply(s, awaited_);
                bytes.append(
                    QByteArray(LinkEngine::kReplyBufferSize + 1 + s.word() % 4096, char(s.byte())));
                port_.arriveQuietly(bytes);
                port_.raise();
                break;
            }
            case PortTrouble:
                TRACE("port trouble\n");
                switch (s.byte() % 5) {
                    case 0:
                        port_.failNext = true;
                        break;
                    case 1:
                        port_.failReads = !port_.failReads;
                        break;
                    case 2:
                        port_.loseDevice(QStringLiteral("gone"));
                        break;
                    case 3:
                        port_.deviceBack();
                        break;
                    default:
                        hooks_.address = s.byte() % 3 == 0 ? std::nullopt : std::optional<int>(1);
                        break;
                }
                break;
            case Pause:
                engine_.pause(s.word() % 4000, nullptr);
                break;
            case Tick: {
                int i = s.byte() % kRequestCodeCount;
                // The indicator's own frames are never a sequencing record.
                if (CodeInfo(RequestCode(i)).op == SendOp::OwnFrame)
                    i = CodeIndex(RequestCode::MeasuredBlock);
                engine_.setCurrentRequest(&tickRecords_[size_t(i)]);
                if (s.byte() % 2)
                    engine_.TimerSetAutoTimer();
                else
                    engine_.timerSetAuto()->setEnabled(true);  // ticks as the clock advances
                break;
            }
            case ProcedureToggle: {
                ProcedureState& p = engine_.procedures();
                switch (s.byte() % 3) {
                    case 0:
                        p.MetrologyActive = !p.MetrologyActive;
                        break;
                    case 1:
                        p.CurrentOutputActive = !p.CurrentOutputActive;
                        break;
                    default:
                        p.CalibrationWritePending = !p.CalibrationWritePending;
                        break;
                }
                break;
            }
            default:
                break;
        }
    }

    void send(Script& s) {
        auto code = RequestCode(s.byte() % kRequestCodeCount);
        int op = s.byte() % 6;
        const quint16 count = s.byte();
        RequestRecord r;
        r.Code = quint8(code);
        r.SlaveAddress = s.byte();
        r.StartRegister = s.word();
        r.RegisterCount = count;
        r.ReplyLength = quint16(frames::ReadReplyLength(count));
        if (CodeInfo(code).op == SendOp::OwnFrame)
            op = 5;
        TRACE("send code %d op %d count %d slave %d\n", int(code), op, int(count),
              int(r.SlaveAddress));
        switch (op) {
            case 0:
                expect(code, r.ReplyLength, 2 * count, 3);
                if (engine_.SendInquiry(r))
                    ++inquiries_;
                break;
            case 1:
                expect(code, r.ReplyLength, 2 * count, 3);
                engine_.SendInquiryTuning(r);
                break;
            case 2:
                r.WordValue = s.word();
                expect(code, frames::kWriteReplyLength, -1, 6);
                engine_.SendInquiryWrite06(r);
                break;
            case 3:
                r.LongValue = quint32(s.word()) << 16 | s.word();
                expect(code, frames::kWriteReplyLength, -1, 0x10);
                engine_.SendInquiryWrite16(r);
                break;
            case 4:
                r.WordValues = s.byte() % 4 ? blockWords_.data() : nullptr;
                expect(code, frames::kWriteReplyLength, -1, 0x10);
                engine_.SendInquiryWriteBlock(r);
                break;
            default: {
                QByteArray frame = s.bytes(s.byte() + 1);
                if (frame.isEmpty())
                    frame = QByteArray(1, '\0');
                const quint16 replyLength = s.word() % 600;
                expect(code, replyLength, -1, frame.size() > 1 ? quint8(frame[1]) : 0);
                engine_.SendOwnFrame(reinterpret_cast<const quint8*>(frame.constData()),
                                     int(frame.size()), code, replyLength);
                break;
            }
        }
    }

    // The reply a slave would give to `a`, normal or refused.
    static QByteArray reply(Script& s, const Awaited& a) {
        QByteArray body;
        const char slave = char(s.byte() % 4);
        if (s.byte() % 4 == 0) {
            body.append(slave).append(char(a.function | 0x80)).append(char(s.byte()));
            return withCrc(body);
        }
        if (a.byteCount >= 0) {
            body.append(slave).append(char(3)).append(char(a.byteCount));
            QByteArray data = s.bytes(a.byteCount);
            data.append(QByteArray(a.byteCount - data.size(), char(0x5A)));
            return withCrc(body + data);
        }
        const int length = std::max(a.length, 4);
        body = s.bytes(length - 2);
        body.append(QByteArray(length - 2 - body.size(), char(0)));
        body[0] = slave;
        body[1] = char(a.function);
        return withCrc(body);
    }

    void deliverReply(Script& s) {
        QByteArray bytes = reply(s, awaited_);
        switch (s.byte() % 7) {
            case 0: {  // one bit flipped
                const int at = s.byte() % bytes.size();
                bytes[at] = char(bytes[at] ^ (1 << (s.byte() % 8)));
                break;
            }
            case 1:  // cut short
                bytes.chop(std::min<qsizetype>(bytes.size(), 1 + s.byte() % 8));
                break;
            case 2:  // zero bytes after it still sum to 0
                bytes.append(QByteArray(1 + s.byte() % 8, '\0'));
                break;
            case 3:  // two replies in one
                bytes += bytes;
                break;
            case 4:  // noise before it
                bytes.prepend(s.bytes(1 + s.byte() % 16));
                break;
            default:
                break;
        }
        deliver(bytes, s.byte());
    }

    // Chunk 0: everything arrives first and one event reports it.
    void deliver(const QByteArray& bytes, int chunk) {
        TRACE("deliver %s in chunks of %d\n", bytes.toHex(' ').constData(), chunk);
        if (chunk == 0) {
            port_.arriveQuietly(bytes);
            port_.raise();
        } else {
            port_.deliverInChunks(bytes, chunk);
        }
    }

    FakePort port_;
    ManualClock clock_;
    Hooks hooks_;
    LinkEngine engine_{&port_, &clock_, &hooks_};
    std::array<RequestRecord, kRequestCodeCount> tickRecords_{};
    std::array<quint16, frames::kMaxBlockWords> blockWords_{};
    Awaited awaited_, pending_;
    bool pendingSet_ = false;
    bool handled_ = false;
    quint32 inquiries_ = 0;
    LinkStatistics last_;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static int argc = 1;
    static char name[] = "fuzz_engine";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("tervex.*=false"));
    tracing = qEnvironmentVariableIntValue("FUZZ_TRACE") != 0;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const quint8* data, size_t size) {
    Script script(data, size);
    auto harness = std::make_unique<Harness>();
    harness->run(script);
    return 0;
}
