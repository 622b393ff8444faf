// The transaction engine driven by a fake port and a manual clock.
#include <QtTest>

#include "fakeport.h"
#include "link/crc.h"
#include "link/engine.h"
#include "link/frames.h"
#include "manualclock.h"
#include "replies.h"

namespace {

QByteArray readReply(int registers, quint8 fill = 0x11) {
    QByteArray body;
    body.append(char(1));
    body.append(char(3));
    body.append(char(2 * registers));
    body.append(QByteArray(2 * registers, char(fill)));
    return replies::withCrc(body);
}

struct Recorder : LinkHooks {
    QStringList statuses, messages, errors;
    int cleared = 0, arrived = 0, accepted = 0, timedOut = 0, replyTimes = 0, pollSteps = 0;
    int procedureStops = 0;
    std::optional<int> address = 1;
    std::optional<int> setupAddress() override { return address; }

    void listen(LinkEngine& e) {
        QObject::connect(&e, &LinkEngine::errorReport, &e,
                         [this](const QString& t) { errors << t; });
        QObject::connect(&e, &LinkEngine::message, &e, [this](const QString& t) { messages << t; });
        QObject::connect(&e, &LinkEngine::statusText, &e,
                         [this](const QString& t) { statuses << t; });
        QObject::connect(&e, &LinkEngine::replyCompleted, &e, [this] { ++replyTimes; });
        QObject::connect(&e, &LinkEngine::checksumError, &e, [this] { ++cleared; });
        QObject::connect(&e, &LinkEngine::timedOut, &e, [this] {
            ++cleared;
            ++timedOut;
        });
        QObject::connect(&e, &LinkEngine::inquirySent, &e, [this] { ++pollSteps; });
        QObject::connect(&e, &LinkEngine::replyArrived, &e, [this] { ++arrived; });
        QObject::connect(&e, &LinkEngine::replyAccepted, &e, [this] { ++accepted; });
        QObject::connect(&e, &LinkEngine::procedureFailureLimit, &e, [this] { ++procedureStops; });
    }
};

struct Fixture {
    FakePort port;
    ManualClock clock;
    Recorder hooks;
    ProcedureState procedures;
    LinkEngine engine{&port, &clock, &hooks, &procedures};
    QList<QByteArray> handled;  // replies that reached a handler, with their code first
    std::array<RequestRecord, kRequestCodeCount> records;
    Fixture() {
        hooks.listen(engine);
        for (int code = 0; code < kRequestCodeCount; ++code) {
            records[code] = PreparedRecord(RequestCode(code));
            records[code].SlaveAddress = 1;
            engine.setReplyHandler(
                nullptr, RequestCode(code), [this, code](const quint8* r, int n) {
                    handled.append(QByteArray(1, char(code)) +
                                   QByteArray(reinterpret_cast<const char*>(r), n));
                });
        }
    }
    void readBlock() {
        RequestRecord r = PreparedRecord(RequestCode::MeasuredBlock);
        r.SlaveAddress = 1;
        QVERIFY(engine.SendInquiry(r));
    }
    void setCurrent(int code) { engine.setCurrentRequest(&records[code]); }
};

}  // namespace

class EngineTest : public QObject {
    Q_OBJECT
  private slots:
    void completesOnlyAtAwaitedLength_data();
    void completesOnlyAtAwaitedLength();
    void sendOperationsDiffer();
    void exceptionReplyShortensToFive();
    void exceptionWithUnknownCodeShowsNothing();
    void checksumErrorThenTimeout();
    void twoRepliesInOneEventFailChecksum();
    void sendWhileWaitingJudgesAgainstNewRequest();
    void staleReplyIsFlushedBeforeNextSend();
    void raisedTimeoutRestartsAtThreeSeconds();
    void codesWithoutHandlerStillComplete();
    void sequencingTickSendsCurrentRequest();
    void fifthFailureStopsProcedures();
    void oversizedEventIsAFailedReply();
    void failedReadIsNotJudgedOnOldBytes();
    void portFailureSendsNothing();
    void failedSendKeepsTheAwaitedRequest();
    void setupAddressNotANumberSendsNothing();
    void replyGoesToThePageThatSentIt();
    void pauseHoldsEveryTimedSend();
    void onlyStampingSendsMeasureReplyTime();
    void followUpStopsWithoutProcedure_data();
    void followUpStopsWithoutProcedure();
    void addressZeroIsNeverSent();
    void requestSentFromHandlerKeepsItsReply();
    void messagesWaitForTheEndOfTheExchange();
    void malformedRepliesFail_data();
    void malformedRepliesFail();
    void noiseDoesNotKeepTheExceptionLength();
    void lostDeviceIsReportedOnce();
};

