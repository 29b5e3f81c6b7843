// The sweep and the release on the real main window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QEventLoop>
#include <QPalette>
#include <QStringList>
#include <QTimer>

#include "app_fixture.h"

namespace {

QColor background(const MainWindow& w) {
    return w.palette().color(QPalette::Window);
}
QColor button_face() {
    return QApplication::palette().color(QPalette::Button);
}

// interval 1 (every tick sweeps), stop value 1 (the first notice stops)
struct StopFixture : AppFixture {
    StopFixture() : AppFixture(three_targets(), conf_bytes(1, 3, 64, 1)) {
        engine.reachable = [this](int index, const std::string&) { return index != failing; };
    }
    int failing = 1; // -1: everyone answers
};

TEST(SweepWindow, StopDisplayAndReleaseByHand) {
    StopFixture fx;
    ASSERT_TRUE(fx.started);
    MainWindow& w = fx.main();
    EXPECT_FALSE(w.release_button->isEnabled());
    EXPECT_TRUE(w.settings_button->isEnabled());
    EXPECT_TRUE(w.editor_button->isEnabled());
    EXPECT_EQ(background(w), button_face());
    EXPECT_TRUE(w.autoFillBackground());

    fx.app->Timer1_Timer();
    ASSERT_EQ(fx.mail.sent.size(), 1u);
    EXPECT_EQ(fx.mail.sent[0].subject, "Network障害連絡（1件障害）");
    EXPECT_EQ(fx.mail.sent[0].body, QStringLiteral("＜1件目＞B／2／b\r"));
    EXPECT_EQ(background(w), QColor(255, 0, 0));
    EXPECT_TRUE(w.release_button->isEnabled());
    EXPECT_FALSE(w.settings_button->isEnabled());
    EXPECT_FALSE(w.editor_button->isEnabled());
    EXPECT_EQ(w.notices_in_a_row->text(), "連続配信回数：1");
    EXPECT_EQ(w.elapsed_minutes->text(), "0");

    w.elapsed_minutes->setText(QStringLiteral("3")); // the release leaves the minute count alone
    w.release_button->click();
    EXPECT_FALSE(w.release_button->isEnabled());
    EXPECT_TRUE(w.settings_button->isEnabled());
    EXPECT_TRUE(w.editor_button->isEnabled());
    EXPECT_EQ(background(w), button_face());
    EXPECT_EQ(w.notices_in_a_row->text(), "連続配信回数：0");
    EXPECT_EQ(w.elapsed_minutes->text(), "3");
    EXPECT_EQ(fx.state.monitor.clean_checks_while_stopped, 0);
    EXPECT_EQ(fx.mail.sent.size(), 1u);
}

TEST(SweepWindow, WindowAtTheMomentOfEachMail) {
    StopFixture fx;
    MainWindow& w = fx.main();
    struct Seen {
        QString subject, view;
        bool command2;
        QColor colour;
    };
    std::vector<Seen> seen;
    fx.mail.on_send = [&](const SentNotice& n) {
        seen.push_back(
            {n.subject, w.notices_in_a_row->text(), w.release_button->isEnabled(), background(w)});
    };

    fx.app->Timer1_Timer(); // failure notice, then the stop
    fx.failing = -1;
    for (int i = 0; i < 3; ++i)
        fx.app->Timer1_Timer(); // the third clean sweep recovers
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].view, "連続配信回数：1");
    EXPECT_FALSE(seen[0].command2);
    EXPECT_EQ(seen[0].colour, button_face());
    EXPECT_EQ(seen[1].subject, "Network障害連絡（監視自動復旧）");
    EXPECT_EQ(seen[1].view, "連続配信回数：1");
    EXPECT_TRUE(seen[1].command2);
    EXPECT_EQ(seen[1].colour, QColor(255, 0, 0));
    EXPECT_FALSE(w.release_button->isEnabled());
    EXPECT_EQ(background(w), button_face());

    // Recovery before the stop: the counter is reset before the mail.
    fx.state.settings.stop_after_notices = 3;
    fx.failing = 1;
    fx.app->Timer1_Timer();
    fx.failing = -1;
    fx.app->Timer1_Timer();
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[3].subject, "Network障害連絡（復旧）");
    EXPECT_EQ(seen[3].view, "連続配信回数：0");
    EXPECT_EQ(fx.mail.sent.back().body.left(2), "1分");
}

TEST(SweepWindow, TicksCountUpToTheIntervalShown) {
    AppFixture fx; // interval 5, everyone answers
    MainWindow& w = fx.main();
    ASSERT_EQ(w.interval_in_use->text(), "5");
    QStringList shown;
    for (int i = 0; i < 5; ++i) {
        fx.app->Timer1_Timer();
        shown << w.elapsed_minutes->text();
    }
    EXPECT_EQ(shown, QStringList({"1", "2", "3", "4", "0"}));
    EXPECT_EQ(fx.engine.calls.size(), 1u);
    EXPECT_TRUE(fx.mail.sent.empty());
}

TEST(SweepWindow, TickWhileAMailBoxWaitsIsDropped) {
    // Qt does not re-enter a QTimer's own handler, but any tick delivered by
    // the event loop a message box runs must still find the sweep busy.
    StopFixture fx;
    MainWindow& w = fx.main();
    int sends = 0;
    size_t calls_after_box = 0;
    QString label6_after_box;
    fx.mail.on_send = [&](const SentNotice&) {
        ++sends;
        QEventLoop box;
        QTimer::singleShot(0, &box, [&] { fx.app->Timer1_Timer(); });
        QTimer::singleShot(0, &box, [&] { w.interval_in_use->setText(QStringLiteral("9")); });
        QTimer::singleShot(0, &box, [&] { fx.app->Timer1_Timer(); });
        QTimer::singleShot(20, &box, &QEventLoop::quit);
        box.exec();
        calls_after_box = fx.engine.calls.size();
        label6_after_box = w.elapsed_minutes->text();
    };
    fx.app->Timer1_Timer();

    EXPECT_EQ(sends, 1);
    EXPECT_EQ(calls_after_box, 1u);
    EXPECT_EQ(label6_after_box, "0"); // not even counted
    EXPECT_EQ(fx.state.monitor.notices_in_a_row(), 1);
    EXPECT_EQ(w.elapsed_minutes->text(), "0");
}

} // namespace
