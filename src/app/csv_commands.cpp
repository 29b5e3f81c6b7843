#include "app/csv_commands.h"

#include <QFileInfo>
#include <algorithm>
#include <cstdio>
#include <memory>

#include "app/stderr_lines.h"
#include "core/csv.h"
#include "core/file_error.h"
#include "core/line_file.h"
#include "core/monitor_events.h"
#include "core/target_list.h"
#include "history/history_store.h"
#include "targets/target_csv.h"
#include "targets/target_file.h"

namespace {

bool put(const QByteArray& bytes) {
    return std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout) ==
           static_cast<size_t>(bytes.size());
}

// A full disk or a closed pipe must not pass for a whole export.
int finish_output(bool written) {
    if (std::fflush(stdout) != 0 || !written || std::ferror(stdout)) {
        tell_on_stderr(QStringLiteral("標準出力に書き込めません。出力は途中までです。"));
        return 1;
    }
    return 0;
}

} // namespace

int run_export_targets() {
    auto targets = std::make_unique<TargetList>();
    const FileRead read = load_target_list(*targets);
    if (!read.ok()) {
        tell_on_stderr(read.failure().text.simplified());
        return 1;
    }
    for (const QString& warning : read.warnings())
        tell_on_stderr(warning);
    return finish_output(put(targets_csv(*targets)));
}

int run_import_targets(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    const QString unchanged = QStringLiteral("%1 は変更していません。").arg(target_file_name());
    QByteArray bytes;
    try {
        bytes = read_whole_file(path);
    } catch (const FileError& e) {
        tell_on_stderr(e.text.simplified() + u' ' + unchanged);
        return 1;
    }
    const TargetsFromCsv read = targets_from_csv(bytes);
    if (!read.targets) {
        for (const QString& problem : read.problems)
            tell_on_stderr(QStringLiteral("%1 の %2").arg(name, problem));
        tell_on_stderr(unchanged);
        return 1;
    }
    try {
        save_target_list(*read.targets);
    } catch (const FileError& e) {
        tell_on_stderr(e.text.simplified() + u' ' + unchanged);
        return 1;
    }
    const QString done = QStringLiteral("%1 に %2 件を書き込みました。\n")
                             .arg(target_file_name())
                             .arg(read.targets->count);
    return finish_output(put(done.toUtf8()));
}

int run_export_history(const std::optional<QDateTime>& since, const QString& address) {
    const QString path = QStringLiteral("pelmora.db");
    // Opening a missing database would make an empty one.
    if (!QFileInfo::exists(path)) {
        tell_on_stderr(QStringLiteral("%1 がありません。履歴はまだ記録されていません。")
                           .arg(QFileInfo(path).absoluteFilePath()));
        return 1;
    }
    HistoryOptions options;
    options.path = path;
    HistoryStore store(options);
    bool written =
        put(csv_line({QStringLiteral("time"), QStringLiteral("address"), QStringLiteral("name"),
                      QStringLiteral("answered"), QStringLiteral("rtt_ms")})
                .toUtf8());
    QString why;
    const qint64 since_s = since ? std::max<qint64>(since->toSecsSinceEpoch(), 0) : 0;
    const bool read = store.export_samples(
        since_s, address,
        [&](const StoredSample& s) {
            const QString rtt = s.rtt_us ? QString::number(*s.rtt_us / 1000.0, 'f', 3) : QString();
            written =
                put(csv_line({iso_local_time(QDateTime::fromSecsSinceEpoch(s.time_s)), s.address,
                              s.name, s.answered ? QStringLiteral("1") : QStringLiteral("0"), rtt})
                        .toUtf8()) &&
                written;
        },
        &why);
    if (!read) {
        std::fflush(stdout);
        tell_on_stderr(QStringLiteral("%1 を読み込めません: %2").arg(path, why));
        return 1;
    }
    return finish_output(written);
}
