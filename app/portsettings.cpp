#include "app/portsettings.h"

#include "app/inifile.h"
#include "link/serialport.h"

namespace {

const QString kSection = QStringLiteral("Соединение");
const QString kPortKey = QStringLiteral("Порт");
const QString kSpeedKey = QStringLiteral("Скорость");
const QString kParityKey = QStringLiteral("Паритет");
const QString kSkinSection = QStringLiteral("Скины");
const QString kSkinKey = QStringLiteral("SkinName");
const QString kDefaultSkin = QStringLiteral("Neutral (internal)");
constexpr int kDefaultSpeed = 9600;

QString withNumber(const char* text, int n) {
    return QString::fromUtf8(text) + QString::number(n);
}

}  // namespace

PortSettings::PortSettings(SerialPort* port, IniFile* ini) : serial_(port), ini_(ini) {}

void PortSettings::message(const QString& text) const {
    if (message_)
        message_(text);
}

// The port refuses a setting only when it is open and the device says no; the first refusal
// of an operation carries the reason, the others would repeat it.
void PortSettings::reportPort(bool ok, QString* portError) const {
    if (!ok && portError->isEmpty())
        *portError = serial_->errorString();
}

void PortSettings::reportPortError(const QString& portError) const {
    if (!portError.isEmpty() && error_)
        error_(portError);
}

void PortSettings::notifyChanged() const {
    if (changed_)
        changed_();
}

void PortSettings::store(const QString& key, int value) {
    if (!ini_->writeInt(kSection, key, value))
        message(ini_->error());
}

void PortSettings::applyPortNumber(QString* portError) {
    bool ok = true;
    const int n = ini_->readInt(kSection, kPortKey, 1, &ok);
    // A number the selectors cannot show is replaced before it reaches the port.
    const bool valid = n >= 1 && n <= kPortCount;
    const bool applied = !valid || serial_->setComNumber(n);
    port_ = n;
    if (!ok || !applied)
        message(withNumber("Ошибка при чтении номера порта: COM ", n));
    if (!valid) {
        message(withNumber("Ошибочный номер порта: COM ", n));
        port_ = 1;
        reportPort(serial_->setComNumber(port_), portError);
    }
}

void PortSettings::showBaud() {
    const qsizetype i = kBaudItems.indexOf(QString::number(speed_));
    baudItemIndex_ = int(i >= 0 ? i : kBaudItems.indexOf(QString::number(kDefaultSpeed)));
}

void PortSettings::applyStored() {
    QString portError;
    applyPortNumber(&portError);

    bool ok = true;
    speed_ = ini_->readInt(kSection, kSpeedKey, kDefaultSpeed, &ok);
    if (!ok)
        message(withNumber("Ошибка при чтении скорости порта: COM ", port_));
    // Slower speeds than the selectors offer are accepted from the file: the port runs at
    // them while the selectors show 9600.
    if (speed_ < 600 || speed_ > 19200) {
        message(withNumber("Ошибочная скорость порта: ", speed_));
        speed_ = kDefaultSpeed;
    }
    showBaud();
    reportPort(serial_->setBaud(speed_), &portError);

    parity_ = ini_->readInt(kSection, kParityKey, 0, &ok);
    if (!ok)
        message(withNumber("Ошибка при чтении паритета порта: COM ", port_));
    if (parity_ < 0 || parity_ > 2) {
        message(withNumber("Ошибка в задании контроля четности порта: ", parity_));
        parity_ = 0;
    }
    parityIndex_ = parity_;
    reportPort(serial_->setParity(parity_), &portError);
    reportPort(serial_->setDataBits(8), &portError);
    reportPort(serial_->setStopBits(1), &portError);
    reportPortError(portError);
    notifyChanged();
}

void PortSettings::applyFixed9600() {
    QString portError;
    applyPortNumber(&portError);
    reportPort(serial_->setBaud(kDefaultSpeed), &portError);
    reportPort(serial_->setParity(0), &portError);
    reportPort(serial_->setDataBits(8), &portError);
    reportPort(serial_->setStopBits(1), &portError);
    reportPortError(portError);
    notifyChanged();
}

bool PortSettings::ComboBoxPortChange(int selector, int item) {
    // A selector being emptied reports item -1; there is no port to choose then.
    if (item < 0 || item >= kPortCount)
        return false;
    int n = item + 1;
    if (!serial_->setComNumber(n)) {
        if (selector != 4) {
            // The port keeps the new number, closed, and tries it again at its next use.
            port_ = n;
            reportPortError(serial_->errorString());
            return false;
        }
        // The information channel gives up the port instead; the next application of the
        // file reports the stored 0 and falls back to COM 1.
        n = 0;
        serial_->setComNumber(n);
    }
    port_ = n;
    noPortItem_ = item;
    store(kPortKey, port_);
    notifyChanged();
    return true;
}

void PortSettings::ComboBoxBaudChange(const QString& text) {
    bool ok = false;
    speed_ = text.toInt(&ok, 10);
    if (!ok)
        speed_ = kDefaultSpeed;
    // Narrower than what the selectors offer: the item "38400" is refused here.
    if (speed_ < 1200 || speed_ > 19200) {
        message(withNumber("Ошибочная скорость порта: ", speed_));
        speed_ = kDefaultSpeed;
    }
    store(kSpeedKey, speed_);
    showBaud();
    QString portError;
    reportPort(serial_->setBaud(speed_), &portError);
    reportPortError(portError);
    notifyChanged();
}

void PortSettings::ComboBoxParChange(int item) {
    if (item < 0 || item >= int(kParityItems.size()))
        return;
    parity_ = item;
    parityIndex_ = item;
    QString portError;
    reportPort(serial_->setParity(parity_), &portError);
    reportPortError(portError);
    store(kParityKey, parity_);
    notifyChanged();
}

QString PortSettings::skinName() const {
    const QString name = ini_->readString(kSkinSection, kSkinKey, kDefaultSkin);
    return name.isEmpty() ? kDefaultSkin : name;
}

bool PortSettings::storeSkinName(const QString& name) {
    if (name.isEmpty()) {
        message(QStringLiteral("Ошибка при изменении внешнего вида"));
        return false;
    }
    if (!ini_->writeString(kSkinSection, kSkinKey, name)) {
        message(ini_->error());
        return false;
    }
    return true;
}

LogicalNumberCheck CheckLogicalNumber(const QString& text) {
    if (text.isEmpty())
        return LogicalNumberCheck::Accept;
    bool ok = false;
    const int n = text.toInt(&ok, 10);
    if (!ok)
        return LogicalNumberCheck::Clear;
    if (n < 1 || n > 247)
        return LogicalNumberCheck::OutOfRange;
    return LogicalNumberCheck::Accept;
}
