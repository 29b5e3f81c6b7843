// What a sweep asks of the echo engine and what it writes into its notices.
#include <gtest/gtest.h>

#include "core/notice_texts.h"
#include "sweep_rig.h"

namespace {

TEST(SweepWalk, OneCallWithEveryRecordAndTheStoredSettings) {
    SweepRig rig(4);
    rig.state.targets.records[0].flag = 1;
    rig.state.targets.records[1].flag = 2;
    rig.state.targets.records[2].flag = -1;
    rig.state.targets.records[3].flag = 0;
    rig.state.targets.records[5].address =
        QStringLiteral("10.9.9.9"); // beyond dat_count: not a target
    rig.state.settings.attempts = 0;
    rig.state.settings.ttl = 255;
    rig.clean_sweep();

    ASSERT_EQ(rig.engine.calls.size(), 1u);
    const ScriptedEngine::Call& call = rig.engine.calls[0];
    ASSERT_EQ(call.jobs.size(), 4u);
    EXPECT_FALSE(call.jobs[0].enabled); // only flag 1 takes a target out
    EXPECT_TRUE(call.jobs[1].enabled);
    EXPECT_TRUE(call.jobs[2].enabled);
    EXPECT_TRUE(call.jobs[3].enabled);
    EXPECT_EQ(call.jobs[1].address, "10.0.0.2");
    EXPECT_EQ(call.attempts, 0);
    EXPECT_EQ(call.ttl, 255);
}

TEST(SweepWalk, DisabledTargetNeverFailsEvenIfTheEngineSaysSo) {
    SweepRig rig(2);
    rig.state.targets.records[1].flag = 1;
    rig.engine.reachable = [](int, const std::string&) { return false; };
    const CheckFailures f = probe_targets(rig.state.targets, rig.state.settings.attempts,
                                          rig.state.settings.ttl, rig.engine);
    EXPECT_EQ(f.count, 1);
    EXPECT_EQ(f.report,
              QStringLiteral("＜1件目＞") + rig.state.targets.records[0].description + u'\r');
}

TEST(SweepWalk, FailureLinesAreNumberedByFailureNotByIndex) {
    SweepRig rig(3, 3);
    rig.down = {0, 2};
    run_check(rig.state, rig.engine, rig.mail);

    ASSERT_EQ(rig.notices(), 1u);
    const SentNotice& n = rig.mail.sent[0];
    EXPECT_EQ(n.subject, "Network障害連絡（2件障害）");
    EXPECT_EQ(n.body, QStringLiteral("＜1件目＞機器0／03-0000-0000／担当0\r"
                                     "＜2件目＞機器2／03-0000-0002／担当2\r"));
    EXPECT_EQ(n.to, "admin@example.test");
    EXPECT_EQ(n.from, "pelmora@example.test");
    EXPECT_EQ(n.server, "127.0.0.1");
    EXPECT_EQ(n.domain, "example.test");
}

TEST(SweepWalk, MissingOutcomeCountsAsNoAnswer) {
    struct ShortEngine : EchoEngine {
        std::vector<EchoOutcome> check_all(const std::vector<EchoJob>&, int, int) override {
            return {EchoOutcome::Reachable};
        }
    } engine;
    SweepRig rig(2);
    const CheckFailures f = probe_targets(rig.state.targets, rig.state.settings.attempts,
                                          rig.state.settings.ttl, engine);
    EXPECT_EQ(f.count, 1);
    EXPECT_TRUE(f.report.contains(rig.state.targets.records[1].description));
}

TEST(SweepWalk, FullTableOfFailuresIsCountedInSixteenBits) {
    SweepRig rig(kTargetSlots);
    rig.engine.reachable = [](int, const std::string&) { return false; };
    const CheckFailures f = probe_targets(rig.state.targets, rig.state.settings.attempts,
                                          rig.state.settings.ttl, rig.engine);
    EXPECT_EQ(f.count, 1001);
    EXPECT_TRUE(f.report.endsWith(QStringLiteral("＜1001件目＞") +
                                  rig.state.targets.records[1000].description + u'\r'));
}

TEST(NoticeTexts, RecoveryBodyCharacterForCharacter) {
    SweepRig rig(3, 3);
    rig.state.monitor.set_interval_in_use(5);
    rig.failing_sweep();
    rig.clean_sweep();
    ASSERT_EQ(rig.notices(), 2u);
    EXPECT_EQ(rig.mail.sent[1].body,
              QStringLiteral("5分毎の監視でネットワーク障害による監視停止値（3回）前に問題解決しま"
                             "した。\r連続障害メールの配信回数を初期値（０）にして監視を続行しま"
                             "す。"));
}

TEST(NoticeTexts, AutomaticRecoveryBodyQuotesTheShownInterval) {
    // The interval is taken from the label as shown, not from the setting.
    EXPECT_EQ(auto_recovery_body(QStringLiteral("15")),
              QStringLiteral("障害発生に伴う監視停止から15分毎監視を行い、連続２回障害を検知しませ"
                             "んでした。\rネットワーク障害は復旧したと判断しました。\r監視処理は"
                             "配信通知停止及び監視を自動復旧しました。\r(監視処理は再開始されま"
                             "した)"));
    SweepRig rig(3, 1);
    rig.state.settings.interval_minutes = 99;
    rig.state.monitor.set_interval_in_use(15);
    rig.failing_sweep();
    for (int i = 0; i < 3; ++i)
        rig.clean_sweep();
    EXPECT_EQ(rig.mail.sent.back().body, auto_recovery_body(QStringLiteral("15")));
}

} // namespace
