#pragma once
// The SMTP component on libcurl. One session per handle; the texts it gets
// are code page 932, as the component interface has them.
#include <chrono>
#include <map>
#include <memory>

#include "mail/smtp_component.h"
#include "platform/curl_smtp_session.h"
#include "platform/smtp_failure.h"

class CurlSmtpComponent : public SmtpComponent {
  public:
    // connect_timeout bounds reaching the server and its greeting;
    // dialogue_timeout the whole session, so a server that goes quiet can
    // never hold the program.
    explicit CurlSmtpComponent(
        std::chrono::milliseconds connect_timeout = std::chrono::seconds(10),
        std::chrono::milliseconds dialogue_timeout = std::chrono::seconds(60));
    ~CurlSmtpComponent() override;
    CurlSmtpComponent(const CurlSmtpComponent&) = delete;
    CurlSmtpComponent& operator=(const CurlSmtpComponent&) = delete;

    std::int32_t DZLoadWinsock(std::int32_t version) override;
    // server: "host", "host:port" or "[v6]:port", port 25 when none is given.
    // domain: the EHLO name. Code 0 when the server cannot be reached.
    std::int32_t DZSmtpConnect(const char* server, const char* domain, std::int32_t flags) override;
    std::int32_t DZSmtpSendMail(std::int32_t handle, const char* from, const char* reserved1,
                                const char* reserved2, const char* to, const char* subject,
                                const char* body, const char* reserved3,
                                const char* reserved4) override;
    std::int32_t DZSmtpDisConnect(std::int32_t handle) override;
    void DZUnloadWinsock() override;
    std::int32_t DZGetError(char* buffer) override;

    static constexpr int error_buffer_size = 255;

  private:
    std::int32_t fail(std::int32_t code, const QString& text);

    SmtpTimeouts timeouts_;
    bool loaded_ = false;
    std::map<std::int32_t, std::unique_ptr<CurlSmtpSession>> sessions_;
    std::int32_t next_handle_ = 1;
    SmtpFailure last_failure_;
};
