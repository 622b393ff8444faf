#pragma once
#include <QByteArray>
#include <QList>

#include "link/serialport.h"

// A port for tests: records every written block and holds the bytes a test delivers, raising
// the data-available event the way the real port does.
class FakePort : public SerialPort {
    Q_OBJECT
  public:
    using SerialPort::SerialPort;

    // Appends bytes to the input buffer and raises the event with the count waiting.
    void deliver(const QByteArray& bytes) {
        input_ += bytes;
        emit triggerAvail(int(input_.size()));
    }
    // Delivers in pieces of at most `chunk` bytes, one event each.
    void deliverInChunks(const QByteArray& bytes, int chunk) {
        for (int i = 0; i < bytes.size(); i += chunk)
            deliver(bytes.mid(i, chunk));
    }
    // Bytes arrive without an event yet (several arrivals reported by one event).
    void arriveQuietly(const QByteArray& bytes) { input_ += bytes; }
    void raise() { emit triggerAvail(int(input_.size())); }

    QList<QByteArray> written;
    QByteArray input() const { return input_; }
    QByteArray lastWritten() const { return written.isEmpty() ? QByteArray() : written.last(); }
    bool failNext = false;   // the next operation fails as an unopenable port does
    bool failReads = false;  // getBlock fails
    int inFlushes = 0;
    int outFlushes = 0;

    bool setComNumber(int n) override {
        if (refuseCom == n) {
            com_ = n;
            error_ = QStringLiteral("refused");
            return false;
        }
        com_ = n;
        return true;
    }
    int comNumber() const override { return com_; }
    bool setBaud(int b) override {
        baud_ = b;
        return true;
    }
    bool setParity(int p) override {
        parity_ = p;
        return true;
    }
    bool setDataBits(int b) override {
        dataBits = b;
        return true;
    }
    bool setStopBits(int b) override {
        stopBits = b;
        return true;
    }
    int baud() const override { return baud_; }
    int parity() const override { return parity_; }
    bool flushOutBuffer() override {
        if (checkFail())
            return false;
        ++outFlushes;
        return true;
    }
    bool putBlock(const quint8* data, int length) override {
        if (checkFail())
            return false;
        written.append(QByteArray(reinterpret_cast<const char*>(data), length));
        return true;
    }
    bool flushInBuffer() override {
        if (checkFail())
            return false;
        ++inFlushes;
        input_.clear();
        return true;
    }
    int inBuffUsed() override { return int(input_.size()); }
    int peekChar(int n) override {
        return (n >= 1 && n <= input_.size()) ? quint8(input_.at(n - 1)) : -1;
    }
    bool getBlock(quint8* buffer, int count) override {
        if (failReads || count > input_.size())
            return false;
        std::copy(input_.begin(), input_.begin() + count, reinterpret_cast<char*>(buffer));
        input_.remove(0, count);
        return true;
    }
    QString errorString() const override { return error_; }
    bool failureReported() const override { return failuresReported; }
    // The device is gone: the port reports it once and fails quietly from then on.
    void loseDevice(const QString& message) {
        failuresReported = true;
        failAll = true;
        emit deviceLost(message);
    }
    void deviceBack() {
        failuresReported = false;
        failAll = false;
    }
    bool failuresReported = false;
    bool failAll = false;

    int refuseCom = -1;
    int dataBits = 8;
    int stopBits = 1;

  private:
    bool checkFail() {
        if (failAll) {
            error_ = QStringLiteral("COM%1: gone").arg(com_);
            return true;
        }
        if (!failNext)
            return false;
        failNext = false;
        error_ = QStringLiteral("COM%1: cannot open").arg(com_);
        return true;
    }
    QByteArray input_;
    QString error_;
    int com_ = 1;
    int baud_ = 9600;
    int parity_ = 0;
};
