#include "link/qtserialport.h"

#include <QFileInfo>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcPort, "tervex.port")

namespace {

QSerialPort::Parity toQtParity(int parity) {
    switch (parity) {
        case 1:
            return QSerialPort::OddParity;
        case 2:
            return QSerialPort::EvenParity;
        default:
            return QSerialPort::NoParity;
    }
}

}  // namespace

QtSerialPort::QtSerialPort(std::function<QString(int)> pathOverride, QObject* parent)
    : SerialPort(parent), pathOverride_(std::move(pathOverride)) {
    // Bounded like the device buffer it stands for: a flood on the line stays in the driver
    // instead of growing the program.
    port_.setReadBufferSize(kInputBufferSize);
    connect(&port_, &QSerialPort::readyRead, this,
            [this] { emit triggerAvail(int(port_.bytesAvailable())); });
    connect(&port_, &QSerialPort::errorOccurred, this, &QtSerialPort::onError);
}

QtSerialPort::~QtSerialPort() {
    closeNow();
}

// Output still queued is dropped first: closing a terminal waits for its output to drain,
// which never happens on a line nobody reads, and the program must end at once.
void QtSerialPort::closeNow() {
    if (!port_.isOpen())
        return;
    port_.clear(QSerialPort::AllDirections);
    port_.close();
}

void QtSerialPort::onError(QSerialPort::SerialPortError error) {
    switch (error) {
        case QSerialPort::ResourceError:
        case QSerialPort::ReadError:
        case QSerialPort::WriteError:
            break;
        default:
            return;  // open and setting failures are reported by the operation that failed
    }
    if (!port_.isOpen() || lost_)
        return;
    const QString reason =
        error == QSerialPort::ResourceError
            ? QStringLiteral("устройство отключено или линия закрыта")
            : QStringLiteral("ошибка ввода-вывода (%1)").arg(port_.errorString());
    // Marked first: closing a dead device raises further errors, which end here.
    lost_ = true;
    quietFailure_ = false;
    closeNow();
    error_ = QStringLiteral(
                 "COM%1 (%2): связь с портом потеряна: %3. Порт будет открыт снова "
                 "при следующем обращении.")
                 .arg(comNumber_)
                 .arg(devicePath(), reason);
    qCWarning(lcPort) << error_;
    emit deviceLost(error_);
}

QString QtSerialPort::devicePath() const {
    return ComDevicePath(comNumber_, pathOverride_);
}

void QtSerialPort::fail(const QString& what) {
    QString reason = port_.errorString();
    if (port_.error() == QSerialPort::PermissionError) {
        reason += QStringLiteral(
            ". Нет прав на устройство: добавьте пользователя в группу dialout и войдите заново");
    } else if (port_.error() == QSerialPort::DeviceNotFoundError) {
        reason += QStringLiteral(". Устройство не найдено");
    }
    error_ = QStringLiteral("COM%1 (%2): %3: %4").arg(comNumber_).arg(devicePath(), what, reason);
    qCWarning(lcPort) << error_;
}

