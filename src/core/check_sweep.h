#pragma once
// The check sweep: probe every monitored target, then decide by the
// delivery-stop rules which notice, if any, to mail, and keep the main
// window's stop display in step.
#include <QString>

#include "core/int16.h"

struct SharedState;
class MonitorDisplay;
class EchoEngine;
class NoticeSender;

struct SweepFailures {
    int16 count = 0; // targets that never answered
    QString report;  // one numbered line per failed target, in table order
};

// Probes records 0..dat_count-1 in one call of the engine (records flagged 1
// get no packet) and collects those that never answered.
SweepFailures walk_targets(const SharedState& state, EchoEngine& engine);

// One whole sweep. Ends with Label6 at "0" so that the minutes count again.
void icmp_chk(SharedState& state, MonitorDisplay& display, EchoEngine& engine, NoticeSender& mail);
