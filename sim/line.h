#pragma once
#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>

// The simulator's end of the serial line: the master side of a pseudo-terminal it opened
// itself (with a symbolic link to the slave side for the program under test), or an existing
// serial device. Non-blocking.
namespace sim {

// Speed and parity of one end of the line: baud 0 for a speed none of ours, parity in the
// device's codes (0 none, 1 odd, 2 even).
struct LineSettings {
    int baud = 0;
    int parity = 0;
    bool operator==(const LineSettings&) const = default;
};

// Settings from a termios speed constant and control flags. A pseudo-terminal clears PARENB
// whatever its user asked for but keeps PARODD, so PARODD alone means odd; even parity can
// never be seen there.
LineSettings DecodeLineSettings(unsigned speed, unsigned cflag);
QString DescribeLineSettings(const LineSettings& s);

class Line {
  public:
    ~Line();
    Line(const Line&) = delete;
    Line& operator=(const Line&) = delete;

    // Opens a new pseudo-terminal and points `linkPath` at its slave side. An existing
    // symbolic link there (left by an earlier run) is replaced; any other file is not.
    static std::unique_ptr<Line> OpenPty(const QString& linkPath, QString* error);
    static std::unique_ptr<Line> OpenDevice(const QString& path, QString* error);

    int fd() const { return fd_; }
    bool isPty() const { return !slaveName_.isEmpty(); }
    // What a master opens: the link, or the device.
    QString path() const { return path_; }

    // Speed and parity, 8 data bits, 1 stop bit. A pseudo-terminal has no line to set, so
    // there the settings are only tracked.
    bool configure(int baud, int parity, QString* error);
    // Writes without blocking; returns the number of bytes taken (fewer when the buffer is
    // full, -1 on an error).
    int write(const QByteArray& bytes);
    void drain();
    // Pseudo-terminal: whether a master has the slave side open. A pty keeps what was written
    // while nobody listened and hands it to the next one who opens it; the caller uses this to
    // send nothing into the void.
    bool peerPresent() const;
    // Throws away whatever the last peer left unread in the slave side.
    void discardUnread();
    // Pseudo-terminal: the speed and parity the master has set on its side, which is where
    // its requests would be sent at; nothing for a serial device, whose UART holds the line
    // to our own settings.
    std::optional<LineSettings> peerSettings() const;

  private:
    Line() = default;

    int fd_ = -1;
    QString path_;
    QByteArray slaveName_;  // pseudo-terminal only
};

}  // namespace sim
