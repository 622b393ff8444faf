#include "sim/framer.h"

#include "link/crc.h"

namespace sim {

namespace {

constexpr quint8 kMaxAddress = 247;
constexpr quint8 kRemoteMarker = 0x03;  // remote indicator frames open with 03 00
constexpr quint8 kRemoteRead = 0xF0;
constexpr quint8 kRemoteWrite = 0xE0;
// The longest frame is a write of 123 registers (255 bytes) or the 65-byte remote indicator
// frame; beyond a few of those the buffer can only hold noise.
constexpr int kMaxHeld = 1024;
constexpr int kMinFrame = 4;  // address, function, two checksum bytes

bool checksumRight(const QByteArray& b, int n) {
    return ModbusCrc16(reinterpret_cast<const quint8*>(b.constData()), quint16(n)) == 0;
}

}  // namespace

int ExpectedLength(const QByteArray& b) {
    if (b.size() < 2)
        return 0;
    const quint8 address = quint8(b[0]);
    const quint8 function = quint8(b[1]);
    if (address == kRemoteMarker && function == 0x00) {
        if (b.size() < 3)
            return 0;
        switch (quint8(b[2])) {
            case kRemoteRead:
                return 5;
            case kRemoteWrite:
                return 65;
            default:
                return -2;
        }
    }
    if (address > kMaxAddress || function == 0 || function >= 0x80)
        return -2;
    switch (function) {
        case 1:
        case 2:
        case 3:
        case 4:
        case 5:
        case 6:
            return 8;
        case 15:
        case 16:
            return b.size() < 7 ? 0 : 9 + quint8(b[6]);
        default:
            return -1;
    }
}

void RequestFramer::feed(const char* data, int n, qint64 nowUs) {
    if (n <= 0)
        return;
    buffer_.append(data, n);
    lastByteUs_ = nowUs;
}

std::vector<RxItem> RequestFramer::take(qint64 nowUs) {
    std::vector<RxItem> items;
    auto giveUp = [&](int n) {
        if (items.empty() || items.back().kind != RxItem::Garbage)
            items.push_back({RxItem::Garbage, {}});
        items.back().bytes.append(buffer_.left(n));
        buffer_.remove(0, n);
    };
    if (buffer_.size() > kMaxHeld)
        giveUp(int(buffer_.size()) - kMaxHeld);

    const bool silent = nowUs - lastByteUs_ >= silenceUs_;
    while (!buffer_.isEmpty()) {
        int length = ExpectedLength(buffer_);
        if (length == -2) {
            giveUp(1);
            continue;
        }
        if (length == -1) {
            // Unknown function: after the silence everything held is the candidate.
            if (!silent)
                break;
            length = int(buffer_.size());
            if (length >= kMinFrame && checksumRight(buffer_, length)) {
                items.push_back({RxItem::Frame, buffer_});
                buffer_.clear();
            } else {
                giveUp(1);
            }
            continue;
        }
        if (length == 0 || buffer_.size() < length) {
            if (!silent)
                break;
            giveUp(1);  // cut short by the silence
            continue;
        }
        if (checksumRight(buffer_, length)) {
            items.push_back({RxItem::Frame, buffer_.left(length)});
            buffer_.remove(0, length);
        } else {
            giveUp(1);
        }
    }
    return items;
}

qint64 RequestFramer::deadlineUs() const {
    return buffer_.isEmpty() ? -1 : lastByteUs_ + silenceUs_;
}

}  // namespace sim
