// The configuration file and the port settings, on a fake port in an empty directory.
#include <QDir>
#include <QFile>
#include <QtTest>

#include "app/inifile.h"
#include "app/portsettings.h"
#include "fakeport.h"

using namespace Qt::StringLiterals;

namespace {

const QString kIni = QStringLiteral("Tervex.ini");
// A file that is no configuration file: it has NUL bytes and is not UTF-8.
const QByteArray kJunk = QByteArray::fromHex("89504e470d0a1a0a0000000d4948445208ff00fe");
// A UTF-8 file cut off inside its last character. "И" is D0 98, and 98 is no character of
// the Windows Cyrillic code page, so the file is no text in that code page either.
const QByteArray kCutUtf8 = QByteArray("; Испытания\n[Соединение]\nПорт=3\n\xD0");

// Text in the Windows Cyrillic code page, as a Windows machine writes it: the Russian letters
// lie at C0..FF in alphabetical order, with Ё at A8 and ё at B8.
QByteArray cp1251(const QString& text) {
    QByteArray bytes;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x80)
            bytes += char(u);
        else if (u >= 0x410 && u <= 0x44F)
            bytes += char(0xC0 + (u - 0x410));
        else if (u == 0x401 || u == 0x451)
            bytes += char(u == 0x401 ? 0xA8 : 0xB8);
        else
            qFatal("cp1251(): no mapping for U+%04X in the test helper", unsigned(u));
    }
    return bytes;
}

void writeIni(const QByteArray& content) {
    QFile f(kIni);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(content), content.size());
}

QByteArray readIni() {
    QFile f(kIni);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct Rig {
    FakePort port;
    IniFile ini;
    PortSettings settings{&port, &ini};
    QStringList messages;
    QStringList errors;
    int changes = 0;
    Rig() {
        // Far from every default, so that an apply that forgets a setting shows.
        port.setComNumber(9);
        port.setBaud(300);
        port.setParity(2);
        port.dataBits = 7;
        port.stopBits = 2;
        settings.setMessageSink([this](const QString& t) { messages << t; });
        settings.setErrorSink([this](const QString& t) { errors << t; });
        settings.setChangedSink([this] { ++changes; });
    }
    QStringList takeMessages() { return std::exchange(messages, {}); }
};

}  // namespace

class ConfigTest : public QObject {
    Q_OBJECT
  private slots:
    void init() {
        QFile::remove(kIni);
        QDir().rmdir(kIni);
    }

    void applyStored_data();
    void applyStored();
    void fixedPagesLeaveStoredSpeed();
    void portChange_data();
    void portChange();
    void port4RefusalReportedAtNextApply();
    void speedChange_data();
    void speedChange();
    void parityChange();
    void writeKeepsEverythingElse_data();
    void writeKeepsEverythingElse();
    void settingsWrittenAsReadableText();
    void windows1251EveryCharacter();
    void refusedValue_data();
    void refusedValue();
    void unreadableFileIsNeverReplaced_data();
    void unreadableFileIsNeverReplaced();
    void directoryInPlaceOfFile();
    void portOverride();
    void skinName();
    void logicalNumber_data();
    void logicalNumber();
};

