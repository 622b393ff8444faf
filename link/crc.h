#pragma once
#include <QtGlobal>

// CRC-16/MODBUS, byte-wise through the two 256-entry half tables.
// The high byte of the result is the low byte of the CRC register, so a frame is finished by
// appending (result >> 8) and then (result & 0xFF). Over an intact frame, checksum included,
// the result is 0.
quint16 ModbusCrc16(const quint8* bytes, quint16 length);
