#pragma once
#include <QByteArray>
#include <QPushButton>
#include <functional>

#include "measure/infochannel.h"

class MeasurementLog;

// The "Запись в файл" button of a page that shows measured values: checking it asks for a
// file and starts appending every row the page passes on to that file, unchecking it closes
// the file. A file that cannot be opened or written is reported to the operator and leaves
// the button unchecked; the page and the link go on as before.
class MeasurementLogButton : public QPushButton {
    Q_OBJECT
  public:
    // Returns the file chosen, or an empty string when the operator cancelled. `suggested` is
    // the last file used, or a name in the home folder.
    using PathChooser = std::function<QString(QWidget* parent, const QString& suggested)>;

    explicit MeasurementLogButton(const QString& objectName, QWidget* parent = nullptr);
    ~MeasurementLogButton() override;

    // Replaces the file dialog (the tests and the test host choose the file themselves).
    void setPathChooser(PathChooser chooser);

    MeasurementLog* log() const { return log_; }

    // The page's rows: a measured block's data area, and a scanned channel window (only a
    // good packet is a row).
    void logMeasuredBlock(const QByteArray& block);
    void logChannelWindow(infochannel::ScanResult result, const QByteArray& packet);

  private:
    void onToggled(bool on);
    void onFailed(const QString& message);
    void uncheck();

    MeasurementLog* log_;
    PathChooser chooser_;
    QString lastPath_;
};
