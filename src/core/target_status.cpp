#include "core/target_status.h"

#include <QStringList>
#include <algorithm>

#include "core/monitor_events.h"
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

QString device_name(const QString& description) {
    return visible_line(description.section(QChar(0xFF0F), 0, 0));
}

std::vector<DeviceChange> TargetStatusTable::update(const TargetList& targets,
                                                    const std::vector<EchoResult>& results,
                                                    const QDateTime& started, qint64 duration_ms) {
    const int count = std::clamp<int>(targets.count, 0, kTargetSlots);
    int not_answering = 0;
    // by address, in list order: answered if any of its monitored records did
    QStringList order;
    QHash<QString, std::pair<bool, QString>> checked;
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
        if (!record.monitored())
            continue;
        auto found = checked.find(record.address);
        if (found == checked.end()) {
            order << record.address;
            checked.insert(record.address, {answered, device_name(record.description)});
        } else {
            found->first = found->first || answered;
        }
    }
    last_started = started;
    last_duration_ms = duration_ms;
    last_not_answering = not_answering;

    std::vector<DeviceChange> changes;
    const auto change = [&](DeviceChangeKind kind, const QString& address, const QString& name,
                            const Device* before) {
        changes.push_back({kind, address, name, started,
                           before && before->since.isValid() ? before->since.secsTo(started) : 0});
    };
    for (const QString& address : order) {
        const auto& [answered, name] = checked[address];
        const auto known = devices_.constFind(address);
        const Device* before = known == devices_.constEnd() ? nullptr : &*known;
        if (!answered && (!before || !before->down))
            change(DeviceChangeKind::Down, address, name, nullptr);
        else if (answered && before && before->down)
            change(DeviceChangeKind::Up, address, name, before);
        if (!before || before->down == answered)
            devices_[address] = Device{!answered, started, name};
        else
            devices_[address].name = name;
    }
    // Sorted, so that several leaving at once are told in a steady order.
    QStringList gone;
    for (auto it = devices_.cbegin(); it != devices_.cend(); ++it)
        if (!checked.contains(it.key()))
            gone << it.key();
    gone.sort();
    for (const QString& address : gone) {
        const Device before = devices_.take(address);
        if (before.down)
            change(DeviceChangeKind::Unmonitored, address, before.name, &before);
    }
    return changes;
}

void TargetStatusTable::seed(const std::vector<DeviceLastState>& states) {
    for (const DeviceLastState& state : states)
        devices_[state.address] = Device{state.down, state.since, state.name};
}

TargetStatus TargetStatusTable::status_of(const Target& record) const {
    return by_record_.value(key_of(record));
}
