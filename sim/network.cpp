#include "sim/network.h"

#include <cmath>
#include <complex>
#include <numbers>

namespace sim {

namespace {

// splitmix64: turns one seed into independent phase offsets.
quint64 mix(quint64 x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

// A slow oscillation around `mean`; the periods are tens of seconds and pairwise unrelated,
// so the values never repeat in step.
double drift(double mean, double amplitude, double periodSeconds, double t, quint64 seed,
             int channel) {
    const double phase =
        double(mix(seed * 64 + quint64(channel)) >> 11) / double(1ull << 53) * 2 * std::numbers::pi;
    return mean + amplitude * std::sin(2 * std::numbers::pi * t / periodSeconds + phase);
}

}  // namespace

std::array<float, kParameterCount> NetworkAt(double t, quint64 seed) {
    using std::numbers::pi;
    const double u[3] = {drift(230.0, 1.5, 47, t, seed, 0), drift(229.2, 1.5, 53, t, seed, 1),
                         drift(231.1, 1.5, 59, t, seed, 2)};
    const double i[3] = {drift(2.8, 0.35, 61, t, seed, 3), drift(3.1, 0.35, 67, t, seed, 4),
                         drift(2.6, 0.35, 71, t, seed, 5)};
    const double pf[3] = {drift(0.90, 0.03, 73, t, seed, 6), drift(0.91, 0.03, 79, t, seed, 7),
                          drift(0.89, 0.03, 83, t, seed, 8)};
    const double frequency = drift(50.0, 0.04, 89, t, seed, 9);

    // Phase b lags a by 120 degrees and c leads it by 120, each off by a fraction of a degree.
    const double angle[3] = {0.0, -2 * pi / 3 + drift(0, 0.004, 97, t, seed, 10),
                             2 * pi / 3 + drift(0, 0.004, 101, t, seed, 11)};
    std::complex<double> phasor[3];
    for (int k = 0; k < 3; ++k)
        phasor[k] = std::polar(u[k], angle[k]);
    const double line[3] = {std::abs(phasor[0] - phasor[1]), std::abs(phasor[1] - phasor[2]),
                            std::abs(phasor[2] - phasor[0])};

    std::array<float, kParameterCount> v{};
    double p = 0, q = 0, s = 0;
    for (int k = 0; k < 3; ++k) {
        const double sk = u[k] * i[k];
        const double pk = sk * pf[k];
        const double qk = sk * std::sqrt(1 - pf[k] * pf[k]);  // inductive load: Q positive
        v[size_t(k)] = float(u[k]);
        v[size_t(3 + k)] = float(i[k]);
        v[size_t(6 + k)] = float(line[k]);
        v[size_t(9 + k)] = float(pk);
        v[size_t(12 + k)] = float(qk);
        v[size_t(15 + k)] = float(sk);
        v[size_t(18 + k)] = float(pf[k]);
        p += pk;
        q += qk;
        s += sk;
    }
    v[21] = float(p);
    v[22] = float(q);
    v[23] = float(s);
    v[24] = float(p / s);
    v[25] = float(frequency);
    v[26] = float((u[0] + u[1] + u[2]) / 3);
    v[27] = float((i[0] + i[1] + i[2]) / 3);
    v[28] = float((line[0] + line[1] + line[2]) / 3);
    return v;
}

std::array<float, kParameterCount> ScaleNetwork(const std::array<float, kParameterCount>& values,
                                                double voltage, double current) {
    std::array<float, kParameterCount> out = values;
    for (int k = 0; k < kParameterCount; ++k) {
        double factor = 1;
        switch (kParameters[size_t(k)].quantity) {
            case Quantity::PhaseVoltage:
            case Quantity::LineVoltage:
                factor = voltage;
                break;
            case Quantity::Current:
                factor = current;
                break;
            case Quantity::PhasePower:
            case Quantity::TotalPower:
                factor = voltage * current;
                break;
            case Quantity::PowerFactor:
            case Quantity::Frequency:
                break;
        }
        out[size_t(k)] = float(double(values[size_t(k)]) * factor);
    }
    return out;
}

}  // namespace sim
