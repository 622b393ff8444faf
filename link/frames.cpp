#include "link/frames.h"

#include "link/crc.h"

namespace frames {
namespace {

void put16(quint8* p, quint16 v) {
    p[0] = quint8(v >> 8);
    p[1] = quint8(v & 0xFF);
}

int finish(quint8* out, int length) {
    const quint16 crc = ModbusCrc16(out, quint16(length));
    out[length] = quint8(crc >> 8);
    out[length + 1] = quint8(crc & 0xFF);
    return length + 2;
}

}  // namespace

int BuildRead(quint8* out, quint8 slave, quint16 start, quint16 count) {
    out[0] = slave;
    out[1] = 0x03;
    put16(out + 2, start);
    put16(out + 4, count);
    return finish(out, 6);
}

int BuildWrite06(quint8* out, quint8 slave, quint16 reg, quint16 value) {
    out[0] = slave;
    out[1] = 0x06;
    put16(out + 2, reg);
    put16(out + 4, value);
    return finish(out, 6);
}

int BuildWriteLong(quint8* out, quint8 slave, quint16 start, quint16 count, quint32 value) {
    out[0] = slave;
    out[1] = 0x10;
    put16(out + 2, start);
    put16(out + 4, count);
    out[6] = quint8((2 * count) & 0xFF);
    put16(out + 7, quint16(value >> 16));
    put16(out + 9, quint16(value & 0xFFFF));
    return finish(out, 11);
}

int BuildWriteBlock(quint8* out, quint8 slave, quint16 start, const quint16* words, quint16 n) {
    out[0] = slave;
    out[1] = 0x10;
    put16(out + 2, start);
    put16(out + 4, n);
    out[6] = quint8((2 * n) & 0xFF);
    for (int i = 0; i < n; ++i)
        put16(out + 7 + 2 * i, words[i]);
    return finish(out, 7 + 2 * n);
}

}  // namespace frames
