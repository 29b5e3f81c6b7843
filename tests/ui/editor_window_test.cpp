// The real editor window, opened from the main window, with scripted boxes.
#include <QApplication>
#include <QStyle>
#include <QTest>
#include <gtest/gtest.h>

#include "focus_chain.h"

#include "core/app_title.h"
#include "editor_support.h"

namespace {

QStringList texts(TargetEditorWindow* w) {
    return {w->record_number->text(),  w->address_octet1->text(),  w->address_octet2->text(),
            w->address_octet3->text(), w->address_octet4->text(),  w->device_name->text(),
            w->contact_number->text(), w->person_in_charge->text()};
}

void expect_plain_ok(const BoxRequest& r, const QString& text) {
    EXPECT_EQ(r.text, text);
    EXPECT_EQ(r.title, app_title());
    EXPECT_EQ(r.icon, BoxIcon::None);
    EXPECT_EQ(r.buttons, BoxButtons::Ok);
}

const QString k1to255 = QStringLiteral("1～255の値で設定してください");
const QString k0to255 = QStringLiteral("0～255の値で設定してください");

} // namespace

TEST(EditorWindow, OpensAtRecordOneWithItsPartsAndFlag) {
    AppFixture fx(kanshi({{"10.0.0.254", "Core／0000／Admin", 1}, {"10.0.0.9", "A／B／C／D", 0}}));
    TargetEditorWindow* w = open_editor(fx);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->windowTitle(), "監視設定");
    EXPECT_EQ(w->objectName(), "kansi");
    EXPECT_EQ(texts(w), (QStringList{"1", "10", "0", "0", "254", "Core", "0000", "Admin"}));
    EXPECT_EQ(w->disabled_box->checkState(), Qt::Checked);
    EXPECT_TRUE(fx.boxes.shown.empty());
    w->up_Click();
    EXPECT_EQ(texts(w), (QStringList{"2", "10", "0", "0", "9", "A", "B", "C／D"}));
    EXPECT_EQ(w->disabled_box->checkState(), Qt::Unchecked);
    EXPECT_TRUE(fx.boxes.shown.empty());

    // Closing and opening again starts at record 1.
    fx.boxes.answers = {BoxAnswer::No};
    w->close();
    flush_deletes();
    EXPECT_EQ(fx.app->target_editor().current(), nullptr);
    w = open_editor(fx);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->record_number->text(), "1");
}

TEST(EditorWindow, CaptionsAndPlaces) {
    AppFixture fx;
    TargetEditorWindow* w = open_editor(fx);
    EXPECT_EQ(w->size(), QSize(494, 194));
    EXPECT_EQ(w->number_caption->text(), QStringLiteral("監視通番："));
    EXPECT_EQ(w->next_button->text(), QStringLiteral("↑"));
    EXPECT_EQ(w->previous_button->text(), QStringLiteral("↓"));
    EXPECT_EQ(w->new_button->text(), QStringLiteral("新規(&N)"));
    EXPECT_EQ(w->delete_button->text(), QStringLiteral("削除(&D)"));
    EXPECT_EQ(w->exit_button->text(), QStringLiteral("終了(&E)"));
    EXPECT_EQ(w->update_button->text(), QStringLiteral("更新(&U)"));
    EXPECT_EQ(w->fields_frame->title(), QStringLiteral("項目"));
    EXPECT_EQ(w->enabled_frame->title(), QStringLiteral("有効/無効"));
    EXPECT_EQ(w->disabled_caption->text(), QStringLiteral("無効"));
    EXPECT_EQ(w->cancel_note->text(),
              QStringLiteral("「更新」しないで「終了」すると、表示されている項目に対しての"
                             "変更はキャンセルになります"));
    for (QLabel* dot : {w->address_dot1, w->address_dot2, w->address_dot3})
        EXPECT_EQ(dot->text(), QStringLiteral("．"));
    // places from the window's corner, in pixels at 96 dpi
    auto at = [w](QWidget* c) { return QRect(c->mapTo(w, QPoint(0, 0)), c->size()); };
    EXPECT_EQ(at(w->next_button), QRect(128, 8, 33, 20));
    EXPECT_EQ(at(w->exit_button), QRect(424, 8, 65, 33));
    EXPECT_EQ(at(w->address_octet1), QRect(88, 56, 65, 18));
    EXPECT_EQ(at(w->device_name), QRect(88, 80, 313, 25));
    EXPECT_EQ(at(w->update_button), QRect(336, 144, 65, 25));
    EXPECT_EQ(at(w->disabled_box), QRect(416, 64, 17, 12));
    EXPECT_EQ(QApplication::focusWidget() == w->address_octet1 ||
                  w->focusWidget() == w->address_octet1,
              true);
}

