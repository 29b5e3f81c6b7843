#include "targets/status_rows.h"

#include <algorithm>

#include "targets/record_split.h"

QStringList status_header() {
    return {QStringLiteral("No."),
            QStringLiteral("アドレス"),
            QStringLiteral("機器名"),
            QStringLiteral("連絡先"),
            QStringLiteral("担当者"),
            QStringLiteral("状態"),
            QStringLiteral("応答時間(ms)"),
            QStringLiteral("状態の開始"),
            QStringLiteral("稼働率(24時間)"),
            QStringLiteral("稼働率(30日)"),
            QStringLiteral("平均応答(24時間)")};
}

QString rtt_text(const std::optional<double>& rtt_ms) {
    return rtt_ms ? QString::number(*rtt_ms, 'f', 1) : QString();
}

QString availability_text(const std::optional<double>& share) {
    return share ? QString::number(*share * 100, 'f', 1) + QLatin1Char('%') : QString();
}

std::vector<QStringList> status_rows(const TargetList& targets, const TargetStatusTable& status,
                                     const FiguresByAddress& figures) {
    std::vector<QStringList> rows;
    const int count = std::clamp<int>(targets.count, 0, kTargetSlots);
    for (int i = 0; i < count; ++i) {
        const Target& record = targets.records[i];
        const std::array<QString, 3> parts = split_description(record.description);
        const TargetStatus s = status.status_of(record);
        const StatusFigures f = figures.value(record.address);
        rows.push_back({QString::number(i + 1), record.address, parts[0], parts[1], parts[2],
                        // a round trip belongs only to a target that answered the last check
                        target_state_text(s.state),
                        s.state == TargetState::Answering ? rtt_text(s.rtt_ms) : QString(),
                        s.since.isValid() ? s.since.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"))
                                          : QString(),
                        availability_text(f.availability_24h),
                        availability_text(f.availability_30d), rtt_text(f.mean_rtt_ms_24h)});
    }
    return rows;
}

int down_first_rank(const QString& state_text) {
    const TargetState order[] = {TargetState::Silent, TargetState::Unchecked,
                                 TargetState::Answering, TargetState::NotMonitored};
    for (int rank = 0; rank < 4; ++rank)
        if (state_text == target_state_text(order[rank]))
            return rank;
    return 4;
}

int rows_down(const std::vector<QStringList>& rows) {
    return static_cast<int>(std::count_if(rows.begin(), rows.end(), [](const QStringList& row) {
        return row[kStateColumn] == target_state_text(TargetState::Silent);
    }));
}

QString rows_as_tsv(const std::vector<QStringList>& rows) {
    QString text = status_header().join(QLatin1Char('\t')) + QLatin1Char('\n');
    for (const QStringList& row : rows)
        text += row.join(QLatin1Char('\t')) + QLatin1Char('\n');
    return text;
}
