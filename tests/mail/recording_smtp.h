#pragma once
// An SMTP component that records every call. On its own it answers from the
// fields below; given a real component it passes each call on and records
// what that one answered.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstring>

#include "mail/smtp_component.h"

class RecordingSmtp : public SmtpComponent {
  public:
    RecordingSmtp() = default;
    explicit RecordingSmtp(SmtpComponent& real) : real_(&real) {}

    std::int32_t DZLoadWinsock(std::int32_t version) override {
        calls << QStringLiteral("DZLoadWinsock(%1)").arg(version);
        return real_ ? real_->DZLoadWinsock(version) : load_result;
    }
    std::int32_t DZSmtpConnect(const char* server, const char* domain,
                               std::int32_t flags) override {
        calls << QStringLiteral("DZSmtpConnect(%1,%2,%3)")
                     .arg(QString::fromLatin1(server), QString::fromLatin1(domain))
                     .arg(flags);
        return real_ ? real_->DZSmtpConnect(server, domain, flags) : connect_result;
    }
    std::int32_t DZSmtpSendMail(std::int32_t handle, const char* from, const char* r1,
                                const char* r2, const char* to, const char* subject,
                                const char* body, const char* r3, const char* r4) override {
        calls << QStringLiteral("DZSmtpSendMail(%1,%2,%3,%4,%5,%6,%7)")
                     .arg(handle)
                     .arg(QString::fromLatin1(from), QString::fromLatin1(r1),
                          QString::fromLatin1(r2), QString::fromLatin1(to), QString::fromLatin1(r3),
                          QString::fromLatin1(r4));
        sent_subject = subject;
        sent_body = body;
        return real_ ? real_->DZSmtpSendMail(handle, from, r1, r2, to, subject, body, r3, r4)
                     : send_result;
    }
    std::int32_t DZSmtpDisConnect(std::int32_t handle) override {
        calls << QStringLiteral("DZSmtpDisConnect(%1)").arg(handle);
        return real_ ? real_->DZSmtpDisConnect(handle) : 0;
    }
    void DZUnloadWinsock() override {
        calls << QStringLiteral("DZUnloadWinsock()");
        if (real_)
            real_->DZUnloadWinsock();
    }
    std::int32_t DZGetError(char* buffer) override {
        calls << QStringLiteral("DZGetError");
        if (real_)
            return real_->DZGetError(buffer);
        // Whatever is already there shows whether the caller zeroed the buffer.
        std::memcpy(buffer, error_bytes.constData(), static_cast<size_t>(error_bytes.size()));
        return error_code;
    }

    QStringList calls;
    QByteArray sent_subject; // as the component received them
    QByteArray sent_body;

    std::int32_t load_result = 0;
    std::int32_t connect_result = 7;
    std::int32_t send_result = 0;
    std::int32_t error_code = 0;
    QByteArray error_bytes; // copied without a terminating zero; at most 255

  private:
    SmtpComponent* real_ = nullptr;
};
