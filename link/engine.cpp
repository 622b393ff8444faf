#include "link/engine.h"

#include <QLoggingCategory>
#include <QMetaMethod>
#include <algorithm>

#include "link/crc.h"
#include "link/exceptiontexts.h"
#include "link/frames.h"
#include "link/serialport.h"
#include "link/timer.h"

Q_LOGGING_CATEGORY(lcLink, "tervex.link")
Q_LOGGING_CATEGORY(lcFrames, "tervex.frames")

namespace {
QString hex(const quint8* data, int length) {
    return QByteArray(reinterpret_cast<const char*>(data), length).toHex(' ');
}

// Marks the handling of one exchange, so that messages raised inside it wait for its end.
class ExchangeScope {
  public:
    ExchangeScope(int& depth, std::function<void()> atEnd)
        : depth_(depth), atEnd_(std::move(atEnd)) {
        ++depth_;
    }
    ~ExchangeScope() {
        if (--depth_ == 0)
            atEnd_();
    }
    ExchangeScope(const ExchangeScope&) = delete;
    ExchangeScope& operator=(const ExchangeScope&) = delete;

  private:
    int& depth_;
    std::function<void()> atEnd_;
};
}  // namespace

LinkEngine::LinkEngine(SerialPort* port, Clock* clock, LinkHooks* hooks, ProcedureState* procedures,
                       QObject* parent)
    : QObject(parent),
      port_(port),
      clock_(clock),
      hooks_(hooks),
      procedures_(procedures ? procedures : &ownProcedures_) {
    static LinkHooks noHooks;
    if (!hooks_)
        hooks_ = &noHooks;
    timerWaitAnsw_ = clock_->createTimer(this);
    timerWaitAnsw_->setInterval(kReplyTimeoutMs);
    timerSetAuto_ = clock_->createTimer(this);
    timerSetAuto_->setInterval(500);
    timerHold_ = clock_->createTimer(this);
    pollRecord_ = PreparedRecord(RequestCode::MetrologyPoll);
    currentRequest_ = &pollRecord_;
    lamp3_.setLit(false);
    connect(timerWaitAnsw_, &LinkTimer::timeout, this, &LinkEngine::TimerWaitAnswTimer);
    connect(timerSetAuto_, &LinkTimer::timeout, this, &LinkEngine::TimerSetAutoTimer);
    connect(timerHold_, &LinkTimer::timeout, this, [this] {
        timerHold_->setEnabled(false);
        held_ = false;
        std::function<void()> then = std::move(afterHold_);
        afterHold_ = nullptr;
        if (then)
            then();
        // Bytes that arrived during the pause were left waiting for this moment.
        if (!held_ && port_->inBuffUsed() > 0)
            ComPortTriggerAvail(port_->inBuffUsed());
    });
    connect(port_, &SerialPort::triggerAvail, this, &LinkEngine::ComPortTriggerAvail);
    // Told once per loss, and never from inside a port call of an exchange.
    connect(port_, &SerialPort::deviceLost, this, &LinkEngine::notifyError, Qt::QueuedConnection);
}

void LinkEngine::setReplyHandler(const QObject* owner, RequestCode code, ReplyHandler handler) {
    std::erase_if(handlers_,
                  [&](const Registration& r) { return r.owner == owner && r.code == code; });
    if (!handler)
        return;
    const bool firstOfOwner =
        owner && std::none_of(handlers_.begin(), handlers_.end(),
                              [&](const Registration& r) { return r.owner == owner; });
    handlers_.push_back({owner, code, std::move(handler)});
    if (firstOfOwner) {
        connect(owner, &QObject::destroyed, this, [this, owner] {
            std::erase_if(handlers_, [&](const Registration& r) { return r.owner == owner; });
        });
    }
}

void LinkEngine::dispatch(const quint8* reply, int length) {
    const Registration* chosen = nullptr;
    int sameCode = 0;
    const Registration* onlyOne = nullptr;
    for (const Registration& r : handlers_) {
        if (r.code != outstandingCode_)
            continue;
        ++sameCode;
        onlyOne = &r;
        if (outstandingSender_ && r.owner == outstandingSender_)
            chosen = &r;
    }
    if (!chosen && sameCode == 1)
        chosen = onlyOne;
    if (!chosen) {
        if (sameCode > 1)
            qCWarning(lcLink) << "reply to code" << int(outstandingCode_)
                              << "has no handler of its sender";
        return;
    }
    // The handler may register or remove handlers; call a copy.
    ReplyHandler handler = chosen->handler;
    handler(reply, length);
}

