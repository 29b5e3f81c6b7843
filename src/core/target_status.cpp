#include "core/target_status.h"

#include <algorithm>

#include "core/target_list.h"

namespace {

QString key_of(const Target& record) {
    return record.address + QLatin1Char('\n') + record.description;
}

} // namespace

QString target_state_text(TargetState state) {
    switch (state) {
    case TargetState::Unchecked:
        return QStringLiteral("未確認");
    case TargetState::Answering:
        return QStringLiteral("応答あり");
    case TargetState::Silent:
        return QStringLiteral("応答なし");
    case TargetState::NotMonitored:
        return QStringLiteral("監視対象外");
    }
    return {};
}

void TargetStatusTable::update(const TargetList& targets, const std::vector<EchoResult>& results,
                               const QDateTime& started, qint64 duration_ms) {
    const int count = std::clamp<int>(targets.count, 0, kTargetSlots);
    int not_answering = 0;
    for (int i = 0; i < count; ++i) {
        const Target& record = targets.records[i];
        const bool answered = static_cast<std::size_t>(i) < results.size() &&
                              results[i].outcome == EchoOutcome::Reachable;
        // as the check judges it: only a good reply clears a monitored target
        const TargetState now = !record.monitored() ? TargetState::NotMonitored
                                : answered          ? TargetState::Answering
                                                    : TargetState::Silent;
        if (now == TargetState::Silent)
            ++not_answering;
        TargetStatus& status = by_record_[key_of(record)];
        if (status.state != now || !status.since.isValid()) {
            status.state = now;
            status.since = started;
        }
        if (answered && results[i].rtt_ms)
            status.rtt_ms = results[i].rtt_ms;
    }
    last_started = started;
    last_duration_ms = duration_ms;
    last_not_answering = not_answering;
}

TargetStatus TargetStatusTable::status_of(const Target& record) const {
    return by_record_.value(key_of(record));
}