TEST(EditorWindow, TheDisabledBoxShowsWholeInsideItsFrame) {
    AppFixture fx;
    TargetEditorWindow* w = open_editor(fx);
    const QStyle* style = w->disabled_box->style();
    EXPECT_LE(style->pixelMetric(QStyle::PM_IndicatorHeight, nullptr, w->disabled_box),
              w->disabled_box->height());
    EXPECT_LE(style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, w->disabled_box),
              w->disabled_box->width());
    // The frame's top border, looked for right of its caption, runs above the box.
    const QImage frame = w->enabled_frame->grab().toImage();
    const int column = frame.width() - 4;
    const QRgb background = frame.pixel(column, 0);
    int border = -1;
    for (int y = 1; y < frame.height() && border < 0; ++y) {
        if (frame.pixel(column, y) != background)
            border = y;
    }
    EXPECT_GE(border, 0);
    EXPECT_LT(border, w->disabled_box->y());
}

TEST(EditorWindow, TabOrderAndAccessKeys) {
    AppFixture fx;
    TargetEditorWindow* w = open_editor(fx);
    EXPECT_EQ(tab_chain(w->address_octet1),
              (QStringList{"Text1", "Text2", "Text3", "Text4", "Text5", "Text6", "Text7", "del",
                           "end", "up", "down", "new", "Command1", "Check1"}));

    // Alt+U stores the boxes like a click on "更新(&U)".
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    paste(w->device_name, QStringLiteral("Renamed"));
    // Any other Alt+letter does nothing: no letter, no range message, no edit lost.
    QTest::keyClick(w->address_octet2, Qt::Key_X, Qt::AltModifier);
    EXPECT_TRUE(fx.boxes.shown.empty());
    EXPECT_EQ(texts(w), (QStringList{"1", "10", "0", "0", "1", "Renamed", "1", "a"}));
    EXPECT_EQ(fx.state.targets.records[0].description, "A／1／a");
    QTest::keyClick(w, Qt::Key_U, Qt::AltModifier);
    // an access key presses the button visibly and clicks it a moment later
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return fx.state.targets.records[0].description == "Renamed／1／a"; }, 2000));
}

