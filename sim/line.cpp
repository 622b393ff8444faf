#include "sim/line.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <QFile>
#include <cerrno>
#include <cstring>

#include "sim/model.h"

namespace sim {

namespace {

QString systemError(const QString& what) {
    return QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(strerror(errno)));
}

speed_t speedConstant(int baud) {
    switch (baud) {
        case 1200:
            return B1200;
        case 2400:
            return B2400;
        case 4800:
            return B4800;
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        default:
            return B0;
    }
}

struct SpeedEntry {
    speed_t constant;
    int baud;
};
constexpr SpeedEntry kSpeedTable[] = {
    {B50, 50},       {B75, 75},         {B110, 110},       {B134, 134},       {B150, 150},
    {B200, 200},     {B300, 300},       {B600, 600},       {B1200, 1200},     {B1800, 1800},
    {B2400, 2400},   {B4800, 4800},     {B9600, 9600},     {B19200, 19200},   {B38400, 38400},
    {B57600, 57600}, {B115200, 115200}, {B230400, 230400}, {B460800, 460800},
};

// Raw 8-bit line: no echo, no line editing, no translation of bytes.
bool makeRaw(int fd) {
    termios t{};
    if (tcgetattr(fd, &t) != 0)
        return false;
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    return tcsetattr(fd, TCSANOW, &t) == 0;
}

}  // namespace

LineSettings DecodeLineSettings(unsigned speed, unsigned cflag) {
    LineSettings s;
    for (const SpeedEntry& e : kSpeedTable) {
        if (e.constant == speed)
            s.baud = e.baud;
    }
    if (cflag & PARENB)
        s.parity = (cflag & PARODD) ? kParityOdd : kParityEven;
    else
        s.parity = (cflag & PARODD) ? kParityOdd : kParityNone;
    return s;
}

QString DescribeLineSettings(const LineSettings& s) {
    static const char* const kParityNames[3] = {"no parity", "odd parity", "even parity"};
    const QString speed =
        s.baud > 0 ? QStringLiteral("%1 baud").arg(s.baud) : QStringLiteral("an unknown speed");
    return QStringLiteral("%1, %2").arg(speed, QLatin1String(kParityNames[s.parity % 3]));
}

Line::~Line() {
    if (isPty()) {
        // Remove the link only while it still leads to this run's pseudo-terminal: a later
        // run may already have taken the name.
        const QByteArray link = QFile::encodeName(path_);
        char target[256] = {};
        const ssize_t n = readlink(link.constData(), target, sizeof target - 1);
        if (n > 0 && slaveName_ == QByteArray(target, int(n)))
            unlink(link.constData());
    }
    if (fd_ >= 0)
        close(fd_);
}

std::unique_ptr<Line> Line::OpenPty(const QString& linkPath, QString* error) {
    std::unique_ptr<Line> line(new Line);
    line->fd_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (line->fd_ < 0 || grantpt(line->fd_) != 0 || unlockpt(line->fd_) != 0) {
        *error = systemError(QStringLiteral("cannot open a pseudo-terminal"));
        return nullptr;
    }
    const char* name = ptsname(line->fd_);
    if (!name) {
        *error = systemError(QStringLiteral("cannot name the pseudo-terminal"));
        return nullptr;
    }
    line->slaveName_ = name;
    fcntl(line->fd_, F_SETFD, FD_CLOEXEC);

    // A new pty echoes and edits lines until someone makes it raw; a master that opens it and
    // writes before setting its own mode would otherwise get its request echoed back.
    const int slave = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (slave < 0 || !makeRaw(slave)) {
        *error = systemError(QStringLiteral("cannot set up %1").arg(QString::fromLocal8Bit(name)));
        if (slave >= 0)
            close(slave);
        return nullptr;
    }
    close(slave);

    const QByteArray link = QFile::encodeName(linkPath);
    struct stat st {};
    if (lstat(link.constData(), &st) == 0 && !S_ISLNK(st.st_mode)) {
        *error =
            QStringLiteral("%1 exists and is not a symbolic link; not replacing it").arg(linkPath);
        return nullptr;
    }
    // Made under a temporary name and renamed over the final one, so that whoever waits for
    // the link never sees a half-made one, and a stale link is replaced in one step.
    const QByteArray temporary = link + ".tervex-sim-" + QByteArray::number(getpid());
    unlink(temporary.constData());
    if (symlink(name, temporary.constData()) != 0 ||
        rename(temporary.constData(), link.constData()) != 0) {
        *error = systemError(QStringLiteral("cannot create the link %1").arg(linkPath));
        unlink(temporary.constData());
        return nullptr;
    }
    line->path_ = linkPath;
    return line;
}

std::unique_ptr<Line> Line::OpenDevice(const QString& path, QString* error) {
    std::unique_ptr<Line> line(new Line);
    line->fd_ =
        open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (line->fd_ < 0) {
        *error = systemError(QStringLiteral("cannot open %1").arg(path));
        return nullptr;
    }
    if (!isatty(line->fd_)) {
        *error = QStringLiteral("%1 is not a serial device").arg(path);
        return nullptr;
    }
    line->path_ = path;
    return line;
}

bool Line::configure(int baud, int parity, QString* error) {
    if (isPty())
        return true;
    termios t{};
    if (tcgetattr(fd_, &t) != 0) {
        *error = systemError(QStringLiteral("cannot read the settings of %1").arg(path_));
        return false;
    }
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~(CSTOPB | PARENB | PARODD | CSIZE);
    t.c_cflag |= CS8;
    if (parity != kParityNone)
        t.c_cflag |= PARENB;
    if (parity == kParityOdd)
        t.c_cflag |= PARODD;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    const speed_t speed = speedConstant(baud);
    if (speed == B0 || cfsetispeed(&t, speed) != 0 || cfsetospeed(&t, speed) != 0 ||
        tcsetattr(fd_, TCSANOW, &t) != 0) {
        *error = systemError(QStringLiteral("cannot set %1 baud, parity code %2 on %3")
                                 .arg(baud)
                                 .arg(parity)
                                 .arg(path_));
        return false;
    }
    return true;
}

int Line::write(const QByteArray& bytes) {
    int done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += int(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            return done > 0 ? done : -1;
        } else {
            break;
        }
    }
    return done;
}

void Line::drain() {
    if (!isPty())
        tcdrain(fd_);
}

bool Line::peerPresent() const {
    if (!isPty())
        return true;
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, 0) < 0)
        return true;
    return !(p.revents & POLLHUP);
}

std::optional<LineSettings> Line::peerSettings() const {
    if (!isPty())
        return std::nullopt;
    // On the master side of a pseudo-terminal tcgetattr reports the slave's settings.
    termios t{};
    if (tcgetattr(fd_, &t) != 0)
        return std::nullopt;
    return DecodeLineSettings(cfgetospeed(&t), t.c_cflag);
}

void Line::discardUnread() {
    if (!isPty())
        return;
    const int slave = open(slaveName_.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (slave < 0)
        return;
    tcflush(slave, TCIOFLUSH);
    close(slave);
}

}  // namespace sim
