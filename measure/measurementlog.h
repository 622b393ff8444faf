#pragma once
#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QObject>
#include <QString>
#include <functional>

#include "measure/infochannel.h"

// Measured values appended to a CSV file, one row per accepted block, for spreadsheets and
// scripts rather than for the operator's eyes.
//
// Format (UTF-8):
// - a new or empty file gets a byte order mark (so that a spreadsheet reads the Cyrillic
//   names) and a header row: "Время", then "<short name>, <unit>" of the 29 catalogue
//   parameters in catalogue order, the power factors without a unit;
// - each row: the local time of the block as ISO 8601 with milliseconds and the UTC offset
//   ("2026-12-11T08:15:30.123+01:00", "Z" at offset zero), then the 29 values;
// - cells separated by ';', lines ended by "\n"; no cell contains ';' or a quote, so none is
//   quoted;
// - a value has a point as its decimal separator whatever the locale, no grouping, a minus for
//   a negative value and as many decimals as the page shows (3, currents 4); a value the device
//   has no information for is an empty cell, a broken pattern "nan", "inf" or "-inf";
// - from the information channel: the values in their units as the channel page shows them
//   (3 decimals); a no-value marker and an out-of-range marker both give an empty cell, since
//   the limit the page shows for a marker would read as a measured number.
//
// An existing file is only appended to, never truncated, and only when it starts with this
// header: rows added to any other file would spoil it. Each row goes to the system in one
// write of the whole line with no buffer of our own in between, so a crash of the program
// loses at most the row being written; a row the system refused part-way is cut off again.
// Rows are not synced to the disk one by one: a power cut may lose what the system had not
// yet written out.
//
// A failed write, or the file vanishing from its path, closes the log and emits failed()
// with the message for the operator. Nothing here touches the link.
class MeasurementLog : public QObject {
    Q_OBJECT
  public:
    using TimeSource = std::function<QDateTime()>;
    static constexpr char kSeparator = ';';

    explicit MeasurementLog(QObject* parent = nullptr);
    ~MeasurementLog() override;

    // The time each row is stamped with; the system's local time unless set.
    void setTimeSource(TimeSource source);

    // Opens `path` for appending (creating it), writing the header if it is new or empty. On
    // false the log stays closed and errorString() is the message for the operator.
    bool open(const QString& path);
    void close();
    bool isOpen() const { return file_.isOpen(); }
    QString path() const { return path_; }
    QString errorString() const { return error_; }
    qint64 rowsWritten() const { return rows_; }

    // One row from the data area of a measured-block reply (kMeasuredBlockDataLength bytes).
    // False when the log is closed, the block is short or the write failed.
    bool appendMeasuredBlock(const QByteArray& block);
    // One row from a whole information-channel packet (infochannel::kPacketLength bytes).
    bool appendChannelPacket(const QByteArray& packet);

    // The pieces of the format, for the tests and the benchmark.
    static QByteArray HeaderLine();
    static QByteArray TimeText(const QDateTime& time);
    static QByteArray MeasuredRow(const QDateTime& time, const quint8* block);
    static QByteArray ChannelRow(const QDateTime& time, const infochannel::ChannelPacket& packet);

  signals:
    // The log stopped because a row could not be written; `message` says why, in Russian.
    void failed(const QString& message);

  private:
    bool appendRow(const QByteArray& line);
    // False, with the log closed and the message in error_, when the line did not go out.
    bool writeRow(const QByteArray& line);
    bool fail(const QString& message);
    bool prepareExisting(qint64 size, bool* needsNewline);

    QFile file_;
    QString path_;
    QString error_;
    TimeSource now_;
    qint64 rows_ = 0;
};
