#include "core/safe_save.h"

#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "core/file_error.h"

namespace {

[[noreturn]] void fail(const QString& path, int error_number) {
    throw FileError(QStringLiteral("%1 を保存できません。\n%2\n元のファイルは変更されていません。")
                        .arg(QFileInfo(path).fileName(), system_reason(error_number)));
}

bool write_all(int fd, const char* p, size_t n) {
    while (n > 0) {
        ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

} // namespace

void save_file_safely(const QString& path, const QByteArray& data) {
    const std::string target = QFile::encodeName(path).toStdString();
    const QString dir_q = QFileInfo(path).absolutePath();
    const std::string dir = QFile::encodeName(dir_q).toStdString();

    // A file the operator made read-only is not replaced behind their back,
    // even though the directory would allow the rename.
    mode_t mode = 0644;
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0) {
        if (::access(target.c_str(), W_OK) != 0)
            fail(path, errno);
        if ((old.st_mode & 0222) == 0)
            fail(path, EACCES); // root may write anywhere; a read-only file still says no
        mode = old.st_mode & 07777;
    } else if (errno != ENOENT) {
        fail(path, errno);
    }

    std::string tmp = target + ".XXXXXX";
    int fd = ::mkstemp(tmp.data());
    if (fd < 0)
        fail(path, errno);

    int error_number = 0;
    if (!write_all(fd, data.constData(), static_cast<size_t>(data.size())) ||
        ::fchmod(fd, mode) != 0 || ::fsync(fd) != 0)
        error_number = errno;
    if (::close(fd) != 0 && error_number == 0)
        error_number = errno;
    if (error_number == 0 && ::rename(tmp.c_str(), target.c_str()) != 0)
        error_number = errno;
    if (error_number != 0) {
        ::unlink(tmp.c_str());
        fail(path, error_number);
    }

    // Make the rename itself durable.
    int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
}