void EngineTest::completesOnlyAtAwaitedLength_data() {
    QTest::addColumn<int>("chunk");
    QTest::newRow("whole") << 121;
    QTest::newRow("bytes of 8") << 8;
    QTest::newRow("single bytes") << 1;
}

void EngineTest::completesOnlyAtAwaitedLength() {
    QFETCH(int, chunk);
    Fixture f;
    f.readBlock();
    QCOMPARE(f.port.lastWritten().toHex(' '), QByteArray("01 03 00 00 00 3a c5 d9"));
    const QByteArray reply = readReply(58);
    f.port.deliverInChunks(reply.left(120), chunk);
    QCOMPARE(f.hooks.arrived, 0);
    QVERIFY(f.handled.isEmpty());
    QVERIFY(f.engine.awaitingReply());
    f.port.deliver(reply.right(1));
    QCOMPARE(f.hooks.arrived, 1);
    QCOMPARE(f.handled.size(), 1);
    QCOMPARE(f.handled.first(), QByteArray(1, 0) + reply);
    QVERIFY(!f.engine.awaitingReply());
    QCOMPARE(f.hooks.statuses, QStringList{QStringLiteral("  Операция завершена успешно")});
    QCOMPARE(f.hooks.replyTimes, 1);
    QVERIFY(!f.engine.timerWaitAnsw()->isEnabled());
    QVERIFY(!f.engine.lamp1().visible());
    QVERIFY(!f.engine.lamp3().lit());
    // Nothing follows: the time-out was stopped.
    f.clock.advance(10000);
    QCOMPARE(f.hooks.timedOut, 0);
    QCOMPARE(f.engine.statistics().total, 1u);
}

void EngineTest::sendOperationsDiffer() {
    Fixture f;
    f.hooks.address = 0x105;  // only the low byte is an address
    RequestRecord r;
    r.SlaveAddress = 7;
    r.StartRegister = 0x0204;
    r.WordValue = 5;
    r.Code = 13;
    QVERIFY(f.engine.SendInquiryWrite06(r));
    QCOMPARE(quint8(f.port.lastWritten().at(0)), quint8(7));
    QCOMPARE(f.engine.outstandingReplyLength(), quint16(8));

    r = PreparedRecord(RequestCode(16));
    r.LongValue = 0x3F800000;
    QVERIFY(f.engine.SendInquiryWrite16(r));
    QCOMPARE(f.port.lastWritten().toHex(' '),
             QByteArray("05 10 08 00 00 02 04 3f 80 00 00").append(' ') +
                 f.port.lastWritten().right(2).toHex(' '));
    QCOMPARE(f.port.lastWritten().size(), 13);

    const quint16 words[3] = {1, 2, 3};
    r = PreparedRecord(RequestCode(12));
    r.WordValues = words;
    f.clock.advance(5);
    QVERIFY(f.engine.SendInquiryWriteBlock(r));
    QCOMPARE(f.port.lastWritten().size(), 15);
    QCOMPARE(f.engine.sendTime(), f.clock.nowMs());

    r = PreparedRecord(RequestCode(22));
    QVERIFY(f.engine.SendInquiryTuning(r));
    QCOMPARE(f.port.lastWritten().left(6).toHex(' '), QByteArray("05 03 02 10 00 01"));
    QCOMPARE(f.engine.outstandingReplyLength(), quint16(7));
    // Only the polling read counts requests and steps the polling timer.
    QCOMPARE(f.engine.statistics().total, 0u);
    QCOMPARE(f.hooks.pollSteps, 0);
    f.readBlock();
    QCOMPARE(f.engine.statistics().total, 1u);
    QCOMPARE(f.hooks.pollSteps, 1);
}

