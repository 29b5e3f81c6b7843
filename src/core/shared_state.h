#pragma once
// Everything the monitor works on: the settings, how notices reach the mail
// server, the target list, the monitoring state, what happens to it and what
// the checks found. One instance lives for the whole run; the windows and the
// checks share it.
#include "core/mail_security.h"
#include "core/monitor_events.h"
#include "core/monitor_state.h"
#include "core/settings.h"
#include "core/target_list.h"
#include "core/target_status.h"

struct SharedState {
    Settings settings;
    TargetList targets;
    MonitorState monitor;
    MonitorEvents events;
    TargetStatusTable status;
    MailSecurity mail_security;
};
