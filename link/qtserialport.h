#pragma once
#include <QSerialPort>
#include <functional>

#include "link/serialport.h"

// SerialPort over QSerialPort. The device of COM n comes from ComDevicePath with the given
// override (the configuration file's port map).
class QtSerialPort : public SerialPort {
    Q_OBJECT
  public:
    explicit QtSerialPort(std::function<QString(int)> pathOverride = {}, QObject* parent = nullptr);
    ~QtSerialPort() override;

    // Largest number of received bytes kept unread; what comes beyond waits in the driver.
    static constexpr int kInputBufferSize = 4096;

    bool setComNumber(int n) override;
    int comNumber() const override { return comNumber_; }
    bool setBaud(int baud) override;
    bool setParity(int parity) override;
    bool setDataBits(int bits) override;
    bool setStopBits(int bits) override;
    int baud() const override { return baud_; }
    int parity() const override { return parity_; }
    bool flushOutBuffer() override;
    bool putBlock(const quint8* data, int length) override;
    bool flushInBuffer() override;
    int inBuffUsed() override;
    int peekChar(int n) override;
    bool getBlock(quint8* buffer, int count) override;
    QString errorString() const override { return error_; }
    bool failureReported() const override { return lost_ && quietFailure_; }

    QString devicePath() const;
    bool isOpen() const { return port_.isOpen(); }

  private:
    bool ensureOpen();
    bool applySetting(bool ok, const QString& what);
    void fail(const QString& what);
    void onError(QSerialPort::SerialPortError error);
    void closeNow();

    QSerialPort port_;
    std::function<QString(int)> pathOverride_;
    int comNumber_ = 1;
    int baud_ = 9600;
    int parity_ = 0;
    int dataBits_ = 8;
    int stopBits_ = 1;
    QString error_;
    bool lost_ = false;          // closed because the device went away
    bool quietFailure_ = false;  // the last failed open was of a lost device, already reported
};
