#pragma once
#include <QByteArray>
#include <QList>
#include <cstring>

#include "link/crc.h"

// Reply frames as a transducer sends them.
namespace replies {

inline QByteArray withCrc(QByteArray body) {
    const quint16 crc =
        ModbusCrc16(reinterpret_cast<const quint8*>(body.constData()), quint16(body.size()));
    body.append(char(crc >> 8));
    body.append(char(crc & 0xFF));
    return body;
}

inline bool checksumRight(const QByteArray& frame) {
    return ModbusCrc16(reinterpret_cast<const quint8*>(frame.constData()), quint16(frame.size())) ==
           0;
}

// A function 3 reply carrying the given register words.
inline QByteArray read(const QList<quint16>& words, quint8 slave = 1) {
    QByteArray body;
    body.append(char(slave));
    body.append(char(3));
    body.append(char(2 * words.size()));
    for (quint16 w : words) {
        body.append(char(w >> 8));
        body.append(char(w & 0xFF));
    }
    return withCrc(body);
}

// The measured-value block: one float per parameter, high register first; a NaN in
// `values` stands for the no-information marker.
inline QByteArray measuredBlock(const QList<float>& values, quint8 slave = 1) {
    QList<quint16> words;
    for (float v : values) {
        quint32 bits = 0xFFFFFFFFu;
        if (v == v)
            std::memcpy(&bits, &v, 4);
        words << quint16(bits >> 16) << quint16(bits & 0xFFFF);
    }
    return read(words, slave);
}

inline QByteArray exception(quint8 function, quint8 code, quint8 slave = 1) {
    QByteArray body;
    body.append(char(slave));
    body.append(char(function | 0x80));
    body.append(char(code));
    return withCrc(body);
}

}  // namespace replies
