#pragma once
#include <QtGlobal>

// Qt's GLib-based event loop costs two extra passes through GLib per serial exchange; Qt's own
// Unix loop serves the port, the timers, the display connection and D-Bus (accessibility) as
// well. Must be called before the application object exists; QT_NO_GLIB set in the
// environment (to 0 or 1) is left as the user gave it.
inline void PreferUnixEventDispatcher() {
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
}
