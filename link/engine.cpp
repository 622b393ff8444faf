#include "link/engine.h"

#include <QLoggingCategory>
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
}  // namespace

LinkEngine::LinkEngine(SerialPort* port, Clock* clock, LinkHooks* hooks, QObject* parent)
    : QObject(parent), port_(port), clock_(clock), hooks_(hooks) {
    static LinkHooks noHooks;
    if (!hooks_)
        hooks_ = &noHooks;
    timerWaitAnsw_ = clock_->createTimer(this);
    timerWaitAnsw_->setInterval(kReplyTimeoutMs);
    timerSetAuto_ = clock_->createTimer(this);
    timerSetAuto_->setInterval(500);
    for (int code = 0; code < kRequestCodeCount; ++code)
        prepared_[code] = PreparedRecord(code);
    currentRequest_ = &prepared_[24];
    lamp3_.setLit(false);
    connect(timerWaitAnsw_, &LinkTimer::timeout, this, &LinkEngine::TimerWaitAnswTimer);
    connect(timerSetAuto_, &LinkTimer::timeout, this, &LinkEngine::TimerSetAutoTimer);
    connect(port_, &SerialPort::triggerAvail, this, &LinkEngine::ComPortTriggerAvail);
}

void LinkEngine::setReplyHandler(int code, ReplyHandler handler) {
    if (code >= 0 && code < kRequestCodeCount)
        handlers_[code] = std::move(handler);
}

std::optional<quint8> LinkEngine::setupSlave() {
    std::optional<int> address = hooks_->setupAddress();
    if (!address) {
        hooks_->reportError(linktext::NotANumber(hooks_->setupAddressText()));
        return std::nullopt;
    }
    return static_cast<quint8>(*address & 0xFF);
}

// Steps shared by every send operation. A port failure ends the operation before the reply
// is awaited, as the operator must see that nothing went out.
bool LinkEngine::transmit(quint8 code, const quint8* frame, int length, quint16 replyLength,
                          bool stampBeforeArming, bool stampAfterArming) {
    outstandingCode_ = code;
    if (frame != requestFrame_.data()) {
        std::copy(frame, frame + length, requestFrame_.begin());
    }
    requestFrameLength_ = length;
    // Input is dropped as well as output: a reply that came after its time-out would
    // otherwise be read together with the next reply and fail its checksum.
    if (!port_->flushOutBuffer() || !port_->flushInBuffer() ||
        !port_->putBlock(requestFrame_.data(), length)) {
        hooks_->reportError(port_->errorString());
        return false;
    }
    qCDebug(lcFrames) << "tx" << hex(requestFrame_.data(), length);
    replyLength_ = replyLength;
    if (stampBeforeArming)
        sendTime_ = clock_->nowMs();
    timerWaitAnsw_->setEnabled(true);
    if (stampAfterArming)
        sendTime_ = clock_->nowMs();
    awaitingReply_ = true;
    return true;
}

bool LinkEngine::SendInquiry(const RequestRecord& r) {
    int n = frames::BuildRead(requestFrame_.data(), quint8(r.SlaveAddress), r.StartRegister,
                              r.RegisterCount);
    if (!transmit(r.Code, requestFrame_.data(), n, r.ReplyLength, false, true))
        return false;
    hooks_->pollingTimerStep();
    ++stats_.total;
    hooks_->counterChanged(LinkCounter::Total);
    return true;
}

bool LinkEngine::SendInquiryTuning(const RequestRecord& r) {
    std::optional<quint8> slave = setupSlave();
    if (!slave)
        return false;
    int n = frames::BuildRead(requestFrame_.data(), *slave, r.StartRegister, r.RegisterCount);
    return transmit(r.Code, requestFrame_.data(), n, r.ReplyLength, false, false);
}

bool LinkEngine::SendInquiryWrite06(const RequestRecord& r) {
    int n = frames::BuildWrite06(requestFrame_.data(), quint8(r.SlaveAddress), r.StartRegister,
                                 r.WordValue);
    return transmit(r.Code, requestFrame_.data(), n, frames::kWriteReplyLength, false, false);
}

bool LinkEngine::SendInquiryWrite16(const RequestRecord& r) {
    std::optional<quint8> slave = setupSlave();
    if (!slave)
        return false;
    int n = frames::BuildWriteLong(requestFrame_.data(), *slave, r.StartRegister, r.RegisterCount,
                                   r.LongValue);
    return transmit(r.Code, requestFrame_.data(), n, frames::kWriteReplyLength, false, false);
}

bool LinkEngine::SendInquiryWriteBlock(const RequestRecord& r) {
    std::optional<quint8> slave = setupSlave();
    if (!slave)
        return false;
    quint16 count = std::min<quint16>(r.RegisterCount, frames::kMaxBlockWords);
    static const quint16 kNoWords[frames::kMaxBlockWords] = {};
    int n = frames::BuildWriteBlock(requestFrame_.data(), *slave, r.StartRegister,
                                    r.WordValues ? r.WordValues : kNoWords, count);
    return transmit(r.Code, requestFrame_.data(), n, frames::kWriteReplyLength, true, false);
}

