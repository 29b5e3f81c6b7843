#include "core/safe_save.h"

#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "core/file_error.h"
#include "core/root_file_rules.h"

namespace {

[[noreturn]] void fail(const QString& path, const QString& reason) {
    throw FileError(QStringLiteral("%1 を保存できません。\n%2\n元のファイルは変更されていません。")
                        .arg(QFileInfo(path).fileName(), reason));
}

[[noreturn]] void fail(const QString& path, int error_number) {
    fail(path, system_reason(error_number));
}

// The new file gets the old one's owner and group where we may; a user who
// may not give files away keeps at least the group where it is one of theirs.
bool keep_owner(int fd, const struct stat& old) {
    if (::fchown(fd, old.st_uid, old.st_gid) == 0)
        return true;
    if (errno != EPERM)
        return false;
    return ::fchown(fd, static_cast<uid_t>(-1), old.st_gid) == 0 || errno == EPERM;
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

void save_file_safely(const QString& path, const QByteArray& data,
                      std::optional<unsigned> fixed_mode) {
    const std::string target = QFile::encodeName(path).toStdString();
    const QString dir_q = QFileInfo(path).absolutePath();
    const std::string dir = QFile::encodeName(dir_q).toStdString();

    mode_t mode = 0644;
    struct stat old {};
    const bool as_root = root_file_rules_apply();
    const int looked = as_root ? ::lstat(target.c_str(), &old) : ::stat(target.c_str(), &old);
    const int look_error = looked == 0 ? 0 : errno;
    if (as_root && (looked == 0 || look_error == ENOENT)) {
        if (std::optional<QString> refusal =
                root_file_refusal(target, looked == 0 ? &old : nullptr))
            fail(path, *refusal);
    }
    const bool replacing = looked == 0;
    if (replacing) {
        // A file the operator made read-only is not replaced behind their
        // back, even though the directory would allow the rename.
        if (::access(target.c_str(), W_OK) != 0)
            fail(path, errno);
        if ((old.st_mode & 0222) == 0)
            fail(path, EACCES); // root may write anywhere; a read-only file still says no
        // Never set-user-ID, set-group-ID or sticky: whatever the old file
        // was, this one holds only text.
        mode = old.st_mode & 0777;
    } else if (look_error != ENOENT) {
        fail(path, look_error);
    }

    if (fixed_mode)
        mode = static_cast<mode_t>(*fixed_mode & 0777);

    std::string tmp = target + ".XXXXXX";
    int fd = ::mkstemp(tmp.data());
    if (fd < 0)
        fail(path, errno);

    int error_number = 0;
    if (!write_all(fd, data.constData(), static_cast<size_t>(data.size())) ||
        (replacing && !keep_owner(fd, old)) || ::fchmod(fd, mode) != 0 || ::fsync(fd) != 0)
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
