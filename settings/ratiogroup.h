#pragma once
#include <QGroupBox>
#include <optional>

#include "app/pagecontext.h"
#include "link/requestrecord.h"
#include "settings/ratios.h"

class QComboBox;
class QProgressBar;
class QPushButton;

// The group of the connection scheme and the transformer ratios on the metrology sub-page: it
// reads the scheme and the four rated values, writes them in a chain of six requests with a
// progress bar, and keeps the voltage texts consistent with the scheme. It owns the scheme
// flag and the rated values of the shared state.
//
// Numbers are formatted and parsed with the widget's locale(), the user's regional setting
// unless setLocale() gives another.
class RatioGroup : public QGroupBox {
    Q_OBJECT
  public:
    explicit RatioGroup(const PageContext& ctx, QWidget* parent = nullptr);

    // The group and both buttons together. The metrology procedure turns them off while it runs;
    // the window turns them on after a time-out (unless that procedure runs) or an exception
    // reply, which end a write chain.
    void SetRatioGroupEnabled(bool on);

    // Snaps the voltage texts with the windows of the selected scheme, gives the voltage selector
    // that scheme's list and announces the scheme (schemeApplied) so that the metrology page
    // shows the matching sheet.
    void ApplyScheme();

    // Selects the scheme that a read of register 528 gave, as the metrology start does before it
    // applies it: no conversion of the voltage texts, the scheme flag of the shared state set.
    void SelectScheme(quint16 registerWord);

    // Shows a rated-value block (`block`, the data area of a read of eight registers from 2048) in
    // the four fields and keeps the values as read in the shared state. False, and nothing changed,
    // when the area is short.
    bool ShowRatioBlock(const quint8* block, int length);

    // The confirmation of a single-register write of the main parameter page hides the bar too.
    void hideProgressBar();

    // Handlers of the controls.
    void BitBtnReadSchKpClick();
    void BitBtnSaveSchKpClick();
    void ComboBoxSetSchChange();

    // The selector item the voltage texts belong to.
    int prevScheme() const { return PrevScheme; }
    bool writing() const { return plan_.has_value(); }

  signals:
    // A text for the status line (the window shows it for three seconds).
    void statusMessage(const QString& text);
    // A scheme was applied: the sheet of the two-element scheme or that of the three-element
    // one is to be shown.
    void schemeApplied(bool twoElement);
    // New rated values are in the shared state: the metrology page derives its ranges anew.
    void ratedValuesChanged();

  private:
    void buildControls();
    void registerReplies();
    void setVoltageItems(const QStringList& items);
    ratios::VoltageTexts voltageTexts() const;
    void setVoltageTexts(const ratios::VoltageTexts& texts);
    int schemeItem() const;
    void runSteps(std::span<const ratios::WriteStep> steps, size_t from);
    bool sendStep(const ratios::WriteStep& step);
    void continueChain(RequestCode replied);
    void endChain();

    PageContext ctx_;
    int PrevScheme = ratios::kStartupSchemeItem;

    QComboBox* ComboBoxSetSch = nullptr;
    QComboBox* ComboBoxMaxValU = nullptr;
    QComboBox* ComboBoxMaxValU_ = nullptr;
    QComboBox* ComboBoxMaxValI = nullptr;
    QComboBox* ComboBoxMaxValI_ = nullptr;
    QPushButton* BitBtnReadSchKp = nullptr;
    QPushButton* BitBtnSaveSchKp = nullptr;
    QProgressBar* sProgressBarSchKp = nullptr;

    RequestRecord schemeRead_;
    RequestRecord ratioRead_;
    // The request of the step under way; the engine keeps only its code and sender.
    RequestRecord writeRecord_;
    // The values of the write under way, as they stood at the click.
    std::optional<ratios::RatioWritePlan> plan_;
    RequestCode awaited_ = RequestCode::SchemeWrite;
    // Tells a pause's continuation whether its chain is still the one running.
    quint32 chain_ = 0;
};
