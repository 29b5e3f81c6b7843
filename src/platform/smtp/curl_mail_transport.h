#pragma once
// The mail transport on libcurl: one SMTP session per notice, opened and
// closed within the call.
#include "mail/mail_transport.h"
#include "platform/smtp/curl_smtp_session.h"

class CurlMailTransport : public MailTransport {
  public:
    // Tests shorten the time-outs; the program keeps the defaults.
    explicit CurlMailTransport(SmtpTimeouts timeouts = {});

    // Server "host", "host:port" or "[v6]:port", port 25 when none is given;
    // the EHLO name is the notice's domain. Blanks around the four settings
    // are ignored; a control character in one is refused (code 900), as it
    // could start a new SMTP command or mail header.
    std::optional<DeliveryFailure> send(const Notice& notice) override;

  private:
    SmtpTimeouts timeouts_;
};