void EngineTest::exceptionReplyShortensToFive() {
    Fixture f;
    f.setCurrent(20);
    f.readBlock();
    f.port.deliver(QByteArray::fromHex("018302"));
    QVERIFY(f.engine.awaitingReply());  // three bytes: not yet known as an exception
    f.port.deliver(QByteArray::fromHex("c0f1"));
    QVERIFY(!f.engine.awaitingReply());
    QCOMPARE(f.hooks.messages,
             QStringList{QStringLiteral("Адрес данных указанный в запросе не доступен")});
    QVERIFY(f.handled.isEmpty());
    QVERIFY(f.hooks.statuses.isEmpty());
    QCOMPARE(f.hooks.replyTimes, 0);
    QCOMPARE(f.engine.currentRequest()->Code, quint8(24));
    QVERIFY(f.engine.lamp2().visible() && f.engine.lamp2().lit());
    QVERIFY(!f.engine.lamp1().visible());
    f.clock.advance(5000);
    QCOMPARE(f.engine.statistics().unanswered, 0u);
}

void EngineTest::exceptionWithUnknownCodeShowsNothing() {
    for (quint8 code : {quint8(9), quint8(12), quint8(200)}) {
        Fixture f;
        f.procedures.CalibrationWritePending = true;
        f.setCurrent(8);
        f.readBlock();
        f.port.deliver(replies::withCrc(QByteArray::fromHex("0183") + QByteArray(1, char(code))));
        QVERIFY(f.hooks.messages.isEmpty());
        QVERIFY(!f.procedures.CalibrationWritePending);
        QCOMPARE(f.engine.currentRequest()->Code, quint8(8));
    }
}

void EngineTest::checksumErrorThenTimeout() {
    Fixture f;
    f.procedures.MetrologyActive = true;
    f.procedures.CurrentOutputActive = true;
    f.readBlock();
    QByteArray reply = readReply(58);
    reply[120] = char(reply[120] ^ 0x01);
    f.clock.advance(500);
    f.port.deliver(reply);
    QCOMPARE(f.engine.statistics().crcErrors, 1u);
    QCOMPARE(f.hooks.cleared, 1);
    QCOMPARE(f.hooks.statuses.last(), QStringLiteral("  Ошибка контрольной суммы !"));
    QCOMPARE(f.procedures.ProcedureFailures, quint16(2));
    QVERIFY(f.engine.awaitingReply());
    QVERIFY(f.handled.isEmpty());
    f.clock.advance(2499);
    QCOMPARE(f.hooks.timedOut, 0);
    f.clock.advance(1);
    QCOMPARE(f.hooks.timedOut, 1);
    QCOMPARE(f.engine.statistics().unanswered, 1u);
    QCOMPARE(f.hooks.statuses.last(), QStringLiteral("  Нет ответа от устройства !"));
    QCOMPARE(f.procedures.ProcedureFailures, quint16(4));
    QVERIFY(!f.engine.awaitingReply());
    QCOMPARE(f.engine.lamp3().litColor(), LampState::kRed);
    QVERIFY(!f.engine.lamp3().lit());
}

void EngineTest::twoRepliesInOneEventFailChecksum() {
    Fixture f;
    RequestRecord r = PreparedRecord(RequestCode(22));
    QVERIFY(f.engine.SendInquiryTuning(r));
    const QByteArray one = readReply(1);
    f.port.arriveQuietly(one);
    f.port.arriveQuietly(one);
    f.port.raise();
    QCOMPARE(f.engine.statistics().crcErrors, 1u);
    QVERIFY(f.handled.isEmpty());
}

void EngineTest::sendWhileWaitingJudgesAgainstNewRequest() {
    Fixture f;
    f.readBlock();
    RequestRecord r = PreparedRecord(RequestCode(23));
    QVERIFY(f.engine.SendInquiryTuning(r));
    QCOMPARE(f.engine.outstandingCode(), RequestCode::SchemeRead);
    const QByteArray reply = readReply(1);
    f.port.deliver(reply);
    QCOMPARE(f.handled.size(), 1);
    QCOMPARE(int(f.handled.first().at(0)), 23);
}

void EngineTest::staleReplyIsFlushedBeforeNextSend() {
    Fixture f;
    f.readBlock();
    f.clock.advance(3000);
    QCOMPARE(f.hooks.timedOut, 1);
    // The late reply lands while nothing is awaited and is left alone ...
    f.port.deliver(readReply(58, 0x22));
    QVERIFY(f.handled.isEmpty());
    // ... but the next send drops it, so the fresh reply is read on its own.
    f.readBlock();
    f.port.deliver(readReply(58, 0x33));
    QCOMPARE(f.handled.size(), 1);
    QCOMPARE(quint8(f.handled.first().at(4)), quint8(0x33));
    QCOMPARE(f.engine.statistics().crcErrors, 0u);
}

