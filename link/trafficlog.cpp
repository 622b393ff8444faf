#include "link/trafficlog.h"

#include <QDateTime>
#include <QLocale>
#include <QSaveFile>
#include <QStringList>
#include <algorithm>

#include "link/crc.h"
#include "link/engine.h"
#include "link/exceptiontexts.h"
#include "link/timer.h"

namespace {

// The request of a time-out was built here; only a wrong checksum on it would be news.
QString withoutRightChecksum(QString text) {
    const QString right = QStringLiteral(", КС верна");
    if (text.endsWith(right))
        text.chop(right.size());
    return text;
}

// Values of a read reply or block write beyond these are left out of the line; the hex
// column holds them all.
constexpr int kWordsShown = 4;

quint16 wordAt(const quint8* p, int offset) {
    return quint16((p[offset] << 8) | p[offset + 1]);
}

QString hex16(quint16 v) {
    return QString::asprintf("%04X", v);
}

QString registerText(quint16 reg) {
    return QStringLiteral("рег. 0x%1 (%2)").arg(hex16(reg)).arg(reg);
}

QString wordsText(const quint8* p, int available) {
    QStringList words;
    const int n = available / 2;
    for (int i = 0; i < std::min(n, kWordsShown); ++i)
        words << hex16(wordAt(p, 2 * i));
    QString text = words.join(u' ');
    if (n > kWordsShown)
        text += QStringLiteral(" …");
    return text;
}

QString functionName(quint8 function) {
    switch (function) {
        case 3:
        case 4:
            return QStringLiteral("ф. 0%1 чтение").arg(function);
        case 6:
            return QStringLiteral("ф. 06 запись");
        case 16:
            return QStringLiteral("ф. 10 запись блока");
        default:
            if (function & 0x80)
                return QStringLiteral("ф. %1 исключение").arg(hex16(function).right(2));
            return QStringLiteral("ф. %1 неизвестная").arg(hex16(function).right(2));
    }
}

// Describes the fields between the function byte and the checksum; `body` is the frame
// without its last two bytes. Returns the number of body bytes the function accounts for,
// or -1 when the frame ends before its fields do.
int describeFields(const quint8* p, int body, FrameDirection direction, QStringList& parts) {
    const quint8 function = p[1];
    auto need = [&](int n) {
        if (body >= n)
            return true;
        parts << QStringLiteral("неполный кадр");
        return false;
    };
    if (function & 0x80) {
        if (!need(3))
            return -1;
        const QString text = ExceptionReplyText(p[2]).trimmed();
        parts << QStringLiteral("код %1%2")
                     .arg(QString::asprintf("%02X", p[2]))
                     .arg(text.isEmpty() ? QString() : QStringLiteral(": ") + text);
        return 3;
    }
    switch (function) {
        case 3:
        case 4:
            if (direction == FrameDirection::Request) {
                if (!need(6))
                    return -1;
                parts << registerText(wordAt(p, 2)) << QStringLiteral("кол. %1").arg(wordAt(p, 4));
                return 6;
            } else {
                if (!need(3))
                    return -1;
                const int count = p[2];
                const int present = body - 3;
                QString text = QStringLiteral("байт %1").arg(count);
                if (present < count)
                    text += QStringLiteral(" (в кадре %1)").arg(present);
                const QString words = wordsText(p + 3, std::min(count, present));
                if (!words.isEmpty())
                    text += QStringLiteral(": ") + words;
                parts << text;
                return std::min(body, 3 + count);
            }
        case 6:
            if (!need(6))
                return -1;
            parts << registerText(wordAt(p, 2)) +
                         QStringLiteral(" = 0x%1 (%2)").arg(hex16(wordAt(p, 4))).arg(wordAt(p, 4));
            return 6;
        case 16:
            if (!need(6))
                return -1;
            parts << registerText(wordAt(p, 2)) << QStringLiteral("кол. %1").arg(wordAt(p, 4));
            if (direction == FrameDirection::Reply)
                return 6;
            {
                if (!need(7))
                    return -1;
                const int count = p[6];
                const int present = body - 7;
                QString text = QStringLiteral("байт %1").arg(count);
                if (present < count)
                    text += QStringLiteral(" (в кадре %1)").arg(present);
                const QString words = wordsText(p + 7, std::min(count, present));
                if (!words.isEmpty())
                    text += QStringLiteral(": ") + words;
                parts << text;
                return std::min(body, 7 + count);
            }
        default:
            return body;  // nothing known to count: the rest is its own business
    }
}

}  // namespace

