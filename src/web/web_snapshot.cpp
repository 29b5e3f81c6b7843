#include "web/web_snapshot.h"

#include <QDateTime>
#include <algorithm>

#include "core/shared_state.h"

void split_description_parts(const QString& description, QString* name, QString* contact,
                             QString* person) {
    const qsizetype first = description.indexOf(kDescriptionSeparator);
    const qsizetype second = first < 0 ? -1 : description.indexOf(kDescriptionSeparator, first + 1);
    *name = first < 0 ? description : description.left(first);
    *contact = first < 0    ? QString()
               : second < 0 ? description.mid(first + 1)
                            : description.mid(first + 1, second - first - 1);
    *person = second < 0 ? QString() : description.mid(second + 1);
}

SnapshotPublisher::SnapshotPublisher(SharedState& state, int minute_ms)
    : state_(state), minute_ms_(minute_ms) {
    elapsed_changed_ms_ = QDateTime::currentMSecsSinceEpoch();
    events_listener_ = state_.events.listen([this](const MonitorEvent& event) {
        if (event.kind == EventKind::Check) {
            ++checks_total_;
        } else if (event.kind == EventKind::Notice) {
            // "to=… result=… …": the recipient has no blank
            const QString result = event.detail.section(QLatin1Char(' '), 1, 1);
            if (result == QLatin1String("result=sent"))
                ++sent_;
            else if (result == QLatin1String("result=superseded"))
                ++superseded_;
            else if (result == QLatin1String("result=failed"))
                ++failed_;
        }
        publish();
    });
    monitor_listener_ = state_.monitor.listen([this](MonitorField field) {
        if (field == MonitorField::ElapsedMinutes)
            elapsed_changed_ms_ = QDateTime::currentMSecsSinceEpoch();
        publish();
    });
    publish();
}

SnapshotPublisher::~SnapshotPublisher() {
    state_.events.unlisten(events_listener_);
    state_.monitor.unlisten(monitor_listener_);
}

std::shared_ptr<const WebSnapshot> SnapshotPublisher::current() const {
    std::lock_guard lock(mutex_);
    return current_;
}

void SnapshotPublisher::publish() {
    auto s = std::make_shared<WebSnapshot>();
    s->taken_s = QDateTime::currentSecsSinceEpoch();
    const TargetList& list = state_.targets;
    const int count = std::clamp<int>(list.count, 0, kTargetSlots);
    s->targets.reserve(count);
    for (int i = 0; i < count; ++i) {
        const Target& record = list.records[i];
        const TargetStatus status = state_.status.status_of(record);
        WebTarget t;
        t.record = i + 1;
        t.address = record.address;
        split_description_parts(record.description, &t.name, &t.contact, &t.person);
        // a record the last check did not see as it stands is 未確認
        t.state = !record.monitored() && status.state == TargetState::Unchecked
                      ? TargetState::NotMonitored
                      : status.state;
        if (t.state == TargetState::Answering)
            t.rtt_ms = status.rtt_ms;
        if (status.since.isValid())
            t.since_s = status.since.toSecsSinceEpoch();
        s->targets.push_back(std::move(t));
    }
    const TargetStatusTable& table = state_.status;
    if (table.last_started.isValid())
        s->last_check_s = table.last_started.toSecsSinceEpoch();
    s->last_duration_s = static_cast<double>(table.last_duration_ms) / 1000.0;
    s->checking = table.checking;
    const MonitorState& monitor = state_.monitor;
    s->interval_minutes = monitor.interval_in_use();
    s->minute_ms = minute_ms_;
    if (monitor.interval_in_use() > 0) {
        const long long elapsed = table.checking ? 0 : monitor.elapsed_minutes();
        const long long left = std::max<long long>(1, monitor.interval_in_use() - elapsed);
        const qint64 base = table.checking ? s->taken_s * 1000 : elapsed_changed_ms_;
        s->next_check_s = (base + left * minute_ms_ + 999) / 1000;
    }
    s->delivery_stopped = monitor.delivery_stopped();
    s->notices_in_a_row = monitor.notices_in_a_row();
    s->checks_total = checks_total_;
    s->notices_sent = sent_;
    s->notices_failed = failed_;
    s->notices_superseded = superseded_;
    s->log_problem = state_.events.log_problem();
    s->version = QStringLiteral(PELMORA_VERSION);
    std::lock_guard lock(mutex_);
    current_ = std::move(s);
}
