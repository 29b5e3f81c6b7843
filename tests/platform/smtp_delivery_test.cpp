// Notices delivered through libcurl to a real SMTP server on 127.0.0.1, and
// each way that server can fail us.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <optional>

#include "mail/notice_delivery.h"
#include "platform/smtp/curl_mail_transport.h"
#include "support/mime_decoding.h"
#include "support/scripted_boxes.h"
#include "support/smtp_test_server.h"
#include "support/test_ca.h"

using namespace std::chrono_literals;

namespace {

const QString kTo = QStringLiteral("admin@example.jp");
const QString kFrom = QStringLiteral("pelmora@example.jp");
const QString kDomain = QStringLiteral("monitor.example.jp");
const QString kSubject = QStringLiteral("Network障害連絡（2件障害）");
const QString kBody = QStringLiteral("＜1件目＞ルーター１／03-1234-5678／山田\r"
                                     "＜2件目＞サーバー２／内線1234／佐藤\r");

constexpr SmtpTimeouts kTimeouts{2s, 4s, 1s, 30s};

class SmtpDeliveryTest : public ::testing::Test {
  protected:
    void send(const QString& server, const QString& to = kTo, const QString& from = kFrom,
              const QString& domain = kDomain, const QString& subject = kSubject,
              const QString& body = kBody, const MailSecurity& security = {}) {
        if (const DeliveryReport report =
                sender.send({to, from, server, domain, subject, body, security}))
            report();
    }
    void send_secure(const QString& server, const MailSecurity& security) {
        send(server, kTo, kFrom, kDomain, kSubject, kBody, security);
    }

    CurlMailTransport curl{kTimeouts};
    ScriptedBoxes boxes;
    NoticeDelivery sender{curl, boxes};
};

TEST_F(SmtpDeliveryTest, NoticeArrivesWithEnvelopeHeadersAndJapaneseTextsIntact) {
    SmtpTestServer server;
    send(server.address());

    EXPECT_TRUE(boxes.shown.empty()) << boxes.last().text.toStdString();
    const auto mails = server.messages();
    ASSERT_EQ(mails.size(), 1u);
    const ReceivedMail& mail = mails.front();
    EXPECT_EQ(mail.mail_from, kFrom);
    EXPECT_EQ(mail.rcpt_tos, QStringList{kTo});
    EXPECT_EQ(mail.ehlo, kDomain);

    EXPECT_TRUE(has_only_crlf_breaks(mail.data));
    const ParsedMessage message = parse_message(mail.data);
    for (const char* name : {"From", "To", "Subject", "Date", "Message-ID", "MIME-Version",
                             "Content-Type", "Content-Transfer-Encoding"})
        EXPECT_EQ(message.count(name), 1) << name;
    EXPECT_EQ(message.header("From"), kFrom.toUtf8());
    EXPECT_EQ(message.header("To"), kTo.toUtf8());
    EXPECT_EQ(decode_header_words(message.header("Subject")), kSubject);
    EXPECT_EQ(message.header("Content-Type"), "text/plain; charset=UTF-8");
    EXPECT_EQ(message.header("Content-Transfer-Encoding"), "base64");
    EXPECT_EQ(QString::fromUtf8(QByteArray::fromBase64(message.body)),
              QStringLiteral("＜1件目＞ルーター１／03-1234-5678／山田\r\n"
                             "＜2件目＞サーバー２／内線1234／佐藤\r\n"));

    // The connection opened to check the server is the one the message used.
    EXPECT_TRUE(server.wait_until_sessions_closed());
    EXPECT_EQ(server.sessions_opened(), 1);
    EXPECT_EQ(server.sessions_quit(), 1);
}

TEST_F(SmtpDeliveryTest, StartsTlsWhenOfferedEvenWithAnUnverifiableCertificate) {
    // An internal relay with a certificate of its own must not lose notices
    // that would otherwise have gone in the clear.
    SmtpTestServer server(SmtpTestServer::Mode::StartTls);
    send(server.address());
    EXPECT_TRUE(boxes.shown.empty()) << boxes.last().text.toStdString();
    const auto mails = server.messages();
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_TRUE(mails.front().tls);
    EXPECT_EQ(decode_header_words(parse_message(mails.front().data).header("Subject")), kSubject);
}

TEST_F(SmtpDeliveryTest, TwoNoticesInARowAreTwoCompleteCycles) {
    SmtpTestServer server;
    send(server.address(), kTo, kFrom, kDomain, QStringLiteral("Network障害連絡（1件障害）"));
    send(server.address(), kTo, kFrom, kDomain, QStringLiteral("Network障害連絡（復旧）"),
         QStringLiteral("5分毎の監視で…\r連続障害メールの…"));

    EXPECT_TRUE(boxes.shown.empty());
    const auto mails = server.messages();
    ASSERT_EQ(mails.size(), 2u);
    EXPECT_EQ(decode_header_words(parse_message(mails[0].data).header("Subject")),
              QStringLiteral("Network障害連絡（1件障害）"));
    EXPECT_EQ(decode_header_words(parse_message(mails[1].data).header("Subject")),
              QStringLiteral("Network障害連絡（復旧）"));
    EXPECT_TRUE(server.wait_until_sessions_closed());
    EXPECT_EQ(server.sessions_opened(), 2);
}

TEST_F(SmtpDeliveryTest, RefusalsShowTheirBoxNamingTheStepAndStillCloseEverything) {
    // nothing listening gives the connect box; a server's refusal its code and text
    using Mode = SmtpTestServer::Mode;
    for (const auto& [mode, text] :
         {std::pair{std::optional<Mode>{},
                    QStringLiteral("ＳＭＴＰサーバーに接続できません。\r\n"
                                   "サーバー名等を確認してください。\r\n段階：接続")},
          std::pair{std::optional{Mode::Greeting554},
                    QStringLiteral("Code : 554\r\n\r\nService not available, closing channel\r\n"
                                   "段階：サーバーの挨拶（グリーティング）")},
          std::pair{
              std::optional{Mode::RejectRecipient},
              QStringLiteral("Code : 550\r\n\r\n5.1.1 No such user here\r\n段階：RCPT TO")}}) {
        SCOPED_TRACE(text.toStdString());
        boxes.clear();
        std::optional<SmtpTestServer> server;
        if (mode)
            server.emplace(*mode);
        send(server ? server->address()
                    : QStringLiteral("127.0.0.1:%1").arg(SmtpTestServer::unused_port()));
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.last().text, text);
        EXPECT_EQ(boxes.last().icon, mode ? BoxIcon::None : BoxIcon::Critical);
        EXPECT_EQ(boxes.last().title, mode ? QStringLiteral("Pelmora") : QStringLiteral("エラー"));
        if (!server)
            continue;
        EXPECT_TRUE(server->messages().empty());
        EXPECT_TRUE(server->wait_until_sessions_closed());
        EXPECT_EQ(server->sessions_opened(), 1);
        EXPECT_EQ(server->sessions_quit(), mode == Mode::RejectRecipient ? 1 : 0);
    }
}

