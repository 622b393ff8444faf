#include "settings/remoteindicator.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "link/crc.h"

namespace remoteindicator {

namespace {

constexpr quint8 kHeader0 = 0x03;
constexpr quint8 kHeader1 = 0x00;
constexpr quint8 kReadMarker = 0xF0;
constexpr quint8 kWriteMarker = 0xE0;
constexpr quint8 kNoSelectionByte = 0xFF;

bool ValidCode(int code) {
    return code >= 0 && code <= kLastCode;
}

// Appends the checksum after `length` bytes, low byte first.
void FinishFrame(quint8* frame, int length) {
    const quint16 crc = ModbusCrc16(frame, quint16(length));
    frame[length] = quint8(crc >> 8);
    frame[length + 1] = quint8(crc & 0xFF);
}

quint8 SelectionByte(int index) {
    return index >= 0 && index <= 0xFE ? quint8(index) : kNoSelectionByte;
}

}  // namespace

const SetpointRule* RuleFor(int code) {
    if (!ValidCode(code))
        return nullptr;
    for (const SetpointRule& r : kSetpointRules) {
        if (r.codes & (1u << code))
            return &r;
    }
    return nullptr;
}

bool BlankedInTwoElement(int code) {
    return ValidCode(code) && (kTwoElementBlanked & (1u << code)) != 0;
}

double ClampSetpoint(const SetpointRule& rule, double percent) {
    return std::clamp(percent, double(rule.underMin), double(rule.overMax));
}

double ClampTyped(double percent) {
    return std::clamp(percent, -kTypedLimit, kTypedLimit);
}

bool RemoteSaveAllowed(const std::array<int, kLineCount>& codes, int scheme) {
    if (scheme == kThreeElement)
        return true;
    return std::none_of(codes.begin(), codes.end(), BlankedInTwoElement);
}

void PutFloat(quint8* at, float value) {
    const quint32 bits = std::bit_cast<quint32>(value);
    for (int i = 0; i < 4; ++i)
        at[i] = quint8(bits >> (8 * i));
}

float GetFloat(const quint8* at) {
    quint32 bits = 0;
    for (int i = 0; i < 4; ++i)
        bits |= quint32(at[i]) << (8 * i);
    return std::bit_cast<float>(bits);
}

int BuildReadRequest(quint8* out) {
    out[0] = kHeader0;
    out[1] = kHeader1;
    out[2] = kReadMarker;
    FinishFrame(out, 3);
    return kReadRequestLength;
}

std::array<quint8, kFrameLength> BuildWriteFrame(const Settings& s) {
    std::array<quint8, kFrameLength> f{};
    f[0] = kHeader0;
    f[1] = kHeader1;
    f[2] = kWriteMarker;
    for (int i = 0; i < kLineCount; ++i) {
        quint8* line = f.data() + kLineOffset + kLineStride * i;
        const Line& l = s.lines[size_t(i)];
        line[kCodeAt] = SelectionByte(l.code);
        PutFloat(line + kPlusOneAt, 1.0f);
        PutFloat(line + kMinusOneAt, -1.0f);
        PutFloat(line + kOverAt, float(l.overPercent * 0.01));
        PutFloat(line + kUnderAt, float(l.underPercent * 0.01));
    }
    PutFloat(f.data() + kTrailerOneAt, 1.0f);
    PutFloat(f.data() + kTrailerTwoAt, 1.0f);
    f[kSchemeAt] = SelectionByte(s.scheme);
    FinishFrame(f.data(), kChecksumAt);
    return f;
}

std::optional<Settings> ParseReply(const quint8* reply, int length) {
    if (reply == nullptr || length < kFrameLength)
        return std::nullopt;
    Settings s;
    for (int i = 0; i < kLineCount; ++i) {
        const quint8* line = reply + kLineOffset + kLineStride * i;
        Line& l = s.lines[size_t(i)];
        l.code = ValidCode(line[kCodeAt]) ? int(line[kCodeAt]) : kNone;
        l.overPercent = double(GetFloat(line + kOverAt)) * 100.0;
        l.underPercent = double(GetFloat(line + kUnderAt)) * 100.0;
    }
    const quint8 scheme = reply[kSchemeAt];
    s.scheme = (scheme == kTwoElement || scheme == kThreeElement) ? int(scheme) : kNone;
    return s;
}

}  // namespace remoteindicator
