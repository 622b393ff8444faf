#pragma once
#include <QString>

// A linked pair of pseudo-terminals made by socat. Stub; see ptypair.cpp.
class PtyPair {
public:
    PtyPair() = default;
};
