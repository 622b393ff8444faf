#include "measure/trendseries.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double kGap = std::numeric_limits<double>::quiet_NaN();
// A pause in the readings longer than this, and longer than three of the steps before it, is
// drawn as a break: a line across a lost link would show values nobody measured.
constexpr qint64 kMinSilenceMs = 2000;

}  // namespace

TrendSeries::TrendSeries(int capacity, qint64 spanMs)
    : capacity_(std::max(capacity, 1)),
      spanMs_(std::max<qint64>(spanMs, 1)),
      times_(new qint64[size_t(capacity_)]),
      values_(new float[size_t(capacity_) * kParameterCount]),
      breaks_(new quint8[size_t(capacity_)]) {}

bool TrendSeries::appendBlock(qint64 timeMs, const QByteArray& block) {
    if (block.size() < kMeasuredBlockDataLength)
        return false;
    const auto* data = reinterpret_cast<const quint8*>(block.constData());
    std::vector<float> values(kParameterCount);
    for (int k = 0; k < kParameterCount; ++k) {
        const MeasuredFloat f = FloatAt(data, k);
        values[size_t(k)] = f.noInfo ? std::numeric_limits<float>::quiet_NaN() : f.value;
    }
    append(timeMs, values);
    return true;
}

void TrendSeries::append(qint64 timeMs, const std::vector<float>& values) {
    bool silence = false;
    if (count_ > 0) {
        const qint64 step = timeMs - lastTimeMs();
        if (step < 0) {
            // The clock was set back: the stored hour no longer lines up with the new times.
            clear();
        } else {
            silence = lastStepMs_ > 0 && step > std::max(kMinSilenceMs, 3 * lastStepMs_);
            lastStepMs_ = step;
        }
    }
    dropOld(timeMs);
    if (count_ == capacity_) {
        head_ = (head_ + 1) % capacity_;
        --count_;
    }
    const int p = physical(count_);
    times_[size_t(p)] = timeMs;
    breaks_[size_t(p)] = silence ? 1 : 0;
    float* row = &values_[size_t(p) * kParameterCount];
    for (int k = 0; k < kParameterCount; ++k) {
        const float v =
            size_t(k) < values.size() ? values[size_t(k)] : std::numeric_limits<float>::quiet_NaN();
        row[k] = std::isfinite(v) ? v : std::numeric_limits<float>::quiet_NaN();
    }
    ++count_;
}

void TrendSeries::clear() {
    head_ = 0;
    count_ = 0;
    lastStepMs_ = 0;
}

float TrendSeries::valueAt(int i, int parameter) const {
    return values_[size_t(physical(i)) * kParameterCount + size_t(parameter)];
}

void TrendSeries::dropOld(qint64 nowMs) {
    const qint64 oldest = nowMs - spanMs_;
    while (count_ > 0 && timeAt(0) < oldest) {
        head_ = (head_ + 1) % capacity_;
        --count_;
    }
    if (count_ == 0)
        head_ = 0;
}