void EngineTest::raisedTimeoutRestartsAtThreeSeconds() {
    Fixture f;
    f.engine.timerWaitAnsw()->setInterval(LinkEngine::kLongReplyTimeoutMs);
    RequestRecord r = PreparedRecord(RequestCode(16));
    QVERIFY(f.engine.SendInquiryWrite16(r));
    f.clock.advance(4000);
    f.port.deliver(QByteArray::fromHex("0110"));  // a first part of the reply
    f.clock.advance(2999);
    QCOMPARE(f.hooks.timedOut, 0);
    f.clock.advance(1);
    QCOMPARE(f.hooks.timedOut, 1);  // 7 s after the send
    // At the usual interval a partial reply does not restart the time-out.
    QVERIFY(f.engine.SendInquiryWrite16(r));
    f.clock.advance(2000);
    f.port.deliver(QByteArray::fromHex("0110"));
    f.clock.advance(1000);
    QCOMPARE(f.hooks.timedOut, 2);
}

void EngineTest::codesWithoutHandlerStillComplete() {
    Fixture f;
    f.engine.setReplyHandler(nullptr, RequestCode::Unused1, {});
    RequestRecord r = PreparedRecord(RequestCode(22));
    r.Code = 1;
    f.procedures.ProcedureFailures = 3;
    QVERIFY(f.engine.SendInquiryTuning(r));
    f.port.deliver(readReply(1));
    QVERIFY(f.handled.isEmpty());
    QCOMPARE(f.hooks.statuses, QStringList{QStringLiteral("  Операция завершена успешно")});
    QCOMPARE(f.hooks.replyTimes, 1);
    QCOMPARE(f.procedures.ProcedureFailures, quint16(0));
}

void EngineTest::sequencingTickSendsCurrentRequest() {
    Fixture f;
    f.procedures.MetrologyActive = true;  // keeps the timer through the time-outs
    LinkTimer* t = f.engine.timerSetAuto();
    QCOMPARE(t->interval(), 500);
    f.setCurrent(24);
    t->start();
    f.clock.advance(500);
    QCOMPARE(f.port.written.size(), 1);
    QCOMPARE(f.port.lastWritten().left(6).toHex(' '), QByteArray("01 03 00 00 00 3a"));
    QCOMPARE(f.engine.lamp1().litColor(), LampState::kGreen);
    QCOMPARE(t->interval(), 1000);
    // No reply: the tick sends again before the 3 s time-out runs out.
    f.clock.advance(1000);
    QCOMPARE(f.port.written.size(), 2);
    f.setCurrent(28);
    f.clock.advance(1000);
    QCOMPARE(quint8(f.port.lastWritten().at(1)), quint8(6));
    QCOMPARE(f.engine.lamp2().litColor(), LampState::kBlue);
    // Code 29 stops the timer before it is sent.
    f.setCurrent(29);
    f.clock.advance(1000);
    QCOMPARE(f.port.written.size(), 4);
    QVERIFY(!t->isEnabled());
    f.clock.advance(5000);
    QCOMPARE(f.port.written.size(), 4);
}

void EngineTest::fifthFailureStopsProcedures() {
    Fixture f;
    f.procedures.MetrologyActive = true;
    f.setCurrent(24);
    f.engine.timerSetAuto()->start();
    // Ticks at 0.5 s and then every second; each unanswered read times out 3 s after the
    // tick that armed it, so the failures come at 3.5, 6.5, 9.5, 12.5 and 15.5 s, and the
    // tick due with the fifth stops both procedures instead of sending.
    f.clock.advance(15499);
    QCOMPARE(f.procedures.ProcedureFailures, quint16(4));
    QCOMPARE(f.hooks.procedureStops, 0);
    const int sent = f.port.written.size();
    f.clock.advance(1);
    QCOMPARE(f.procedures.ProcedureFailures, quint16(5));
    QCOMPARE(f.hooks.procedureStops, 1);
    QCOMPARE(f.port.written.size(), sent);
}

void EngineTest::oversizedEventIsAFailedReply() {
    Fixture f;
    f.readBlock();
    QByteArray flood(LinkEngine::kReplyBufferSize + 100, char(0x01));
    f.port.deliver(flood);
    QCOMPARE(f.engine.statistics().crcErrors, 1u);
    QVERIFY(f.handled.isEmpty());
    QCOMPARE(f.port.input().size(), 0);
}

