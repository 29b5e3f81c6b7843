// The settings window as the operator meets it: opened from the main window,
// typed into, closed with Yes or No, with the message boxes answered by script.
#include <QInputMethodEvent>
#include <QTest>
#include <gtest/gtest.h>

#include "focus_chain.h"

#include "core/app_title.h"
#include "core/cp932.h"
#include "settings/conf_file.h"
#include "settings/typed_input.h"
#include "settings_window_helpers.h"
#include "typing.h"

namespace {} // namespace

TEST(SettingsWindow, OpensWithTheSharedSettings) {
    AppFixture fx(AppFixture::three_targets(), conf_bytes(5, 3, 64, 4));
    ASSERT_TRUE(fx.started);
    SettingsWindow* w = open_settings(fx);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->objectName(), QStringLiteral("kankyo"));
    EXPECT_EQ(w->windowTitle(), QStringLiteral("環境設定"));
    EXPECT_EQ(w->admin_address->text(), QStringLiteral("admin@example.com"));
    EXPECT_EQ(w->smtp_server->text(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(w->sender_domain->text(), QStringLiteral("example.com"));
    EXPECT_EQ(w->interval_minutes->text(), QStringLiteral("5"));
    EXPECT_EQ(w->attempts->text(), QStringLiteral("3"));
    EXPECT_EQ(w->ttl->text(), QStringLiteral("64"));
    EXPECT_EQ(w->stop_after_notices->text(), QStringLiteral("4"));
    EXPECT_TRUE(fx.boxes.shown.empty());
}

TEST(SettingsWindow, CaptionsPlacesAndTabOrder) {
    AppFixture fx;
    SettingsWindow* w = open_settings(fx);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->size(), QSize(313, 300));
    const std::pair<QLabel*, const char*> captions[] = {
        {w->admin_address_caption, "管理者メールアドレス(メール先)"},
        {w->sender_address_caption, "送信用メールアドレス"},
        {w->smtp_server_caption, "送信用SMTPサーバアドレス"},
        {w->sender_domain_caption, "送信用　ドメイン名"},
        {w->interval_caption, "監視間隔（分）"},
        {w->attempts_caption, "ICMP失敗許容値"},
        {w->ttl_caption, "TTL値(1～255)"},
        {w->stop_after_notices_caption, "Mail配信停止値"}};
    for (const auto& [label, caption] : captions)
        EXPECT_EQ(label->text(), QString::fromUtf8(caption));
    EXPECT_EQ(w->exit_button->text(), QStringLiteral("終了(&E)"));
    EXPECT_EQ(w->sender_domain->geometry(), QRect(8, 168, 233, 25));
    EXPECT_EQ(w->stop_after_notices->geometry(), QRect(16, 264, 41, 25));
    EXPECT_EQ(w->ttl->geometry(), QRect(104, 264, 41, 25));
    EXPECT_EQ(w->exit_button->geometry(), QRect(200, 224, 105, 49));
    EXPECT_EQ(tab_chain(w->admin_address), (QStringList{"Text1", "Text2", "Text3", "Text4", "Text5",
                                                        "Text6", "Text7", "Text8", "Command1"}));

    QTest::keyClick(w->admin_address, Qt::Key_X, Qt::AltModifier); // no access key: types nothing
    EXPECT_EQ(w->admin_address->text(), QStringLiteral("admin@example.com"));
}

TEST(SettingsWindow, TheCloseBoxAsksTooAndNoLeavesEverything) {
    AppFixture fx;
    const QByteArray before = fx.dir.read(QStringLiteral("conf.ini"));
    SettingsWindow* w = open_settings(fx);
    ASSERT_NE(w, nullptr);
    type_over(w->attempts, QStringLiteral("7"));
    fx.boxes.answers = {BoxAnswer::No};
    w->close(); // as the window's close box does
    ASSERT_EQ(fx.boxes.shown.size(), 1u);
    EXPECT_EQ(fx.boxes.last().text, QStringLiteral("更新して終了します。"));
    EXPECT_EQ(fx.boxes.last().title, QStringLiteral("終了判定"));
    EXPECT_EQ(fx.boxes.last().default_answer, BoxAnswer::Yes);
    EXPECT_EQ(fx.state.settings.attempts, 3);
    EXPECT_EQ(fx.dir.read(QStringLiteral("conf.ini")), before);
}

