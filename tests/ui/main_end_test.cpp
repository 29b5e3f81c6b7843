// 終了 while a notice is stuck in a stalled SMTP dialogue: the program ends
// at once, leaving the mail behind, and writes nothing.
#include <QTest>
#include <gtest/gtest.h>

#include "busy_check_support.h"
#include "ui/program_end.h"

TEST(MainProgramEnd, EndsWithinTwoSecondsDuringAStalledDialogue) {
    // Both outlive the test, where the abandoned worker may still reach them.
    static auto* engine = new SlowEngine;
    engine->delay = std::chrono::milliseconds(10);
    static auto* transport = new StallingTransport;
    transport->stall = std::chrono::minutes(5);
    auto fx = std::make_unique<BusyApp>(*engine, *transport);
    ASSERT_TRUE(fx->started);
    const QByteArray conf = fx->dir.read(QStringLiteral("conf.ini"));
    const QByteArray kanshi = fx->dir.read(QStringLiteral("kanshi.ini"));

    fx->app->Timer1_Timer();
    ASSERT_TRUE(run_until([&] { return transport->sends == 1; }));
    QElapsedTimer ending;
    QTimer::singleShot(100, [&] {
        ending.start();
        QTest::mouseClick(fx->app->main_window().exit_button, Qt::LeftButton);
    });
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_LT(ending.elapsed(), 2000);
    EXPECT_TRUE(program_ending());
    EXPECT_TRUE(fx->app->checking()); // the notice was abandoned, not waited for
    EXPECT_EQ(fx->dir.read(QStringLiteral("conf.ini")), conf);
    EXPECT_EQ(fx->dir.read(QStringLiteral("kanshi.ini")), kanshi);
    fx.reset(); // nothing of the check may come back after this
    QEventLoop settle;
    QTimer::singleShot(100, &settle, &QEventLoop::quit);
    settle.exec();
}
