#pragma once
#include <QGroupBox>
#include <optional>

#include "link/engine.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class LinkTimer;
class StatusLamp;

// What the polling group needs from the rest of the window.
class PollingHost {
  public:
    enum class Target { MeasuredValues, IndicatorSetup, IndicatorValues };
    virtual ~PollingHost() = default;
    // The logical number typed on the first page; nullopt (and an error report) when it is
    // not a number.
    virtual std::optional<int> pollingAddress() = 0;
    virtual void setPollingAddressEnabled(bool on) = 0;
    virtual bool pollingAddressEnabled() const = 0;
    virtual void setExitEnabled(bool on) = 0;
    // What the read button reads, by the sub-page shown.
    virtual Target pollTarget() = 0;
};

// The group "Опрос": single reads, automatic polling with the operator's period, and the
// link statistics.
class PollingGroup : public QGroupBox {
    Q_OBJECT
  public:
    static constexpr int kMaxPeriodMs = 60000;

    PollingGroup(LinkEngine* engine, LinkTimer* timerAuto, PollingHost* host,
                 QWidget* parent = nullptr);

    void BitBtnStartClick();
    void TimerAutoTimer();
    void PollingTimerStep();
    void ShowReplyTime();
    void ShowCounter(LinkCounter counter);
    void ButtonStatClearClick();
    // The inner page left the measured values: polling ends without touching the timer,
    // the logical-number field or the exit button.
    void DropPollingFlag();

    bool polling() const { return polling_; }
    void setStartEnabled(bool on);

    // The record of the single reads and of automatic polling.
    RequestRecord MainRequest;

  private:
    LinkEngine* engine_;
    LinkTimer* timerAuto_;
    PollingHost* host_;
    bool polling_ = false;

    QPushButton* BitBtnStart;
    QCheckBox* CheckBoxAuto;
    QLineEdit* EditAuto;
    StatusLamp* ApdStatusLight3;
    QLabel* StaticTextTimeMeasure;
    QLabel* StaticTextMax;
    QLabel* StaticTextNoAnsw;
    QLabel* StaticTextErrCRC;
    QLabel* StaticTextAllEnquiry;
    QPushButton* ButtonStatClear;
};

namespace pollingtext {
inline const char* const kRead = "     Читать";
inline const char* const kStop = "     Стoп";  // the "o" is Latin, as the device tools have it
}  // namespace pollingtext
