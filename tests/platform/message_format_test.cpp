// The pieces of a notice that mail software is strict about: the server
// setting, the encoded subject and the line breaks.
#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QTimeZone>

#include "platform/smtp/internet_message.h"
#include "platform/smtp/smtp_server_address.h"
#include "support/mime_decoding.h"

namespace {

TEST(SmtpServerAddress, HostAloneMeansPort25AndAPortOrBracketedV6CanBeGiven) {
    struct Case {
        const char* text;
        const char* host;
        int port;
        const char* url;
    };
    const Case cases[] = {
        {"mail.example.jp", "mail.example.jp", 25, "smtp://mail.example.jp:25"},
        {"  192.168.1.5 ", "192.168.1.5", 25, "smtp://192.168.1.5:25"},
        {"mail.example.jp:587", "mail.example.jp", 587, "smtp://mail.example.jp:587"},
        {"[::1]:2525", "::1", 2525, "smtp://[::1]:2525"},
        {"[fe80::1]", "fe80::1", 25, "smtp://[fe80::1]:25"},
        {"2001:db8::25", "2001:db8::25", 25, "smtp://[2001:db8::25]:25"},
    };
    for (const Case& c : cases) {
        const auto address = parse_smtp_server_address(QString::fromLatin1(c.text));
        ASSERT_TRUE(address) << c.text;
        EXPECT_EQ(address->host, QString::fromLatin1(c.host)) << c.text;
        EXPECT_EQ(address->port, c.port) << c.text;
        EXPECT_EQ(address->url_authority(), QString::fromLatin1(c.url)) << c.text;
    }
}

TEST(SmtpServerAddress, RefusesWhatCouldNotBeAServerOrWouldChangeTheUrl) {
    for (const char* text :
         {"", "   ", "mail:0", "mail:65536", "mail:", "mail:25x", "[::1", "[::1]x", "[mail]:25",
          "user@mail", "mail/other", "mail?x", "mail#x", "ma il", "mail:25:26"})
        EXPECT_FALSE(parse_smtp_server_address(QString::fromLatin1(text))) << text;
}

TEST(HeaderWords, LongSubjectsFoldIntoValidWordsThatDecodeToTheOriginal) {
    const QString subjects[] = {
        QStringLiteral("Network障害連絡（1件障害）"),
        // Long enough for several words, with a four-byte character that must not be cut.
        QString(40, QChar(0x969C)) + QStringLiteral("😀") + QStringLiteral("（監視自動復旧）ab"),
    };
    for (const QString& subject : subjects) {
        const QByteArray encoded = encode_header_words(subject);
        for (const QByteArray& line : encoded.split('\n')) {
            const QByteArray word = line.trimmed();
            EXPECT_LE(word.size(), 75) << word.constData();
            EXPECT_TRUE(word.startsWith("=?UTF-8?B?") && word.endsWith("?=")) << word.constData();
            EXPECT_FALSE(QString::fromUtf8(QByteArray::fromBase64(word.mid(10, word.size() - 12)))
                             .contains(QChar::ReplacementCharacter))
                << "a character was split between words";
        }
        EXPECT_EQ(decode_header_words(QByteArray(encoded).replace("\r\n ", " ")), subject);
    }
}

TEST(InternetMessage, HeadersAreCompleteAndEveryLineEndsInCrLf) {
    const QDateTime when(QDate(2024, 3, 9), QTime(7, 5, 3), QTimeZone(9 * 3600));
    const QByteArray data = compose_internet_message(
        {QStringLiteral("pelmora@example.jp"), QStringLiteral("admin@example.jp"),
         QStringLiteral("Network障害連絡（復旧）"), QStringLiteral("一行目\r二行目\n三行目\r\n"),
         when});
    EXPECT_TRUE(has_only_crlf_breaks(data));
    const ParsedMessage message = parse_message(data);
    EXPECT_EQ(message.header("Date"), "Sat, 09 Mar 2024 07:05:03 +0900");
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^<[0-9a-f-]{36}@example\\.jp>$"))
                    .match(QString::fromLatin1(message.header("Message-ID")))
                    .hasMatch())
        << message.header("Message-ID").constData();
    EXPECT_EQ(QString::fromUtf8(QByteArray::fromBase64(message.body)),
              QStringLiteral("一行目\r\n二行目\r\n三行目\r\n"));
}

} // namespace
