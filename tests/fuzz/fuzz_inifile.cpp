// The configuration file with any bytes in it. Every key the program reads is read (of the port
// map COM1, COM2 and COM16), then one key is written. Input: a byte choosing the key and the kind
// of write, a byte n, n UTF-16 code units (low byte first) of the value, then the file's bytes.
// Aborts when:
// - a read changes the file;
// - a write is refused but the file changed, or is refused without a reason;
// - a file that cannot be read is written;
// - a write succeeds but more than the one line of the key changed (a line break may be added
//   at the end of a file without one; a new key or section adds at most three lines), the
//   value written does not read back as written, or another key now reads differently.
#include <QByteArrayList>
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "app/inifile.h"

#define REQUIRE(cond)                                                                      \
    do {                                                                                   \
        if (!(cond)) {                                                                     \
            std::fprintf(stderr, "fuzz_inifile: broken: %s (line %d)\n", #cond, __LINE__); \
            std::abort();                                                                  \
        }                                                                                  \
    } while (0)

namespace {

constexpr int kPorts[] = {1, 2, 16};

struct Key {
    QString section;
    QString key;
};

// What the program reads: the port settings, the skin and the port map.
QList<Key> programKeys() {
    QList<Key> keys = {
        {QStringLiteral("Соединение"), QStringLiteral("Порт")},
        {QStringLiteral("Соединение"), QStringLiteral("Скорость")},
        {QStringLiteral("Соединение"), QStringLiteral("Паритет")},
        {QStringLiteral("Скины"), QStringLiteral("SkinName")},
    };
    // Of the port map the first, the second and the last number: the same lookup with keys
    // of both lengths.
    for (int n : kPorts)
        keys.append({QStringLiteral("Порты"), QStringLiteral("COM%1").arg(n)});
    return keys;
}

struct Reading {
    bool found = false;
    QString text;
    int number = 0;
    bool ok = false;
    bool operator==(const Reading&) const = default;
};

QList<Reading> readAll(const IniFile& ini, const QList<Key>& keys) {
    QList<Reading> out;
    for (const Key& k : keys) {
        Reading r;
        bool textOk = false;
        // Two defaults tell a missing key from one that holds a default's text.
        r.text = ini.readString(k.section, k.key, QStringLiteral("a"), &textOk);
        r.found = r.text != u"a" || ini.readString(k.section, k.key, QStringLiteral("b")) == u"a";
        r.number = ini.readInt(k.section, k.key, -12345, &r.ok);
        REQUIRE(r.ok == textOk);
        REQUIRE(r.ok || !r.found);
        out.append(r);
    }
    for (int i = 0; i < int(std::size(kPorts)); ++i) {
        const Reading& r = out[4 + i];
        REQUIRE(ini.portOverride(kPorts[i]) == (r.found ? r.text.trimmed() : QString()));
    }
    return out;
}

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    REQUIRE(f.open(QIODevice::ReadOnly));
    return f.readAll();
}

// `after` is `before` with one line replaced, or with up to three lines added, once a line
// break has been added to a last line that had none.
bool onlyOneLineChanged(const QByteArray& before, const QByteArray& after) {
    QList<QByteArray> candidates{before};
    if (!before.isEmpty() && !before.endsWith('\n'))
        candidates = {before + "\n", before + "\r\n"};
    for (const QByteArray& b : candidates) {
        const QByteArrayList bl = b.split('\n');
        const QByteArrayList al = after.split('\n');
        const qsizetype limit = std::min(bl.size(), al.size());
        qsizetype prefix = 0;
        while (prefix < limit && bl[prefix] == al[prefix])
            ++prefix;
        qsizetype suffix = 0;
        while (suffix < limit - prefix && bl[bl.size() - 1 - suffix] == al[al.size() - 1 - suffix])
            ++suffix;
        const qsizetype removed = bl.size() - prefix - suffix;
        const qsizetype added = al.size() - prefix - suffix;
        if (removed == 1 && added == 1) {
            // The key keeps its own spelling and spacing up to the '='.
            const QByteArray& old = bl[prefix];
            const qsizetype eq = old.indexOf('=');
            if (eq > 0 && al[prefix].startsWith(old.left(eq + 1)))
                return true;
        } else if (removed == 0 && added <= 3) {
            return true;
        }
    }
    return false;
}

QTemporaryDir* dir = nullptr;  // a static of the initialization, removed when the fuzzer ends

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static int argc = 1;
    static char name[] = "fuzz_inifile";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static QTemporaryDir temporary;
    REQUIRE(temporary.isValid());
    dir = &temporary;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const quint8* data, size_t size) {
    static const QList<Key> keys = programKeys();
    if (size < 2)
        return 0;
    const quint8 choice = data[0];
    const size_t units = std::min<size_t>(data[1], (size - 2) / 2);
    QString value(qsizetype(units), Qt::Uninitialized);
    for (size_t i = 0; i < units; ++i)
        value[qsizetype(i)] = QChar(char16_t(data[2 + 2 * i] | data[3 + 2 * i] << 8));
    const QByteArray before(reinterpret_cast<const char*>(data + 2 + 2 * units),
                            qsizetype(size - 2 - 2 * units));

    const QString path = dir->filePath(QStringLiteral("Tervex.ini"));
    {
        QFile f(path);
        REQUIRE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        REQUIRE(f.write(before) == before.size());
    }
    IniFile ini(path);
    const QList<Reading> first = readAll(ini, keys);
    REQUIRE(fileBytes(path) == before);
    const bool readable = first.first().ok;

    const int which = (choice >> 1) % int(keys.size());
    const Key& key = keys[which];
    bool written;
    if (choice & 1) {
        // A number, as the port settings store them.
        int number = 0;
        std::memcpy(&number, data + 2, std::min<size_t>(sizeof number, size - 2));
        value = QString::number(number);
        written = ini.writeInt(key.section, key.key, number);
    } else {
        written = ini.writeString(key.section, key.key, value);
    }
    const QByteArray after = fileBytes(path);

    if (!written) {
        REQUIRE(after == before);
        REQUIRE(!ini.error().isEmpty());
        return 0;
    }
    REQUIRE(readable);
    REQUIRE(onlyOneLineChanged(before, after));
    const QList<Reading> second = readAll(ini, keys);
    for (int i = 0; i < keys.size(); ++i) {
        if (i == which) {
            REQUIRE(second[i].ok && second[i].found);
            REQUIRE(second[i].text == value);
            if (choice & 1)
                REQUIRE(QString::number(second[i].number) == value);
        } else {
            REQUIRE(second[i] == first[i]);
        }
    }
    return 0;
}
