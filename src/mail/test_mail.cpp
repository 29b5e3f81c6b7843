#include "mail/test_mail.h"

#include "core/settings.h"
#include "mail/notice_delivery.h"

QString encryption_name(MailEncryption encryption) {
    switch (encryption) {
    case MailEncryption::None:
        return QStringLiteral("なし（可能ならSTARTTLS）"); // STARTTLS whenever offered
    case MailEncryption::StartTls:
        return QStringLiteral("STARTTLS");
    case MailEncryption::Tls:
        return QStringLiteral("SSL/TLS");
    }
    return {};
}

Notice test_mail(const Settings& settings, const MailSecurity& security, const QDateTime& now) {
    QString encryption = encryption_name(security.encryption);
    if (security.encryption != MailEncryption::None)
        encryption += security.verify ? QStringLiteral("（証明書を検証する）")
                                      : QStringLiteral("（証明書を検証しない）");
    const QString user =
        security.user.isEmpty() ? QStringLiteral("（なし：認証しない）") : security.user;
    const QString body = QStringLiteral("Pelmora からのテスト送信です。\r"
                                        "送信日時：%1\r"
                                        "SMTPサーバー：%2\r"
                                        "暗号化：%3\r"
                                        "ユーザー名：%4\r")
                             .arg(now.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")),
                                  settings.smtp_server, encryption, user);
    return Notice{settings.admin_address,
                  settings.sender_address,
                  settings.smtp_server,
                  settings.sender_domain,
                  QStringLiteral("Pelmora テスト送信"),
                  body,
                  security};
}

QString test_mail_sent_text(const Notice& mail) {
    return QStringLiteral("テストメールを %1 に送信しました（SMTPサーバー：%2）。")
        .arg(mail.recipient, mail.server);
}

QString test_mail_failed_text(const DeliveryFailure& failure) {
    QString text = QStringLiteral("テストメールを送信できませんでした。\r\n\r\n") +
                   delivery_failure_box(failure).text;
    if (server_not_reached(failure))
        text += QStringLiteral("\r\n（") + failure.text + QStringLiteral("）");
    return text;
}
