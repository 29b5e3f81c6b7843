#include "app/work_folder.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

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
            if (!QFile::copy(from, to)) {
                result.error = QStringLiteral("%1 を作成できません。").arg(to);
                return result;
            }
            QFile::setPermissions(to, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
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
