// The メール送信設定 window: opened with F4 from the main window, saved with OK
// into smtp.ini byte for byte, discarded with キャンセル.
#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "app_fixture.h"
#include "core/check_executor.h"
#include "mail/mail_transport.h"
#include "ui/mail_settings_window.h"

namespace {

MailSettingsWindow* open_mail_settings(AppFixture& fx) {
    fx.main().show();
    fx.main().activateWindow();
    if (!QTest::qWaitForWindowActive(&fx.main()))
        return nullptr;
    QTest::keyClick(&fx.main(), Qt::Key_F4);
    return qobject_cast<MailSettingsWindow*>(fx.app->mail_settings().current());
}

void press(QPushButton* button) {
    button->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// The password holds a comma, so it is written in quotes.
const QByteArray kSaved =
    " 2 \r\n 1 \r\nnotices@example.jp\r\n\"pass,word\"\r\n/etc/pelmora/ca.pem\r\n";

} // namespace

TEST(MailSettingsWindow, OkWritesBackTheFileByteForByteAndCancelDiscards) {
    AppFixture fx(AppFixture::three_targets(), conf_bytes(), kSaved);
    ASSERT_TRUE(fx.started);
    MailSettingsWindow* w = open_mail_settings(fx);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("メール送信設定"));
    EXPECT_TRUE(w->smtps->isChecked());
    EXPECT_TRUE(w->verify->isChecked());
    EXPECT_EQ(w->user->text(), QStringLiteral("notices@example.jp"));
    EXPECT_EQ(w->password->text(), QStringLiteral("pass,word"));
    EXPECT_EQ(w->password->echoMode(), QLineEdit::Password);
    EXPECT_EQ(w->ca_file->text(), QStringLiteral("/etc/pelmora/ca.pem"));
    press(w->ok);
    EXPECT_EQ(fx.dir.read("smtp.ini"), kSaved);
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(fx.dir.path("smtp.ini")).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    w = open_mail_settings(fx);
    ASSERT_NE(w, nullptr);
    w->no_encryption->click();
    EXPECT_FALSE(w->verify->isEnabled());
    QTest::keyClicks(w->user, QStringLiteral("x"));
    press(w->cancel);
    EXPECT_EQ(fx.dir.read("smtp.ini"), kSaved);
    EXPECT_EQ(fx.state.mail_security.encryption, MailEncryption::Tls);

    w = open_mail_settings(fx);
    ASSERT_NE(w, nullptr);
    w->starttls->click();
    w->verify->click();
    w->user->setText(QStringLiteral("relay"));
    w->password->setText(QStringLiteral("secret"));
    w->ca_file->clear();
    press(w->ok);
    EXPECT_EQ(fx.dir.read("smtp.ini"), " 1 \r\n 0 \r\nrelay\r\nsecret\r\n\r\n");
    // In force for the next notice, without a restart.
    EXPECT_EQ(fx.state.mail_security,
              (MailSecurity{MailEncryption::StartTls, false, "relay", "secret", ""}));
    EXPECT_TRUE(fx.boxes.shown.empty());
}

TEST(MailSettingsWindow, TestSendUsesTheValuesAsTheyStandWithoutSavingThem) {
    struct Recording : MailTransport {
        std::optional<DeliveryFailure> send(const Notice& notice) override {
            sent.push_back(notice);
            return failure;
        }
        std::vector<Notice> sent;
        std::optional<DeliveryFailure> failure;
    } transport;
    AppFixture fx;
    ASSERT_TRUE(fx.started);
    MailSettingsWindow w(fx.state, fx.boxes, &transport, fx.dir.path("smtp.ini"));
    w.starttls->click();
    w.user->setText(QStringLiteral("relay"));
    w.password->setText(QStringLiteral("never-in-the-mail"));
    w.test_send->click();
    ASSERT_EQ(transport.sent.size(), 1u);
    const Notice& mail = transport.sent.front();
    EXPECT_EQ(mail.security, w.values());
    EXPECT_EQ(mail.subject, QStringLiteral("Pelmora テスト送信"));
    EXPECT_EQ(mail.recipient, fx.state.settings.admin_address);
    EXPECT_TRUE(mail.body.contains(QStringLiteral("relay")));
    EXPECT_FALSE(mail.body.contains(QStringLiteral("never-in-the-mail")));
    EXPECT_TRUE(fx.boxes.last().text.contains(QStringLiteral("送信しました")));
    EXPECT_FALSE(QFile::exists(fx.dir.path("smtp.ini")));
    EXPECT_EQ(fx.state.mail_security, MailSecurity{});

    transport.failure = DeliveryFailure{DeliveryStage::Auth, 535, QStringLiteral("5.7.8 no")};
    w.test_send->click();
    EXPECT_TRUE(fx.boxes.last().text.contains(QStringLiteral("Code : 535")))
        << fx.boxes.last().text.toStdString();
}

TEST(MailSettingsWindow, ASlowTestSendHoldsOnlyItsButton) {
    struct Slow : MailTransport {
        std::optional<DeliveryFailure> send(const Notice&) override {
            QThread::msleep(800);
            return std::nullopt;
        }
    } transport;
    AppFixture fx;
    ASSERT_TRUE(fx.started);
    ThreadedExecutor executor;
    MailSettingsWindow w(fx.state, fx.boxes, &transport, fx.dir.path("smtp.ini"), &executor);
    QElapsedTimer took;
    took.start();
    w.test_send->click();
    EXPECT_LT(took.elapsed(), 200); // the window is back at once
    EXPECT_FALSE(w.test_send->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(w.test_send->isEnabled(), 5000);
    EXPECT_TRUE(fx.boxes.last().text.contains(QStringLiteral("送信しました")));
}
