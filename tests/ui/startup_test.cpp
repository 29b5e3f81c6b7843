// Start-up as the operator sees it: the labels, and the refusals that end it.
#include <gtest/gtest.h>

#include <QRegularExpression>

#include <cerrno>

#include "app_fixture.h"
#include "core/cp932.h"

namespace {

QByteArray n_records(int n) {
    QByteArray out;
    for (int i = 0; i < n; ++i)
        out += "127.0.0.1\r\nx\x81\x5ey\x81\x5ez\r\n 1 \r\n";
    return out;
}

} // namespace

TEST(Startup, LabelsGetTheirFirstTexts) {
    AppFixture fx;
    ASSERT_TRUE(fx.started);
    EXPECT_TRUE(fx.boxes.shown.empty());
    EXPECT_EQ(fx.main().interval_in_use->text(), "5");
    EXPECT_EQ(fx.main().elapsed_minutes->text(), "0");
    EXPECT_EQ(fx.main().notices_in_a_row->text(), QStringLiteral("連続配信回数：0"));
    EXPECT_EQ(fx.main().target_count->text(), QStringLiteral("3拠点監視中"));
    EXPECT_EQ(fx.state.settings.ttl, 64);
    EXPECT_EQ(fx.state.targets.records[1].description, QStringLiteral("B／2／b"));
}

TEST(Startup, TargetCountIncludesDisabledAndSpansEmptyToFull) {
    AppFixture empty(QByteArray{});
    EXPECT_EQ(empty.main().target_count->text(), QStringLiteral("0拠点監視中"));
    AppFixture full(n_records(1001), conf_bytes(-7));
    EXPECT_EQ(full.main().target_count->text(), QStringLiteral("1001拠点監視中"));
    EXPECT_EQ(full.main().interval_in_use->text(), "-7"); // taken as it stands
}

TEST(Startup, AnUnreadableFileEndsItWithAMessageNamingFileAndLine) {
    // seven values: conf.ini is reported and kanshi.ini (which would fail too) is not read
    AppFixture again(n_records(1002), "a\r\nb\r\nc\r\nd\r\n 5 \r\n 3 \r\n 64 \r\n");
    EXPECT_FALSE(again.started);
    ASSERT_EQ(again.boxes.shown.size(), 1u);
    const BoxRequest& box = again.boxes.last();
    EXPECT_TRUE(box.text.contains("conf.ini")) << box.text.toStdString();
    EXPECT_TRUE(box.text.contains(QStringLiteral("8 行目"))) << box.text.toStdString();
    EXPECT_EQ(box.icon, BoxIcon::Critical);
    EXPECT_EQ(box.title, "Pelmora");
    EXPECT_EQ(again.state.targets.count, 0);

    AppFixture too_many(n_records(1002));
    EXPECT_FALSE(too_many.started);
    EXPECT_TRUE(too_many.boxes.last().text.contains("kanshi.ini"));
}

TEST(Startup, ASecondCopyIsToldAndReadsNothing) {
    TempWorkDir dir; // no files at all: a second copy must not even look
    ScriptedBoxes boxes;
    ScriptedEngine engine;
    RecordingMailer mail;
    MonitorServices services(MonitorParts{.boxes = boxes,
                                          .engine = engine,
                                          .files = files_in(dir),
                                          .first_copy = [] { return false; },
                                          .notices = &mail,
                                          .log = std::nullopt});
    Application app(services.for_windows());
    EXPECT_FALSE(app.start());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.last().text, QStringLiteral("すでに起動されています。"));
    EXPECT_EQ(boxes.last().icon, BoxIcon::Warning);
    EXPECT_EQ(boxes.last().buttons, BoxButtons::Ok);
    EXPECT_EQ(boxes.last().title, "Pelmora");
}

TEST(Startup, WithoutTheRightToSendEchoItSaysHowToGrantItAndEnds) {
    TempWorkDir dir; // no files: the refusal comes before they are read
    ScriptedBoxes boxes;
    ScriptedEngine engine;
    RecordingMailer mail;
    MonitorServices services(
        MonitorParts{.boxes = boxes,
                     .engine = engine,
                     .echo_refused = EchoFailure{EchoStep::RawSocket, EPERM, "not permitted"},
                     .files = files_in(dir),
                     .first_copy = [] { return true; },
                     .notices = &mail,
                     .log = std::nullopt});
    Application app(services.for_windows());
    EXPECT_FALSE(app.start());
    ASSERT_EQ(boxes.shown.size(), 1u);
    const BoxRequest& box = boxes.last();
    EXPECT_EQ(box.icon, BoxIcon::Critical);
    EXPECT_TRUE(box.text.contains("net.ipv4.ping_group_range")) << box.text.toStdString();
    // the capability belongs on the helper, never on the program that loads Qt
    EXPECT_TRUE(box.text.contains(QRegularExpression("setcap cap_net_raw\\+ep \\S*/pelmora-echo")))
        << box.text.toStdString();
}

TEST(Startup, HandEditedMistakesAreShownOnceAndMonitoringStartsAnyway) {
    // Stop value 0 and TTL 0 in conf.ini, a byte order mark before the first
    // address of kanshi.ini.
    AppFixture fx(QByteArray("\xEF\xBB\xBF") + AppFixture::three_targets(), conf_bytes(5, 3, 0, 0));
    ASSERT_TRUE(fx.started);
    EXPECT_TRUE(fx.main().minute_timer->isActive());
    ASSERT_EQ(fx.boxes.shown.size(), 1u);
    const BoxRequest& box = fx.boxes.last();
    EXPECT_EQ(box.icon, BoxIcon::Warning);
    EXPECT_TRUE(box.text.contains(QStringLiteral("通知は送信されません")))
        << box.text.toStdString();
    EXPECT_TRUE(box.text.contains(QStringLiteral("conf.ini の 7 行目"))) << box.text.toStdString();
    EXPECT_TRUE(box.text.contains("kanshi.ini")) << box.text.toStdString();
    // The mark is no part of the address: the first device is probed as 10.0.0.1.
    EXPECT_EQ(fx.state.targets.records[0].address, "10.0.0.1");
}
