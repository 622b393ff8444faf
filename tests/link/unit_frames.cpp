// Checksum, request frames and exception texts. The rows are the frames themselves; where
// cheap, libmodbus builds the same requests as an independent master.
#include <fcntl.h>
#include <modbus.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>
#include <QtTest>
#include <algorithm>
#include <array>

#include "fakeport.h"
#include "link/crc.h"
#include "link/engine.h"
#include "link/exceptiontexts.h"
#include "link/frames.h"
#include "manualclock.h"

static_assert(frames::BlockLength(3) == 15 && frames::BlockLength(6) == 21);
static_assert(frames::ReadReplyLength(58) == 121 && frames::ReadReplyLength(10) == 25);

namespace {

// Frames on the wire, checksum included, as a Modbus reference gives them.
struct KnownFrame {
    const char* name;
    const char* hex;
};
constexpr KnownFrame kKnownFrames[] = {
    {"read 10 from 0x0200", "01 03 02 00 00 0A C4 75"},
    {"read 58 from 0", "01 03 00 00 00 3A C5 D9"},
    {"read 7 from 0x0900", "01 03 09 00 00 07 07 94"},
    {"write 5 to 0x0204", "01 06 02 04 00 05 09 B0"},
    {"write 1.0 to 0x0800", "01 10 08 00 00 02 04 3F 80 00 00 99 93"},
    {"write 3 words to 0x0400", "01 10 04 00 00 03 06 00 01 00 02 00 03 2F B1"},
    {"write 6 words to 0x0900", "01 10 09 00 00 06 0C 07 E8 00 05 00 11 00 0A 00 1E 00 00 92 BB"},
    {"exception 2 to a read", "01 83 02 C0 F1"},
    {"exception 2 to a write", "01 86 02 C3 A1"},
};

quint16 crcOf(const QByteArray& bytes) {
    return ModbusCrc16(reinterpret_cast<const quint8*>(bytes.constData()), quint16(bytes.size()));
}

// Runs a builder on a buffer full of a marker byte; a builder that writes past the length it
// returns gives an empty result, which no row expects.
template <typename Build>
QByteArray built(Build build) {
    constexpr quint8 kMarker = 0xAA;
    std::array<quint8, 300> buffer;
    buffer.fill(kMarker);
    const int n = build(buffer.data());
    if (n <= 0 || n >= int(buffer.size()) ||
        std::any_of(buffer.begin() + n, buffer.end(), [](quint8 b) { return b != kMarker; }))
        return {};
    return QByteArray(reinterpret_cast<const char*>(buffer.data()), n);
}

// A libmodbus master on one end of a pseudo-terminal; the test reads its requests from the
// other end. Every call times out after a millisecond, as nobody answers.
class LibmodbusMaster {
  public:
    explicit LibmodbusMaster(int slave) {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
            return;
        ctx_ = modbus_new_rtu(ptsname(master_), 9600, 'N', 8, 1);
        if (!ctx_ || modbus_connect(ctx_) != 0)
            return;
        modbus_set_slave(ctx_, slave);
        modbus_set_response_timeout(ctx_, 0, 1000);
        ok_ = true;
    }
    ~LibmodbusMaster() {
        if (ctx_) {
            modbus_close(ctx_);
            modbus_free(ctx_);
        }
        if (master_ >= 0)
            close(master_);
    }
    bool ok() const { return ok_; }
    modbus_t* ctx() const { return ctx_; }

    // What went out: waits for `expected` bytes, then takes whatever else is already there.
    QByteArray sent(int expected) {
        QByteArray out;
        pollfd p{master_, POLLIN, 0};
        while (poll(&p, 1, out.size() < expected ? 1000 : 0) > 0) {
            char chunk[512];
            const ssize_t n = read(master_, chunk, sizeof chunk);
            if (n <= 0)
                break;
            out.append(chunk, int(n));
        }
        return out;
    }

  private:
    int master_ = -1;
    modbus_t* ctx_ = nullptr;
    bool ok_ = false;
};

enum Kind { Read, Write06, WriteLong, WriteBlock };

}  // namespace

