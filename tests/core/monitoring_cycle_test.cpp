// The minutes: counting the elapsed minutes against the interval in use.
#include <gtest/gtest.h>

#include <deque>
#include <utility>

#include "core/check_executor.h"
#include "core/monitoring_cycle.h"
#include "sweep_rig.h"

namespace {

struct CycleRig : SweepRig {
    MonitoringCycle cycle{state, engine, mail};

    // The elapsed minutes shown after each of n minutes, "S" where a check ran.
    QStringList ticks(int n) {
        QStringList seen;
        for (int i = 0; i < n; ++i) {
            const size_t before = engine.calls.size();
            cycle.minute_passed();
            seen << (engine.calls.size() > before ? QStringLiteral("S") : display.elapsed_minutes);
        }
        return seen;
    }
};

TEST(MonitoringCycle, IntervalFiveSweepsEveryFifthTick) {
    CycleRig rig;
    rig.state.monitor.set_interval_in_use(5);
    EXPECT_EQ(rig.ticks(10), QStringList({"1", "2", "3", "4", "S", "1", "2", "3", "4", "S"}));
    EXPECT_EQ(rig.display.elapsed_minutes, "0");
}

TEST(MonitoringCycle, IntervalOneZeroOrNoNumberSweepsEveryTick) {
    for (int16 interval : {1, 0, -3}) {
        CycleRig rig;
        rig.state.monitor.set_interval_in_use(interval);
        EXPECT_EQ(rig.ticks(3), QStringList({"S", "S", "S"})) << interval;
        EXPECT_EQ(rig.display.elapsed_minutes, "0");
    }
}

TEST(MonitoringCycle, IntervalChangesMidCount) {
    CycleRig lowered;
    lowered.state.monitor.set_elapsed_minutes(7);
    lowered.state.monitor.set_interval_in_use(3);
    EXPECT_EQ(lowered.ticks(1), QStringList({"S"}));

    CycleRig raised;
    raised.state.monitor.set_elapsed_minutes(2);
    raised.state.monitor.set_interval_in_use(10);
    EXPECT_EQ(raised.ticks(8), QStringList({"3", "4", "5", "6", "7", "8", "9", "S"}));
}

TEST(MonitoringCycle, TickDuringASweepIsDropped) {
    // A tick that comes while the check runs (here its mail goes out within
    // it) must neither sweep again nor count a minute.
    CycleRig rig;
    rig.state.monitor.set_interval_in_use(1);
    rig.down = {1};
    int nested_sends = 0;
    bool sweeping_seen = false;
    rig.mail.on_send = [&](const SentNotice&) {
        sweeping_seen = rig.cycle.checking();
        const size_t calls = rig.engine.calls.size();
        const size_t sent = rig.mail.sent.size();
        rig.cycle.minute_passed();
        nested_sends += rig.engine.calls.size() != calls || rig.mail.sent.size() != sent;
    };
    rig.cycle.minute_passed();
    EXPECT_TRUE(sweeping_seen);
    EXPECT_EQ(nested_sends, 0);
    EXPECT_EQ(rig.engine.calls.size(), 1u);
    EXPECT_EQ(rig.mail.sent.size(), 1u);
    EXPECT_EQ(rig.state.monitor.notices_in_a_row(), 1);
    EXPECT_EQ(rig.display.elapsed_minutes, "0");
    EXPECT_FALSE(rig.cycle.checking());

    rig.mail.on_send = nullptr;
    rig.cycle.minute_passed(); // the next tick sweeps again
    EXPECT_EQ(rig.engine.calls.size(), 2u);
}

} // namespace

TEST(MonitoringCycle, CheckNowRestartsTheMinuteCount) {
    CycleRig rig;
    EXPECT_EQ(rig.ticks(3), QStringList({"1", "2", "3"}));
    rig.down = {0};
    rig.cycle.check_now();
    EXPECT_EQ(rig.mail.sent.size(), 1u);
    EXPECT_EQ(rig.ticks(5), QStringList({"1", "2", "3", "4", "S"}));
}