void ConfigTest::applyStored_data() {
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<int>("refuse");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<int>("com");
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("parity");
    QTest::addColumn<int>("baudItem");

    const auto read = [](const char* what, int com) {
        return QStringLiteral("Ошибка при чтении %1 порта: COM %2")
            .arg(QString::fromUtf8(what))
            .arg(com);
    };
    QTest::newRow("no file") << QByteArray() << -1 << QStringList() << 1 << 9600 << 0 << 3;
    QTest::newRow("all valid") << QByteArray("[Соединение]\nПорт=3\nСкорость=19200\nПаритет=1\n")
                               << -1 << QStringList() << 3 << 19200 << 1 << 4;
    QTest::newRow("port 17") << QByteArray("[Соединение]\nПорт=17\n") << -1
                             << QStringList{"Ошибочный номер порта: COM 17"} << 1 << 9600 << 0 << 3;
    // A value that is no integer counts as missing: the default, silently.
    QTest::newRow("port not a number")
        << QByteArray("[Соединение]\nПорт=COM2\n") << -1 << QStringList() << 1 << 9600 << 0 << 3;
    QTest::newRow("port refused, steps go on")
        << QByteArray("[Соединение]\nПорт=3\nСкорость=4800\n") << 3
        << QStringList{read("номера", 3)} << 3 << 4800 << 0 << 2;
    QTest::newRow("speed 38400") << QByteArray("[Соединение]\nСкорость=38400\n") << -1
                                 << QStringList{"Ошибочная скорость порта: 38400"} << 1 << 9600 << 0
                                 << 3;
    QTest::newRow("speed 599") << QByteArray("[Соединение]\nСкорость=599\n") << -1
                               << QStringList{"Ошибочная скорость порта: 599"} << 1 << 9600 << 0
                               << 3;
    // Not in the selectors' list: they show 9600 while the port runs at 600.
    QTest::newRow("speed 600") << QByteArray("[Соединение]\nСкорость=600\n") << -1 << QStringList()
                               << 1 << 600 << 0 << 3;
    QTest::newRow("speed not a number") << QByteArray("[Соединение]\nПорт=2\nСкорость=fast\n") << -1
                                        << QStringList() << 2 << 9600 << 0 << 3;
    QTest::newRow("speed too large for an int")
        << QByteArray("[Соединение]\nСкорость=4294967296\nПаритет=1\n") << -1 << QStringList() << 1
        << 9600 << 1 << 3;
    QTest::newRow("parity 3") << QByteArray("[Соединение]\nПаритет=3\n") << -1
                              << QStringList{"Ошибка в задании контроля четности порта: 3"} << 1
                              << 9600 << 0 << 3;
    QTest::newRow("parity -1") << QByteArray("[Соединение]\nПаритет=-1\n") << -1
                               << QStringList{"Ошибка в задании контроля четности порта: -1"} << 1
                               << 9600 << 0 << 3;
    QTest::newRow("parity empty") << QByteArray("[Соединение]\nПорт=3\nПаритет=\n") << -1
                                  << QStringList() << 3 << 9600 << 0 << 3;
    QTest::newRow("parity a word")
        << QByteArray("[Соединение]\nПаритет=odd\n") << -1 << QStringList() << 1 << 9600 << 0 << 3;
    QTest::newRow("all wrong at once")
        << QByteArray("[Соединение]\nПорт=0\nСкорость=38400\nПаритет=7\n") << -1
        << QStringList{"Ошибочный номер порта: COM 0", "Ошибочная скорость порта: 38400",
                       "Ошибка в задании контроля четности порта: 7"}
        << 1 << 9600 << 0 << 3;
    // Written by hand: BOM, CRLF, other case, blanks, quotes, comments, duplicates (the first
    // counts, in the first section of the name).
    QTest::newRow("hand-written")
        << QByteArray(
               "\xEF\xBB\xBF; настройки\r\n[ соединение ]\r\n  порт = 4 \r\n"
               "Скорость=\"4800\"\r\nПорт=9\r\n# Паритет=2\r\n[Соединение]\r\nПаритет=1\r\n")
        << -1 << QStringList() << 4 << 4800 << 0 << 2;
    const QStringList allThree{read("номера", 1), read("скорости", 1), read("паритета", 1)};
    QTest::newRow("Windows-1251")
        << cp1251(u"; Стенд, ёмкость\r\n[Соединение]\r\nПорт=3\r\nСкорость=4800\r\nПаритет=1\r\n"_s)
        << -1 << QStringList() << 3 << 4800 << 1 << 2;
    QTest::newRow("binary junk") << kJunk << -1 << allThree << 1 << 9600 << 0 << 3;
    QTest::newRow("ends inside a UTF-8 character")
        << kCutUtf8 << -1 << allThree << 1 << 9600 << 0 << 3;
}