void LinkEngine::notify(const QString& text) {
    if (exchangeDepth_ > 0)
        notices_.append({false, text});
    else
        emit message(text);
}

void LinkEngine::notifyError(const QString& text) {
    if (exchangeDepth_ > 0)
        notices_.append({true, text});
    else
        emit errorReport(text);
}

void LinkEngine::flushNotices() {
    const QList<Notice> pending = std::exchange(notices_, {});
    for (const Notice& n : pending) {
        if (n.error)
            emit errorReport(n.text);
        else
            emit message(n.text);
    }
}

void LinkEngine::pause(int ms, std::function<void()> then) {
    held_ = true;
    afterHold_ = std::move(then);
    timerHold_->setEnabled(false);
    timerHold_->setInterval(std::max(ms, 1));
    timerHold_->setEnabled(true);
}

std::optional<quint8> LinkEngine::setupSlave() {
    std::optional<int> address = hooks_->setupAddress();
    if (!address) {
        notifyError(linktext::NotANumber(hooks_->setupAddressText()));
        return std::nullopt;
    }
    if (!checkAddress(*address))
        return std::nullopt;
    return static_cast<quint8>(*address & 0xFF);
}

// Address 0 is the broadcast: every device on the line executes a write and none answers, so
// a record whose address was never filled in must not go out.
bool LinkEngine::checkAddress(int address) {
    if ((address & 0xFF) != 0)
        return true;
    notifyError(linktext::NoAddress());
    return false;
}

// Steps shared by every send operation. A port failure ends the operation before the reply
// is awaited, as the operator must see that nothing went out.
bool LinkEngine::transmit(const RequestRecord& r, const quint8* frame, int length,
                          quint16 replyLength, bool stampBeforeArming, bool stampAfterArming) {
    if (frame != requestFrame_.data()) {
        std::copy(frame, frame + length, requestFrame_.begin());
    }
    requestFrameLength_ = length;
    // Input is dropped as well as output: a reply that came after its time-out would
    // otherwise be read together with the next reply and fail its checksum.
    if (!port_->flushOutBuffer() || !port_->flushInBuffer() ||
        !port_->putBlock(requestFrame_.data(), length)) {
        if (!port_->failureReported())
            notifyError(port_->errorString());
        emit sendFailed();
        return false;
    }
    qCDebug(lcFrames) << "tx" << hex(requestFrame_.data(), length);
    if (isSignalConnected(QMetaMethod::fromSignal(&LinkEngine::frameSent)))
        emit frameSent(QByteArray(reinterpret_cast<const char*>(requestFrame_.data()), length));
    // Only now: a send that failed leaves an earlier request awaited, and its reply must still
    // reach the handler of the page that sent it.
    outstandingCode_ = r.requestCode();
    outstandingSender_ = r.Sender;
    replyLength_ = replyLength;
    requestReplyLength_ = replyLength;
    // Reads are checked against their register count; other replies by length alone.
    expectedByteCount_ = (length >= 2 && requestFrame_[1] == 3 &&
                          r.Code != quint8(RequestCode::RemoteIndicatorWrite) &&
                          r.Code != quint8(RequestCode::RemoteIndicatorRead))
                             ? 2 * r.RegisterCount
                             : -1;
    sendTimeCurrent_ = stampBeforeArming || stampAfterArming;
    if (stampBeforeArming)
        sendTime_ = clock_->nowMs();
    timerWaitAnsw_->setEnabled(true);
    if (stampAfterArming)
        sendTime_ = clock_->nowMs();
    awaitingReply_ = true;
    ++sends_;
    emit requestSent(outstandingCode_);
    return true;
}

bool LinkEngine::SendInquiry(const RequestRecord& r) {
    if (!checkAddress(r.SlaveAddress))
        return false;
    int n = frames::BuildRead(requestFrame_.data(), quint8(r.SlaveAddress), r.StartRegister,
                              r.RegisterCount);
    if (!transmit(r, requestFrame_.data(), n, r.ReplyLength, false, true))
        return false;
    emit inquirySent();
    ++stats_.total;
    emit counterChanged(LinkCounter::Total);
    return true;
}

bool LinkEngine::SendInquiryTuning(const RequestRecord& r) {
    std::optional<quint8> slave = setupSlave();
    if (!slave)
        return false;
    int n = frames::BuildRead(requestFrame_.data(), *slave, r.StartRegister, r.RegisterCount);
    return transmit(r, requestFrame_.data(), n, r.ReplyLength, false, false);
}

