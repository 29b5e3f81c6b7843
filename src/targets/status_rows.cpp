#include "targets/status_rows.h"

#include <algorithm>

#include "targets/record_split.h"

QStringList status_header() {
    return {QStringLiteral("No."),          QStringLiteral("アドレス"),  QStringLiteral("機器名"),
            QStringLiteral("連絡先"),       QStringLiteral("担当者"),    QStringLiteral("状態"),
            QStringLiteral("応答時間(ms)"), QStringLiteral("状態の開始")};
}

QString rtt_text(const std::optional<double>& rtt_ms) {
    return rtt_ms ? QString::number(*rtt_ms, 'f', 1) : QString();
}

std::vector<QStringList> status_rows(const TargetList& targets, const TargetStatusTable& status) {
    std::vector<QStringList> rows;
    const int count = std::clamp<int>(targets.count, 0, kTargetSlots);
    for (int i = 0; i < count; ++i) {
        const Target& record = targets.records[i];
        const std::array<QString, 3> parts = split_description(record.description);
        const TargetStatus s = status.status_of(record);
        rows.push_back({QString::number(i + 1), record.address, parts[0], parts[1], parts[2],
                        // a round trip belongs only to a target that answered the last check
                        target_state_text(s.state),
                        s.state == TargetState::Answering ? rtt_text(s.rtt_ms) : QString(),
                        s.since.isValid() ? s.since.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"))
                                          : QString()});
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
