#pragma once
#include <QWidget>
#include <array>

#include "app/pagecontext.h"
#include "settings/remoteindicator.h"

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The sub-page "Индикатор" of the external devices: per line of the remote indicator the
// parameter shown and its over- and under-limit setpoints in percent, the connection scheme,
// and the read and write of these settings in the indicator's own frame.
//
// The two buttons "Записать  " and "Прочитать  " belong in the link group of the external
// devices page; they live in buttonRow(), which the window moves there.
//
// Setpoints are shown and typed with the widget's locale(), the user's regional setting
// unless setLocale() gives another.
class RemoteIndicatorPage : public QWidget {
    Q_OBJECT
  public:
    explicit RemoteIndicatorPage(const PageContext& ctx, QWidget* parent = nullptr);

    // The window enters the external devices page: every line gets its group's defaults, so a
    // read is needed to see what the remote indicator holds.
    void pageEntered();

    // Enables the line's setpoints and the write as far as the settings allow, then gives the
    // line its group's defaults (reset) or holds its setpoints to the group's range.
    void UpdateIndicatorLine(int line, bool reset);
    // The two-element treatment of a line whose parameter needs three elements: its setpoints
    // are emptied and disabled and the write blocked. Returns whether it applied; otherwise
    // the write button follows RemoteSaveAllowed().
    bool xNoInfoInd(int line);
    bool RemoteSaveAllowed() const;

    void BitBtnReadClick();
    void BitBtnSaveClick();

    QWidget* buttonRow() const { return buttonRow_; }

    // The item index of line `line`'s selector, remoteindicator::kNone when its text is no
    // item of the list.
    int parameterCode(int line) const;
    // remoteindicator::kTwoElement, kThreeElement or kNone.
    int scheme() const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    enum class LineUpdate { Reset, Clamp, Keep };

    void updateLine(int line, LineUpdate how);
    void reevaluateLines();
    void RGSchemaClick();
    void setpointEnter(QLineEdit* edit);
    void setpointChange(QLineEdit* edit);
    void setpointExit(QLineEdit* edit);
    void showSettings(const remoteindicator::Settings& s);
    void setScheme(int scheme);
    void allowSave();
    void sendFailed();

    QString formatPercent(double percent) const;
    // The number in `text` under the widget's locale.
    std::optional<double> parsePercent(const QString& text) const;

    PageContext ctx_;
    std::array<QComboBox*, remoteindicator::kLineCount> CBIndParamName{};
    std::array<QLineEdit*, remoteindicator::kLineCount> TEUstMax{};
    std::array<QLineEdit*, remoteindicator::kLineCount> TEUstMin{};
    QGroupBox* RGSchema = nullptr;
    QButtonGroup* schemeButtons_ = nullptr;
    QPushButton* BitBtnSave = nullptr;
    QPushButton* BitBtnRead = nullptr;
    QWidget* buttonRow_ = nullptr;
};
