#pragma once
#include <QtGlobal>
#include <array>

// One prepared Modbus request. Passed by value; a send operation keeps only the code and the
// reply length.
struct RequestRecord {
    quint16 SlaveAddress = 0;  // only the low byte goes into the frame
    quint16 StartRegister = 0;
    quint16 RegisterCount = 0;
    quint16 ReplyLength = 0;              // complete normal reply, checksum included (reads only)
    quint16 WordValue = 0;                // single-register write
    quint32 LongValue = 0;                // two-register write: integer or float bit pattern
    const quint16* WordValues = nullptr;  // block write; storage belongs to the caller
    quint8 Code = 0;
};

// How a request code is sent.
enum class SendOp { None, Inquiry, Tuning, Write06, Write16, WriteBlock, OwnFrame };

struct RequestCodeInfo {
    quint8 code;
    SendOp op;        // the operation that sends it (the timer-sent ones as the tick does)
    quint8 function;  // Modbus function, 0 for own frames and unsent codes
    quint16 reg;      // preset register, 0 when a handler sets it
    quint16 count;
    quint16 replyLength;
};

constexpr int kRequestCodeCount = 30;

// Every request code with what is preset for it; the prepared records start from these rows.
extern const std::array<RequestCodeInfo, kRequestCodeCount> kRequestCodes;

// The prepared record of a code, filled from its row.
RequestRecord PreparedRecord(int code);
