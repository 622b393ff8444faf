#pragma once
#include <QObject>
#include <QtGlobal>

// A timer with the semantics the link and the pages rely on:
// - setting the interval to the value it already has does not restart a running timer;
//   a different value restarts it;
// - enabling a running timer does not restart it;
// - an interval of 0 never fires.
class LinkTimer : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;
    ~LinkTimer() override = default;
    virtual void setInterval(int ms) = 0;
    virtual int interval() const = 0;
    virtual void setEnabled(bool on) = 0;
    virtual bool isEnabled() const = 0;
    void start() { setEnabled(true); }
    void stop() { setEnabled(false); }

  signals:
    void timeout();
};

// Source of time and timers. The program uses the system clock; tests use ManualClock.
class Clock {
  public:
    virtual ~Clock() = default;
    // Milliseconds since the epoch, local time zone not applied.
    virtual qint64 nowMs() const = 0;
    // A new stopped timer, owned by `parent`.
    virtual LinkTimer* createTimer(QObject* parent) = 0;
};

class SystemClock : public Clock {
  public:
    qint64 nowMs() const override;
    LinkTimer* createTimer(QObject* parent) override;
};
