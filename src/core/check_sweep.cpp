#include "core/check_sweep.h"

#include <QElapsedTimer>
#include <algorithm>
#include <cstddef>
#include <memory>
#include <vector>

#include "core/check_executor.h"
#include "core/delivery_stop.h"
#include "core/echo_engine.h"
#include "core/notice.h"
#include "core/notice_texts.h"
#include "core/shared_state.h"

namespace {

struct Check {
    SharedState& state;
    EchoEngine& engine;
    NoticeSender& mail;
    CheckExecutor& executor;
    std::function<void()> finished;
    Settings settings; // as at the start of the check
    TargetList targets;
    CheckFailures failures;
    QDateTime started;
    qint64 duration_ms = 0;
};
using CheckPtr = std::shared_ptr<Check>;

void finish(const CheckPtr& check) {
    check->state.monitor.set_elapsed_minutes(0);
    if (check->finished)
        check->finished();
}

// Mails one notice off this thread; what delivery has to tell the operator is
// shown back here, before the check goes on with then.
void send_notice(const CheckPtr& check, const QString& subject, const QString& body,
                 std::function<void()> then) {
    const Settings& s = check->settings;
    auto notice = std::make_shared<Notice>(Notice{s.admin_address, s.sender_address, s.smtp_server,
                                                  s.sender_domain, subject, body,
                                                  check->state.mail_security});
    auto report = std::make_shared<DeliveryReport>();
    check->executor.run([check, notice, report] { *report = check->mail.send(*notice); },
                        [report, then = std::move(then)] {
                            if (*report)
                                (*report)();
                            then();
                        });
}

void decide(const CheckPtr& check) {
    MonitorState& monitor = check->state.monitor;
    const CheckFailures& failures = check->failures;
    const int16 stop_after = check->settings.stop_after_notices;
    const QString interval = QString::number(monitor.interval_in_use());
    if (!failures.engine_failure.isEmpty()) {
        // the devices were not asked, so neither a notice nor the counts change
        check->state.status.checking = false;
        check->state.events.announce(
            EventKind::Check,
            check_failed_detail(check->started, check->duration_ms, failures.engine_failure));
        finish(check);
        return;
    }
    check->state.status.update(check->targets, failures.results, check->started,
                               check->duration_ms);
    check->state.status.checking = false;
    check->state.events.announce(EventKind::Check, check_detail(check->started, check->duration_ms,
                                                                failures.checked, failures.count));

    if (failures.count >= 1) {
        if (stop_after > monitor.notices_in_a_row()) {
            // The counter shows the notice's number before it goes out; the
            // stop follows only once the notice that reaches the limit is sent.
            monitor.set_notices_in_a_row(add16(monitor.notices_in_a_row(), 1));
            send_notice(check, failure_subject(failures.count), failures.report,
                        [check, stop_after] {
                            MonitorState& m = check->state.monitor;
                            if (stop_after <= m.notices_in_a_row()) {
                                enter_delivery_stop(m);
                                check->state.events.announce(
                                    EventKind::StopEntered,
                                    stop_detail(StopChange::Limit, m.notices_in_a_row()));
                            }
                            finish(check);
                        });
            return;
        }
        // Delivery stopped (or the stop value was lowered below the count):
        // failures only restart the count of clean checks.
        monitor.clean_checks_while_stopped = 0;
    } else {
        const bool stopped = monitor.delivery_stopped();
        if (!stopped && monitor.notices_in_a_row() > 0) {
            monitor.set_notices_in_a_row(0);
            send_notice(check, recovery_subject(), recovery_body(interval, stop_after),
                        [check] { finish(check); });
            return;
        }
        if (stopped && monitor.clean_checks_while_stopped < 2) {
            monitor.clean_checks_while_stopped = add16(monitor.clean_checks_while_stopped, 1);
        } else if (stopped) {
            // The third clean check in a row: tell the administrator first,
            // then return to normal.
            send_notice(check, auto_recovery_subject(), auto_recovery_body(interval), [check] {
                const int16 notices = check->state.monitor.notices_in_a_row();
                leave_delivery_stop(check->state.monitor);
                check->state.events.announce(EventKind::StopLeft,
                                             stop_detail(StopChange::Recovery, notices));
                finish(check);
            });
            return;
        }
    }
    finish(check);
}

} // namespace

CheckFailures probe_targets(const TargetList& targets, int attempts, int ttl, EchoEngine& engine) {
    const int count = std::clamp<int>(targets.count, 0, kTargetSlots);
    std::vector<EchoJob> jobs;
    jobs.reserve(count);
    for (int i = 0; i < count; ++i)
        jobs.push_back({targets.records[i].address.toStdString(), targets.records[i].monitored()});

    CheckFailures failures;
    failures.results = engine.check_all_timed(jobs, attempts, ttl);
    if (const auto why = engine.failure()) {
        failures.engine_failure = QString::fromStdString(*why);
        return failures;
    }
    const std::vector<EchoResult>& outcomes = failures.results;
    for (int i = 0; i < count; ++i) {
        if (!jobs[i].enabled)
            continue;
        failures.checked = add16(failures.checked, 1);
        // Only a good reply clears a target: an outcome missing for a record,
        // or one the engine should not give for a monitored record, counts as
        // no reply, so a fault in the probe is reported, never hidden.
        const bool answered = static_cast<std::size_t>(i) < outcomes.size() &&
                              outcomes[i].outcome == EchoOutcome::Reachable;
        if (answered)
            continue;
        failures.count = add16(failures.count, 1);
        failures.report += failure_report_line(failures.count, targets.records[i].description);
    }
    return failures;
}

void start_check(SharedState& state, EchoEngine& engine, NoticeSender& mail,
                 CheckExecutor& executor, std::function<void()> finished) {
    auto check = std::make_shared<Check>(Check{state,
                                               engine,
                                               mail,
                                               executor,
                                               std::move(finished),
                                               state.settings,
                                               state.targets,
                                               {},
                                               QDateTime::currentDateTime(),
                                               0});
    state.status.checking = true;
    state.events.announce(EventKind::CheckBegun, {}, check->started);
    executor.run(
        [check] {
            QElapsedTimer clock;
            clock.start();
            check->failures = probe_targets(check->targets, check->settings.attempts,
                                            check->settings.ttl, check->engine);
            check->duration_ms = clock.elapsed();
        },
        [check] { decide(check); });
}

void run_check(SharedState& state, EchoEngine& engine, NoticeSender& mail) {
    InlineExecutor inline_executor;
    start_check(state, engine, mail, inline_executor, {});
}
