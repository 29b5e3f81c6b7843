#include "platform/single_instance.h"

#include <QFile>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

SingleInstanceLock::~SingleInstanceLock() {
    for (int fd : fds_)
        ::close(fd);
}

QString SingleInstanceLock::lock_path() {
    return QStringLiteral("/tmp/pelmora-%1.lock").arg(::getuid());
}

QString SingleInstanceLock::test_lock_folder() {
    const char* folder = ::secure_getenv("PELMORA_TEST_LOCK_DIR");
    if (!folder || folder[0] != '/')
        return {};
    struct stat st {};
    if (::stat(folder, &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() ||
        (st.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return {};
    return QFile::decodeName(folder);
}

QStringList SingleInstanceLock::lock_paths() {
    if (const QString tests = test_lock_folder(); !tests.isEmpty())
        return {tests + QStringLiteral("/pelmora.lock")};
    QStringList paths;
    const QString runtime = QStringLiteral("/run/user/%1").arg(::getuid());
    struct stat st {};
    if (::stat(QFile::encodeName(runtime).constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
        st.st_uid == ::getuid())
        paths << runtime + QStringLiteral("/pelmora.lock");
    paths << lock_path();
    return paths;
}

namespace {

enum class Lock { Taken, HeldElsewhere, Unusable };

Lock lock_file(const QString& path, int& fd_out) {
    const QByteArray name = QFile::encodeName(path);
    int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return Lock::Unusable;
    // In the shared temporary directory another user could have made the
    // file and hold its lock; only a file of our own can mean another copy.
    struct stat st {};
    if (::fstat(fd, &st) != 0 || st.st_uid != ::getuid()) {
        ::close(fd);
        return Lock::Unusable;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool held_elsewhere = errno == EWOULDBLOCK;
        ::close(fd);
        return held_elsewhere ? Lock::HeldElsewhere : Lock::Unusable;
    }
    fd_out = fd;
    return Lock::Taken;
}

} // namespace

bool SingleInstanceLock::acquire() {
    if (!fds_.empty())
        return true;
    std::vector<int> taken;
    for (const QString& path : lock_paths()) {
        int fd = -1;
        switch (lock_file(path, fd)) {
        case Lock::Taken:
            taken.push_back(fd);
            break;
        case Lock::HeldElsewhere:
            for (int t : taken)
                ::close(t);
            return false;
        case Lock::Unusable:
            break; // refusing to start over a lock file we cannot make would be worse
        }
    }
    fds_ = std::move(taken);
    return true;
}
