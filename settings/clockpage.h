#pragma once
#include <QWidget>
#include <array>

#include "app/pagecontext.h"
#include "link/requestrecord.h"
#include "settings/deviceclock.h"

class LinkTimer;
class QCalendarWidget;
class QCheckBox;
class QLabel;
class QPushButton;
class QSpinBox;

// The sub-page "Настройка времени" (TSSetTime): reads the transducer's clock and shows it beside
// the computer's time with the difference between both, and sets the clock to the date of the
// calendar and the time of the three spin edits. With "Текущее время" checked the controls
// follow the computer's clock at every tick of `timerClock` (the window's one-second clock
// timer), so that "Запись" sets the device to the computer's time.
//
// Dates and times of the computer are shown with the widget's locale().
class ClockPage : public QWidget {
    Q_OBJECT
  public:
    ClockPage(const PageContext& ctx, LinkTimer* timerClock, QWidget* parent = nullptr);

    void sBitBtnReadTimeClick();
    void sBitBtnWriteTimeClick();
    // The clock timer's tick.
    void TimerClockTimer();
    // The operator touched the calendar or a spin edit: the controls stop following the clock.
    void sMonthCalendarChange();

  signals:
    // The transducer confirmed the clock write (the block-write confirmation).
    void blockWriteConfirmed();

  private:
    void ShowClockReply(const quint8* reply, int length);
    // Sets the controls without it counting as the operator's change.
    void setControls(const QDate* date, int hours, int minutes, int seconds);

    PageContext ctx_;
    LinkTimer* TimerClock;
    RequestRecord readRecord_;
    RequestRecord writeRecord_;
    std::array<quint16, deviceclock::kWriteWords> writeWords_{};
    bool following_ = false;  // the page itself is setting the controls

    QCalendarWidget* sMonthCalendar = nullptr;
    QSpinBox* sSpinEditHour = nullptr;
    QSpinBox* sSpinEditMin = nullptr;
    QSpinBox* sSpinEditSek = nullptr;
    QPushButton* sBitBtnWriteTime = nullptr;
    QCheckBox* sCheckSaveCurrTime = nullptr;
    QPushButton* sBitBtnReadTime = nullptr;
    QLabel* sLabelTimeRW = nullptr;
    QLabel* sLabelCurrTime = nullptr;
    QLabel* sLabelDifTime = nullptr;
};