bool FrameChecksumRight(const QByteArray& frame) {
    return frame.size() >= 4 &&
           ModbusCrc16(reinterpret_cast<const quint8*>(frame.constData()),
                       quint16(std::min<qsizetype>(frame.size(), 0xFFFF))) == 0;
}

QString FrameHex(const QByteArray& frame) {
    return QString::fromLatin1(frame.toHex(' ').toUpper());
}

QString DescribeFrame(const QByteArray& frame, FrameDirection direction) {
    const int n = int(std::min<qsizetype>(frame.size(), 0xFFFF));
    if (n == 0)
        return QStringLiteral("пустой кадр");
    if (n < 4)
        return QStringLiteral("короткий кадр: %1 байт").arg(n);
    const auto* p = reinterpret_cast<const quint8*>(frame.constData());
    const int body = n - 2;
    QStringList parts;
    parts << QStringLiteral("адр. %1").arg(p[0]) << functionName(p[1]);
    const int used = describeFields(p, body, direction, parts);
    if (used >= 0 && used < body)
        parts << QStringLiteral("лишних байт: %1").arg(body - used);
    if (ModbusCrc16(p, quint16(n)) == 0) {
        parts << QStringLiteral("КС верна");
    } else {
        const quint16 crc = ModbusCrc16(p, quint16(body));
        parts << QStringLiteral("КС неверна (в кадре %1, верная %2)")
                     .arg(QString::asprintf("%02X %02X", p[body], p[body + 1]),
                          QString::asprintf("%02X %02X", crc >> 8, crc & 0xFF));
    }
    return parts.join(QStringLiteral(", "));
}

bool IsErrorKind(TrafficKind kind) {
    switch (kind) {
        case TrafficKind::Exception:
        case TrafficKind::BadChecksum:
        case TrafficKind::Timeout:
        case TrafficKind::SendFailed:
        case TrafficKind::ChannelError:
            return true;
        default:
            return false;
    }
}

TrafficLogModel::TrafficLogModel(Clock* clock, QObject* parent)
    : QAbstractTableModel(parent), clock_(clock) {
    flushTimer_.setSingleShot(true);
    flushTimer_.setInterval(kFlushIntervalMs);
    connect(&flushTimer_, &QTimer::timeout, this, [this] {
        flush();
        if (paused_)
            emit pendingChanged(pendingCount());
    });
}

void TrafficLogModel::attach(LinkEngine* engine) {
    connect(engine, &LinkEngine::frameSent, this, [this](const QByteArray& frame) {
        settleReceived();
        addRequest(frame);
    });
    connect(engine, &LinkEngine::frameReceived, this, [this](const QByteArray& bytes) {
        settleReceived();
        received_ = bytes;
        receivedPending_ = true;
    });
    connect(engine, &LinkEngine::checksumError, this, [this] {
        if (!receivedPending_)
            return;
        receivedPending_ = false;
        addReply(std::exchange(received_, {}), TrafficKind::BadChecksum);
    });
    // An exception reply is accepted first and named right after; the bytes say which it is.
    connect(engine, &LinkEngine::replyAccepted, this, [this] {
        if (!receivedPending_ || (received_.size() >= 2 && (quint8(received_[1]) & 0x80)))
            return;
        receivedPending_ = false;
        addReply(std::exchange(received_, {}), TrafficKind::Reply);
    });
    connect(engine, &LinkEngine::exceptionReply, this, [this](quint8, const QString&) {
        if (!receivedPending_)
            return;
        receivedPending_ = false;
        addReply(std::exchange(received_, {}), TrafficKind::Exception);
    });
    connect(engine, &LinkEngine::timedOut, this, [this] {
        settleReceived();
        addTimeout();
    });
    connect(engine, &LinkEngine::sendFailed, this, [this, engine] {
        settleReceived();
        addSendFailed(QByteArray(reinterpret_cast<const char*>(engine->requestFrame()),
                                 engine->requestFrameLength()));
    });
}

// Bytes whose verdict never came (the engine names every reply it reads, so only a changed
// engine gets here) are kept as read rather than lost.
void TrafficLogModel::settleReceived() {
    if (!receivedPending_)
        return;
    receivedPending_ = false;
    addReply(std::exchange(received_, {}), TrafficKind::Reply);
}