TEST(EditorWindow, OctetChecksRefuseAndShowTheStoredRecord) {
    AppFixture fx; // 10.0.0.1 A／1／a ...
    TargetEditorWindow* w = open_editor(fx);
    std::array<QLineEdit*, 4> box{w->address_octet1, w->address_octet2, w->address_octet3,
                                  w->address_octet4};
    const QStringList stored{"10", "0", "0", "1"};
    struct Case {
        const char* text;
        bool ok[4];
    };
    const Case cases[] = {
        {"0", {false, true, true, false}},     {"255", {true, true, true, true}},
        {"256", {false, false, false, false}}, {"255.5", {false, false, false, false}},
        {"0.5", {false, false, false, false}}, {"abc", {false, false, false, false}},
        {"1e2", {false, false, false, false}}, {"+5", {false, false, false, false}},
        {" 7 ", {true, true, true, true}}};
    for (const Case& c : cases) {
        for (int i = 0; i < 4; ++i) {
            fx.boxes.clear();
            box[i]->setText(QString::fromUtf8(c.text));
            if (c.ok[i]) {
                EXPECT_TRUE(fx.boxes.shown.empty()) << c.text << " box " << i;
                EXPECT_EQ(box[i]->text(), QString::fromUtf8(c.text));
            } else {
                ASSERT_EQ(fx.boxes.shown.size(), 1u) << c.text << " box " << i;
                expect_plain_ok(fx.boxes.last(), i == 0 || i == 3 ? k1to255 : k0to255);
                EXPECT_EQ(box[i]->text(), stored[i]);
            }
            box[i]->setText(stored[i]);
            EXPECT_EQ(fx.state.targets.records[0].address,
                      "10.0.0.1"); // nothing stored without a command
        }
    }

    // Typed: deleting the last digit empties the box, which fails.
    fx.boxes.clear();
    w->address_octet4->setFocus();
    w->address_octet4->end(false);
    QTest::keyClick(w->address_octet4, Qt::Key_Backspace);
    ASSERT_EQ(fx.boxes.shown.size(), 1u);
    EXPECT_EQ(fx.boxes.last().text, k1to255);
    EXPECT_EQ(w->address_octet4->text(), "1");

    // Letters typed after the digits fail too.
    fx.boxes.clear();
    w->address_octet2->end(false);
    QTest::keyClicks(w->address_octet2, "x");
    EXPECT_EQ(fx.boxes.shown.size(), 1u);
    EXPECT_EQ(w->address_octet2->text(), "0");
}

TEST(EditorWindow, RefusedOctetDropsEveryUnstoredEdit) {
    AppFixture fx;
    TargetEditorWindow* w = open_editor(fx);
    paste(w->device_name, QStringLiteral("Typed name"));
    w->disabled_box->click();
    w->address_octet3->setText(QStringLiteral("300"));
    EXPECT_EQ(fx.boxes.shown.size(), 1u);
    EXPECT_EQ(texts(w), (QStringList{"1", "10", "0", "0", "1", "A", "1", "a"}));
    EXPECT_EQ(w->disabled_box->checkState(), Qt::Unchecked);
    EXPECT_EQ(fx.state.targets.records[0].description, "A／1／a");
}

TEST(EditorWindow, DeleteInTheWindow) {
    AppFixture fx;
    TargetEditorWindow* w = open_editor(fx);
    w->up_Click();
    paste(w->device_name, QStringLiteral("never stored"));
    w->del_Click();
    EXPECT_EQ(fx.state.targets.count, 2);
    EXPECT_EQ(texts(w), (QStringList{"1", "10", "0", "0", "1", "A", "1", "a"}));
    EXPECT_EQ(fx.state.targets.records[1].description, "C／3／c");
    w->up_Click();
    w->del_Click();
    w->del_Click();
    ASSERT_EQ(fx.boxes.shown.size(), 1u);
    expect_plain_ok(fx.boxes.last(),
                    QStringLiteral("データは最低１つ必要です。\rこれ以上削除できません。"));
    EXPECT_EQ(fx.state.targets.count, 1);
    EXPECT_EQ(w->record_number->text(), "1");
    EXPECT_EQ(w->device_name->text(), "A");
}

