#include "app/inifile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringList>
#include <algorithm>

namespace {

const QByteArray kBom = QByteArrayLiteral("\xEF\xBB\xBF");
// Far above any configuration file a person writes; a larger file is something else that
// happens to carry the name, and reading it whole at every page switch would stall.
constexpr qint64 kMaxSize = 1024 * 1024;

// The file as lines. Each line keeps its '\r' when the file has CRLF endings, so joining the
// lines with '\n' gives back the exact bytes that were read.
struct Document {
    bool ok = true;
    QString reason;  // why the file cannot be used, when !ok
    bool bom = false;
    QStringList lines{QString()};
};

Document load(const QString& path) {
    Document doc;
    QFile f(path);
    if (!f.exists())
        return doc;
    doc.ok = false;
    if (!f.open(QIODevice::ReadOnly)) {
        doc.reason = f.errorString();
        return doc;
    }
    if (f.size() > kMaxSize) {
        doc.reason = QStringLiteral("файл больше 1 МБ, это не файл настроек");
        return doc;
    }
    QByteArray data = f.readAll();
    if (f.error() != QFileDevice::NoError) {
        doc.reason = f.errorString();
        return doc;
    }
    if (data.contains('\0')) {
        doc.reason = QStringLiteral("файл не текстовый");
        return doc;
    }
    if (data.startsWith(kBom)) {
        doc.bom = true;
        data.remove(0, kBom.size());
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    const QString text = decoder.decode(data);
    if (decoder.hasError()) {
        doc.reason = QStringLiteral("файл не в кодировке UTF-8");
        return doc;
    }
    doc.ok = true;
    doc.lines = text.split(u'\n');
    return doc;
}

bool isSectionHeader(const QString& line, QString* name) {
    const QString t = line.trimmed();
    if (!t.startsWith(u'['))
        return false;
    const qsizetype close = t.indexOf(u']');
    if (close < 0)
        return false;
    *name = t.mid(1, close - 1).trimmed();
    return true;
}

bool isKeyLine(const QString& line, QString* key, qsizetype* equals) {
    const QString t = line.trimmed();
    if (t.isEmpty() || t.startsWith(u';') || t.startsWith(u'#'))
        return false;
    const qsizetype eq = line.indexOf(u'=');
    if (eq <= 0)
        return false;
    *key = line.left(eq).trimmed();
    *equals = eq;
    return !key->isEmpty();
}

QString valueOf(const QString& line, qsizetype equals) {
    const QString v = line.mid(equals + 1).trimmed();
    if (v.size() >= 2 && v.startsWith(u'"') && v.endsWith(u'"'))
        return v.mid(1, v.size() - 2);
    return v;
}

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Where a key is, or would go. Only the first section of a name counts, and within it the
// first line of the key, as with the INI functions of the platform the format comes from.
struct Location {
    int section = -1;  // line of the section header
    int lastKey = -1;  // last key line of that section
    int key = -1;      // line of the key
    qsizetype equals = -1;
};

Location locate(const QStringList& lines, const QString& section, const QString& key) {
    Location at;
    bool inside = false;
    for (int i = 0; i < lines.size(); ++i) {
        QString name;
        if (isSectionHeader(lines[i], &name)) {
            if (inside)
                break;
            if (sameName(name, section)) {
                inside = true;
                at.section = i;
            }
            continue;
        }
        qsizetype eq = -1;
        if (!inside || !isKeyLine(lines[i], &name, &eq))
            continue;
        at.lastKey = i;
        if (at.key < 0 && sameName(name, key)) {
            at.key = i;
            at.equals = eq;
        }
    }
    return at;
}

// A value that reading would change (blanks at its ends, or quotes of its own) is quoted.
QString encodeValue(const QString& value) {
    const bool quote = value != value.trimmed() ||
                       (value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"'));
    return quote ? u'"' + value + u'"' : value;
}

}  // namespace

namespace {

enum class Lookup { Unreadable, Missing, Found };

Lookup lookup(const QString& path, const QString& section, const QString& key, QString* value) {
    const Document doc = load(path);
    if (!doc.ok)
        return Lookup::Unreadable;
    const Location at = locate(doc.lines, section, key);
    if (at.key < 0)
        return Lookup::Missing;
    *value = valueOf(doc.lines[at.key], at.equals);
    return Lookup::Found;
}

}  // namespace

QString IniFile::readString(const QString& section, const QString& key, const QString& def,
                            bool* ok) const {
    QString value;
    const Lookup l = lookup(path_, section, key, &value);
    if (ok)
        *ok = l != Lookup::Unreadable;
    return l == Lookup::Found ? value : def;
}

int IniFile::readInt(const QString& section, const QString& key, int def, bool* ok) const {
    QString text;
    const Lookup l = lookup(path_, section, key, &text);
    if (ok)
        *ok = l != Lookup::Unreadable;
    if (l != Lookup::Found)
        return def;
    bool converted = false;
    const int value = text.toInt(&converted, 10);
    return converted ? value : def;
}

bool IniFile::writeInt(const QString& section, const QString& key, int value) {
    return writeString(section, key, QString::number(value));
}

bool IniFile::writeString(const QString& section, const QString& key, const QString& value) {
    if (value.contains(u'\n') || value.contains(u'\r')) {
        // A line break would turn the rest of the value into lines of their own.
        error_ =
            QStringLiteral("Не удалось сохранить «%1»: значение содержит перевод строки").arg(key);
        return false;
    }
    Document doc = load(path_);
    if (!doc.ok) {
        error_ = QStringLiteral(
                     "Не удалось сохранить «%1»: файл настроек %2 не удаётся "
                     "прочитать (%3); он оставлен без изменений")
                     .arg(key, QFileInfo(path_).absoluteFilePath(), doc.reason);
        return false;
    }
    QStringList& lines = doc.lines;
    const bool crlf = !lines.isEmpty() && lines.first().endsWith(u'\r');
    const QString cr = crlf ? QStringLiteral("\r") : QString();
    // Every line ends with a line break from here on: the last element is the empty rest.
    if (!lines.last().isEmpty()) {
        lines.last() += cr;
        lines.append(QString());
    }

    const Location at = locate(lines, section, key);
    const QString entry = key + u'=' + encodeValue(value);
    if (at.key >= 0) {
        // Only the value changes; the key's own spelling and spacing stay as the person wrote
        // them.
        QString& line = lines[at.key];
        qsizetype start = at.equals + 1;
        while (start < line.size() && (line[start] == u' ' || line[start] == u'\t'))
            ++start;
        line = line.left(start) + encodeValue(value) +
               (line.endsWith(u'\r') ? QStringLiteral("\r") : QString());
    } else if (at.section >= 0) {
        lines.insert(std::max(at.lastKey, at.section) + 1, entry + cr);
    } else {
        const int end = int(lines.size()) - 1;
        QStringList added;
        if (end > 0 && !lines[end - 1].trimmed().isEmpty())
            added << cr;
        added << u'[' + section + u']' + cr << entry + cr;
        for (int i = 0; i < added.size(); ++i)
            lines.insert(end + i, added[i]);
    }

    QByteArray data = lines.join(u'\n').toUtf8();
    if (doc.bom)
        data.prepend(kBom);
    QSaveFile out(path_);
    if (!out.open(QIODevice::WriteOnly) || out.write(data) != data.size() || !out.commit()) {
        error_ = QStringLiteral("Не удалось сохранить «%1»: файл настроек %2 не записан (%3)")
                     .arg(key, QFileInfo(path_).absoluteFilePath(), out.errorString());
        return false;
    }
    error_.clear();
    return true;
}

QString IniFile::portOverride(int n) const {
    return readString(QStringLiteral("Порты"), QStringLiteral("COM%1").arg(n), QString()).trimmed();
}
