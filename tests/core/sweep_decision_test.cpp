// The delivery-stop rules: which notice a sweep sends and where the state goes.
#include <gtest/gtest.h>

#include <thread>

#include "core/delivery_stop.h"
#include "sweep_rig.h"

namespace {

enum class Event { Clean, Failing, Release };

struct Row {
    const char* name;
    int16 stop_after;
    int16 cnt_before;
    int16 fukkyu_before;
    bool stopped_before;
    Event event;
    const char* subject; // nullptr: no notice
    int16 cnt_after;
    int16 fukkyu_after;
    bool stopped_after;
    bool window_closes_when_told = false; // and opens another, within the first change
};

// N normal, A alerting, S0..S2 stopped with 0..2 clean sweeps counted.
const Row kRows[] = {
    {"N_clean", 3, 0, 0, false, Event::Clean, nullptr, 0, 0, false},
    {"N_failing_limit_above_1", 3, 0, 0, false, Event::Failing, "Network障害連絡（1件障害）", 1, 0,
     false},
    {"N_failing_limit_1", 1, 0, 0, false, Event::Failing, "Network障害連絡（1件障害）", 1, 0, true},
    {"A_failing_below_limit", 3, 1, 0, false, Event::Failing, "Network障害連絡（1件障害）", 2, 0,
     false},
    {"A_failing_reaches_limit", 3, 2, 0, false, Event::Failing, "Network障害連絡（1件障害）", 3, 0,
     true},
    {"A_clean", 3, 2, 0, false, Event::Clean, "Network障害連絡（復旧）", 0, 0, false},
    {"S0_failing", 3, 3, 0, true, Event::Failing, nullptr, 3, 0, true},
    {"S1_failing", 3, 3, 1, true, Event::Failing, nullptr, 3, 0, true},
    {"S2_failing", 3, 3, 2, true, Event::Failing, nullptr, 3, 0, true},
    {"S0_clean", 3, 3, 0, true, Event::Clean, nullptr, 3, 1, true},
    {"S1_clean", 3, 3, 1, true, Event::Clean, nullptr, 3, 2, true},
    {"S2_clean", 3, 3, 2, true, Event::Clean, "Network障害連絡（監視自動復旧）", 0, 0, false},
    {"S1_release", 3, 3, 1, true, Event::Release, nullptr, 0, 0, false},
    {"S2_clean_window_closes_when_told", 3, 3, 2, true, Event::Clean,
     "Network障害連絡（監視自動復旧）", 0, 0, false, true},
};

class DecisionTable : public testing::TestWithParam<Row> {};

TEST_P(DecisionTable, NoticeAndNextState) {
    const Row& row = GetParam();
    SweepRig rig(3, row.stop_after);
    rig.state.monitor.set_notices_in_a_row(row.cnt_before);
    rig.state.monitor.set_delivery_stopped(row.stopped_before);
    rig.state.monitor.clean_checks_while_stopped = row.fukkyu_before;
    rig.state.monitor.set_elapsed_minutes(4);
    int closing_told = 0, opened_told = 0, closing = 0;
    if (row.window_closes_when_told)
        closing = rig.state.monitor.listen([&](MonitorField) {
            ++closing_told;
            rig.state.monitor.unlisten(closing);
            rig.state.monitor.listen([&](MonitorField) { ++opened_told; });
        });

    switch (row.event) {
    case Event::Clean:
        rig.clean_sweep();
        break;
    case Event::Failing:
        rig.failing_sweep();
        break;
    case Event::Release:
        release_delivery_stop(rig.state.monitor);
        break;
    }

    if (row.subject) {
        ASSERT_EQ(rig.notices(), 1u);
        EXPECT_EQ(rig.last_subject(), QString::fromUtf8(row.subject));
    } else {
        EXPECT_EQ(rig.notices(), 0u);
    }
    EXPECT_EQ(rig.state.monitor.notices_in_a_row(), row.cnt_after);
    EXPECT_EQ(rig.state.monitor.clean_checks_while_stopped, row.fukkyu_after);
    EXPECT_EQ(rig.display.stopped, row.stopped_after);
    if (row.cnt_after != row.cnt_before) {
        EXPECT_EQ(rig.display.notices_in_a_row,
                  QStringLiteral("連続配信回数：%1").arg(row.cnt_after));
    }
    // Every sweep restarts the minute count; a release leaves it alone.
    EXPECT_EQ(rig.display.elapsed_minutes, row.event == Event::Release ? "4" : "0");
    if (row.window_closes_when_told) {
        // the one that left is told once; the one it opened from the next change on
        EXPECT_EQ(closing_told, 1);
        EXPECT_GE(opened_told, 1);
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, DecisionTable, testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DeliveryStop, StateChangedOffItsThreadEndsTheProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    SweepRig rig;
    const auto off_thread = [&](auto change) { std::thread(change).join(); };
    EXPECT_DEATH(off_thread([&] { rig.state.monitor.set_notices_in_a_row(1); }),
                 "MonitorState changed off the thread that owns it");
    EXPECT_DEATH(off_thread([&] { rig.state.events.announce(EventKind::Check, {}); }),
                 "MonitorEvents changed off the thread that owns it");
}

TEST(DeliveryStop, ThreeNoticesThenSilence) {
    SweepRig rig(3, 3);
    QStringList views;
    std::vector<bool> stopped_after;
    for (int i = 0; i < 5; ++i) {
        rig.failing_sweep();
        views << rig.display.notices_in_a_row;
        stopped_after.push_back(rig.display.stopped);
    }
    EXPECT_EQ(rig.notices(), 3u);
    EXPECT_EQ(views, QStringList({"連続配信回数：1", "連続配信回数：2", "連続配信回数：3",
                                  "連続配信回数：3", "連続配信回数：3"}));
    EXPECT_EQ(stopped_after, std::vector<bool>({false, false, true, true, true}));
}

TEST(DeliveryStop, AnEngineThatCannotSweepFailsNoTargetAndTouchesNoCount) {
    SweepRig rig(3, 3);
    rig.failing_sweep();
    QStringList checks;
    rig.state.events.listen([&](const MonitorEvent& e) {
        if (e.kind == EventKind::Check)
            checks << e.detail;
    });
    rig.engine.fail_with = "pelmora-echo: ended during a check";
    rig.clean_sweep();
    EXPECT_EQ(rig.notices(), 1u) << "neither a failure nor a recovery notice";
    EXPECT_EQ(rig.display.notices_in_a_row, QStringLiteral("連続配信回数：1"));
    ASSERT_EQ(checks.size(), 1);
    EXPECT_TRUE(checks[0].endsWith(" echo=failed reason=pelmora-echo: ended during a check"))
        << checks[0].toStdString();
    rig.engine.fail_with.reset();
    rig.clean_sweep();
    EXPECT_EQ(rig.notices(), 2u) << "the recovery notice once the engine works again";
}

TEST(DeliveryStop, StopValueZeroNeverNotifiesNorStops) {
    SweepRig rig(3, 0);
    for (int i = 0; i < 4; ++i)
        rig.failing_sweep();
    rig.clean_sweep();
    rig.failing_sweep();
    EXPECT_EQ(rig.notices(), 0u);
    EXPECT_FALSE(rig.display.stopped);
    EXPECT_EQ(rig.state.monitor.notices_in_a_row(), 0);
}

TEST(DeliveryStop, LoweredStopValueWhileAlertingSilencesUntilClean) {
    SweepRig rig(3, 5);
    rig.failing_sweep();
    rig.failing_sweep();
    rig.state.settings.stop_after_notices = 2; // the settings window closed with Yes meanwhile
    rig.failing_sweep();
    rig.failing_sweep();
    EXPECT_EQ(rig.notices(), 2u);
    EXPECT_FALSE(rig.display.stopped);
    EXPECT_EQ(rig.state.monitor.notices_in_a_row(), 2);

    rig.clean_sweep();
    ASSERT_EQ(rig.notices(), 3u);
    EXPECT_EQ(rig.last_subject(), "Network障害連絡（復旧）");
    EXPECT_EQ(rig.state.monitor.notices_in_a_row(), 0);
}

TEST(DeliveryStop, AutomaticRecoveryNeedsThreeCleanSweepsInARow) {
    SweepRig rig(3, 1);
    rig.failing_sweep();
    ASSERT_TRUE(rig.display.stopped);
    const size_t before = rig.notices();

    rig.clean_sweep();
    rig.clean_sweep();
    rig.failing_sweep();
    rig.clean_sweep();
    rig.clean_sweep();
    EXPECT_EQ(rig.notices(), before);
    EXPECT_TRUE(rig.display.stopped);

    rig.clean_sweep();
    ASSERT_EQ(rig.notices(), before + 1);
    EXPECT_EQ(rig.last_subject(), "Network障害連絡（監視自動復旧）");
    EXPECT_FALSE(rig.display.stopped);
    EXPECT_EQ(rig.state.monitor.notices_in_a_row(), 0);
    EXPECT_EQ(rig.state.monitor.clean_checks_while_stopped, 0);
    EXPECT_EQ(rig.display.notices_in_a_row, "連続配信回数：0");
}

TEST(DeliveryStop, AfterReleaseByHandCountingStartsAfresh) {
    SweepRig rig(3, 2);
    rig.failing_sweep();
    rig.failing_sweep();
    ASSERT_TRUE(rig.display.stopped);
    rig.clean_sweep(); // fukkyu_cnt 1
    release_delivery_stop(rig.state.monitor);
    EXPECT_FALSE(rig.display.stopped);
    EXPECT_EQ(rig.state.monitor.clean_checks_while_stopped, 0);
    EXPECT_EQ(rig.display.notices_in_a_row, "連続配信回数：0");

    const size_t before = rig.notices();
    rig.clean_sweep();
    EXPECT_EQ(rig.notices(), before); // nothing to recover from

    rig.failing_sweep();
    ASSERT_EQ(rig.notices(), before + 1);
    EXPECT_EQ(rig.last_subject(), "Network障害連絡（1件障害）");
    EXPECT_EQ(rig.display.notices_in_a_row, "連続配信回数：1");
}

} // namespace
