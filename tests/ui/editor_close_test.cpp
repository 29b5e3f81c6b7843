// Closing the editor: the save question, the write, the read back, and the
// count in the main window.
#include <QFile>
#include <QTest>
#include <gtest/gtest.h>

#include "core/app_title.h"
#include "editor_support.h"

namespace {

void expect_question(const BoxRequest& r) {
    EXPECT_EQ(r.text, QStringLiteral("更新して終了します。"));
    EXPECT_EQ(r.title, QStringLiteral("終了判定"));
    EXPECT_EQ(r.buttons, BoxButtons::YesNo);
    EXPECT_EQ(r.default_answer, BoxAnswer::Yes);
    EXPECT_EQ(r.icon, BoxIcon::None);
}

} // namespace

TEST(EditorClose, NoUndoesStoredChanges) {
    AppFixture fx;
    const QByteArray before = fx.dir.read("kanshi.ini");
    TargetEditorWindow* w = open_editor(fx);
    paste(w->device_name, QStringLiteral("Changed"));
    w->Command1_Click();
    w->new_Click();
    EXPECT_EQ(fx.state.targets.records[0].description, "Changed／1／a");
    EXPECT_EQ(fx.state.targets.count, 4);

    fx.boxes.answers = {BoxAnswer::No};
    QTest::mouseClick(w->exit_button, Qt::LeftButton);
    ASSERT_EQ(fx.boxes.shown.size(), 1u);
    expect_question(fx.boxes.last());
    EXPECT_EQ(fx.state.targets.records[0].description, "A／1／a");
    EXPECT_EQ(fx.state.targets.count, 3);
    EXPECT_EQ(fx.dir.read("kanshi.ini"), before);
    EXPECT_EQ(fx.main().target_count->text(), "3拠点監視中");
    flush_deletes();
    EXPECT_EQ(fx.app->target_editor().current(), nullptr);
}

TEST(EditorClose, YesWritesExactlyTheRecordsInUse) {
    AppFixture fx(kanshi({{"10.0.0.1", "A／1／a", 0},
                          {"10.0.0.2", "B／2／b", 1},
                          {"10.0.0.3", "C／3／c", 0},
                          {"10.0.0.4", "D／4／d", 0}}));
    TargetEditorWindow* w = open_editor(fx);
    w->up_Click();
    w->del_Click();
    w->up_Click();
    w->disabled_box->click();
    w->Command1_Click();
    fx.boxes.answers = {BoxAnswer::Yes};
    w->close(); // the close box
    expect_question(fx.boxes.shown.at(0));
    EXPECT_EQ(fx.dir.read("kanshi.ini"), kanshi({{"10.0.0.1", "A／1／a", 0},
                                                 {"10.0.0.3", "C／3／c", 1},
                                                 {"10.0.0.4", "D／4／d", 0}}));
    EXPECT_EQ(fx.state.targets.count, 3);
    EXPECT_EQ(fx.main().target_count->text(), "3拠点監視中");
}

TEST(EditorClose, FailedSaveKeepsTheFileAndTheEdits) {
    AppFixture fx;
    const QByteArray before = fx.dir.read("kanshi.ini");
    TargetEditorWindow* w = open_editor(fx);
    w->del_Click();
    paste(w->person_in_charge, QStringLiteral("Kept"));
    w->Command1_Click();
    QFile::setPermissions(fx.dir.path("kanshi.ini"),
                          QFileDevice::ReadOwner | QFileDevice::ReadOther);
    fx.boxes.answers = {BoxAnswer::Yes};
    {
        AsUnprivileged nobody;
        w->close();
    }
    ASSERT_EQ(fx.boxes.shown.size(), 2u);
    const BoxRequest& error = fx.boxes.last();
    EXPECT_EQ(error.icon, BoxIcon::Critical);
    EXPECT_EQ(error.title, app_title());
    EXPECT_TRUE(error.text.contains("kanshi.ini")) << error.text.toStdString();
    EXPECT_EQ(fx.dir.read("kanshi.ini"), before);
    EXPECT_EQ(fx.state.targets.count, 2); // not thrown away by reading the old file back
    EXPECT_EQ(fx.state.targets.records[0].description, "B／2／Kept");
    EXPECT_EQ(fx.main().target_count->text(), "2拠点監視中");
}

