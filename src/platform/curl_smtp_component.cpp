#include "platform/curl_smtp_component.h"

#include <QDateTime>
#include <algorithm>
#include <cstring>

#include "core/cp932.h"
#include "mail/address_check.h"
#include "platform/internet_message.h"

namespace {

QString from_cp932(const char* text) {
    return cp932_decode(QByteArray(text ? text : ""));
}

// A line break in a setting would let it start a new SMTP command or mail
// header; no other control character belongs in one either.
bool holds_control_character(const QString& text) {
    return std::any_of(text.begin(), text.end(),
                       [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7f; });
}

QString refused_setting_text(const QString& setting) {
    return setting +
           QStringLiteral("に改行などの制御文字が含まれています。設定を確認してください。");
}

} // namespace

CurlSmtpComponent::CurlSmtpComponent(std::chrono::milliseconds connect_timeout,
                                     std::chrono::milliseconds dialogue_timeout)
    : timeouts_{connect_timeout, dialogue_timeout} {}

CurlSmtpComponent::~CurlSmtpComponent() {
    sessions_.clear();
    if (loaded_)
        curl_global_cleanup();
}

std::int32_t CurlSmtpComponent::DZLoadWinsock(std::int32_t) {
    last_failure_ = {};
    if (loaded_)
        return 0;
    // libcurl counts these calls, so other users of it in the process are unaffected.
    const CURLcode result = curl_global_init(CURL_GLOBAL_DEFAULT);
    if (result != CURLE_OK)
        return fail(result, QString::fromUtf8(curl_easy_strerror(result)));
    loaded_ = true;
    return 0;
}

std::int32_t CurlSmtpComponent::DZSmtpConnect(const char* server_text, const char* domain_text,
                                              std::int32_t) {
    const QString server_setting = from_cp932(server_text);
    const QString domain = strip_blanks(from_cp932(domain_text));
    if (holds_control_character(server_setting))
        return fail(smtp_code::refused_setting,
                    refused_setting_text(QStringLiteral("SMTPサーバー名")));
    if (holds_control_character(domain))
        return fail(smtp_code::refused_setting,
                    refused_setting_text(QStringLiteral("送信元ドメイン")));
    const std::optional<SmtpServerAddress> server = parse_smtp_server_address(server_setting);
    if (!server)
        return fail(smtp_code::unreachable,
                    QStringLiteral("SMTPサーバー名の形式が正しくありません: ") + server_setting);

    auto session = std::make_unique<CurlSmtpSession>(timeouts_);
    if (const auto failure = session->open(*server, domain))
        return fail(failure->code, failure->text);
    const std::int32_t handle = next_handle_;
    next_handle_ = next_handle_ == INT32_MAX ? 1 : next_handle_ + 1;
    sessions_[handle] = std::move(session);
    return handle;
}

std::int32_t CurlSmtpComponent::DZSmtpSendMail(std::int32_t handle, const char* from_text,
                                               const char*, const char*, const char* to_text,
                                               const char* subject, const char* body, const char*,
                                               const char*) {
    const auto session = sessions_.find(handle);
    if (session == sessions_.end())
        return fail(smtp_code::not_connected, QStringLiteral("SMTPサーバーに接続していません。"));
    const QString from = strip_blanks(from_cp932(from_text));
    const QString to = strip_blanks(from_cp932(to_text));
    if (const auto refusal = mail_address_refusal(from, QStringLiteral("送信元アドレス")))
        return fail(smtp_code::refused_setting, *refusal);
    if (const auto refusal = mail_address_refusal(to, QStringLiteral("送信先アドレス")))
        return fail(smtp_code::refused_setting, *refusal);

    const OutgoingMail mail{from, to, from_cp932(subject), from_cp932(body),
                            QDateTime::currentDateTime()};
    if (const auto failure = session->second->send(from, to, compose_internet_message(mail)))
        return fail(failure->code, failure->text);
    return 0;
}

std::int32_t CurlSmtpComponent::DZSmtpDisConnect(std::int32_t handle) {
    // Destroying the session says QUIT and closes the connection.
    return sessions_.erase(handle) == 1 ? 0 : -1;
}

void CurlSmtpComponent::DZUnloadWinsock() {
    sessions_.clear();
    if (loaded_)
        curl_global_cleanup();
    loaded_ = false;
}

std::int32_t CurlSmtpComponent::DZGetError(char* buffer) {
    // Cut between characters, never inside a double-byte one.
    QString text = last_failure_.text.left(error_buffer_size);
    QByteArray bytes = cp932_encode_lossy(text);
    while (bytes.size() > error_buffer_size) {
        text.chop(1);
        bytes = cp932_encode_lossy(text);
    }
    std::memcpy(buffer, bytes.constData(), static_cast<size_t>(bytes.size()));
    if (bytes.size() < error_buffer_size)
        buffer[bytes.size()] = '\0';
    return last_failure_.code;
}

std::int32_t CurlSmtpComponent::fail(std::int32_t code, const QString& text) {
    last_failure_ = {code, text};
    return -1;
}
