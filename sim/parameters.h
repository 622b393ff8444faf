#pragma once
#include <QtGlobal>
#include <array>
#include <string_view>

// The 29 quantities the transducer measures, in the order of its measured-value block, its
// indicator codes and its information-channel packets.
namespace sim {

constexpr int kParameterCount = 29;

enum class Quantity {
    PhaseVoltage,
    LineVoltage,
    Current,
    PhasePower,
    TotalPower,
    PowerFactor,
    Frequency,
};

struct Parameter {
    std::string_view shortName;
    Quantity quantity;
    bool activePower;   // the information channel marks only active power out of range
    bool phaseElement;  // measured per phase element: nothing to report in the two-element scheme
};

constexpr std::array<Parameter, kParameterCount> kParameters{{
    {"Ua", Quantity::PhaseVoltage, false, true},  {"Ub", Quantity::PhaseVoltage, false, true},
    {"Uc", Quantity::PhaseVoltage, false, true},  {"Ia", Quantity::Current, false, false},
    {"Ib", Quantity::Current, false, false},      {"Ic", Quantity::Current, false, false},
    {"Uab", Quantity::LineVoltage, false, false}, {"Ubc", Quantity::LineVoltage, false, false},
    {"Uca", Quantity::LineVoltage, false, false}, {"Pa", Quantity::PhasePower, true, true},
    {"Pb", Quantity::PhasePower, true, true},     {"Pc", Quantity::PhasePower, true, true},
    {"Qa", Quantity::PhasePower, false, true},    {"Qb", Quantity::PhasePower, false, true},
    {"Qc", Quantity::PhasePower, false, true},    {"Sa", Quantity::PhasePower, false, true},
    {"Sb", Quantity::PhasePower, false, true},    {"Sc", Quantity::PhasePower, false, true},
    {"KPa", Quantity::PowerFactor, false, true},  {"KPb", Quantity::PowerFactor, false, true},
    {"KPc", Quantity::PowerFactor, false, true},  {"Ps", Quantity::TotalPower, true, false},
    {"Qs", Quantity::TotalPower, false, false},   {"Ss", Quantity::TotalPower, false, false},
    {"KPs", Quantity::PowerFactor, false, false}, {"F", Quantity::Frequency, false, false},
    {"U", Quantity::PhaseVoltage, false, true},   {"I", Quantity::Current, false, false},
    {"UL", Quantity::LineVoltage, false, false},
}};

// Index of a parameter by its short name (case-insensitive), -1 when there is none.
int ParameterByName(std::string_view name);

}  // namespace sim