TEST(SettingsWindow, NumberFieldsTakeOnlyOneTo255) {
    AppFixture fx(AppFixture::three_targets(), conf_bytes(5, 3, 64, 3));
    SettingsWindow* w = open_settings(fx);
    ASSERT_NE(w, nullptr);

    type_over(w->interval_minutes, QStringLiteral("300")); // "3" and "30" pass, "300" does not
    ASSERT_EQ(fx.boxes.shown.size(), 1u);
    const BoxRequest& box = fx.boxes.last();
    EXPECT_EQ(box.text, QStringLiteral("1～255の値で設定してください"));
    EXPECT_EQ(box.title, app_title());
    EXPECT_EQ(box.icon, BoxIcon::None);
    EXPECT_EQ(box.buttons, BoxButtons::Ok);
    EXPECT_EQ(w->interval_minutes->text(), QStringLiteral("5"));

    fx.boxes.clear();
    type_over(w->interval_minutes, QStringLiteral("255"));
    EXPECT_TRUE(fx.boxes.shown.empty());
    EXPECT_EQ(w->interval_minutes->text(), QStringLiteral("255"));

    // The stored value comes back, not the last accepted text.
    type_over(w->interval_minutes, QStringLiteral("0"));
    EXPECT_EQ(fx.boxes.shown.size(), 1u);
    EXPECT_EQ(w->interval_minutes->text(), QStringLiteral("5"));

    // Clearing a field, or starting with a minus sign, is refused at once.
    fx.boxes.clear();
    w->ttl->selectAll();
    QTest::keyClick(w->ttl, Qt::Key_Backspace);
    EXPECT_EQ(fx.boxes.shown.size(), 1u);
    EXPECT_EQ(w->ttl->text(), QStringLiteral("64"));
    type_over(w->attempts, QStringLiteral("-"));
    EXPECT_EQ(fx.boxes.shown.size(), 2u);
    EXPECT_EQ(w->attempts->text(), QStringLiteral("3"));

    fx.boxes.clear();
    paste(w->attempts, QStringLiteral("0.4"));
    EXPECT_EQ(w->attempts->text(), QStringLiteral("3"));
    paste(w->stop_after_notices, QStringLiteral("255.5"));
    EXPECT_EQ(w->stop_after_notices->text(), QStringLiteral("3"));
    paste(w->stop_after_notices, QStringLiteral("abc"));
    EXPECT_EQ(w->stop_after_notices->text(), QStringLiteral("3"));
    EXPECT_EQ(fx.boxes.shown.size(), 3u);

    // Nothing reached the shared settings.
    EXPECT_EQ(fx.state.settings.interval_minutes, 5);
    EXPECT_EQ(fx.state.settings.attempts, 3);
    EXPECT_EQ(fx.state.settings.ttl, 64);
    EXPECT_EQ(fx.state.settings.stop_after_notices, 3);
}

TEST(SettingsWindow, FractionsAreStoredHalfToEven) {
    AppFixture fx;
    SettingsWindow* w = open_settings(fx);
    ASSERT_NE(w, nullptr);
    paste(w->stop_after_notices, QStringLiteral("1.5"));
    paste(w->interval_minutes, QStringLiteral("2.5"));
    paste(w->ttl, QStringLiteral(" 254.5 "));
    EXPECT_TRUE(fx.boxes.shown.empty());
    EXPECT_EQ(w->stop_after_notices->text(), QStringLiteral("1.5"));

    fx.boxes.answers = {BoxAnswer::Yes};
    close_settings(fx);
    EXPECT_EQ(fx.state.settings.stop_after_notices, 2);
    EXPECT_EQ(fx.state.settings.interval_minutes, 2);
    EXPECT_EQ(fx.state.settings.ttl, 254);
    EXPECT_EQ(fx.dir.read(QStringLiteral("conf.ini")), conf_bytes(2, 3, 254, 2));

    // After the close the main window takes the new interval when 環境設定 gets the focus.
    fx.main().refresh_interval_in_use();
    EXPECT_EQ(fx.main().interval_in_use->text(), QStringLiteral("2"));
}

