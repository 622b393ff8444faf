#pragma once
#include <QStringList>

#include "widgets/messagebox.h"

// Collects every operator message of a test instead of showing it.
class MessageRecorder {
  public:
    MessageRecorder() {
        messagebox::SetAnswerer([this](const QString& text) { messages.append(text); });
    }
    ~MessageRecorder() { messagebox::SetAnswerer({}); }
    QStringList take() {
        QStringList out = messages;
        messages.clear();
        return out;
    }
    QStringList messages;
};
