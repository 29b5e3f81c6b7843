#include "core/monitoring_cycle.h"

#include "core/check_sweep.h"
#include "core/shared_state.h"

MonitoringCycle::MonitoringCycle(SharedState& state, EchoEngine& engine, NoticeSender& mail)
    : state_(state), engine_(engine), mail_(mail) {}

void MonitoringCycle::minute_passed() {
    // A check keeps the thread until its last mail, yet a message box of the
    // mail delivery runs a nested event loop, so events, minutes among them,
    // can be handled while a check is still running. Such a minute is
    // dropped, not kept for later: the check sets the count to 0 when it ends,
    // so a minute counted meanwhile would be lost anyway, and a second check
    // must never start inside the first.
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
    struct Running {
        bool& flag;
        explicit Running(bool& f) : flag(f) { flag = true; }
        ~Running() { flag = false; }
    } running(checking_);
    run_check(state_, engine_, mail_);
}
