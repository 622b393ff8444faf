#pragma once
#include <QtGlobal>
#include <array>

class QObject;

// Every request the program sends, by the number the reply dispatch knows it by.
enum class RequestCode : quint8 {
    MeasuredBlock = 0,
    Unused1 = 1,
    MainParameters = 2,
    IndicatorValues = 3,
    IndicatorSetup = 4,
    ClockRead = 5,
    RemoteIndicatorWrite = 6,
    RemoteIndicatorRead = 7,
    MetrologyReference = 8,
    OutputMeasuredValue = 9,
    BlockWrite = 10,
    Unused11 = 11,
    SetupBlockWrite = 12,  // indicator set-up or the clock
    MainParameterWrite = 13,
    SchemeWrite = 14,
    RatioStore = 15,
    RatedValue1 = 16,
    RatedValue2 = 17,
    RatedValue3 = 18,
    RatedValue4 = 19,
    MetrologyRatioRead = 20,
    RatioRead = 21,
    MetrologySchemeRead = 22,
    SchemeRead = 23,
    MetrologyPoll = 24,
    OutputVariantRead = 25,
    OutputStatusRead = 26,
    OutputVariantWrite = 27,
    OutputCommand = 28,
    MetrologyCommand = 29,
};

constexpr int kRequestCodeCount = 30;

constexpr int CodeIndex(RequestCode c) {
    return int(c);
}

// Registers of the transducer that requests name.
namespace reg {
constexpr quint16 MeasuredBlock = 0x0000;
constexpr quint16 MainParameters = 0x0200;        // 512, ten words
constexpr quint16 LogicalNumber = 0x0204;         // 516, first of the singly written words
constexpr quint16 Scheme = 0x0210;                // 528
constexpr quint16 OutputVariant = 0x0212;         // 530, written
constexpr quint16 OutputMode = 0x0214;            // 532, read
constexpr quint16 OutputVariantRead = 0x0216;     // 534
constexpr quint16 PowerTrimUp = 0x0280;           // 640
constexpr quint16 PowerTrimDown = 0x0281;         // 641
constexpr quint16 OutputStepUp = 0x0282;          // 642
constexpr quint16 OutputStepDown = 0x0283;        // 643
constexpr quint16 CorrectionMode = 0x02FE;        // 766
constexpr quint16 Store = 0x02FF;                 // 767
constexpr quint16 IndicatorValues = 0x0300;       // 768, six words
constexpr quint16 IndicatorSetup = 0x0400;        // 1024, six words read, three written
constexpr quint16 MetrologyReferences = 0x0700;   // 1792 + 4k
constexpr quint16 OutputMeasuredValues = 0x0780;  // 1920 + 12L + 4n
constexpr quint16 RatedValues = 0x0800;           // 2048 + 4k
constexpr quint16 Clock = 0x0900;                 // 2304, seven words read, six written
}  // namespace reg

// One prepared Modbus request. Passed by value; a send operation keeps only the code, the
// reply length and the sender.
struct RequestRecord {
    quint16 SlaveAddress = 0;  // only the low byte goes into the frame
    quint16 StartRegister = 0;
    quint16 RegisterCount = 0;
    quint16 ReplyLength = 0;              // complete normal reply, checksum included (reads only)
    quint16 WordValue = 0;                // single-register write
    quint32 LongValue = 0;                // two-register write: integer or float bit pattern
    const quint16* WordValues = nullptr;  // block write; storage belongs to the caller
    quint8 Code = 0;
    // Whose handler gets the reply: several pages send the same code.
    const QObject* Sender = nullptr;

    RequestCode requestCode() const { return RequestCode(Code); }
};

// How a request code is sent.
enum class SendOp { None, Inquiry, Tuning, Write06, Write16, WriteBlock, OwnFrame };

// What the sequencing tick does with a code: send it again at every tick until a reply moves
// on, or stop the sequencing timer first so that the request goes out once.
enum class Repeat : quint8 { EveryTick, Once };

struct RequestCodeInfo {
    RequestCode code;
    SendOp op;    // as the sequencing tick sends it; reads go through the setup address
    quint16 reg;  // preset register, 0 when a handler sets it
    quint16 count;
    quint16 replyLength;
    Repeat repeat;
};

// Every request code with what is preset for it; the prepared records start from these rows.
extern const std::array<RequestCodeInfo, kRequestCodeCount> kRequestCodes;

const RequestCodeInfo& CodeInfo(RequestCode code);

// The record of a code, filled from its row.
RequestRecord PreparedRecord(RequestCode code, const QObject* sender = nullptr);
