#pragma once
// One check: probe every monitored target, then decide by the delivery-stop
// rules which notice, if any, to mail, and keep the monitoring state in step.
#include <QString>

#include "core/int16.h"

struct SharedState;
struct TargetList;
class EchoEngine;
class NoticeSender;

struct CheckFailures {
    int16 count = 0; // targets that never answered
    QString report;  // one numbered line per failed target, in list order
};

// Probes every record in one call of the engine (records flagged 1 get no
// packet) and collects those that never answered.
CheckFailures probe_targets(const TargetList& targets, int attempts, int ttl, EchoEngine& engine);

// One whole check. Ends with the elapsed minutes at 0, so that they count again.
void run_check(SharedState& state, EchoEngine& engine, NoticeSender& mail);
