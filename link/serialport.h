#pragma once
#include <QObject>
#include <QString>
#include <functional>

// The serial port as the link uses it. The port opens itself on the first operation that
// needs it and stays open; an operation that cannot be carried out returns false and leaves
// the reason in errorString().
class SerialPort : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;
    ~SerialPort() override = default;

    // COM 1..16, 0 for none. A new number closes an open port; the next operation opens the
    // new one. The same number again changes nothing. Returns false when the new port
    // cannot be opened (the number is kept; the port stays closed).
    virtual bool setComNumber(int n) = 0;
    virtual int comNumber() const = 0;

    // A new value takes effect at once on an open port, without reopening it.
    virtual bool setBaud(int baud) = 0;
    virtual bool setParity(int parity) = 0;  // 0 none, 1 odd, 2 even
    virtual bool setDataBits(int bits) = 0;
    virtual bool setStopBits(int bits) = 0;
    virtual int baud() const = 0;
    virtual int parity() const = 0;

    virtual bool flushOutBuffer() = 0;
    // Queues the whole block; it is transmitted whole even if flushOutBuffer() follows.
    virtual bool putBlock(const quint8* data, int length) = 0;
    virtual bool flushInBuffer() = 0;
    // Bytes received and not yet read.
    virtual int inBuffUsed() = 0;
    // The n-th waiting byte, counting from 1, or -1 when there is none.
    virtual int peekChar(int n) = 0;
    // Removes exactly `count` waiting bytes; false (nothing removed) if it cannot.
    virtual bool getBlock(quint8* buffer, int count) = 0;

    virtual QString errorString() const = 0;
    // The last failure was the port being gone again, already reported once through
    // deviceLost: the caller need not tell the operator a second time.
    virtual bool failureReported() const { return false; }

  signals:
    // The device went away (unplugged adapter, ended virtual line, I/O error): the port has
    // closed itself and the next operation tries to open it again. Raised once per loss.
    void deviceLost(const QString& message);
    // Raised on the owning thread whenever bytes have arrived; `count` is what is waiting.
    void triggerAvail(int count);
};

// Device path of COM n. `override` returns a configured path for n or an empty string;
// without one COM n is /dev/ttyS(n-1).
QString ComDevicePath(int n, const std::function<QString(int)>& override = {});
