#pragma once
#include <QList>
#include <QPointer>

#include "link/timer.h"

class ManualTimer;

// A clock that moves only when a test advances it; due timers fire in time order, each at the
// moment it is due, so handlers see the time they would see in the program.
class ManualClock : public Clock {
  public:
    explicit ManualClock(qint64 startMs = 1'700'000'000'000) : now_(startMs) {}
    qint64 nowMs() const override { return now_; }
    LinkTimer* createTimer(QObject* parent) override;
    void advance(qint64 ms);

  private:
    friend class ManualTimer;
    qint64 now_;
    QList<QPointer<ManualTimer>> timers_;
};

class ManualTimer : public LinkTimer {
    Q_OBJECT
  public:
    ManualTimer(ManualClock* clock, QObject* parent) : LinkTimer(parent), clock_(clock) {}
    void setInterval(int ms) override;
    int interval() const override { return interval_; }
    void setEnabled(bool on) override;
    bool isEnabled() const override { return enabled_; }
    // When it fires next, or -1 when it will not.
    qint64 due() const { return (enabled_ && interval_ > 0) ? due_ : -1; }
    void fire();

  private:
    ManualClock* clock_;
    int interval_ = 1000;
    bool enabled_ = false;
    qint64 due_ = 0;
};
