// The minute ticks: counting in Label6 against the interval in Label7.
#include <gtest/gtest.h>

#include "core/monitoring_cycle.h"
#include "sweep_rig.h"

namespace {

struct CycleRig : SweepRig {
    MonitoringCycle cycle{state, display, engine, mail};

    // Label6 after each of n ticks, "S" where a sweep ran.
    QStringList ticks(int n) {
        QStringList seen;
        for (int i = 0; i < n; ++i) {
            const size_t before = engine.calls.size();
            cycle.Timer1_Timer();
            seen << (engine.calls.size() > before ? QStringLiteral("S") : display.Label6);
        }
        return seen;
    }
};

TEST(MonitoringCycle, IntervalFiveSweepsEveryFifthTick) {
    CycleRig rig;
    rig.display.Label7 = QStringLiteral("5");
    EXPECT_EQ(rig.ticks(10), QStringList({"1", "2", "3", "4", "S", "1", "2", "3", "4", "S"}));
    EXPECT_EQ(rig.display.Label6, "0");
}

TEST(MonitoringCycle, IntervalOneZeroOrNoNumberSweepsEveryTick) {
    for (const char* interval : {"1", "0", "", "分", "-3"}) {
        CycleRig rig;
        rig.display.Label7 = QString::fromUtf8(interval);
        EXPECT_EQ(rig.ticks(3), QStringList({"S", "S", "S"})) << interval;
        EXPECT_EQ(rig.display.Label6, "0");
    }
}

TEST(MonitoringCycle, IntervalChangesMidCount) {
    CycleRig lowered;
    lowered.display.Label6 = QStringLiteral("7");
    lowered.display.Label7 = QStringLiteral("3");
    EXPECT_EQ(lowered.ticks(1), QStringList({"S"}));

    CycleRig raised;
    raised.display.Label6 = QStringLiteral("2");
    raised.display.Label7 = QStringLiteral("10");
    EXPECT_EQ(raised.ticks(8), QStringList({"3", "4", "5", "6", "7", "8", "9", "S"}));
}

TEST(MonitoringCycle, LabelsAreReadByTheirLeadingNumber) {
    CycleRig rig;
    rig.display.Label6 = QStringLiteral(" 3");
    rig.display.Label7 = QStringLiteral("5 min");
    EXPECT_EQ(rig.ticks(2), QStringList({"4", "S"}));
}

TEST(MonitoringCycle, ElapsedIsWrittenWithoutDecimalPoint) {
    EXPECT_EQ(elapsed_text(8), "8");
    EXPECT_EQ(elapsed_text(32767), "32767");
    EXPECT_EQ(elapsed_text(1234567), "1234567");
    EXPECT_EQ(elapsed_text(2.5), "2.5");
}

TEST(MonitoringCycle, TickDuringASweepIsDropped) {
    // The mail delivery's message box runs a nested event loop in which the
    // timer fires; that tick must neither sweep again nor count a minute.
    CycleRig rig;
    rig.display.Label7 = QStringLiteral("1");
    rig.down = {1};
    int nested_sends = 0;
    bool sweeping_seen = false;
    rig.mail.on_send = [&](const SentNotice&) {
        sweeping_seen = rig.cycle.sweeping();
        const size_t calls = rig.engine.calls.size();
        const size_t sent = rig.mail.sent.size();
        rig.cycle.Timer1_Timer();
        nested_sends += rig.engine.calls.size() != calls || rig.mail.sent.size() != sent;
    };
    rig.cycle.Timer1_Timer();
    EXPECT_TRUE(sweeping_seen);
    EXPECT_EQ(nested_sends, 0);
    EXPECT_EQ(rig.engine.calls.size(), 1u);
    EXPECT_EQ(rig.mail.sent.size(), 1u);
    EXPECT_EQ(rig.state.chk_yokusi_cnt, 1);
    EXPECT_EQ(rig.display.Label6, "0");
    EXPECT_FALSE(rig.cycle.sweeping());

    rig.mail.on_send = nullptr;
    rig.cycle.Timer1_Timer(); // the next tick sweeps again
    EXPECT_EQ(rig.engine.calls.size(), 2u);
}

} // namespace
