#pragma once
#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <array>
#include <functional>
#include <optional>
#include <vector>

#include "link/lampstate.h"
#include "link/procedurestate.h"
#include "link/requestrecord.h"

class SerialPort;
class Clock;
class LinkTimer;

// Counters of the link, 32-bit so that long polling sessions keep true totals.
struct LinkStatistics {
    quint32 total = 0;
    quint32 unanswered = 0;
    quint32 crcErrors = 0;
    qint64 maxReplyMs = 0;
};

enum class LinkCounter { Total, Unanswered, CrcErrors };

// What the link must ask of the window: the logical number typed on the setup page, which
// three of the send operations address.
class LinkHooks {
  public:
    virtual ~LinkHooks() = default;
    // nullopt when the field does not hold a number.
    virtual std::optional<int> setupAddress() { return 1; }
    virtual QString setupAddressText() { return {}; }
};

// The request/reply transaction over the serial port: one outstanding request at a time,
// reply validation by length and checksum, dispatch to the handler of the page that sent the
// request, time-out, and the sequencing timer that repeats the current request of a running
// procedure. It announces what happens as signals and never names a page.
class LinkEngine : public QObject {
    Q_OBJECT
  public:
    static constexpr int kReplyBufferSize = 4096;
    static constexpr int kReplyTimeoutMs = 3000;
    static constexpr int kLongReplyTimeoutMs = 5000;
    static constexpr int kProcedureFailureLimit = 5;

    // Gets the whole reply (payload from index 3) and its length.
    using ReplyHandler = std::function<void(const quint8* reply, int length)>;

    // `procedures` is the window's; without one the engine keeps its own.
    LinkEngine(SerialPort* port, Clock* clock, LinkHooks* hooks,
               ProcedureState* procedures = nullptr, QObject* parent = nullptr);

    // The five send operations. Each returns false when nothing could be sent (the port
    // failed, the address is not a number or is 0); the reason has gone to errorReport.
    bool SendInquiry(const RequestRecord& r);
    bool SendInquiryTuning(const RequestRecord& r);
    bool SendInquiryWrite06(const RequestRecord& r);
    bool SendInquiryWrite16(const RequestRecord& r);
    bool SendInquiryWriteBlock(const RequestRecord& r);
    // A frame of the remote indicator's own format, awaited like a request.
    bool SendOwnFrame(const quint8* frame, int length, RequestCode code, quint16 replyLength,
                      const QObject* sender = nullptr);

    void ComPortTriggerAvail(int count);
    void TimerWaitAnswTimer();
    void TimerSetAutoTimer();

    // Handler of a normal reply to `code` sent by `owner`. A reply goes to the handler of the
    // page that sent the request; a request sent without a sender goes to the one handler
    // registered for its code. The registration ends with the owner.
    void setReplyHandler(const QObject* owner, RequestCode code, ReplyHandler handler);

    // The record the sequencing timer sends at its next tick. The engine keeps the record of
    // the reading poll (code 24), the fall-back after an exception reply; other records belong
    // to the pages that set them and must outlive their use here.
    void setCurrentRequest(const RequestRecord* r) { currentRequest_ = r ? r : &pollRecord_; }
    const RequestRecord* currentRequest() const { return currentRequest_; }
    const RequestRecord* pollRecord() const { return &pollRecord_; }
    void setPollSender(const QObject* sender) { pollRecord_.Sender = sender; }

    // A pause inside a sequence: for `ms` on the clock no timer sends and arriving bytes wait;
    // then `then` runs and the bytes that came meanwhile are looked at.
    void pause(int ms, std::function<void()> then);
    bool held() const { return held_; }

    // An operator message raised while an exchange is being handled is shown once the engine
    // has finished that exchange; outside an exchange at once.
    void notify(const QString& text);
    void notifyError(const QString& text);

    // Information-channel mode: the data-available event belongs to the channel monitor.
    void setChannelMode(bool on) { channelMode_ = on; }
    bool channelMode() const { return channelMode_; }

    // The logical number in force on the setup page (nullopt when its field holds no number);
    // pages fill the address of their own records from it.
    std::optional<int> setupAddress() const { return hooks_->setupAddress(); }

    SerialPort* port() const { return port_; }
    Clock* clock() const { return clock_; }
    LinkTimer* timerWaitAnsw() const { return timerWaitAnsw_; }
    LinkTimer* timerSetAuto() const { return timerSetAuto_; }
    ProcedureState& procedures() { return *procedures_; }

