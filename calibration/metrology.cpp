#include "calibration/metrology.h"

#include <cmath>
#include <cstring>

#include "measure/catalogue.h"

namespace metrology {

namespace {
using R = Reference;
using S = Sheet;
constexpr int kNone = kNoButton;
constexpr int kNoK = kNoReferenceNumber;

float quotient(double v) {
    return float(v * kRangeInverse);
}

quint32 bitsOf(float f) {
    quint32 b = 0;
    std::memcpy(&b, &f, sizeof b);
    return b;
}
}  // namespace

// clang-format off
const std::array<CalibrationGroup, kCalibrationGroupCount> kCalibrationGroups = {{
    {"GroupBox3U", "Напряжение",          S::ThreeElement, 0},
    {"GroupBox3I", "Ток",                 S::ThreeElement, 1},
    {"GroupBox3P", "Мощность активная",   S::ThreeElement, 2},
    {"GroupBox2U", "Напряжение линейное", S::TwoElement,   0},
    {"GroupBox2I", "Ток",                 S::TwoElement,   1},
    {"GroupBox2P", "Мощность",            S::TwoElement,   2},
}};

// The two-element rows are irregular on purpose: the line voltages are judged against the
// phase nominal, Button2Ubn stands beside Ubc but follows Uca and writes k = 4, Ubc has no
// button of its own, Uca no double click, and Ib neither caption nor button.
const std::array<CalibrationRow, kCalibrationRowCount> kCalibrationRows = {{
    // field            caption  shown  sheet            grp line par reference    button k     dialog
    {"StaticTextUan",  "Uan =", true,  S::ThreeElement, 0, 0,  0, R::Voltage,    0,    0,   70,  220},
    {"StaticTextUbn",  "Ubn =", true,  S::ThreeElement, 0, 1,  1, R::Voltage,    1,    1,   70,  280},
    {"StaticTextUcn",  "Ucn =", true,  S::ThreeElement, 0, 2,  2, R::Voltage,    2,    2,   70,  340},
    {"StaticTextIa3",  "Ia =",  true,  S::ThreeElement, 1, 0,  3, R::Current,    3,    6,   340, 220},
    {"StaticTextIa2",  "Ia =",  true,  S::TwoElement,   4, 0,  3, R::Current,    8,    6,   340, 220},
    {"StaticTextIb3",  "Ib =",  true,  S::ThreeElement, 1, 1,  4, R::Current,    4,    7,   340, 280},
    {"StaticTextIb2",  "Ib =",  false, S::TwoElement,   4, 1,  4, R::Current,    kNone, kNoK, 0,  0},
    {"StaticTextIc3",  "Ic =",  true,  S::ThreeElement, 1, 2,  5, R::Current,    5,    8,   340, 340},
    {"StaticTextIc2",  "Ic =",  true,  S::TwoElement,   4, 2,  5, R::Current,    9,    8,   340, 340},
    {"StaticTextUab",  "Uab =", true,  S::TwoElement,   3, 0,  6, R::Voltage,    6,    3,   70,  220},
    {"StaticTextUbc",  "Ubc =", true,  S::TwoElement,   3, 1,  7, R::Voltage,    kNone, 4,  70,  280},
    {"StaticTextUca",  "Uca =", true,  S::TwoElement,   3, 2,  8, R::Voltage,    7,    kNoK, 0,   0},
    {"StaticTextPa",   "Pa =",  true,  S::ThreeElement, 2, 0,  9, R::PhasePower, kNone, kNoK, 0,  0},
    {"StaticTextPb",   "Pb =",  true,  S::ThreeElement, 2, 1, 10, R::PhasePower, kNone, kNoK, 0,  0},
    {"StaticTextPc",   "Pc =",  true,  S::ThreeElement, 2, 2, 11, R::PhasePower, kNone, kNoK, 0,  0},
    {"StaticTextP",    "P =",   true,  S::ThreeElement, 2, 3, 21, R::TotalPower, kNone, kNoK, 0,  0},
    {"StaticTextPs",   "P =",   true,  S::TwoElement,   5, 0, 21, R::TotalPower, kNone, kNoK, 0,  0},
    {"StaticTextQs",   "Q =",   true,  S::TwoElement,   5, 1, 22, R::None,       kNone, kNoK, 0,  0},
}};

const std::array<EnterButton, kEnterButtonCount> kEnterButtons = {{
    {"Button3Uan", S::ThreeElement, 0, 0, R::Voltage, 0},
    {"Button3Ubn", S::ThreeElement, 0, 1, R::Voltage, 1},
    {"Button3Ucn", S::ThreeElement, 0, 2, R::Voltage, 2},
    {"Button3Ian", S::ThreeElement, 1, 0, R::Current, 6},
    {"Button3Ibn", S::ThreeElement, 1, 1, R::Current, 7},
    {"Button3Icn", S::ThreeElement, 1, 2, R::Current, 8},
    {"Button2Uan", S::TwoElement,   3, 0, R::Voltage, 3},
    {"Button2Ubn", S::TwoElement,   3, 1, R::Voltage, 4},
    {"Button2Ian", S::TwoElement,   4, 0, R::Current, 6},
    {"Button2Icn", S::TwoElement,   4, 2, R::Current, 8},
}};

const std::array<PowerTrim, kPowerTrimCount> kPowerTrims = {{
    {"UpDownPa1",  S::ThreeElement, 2, 0, true,  3},
    {"UpDownPa0",  S::ThreeElement, 2, 0, false, 0},
    {"UpDownPb1",  S::ThreeElement, 2, 1, true,  4},
    {"UpDownPb0",  S::ThreeElement, 2, 1, false, 1},
    {"UpDownPc1",  S::ThreeElement, 2, 2, true,  5},
    {"UpDownPc0",  S::ThreeElement, 2, 2, false, 2},
    {"UpDownPsa1", S::TwoElement,   5, 2, true,  3},
    {"UpDownPsa0", S::TwoElement,   5, 2, false, 0},
    {"UpDownPsc1", S::TwoElement,   5, 3, true,  5},
    {"UpDownPsc0", S::TwoElement,   5, 3, false, 2},
}};

const std::array<TrimLabel, 2> kTwoElementTrimLabels = {{
    {"LabelPhaseA", "фаза A", 2},
    {"LabelPhaseC", "фаза C", 3},
}};

const std::array<Transition, 12> kTransitions = {{
    {State::Idle,          Event::StartClick,   State::Starting},
    {State::Starting,      Event::StartClick,   State::Starting},
    {State::Starting,      Event::SchemeReply,  State::ReadingRatios},
    {State::Starting,      Event::StartFailed,  State::Idle},
    {State::Starting,      Event::Stop,         State::Idle},
    {State::ReadingRatios, Event::RatioReply,   State::Polling},
    {State::ReadingRatios, Event::Stop,         State::Idle},
    {State::Polling,       Event::WriteQueued,  State::WriteQueued},
    {State::Polling,       Event::Stop,         State::Idle},
    {State::WriteQueued,   Event::WriteReply,   State::Polling},
    {State::WriteQueued,   Event::WriteDropped, State::Polling},
    {State::WriteQueued,   Event::Stop,         State::Idle},
}};
// clang-format on

float References::of(Reference r) const {
    switch (r) {
        case Reference::Voltage:
            return voltage;
        case Reference::Current:
            return current;
        case Reference::PhasePower:
            return phasePower;
        case Reference::TotalPower:
            return totalPower;
        case Reference::None:
            break;
    }
    return 0.0f;
}

References ReferencesFor(float u0, float i0, bool twoElement) {
    const float pp = quotient(double(u0) * double(i0));
    const float pt = twoElement ? float(double(pp) * kRangeInverse * kTwoElementTotal * 1.3)
                                : float(3.0 * double(pp));
    References r;
    r.voltage = quotient(u0);
    r.current = quotient(i0);
    r.phasePower = quotient(pp);
    r.totalPower = quotient(pt);
    return r;
}

bool Usable(float reference) {
    return std::isfinite(reference) && reference != 0.0f;
}

int RowIndex(const char* field) {
    for (int i = 0; i < kCalibrationRowCount; ++i) {
        if (std::strcmp(kCalibrationRows[size_t(i)].field, field) == 0)
            return i;
    }
    return -1;
}

int ButtonIndex(const char* name) {
    for (int i = 0; i < kEnterButtonCount; ++i) {
        if (std::strcmp(kEnterButtons[size_t(i)].name, name) == 0)
            return i;
    }
    return -1;
}

RowUpdate UpdateCalibrationRow(const CalibrationRow& row, float x, const References& refs) {
    RowUpdate u;
    if (row.reference == Reference::None) {
        u.shown = x;
        return u;
    }
    if (-kZeroBand < x && x < kZeroBand)
        x = 0.0f;
    const float ref = refs.of(row.reference);
    // Without a nominal the readings mean nothing; the button is then kept off by Usable().
    if (!Usable(ref))
        return u;
    if (row.button != kNoButton)
        u.buttonAllowed = double(x) > kEnterThreshold * double(ref);
    u.shown = x;
    return u;
}

namespace {

// The reading split as the display shows it: the sign, the first six characters of the
// quotient in "0.0000" (with a point), and how many groups of three places were divided off.
struct Scaled {
    bool negative = false;
    QString digits;
    int groups = 0;
};

Scaled scale(double x) {
    Scaled s;
    if (x < 0) {
        s.negative = true;
        x = -x;
    }
    int e = int(std::trunc(std::log10(x)));
    double divisor = 1.0;
    while (e >= 3) {
        divisor *= 1000.0;
        e -= 3;
        ++s.groups;
    }
    s.digits = QString::number(x / divisor, 'f', 4).left(6);
    return s;
}

}  // namespace

QString FormatCalibrationValue(double x, const QLocale& locale) {
    if (!std::isfinite(x))
        return FormatMeasured(x, false, 4, locale);
    if (x == 0)
        return QStringLiteral("0.0");
    const Scaled s = scale(x);
    QString text = s.digits;
    text.replace(QLatin1Char('.'), locale.decimalPoint());
    return s.negative ? QLatin1Char('-') + text : text;
}

QString CalibrationEntryText(double x, const QLocale& locale) {
    if (!std::isfinite(x))
        return {};
    if (x == 0)
        return QStringLiteral("0");
    const Scaled s = scale(x);
    qsizetype point = s.digits.indexOf(QLatin1Char('.'));
    QString digits = s.digits;
    if (point < 0) {
        point = digits.size();
    } else {
        digits.remove(point, 1);
    }
    point += 3 * s.groups;
    while (digits.size() < point)
        digits += QLatin1Char('0');
    if (point < digits.size())
        digits.insert(point, locale.decimalPoint());
    return s.negative ? QLatin1Char('-') + digits : digits;
}

RequestRecord SchemeRead() {
    return PreparedRecord(RequestCode::MetrologySchemeRead);
}

RequestRecord RatioRead() {
    return PreparedRecord(RequestCode::MetrologyRatioRead);
}

RequestRecord ReferenceWrite(int referenceNumber, float value) {
    RequestRecord r = PreparedRecord(RequestCode::MetrologyReference);
    r.StartRegister = quint16(reg::MetrologyReferences + 4 * referenceNumber);
    r.RegisterCount = 2;
    r.LongValue = bitsOf(value);
    return r;
}

RequestRecord PowerTrimWrite(bool up, quint16 step, quint16 slave) {
    RequestRecord r = PreparedRecord(RequestCode::MetrologyCommand);
    r.StartRegister = up ? reg::PowerTrimUp : reg::PowerTrimDown;
    r.WordValue = step;
    r.SlaveAddress = slave;
    return r;
}

RequestRecord CalibrationSave(quint16 slave) {
    RequestRecord r = PreparedRecord(RequestCode::MetrologyCommand);
    r.StartRegister = reg::Store;
    r.WordValue = 0;
    r.SlaveAddress = slave;
    return r;
}

State Next(State from, Event event) {
    for (const Transition& t : kTransitions) {
        if (t.from == from && t.event == event)
            return t.to;
    }
    return from;
}

std::optional<RequestCode> TimerSends(State state, RequestCode queuedWrite) {
    switch (state) {
        case State::ReadingRatios:
            return RequestCode::MetrologyRatioRead;
        case State::Polling:
            return RequestCode::MetrologyPoll;
        case State::WriteQueued:
            return queuedWrite;
        case State::Idle:
        case State::Starting:  // the scheme read went out at the click; the timer is not running
            break;
    }
    return std::nullopt;
}

const char* StateName(State state) {
    switch (state) {
        case State::Idle:
            return "Idle";
        case State::Starting:
            return "Starting";
        case State::ReadingRatios:
            return "ReadingRatios";
        case State::Polling:
            return "Polling";
        case State::WriteQueued:
            return "WriteQueued";
    }
    return "?";
}

void CalibrationInputs::beginStart() {
    readingSeen_ = false;
    on_ = false;
}

void CalibrationInputs::readingArrived() {
    if (readingSeen_)
        return;
    readingSeen_ = true;
    setEnabled(true);
}

void CalibrationInputs::setEnabled(bool on) {
    on_ = on;
    if (on)
        allowed_.fill(true);
}

void CalibrationInputs::setAllowed(int button, bool allowed) {
    if (button >= 0 && button < kEnterButtonCount)
        allowed_[size_t(button)] = allowed;
}

bool CalibrationInputs::buttonEnabled(int button, const References& refs) const {
    if (button < 0 || button >= kEnterButtonCount)
        return false;
    return on_ && readingSeen_ && allowed_[size_t(button)] &&
           Usable(refs.of(kEnterButtons[size_t(button)].nominal));
}

bool CalibrationInputs::trimsEnabled() const {
    return on_ && readingSeen_;
}

}  // namespace metrology
