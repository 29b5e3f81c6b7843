// What a sweep asks of the echo engine and what it writes into its notices.
#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QTimeZone>

#include "core/check_keeper.h"
#include "core/notice_texts.h"
#include "support/scripted_boxes.h"
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

// Devices turn down and up by address, across the records that share one,
// across 無効 and removal, and across a restart seeded from the history.
// A record: "address description flag +|-" (answers or not), ";" between.
struct DeviceStep {
    int at_s; // from the first check
    const char* records;
    const char* changes; // as logged, " | " between them
};
struct DeviceCase {
    const char* name;
    const char* seed; // the history's last states: "address name down seconds-ago"
    std::vector<DeviceStep> steps;
};

const DeviceCase kDeviceCases[] = {
    {"FirstCheckWithoutAnswerIsDown",
     "",
     {{0, "10.0.0.1 A 0 +;10.0.0.2 B\x1b／03／x 0 -", "down address=10.0.0.2 name=B\\x1b"},
      {300, "10.0.0.1 A 0 +;10.0.0.2 B\x1b／03／x 0 -", ""},
      {600, "10.0.0.1 A 0 +;10.0.0.2 B\x1b／03／x 0 +",
       "up address=10.0.0.2 name=B\\x1b down_for=10m00s"}}},
    {"TwoRecordsOfOneAddressAreOneDevice",
     "",
     {{0, "10.0.0.1 X／1 0 -;10.0.0.1 Y 0 +", ""},
      {60, "10.0.0.1 X／1 0 -;10.0.0.1 Y 1 +", "down address=10.0.0.1 name=X"},
      {120, "10.0.0.1 X／1 0 -;10.0.0.1 Y 0 +", "up address=10.0.0.1 name=X down_for=1m00s"}}},
    {"MadeInvalidOrRemovedWhileDownIsUnmonitored",
     "",
     {{0, "10.0.0.1 A 0 +;10.0.0.2 B 0 -;10.0.0.3 C 0 -",
       "down address=10.0.0.2 name=B | down address=10.0.0.3 name=C"},
      {45, "10.0.0.1 A 1 +;10.0.0.2 B 1 -",
       "unmonitored address=10.0.0.2 name=B down_for=45s | "
       "unmonitored address=10.0.0.3 name=C down_for=45s"},
      {90, "10.0.0.1 A 0 +;10.0.0.2 B 0 -", "down address=10.0.0.2 name=B"}}},
    {"RestartSeededFromTheHistory",
     "10.0.0.1 A 1 3600;10.0.0.2 B 1 7200;10.0.0.3 C 0 60;10.0.0.9 Old 1 90123",
     {{0, "10.0.0.1 A 0 -;10.0.0.2 B 0 +;10.0.0.3 C 0 -",
       "up address=10.0.0.2 name=B down_for=2h00m00s | down address=10.0.0.3 name=C | "
       "unmonitored address=10.0.0.9 name=Old down_for=1d01h02m03s"}}},
};

class DeviceTable : public testing::TestWithParam<DeviceCase> {};

TEST_P(DeviceTable, ChangesAsLogged) {
    const auto items = [](const char* text) {
        std::vector<QStringList> out;
        for (const QString& item : QString::fromUtf8(text).split(';', Qt::SkipEmptyParts))
            out.push_back(item.split(' '));
        return out;
    };
    const QDateTime first(QDate(2026, 12, 7), QTime(9, 0), QTimeZone(32400));
    TargetStatusTable table;
    std::vector<DeviceLastState> seed;
    for (const QStringList& f : items(GetParam().seed))
        seed.push_back({f[0], f[1], f[2] == "1", first.addSecs(-f[3].toInt())});
    table.seed(seed);
    for (const DeviceStep& step : GetParam().steps) {
        TargetList targets;
        std::vector<EchoResult> results;
        for (const QStringList& f : items(step.records)) {
            targets.records[targets.count++] = {f[0], f[1], int16(f[2].toInt())};
            results.push_back({f[2] == "1"   ? EchoOutcome::Skipped
                               : f[3] == "+" ? EchoOutcome::Reachable
                                             : EchoOutcome::Unreachable,
                               {}});
        }
        QStringList logged;
        for (const DeviceChange& change :
             table.update(targets, results, first.addSecs(step.at_s), 10))
            logged << event_kind_name(device_event_kind(change.kind)) + ' ' +
                          device_change_detail(change);
        EXPECT_EQ(logged.join(" | "), QString::fromUtf8(step.changes)) << "at " << step.at_s;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, DeviceTable, testing::ValuesIn(kDeviceCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A history that keeps what it is given, or fails while told to.
struct ScriptedHistory : CheckHistory {
    QString keep(const CheckRecord& record) override {
        kept.push_back(record);
        return why;
    }
    std::vector<DeviceLastState> last_states() override { return {}; }
    std::vector<CheckRecord> kept;
    QString why;
};

TEST(DeviceEvents, AnnouncedWithTheCheckKeptWithTheirSamplesAndAFailingHistoryToldOnce) {
    SweepRig rig(3);
    rig.state.targets.records[2].flag = 1;
    rig.engine.rtt_ms = [](int index) { return std::optional<double>(1.5 + index); };
    auto history = std::make_shared<ScriptedHistory>();
    ScriptedBoxes boxes;
    QStringList told;
    CheckKeeper keeper(history, rig.state.events, boxes, [&](const QString& t) { told << t; });
    QStringList log;
    int readable = 0;
    rig.state.events.listen([&](const MonitorEvent& e) {
        if (e.kind == EventKind::CheckKept)
            ++readable;
        else if (e.kind != EventKind::CheckBegun && e.kind != EventKind::Check)
            log << event_kind_name(e.kind) + ' ' + e.detail;
    });
    const auto check = [&](std::set<int> down) {
        rig.down = std::move(down);
        run_check(rig.state, rig.engine, rig.mail, &keeper);
    };

    check({1});
    ASSERT_EQ(history->kept.size(), 1u);
    const CheckRecord& r = history->kept[0];
    ASSERT_EQ(r.samples.size(), 2u) << "none for the 無効 record";
    const CheckSample& a = r.samples[0];
    EXPECT_EQ(QStringList({a.address, a.name, QString::number(a.rtt_us.value_or(-1))}),
              QStringList({"10.0.0.1", "機器0", "1500"}));
    EXPECT_TRUE(a.answered && !r.samples[1].answered && !r.samples[1].rtt_us);
    EXPECT_TRUE(r.checked == 2 && r.not_answering == 1 && r.changes.size() == 1u);
    EXPECT_EQ(log, QStringList{"down address=10.0.0.2 name=機器1"});
    EXPECT_EQ(rig.notices(), 1u) << "the notice is decided as ever";

    history->why = "disk full";
    check({1});
    check({});
    check({});
    history->why.clear();
    check({});
    check({});
    EXPECT_EQ(history->kept.size(), 6u) << "every check is tried afresh";
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_TRUE(boxes.shown[0].text.contains("disk full"));
    EXPECT_EQ(told.size(), 1);
    EXPECT_EQ(
        log.replaceInStrings(QRegularExpression(" down_for=.+$"), " down_for=…"),
        (QStringList{"down address=10.0.0.2 name=機器1", "history result=failed reason=disk full",
                     "up address=10.0.0.2 name=機器1 down_for=…", "history result=kept"}));
    EXPECT_EQ(readable, 3) << "only a kept check is announced as readable";
}

} // namespace
