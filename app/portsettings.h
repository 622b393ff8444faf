#pragma once
#include <QString>
#include <QStringList>
#include <functional>

class IniFile;
class SerialPort;

// The port number, speed and parity: read from the configuration file, checked, applied to
// the one serial port, and stored again when the operator changes them. No widgets: the
// window mirrors portIndex(), baudItemIndex() and parityIndex() into its selectors whenever
// the changed callback runs, and feeds the selectors' changes back in.
//
// A stored value out of range is reported and replaced in memory only; the file is corrected
// when the operator next changes that setting. A failed write to the file is reported through
// the message sink and does not stop the port from taking the new setting.
class PortSettings {
  public:
    using Sink = std::function<void(const QString&)>;

    static constexpr int kPortCount = 16;
    static inline const QStringList kPortItems = [] {
        QStringList items;
        for (int i = 1; i <= kPortCount; ++i)
            items << QStringLiteral("Comm%1").arg(i);
        return items;
    }();
    static inline const QStringList kBaudItems = {QStringLiteral("1200"),  QStringLiteral("2400"),
                                                  QStringLiteral("4800"),  QStringLiteral("9600"),
                                                  QStringLiteral("19200"), QStringLiteral("38400")};
    static inline const QStringList kParityItems = {
        QStringLiteral("отключен"), QStringLiteral("нечетный"), QStringLiteral("четный")};
    static QStringList portItems() { return kPortItems; }
    static QStringList baudItems() { return kBaudItems; }
    static QStringList parityItems() { return kParityItems; }

    PortSettings(SerialPort* port, IniFile* ini);

    // Operator messages (modal boxes of the window).
    void setMessageSink(Sink s) { message_ = std::move(s); }
    // The port's own report when it refuses a number or a setting.
    void setErrorSink(Sink s) { error_ = std::move(s); }
    // Runs after every operation that changed what the selectors should show.
    void setChangedSink(std::function<void()> s) { changed_ = std::move(s); }

    // The pages TS_Tervex and TStuning: port number, speed and parity from the file.
    void applyStored();
    // The pages TS_ExtDev and sTabSheet4: the stored port number at 9600 baud without parity;
    // the stored speed and parity are neither read nor changed.
    void applyFixed9600();

    // ComboBoxPort1Change .. ComboBoxPort4Change: `selector` is 1 to 4, `item` the chosen
    // item. A refused port through selectors 1 to 3 goes to the error sink, leaves the file as
    // it was and returns false: the other selectors keep their item until the window next
    // shows the settings, while the port keeps the new number (closed) and portIndex() shows
    // it. Through ComboBoxPort4 a refusal leaves no port (number 0) and stores that. True when
    // all four selectors are to show portIndex() now.
    bool ComboBoxPortChange(int selector, int item);
    // ComboBoxBaud1Change / ComboBoxBaud2Change with the selector's text.
    void ComboBoxBaudChange(const QString& text);
    // ComboBoxPar1Change / ComboBoxPar2Change with the chosen item.
    void ComboBoxParChange(int item);

    // The number the port was last given (0 for none).
    int portNumber() const { return port_; }
    // The speed and parity of the first two pages, also while another page runs at 9600.
    int speed() const { return speed_; }
    int parity() const { return parity_; }
    // What the selectors show: the item of the port number in force (with no port, the item
    // last chosen), the item of kBaudItems (the one of 9600 for a speed the list lacks, such
    // as 600) and the parity item.
    int portIndex() const { return port_ > 0 ? port_ - 1 : noPortItem_; }
    int baudItemIndex() const { return baudItemIndex_; }
    int parityIndex() const { return parityIndex_; }

    // "SkinName", or "Neutral (internal)" when it is missing, empty or unreadable.
    QString skinName() const;
    // Stores the chosen skin. An empty name gives the message "Ошибка при изменении внешнего
    // вида" and stores nothing. False when nothing was stored.
    bool storeSkinName(const QString& name);

  private:
    void applyPortNumber(QString* portError);
    void showBaud();
    void store(const QString& key, int value);
    void message(const QString& text) const;
    void reportPort(bool ok, QString* portError) const;
    void reportPortError(const QString& portError) const;
    void notifyChanged() const;

    SerialPort* serial_;
    IniFile* ini_;
    Sink message_;
    Sink error_;
    std::function<void()> changed_;
    int port_ = 1;
    int speed_ = 9600;
    int parity_ = 0;
    // The item chosen through ComboBoxPort4 when the port refused it and none was left.
    int noPortItem_ = 0;
    int baudItemIndex_ = 3;
    int parityIndex_ = 0;
};

// The check of a typed logical number (ControlInfoEdit). Accept: leave the field as it is
// (also an empty field: the operator may be typing). Clear: not a decimal integer, empty the
// field silently. OutOfRange: show kLogicalNumberRangeMessage, empty the field and put the
// focus in it.
enum class LogicalNumberCheck { Accept, Clear, OutOfRange };
LogicalNumberCheck CheckLogicalNumber(const QString& text);
inline constexpr char kLogicalNumberRangeMessage[] =
    "Логический номер должен \rнаходиться в пределах \rот 1 до 247 ";
