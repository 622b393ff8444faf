#pragma once
#include <QString>
#include <QStringList>
#include <bitset>

#include "sim/faults.h"
#include "sim/model.h"
#include "sim/parameters.h"

namespace sim {

struct Options {
    QString link;    // symbolic link to create to a new pseudo-terminal
    QString device;  // or an existing serial device to serve
    int address = 1;
    int baud = 9600;
    int parity = 0;  // 0 none, 1 odd, 2 even: the device's own codes
    bool pace = true;
    int silenceMs = 20;
    bool strictSpeed = false;  // answer only a master at the device's own speed and parity
    std::bitset<kParameterCount> noInformation;
    double infoRate = 0;      // information-channel packets per second, 0 for none
    bool infoPaused = false;  // the packets wait for SIGUSR1
    int infoStatus = 0;
    std::bitset<kParameterCount> infoBelow, infoAbove;
    double levelPercent = 100;
    double loadPercent = kDefaultLoadPercent;
    double dipPercent = 40;
    int storeDelayMs = 0;
    int dropCorrectionAfter = 0;
    FaultRates faults;
    quint64 seed = 0;
    bool seedGiven = false;
    QString log;  // "-" for standard error
    bool help = false;
};

// Parses the arguments after the program name. Returns an empty text on success, otherwise a
// message that names the offending argument.
QString ParseOptions(const QStringList& args, Options& out);
QString HelpText();

}  // namespace sim
