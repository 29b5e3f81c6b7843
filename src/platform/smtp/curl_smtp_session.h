#pragma once
// One SMTP session on one libcurl easy handle: opened by a harmless NOOP so
// that the server is reached, greeted and checked before the message is
// ready, then reused for the message itself.
#include <QByteArray>
#include <QString>
#include <chrono>
#include <curl/curl.h>
#include <optional>

#include "core/mail_security.h"
#include "mail/mail_transport.h"
#include "platform/smtp/smtp_server_address.h"

// Fit for mail servers, many of which pause their greeting on purpose. Each
// step is timed on its own: libcurl would count EHLO, STARTTLS and AUTH into
// its connection time-out. QUIT is timed by libcurl, in whole seconds.
struct SmtpTimeouts {
    std::chrono::milliseconds connect = std::chrono::seconds(30); // name, connection, greeting
    std::chrono::milliseconds reply = std::chrono::seconds(60);   // each reply after a command
    std::chrono::milliseconds quit = std::chrono::seconds(5);     // the reply to QUIT
    std::chrono::milliseconds session = std::chrono::minutes(5); // the whole dialogue, a last bound

    // The same in a "minute" that lasts minute (the tests' short minutes),
    // none under two seconds, which a busy machine's loopback still keeps.
    static SmtpTimeouts for_minute(std::chrono::milliseconds minute);
};

class CurlSmtpSession {
  public:
    explicit CurlSmtpSession(SmtpTimeouts timeouts);
    // Says QUIT when the connection is still up, then closes it.
    ~CurlSmtpSession();
    CurlSmtpSession(const CurlSmtpSession&) = delete;
    CurlSmtpSession& operator=(const CurlSmtpSession&) = delete;

    // Connects (in TLS from the first byte for SMTPS), reads the greeting,
    // says EHLO ehlo_domain, STARTTLS as security asks and AUTH when it names
    // a user. A user's credentials never go out before TLS is up.
    std::optional<DeliveryFailure> open(const SmtpServerAddress& server, const QString& ehlo_domain,
                                        const MailSecurity& security = {});
    // MAIL FROM, RCPT TO and DATA on the open connection; message is the
    // whole Internet message, lines ended by CR LF.
    std::optional<DeliveryFailure> send(const QString& from, const QString& to,
                                        const QByteArray& message);

  private:
    static size_t on_reply_line(char* data, size_t size, size_t count, void* self);
    static size_t on_upload(char* buffer, size_t size, size_t count, void* self);
    static size_t on_output(char* data, size_t size, size_t count, void* self);
    static int on_debug(CURL* handle, curl_infotype type, char* data, size_t size, void* self);
    static int on_progress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t);

    CURLcode perform_within_deadline();
    void set_reply_timeout(std::chrono::milliseconds limit);
    DeliveryFailure failure(CURLcode result) const;
    // The step's clock starts again: a command went out, a reply or part of
    // the message moved.
    void step_moved();
    bool step_overdue();
    std::chrono::milliseconds step_limit() const;

    void secure(const MailSecurity& security);

    SmtpTimeouts timeouts_;
    MailSecurity security_;
    CURLM* multi_; // owns the connection, so that QUIT is said on our terms
    CURL* curl_;
    char error_text_[CURL_ERROR_SIZE] = {};
    std::chrono::steady_clock::time_point deadline_;

    // The reply being read (a multi-line reply keeps all its lines), and the
    // refusal that explains a failure: the last error reply not followed by a
    // positive one. libcurl says QUIT before it reports a refused recipient,
    // so the closing reply (221) does not count as positive.
    QString reply_text_;
    bool reply_complete_ = true;
    std::optional<DeliveryFailure> refusal_;
    // The step under way, which a failure is put down to, and when it is
    // overdue; timed_out_ once it was.
    DeliveryStage stage_ = DeliveryStage::Connect;
    std::chrono::steady_clock::time_point step_deadline_;
    bool timed_out_ = false;

    QByteArray upload_;
    qsizetype upload_sent_ = 0;
};
