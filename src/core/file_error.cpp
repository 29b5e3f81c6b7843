#include "core/file_error.h"

#include <cerrno>
#include <cstring>

QString system_reason(int e) {
    switch (e) {
    case ENOENT:
        return QStringLiteral("ファイルがありません");
    case EACCES:
    case EPERM:
        return QStringLiteral("アクセスが拒否されました");
    case EROFS:
        return QStringLiteral("読み取り専用のファイルシステムです");
    case ENOSPC:
        return QStringLiteral("ディスクに空きがありません");
    case EDQUOT:
        return QStringLiteral("ディスク使用量の制限を超えました");
    case EISDIR:
        return QStringLiteral("ディレクトリです");
    case EIO:
        return QStringLiteral("入出力エラーです");
    default:
        return QString::fromLocal8Bit(std::strerror(e));
    }
}
