#include "link/requestrecord.h"

// clang-format off
const std::array<RequestCodeInfo, kRequestCodeCount> kRequestCodes = {{
    { 0, SendOp::Inquiry,    3,  0x0000, 58, 121},  // measured-value block
    { 1, SendOp::None,       0,  0,       0,   0},
    { 2, SendOp::Inquiry,    3,  0x0200, 10,  25},  // main parameter block
    { 3, SendOp::Inquiry,    3,  0x0300,  6,  17},  // indicator values
    { 4, SendOp::Inquiry,    3,  0x0400,  6,  17},  // indicator set-up
    { 5, SendOp::Inquiry,    3,  0x0900,  7,  19},  // device clock
    { 6, SendOp::OwnFrame,   0,  0,       0,   6},  // remote indicator write
    { 7, SendOp::OwnFrame,   0,  0,       0,  65},  // remote indicator read
    { 8, SendOp::Write16,   16,  0x0700,  2,   8},  // metrology reference
    { 9, SendOp::Write16,   16,  0,       2,   8},  // current-output measured value
    {10, SendOp::WriteBlock,16,  0,       0,   8},
    {11, SendOp::None,       0,  0,       0,   0},
    {12, SendOp::WriteBlock,16,  0x0400,  3,   8},  // indicator set-up or clock
    {13, SendOp::Write06,    6,  0x0204,  0,   8},  // main parameter word
    {14, SendOp::Write06,    6,  0x0210,  0,   8},  // connection scheme
    {15, SendOp::Write06,    6,  0x02FF,  0,   8},  // store
    {16, SendOp::Write16,   16,  0x0800,  2,   8},  // rated transformer values
    {17, SendOp::Write16,   16,  0x0804,  2,   8},
    {18, SendOp::Write16,   16,  0x0808,  2,   8},
    {19, SendOp::Write16,   16,  0x080C,  2,   8},
    {20, SendOp::Tuning,     3,  0x0800,  8,  21},
    {21, SendOp::Tuning,     3,  0x0800,  8,  21},
    {22, SendOp::Tuning,     3,  0x0210,  1,   7},
    {23, SendOp::Tuning,     3,  0x0210,  1,   7},
    {24, SendOp::Tuning,     3,  0x0000, 58, 121},  // metrology polling, the fall-back
    {25, SendOp::Tuning,     3,  0x0216,  1,   7},
    {26, SendOp::Tuning,     3,  0x0214,  1,   7},
    {27, SendOp::Write06,    6,  0x02FE,  0,   8},
    {28, SendOp::Write06,    6,  0x0282,  0,   8},
    {29, SendOp::Write06,    6,  0x0280,  0,   8},
}};
// clang-format on

RequestRecord PreparedRecord(int code) {
    RequestRecord r;
    if (code < 0 || code >= kRequestCodeCount)
        return r;
    const RequestCodeInfo& info = kRequestCodes[code];
    r.Code = info.code;
    r.StartRegister = info.reg;
    r.RegisterCount = info.count;
    r.ReplyLength = info.replyLength;
    return r;
}
