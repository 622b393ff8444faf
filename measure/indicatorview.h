#pragma once
#include <QWidget>
#include <array>

#include "app/pagecontext.h"
#include "measure/indicator.h"

class LedClock;
class LinkTimer;
class QLabel;
class SevenSegmentDigit;

// The "Отображаемая информация" sub-page: the transducer's three-line LED indicator as it
// appears on the front panel, and a clock face with the computer's time beside it.
//
// It only shows. The values come in the replies to the indicator-values read that the polling
// group sends without a sender; the names, units and exponents of the lines come from the
// set-up block, which the main parameter page decodes for everyone and the window hands on
// through setLineSetup(). A failed exchange changes nothing here: the indicator of the device
// does not go dark either when its master stops asking.
//
// `timerClock` is the window's one-second clock timer; every tick shows the local time of
// ctx.clock.
class IndicatorView : public QWidget {
    Q_OBJECT
  public:
    // The caption of the page's tab; also the widget's window title.
    static constexpr const char* kCaption = "Отображаемая информация";

    IndicatorView(const PageContext& ctx, LinkTimer* timerClock, QWidget* parent = nullptr);

    // The set-up of line 0-2 as the device reported it: parameter name, unit label with its
    // prefix, and the exponent word the line's values are rendered with from now on. The digits
    // keep what they show until the next values arrive. Other line numbers are ignored.
    void setLineSetup(int line, const QString& name, const QString& unit, quint16 exponentWord);

    // `block` is the reply's data area; a shorter area than the three values changes nothing.
    void ShowIndicatorValues(const quint8* block, int length);
    // One value on one line, by the device's own rendering with the line's exponent.
    void RenderLine(int line, float value);

    quint16 exponentWord(int line) const;
    // The drive byte of the sign digit of `line`, and of its digit position 0-3 (0 leftmost).
    quint8 signSegments(int line) const;
    quint8 digitSegments(int line, int position) const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void TimerClockTimer();

    PageContext ctx_;
    LinkTimer* TimerClock;
    std::array<quint16, kIndicatorLineCount> IndParamExp{};
    std::array<QLabel*, kIndicatorLineCount> LabelLineName{};
    std::array<SevenSegmentDigit*, kIndicatorLineCount> signDigits_{};
    std::array<std::array<SevenSegmentDigit*, kIndicatorDigits>, kIndicatorLineCount> digits_{};
    std::array<QLabel*, kIndicatorLineCount> LabelLine{};
    LedClock* VrLedClock1 = nullptr;
};
