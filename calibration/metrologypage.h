#pragma once
#include <QPoint>
#include <QWidget>
#include <array>

#include "app/pagecontext.h"
#include "calibration/metrology.h"
#include "link/requestrecord.h"

class QLabel;
class QPushButton;
class QTabWidget;
class QToolButton;
class QVBoxLayout;
class StatusLamp;

// Two stacked arrows that report their clicks separately, the up arrow and the down arrow.
class TrimSpinButton : public QWidget {
    Q_OBJECT
  public:
    explicit TrimSpinButton(bool wide, QWidget* parent = nullptr);
    QToolButton* upArrow() const { return up_; }
    QToolButton* downArrow() const { return down_; }

  signals:
    void upClicked();
    void downClicked();

  private:
    QToolButton* up_;
    QToolButton* down_;
};

// The sub-page "Настройка метрологии" (TSSetMetrol): the calibration procedure that polls the
// readings every second and sends the operator's reference values, power trims and the store
// command. The ratio and scheme group stands above the procedure; the window places it there.
//
// Effects on the rest of the window go out as signals; the window connects them.
class MetrologyPage : public QWidget {
    Q_OBJECT
  public:
    explicit MetrologyPage(const PageContext& ctx, QWidget* parent = nullptr);

    // Puts the ratio and scheme group at the top of the sheet.
    void placeRatioGroup(QWidget* group);

    // Старт or Стоп, whichever the button shows.
    void BitBtnSetNetClick();
    void BitBtnSeveSetInfoClick();
    // Ends the procedure however it runs, from the click of Старт on; nothing when idle.
    void StopMetrology();
    void SetCalibrationInputsEnabled(bool on);
    // Shows the tab of the sheet that matches the connection scheme and hides the other.
    void ShowSchemeSheet(bool twoElement);
    // The rated values of the shared state changed: the nominals the buttons write follow them.
    void refreshReferences();

    // The "Ввод" button `button` (index into metrology::kEnterButtons) queues its nominal.
    void EnterButtonClick(int button);
    // An arrow of the power-trim spin button `trim` (index into metrology::kPowerTrims).
    void PowerTrimClick(int trim, bool up);
    // A double click on reading `row` (index into metrology::kCalibrationRows).
    void SendInfoToForm2(int row);
    // The value typed for the row double-clicked last, or for `row`; false when the row has no
    // reference number or the procedure is not polling.
    bool AcceptEnteredValue(float value);
    bool WriteEnteredValue(int row, float value);
    // The reading of `row` as the value-entry dialog starts with it: not divided by 1000.
    QString entryText(int row) const;
    void QueueReferenceWrite(int referenceNumber, float value);
    // `block` is the data area of a measured-value block reply.
    void ShowCalibrationReadings(const quint8* block, int length);

    metrology::State procedureState() const { return state_; }
    metrology::References references() const;
    QLabel* field(int row) const { return fields_[size_t(row)]; }
    QPushButton* enterButton(int button) const { return buttons_[size_t(button)]; }
    TrimSpinButton* trim(int index) const { return trims_[size_t(index)]; }

  signals:
    // True from the Старт click, false when the procedure ends or its start fails: the other
    // sub-pages and pages and the exit button are disabled while it is true, and the
    // value-entry dialog is closed when it turns false.
    void metrologyRunning(bool on);
    // The ratio and scheme group: off once the scheme is read, on at the end.
    void ratioGroupEnabled(bool on);
    // The scheme register as the start read it, for the scheme selector and the ratio group's
    // own scheme rules.
    void schemeRead(quint16 registerWord);
    // The data area of the rated-value read at the start (four floats, 16 bytes), for the ratio
    // fields, which show it as their own read does.
    void ratioBlockRead(const QByteArray& block);
    // A reading with a reference number was double-clicked: the value-entry dialog opens at
    // `dialogOffset` from the window's top-left corner.
    void readingDoubleClicked(int row, QPoint dialogOffset);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget* buildSheet(metrology::Sheet sheet);
    QWidget* buildPanel();
    void registerHandlers();
    void onSchemeRead(const quint8* reply, int n);
    void onRatioRead(const quint8* reply, int n);
    void onPoll(const quint8* reply, int n);
    void onWriteReply(bool command);
    void onExchangeFailed(bool refused);
    void startMetrology();
    void undoStart();
    void queueCommand(const RequestRecord& r);
    void refreshInputs();
    void step(metrology::Event e);
    bool accepting() const;

    PageContext ctx_;
    metrology::State state_ = metrology::State::Idle;
    metrology::CalibrationInputs inputs_;
    std::array<float, metrology::kCalibrationRowCount> shown_{};
    int clickedRow_ = -1;

    RequestRecord schemeRead_;
    RequestRecord ratioRead_;
    RequestRecord referenceWrite_;
    RequestRecord command_;

    QVBoxLayout* column_ = nullptr;
    QTabWidget* PageControl2or3Elem = nullptr;
    QWidget* TabSheet3 = nullptr;
    QWidget* TabSheet4 = nullptr;
    StatusLamp* ApdStatusLight1 = nullptr;
    QPushButton* BitBtnSetNet = nullptr;
    QPushButton* BitBtnSeveSetInfo = nullptr;
    std::array<QLabel*, metrology::kCalibrationRowCount> fields_{};
    std::array<QPushButton*, metrology::kEnterButtonCount> buttons_{};
    std::array<TrimSpinButton*, metrology::kPowerTrimCount> trims_{};
};
