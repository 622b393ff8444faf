#include "app/inifile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QStringList>
#include <algorithm>

namespace {

const QByteArray kBom = QByteArrayLiteral("\xEF\xBB\xBF");
// Far above any configuration file a person writes; a larger file is something else that
// happens to carry the name, and reading it whole at every page switch would stall.
constexpr qint64 kMaxSize = 1024 * 1024;

// A file written by hand on a Windows machine is in its Cyrillic code page; everything this
// program creates is UTF-8. A write keeps the encoding the file has.
enum class Encoding { Utf8, Cp1251 };

// Windows-1251 from 80 to BF; C0 to FF are А to я in order. 98 is undefined: a file that
// holds it is not text in this code page.
constexpr char16_t kCp1251Upper[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
};
constexpr char16_t kCyrillicA = 0x0410;   // А, at C0
constexpr char16_t kCyrillicYa = 0x044F;  // я, at FF

// Every control character but the tab: a value holding one would break the line it stands
// on (CR, LF) or make the file unreadable from then on (NUL, the others).
bool isControl(char16_t c) {
    return (c < 0x20 && c != u'\t') || c == 0x7F;
}

// False when the bytes are not text in Windows-1251.
bool decodeCp1251(const QByteArray& data, QString* text) {
    text->clear();
    text->reserve(data.size());
    for (const char ch : data) {
        const auto b = static_cast<unsigned char>(ch);
        char16_t c = b;
        if (b >= 0xC0)
            c = char16_t(kCyrillicA + (b - 0xC0));
        else if (b >= 0x80)
            c = kCp1251Upper[b - 0x80];
        if (c == 0 || (isControl(c) && c != u'\r' && c != u'\n'))
            return false;
        text->append(QChar(c));
    }
    return true;
}

bool encodeCp1251(QStringView text, QByteArray* data) {
    data->clear();
    data->reserve(text.size());
    for (const QChar qc : text) {
        const char16_t c = qc.unicode();
        if (c < 0x80) {
            data->append(char(c));
        } else if (c >= kCyrillicA && c <= kCyrillicYa) {
            data->append(char(0xC0 + (c - kCyrillicA)));
        } else {
            const char16_t* end = std::end(kCp1251Upper);
            const char16_t* at = std::find(std::begin(kCp1251Upper), end, c);
            if (at == end)
                return false;
            data->append(char(0x80 + (at - std::begin(kCp1251Upper))));
        }
    }
    return true;
}

// False when the text has a character the encoding cannot carry (for UTF-8 only half a
// surrogate pair).
bool encode(QStringView text, Encoding encoding, QByteArray* data) {
    if (encoding == Encoding::Cp1251)
        return encodeCp1251(text, data);
    QStringEncoder encoder(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
    *data = encoder.encode(text);
    return !encoder.hasError();
}

QString encodingName(Encoding encoding) {
    return encoding == Encoding::Cp1251 ? QStringLiteral("Windows-1251") : QStringLiteral("UTF-8");
}

// Strict: a sequence cut off at the end of the data is an error too.
bool decodeUtf8(const QByteArray& data, QString* text) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                     QStringDecoder::Flag::ConvertInitialBom);
    *text = decoder.decode(data);
    return !decoder.hasError();
}

// The file as lines. Each line keeps its '\r' when the file has CRLF endings, so joining the
// lines with '\n' gives back the exact text that was read, and encoding it the exact bytes.
struct Document {
    bool ok = true;
    QString reason;  // why the file cannot be used, when !ok
    bool bom = false;
    Encoding encoding = Encoding::Utf8;
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
    QString text;
    if (data.startsWith(kBom)) {
        // The mark declares UTF-8; read as Windows-1251 letters it would hide the first line.
        doc.bom = true;
        data.remove(0, kBom.size());
        if (!decodeUtf8(data, &text)) {
            doc.reason = QStringLiteral("файл с меткой UTF-8 не в кодировке UTF-8");
            return doc;
        }
    } else if (decodeUtf8(data, &text)) {
        doc.encoding = Encoding::Utf8;
    } else if (decodeCp1251(data, &text)) {
        doc.encoding = Encoding::Cp1251;
    } else {
        doc.reason = QStringLiteral("файл не в кодировке UTF-8 или Windows-1251");
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
    if (std::any_of(value.cbegin(), value.cend(), [](QChar c) { return isControl(c.unicode()); })) {
        error_ = QStringLiteral(
                     "Не удалось сохранить «%1»: значение содержит перевод строки или другой "
                     "управляющий символ")
                     .arg(key);
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

    QByteArray data;
    if (!encode(lines.join(u'\n'), doc.encoding, &data)) {
        // The rest of the text came from this encoding, so the new line is what does not fit.
        error_ = QStringLiteral(
                     "Не удалось сохранить «%1»: в значении есть символы, которых нет в "
                     "кодировке файла настроек (%2)")
                     .arg(key, encodingName(doc.encoding));
        return false;
    }
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