class FramesTest : public QObject {
    Q_OBJECT
  private slots:
    void checksum_data();
    void checksum();
    void anyBitFlipIsDetected_data();
    void anyBitFlipIsDetected();
    void builders_data();
    void builders();
    void byteCountKeepsLowEightBits_data();
    void byteCountKeepsLowEightBits();
    void recordAddressKeepsLowByte_data();
    void recordAddressKeepsLowByte();
    void matchesLibmodbus_data();
    void matchesLibmodbus();
    void exceptionTexts_data();
    void exceptionTexts();
};

void FramesTest::checksum_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("expected");
    QTest::newRow("no bytes") << QByteArray() << 0xFFFF;
    // The register is 0x4B37; its low byte comes first in the result and on the wire.
    QTest::newRow("123456789") << QByteArray("123456789") << 0x374B;
    for (const KnownFrame& f : kKnownFrames)
        QTest::newRow(f.name) << QByteArray::fromHex(f.hex) << 0;
}

void FramesTest::checksum() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, expected);
    QCOMPARE(crcOf(bytes), quint16(expected));
}

void FramesTest::anyBitFlipIsDetected_data() {
    QTest::addColumn<QByteArray>("frame");
    for (const KnownFrame& f : kKnownFrames)
        QTest::newRow(f.name) << QByteArray::fromHex(f.hex);
}

void FramesTest::anyBitFlipIsDetected() {
    QFETCH(QByteArray, frame);
    for (int bit = 0; bit < 8 * frame.size(); ++bit) {
        QByteArray damaged = frame;
        damaged[bit / 8] = char(damaged[bit / 8] ^ (1 << (bit % 8)));
        if (crcOf(damaged) == 0)
            QFAIL(qPrintable(QStringLiteral("bit %1 flipped goes unnoticed").arg(bit)));
    }
}

void FramesTest::builders_data() {
    using namespace frames;
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("read 10 from 0x0200")
        << built([](quint8* o) { return BuildRead(o, 1, 0x0200, 10); })
        << QByteArray::fromHex("01 03 02 00 00 0A C4 75");
    QTest::newRow("read 58 from 0") << built([](quint8* o) { return BuildRead(o, 1, 0, 58); })
                                    << QByteArray::fromHex("01 03 00 00 00 3A C5 D9");
    QTest::newRow("read 7 from 0x0900")
        << built([](quint8* o) { return BuildRead(o, 1, 0x0900, 7); })
        << QByteArray::fromHex("01 03 09 00 00 07 07 94");
    QTest::newRow("read at slave 247") << built([](quint8* o) { return BuildRead(o, 247, 0, 58); })
                                       << QByteArray::fromHex("F7 03 00 00 00 3A D1 4F");
    QTest::newRow("write 5 to 0x0204")
        << built([](quint8* o) { return BuildWrite06(o, 1, 0x0204, 5); })
        << QByteArray::fromHex("01 06 02 04 00 05 09 B0");
    QTest::newRow("write 1.0 to 0x0800")
        << built([](quint8* o) { return BuildWriteLong(o, 1, 0x0800, 2, 0x3F800000); })
        << QByteArray::fromHex("01 10 08 00 00 02 04 3F 80 00 00 99 93");
    QTest::newRow("write 230.0 to 0x0700")
        << built([](quint8* o) { return BuildWriteLong(o, 1, 0x0700, 2, 0x43660000); })
        << QByteArray::fromHex("01 10 07 00 00 02 04 43 66 00 00 20 04");
    // The count goes out as given while the data stays four bytes.
    QTest::newRow("32-bit value, count 0x81")
        << built([](quint8* o) { return BuildWriteLong(o, 1, 0x0800, 0x81, 0x12345678); })
        << QByteArray::fromHex("01 10 08 00 00 81 02 12 34 56 78 78 A8");
    QTest::newRow("3 words to 0x0400") << built([](quint8* o) {
        const quint16 words[] = {1, 2, 3};
        return BuildWriteBlock(o, 1, 0x0400, words, 3);
    }) << QByteArray::fromHex("01 10 04 00 00 03 06 00 01 00 02 00 03 2F B1");
    QTest::newRow("6 words to 0x0900") << built([](quint8* o) {
        const quint16 words[] = {2024, 5, 17, 10, 30, 0};
        return BuildWriteBlock(o, 1, 0x0900, words, 6);
    }) << QByteArray::fromHex("01 10 09 00 00 06 0C 07 E8 00 05 00 11 00 0A 00 1E 00 00 92 BB");
}

