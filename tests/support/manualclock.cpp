#include "manualclock.h"

LinkTimer* ManualClock::createTimer(QObject* parent) {
    auto* t = new ManualTimer(this, parent);
    timers_.append(t);
    return t;
}

void ManualClock::advance(qint64 ms) {
    const qint64 target = now_ + ms;
    for (;;) {
        ManualTimer* next = nullptr;
        for (const QPointer<ManualTimer>& t : timers_) {
            if (t && t->due() >= 0 && t->due() <= target && (!next || t->due() < next->due()))
                next = t;
        }
        if (!next)
            break;
        now_ = next->due();
        next->fire();
    }
    now_ = target;
}

void ManualTimer::setInterval(int ms) {
    if (ms == interval_)
        return;
    interval_ = ms;
    if (enabled_)
        due_ = clock_->nowMs() + interval_;
}

void ManualTimer::setEnabled(bool on) {
    if (on == enabled_)
        return;
    enabled_ = on;
    if (on)
        due_ = clock_->nowMs() + interval_;
}

void ManualTimer::fire() {
    due_ += interval_;
    emit timeout();
}
