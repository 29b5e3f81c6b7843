#pragma once
// The mail transport on libcurl: one SMTP session per notice, opened and
// closed within the call.
#include <chrono>

#include "mail/mail_transport.h"
#include "platform/smtp/curl_smtp_session.h"

class CurlMailTransport : public MailTransport {
  public:
    // connect bounds reaching the server and its greeting; dialogue the whole
    // session, so a server that goes quiet can never hold the program.
    explicit CurlMailTransport(std::chrono::milliseconds connect = std::chrono::seconds(10),
                               std::chrono::milliseconds dialogue = std::chrono::seconds(60));

    // Server "host", "host:port" or "[v6]:port", port 25 when none is given;
    // the EHLO name is the notice's domain. Blanks around the four settings
    // are ignored; a control character in one is refused (code 900), as it
    // could start a new SMTP command or mail header.
    std::optional<DeliveryFailure> send(const Notice& notice) override;

  private:
    SmtpTimeouts timeouts_;
};
