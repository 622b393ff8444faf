#include "link/serialport.h"

QString ComDevicePath(int n, const std::function<QString(int)>& override) {
    if (override) {
        QString path = override(n);
        if (!path.isEmpty())
            return path;
    }
    return QStringLiteral("/dev/ttyS%1").arg(n - 1);
}