void ConfigTest::applyStored() {
    QFETCH(QByteArray, ini);
    QFETCH(int, refuse);
    if (!ini.isNull())
        writeIni(ini);
    Rig r;
    r.port.refuseCom = refuse;
    r.settings.applyStored();

    QTEST(r.takeMessages(), "expected");
    QVERIFY(r.errors.isEmpty());
    QTEST(r.port.comNumber(), "com");
    QTEST(r.port.baud(), "baud");
    QTEST(r.port.parity(), "parity");
    QCOMPARE(r.port.dataBits, 8);
    QCOMPARE(r.port.stopBits, 1);
    QCOMPARE(r.settings.portIndex(), r.port.comNumber() - 1);
    QTEST(r.settings.baudItemIndex(), "baudItem");
    QCOMPARE(r.settings.parityIndex(), r.port.parity());
    QCOMPARE(r.changes, 1);
    // Reading never writes: a wrong value stays until the operator changes the setting.
    QCOMPARE(readIni(), ini);
}

void ConfigTest::fixedPagesLeaveStoredSpeed() {
    writeIni("[Соединение]\nПорт=2\nСкорость=19200\nПаритет=1\n");
    Rig r;
    r.settings.applyStored();
    r.settings.applyFixed9600();
    QCOMPARE(r.port.comNumber(), 2);
    QCOMPARE(r.port.baud(), 9600);
    QCOMPARE(r.port.parity(), 0);
    QCOMPARE(r.port.dataBits, 8);
    QCOMPARE(r.port.stopBits, 1);
    QCOMPARE(r.settings.speed(), 19200);
    QCOMPARE(r.settings.baudItemIndex(), 4);
    QCOMPARE(r.settings.parityIndex(), 1);
    r.settings.applyStored();
    QCOMPARE(r.port.baud(), 19200);
    QCOMPARE(r.port.parity(), 1);
    QVERIFY(r.messages.isEmpty());

    // The fixed pages check only the port number; a bad speed is reported on every return to
    // the first two pages.
    const QByteArray bad("[Соединение]\nПорт=17\nСкорость=38400\nПаритет=3\n");
    writeIni(bad);
    r.settings.applyFixed9600();
    QCOMPARE(r.takeMessages(), QStringList{"Ошибочный номер порта: COM 17"});
    QCOMPARE(r.port.comNumber(), 1);
    for (int i = 0; i < 2; ++i) {
        r.settings.applyStored();
        QCOMPARE(r.takeMessages(),
                 (QStringList{"Ошибочный номер порта: COM 17", "Ошибочная скорость порта: 38400",
                              "Ошибка в задании контроля четности порта: 3"}));
        QCOMPARE(r.port.baud(), 9600);
    }
    QCOMPARE(readIni(), bad);
}

void ConfigTest::portChange_data() {
    QTest::addColumn<int>("selector");
    QTest::addColumn<int>("item");
    QTest::addColumn<int>("refuse");
    QTest::addColumn<int>("com");
    QTest::addColumn<int>("shownItem");
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<bool>("errorReport");
    QTest::newRow("ComboBoxPort3") << 3 << 4 << -1 << 5 << 4 << QByteArray("Порт=5") << false;
    QTest::newRow("ComboBoxPort4") << 4 << 15 << -1 << 16 << 15 << QByteArray("Порт=16") << false;
    // The information channel drops the port and stores "none".
    QTest::newRow("ComboBoxPort4 refused")
        << 4 << 5 << 6 << 0 << 5 << QByteArray("Порт=0") << false;
    // The others report the port's refusal and leave the other selectors and the file as they
    // were; the port keeps the new number, closed, and that is the number in force.
    QTest::newRow("ComboBoxPort1 refused") << 1 << 6 << 7 << 7 << 6 << QByteArray("Порт=2") << true;
    QTest::newRow("ComboBoxPort2 refused") << 2 << 6 << 7 << 7 << 6 << QByteArray("Порт=2") << true;
}

