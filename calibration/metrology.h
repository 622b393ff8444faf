#pragma once
// The metrology calibration procedure without its widgets: which reading shows which measured
// quantity and against which nominal it is judged, the "Ввод" buttons and power-trim arrows
// with what they write, the display of a reading, the requests, and the states the procedure
// goes through.
#include <QLocale>
#include <QString>
#include <QtGlobal>
#include <array>
#include <optional>

#include "link/requestrecord.h"

namespace metrology {

// The transducer reads a rated primary value back as 1.3 times the value written; the nominal
// values are taken back by this factor (a multiplication, as the device's own tools do it).
constexpr double kRangeInverse = 0.7692307692307692;
// Total power of the two-element connection relative to one phase.
constexpr double kTwoElementTotal = 1.7321;
// A "Ввод" button is offered only while the applied signal exceeds this share of the nominal.
constexpr double kEnterThreshold = 0.6;
// Readings closer to zero than this show as zero.
constexpr float kZeroBand = 0.01f;

// Tab order of the calibration area: the two-element sheet is the first tab.
enum class Sheet : quint8 { TwoElement = 0, ThreeElement = 1 };

// What a reading is compared with.
enum class Reference : quint8 {
    None,        // Q: shown as measured
    Voltage,     // Un = U0 / 1.3
    Current,     // In = I0 / 1.3
    PhasePower,  // PP / 1.3 = Un x In
    TotalPower,  // PT / 1.3: 3 Un In, or 1.7321 Un In with two elements
};

// The nominal values a reading is judged against, each as a single-precision value.
struct References {
    float voltage = 0.0f;
    float current = 0.0f;
    float phasePower = 0.0f;
    float totalPower = 0.0f;
    float of(Reference r) const;
};

// From the first and third value of the rated-value block as read (the primaries, 1.3 times
// the nominal) and the connection scheme.
References ReferencesFor(float u0, float i0, bool twoElement);

// A reference is of use only when it is a finite non-zero number: the no-information marker
// of the rated-value block reads as 0, and a nominal of 0 must never be written.
bool Usable(float reference);

constexpr int kNoButton = -1;
constexpr int kNoReferenceNumber = -1;

// One reading field of the calibration area.
struct CalibrationRow {
    const char* field;    // objectName
    const char* caption;  // UTF-8, beside the field
    bool captionShown;
    Sheet sheet;
    int group;      // into kCalibrationGroups
    int line;       // line within the group, top first
    int parameter;  // catalogue index of the value shown
    Reference reference;
    int button;  // "Ввод" button whose enabled state this reading decides, or kNoButton
    int referenceNumber;   // k a double click writes, or kNoReferenceNumber
    int dialogX, dialogY;  // where the value-entry dialog goes, from the window's top-left
};

struct CalibrationGroup {
    const char* name;     // objectName
    const char* caption;  // UTF-8
    Sheet sheet;
    int column;
};

// A "Ввод" button: writes the nominal of its kind to reference number k.
struct EnterButton {
    const char* name;
    Sheet sheet;
    int group;
    int line;           // where it stands, which is not always the line of the reading it follows
    Reference nominal;  // Voltage or Current
    int referenceNumber;
};

// A power-trim spin button: each arrow writes its step value, up to one register, down to
// the next.
struct PowerTrim {
    const char* name;
    Sheet sheet;
    int group;
    int line;
    bool wide;
    quint16 step;  // phase A 0, B 1, C 2, plus 3 for the wide button
};

constexpr int kCalibrationRowCount = 18;
constexpr int kEnterButtonCount = 10;
constexpr int kPowerTrimCount = 10;
constexpr int kCalibrationGroupCount = 6;

// Rows in the order the readings are filled.
extern const std::array<CalibrationRow, kCalibrationRowCount> kCalibrationRows;
extern const std::array<EnterButton, kEnterButtonCount> kEnterButtons;
extern const std::array<PowerTrim, kPowerTrimCount> kPowerTrims;
extern const std::array<CalibrationGroup, kCalibrationGroupCount> kCalibrationGroups;

// The phase labels of the two-element trims.
struct TrimLabel {
    const char* name;
    const char* text;  // UTF-8
    int line;
};
extern const std::array<TrimLabel, 2> kTwoElementTrimLabels;

int RowIndex(const char* field);    // -1 when no row has this field
int ButtonIndex(const char* name);  // -1 when no button has this name

// What a reading does to its row: the value to show and, when the row has a button and a
// usable reference, whether the 60 % rule allows the button.
struct RowUpdate {
    float shown = 0.0f;
    std::optional<bool> buttonAllowed;
};
RowUpdate UpdateCalibrationRow(const CalibrationRow& row, float x, const References& refs);

// The reading as the LCD fields show it: six characters of "0.0000" after dividing by 1000 for
// each whole group of three places above the units, with the locale's decimal separator;
// "0.0" for zero. NaN and infinities read as FormatMeasured shows them.
QString FormatCalibrationValue(double x, const QLocale& locale = QLocale());

// The same reading with the same digits but not divided: what a value typed from it must be
// based on. Empty for NaN and infinities.
QString CalibrationEntryText(double x, const QLocale& locale = QLocale());

// The requests of the procedure; the page fills in the sender.
RequestRecord SchemeRead();
RequestRecord RatioRead();
RequestRecord ReferenceWrite(int referenceNumber, float value);
RequestRecord PowerTrimWrite(bool up, quint16 step, quint16 slave);
RequestRecord CalibrationSave(quint16 slave);

// ---- Procedure states -------------------------------------------------------------------

enum class State : quint8 { Idle, Starting, ReadingRatios, Polling, WriteQueued };

enum class Event : quint8 {
    StartClick,
    SchemeReply,
    StartFailed,  // the scheme read timed out or was refused
    RatioReply,
    PollReply,
    WriteQueued,
    WriteReply,
    WriteDropped,  // the write is no longer current: back to the readings
    Stop,
};

struct Transition {
    State from;
    Event event;
    State to;
};

// Every change of state; an event not listed for a state leaves it where it is.
extern const std::array<Transition, 12> kTransitions;
State Next(State from, Event event);

// What the sequencing timer sends in a state (nullopt: nothing of this procedure). In Write
// queued it is the queued write, code 8 or 29.
std::optional<RequestCode> TimerSends(State state, RequestCode queuedWrite);

const char* StateName(State state);

// Which calibration inputs are usable. Nothing is offered until the first reading of a start
// has arrived, nothing while a write is queued, and a "Ввод" button only with a usable
// reference and while the latest reading allows it.
class CalibrationInputs {
  public:
    void beginStart();
    void readingArrived();
    bool readingSeen() const { return readingSeen_; }
    // Off while a write is queued; on again when it is answered or lost, which offers every
    // button until the next reading judges it again.
    void setEnabled(bool on);
    bool enabled() const { return on_; }
    void setAllowed(int button, bool allowed);
    bool buttonEnabled(int button, const References& refs) const;
    bool trimsEnabled() const;

  private:
    bool readingSeen_ = false;
    bool on_ = false;
    std::array<bool, kEnterButtonCount> allowed_{};
};

}  // namespace metrology
