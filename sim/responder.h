#pragma once
#include <QByteArray>

#include "sim/model.h"

// Answers one checked frame from the line as the transducer, or as the remote indicator
// beside it, would.
namespace sim {

struct Answer {
    enum Kind {
        Modbus,           // a reply (normal or exception) to a Modbus request
        RemoteIndicator,  // the remote indicator's reply
        Silent,           // nothing to send (another slave's request, a broadcast)
    };
    Kind kind = Silent;
    QByteArray bytes;
    QString note;        // why it is silent, for the log
    bool store = false;  // the request carried out the store command (register 767)
};

// Whether a checked frame is addressed to the remote indicator rather than to the transducer.
bool IsRemoteIndicatorFrame(const QByteArray& frame);

Answer Respond(DeviceModel& device, const QByteArray& frame);

// The exception reply of `code` to `request` (address and function taken from it).
QByteArray ExceptionReply(const QByteArray& request, quint8 code);

}  // namespace sim
