// Ending the program from the main window while the settings window is open.
#include <gtest/gtest.h>

#include "settings_window_helpers.h"
#include "ui/program_end.h"

TEST(SettingsWindowAtProgramEnd, ClosesWithoutQuestionOrSave) {
    AppFixture fx;
    const QByteArray before = fx.dir.read(QStringLiteral("conf.ini"));
    SettingsWindow* w = open_settings(fx);
    ASSERT_NE(w, nullptr);
    w->interval_minutes->setText(QStringLiteral("9"));
    w->admin_address->setText(QStringLiteral("other@example.com"));

    fx.main().Command1_Click();
    ASSERT_TRUE(program_ending());
    // Whatever closes the window now (the system, the end of the program) asks nothing.
    w->close();
    EXPECT_TRUE(fx.boxes.shown.empty());
    EXPECT_EQ(fx.state.settings.interval_minutes, 5);
    EXPECT_EQ(fx.state.settings.admin_address, QStringLiteral("admin@example.com"));
    EXPECT_EQ(fx.dir.read(QStringLiteral("conf.ini")), before);
}
