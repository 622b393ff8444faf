#pragma once
#include <QString>
#include <QStringList>
#include <functional>

class IniFile;
class SerialPort;

// The port number, speed and parity: read from the configuration file, checked, applied to
// the port, and stored again when the operator changes them. No widgets: the window mirrors
// portIndex(), baudItemIndex() and parityIndex() into its selectors.
class PortSettings {
  public:
    using Sink = std::function<void(const QString&)>;

    PortSettings(SerialPort* port, IniFile* ini);

    static QStringList portItems();
    static QStringList baudItems();
    static QStringList parityItems();

    void setMessageSink(Sink s) { message_ = std::move(s); }
    void setErrorSink(Sink s) { error_ = std::move(s); }

    // The pages that run at the stored speed and parity.
    void applyStored();
    // The pages that always run at 9600 baud without parity.
    void applyFixed9600();

    // Operator changes; `selector` is 1 to 4 for ComboBoxPort1 .. ComboBoxPort4.
    void ComboBoxPortChange(int selector, int item);
    void ComboBoxBaudChange(const QString& text);
    void ComboBoxParChange(int item);

    int portNumber() const { return port_; }
    int speed() const { return speed_; }
    int parity() const { return parity_; }
    int portIndex() const { return portIndex_; }
    int baudItemIndex() const { return baudItemIndex_; }
    int parityIndex() const { return parity_; }

    QString skinName() const;
    void storeSkinName(const QString& name);

  private:
    void applyPortNumber();
    void showBaud();
    void store(const char* key, int value);
    void message(const QString& text) {
        if (message_)
            message_(text);
    }
    void error(const QString& text) {
        if (error_)
            error_(text);
    }

    SerialPort* serial_;
    IniFile* ini_;
    Sink message_;
    Sink error_;
    int port_ = 1;
    int speed_ = 9600;
    int parity_ = 0;
    int portIndex_ = 0;
    int baudItemIndex_ = 3;
};

// Check of a typed logical number.
enum class LogicalNumberCheck { Accept, Clear, OutOfRange };
LogicalNumberCheck CheckLogicalNumber(const QString& text);
inline const char* const kLogicalNumberRangeMessage =
    "Логический номер должен \rнаходиться в пределах \rот 1 до 247 ";
