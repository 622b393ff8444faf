#include "measure/measurementlog.h"

#include <QDir>
#include <QFileInfo>
#include <cmath>

namespace {

const QByteArray kByteOrderMark("\xEF\xBB\xBF");
// A row is about 300 bytes; one allocation holds it.
constexpr qsizetype kRowReserve = 512;

QString shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

// The number without any locale: QByteArray::number always writes a point. The sign follows
// the value as on the page, so a negative zero is written "0.000".
void appendNumber(QByteArray& line, double value, int decimals) {
    if (std::isnan(value)) {
        line += "nan";
        return;
    }
    if (std::isinf(value)) {
        line += value > 0 ? "inf" : "-inf";
        return;
    }
    if (value < 0)
        line += '-';
    line += QByteArray::number(std::fabs(value), 'f', decimals);
}

}  // namespace

MeasurementLog::MeasurementLog(QObject* parent)
    : QObject(parent), now_([] { return QDateTime::currentDateTime(); }) {}

MeasurementLog::~MeasurementLog() {
    close();
}

void MeasurementLog::setTimeSource(TimeSource source) {
    now_ = source ? std::move(source) : TimeSource([] { return QDateTime::currentDateTime(); });
}

QByteArray MeasurementLog::HeaderLine() {
    QByteArray line = "Время";
    for (int k = 0; k < kParameterCount; ++k) {
        line += kSeparator;
        line += ShortName(k).toUtf8();
        const QString unit = UnitSymbol(k);
        if (!unit.isEmpty())
            line += ", " + unit.toUtf8();
    }
    line += '\n';
    return line;
}

QByteArray MeasurementLog::TimeText(const QDateTime& time) {
    // With its offset, so that rows on both sides of a clock change stay in order and
    // unambiguous.
    return time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODateWithMs).toLatin1();
}

QByteArray MeasurementLog::MeasuredRow(const QDateTime& time, const quint8* block) {
    QByteArray line;
    line.reserve(kRowReserve);
    line += TimeText(time);
    for (int k = 0; k < kParameterCount; ++k) {
        line += kSeparator;
        const MeasuredFloat v = FloatAt(block, k);
        if (!v.noInfo)
            appendNumber(line, double(v.value), MeasuredDecimals(k));
    }
    line += '\n';
    return line;
}

QByteArray MeasurementLog::ChannelRow(const QDateTime& time,
                                      const infochannel::ChannelPacket& packet) {
    using namespace infochannel;
    QByteArray line;
    line.reserve(kRowReserve);
    line += TimeText(time);
    for (int k = 0; k < kParameterCount; ++k) {
        line += kSeparator;
        const quint32 pattern = packet.patterns[size_t(k)];
        if (pattern != kNoValue && pattern != kAboveRange && pattern != kBelowRange)
            appendNumber(line, double(ChannelValue(k, pattern, packet.bases)), 3);
    }
    line += '\n';
    return line;
}

// A non-empty file is taken only when its first line is this log's header. A last line
// without its end (a row cut off by a crash elsewhere) is ended first, so that the next row
// does not run on from it.
bool MeasurementLog::prepareExisting(qint64 size, bool* needsNewline) {
    QFile in(path_);
    if (!in.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("Не удалось прочитать файл «%1»: %2")
                        .arg(shown(path_), in.errorString()));
    QByteArray first = in.readLine(4096);
    if (first.startsWith(kByteOrderMark))
        first.remove(0, kByteOrderMark.size());
    if (first.endsWith("\r\n"))
        first.replace(first.size() - 2, 2, "\n");
    if (first != HeaderLine())
        return fail(QStringLiteral("Файл «%1» не является журналом измерений: его первая строка "
                                   "не совпадает с заголовком журнала. Выберите новый файл или "
                                   "журнал, начатый этой программой.")
                        .arg(shown(path_)));
    char last = '\n';
    if (!in.seek(size - 1) || !in.getChar(&last))
        return fail(QStringLiteral("Не удалось прочитать файл «%1»: %2")
                        .arg(shown(path_), in.errorString()));
    *needsNewline = last != '\n';
    return true;
}

bool MeasurementLog::open(const QString& path) {
    close();
    error_.clear();
    path_ = path;
    rows_ = 0;
    if (path.isEmpty())
        return fail(QStringLiteral("Не задано имя файла для записи измерений."));
    const QFileInfo info(path);
    if (info.isDir())
        return fail(QStringLiteral("«%1» — это папка, а не файл.").arg(shown(path)));

    const qint64 size = info.exists() ? info.size() : 0;
    bool needsNewline = false;
    // A device such as /dev/full reports no size; there is nothing in it to check.
    if (size > 0 && info.isFile() && !prepareExisting(size, &needsNewline))
        return false;

    file_.setFileName(path);
    // Unbuffered: every write goes to the system at once, as one whole line.
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return fail(QStringLiteral("Не удалось открыть файл «%1» для записи: %2")
                        .arg(shown(path), file_.errorString()));
    if (size == 0)
        return writeRow(kByteOrderMark + HeaderLine());
    if (needsNewline)
        return writeRow(QByteArray("\n"));
    return true;
}

void MeasurementLog::close() {
    if (file_.isOpen())
        file_.close();
}

bool MeasurementLog::appendMeasuredBlock(const QByteArray& block) {
    if (!file_.isOpen() || block.size() < kMeasuredBlockDataLength)
        return false;
    return appendRow(MeasuredRow(now_(), reinterpret_cast<const quint8*>(block.constData())));
}

bool MeasurementLog::appendChannelPacket(const QByteArray& packet) {
    using namespace infochannel;
    if (!file_.isOpen() || packet.size() < kPacketLength)
        return false;
    const ChannelPacket p =
        DecodeChannelPacket(reinterpret_cast<const quint8*>(packet.constData()) + kBodyOffset);
    return appendRow(ChannelRow(now_(), p));
}

bool MeasurementLog::appendRow(const QByteArray& line) {
    if (!writeRow(line)) {
        emit failed(error_);
        return false;
    }
    ++rows_;
    return true;
}

bool MeasurementLog::writeRow(const QByteArray& line) {
    // On Unix a removed file takes writes without complaint; they would all be lost.
    if (!QFileInfo::exists(path_)) {
        close();
        return fail(QStringLiteral("Запись в файл «%1» остановлена: файл удален или перемещен.")
                        .arg(shown(path_)));
    }
    const qint64 before = file_.size();
    if (file_.write(line) != line.size() || !file_.flush()) {
        const QString reason = file_.errorString();
        // What the system took of a refused row is taken back, so that the file ends with a
        // whole line.
        if (file_.size() > before)
            file_.resize(before);
        close();
        return fail(QStringLiteral("Запись в файл «%1» остановлена: %2").arg(shown(path_), reason));
    }
    return true;
}

bool MeasurementLog::fail(const QString& message) {
    error_ = message;
    return false;
}
