#include "link/timer.h"

#include <QDateTime>
#include <QTimer>

namespace {

// QTimer restarts on setInterval() and start() even when nothing changes; the link relies on
// neither doing so, and on an interval of 0 never firing.
class QtLinkTimer : public LinkTimer {
  public:
    explicit QtLinkTimer(QObject* parent) : LinkTimer(parent) {
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, this, &LinkTimer::timeout);
    }
    void setInterval(int ms) override {
        if (ms == interval_)
            return;
        interval_ = ms;
        if (enabled_)
            restart();
    }
    int interval() const override { return interval_; }
    void setEnabled(bool on) override {
        if (on == enabled_)
            return;
        enabled_ = on;
        if (on) {
            restart();
        } else {
            timer_.stop();
        }
    }
    bool isEnabled() const override { return enabled_; }

  private:
    void restart() {
        if (interval_ > 0) {
            timer_.start(interval_);
        } else {
            timer_.stop();
        }
    }
    QTimer timer_;
    int interval_ = 1000;
    bool enabled_ = false;
};

}  // namespace

qint64 SystemClock::nowMs() const {
    return QDateTime::currentMSecsSinceEpoch();
}

LinkTimer* SystemClock::createTimer(QObject* parent) {
    return new QtLinkTimer(parent);
}
