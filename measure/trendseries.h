#pragma once
#include <QByteArray>
#include <QtGlobal>
#include <memory>
#include <vector>

#include "measure/catalogue.h"

// The history behind the trend charts: every measured block with the time it arrived, all 29
// parameters side by side on one time line, so a parameter picked later shows its past at once.

constexpr qint64 kTrendLongestSpanMs = 60 * 60 * 1000;
// An hour at 20 reads per second; a faster poll shortens the history rather than growing it.
constexpr int kTrendDefaultCapacity = 72'000;

// One point of a line. A NaN value is a break: the line stops before it and starts again after.
struct TrendPoint {
    qint64 timeMs = 0;
    double value = 0.0;
    bool isBreak() const { return value != value; }
};

struct TrendRange {
    double lo = 0.0;
    double hi = 1.0;
    bool valid = false;  // false: nothing to scale to, keep whatever range is shown
};

class TrendSeries {
  public:
    explicit TrendSeries(int capacity = kTrendDefaultCapacity, qint64 spanMs = kTrendLongestSpanMs);

    // The 116-byte data area of a measured-block reply; false (and nothing stored) when shorter.
    bool appendBlock(qint64 timeMs, const QByteArray& block);
    // Values in catalogue order; missing trailing values and NaN or infinite ones are gaps.
    void append(qint64 timeMs, const std::vector<float>& values);
    void clear();

    int size() const { return count_; }
    bool isEmpty() const { return count_ == 0; }
    int capacity() const { return capacity_; }
    qint64 spanMs() const { return spanMs_; }
    qint64 timeAt(int i) const { return times_[physical(i)]; }
    // NaN for a sample without information.
    float valueAt(int i, int parameter) const;
    qint64 firstTimeMs() const { return count_ ? timeAt(0) : 0; }
    qint64 lastTimeMs() const { return count_ ? timeAt(count_ - 1) : 0; }

    // The line of one parameter over [t0, t1] drawn `width` pixels wide: per pixel column the
    // lowest and the highest value in time order, so a one-sample spike survives any zoom, plus
    // a break where the column holds a gap. The nearest sample on either side of the window is
    // added so the line reaches the edges when panned.
    std::vector<TrendPoint> decimate(int parameter, qint64 t0, qint64 t1, int width) const;

  private:
    int physical(int i) const { return (head_ + i) % capacity_; }
    bool breakBefore(int i) const { return breaks_[physical(i)] != 0; }
    int lowerBound(qint64 t) const;  // first sample at or after t
    int upperBound(qint64 t) const;  // first sample after t
    void dropOld(qint64 nowMs);

    int capacity_;
    qint64 spanMs_;
    int head_ = 0;
    int count_ = 0;
    // Left uninitialised on purpose: an hour of room is several megabytes, and zeroing it would
    // cost the program's start; untouched pages take no memory until samples arrive.
    std::unique_ptr<qint64[]> times_;
    std::unique_ptr<float[]> values_;   // capacity_ rows of kParameterCount
    std::unique_ptr<quint8[]> breaks_;  // the line must not join this sample to the one before
    qint64 lastStepMs_ = 0;             // time between the two newest samples
};

// The value range of the points inside [t0, t1] of the given lines, with a 5% margin; a flat
// line gets a band of 5% of its value around it (or +-1 around zero).
TrendRange AutoscaleRange(const std::vector<std::vector<TrendPoint>>& lines, qint64 t0, qint64 t1);

// A value axis on round steps (1, 2 or 5 times a power of ten) covering lo to hi in at most
// `maxIntervals` steps: 199.6 to 228.4 becomes 195 to 230 in steps of 5.
struct NiceAxis {
    double lo = 0.0;
    double hi = 1.0;
    int tickCount = 2;
};
NiceAxis NiceAxisFor(double lo, double hi, int maxIntervals = 8);