void EngineTest::failedReadIsNotJudgedOnOldBytes() {
    Fixture f;
    f.readBlock();
    f.port.deliver(readReply(58));
    QCOMPARE(f.handled.size(), 1);
    f.readBlock();
    f.port.failReads = true;
    f.port.deliver(readReply(58));
    QCOMPARE(f.hooks.messages, QStringList{QStringLiteral(" Ошибка приема информации !")});
    QCOMPARE(f.handled.size(), 1);
    QCOMPARE(f.engine.statistics().crcErrors, 1u);
}

void EngineTest::portFailureSendsNothing() {
    Fixture f;
    f.port.failNext = true;
    RequestRecord r = PreparedRecord(RequestCode(0));
    r.SlaveAddress = 1;  // a good request: only the port refuses it
    QVERIFY(!f.engine.SendInquiry(r));
    QCOMPARE(f.hooks.errors.size(), 1);
    QVERIFY(!f.engine.awaitingReply());
    QVERIFY(!f.engine.timerWaitAnsw()->isEnabled());
    QCOMPARE(f.engine.statistics().total, 0u);
}

// Found by fuzzing: the failed send took over the code of the request still awaited, and that
// request's reply went to the failed one's handler.
void EngineTest::failedSendKeepsTheAwaitedRequest() {
    Fixture f;
    f.readBlock();
    f.port.failNext = true;
    QVERIFY(!f.engine.SendInquiryTuning(f.records[23]));
    QVERIFY(f.engine.awaitingReply());
    QCOMPARE(f.engine.outstandingCode(), RequestCode::MeasuredBlock);
    f.port.deliver(readReply(58));
    QCOMPARE(f.handled.size(), 1);
    QCOMPARE(int(f.handled.first().at(0)), 0);
    QCOMPARE(f.handled.first().size(), 1 + 121);
}

void EngineTest::setupAddressNotANumberSendsNothing() {
    Fixture f;
    f.hooks.address.reset();
    QVERIFY(!f.engine.SendInquiryTuning(PreparedRecord(RequestCode(22))));
    QVERIFY(!f.engine.SendInquiryWrite16(PreparedRecord(RequestCode(16))));
    QVERIFY(f.port.written.isEmpty());
    QCOMPARE(f.hooks.errors.size(), 2);
}

void EngineTest::replyGoesToThePageThatSentIt() {
    Fixture f;
    QObject pageA, pageB;
    QStringList got;
    for (QObject* page : {&pageA, &pageB}) {
        f.engine.setReplyHandler(page, RequestCode::MainParameterWrite,
                                 [&got, page](const quint8*, int) { got << page->objectName(); });
    }
    pageA.setObjectName(QStringLiteral("A"));
    pageB.setObjectName(QStringLiteral("B"));
    RequestRecord r = PreparedRecord(RequestCode::MainParameterWrite, &pageB);
    r.SlaveAddress = 1;
    QVERIFY(f.engine.SendInquiryWrite06(r));
    f.port.deliver(f.port.lastWritten());  // a write is answered by its echo
    r.Sender = &pageA;
    QVERIFY(f.engine.SendInquiryWrite06(r));
    f.port.deliver(f.port.lastWritten());
    QCOMPARE(got, (QStringList{QStringLiteral("B"), QStringLiteral("A")}));
    // The handlers of the fixture, registered without a page, do not see these replies.
    QVERIFY(f.handled.isEmpty());
}

void EngineTest::pauseHoldsEveryTimedSend() {
    Fixture f;
    f.procedures.MetrologyActive = true;
    f.setCurrent(24);
    f.engine.timerSetAuto()->start();
    f.clock.advance(500);
    QCOMPARE(f.port.written.size(), 1);
    int resumed = 0;
    f.engine.pause(1000, [&] {
        ++resumed;
        f.readBlock();
    });
    // The reply of the read sent at 0.5 s comes during the pause: it waits.
    f.port.deliver(readReply(58));
    QVERIFY(f.handled.isEmpty());
    f.clock.advance(999);
    QCOMPARE(f.port.written.size(), 1);  // the tick at 1.5 s sent nothing
    QCOMPARE(resumed, 0);
    f.clock.advance(1);
    QCOMPARE(resumed, 1);
    // The pause ended with the read of the continuation; the bytes that came meanwhile were
    // flushed by its send, as any stale reply is.
    QCOMPARE(f.port.written.size(), 2);
    QVERIFY(f.handled.isEmpty());
    f.port.deliver(readReply(58));
    QCOMPARE(f.handled.size(), 1);
}

