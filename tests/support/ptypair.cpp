#include "ptypair.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <vector>

extern char** environ;

namespace {

constexpr int kStartTimeoutMs = 5000;
constexpr int kStopTimeoutMs = 2000;

// Reaps `pid` if it has ended within `ms`; true when it is gone.
bool reapWithin(pid_t pid, int ms) {
    QDeadlineTimer deadline(ms);
    for (;;) {
        const pid_t r = waitpid(pid, nullptr, WNOHANG);
        if (r == pid || (r < 0 && errno == ECHILD))
            return true;
        if (deadline.hasExpired())
            return false;
        QThread::msleep(10);
    }
}

}  // namespace

PtyPair::PtyPair(int chunkBytes) {
    start(chunkBytes);
}

void PtyPair::start(int chunkBytes) {
    if (!dir_.isValid()) {
        error_ = QStringLiteral("no temporary directory: ") + dir_.errorString();
        return;
    }
    pathA_ = dir_.filePath(QStringLiteral("A"));
    pathB_ = dir_.filePath(QStringLiteral("B"));
    logPath_ = dir_.filePath(QStringLiteral("socat.log"));

    // socat reports on stderr (-d -d); the log is kept only to explain a failed start.
    QList<QByteArray> args{"socat", "-d", "-d"};
    if (chunkBytes > 0)
        args << "-b" + QByteArray::number(chunkBytes);
    args << "pty,raw,echo=0,link=" + QFile::encodeName(pathA_)
         << "pty,raw,echo=0,link=" + QFile::encodeName(pathB_);
    std::vector<char*> argv;
    for (QByteArray& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    const QByteArray log = QFile::encodeName(logPath_);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.constData(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    const int rc = posix_spawnp(&pid_, "socat", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        pid_ = -1;
        error_ = QStringLiteral("cannot start socat: ") + QString::fromLocal8Bit(strerror(rc));
        return;
    }

    QDeadlineTimer deadline(kStartTimeoutMs);
    while (!(QFileInfo::exists(pathA_) && QFileInfo::exists(pathB_))) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            error_ = QStringLiteral("socat ended before the links appeared: ") + logTail();
            return;
        }
        if (deadline.hasExpired()) {
            error_ = QStringLiteral("socat made no links within %1 ms: ").arg(kStartTimeoutMs) +
                     logTail();
            return;
        }
        QThread::msleep(5);
    }
}

PtyPair::~PtyPair() {
    if (pid_ <= 0)
        return;
    kill(pid_, SIGTERM);
    if (!reapWithin(pid_, kStopTimeoutMs)) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

QString PtyPair::logTail() const {
    QFile f(logPath_);
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("(no socat output)");
    const QByteArray all = f.readAll();
    return QString::fromLocal8Bit(all.right(600)).trimmed();
}
