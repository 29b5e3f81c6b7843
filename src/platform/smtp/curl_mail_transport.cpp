#include "platform/smtp/curl_mail_transport.h"

#include <QDateTime>
#include <algorithm>
#include <mutex>

#include "mail/address_check.h"
#include "platform/smtp/internet_message.h"

namespace {

// libcurl wants its global set-up once per process, before any handle.
std::optional<DeliveryFailure> ready_curl() {
    static std::once_flag once;
    static CURLcode result = CURLE_OK;
    std::call_once(once, [] { result = curl_global_init(CURL_GLOBAL_DEFAULT); });
    if (result == CURLE_OK)
        return std::nullopt;
    return DeliveryFailure{DeliveryStage::Start, static_cast<int>(result),
                           QString::fromUtf8(curl_easy_strerror(result))};
}

bool holds_control_character(const QString& text) {
    return std::any_of(text.begin(), text.end(),
                       [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7f; });
}

std::optional<DeliveryFailure> refuse_control_characters(const QString& text,
                                                         const QString& setting) {
    if (!holds_control_character(text))
        return std::nullopt;
    return DeliveryFailure{
        DeliveryStage::Refused, delivery_code::refused_setting,
        setting + QStringLiteral("に改行などの制御文字が含まれています。設定を確認してください。")};
}

} // namespace

CurlMailTransport::CurlMailTransport(SmtpTimeouts timeouts) : timeouts_(timeouts) {}

std::optional<DeliveryFailure> CurlMailTransport::send(const Notice& notice) {
    if (auto failure = ready_curl())
        return failure;

    const QString server_setting = notice.server;
    const QString domain = strip_blanks(notice.ehlo_domain);
    const QString from = strip_blanks(notice.sender);
    const QString to = strip_blanks(notice.recipient);
    for (const auto& [text, name] :
         {std::pair{server_setting, QStringLiteral("SMTPサーバー名")},
          std::pair{domain, QStringLiteral("送信元ドメイン")},
          std::pair{notice.security.user, QStringLiteral("ユーザー名")},
          std::pair{notice.security.password, QStringLiteral("パスワード")}}) {
        if (auto failure = refuse_control_characters(text, name))
            return failure;
    }
    for (const auto& [address, name] : {std::pair{from, QStringLiteral("送信元アドレス")},
                                        std::pair{to, QStringLiteral("送信先アドレス")}}) {
        if (auto failure = mail_address_refusal(address, name))
            return failure;
    }
    const std::optional<SmtpServerAddress> server = parse_smtp_server_address(server_setting);
    if (!server)
        return DeliveryFailure{DeliveryStage::Connect, delivery_code::unreachable,
                               QStringLiteral("SMTPサーバー名の形式が正しくありません: ") +
                                   server_setting};

    // Destroying the session says QUIT and closes the connection.
    CurlSmtpSession session(timeouts_);
    if (auto failure = session.open(*server, domain, notice.security))
        return failure;
    const OutgoingMail mail{from, to, notice.subject, notice.body, QDateTime::currentDateTime()};
    return session.send(from, to, compose_internet_message(mail));
}