TEST(EditorWindow, DownStoresUpdateKeepsTheBoxesAndARefusedDeleteShowsNothingNew) {
    AppFixture fx;
    TargetEditorWindow* w = open_editor(fx);
    // ↓ on the first record stores the edits and shows the same record again
    paste(w->device_name, QStringLiteral("Edited"));
    w->down_Click();
    EXPECT_EQ(fx.state.targets.records[0].description, QStringLiteral("Edited／1／a"));
    EXPECT_EQ(w->record_number->text(), "1");
    // 更新 stores, and the boxes keep exactly what was typed, a "／" included
    paste(w->device_name, QStringLiteral("X／Y"));
    w->Command1_Click();
    EXPECT_EQ(fx.state.targets.records[0].description, QStringLiteral("X／Y／1／a"));
    EXPECT_EQ(w->device_name->text(), QStringLiteral("X／Y"));
    EXPECT_EQ(w->contact_number->text(), "1");

    AppFixture one(kanshi({{"10.0.0.1", "Only／1／a", 0}}));
    w = open_editor(one);
    paste(w->device_name, QStringLiteral("typed, not stored"));
    w->del_Click();
    ASSERT_EQ(one.boxes.shown.size(), 1u);
    EXPECT_EQ(w->device_name->text(), QStringLiteral("typed, not stored")); // nothing redisplayed
    EXPECT_EQ(one.state.targets.records[0].description, QStringLiteral("Only／1／a"));
}

TEST(EditorWindow, NewAfterEditsAndAtTheLimit) {
    AppFixture fx(kanshi(numbered(5)));
    TargetEditorWindow* w = open_editor(fx);
    w->up_Click();
    w->address_octet1->setText(QStringLiteral("192"));
    paste(w->contact_number, QStringLiteral("0120"));
    w->disabled_box->click();
    QTest::mouseClick(w->new_button, Qt::LeftButton);
    EXPECT_EQ(fx.state.targets.count, 6);
    EXPECT_EQ(fx.state.targets.records[1].address, "192.0.0.3");
    EXPECT_EQ(fx.state.targets.records[1].description, "Dev2／0120／P2");
    EXPECT_EQ(fx.state.targets.records[1].flag, 1);
    EXPECT_EQ(texts(w), (QStringList{"6", "127", "0", "0", "1", " ", " ", " "}));
    EXPECT_EQ(w->disabled_box->checkState(), Qt::Unchecked);

    AppFixture full(kanshi(numbered(1000)));
    w = open_editor(full);
    paste(w->device_name, QStringLiteral("kept in the box only"));
    QTest::mouseClick(w->new_button, Qt::LeftButton);
    EXPECT_EQ(full.state.targets.count, 1000);
    EXPECT_EQ(w->record_number->text(), "1");
    EXPECT_EQ(w->device_name->text(), "kept in the box only");
    EXPECT_EQ(full.state.targets.records[0].description, "Dev1／1／P1");
    EXPECT_TRUE(full.boxes.shown.empty());
}

TEST(EditorWindow, UpOnTheLastRecordStoresAndRedisplays) {
    AppFixture fx;
    TargetEditorWindow* w = open_editor(fx);
    w->up_Click();
    w->up_Click();
    paste(w->device_name, QStringLiteral("Rack／B"));
    w->up_Click();
    EXPECT_EQ(w->record_number->text(), "3");
    EXPECT_EQ(fx.state.targets.records[2].description, "Rack／B／3／c");
    EXPECT_EQ(texts(w).mid(5), (QStringList{"Rack", "B", "3／c"}));
    // The shared table changed at once: a sweep now would probe what is stored.
    w->address_octet4->setText(QStringLiteral("200"));
    w->Command1_Click();
    EXPECT_EQ(fx.state.targets.records[2].address, "10.0.0.200");
    EXPECT_EQ(w->address_octet4->text(), "200");
}

