#pragma once
#include <QtGlobal>
#include <array>

#include "sim/parameters.h"

namespace sim {

// The 29 measured values of a slightly unbalanced, lagging three-phase 230/400 V network with
// a few amperes of load, `seconds` after the start of the run. Every value drifts slowly and
// smoothly; the seed shifts the drifts so that two runs with different seeds differ. Totals,
// averages, line voltages and power factors are computed from the per-phase values, so they
// agree with one another as a real meter's would.
std::array<float, kParameterCount> NetworkAt(double seconds, quint64 seed);

// The same network with every voltage multiplied by `voltage` and every current by `current`:
// powers take both factors, power factors and the frequency neither, so the values still
// agree with one another.
std::array<float, kParameterCount> ScaleNetwork(const std::array<float, kParameterCount>& values,
                                                double voltage, double current);

}  // namespace sim
