#pragma once
// Programs as the tests start them: the real binary in a folder of the
// test's own, other tools run to their end, and waiting until something holds.
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <chrono>
#include <csignal>
#include <functional>
#include <utility>
#include <vector>

#include "support/work_dir.h"

// Polls done() until it holds; false when limit passed first.
inline bool wait_for(const std::function<bool()>& done,
                     std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > limit.count())
            return false;
        QThread::msleep(20);
    }
    return true;
}

inline bool have(const char* program) {
    return !QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty();
}

struct Ran {
    int code = -1; // -1: killed, as it did not end in time
    QByteArray out;
    QString err;
};

inline Ran ended(QProcess& process, int ms) {
    Ran r;
    if (process.waitForFinished(ms)) {
        r.code = process.exitCode();
    } else {
        process.kill();
        process.waitForFinished();
    }
    r.out = process.readAllStandardOutput();
    r.err = QString::fromLocal8Bit(process.readAllStandardError());
    return r;
}

inline Ran run(const QString& program, const QStringList& arguments, int ms = 15000) {
    QProcess process;
    process.start(program, arguments);
    return ended(process, ms);
}

// The real binary working in dir, without a display, locking the test's own
// folder (use_test_lock). wrapper: a command to start it under that ends by
// running the rest of its arguments (`ip netns exec NS`, `unshare ... exec "$@"`).
class PelmoraProcess {
  public:
    PelmoraProcess(const TempWorkDir& dir, const QStringList& arguments,
                   const std::vector<std::pair<QString, QString>>& extra_environment = {},
                   const QStringList& wrapper = {}) {
        process.setWorkingDirectory(dir.root());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        for (const auto& [name, value] : extra_environment)
            env.insert(name, value);
        use_test_lock(env);
        process.setProcessEnvironment(env);
        const QStringList command = wrapper + QStringList{QStringLiteral(PELMORA_BINARY)};
        process.start(command[0], command.mid(1) + arguments);
        process.waitForStarted();
    }
    ~PelmoraProcess() {
        if (process.state() != QProcess::NotRunning) {
            signal(SIGTERM);
            if (!process.waitForFinished(3000))
                process.kill();
            process.waitForFinished();
        }
    }
    void signal(int number) { ::kill(static_cast<pid_t>(process.processId()), number); }
    QString error_output() { return QString::fromLocal8Bit(process.readAllStandardError()); }
    // Waits until its stderr has said text; false when it ended or never did.
    bool says(const QString& text, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        return wait_for(
                   [&] {
                       process.waitForReadyRead(50);
                       said += error_output();
                       return said.contains(text) || process.state() == QProcess::NotRunning;
                   },
                   limit) &&
               said.contains(text);
    }

    QProcess process;
    QString said; // its stderr as read by says()
};

inline Ran run_once(const QStringList& arguments, const TempWorkDir& dir, int ms = 10000) {
    PelmoraProcess pelmora(dir, arguments);
    return ended(pelmora.process, ms);
}