void ConfigTest::portChange() {
    QFETCH(int, selector);
    QFETCH(int, item);
    QFETCH(int, refuse);
    QFETCH(QByteArray, stored);
    QFETCH(bool, errorReport);
    writeIni("[Соединение]\nПорт=2\n");
    Rig r;
    r.settings.applyStored();
    r.changes = 0;
    r.port.refuseCom = refuse;
    // True: all four selectors follow; false: only the one the operator changed shows it.
    QCOMPARE(r.settings.ComboBoxPortChange(selector, item), !errorReport);

    QTEST(r.port.comNumber(), "com");
    QTEST(r.settings.portIndex(), "shownItem");
    QVERIFY(r.messages.isEmpty());
    QCOMPARE(r.errors, errorReport ? QStringList{"refused"} : QStringList());
    QCOMPARE(r.changes, errorReport ? 0 : 1);
    QCOMPARE(readIni(), "[Соединение]\n" + stored + "\n");

    // A later speed or parity change brings every selector up to date: they show the port in
    // force, not the one before a refusal.
    r.settings.ComboBoxBaudChange(QStringLiteral("4800"));
    r.settings.ComboBoxParChange(1);
    QTEST(r.port.comNumber(), "com");
    QTEST(r.settings.portIndex(), "shownItem");
}

void ConfigTest::port4RefusalReportedAtNextApply() {
    Rig r;
    r.port.refuseCom = 3;
    r.settings.ComboBoxPortChange(4, 2);
    QCOMPARE(r.settings.portNumber(), 0);
    r.port.refuseCom = -1;
    r.settings.applyStored();
    QCOMPARE(r.takeMessages(), QStringList{"Ошибочный номер порта: COM 0"});
    QCOMPARE(r.port.comNumber(), 1);
    QCOMPARE(r.settings.portIndex(), 0);
    QVERIFY(readIni().contains("Порт=0\n"));
}

void ConfigTest::speedChange_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("baudItem");
    QTest::newRow("4800") << "4800" << QStringList() << 4800 << 2;
    QTest::newRow("19200") << "19200" << QStringList() << 19200 << 4;
    QTest::newRow("1200") << "1200" << QStringList() << 1200 << 0;
    QTest::newRow("38400 refused")
        << "38400" << QStringList{"Ошибочная скорость порта: 38400"} << 9600 << 3;
    // The file may hold 600, a selector may not.
    QTest::newRow("600 refused") << "600" << QStringList{"Ошибочная скорость порта: 600"} << 9600
                                 << 3;
    QTest::newRow("not a number") << "быстро" << QStringList() << 9600 << 3;
}

void ConfigTest::speedChange() {
    QFETCH(QString, text);
    QFETCH(int, baud);
    writeIni("[Соединение]\nСкорость=2400\n");
    Rig r;
    r.settings.applyStored();
    r.settings.ComboBoxBaudChange(text);
    QTEST(r.takeMessages(), "expected");
    QCOMPARE(r.port.baud(), baud);
    QCOMPARE(r.settings.speed(), baud);
    QTEST(r.settings.baudItemIndex(), "baudItem");
    QCOMPARE(r.changes, 2);
    QCOMPARE(readIni(), "[Соединение]\nСкорость=" + QByteArray::number(baud) + "\n");
}

void ConfigTest::parityChange() {
    Rig r;
    r.settings.applyStored();
    r.settings.ComboBoxParChange(2);
    QCOMPARE(r.port.parity(), 2);
    QCOMPARE(r.settings.parityIndex(), 2);
    QCOMPARE(readIni(), QByteArray("[Соединение]\nПаритет=2\n"));
    // A selector being emptied reports -1: nothing to store.
    r.settings.ComboBoxParChange(-1);
    QCOMPARE(r.port.parity(), 2);
    QCOMPARE(readIni(), QByteArray("[Соединение]\nПаритет=2\n"));
    QVERIFY(r.messages.isEmpty());
    QVERIFY(r.errors.isEmpty());
}

