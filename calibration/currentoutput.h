#pragma once
// The current-output calibration without its widgets: the point of the range being adjusted,
// the step controls and the codes they write, the nominal currents put into the measured-value
// fields, which controls are usable when, the requests, and the states the procedure goes
// through.
#include <QtGlobal>
#include <array>
#include <optional>

#include "link/requestrecord.h"

namespace currentoutput {

constexpr int kOutputCount = 3;

// OutputLimit: the item of the limit selector, and one less than the correction point the
// transducer is switched to.
constexpr int kUpperLimit = 0;
constexpr int kMiddleValue = 1;
constexpr int kLowerLimit = 2;
constexpr int kLimitCount = 3;

// Register 766 := this switches the correction mode off.
constexpr quint16 kModeOff = 0;
// The mode word's low byte while the correction mode is on.
constexpr quint8 kCorrectionModeOn = 7;

// The up/down controls are reset to the middle of their range after every click, so that
// neither arrow ever reaches an end.
constexpr int kStepPositionMin = 0;
constexpr int kStepPositionMax = 100;
constexpr int kStepPositionRest = 50;

// The transducer switches and settles after a mode change, a step or a store: nothing is sent
// for this long after its confirmation, and the next reply may take up to 5 s.
constexpr int kSettleMs = 1000;
constexpr int kSettledPollIntervalMs = 2000;

inline const char* const kStartCaption = "   Старт";
inline const char* const kStopCaption = "   Стоп";
inline const char* const kNoCorrectionMode = " Не установлен режим коррекции токовых выходов !";
inline const char* const kWritten = "Информация записана ";

// The limit selector's items and the hardware variants, UTF-8.
extern const std::array<const char*, kLimitCount> kLimitItems;
extern const std::array<const char*, 2> kVariantItems;

enum class StepSize : quint8 { X1, X10, X100 };

// The up/down controls of one size, by output.
struct StepControl {
    StepSize size;
    const char* label;  // UTF-8, above the control
    std::array<const char*, kOutputCount> names;
};
// Left to right beside each output: x 100, x 10, x 1.
extern const std::array<StepControl, 3> kStepControls;

// The code a step of `size` on output `n` writes to 642 (up) or 643 (down) at `limit`, or
// nullopt where that size is of no use: x 1 on the upper limit and the middle value
// (n, or n + 3 on the upper limit), x 10 (n + 10) and x 100 (n + 20) on the middle value only.
std::optional<quint16> StepCode(StepSize size, int n, int limit);

// First of the two registers of the measured current of output `n` at `limit`.
quint16 MeasuredValueRegister(int limit, int n);

// The nominal output current at `limit` for a hardware variant word: 0 is the -5..+5 mA
// variant, anything else the 4..20 mA one. The value is set as a number, so that it shows
// with the locale's separator.
double PresetOutputValue(quint16 variant, int limit);

// The item of the variant selector that a variant word read from the transducer selects.
int VariantItem(quint16 variant);

// Only the low byte of the mode word tells whether the correction mode is on.
bool CorrectionModeOn(quint16 modeWord);

// Which controls are usable (SetCurrentOutputControlsEnabled).
struct ControlStates {
    bool measured = false;       // the spin edits and their "Ввод"
    bool x1 = false;             // the "x 1" controls
    bool fastSteps = false;      // "x 10" and "x 100"
    bool limitsAndSave = false;  // "Пределы" and the save button
    bool variant = false;        // the variant selector and "Запись"
    bool operator==(const ControlStates&) const = default;
};
// `running` as the procedure is; `ready` is false while a write of the procedure is queued or
// unanswered, or the transducer is still settling: then nothing that writes is offered, so a
// click can neither replace a write nor be dropped by the reply of an earlier one.
ControlStates ControlsFor(bool running, int limit, bool ready = true);

// The requests; the page fills in the sender. Every write that addresses its record's own
// slave gets the logical number in force when it is queued.
RequestRecord VariantRead();
RequestRecord ModeWrite(quint16 value, quint16 slave);  // 766, code 28
RequestRecord StatusRead();
RequestRecord LimitChange(int limit, quint16 slave);  // 766 := limit + 1, code 27
RequestRecord StepWrite(bool up, quint16 code, quint16 slave);
RequestRecord MeasuredValueWrite(int limit, int n, float value);
RequestRecord Save(quint16 slave);                    // 767 := 0, code 28
RequestRecord VariantWrite(int item, quint16 slave);  // 530, code 13

// ---- Procedure states -------------------------------------------------------------------

enum class State : quint8 {
    Idle,
    Starting,      // the variant read is out
    EnteringMode,  // the mode-on write at every tick until answered
    Settling,      // a confirmed mode change, step or store: the link pauses
    Monitoring,    // the status read at every tick
    WriteQueued,   // an operator's write is current
    WriteSent,     // a step or the store went out once; the timer waits for its reply
};

enum class Event : quint8 {
    StartClick,
    VariantReply,
    StartFailed,   // the variant read timed out, was refused or could not be sent
    CommandReply,  // a code-28 confirmation: mode on, step or store
    Settled,
    WriteQueued,
    SentOnce,
    WriteReply,  // a code-27 or code-9 confirmation
    WriteLost,   // a once-only write timed out or was refused; a repeated write was refused
    Stop,
};

struct Transition {
    State from;
    Event event;
    State to;
};

// Every change of state but the stop, which ends the procedure from any state; an event not
// listed for a state leaves it where it is.
extern const std::array<Transition, 12> kTransitions;
State Next(State from, Event event);

// Whether a write is sent once only. A step moves the output by a relative amount, so a copy
// sent again because its reply was slow would move it twice; the store is slow and a copy
// would wait behind it. The mode and limit switches and the measured values are absolute and
// may be repeated at every tick until confirmed.
bool SentOnce(const RequestRecord& r);

const char* StateName(State state);

}  // namespace currentoutput
