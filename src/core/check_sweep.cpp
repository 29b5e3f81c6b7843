#include "core/check_sweep.h"

#include <algorithm>
#include <cstddef>
#include <vector>

#include "core/delivery_stop.h"
#include "core/echo_engine.h"
#include "core/notice.h"
#include "core/notice_texts.h"
#include "core/shared_state.h"

namespace {

void send_notice(const SharedState& state, NoticeSender& mail, const QString& subject,
                 const QString& body) {
    const Settings& s = state.settings;
    mail.send({s.admin_address, s.sender_address, s.smtp_server, s.sender_domain, subject, body});
}

} // namespace

CheckFailures probe_targets(const TargetList& targets, int attempts, int ttl, EchoEngine& engine) {
    const int count = std::clamp<int>(targets.count, 0, kTargetSlots);
    std::vector<EchoJob> jobs;
    jobs.reserve(count);
    for (int i = 0; i < count; ++i)
        jobs.push_back({targets.records[i].address.toStdString(), targets.records[i].monitored()});

    const std::vector<EchoOutcome> outcomes = engine.check_all(jobs, attempts, ttl);

    CheckFailures failures;
    for (int i = 0; i < count; ++i) {
        if (!jobs[i].enabled)
            continue;
        // Only a good reply clears a target: an outcome missing for a record,
        // or one the engine should not give for a monitored record, counts as
        // no reply, so a fault in the probe is reported, never hidden.
        const bool answered =
            static_cast<std::size_t>(i) < outcomes.size() && outcomes[i] == EchoOutcome::Reachable;
        if (answered)
            continue;
        failures.count = add16(failures.count, 1);
        failures.report += failure_report_line(failures.count, targets.records[i].description);
    }
    return failures;
}

void run_check(SharedState& state, EchoEngine& engine, NoticeSender& mail) {
    MonitorState& monitor = state.monitor;
    const CheckFailures failures =
        probe_targets(state.targets, state.settings.attempts, state.settings.ttl, engine);
    const int16 stop_after = state.settings.stop_after_notices;
    const QString interval = QString::number(monitor.interval_in_use());

    if (failures.count >= 1) {
        if (stop_after > monitor.notices_in_a_row()) {
            // The counter shows the notice's number before it goes out; the
            // stop follows only once the notice that reaches the limit is sent.
            monitor.set_notices_in_a_row(add16(monitor.notices_in_a_row(), 1));
            send_notice(state, mail, failure_subject(failures.count), failures.report);
            if (stop_after <= monitor.notices_in_a_row())
                enter_delivery_stop(monitor);
        } else {
            // Delivery stopped (or the stop value was lowered below the count):
            // failures only restart the count of clean checks.
            monitor.clean_checks_while_stopped = 0;
        }
    } else {
        const bool stopped = monitor.delivery_stopped();
        if (!stopped && monitor.notices_in_a_row() > 0) {
            monitor.set_notices_in_a_row(0);
            send_notice(state, mail, recovery_subject(), recovery_body(interval, stop_after));
        } else if (stopped && monitor.clean_checks_while_stopped < 2) {
            monitor.clean_checks_while_stopped = add16(monitor.clean_checks_while_stopped, 1);
        } else if (stopped) {
            // The third clean check in a row: tell the administrator first,
            // then return to normal.
            send_notice(state, mail, auto_recovery_subject(), auto_recovery_body(interval));
            leave_delivery_stop(monitor);
        }
    }

    monitor.set_elapsed_minutes(0);
}