int TrendSeries::lowerBound(qint64 t) const {
    int lo = 0, hi = count_;
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (timeAt(mid) < t)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

int TrendSeries::upperBound(qint64 t) const {
    int lo = 0, hi = count_;
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (timeAt(mid) <= t)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

std::vector<TrendPoint> TrendSeries::decimate(int parameter, qint64 t0, qint64 t1,
                                              int width) const {
    std::vector<TrendPoint> out;
    if (parameter < 0 || parameter >= kParameterCount || width < 1 || t1 <= t0 || count_ == 0)
        return out;
    const int first = lowerBound(t0);
    const int last = upperBound(t1);  // one past the final sample inside

    const auto push = [&out](qint64 t, double v) {
        // One break is enough however many gaps follow each other.
        if (v != v && (out.empty() || out.back().isBreak()))
            return;
        out.push_back({t, v});
    };
    const auto sampleAsPoint = [&](int i) {
        if (breakBefore(i))
            push(timeAt(i), kGap);
        push(timeAt(i), double(valueAt(i, parameter)));
    };

    if (first > 0)
        sampleAsPoint(first - 1);

    out.reserve(out.size() + size_t(std::min(last - first, 2 * width + 2)));

    // Events of one column are kept by sample index: a break sorts before the value of the
    // same sample (2i against 2i + 1), so the column flushes in time order.
    struct Column {
        int minIndex = -1, maxIndex = -1, gapIndex = -1;
        float minValue = 0, maxValue = 0;
    } col;
    const auto flush = [&]() {
        struct Event {
            int key;
            qint64 t;
            double v;
        } events[3];
        int n = 0;
        if (col.gapIndex >= 0)
            events[n++] = {2 * col.gapIndex, timeAt(col.gapIndex), kGap};
        if (col.minIndex >= 0)
            events[n++] = {2 * col.minIndex + 1, timeAt(col.minIndex), double(col.minValue)};
        if (col.maxIndex >= 0 && col.maxIndex != col.minIndex)
            events[n++] = {2 * col.maxIndex + 1, timeAt(col.maxIndex), double(col.maxValue)};
        std::sort(events, events + n, [](const Event& a, const Event& b) { return a.key < b.key; });
        for (int e = 0; e < n; ++e)
            push(events[e].t, events[e].v);
        col = Column{};
    };

    const qint64 windowMs = t1 - t0;
    int current = -1;
    for (int i = first; i < last; ++i) {
        const qint64 t = timeAt(i);
        const int c = int(std::min<qint64>((t - t0) * width / windowMs, width - 1));
        if (c != current) {
            if (current >= 0)
                flush();
            current = c;
        }
        const float v = valueAt(i, parameter);
        const bool gap = v != v;
        if ((gap || breakBefore(i)) && col.gapIndex < 0)
            col.gapIndex = i;
        if (gap)
            continue;
        if (col.minIndex < 0 || v < col.minValue) {
            col.minIndex = i;
            col.minValue = v;
        }
        if (col.maxIndex < 0 || v > col.maxValue) {
            col.maxIndex = i;
            col.maxValue = v;
        }
    }
    if (current >= 0)
        flush();

    if (last < count_)
        sampleAsPoint(last);
    return out;
}

TrendRange AutoscaleRange(const std::vector<std::vector<TrendPoint>>& lines, qint64 t0, qint64 t1) {
    TrendRange r;
    for (const auto& line : lines) {
        for (const TrendPoint& p : line) {
            if (p.isBreak() || p.timeMs < t0 || p.timeMs > t1)
                continue;
            if (!r.valid) {
                r.lo = r.hi = p.value;
                r.valid = true;
            } else {
                r.lo = std::min(r.lo, p.value);
                r.hi = std::max(r.hi, p.value);
            }
        }
    }
    if (!r.valid)
        return TrendRange{};
    const double spread = r.hi - r.lo;
    const double magnitude = std::max(std::abs(r.lo), std::abs(r.hi));
    if (spread <= magnitude * 1e-6) {
        const double half = magnitude > 0 ? magnitude * 0.05 : 1.0;
        const double mid = (r.lo + r.hi) / 2;
        r.lo = mid - half;
        r.hi = mid + half;
    } else {
        r.lo -= spread * 0.05;
        r.hi += spread * 0.05;
    }
    return r;
}

NiceAxis NiceAxisFor(double lo, double hi, int maxIntervals) {
    maxIntervals = std::max(maxIntervals, 1);
    if (!(hi > lo) || !std::isfinite(lo) || !std::isfinite(hi))
        return NiceAxis{lo, lo + 1.0, 2};
    const double raw = (hi - lo) / maxIntervals;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    double step = 10.0 * power;
    for (double m : {1.0, 2.0, 5.0}) {
        if (m * power >= raw) {
            step = m * power;
            break;
        }
    }
    // The rounded ends may need one step more than the estimate: widen the step once.
    for (int attempt = 0; attempt < 2; ++attempt) {
        const double nlo = std::floor(lo / step) * step;
        const double nhi = std::ceil(hi / step) * step;
        const int intervals = int(std::lround((nhi - nlo) / step));
        if (intervals <= maxIntervals || attempt == 1)
            return NiceAxis{nlo, nhi, std::max(intervals, 1) + 1};
        const double mantissa = step / std::pow(10.0, std::floor(std::log10(step)));
        step *= mantissa < 1.5 ? 2.0 : (mantissa < 3.0 ? 2.5 : 2.0);
    }
    return NiceAxis{lo, hi, 2};
}
