#pragma once
#include <QString>

// Operator text for a device exception code; an empty text for codes the device does not
// document (no message is shown for those).
QString ExceptionReplyText(quint8 code);