TEST_F(SmtpDeliveryTest, LineBreakInAnySettingIsRefusedBeforeItReachesTheServer) {
    SmtpTestServer server;
    const QString injected = QStringLiteral("\r\nRCPT TO:<intruder@example.net>");
    const QString bare_lf = QStringLiteral("\nBcc: intruder@example.net");
    struct Case {
        QString to, from, server_suffix, domain;
    };
    const Case cases[] = {
        {kTo + injected, kFrom, {}, kDomain},
        {kTo, kFrom + bare_lf, {}, kDomain},
        {kTo, kFrom, injected, kDomain},
        {kTo, kFrom, {}, kDomain + injected},
    };
    for (const Case& c : cases) {
        boxes.clear();
        send(server.address() + c.server_suffix, c.to, c.from, c.domain);
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_TRUE(boxes.last().text.startsWith(QStringLiteral("Code : 900\r\n\r\n")))
            << boxes.last().text.toStdString();
    }
    EXPECT_TRUE(server.messages().empty());
    // Refused before connecting: the server never saw a session.
    EXPECT_EQ(server.sessions_opened(), 0);
}

TEST_F(SmtpDeliveryTest, AnAddressThatWouldCarryCommandParametersNeverReachesTheEnvelope) {
    SmtpTestServer server;
    const QString kinds[] = {QStringLiteral("> RET=FULL ENVID=x"),
                             QStringLiteral(">"),
                             QStringLiteral(" NOTIFY=NEVER"),
                             QStringLiteral("\tx"),
                             QStringLiteral("\u3000x"),
                             QStringLiteral("<x")};
    for (const QString& tail : kinds) {
        for (const bool in_sender : {false, true}) {
            SCOPED_TRACE(tail.toStdString() + (in_sender ? " in the sender" : " in the recipient"));
            boxes.clear();
            const QString bad = QStringLiteral("x@example.com") + tail;
            send(server.address(), in_sender ? kTo : bad, in_sender ? bad : kFrom);
            ASSERT_EQ(boxes.shown.size(), 1u);
            EXPECT_TRUE(boxes.last().text.startsWith(
                QStringLiteral("Code : 900\r\n\r\n") +
                (in_sender ? QStringLiteral("送信元アドレス") : QStringLiteral("送信先アドレス"))))
                << boxes.last().text.toStdString();
        }
    }
    // blanks at the ends are no part of the address
    boxes.clear();
    send(server.address(), QStringLiteral(" ") + kTo + QStringLiteral("  "));
    EXPECT_TRUE(boxes.shown.empty()) << boxes.last().text.toStdString();
    EXPECT_TRUE(server.wait_until_sessions_closed());
    EXPECT_EQ(server.mail_commands(), 1);
    EXPECT_EQ(server.messages().size(), 1u);
}