void FramesTest::builders() {
    QFETCH(QByteArray, frame);
    QFETCH(QByteArray, expected);
    QCOMPARE(frame.toHex(' '), expected.toHex(' '));
}

void FramesTest::byteCountKeepsLowEightBits_data() {
    using namespace frames;
    static const std::array<quint16, kMaxBlockWords> kWords{};
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("byteCount");
    QTest::newRow("32-bit, count 2")
        << built([](quint8* o) { return BuildWriteLong(o, 1, 0, 2, 0); }) << 13 << 0x04;
    QTest::newRow("32-bit, count 0x80")
        << built([](quint8* o) { return BuildWriteLong(o, 1, 0, 0x80, 0); }) << 13 << 0x00;
    QTest::newRow("32-bit, count 0x1FF")
        << built([](quint8* o) { return BuildWriteLong(o, 1, 0, 0x1FF, 0); }) << 13 << 0xFE;
    QTest::newRow("block of 1") << built([](quint8* o) {
        return BuildWriteBlock(o, 1, 0, kWords.data(), 1);
    }) << 11 << 0x02;
    QTest::newRow("block of 123") << built([](quint8* o) {
        return BuildWriteBlock(o, 1, 0, kWords.data(), kMaxBlockWords);
    }) << 255 << 0xF6;
}

void FramesTest::byteCountKeepsLowEightBits() {
    QFETCH(QByteArray, frame);
    QFETCH(int, length);
    QFETCH(int, byteCount);
    QCOMPARE(frame.size(), length);
    QCOMPARE(quint8(frame.at(6)), quint8(byteCount));
    QCOMPARE(crcOf(frame), quint16(0));
}

void FramesTest::recordAddressKeepsLowByte_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("read") << int(Read) << QByteArray::fromHex("01 03 00 00 00 3A C5 D9");
    QTest::newRow("write 06") << int(Write06) << QByteArray::fromHex("01 06 02 04 00 05 09 B0");
}

// The two operations that address the record's own number put only its low byte on the wire.
void FramesTest::recordAddressKeepsLowByte() {
    QFETCH(int, kind);
    QFETCH(QByteArray, expected);
    FakePort port;
    ManualClock clock;
    LinkEngine engine(&port, &clock, nullptr);
    RequestRecord r;
    r.SlaveAddress = 0x0301;
    if (kind == Read) {
        r.RegisterCount = 58;
        r.ReplyLength = 121;
        QVERIFY(engine.SendInquiry(r));
    } else {
        r.StartRegister = 0x0204;
        r.WordValue = 5;
        QVERIFY(engine.SendInquiryWrite06(r));
    }
    QCOMPARE(port.lastWritten().toHex(' '), expected.toHex(' '));
}

void FramesTest::matchesLibmodbus_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("slave");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("count");
    QTest::addColumn<QList<quint16>>("words");
    QList<quint16> clock{2024, 12, 31, 23, 59, 58};
    QList<quint16> longest;
    for (int i = 0; i < frames::kMaxBlockWords; ++i)
        longest << quint16(0xFFFF - 257 * i);
    QTest::newRow("read 58 from 0") << int(Read) << 1 << 0 << 58 << QList<quint16>{};
    QTest::newRow("read 1 from 0x0216 at 247")
        << int(Read) << 247 << 0x0216 << 1 << QList<quint16>{};
    QTest::newRow("write 06 to 0x02FF")
        << int(Write06) << 17 << 0x02FF << 1 << QList<quint16>{0xA5C3};
    QTest::newRow("write -1.5 to 0x0700")
        << int(WriteLong) << 1 << 0x0700 << 2 << QList<quint16>{0xBFC0, 0x0000};
    QTest::newRow("write 0x12345678 to 0x080C")
        << int(WriteLong) << 200 << 0x080C << 2 << QList<quint16>{0x1234, 0x5678};
    QTest::newRow("write 6 words to 0x0900") << int(WriteBlock) << 1 << 0x0900 << 6 << clock;
    QTest::newRow("write 123 words") << int(WriteBlock) << 3 << 0x0100 << 123 << longest;
}

