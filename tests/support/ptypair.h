#pragma once
#include <sys/types.h>
#include <QString>
#include <QTemporaryDir>

// Two pseudo-terminals joined by socat: whatever is written to one end is read at the other.
// Each test takes a fresh pair, because a pty keeps bytes written while its peer was closed.
// The links live in a private temporary directory that goes away with the pair.
class PtyPair {
  public:
    // chunkBytes > 0 makes socat pass at most that many bytes per step, so a reader sees a
    // frame arrive in pieces.
    explicit PtyPair(int chunkBytes = 0);
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool ok() const { return error_.isEmpty(); }
    QString errorString() const { return error_; }
    QString pathA() const { return pathA_; }
    QString pathB() const { return pathB_; }
    pid_t pid() const { return pid_; }

  private:
    void start(int chunkBytes);
    QString logTail() const;

    QTemporaryDir dir_;
    QString pathA_, pathB_, logPath_;
    pid_t pid_ = -1;
    QString error_;
};