    bool awaitingReply() const { return awaitingReply_; }
    RequestCode outstandingCode() const { return outstandingCode_; }
    quint16 outstandingReplyLength() const { return replyLength_; }
    qint64 sendTime() const { return sendTime_; }
    // The send time was taken by the send of the exchange being completed; a reply to a
    // request that takes no time stamp must not be measured from an older one.
    bool sendTimeCurrent() const { return sendTimeCurrent_; }
    const quint8* requestFrame() const { return requestFrame_.data(); }
    int requestFrameLength() const { return requestFrameLength_; }

    LinkStatistics& statistics() { return stats_; }
    void resetStatistics() { stats_ = {}; }

    LampState& lamp1() { return lamp1_; }
    LampState& lamp2() { return lamp2_; }
    LampState& lamp3() { return lamp3_; }

  signals:
    // A request left (after the send operation's own steps); `code` is its code.
    void requestSent(RequestCode code);
    // SendInquiry went out: the polling timer takes its period now.
    void inquirySent();
    // A send operation could not put its frame on the line (the port failed or is gone).
    void sendFailed();
    // A complete reply is waiting, before its checksum is known.
    void replyArrived();
    // A reply with a correct checksum, normal or exception.
    void replyAccepted();
    // A normal reply has been handled.
    void replyCompleted();
    void exceptionReply(quint8 exceptionCode, const QString& text);
    void checksumError();
    void timedOut();
    void counterChanged(LinkCounter counter);
    void statusText(const QString& text);
    // Bytes for the channel monitor (channel mode).
    void channelBytesAvailable(int count);
    // A message box for the operator, and the error report of an operation that failed.
    void message(const QString& text);
    void errorReport(const QString& text);
    // Five failed exchanges of a calibration procedure: the procedures stop.
    void procedureFailureLimit();
    // The bytes of each frame as they went out and as they were read as a reply (before any
    // check; the verdict follows as replyAccepted, checksumError or exceptionReply). Only
    // built when someone listens: the traffic monitor, not the link, needs them.
    void frameSent(const QByteArray& frame);
    void frameReceived(const QByteArray& bytes);

  private:
    bool transmit(const RequestRecord& r, const quint8* frame, int length, quint16 replyLength,
                  bool stampBeforeArming, bool stampAfterArming);
    std::optional<quint8> setupSlave();
    bool checkAddress(int address);
    void countChecksumError();
    void raiseProcedureFailures();
    void handleException();
    void closeExchange(quint64 sendsBefore, bool failed);
    bool wellFormed(int length) const;
    void dispatch(const quint8* reply, int length);
    void flushNotices();

    struct Registration {
        const QObject* owner;
        RequestCode code;
        ReplyHandler handler;
    };
    struct Notice {
        bool error;
        QString text;
    };

    SerialPort* port_;
    Clock* clock_;
    LinkHooks* hooks_;
    ProcedureState ownProcedures_;
    ProcedureState* procedures_;
    LinkTimer* timerWaitAnsw_;
    LinkTimer* timerSetAuto_;
    LinkTimer* timerHold_;

    std::vector<Registration> handlers_;
    RequestRecord pollRecord_;
    const RequestRecord* currentRequest_ = nullptr;

    bool awaitingReply_ = false;
    RequestCode outstandingCode_ = RequestCode::MeasuredBlock;
    const QObject* outstandingSender_ = nullptr;
    quint16 replyLength_ = 0;
    quint16 requestReplyLength_ = 0;
    int expectedByteCount_ = -1;  // data bytes a read reply must announce, -1 for no check
    qint64 sendTime_ = 0;
    bool sendTimeCurrent_ = false;
    bool channelMode_ = false;
    bool held_ = false;
    std::function<void()> afterHold_;
    int exchangeDepth_ = 0;
    quint64 sends_ = 0;  // requests put on the line, to tell whether a handler sent one
    QList<Notice> notices_;
    std::array<quint8, kReplyBufferSize> replyBuffer_{};
    std::array<quint8, 256> requestFrame_{};
    int requestFrameLength_ = 0;
    LinkStatistics stats_;
    LampState lamp1_, lamp2_, lamp3_;
};

// Link texts shown to the operator.
namespace linktext {
inline const char* const kSuccess = "  Операция завершена успешно";
inline const char* const kChecksumError = "  Ошибка контрольной суммы !";
inline const char* const kNoReply = "  Нет ответа от устройства !";
inline const char* const kReceiveError = " Ошибка приема информации !";
// The report of a number field that does not hold a number when a request needs it.
inline QString NotANumber(const QString& text) {
    return QStringLiteral("«%1» не является целым числом. Запрос не отправлен.").arg(text);
}
inline QString NoAddress() {
    return QStringLiteral("Логический номер устройства не задан (0). Запрос не отправлен.");
}
}  // namespace linktext