qint64 TrafficLogModel::sinceRequest() const {
    return requestTimeMs_ >= 0 ? clock_->nowMs() - requestTimeMs_ : -1;
}

void TrafficLogModel::addRequest(const QByteArray& frame) {
    requestTimeMs_ = clock_->nowMs();
    lastRequest_ = frame;
    TrafficLine l;
    l.kind = TrafficKind::Request;
    l.frame = frame;
    append(std::move(l));
}

void TrafficLogModel::addReply(const QByteArray& frame, TrafficKind kind) {
    TrafficLine l;
    l.kind = kind;
    l.frame = frame;
    l.replyMs = sinceRequest();
    // A rejected reply leaves the request awaited: a later good one is timed from it too.
    if (kind != TrafficKind::BadChecksum)
        requestTimeMs_ = -1;
    append(std::move(l));
}

void TrafficLogModel::addTimeout() {
    TrafficLine l;
    l.kind = TrafficKind::Timeout;
    l.request = lastRequest_;
    l.replyMs = sinceRequest();
    requestTimeMs_ = -1;
    append(std::move(l));
}

void TrafficLogModel::addSendFailed(const QByteArray& frame) {
    TrafficLine l;
    l.kind = TrafficKind::SendFailed;
    l.frame = frame;
    append(std::move(l));
}

void TrafficLogModel::addChannelWindow(bool packetFound, const QByteArray& packet,
                                       const QString& description) {
    TrafficLine l;
    l.kind = packetFound ? TrafficKind::ChannelPacket : TrafficKind::ChannelError;
    l.frame = packet;
    l.note = description;
    append(std::move(l));
}

void TrafficLogModel::append(TrafficLine line) {
    line.number = nextNumber_++;
    line.timeMs = clock_->nowMs();
    pending_.push_back(std::move(line));
    if (int(pending_.size()) > bound_) {
        pending_.pop_front();
        if (paused_)
            ++droppedWhilePaused_;
    }
    if (!flushTimer_.isActive())
        flushTimer_.start();
}

void TrafficLogModel::flush() {
    if (paused_ || pending_.empty())
        return;
    const int incoming = int(pending_.size());
    const int excess = int(lines_.size()) + incoming - bound_;
    if (excess > 0) {
        const int drop = std::min(excess, int(lines_.size()));
        beginRemoveRows({}, 0, drop - 1);
        lines_.erase(lines_.begin(), lines_.begin() + drop);
        endRemoveRows();
    }
    const int first = int(lines_.size());
    beginInsertRows({}, first, first + incoming - 1);
    std::move(pending_.begin(), pending_.end(), std::back_inserter(lines_));
    pending_.clear();
    endInsertRows();
}

void TrafficLogModel::setBound(int lines) {
    bound_ = std::max(1, lines);
    while (int(pending_.size()) > bound_)
        pending_.pop_front();
    const int excess = int(lines_.size()) - bound_;
    if (excess > 0) {
        beginRemoveRows({}, 0, excess - 1);
        lines_.erase(lines_.begin(), lines_.begin() + excess);
        endRemoveRows();
    }
}

void TrafficLogModel::setPaused(bool on) {
    if (paused_ == on)
        return;
    paused_ = on;
    if (!on) {
        flush();
        droppedWhilePaused_ = 0;
    }
    emit pendingChanged(pendingCount());
}

void TrafficLogModel::clear() {
    beginResetModel();
    lines_.clear();
    pending_.clear();
    droppedWhilePaused_ = 0;
    endResetModel();
    emit pendingChanged(0);
}

QString TrafficLogModel::TimeText(qint64 ms) {
    return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("hh:mm:ss.zzz"));
}