bool QtSerialPort::ensureOpen() {
    if (port_.isOpen())
        return true;
    if (comNumber_ <= 0) {
        error_ = QStringLiteral("Порт не выбран");
        return false;
    }
    port_.setPortName(QFileInfo(devicePath()).canonicalFilePath().isEmpty()
                          ? devicePath()
                          : QFileInfo(devicePath()).canonicalFilePath());
    port_.setBaudRate(baud_);
    port_.setParity(toQtParity(parity_));
    port_.setDataBits(QSerialPort::DataBits(dataBits_));
    port_.setStopBits(stopBits_ == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    if (!port_.open(QIODevice::ReadWrite)) {
        if (lost_) {
            // Still gone: the loss was reported once; every further try fails quietly.
            quietFailure_ = true;
            error_ = QStringLiteral("COM%1 (%2): устройство недоступно")
                         .arg(comNumber_)
                         .arg(devicePath());
            return false;
        }
        fail(QStringLiteral("не удалось открыть порт"));
        return false;
    }
    // Settings are applied again on the open device, where a refusal becomes visible.
    if (!port_.setBaudRate(baud_) || !port_.setParity(toQtParity(parity_)) ||
        !port_.setDataBits(QSerialPort::DataBits(dataBits_))) {
        fail(QStringLiteral("порт не принял настройки"));
        port_.close();
        return false;
    }
    qCInfo(lcPort) << (lost_ ? "reopened" : "opened") << port_.portName() << baud_ << parity_;
    lost_ = false;
    quietFailure_ = false;
    return true;
}

bool QtSerialPort::applySetting(bool ok, const QString& what) {
    if (ok)
        return true;
    fail(what);
    return false;
}

bool QtSerialPort::setComNumber(int n) {
    if (n == comNumber_)
        return true;
    const bool wasOpen = port_.isOpen();
    closeNow();
    lost_ = false;
    comNumber_ = n;
    if (!wasOpen || n == 0)
        return true;
    return ensureOpen();
}

bool QtSerialPort::setBaud(int baud) {
    baud_ = baud;
    if (!port_.isOpen())
        return true;
    return applySetting(port_.setBaudRate(baud),
                        QStringLiteral("скорость %1 не установлена").arg(baud));
}

bool QtSerialPort::setParity(int parity) {
    parity_ = parity;
    if (!port_.isOpen())
        return true;
    return applySetting(port_.setParity(toQtParity(parity)),
                        QStringLiteral("контроль четности не установлен"));
}

bool QtSerialPort::setDataBits(int bits) {
    dataBits_ = bits;
    if (!port_.isOpen())
        return true;
    return applySetting(port_.setDataBits(QSerialPort::DataBits(bits)),
                        QStringLiteral("число бит данных не установлено"));
}

bool QtSerialPort::setStopBits(int bits) {
    stopBits_ = bits;
    if (!port_.isOpen())
        return true;
    return applySetting(port_.setStopBits(bits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop),
                        QStringLiteral("число стоп-бит не установлено"));
}

// Every block this program queues is a whole frame that must go out complete, so there is
// never a partial frame to drop; the operation only makes sure the port is usable.
bool QtSerialPort::flushOutBuffer() {
    return ensureOpen();
}

bool QtSerialPort::putBlock(const quint8* data, int length) {
    if (!ensureOpen())
        return false;
    const qint64 written = port_.write(reinterpret_cast<const char*>(data), length);
    if (written != length) {
        fail(QStringLiteral("ошибка передачи"));
        return false;
    }
    // QSerialPort only queues; the frame must be on the line now, not when the event loop
    // next runs (a pause or a chained send would otherwise delay it).
    port_.flush();
    return true;
}

bool QtSerialPort::flushInBuffer() {
    if (!ensureOpen())
        return false;
    port_.clear(QSerialPort::Input);
    // Bytes already taken into the device object are dropped too.
    port_.readAll();
    return true;
}

int QtSerialPort::inBuffUsed() {
    if (!ensureOpen())
        return 0;
    return int(port_.bytesAvailable());
}

int QtSerialPort::peekChar(int n) {
    if (n < 1 || !ensureOpen())
        return -1;
    // Called for every delivery: looked at in place, without a copy of the waiting bytes.
    char head[8];
    if (n > int(sizeof head)) {
        const QByteArray longer = port_.peek(n);
        return longer.size() < n ? -1 : quint8(longer.at(n - 1));
    }
    if (port_.peek(head, n) < n)
        return -1;
    return quint8(head[n - 1]);
}

bool QtSerialPort::getBlock(quint8* buffer, int count) {
    if (!ensureOpen())
        return false;
    if (port_.bytesAvailable() < count) {
        error_ = QStringLiteral("нет %1 байт во входном буфере").arg(count);
        return false;
    }
    return port_.read(reinterpret_cast<char*>(buffer), count) == count;
}
