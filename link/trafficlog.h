#pragma once
#include <QAbstractTableModel>
#include <QByteArray>
#include <QList>
#include <QSortFilterProxyModel>
#include <QString>
#include <QTimer>
#include <deque>

class Clock;
class LinkEngine;

enum class FrameDirection { Request, Reply };

// One line of text for a Modbus RTU frame as it went out (request) or came in (reply):
// address, function, what the function carries, and whether the checksum is right. Any bytes
// are described, however short, long or meaningless.
QString DescribeFrame(const QByteArray& frame, FrameDirection direction);
bool FrameChecksumRight(const QByteArray& frame);
// "01 03 00 00" — the bytes as the monitor shows them.
QString FrameHex(const QByteArray& frame);

enum class TrafficKind {
    Request,
    Reply,          // a reply the link took
    Exception,      // an exception reply the link took
    BadChecksum,    // bytes read as a reply and rejected (checksum, length or byte count)
    Timeout,        // no reply within the time-out
    SendFailed,     // the request could not be put on the line
    ChannelPacket,  // an information-channel packet with a right checksum
    ChannelError,   // an information-channel window without a usable packet
};
// What "errors only" shows.
bool IsErrorKind(TrafficKind kind);

struct TrafficLine {
    quint64 number = 0;  // counts from 1 over the monitor's life; clearing does not restart it
    qint64 timeMs = 0;   // clock time (ms since the epoch)
    TrafficKind kind = TrafficKind::Request;
    QByteArray frame;     // the bytes on the line, empty for a time-out
    QByteArray request;   // for a time-out: the request left unanswered
    QString note;         // what the bytes alone do not say (channel packet contents)
    qint64 replyMs = -1;  // from the request's departure, -1 where it does not apply
};

// The traffic of the link as a table, newest line last. Lines are gathered as they happen and
// shown in batches, so that a fast poll costs one model update per flush, not one per frame;
// only the last bound() lines are kept, so memory stays flat however long the program runs.
class TrafficLogModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column { TimeColumn, DirectionColumn, FrameColumn, DecodedColumn, ReplyColumn };
    static constexpr int kColumnCount = 5;
    static constexpr int KindRole = Qt::UserRole + 1;    // int(TrafficKind)
    static constexpr int NumberRole = Qt::UserRole + 2;  // TrafficLine::number
    static constexpr int kDefaultBound = 10000;
    static constexpr int kFlushIntervalMs = 150;

    explicit TrafficLogModel(Clock* clock, QObject* parent = nullptr);

    // Listens to the engine's frames and verdicts. The engine does not know it is watched; it
    // builds its frame signals only while someone listens.
    void attach(LinkEngine* engine);

    void addRequest(const QByteArray& frame);
    // `kind` is the link's verdict: Reply, Exception or BadChecksum.
    void addReply(const QByteArray& frame, TrafficKind kind);
    void addTimeout();
    void addSendFailed(const QByteArray& frame);
    // A scanned channel window: the packet found (empty when none) and its description.
    void addChannelWindow(bool packetFound, const QByteArray& packet, const QString& description);

    // Shows the lines gathered since the last flush; the model's timer calls it.
    void flush();
    int pendingCount() const { return int(pending_.size()); }

    int bound() const { return bound_; }
    // At least 1; the oldest lines beyond it are dropped at once.
    void setBound(int lines);

    // While paused the table stands still; new lines wait (at most bound() of them, the oldest
    // are dropped first) and are shown when the pause ends.
    bool paused() const { return paused_; }
    void setPaused(bool on);
    // Lines that arrived while paused and were dropped because more than bound() waited.
    quint64 droppedWhilePaused() const { return droppedWhilePaused_; }

    // Removes every line, shown and waiting.
    void clear();

    const TrafficLine& line(int row) const { return lines_[std::size_t(row)]; }
    // One line per row: the columns separated by tabs.
    QString rowsText(const QList<int>& rows) const;
    // Every line shown (after a flush) into a UTF-8 text file, header first. On failure
    // `error` holds the operator's message and the file is left as it was.
    bool saveToFile(const QString& path, QString* error);

    static QString ColumnText(const TrafficLine& line, int column);
    static QString TimeText(qint64 ms);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  signals:
    // The number of lines waiting changed while paused.
    void pendingChanged(int count);

  private:
    void append(TrafficLine line);
    void settleReceived();
    qint64 sinceRequest() const;

    Clock* clock_;
    QTimer flushTimer_;
    std::deque<TrafficLine> lines_;
    std::deque<TrafficLine> pending_;
    int bound_ = kDefaultBound;
    bool paused_ = false;
    quint64 droppedWhilePaused_ = 0;
    quint64 nextNumber_ = 1;

    // The exchange in progress: when its request left, which one, and the bytes read as its
    // reply while their verdict is still to come.
    qint64 requestTimeMs_ = -1;
    QByteArray lastRequest_;
    QByteArray received_;
    bool receivedPending_ = false;
};

// "Errors only": the rows whose kind IsErrorKind.
class TrafficErrorFilter : public QSortFilterProxyModel {
    Q_OBJECT
  public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    bool errorsOnly() const { return errorsOnly_; }
    void setErrorsOnly(bool on);

  protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

  private:
    bool errorsOnly_ = false;
};
