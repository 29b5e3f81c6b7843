#include "core/monitor_state.h"

#include <algorithm>

int MonitorState::listen(Listener listener) {
    listeners_.emplace_back(next_listener_, std::move(listener));
    return next_listener_++;
}

void MonitorState::unlisten(int id) {
    std::erase_if(listeners_, [id](const auto& l) { return l.first == id; });
}

void MonitorState::changed(MonitorField field) {
    for (const auto& [id, listener] : listeners_)
        listener(field);
}

// Setting a value announces it even when it is unchanged: the display is
// written at the same moments as the value, as an operator watching expects.
void MonitorState::set_elapsed_minutes(long long minutes) {
    elapsed_minutes_ = minutes;
    changed(MonitorField::ElapsedMinutes);
}

void MonitorState::set_interval_in_use(int16 minutes) {
    interval_in_use_ = minutes;
    changed(MonitorField::IntervalInUse);
}

void MonitorState::set_notices_in_a_row(int16 count) {
    notices_in_a_row_ = count;
    changed(MonitorField::NoticesInARow);
}

void MonitorState::set_delivery_stopped(bool stopped) {
    delivery_stopped_ = stopped;
    changed(MonitorField::DeliveryStopped);
}

void MonitorState::set_announced_targets(int16 count) {
    announced_targets_ = count;
    changed(MonitorField::AnnouncedTargets);
}
