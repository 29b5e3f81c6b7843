#pragma once
// Entering and leaving the delivery stop. While stopped no failure notice is
// sent, the main window is red and the settings and target editor are locked.
#include "core/monitor_state.h"

// The stop begins; clean checks are counted from nothing.
void enter_delivery_stop(MonitorState& monitor);

// Back to normal: not stopped, both counters 0. Sends nothing and leaves the
// elapsed minutes alone.
void leave_delivery_stop(MonitorState& monitor);

// The operator ends the stop by hand (停止解除).
inline void release_delivery_stop(MonitorState& monitor) {
    leave_delivery_stop(monitor);
}
