// The whole program with nothing faked: the real main window, the real echo
// engine against hosts in test namespaces, and a real SMTP server on
// loopback. The ticks are driven by hand instead of waiting minutes.
#include <gtest/gtest.h>

#include <QApplication>

#include "busy_check_support.h"
#include "core/cp932.h"
#include "core/shared_state.h"
#include "mail/notice_delivery.h"
#include "platform/echo/socket_echo_engine.h"
#include "platform/smtp/curl_mail_transport.h"
#include "real_app.h"
#include "support/echo_world.h"
#include "support/mime_decoding.h"
#include "support/scripted_boxes.h"
#include "support/smtp_test_server.h"
#include "support/work_dir.h"
#include "targets/status_rows.h"
#include "ui/application.h"
#include "ui/history_window.h"
#include "ui/status_window.h"

using namespace std::chrono_literals;

namespace {

std::vector<MailText> notices(const SmtpTestServer& server) {
    std::vector<MailText> out;
    for (const ReceivedMail& mail : server.messages())
        out.push_back(mail_text(mail.data));
    return out;
}

bool red(const MainWindow& w) {
    return w.palette().color(QPalette::Window) == QColor(255, 0, 0);
}

} // namespace

TEST(EndToEnd, FailureNoticesStopAndAutomaticRecovery) {
    EchoWorld world;
    if (!world.ok())
        GTEST_SKIP() << world.why_not();
    SmtpTestServer smtp;
    const auto engine = SocketEchoEngine::open();
    ASSERT_TRUE(engine) << "no ICMP socket: " << engine.failure().text;

    TempWorkDir dir;
    // interval 1 (every tick sweeps), 2 attempts, TTL 64, delivery stops after 2 notices
    dir.write("conf.ini", conf_bytes(1, 2, 64, 2, smtp.address().toLatin1()));
    dir.write("kanshi.ini",
              *cp932_encode(QString::fromStdString(world.answering_address()) +
                            QStringLiteral("\r\n本社ルータ／03-0000-0000／山田\r\n 0 \r\n") +
                            QString::fromStdString(world.silent_address()) +
                            QStringLiteral("\r\n支店スイッチ／06-0000-0000／佐藤\r\n 0 \r\n")));

    RealApp real(dir, *engine);
    ScriptedBoxes& boxes = real.boxes;
    Application& app = real.app;
    ASSERT_TRUE(app.start());
    MainWindow& w = app.main_window();
    w.show();

    const QString failure_body = QStringLiteral("＜1件目＞支店スイッチ／06-0000-0000／佐藤\r\n");
    const QString failure_subject = QStringLiteral("Network障害連絡（1件障害）");

    real.tick(); // notice 1
    ASSERT_TRUE(boxes.shown.empty()) << boxes.last().text.toStdString();
    EXPECT_EQ(w.notices_in_a_row->text(), QStringLiteral("連続配信回数：1"));
    EXPECT_FALSE(red(w));
    real.tick(); // notice 2 reaches the stop value
    EXPECT_EQ(w.notices_in_a_row->text(), QStringLiteral("連続配信回数：2"));
    EXPECT_TRUE(red(w));
    EXPECT_TRUE(w.release_button->isEnabled());
    EXPECT_FALSE(w.settings_button->isEnabled());
    real.tick(); // still failing while stopped: silence
    EXPECT_EQ(notices(smtp).size(), 2u);

    ASSERT_TRUE(world.set_silent_answers(true));
    real.tick();
    real.tick();
    EXPECT_TRUE(red(w)) << "two clean sweeps only count";
    EXPECT_EQ(notices(smtp).size(), 2u);
    real.tick(); // the third clean sweep recovers

    EXPECT_TRUE(boxes.shown.empty());
    const std::vector<MailText> got = notices(smtp);
    ASSERT_EQ(got.size(), 3u);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(got[i].subject, failure_subject);
        EXPECT_EQ(got[i].body, failure_body);
    }
    EXPECT_EQ(got[2].subject, QStringLiteral("Network障害連絡（監視自動復旧）"));
    EXPECT_EQ(
        got[2].body,
        QStringLiteral(
            "障害発生に伴う監視停止から1分毎監視を行い、連続２回障害を検知しませんでした。\r\n"
            "ネットワーク障害は復旧したと判断しました。\r\n"
            "監視処理は配信通知停止及び監視を自動復旧しました。\r\n"
            "(監視処理は再開始されました)"));
    EXPECT_FALSE(red(w));
    EXPECT_FALSE(w.release_button->isEnabled());
    EXPECT_TRUE(w.settings_button->isEnabled());
    EXPECT_TRUE(w.editor_button->isEnabled());
    EXPECT_EQ(w.notices_in_a_row->text(), QStringLiteral("連続配信回数：0"));
    EXPECT_EQ(w.elapsed_minutes->text(), "0");
}

namespace {

// The real engine, counting its sweeps.
struct CountingEngine : EchoEngine {
    explicit CountingEngine(EchoEngine& real) : real(real) {}
    std::vector<EchoOutcome> check_all(const std::vector<EchoJob>& jobs, int attempts,
                                       int ttl) override {
        ++sweeps;
        return real.check_all(jobs, attempts, ttl);
    }
    EchoEngine& real;
    std::atomic<int> sweeps{0};
};

} // namespace