void EngineTest::onlyStampingSendsMeasureReplyTime() {
    Fixture f;
    f.readBlock();
    QVERIFY(f.engine.sendTimeCurrent());
    QVERIFY(f.engine.SendInquiryWrite06(f.records[13]));
    QVERIFY(!f.engine.sendTimeCurrent());
    QVERIFY(f.engine.SendInquiryTuning(f.records[22]));
    QVERIFY(!f.engine.sendTimeCurrent());
    const quint16 words[3] = {};
    f.records[12].WordValues = words;
    QVERIFY(f.engine.SendInquiryWriteBlock(f.records[12]));
    QVERIFY(f.engine.sendTimeCurrent());
}

void EngineTest::followUpStopsWithoutProcedure_data() {
    QTest::addColumn<bool>("exception");
    QTest::addColumn<bool>("procedure");
    QTest::addColumn<bool>("keepsRunning");
    QTest::newRow("time-out, no procedure") << false << false << false;
    QTest::newRow("exception, no procedure") << true << false << false;
    QTest::newRow("time-out, metrology") << false << true << true;
    QTest::newRow("exception, metrology") << true << true << true;
}

void EngineTest::followUpStopsWithoutProcedure() {
    QFETCH(bool, exception);
    QFETCH(bool, procedure);
    QFETCH(bool, keepsRunning);
    Fixture f;
    f.procedures.MetrologyActive = procedure;
    f.setCurrent(4);
    f.engine.timerSetAuto()->start();
    f.clock.advance(500);
    QCOMPARE(f.port.written.size(), 1);
    if (exception)
        f.port.deliver(QByteArray::fromHex("018302c0f1"));
    else
        f.clock.advance(3000);
    QCOMPARE(f.engine.timerSetAuto()->isEnabled(), keepsRunning);
    const int sent = f.port.written.size();
    f.clock.advance(5000);
    QCOMPARE(f.port.written.size() > sent, keepsRunning);
}

void EngineTest::addressZeroIsNeverSent() {
    Fixture f;
    RequestRecord write = PreparedRecord(RequestCode::MainParameterWrite);  // address not filled
    QVERIFY(!f.engine.SendInquiryWrite06(write));
    RequestRecord read = PreparedRecord(RequestCode::MeasuredBlock);
    QVERIFY(!f.engine.SendInquiry(read));
    f.hooks.address = 0x100;  // its low byte is 0
    QVERIFY(!f.engine.SendInquiryWrite16(f.records[16]));
    QVERIFY(f.port.written.isEmpty());
    QVERIFY(!f.engine.awaitingReply());
    QCOMPARE(f.hooks.errors.size(), 3);
    QCOMPARE(f.engine.statistics().total, 0u);
}

// A handler that sends the next request at once: its reply may already be waiting when the
// first exchange closes, and must not be dropped with the rest of that exchange.
void EngineTest::requestSentFromHandlerKeepsItsReply() {
    Fixture f;
    int handled = 0;
    f.engine.setReplyHandler(nullptr, RequestCode::MeasuredBlock, [&](const quint8*, int) {
        if (++handled == 1) {
            f.readBlock();
            f.port.arriveQuietly(readReply(58));  // a fast device answers before we return
        }
    });
    f.readBlock();
    f.port.deliver(readReply(58));
    QCOMPARE(f.port.input().size(), readReply(58).size());
    f.port.raise();
    QCOMPARE(handled, 2);
    QCOMPARE(f.engine.statistics().unanswered, 0u);
    QCOMPARE(f.engine.statistics().crcErrors, 0u);
}

