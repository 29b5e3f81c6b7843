#pragma once
// Everything the monitor works on: the settings, the target list and the
// monitoring state, and how notices reach the mail server. One instance lives for the whole run;
// the windows and the checks share it.
#include "core/mail_security.h"
#include "core/monitor_state.h"
#include "core/settings.h"
#include "core/target_list.h"

struct SharedState {
    Settings settings;
    TargetList targets;
    MonitorState monitor;
    MailSecurity mail_security;
};