TEST(EndToEnd, EchoGoesOnWhileTheBoxOfAMailServerThatNeverAnswersWaits) {
    EchoWorld world;
    if (!world.ok())
        GTEST_SKIP() << world.why_not();
    SmtpTestServer smtp(SmtpTestServer::Mode::Silent); // takes the connection, never greets
    const auto socket_engine = SocketEchoEngine::open();
    ASSERT_TRUE(socket_engine) << "no ICMP socket: " << socket_engine.failure().text;
    CountingEngine engine(*socket_engine);

    TempWorkDir dir;
    // interval 1, 2 attempts, TTL 64, delivery stops after 9 notices
    dir.write("conf.ini", conf_bytes(1, 2, 64, 9, smtp.address().toLatin1()));
    dir.write("kanshi.ini",
              *cp932_encode(QString::fromStdString(world.answering_address()) +
                            QStringLiteral("\r\n本社ルータ／03-0000-0000／山田\r\n 0 \r\n") +
                            QString::fromStdString(world.silent_address()) +
                            QStringLiteral("\r\n支店スイッチ／06-0000-0000／佐藤\r\n 0 \r\n")));
    QtMessageBoxes boxes;
    CurlMailTransport curl{SmtpTimeouts{2s, 2s, 1s, 30s}};
    MonitorServices services(MonitorParts{.boxes = boxes,
                                          .engine = engine,
                                          .files = files_in(dir),
                                          .first_copy = [] { return true; },
                                          .transport = &curl,
                                          .log = std::nullopt});
    SharedState& state = services.state;
    Application app(services.for_windows());
    ASSERT_TRUE(app.start());
    MainWindow& w = app.main_window();
    w.show();
    w.minute_timer->setInterval(300); // a minute, shortened; the window's own timer drives
    LatencyProbe probe;

    ASSERT_TRUE(run_until([] { return !visible_boxes().empty(); }, 20s));
    const int sweeps_at_box = engine.sweeps;
    bool always_one_box = true;
    ASSERT_TRUE(run_until(
        [&] {
            always_one_box = always_one_box && visible_boxes().size() == 1;
            return engine.sweeps >= sweeps_at_box + 2;
        },
        20s));
    EXPECT_TRUE(always_one_box);
    EXPECT_EQ(visible_boxes().size(), 1u);
    EXPECT_GE(state.monitor.notices_in_a_row(), 2); // each attempt counts
    EXPECT_TRUE(smtp.messages().empty());
    EXPECT_LT(probe.worst_ms(), 100);
    w.minute_timer->stop();
    ASSERT_TRUE(run_until([&] { return !app.checking(); }, 20s));
    for (QMessageBox* box : visible_boxes())
        box->close();
}

TEST(EndToEnd, StatusWithRoundTripsLogAndHistoryAcrossARestart) {
    EchoWorld world;
    if (!world.ok())
        GTEST_SKIP() << world.why_not();
    SmtpTestServer smtp;
    const auto engine = SocketEchoEngine::open();
    ASSERT_TRUE(engine);

    TempWorkDir dir;
    dir.write("conf.ini", conf_bytes(1, 2, 64, 3, smtp.address().toLatin1()));
    const QString answering = QString::fromStdString(world.answering_address());
    const QString silent = QString::fromStdString(world.silent_address());
    dir.write("kanshi.ini",
              *cp932_encode(answering + QStringLiteral("\r\n本社ルータ／1／山田\r\n 0 \r\n") +
                            silent + QStringLiteral("\r\n支店スイッチ／2／佐藤\r\n 0 \r\n") +
                            answering + QStringLiteral("\r\n予備／3／鈴木\r\n 1 \r\n")));
    const QString subject = QStringLiteral("Network障害連絡（1件障害）");
    {
        RealApp real(dir, *engine);
        ASSERT_TRUE(real.app.start());
        real.app.status_window().open();
        auto* status = qobject_cast<StatusWindow*>(real.app.status_window().current());
        ASSERT_TRUE(status);
        real.tick();
        ASSERT_EQ(notices(smtp).size(), 1u);

        const QStringList rows = status->copied_text().split('\n');
        ASSERT_GE(rows.size(), 4);
        // the device down comes first
        const QStringList second = rows[1].split('\t'), first = rows[2].split('\t'),
                          third = rows[3].split('\t');
        EXPECT_EQ(first[kStateColumn], "応答あり");
        EXPECT_GT(first[kRttColumn].toDouble(), 0.0) << rows[2].toStdString();
        EXPECT_LT(first[kRttColumn].toDouble(), 200.0);
        EXPECT_EQ(second[kStateColumn], "応答なし");
        EXPECT_EQ(second[kRttColumn], "");
        EXPECT_EQ(third[kStateColumn], "監視対象外");
        EXPECT_FALSE(first[kSinceColumn].isEmpty());
    }
    const QByteArray first_run = dir.read("pelmora.log");
    EXPECT_TRUE(QString::fromUtf8(first_run).contains("\tnotice\tto="));
    EXPECT_TRUE(QString::fromUtf8(first_run).contains("result=sent subject=" + subject));

    RealApp again(dir, *engine);
    ASSERT_TRUE(again.app.start());
    again.tick();
    EXPECT_TRUE(dir.read("pelmora.log").startsWith(first_run));
    again.app.history_window().open();
    auto* history = qobject_cast<HistoryWindow*>(again.app.history_window().current());
    ASSERT_TRUE(history);
    QStringList kinds;
    for (int r = 0; r < history->table->rowCount(); ++r)
        kinds << history->table->item(r, 1)->text();
    // both runs, newest first; the device still down after the restart is
    // not announced as down again
    EXPECT_EQ(kinds, (QStringList{"notice", "check", "notice", "down", "check"}))
        << kinds.join(u',').toStdString();
    EXPECT_TRUE(history->table->item(2, 2)->text().endsWith(subject));
}
