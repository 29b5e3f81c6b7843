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
    EXPECT_EQ(w.Label1->text(), QStringLiteral("監視タイミング（分）"));
    EXPECT_EQ(w.Label2->text(), QStringLiteral("監視経過時間（分）"));
    EXPECT_EQ(w.Command1->text(), QStringLiteral("終了(&E)"));
    EXPECT_EQ(w.Command2->text(), QStringLiteral("停止解除(&R)"));
    EXPECT_EQ(w.Command3->text(), QStringLiteral("環境設定(&S)"));
    EXPECT_EQ(w.Command4->text(), QStringLiteral("監視設定(&I)"));
    EXPECT_EQ(w.Label5->text(), "(Ver.2.04)");
    EXPECT_EQ(w.Label4->text(), QStringLiteral("ICMP監視"));
    // 1/1440 inch to pixels at 96 dpi
    const std::pair<QWidget*, QRect> places[] = {
        {w.Label1, {8, 8, 113, 17}},      {w.Label7, {8, 24, 81, 25}},
        {w.Label2, {8, 56, 113, 17}},     {w.Label6, {8, 72, 81, 25}},
        {w.Command1, {8, 104, 81, 33}},   {w.Command3, {112, 8, 81, 33}},
        {w.Command4, {112, 48, 81, 33}},  {w.Yokusi_view, {96, 104, 97, 17}},
        {w.Command2, {112, 120, 81, 33}}, {w.Label5, {0, 144, 49, 17}},
        {w.Label4, {60, 144, 40, 11}},    {w.Label3, {8, 168, 188, 12}}};
    for (const auto& [control, place] : places)
        EXPECT_EQ(control->geometry(), place) << control->objectName().toStdString();
    EXPECT_EQ(w.Line1->geometry().top() + 1, 160);
    EXPECT_EQ(w.Line1->width(), 200);
    EXPECT_EQ(w.Label7->alignment() & Qt::AlignRight, Qt::AlignRight);
    EXPECT_EQ(w.Timer1->interval(), 60000);
    EXPECT_TRUE(w.Timer1->isActive());
}

TEST(MainWindow, NormalAndStoppedDisplay) {
    AppFixture fx;
    MainWindow& w = fx.main();
    const QColor face = QApplication::palette().color(QPalette::Button);
    EXPECT_FALSE(w.Command2->isEnabled());
    EXPECT_TRUE(w.Command3->isEnabled());
    EXPECT_TRUE(w.Command4->isEnabled());
    EXPECT_EQ(w.palette().color(QPalette::Window), face);
    EXPECT_TRUE(w.autoFillBackground());

    fx.state.monitor.set_delivery_stopped(true);
    EXPECT_TRUE(w.Command2->isEnabled());
    EXPECT_FALSE(w.Command3->isEnabled());
    EXPECT_FALSE(w.Command4->isEnabled());
    EXPECT_EQ(w.palette().color(QPalette::Window), QColor(255, 0, 0));

    fx.state.monitor.set_delivery_stopped(false);
    EXPECT_FALSE(w.Command2->isEnabled());
    EXPECT_TRUE(w.Command3->isEnabled());
    EXPECT_EQ(w.palette().color(QPalette::Window), face);
}

TEST(MainWindow, Command3FocusRefreshesTheIntervalOnly) {
    AppFixture fx;
    MainWindow& w = fx.main();
    fx.state.monitor.set_elapsed_minutes(3);
    fx.state.settings.interval_minutes = 12; // as a confirmed settings window leaves it
    EXPECT_EQ(w.Label7->text(), "5");
    QFocusEvent in(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(w.Command3, &in);
    EXPECT_EQ(w.Label7->text(), "12");
    EXPECT_EQ(w.Label6->text(), "3");
}

TEST(MainWindow, ClickingCommand3GivesItTheFocusAndRefreshesTheInterval) {
    AppFixture fx;
    MainWindow& w = fx.main();
    fx.app->settings_window().make = [] { return new QWidget; };
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    fx.state.settings.interval_minutes = 9;
    QTest::mouseClick(w.Command3, Qt::LeftButton);
    EXPECT_EQ(w.Label7->text(), "9");
}

TEST(MainWindow, NoTickIsHandledBeforeStartUpIsDone) {
    AppFixture refused("", "a\r\n"); // start-up fails: the timer never starts
    EXPECT_FALSE(refused.started);
    EXPECT_FALSE(refused.main().Timer1->isActive());
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
    fx.main().Command3->click(); // disabled: no click at all
    fx.app->Command3_Click();    // and the handler itself refuses too
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
