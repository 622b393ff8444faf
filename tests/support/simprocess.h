#pragma once
// tervex-sim as a child process of a test, on a link of its own in a private temporary
// directory. It is started with a fresh pseudo-terminal every time and ended by its PID.
#include <signal.h>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

class SimProcess {
  public:
    ~SimProcess() { stop(); }

    // Starts it and waits for its ready line. On failure errorString() says why.
    bool start(const QStringList& options = {}) {
        if (!dir_.isValid()) {
            error_ = QStringLiteral("no temporary directory");
            return false;
        }
        path_ = dir_.filePath(QStringLiteral("line"));
        process_.start(QStringLiteral(TERVEX_SIM_PATH), QStringList{path_} + options);
        const QByteArray ready = "tervex-sim: ready " + path_.toLocal8Bit();
        QDeadlineTimer deadline(5000);
        while (!deadline.hasExpired()) {
            while (process_.canReadLine()) {
                const QByteArray line = process_.readLine().trimmed();
                stdout_ += line + '\n';
                if (line == ready)
                    return QFileInfo::exists(path_) ||
                           fail(QStringLiteral("ready, but %1 does not exist").arg(path_));
            }
            if (process_.state() == QProcess::NotRunning)
                return fail(QStringLiteral("tervex-sim ended before it was ready"));
            process_.waitForReadyRead(100);
        }
        return fail(QStringLiteral("tervex-sim was not ready within 5 s"));
    }

    QString path() const { return path_; }
    QString errorString() const { return error_; }
    qint64 pid() const { return process_.processId(); }

    // Ends it with `signal` and returns everything it printed on standard output; -1 as exit
    // code when it had to be killed.
    QByteArray stop(int* exitCode = nullptr, int signal = SIGTERM) {
        if (exitCode)
            *exitCode = -1;
        if (process_.state() == QProcess::NotRunning)
            return stdout_;
        ::kill(pid_t(process_.processId()), signal);
        if (process_.waitForFinished(3000)) {
            if (exitCode && process_.exitStatus() == QProcess::NormalExit)
                *exitCode = process_.exitCode();
        } else {
            process_.kill();
            process_.waitForFinished(1000);
        }
        stdout_ += process_.readAllStandardOutput();
        stderr_ += process_.readAllStandardError();
        return stdout_;
    }
    QByteArray standardError() {
        stderr_ += process_.readAllStandardError();
        return stderr_;
    }

  private:
    bool fail(const QString& why) {
        error_ = why + QStringLiteral("; its output: ") +
                 QString::fromLocal8Bit(stdout_ + process_.readAllStandardError());
        return false;
    }

    QTemporaryDir dir_;
    QProcess process_;
    QString path_, error_;
    QByteArray stdout_, stderr_;
};