void ConfigTest::writeKeepsEverythingElse_data() {
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("after");
    const QByteArray full(
        "; Стенд 3\n[Соединение]\nПорт = 17\nСкорость=600\n\n"
        "[Порты]\nCOM1=/dev/pts/5\n# USB\nfoo\n; конец\n");
    QTest::newRow("value replaced in place")
        << full << "Соединение"
        << "Порт"
        << "3" << QByteArray(full).replace("Порт = 17", "Порт = 3");
    QTest::newRow("key added to its section")
        << full << "Соединение"
        << "Паритет"
        << "1" << QByteArray(full).replace("Скорость=600\n", "Скорость=600\nПаритет=1\n");
    QTest::newRow("section added at the end")
        << full << "Скины"
        << "SkinName"
        << "Wood (internal)" << full + "\n[Скины]\nSkinName=Wood (internal)\n";
    QTest::newRow("no final line break")
        << QByteArray("[Порты]\nCOM1=/dev/pts/5") << "Соединение"
        << "Порт"
        << "2" << QByteArray("[Порты]\nCOM1=/dev/pts/5\n\n[Соединение]\nПорт=2\n");
    QTest::newRow("CRLF, value replaced")
        << QByteArray("[Соединение]\r\nПорт=1\r\n[Порты]\r\nCOM1=/dev/pts/5\r\n") << "Соединение"
        << "Порт"
        << "2" << QByteArray("[Соединение]\r\nПорт=2\r\n[Порты]\r\nCOM1=/dev/pts/5\r\n");
    QTest::newRow("BOM and CRLF kept")
        << QByteArray("\xEF\xBB\xBF[Соединение]\r\nПорт=1\r\n") << "Соединение"
        << "Скорость"
        << "4800" << QByteArray("\xEF\xBB\xBF[Соединение]\r\nПорт=1\r\nСкорость=4800\r\n");
    QTest::newRow("first of duplicates, other case")
        << QByteArray("[СОЕДИНЕНИЕ]\nпорт=1\nПорт=2\n[Соединение]\nПорт=3\n") << "Соединение"
        << "Порт"
        << "4" << QByteArray("[СОЕДИНЕНИЕ]\nпорт=4\nПорт=2\n[Соединение]\nПорт=3\n");
    const QString cpText = u"; Стенд 3, ёлка\r\n[Соединение]\r\nПорт=1\r\n[Порты]\r\n"_s;
    QTest::newRow("Windows-1251 kept, value replaced")
        << cp1251(cpText) << "Соединение"
        << "Порт"
        << "2" << cp1251(QString(cpText).replace(u"Порт=1"_s, u"Порт=2"_s));
    QTest::newRow("Windows-1251 kept, section added")
        << cp1251(cpText) << "Скины"
        << "SkinName"
        << "Wood (internal)" << cp1251(cpText + u"\r\n[Скины]\r\nSkinName=Wood (internal)\r\n"_s);
    // Cut off inside a UTF-8 character, yet every byte is a Windows-1251 character: read in
    // that code page, and the last byte stays.
    QTest::newRow("ends inside a UTF-8 character, read as Windows-1251")
        << QByteArray("; Tervex\n; \xD0") << "Соединение"
        << "Порт"
        << "2" << QByteArray("; Tervex\n; \xD0\n\n") + cp1251(u"[Соединение]\nПорт=2\n"_s);
    QTest::newRow("blanks at the ends quoted")
        << QByteArray() << "Скины"
        << "SkinName"
        << " x " << QByteArray("[Скины]\nSkinName=\" x \"\n");
}

void ConfigTest::writeKeepsEverythingElse() {
    QFETCH(QByteArray, before);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    if (!before.isNull())
        writeIni(before);
    IniFile ini;
    QVERIFY2(ini.writeString(section, key, value), qPrintable(ini.error()));
    QTEST(readIni(), "after");
    bool ok = false;
    QCOMPARE(ini.readString(section, key, QString(), &ok), value);
    QVERIFY(ok);
    // No temporary file left beside it.
    QCOMPARE(QDir().entryList({kIni + u'*'}), QStringList{kIni});
}

void ConfigTest::settingsWrittenAsReadableText() {
    Rig r;
    r.settings.ComboBoxPortChange(3, 4);
    r.settings.ComboBoxBaudChange(QStringLiteral("4800"));
    r.settings.ComboBoxParChange(1);
    QVERIFY(r.settings.storeSkinName(QStringLiteral("SoapSky - Lime (internal)")));
    r.settings.ComboBoxPortChange(1, 5);
    QCOMPARE(QString::fromUtf8(readIni()),
             QStringLiteral("[Соединение]\nПорт=6\nСкорость=4800\nПаритет=1\n\n"
                            "[Скины]\nSkinName=SoapSky - Lime (internal)\n"));
    QVERIFY(r.messages.isEmpty());

    Rig next;
    next.settings.applyStored();
    QCOMPARE(next.port.comNumber(), 6);
    QCOMPARE(next.port.baud(), 4800);
    QCOMPARE(next.port.parity(), 1);
    QCOMPARE(next.settings.skinName(), QStringLiteral("SoapSky - Lime (internal)"));
}

