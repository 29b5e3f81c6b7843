#include "core/monitoring_cycle.h"

#include "core/check_sweep.h"
#include "core/delivery_stop.h"
#include "core/shared_state.h"

MonitoringCycle::MonitoringCycle(SharedState& state, EchoEngine& engine, NoticeSender& mail,
                                 CheckExecutor* executor, CheckKeeper* keeper)
    : state_(state), engine_(engine), executor_(executor ? *executor : inline_executor_),
      keeper_(keeper), notices_(mail, executor_, state.events) {}

void MonitoringCycle::minute_passed() {
    // The sweep runs off the window's thread, so minutes keep coming while a
    // check is still running. Such a minute is dropped, not kept for later:
    // the check sets the count to 0 when it ends, so a minute counted
    // meanwhile would be lost anyway, and checks must never overlap. A notice
    // still being mailed holds nothing: it waits in the queue.
    if (checking_)
        return;

    MonitorState& monitor = state_.monitor;
    const long long elapsed = monitor.elapsed_minutes() + 1;
    // An interval of 1, 0 or less makes every minute a check.
    if (monitor.interval_in_use() <= elapsed) {
        check_now();
        return;
    }
    monitor.set_elapsed_minutes(elapsed);
}

void MonitoringCycle::check_now() {
    if (checking_)
        return;
    checking_ = true;
    start_check(
        state_, engine_, notices_, executor_,
        [this] {
            checking_ = false;
            if (release_pending_)
                release_stop();
        },
        keeper_);
}

void MonitoringCycle::release_stop() {
    release_pending_ = checking_;
    if (!checking_ && state_.monitor.delivery_stopped()) {
        const int16 notices = state_.monitor.notices_in_a_row();
        release_delivery_stop(state_.monitor);
        state_.events.announce(EventKind::StopLeft, stop_detail(StopChange::Release, notices));
    }
}