TEST(EditorClose, ARecordTheFileCannotHoldIsNamedAndCanBeMended) {
    // A hand edit left a quote in record 2; a comma added in the editor makes
    // the description one the file cannot give back.
    AppFixture fx(kanshi({{"10.0.0.1", "A／1／a", 0}, {"10.0.0.2", "B／2／Sato \"Jr", 0}}));
    const QByteArray before = fx.dir.read("kanshi.ini");
    TargetEditorWindow* w = open_editor(fx);
    w->up_Click();
    paste(w->contact_number, QStringLiteral("2, ext 5"));
    w->Command1_Click();
    fx.boxes.answers = {BoxAnswer::Yes};
    w->close();
    ASSERT_EQ(fx.boxes.shown.size(), 2u);
    const BoxRequest& error = fx.boxes.last();
    EXPECT_EQ(error.icon, BoxIcon::Critical);
    EXPECT_TRUE(error.text.contains(QStringLiteral("監視通番 2 の「管理担当者」")))
        << error.text.toStdString();
    EXPECT_FALSE(error.text.contains(QStringLiteral("閉じると、保存をやり直せます")));
    EXPECT_EQ(fx.dir.read("kanshi.ini"), before);
    EXPECT_EQ(fx.state.targets.records[1].description,
              QStringLiteral("B／2, ext 5／Sato \"Jr")); // the edit is kept

    // The operator mends it in the editor and the close saves.
    flush_deletes();
    fx.boxes.clear();
    w = open_editor(fx);
    ASSERT_NE(w, nullptr);
    w->up_Click();
    w->person_in_charge->setCursorPosition(5);
    QTest::keyClick(w->person_in_charge, Qt::Key_Delete);
    EXPECT_TRUE(fx.boxes.shown.empty());
    w->Command1_Click();
    fx.boxes.answers = {BoxAnswer::Yes};
    w->close();
    ASSERT_EQ(fx.boxes.shown.size(), 1u);
    EXPECT_EQ(fx.dir.read("kanshi.ini"),
              kanshi({{"10.0.0.1", "A／1／a", 0}, {"10.0.0.2", "\"B／2, ext 5／Sato Jr\"", 0}}));
    EXPECT_EQ(fx.state.targets.records[1].description, QStringLiteral("B／2, ext 5／Sato Jr"));
}

TEST(EditorClose, AnUnreadableByteIsNamedByRecordAndBox) {
    AppFixture fx(kanshi({{"10.0.0.1", "A／1／a", 0}, {"10.0.0.2", "B／2／b", 0}}));
    QByteArray bytes = kanshi({{"10.0.0.1", "A／1／a", 0}, {"10.0.0.2", "B／2／b", 0}});
    bytes.replace("10.0.0.1\r\nA", "10.0.0.1\r\n\xA0"); // never valid in the code page
    fx.dir.write("kanshi.ini", bytes);
    TargetEditorWindow* w = open_editor(fx);
    fx.boxes.answers = {BoxAnswer::No}; // reads the file with the bad byte
    w->close();
    flush_deletes();
    w = open_editor(fx);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->device_name->text(), QStringLiteral("\uFFFD"));
    fx.boxes.clear();
    fx.boxes.answers = {BoxAnswer::Yes};
    w->close();
    ASSERT_EQ(fx.boxes.shown.size(), 2u);
    EXPECT_TRUE(fx.boxes.last().text.contains(QStringLiteral("監視通番 1 の「機器名称」")))
        << fx.boxes.last().text.toStdString();
    EXPECT_EQ(fx.dir.read("kanshi.ini"), bytes);
}

TEST(EditorClose, UnreadableFileKeepsTheTable) {
    AppFixture fx;
    TargetEditorWindow* w = open_editor(fx);
    w->del_Click();
    QFile::remove(fx.dir.path("kanshi.ini"));
    fx.boxes.answers = {BoxAnswer::No};
    w->close();
    ASSERT_EQ(fx.boxes.shown.size(), 2u);
    EXPECT_EQ(fx.boxes.last().icon, BoxIcon::Critical);
    EXPECT_EQ(fx.state.targets.count, 2);
    EXPECT_EQ(fx.main().target_count->text(), "2拠点監視中");
}

TEST(EditorClose, ASecondCloseWhileAskingIsIgnored) {
    AppFixture fx;
    TargetEditorWindow* w = open_editor(fx);
    fx.boxes.on_show = [w](const BoxRequest&) { w->close(); };
    fx.boxes.answers = {BoxAnswer::No};
    w->close();
    fx.boxes.on_show = nullptr;
    EXPECT_EQ(fx.boxes.shown.size(), 1u);
    EXPECT_FALSE(w->isVisible());
}
