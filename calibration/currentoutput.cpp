#include "calibration/currentoutput.h"

#include <cstring>

namespace currentoutput {

const std::array<const char*, kLimitCount> kLimitItems = {
    "Верхний предел",
    "Среднее значение",
    "Нижний предел",
};

const std::array<const char*, 2> kVariantItems = {
    "-5mA     0mA     +5mA",
    " 4mA   12mA   +20mA",
};

const std::array<StepControl, 3> kStepControls = {{
    {StepSize::X100, "x 100", {"sUpDownSFast1", "sUpDownSFast2", "sUpDownSFast3"}},
    {StepSize::X10, "x 10", {"sUpDownFast1", "sUpDownFast2", "sUpDownFast3"}},
    {StepSize::X1, "x 1", {"sUpDownCurr1", "sUpDownCurr2", "sUpDownCurr3"}},
}};

namespace {
bool validOutput(int n) {
    return n >= 0 && n < kOutputCount;
}
bool validLimit(int limit) {
    return limit >= 0 && limit < kLimitCount;
}
}  // namespace

std::optional<quint16> StepCode(StepSize size, int n, int limit) {
    if (!validOutput(n))
        return std::nullopt;
    switch (size) {
        case StepSize::X1:
            if (limit == kMiddleValue)
                return quint16(n);
            if (limit == kUpperLimit)
                return quint16(n + 3);
            return std::nullopt;
        case StepSize::X10:
            return limit == kMiddleValue ? std::optional<quint16>(quint16(n + 10)) : std::nullopt;
        case StepSize::X100:
            return limit == kMiddleValue ? std::optional<quint16>(quint16(n + 20)) : std::nullopt;
    }
    return std::nullopt;
}

quint16 MeasuredValueRegister(int limit, int n) {
    return quint16(reg::OutputMeasuredValues + 12 * limit + 4 * n);
}

double PresetOutputValue(quint16 variant, int limit) {
    static constexpr double kBipolar[kLimitCount] = {5.0, 0.0, -5.0};
    static constexpr double kLoop[kLimitCount] = {20.0, 12.0, 4.0};
    if (!validLimit(limit))
        return 0.0;
    return variant == 0 ? kBipolar[limit] : kLoop[limit];
}

int VariantItem(quint16 variant) {
    return variant == 0 ? 0 : 1;
}

bool CorrectionModeOn(quint16 modeWord) {
    return (modeWord & 0xFF) == kCorrectionModeOn;
}

ControlStates ControlsFor(bool running, int limit, bool ready) {
    ControlStates s;
    if (!running) {
        s.variant = true;
        return s;
    }
    if (!ready)
        return s;
    s.limitsAndSave = true;
    s.measured = limit == kUpperLimit;
    s.x1 = limit == kUpperLimit || limit == kMiddleValue;
    s.fastSteps = limit == kMiddleValue;
    return s;
}

RequestRecord VariantRead() {
    return PreparedRecord(RequestCode::OutputVariantRead);
}

RequestRecord ModeWrite(quint16 value, quint16 slave) {
    RequestRecord r = PreparedRecord(RequestCode::OutputCommand);
    r.SlaveAddress = slave;
    r.StartRegister = reg::CorrectionMode;
    r.WordValue = value;
    return r;
}

RequestRecord StatusRead() {
    return PreparedRecord(RequestCode::OutputStatusRead);
}

RequestRecord LimitChange(int limit, quint16 slave) {
    RequestRecord r = PreparedRecord(RequestCode::OutputVariantWrite);
    r.SlaveAddress = slave;
    r.StartRegister = reg::CorrectionMode;
    r.WordValue = quint16(limit + 1);
    return r;
}

RequestRecord StepWrite(bool up, quint16 code, quint16 slave) {
    RequestRecord r = PreparedRecord(RequestCode::OutputCommand);
    r.SlaveAddress = slave;
    r.StartRegister = up ? reg::OutputStepUp : reg::OutputStepDown;
    r.WordValue = code;
    return r;
}

RequestRecord MeasuredValueWrite(int limit, int n, float value) {
    RequestRecord r = PreparedRecord(RequestCode::OutputMeasuredValue);
    r.StartRegister = MeasuredValueRegister(limit, n);
    r.RegisterCount = 2;
    std::memcpy(&r.LongValue, &value, sizeof value);
    return r;
}

RequestRecord Save(quint16 slave) {
    RequestRecord r = PreparedRecord(RequestCode::OutputCommand);
    r.SlaveAddress = slave;
    r.StartRegister = reg::Store;
    r.WordValue = 0;
    return r;
}

RequestRecord VariantWrite(int item, quint16 slave) {
    RequestRecord r = PreparedRecord(RequestCode::MainParameterWrite);
    r.SlaveAddress = slave;
    r.StartRegister = reg::OutputVariant;
    r.WordValue = quint16(item);
    return r;
}

bool SentOnce(const RequestRecord& r) {
    if (r.requestCode() != RequestCode::OutputCommand)
        return false;
    return r.StartRegister == reg::OutputStepUp || r.StartRegister == reg::OutputStepDown ||
           r.StartRegister == reg::Store;
}

// clang-format off
const std::array<Transition, 12> kTransitions = {{
    {State::Idle,         Event::StartClick,   State::Starting},
    {State::Starting,     Event::VariantReply, State::EnteringMode},
    {State::Starting,     Event::StartFailed,  State::Idle},
    {State::EnteringMode, Event::CommandReply, State::Settling},
    {State::EnteringMode, Event::WriteLost,    State::Monitoring},
    {State::Settling,     Event::Settled,      State::Monitoring},
    {State::Monitoring,   Event::WriteQueued,  State::WriteQueued},
    {State::WriteQueued,  Event::SentOnce,     State::WriteSent},
    {State::WriteQueued,  Event::WriteReply,   State::Monitoring},
    {State::WriteQueued,  Event::WriteLost,    State::Monitoring},
    {State::WriteSent,    Event::CommandReply, State::Settling},
    {State::WriteSent,    Event::WriteLost,    State::Monitoring},
}};
// clang-format on

State Next(State from, Event event) {
    // The stop ends the procedure from every state; it needs no row of its own.
    if (event == Event::Stop)
        return State::Idle;
    for (const Transition& t : kTransitions) {
        if (t.from == from && t.event == event)
            return t.to;
    }
    return from;
}

const char* StateName(State state) {
    switch (state) {
        case State::Idle:
            return "Idle";
        case State::Starting:
            return "Starting";
        case State::EnteringMode:
            return "EnteringMode";
        case State::Settling:
            return "Settling";
        case State::Monitoring:
            return "Monitoring";
        case State::WriteQueued:
            return "WriteQueued";
        case State::WriteSent:
            return "WriteSent";
    }
    return "?";
}

}  // namespace currentoutput
