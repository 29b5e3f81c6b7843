#include "core/monitor_state.h"

int MonitorState::listen(Listener listener) {
    owner_.check("MonitorState");
    return listeners_.add(std::move(listener));
}

void MonitorState::unlisten(int id) {
    owner_.check("MonitorState");
    listeners_.remove(id);
}

void MonitorState::changed(MonitorField field) {
    listeners_.tell(field);
}

// Setting a value announces it even when it is unchanged: the display is
// written at the same moments as the value, as an operator watching expects.
template <class T> void MonitorState::set(T& value, T to, MonitorField field) {
    owner_.check("MonitorState");
    value = to;
    changed(field);
}

void MonitorState::set_elapsed_minutes(long long minutes) {
    set(elapsed_minutes_, minutes, MonitorField::ElapsedMinutes);
}

void MonitorState::set_interval_in_use(int16 minutes) {
    set(interval_in_use_, minutes, MonitorField::IntervalInUse);
}

void MonitorState::set_notices_in_a_row(int16 count) {
    set(notices_in_a_row_, count, MonitorField::NoticesInARow);
}

void MonitorState::set_delivery_stopped(bool stopped) {
    set(delivery_stopped_, stopped, MonitorField::DeliveryStopped);
}

void MonitorState::set_announced_targets(int16 count) {
    set(announced_targets_, count, MonitorField::AnnouncedTargets);
}