// Every character of the code page reads as the platform's converter reads it, and a write
// gives back the very bytes.
void ConfigTest::windows1251EveryCharacter() {
    QByteArray upper;
    for (int b = 0x80; b <= 0xFF; ++b) {
        if (b != 0x98)  // the one byte the code page leaves undefined
            upper += char(b);
    }
    const QByteArray content = cp1251(u"[Скины]\r\nSkinName=x"_s) + upper + "x\r\n";
    writeIni(content);
    IniFile ini;
    bool ok = false;
    const QString value = ini.readString(u"Скины"_s, u"SkinName"_s, QString(), &ok);
    QVERIFY(ok);
    QCOMPARE(value.size(), upper.size() + 2);
    QVERIFY(ini.writeString(u"Скины"_s, u"SkinName"_s, value));
    QCOMPARE(readIni(), content);

    QStringDecoder platform("windows-1251");
    if (!platform.isValid())
        QSKIP("this Qt has no Windows-1251 converter to compare with");
    QCOMPARE(value, u'x' + platform.decode(upper) + u'x');
}

void ConfigTest::refusedValue_data() {
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("reason");
    const QString control = u"управляющий символ"_s;
    const QString encoding = u"кодировке файла настроек"_s;
    const QByteArray utf8("[Скины]\nSkinName=Wood (internal)\n");
    const QByteArray windows = cp1251(u"[Скины]\r\nSkinName=Дерево\r\n"_s);
    // Each would make the file unreadable, or turn the rest of the value into lines of its
    // own.
    QTest::newRow("NUL") << utf8 << u"Wood\0x"_s << control;
    QTest::newRow("NUL, no file yet") << QByteArray() << u"Wood\0x"_s << control;
    QTest::newRow("line feed") << utf8 << u"Wood\n[Соединение]"_s << control;
    QTest::newRow("carriage return") << windows << u"Wood\rx"_s << control;
    QTest::newRow("control character") << windows << u"Wood\x01"_s << control;
    QTest::newRow("half a surrogate pair") << utf8 << u"Wood"_s + QChar(0xD83D) << encoding;
    QTest::newRow("not in Windows-1251") << windows << u"Дерево Ω"_s << encoding;
}

// The operator learns why; the file stays as it was and readable.
void ConfigTest::refusedValue() {
    QFETCH(QByteArray, before);
    QFETCH(QString, value);
    if (!before.isNull())
        writeIni(before);
    Rig r;
    QVERIFY(!r.settings.storeSkinName(value));
    const QStringList messages = r.takeMessages();
    QCOMPARE(messages.size(), 1);
    QVERIFY2(messages.first().contains(u"«SkinName»"_s), qPrintable(messages.first()));
    QFETCH(QString, reason);
    QVERIFY2(messages.first().contains(reason), qPrintable(messages.first()));
    QCOMPARE(readIni(), before);
    QCOMPARE(QFile::exists(kIni), !before.isNull());
    bool ok = false;
    r.ini.readString(u"Скины"_s, u"SkinName"_s, QString(), &ok);
    QVERIFY(ok);
}

void ConfigTest::unreadableFileIsNeverReplaced_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("binary junk") << kJunk;
    QTest::newRow("ends inside a UTF-8 character") << kCutUtf8;
    // A control byte is neither UTF-8 text nor Windows-1251 text.
    QTest::newRow("Windows-1251 with a control byte") << cp1251(u"[Соединение]\nПорт=3\n\x01\n"_s);
    // The mark says UTF-8 and the rest is not: reading the mark as three Windows-1251
    // letters would hide the first section.
    QTest::newRow("UTF-8 mark over Windows-1251")
        << "\xEF\xBB\xBF" + cp1251(u"[Соединение]\nПорт=3\n"_s);
}

