// The minutes: counting the elapsed minutes against the interval in use.
#include <gtest/gtest.h>

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
            seen << (engine.calls.size() > before ? QStringLiteral("S") : display.Label6);
        }
        return seen;
    }
};

TEST(MonitoringCycle, IntervalFiveSweepsEveryFifthTick) {
    CycleRig rig;
    rig.state.monitor.set_interval_in_use(5);
    EXPECT_EQ(rig.ticks(10), QStringList({"1", "2", "3", "4", "S", "1", "2", "3", "4", "S"}));
    EXPECT_EQ(rig.display.Label6, "0");
}

TEST(MonitoringCycle, IntervalOneZeroOrNoNumberSweepsEveryTick) {
    for (int16 interval : {1, 0, -3}) {
        CycleRig rig;
        rig.state.monitor.set_interval_in_use(interval);
        EXPECT_EQ(rig.ticks(3), QStringList({"S", "S", "S"})) << interval;
        EXPECT_EQ(rig.display.Label6, "0");
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
    // The mail delivery's message box runs a nested event loop in which the
    // timer fires; that tick must neither sweep again nor count a minute.
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
    EXPECT_EQ(rig.display.Label6, "0");
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
