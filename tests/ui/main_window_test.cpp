// The main window: controls where the operator expects them, both display
// states, the interval refresh and the locked commands.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFocusEvent>
#include <QTest>

#include "app_fixture.h"

TEST(MainWindow, ControlsCaptionsAndPlaces) {
    AppFixture fx;
    MainWindow& w = fx.main();
    EXPECT_EQ(w.windowTitle(), "Pelmora");
    EXPECT_EQ(w.interval_caption->text(), QStringLiteral("監視タイミング（分）"));
    EXPECT_EQ(w.elapsed_caption->text(), QStringLiteral("監視経過時間（分）"));
    EXPECT_EQ(w.exit_button->text(), QStringLiteral("終了(&E)"));
    EXPECT_EQ(w.release_button->text(), QStringLiteral("停止解除(&R)"));
    EXPECT_EQ(w.settings_button->text(), QStringLiteral("環境設定(&S)"));
    EXPECT_EQ(w.editor_button->text(), QStringLiteral("監視設定(&I)"));
    EXPECT_EQ(w.version_label->text(), "(Ver.2.04)");
    EXPECT_EQ(w.icmp_caption->text(), QStringLiteral("ICMP監視"));
    // 1/1440 inch to pixels at 96 dpi
    const std::pair<QWidget*, QRect> places[] = {
        {w.interval_caption, {8, 8, 113, 17}},  {w.interval_in_use, {8, 24, 81, 25}},
        {w.elapsed_caption, {8, 56, 113, 17}},  {w.elapsed_minutes, {8, 72, 81, 25}},
        {w.exit_button, {8, 104, 81, 33}},      {w.settings_button, {112, 8, 81, 33}},
        {w.editor_button, {112, 48, 81, 33}},   {w.notices_in_a_row, {96, 104, 97, 17}},
        {w.release_button, {112, 120, 81, 33}}, {w.version_label, {0, 144, 49, 17}},
        {w.icmp_caption, {60, 144, 40, 11}},    {w.target_count, {8, 168, 188, 12}}};
    for (const auto& [control, place] : places)
        EXPECT_EQ(control->geometry(), place) << control->objectName().toStdString();
    EXPECT_EQ(w.separator->geometry().top() + 1, 160);
    EXPECT_EQ(w.separator->width(), 200);
    EXPECT_EQ(w.interval_in_use->alignment() & Qt::AlignRight, Qt::AlignRight);
    EXPECT_EQ(w.minute_timer->interval(), 60000);
    EXPECT_TRUE(w.minute_timer->isActive());
}

TEST(MainWindow, NormalAndStoppedDisplay) {
    AppFixture fx;
    MainWindow& w = fx.main();
    const QColor face = QApplication::palette().color(QPalette::Button);
    EXPECT_FALSE(w.release_button->isEnabled());
    EXPECT_TRUE(w.settings_button->isEnabled());
    EXPECT_TRUE(w.editor_button->isEnabled());
    EXPECT_EQ(w.palette().color(QPalette::Window), face);
    EXPECT_TRUE(w.autoFillBackground());

    fx.state.monitor.set_delivery_stopped(true);
    EXPECT_TRUE(w.release_button->isEnabled());
    EXPECT_FALSE(w.settings_button->isEnabled());
    EXPECT_FALSE(w.editor_button->isEnabled());
    EXPECT_EQ(w.palette().color(QPalette::Window), QColor(255, 0, 0));

    fx.state.monitor.set_delivery_stopped(false);
    EXPECT_FALSE(w.release_button->isEnabled());
    EXPECT_TRUE(w.settings_button->isEnabled());
    EXPECT_EQ(w.palette().color(QPalette::Window), face);
}

TEST(MainWindow, Command3FocusRefreshesTheIntervalOnly) {
    AppFixture fx;
    MainWindow& w = fx.main();
    fx.state.monitor.set_elapsed_minutes(3);
    fx.state.settings.interval_minutes = 12; // as a confirmed settings window leaves it
    EXPECT_EQ(w.interval_in_use->text(), "5");
    QFocusEvent in(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(w.settings_button, &in);
    EXPECT_EQ(w.interval_in_use->text(), "12");
    EXPECT_EQ(w.elapsed_minutes->text(), "3");
}

TEST(MainWindow, ClickingCommand3GivesItTheFocusAndRefreshesTheInterval) {
    AppFixture fx;
    MainWindow& w = fx.main();
    fx.app->settings_window().make = [] { return new QWidget; };
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    fx.state.settings.interval_minutes = 9;
    QTest::mouseClick(w.settings_button, Qt::LeftButton);
    EXPECT_EQ(w.interval_in_use->text(), "9");
}

TEST(MainWindow, NoTickIsHandledBeforeStartUpIsDone) {
    AppFixture refused("", "a\r\n"); // start-up fails: the timer never starts
    EXPECT_FALSE(refused.started);
    EXPECT_FALSE(refused.main().minute_timer->isActive());
}

TEST(MainWindow, SecondaryWindowsOpenOnceAndNeverWhileStopped) {
    AppFixture fx;
    int built = 0;
    fx.app->settings_window().make = [&] {
        ++built;
        return new QWidget;
    };
    fx.app->target_editor().make = [&] {
        ++built;
        return new QWidget;
    };

    fx.state.monitor.set_delivery_stopped(true);
    fx.main().settings_button->click(); // disabled: no click at all
    fx.app->Command3_Click();           // and the handler itself refuses too
    fx.app->Command4_Click();
    EXPECT_EQ(built, 0);

    fx.state.monitor.set_delivery_stopped(false);
    fx.app->Command3_Click();
    QWidget* first = fx.app->settings_window().current();
    fx.app->Command3_Click();
    EXPECT_EQ(built, 1);
    EXPECT_EQ(fx.app->settings_window().current(), first);

    fx.app->Command4_Click();
    EXPECT_EQ(built, 2);
    first->close(); // deletes itself; the next click builds it afresh
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    fx.app->Command3_Click();
    EXPECT_EQ(built, 3);
}
