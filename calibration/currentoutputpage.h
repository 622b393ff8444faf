#pragma once
#include <QWidget>
#include <array>
#include <optional>

#include "app/pagecontext.h"
#include "calibration/currentoutput.h"
#include "link/requestrecord.h"

class QButtonGroup;
class QComboBox;
class QDoubleSpinBox;
class QGroupBox;
class QPushButton;
class QRadioButton;
class QToolButton;
class StatusLamp;

// An up/down control: two arrows over a position within a range. Each arrow moves the
// position by one and reports which arrow it was.
class OutputUpDown : public QWidget {
    Q_OBJECT
  public:
    explicit OutputUpDown(QWidget* parent = nullptr);
    int position() const { return position_; }
    void setPosition(int position);
    QToolButton* upArrow() const { return up_; }
    QToolButton* downArrow() const { return down_; }

  signals:
    void clicked(bool up);

  private:
    void arrow(bool up);
    QToolButton* up_;
    QToolButton* down_;
    int position_ = currentoutput::kStepPositionRest;
};

// The sub-page "Настройка токовых выходов" (TSSetCurrent): puts the transducer into its
// current-output correction mode at the point selected under "Пределы", watches that the mode
// holds, and sends the operator's measured values, output steps and the store command; when
// idle it writes the output hardware variant.
//
// Effects on the rest of the window go out as signals; the window connects them.
class CurrentOutputPage : public QWidget {
    Q_OBJECT
  public:
    explicit CurrentOutputPage(const PageContext& ctx, QWidget* parent = nullptr);

    // Старт or Стоп, by whether the procedure runs.
    void sBitBtnSetCurrClick();
    // A new item of "Пределы" chosen by the operator.
    void sRadioGroupHwCurrClick(int item);
    // An arrow of the "x 1", "x 10" or "x 100" control of output `n` (0..2).
    void sUpDownCurr1Click(int n, bool up);
    void sUpDownFast2Click(int n, bool up);
    void sUpDownSFast2Click(int n, bool up);
    // "Ввод" of output `n` (0..2).
    void sBitBtnEnterCurr1Click(int n);
    void BitBtnSeveHwCurrInfoClick();
    void sBitBtnSaveSelHwCurrClick();

    // Ends the procedure however it runs and switches the transducer's correction mode off;
    // nothing when idle. The mode-off write is on the line when this returns, so a caller that
    // is about to change the port's speed must call this first.
    void StopCurrentOutput();
    // Applies the table of usable controls for the current limit.
    void SetCurrentOutputControlsEnabled(bool running);
    // The nominal output currents of `variant` at the current limit into the three fields.
    void PresetOutputValues(quint16 variant);

    currentoutput::State procedureState() const { return state_; }
    int outputLimit() const { return limit_; }
    QDoubleSpinBox* measuredField(int n) const { return spins_[size_t(n)]; }
    QPushButton* enterButton(int n) const { return enters_[size_t(n)]; }
    OutputUpDown* stepControl(currentoutput::StepSize size, int n) const;

  signals:
    // True from the Старт click, false when the procedure ends or its start fails: "Выход" is
    // held while it is true, and the value-entry dialog is closed when it turns false.
    void currentOutputRunning(bool on);
    // The variant read of the start has been answered: the ratio group applies its scheme.
    void schemeApplyRequested();

  private:
    QWidget* buildTopPanel();
    QWidget* buildLimitsAndVariant();
    QWidget* buildOutput(int n);
    void registerHandlers();

    void startCurrentOutput();
    void undoStart();
    void stepClick(currentoutput::StepSize size, int n, bool up);
    std::optional<quint16> commandSlave();
    void queueWrite(const RequestRecord& r);
    void settle(bool resume);
    void backToStatusRead();
    void refreshControls();
    bool ready() const { return state_ == currentoutput::State::Monitoring; }
    void step(currentoutput::Event e);

    void onVariantRead(const quint8* reply, int n);
    void onCommandReply();
    void onStatusRead(const quint8* reply, int n);
    void onWriteReply(bool limitChange);
    void onRequestSent(RequestCode code);
    void onTimedOut();
    void onExceptionReply();

    PageContext ctx_;
    currentoutput::State state_ = currentoutput::State::Idle;
    int limit_ = currentoutput::kMiddleValue;
    // Counts the stops, so that a pause begun before a stop does not resume after it.
    int run_ = 0;
    bool writeSent_ = false;
    bool modeOffOutstanding_ = false;

    RequestRecord variantRead_;
    RequestRecord statusRead_;
    RequestRecord modeWrite_;
    RequestRecord write_;
    RequestRecord modeOff_;
    RequestRecord variantWrite_;

    StatusLamp* ApdStatusLight2 = nullptr;
    QPushButton* sBitBtnSetCurr = nullptr;
    QPushButton* BitBtnSeveHwCurrInfo = nullptr;
    QGroupBox* sRadioGroupHwCurr = nullptr;
    QButtonGroup* limitButtons_ = nullptr;
    QComboBox* sComboBoxSelHwCurr = nullptr;
    QPushButton* sBitBtnSaveSelHwCurr = nullptr;
    std::array<QDoubleSpinBox*, currentoutput::kOutputCount> spins_{};
    std::array<QPushButton*, currentoutput::kOutputCount> enters_{};
    // By kStepControls row (x 100, x 10, x 1), then output.
    std::array<std::array<OutputUpDown*, currentoutput::kOutputCount>, 3> steps_{};
};