// Servers that want TLS and a login, with certificates from a CA of the test's.
class SecureDeliveryTest : public SmtpDeliveryTest {
  protected:
    using Tls = SmtpTestServer::Secure::Tls;
    SmtpTestServer::Secure server_with(Tls tls, const ServerCertificate& certificate) {
        return {tls, certificate.cert, certificate.key, kUser, kPassword};
    }
    MailSecurity login(MailEncryption encryption, const QString& password = kPassword) {
        return {encryption, true, kUser, password, ca.cert()};
    }
    QString box_text() const { return boxes.shown.empty() ? QString() : boxes.last().text; }

    static inline const QString kUser = QStringLiteral("notices@example.jp");
    static inline const QString kPassword = QStringLiteral("s3cret, \"quoted\"");
    TestCa ca;
    ServerCertificate loopback =
        ca.issue(QStringLiteral("loopback"), QStringLiteral("IP:127.0.0.1"));
};

TEST_F(SecureDeliveryTest, LoginOverSmtpsAndOverStartTlsDeliversTheNotice) {
    // STARTTLS required, SMTPS, and "none" with a user name, which must still
    // start TLS before it logs in.
    for (const auto& [tls, encryption] : {std::pair{Tls::Implicit, MailEncryption::Tls},
                                          std::pair{Tls::StartTls, MailEncryption::StartTls},
                                          std::pair{Tls::StartTls, MailEncryption::None}}) {
        SmtpTestServer server(server_with(tls, loopback));
        boxes.clear();
        send_secure(server.address(), login(encryption));
        EXPECT_EQ(box_text().toStdString(), "") << static_cast<int>(encryption);
        const auto mails = server.messages();
        ASSERT_EQ(mails.size(), 1u) << static_cast<int>(encryption);
        EXPECT_TRUE(mails.front().tls);
        EXPECT_GE(server.auth_commands(), 1);
    }
}

TEST_F(SecureDeliveryTest, WrongPasswordShowsTheServers535) {
    SmtpTestServer server(server_with(Tls::StartTls, loopback));
    send_secure(server.address(), login(MailEncryption::StartTls, QStringLiteral("wrong")));
    EXPECT_TRUE(box_text().startsWith(QStringLiteral("Code : 535\r\n\r\n")))
        << box_text().toStdString();
    EXPECT_TRUE(box_text().contains(QStringLiteral("AUTH")));
    EXPECT_TRUE(server.messages().empty());
}

TEST_F(SecureDeliveryTest, CertificateUnknownForAnotherNameOrExpiredIsRefusedBeforeAnyLogin) {
    TestCa stranger;
    const ServerCertificate unknown =
        stranger.issue(QStringLiteral("unknown"), QStringLiteral("IP:127.0.0.1"));
    const ServerCertificate other_name =
        ca.issue(QStringLiteral("other"), QStringLiteral("DNS:other.example"));
    const ServerCertificate expired =
        ca.issue(QStringLiteral("expired"), QStringLiteral("IP:127.0.0.1"), -1);
    for (const Tls tls : {Tls::Implicit, Tls::StartTls}) {
        const MailEncryption encryption =
            tls == Tls::Implicit ? MailEncryption::Tls : MailEncryption::StartTls;
        for (const auto& [certificate, reason] :
             {std::pair{unknown, QStringLiteral("不明な認証局")},
              std::pair{other_name, QStringLiteral("名前の不一致")},
              std::pair{expired, QStringLiteral("期限切れ")}}) {
            SmtpTestServer server(server_with(tls, certificate));
            boxes.clear();
            send_secure(server.address(), login(encryption));
            EXPECT_TRUE(box_text().contains(reason)) << box_text().toStdString();
            EXPECT_EQ(server.auth_commands(), 0);
            EXPECT_TRUE(server.messages().empty());
        }
    }
    // Without verification the same certificate is taken.
    SmtpTestServer server(server_with(Tls::Implicit, unknown));
    boxes.clear();
    MailSecurity unverified = login(MailEncryption::Tls);
    unverified.verify = false;
    send_secure(server.address(), unverified);
    EXPECT_EQ(box_text().toStdString(), "");
    EXPECT_EQ(server.messages().size(), 1u);
}