void EngineTest::messagesWaitForTheEndOfTheExchange() {
    Fixture f;
    int flushesAtMessage = -1;
    QObject::connect(&f.engine, &LinkEngine::message, &f.engine,
                     [&](const QString&) { flushesAtMessage = f.port.inFlushes; });
    f.engine.setReplyHandler(nullptr, RequestCode::MeasuredBlock,
                             [&](const quint8*, int) { f.engine.notify(QStringLiteral("x")); });
    bool completedAtMessage = false;
    bool completed = false;
    QObject::connect(&f.engine, &LinkEngine::replyCompleted, &f.engine, [&] { completed = true; });
    QObject::connect(&f.engine, &LinkEngine::message, &f.engine,
                     [&](const QString&) { completedAtMessage = completed; });
    f.readBlock();
    const int flushesBefore = f.port.inFlushes;
    f.port.deliver(readReply(58));
    // Shown once the engine had finished with the reply.
    QVERIFY(completedAtMessage);
    QCOMPARE(flushesAtMessage, flushesBefore);
    f.engine.notify(QStringLiteral("y"));  // outside an exchange: at once
    QCOMPARE(f.hooks.messages, (QStringList{QStringLiteral("x"), QStringLiteral("y")}));
}

// Replies whose checksum is right but which are not the reply to the request: each counts
// as a checksum error and reaches no handler.
void EngineTest::malformedRepliesFail_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("exceptionMessage");
    // A short read reply padded with zeros to the awaited 121 bytes still sums to 0.
    QTest::newRow("padded with zeros")
        << replies::withCrc(QByteArray::fromHex("0103020001")) + QByteArray(114, 0) << false;
    QTest::newRow("byte count not twice the registers")
        << replies::withCrc(QByteArray::fromHex("010372") + QByteArray(116, 0x11)) << false;
    QTest::newRow("one byte beyond the reply") << readReply(58) + QByteArray(1, 0) << false;
    // Function byte 0x80 has bit 7 set: it is an exception reply, never a success.
    QTest::newRow("function 0x80") << replies::withCrc(QByteArray::fromHex("018002")) << true;
}

void EngineTest::malformedRepliesFail() {
    QFETCH(QByteArray, reply);
    QFETCH(bool, exceptionMessage);
    Fixture f;
    f.procedures.ProcedureFailures = 2;
    f.readBlock();
    f.port.arriveQuietly(reply);
    f.port.raise();
    QVERIFY(f.handled.isEmpty());
    QVERIFY(!f.hooks.statuses.contains(QString::fromUtf8(linktext::kSuccess)));
    QCOMPARE(f.procedures.ProcedureFailures, quint16(2));  // not reset as by a good reply
    if (exceptionMessage) {
        QCOMPARE(f.hooks.messages,
                 QStringList{QStringLiteral("Адрес данных указанный в запросе не доступен")});
        QCOMPARE(f.engine.statistics().crcErrors, 0u);
    } else {
        QCOMPARE(f.engine.statistics().crcErrors, 1u);
    }
}

void EngineTest::noiseDoesNotKeepTheExceptionLength() {
    Fixture f;
    f.readBlock();
    // Five noise bytes whose second has bit 7 set look like an exception reply.
    f.port.deliver(QByteArray::fromHex("0080112233"));
    QCOMPARE(f.engine.statistics().crcErrors, 1u);
    QCOMPARE(f.engine.outstandingReplyLength(), quint16(121));
    const QByteArray reply = readReply(58);
    f.port.deliver(reply.left(40));
    f.port.deliver(reply.mid(40, 40));
    f.port.deliver(reply.mid(80));
    QCOMPARE(f.handled.size(), 1);
    QCOMPARE(f.engine.statistics().crcErrors, 1u);
}

void EngineTest::lostDeviceIsReportedOnce() {
    Fixture f;
    f.readBlock();
    f.port.loseDevice(QStringLiteral("COM1 gone"));
    QVERIFY(f.hooks.errors.isEmpty());  // not from inside the port's own call
    QCoreApplication::processEvents();
    QCOMPARE(f.hooks.errors, QStringList{QStringLiteral("COM1 gone")});
    // Every further send fails without a message of its own, and sends nothing.
    f.port.written.clear();
    for (int i = 0; i < 5; ++i) {
        RequestRecord r = PreparedRecord(RequestCode::MeasuredBlock);
        r.SlaveAddress = 1;
        QVERIFY(!f.engine.SendInquiry(r));
    }
    QCOMPARE(f.hooks.errors.size(), 1);
    QVERIFY(f.port.written.isEmpty());
    // The request that was out when the device went counts as unanswered.
    f.clock.advance(3000);
    QCOMPARE(f.engine.statistics().unanswered, 1u);
    f.port.deviceBack();
    f.readBlock();
    f.port.deliver(readReply(58));
    QCOMPARE(f.handled.size(), 1);
}

QTEST_GUILESS_MAIN(EngineTest)
#include "unit_engine.moc"
