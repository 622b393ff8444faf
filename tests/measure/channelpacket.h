#pragma once
// Information-channel packets as the transducer sends them.
#include <QByteArray>
#include <array>
#include <cstring>

#include "replies.h"

namespace channel {

inline quint32 bitsOf(float v) {
    quint32 b;
    std::memcpy(&b, &v, 4);
    return b;
}

// Low 16-bit half first, each half most significant byte first.
inline QByteArray pattern(quint32 bits) {
    QByteArray b(4, '\0');
    b[0] = char(bits >> 8);
    b[1] = char(bits);
    b[2] = char(bits >> 24);
    b[3] = char(bits >> 16);
    return b;
}

struct Packet {
    qint8 status = 0;
    float voltage = 100.0f;
    float current = 5.0f;
    quint8 flag = 0;
    qint8 version = 0x15;
    std::array<quint32, 29> values = [] {
        std::array<quint32, 29> v{};
        v.fill(bitsOf(0.5f));
        return v;
    }();

    QByteArray bytes(bool goodChecksum = true) const {
        QByteArray p = QByteArray::fromHex("55AA018086");
        p.append(char(status));
        p.append(pattern(bitsOf(voltage)));
        p.append(pattern(bitsOf(current)));
        p.append(char(flag));
        p.append(char(version));
        for (quint32 v : values)
            p.append(pattern(v));
        p = replies::withCrc(p);
        if (!goodChecksum)
            p[p.size() - 1] = char(p.at(p.size() - 1) ^ 0x01);
        return p;
    }
};

// Bytes that hold no start sequence.
inline QByteArray noise(int n, char fill = 0x11) {
    return QByteArray(n, fill);
}

}  // namespace channel