TEST(SettingsWindow, StoredValueOutsideTheRangeIsReportedAndKept) {
    AppFixture fx(AppFixture::three_targets(), conf_bytes(300, 3, 64, 3));
    ASSERT_TRUE(fx.started);
    fx.boxes.clear(); // start-up's warning about the hand-edited 300
    SettingsWindow* w = open_settings(fx);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(boxes_with_text(fx.boxes, range_message()), 1);
    EXPECT_EQ(fx.boxes.shown.size(), 1u);
    EXPECT_EQ(w->interval_minutes->text(), QStringLiteral("300"));

    // A refused edit of that field puts 300 back; 300 is checked again as it
    // goes in (a second message), and putting it back once more changes nothing.
    fx.boxes.clear();
    w->interval_minutes->end(false);
    QTest::keyClicks(w->interval_minutes, QStringLiteral("1"));
    EXPECT_EQ(boxes_with_text(fx.boxes, range_message()), 2);
    EXPECT_EQ(w->interval_minutes->text(), QStringLiteral("300"));

    // Yes writes it back unchanged.
    fx.boxes.clear();
    close_settings(fx);
    EXPECT_EQ(fx.state.settings.interval_minutes, 300);
    EXPECT_EQ(fx.dir.read(QStringLiteral("conf.ini")), conf_bytes(300, 3, 64, 3));
}

TEST(SettingsWindow, NoKeepsSettingsAndFile) {
    AppFixture fx;
    const QByteArray before = fx.dir.read(QStringLiteral("conf.ini"));
    SettingsWindow* w = open_settings(fx);
    ASSERT_NE(w, nullptr);
    type_over(w->admin_address, QStringLiteral("other@example.com"));
    type_over(w->interval_minutes, QStringLiteral("9"));

    fx.boxes.answers = {BoxAnswer::No};
    close_settings(fx);
    ASSERT_EQ(fx.boxes.shown.size(), 1u);
    const BoxRequest& q = fx.boxes.last();
    EXPECT_EQ(q.text, QStringLiteral("更新して終了します。"));
    EXPECT_EQ(q.title, QStringLiteral("終了判定"));
    EXPECT_EQ(q.buttons, BoxButtons::YesNo);
    EXPECT_EQ(q.default_answer, BoxAnswer::Yes);
    EXPECT_EQ(q.icon, BoxIcon::None);
    EXPECT_EQ(settings_window(fx), nullptr); // closed all the same

    EXPECT_EQ(fx.state.settings.admin_address, QStringLiteral("admin@example.com"));
    EXPECT_EQ(fx.state.settings.interval_minutes, 5);
    EXPECT_EQ(fx.dir.read(QStringLiteral("conf.ini")), before);

    w = open_settings(fx);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->admin_address->text(), QStringLiteral("admin@example.com"));
    EXPECT_EQ(w->interval_minutes->text(), QStringLiteral("5"));
}

TEST(SettingsWindow, YesRewritesAHandEditedFileInTheCanonicalLayout) {
    // Bare numbers, LF line ends, a quoted text, a blank before a text and a ninth line.
    const QByteArray by_hand = "admin@example.com\n\"pelmora@example.com\"\n  127.0.0.1\r\n"
                               "example.com\r\n5\n3\r\n 64\r\n3   \r\nleftover\r\n";
    AppFixture fx(AppFixture::three_targets(), by_hand);
    ASSERT_TRUE(fx.started);
    ASSERT_NE(open_settings(fx), nullptr);
    close_settings(fx);
    EXPECT_EQ(fx.dir.read(QStringLiteral("conf.ini")), conf_bytes(5, 3, 64, 3));
}

