#include "core/check_sweep.h"

#include <algorithm>
#include <cstddef>
#include <vector>

#include "core/delivery_stop.h"
#include "core/display_texts.h"
#include "core/echo_engine.h"
#include "core/monitor_display.h"
#include "core/notice_sender.h"
#include "core/notice_texts.h"
#include "core/shared_state.h"

namespace {

int record_count(const SharedState& state) {
    return std::clamp<int>(state.dat_count, 0, kTargetSlots);
}

void send_notice(SharedState& state, NoticeSender& mail, const QString& subject,
                 const QString& body) {
    state.mail_title = subject;
    mail.SendMail(state.to_mailadd, state.from_mailadd, state.pop_server, state.from_maildomain,
                  body, state.mail_title);
}

} // namespace

SweepFailures walk_targets(const SharedState& state, EchoEngine& engine) {
    const int count = record_count(state);
    std::vector<EchoJob> jobs;
    jobs.reserve(count);
    for (int i = 0; i < count; ++i)
        jobs.push_back({state.ip_add[i].toStdString(), state.valid_flag[i] != 1});

    const std::vector<EchoOutcome> outcomes =
        engine.check_all(jobs, state.chk_ribenzi, state.chk_ttl);

    SweepFailures failures;
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
        failures.report += failure_report_line(failures.count, state.mess[i]);
    }
    return failures;
}

void icmp_chk(SharedState& state, MonitorDisplay& display, EchoEngine& engine, NoticeSender& mail) {
    const SweepFailures failures = walk_targets(state, engine);

    if (failures.count >= 1) {
        if (state.chk_yokusi > state.chk_yokusi_cnt) {
            // The counter shows the notice's number before it goes out; the
            // stop follows only once the notice that reaches the limit is sent.
            state.chk_yokusi_cnt = add16(state.chk_yokusi_cnt, 1);
            display.set_Yokusi_view(yokusi_view_text(state.chk_yokusi_cnt));
            send_notice(state, mail, failure_subject(failures.count), failures.report);
            if (state.chk_yokusi <= state.chk_yokusi_cnt)
                enter_delivery_stop(state, display);
        } else {
            // Delivery stopped (or the stop value was lowered below the count):
            // failures only restart the count of clean sweeps.
            state.fukkyu_cnt = 0;
        }
    } else {
        const bool stopped = display.Command2_enabled();
        if (!stopped && state.chk_yokusi_cnt > 0) {
            state.chk_yokusi_cnt = 0;
            display.set_Yokusi_view(yokusi_view_text(state.chk_yokusi_cnt));
            send_notice(state, mail, recovery_subject(),
                        recovery_body(display.Label7_text(), state.chk_yokusi));
        } else if (stopped && state.fukkyu_cnt < 2) {
            state.fukkyu_cnt = add16(state.fukkyu_cnt, 1);
        } else if (stopped) {
            // The third clean sweep in a row: tell the administrator first,
            // then return to normal.
            send_notice(state, mail, auto_recovery_subject(),
                        auto_recovery_body(display.Label7_text()));
            leave_delivery_stop(state, display);
        }
    }

    display.set_Label6(QStringLiteral("0"));
}