bool LinkEngine::SendInquiryWrite06(const RequestRecord& r) {
    if (!checkAddress(r.SlaveAddress))
        return false;
    int n = frames::BuildWrite06(requestFrame_.data(), quint8(r.SlaveAddress), r.StartRegister,
                                 r.WordValue);
    return transmit(r, requestFrame_.data(), n, frames::kWriteReplyLength, false, false);
}

bool LinkEngine::SendInquiryWrite16(const RequestRecord& r) {
    std::optional<quint8> slave = setupSlave();
    if (!slave)
        return false;
    int n = frames::BuildWriteLong(requestFrame_.data(), *slave, r.StartRegister, r.RegisterCount,
                                   r.LongValue);
    return transmit(r, requestFrame_.data(), n, frames::kWriteReplyLength, false, false);
}

bool LinkEngine::SendInquiryWriteBlock(const RequestRecord& r) {
    std::optional<quint8> slave = setupSlave();
    if (!slave)
        return false;
    quint16 count = std::min<quint16>(r.RegisterCount, frames::kMaxBlockWords);
    static const quint16 kNoWords[frames::kMaxBlockWords] = {};
    int n = frames::BuildWriteBlock(requestFrame_.data(), *slave, r.StartRegister,
                                    r.WordValues ? r.WordValues : kNoWords, count);
    return transmit(r, requestFrame_.data(), n, frames::kWriteReplyLength, true, false);
}

bool LinkEngine::SendOwnFrame(const quint8* frame, int length, RequestCode code,
                              quint16 replyLength, const QObject* sender) {
    if (length <= 0 || length > int(requestFrame_.size()))
        return false;
    RequestRecord r;
    r.Code = quint8(code);
    r.Sender = sender;
    return transmit(r, frame, length, replyLength, false, false);
}

void LinkEngine::raiseProcedureFailures() {
    if (procedures_->MetrologyActive)
        ++procedures_->ProcedureFailures;
    if (procedures_->CurrentOutputActive)
        ++procedures_->ProcedureFailures;
}

void LinkEngine::countChecksumError() {
    emit checksumError();
    ++stats_.crcErrors;
    emit counterChanged(LinkCounter::CrcErrors);
    emit statusText(QString::fromUtf8(linktext::kChecksumError));
    raiseProcedureFailures();
    // Whatever made the reply look like an exception (a noise byte) is gone with it: the
    // next bytes are awaited at the request's own length.
    replyLength_ = requestReplyLength_;
}

// What the checksum cannot catch: a good frame followed by zero bytes still sums to 0, and a
// short read reply can be padded to the awaited length. A reply is taken only at exactly the
// awaited length, and a read reply only with the byte count its request asked for.
bool LinkEngine::wellFormed(int length) const {
    if (length != replyLength_)
        return false;
    const bool exception = (replyBuffer_[1] & 0x80) != 0;
    if (!exception && expectedByteCount_ >= 0 && replyBuffer_[2] != expectedByteCount_)
        return false;
    return true;
}

// After a failed exchange what is left in the input can only be the rest of it. A request sent
// meanwhile (from a handler of this exchange) owns the input now: its reply may be there
// already. After a good reply nothing is dropped here; the next send drops what came since.
void LinkEngine::closeExchange(quint64 sendsBefore, bool failed) {
    if (failed && sends_ == sendsBefore)
        port_->flushInBuffer();
    port_->flushOutBuffer();
}

