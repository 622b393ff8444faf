#include "link/crc.h"

#include <array>

namespace {

// The two half tables of the reflected CRC-16 (polynomial 0xA001): low and high bytes of the
// 256 register values that one table step adds.
struct CrcTables {
    std::array<quint8, 256> low{};
    std::array<quint8, 256> high{};
};

constexpr CrcTables MakeTables() {
    CrcTables t;
    for (int i = 0; i < 256; ++i) {
        quint16 r = quint16(i);
        for (int bit = 0; bit < 8; ++bit)
            r = (r & 1) ? quint16((r >> 1) ^ 0xA001) : quint16(r >> 1);
        t.low[i] = quint8(r & 0xFF);
        t.high[i] = quint8(r >> 8);
    }
    return t;
}

constexpr CrcTables kTables = MakeTables();

}  // namespace

quint16 ModbusCrc16(const quint8* bytes, quint16 length) {
    quint8 first = 0xFF;   // becomes the low byte of the CRC register
    quint8 second = 0xFF;  // the high byte
    for (quint16 i = 0; i < length; ++i) {
        const quint8 index = bytes[i] ^ first;
        first = second ^ kTables.low[index];
        second = kTables.high[index];
    }
    return quint16(first << 8 | second);
}
