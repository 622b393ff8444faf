#pragma once
#include <QPointer>
#include <QWidget>
#include <array>

#include "app/pagecontext.h"
#include "link/requestrecord.h"
#include "settings/mainparameters.h"

class LinkEngine;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The sub-page "Насторойка основных параметров": reads the main parameter block and then, by
// the sequencing timer, the displayed-parameter block; writes the settable words one register
// at a time and the indicator set-up as one block.
//
// The page owns its request records; a reply comes back to it by its own name. The reply to the
// displayed-parameter read is decoded here also when the indicator view's read button asked for
// it without a sender: no other page may register a handler for that code, and the indicator
// view takes the names, units and exponents from indicatorSetupRead().
//
// What a confirmed write means for the window (a new logical number, speed or parity) is
// announced as a signal; the window applies it to its own fields and port.
class MainParameterPage : public QWidget {
    Q_OBJECT
  public:
    explicit MainParameterPage(const PageContext& ctx, QWidget* parent = nullptr);
    ~MainParameterPage() override;

    void BitBtnMainParamClick();
    void BitBtnWriteLogClick();
    void BitBtnWriteBaudClick();
    void BitBtnWriteParClick();
    void BitBtnSaveNumDevClick();
    void BitBtnWriteYearClick();
    void BitBtnWriteBrightnessClick();
    void BitBtnSaveIndParamClick();
    // An operator change of any of the three displayed-parameter selectors.
    void ComboBoxIndParam0Change();

    // Reply data areas (the bytes after the three-byte header); a shorter area than the block
    // changes nothing.
    void ShowMainParameters(const quint8* block, int length);
    void ShowDisplayedParameters(const quint8* block, int length);

    // The set-up of the indicator lines as last read; IndParamExp are its exponents.
    const IndicatorSetup& indicatorSetup() const { return indicatorSetup_; }

  signals:
    // A displayed-parameter block was decoded, whoever asked for it.
    void indicatorSetupRead(const IndicatorSetup& setup);
    // The device confirmed a single-register write at `address`.
    void writeConfirmed(quint16 address);
    // The device took a new logical number, speed or parity: the window must follow it or it
    // loses the device. Sent after writeConfirmed, with the values that were sent.
    void logicalNumberWritten(int number);
    void speedWritten(int baud);
    void parityWritten(int parity);
    // The device confirmed the displayed-parameter write.
    void setupBlockWritten();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildControls();
    void wireLink();
    void afterMainParameters(const quint8* reply, int length);
    void afterDisplayedParameters(const quint8* reply, int length);
    void afterSingleWrite();
    void afterBlockWrite();
    void writeWord(MainWord word, const WriteValue& value);
    bool refused(const WriteValue& value);
    std::optional<int> slave();
    const ValidatedEditRule* ruleOf(const QObject* edit) const;
    void editChanged(QLineEdit* edit);

    PageContext ctx_;
    QPointer<LinkEngine> engine_;
    RequestRecord readRecord_;
    RequestRecord setupReadRecord_;
    RequestRecord writeRecord_;
    RequestRecord blockWriteRecord_;
    std::array<quint16, kIndicatorLines> blockWords_{};
    IndicatorSetup indicatorSetup_{};

    QLabel* StaticTextVersPrg = nullptr;
    QLabel* StaticTextNumMeasureParam = nullptr;
    QLabel* StaticTextSchInp = nullptr;
    QLabel* StaticTextVersDev = nullptr;
    QLineEdit* EditReadLog = nullptr;
    QPushButton* BitBtnWriteLog = nullptr;
    QComboBox* ComboBoxBaud3 = nullptr;
    QPushButton* BitBtnWriteBaud = nullptr;
    QComboBox* ComboBoxPar3 = nullptr;
    QPushButton* BitBtnWritePar = nullptr;
    QLineEdit* EditNumDev = nullptr;
    QPushButton* BitBtnSaveNumDev = nullptr;
    QLineEdit* EditReadYear = nullptr;
    QPushButton* BitBtnWriteYear = nullptr;
    QComboBox* ComboBoxBrightness = nullptr;
    QPushButton* BitBtnWriteBrightness = nullptr;
    std::array<QComboBox*, kIndicatorLines> ComboBoxIndParam{};
    QPushButton* BitBtnSaveIndParam = nullptr;
    QPushButton* BitBtnMainParam = nullptr;
};