TEST(SettingsWindow, TextFieldsRefuseWhatTheFileCannotHold) {
    AppFixture fx;
    SettingsWindow* w = open_settings(fx);
    ASSERT_NE(w, nullptr);

    w->admin_address->end(false);
    QTest::keyClicks(w->admin_address, QStringLiteral("\""));
    ASSERT_EQ(fx.boxes.shown.size(), 1u);
    EXPECT_EQ(fx.boxes.last().text, quote_or_break_message());
    EXPECT_EQ(fx.boxes.last().title, app_title());
    EXPECT_EQ(fx.boxes.last().icon, BoxIcon::None);
    EXPECT_EQ(fx.boxes.last().buttons, BoxButtons::Ok);
    EXPECT_EQ(w->admin_address->text(), QStringLiteral("admin@example.com"));

    paste(w->smtp_server, QStringLiteral("mail.example.com\r\nsecond"));
    EXPECT_EQ(w->smtp_server->text(), QStringLiteral("127.0.0.1"));
    w->sender_domain->end(false);
    w->sender_domain->insert(QStringLiteral("😀"));
    EXPECT_EQ(w->sender_domain->text(), QStringLiteral("example.com"));
    EXPECT_EQ(fx.boxes.shown.size(), 3u);

    // The previous text is the last accepted one, not the one at opening.
    type_over(w->sender_address, QStringLiteral("a,b"));
    w->sender_address->insert(QStringLiteral("\""));
    EXPECT_EQ(w->sender_address->text(), QStringLiteral("a,b"));

    // A comma and Japanese text go through the file and come back whole.
    fx.boxes.clear();
    paste(w->sender_domain, QStringLiteral("例え,ば"));
    EXPECT_TRUE(fx.boxes.shown.empty());
    close_settings(fx);
    SharedState reread;
    ASSERT_TRUE(load_settings(reread.settings, fx.dir.path(QStringLiteral("conf.ini"))).ok());
    EXPECT_EQ(reread.settings.sender_address, QStringLiteral("a,b"));
    EXPECT_EQ(reread.settings.sender_domain, QStringLiteral("例え,ば"));
    EXPECT_EQ(reread.settings.admin_address, QStringLiteral("admin@example.com"));
}

TEST(SettingsWindow, AQuoteFromAHandEditedFileIsKeptUntilTheOperatorEditsIt) {
    // A quote inside a text reads back fine from the file; opening must not drop it.
    AppFixture fx(AppFixture::three_targets(),
                  "ad\"min@example.com\r\npelmora@example.com\r\n127.0.0.1\r\nexample.com\r\n"
                  " 5 \r\n 3 \r\n 64 \r\n 3 \r\n");
    ASSERT_TRUE(fx.started);
    SettingsWindow* w = open_settings(fx);
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(fx.boxes.shown.empty());
    EXPECT_EQ(w->admin_address->text(), QStringLiteral("ad\"min@example.com"));
    close_settings(fx);
    EXPECT_EQ(fx.state.settings.admin_address, QStringLiteral("ad\"min@example.com"));
}

TEST(SettingsWindow, AStoredQuoteCanBeDeletedButNotAddedTo) {
    AppFixture fx(AppFixture::three_targets(),
                  "ad\"min@example.com\r\npelmora@example.com\r\n127.0.0.1\r\nexample.com\r\n"
                  " 5 \r\n 3 \r\n 64 \r\n 3 \r\n");
    SettingsWindow* w = open_settings(fx);
    ASSERT_NE(w, nullptr);
    w->admin_address->setCursorPosition(3);
    QTest::keyClick(w->admin_address, Qt::Key_Backspace);
    EXPECT_EQ(w->admin_address->text(), QStringLiteral("admin@example.com"));
    EXPECT_TRUE(fx.boxes.shown.empty());
    QTest::keyClicks(w->admin_address, QStringLiteral("\""));
    EXPECT_EQ(fx.boxes.shown.size(), 1u);
    EXPECT_EQ(w->admin_address->text(), QStringLiteral("admin@example.com"));
}

