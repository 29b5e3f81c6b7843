#pragma once
// Temporary working directories and file helpers for tests.
#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>

class TempWorkDir {
  public:
    TempWorkDir();
    QString path(const QString& name) const { return dir_.filePath(name); }
    QString root() const { return dir_.path(); }
    void write(const QString& name, const QByteArray& bytes) const;
    QByteArray read(const QString& name) const;

  private:
    QTemporaryDir dir_;
};

// Runs the current process with the effective uid/gid of nobody while alive,
// so that permission checks apply even when the tests run as root.
class AsUnprivileged {
  public:
    AsUnprivileged();
    ~AsUnprivileged();
    AsUnprivileged(const AsUnprivileged&) = delete;
    AsUnprivileged& operator=(const AsUnprivileged&) = delete;

  private:
    bool switched_ = false;
};

// A standard conf.ini for tests: the given numbers, plain ASCII texts.
QByteArray conf_bytes(int interval = 5, int ribenzi = 3, int ttl = 64, int yokusi = 3,
                      const QByteArray& server = "127.0.0.1");

// Makes the copies of the program a test starts lock a folder of this test
// program's, not where the user's running Pelmora locks; they still meet
// each other.
void use_test_lock(QProcessEnvironment& env);

// Skips the test, or fails it under CI, where every part must be there.
#define NEED(condition, why)                                                                       \
    if (!(condition)) {                                                                            \
        if (qEnvironmentVariable("CI") == QLatin1String("true"))                                   \
            FAIL() << why;                                                                         \
        GTEST_SKIP() << why;                                                                       \
    }