void ConfigTest::unreadableFileIsNeverReplaced() {
    QFETCH(QByteArray, content);
    writeIni(content);
    IniFile ini;
    QVERIFY(!ini.writeInt(QStringLiteral("Соединение"), QStringLiteral("Порт"), 2));
    QVERIFY2(ini.error().contains(QStringLiteral("Tervex.ini")), qPrintable(ini.error()));
    QVERIFY2(ini.error().contains(QStringLiteral("оставлен без изменений")),
             qPrintable(ini.error()));

    // The operator learns why the choice was not kept; the port takes it all the same.
    Rig r;
    r.settings.ComboBoxParChange(1);
    r.settings.ComboBoxBaudChange(QStringLiteral("2400"));
    const QStringList messages = r.takeMessages();
    QCOMPARE(messages.size(), 2);
    for (const QString& m : messages)
        QVERIFY2(m.contains(QStringLiteral("оставлен без изменений")), qPrintable(m));
    QCOMPARE(r.port.parity(), 1);
    QCOMPARE(r.port.baud(), 2400);
    QVERIFY(!r.settings.storeSkinName(QStringLiteral("Wood (internal)")));
    QCOMPARE(r.settings.skinName(), QStringLiteral("Neutral (internal)"));
    QCOMPARE(readIni(), content);
}

void ConfigTest::directoryInPlaceOfFile() {
    QVERIFY(QDir().mkdir(kIni));
    Rig r;
    r.settings.applyStored();
    QCOMPARE(r.takeMessages().size(), 3);
    QCOMPARE(r.port.comNumber(), 1);
    r.settings.ComboBoxPortChange(2, 3);
    QCOMPARE(r.takeMessages().size(), 1);
    QCOMPARE(r.port.comNumber(), 4);
    QVERIFY(QFileInfo(kIni).isDir());
}

void ConfigTest::portOverride() {
    writeIni("[Соединение]\nПорт=1\n\n[Порты]\nCOM1 = /dev/pts/5\ncom2=/dev/ttyUSB0\n");
    IniFile ini;
    QCOMPARE(ini.portOverride(1), QStringLiteral("/dev/pts/5"));
    QCOMPARE(ini.portOverride(2), QStringLiteral("/dev/ttyUSB0"));
    QCOMPARE(ini.portOverride(3), QString());
    const auto override = [&ini](int n) { return ini.portOverride(n); };
    QCOMPARE(ComDevicePath(1, override), QStringLiteral("/dev/pts/5"));
    QCOMPARE(ComDevicePath(3, override), QStringLiteral("/dev/ttyS2"));
}

void ConfigTest::skinName() {
    Rig r;
    QCOMPARE(r.settings.skinName(), QStringLiteral("Neutral (internal)"));
    QVERIFY(r.settings.storeSkinName(QStringLiteral("Wood (internal)")));
    QCOMPARE(r.settings.skinName(), QStringLiteral("Wood (internal)"));
    QVERIFY(!r.settings.storeSkinName(QString()));
    QCOMPARE(r.takeMessages(), QStringList{"Ошибка при изменении внешнего вида"});
    QCOMPARE(readIni(), QByteArray("[Скины]\nSkinName=Wood (internal)\n"));
    writeIni("[Скины]\nSkinName=\n");
    QCOMPARE(r.settings.skinName(), QStringLiteral("Neutral (internal)"));
}

void ConfigTest::logicalNumber_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<LogicalNumberCheck>("check");
    QTest::newRow("empty, still typing") << "" << LogicalNumberCheck::Accept;
    QTest::newRow("1") << "1" << LogicalNumberCheck::Accept;
    QTest::newRow("247") << "247" << LogicalNumberCheck::Accept;
    QTest::newRow("12a") << "12a" << LogicalNumberCheck::Clear;
    QTest::newRow("too long for a number") << "99999999999" << LogicalNumberCheck::Clear;
    QTest::newRow("0") << "0" << LogicalNumberCheck::OutOfRange;
    QTest::newRow("248") << "248" << LogicalNumberCheck::OutOfRange;
    QTest::newRow("-5") << "-5" << LogicalNumberCheck::OutOfRange;
}

void ConfigTest::logicalNumber() {
    QFETCH(QString, text);
    QTEST(CheckLogicalNumber(text), "check");
}

QTEST_GUILESS_MAIN(ConfigTest)
#include "unit_config.moc"
