#include "sim/responder.h"

#include "link/crc.h"

namespace sim {

namespace {

constexpr quint8 kBroadcast = 0;

quint16 word(const QByteArray& b, int at) {
    return quint16(quint8(b[at]) << 8 | quint8(b[at + 1]));
}

void appendWord(QByteArray& b, quint16 w) {
    b.append(char(w >> 8));
    b.append(char(w & 0xFF));
}

QByteArray finished(QByteArray b) {
    const quint16 crc =
        ModbusCrc16(reinterpret_cast<const quint8*>(b.constData()), quint16(b.size()));
    b.append(char(crc >> 8));
    b.append(char(crc & 0xFF));
    return b;
}

Answer modbus(QByteArray bytes) {
    return {Answer::Modbus, finished(std::move(bytes)), {}};
}

Answer remoteIndicator(DeviceModel& device, const QByteArray& frame) {
    if (frame.size() == kRemoteReadLength)
        return {Answer::RemoteIndicator, device.remoteIndicatorFrame(), {}};
    device.storeRemoteIndicator(frame);
    return {Answer::RemoteIndicator, finished(frame.left(3) + QByteArray(1, '\0')), {}};
}

}  // namespace

bool IsRemoteIndicatorFrame(const QByteArray& frame) {
    return frame.size() >= 2 && quint8(frame[0]) == 0x03 && frame[1] == 0;
}

QByteArray ExceptionReply(const QByteArray& request, quint8 code) {
    QByteArray b;
    b.append(request[0]);
    b.append(char(quint8(request[1]) | 0x80));
    b.append(char(code));
    return finished(b);
}

Answer Respond(DeviceModel& device, const QByteArray& frame) {
    if (frame.size() < 4)
        return {Answer::Silent, {}, QStringLiteral("too short")};
    if (IsRemoteIndicatorFrame(frame))
        return remoteIndicator(device, frame);

    const quint8 address = quint8(frame[0]);
    const quint8 function = quint8(frame[1]);
    if (address != device.address() && address != kBroadcast)
        return {Answer::Silent, {}, QStringLiteral("for slave %1").arg(address)};
    const bool broadcast = address == kBroadcast;
    // A broadcast is carried out but never answered, and only writes make sense in one.
    auto answer = [&](Answer a) {
        return broadcast ? Answer{Answer::Silent, {}, QStringLiteral("broadcast")} : a;
    };
    auto refuse = [&](quint8 code) {
        return answer({Answer::Modbus, ExceptionReply(frame, code), {}});
    };

    // The framer hands over only whole frames; the guard keeps a direct caller from reading
    // past a short one.
    const int needed = function == 0x10 ? 9 : 8;
    if ((function == 0x03 || function == 0x06 || function == 0x10) && frame.size() < needed)
        return refuse(kIllegalValue);

    switch (function) {
        case 0x03: {
            if (broadcast)
                return answer({});
            const quint16 start = word(frame, 2);
            const quint16 count = word(frame, 4);
            quint16 words[125];
            if (const quint8 e = device.read(start, count, words))
                return refuse(e);
            QByteArray b = frame.left(2);
            b.append(char(2 * count));
            for (int i = 0; i < count; ++i)
                appendWord(b, words[i]);
            return modbus(b);
        }
        case 0x06: {
            const quint16 r = word(frame, 2);
            if (const quint8 e = device.writeSingle(r, word(frame, 4)))
                return refuse(e);
            Answer a = answer({Answer::Modbus, frame, {}});
            a.store = r == reg::kStore;
            return a;
        }
        case 0x10: {
            const quint16 start = word(frame, 2);
            const quint16 count = word(frame, 4);
            const int bytes = quint8(frame[6]);
            if (count < 1 || count > 123 || bytes != 2 * count || frame.size() != 9 + bytes)
                return refuse(kIllegalValue);
            quint16 words[123];
            for (int i = 0; i < count; ++i)
                words[i] = word(frame, 7 + 2 * i);
            if (const quint8 e = device.writeMultiple(start, words, count))
                return refuse(e);
            Answer a = answer(modbus(frame.left(6)));
            a.store = start <= reg::kStore && start + count > reg::kStore;
            return a;
        }
        default:
            return refuse(kIllegalFunction);
    }
}

}  // namespace sim