bool LinkEngine::SendOwnFrame(const quint8* frame, int length, quint8 code, quint16 replyLength) {
    if (length <= 0 || length > int(requestFrame_.size()))
        return false;
    return transmit(code, frame, length, replyLength, false, false);
}

void LinkEngine::raiseProcedureFailures() {
    if (MetrologyActive)
        ++ProcedureFailures;
    if (CurrentOutputActive)
        ++ProcedureFailures;
}

void LinkEngine::countChecksumError() {
    hooks_->clearMeasuredValues();
    ++stats_.crcErrors;
    hooks_->counterChanged(LinkCounter::CrcErrors);
    hooks_->showStatus(QString::fromUtf8(linktext::kChecksumError));
    raiseProcedureFailures();
}

void LinkEngine::closeExchange() {
    port_->flushInBuffer();
    port_->flushOutBuffer();
}

void LinkEngine::ComPortTriggerAvail(int count) {
    timerWaitAnsw_->setInterval(kReplyTimeoutMs);
    if (InfoChannelMode) {
        hooks_->infoChannelAvail(count);
        return;
    }
    if (awaitingReply_ && count > 4) {
        int function = port_->peekChar(2);
        if (function >= 0 && (function & 0x80))
            replyLength_ = frames::kExceptionReplyLength;
    }
    if (!awaitingReply_ || port_->inBuffUsed() < replyLength_)
        return;

    hooks_->replyArrived();

    // The reply buffer is as large as the port's input buffer was meant to be; anything
    // beyond it cannot be a valid reply and is dropped with the closing flush.
    const bool overflow = count > kReplyBufferSize;
    const int length = std::clamp(count, 0, kReplyBufferSize);
    bool readOk = port_->getBlock(replyBuffer_.data(), length);
    if (!readOk)
        hooks_->showMessage(QString::fromUtf8(linktext::kReceiveError));
    qCDebug(lcFrames) << "rx" << hex(replyBuffer_.data(), length);

    // A failed read leaves an earlier reply in the buffer; judging that one again would show
    // old values as new, so it counts as a bad reply.
    if (!readOk || overflow || ModbusCrc16(replyBuffer_.data(), quint16(length)) != 0) {
        countChecksumError();
        closeExchange();
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
    hooks_->replyAccepted();

    if (length >= 2 && replyBuffer_[1] > 0x80) {
        handleException();
        closeExchange();
        return;
    }

    const int code = outstandingCode_;
    if (code < kRequestCodeCount && handlers_[code])
        handlers_[code](replyBuffer_.data(), length);
    ProcedureFailures = 0;
    hooks_->showReplyTime();
    hooks_->showStatus(QString::fromUtf8(linktext::kSuccess));
    lamp1_.setVisible(false);
    lamp2_.setVisible(false);
    lamp3_.setLit(false);
    closeExchange();
}

void LinkEngine::handleException() {
    if (!CalibrationWritePending)
        currentRequest_ = &prepared_[24];
    CalibrationWritePending = false;
    hooks_->setCalibrationInputsEnabled(true);
    hooks_->setRatioGroupEnabled(true);
    hooks_->hideSchemeProgress();
    lamp1_.setVisible(false);
    const quint8 exceptionCode = replyBuffer_[2];
    qCInfo(lcLink) << "exception reply, code" << exceptionCode;
    QString text = ExceptionReplyText(exceptionCode);
    if (!text.isEmpty())
        hooks_->showMessage(text);
}

void LinkEngine::TimerWaitAnswTimer() {
    timerWaitAnsw_->setEnabled(false);
    hooks_->clearMeasuredValues();
    hooks_->showStatus(QString::fromUtf8(linktext::kNoReply));
    ++stats_.unanswered;
    hooks_->counterChanged(LinkCounter::Unanswered);
    closeExchange();
    awaitingReply_ = false;
    hooks_->replyTimedOut();
    raiseProcedureFailures();
    lamp3_.setLitColor(LampState::kRed);
    lamp3_.setLit(false);
    CalibrationWritePending = false;
    hooks_->setCalibrationInputsEnabled(true);
    if (!MetrologyActive)
        hooks_->setRatioGroupEnabled(true);
    hooks_->hideSchemeProgress();
}

void LinkEngine::TimerSetAutoTimer() {
    timerSetAuto_->setInterval(1000);
    if (ProcedureFailures >= kProcedureFailureLimit) {
        hooks_->stopMetrology();
        hooks_->stopCurrentOutput();
        return;
    }
    lamp1_.setVisible(true);
    lamp1_.setLit(true);
    lamp2_.setVisible(true);
    lamp2_.setLit(true);
    const RequestRecord r = *currentRequest_;
    quint32 colour = LampState::kBlue;
    switch (r.Code) {
        case 8:
        case 9:
            SendInquiryWrite16(r);
            break;
        case 10:
            SendInquiryWriteBlock(r);
            break;
        case 27:
        case 28:
            SendInquiryWrite06(r);
            break;
        case 29:
            timerSetAuto_->setEnabled(false);
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
