#pragma once
#include <QByteArray>
#include <QString>
#include <QWidget>

#include "measure/infochannel.h"

class Clock;
class InfoChannelView;
class LinkEngine;
class QCheckBox;
class QLabel;
class QPushButton;
class QTableView;
class TrafficErrorFilter;
class TrafficLogModel;

// The line of the traffic monitor for a scanned information-channel window.
QString ChannelWindowDescription(infochannel::ScanResult result, const QByteArray& packet);

// "Монитор обмена": every exchange of the link as it happens, newest at the bottom. A window
// of its own, so that it stays usable while the main window waits on a dialog; it keeps
// gathering while hidden, so opening it shows what led up to a fault.
class TrafficMonitorWindow : public QWidget {
    Q_OBJECT
  public:
    explicit TrafficMonitorWindow(Clock* clock, QWidget* parent = nullptr);

    void attach(LinkEngine* engine);
    void attachChannel(InfoChannelView* view);

    TrafficLogModel* model() const { return model_; }
    QTableView* table() const { return table_; }

    // The selected rows to the clipboard, tab-separated.
    void copySelection();
    // Writes the whole log; returns the operator's message on failure, empty on success.
    QString saveTo(const QString& path);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void chooseFileAndSave();
    void updateStatus();

    TrafficLogModel* model_;
    TrafficErrorFilter* filter_;
    QTableView* table_;
    QPushButton* pause_;
    QPushButton* clear_;
    QCheckBox* errorsOnly_;
    QPushButton* copy_;
    QPushButton* save_;
    QLabel* status_;
    bool followBottom_ = true;
};
