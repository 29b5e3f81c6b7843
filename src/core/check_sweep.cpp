#include "core/check_sweep.h"

#include <QElapsedTimer>
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

#include "core/check_executor.h"
#include "core/check_keeper.h"
#include "core/delivery_stop.h"
#include "core/echo_engine.h"
#include "core/notice.h"
#include "core/notice_texts.h"
#include "core/shared_state.h"

namespace {

struct Check {
    SharedState& state;
    NoticeQueue& notices;
    CheckExecutor& executor;
    CheckKeeper* keeper;
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

void post_notice(const CheckPtr& check, const QString& subject, const QString& body) {
    const Settings& s = check->settings;
    check->notices.post(Notice{s.admin_address, s.sender_address, s.smtp_server, s.sender_domain,
                               subject, body, check->state.mail_security});
}

// What the check leaves for the history: a sample per monitored record.
CheckRecord check_record(const Check& check, std::vector<DeviceChange> changes) {
    CheckRecord record{
        check.started,     check.duration_ms, check.failures.checked, check.failures.count, {},
        std::move(changes)};
    const std::vector<EchoResult>& results = check.failures.results;
    const int count = std::clamp<int>(check.targets.count, 0, kTargetSlots);
    for (int i = 0; i < count; ++i) {
        const Target& target = check.targets.records[i];
        if (!target.monitored())
            continue;
        CheckSample sample{target.address, device_name(target.description), false, {}};
        if (static_cast<std::size_t>(i) < results.size() &&
            results[i].outcome == EchoOutcome::Reachable) {
            sample.answered = true;
            if (results[i].rtt_ms)
                sample.rtt_us = std::llround(*results[i].rtt_ms * 1000.0);
        }
        record.samples.push_back(std::move(sample));
    }
    return record;
}

void decide(const CheckPtr& check) {
    MonitorState& monitor = check->state.monitor;
    const CheckFailures& failures = check->failures;
    const int16 stop_after = check->settings.stop_after_notices;
    const QString interval = QString::number(monitor.interval_in_use());
    if (!failures.engine_failure.isEmpty()) {
        // the devices were not asked, so neither a notice nor the counts change
        check->state.status.checking = false;
        ++check->state.status.unmade_in_a_row;
        check->state.events.announce(
            EventKind::Check,
            check_failed_detail(check->started, check->duration_ms, failures.engine_failure));
        finish(check);
        return;
    }
    std::vector<DeviceChange> changes = check->state.status.update(
        check->targets, failures.results, check->started, check->duration_ms);
    check->state.status.checking = false;
    check->state.status.unmade_in_a_row = 0;
    check->state.events.announce(EventKind::Check, check_detail(check->started, check->duration_ms,
                                                                failures.checked, failures.count));
    for (const DeviceChange& change : changes)
        check->state.events.announce(device_event_kind(change.kind), device_change_detail(change));
    if (check->keeper)
        check->keeper->keep(check_record(*check, std::move(changes)), check->executor);

    if (failures.count >= 1) {
        if (stop_after > monitor.notices_in_a_row()) {
            // The counter shows the notice's number before it goes out; the
            // stop follows only once the notice that reaches the limit is sent.
            monitor.set_notices_in_a_row(add16(monitor.notices_in_a_row(), 1));
            post_notice(check, failure_subject(failures.count), failures.report);
            if (stop_after <= monitor.notices_in_a_row()) {
                enter_delivery_stop(monitor);
                check->state.events.announce(
                    EventKind::StopEntered,
                    stop_detail(StopChange::Limit, monitor.notices_in_a_row()));
            }
            finish(check);
            return;
        }
        // Delivery stopped (or the stop value was lowered below the count):
        // failures only restart the count of clean checks.
        monitor.clean_checks_while_stopped = 0;
    } else {
        const bool stopped = monitor.delivery_stopped();
        if (!stopped && monitor.notices_in_a_row() > 0) {
            monitor.set_notices_in_a_row(0);
            post_notice(check, recovery_subject(), recovery_body(interval, stop_after));
            finish(check);
            return;
        }
        if (stopped && monitor.clean_checks_while_stopped < 2) {
            monitor.clean_checks_while_stopped = add16(monitor.clean_checks_while_stopped, 1);
        } else if (stopped) {
            // The third clean check in a row: tell the administrator first,
            // then return to normal.
            post_notice(check, auto_recovery_subject(), auto_recovery_body(interval));
            const int16 notices = monitor.notices_in_a_row();
            leave_delivery_stop(monitor);
            check->state.events.announce(EventKind::StopLeft,
                                         stop_detail(StopChange::Recovery, notices));
            finish(check);
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

void NoticeQueue::post(Notice notice) {
    if (!sending_) {
        send(std::move(notice));
        return;
    }
    if (waiting_)
        events_.announce(EventKind::Notice,
                         notice_superseded_detail(waiting_->recipient, waiting_->subject));
    waiting_ = std::move(notice);
}

void NoticeQueue::send(Notice notice) {
    sending_ = true;
    // The worker holds the sender and its own copy, never the queue.
    executor_.run([mail = &mail_, notice = std::move(notice)] { return mail->send(notice); },
                  [this](const DeliveryReport& report) {
                      if (report)
                          report();
                      sending_ = false;
                      if (waiting_) {
                          Notice next = std::move(*waiting_);
                          waiting_.reset();
                          send(std::move(next));
                      }
                  });
}

void start_check(SharedState& state, EchoEngine& engine, NoticeQueue& notices,
                 CheckExecutor& executor, std::function<void()> finished, CheckKeeper* keeper) {
    auto check = std::make_shared<Check>(Check{state,
                                               notices,
                                               executor,
                                               keeper,
                                               std::move(finished),
                                               state.settings,
                                               state.targets,
                                               {},
                                               QDateTime::currentDateTime(),
                                               0});
    state.status.checking = true;
    state.events.announce(EventKind::CheckBegun, {}, check->started);
    executor.run(
        [engine = &engine, targets = check->targets, attempts = check->settings.attempts,
         ttl = check->settings.ttl] {
            QElapsedTimer clock;
            clock.start();
            CheckFailures failures = probe_targets(targets, attempts, ttl, *engine);
            return std::pair(std::move(failures), clock.elapsed());
        },
        [check](std::pair<CheckFailures, qint64> swept) {
            check->failures = std::move(swept.first);
            check->duration_ms = swept.second;
            decide(check);
        });
}

void run_check(SharedState& state, EchoEngine& engine, NoticeSender& mail, CheckKeeper* keeper) {
    InlineExecutor inline_executor;
    NoticeQueue notices(mail, inline_executor, state.events);
    start_check(state, engine, notices, inline_executor, {}, keeper);
}
