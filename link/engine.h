#pragma once
#include <QObject>
#include <QString>
#include <array>
#include <functional>
#include <optional>

#include "link/lampstate.h"
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

// What the link needs from the rest of the window. Every call has a do-nothing default so
// that the owner of each piece supplies it when it exists.
class LinkHooks {
  public:
    virtual ~LinkHooks() = default;
    // Address typed in the setup page's logical-number field; nullopt when it is not a number.
    virtual std::optional<int> setupAddress() { return 1; }
    virtual QString setupAddressText() { return {}; }
    // The toolkit's error report for a handler that could not finish (port failure, bad
    // number), and the plain modal message box.
    virtual void reportError(const QString&) {}
    virtual void showMessage(const QString&) {}
    virtual void showStatus(const QString&) {}
    virtual void showReplyTime() {}
    virtual void counterChanged(LinkCounter) {}
    virtual void clearMeasuredValues() {}
    virtual void pollingTimerStep() {}
    // A complete reply is waiting (before its checksum is known): re-enable the read buttons.
    virtual void replyArrived() {}
    // A reply with a correct checksum, normal or exception.
    virtual void replyAccepted() {}
    // The reply time-out ran out: re-enable what a pending reply had disabled.
    virtual void replyTimedOut() {}
    virtual void setCalibrationInputsEnabled(bool) {}
    virtual void setRatioGroupEnabled(bool) {}
    virtual void hideSchemeProgress() {}
    virtual void stopMetrology() {}
    virtual void stopCurrentOutput() {}
    // Information-channel mode: the data-available event belongs to the channel monitor.
    virtual void infoChannelAvail(int /*count*/) {}
};

// The request/reply transaction over the serial port: one outstanding request at a time,
// reply validation by length and checksum, dispatch by request code, time-out, and the
// sequencing timer that repeats the current request of a running procedure.
class LinkEngine : public QObject {
    Q_OBJECT
  public:
    static constexpr int kReplyBufferSize = 4096;
    static constexpr int kReplyTimeoutMs = 3000;
    static constexpr int kLongReplyTimeoutMs = 5000;
    static constexpr int kProcedureFailureLimit = 5;
    static constexpr int kNoSlave = -1;

    using ReplyHandler = std::function<void(const quint8* reply, int length)>;

    LinkEngine(SerialPort* port, Clock* clock, LinkHooks* hooks, QObject* parent = nullptr);

    // The five send operations. Each returns false when nothing could be sent (the port
    // failed, or the setup address is not a number); the reason has gone to reportError().
    bool SendInquiry(const RequestRecord& r);
    bool SendInquiryTuning(const RequestRecord& r);
    bool SendInquiryWrite06(const RequestRecord& r);
    bool SendInquiryWrite16(const RequestRecord& r);
    bool SendInquiryWriteBlock(const RequestRecord& r);
    // A frame of the remote indicator's own format, awaited like a request.
    bool SendOwnFrame(const quint8* frame, int length, quint8 code, quint16 replyLength);

    void ComPortTriggerAvail(int count);
    void TimerWaitAnswTimer();
    void TimerSetAutoTimer();

    // Handler of a normal reply to `code`; it gets the whole reply (payload from index 3).
    void setReplyHandler(int code, ReplyHandler handler);

    RequestRecord& prepared(int code) { return prepared_[code]; }
    void setCurrentRequest(int code) { currentRequest_ = &prepared_[code]; }
    RequestRecord* currentRequest() const { return currentRequest_; }

    SerialPort* port() const { return port_; }
    Clock* clock() const { return clock_; }
    LinkTimer* timerWaitAnsw() const { return timerWaitAnsw_; }
    LinkTimer* timerSetAuto() const { return timerSetAuto_; }

    bool awaitingReply() const { return awaitingReply_; }
    quint8 outstandingCode() const { return outstandingCode_; }
    quint16 outstandingReplyLength() const { return replyLength_; }
    qint64 sendTime() const { return sendTime_; }
    const quint8* requestFrame() const { return requestFrame_.data(); }
    int requestFrameLength() const { return requestFrameLength_; }

    LinkStatistics& statistics() { return stats_; }
    void resetStatistics() { stats_ = {}; }

    LampState& lamp1() { return lamp1_; }
    LampState& lamp2() { return lamp2_; }
    LampState& lamp3() { return lamp3_; }

    RequestRecord MainRequest;
    quint16 ProcedureFailures = 0;
    bool MetrologyActive = false;
    bool CurrentOutputActive = false;
    bool CalibrationWritePending = false;
    bool TwoElementScheme = false;
    bool InfoChannelMode = false;

  private:
    bool transmit(quint8 code, const quint8* frame, int length, quint16 replyLength,
                  bool stampBeforeArming, bool stampAfterArming);
    std::optional<quint8> setupSlave();
    void countChecksumError();
    void raiseProcedureFailures();
    void handleException();
    void closeExchange();

    SerialPort* port_;
    Clock* clock_;
    LinkHooks* hooks_;
    LinkTimer* timerWaitAnsw_;
    LinkTimer* timerSetAuto_;

    std::array<RequestRecord, kRequestCodeCount> prepared_;
    RequestRecord* currentRequest_ = nullptr;
    std::array<ReplyHandler, kRequestCodeCount> handlers_;

    bool awaitingReply_ = false;
    quint8 outstandingCode_ = 0;
    quint16 replyLength_ = 0;
    qint64 sendTime_ = 0;
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
}  // namespace linktext
