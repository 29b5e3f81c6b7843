// Checks that take seconds and mail that fails slowly never hold the window:
// it keeps answering, failure boxes wait without stopping anything, and the
// monitoring state changes in the order the operator sees them.
#include <gtest/gtest.h>

#include "busy_check_support.h"

TEST(BusyCheck, WindowAnswersChecksKeepThePaceAndOneFailureBoxWaitsWhileMoreChecksMail) {
    SlowEngine engine;
    StallingTransport transport;
    BusyApp fx(engine, transport);
    ASSERT_TRUE(fx.started);
    Application& app = *fx.app;
    MainWindow& w = app.main_window();
    LatencyProbe probe;

    app.Timer1_Timer();
    EXPECT_TRUE(app.checking());
    ASSERT_TRUE(run_until([&] { return transport.sends == 1; }));
    EXPECT_EQ(w.notices_in_a_row->text(), QStringLiteral("連続配信回数：1")); // before the mail
    // The check ended when it decided: the next minute checks again while
    // the mail is still out.
    EXPECT_EQ(w.elapsed_minutes->text(), QStringLiteral("0"));
    app.Timer1_Timer();
    ASSERT_TRUE(run_until([&] { return engine.calls == 2; }));
    ASSERT_TRUE(run_until([&] { return !app.checking(); }));
    EXPECT_EQ(transport.sends, 2);
    ASSERT_EQ(visible_boxes().size(), 1u);
    EXPECT_EQ(visible_boxes()[0]->text(),
              QStringLiteral("Code : 452\n\ntry again later\n段階：DATA"));

    // Nobody answers the box; monitoring goes on and the newest failure replaces it.
    for (int more = 2; more <= 3; ++more) {
        SCOPED_TRACE(more);
        app.Timer1_Timer();
        ASSERT_TRUE(app.checking());
        ASSERT_TRUE(run_until([&] {
            EXPECT_LE(visible_boxes().size(), 1u);
            return !app.checking();
        }));
        EXPECT_EQ(transport.sends, 1 + more);
        ASSERT_EQ(visible_boxes().size(), 1u);
        EXPECT_EQ(visible_boxes()[0]->text(),
                  QStringLiteral("Code : %1\n\ntry again later\n段階：DATA").arg(451 + more));
    }
    EXPECT_EQ(engine.calls, 4);
    EXPECT_EQ(w.notices_in_a_row->text(),
              QStringLiteral("連続配信回数：4")); // failed notices count
    EXPECT_EQ(w.elapsed_minutes->text(), QStringLiteral("0"));
    EXPECT_LT(probe.worst_ms(), 100);
    for (QMessageBox* box : visible_boxes())
        box->close();
}

TEST(BusyCheck, EditsDuringACheckApplyFromTheNextOne) {
    SlowEngine engine;
    StallingTransport transport;
    BusyApp fx(engine, transport);
    Application& app = *fx.app;
    app.Timer1_Timer();
    // The operator lowers the stop value while the sweep runs: this check
    // keeps the 9 it started with, so the notice does not stop delivery.
    fx.state.settings.stop_after_notices = 1;
    ASSERT_TRUE(run_until([&] { return !app.checking(); }));
    EXPECT_EQ(transport.sends, 1);
    EXPECT_FALSE(fx.state.monitor.delivery_stopped());
    app.Timer1_Timer();
    ASSERT_TRUE(run_until([&] { return !app.checking(); }));
    EXPECT_EQ(transport.sends, 1); // the lowered value applies now: no second notice
    for (QMessageBox* box : visible_boxes())
        box->close();
}
