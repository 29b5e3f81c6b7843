#include "platform/single_instance.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

SingleInstanceLock::~SingleInstanceLock() {
    if (fd_ >= 0)
        ::close(fd_);
}

QString SingleInstanceLock::lock_path() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(runtime).exists())
        return QDir(runtime).filePath(QStringLiteral("pelmora.lock"));
    return QDir(QDir::tempPath()).filePath(QStringLiteral("pelmora-%1.lock").arg(::getuid()));
}

bool SingleInstanceLock::acquire() {
    if (fd_ >= 0)
        return true;
    const QByteArray path = QFile::encodeName(lock_path());
    int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return true; // refusing to start over a lock file we cannot make would be worse
    // In the shared temporary directory another user could have made the
    // file and hold its lock; only a file of our own can mean another copy.
    struct stat st {};
    if (::fstat(fd, &st) != 0 || st.st_uid != ::getuid()) {
        ::close(fd);
        return true;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool held_elsewhere = errno == EWOULDBLOCK;
        ::close(fd);
        return !held_elsewhere;
    }
    fd_ = fd;
    return true;
}
