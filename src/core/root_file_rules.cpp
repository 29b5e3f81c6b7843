#include "core/root_file_rules.h"

#include <QFile>
#include <QFileInfo>
#include <unistd.h>

bool root_file_rules_apply() {
    return ::geteuid() == 0;
}

QString root_symlink_refusal() {
    return QStringLiteral("root として実行中は、シンボリックリンクのファイルは使えません。");
}

std::optional<QString> root_file_refusal(const std::string& path, const struct stat* file) {
    if (file) {
        if (S_ISLNK(file->st_mode))
            return root_symlink_refusal();
        if (file->st_uid != 0)
            return QStringLiteral("root として実行中は、root 以外が所有するファイルは使えません。");
        if (file->st_mode & (S_IWGRP | S_IWOTH))
            return QStringLiteral(
                "root として実行中は、グループや他のユーザーが書き込めるファイルは使えません。");
    }
    // Whoever may write the folder may swap the file for another at any time.
    const QString folder = QFileInfo(QFile::decodeName(path.c_str())).absolutePath();
    struct stat dir {};
    if (::stat(QFile::encodeName(folder).constData(), &dir) != 0)
        return QStringLiteral("root として実行中は、確かめられないフォルダー（%1）のファイルは"
                              "使えません。")
            .arg(folder);
    if (dir.st_uid != 0)
        return QStringLiteral("root として実行中は、root 以外が所有するフォルダー（%1）の"
                              "ファイルは使えません。")
            .arg(folder);
    if (dir.st_mode & (S_IWGRP | S_IWOTH))
        return QStringLiteral("root として実行中は、グループや他のユーザーが書き込めるフォルダー"
                              "（%1）のファイルは使えません。")
            .arg(folder);
    return std::nullopt;
}