namespace {

// Holds each blocking step of a check until the test lets it run, as a
// worker thread would: the check waits in between.
struct StepExecutor : CheckExecutor {
    void hand_over(std::function<Handback()> work) override { steps.push_back(std::move(work)); }
    // Runs the oldest step (or the one at index) and what follows it; false
    // when none waits.
    bool step(size_t index = 0) {
        if (steps.size() <= index)
            return false;
        auto work = std::move(steps[index]);
        steps.erase(steps.begin() + static_cast<std::ptrdiff_t>(index));
        work()();
        return true;
    }
    std::deque<std::function<Handback()>> steps;
};

struct SteppedRig : SweepRig {
    SteppedRig() : SweepRig(3, 1) { state.monitor.set_interval_in_use(1); }
    StepExecutor steps;
    MonitoringCycle cycle{state, engine, mail, &steps};
};

} // namespace

TEST(MonitoringCycle, StateChangesKeepTheirOrderAroundTheBlockingSteps) {
    SteppedRig rig;
    QStringList logged;
    rig.state.events.listen([&](const MonitorEvent& e) { logged << e.detail; });
    rig.down = {1};
    rig.cycle.minute_passed();
    EXPECT_TRUE(rig.cycle.checking());
    EXPECT_TRUE(rig.engine.calls.empty()); // the sweep waits for its worker

    ASSERT_TRUE(rig.steps.step()); // the sweep: the counter goes up before the mail
    EXPECT_EQ(rig.display.notices_in_a_row, "連続配信回数：1");
    EXPECT_TRUE(rig.mail.sent.empty());
    EXPECT_TRUE(rig.display.stopped); // decided: the check is over, its mail is not
    EXPECT_EQ(rig.display.elapsed_minutes, "0");
    EXPECT_TRUE(rig.cycle.checking()); // the program's end must not wait for the mail

    // Two more checks decide while it is out: the newer notice takes the
    // waiting one's place.
    for (const std::set<int>& down : {std::set<int>{1}, std::set<int>{0, 1}}) {
        rig.cycle.release_stop();
        rig.down = down;
        rig.cycle.minute_passed();
        ASSERT_TRUE(rig.steps.step(1));
    }
    while (rig.steps.step()) {
    }
    ASSERT_EQ(rig.mail.sent.size(), 2u); // in order, one at a time
    EXPECT_EQ(rig.mail.sent[1].subject, "Network障害連絡（2件障害）");
    EXPECT_EQ(
        logged.filter("superseded"),
        QStringList{"to=admin@example.test result=superseded subject=Network障害連絡（1件障害）"});
    EXPECT_FALSE(rig.cycle.checking());
    EXPECT_EQ(rig.engine.calls.size(), 3u);
}

TEST(MonitoringCycle, ReleaseDuringACheckWaitsForItsDecision) {
    SteppedRig rig;
    rig.down = {1};
    rig.cycle.minute_passed();
    while (rig.steps.step()) {
    }
    ASSERT_TRUE(rig.state.monitor.delivery_stopped());

    // A failing check while stopped: released only after it decided.
    rig.cycle.minute_passed();
    rig.cycle.release_stop();
    EXPECT_TRUE(rig.state.monitor.delivery_stopped());
    ASSERT_TRUE(rig.steps.step());
    EXPECT_FALSE(rig.state.monitor.delivery_stopped());
    EXPECT_EQ(rig.state.monitor.notices_in_a_row(), 0);
    EXPECT_EQ(rig.mail.sent.size(), 1u);

    // Between checks the release asked for once does not linger.
    rig.cycle.minute_passed(); // failing again: notice 1 of 1, stopped again
    while (rig.steps.step()) {
    }
    EXPECT_TRUE(rig.state.monitor.delivery_stopped());
    EXPECT_EQ(rig.mail.sent.size(), 2u);
}