TEST(EditorWindow, HandEditedRecordsShowWithoutHangingOrRepeating) {
    AppFixture fx(
        kanshi({{"10.0.5", "NameOnly", 5}, {"300.0.0.1", "A／B／C", 2}, {"host", "A／B", -1}}));
    // start-up warns of all three addresses in one box
    ASSERT_EQ(fx.boxes.shown.size(), 1u);
    for (const char* address : {"「10.0.5」", "「300.0.0.1」", "「host」"})
        EXPECT_TRUE(fx.boxes.last().text.contains(QString::fromUtf8(address))) << address;
    fx.boxes.clear();
    TargetEditorWindow* w = open_editor(fx);
    EXPECT_EQ(texts(w), (QStringList{"1", "10", "0", "5", "", "NameOnly", "", ""}));
    EXPECT_EQ(w->disabled_box->checkState(), Qt::Unchecked);
    // the empty fourth octet is reported once the window stands
    ASSERT_EQ(fx.boxes.shown.size(), 1u);
    expect_plain_ok(fx.boxes.last(), k1to255);

    fx.boxes.clear();
    w->up_Click();
    EXPECT_EQ(fx.state.targets.records[0].address, "10.0.5.");
    EXPECT_EQ(fx.state.targets.records[0].flag, 0);
    EXPECT_EQ(w->address_octet1->text(), "300");
    EXPECT_EQ(fx.boxes.shown.size(), 1u); // once, not again and again
    EXPECT_EQ(w->disabled_box->checkState(), Qt::PartiallyChecked);

    // A stored 2 goes back as 2 unless the operator clicks the box, which
    // then only toggles between ticked and clear.
    fx.boxes.clear();
    w->up_Click();
    EXPECT_EQ(fx.state.targets.records[1].flag, 2);
    EXPECT_EQ(texts(w), (QStringList{"3", "host", "", "", "", "A", "B", ""}));
    EXPECT_EQ(fx.boxes.shown.size(), 1u);
    w->down_Click();
    w->disabled_box->click();
    EXPECT_EQ(w->disabled_box->checkState(), Qt::Checked);
    w->disabled_box->click();
    EXPECT_EQ(w->disabled_box->checkState(), Qt::Unchecked);
    w->disabled_box->click();
    EXPECT_EQ(w->disabled_box->checkState(), Qt::Checked);
    w->Command1_Click();
    EXPECT_EQ(fx.state.targets.records[1].flag, 1);
}

TEST(EditorWindow, EmptyListOffersOnlyNewAndEnd) {
    AppFixture fx(QByteArray{});
    ASSERT_TRUE(fx.started);
    TargetEditorWindow* w = open_editor(fx);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(texts(w), (QStringList{"", "", "", "", "", "", "", ""}));
    EXPECT_TRUE(fx.boxes.shown.empty());
    for (QWidget* c : std::initializer_list<QWidget*>{
             w->address_octet1, w->address_octet4, w->person_in_charge, w->disabled_box,
             w->update_button, w->delete_button, w->next_button, w->previous_button})
        EXPECT_FALSE(c->isEnabled()) << c->objectName().toStdString();
    EXPECT_TRUE(w->new_button->isEnabled());
    EXPECT_TRUE(w->exit_button->isEnabled());

    QTest::mouseClick(w->new_button, Qt::LeftButton);
    EXPECT_EQ(fx.state.targets.count, 1);
    EXPECT_EQ(texts(w), (QStringList{"1", "127", "0", "0", "1", " ", " ", " "}));
    EXPECT_TRUE(w->address_octet1->isEnabled());
    EXPECT_TRUE(w->delete_button->isEnabled());
    EXPECT_TRUE(fx.boxes.shown.empty());
}

TEST(EditorWindow, QuotesAndLineBreaksAreRefusedCommasKept) {
    AppFixture fx;
    TargetEditorWindow* w = open_editor(fx);
    paste(w->contact_number, QStringLiteral("03-1234"));
    for (const QString& bad :
         {QStringLiteral("say \"x\""), QStringLiteral("two\nlines"), QStringLiteral("emoji 😀")}) {
        fx.boxes.clear();
        w->contact_number->setText(bad);
        ASSERT_EQ(fx.boxes.shown.size(), 1u);
        EXPECT_EQ(fx.boxes.last().title, app_title());
        EXPECT_EQ(fx.boxes.last().icon, BoxIcon::None);
        EXPECT_EQ(w->contact_number->text(), "03-1234");
    }
    fx.boxes.clear();
    paste(w->device_name, QStringLiteral("Router, 2F"));
    EXPECT_TRUE(fx.boxes.shown.empty());
    w->Command1_Click();
    fx.boxes.answers = {BoxAnswer::Yes};
    w->close();
    EXPECT_EQ(fx.state.targets.records[0].description, "Router, 2F／03-1234／a"); // read back whole
}