TEST(SettingsWindow, InputMethodCharactersAreShownAsTheyWillReadBack) {
    AppFixture fx;
    SettingsWindow* w = open_settings(fx);
    ASSERT_NE(w, nullptr);
    type_over(w->sender_domain, QStringLiteral("ab"));
    w->sender_domain->setCursorPosition(1);
    commit_from_input_method(w->sender_domain, QStringLiteral("〜−"));
    EXPECT_TRUE(fx.boxes.shown.empty());
    EXPECT_EQ(w->sender_domain->text(), QStringLiteral("a～－b"));
    EXPECT_EQ(w->sender_domain->cursorPosition(), 3); // typing goes on where it was
    close_settings(fx);
    EXPECT_EQ(fx.state.settings.sender_domain, QStringLiteral("a～－b"));
    EXPECT_TRUE(fx.dir.read("conf.ini")
                    .contains("a\x81\x60\x81\x7C"
                              "b\r\n"));
}

TEST(SettingsWindow, ExistsOnceAndNotWhileDeliveryIsStopped) {
    AppFixture fx;
    SettingsWindow* first = open_settings(fx);
    ASSERT_NE(first, nullptr);
    first->interval_minutes->setText(QStringLiteral("9"));
    EXPECT_EQ(open_settings(fx), first);
    EXPECT_EQ(first->interval_minutes->text(),
              QStringLiteral("9")); // brought forward, not reloaded
    close_settings(fx);

    fx.boxes.clear();
    fx.state.monitor.set_delivery_stopped(true);
    fx.app->Command3_Click();
    EXPECT_EQ(settings_window(fx), nullptr);
    EXPECT_TRUE(fx.boxes.shown.empty());
}

TEST(SettingsWindow, FailedSaveKeepsTheOldFileAndTheProgramRunning) {
    AppFixture fx;
    const QByteArray before = fx.dir.read(QStringLiteral("conf.ini"));
    SettingsWindow* w = open_settings(fx);
    ASSERT_NE(w, nullptr);
    type_over(w->interval_minutes, QStringLiteral("7"));
    {
        AsUnprivileged nobody; // the directory and the file belong to root
        close_settings(fx);
    }
    ASSERT_EQ(fx.boxes.shown.size(), 2u);
    const BoxRequest& failure = fx.boxes.last();
    EXPECT_EQ(failure.icon, BoxIcon::Critical);
    EXPECT_EQ(failure.title, app_title());
    EXPECT_TRUE(failure.text.contains(QStringLiteral("conf.ini"))) << failure.text.toStdString();
    EXPECT_EQ(fx.dir.read(QStringLiteral("conf.ini")), before);
    EXPECT_EQ(fx.state.settings.interval_minutes, 7); // confirmed, in effect until the program ends

    // The program goes on: the window can be opened again.
    ASSERT_NE(open_settings(fx), nullptr);
    EXPECT_EQ(settings_window(fx)->interval_minutes->text(), QStringLiteral("7"));
}

TEST(SettingsWindow, KeyboardOnlyOperatorsGetTheNewIntervalAsMouseUsersDo) {
    // Alt+S gives 環境設定 the focus as a click would; when the settings window
    // closes the main window is active again, 環境設定 gets the focus back and
    // the confirmed interval is shown and used.
    AppFixture fx;
    MainWindow& main = fx.main();
    main.show();
    main.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
    QTest::keyClick(&main, Qt::Key_S, Qt::AltModifier);
    QTRY_VERIFY(settings_window(fx) != nullptr);
    EXPECT_EQ(main.focusWidget(), main.settings_button);
    SettingsWindow* w = settings_window(fx);
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    type_over(w->interval_minutes, QStringLiteral("12"));
    fx.boxes.answers = {BoxAnswer::Yes};
    w->exit_button->click();
    QTRY_VERIFY(QApplication::activeWindow() == &main);
    QTRY_COMPARE(main.interval_in_use->text(), QStringLiteral("12"));
    EXPECT_EQ(fx.state.monitor.interval_in_use(), 12);
}
