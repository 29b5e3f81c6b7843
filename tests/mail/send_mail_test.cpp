// SendMail's side of the bargain with the SMTP component: the calls it makes,
// in which order, and the box each failure shows.
#include <gtest/gtest.h>

#include "core/cp932.h"
#include "mail/recording_smtp.h"
#include "mail/send_mail.h"
#include "support/scripted_boxes.h"

namespace {

const QString kSubject = QStringLiteral("Network障害連絡（1件障害）");
const QString kBody = QStringLiteral("＜1件目＞ルーター１／03-1234-5678／山田\r");

class SendMailTest : public ::testing::Test {
  protected:
    void send() {
        sender.SendMail(QStringLiteral("admin@example.jp"), QStringLiteral("pelmora@example.jp"),
                        QStringLiteral("mail.example.jp"), QStringLiteral("example.jp"), kBody,
                        kSubject);
    }

    RecordingSmtp smtp;
    ScriptedBoxes boxes;
    SmtpNoticeSender sender{smtp, boxes};
};

const QString kLoad = QStringLiteral("DZLoadWinsock(1)");
const QString kConnect = QStringLiteral("DZSmtpConnect(mail.example.jp,example.jp,0)");
const QString kSend = QStringLiteral("DZSmtpSendMail(7,pelmora@example.jp,,,admin@example.jp,,)");
const QString kDisconnect = QStringLiteral("DZSmtpDisConnect(7)");
const QString kUnload = QStringLiteral("DZUnloadWinsock()");
const QString kGetError = QStringLiteral("DZGetError");

TEST_F(SendMailTest, SuccessMakesExactlyTheFiveCallsAndShowsNothing) {
    send();
    EXPECT_EQ(smtp.calls, QStringList({kLoad, kConnect, kSend, kDisconnect, kUnload}));
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(smtp.sent_subject, cp932_encode(kSubject).value());
    EXPECT_EQ(smtp.sent_body, cp932_encode(kBody).value());

    send(); // nothing is carried over: the second notice is a whole cycle of its own
    EXPECT_EQ(smtp.calls.size(), 10);
    EXPECT_EQ(smtp.calls.mid(5), QStringList({kLoad, kConnect, kSend, kDisconnect, kUnload}));
}

TEST_F(SendMailTest, NetworkLayerFailureShowsBoxAAndStops) {
    smtp.load_result = -1;
    send();
    EXPECT_EQ(smtp.calls, QStringList({kLoad}));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.last().text, QStringLiteral("Socket:生成ができませんでした。"));
    EXPECT_EQ(boxes.last().title, QStringLiteral("エラー"));
    EXPECT_EQ(boxes.last().icon, BoxIcon::Critical);
}

TEST_F(SendMailTest, ConnectionFailureWithCodeZeroShowsBoxB) {
    smtp.connect_result = -1;
    smtp.error_code = 0;
    smtp.error_bytes = "Connection refused";
    send();
    EXPECT_EQ(smtp.calls, QStringList({kLoad, kConnect, kGetError, kUnload}));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.last().text, QStringLiteral("ＳＭＴＰサーバーに接続できません。\r\n"
                                                "サーバー名等を確認してください。"));
    EXPECT_EQ(boxes.last().title, QStringLiteral("エラー"));
    EXPECT_EQ(boxes.last().icon, BoxIcon::Critical);
}

TEST_F(SendMailTest, ConnectionFailureWithACodeShowsBoxC) {
    smtp.connect_result = -1;
    smtp.error_code = 5;
    smtp.error_bytes = "abc";
    send();
    EXPECT_EQ(smtp.calls, QStringList({kLoad, kConnect, kGetError, kUnload}));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.last().text, QStringLiteral("Code : 5\r\n\r\nabc"));
    EXPECT_EQ(boxes.last().title, QStringLiteral("Pelmora"));
    EXPECT_EQ(boxes.last().icon, BoxIcon::None);
}

TEST_F(SendMailTest, SendFailureShowsBoxCEvenWithCodeZeroAndStillReleasesEverything) {
    smtp.send_result = -1;
    smtp.error_code = 0;
    smtp.error_bytes = "";
    send();
    EXPECT_EQ(smtp.calls, QStringList({kLoad, kConnect, kSend, kGetError, kDisconnect, kUnload}));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.last().text, QStringLiteral("Code : 0\r\n\r\n"));
    EXPECT_EQ(boxes.last().icon, BoxIcon::None);

    boxes.clear();
    smtp.error_code = -12;
    smtp.error_bytes = cp932_encode(QStringLiteral("送信できません")).value();
    send();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.last().text, QStringLiteral("Code : -12\r\n\r\n送信できません"));
}

TEST_F(SendMailTest, ErrorTextEndsAtTheFirstZeroOrFillsTheWholeBuffer) {
    smtp.send_result = -1;
    smtp.error_code = 421;

    // Two bytes and no zero of the component's own: the rest of the buffer
    // must have been zero before the call.
    smtp.error_bytes = "ab";
    send();
    EXPECT_EQ(boxes.last().text, QStringLiteral("Code : 421\r\n\r\nab"));

    // 127 double-byte characters and one more byte fill all 255 bytes.
    const QString full = QString(127, QChar(0x969C)) + QLatin1Char('Z'); // 障…障Z
    smtp.error_bytes = cp932_encode(full).value();
    ASSERT_EQ(smtp.error_bytes.size(), 255);
    send();
    EXPECT_EQ(boxes.last().text, QStringLiteral("Code : 421\r\n\r\n") + full);
}

} // namespace
