// The main window's "終了(&E)" ends the program without asking the editor
// anything and without writing kanshi.ini.
#include <QTest>
#include <gtest/gtest.h>

#include "editor_support.h"
#include "ui/program_end.h"

TEST(EditorProgramEnd, EndsWithoutQuestionAndKeepsTheFile) {
    auto fx = std::make_unique<AppFixture>();
    const QByteArray before = fx->dir.read("kanshi.ini");
    TargetEditorWindow* w = open_editor(*fx);
    paste(w->device_name, QStringLiteral("Unsaved"));
    w->Command1_Click();
    w->del_Click();

    QTest::mouseClick(fx->main().exit_button, Qt::LeftButton);
    EXPECT_TRUE(program_ending());
    w->close(); // as the platform may close it on the way out
    fx->app.reset();
    EXPECT_TRUE(fx->boxes.shown.empty());
    EXPECT_EQ(fx->dir.read("kanshi.ini"), before);
}
