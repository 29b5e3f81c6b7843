// Delivery's side of a notice: the transport gets the notice whole, and each
// kind of failure shows its one box.
#include <gtest/gtest.h>

#include <deque>

#include "mail/notice_delivery.h"
#include "support/scripted_boxes.h"

namespace {

const Notice kNotice{QStringLiteral("admin@example.jp"),
                     QStringLiteral("pelmora@example.jp"),
                     QStringLiteral("mail.example.jp"),
                     QStringLiteral("example.jp"),
                     QStringLiteral("Network障害連絡（1件障害）"),
                     QStringLiteral("＜1件目＞ルーター１／03-1234-5678／山田\r"),
                     {}};

struct ScriptedTransport : MailTransport {
    std::optional<DeliveryFailure> send(const Notice& notice) override {
        sent.push_back(notice);
        if (answers.empty())
            return std::nullopt;
        DeliveryFailure failure = answers.front();
        answers.pop_front();
        return failure;
    }
    std::vector<Notice> sent;
    std::deque<DeliveryFailure> answers; // the failures of the next sends; then success
};

class NoticeDeliveryTest : public ::testing::Test {
  protected:
    void send_failing(DeliveryFailure failure) {
        transport.answers.push_back(failure);
        send();
    }
    // The report runs where the check would run it.
    void send() {
        if (const DeliveryReport report = delivery.send(kNotice))
            report();
    }
    ScriptedTransport transport;
    ScriptedBoxes boxes;
    NoticeDelivery delivery{transport, boxes};
};

TEST_F(NoticeDeliveryTest, SuccessShowsNothingAndEachNoticeIsItsOwnDelivery) {
    EXPECT_FALSE(delivery.send(kNotice));
    send();
    ASSERT_EQ(transport.sent.size(), 2u);
    const Notice& n = transport.sent[0];
    EXPECT_EQ(n.recipient, kNotice.recipient);
    EXPECT_EQ(n.sender, kNotice.sender);
    EXPECT_EQ(n.server, kNotice.server);
    EXPECT_EQ(n.ehlo_domain, kNotice.ehlo_domain);
    EXPECT_EQ(n.subject, kNotice.subject);
    EXPECT_EQ(n.body, kNotice.body);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(NoticeDeliveryTest, MailLibraryNotReadyShowsTheSocketBox) {
    send_failing({DeliveryStage::Start, 2, QStringLiteral("Failed initialization")});
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.last().text, QStringLiteral("Socket:生成ができませんでした。"));
    EXPECT_EQ(boxes.last().title, QStringLiteral("エラー"));
    EXPECT_EQ(boxes.last().icon, BoxIcon::Critical);
}

TEST_F(NoticeDeliveryTest, ServerNotReachedShowsTheConnectBox) {
    send_failing({DeliveryStage::Connect, 0, QStringLiteral("Connection refused")});
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.last().text, QStringLiteral("ＳＭＴＰサーバーに接続できません。\r\n"
                                                "サーバー名等を確認してください。\r\n段階：接続"));
    EXPECT_EQ(boxes.last().title, QStringLiteral("エラー"));
    EXPECT_EQ(boxes.last().icon, BoxIcon::Critical);
}

TEST_F(NoticeDeliveryTest, EveryOtherFailureShowsItsCodeAndText) {
    send_failing({DeliveryStage::Connect, 5, QStringLiteral("abc")});
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.last().text, QStringLiteral("Code : 5\r\n\r\nabc\r\n段階：接続"));
    EXPECT_EQ(boxes.last().title, QStringLiteral("Pelmora"));
    EXPECT_EQ(boxes.last().icon, BoxIcon::None);

    // After the greeting, even code 0 is told as it is, and an empty text
    // leaves the two line breaks.
    send_failing({DeliveryStage::Data, 0, QString()});
    EXPECT_EQ(boxes.last().text, QStringLiteral("Code : 0\r\n\r\n\r\n段階：DATA"));
    send_failing({DeliveryStage::Rcpt, -12, QStringLiteral("送信できません")});
    EXPECT_EQ(boxes.last().text,
              QStringLiteral("Code : -12\r\n\r\n送信できません\r\n段階：RCPT TO"));
    send_failing({DeliveryStage::Refused, 900, QStringLiteral("x")});
    EXPECT_EQ(boxes.last().text, QStringLiteral("Code : 900\r\n\r\nx"));
    EXPECT_EQ(boxes.shown.size(), 4u);
}

} // namespace
