#pragma once
// Everything the monitor works on: the settings, the target list and the
// monitoring state. One instance lives for the whole run; the windows and the
// checks share it.
#include "core/monitor_state.h"
#include "core/settings.h"
#include "core/target_list.h"

struct SharedState {
    Settings settings;
    TargetList targets;
    MonitorState monitor;
};