TEST(EditorWindow, InputMethodCharactersAreKeptAsTheFileHoldsThem) {
    AppFixture fx;
    TargetEditorWindow* w = open_editor(fx);
    paste(w->device_name, QStringLiteral("AB"));
    w->device_name->setCursorPosition(1);
    commit_from_input_method(w->device_name, QStringLiteral("〜"));
    paste(w->contact_number, QStringLiteral("03−1234"));
    paste(w->person_in_charge, QStringLiteral("¢£¬‖—"));
    EXPECT_TRUE(fx.boxes.shown.empty());
    EXPECT_EQ(w->device_name->text(), QStringLiteral("A～B"));
    EXPECT_EQ(w->device_name->cursorPosition(), 2);
    EXPECT_EQ(w->contact_number->text(), QStringLiteral("03－1234"));
    EXPECT_EQ(w->person_in_charge->text(), QStringLiteral("￠￡￢∥―"));
    w->Command1_Click();
    fx.boxes.answers = {BoxAnswer::Yes};
    w->close();
    ASSERT_EQ(fx.boxes.shown.size(), 1u); // only the question
    EXPECT_TRUE(fx.dir.read("kanshi.ini")
                    .contains("A\x81\x60"
                              "B\x81\x5E"
                              "03\x81\x7C"
                              "1234\x81\x5E"
                              "\x81\x91\x81\x92\x81\xCA\x81\x61\x81\x5C\r\n"));
    EXPECT_EQ(fx.state.targets.records[0].description, QStringLiteral("A～B／03－1234／￠￡￢∥―"));

    // Characters without a place in the file are still refused.
    flush_deletes();
    fx.boxes.clear();
    w = open_editor(fx);
    ASSERT_NE(w, nullptr);
    commit_from_input_method(w->device_name, QStringLiteral("한"));
    EXPECT_EQ(fx.boxes.shown.size(), 1u);
    EXPECT_EQ(w->device_name->text(), QStringLiteral("A～B"));
}

TEST(EditorWindow, AStoredQuoteCanBeDeletedButNotAddedTo) {
    AppFixture fx(kanshi({{"10.0.0.1", "Sw\"1／0000／Admin", 0}}));
    TargetEditorWindow* w = open_editor(fx);
    EXPECT_EQ(w->device_name->text(), QStringLiteral("Sw\"1"));
    QTest::keyClicks(w->device_name, QStringLiteral("\""));
    EXPECT_EQ(fx.boxes.shown.size(), 1u);
    EXPECT_EQ(w->device_name->text(), QStringLiteral("Sw\"1"));
    w->device_name->setCursorPosition(3);
    QTest::keyClick(w->device_name, Qt::Key_Backspace);
    EXPECT_EQ(fx.boxes.shown.size(), 1u);
    EXPECT_EQ(w->device_name->text(), QStringLiteral("Sw1"));
    w->Command1_Click();
    EXPECT_EQ(fx.state.targets.records[0].description, QStringLiteral("Sw1／0000／Admin"));
}

TEST(EditorWindow, OneWindowAndNoneWhileStopped) {
    AppFixture fx;
    TargetEditorWindow* w = open_editor(fx);
    w->up_Click();
    EXPECT_EQ(open_editor(fx), w);
    EXPECT_EQ(w->record_number->text(), "2");
    int editors = 0;
    for (QWidget* top : QApplication::topLevelWidgets())
        editors += top->objectName() == "kansi";
    EXPECT_EQ(editors, 1);

    AppFixture stopped;
    stopped.state.monitor.set_delivery_stopped(true);
    EXPECT_EQ(open_editor(stopped), nullptr);
    stopped.app->Command4_Click();
    EXPECT_EQ(stopped.app->target_editor().current(), nullptr);
}