QString TrafficLogModel::ColumnText(const TrafficLine& line, int column) {
    switch (column) {
        case TimeColumn:
            return TimeText(line.timeMs);
        case DirectionColumn:
            return (line.kind == TrafficKind::Request || line.kind == TrafficKind::SendFailed)
                       ? QStringLiteral("→")
                       : QStringLiteral("←");
        case FrameColumn:
            return FrameHex(line.frame);
        case DecodedColumn:
            switch (line.kind) {
                case TrafficKind::Request:
                    return DescribeFrame(line.frame, FrameDirection::Request);
                case TrafficKind::Reply:
                case TrafficKind::Exception:
                    return DescribeFrame(line.frame, FrameDirection::Reply);
                case TrafficKind::BadChecksum:
                    // A right checksum was turned down for its length or byte count.
                    return (FrameChecksumRight(line.frame)
                                ? QStringLiteral("не принят (длина не та, что ждали): ")
                                : QStringLiteral("не принят: ")) +
                           DescribeFrame(line.frame, FrameDirection::Reply);
                case TrafficKind::Timeout:
                    return line.request.isEmpty() ? QStringLiteral("нет ответа")
                                                  : QStringLiteral("нет ответа на: ") +
                                                        withoutRightChecksum(DescribeFrame(
                                                            line.request, FrameDirection::Request));
                case TrafficKind::SendFailed:
                    return QStringLiteral("не отправлен: ") +
                           DescribeFrame(line.frame, FrameDirection::Request);
                case TrafficKind::ChannelPacket:
                case TrafficKind::ChannelError:
                    return QStringLiteral("канал: ") + line.note;
            }
            return {};
        case ReplyColumn:
            return line.replyMs >= 0 ? QString::number(line.replyMs) : QString();
        default:
            return {};
    }
}

int TrafficLogModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(lines_.size());
}

int TrafficLogModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant TrafficLogModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= int(lines_.size()))
        return {};
    const TrafficLine& l = line(index.row());
    switch (role) {
        case Qt::DisplayRole:
            if (index.column() == ReplyColumn && l.replyMs >= 0)
                return QLocale().toString(l.replyMs);
            return ColumnText(l, index.column());
        case Qt::ToolTipRole:
            if (index.column() == FrameColumn || index.column() == DecodedColumn)
                return ColumnText(l, index.column());
            return {};
        case Qt::TextAlignmentRole:
            if (index.column() == ReplyColumn)
                return int(Qt::AlignRight | Qt::AlignVCenter);
            if (index.column() == DirectionColumn)
                return int(Qt::AlignCenter);
            return {};
        case KindRole:
            return int(l.kind);
        case NumberRole:
            return l.number;
        default:
            return {};
    }
}

QVariant TrafficLogModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    switch (section) {
        case TimeColumn:
            return QStringLiteral("Время");
        case DirectionColumn:
            return QStringLiteral("Напр.");
        case FrameColumn:
            return QStringLiteral("Кадр");
        case DecodedColumn:
            return QStringLiteral("Расшифровка");
        case ReplyColumn:
            return QStringLiteral("Ответ, мс");
        default:
            return {};
    }
}

namespace {
QString lineText(const TrafficLine& l) {
    QStringList cells;
    for (int c = 0; c < TrafficLogModel::kColumnCount; ++c)
        cells << TrafficLogModel::ColumnText(l, c);
    return cells.join(u'\t');
}
}  // namespace

QString TrafficLogModel::rowsText(const QList<int>& rows) const {
    QString text;
    for (int row : rows) {
        if (row < 0 || row >= int(lines_.size()))
            continue;
        text += lineText(line(row));
        text += u'\n';
    }
    return text;
}

bool TrafficLogModel::saveToFile(const QString& path, QString* error) {
    QSaveFile file(path);
    auto fail = [&](const QString& reason) {
        if (error)
            *error = QStringLiteral("Журнал обмена не сохранён в файл «%1»: %2").arg(path, reason);
        return false;
    };
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return fail(file.errorString());
    QStringList header;
    for (int c = 0; c < kColumnCount; ++c)
        header << headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
    QByteArray out = header.join(u'\t').toUtf8() + '\n';
    // Lines waiting behind a pause are part of the log too.
    for (const auto* part : {&lines_, &pending_}) {
        for (const TrafficLine& l : *part) {
            out += lineText(l).toUtf8();
            out += '\n';
        }
    }
    if (file.write(out) != out.size())
        return fail(file.errorString());
    if (!file.commit())
        return fail(file.errorString());
    return true;
}

void TrafficErrorFilter::setErrorsOnly(bool on) {
    if (errorsOnly_ == on)
        return;
    errorsOnly_ = on;
    invalidateFilter();
}

bool TrafficErrorFilter::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const {
    if (!errorsOnly_)
        return true;
    const QModelIndex i = sourceModel()->index(sourceRow, 0, sourceParent);
    return IsErrorKind(TrafficKind(i.data(TrafficLogModel::KindRole).toInt()));
}