void FramesTest::matchesLibmodbus() {
    QFETCH(int, kind);
    QFETCH(int, slave);
    QFETCH(int, start);
    QFETCH(int, count);
    QFETCH(QList<quint16>, words);
    LibmodbusMaster lm(slave);
    if (!lm.ok())
        QSKIP("no pseudo-terminal for libmodbus here");

    std::array<quint16, MODBUS_MAX_READ_REGISTERS> dest{};
    std::array<quint8, 300> frame{};
    int n = 0;
    switch (kind) {
        case Read:
            n = frames::BuildRead(frame.data(), quint8(slave), quint16(start), quint16(count));
            modbus_read_registers(lm.ctx(), start, count, dest.data());
            break;
        case Write06:
            n = frames::BuildWrite06(frame.data(), quint8(slave), quint16(start), words[0]);
            modbus_write_register(lm.ctx(), start, words[0]);
            break;
        case WriteLong:
            n = frames::BuildWriteLong(frame.data(), quint8(slave), quint16(start), quint16(count),
                                       quint32(words[0]) << 16 | words[1]);
            modbus_write_registers(lm.ctx(), start, count, words.constData());
            break;
        case WriteBlock:
            n = frames::BuildWriteBlock(frame.data(), quint8(slave), quint16(start),
                                        words.constData(), quint16(count));
            modbus_write_registers(lm.ctx(), start, count, words.constData());
            break;
    }
    const QByteArray ours(reinterpret_cast<const char*>(frame.data()), n);
    QCOMPARE(ours.toHex(' '), lm.sent(n).toHex(' '));
}

void FramesTest::exceptionTexts_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    // The device reuses the standard text of code 7 for its own code 70.
    const QString hardwareProtection =
        QStringLiteral("На изменяемый параметр установлена аппаратная защита");
    QTest::newRow("0") << 0 << QStringLiteral("MB_EX_NONE");
    QTest::newRow("1") << 1 << QStringLiteral("Код запроса не поддерживается");
    QTest::newRow("2") << 2 << QStringLiteral("Адрес данных указанный в запросе не доступен");
    QTest::newRow("3") << 3 << QStringLiteral("Данные в запросе являются недопустимой величиной");
    QTest::newRow("4") << 4 << QStringLiteral("Невосстанавливаемая ошибка");
    QTest::newRow("5") << 5 << QStringLiteral("Обработка запроса требует много времени");
    QTest::newRow("6") << 6 << QStringLiteral("Подчиненный занят обработкой команды");
    QTest::newRow("7") << 7 << hardwareProtection;
    QTest::newRow("8") << 8 << QStringLiteral("Ошибка паритета");
    QTest::newRow("10") << 10 << QStringLiteral("MB_EX_GATEWAY_PATH_FAILED");
    QTest::newRow("11") << 11 << QStringLiteral("MB_EX_GATEWAY_TGT_FAILED");
    QTest::newRow("64") << 64 << QStringLiteral("Начало информации не кратно размерности");
    QTest::newRow("65") << 65
                        << QStringLiteral(
                               "Размер запрашиваемой информации превышает допустимую величину");
    QTest::newRow("66") << 66
                        << QStringLiteral(
                               "По запрашиваемому адресу информация отсутствует или закрыта");
    QTest::newRow("67") << 67 << QStringLiteral("Не указан точный размер информации");
    QTest::newRow("68") << 68 << QStringLiteral("недопустимый сетевой адрес");
    QTest::newRow("69") << 69 << QStringLiteral("Попытка установить недопустимое значение");
    QTest::newRow("70") << 70 << hardwareProtection;
    QTest::newRow("71") << 71 << QStringLiteral("Передан неверный пароль");
    for (int code : {9, 12, 63, 72, 200, 255})
        QTest::newRow(qPrintable(QString::number(code))) << code << QString();
}

void FramesTest::exceptionTexts() {
    QFETCH(int, code);
    QFETCH(QString, text);
    QCOMPARE(ExceptionReplyText(quint8(code)), text);
}

QTEST_GUILESS_MAIN(FramesTest)
#include "unit_frames.moc"
