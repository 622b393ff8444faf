#pragma once
#include <QMainWindow>
#include <memory>

#include "app/inifile.h"
#include "app/pagecontext.h"
#include "app/pollinggroup.h"
#include "app/portsettings.h"
#include "link/engine.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QWidget;
class Clock;
class LinkGroup;
class LinkTimer;
class IndicatorView;
class MeasuredValuesPage;
class CurrentOutputPage;
class TForm2;
class TrafficMonitorWindow;
class TrendWindow;
class MainParameterPage;
class InfoChannelView;
class ClockPage;
class MetrologyPage;
class RatioGroup;
class RemoteIndicatorPage;
class CurrentConverterPage;
class SerialPort;
class StatusLamp;

// The main window: owns the port, the timers, the link and every page, and wires them.
class TForm1 : public QMainWindow, public LinkHooks, public PollingHost {
    Q_OBJECT
  public:
    // `port` and `clock` are the window's for its whole life; the program passes the real
    // serial port and the system clock, tests a fake port and a manual clock.
    TForm1(SerialPort* port, Clock* clock, QWidget* parent = nullptr);
    ~TForm1() override;

    LinkEngine& engine() { return *engine_; }
    PortSettings& portSettings() { return *portSettings_; }
    PollingGroup* pollingGroup() const { return pollingGroup_; }

    // Page switches.
    void PageControl1Change();
    void PageControl_TervexChange();
    void PageControlSetAllParamChange();

    // Status line.
    void ShowStatus(const QString& text);
    void TimerMessTimer();

    // Logical number fields.
    void Edit1Change();
    void Edit2Change();

    void sBitBtn1Click();
    void sComboBoxSkinChange();

    // LinkHooks
    std::optional<int> setupAddress() override;
    QString setupAddressText() override;

    void reportError(const QString& text);
    void showMessage(const QString& text);
    void setRatioGroupEnabled(bool on);

    SharedState& state() { return state_; }
    PageContext context();

    // PollingHost
    std::optional<int> pollingAddress() override;
    void setPollingAddressEnabled(bool on) override;
    bool pollingAddressEnabled() const override;
    void setExitEnabled(bool on) override;
    Target pollTarget() override;

  private:
    QWidget* buildTitleStrip();
    QWidget* buildTervexPage();
    QWidget* buildTuningPage();
    QWidget* buildExtDevPage();
    QWidget* buildInfoChannelPage();
    void wireLinkGroups();
    void wireEngine();
    void wireCalibration();
    void wireMainParameters();
    void wireTools();
    static void showTool(QWidget* window);
    void stopProcedures();
    void showPortSettings();
    void ControlInfoEdit(QLineEdit* field);

    SerialPort* port_;
    Clock* clock_;
    std::unique_ptr<IniFile> ini_;
    std::unique_ptr<PortSettings> portSettings_;
    SharedState state_;
    LinkEngine* engine_;
    LinkTimer* TimerMess;
    LinkTimer* TimerAuto;
    LinkTimer* TimerChanInfo;
    LinkTimer* TimerClock;

    QLabel* LabelMaker = nullptr;
    QComboBox* sComboBoxSkin = nullptr;
    QPushButton* sBitBtn1 = nullptr;
    QPushButton* BitBtnExit = nullptr;
    QPushButton* BitBtnMonitor = nullptr;
    QPushButton* BitBtnTrends = nullptr;
    QTabWidget* PageControl1 = nullptr;
    QWidget* TS_Tervex = nullptr;
    QWidget* TStuning = nullptr;
    QWidget* TS_ExtDev = nullptr;
    QWidget* sTabSheet4 = nullptr;
    QTabWidget* PageControl_Tervex = nullptr;
    QWidget* TS_FullInfo = nullptr;
    QWidget* TS_Ind = nullptr;
    QTabWidget* PageControlSetAllParam = nullptr;
    QWidget* TSSetTime = nullptr;
    QWidget* GroupBoxNetSchKp = nullptr;
    QTabWidget* PageControl3 = nullptr;
    QLabel* statusPanel1 = nullptr;
    QLabel* statusPanel2 = nullptr;
    LinkGroup* linkGroups_[4] = {};  // by port selector: ComboBoxPort1 .. ComboBoxPort4
    QLineEdit* Edit1 = nullptr;
    QLineEdit* Edit2 = nullptr;
    MeasuredValuesPage* measuredPage_ = nullptr;
    IndicatorView* indicatorView_ = nullptr;
    CurrentOutputPage* currentOutputPage_ = nullptr;
    // Parentless: a child of the main window would be disabled with it.
    std::unique_ptr<TForm2> valueDialog_;
    MainParameterPage* mainParameterPage_ = nullptr;
    InfoChannelView* infoChannelView_ = nullptr;
    ClockPage* clockPage_ = nullptr;
    RatioGroup* ratioGroup_ = nullptr;
    MetrologyPage* metrologyPage_ = nullptr;
    RemoteIndicatorPage* remoteIndicatorPage_ = nullptr;
    CurrentConverterPage* currentConverterPage_ = nullptr;
    PollingGroup* pollingGroup_ = nullptr;
    // Tool windows, parentless like the value dialog; declared last so that they go before
    // the engine they listen to.
    std::unique_ptr<TrafficMonitorWindow> trafficMonitor_;
    // Built with the window, so that the last hour is there when the operator opens it.
    std::unique_ptr<TrendWindow> trendWindow_;
    QString skinInUse_;
    bool syncing_ = false;  // mirroring one control into another, not an operator change
};