TEST_F(SecureDeliveryTest, ServerWithoutStartTlsGetsNeitherLoginNorMail) {
    // It offers AUTH in the clear, which is exactly what must not be taken.
    SmtpTestServer server(SmtpTestServer::Secure{Tls::None, {}, {}, kUser, kPassword});
    for (const MailEncryption encryption : {MailEncryption::StartTls, MailEncryption::None}) {
        boxes.clear();
        send_secure(server.address(), login(encryption));
        EXPECT_TRUE(box_text().contains(QStringLiteral("STARTTLS"))) << box_text().toStdString();
    }
    EXPECT_TRUE(box_text().contains(QStringLiteral("パスワードは送りません")));
    EXPECT_EQ(server.auth_commands(), 0);
    EXPECT_EQ(server.mail_commands(), 0);
}

} // namespace

// The time-outs: generous to a slow server, short where the outcome is known.
class SmtpTimeoutTest : public ::testing::Test {
  protected:
    // The milliseconds a send took.
    qint64 send_to(const SmtpTestServer& server, CurlMailTransport& transport,
                   const MailSecurity& security = {}) {
        NoticeDelivery delivery{transport, boxes};
        QElapsedTimer took;
        took.start();
        if (const DeliveryReport report =
                delivery.send({kTo, kFrom, server.address(), kDomain, kSubject, kBody, security}))
            report();
        return took.elapsed();
    }
    ScriptedBoxes boxes;
};

TEST_F(SmtpTimeoutTest, ServerSlowByEightSecondsAReplyStillGetsTheNotice) {
    // With the program's own time-outs: greeting and EHLO alone take 16 s,
    // the whole dialogue about a minute.
    SmtpTestServer server(SmtpTestServer::Mode::Slow, 8s);
    CurlMailTransport transport;
    send_to(server, transport);
    EXPECT_TRUE(boxes.shown.empty()) << boxes.last().text.toStdString();
    EXPECT_EQ(server.messages().size(), 1u);
}

TEST_F(SmtpTimeoutTest, SilenceAtAStepFailsAfterThatStepsOwnTimeOutAndNamesIt) {
    // A server silent at any step cannot hold the program: one box after that
    // step's own wait (no second one for QUIT), the connect box for a missing
    // greeting, libcurl's time-out (28) for a later reply.
    using Mode = SmtpTestServer::Mode;
    const MailSecurity login{
        MailEncryption::Tls, false, QStringLiteral("u"), QStringLiteral("p"), {}};
    for (const auto& [mode, security, step, limit] :
         {std::tuple{Mode::Silent, MailSecurity{}, "サーバーの挨拶（グリーティング）",
                     kTimeouts.connect},
          std::tuple{Mode::MuteAfterEhlo, MailSecurity{}, "EHLO", kTimeouts.reply},
          std::tuple{Mode::MuteAfterAuth, login, "AUTH", kTimeouts.reply},
          std::tuple{Mode::MuteDataCommand, MailSecurity{}, "DATA", kTimeouts.reply},
          std::tuple{Mode::MuteAfterData, MailSecurity{}, "本文の終わり", kTimeouts.reply}}) {
        SCOPED_TRACE(step);
        SmtpTestServer server(mode);
        CurlMailTransport transport{kTimeouts};
        boxes.clear();
        const qint64 took = send_to(server, transport, security);
        EXPECT_GE(took, limit.count() - 100);
        EXPECT_LT(took, limit.count() + 2000);
        ASSERT_EQ(boxes.shown.size(), 1u);
        const QString& text = boxes.last().text;
        const bool greeting = mode == Mode::Silent;
        EXPECT_TRUE(text.startsWith(greeting ? QStringLiteral("ＳＭＴＰサーバーに接続できません")
                                             : QStringLiteral("Code : 28")))
            << text.toStdString();
        EXPECT_EQ(boxes.last().icon, greeting ? BoxIcon::Critical : BoxIcon::None);
        EXPECT_TRUE(text.endsWith(QStringLiteral("\r\n段階：") + QString::fromUtf8(step)))
            << text.toStdString();
        EXPECT_TRUE(server.wait_until_sessions_closed());
    }
}

TEST_F(SmtpTimeoutTest, NoReplyToQuitStillCountsAsDeliveredWithinTheQuitTimeOut) {
    SmtpTestServer server(SmtpTestServer::Mode::MuteAfterQuit);
    CurlMailTransport transport; // the program's own: 5 s for QUIT's reply
    const qint64 took = send_to(server, transport);
    EXPECT_LT(took, 7000);
    EXPECT_TRUE(boxes.shown.empty()) << boxes.last().text.toStdString();
    EXPECT_EQ(server.messages().size(), 1u);
    EXPECT_EQ(server.sessions_quit(), 1);
}
