#pragma once
#include <QtGlobal>

// Request frame builders. Each writes a complete frame, checksum included, into `out` and
// returns its length. `out` must hold at least the returned number of bytes (8, 8, 13 or
// 9 + 2n; a block write carries at most 123 words).
namespace frames {

constexpr int kReadLength = 8;
constexpr int kWrite06Length = 8;
constexpr int kWriteLongLength = 13;
constexpr int kWriteReplyLength = 8;
constexpr int kExceptionReplyLength = 5;
constexpr int kMaxBlockWords = 123;

int BuildRead(quint8* out, quint8 slave, quint16 start, quint16 count);
int BuildWrite06(quint8* out, quint8 slave, quint16 reg, quint16 value);
// 32-bit value, most significant byte first; `count` goes into the frame as given, the data
// part is always four bytes.
int BuildWriteLong(quint8* out, quint8 slave, quint16 start, quint16 count, quint32 value);
int BuildWriteBlock(quint8* out, quint8 slave, quint16 start, const quint16* words, quint16 n);

// Length of the normal reply to a read of n registers.
constexpr int ReadReplyLength(int n) {
    return 5 + 2 * n;
}
// Length of a block write frame of n words.
constexpr int BlockLength(int n) {
    return 9 + 2 * n;
}

}  // namespace frames
