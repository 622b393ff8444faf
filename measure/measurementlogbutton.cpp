#include "measure/measurementlogbutton.h"

#include <QDir>
#include <QFileDialog>
#include <QSignalBlocker>

#include "measure/measurementlog.h"
#include "widgets/messagebox.h"

namespace {

QString chooseWithDialog(QWidget* parent, const QString& suggested) {
    // Rows are appended to a file that exists, so choosing one is no overwrite to confirm.
    return QFileDialog::getSaveFileName(parent, QStringLiteral("Запись измеренных значений в файл"),
                                        suggested,
                                        QStringLiteral("Файлы CSV (*.csv);;Все файлы (*)"), nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

}  // namespace

MeasurementLogButton::MeasurementLogButton(const QString& objectName, QWidget* parent)
    : QPushButton(QStringLiteral("Запись в файл"), parent),
      log_(new MeasurementLog(this)),
      chooser_(chooseWithDialog) {
    setObjectName(objectName);
    setCheckable(true);
    setToolTip(QStringLiteral("Дописывать каждое принятое измерение строкой в файл CSV"));
    connect(this, &QPushButton::toggled, this, &MeasurementLogButton::onToggled);
    connect(log_, &MeasurementLog::failed, this, &MeasurementLogButton::onFailed);
}

MeasurementLogButton::~MeasurementLogButton() = default;

void MeasurementLogButton::setPathChooser(PathChooser chooser) {
    chooser_ = chooser ? std::move(chooser) : PathChooser(chooseWithDialog);
}

void MeasurementLogButton::logMeasuredBlock(const QByteArray& block) {
    if (log_->isOpen())
        log_->appendMeasuredBlock(block);
}

void MeasurementLogButton::logChannelWindow(infochannel::ScanResult result,
                                            const QByteArray& packet) {
    if (result == infochannel::ScanResult::Packet && log_->isOpen())
        log_->appendChannelPacket(packet);
}

void MeasurementLogButton::onToggled(bool on) {
    if (!on) {
        log_->close();
        return;
    }
    const QString suggested =
        lastPath_.isEmpty() ? QDir::home().filePath(QStringLiteral("измерения.csv")) : lastPath_;
    const QString path = chooser_(window(), suggested);
    if (path.isEmpty()) {
        uncheck();
        return;
    }
    lastPath_ = path;
    if (!log_->open(path)) {
        uncheck();
        messagebox::ShowError(log_->errorString(), window());
    }
}

// The log has closed itself already. A row is written from inside the handling of a reply:
// the box, which waits for the operator, opens after that handling has ended, and the link
// goes on meanwhile.
void MeasurementLogButton::onFailed(const QString& message) {
    uncheck();
    QMetaObject::invokeMethod(
        this, [this, message] { messagebox::ShowError(message, window()); }, Qt::QueuedConnection);
}

void MeasurementLogButton::uncheck() {
    const QSignalBlocker block(this);
    setChecked(false);
}
