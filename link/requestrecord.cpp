#include "link/requestrecord.h"

namespace {
using C = RequestCode;
using O = SendOp;
constexpr Repeat kEvery = Repeat::EveryTick;
constexpr Repeat kOnce = Repeat::Once;
}  // namespace

// clang-format off
const std::array<RequestCodeInfo, kRequestCodeCount> kRequestCodes = {{
    {C::MeasuredBlock,        O::Inquiry,    reg::MeasuredBlock,   58, 121, kEvery},
    {C::Unused1,              O::None,       0,                     0,   0, kEvery},
    {C::MainParameters,       O::Inquiry,    reg::MainParameters,  10,  25, kEvery},
    {C::IndicatorValues,      O::Inquiry,    reg::IndicatorValues,  6,  17, kEvery},
    {C::IndicatorSetup,       O::Tuning,     reg::IndicatorSetup,   6,  17, kEvery},
    {C::ClockRead,            O::Inquiry,    reg::Clock,            7,  19, kEvery},
    {C::RemoteIndicatorWrite, O::OwnFrame,   0,                     0,   6, kEvery},
    {C::RemoteIndicatorRead,  O::OwnFrame,   0,                     0,  65, kEvery},
    {C::MetrologyReference,   O::Write16,    reg::MetrologyReferences, 2, 8, kEvery},
    {C::OutputMeasuredValue,  O::Write16,    0,                     2,   8, kEvery},
    {C::BlockWrite,           O::WriteBlock, 0,                     0,   8, kEvery},
    {C::Unused11,             O::None,       0,                     0,   0, kEvery},
    {C::SetupBlockWrite,      O::WriteBlock, reg::IndicatorSetup,   3,   8, kEvery},
    {C::MainParameterWrite,   O::Write06,    reg::LogicalNumber,    0,   8, kEvery},
    {C::SchemeWrite,          O::Write06,    reg::Scheme,           0,   8, kEvery},
    {C::RatioStore,           O::Write06,    reg::Store,            0,   8, kEvery},
    {C::RatedValue1,          O::Write16,    reg::RatedValues,      2,   8, kEvery},
    {C::RatedValue2,          O::Write16,    reg::RatedValues + 4,  2,   8, kEvery},
    {C::RatedValue3,          O::Write16,    reg::RatedValues + 8,  2,   8, kEvery},
    {C::RatedValue4,          O::Write16,    reg::RatedValues + 12, 2,   8, kEvery},
    {C::MetrologyRatioRead,   O::Tuning,     reg::RatedValues,      8,  21, kEvery},
    {C::RatioRead,            O::Tuning,     reg::RatedValues,      8,  21, kEvery},
    {C::MetrologySchemeRead,  O::Tuning,     reg::Scheme,           1,   7, kEvery},
    {C::SchemeRead,           O::Tuning,     reg::Scheme,           1,   7, kEvery},
    {C::MetrologyPoll,        O::Tuning,     reg::MeasuredBlock,   58, 121, kEvery},
    {C::OutputVariantRead,    O::Tuning,     reg::OutputVariantRead, 1,  7, kEvery},
    {C::OutputStatusRead,     O::Tuning,     reg::OutputMode,       1,   7, kEvery},
    {C::OutputVariantWrite,   O::Write06,    reg::CorrectionMode,   0,   8, kEvery},
    {C::OutputCommand,        O::Write06,    reg::OutputStepUp,     0,   8, kEvery},
    {C::MetrologyCommand,     O::Write06,    reg::PowerTrimUp,      0,   8, kOnce},
}};
// clang-format on

const RequestCodeInfo& CodeInfo(RequestCode code) {
    const int i = CodeIndex(code);
    return kRequestCodes[(i >= 0 && i < kRequestCodeCount) ? i : CodeIndex(RequestCode::Unused1)];
}

RequestRecord PreparedRecord(RequestCode code, const QObject* sender) {
    RequestRecord r;
    const RequestCodeInfo& info = CodeInfo(code);
    r.Code = quint8(info.code);
    r.StartRegister = info.reg;
    r.RegisterCount = info.count;
    r.ReplyLength = info.replyLength;
    r.Sender = sender;
    return r;
}