void LinkEngine::ComPortTriggerAvail(int count) {
    timerWaitAnsw_->setInterval(kReplyTimeoutMs);
    if (channelMode_) {
        emit channelBytesAvailable(count);
        return;
    }
    // A pause of a sequence is under way: the bytes wait for its end.
    if (held_)
        return;
    if (awaitingReply_ && count > 4) {
        int function = port_->peekChar(2);
        if (function >= 0 && (function & 0x80))
            replyLength_ = frames::kExceptionReplyLength;
    }
    if (!awaitingReply_ || port_->inBuffUsed() < replyLength_)
        return;

    ExchangeScope scope(exchangeDepth_, [this] { flushNotices(); });
    const quint64 sendsBefore = sends_;
    emit replyArrived();

    // The reply buffer is as large as the port's input buffer was meant to be; anything
    // beyond it cannot be a valid reply and is dropped with the closing flush.
    const bool overflow = count > kReplyBufferSize;
    const int length = std::clamp(count, 0, kReplyBufferSize);
    bool readOk = port_->getBlock(replyBuffer_.data(), length);
    if (!readOk)
        notify(QString::fromUtf8(linktext::kReceiveError));
    qCDebug(lcFrames) << "rx" << hex(replyBuffer_.data(), length);
    if (isSignalConnected(QMetaMethod::fromSignal(&LinkEngine::frameReceived)))
        emit frameReceived(QByteArray(reinterpret_cast<const char*>(replyBuffer_.data()), length));

    // A failed read leaves an earlier reply in the buffer; judging that one again would show
    // old values as new, so it counts as a bad reply.
    if (!readOk || overflow || ModbusCrc16(replyBuffer_.data(), quint16(length)) != 0 ||
        !wellFormed(length)) {
        countChecksumError();
        closeExchange(sendsBefore, true);
        return;
    }

    lamp1_.setVisible(true);
    lamp1_.setLit(true);
    lamp2_.setVisible(true);
    lamp2_.setLit(true);
    lamp3_.setLitColor(LampState::kGreen);
    lamp3_.setLit(true);
    awaitingReply_ = false;
    timerWaitAnsw_->setEnabled(false);
    emit replyAccepted();

    if (replyBuffer_[1] & 0x80) {
        handleException();
        closeExchange(sendsBefore, false);
        return;
    }

    dispatch(replyBuffer_.data(), length);
    procedures_->ProcedureFailures = 0;
    emit replyCompleted();
    emit statusText(QString::fromUtf8(linktext::kSuccess));
    lamp1_.setVisible(false);
    lamp2_.setVisible(false);
    lamp3_.setLit(false);
    closeExchange(sendsBefore, false);
}

void LinkEngine::handleException() {
    if (!procedures_->CalibrationWritePending)
        currentRequest_ = &pollRecord_;
    procedures_->CalibrationWritePending = false;
    // Without a procedure nothing may go on sending: the follow-up read of a settings page
    // would otherwise fall back to the reading poll and send it every second.
    if (!procedures_->anyActive())
        timerSetAuto_->setEnabled(false);
    lamp1_.setVisible(false);
    const quint8 exceptionCode = replyBuffer_[2];
    qCInfo(lcLink) << "exception reply, code" << exceptionCode;
    const QString text = ExceptionReplyText(exceptionCode);
    emit exceptionReply(exceptionCode, text);
    if (!text.isEmpty())
        notify(text);
}

void LinkEngine::TimerWaitAnswTimer() {
    ExchangeScope scope(exchangeDepth_, [this] { flushNotices(); });
    const quint64 sendsBefore = sends_;
    timerWaitAnsw_->setEnabled(false);
    emit statusText(QString::fromUtf8(linktext::kNoReply));
    ++stats_.unanswered;
    emit counterChanged(LinkCounter::Unanswered);
    closeExchange(sendsBefore, true);
    awaitingReply_ = false;
    raiseProcedureFailures();
    lamp3_.setLitColor(LampState::kRed);
    lamp3_.setLit(false);
    procedures_->CalibrationWritePending = false;
    if (!procedures_->anyActive())
        timerSetAuto_->setEnabled(false);
    emit timedOut();
}

void LinkEngine::TimerSetAutoTimer() {
    if (held_)
        return;
    timerSetAuto_->setInterval(1000);
    if (procedures_->ProcedureFailures >= kProcedureFailureLimit) {
        emit procedureFailureLimit();
        return;
    }
    lamp1_.setVisible(true);
    lamp1_.setLit(true);
    lamp2_.setVisible(true);
    lamp2_.setLit(true);
    const RequestRecord r = *currentRequest_;
    const RequestCodeInfo& info = CodeInfo(r.requestCode());
    if (info.repeat == Repeat::Once)
        timerSetAuto_->setEnabled(false);
    quint32 colour = LampState::kBlue;
    switch (info.op) {
        case SendOp::Write16:
            SendInquiryWrite16(r);
            break;
        case SendOp::WriteBlock:
            SendInquiryWriteBlock(r);
            break;
        case SendOp::Write06:
            SendInquiryWrite06(r);
            break;
        default:
            SendInquiryTuning(r);
            colour = LampState::kGreen;
            break;
    }
    lamp1_.setLitColor(colour);
    lamp2_.setLitColor(colour);
}
