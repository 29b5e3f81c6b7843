#include "app/work_folder.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A new file with the resource's bytes, for its owner only. The mode is set
// through the descriptor: by path, a link put there meanwhile would be
// followed; and nothing that already stands there is used.
bool create_private_file(const QString& path, const QString& resource) {
    QFile sample(resource);
    if (!sample.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = sample.readAll();
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const bool written =
        ::fchmod(fd, 0600) == 0 && ::write(fd, bytes.constData(), bytes.size()) == bytes.size();
    if (::close(fd) == 0 && written)
        return true;
    ::unlink(QFile::encodeName(path).constData()); // no half sample for the next start
    return false;
}

} // namespace

QString user_work_folder() {
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (data.isEmpty() || !QDir::isAbsolutePath(data))
        data = QDir::homePath() + QStringLiteral("/.local/share");
    return data + QStringLiteral("/pelmora");
}

PreparedFolder enter_work_folder(const QString& folder) {
    PreparedFolder result;
    QDir dir(folder);
    if (!dir.exists() && !QDir().mkpath(folder)) {
        result.error = QStringLiteral("フォルダー %1 を作成できません。").arg(folder);
        return result;
    }
    const QString conf = dir.filePath(QStringLiteral("conf.ini"));
    const QString targets = dir.filePath(QStringLiteral("kanshi.ini"));
    if (!QFile::exists(conf) && !QFile::exists(targets)) {
        // The samples are built into the program: a menu start has no other
        // place to take them from.
        for (const auto& [from, to] :
             {std::pair{QStringLiteral(":/samples/conf.ini"), conf},
              std::pair{QStringLiteral(":/samples/kanshi.ini"), targets}}) {
            if (!create_private_file(to, from)) {
                result.error = QStringLiteral("%1 を作成できません。").arg(to);
                return result;
            }
        }
        result.created_files = true;
    }
    if (!QDir::setCurrent(folder))
        result.error = QStringLiteral("フォルダー %1 に移動できません。").arg(folder);
    return result;
}

QString first_start_text(const QString& folder) {
    return QStringLiteral("設定ファイル conf.ini と監視対象ファイル kanshi.ini を\n%1\n"
                          "に作成しました（サンプルの内容です）。\n"
                          "「環境設定」と「監視設定」で内容を設定してください。")
        .arg(QDir::toNativeSeparators(folder));
}
