#include "app/portsettings.h"

#include "app/inifile.h"
#include "link/serialport.h"

namespace {
const char* const kSection = "Соединение";
const char* const kPortKey = "Порт";
const char* const kSpeedKey = "Скорость";
const char* const kParityKey = "Паритет";
const char* const kSkinSection = "Скины";
const char* const kSkinKey = "SkinName";
const char* const kDefaultSkin = "Neutral (internal)";
constexpr int kPortCount = 16;
}  // namespace

PortSettings::PortSettings(SerialPort* port, IniFile* ini) : serial_(port), ini_(ini) {}

QStringList PortSettings::portItems() {
    QStringList items;
    for (int i = 1; i <= kPortCount; ++i)
        items << QStringLiteral("Comm%1").arg(i);
    return items;
}

QStringList PortSettings::baudItems() {
    return {QStringLiteral("1200"), QStringLiteral("2400"),  QStringLiteral("4800"),
            QStringLiteral("9600"), QStringLiteral("19200"), QStringLiteral("38400")};
}

QStringList PortSettings::parityItems() {
    return {QStringLiteral("отключен"), QStringLiteral("нечетный"), QStringLiteral("четный")};
}

void PortSettings::store(const char* key, int value) {
    if (!ini_->writeInt(kSection, key, value))
        message(ini_->error());
}

void PortSettings::applyPortNumber() {
    bool ok = true;
    port_ = ini_->readInt(kSection, kPortKey, 1, &ok);
    // A number the selectors cannot show is reported before it reaches the port.
    const bool valid = port_ >= 1 && port_ <= kPortCount;
    if (!ok || (valid && !serial_->setComNumber(port_))) {
        message(QStringLiteral("Ошибка при чтении номера порта: COM %1").arg(port_));
    }
    if (!valid) {
        message(QStringLiteral("Ошибочный номер порта: COM %1").arg(port_));
        port_ = 1;
        if (!serial_->setComNumber(port_))
            error(serial_->errorString());
    }
    portIndex_ = port_ - 1;
}

void PortSettings::showBaud() {
    const int i = baudItems().indexOf(QString::number(speed_));
    baudItemIndex_ = i >= 0 ? i : baudItems().indexOf(QStringLiteral("9600"));
}

void PortSettings::applyStored() {
    applyPortNumber();
    bool ok = true;
    speed_ = ini_->readInt(kSection, kSpeedKey, 9600, &ok);
    if (!ok)
        message(QStringLiteral("Ошибка при чтении скорости порта: COM %1").arg(port_));
    if (speed_ < 600 || speed_ > 19200) {
        message(QStringLiteral("Ошибочная скорость порта: %1").arg(speed_));
        speed_ = 9600;
    }
    showBaud();
    if (!serial_->setBaud(speed_))
        error(serial_->errorString());
    parity_ = ini_->readInt(kSection, kParityKey, 0, &ok);
    if (!ok)
        message(QStringLiteral("Ошибка при чтении паритета порта: COM %1").arg(port_));
    if (parity_ < 0 || parity_ > 2) {
        message(QStringLiteral("Ошибка в задании контроля четности порта: %1").arg(parity_));
        parity_ = 0;
    }
    if (!serial_->setParity(parity_))
        error(serial_->errorString());
    serial_->setDataBits(8);
    serial_->setStopBits(1);
}

void PortSettings::applyFixed9600() {
    applyPortNumber();
    serial_->setBaud(9600);
    serial_->setParity(0);
    serial_->setDataBits(8);
    serial_->setStopBits(1);
}

void PortSettings::ComboBoxPortChange(int selector, int item) {
    const int n = item + 1;
    if (!serial_->setComNumber(n)) {
        if (selector != 4) {
            // The port keeps the new number but stays closed; selectors and file stay.
            error(serial_->errorString());
            return;
        }
        serial_->setComNumber(0);
        port_ = 0;
    } else {
        port_ = n;
    }
    portIndex_ = item;
    store(kPortKey, port_);
}

void PortSettings::ComboBoxBaudChange(const QString& text) {
    bool ok = false;
    speed_ = text.toInt(&ok);
    if (!ok)
        speed_ = 9600;
    if (speed_ < 1200 || speed_ > 19200) {
        message(QStringLiteral("Ошибочная скорость порта: %1").arg(speed_));
        speed_ = 9600;
    }
    store(kSpeedKey, speed_);
    showBaud();
    if (!serial_->setBaud(speed_))
        error(serial_->errorString());
}

void PortSettings::ComboBoxParChange(int item) {
    parity_ = item;
    if (!serial_->setParity(parity_))
        error(serial_->errorString());
    store(kParityKey, parity_);
}

QString PortSettings::skinName() const {
    return ini_->readString(kSkinSection, kSkinKey, QString::fromUtf8(kDefaultSkin));
}

void PortSettings::storeSkinName(const QString& name) {
    if (!ini_->writeString(kSkinSection, kSkinKey, name))
        message(ini_->error());
}

LogicalNumberCheck CheckLogicalNumber(const QString& text) {
    if (text.isEmpty())
        return LogicalNumberCheck::Accept;
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok)
        return LogicalNumberCheck::Clear;
    if (n < 1 || n > 247)
        return LogicalNumberCheck::OutOfRange;
    return LogicalNumberCheck::Accept;
}
